#include "SevenSegmentDisplay.h"

#include "LcdColours.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Segments a (top), b (top right), c (bottom right), d (bottom), e (bottom
// left), f (top left), g (middle), as bits 0..6.
constexpr std::array<uint8_t, 10> DigitSegments
    = { 0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F };
constexpr uint8_t DashSegments = 0x40;
constexpr uint8_t AllSegments = 0x7F;

constexpr int DigitPlaces = 4;
constexpr double DigitWidthPerHeight = 0.56;
constexpr double PitchPerDigitWidth = 1.3;
constexpr double MarkPlaceInPitches = 0.45;
constexpr double Slant = 0.08; // italic lean, as the meter's digits

struct Cell
{
    uint8_t segments = 0;
    bool point = false;
};

struct Parsed
{
    std::vector<Cell> cells;
    bool marked = false;
};

Parsed parse(const QString &text)
{
    Parsed p;
    for (const QChar ch : text) {
        if (ch.isDigit()) {
            p.cells.push_back({ DigitSegments[ch.digitValue()], false });
        } else if (ch == QLatin1Char('-')) {
            p.cells.push_back({ DashSegments, false });
        } else if (ch == QLatin1Char('.')) {
            if (p.cells.empty() || p.cells.back().point)
                p.cells.push_back({ 0, true });
            else
                p.cells.back().point = true;
        } else if (ch == QLatin1Char('*')) {
            p.marked = true;
        }
    }
    return p;
}

// One segment as a six-cornered bar in a digit box of width w and height h
// with stroke t, before the slant is applied.
QPolygonF segmentPolygon(int index, double w, double h, double t)
{
    const double g = t * 0.12; // gap between neighbouring segments
    const double half = t / 2;
    auto horizontal = [&](double y) {
        return QPolygonF({ QPointF(half + g, y), QPointF(t + g, y - half),
                           QPointF(w - t - g, y - half), QPointF(w - half - g, y),
                           QPointF(w - t - g, y + half), QPointF(t + g, y + half) });
    };
    auto vertical = [&](double x, double y0, double y1) {
        return QPolygonF({ QPointF(x, y0 + g), QPointF(x + half, y0 + half + g),
                           QPointF(x + half, y1 - half - g), QPointF(x, y1 - g),
                           QPointF(x - half, y1 - half - g), QPointF(x - half, y0 + half + g) });
    };
    const double mid = h / 2;
    switch (index) {
    case 0:
        return horizontal(half);
    case 1:
        return vertical(w - half, half, mid);
    case 2:
        return vertical(w - half, mid, h - half);
    case 3:
        return horizontal(h - half);
    case 4:
        return vertical(half, mid, h - half);
    case 5:
        return vertical(half, half, mid);
    default:
        return horizontal(mid);
    }
}

void drawDigit(QPainter &p, const QPointF &origin, double w, double h, uint8_t segments,
               const QColor &colour)
{
    const double t = h * 0.105;
    QTransform lean;
    lean.translate(origin.x(), origin.y());
    lean.shear(-Slant, 0);
    lean.translate(Slant * h, 0);
    p.setBrush(colour);
    for (int s = 0; s < 7; ++s) {
        if (segments & (1 << s))
            p.drawPolygon(lean.map(segmentPolygon(s, w, h, t)));
    }
}

void drawMark(QPainter &p, const QPointF &centre, double size, const QColor &colour)
{
    QPen pen(colour, size * 0.22, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    for (int i = 0; i < 3; ++i) {
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(60.0 * i + 90);
        p.drawLine(turn.map(QLineF(-size / 2, 0, size / 2, 0)));
    }
    p.setPen(Qt::NoPen);
}

} // namespace

SevenSegmentDisplay::SevenSegmentDisplay(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SevenSegmentDisplay::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleDescription(text);
    update();
}

QSize SevenSegmentDisplay::sizeHint() const
{
    return { 360, 130 };
}

QSize SevenSegmentDisplay::minimumSizeHint() const
{
    return { 160, 60 };
}

void SevenSegmentDisplay::paintEvent(QPaintEvent *)
{
    const Parsed parsed = parse(m_text);
    const int places = std::max<int>(DigitPlaces, int(parsed.cells.size()));
    const double margin = height() * 0.06;
    const double usableW = width() - 2 * margin;
    const double usableH = height() - 2 * margin;
    // Fit the height first, then shrink if the places do not fit the width.
    double h = usableH;
    auto pitchOf
        = [](double digitHeight) { return digitHeight * DigitWidthPerHeight * PitchPerDigitWidth; };
    const double needed = pitchOf(h) * (places + MarkPlaceInPitches);
    if (needed > usableW)
        h *= usableW / needed;
    const double w = h * DigitWidthPerHeight;
    const double pitch = pitchOf(h);
    const double totalW = pitch * (places + MarkPlaceInPitches);
    const double left = margin + (usableW - totalW); // right-aligned
    const double top = margin + (usableH - h) / 2;

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    const int firstUsed = places - int(parsed.cells.size());
    for (int place = 0; place < places; ++place) {
        const QPointF origin(left + place * pitch, top);
        drawDigit(p, origin, w, h, AllSegments, LcdColours::ghost());
        const double dot = h * 0.11;
        const QRectF pointRect(origin.x() + w + (pitch - w - dot) / 2 - Slant * h * 0.1,
                               top + h - dot, dot, dot);
        p.setBrush(LcdColours::ghost());
        p.drawEllipse(pointRect);
        if (place < firstUsed)
            continue;
        const Cell &cell = parsed.cells[size_t(place - firstUsed)];
        drawDigit(p, origin, w, h, cell.segments, LcdColours::ink());
        if (cell.point) {
            p.setBrush(LcdColours::ink());
            p.drawEllipse(pointRect);
        }
    }
    const QPointF markCentre(left + places * pitch + pitch * MarkPlaceInPitches / 2,
                             top + h * 0.15);
    drawMark(p, markCentre, h * 0.2, parsed.marked ? LcdColours::ink() : LcdColours::ghost());
}
