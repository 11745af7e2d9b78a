#pragma once

#include <QKeySequence>
#include <QString>

class QAbstractButton;
class QAction;
class QWidget;

// Keyboard shortcuts a desktop user expects (Ctrl+O, Ctrl+P, F5). The tool
// tips stay as the program words them; the shortcut reaches screen readers
// through the accessible description instead.
namespace Shortcuts {

QString description(const QKeySequence &keys);

// The action's shortcut; `button` is the tool button that shows the action.
void give(QAction *action, const QKeySequence &keys, QWidget *button);
void give(QAbstractButton *button, const QKeySequence &keys);

} // namespace Shortcuts
