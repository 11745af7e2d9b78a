#pragma once

#include <QWidget>

// One of the meter's run / pause / stop symbols, drawn in the display's ink.
class StateIcon : public QWidget
{
    Q_OBJECT

public:
    enum class Kind { Run, Pause, Stop };

    explicit StateIcon(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind m_kind;
};
