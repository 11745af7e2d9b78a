// The series window's time history: its trace, limits, events, exclusions
// and weather, drawn for the range shown.
#include "SeriesWindow.h"
#include "SeriesWindowParts.h"
#include "analysis/Wording.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/StationFolder.h"
#include "analysis/records/Weather.h"
#include "analysis/series/SeriesDocument.h"

#include "OpenDataFile.h"
#include "ReportCommand.h"
#include "analysis/records/CivilTime.h"
#include "analysis/report/Report.h"
#include "recording/FormatTenths.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include "widgets/QCustomPlotInclude.h"

#include <cmath>

using namespace SeriesWindowParts;

void SeriesWindow::drawExclusions()
{
    // The shades are kept and moved: items made anew each time cost a
    // layer rebuild on the next replot.
    const ExclusionSpans spans(m_document->allExclusions());
    const auto &segments = spans.segments();
    while (m_excludedItems.size() < segments.size()) {
        auto *shade = new QCPItemRect(m_plot);
        shade->setLayer(QStringLiteral("grid"));
        shade->setClipToAxisRect(true);
        shade->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
        shade->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
        shade->setPen(Qt::NoPen);
        shade->setBrush(ExcludedColour);
        shade->setSelectable(false);
        m_excludedItems.push_back(shade);
    }
    for (size_t i = 0; i < m_excludedItems.size(); ++i) {
        QCPItemRect *shade = m_excludedItems[i];
        shade->setVisible(i < segments.size());
        if (i < segments.size()) {
            shade->setBrush(spans.rows()[size_t(segments[i].row)].byRule ? RuleExcludedColour
                                                                         : ExcludedColour);
            // Moments drawn at the site's wall clock, as the readings are.
            shade->topLeft->setCoords(double(CivilTime::civilOfUtc(segments[i].start)), 0.0);
            shade->bottomRight->setCoords(double(CivilTime::civilOfUtc(segments[i].end)), 1.0);
        }
    }
}

void SeriesWindow::drawIntervals()
{
    QVector<double> okAt, okLevel, overAt, overLevel;
    for (const IntervalLevel &i : report().intervals) {
        if (i.gap || !i.leq)
            continue;
        const double centre = (double(i.start) + double(i.end)) / 2.0;
        (i.over() ? overAt : okAt) << centre;
        (i.over() ? overLevel : okLevel) << *i.leq;
    }
    const double width = double(m_document->intervalLength()) * 0.9;
    m_okBars->setWidth(width);
    m_overBars->setWidth(width);
    m_okBars->setData(okAt, okLevel, true);
    m_overBars->setData(overAt, overLevel, true);
}

void SeriesWindow::showAll()
{
    const double margin = (m_seriesEnd - m_seriesStart) * 0.01;
    showRange(m_seriesStart - margin, m_seriesEnd + margin);
}

void SeriesWindow::showRange(double from, double to)
{
    const double fewest = FewestReadings * m_document->series().readings.sampleInterval;
    if (to - from < fewest) {
        const double middle = (from + to) / 2.0;
        from = middle - fewest / 2.0;
        to = middle + fewest / 2.0;
    }
    const double span = m_seriesEnd - m_seriesStart;
    if (to - from > span * 1.02 + fewest) {
        from = m_seriesStart - span * 0.01;
        to = m_seriesEnd + span * 0.01;
    }
    m_drawing = true;
    m_plot->xAxis->setRange(from, to);
    m_drawing = false;
    if (!m_weatherPlot->isHidden()) {
        m_weatherPlot->xAxis->setRange(from, to);
        m_weatherPlot->replot(QCustomPlot::rpQueuedReplot);
    }
    redraw();
}

void SeriesWindow::redraw()
{
    const QCPRange range = m_plot->xAxis->range();
    const int columns = std::max(1, m_plot->axisRect()->width());
    m_trace = traceOf(m_document->series().readings, range.lower, range.upper, columns);
    m_traceGraph->setData(QVector<double>(m_trace.x.begin(), m_trace.x.end()),
                          QVector<double>(m_trace.y.begin(), m_trace.y.end()), true);
    QVector<double> at, limit;
    for (const auto &[t, value] : m_document->limits().steps(int64_t(std::floor(range.lower)),
                                                             int64_t(std::ceil(range.upper)))) {
        at << t;
        limit << value;
    }
    m_limitGraph->setData(at, limit, true);
    drawNoiseEvents();
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
}

