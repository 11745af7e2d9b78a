#include "RealTimeGraph.h"

#include "WindowImagePrint.h"
#include "widgets/Dialogs.h"
#include "widgets/PrintDocument.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPointer>
#include <QPrinter>
#include <QScopeGuard>

namespace {
QPointer<RealTimeGraph> s_openRealTimeGraph;
}

RealTimeGraph::RealTimeGraph()
    : SeriesGraphWindow(QStringLiteral("LblUnit"), QStringLiteral("dB"))
{
    setWindowTitle(QStringLiteral("Real Time Graph"));
    move(0, 0);
    graph()->createCursor(QColor(0, 130, 0));
    graph()->setCursorVisible(false);
    chooseTrackMode(GraphControl::TrackMode::Normal);
}

RealTimeGraph *RealTimeGraph::openWindow()
{
    return s_openRealTimeGraph.data();
}

RealTimeGraph *RealTimeGraph::LoadSeries(std::span<const double> values, int n,
                                         const QString &yCaption, double yMinimum, double yMaximum)
{
    if (s_openRealTimeGraph) {
        s_openRealTimeGraph->close();
        delete s_openRealTimeGraph.data();
    }
    n = std::clamp(n, 0, int(values.size()));
    auto *window = new RealTimeGraph;
    s_openRealTimeGraph = window;

    GraphSharedState &shared = graphSharedState();
    shared.graphResetRange = { n, yMinimum, yMaximum, yCaption };

    shared.axisSyncSuppressed = true;
    window->graph()->setAxisCaption(GraphControl::Axis::Y, yCaption);
    window->rangeBox(RangeBox::XMax)->setValue(n);
    window->rangeBox(RangeBox::XMin)->setValue(1);
    window->rangeBox(RangeBox::YMax)->setValue(yMaximum);
    window->rangeBox(RangeBox::YMin)->setValue(yMinimum);
    shared.axisSyncSuppressed = false;

    window->yUnitLabel()->setText(yCaption);
    window->yUnitLabel()->setAccessibleName(yCaption);
    window->graph()->setAxisRange(GraphControl::Axis::Y, yMinimum, yMaximum);
    window->graph()->setAxisRange(GraphControl::Axis::X, 1, n);

    window->show();
    window->graph()->plotY(values.first(std::size_t(n)), 1.0, 1.0);
    return window;
}

bool RealTimeGraph::rangeSyncSuppressed() const
{
    return graphSharedState().axisSyncSuppressed;
}

void RealTimeGraph::showCursor()
{
    graph()->setCursorVisible(true);
}

void RealTimeGraph::hideCursor()
{
    graph()->setCursorVisible(false);
}

void RealTimeGraph::resetScale()
{
    const GraphResetRange &reset = graphSharedState().graphResetRange;
    setBoxQuietly(RangeBox::XMax, reset.xMaximum);
    setBoxQuietly(RangeBox::XMin, 1);
    setBoxQuietly(RangeBox::YMax, reset.yMaximum);
    setBoxQuietly(RangeBox::YMin, reset.yMinimum);
    graph()->setAxisRange(GraphControl::Axis::Y, reset.yMinimum, reset.yMaximum);
    graph()->setAxisRange(GraphControl::Axis::X, 1, reset.xMaximum);
}

void RealTimeGraph::printGraph()
{
    chooseTrackMode(GraphControl::TrackMode::Normal);

    QPrinter &printer = currentPrinter();
    if (!dialogs().setUpPrinter(this, printer, true))
        return;
    showPrinterNote(this);
    const int copies = PrintDocument::takeCopyCount(printer);

    const QString yCaption = graph()->axisCaption(GraphControl::Axis::Y);
    setPrintLayout(true, pixelsFromTwips(11550));
    graph()->setAxisCaption(GraphControl::Axis::Y, QString());
    // The screen look comes back even when the printer fails half way.
    const auto restore = qScopeGuard([&] {
        graph()->setAxisCaption(GraphControl::Axis::Y, yCaption);
        setPrintLayout(false, pixelsFromTwips(11550));
    });
    printWindowImage(this, graph()->plot(), printer, copies);
}
