#include "QtPrinting.h"
#include "widgets/GraphControl.h"
#include "widgets/QCustomPlotInclude.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Axis = GraphControl::Axis;
using Mode = GraphControl::TrackMode;

TEST(GraphControlRange, KeepsAPositiveWidth)
{
    struct Case
    {
        const char *name;
        double min, max;
        double expectedMin, expectedMax;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases {
        { "Ordinary", 25, 145, 25, 145 },        { "ZeroWidthWidenedAroundValue", 70, 70, 69, 71 },
        { "SingleSampleX", 1, 1, 0, 2 },         { "ReversedSwapped", 145, 25, 25, 145 },
        { "NotANumberMinimum", nan, 10, 9, 11 }, { "NothingUsable", nan, nan, 0, 1 },
    };
    GraphControl graph;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        graph.setAxisRange(Axis::Y, c.min, c.max);
        EXPECT_DOUBLE_EQ(graph.axisMinimum(Axis::Y), c.expectedMin);
        EXPECT_DOUBLE_EQ(graph.axisMaximum(Axis::Y), c.expectedMax);
    }
}

TEST(GraphControlPlot, ValueKLiesAtFirstXPlusKSteps)
{
    GraphControl graph;
    const std::vector<double> values { 60.0, 61.5, 62.0, 63.0 };
    graph.plotY(values, 1.0, 1.0);
    ASSERT_EQ(graph.pointCount(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_DOUBLE_EQ(graph.pointX(k), k + 1.0);
        EXPECT_DOUBLE_EQ(graph.pointY(k), values[std::size_t(k)]);
    }
    graph.plotY(values, 0.0, 0.5);
    EXPECT_DOUBLE_EQ(graph.pointX(3), 1.5);
    graph.plotY({}, 1.0, 1.0);
    EXPECT_EQ(graph.pointCount(), 0);
}

TEST(GraphControlPlot, BarsKeepTheirPlacementToo)
{
    GraphControl graph;
    graph.setPlotStyle(GraphControl::PlotStyle::Bars);
    const std::vector<double> x { 650, 653 };
    const std::vector<double> y { 3, 1 };
    graph.plotXY(x, y);
    ASSERT_EQ(graph.pointCount(), 2);
    EXPECT_DOUBLE_EQ(graph.pointX(1), 653.0);
    EXPECT_DOUBLE_EQ(graph.pointY(0), 3.0);
}

TEST(GraphControlStrip, KeepsOnlyTheVisibleWindowAndFollowsTheNewest)
{
    GraphControl graph;
    graph.setStripWindow(10);
    for (int i = 0; i < 25; ++i)
        graph.appendStripValue(50.0 + i);
    EXPECT_EQ(graph.pointCount(), 10);
    EXPECT_DOUBLE_EQ(graph.pointX(9), 24.0);
    EXPECT_DOUBLE_EQ(graph.pointY(9), 74.0);
    EXPECT_DOUBLE_EQ(graph.axisMaximum(Axis::X), 24.0);
    EXPECT_LE(graph.axisMinimum(Axis::Y), 65.0);
    EXPECT_GE(graph.axisMaximum(Axis::Y), 74.0);

    graph.clear();
    EXPECT_EQ(graph.pointCount(), 0);
    graph.appendStripValue(80.0);
    EXPECT_DOUBLE_EQ(graph.pointX(0), 0.0);
}

TEST(GraphControlStrip, FlatLevelStillGetsAReadableRange)
{
    GraphControl graph;
    graph.setStripWindow(10);
    for (int i = 0; i < 5; ++i)
        graph.appendStripValue(70.0);
    EXPECT_LT(graph.axisMinimum(Axis::Y), 70.0);
    EXPECT_GT(graph.axisMaximum(Axis::Y), 70.0);
}

TEST(GraphControlTrackModes, NamesInOrderAndEachModeSetsItsInteraction)
{
    EXPECT_EQ(GraphControl::trackModeNames(),
              (QStringList { "Normal", "Cursor Coordinates", "PanXY", "PanX", "PanY", "ZoomXY",
                             "ZoomX", "ZoomY" }));
    EXPECT_EQ(GraphControl::trackModeFromName(QStringLiteral("ZoomX")), Mode::ZoomX);
    EXPECT_FALSE(GraphControl::trackModeFromName(QStringLiteral("zoomx")).has_value());

    GraphControl graph;
    QCustomPlot *plot = graph.plot();
    QCPAxisRect *rect = plot->axisRect();
    struct Case
    {
        Mode mode;
        bool drag;
        Qt::Orientations dragOrientation;
        bool zoom;
        bool zoomX;
        bool zoomY;
    };
    const std::vector<Case> cases {
        { Mode::Normal, false, {}, false, false, false },
        { Mode::CursorCoordinates, false, {}, false, false, false },
        { Mode::PanXY, true, Qt::Horizontal | Qt::Vertical, false, false, false },
        { Mode::PanX, true, Qt::Horizontal, false, false, false },
        { Mode::PanY, true, Qt::Vertical, false, false, false },
        { Mode::ZoomXY, false, {}, true, true, true },
        { Mode::ZoomX, false, {}, true, true, false },
        { Mode::ZoomY, false, {}, true, false, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.mode));
        graph.setTrackMode(c.mode);
        EXPECT_EQ(plot->interactions().testFlag(QCP::iRangeDrag), c.drag);
        if (c.drag) {
            EXPECT_EQ(rect->rangeDrag(), c.dragOrientation);
        }
        EXPECT_EQ(plot->selectionRectMode() == QCP::srmZoom, c.zoom);
        if (c.zoom) {
            EXPECT_EQ(rect->rangeZoomAxes(Qt::Horizontal).contains(plot->xAxis), c.zoomX);
            EXPECT_EQ(rect->rangeZoomAxes(Qt::Vertical).contains(plot->yAxis), c.zoomY);
        }
    }
}