void SeriesWindow::showCursor(double time)
{
    const std::optional<size_t> i = m_document->series().readings.nearest(time);
    if (!i) {
        m_cursor->setText(
            CivilTime::toIso(int64_t(std::floor(time))).replace(QLatin1Char('T'), QLatin1Char(' '))
            + QStringLiteral("  no reading"));
        return;
    }
    const float level = m_document->series().readings.levels[*i];
    // A reading taken out is shown, and said to be taken out.
    const ExclusionSpans spans(m_document->allExclusions());
    const int excludedBy = spans.rowAt(CivilTime::utcOf(m_document->series().readings.times[*i]));
    QString text = CivilTime::toIso(m_document->series().readings.times[*i])
                       .replace(QLatin1Char('T'), QLatin1Char(' '))
        + QStringLiteral("  ")
        + (std::isnan(level) ? QStringLiteral("no level")
                             : FormatTenths(double(level)) + QStringLiteral(" dB"));
    if (excludedBy >= 0)
        text += QStringLiteral("  excluded (%1)")
                    .arg(exclusionReasonText(spans.rows()[size_t(excludedBy)].reason));
    m_cursor->setText(text);
}

void SeriesWindow::drawNoiseEvents()
{
    // The loudest event of each pixel column in view: a month holds
    // thousands, more than the graph can show apart.
    const FileFigures &r = report();
    QVector<double> at, level;
    if (r.events && r.events->events) {
        const QCPRange range = m_plot->xAxis->range();
        const double columnWidth = range.size() / std::max(1, m_plot->axisRect()->width());
        double column = -1.0;
        for (const NoiseEvent &e : r.events->events->events) {
            const double t = double(CivilTime::civilOfUtc(e.lmaxAt));
            if (t < range.lower || t > range.upper)
                continue;
            const double c = std::floor((t - range.lower) / columnWidth);
            if (!at.isEmpty() && c == column) {
                if (e.lmax > level.back()) {
                    at.back() = t;
                    level.back() = e.lmax;
                }
                continue;
            }
            column = c;
            at << t;
            level << e.lmax;
        }
    }
    m_noiseGraph->setData(at, level, true);
}

void SeriesWindow::drawWeather()
{
    m_weatherPlot->setVisible(m_document->weather() != nullptr);
    if (!m_document->weather())
        return;
    QVector<double> at, wind, gust, rainAt, rain;
    double width = 60.0;
    double windTop = 1.0, rainTop = 0.1;
    for (const WeatherRow &row : m_document->weather()->rows) {
        const double start = double(CivilTime::civilOfUtc(row.start));
        const double end = double(CivilTime::civilOfUtc(row.end));
        at << start;
        wind << row.windSpeed.value_or(qQNaN());
        gust << row.windGust.value_or(qQNaN());
        windTop = std::max({ windTop, row.windSpeed.value_or(0.0), row.windGust.value_or(0.0) });
        if (row.rain && *row.rain > 0) {
            rainAt << (start + end) / 2.0;
            rain << *row.rain;
            rainTop = std::max(rainTop, *row.rain);
            width = std::max(1.0, end - start);
        }
    }
    auto *bars = qobject_cast<QCPBars *>(m_weatherPlot->plottable(0));
    bars->setWidth(width);
    bars->setData(rainAt, rain, true);
    m_weatherPlot->graph(0)->setData(at, wind, true);
    m_weatherPlot->graph(1)->setData(at, gust, true);
    m_weatherPlot->yAxis->setRange(0, windTop * 1.15);
    m_weatherPlot->yAxis2->setRange(0, rainTop * 1.15);
    m_weatherPlot->xAxis->setRange(m_plot->xAxis->range());
    m_weatherPlot->replot(QCustomPlot::rpQueuedReplot);
}
