#include "QtPrinting.h"
#include "graphs/gui/RealHistogram.h"
#include "graphs/gui/RealTimeGraph.h"
#include "panel/gui/LiveGraphs.h"
#include "widgets/QCustomPlotInclude.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using Axis = GraphControl::Axis;

// The panel's side of the data, as the sample tick keeps it.
struct PanelData
{
    std::vector<double> levelLog = std::vector<double>(864001, 0.0);
    std::vector<double> leqLog = std::vector<double>(864001, 0.0);
    std::vector<double> selLog = std::vector<double>(864001, 0.0);
    int index = 0;
    std::vector<int64_t> counts1dB = std::vector<int64_t>(141, 0);
    std::vector<int64_t> counts01dB = std::vector<int64_t>(1401, 0);
    int min1 = 145, max1 = 0, min01 = 1450, max01 = 0;
    double leqMin = 145, leqMax = 0, selMin = 145, selMax = 0;

    void sample(double level, double leq, double sel)
    {
        levelLog[std::size_t(index)] = level;
        leqLog[std::size_t(index)] = leq;
        selLog[std::size_t(index)] = sel;
        ++index;
        const int tenths = int(std::lround(level * 10));
        ++counts01dB[std::size_t(tenths)];
        const int whole = tenths % 10 == 0 ? int(level) : int(level) + 1;
        ++counts1dB[std::size_t(whole)];
        min01 = std::min(min01, tenths);
        max01 = std::max(max01, tenths);
        if (level > max1)
            max1 = int(level + 1);
        if (level < min1)
            min1 = int(level - 1);
        leqMin = std::min(leqMin, leq);
        leqMax = std::max(leqMax, leq);
        selMin = std::min(selMin, sel);
        selMax = std::max(selMax, sel);
    }

    LiveGraphData view() const
    {
        LiveGraphData data;
        data.levelLog = levelLog;
        data.leqLog = leqLog;
        data.selLog = selLog;
        data.liveLogIndex = index;
        data.classCounts1dB = counts1dB;
        data.classMin1dB = min1;
        data.classMax1dB = max1;
        data.classCounts01dB = counts01dB;
        data.classMin01dB = min01;
        data.classMax01dB = max01;
        data.liveLeqMin = leqMin;
        data.liveLeqMax = leqMax;
        data.liveSelMin = selMin;
        data.liveSelMax = selMax;
        return data;
    }
};

class LiveGraphsTest : public ::testing::Test
{
protected:
    LiveGraphsTest()
    {
        graphs.setDataSource([this] { return panel.view(); });
    }
    ~LiveGraphsTest() override
    {
        delete RealTimeGraph::openWindow();
        delete RealHistogram::openWindow();
    }

    void feed(double level, double leq, double sel)
    {
        panel.sample(level, leq, sel);
        graphs.appendSample(level, leq, sel);
        graphs.setClassTables(panel.view());
    }

    PanelData panel;
    LiveGraphs graphs;
};

TEST_F(LiveGraphsTest, LevelClickShowsTheSamplesWithTheSampledLevelRange)
{
    const double levels[] = { 62.4, 70.0, 58.9, 66.1, 64.0 };
    for (double level : levels)
        feed(level, 65.0, 80.0);
    graphs.openStripChart(LiveGraphs::LevelChart);
    RealTimeGraph *window = RealTimeGraph::openWindow();
    ASSERT_NE(window, nullptr);
    GraphControl *graph = window->graph();
    ASSERT_EQ(graph->pointCount(), 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_DOUBLE_EQ(graph->pointX(k), k + 1.0);
        EXPECT_DOUBLE_EQ(graph->pointY(k), levels[k]);
    }
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::Y), 58.9);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::Y), 70.0);
    EXPECT_EQ(graph->axisCaption(Axis::Y), QStringLiteral("SPL (dB)"));
}

TEST_F(LiveGraphsTest, LeqAndSelClicksUseTheirOwnSeriesAndExtremes)
{
    feed(60, 61.2, 61.2);
    feed(60, 63.4, 66.5);
    feed(60, 62.0, 67.8);
    struct Case
    {
        int chart;
        const char *caption;
        double first, yMin, yMax;
    };
    for (const Case &c : { Case { LiveGraphs::LeqChart, "Leq (dB)", 61.2, 61.2, 63.4 },
                           Case { LiveGraphs::SelChart, "SEL (dB)", 61.2, 61.2, 67.8 } }) {
        SCOPED_TRACE(c.caption);
        graphs.openStripChart(c.chart);
        GraphControl *graph = RealTimeGraph::openWindow()->graph();
        EXPECT_EQ(graph->pointCount(), 3);
        EXPECT_DOUBLE_EQ(graph->pointY(0), c.first);
        EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::Y), c.yMin);
        EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::Y), c.yMax);
        EXPECT_EQ(graph->axisCaption(Axis::Y), QString::fromLatin1(c.caption));
    }
}

TEST_F(LiveGraphsTest, TheOpenWindowIsASnapshot)
{
    feed(70, 70, 70);
    feed(71, 70.5, 73.0);
    graphs.openStripChart(LiveGraphs::LevelChart);
    graphs.openHistogram(true);
    GraphControl *series = RealTimeGraph::openWindow()->graph();
    GraphControl *histogram = RealHistogram::openWindow()->graph();
    const double countAt71 = histogram->pointY(71);
    feed(99, 80, 90);
    panel.levelLog[0] = 10.0;
    EXPECT_EQ(series->pointCount(), 2);
    EXPECT_DOUBLE_EQ(series->pointY(0), 70.0);
    EXPECT_DOUBLE_EQ(histogram->pointY(71), countAt71);
    EXPECT_DOUBLE_EQ(histogram->pointY(99), 0.0);
}

