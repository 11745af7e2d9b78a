#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace {

constexpr int Size = 64; // drawn large, shown at the tool bar's icon size

const QColor Stroke(0x26, 0x36, 0x48);
const QColor Accent(0x1E, 0x86, 0x8A);
const QColor Record(0xC8, 0x2A, 0x2A);
const QColor Paper(0xF4, 0xF6, 0xF8);

QPen strokePen(double width = 4.5)
{
    return QPen(Stroke, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void letters(QPainter &p, const QRectF &box, const QString &text, double pointSize)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(int(pointSize));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Stroke);
    p.drawText(box, Qt::AlignCenter, text);
}

void arrow(QPainter &p, bool up)
{
    // A level scale with an arrow beside it.
    p.setPen(strokePen(3));
    for (int i = 0; i < 5; ++i) {
        const double y = 12 + i * 10;
        p.drawLine(QPointF(8, y), QPointF(i % 2 ? 16 : 22, y));
    }
    QPainterPath path;
    if (up) {
        path.moveTo(42, 8);
        path.lineTo(58, 28);
        path.lineTo(48, 28);
        path.lineTo(48, 56);
        path.lineTo(36, 56);
        path.lineTo(36, 28);
        path.lineTo(26, 28);
    } else {
        path.moveTo(42, 56);
        path.lineTo(58, 36);
        path.lineTo(48, 36);
        path.lineTo(48, 8);
        path.lineTo(36, 8);
        path.lineTo(36, 36);
        path.lineTo(26, 36);
    }
    path.closeSubpath();
    p.setPen(strokePen(3));
    p.setBrush(Accent);
    p.drawPath(path);
}

void clockFace(QPainter &p, const QPointF &c, double r)
{
    p.setPen(strokePen());
    p.setBrush(Paper);
    p.drawEllipse(c, r, r);
    p.drawLine(c, c + QPointF(0, -r * 0.65));
    p.drawLine(c, c + QPointF(r * 0.5, r * 0.2));
}