TEST(GraphControlCursor, DraggingReportsThePositionAndNearestPoint)
{
    GraphControl graph;
    graph.resize(400, 300);
    graph.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph));
    const std::vector<double> values { 60, 70, 80, 90, 100 };
    graph.plotY(values, 1.0, 1.0);
    graph.setAxisRange(Axis::X, 1, 5);
    graph.setAxisRange(Axis::Y, 50, 110);
    graph.createCursor(Qt::red);
    graph.setTrackMode(Mode::CursorCoordinates);
    graph.redraw(true);

    QSignalSpy moved(&graph, &GraphControl::cursorMoved);
    QCustomPlot *plot = graph.plot();
    const QPoint target(int(plot->xAxis->coordToPixel(3.9)), int(plot->yAxis->coordToPixel(75.0)));
    QTest::mousePress(plot, Qt::LeftButton, {}, target);
    QTest::mouseRelease(plot, Qt::LeftButton, {}, target);
    ASSERT_FALSE(moved.isEmpty());
    const QList<QVariant> last = moved.takeLast();
    EXPECT_EQ(last.at(0).toInt(), 3); // X = 4 is point 3
    EXPECT_NEAR(last.at(1).toDouble(), 3.9, 0.05);
    EXPECT_NEAR(last.at(2).toDouble(), 75.0, 0.5);
    EXPECT_NEAR(graph.cursorPosition().x(), 3.9, 0.05);
}

