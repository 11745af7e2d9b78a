#include "Keypad.h"

#include "panel/KeypadKeys.h"

#include <QGridLayout>
#include <QPushButton>

Keypad::Keypad(LinkOwner &link, StopRequested stop, QWidget *parent)
    : QWidget(parent)
    , m_link(link)
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

void Keypad::setKeysAvailable(bool available)
{
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setEnabled(available);
}

void Keypad::press(KeyCode code)
{
    m_link.whenFree(Exchange::Key, [this, code] {
        const auto hold = m_link.tryHold(Exchange::Key);
        if (!hold || (m_stop && m_stop()))
            return;
        // A key the meter did not acknowledge in time is dropped; a silent
        // meter is the owner's to notice when the hold ends.
        PressKey(hold->port(), code, m_stop);
    });
}
