#include "LiveGraphs.h"

#include "graphs/HistogramData.h"
#include "graphs/gui/RealHistogram.h"
#include "graphs/gui/RealTimeGraph.h"
#include "widgets/GraphControl.h"

#include <QStackedWidget>
#include <QVBoxLayout>

#include <vector>

LiveGraphs::LiveGraphs(QWidget *parent)
    : QWidget(parent)
{
    m_strips = new QStackedWidget(this);
    m_level = makeStripChart("CWG", QStringLiteral("SPL (dB)"));
    m_leq = makeStripChart("CWLeq", QStringLiteral("Leq (dB)"));
    m_sel = makeStripChart("CWSEL", QStringLiteral("SEL (dB)"));
    for (GraphControl *chart : { m_level, m_leq, m_sel })
        m_strips->addWidget(chart);

    m_histograms = new QStackedWidget(this);
    m_whole = makeHistogram("CWInt", false);
    m_tenth = makeHistogram("CWDec", true);
    m_histograms->addWidget(m_whole);
    m_histograms->addWidget(m_tenth);
    m_histograms->setCurrentWidget(m_tenth);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_strips, 1);
    layout->addWidget(m_histograms, 1);

    connect(m_level, &GraphControl::clicked, this, [this] { openStripChart(LevelChart); });
    connect(m_leq, &GraphControl::clicked, this, [this] { openStripChart(LeqChart); });
    connect(m_sel, &GraphControl::clicked, this, [this] { openStripChart(SelChart); });
    connect(m_whole, &GraphControl::clicked, this, [this] { openHistogram(true); });
    connect(m_tenth, &GraphControl::clicked, this, [this] { openHistogram(false); });
}

GraphControl *LiveGraphs::makeStripChart(const char *name, const QString &caption)
{
    auto *chart = new GraphControl(this);
    chart->setObjectName(QLatin1String(name));
    chart->setAccessibleName(caption);
    chart->setToolTip(caption);
    chart->setAxisCaption(GraphControl::Axis::Y, caption);
    chart->setAxisLabelFormat(GraphControl::Axis::X, GraphControl::LabelFormat::Whole);
    chart->setAxisLabelFormat(GraphControl::Axis::Y, GraphControl::LabelFormat::Whole);
    chart->setStripWindow(StripWindowSamples);
    chart->setAxisRange(GraphControl::Axis::X, 0, StripWindowSamples - 1);
    chart->setAxisRange(GraphControl::Axis::Y, 30, 130);
    chart->setMinimumHeight(150);
    return chart;
}

GraphControl *LiveGraphs::makeHistogram(const char *name, bool tenths)
{
    auto *chart = new GraphControl(this);
    chart->setObjectName(QLatin1String(name));
    const QString title
        = tenths ? QStringLiteral("Histogram 0.1 dB") : QStringLiteral("Histogram 1 dB");
    chart->setAccessibleName(title);
    chart->setToolTip(title);
    chart->setPlotStyle(GraphControl::PlotStyle::Bars);
    chart->setAxisCaption(GraphControl::Axis::X, QStringLiteral("dB"));
    chart->setAxisCaption(GraphControl::Axis::Y, QStringLiteral("Frequency (Times)"));
    chart->setAxisLabelFormat(GraphControl::Axis::X,
                              tenths ? GraphControl::LabelFormat::TenthsAsDb
                                     : GraphControl::LabelFormat::Whole);
    chart->setAxisLabelFormat(GraphControl::Axis::Y, GraphControl::LabelFormat::Whole);
    chart->setMinimumHeight(150);
    return chart;
}

void LiveGraphs::setDataSource(std::function<LiveGraphData()> source)
{
    m_source = std::move(source);
}

void LiveGraphs::appendSample(double level, double leq, double sel)
{
    m_level->appendStripValue(level);
    m_leq->appendStripValue(leq);
    m_sel->appendStripValue(sel);
}

void LiveGraphs::setClassTables(const LiveGraphData &data)
{
    const auto redraw
        = [](GraphControl *chart, std::span<const int64_t> counts, int low, int high) {
              const HistogramPoints points = histogramPoints(counts, 0.0);
              chart->plotXY(points.x, points.y);
              chart->setAxisRange(GraphControl::Axis::X, double(low) - 1.0, double(high) + 1.0);
              chart->setAxisRange(GraphControl::Axis::Y, 0.0, histogramYMaximum(counts));
          };
    redraw(m_whole, data.classCounts1dB, data.classMin1dB, data.classMax1dB);
    redraw(m_tenth, data.classCounts01dB, data.classMin01dB, data.classMax01dB);
    m_histograms->setCurrentWidget(
        showsWholeHistogram(data.classMin01dB, data.classMax01dB) ? m_whole : m_tenth);
}

void LiveGraphs::setVisibleStripChart(int chart)
{
    if (chart >= LevelChart && chart <= SelChart)
        m_strips->setCurrentIndex(chart);
}

int LiveGraphs::visibleStripChart() const
{
    return m_strips->currentIndex();
}

bool LiveGraphs::wholeHistogramShown() const
{
    return m_histograms->currentWidget() == m_whole;
}

void LiveGraphs::clear()
{
    for (GraphControl *chart : { m_level, m_leq, m_sel, m_whole, m_tenth })
        chart->clear();
}

void LiveGraphs::clearAfterLinkLoss()
{
    for (GraphControl *chart : { m_level, m_whole, m_tenth })
        chart->clear();
}

void LiveGraphs::openStripChart(int chart)
{
    if (!m_source)
        return;
    const LiveGraphData data = m_source();
    std::span<const double> series;
    GraphControl *control = nullptr;
    double yMin = 0.0;
    double yMax = 0.0;
    switch (chart) {
    case LevelChart:
        series = data.levelLog;
        control = m_level;
        yMin = data.classMin01dB / 10.0;
        yMax = data.classMax01dB / 10.0;
        break;
    case LeqChart:
        series = data.leqLog;
        control = m_leq;
        yMin = data.liveLeqMin;
        yMax = data.liveLeqMax;
        break;
    case SelChart:
        series = data.selLog;
        control = m_sel;
        yMin = data.liveSelMin;
        yMax = data.liveSelMax;
        break;
    default:
        return;
    }
    const int n = liveSamplesHeld(data, series);
    // The window keeps its own copy; later samples never reach it.
    const std::vector<double> copy(series.begin(), series.begin() + n);
    RealTimeGraph::LoadSeries(copy, n, control->axisCaption(GraphControl::Axis::Y), yMin, yMax);
}

void LiveGraphs::openHistogram(bool whole)
{
    if (!m_source)
        return;
    const LiveGraphData data = m_source();
    if (whole)
        RealHistogram::LoadClassCounts(data.classCounts1dB, ClassWidth::Whole, data.classMin1dB,
                                       data.classMax1dB);
    else
        RealHistogram::LoadClassCounts(data.classCounts01dB, ClassWidth::Tenth, data.classMin01dB,
                                       data.classMax01dB);
}