TEST(GraphControlCursor, OutsideCursorModeAPressMovesNothing)
{
    GraphControl graph;
    graph.resize(400, 300);
    graph.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph));
    graph.createCursor(Qt::red);
    graph.setCursorPosition(0.5, 0.5);
    graph.setTrackMode(Mode::PanXY);
    QSignalSpy moved(&graph, &GraphControl::cursorMoved);
    QTest::mouseClick(graph.plot(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_TRUE(moved.isEmpty());
    EXPECT_EQ(graph.cursorPosition(), QPointF(0.5, 0.5));

    graph.removeCursor();
    EXPECT_FALSE(graph.hasCursor());
    EXPECT_FALSE(graph.cursorVisible());
}

TEST(GraphControlClick, AClickIsReported)
{
    GraphControl graph;
    graph.resize(200, 150);
    graph.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph));
    QSignalSpy clicked(&graph, &GraphControl::clicked);
    QTest::mouseClick(graph.plot(), Qt::LeftButton, {}, QPoint(100, 70));
    EXPECT_EQ(clicked.count(), 1);
    // A drag (a pan or a zoom) is not a click.
    QTest::mousePress(graph.plot(), Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(graph.plot(), QPoint(120, 90));
    QTest::mouseRelease(graph.plot(), Qt::LeftButton, {}, QPoint(120, 90));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(GraphControlAnnotation, CaptionTiedToItsPoint)
{
    GraphControl graph;
    std::vector<double> values(20, 70.0);
    values[9] = 72.5;
    graph.plotY(values, 1.0, 1.0);
    graph.addAnnotation(9, QStringLiteral("Pause"), 10.0, 30.0);
    graph.addAnnotation(99, QStringLiteral("Nowhere"), 100.0, 30.0); // no such point
    ASSERT_EQ(graph.annotationCount(), 1);
    EXPECT_EQ(graph.annotationCaption(0), QStringLiteral("Pause"));
    EXPECT_EQ(graph.annotationCaptionPosition(0), QPointF(10.0, 30.0));
    EXPECT_EQ(graph.annotationPoint(0), QPointF(10.0, 72.5));
    graph.clearAnnotations();
    EXPECT_EQ(graph.annotationCount(), 0);
}

int darkRedPixels(GraphControl &graph)
{
    graph.plot()->replot(QCustomPlot::rpImmediateRefresh);
    const QImage image = graph.plot()->toPixmap(400, 300).toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == QColor(Qt::darkRed) ? 1 : 0;
    return count;
}

// Captions are drawn where their X is shown, and vanish when cleared; a new
// plot keeps them tied to the points of the same index.
TEST(GraphControlAnnotation, CaptionsAreDrawnOnlyWhereShown)
{
    GraphControl graph;
    graph.plotY(std::vector<double>(200, 70.0), 1.0, 1.0);
    graph.setAxisRange(Axis::Y, 25, 145);
    graph.setAxisRange(Axis::X, 1, 200);
    EXPECT_EQ(darkRedPixels(graph), 0);
    // Crowded captions on one level: drawn without covering one another.
    for (int row = 1; row <= 200; ++row)
        graph.addAnnotation(row - 1, row % 2 ? QStringLiteral("Pause") : QStringLiteral("Start"),
                            row, row % 2 ? 30.0 : 105.0);
    EXPECT_EQ(graph.annotationCount(), 200);
    EXPECT_GT(darkRedPixels(graph), 0);
    graph.setAxisRange(Axis::X, 300, 400);
    EXPECT_EQ(darkRedPixels(graph), 0);
    graph.setAxisRange(Axis::X, 1, 200);
    graph.clearAnnotations();
    EXPECT_EQ(darkRedPixels(graph), 0);
}

TEST(GraphControlLabels, TenthClassesReadInDecibels)
{
    GraphControl graph;
    graph.resize(600, 300);
    graph.setAxisLabelFormat(Axis::X, GraphControl::LabelFormat::TenthsAsDb);
    graph.setAxisRange(Axis::X, 649, 656);
    graph.redraw(true);
    QVector<double> ticks;
    QVector<QString> labels;
    graph.plot()->xAxis->ticker()->generate(graph.plot()->xAxis->range(), QLocale::c(),
                                            QLatin1Char('g'), 6, ticks, nullptr, &labels);
    ASSERT_FALSE(labels.isEmpty());
    for (int i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(labels[i].toDouble(), ticks[i] / 10.0) << labels[i].toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("65.3")) || labels.contains(QStringLiteral("65")));
}

TEST(GraphControlLabels, WholeLabelsNeverShowFractions)
{
    GraphControl graph;
    graph.setAxisLabelFormat(Axis::X, GraphControl::LabelFormat::Whole);
    QVector<double> ticks;
    QVector<QString> labels;
    graph.plot()->xAxis->ticker()->generate(QCPRange(0, 2), QLocale::c(), QLatin1Char('g'), 6,
                                            ticks, nullptr, &labels);
    EXPECT_EQ(labels, (QVector<QString> { "0", "1", "2" }));
}

TEST(GraphControlBackground, RemembersItsColour)
{
    GraphControl graph;
    graph.setPlotBackground(Qt::white);
    EXPECT_EQ(graph.plotBackground(), QColor(Qt::white));
    graph.setPlotBackground(QColor(250, 250, 240));
    EXPECT_EQ(graph.plotBackground(), QColor(250, 250, 240));
}

} // namespace
