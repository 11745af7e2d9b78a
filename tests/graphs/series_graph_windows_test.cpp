#include "QtPrinting.h"
#include "graphs/GraphRanges.h"
#include "graphs/gui/Plot.h"
#include "graphs/gui/RealTimeGraph.h"
#include "platform/PanelTimers.h"

#include <QAccessible>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Axis = GraphControl::Axis;
using Mode = GraphControl::TrackMode;
using Box = SeriesGraphWindow::RangeBox;

struct AxisRanges
{
    double xMin, xMax, yMin, yMax;
};

AxisRanges rangesOf(const GraphControl *graph)
{
    return { graph->axisMinimum(Axis::X), graph->axisMaximum(Axis::X), graph->axisMinimum(Axis::Y),
             graph->axisMaximum(Axis::Y) };
}

void expectRanges(const GraphControl *graph, AxisRanges expected)
{
    const AxisRanges actual = rangesOf(graph);
    EXPECT_DOUBLE_EQ(actual.xMin, expected.xMin);
    EXPECT_DOUBLE_EQ(actual.xMax, expected.xMax);
    EXPECT_DOUBLE_EQ(actual.yMin, expected.yMin);
    EXPECT_DOUBLE_EQ(actual.yMax, expected.yMax);
}

// Types a value into a range box as the user does: the value lands when the
// editing ends.
void typeInto(QDoubleSpinBox *box, const QString &text)
{
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Enter);
}

class SeriesGraphTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        delete RealTimeGraph::openWindow();
        delete Plot::openWindow();
    }
};

TEST_F(SeriesGraphTest, LoadSeriesPlacesSampleKAtKPlusOneAndSetsEveryRange)
{
    const std::vector<double> values { 61.0, 64.5, 70.2, 66.0, 62.3, 99.0 };
    RealTimeGraph *window
        = RealTimeGraph::LoadSeries(values, 5, QStringLiteral("Leq (dB)"), 61.0, 70.2);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Real Time Graph"));
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    GraphControl *graph = window->graph();
    ASSERT_EQ(graph->pointCount(), 5); // n, not the array's length
    for (int k = 0; k < 5; ++k) {
        EXPECT_DOUBLE_EQ(graph->pointX(k), k + 1.0);
        EXPECT_DOUBLE_EQ(graph->pointY(k), values[std::size_t(k)]);
    }
    expectRanges(graph, { 1, 5, 61.0, 70.2 });
    EXPECT_EQ(graph->axisCaption(Axis::Y), QStringLiteral("Leq (dB)"));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("LblUnit"))->text(),
              QStringLiteral("Leq (dB)"));
    EXPECT_DOUBLE_EQ(window->rangeBox(Box::XMax)->value(), 5);
    EXPECT_DOUBLE_EQ(window->rangeBox(Box::XMin)->value(), 1);
    EXPECT_DOUBLE_EQ(window->rangeBox(Box::YMax)->value(), 70.2);
    EXPECT_DOUBLE_EQ(window->rangeBox(Box::YMin)->value(), 61.0);
    const GraphResetRange &reset = graphSharedState().graphResetRange;
    EXPECT_EQ(reset.xMaximum, 5);
    EXPECT_DOUBLE_EQ(reset.yMinimum, 61.0);
    EXPECT_DOUBLE_EQ(reset.yMaximum, 70.2);
    EXPECT_EQ(reset.yCaption, QStringLiteral("Leq (dB)"));
    EXPECT_FALSE(graphSharedState().axisSyncSuppressed);
    EXPECT_EQ(window->trackModeList()->currentText(), QStringLiteral("Normal"));
    EXPECT_EQ(window->description(), QStringLiteral("Normal mode"));
}

TEST_F(SeriesGraphTest, EachLoadReplacesTheOpenWindow)
{
    const std::vector<double> values { 70.0, 71.0 };
    QPointer<RealTimeGraph> first = RealTimeGraph::LoadSeries(values, 2, "SPL (dB)", 70, 71);
    first->chooseTrackMode(Mode::ZoomX);
    RealTimeGraph *second = RealTimeGraph::LoadSeries(values, 1, "SPL (dB)", 70, 71);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(RealTimeGraph::openWindow(), second);
    EXPECT_EQ(second->graph()->trackMode(), Mode::Normal);
}

