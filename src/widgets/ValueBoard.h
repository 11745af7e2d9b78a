#pragma once

#include <QLabel>

// A label that shows a value under a caption: a screen reader hears the
// caption as its name and the shown text as its value and its text, and is
// told whenever the text changes. A plain QLabel with an accessible name speaks the name
// only and keeps its text to itself.
class ValueBoard : public QLabel
{
    Q_OBJECT

public:
    explicit ValueBoard(const QString &caption, QWidget *parent = nullptr);
    ValueBoard(const QString &caption, const QString &text, QWidget *parent);

    QString caption() const { return accessibleName(); }

    // Hides QLabel::setText so that each change is announced: set the text
    // through a ValueBoard pointer.
    void setText(const QString &text);

    // A board that reacts to clicks offers the same as an accessible action;
    // the action emits activated().
    void setActionName(const QString &name) { m_actionName = name; }
    QString actionName() const { return m_actionName; }

    // What the accessible action does.
    void activate() { Q_EMIT activated(); }

Q_SIGNALS:
    void activated();

private:
    QString m_actionName;
};
