#pragma once

#include "analysis/report/Report.h"
#include "widgets/QCustomPlotInclude.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <cmath>
#include <vector>

// The report's page as a canvas: its colours, fonts and geometry, and what
// its pages are drawn with (text, fills and lines in mm, headings, fields,
// tables). Laid out without drawing while `m_dry`, so that what fits on a
// page is measured with the fonts it is drawn with.

namespace ReportPdfCanvas {

inline const QColor Ink(0x1F, 0x29, 0x33);
inline const QColor Muted(0x5F, 0x6B, 0x7A);
inline const QColor Accent(0x1E, 0x86, 0x8A);
inline const QColor Rule(0xC9, 0xD2, 0xDC);
inline const QColor Zebra(0xF2, 0xF5, 0xF8);
inline const QColor Trace(0x1F, 0x4E, 0x8C);
inline const QColor MarkedShade(0xD9, 0xDE, 0xE4);
inline const QColor RangeMark(0xC0, 0x39, 0x2B);
inline const QColor NoteInk(0x9A, 0x4B, 0x00);
inline const QColor OverShade(0xF6, 0xD5, 0xD0);
inline const QColor LimitLine(0xC0, 0x39, 0x2B);
inline const QColor ExcludedShade(0xE6, 0xDC, 0xF0);
inline const QColor WindInk(0x2E, 0x7D, 0x32);
inline const QColor RainShade(0x7F, 0xB3, 0xD5);

inline constexpr double PageWidthMm = 210.0;
inline constexpr double PageHeightMm = 297.0;
inline constexpr double MarginMm = 18.0;
using ReportLayout::ContentBottomMm;
using ReportLayout::ContentTopMm;
inline constexpr double ContentWidthMm = PageWidthMm - 2 * MarginMm;
static_assert(ContentWidthMm == ReportLayout::TableWidthMm, "the tables fill the text's width");

inline QFont reportFont(double points, bool bold = false)
{
    QFont f;
    f.setFamilies(
        { QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI"), QStringLiteral("Arial") });
    f.setPointSizeF(points);
    f.setBold(bold);
    // Any letter spacing switches ligatures off, so "fi" stays two letters
    // for whoever searches or copies the text.
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.1);
    return f;
}

class ReportCanvas
{
public:
    ReportCanvas(QCPPainter &painter, double dpi)
        : m_p(painter)
        , m_dpi(dpi)
    {
    }

protected:
    static constexpr double TableRowMm = ReportLayout::TableRowMm;

    double u(double mm) const { return mm / 25.4 * m_dpi; }
    QRectF box(double x, double y, double w, double h) const
    {
        return QRectF(u(x), u(y), u(w), u(h));
    }

    // Text in a box given in mm; returns the height used in mm.
    double text(double x, double y, double w, double h, const QString &s, const QFont &font,
                const QColor &color, int flags = Qt::AlignLeft | Qt::AlignVCenter)
    {
        m_p.setFont(font);
        m_p.setPen(color);
        QRectF used;
        if (m_dry)
            used = m_p.boundingRect(box(x, y, w, h), flags, s);
        else
            m_p.drawText(box(x, y, w, h), flags, s, &used);
        return used.height() / m_dpi * 25.4;
    }

    void fill(const QRectF &area, const QColor &color)
    {
        if (!m_dry)
            m_p.fillRect(area, color);
    }

    double wrappedHeight(double w, const QString &s, const QFont &font)
    {
        m_p.setFont(font);
        const QRectF r = m_p.boundingRect(QRectF(0, 0, u(w), 1e6), Qt::TextWordWrap, s);
        return r.height() / m_dpi * 25.4;
    }

    void line(double x1, double y1, double x2, double y2, const QColor &color, double widthMm)
    {
        if (m_dry)
            return;
        m_p.setPen(QPen(color, u(widthMm)));
        m_p.drawLine(QPointF(u(x1), u(y1)), QPointF(u(x2), u(y2)));
    }

    QString elided(const QString &s, const QFont &font, double w) const
    {
        const QFontMetricsF metrics(font, m_p.device());
        return metrics.elidedText(s, Qt::ElideMiddle, u(w));
    }

    double heading(double y, const QString &title, const QString &subtitle = {})
    {
        text(MarginMm, y, ContentWidthMm, 7, title, reportFont(12, true), Accent);
        y += 7.5;
        if (!subtitle.isEmpty()) {
            const double h = wrappedHeight(ContentWidthMm, subtitle, reportFont(8));
            text(MarginMm, y, ContentWidthMm, h, subtitle, reportFont(8), Muted,
                 Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
            y += h + 1.5;
        }
        return y;
    }

    double fieldRows(double x, double y, double labelWidth, double valueWidth,
                     const std::vector<ReportField> &fields, double rowHeight = 5.2)
    {
        const QFont label = reportFont(8.5);
        const QFont value = reportFont(8.5, true);
        for (const ReportField &f : fields) {
            text(x, y, labelWidth, rowHeight, f.label, label, Muted);
            // A long value (a site, notes, the excluded time by reason) wraps
            // at its words: no field is cut.
            const double wrapped = wrappedHeight(valueWidth, f.value, value);
            const double lineMm = m_p.fontMetrics().lineSpacing() / m_dpi * 25.4;
            if (f.detail.isEmpty() && wrapped > rowHeight && lineMm > 0) {
                const int lines = int(std::ceil(wrapped / lineMm - 0.01));
                text(x + labelWidth, y + (rowHeight - lineMm) / 2, valueWidth, lines * lineMm,
                     f.value, value, Ink, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
                y += lines * lineMm + (rowHeight - lineMm);
                continue;
            }
            text(x + labelWidth, y, valueWidth, rowHeight, elided(f.value, value, valueWidth),
                 value, Ink);
            if (!f.detail.isEmpty()) {
                m_p.setFont(value);
                const double valueMm
                    = m_p.fontMetrics().horizontalAdvance(f.value) / m_dpi * 25.4 + 2.5;
                text(x + labelWidth + valueMm, y, std::max(0.0, valueWidth - valueMm), rowHeight,
                     f.detail, label, Muted);
            }
            y += rowHeight;
        }
        return y;
    }

    // One row of a table: cells left-aligned up to `leftColumns`, figures
    // right-aligned after; free text cut to its column when `elide`.
    double tableRow(double y, const QStringList &cells, const std::vector<double> &widths,
                    int leftColumns, bool elide, const QFont &font, const QColor &color)
    {
        double x = MarginMm;
        for (qsizetype c = 0; c < cells.size() && c < qsizetype(widths.size()); ++c) {
            const int align = c < leftColumns ? Qt::AlignLeft : Qt::AlignRight;
            text(x + 1.5, y, widths[size_t(c)] - 3, TableRowMm,
                 elide ? elided(cells.at(c), font, widths[size_t(c)] - 3) : cells.at(c), font,
                 color, align | Qt::AlignVCenter);
            x += widths[size_t(c)];
        }
        return y + TableRowMm;
    }

    double tableHeader(double y, const QStringList &headers, const std::vector<double> &widths,
                       int leftColumns)
    {
        fill(box(MarginMm, y, ContentWidthMm, TableRowMm), Zebra);
        y = tableRow(y, headers, widths, leftColumns, false, reportFont(8, true), Muted);
        line(MarginMm, y, MarginMm + ContentWidthMm, y, Muted, 0.25);
        return y;
    }

    double table(double y, const QStringList &headers, const std::vector<double> &widths,
                 const std::vector<QStringList> &rows, int first, int count, int leftColumns = 2,
                 bool elide = false)
    {
        const QFont body = reportFont(8.5);
        y = tableHeader(y, headers, widths, leftColumns);
        for (int i = first; i < first + count; ++i) {
            if ((i - first) % 2 == 1)
                fill(box(MarginMm, y, ContentWidthMm, TableRowMm), Zebra);
            y = tableRow(y, rows[size_t(i)], widths, leftColumns, elide, body, Ink);
        }
        return y;
    }

    QCPPainter &m_p;
    bool m_dry = false; // laying out without drawing
    double m_dpi;
};

} // namespace ReportPdfCanvas