TEST_F(SeriesGraphTest, EmptyAndSingleSampleSeriesKeepAValidRange)
{
    struct Case
    {
        const char *name;
        int n;
        double yMin, yMax;
    };
    const std::vector<double> values { 72.0 };
    for (const Case &c : { Case { "Empty", 0, 145, 0 }, Case { "Single", 1, 72, 72 } }) {
        SCOPED_TRACE(c.name);
        RealTimeGraph *window = RealTimeGraph::LoadSeries(values, c.n, "SPL (dB)", c.yMin, c.yMax);
        const AxisRanges ranges = rangesOf(window->graph());
        EXPECT_LT(ranges.xMin, ranges.xMax);
        EXPECT_LT(ranges.yMin, ranges.yMax);
        EXPECT_EQ(window->graph()->pointCount(), c.n);
        window->resetScale();
        EXPECT_LT(window->graph()->axisMinimum(Axis::X), window->graph()->axisMaximum(Axis::X));
    }
}

TEST_F(SeriesGraphTest, BoxChangesWaitWhileSyncIsSuppressedThenApplyBothAxes)
{
    const std::vector<double> values(100, 70.0);
    RealTimeGraph *window = RealTimeGraph::LoadSeries(values, 100, "SPL (dB)", 60, 80);
    graphSharedState().axisSyncSuppressed = true;
    window->rangeBox(Box::XMax)->setValue(50);
    expectRanges(window->graph(), { 1, 100, 60, 80 });
    graphSharedState().axisSyncSuppressed = false;

    window->rangeBox(Box::YMin)->setValue(65);
    // Both axes come from the four boxes, including the earlier X change.
    expectRanges(window->graph(), { 1, 50, 65, 80 });
}

TEST_F(SeriesGraphTest, MinimumNotBelowMaximumIsRefusedWithThePreviousValue)
{
    const std::vector<double> values(100, 70.0);
    RealTimeGraph *window = RealTimeGraph::LoadSeries(values, 100, "SPL (dB)", 60, 80);
    window->show();
    struct Case
    {
        const char *name;
        Box box;
        const char *typed;
        double kept;
    };
    for (const Case &c : { Case { "YMinAboveMax", Box::YMin, "90", 60 },
                           Case { "YMinEqualMax", Box::YMin, "80", 60 },
                           Case { "YMaxBelowMin", Box::YMax, "50", 80 },
                           Case { "XMinAboveMax", Box::XMin, "200", 1 },
                           Case { "XMaxEqualMin", Box::XMax, "1", 100 } }) {
        SCOPED_TRACE(c.name);
        typeInto(window->rangeBox(c.box), QString::fromLatin1(c.typed));
        EXPECT_DOUBLE_EQ(window->rangeBox(c.box)->value(), c.kept);
        expectRanges(window->graph(), { 1, 100, 60, 80 });
    }
    typeInto(window->rangeBox(Box::YMax), QStringLiteral("95.5"));
    expectRanges(window->graph(), { 1, 100, 60, 95.5 });
}

TEST_F(SeriesGraphTest, ResetScaleReturnsToTheLoadedRangeAndBoxes)
{
    const std::vector<double> values(864, 70.0);
    RealTimeGraph *window = RealTimeGraph::LoadSeries(values, 864, "SEL (dB)", 70, 99.9);
    window->rangeBox(Box::XMin)->setValue(300);
    window->rangeBox(Box::YMax)->setValue(140);
    window->graph()->setAxisRange(Axis::X, 5, 9); // as a zoom leaves it
    window->resetScale();
    expectRanges(window->graph(), { 1, 864, 70, 99.9 });
    EXPECT_DOUBLE_EQ(window->rangeBox(Box::XMin)->value(), 1);
    EXPECT_DOUBLE_EQ(window->rangeBox(Box::YMax)->value(), 99.9);
    EXPECT_EQ(window->graph()->axisCaption(Axis::Y), QStringLiteral("SEL (dB)"));
}

