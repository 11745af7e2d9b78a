#pragma once

#include <QWidget>

// The meter's bar graph (SoundBar): one segment per dB from minimum to
// maximum, lit up to the value, with a longer tick every 10 dB.
class LevelBar : public QWidget
{
    Q_OBJECT

public:
    explicit LevelBar(QWidget *parent = nullptr);

    void setRange(double minimum, double maximum);
    void setValue(double value);
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    double value() const { return m_value; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_minimum = 0;
    double m_maximum = 100;
    double m_value = 0;
};
