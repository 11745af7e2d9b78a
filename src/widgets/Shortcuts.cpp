#include "Shortcuts.h"

#include <QAbstractButton>
#include <QAction>

namespace Shortcuts {

QString description(const QKeySequence &keys)
{
    return QStringLiteral("Shortcut: %1").arg(keys.toString(QKeySequence::NativeText));
}

void give(QAction *action, const QKeySequence &keys, QWidget *button)
{
    action->setShortcut(keys);
    if (button)
        button->setAccessibleDescription(description(keys));
}

void give(QAbstractButton *button, const QKeySequence &keys)
{
    button->setShortcut(keys);
    button->setAccessibleDescription(description(keys));
}

} // namespace Shortcuts