TEST_F(SeriesGraphTest, TrackModeDescriptionsDifferOnlyInTheCursorItem)
{
    const std::vector<double> values(10, 70.0);
    RealTimeGraph *live = RealTimeGraph::LoadSeries(values, 10, "SPL (dB)", 60, 80);
    Plot *plot = Plot::PlotFromList(QVector<QString>(10, QStringLiteral("70.0")));
    const std::vector<std::pair<Mode, const char *>> common {
        { Mode::Normal, "Normal mode" },
        { Mode::PanXY,
          "Click anywhere on the plot area and drag to pan the graph both "
          "horizontally and vertically." },
        { Mode::PanX, "Click anywhere on the plot area and drag to pan the graph horizontally." },
        { Mode::PanY, "Click anywhere on the plot area and drag to pan the graph vertically." },
        { Mode::ZoomXY, "Select a region on the graph to zoom both horizontally and vertically." },
        { Mode::ZoomX, "Select a region on the graph to zoom horizontally." },
        { Mode::ZoomY, "Select a region on the graph to zoom vertically." },
    };
    for (const auto &[mode, text] : common) {
        SCOPED_TRACE(text);
        live->chooseTrackMode(mode);
        plot->chooseTrackMode(mode);
        EXPECT_EQ(live->description(), QString::fromLatin1(text));
        EXPECT_EQ(plot->description(), QString::fromLatin1(text));
        EXPECT_EQ(live->graph()->trackMode(), mode);
        EXPECT_EQ(live->trackModeList()->currentText(), GraphControl::trackModeNames()[int(mode)]);
    }
    live->chooseTrackMode(Mode::CursorCoordinates);
    plot->chooseTrackMode(Mode::CursorCoordinates);
    EXPECT_EQ(
        live->description(),
        QStringLiteral("Drag the cursor with your mouse to get X (Count) and Y (Value) position."));
    EXPECT_EQ(
        plot->description(),
        QStringLiteral("Drag the cursor with your mouse to get X (Count) and Y (dB) position."));
}

TEST_F(SeriesGraphTest, CursorShowsCentredInCursorModeOnly)
{
    const std::vector<double> values(100, 70.0);
    RealTimeGraph *live = RealTimeGraph::LoadSeries(values, 100, "SPL (dB)", 60, 80);
    EXPECT_TRUE(live->graph()->hasCursor());
    EXPECT_FALSE(live->graph()->cursorVisible());
    live->chooseTrackMode(Mode::CursorCoordinates);
    EXPECT_TRUE(live->graph()->cursorVisible());
    EXPECT_EQ(live->graph()->cursorPosition(), QPointF(50.5, 70.0));
    EXPECT_EQ(live->xPositionText(), QStringLiteral("50.5"));
    EXPECT_EQ(live->yPositionText(), QStringLiteral("70.0"));
    live->chooseTrackMode(Mode::PanX);
    EXPECT_TRUE(live->graph()->hasCursor());
    EXPECT_FALSE(live->graph()->cursorVisible());

    Plot *plot = Plot::PlotFromList(QVector<QString>(10, QStringLiteral("70.0")));
    EXPECT_FALSE(plot->graph()->hasCursor());
    plot->chooseTrackMode(Mode::CursorCoordinates);
    ASSERT_TRUE(plot->graph()->cursorVisible());
    EXPECT_EQ(plot->graph()->cursorPosition(), QPointF(5.5, 85.0));
    plot->chooseTrackMode(Mode::Normal);
    EXPECT_FALSE(plot->graph()->hasCursor());
}

TEST_F(SeriesGraphTest, CursorReadOutShowsOneDecimalForY)
{
    const std::vector<double> values(10, 70.0);
    RealTimeGraph *live = RealTimeGraph::LoadSeries(values, 10, "SPL (dB)", 60, 80);
    live->chooseTrackMode(Mode::CursorCoordinates);
    live->graph()->setCursorPosition(3.25, 65.349);
    EXPECT_EQ(live->xPositionText(), QStringLiteral("3.25"));
    EXPECT_EQ(live->yPositionText(), QStringLiteral("65.3"));
}

