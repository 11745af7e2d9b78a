#include "LevelBar.h"

#include "LcdColours.h"

#include <QPainter>

#include <cmath>

LevelBar::LevelBar(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LevelBar::setRange(double minimum, double maximum)
{
    if (minimum == m_minimum && maximum == m_maximum)
        return;
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void LevelBar::setValue(double value)
{
    if (value == m_value)
        return;
    m_value = value;
    setAccessibleDescription(QString::number(value, 'f', 1));
    update();
}

QSize LevelBar::sizeHint() const
{
    return { 360, 30 };
}

QSize LevelBar::minimumSizeHint() const
{
    return { 120, 24 };
}

void LevelBar::paintEvent(QPaintEvent *)
{
    const int segments = std::max(1, int(std::lround(m_maximum - m_minimum)));
    const double pitch = double(width() - 2) / segments;
    const double barHeight = height() * 0.62;
    const double lit = m_value - m_minimum;

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < segments; ++i) {
        const QRectF segment(1 + i * pitch + pitch * 0.12, 0, pitch * 0.76, barHeight);
        p.setBrush(i < lit ? LcdColours::ink() : LcdColours::ghost());
        p.drawRect(segment);
    }
    // Scale ticks under the bar: every 5 dB, longer every 10 dB.
    p.setPen(QPen(LcdColours::ink(), 1.2));
    for (int i = 0; i <= segments; i += 5) {
        const double x = 1 + i * pitch;
        const bool major = (int(std::lround(m_minimum)) + i) % 10 == 0;
        const double len = (height() - barHeight - 2) * (major ? 1.0 : 0.5);
        p.drawLine(QPointF(x, barHeight + 2), QPointF(x, barHeight + 2 + len));
    }
}
