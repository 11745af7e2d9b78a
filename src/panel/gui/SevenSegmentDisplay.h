#pragma once

#include <QWidget>

// The panel's level figure drawn as the meter's seven-segment digits. Shows
// digits, a decimal point, dashes ("- - -": the spaces only separate the
// dashes) and a trailing "*" as a small mark. Four digit places are kept so
// that the figure does not jump when its width changes.
class SevenSegmentDisplay : public QWidget
{
    Q_OBJECT

public:
    explicit SevenSegmentDisplay(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};