std::vector<QString> listWithPauseRun(int count, int firstMarked, int lastMarked)
{
    std::vector<QString> texts;
    for (int row = 1; row <= count; ++row) {
        QString text = QString::number(60 + row % 20) + QStringLiteral(".5");
        if (row >= firstMarked && row <= lastMarked)
            text += QLatin1Char('*');
        texts.push_back(text);
    }
    return texts;
}

TEST_F(SeriesGraphTest, PlotFromListDrawsRowRAtXRWithItsMarkers)
{
    std::vector<QString> texts = listWithPauseRun(20, 10, 14);
    texts[1] = QStringLiteral("--");
    texts[2] = QStringLiteral("141.2");
    Plot *plot = Plot::PlotFromList(texts);
    EXPECT_EQ(plot->windowTitle(), QStringLiteral("Plot"));
    GraphControl *graph = plot->graph();
    ASSERT_EQ(graph->pointCount(), 20);
    EXPECT_DOUBLE_EQ(graph->pointX(0), 1.0);
    EXPECT_DOUBLE_EQ(graph->pointX(19), 20.0);
    EXPECT_DOUBLE_EQ(graph->pointY(1), 25.0);
    EXPECT_DOUBLE_EQ(graph->pointY(2), 145.0);
    EXPECT_DOUBLE_EQ(graph->pointY(9), 70.5);
    expectRanges(graph, { 1, 20, 25, 145 });
    EXPECT_DOUBLE_EQ(plot->rangeBox(Box::XMax)->value(), 20);
    EXPECT_DOUBLE_EQ(plot->rangeBox(Box::YMin)->value(), 25);

    ASSERT_EQ(graph->annotationCount(), 2);
    EXPECT_EQ(graph->annotationCaption(0), QStringLiteral("Pause"));
    EXPECT_EQ(graph->annotationCaptionPosition(0), QPointF(10, 30));
    EXPECT_EQ(graph->annotationPoint(0), QPointF(10, 70.5));
    EXPECT_EQ(graph->annotationCaption(1), QStringLiteral("Start"));
    EXPECT_EQ(graph->annotationCaptionPosition(1), QPointF(15, 105));
    EXPECT_EQ(graph->annotationPoint(1), QPointF(15, 75.5));
}

TEST_F(SeriesGraphTest, ANewListReplacesLevelsAndMarkersButKeepsWindowAndMode)
{
    Plot *plot = Plot::PlotFromList(listWithPauseRun(20, 10, 14));
    plot->chooseTrackMode(Mode::PanX);
    Plot *again = Plot::PlotFromList(listWithPauseRun(8, 7, 8));
    EXPECT_EQ(again, plot);
    EXPECT_EQ(plot->graph()->trackMode(), Mode::PanX);
    EXPECT_EQ(plot->graph()->pointCount(), 8);
    ASSERT_EQ(plot->graph()->annotationCount(), 1); // run to the end: Pause only
    EXPECT_EQ(plot->graph()->annotationCaptionPosition(0), QPointF(7, 30));
    expectRanges(plot->graph(), { 1, 8, 25, 145 });
}

TEST_F(SeriesGraphTest, PlotFromListCountsInTheMainCaptionWithTimersOff)
{
    QWidget mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("VORN"));
    mainWindow.setGeometry(100, 50, 300, 200);
    PanelTimers timers;
    timers.setBothEnabled(true);

    QStringList captions;
    bool timersWereOff = true;
    class TitleSpy : public QObject
    {
    public:
        std::function<void()> onChange;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::WindowTitleChange)
                onChange();
            return false;
        }
    } spy;
    spy.onChange = [&] {
        captions << mainWindow.windowTitle();
        if (mainWindow.windowTitle() != QStringLiteral("VORN"))
            timersWereOff = timersWereOff && !timers.timer1Enabled() && !timers.timer2Enabled();
    };
    mainWindow.installEventFilter(&spy);

    Plot *plot
        = Plot::PlotFromList(listWithPauseRun(2000, 0, -1), PlotHost { &mainWindow, &timers });
    ASSERT_GE(captions.size(), 2);
    EXPECT_EQ(captions.at(captions.size() - 2), QStringLiteral("2000 Completed"));
    EXPECT_EQ(captions.last(), QStringLiteral("VORN"));
    EXPECT_TRUE(timersWereOff);
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_TRUE(timers.timer2Enabled());
    EXPECT_EQ(plot->pos(),
              QPoint(mainWindow.x() + mainWindow.frameGeometry().width(), mainWindow.y()));
}

