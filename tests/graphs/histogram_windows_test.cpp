#include "QtPrinting.h"
#include "graphs/GraphRanges.h"
#include "graphs/gui/Histogram.h"
#include "graphs/gui/RealHistogram.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QTableWidget>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

using Axis = GraphControl::Axis;
using Mode = GraphControl::TrackMode;

std::vector<int64_t> countsWith(std::size_t size,
                                std::initializer_list<std::pair<int, int64_t>> set)
{
    std::vector<int64_t> counts(size, 0);
    for (const auto &[index, count] : set)
        counts[std::size_t(index)] = count;
    return counts;
}

QAction *toolAction(ClassHistogramWindow *window, const QString &text)
{
    for (QAction *action : window->toolBar()->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

class HistogramWindowTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        delete RealHistogram::openWindow();
        delete Histogram::openWindow();
    }
};

TEST_F(HistogramWindowTest, LiveClassesSitAtTheirIndexWithRangeAroundTheBounds)
{
    const std::vector<int64_t> counts = countsWith(1401, { { 650, 4 }, { 653, 2 } });
    RealHistogram *window = RealHistogram::LoadClassCounts(counts, ClassWidth::Tenth, 650, 653);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Histogram"));
    GraphControl *graph = window->graph();
    ASSERT_EQ(graph->pointCount(), 1401);
    EXPECT_DOUBLE_EQ(graph->pointX(650), 650.0);
    EXPECT_DOUBLE_EQ(graph->pointY(650), 4.0);
    EXPECT_DOUBLE_EQ(graph->pointX(653), 653.0);
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::X), 649.0);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), 654.0);
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::Y), 0.0);
    EXPECT_GE(graph->axisMaximum(Axis::Y), 4.0);
    EXPECT_EQ(graph->axisCaption(Axis::X), QStringLiteral("dB"));
    EXPECT_EQ(graph->axisCaption(Axis::Y), QStringLiteral("Frequency (Times)"));

    const HistogramResetRange &reset = graphSharedState().histogramResetRange;
    EXPECT_DOUBLE_EQ(reset.xMinimum, 649.0);
    EXPECT_DOUBLE_EQ(reset.xMaximum, 654.0);
    EXPECT_DOUBLE_EQ(reset.yMaximum, graph->axisMaximum(Axis::Y));
}

TEST_F(HistogramWindowTest, LiveResetAfterZoomKeepsTheMode)
{
    const std::vector<int64_t> counts = countsWith(141, { { 60, 3 }, { 95, 7 } });
    RealHistogram *window = RealHistogram::LoadClassCounts(counts, ClassWidth::Whole, 60, 95);
    const double yMax = window->graph()->axisMaximum(Axis::Y);
    window->chooseItem(5); // ZoomX
    window->graph()->setAxisRange(Axis::X, 70, 80);
    window->graph()->setAxisRange(Axis::Y, 0, 2);
    window->chooseItem(ClassHistogramWindow::ResetItem);
    EXPECT_DOUBLE_EQ(window->graph()->axisMinimum(Axis::X), 59.0);
    EXPECT_DOUBLE_EQ(window->graph()->axisMaximum(Axis::X), 96.0);
    EXPECT_DOUBLE_EQ(window->graph()->axisMaximum(Axis::Y), yMax);
    EXPECT_EQ(window->graph()->trackMode(), Mode::ZoomX);

    window->graph()->setAxisRange(Axis::X, 70, 80);
    toolAction(window, QStringLiteral("Reset"))->trigger();
    EXPECT_DOUBLE_EQ(window->graph()->axisMinimum(Axis::X), 59.0);
}

TEST_F(HistogramWindowTest, LiveModePanelOpensFromTrackAndClosesOnAnyChoice)
{
    RealHistogram *window
        = RealHistogram::LoadClassCounts(countsWith(141, { { 70, 1 } }), ClassWidth::Whole, 70, 70);
    EXPECT_FALSE(window->modePanel()->isVisible());
    EXPECT_EQ(window->modeList()->currentText(), QStringLiteral("Normal"));
    QStringList items;
    for (int i = 0; i < window->modeList()->count(); ++i)
        items << window->modeList()->itemText(i);
    EXPECT_EQ(items,
              (QStringList { "Normal", "PanXY", "PanX", "PanY", "ZoomXY", "ZoomX", "ZoomY",
                             "Reset Scale" }));
    ASSERT_NE(toolAction(window, QStringLiteral("Track")), nullptr);
    EXPECT_EQ(toolAction(window, QStringLiteral("Track"))->toolTip(), QStringLiteral("Track Mode"));
    EXPECT_EQ(toolAction(window, QStringLiteral("Reset"))->toolTip(),
              QStringLiteral("Reset Scale"));
    EXPECT_EQ(toolAction(window, QStringLiteral("Print"))->toolTip(), QStringLiteral("Print"));

    toolAction(window, QStringLiteral("Track"))->trigger();
    EXPECT_TRUE(window->modePanel()->isVisible());
    window->chooseItem(3);
    EXPECT_FALSE(window->modePanel()->isVisible());
    EXPECT_EQ(window->graph()->trackMode(), Mode::PanY);
    EXPECT_EQ(
        window->description(),
        QStringLiteral("Click anywhere on the plot area and drag to pan the graph vertically."));
}

