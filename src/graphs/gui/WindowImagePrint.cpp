#include "WindowImagePrint.h"

#include "widgets/Dialogs.h"
#include "widgets/PrintDocument.h"

#include <QPicture>
#include <QPrinter>
#include <QWidget>

#include "widgets/QCustomPlotInclude.h"

namespace {

// Records drawing at screen resolution, so that fonts keep their size
// against the window and texts stay text on the page.
QPicture recordWindow(QWidget *window)
{
    QPicture picture;
    QPainter recorder(&picture);
    window->render(&recorder, QPoint(), QRegion(),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
    recorder.end();
    return picture;
}

QPicture recordGraph(QCustomPlot *graph)
{
    QPicture picture;
    QCPPainter recorder(&picture);
    recorder.setMode(QCPPainter::pmVectorized);
    recorder.setMode(QCPPainter::pmNoCaching);
    graph->toPainter(&recorder, graph->width(), graph->height());
    recorder.end();
    return picture;
}

} // namespace

bool printWindowImage(QWidget *window, QCustomPlot *graph, QPrinter &printer, int copies)
{
    const QPicture windowPicture = recordWindow(window);
    const bool withGraph = graph && graph->isVisible();
    const QPicture graphPicture = withGraph ? recordGraph(graph) : QPicture();
    const QPoint graphOffset = withGraph ? graph->mapTo(window, QPoint(0, 0)) : QPoint();

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSize size = window->size();
    // A picture plays back scaled from its own resolution to the printer's;
    // the fit to the page is what is left.
    const double playScale = double(windowPicture.logicalDpiX()) / printer.logicalDpiX();
    const double fit
        = std::min(page.width() / size.width(), page.height() / size.height()) * playScale;

    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage())
            return false;
        painter.save();
        painter.scale(fit, fit);
        painter.drawPicture(QPoint(0, 0), windowPicture);
        if (withGraph) {
            // The graph again as vectors over its screen image.
            painter.translate(graphOffset);
            painter.drawPicture(QPoint(0, 0), graphPicture);
        }
        painter.restore();
    }
    return painter.end();
}

QPrinter &currentPrinter()
{
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

void showPrinterNote(QWidget *parent)
{
    dialogs().message(parent, PrintDocument::printerNote(), QString(), MessageIcon::None,
                      MessageButtons::Ok);
}