TEST_F(LiveGraphsTest, ClickBeforeAnySampleOpensAnEmptyGraph)
{
    graphs.openStripChart(LiveGraphs::LevelChart);
    GraphControl *graph = RealTimeGraph::openWindow()->graph();
    EXPECT_EQ(graph->pointCount(), 0);
    EXPECT_LT(graph->axisMinimum(Axis::Y), graph->axisMaximum(Axis::Y));
    EXPECT_LT(graph->axisMinimum(Axis::X), graph->axisMaximum(Axis::X));
    graphs.openHistogram(false);
    EXPECT_NE(RealHistogram::openWindow(), nullptr);
}

TEST_F(LiveGraphsTest, IndexBeyondTheSeriesNeverReadsOutside)
{
    feed(70, 70, 70);
    LiveGraphData data = panel.view();
    data.levelLog = data.levelLog.first(1);
    data.liveLogIndex = 5;
    graphs.setDataSource([data] { return data; });
    graphs.openStripChart(LiveGraphs::LevelChart);
    EXPECT_EQ(RealTimeGraph::openWindow()->graph()->pointCount(), 1);
}

TEST_F(LiveGraphsTest, WideSpreadShowsTheWholeDbHistogramAndItsClickUsesWholeClasses)
{
    feed(60.0, 60, 60);
    EXPECT_FALSE(graphs.wholeHistogramShown());
    feed(85.0, 60, 60);
    EXPECT_FALSE(graphs.wholeHistogramShown()); // 25 dB apart
    feed(95.0, 60, 60);
    EXPECT_TRUE(graphs.wholeHistogramShown());

    GraphControl *whole = graphs.wholeHistogram();
    EXPECT_DOUBLE_EQ(whole->axisMinimum(Axis::X), panel.min1 - 1.0);
    EXPECT_DOUBLE_EQ(whole->axisMaximum(Axis::X), panel.max1 + 1.0);
    EXPECT_DOUBLE_EQ(graphs.tenthHistogram()->axisMinimum(Axis::X), 599.0);
    EXPECT_DOUBLE_EQ(graphs.tenthHistogram()->axisMaximum(Axis::X), 951.0);

    graphs.openHistogram(true);
    GraphControl *graph = RealHistogram::openWindow()->graph();
    EXPECT_EQ(graph->pointCount(), 141);
    EXPECT_DOUBLE_EQ(graph->pointY(60), 1.0);
    EXPECT_DOUBLE_EQ(graph->pointY(95), 1.0);
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::X), panel.min1 - 1.0);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), panel.max1 + 1.0);
}

TEST_F(LiveGraphsTest, ClickOnAGraphOpensItsWindow)
{
    graphs.resize(400, 500);
    graphs.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graphs));
    feed(65.3, 65.3, 65.3);
    QTest::mouseClick(graphs.levelChart()->plot(), Qt::LeftButton, {}, QPoint(100, 60));
    ASSERT_NE(RealTimeGraph::openWindow(), nullptr);
    QTest::mouseClick(graphs.tenthHistogram()->plot(), Qt::LeftButton, {}, QPoint(100, 60));
    ASSERT_NE(RealHistogram::openWindow(), nullptr);
    GraphControl *graph = RealHistogram::openWindow()->graph();
    EXPECT_DOUBLE_EQ(graph->pointY(653), 1.0);
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::X), 652.0);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), 654.0);
}

TEST_F(LiveGraphsTest, OneStripChartAtATimeAndClearEmptiesAll)
{
    for (int i = 0; i < 5; ++i)
        feed(70 + i, 70, 70);
    for (int chart : { LiveGraphs::SelChart, LiveGraphs::LeqChart, LiveGraphs::LevelChart }) {
        graphs.setVisibleStripChart(chart);
        EXPECT_EQ(graphs.visibleStripChart(), chart);
    }
    graphs.setVisibleStripChart(7);
    EXPECT_EQ(graphs.visibleStripChart(), LiveGraphs::LevelChart);
    EXPECT_EQ(graphs.levelChart()->pointCount(), 5);
    EXPECT_EQ(graphs.levelChart()->axisCaption(Axis::Y), QStringLiteral("SPL (dB)"));
    EXPECT_EQ(graphs.leqChart()->axisCaption(Axis::Y), QStringLiteral("Leq (dB)"));
    EXPECT_EQ(graphs.selChart()->axisCaption(Axis::Y), QStringLiteral("SEL (dB)"));
    graphs.clear();
    for (GraphControl *chart : { graphs.levelChart(), graphs.leqChart(), graphs.selChart(),
                                 graphs.wholeHistogram(), graphs.tenthHistogram() })
        EXPECT_EQ(chart->pointCount(), 0) << chart->objectName().toStdString();
}

TEST_F(LiveGraphsTest, LostLinkClearsTheLevelChartAndHistogramsButKeepsLeqAndSel)
{
    for (int i = 0; i < 5; ++i)
        feed(70 + i, 70, 70);
    graphs.clearAfterLinkLoss();
    for (GraphControl *chart :
         { graphs.levelChart(), graphs.wholeHistogram(), graphs.tenthHistogram() })
        EXPECT_EQ(chart->pointCount(), 0) << chart->objectName().toStdString();
    EXPECT_EQ(graphs.leqChart()->pointCount(), 5);
    EXPECT_EQ(graphs.selChart()->pointCount(), 5);
}

TEST_F(LiveGraphsTest, StripChartsKeepABoundedWindow)
{
    for (int i = 0; i < LiveGraphs::StripWindowSamples + 50; ++i)
        graphs.appendSample(70, 70, 70);
    EXPECT_EQ(graphs.levelChart()->pointCount(), LiveGraphs::StripWindowSamples);
}

} // namespace
