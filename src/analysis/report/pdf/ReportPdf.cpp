#include "ReportPdf.h"
#include "ReportCanvas.h"
#include "analysis/Wording.h"

#include "recording/AtomicFile.h"
#include "widgets/QCustomPlotInclude.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QScopedValueRollback>
#include <QScreen>

#include <algorithm>
#include <cmath>

using namespace ReportPdfCanvas;

namespace {

// Draws the pages of one report on one painter. Lengths are given in mm
// and turned into device units here; fonts are given in points.
class PageDrawer : public ReportCanvas
{
public:
    PageDrawer(QCPPainter &painter, const Report &report, double dpi)
        : ReportCanvas(painter, dpi)
        , m_report(report)
    {
        m_plot.setBackground(Qt::NoBrush);
        m_plot.setPlottingHint(QCP::phCacheLabels, false);
    }

    void drawPage(int index)
    {
        const ReportPage &page = m_report.pages[size_t(index)];
        const ReportSection &section = m_report.sections[size_t(page.section)];
        drawFrame(section, index);
        switch (page.kind) {
        case PageKind::Summary:
            drawSummary(section);
            break;
        case PageKind::History:
            drawHistory(section, page);
            break;
        case PageKind::Distribution:
            drawDistribution(section);
            break;
        case PageKind::Intervals:
            drawIntervals(section, page);
            break;
        case PageKind::Exclusions:
            drawExclusions(section, page);
            break;
        case PageKind::Notes:
            flow(section, ContentTopMm, page.first);
            break;
        case PageKind::Assessment:
            flowAssessment(section, ContentTopMm, page.first);
            break;
        }
    }

    // The assessment's pages: where each begins and how many blocks it holds.
    std::vector<std::pair<int, int>> assessmentPages(const ReportSection &section)
    {
        const QScopedValueRollback dry(m_dry, true);
        std::vector<std::pair<int, int>> pages;
        const int blocks = int(assessmentBlocks(section).size());
        int next = 0;
        while (next < blocks) {
            const int end = std::max(next + 1, flowAssessment(section, ContentTopMm, next));
            pages.emplace_back(next, end - next);
            next = end;
        }
        return pages;
    }

    // The first page's method and notes that do not fit on it, laid out
    // without drawing: where each following page's part begins.
    std::vector<std::pair<int, int>> overflowOf(const ReportSection &section)
    {
        const QScopedValueRollback dry(m_dry, true);
        std::vector<std::pair<int, int>> pages;
        int next = drawSummary(section);
        const int blocks = int(flowBlocks(section).size());
        while (next < blocks) {
            const int end = std::max(next + 1, flow(section, ContentTopMm, next));
            pages.emplace_back(next, end - next);
            next = end;
        }
        return pages;
    }

private:
    void drawFrame(const ReportSection &section, int index)
    {
        const QFont small = reportFont(8);
        text(MarginMm, 11, 120, 6, section.title, reportFont(9, true), Ink);
        text(MarginMm + 60, 11, ContentWidthMm - 60, 6, m_report.options.reportDate, small, Muted,
             Qt::AlignRight | Qt::AlignVCenter);
        line(MarginMm, 18.5, PageWidthMm - MarginMm, 18.5, Accent, 0.5);
        line(MarginMm, 283, PageWidthMm - MarginMm, 283, Rule, 0.3);
        text(MarginMm, 284.5, 100, 5, m_report.options.programVersion, small, Muted);
        text(MarginMm + 60, 284.5, ContentWidthMm - 60, 5,
             pageNumberText(index + 1, int(m_report.pages.size())), small, Muted,
             Qt::AlignRight | Qt::AlignVCenter);
    }

