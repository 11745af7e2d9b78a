#include "RealHistogram.h"

#include "SeriesGraphWindow.h"
#include "WindowImagePrint.h"
#include "graphs/GraphRanges.h"
#include "graphs/HistogramData.h"
#include "widgets/Dialogs.h"
#include "widgets/PrintDocument.h"

#include <QAction>
#include <QFrame>
#include <QPointer>
#include <QPrinter>
#include <QScopeGuard>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
QPointer<RealHistogram> s_openRealHistogram;

int pixelsFromTwips(int twips)
{
    return twips / 15;
}
} // namespace

RealHistogram::RealHistogram()
    : ClassHistogramWindow(QStringLiteral("CWGraph1"), QStringLiteral("Reset Scale"))
{
    move(0, 0);
    QAction *track = addToolButton(QStringLiteral("Track"), QStringLiteral("Track Mode"));
    QAction *reset = addToolButton(QStringLiteral("Reset"), QStringLiteral("Reset Scale"));
    QAction *print = addToolButton(QStringLiteral("Print"), QStringLiteral("Print"));
    connect(track, &QAction::triggered, this, [this] {
        modePanel()->hide();
        placeModePanel();
        modePanel()->show();
    });
    connect(reset, &QAction::triggered, this, [this] {
        modePanel()->hide();
        resetScale();
    });
    connect(print, &QAction::triggered, this, [this] {
        modePanel()->hide();
        printHistogram();
    });
    resize(pixelsFromTwips(10410), pixelsFromTwips(6210));
    chooseItem(0);
}

RealHistogram *RealHistogram::openWindow()
{
    return s_openRealHistogram.data();
}

QString RealHistogram::itemDescription(int item) const
{
    return SeriesGraphWindow::trackModeDescription(trackModeOfItem(item), QString());
}

RealHistogram *RealHistogram::LoadClassCounts(std::span<const int64_t> counts, ClassWidth width,
                                              int low, int high)
{
    if (s_openRealHistogram) {
        s_openRealHistogram->close();
        delete s_openRealHistogram.data();
    }
    auto *window = new RealHistogram;
    s_openRealHistogram = window;
    window->show();

    GraphControl *graph = window->graph();
    window->setClassWidth(width);
    graph->setAxisRange(GraphControl::Axis::X, double(low) - 1.0, double(high) + 1.0);
    const HistogramPoints points = histogramPoints(counts, 0.0);
    graph->plotXY(points.x, points.y);
    graph->setAxisRange(GraphControl::Axis::Y, 0.0, histogramYMaximum(counts));

    graphSharedState().histogramResetRange
        = { graph->axisMinimum(GraphControl::Axis::X), graph->axisMaximum(GraphControl::Axis::X),
            graph->axisMaximum(GraphControl::Axis::Y) };
    return window;
}

void RealHistogram::resetScale()
{
    const HistogramResetRange &reset = graphSharedState().histogramResetRange;
    graph()->setAxisRange(GraphControl::Axis::Y, 0.0, reset.yMaximum);
    graph()->setAxisRange(GraphControl::Axis::X, reset.xMinimum, reset.xMaximum);
}

void RealHistogram::printHistogram()
{
    QPrinter &printer = currentPrinter();
    if (!dialogs().setUpPrinter(this, printer, true))
        return;
    showPrinterNote(this);
    const int copies = PrintDocument::takeCopyCount(printer);

    const QString yCaption = graph()->axisCaption(GraphControl::Axis::Y);
    const QColor graphBackground = graph()->plotBackground();
    toolBar()->hide();
    setBackgroundRole(QPalette::Base);
    graph()->setAxisCaption(GraphControl::Axis::Y, QString());
    graph()->setPlotBackground(Qt::white);
    resize(pixelsFromTwips(11115), pixelsFromTwips(6465));
    mainLayout()->setContentsMargins(pixelsFromTwips(720), pixelsFromTwips(720), 0, 0);
    mainLayout()->activate();
    // The screen look comes back even when the printer fails half way.
    const auto restore = qScopeGuard([&] {
        mainLayout()->setContentsMargins(0, 0, 0, 0);
        resize(pixelsFromTwips(10410), pixelsFromTwips(6210));
        graph()->setAxisCaption(GraphControl::Axis::Y, yCaption);
        toolBar()->show();
        setBackgroundRole(QPalette::Button);
        graph()->setPlotBackground(graphBackground);
    });
    graph()->redraw(true);
    printWindowImage(this, graph()->plot(), printer, copies);
}