TEST_F(SeriesGraphTest, PlotResetUsesThePointCountAndLeavesTheBoxes)
{
    Plot *plot = Plot::PlotFromList(listWithPauseRun(20, 0, -1));
    graphSharedState().plotPointCount = 20;
    plot->rangeBox(Box::XMax)->setValue(12);
    plot->graph()->setAxisRange(Axis::Y, 60, 70);
    plot->resetScale();
    expectRanges(plot->graph(), { 1, 20, 25, 145 });
    EXPECT_DOUBLE_EQ(plot->rangeBox(Box::XMax)->value(), 12);
}

TEST_F(SeriesGraphTest, EmptyListPlotsNothingAndStaysUsable)
{
    Plot *plot = Plot::PlotFromList(QVector<QString> {});
    EXPECT_EQ(plot->graph()->pointCount(), 0);
    EXPECT_LT(plot->graph()->axisMinimum(Axis::X), plot->graph()->axisMaximum(Axis::X));
    graphSharedState().plotPointCount = 0;
    plot->resetScale();
    EXPECT_LT(plot->graph()->axisMinimum(Axis::X), plot->graph()->axisMaximum(Axis::X));
    plot->chooseTrackMode(Mode::CursorCoordinates);
    EXPECT_TRUE(plot->graph()->cursorVisible());
}

TEST_F(SeriesGraphTest, ControlsCarryTheirNamesAndCaptions)
{
    Plot *plot = Plot::PlotFromList(QVector<QString>(3, QStringLiteral("70.0")));
    const std::vector<std::pair<const char *, const char *>> labels {
        { "Label1", "No.s ( X ) :" }, { "Label2", "Value ( Y ) :" }, { "Label3", "No.s" },
        { "Label4", "dB" },           { "Label5", "Max" },           { "Label6", "Min" },
        { "LblCompany", "Company:" }, { "LblSector", "Sector:" },    { "LblName", "Name:" }
    };
    for (const auto &[name, text] : labels) {
        auto *label = plot->findChild<QLabel *>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), QString::fromLatin1(text));
    }
    const std::vector<std::pair<const char *, const char *>> frames {
        { "FrmGraphic", "Graphic Plot" },
        { "SSFrame4", "Graph Range" },
        { "SSFrame3", "Track Mode" },
        { "SSFrame2", "Cursor Information" }
    };
    for (const auto &[name, text] : frames) {
        auto *frame = plot->findChild<QGroupBox *>(QLatin1String(name));
        ASSERT_NE(frame, nullptr) << name;
        EXPECT_EQ(frame->title(), QString::fromLatin1(text));
    }
    QStringList items;
    for (int i = 0; i < plot->trackModeList()->count(); ++i)
        items << plot->trackModeList()->itemText(i);
    EXPECT_EQ(items, GraphControl::trackModeNames());
    for (QWidget *child : plot->findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(child) && qobject_cast<QLabel *>(child)->text().isEmpty()
            && child->objectName().isEmpty())
            continue;
        if (child->objectName().isEmpty() || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        // What a screen reader speaks: a label without a name of its own is
        // spoken by its text.
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(child);
        ASSERT_NE(spoken, nullptr) << child->objectName().toStdString();
        EXPECT_FALSE(spoken->text(QAccessible::Name).isEmpty())
            << child->objectName().toStdString();
    }
}

} // namespace
