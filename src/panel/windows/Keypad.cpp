#include "Keypad.h"

#include "panel/KeypadKeys.h"

#include <QGridLayout>
#include <QPushButton>
#include <QScopedValueRollback>

Keypad::Keypad(SerialPort &port, StopRequested stop, QWidget *parent)
    : QWidget(parent)
    , m_port(port)
    , m_stop(std::move(stop))
{
    setObjectName(QStringLiteral("Keypad"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(6);
    int index = 0;
    for (const KeypadKey &key : KeypadKeys) {
        auto *button = new QPushButton(QLatin1String(key.caption), this);
        button->setObjectName(QLatin1String(key.objectName));
        button->setAccessibleName(QLatin1String(key.caption));
        button->setMinimumHeight(34);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setFocusPolicy(Qt::TabFocus);
        const KeyCode code = key.code;
        connect(button, &QPushButton::clicked, this, [this, code] { press(code); });
        grid->addWidget(button, index / 2, index % 2);
        ++index;
    }
}

QPushButton *Keypad::button(KeyCode code) const
{
    for (const KeypadKey &key : KeypadKeys) {
        if (key.code == code)
            return findChild<QPushButton *>(QLatin1String(key.objectName));
    }
    return nullptr;
}

void Keypad::press(KeyCode code)
{
    QScopedValueRollback<bool> pressing(m_pressing, true);
    PressKey(m_port, code, m_stop);
}