TEST_F(HistogramWindowTest, WholeClassesCoverTheirDecibelAndSpanTheOccupiedClasses)
{
    HistogramInput input;
    input.counts = countsWith(146, { { 48, 3 }, { 71, 9 } });
    input.width = ClassWidth::Whole;
    Histogram *window = Histogram::LoadListHistogram(input);
    GraphControl *graph = window->graph();
    EXPECT_EQ(graph->objectName(), QStringLiteral("CWG"));
    ASSERT_EQ(graph->pointCount(), 146);
    EXPECT_DOUBLE_EQ(graph->pointX(48), 48.5);
    EXPECT_DOUBLE_EQ(graph->pointY(48), 3.0);
    EXPECT_DOUBLE_EQ(graph->pointX(71), 71.5);
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::X), 48.0);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), 72.0);
    const ListHistogramRange &range = graphSharedState().listHistogramRange;
    EXPECT_EQ(range.firstIndex, 48);
    EXPECT_EQ(range.lastIndex, 71);
    EXPECT_DOUBLE_EQ(range.yMaximum, graph->axisMaximum(Axis::Y));

    // Reset after a zoom returns to the occupied classes in plain mode.
    window->chooseItem(4);
    graph->setAxisRange(Axis::X, 60, 62);
    graph->setAxisRange(Axis::Y, 0, 1);
    const QString description = window->description();
    window->chooseItem(ClassHistogramWindow::ResetItem);
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::X), 48.0);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), 72.0);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::Y), range.yMaximum);
    EXPECT_EQ(graph->trackMode(), Mode::Normal);
    EXPECT_EQ(window->description(), description);
}

TEST_F(HistogramWindowTest, TenthClassesSitOnTheirLevelWithAnOffsetInput)
{
    HistogramInput input;
    input.width = ClassWidth::Tenth;
    input.firstClassIndex = 600;
    input.counts = std::vector<int64_t>(60, 0);
    input.counts[50] = 5; // class 650
    input.counts[53] = 1; // class 653
    Histogram *window = Histogram::LoadListHistogram(input);
    GraphControl *graph = window->graph();
    // 65.0 dB is drawn at 65.0 on the dB axis, where the live histogram draws it.
    EXPECT_DOUBLE_EQ(graph->pointX(650), 650.0);
    EXPECT_DOUBLE_EQ(graph->pointX(653), 653.0);
    EXPECT_DOUBLE_EQ(graph->pointY(653), 1.0);
    EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::X), 650.0);
    EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), 654.0);
}

TEST_F(HistogramWindowTest, LnGridHoldsTheTableAsGiven)
{
    HistogramInput input;
    input.counts = countsWith(1451, { { 612, 1 } });
    input.width = ClassWidth::Tenth;
    for (int m = 0; m < 100; ++m)
        input.lnTexts[std::size_t(m)] = QStringLiteral("%1.%2").arg(50 + m / 10).arg(m % 10);
    input.lnTexts[50] = QStringLiteral("61.2");
    Histogram *window = Histogram::LoadListHistogram(input);
    QTableWidget *grid = window->lnGrid();
    ASSERT_EQ(grid->columnCount(), 11);
    ASSERT_EQ(grid->rowCount(), 10);
    QStringList header;
    for (int c = 0; c < 11; ++c)
        header << grid->horizontalHeaderItem(c)->text();
    EXPECT_EQ(header,
              (QStringList { "Ln", " 0", " 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9" }));
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("L(00)"));
    EXPECT_EQ(grid->item(9, 0)->text(), QStringLiteral("L(90)"));
    EXPECT_EQ(grid->item(5, 1)->text(), QStringLiteral("61.2"));
    EXPECT_EQ(grid->item(3, 8)->text(), QStringLiteral("53.7"));
    EXPECT_EQ(grid->item(9, 10)->text(), QStringLiteral("59.9"));
    const QFontMetrics metrics(grid->font());
    EXPECT_GE(grid->columnWidth(0), metrics.horizontalAdvance(QStringLiteral("ABCDEFAA1")));
    EXPECT_GE(grid->columnWidth(1), metrics.horizontalAdvance(QStringLiteral("ABCDEFAA")));
    EXPECT_LT(grid->columnWidth(1), grid->columnWidth(0));
}