    // The first page; the index of the first method or notes block that did
    // not fit on it.
    int drawSummary(const ReportSection &section)
    {
        const ReportOptions &o = m_report.options;
        double y = ContentTopMm;
        text(MarginMm, y, ContentWidthMm, 10, QStringLiteral("Measurement report"),
             reportFont(20, true), Ink);
        y += 11;
        text(MarginMm, y, ContentWidthMm, 6, section.title, reportFont(11), Muted);
        y += 9;
        // Nobody files a report of a meter that drifted, or was never
        // checked, without seeing it first.
        if (!section.calibrationAlert.isEmpty()) {
            const QFont alert = reportFont(9.5, true);
            const double h = wrappedHeight(ContentWidthMm - 6, section.calibrationAlert, alert) + 4;
            if (!m_dry) {
                m_p.save();
                m_p.setPen(QPen(NoteInk, 0.6 / 25.4 * m_dpi));
                m_p.drawRect(box(MarginMm, y, ContentWidthMm, h));
                m_p.restore();
            }
            text(MarginMm + 3, y + 2, ContentWidthMm - 6, h - 4, section.calibrationAlert, alert,
                 NoteInk, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap);
            y += h + 4;
        }

        std::vector<ReportField> client;
        const std::pair<QString, QString> lines[] = { { QStringLiteral("Company"), o.company },
                                                      { QStringLiteral("Sector"), o.sector },
                                                      { QStringLiteral("Name"), o.name } };
        for (const auto &[label, value] : lines)
            if (!value.trimmed().isEmpty())
                client.push_back({ label, value.trimmed(), {} });
        if (!client.empty()) {
            fill(box(MarginMm, y, ContentWidthMm, client.size() * 5.2 + 3), Zebra);
            fieldRows(MarginMm + 3, y + 1.5, 30, ContentWidthMm - 36, client);
            y += client.size() * 5.2 + 7;
        }

        y = heading(y, QStringLiteral("Measurement"));
        const double columnWidth = ContentWidthMm / 2 - 4;
        const std::vector<ReportField> file(section.facts.begin(), section.facts.begin() + 1);
        y = fieldRows(MarginMm, y, 34, ContentWidthMm - 34, file);
        const std::vector<ReportField> facts(section.facts.begin() + 1, section.facts.end());
        const double left = fieldRows(MarginMm, y, 34, columnWidth - 34, facts);
        const double rightX = MarginMm + ContentWidthMm / 2 + 4;
        text(rightX, y, columnWidth, 5.2, QStringLiteral("Stored in the file header"),
             reportFont(8.5, true), Ink);
        double right = y + 5.2;
        if (section.headerless || !section.storedNote.isEmpty()) {
            right += text(rightX, right, columnWidth, 10,
                          section.headerless
                              ? QStringLiteral("The file has no header: it holds readings only.")
                              : section.storedNote,
                          reportFont(8.5), Muted, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        } else {
            right = fieldRows(rightX, right, 28, columnWidth - 28, section.storedBoards, 4.6);
        }
        y = std::max(left, right) + 5;

        if (!section.details.empty() || !section.calibration.empty()) {
            const double top = y;
            double detailsEnd = y;
            if (!section.details.empty()) {
                text(MarginMm, y, columnWidth, 5.2, QStringLiteral("Measurement details"),
                     reportFont(8.5, true), Ink);
                detailsEnd
                    = fieldRows(MarginMm, y + 5.2, 28, columnWidth - 28, section.details, 4.6);
            }
            const double calibrationX = section.details.empty() ? MarginMm : rightX;
            text(calibrationX, top, columnWidth, 5.2, QStringLiteral("Calibration"),
                 reportFont(8.5, true), Ink);
            const double calibrationEnd = fieldRows(calibrationX, top + 5.2, 28, columnWidth - 28,
                                                    section.calibration, 4.6);
            y = std::max(detailsEnd, calibrationEnd) + 5;
        }

        if (!section.weather.empty()) {
            text(MarginMm, y, ContentWidthMm, 5.2, QStringLiteral("Weather"), reportFont(8.5, true),
                 Ink);
            y = fieldRows(MarginMm, y + 5.2, 34, ContentWidthMm - 34, section.weather, 4.6) + 5;
        }

        y = heading(y, QStringLiteral("Results"),
                    QStringLiteral("Recomputed from the readings; levels in the program's "
                                   "one-decimal form (truncated)."));
        const double rowHeight = 5.6;
        const QFont label = reportFont(9);
        const QFont value = reportFont(9, true);
        for (size_t i = 0; i < section.figures.size(); ++i) {
            const ReportField &f = section.figures[i];
            if (i % 2 == 0)
                fill(box(MarginMm, y, ContentWidthMm, rowHeight), Zebra);
            text(MarginMm + 2, y, 60, rowHeight, f.label, label, Ink);
            text(MarginMm + 62, y, 30, rowHeight, f.value, value, Ink,
                 Qt::AlignRight | Qt::AlignVCenter);
            text(MarginMm + 100, y, ContentWidthMm - 102, rowHeight, f.detail, label, Muted);
            y += rowHeight;
        }
        y += 5;
        return flow(section, y, 0);
    }

    // The method and notes: headings and paragraphs, in order.
    struct Block
    {
        enum Kind { Heading, Method, Note } kind;
        QString text;
        double space = 0; // mm above a heading
    };
    static std::vector<Block> flowBlocks(const ReportSection &section)
    {
        std::vector<Block> blocks { { Block::Heading, QStringLiteral("Method") } };
        for (const QString &m : section.method)
            blocks.push_back({ Block::Method, m });
        if (!section.notes.isEmpty())
            blocks.push_back({ Block::Heading, QStringLiteral("Notes"), 3 });
        for (const QString &n : section.notes)
            blocks.push_back({ Block::Note, n });
        return blocks;
    }

    // Blocks from `first` on, as many as fit above the footer; a heading
    // goes only with the paragraph after it. The index of the first left out.
    int flow(const ReportSection &section, double y, int first)
    {
        const std::vector<Block> blocks = flowBlocks(section);
        const QFont small = reportFont(7.5);
        const auto height = [&](const Block &b) {
            return b.kind == Block::Heading ? 7.5 + b.space
                : b.kind == Block::Method
                ? wrappedHeight(ContentWidthMm, b.text, small) + 0.8
                : wrappedHeight(ContentWidthMm, b.text, reportFont(8)) + 1;
        };
        // A page that goes on with a part says whose part it is.
        if (first > 0 && first < int(blocks.size()) && blocks[size_t(first)].kind != Block::Heading)
            y = heading(y,
                        blocks[size_t(first)].kind == Block::Note
                            ? QStringLiteral("Notes (continued)")
                            : QStringLiteral("Method (continued)"));
        for (int i = first; i < int(blocks.size()); ++i) {
            const Block &b = blocks[size_t(i)];
            double needed = height(b);
            if (b.kind == Block::Heading && i + 1 < int(blocks.size()))
                needed += height(blocks[size_t(i + 1)]);
            // A page's first block always goes, however long.
            if (y + needed > ContentBottomMm && i > first)
                return i;
            if (b.kind == Block::Heading) {
                y = heading(y + b.space, b.text);
                continue;
            }
            const bool note = b.kind == Block::Note;
            const double h = height(b) - (note ? 1 : 0.8);
            text(MarginMm, y, ContentWidthMm, h, b.text, note ? reportFont(8) : small,
                 note ? NoteInk : Muted, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
            y += height(b);
        }
        return int(blocks.size());
    }

    void resetPlot()
    {
        m_plot.clearGraphs();
        m_plot.clearItems();
        m_plot.clearPlottables();
        const QFont tick = reportFont(6.5);
        const QFont label = reportFont(7);
        for (QCPAxis *axis : m_plot.axisRect()->axes()) {
            axis->setTickLabelFont(tick);
            axis->setLabelFont(label);
            axis->setTickLabelColor(Ink);
            axis->setLabelColor(Muted);
            axis->setBasePen(QPen(Muted, 0.8));
            axis->setTickPen(QPen(Muted, 0.8));
            axis->setSubTickPen(QPen(Muted, 0.5));
            axis->grid()->setPen(QPen(Rule, 0.5, Qt::DotLine));
            axis->grid()->setSubGridVisible(false);
            axis->setLabel(QString());
            axis->setTickLabels(true);
            axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
        }
        m_plot.yAxis2->setVisible(false);
        m_plot.xAxis2->setVisible(false);
        m_plot.axisRect()->setAutoMargins(QCP::msAll);
    }

    void renderPlot(double x, double y, double w, double h)
    {
        m_p.save();
        m_p.translate(u(x), u(y));
        m_plot.toPainter(&m_p, int(std::lround(u(w))), int(std::lround(u(h))));
        m_p.restore();
    }

    void drawStrip(const ReportSection &section, const HistoryStrip &strip, double x, double y,
                   double w, double h)
    {
        resetPlot();
        const TimeHistory &history = section.history;
        const double floor = history.levelFloor;
        const double ceiling = history.levelCeiling;
        m_plot.xAxis->setRange(strip.start, strip.end);
        m_plot.yAxis->setRange(floor, ceiling);
        m_plot.yAxis->setLabel(QStringLiteral("dB"));
        QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
        for (const HistoryTick &t : strip.ticks)
            ticker->addTick(t.position, t.label);
        ticker->setSubTickCount(0);
        m_plot.xAxis->setTicker(ticker);
        m_plot.axisRect()->setAutoMargins(QCP::msNone);
        m_plot.axisRect()->setMargins(QMargins(int(u(11)), int(u(1.5)), int(u(8)), int(u(9))));

        const int columns = strip.columns();
        const double width = (strip.end - strip.start) / columns;
        // A band of the strip's full height from one key to another.
        const auto shade = [&](double from, double to, const QBrush &brush) {
            auto *rect = new QCPItemRect(&m_plot);
            rect->setClipToAxisRect(true);
            rect->topLeft->setCoords(from, ceiling);
            rect->bottomRight->setCoords(to, floor);
            rect->setPen(Qt::NoPen);
            rect->setBrush(brush);
        };
        // Marked runs first, so the trace is drawn over them.
        for (int c = 0; c < columns;) {
            if (!(strip.flags[size_t(c)] & HistoryColumn::Marked)) {
                ++c;
                continue;
            }
            const int from = c;
            while (c < columns && (strip.flags[size_t(c)] & HistoryColumn::Marked))
                ++c;
            shade(strip.start + from * width, strip.start + c * width, MarkedShade);
        }

        // Excluded spans, then intervals over their limit, behind the trace.
        for (const auto &[from, to] : section.excludedSpans)
            if (to > strip.start && from < strip.end)
                shade(std::max(from, strip.start), std::min(to, strip.end),
                      QBrush(ExcludedShade, Qt::SolidPattern));
        for (const auto &[from, to] : section.overSpans)
            if (to > strip.start && from < strip.end)
                shade(std::max(from, strip.start), std::min(to, strip.end), OverShade);

        QVector<double> keys, values, underKeys, overKeys;
        keys.reserve(columns * 3);
        values.reserve(columns * 3);
        double previous = floor;
        for (int c = 0; c < columns; ++c) {
            const quint8 flags = strip.flags[size_t(c)];
            const double key = strip.columnCentre(c);
            if (flags & HistoryColumn::UnderRange)
                underKeys << key;
            if (flags & HistoryColumn::OverRange)
                overKeys << key;
            if (!(flags & HistoryColumn::Level))
                continue;
            if ((flags & HistoryColumn::Break) && !keys.isEmpty()) {
                keys << key;
                values << std::numeric_limits<double>::quiet_NaN();
            }
            const double low = strip.low[size_t(c)];
            const double high = strip.high[size_t(c)];
            // Join from the end nearer the previous column, so the trace stays a line.
            const bool lowFirst = std::abs(previous - low) <= std::abs(previous - high);
            keys << key << key;
            values << (lowFirst ? low : high) << (lowFirst ? high : low);
            previous = lowFirst ? high : low;
        }
        QCPGraph *trace = m_plot.addGraph();
        trace->setAdaptiveSampling(false);
        trace->setPen(QPen(Trace, u(0.18), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        trace->setData(keys, values, true);

        if (!section.limitSteps.empty()) {
            QVector<double> at, limit;
            for (const auto &[t, value] : section.limitSteps) {
                at << t;
                limit << value;
            }
            QCPGraph *line = m_plot.addGraph();
            line->setLineStyle(QCPGraph::lsStepLeft);
            line->setAdaptiveSampling(false);
            line->setPen(QPen(LimitLine, u(0.3), Qt::DashLine));
            line->setData(at, limit, true);
        }

        const double markSize = u(1.6);
        const auto marks
            = [&](const QVector<double> &at, double level, QCPScatterStyle::ScatterShape shape) {
                  if (at.isEmpty())
                      return;
                  QCPGraph *g = m_plot.addGraph();
                  g->setLineStyle(QCPGraph::lsNone);
                  g->setScatterStyle(QCPScatterStyle(shape, RangeMark, RangeMark, markSize));
                  g->setData(at, QVector<double>(at.size(), level), true);
              };
        const double inset = (ceiling - floor) * 0.03;
        marks(underKeys, floor + inset, QCPScatterStyle::ssTriangleInverted);
        marks(overKeys, ceiling - inset, QCPScatterStyle::ssTriangle);

        text(x, y, w, 4.5, strip.title, reportFont(8, true), Ink);
        if (section.weatherSpans.empty()) {
            renderPlot(x, y + 4.5, w, h - 4.5);
            return;
        }
        // The weather under the levels, on the same axis and margins.
        const double weatherHeight = (h - 4.5) * 0.4;
        m_plot.xAxis->setTickLabels(false);
        m_plot.axisRect()->setMargins(QMargins(int(u(11)), int(u(1.5)), int(u(8)), int(u(1))));
        renderPlot(x, y + 4.5, w, h - 4.5 - weatherHeight);
        drawWeatherStrip(section, strip, ticker, x, y + h - weatherHeight, w, weatherHeight);
    }

    void drawWeatherStrip(const ReportSection &section, const HistoryStrip &strip,
                          const QSharedPointer<QCPAxisTickerText> &ticker, double x, double y,
                          double w, double h)
    {
        resetPlot();
        m_plot.xAxis->setRange(strip.start, strip.end);
        m_plot.xAxis->setTicker(ticker);
        m_plot.axisRect()->setAutoMargins(QCP::msNone);
        m_plot.axisRect()->setMargins(QMargins(int(u(11)), int(u(1)), int(u(8)), int(u(9))));
        QVector<double> at, wind, gust, rainAt, rain;
        double windTop = 1.0, rainTop = 0.1, width = 60.0;
        for (const ReportSection::WeatherSpan &s : section.weatherSpans) {
            // One scale for every strip, so strips compare at a glance.
            windTop = std::max(
                { windTop, std::isnan(s.wind) ? 0.0 : s.wind, std::isnan(s.gust) ? 0.0 : s.gust });
            if (s.rain > 0)
                rainTop = std::max(rainTop, s.rain);
            if (s.to <= strip.start || s.from >= strip.end)
                continue;
            at << s.from;
            wind << s.wind;
            gust << s.gust;
            if (s.rain > 0) {
                rainAt << (s.from + s.to) / 2;
                rain << s.rain;
                width = std::max(1.0, s.to - s.from);
            }
        }
        m_plot.yAxis->setRange(0.0, windTop * 1.2);
        m_plot.yAxis->setLabel(QStringLiteral("m/s"));
        QSharedPointer<QCPAxisTicker> windTicks(new QCPAxisTicker);
        windTicks->setTickCount(2);
        m_plot.yAxis->setTicker(windTicks);
        m_plot.yAxis2->setVisible(true);
        m_plot.yAxis2->setRange(0.0, rainTop * 1.2);
        m_plot.yAxis2->setLabel(QStringLiteral("mm"));
        QSharedPointer<QCPAxisTicker> rainTicks(new QCPAxisTicker);
        rainTicks->setTickCount(2);
        m_plot.yAxis2->setTicker(rainTicks);
        m_plot.yAxis2->grid()->setVisible(false);
        auto *bars = new QCPBars(m_plot.xAxis, m_plot.yAxis2);
        bars->setWidthType(QCPBars::wtPlotCoords);
        bars->setWidth(width);
        bars->setPen(Qt::NoPen);
        bars->setBrush(RainShade);
        bars->setData(rainAt, rain, true);
        QCPGraph *gustGraph = m_plot.addGraph();
        gustGraph->setLineStyle(QCPGraph::lsStepLeft);
        gustGraph->setAdaptiveSampling(false);
        gustGraph->setPen(QPen(WindInk, u(0.15), Qt::DotLine));
        gustGraph->setData(at, gust, true);
        QCPGraph *windGraph = m_plot.addGraph();
        windGraph->setLineStyle(QCPGraph::lsStepLeft);
        windGraph->setAdaptiveSampling(false);
        windGraph->setPen(QPen(WindInk, u(0.25)));
        windGraph->setData(at, wind, true);
        renderPlot(x, y, w, h);
    }

    void drawLegend(double y)
    {
        const QFont f = reportFont(7.5);
        double x = MarginMm;
        m_p.fillRect(box(x, y + 1, 6, 3), MarkedShade);
        x += 7.5;
        text(x, y, 60, 5, QStringLiteral("marked (paused) readings"), f, Muted);
        x += 42;
        line(x, y + 2.5, x + 6, y + 2.5, Trace, 0.4);
        x += 7.5;
        text(x, y, 60, 5, QStringLiteral("level, lowest to highest per column"), f, Muted);
        x += 52;
        m_p.setPen(Qt::NoPen);
        m_p.setBrush(RangeMark);
        m_p.drawPolygon(QPolygonF({ QPointF(u(x), u(y + 1.3)), QPointF(u(x + 2.4), u(y + 1.3)),
                                    QPointF(u(x + 1.2), u(y + 3.5)) }));
        m_p.drawPolygon(
            QPolygonF({ QPointF(u(x + 3.2), u(y + 3.5)), QPointF(u(x + 5.6), u(y + 3.5)),
                        QPointF(u(x + 4.4), u(y + 1.3)) }));
        m_p.setBrush(Qt::NoBrush);
        text(x + 7, y, 60, 5, QStringLiteral("under / over range"), f, Muted);
    }

    void drawLimitLegend(double y)
    {
        const QFont f = reportFont(7.5);
        double x = MarginMm;
        m_p.fillRect(box(x, y + 1, 6, 3), OverShade);
        x += 7.5;
        text(x, y, 60, 5, QStringLiteral("interval over its limit"), f, Muted);
        x += 42;
        m_p.setPen(QPen(LimitLine, u(0.3), Qt::DashLine));
        m_p.drawLine(QPointF(u(x), u(y + 2.5)), QPointF(u(x + 6), u(y + 2.5)));
        m_p.setPen(Qt::NoPen);
        text(x + 7.5, y, 60, 5, QStringLiteral("limit"), f, Muted);
    }

    void drawHistory(const ReportSection &section, const ReportPage &page)
    {
        const TimeHistory &h = section.history;
        const QString against = h.axis == HistoryAxis::ClockTime
            ? QStringLiteral("Level against clock time.")
            : QStringLiteral("Level against the reading number.");
        QString subtitle = against;
        if (!h.note.isEmpty())
            subtitle += QLatin1Char(' ') + h.note;
        double y = heading(ContentTopMm, QStringLiteral("Time history"), subtitle);
        drawLegend(y);
        y += 7;
        if (section.withLimits) {
            drawLimitLegend(y);
            y += 6;
        }
        if (!section.excludedSpans.empty()) {
            const QFont f = reportFont(7.5);
            m_p.fillRect(box(MarginMm, y + 1, 6, 3), ExcludedShade);
            text(MarginMm + 7.5, y, 120, 5, QStringLiteral("excluded: not measured, in no figure"),
                 f, Muted);
            y += 6;
        }
        if (!section.weatherSpans.empty()) {
            const QFont f = reportFont(7.5);
            double x = MarginMm;
            line(x, y + 2.5, x + 6, y + 2.5, WindInk, 0.4);
            text(x + 7.5, y, 60, 5, QStringLiteral("mean wind (m/s)"), f, Muted);
            x += 34;
            m_p.setPen(QPen(WindInk, u(0.25), Qt::DotLine));
            m_p.drawLine(QPointF(u(x), u(y + 2.5)), QPointF(u(x + 6), u(y + 2.5)));
            text(x + 7.5, y, 60, 5, QStringLiteral("gust (m/s)"), f, Muted);
            x += 26;
            m_p.fillRect(box(x, y + 1, 6, 3), RainShade);
            text(x + 7.5, y, 80, 5, QStringLiteral("rain (mm, right scale), under each strip"), f,
                 Muted);
            y += 6;
        }
        const double slot = (ContentBottomMm - y) / ReportLayout::HistoryStripsPerPage;
        for (int i = 0; i < page.count; ++i)
            drawStrip(section, h.strips[size_t(page.first + i)], MarginMm, y + i * slot,
                      ContentWidthMm, slot - 3);
    }

    void drawDistribution(const ReportSection &section)
    {
        double y = heading(ContentTopMm, QStringLiteral("Level distribution"),
                           QStringLiteral("1 dB classes; share of the %1 counted readings, with "
                                          "the cumulative share at or below each class.")
                               .arg(section.countedSamples));
        if (!section.distributionNote.isEmpty()) {
            text(MarginMm, y - 1, ContentWidthMm, 4.5, section.distributionNote, reportFont(8),
                 Muted);
            y += 4.5;
        }
        if (section.bars.empty()) {
            text(MarginMm, y, ContentWidthMm, 6,
                 QStringLiteral("No reading was counted: there is no distribution to show."),
                 reportFont(9), NoteInk);
            return;
        }
        resetPlot();
        auto *bars = new QCPBars(m_plot.xAxis, m_plot.yAxis);
        QVector<double> keys, values, cumKeys, cumValues;
        double highest = 0.0;
        cumKeys << section.bars.front().level;
        cumValues << 0.0;
        for (const DistributionBar &b : section.bars) {
            keys << b.level + 0.5;
            values << b.percent;
            cumKeys << b.level + 1.0;
            cumValues << b.cumulative;
            highest = std::max(highest, b.percent);
        }
        bars->setWidth(1.0);
        bars->setPen(QPen(QColor(0x5E, 0x8F, 0xA8), u(0.15)));
        bars->setBrush(QColor(0xB7, 0xD3, 0xE0));
        bars->setData(keys, values, true);
        double first = section.bars.front().level - 1.0;
        double last = section.bars.back().level + 2.0;
        for (const PercentileMark &mark : section.percentileMarks) {
            first = std::min(first, std::floor(mark.level) - 1.0);
            last = std::max(last, std::floor(mark.level) + 2.0);
        }
        m_plot.xAxis->setRange(first, last);
        m_plot.xAxis->setLabel(QStringLiteral("Level (dB)"));
        m_plot.yAxis->setRange(0.0, highest * 1.15);
        m_plot.yAxis->setLabel(QStringLiteral("Share of readings (%)"));
        m_plot.yAxis2->setVisible(true);
        m_plot.yAxis2->setRange(0.0, 100.0);
        m_plot.yAxis2->setLabel(QStringLiteral("Cumulative (%)"));
        m_plot.yAxis2->grid()->setVisible(false);
        QCPGraph *cumulative = m_plot.addGraph(m_plot.xAxis, m_plot.yAxis2);
        cumulative->setPen(QPen(Trace, u(0.35)));
        cumulative->setData(cumKeys, cumValues, true);
        for (const PercentileMark &mark : section.percentileMarks) {
            auto *at = new QCPItemStraightLine(&m_plot);
            at->point1->setCoords(mark.level, 0.0);
            at->point2->setCoords(mark.level, 1.0);
            at->setPen(QPen(RangeMark, u(0.25), Qt::DashLine));
            auto *caption = new QCPItemText(&m_plot);
            caption->position->setType(QCPItemPosition::ptPlotCoords);
            caption->position->setAxes(m_plot.xAxis, m_plot.yAxis2);
            caption->position->setCoords(mark.level, 100.0);
            caption->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
            caption->setPadding(QMargins(int(u(0.8)), int(u(0.5)), 0, 0));
            caption->setFont(reportFont(7, true));
            caption->setColor(RangeMark);
            caption->setBrush(Qt::white);
            caption->setText(mark.label + QStringLiteral(" ") + mark.text);
        }
        // The three marks could sit on each other: spread their captions down.
        const auto captions = m_plot.itemCount();
        int captionIndex = 0;
        for (int i = 0; i < captions; ++i) {
            if (auto *t = qobject_cast<QCPItemText *>(m_plot.item(i)))
                t->position->setCoords(t->position->key(), 100.0 - 7.0 * captionIndex++);
        }
        const double chartHeight = 105;
        renderPlot(MarginMm, y, ContentWidthMm, chartHeight);
        y += chartHeight + 8;

        y = heading(y, QStringLiteral("Percentile levels L(0) … L(99)"),
                    QStringLiteral("%1 classes: L(n) is the level exceeded by n % of the "
                                   "counted readings. Row L(20), column +5 is L(25).")
                        .arg(section.lnResolution));
        const double rowHeight = 5.8;
        const double headWidth = 16;
        const double cell = (ContentWidthMm - headWidth) / 10.0;
        const QFont head = reportFont(8, true);
        const QFont body = reportFont(8.5);
        m_p.fillRect(box(MarginMm, y, ContentWidthMm, rowHeight), Zebra);
        for (int c = 0; c < 10; ++c)
            text(MarginMm + headWidth + c * cell, y, cell - 2, rowHeight,
                 QStringLiteral("+%1").arg(c), head, Muted, Qt::AlignRight | Qt::AlignVCenter);
        y += rowHeight;
        for (int r = 0; r < 10; ++r) {
            text(MarginMm + 1, y, headWidth, rowHeight,
                 QStringLiteral("L(%1)").arg(r * 10, 2, 10, QLatin1Char('0')), head, Muted);
            for (int c = 0; c < 10; ++c)
                text(MarginMm + headWidth + c * cell, y, cell - 2, rowHeight,
                     section.lnTexts.value(r * 10 + c), body, Ink,
                     Qt::AlignRight | Qt::AlignVCenter);
            y += rowHeight;
            line(MarginMm, y, MarginMm + ContentWidthMm, y, Rule, 0.15);
        }
    }

    // The assessment as blocks laid out in order: its title, then for each
    // table its heading, fields, header and rows.
    struct AssessmentBlock
    {
        enum Kind { Title, Heading, Field, Header, Row } kind;
        int table = 0;
        int index = 0; // of the field or row
    };
    static std::vector<AssessmentBlock> assessmentBlocks(const ReportSection &section)
    {
        std::vector<AssessmentBlock> blocks;
        if (section.assessment.empty())
            return blocks;
        blocks.push_back({ AssessmentBlock::Title });
        for (int t = 0; t < int(section.assessment.size()); ++t) {
            const ReportTable &table = section.assessment[size_t(t)];
            blocks.push_back({ AssessmentBlock::Heading, t });
            for (int i = 0; i < int(table.fields.size()); ++i)
                blocks.push_back({ AssessmentBlock::Field, t, i });
            if (!table.headers.isEmpty()) {
                blocks.push_back({ AssessmentBlock::Header, t });
                for (int i = 0; i < int(table.rows.size()); ++i)
                    blocks.push_back({ AssessmentBlock::Row, t, i });
            }
        }
        return blocks;
    }

    // Blocks from `first` on, as many as fit above the footer; a title or
    // heading goes only with what follows it, and a page that goes on with a
    // table says whose rows they are and repeats its header. The index of
    // the first left out.
    int flowAssessment(const ReportSection &section, double y, int first)
    {
        const std::vector<AssessmentBlock> blocks = assessmentBlocks(section);
        const QFont subtitleFont = reportFont(8);
        const QFont body = reportFont(8.5);
        const auto headingHeight = [&](const ReportTable &t) {
            return 7.5
                + (t.subtitle.isEmpty()
                       ? 0.0
                       : wrappedHeight(ContentWidthMm, t.subtitle, subtitleFont) + 1.5)
                + 3;
        };
        const auto fieldHeight = [&](const ReportField &f) {
            m_p.setFont(body);
            const double lineMm = m_p.fontMetrics().lineSpacing() / m_dpi * 25.4;
            const double wrapped
                = wrappedHeight(ContentWidthMm - 46, f.value, reportFont(8.5, true));
            return std::max(4.6, wrapped + (4.6 - lineMm));
        };
        const auto height = [&](const AssessmentBlock &b) {
            const ReportTable &t = section.assessment[size_t(b.table)];
            switch (b.kind) {
            case AssessmentBlock::Title:
                return 12.0;
            case AssessmentBlock::Heading:
                return headingHeight(t);
            case AssessmentBlock::Field:
                return fieldHeight(t.fields[size_t(b.index)]);
            case AssessmentBlock::Header:
            case AssessmentBlock::Row:
                break;
            }
            return TableRowMm;
        };
        if (first > 0 && first < int(blocks.size())) {
            const AssessmentBlock &b = blocks[size_t(first)];
            const ReportTable &t = section.assessment[size_t(b.table)];
            if (b.kind == AssessmentBlock::Field || b.kind == AssessmentBlock::Row)
                y = heading(y, t.title + QStringLiteral(" (continued)")) + 1;
            if (b.kind == AssessmentBlock::Row)
                y = tableHeader(y, t.headers, t.widths, t.leftColumns);
        }
        for (int i = first; i < int(blocks.size()); ++i) {
            const AssessmentBlock &b = blocks[size_t(i)];
            const ReportTable &t = section.assessment[size_t(b.table)];
            double needed = height(b);
            // A title or heading keeps with what follows it, a header with
            // its first row.
            for (int j = i;
                 j + 1 < int(blocks.size()) && blocks[size_t(j)].kind != AssessmentBlock::Field
                 && blocks[size_t(j)].kind != AssessmentBlock::Row;
                 ++j)
                needed += height(blocks[size_t(j + 1)]);
            if (y + needed > ContentBottomMm && i > first)
                return i;
            switch (b.kind) {
            case AssessmentBlock::Title:
                text(MarginMm, y, ContentWidthMm, 10, QStringLiteral("Assessment"),
                     reportFont(18, true), Ink);
                y += 12;
                break;
            case AssessmentBlock::Heading:
                y = heading(y, t.title, t.subtitle) + 1;
                break;
            case AssessmentBlock::Field: {
                const double h = height(b);
                fieldRows(MarginMm, y, 46, ContentWidthMm - 46, { t.fields[size_t(b.index)] }, 4.6);
                y += h;
                if (b.index + 1 == int(t.fields.size()))
                    y += 2;
                break;
            }
            case AssessmentBlock::Header:
                y = tableHeader(y, t.headers, t.widths, t.leftColumns);
                break;
            case AssessmentBlock::Row: {
                const bool marked
                    = std::find(t.marked.begin(), t.marked.end(), b.index) != t.marked.end();
                if (marked)
                    fill(box(MarginMm, y, ContentWidthMm, TableRowMm), OverShade);
                else if (b.index % 2 == 1)
                    fill(box(MarginMm, y, ContentWidthMm, TableRowMm), Zebra);
                y = tableRow(y, t.rows[size_t(b.index)], t.widths, t.leftColumns, true, body, Ink);
                if (b.index + 1 == int(t.rows.size()))
                    y += 3;
                break;
            }
            }
        }
        return int(blocks.size());
    }

    void drawIntervals(const ReportSection &section, const ReportPage &page)
    {
        double y = ContentTopMm;
        if (page.count > 0) {
            y = heading(y,
                        QStringLiteral("Interval levels (%1)")
                            .arg(Wording::exactDuration(section.intervalLength)),
                        QStringLiteral("Leq, Lmax, L10 and L90 of each clock-aligned interval; "
                                       "\"Covered\" is the share of the interval the readings "
                                       "fill."));
            if (section.withLimits)
                y = table(y,
                          { QStringLiteral("From"), QStringLiteral("To"), QStringLiteral("Leq"),
                            QStringLiteral("Lmax"), QStringLiteral("L10"), QStringLiteral("L90"),
                            QStringLiteral("Covered"), QStringLiteral("Limit"),
                            QStringLiteral("State") },
                          { 30, 30, 17, 17, 17, 17, 18, 15, 13 }, section.intervalRows, page.first,
                          page.count);
            else
                y = table(y,
                          { QStringLiteral("From"), QStringLiteral("To"), QStringLiteral("Leq"),
                            QStringLiteral("Lmax"), QStringLiteral("L10"), QStringLiteral("L90"),
                            QStringLiteral("Covered") },
                          { 34, 34, 21, 21, 21, 21, 22 }, section.intervalRows, page.first,
                          page.count);
            y += ReportLayout::TableGapMm;
        }
        if (page.dayCount == 0)
            return;
        y = heading(y, QStringLiteral("Day, evening and night levels"),
                    QStringLiteral("Per 24 h from 07:00: day 07-19, evening 19-23 (+5 dB), night "
                                   "23-07 (+10 dB). Partial: a period under 90 % covered."));
        if (section.dayRows.empty()) {
            text(MarginMm, y, ContentWidthMm, 6, section.daysNote, reportFont(8.5), Muted);
            return;
        }
        table(y,
              { QStringLiteral("From"), QStringLiteral("Covered d/e/n"), QStringLiteral("Ld"),
                QStringLiteral("Le"), QStringLiteral("Lnight"), QStringLiteral("Lden") },
              { 34, 34, 26, 26, 26, 28 }, section.dayRows, page.dayFirst, page.dayCount);
    }

    void drawExclusions(const ReportSection &section, const ReportPage &page)
    {
        double y = ContentTopMm;
        if (page.count > 0 || page.first == 0) {
            y = heading(y, QStringLiteral("Exclusions"), section.excludedText);
            if (section.exclusionRows.empty()) {
                text(MarginMm, y, ContentWidthMm, 6,
                     QStringLiteral("No excluded span touches these readings."), reportFont(8.5),
                     Muted);
                y += 8;
            } else {
                y = table(
                    y,
                    { QStringLiteral("From"), QStringLiteral("To"), QStringLiteral("Duration"),
                      QStringLiteral("Reason"), QStringLiteral("Note") },
                    { 36, 36, 22, 32, 48 }, section.exclusionRows, page.first, page.count, 5, true);
                y += 8;
            }
        }
        if (page.dayCount == 0)
            return;
        y = heading(y, QStringLiteral("Excluded time per day"),
                    QStringLiteral("Per 24 h from 07:00, as the day levels; the readings taken "
                                   "out, each standing for one sampling interval."));
        if (section.excludedDayRows.empty()) {
            text(MarginMm, y, ContentWidthMm, 6, QStringLiteral("No reading was excluded."),
                 reportFont(8.5), Muted);
            return;
        }
        table(y,
              { QStringLiteral("Day from"), QStringLiteral("Excluded"), QStringLiteral("Reasons") },
              { 34, 30, 110 }, section.excludedDayRows, page.dayFirst, page.dayCount, 3, true);
    }

    const Report &m_report;
    QCustomPlot m_plot;
};

// The plot widgets lay out their text with the screen's metrics, so the PDF
// takes the same resolution and what they measured is what is drawn.
int layoutResolution()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return std::max(72, int(std::lround(screen->logicalDotsPerInchY())));
    return 96;
}

} // namespace

ReportPdf drawReportPdf(const Report &report, const ReportProgress &progress)
{
    ReportPdf result;
    QBuffer buffer(&result.bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        const int dpi = layoutResolution();
        writer.setResolution(dpi);
        writer.setCreator(report.options.programVersion);
        writer.setTitle(report.sections.empty()
                            ? QStringLiteral("Measurement report")
                            : QStringLiteral("Measurement report: ") + report.sections[0].title);
        QCPPainter painter;
        if (!painter.begin(&writer)) {
            result.error = QStringLiteral("The PDF writer could not start.");
            return result;
        }
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        painter.setRenderHint(QPainter::Antialiasing);
        // What of a first page's method and notes does not fit goes on pages
        // of its own after it.
        Report paged = report;
        {
            PageDrawer measure(painter, report, dpi);
            paged.pages.clear();
            for (const ReportPage &page : report.pages) {
                paged.pages.push_back(page);
                if (page.kind != PageKind::Summary)
                    continue;
                const ReportSection &section = report.sections[size_t(page.section)];
                for (const auto &[first, count] : measure.overflowOf(section))
                    paged.pages.push_back({ page.section, PageKind::Notes, first, count, 0, 0 });
                // The assessment an acoustician signs follows the first page.
                for (const auto &[first, count] : measure.assessmentPages(section))
                    paged.pages.push_back(
                        { page.section, PageKind::Assessment, first, count, 0, 0 });
            }
        }
        PageDrawer drawer(painter, paged, dpi);
        const int pages = int(paged.pages.size());
        for (int i = 0; i < pages; ++i) {
            if (i > 0)
                writer.newPage();
            drawer.drawPage(i);
            if (progress && !progress(double(i + 1) / pages)) {
                result.cancelled = true;
                painter.end();
                result.bytes.clear();
                return result;
            }
        }
        painter.end();
    }
    return result;
}

QString saveReportPdf(const QString &path, const QByteArray &bytes)
{
    AtomicFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit())
        return fileErrorMessage(path, file.errorString());
    return QString();
}