void draw(QPainter &p, int image)
{
    switch (image) {
    case 1: // Save As / record: a disk with the record dot
        p.setPen(strokePen());
        p.setBrush(Paper);
        p.drawRoundedRect(QRectF(8, 8, 48, 48), 6, 6);
        p.setBrush(Stroke);
        p.drawRect(QRectF(18, 8, 24, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(Record);
        p.drawEllipse(QPointF(32, 40), 9, 9);
        break;
    case 2: // Open: a folder
        p.setPen(strokePen());
        p.setBrush(Accent.lighter(150));
        p.drawPolygon(QPolygonF({ QPointF(6, 14), QPointF(24, 14), QPointF(30, 20), QPointF(56, 20),
                                  QPointF(56, 52), QPointF(6, 52) }));
        p.setBrush(Accent);
        p.drawPolygon(
            QPolygonF({ QPointF(6, 52), QPointF(14, 28), QPointF(62, 28), QPointF(56, 52) }));
        break;
    case 3: { // Sampling rate: a level trace with its sample points
        p.setPen(strokePen(3));
        p.drawLine(QPointF(6, 56), QPointF(58, 56));
        p.drawLine(QPointF(6, 56), QPointF(6, 8));
        QPolygonF trace;
        for (int i = 0; i < 6; ++i)
            trace << QPointF(12 + i * 9, 34 - 16 * std::sin(i * 1.1));
        p.setPen(strokePen(3.5));
        p.drawPolyline(trace);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        for (const QPointF &pt : trace)
            p.drawEllipse(pt, 4.5, 4.5);
        break;
    }
    case 4: // Frequency weighting
        letters(p, QRectF(0, 4, 64, 36), QStringLiteral("A/C"), 22);
        p.setPen(QPen(Accent, 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        {
            QPainterPath curve;
            curve.moveTo(6, 58);
            curve.cubicTo(20, 38, 44, 38, 58, 58);
            p.drawPath(curve);
        }
        break;
    case 5: // Time weighting
        clockFace(p, QPointF(22, 26), 16);
        letters(p, QRectF(22, 34, 42, 28), QStringLiteral("FSI"), 17);
        break;
    case 6:
        arrow(p, true);
        break;
    case 7:
        arrow(p, false);
        break;
    case 8: // Real time clock
        clockFace(p, QPointF(32, 32), 25);
        break;
    case 9: // Data logger memory: a chip
        p.setPen(strokePen(3));
        for (int i = 0; i < 4; ++i) {
            const double x = 17 + i * 10;
            p.drawLine(QPointF(x, 4), QPointF(x, 14));
            p.drawLine(QPointF(x, 50), QPointF(x, 60));
        }
        p.setPen(strokePen());
        p.setBrush(Stroke);
        p.drawRoundedRect(QRectF(10, 14, 44, 36), 4, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawEllipse(QPointF(20, 24), 4, 4);
        break;
    case 10: // Erase memory: the chip with a cross
        p.setPen(strokePen());
        p.setBrush(Paper);
        p.drawRoundedRect(QRectF(6, 14, 40, 36), 4, 4);
        p.setPen(QPen(Record, 7, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(36, 30), QPointF(58, 52));
        p.drawLine(QPointF(58, 30), QPointF(36, 52));
        break;
    case 11: { // Refresh: a circular arrow
        p.setPen(QPen(Accent, 7, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 12, 40, 40), 100 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawPolygon(QPolygonF({ QPointF(22, 2), QPointF(40, 12), QPointF(22, 24) }));
        break;
    }
    case PlotImage: { // a level graph over its axes
        p.setPen(strokePen(3));
        p.drawLine(QPointF(6, 56), QPointF(58, 56));
        p.drawLine(QPointF(6, 56), QPointF(6, 8));
        QPolygonF trace;
        for (int i = 0; i <= 12; ++i)
            trace << QPointF(10 + i * 4, 36 - 14 * std::sin(i * 0.7) - (i % 2) * 5);
        p.setPen(QPen(Accent, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(trace);
        break;
    }
    case HistogramImage: { // class bars over the level axis
        p.setPen(strokePen(3));
        p.drawLine(QPointF(4, 56), QPointF(60, 56));
        const double heights[] = { 10, 22, 38, 30, 16, 8 };
        p.setBrush(Accent);
        for (int i = 0; i < 6; ++i)
            p.drawRect(QRectF(8 + i * 8.5, 54 - heights[i], 7, heights[i]));
        break;
    }
    case PrintImage: // a printer with its sheet
        p.setPen(strokePen());
        p.setBrush(Paper);
        p.drawRect(QRectF(18, 6, 28, 20));
        p.setBrush(Accent.lighter(150));
        p.drawRoundedRect(QRectF(6, 24, 52, 22), 5, 5);
        p.setBrush(Paper);
        p.drawRect(QRectF(16, 38, 32, 20));
        p.setPen(strokePen(2.5));
        p.drawLine(QPointF(22, 46), QPointF(42, 46));
        p.drawLine(QPointF(22, 52), QPointF(38, 52));
        break;
    case SaveFileImage: // a disk
        p.setPen(strokePen());
        p.setBrush(Paper);
        p.drawRoundedRect(QRectF(8, 8, 48, 48), 6, 6);
        p.setBrush(Stroke);
        p.drawRect(QRectF(18, 8, 24, 14));
        p.setBrush(Accent.lighter(150));
        p.drawRect(QRectF(16, 32, 32, 24));
        break;
    case ReportImage: { // a report sheet: a level graph over text lines
        p.setPen(strokePen());
        p.setBrush(Paper);
        p.drawPolygon(QPolygonF(
            { QPointF(12, 4), QPointF(42, 4), QPointF(54, 16), QPointF(54, 60), QPointF(12, 60) }));
        p.setBrush(Accent.lighter(150));
        p.drawPolygon(QPolygonF({ QPointF(42, 4), QPointF(42, 16), QPointF(54, 16) }));
        QPolygonF trace;
        for (int i = 0; i <= 6; ++i)
            trace << QPointF(18 + i * 5, 30 - 8 * std::sin(i * 1.3) - (i % 2) * 3);
        p.setPen(QPen(Accent, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(trace);
        p.setPen(strokePen(3));
        p.drawLine(QPointF(19, 44), QPointF(47, 44));
        p.drawLine(QPointF(19, 52), QPointF(39, 52));
        break;
    }
    case CalibrationImage: { // a calibrator on the microphone, with its tone
        p.setPen(strokePen());
        p.setBrush(Paper);
        p.drawRoundedRect(QRectF(8, 30, 22, 28), 4, 4); // the calibrator
        p.setBrush(Accent.lighter(150));
        p.drawRect(QRectF(12, 20, 14, 10)); // its cavity over the microphone
        p.setBrush(Stroke);
        p.drawEllipse(QPointF(19, 44), 4, 4);
        p.setPen(QPen(Accent, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 3; ++i) // the tone
            p.drawArc(QRectF(28 - i * 8, 12 - i * 8, 24 + i * 16, 24 + i * 16), -40 * 16, 80 * 16);
        break;
    }
    case DetailsImage: // a clipboard with its form lines
        p.setPen(strokePen());
        p.setBrush(Paper);
        p.drawRoundedRect(QRectF(12, 8, 40, 52), 4, 4);
        p.setBrush(Accent.lighter(150));
        p.drawRoundedRect(QRectF(22, 4, 20, 10), 3, 3);
        p.setPen(strokePen(3));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(20, 24 + i * 9), QPointF(i % 2 ? 36 : 44, 24 + i * 9));
        break;
    case StopRecordingImage: // recording: the stop square
        p.setPen(strokePen());
        p.setBrush(Record);
        p.drawRoundedRect(QRectF(12, 12, 40, 40), 5, 5);
        break;
    default:
        break;
    }
}

} // namespace

QIcon ToolbarImage(int imageNumber)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        draw(p, imageNumber);
    }
    return QIcon(pixmap);
}