TEST_F(HistogramWindowTest, ReadingsOnlyInClassZeroFillTheTableAndFitTheRange)
{
    // Level texts without a number ("", "abc") and "0.0" count in class 0.
    for (const ClassWidth width : { ClassWidth::Tenth, ClassWidth::Whole }) {
        SCOPED_TRACE(width == ClassWidth::Tenth ? "tenth" : "whole");
        HistogramInput input;
        input.width = width;
        input.counts = countsWith(width == ClassWidth::Tenth ? 1451 : 146, { { 0, 3 } });
        input.lnTexts.fill(width == ClassWidth::Tenth ? QStringLiteral("0.0")
                                                      : QStringLiteral("0"));
        Histogram *window = Histogram::LoadListHistogram(input);
        GraphControl *graph = window->graph();
        ASSERT_EQ(window->lnGrid()->rowCount(), 10);
        EXPECT_EQ(window->lnGrid()->item(9, 10)->text(), input.lnTexts[99]);
        EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::X), 0.0);
        EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), 1.0);
        EXPECT_DOUBLE_EQ(graph->axisMinimum(Axis::Y), 0.0);
        EXPECT_GE(graph->axisMaximum(Axis::Y), 3.0);
        EXPECT_LT(graph->axisMaximum(Axis::Y), 4.0);
        window->chooseItem(ClassHistogramWindow::ResetItem);
        EXPECT_DOUBLE_EQ(graph->axisMaximum(Axis::X), 1.0);
    }
}

TEST_F(HistogramWindowTest, NoCountedClassDrawsAnEmptyHistogramAndTable)
{
    HistogramInput input;
    input.counts = countsWith(146, {});
    Histogram *window = Histogram::LoadListHistogram(input);
    EXPECT_EQ(window->lnGrid()->rowCount(), 0);
    EXPECT_LT(window->graph()->axisMinimum(Axis::X), window->graph()->axisMaximum(Axis::X));
    EXPECT_LT(window->graph()->axisMinimum(Axis::Y), window->graph()->axisMaximum(Axis::Y));
    window->chooseItem(ClassHistogramWindow::ResetItem);
    EXPECT_LT(window->graph()->axisMinimum(Axis::X), window->graph()->axisMaximum(Axis::X));
}

TEST_F(HistogramWindowTest, ListModesUseTheirOwnDescriptionsAndLimitToggles)
{
    HistogramInput input;
    input.counts = countsWith(146, { { 70, 1 } });
    Histogram *window = Histogram::LoadListHistogram(input);
    EXPECT_EQ(window->modeList()->currentIndex(), -1);
    EXPECT_EQ(window->modeList()->itemText(7), QStringLiteral("Reset"));
    const std::vector<std::pair<int, QString>> expected {
        { 0, QStringLiteral("Normal mode") },
        { 1,
          QStringLiteral("Clique em alguma parte da área de renderização e arraste para expandir o "
                         "gráfico horizontal e verticalmente.") },
        { 2,
          QStringLiteral("Clique em alguma parte da área de renderização e arraste para expandir o "
                         "gráfico horizontalmente.") },
        { 3,
          QStringLiteral("Clique em alguma parte da área de renderização e arraste para expandir o "
                         "gráfico verticalmente.") },
        { 4,
          QStringLiteral("Selecione uma região do gráfico para aumentar o zoom horizontal e "
                         "verticalmente.") },
        { 5,
          QStringLiteral("Selecione uma região do gráfico para aumentar o zoom horizontalmente.") },
        { 6,
          QStringLiteral("Selecione uma região do gráfico para aumentar o zoom verticalmente.") },
    };
    QAction *limit = toolAction(window, QStringLiteral("Limit"));
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->toolTip(), QStringLiteral("Limit"));
    for (const auto &[item, text] : expected) {
        SCOPED_TRACE(item);
        if (!window->modePanel()->isVisible())
            limit->trigger();
        ASSERT_TRUE(window->modePanel()->isVisible());
        window->chooseItem(item);
        EXPECT_EQ(window->description(), text);
        EXPECT_EQ(window->graph()->trackMode(), ClassHistogramWindow::trackModeOfItem(item));
        EXPECT_FALSE(window->modePanel()->isVisible());
    }
    limit->trigger();
    limit->trigger();
    EXPECT_FALSE(window->modePanel()->isVisible());
}

TEST_F(HistogramWindowTest, EachLoadReplacesTheOpenWindow)
{
    HistogramInput input;
    input.counts = countsWith(146, { { 70, 1 } });
    QPointer<Histogram> first = Histogram::LoadListHistogram(input);
    Histogram *second = Histogram::LoadListHistogram(input);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(Histogram::openWindow(), second);
}

} // namespace
