#include "WindowImagePrint.h"

#include "ui/widgets/Dialogs.h"

#include <QPrinter>
#include <QWidget>

#include "ui/widgets/QCustomPlotInclude.h"

bool printWindowImage(QWidget *window, QCustomPlot *graph, QPrinter &printer, int copies)
{
    QCPPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);

    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSize size = window->size();
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    const QPoint graphOffset = graph ? graph->mapTo(window, QPoint(0, 0)) : QPoint();

    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage())
            return false;
        painter.save();
        painter.scale(scale, scale);
        window->render(&painter, QPoint(), QRegion(),
                       QWidget::DrawWindowBackground | QWidget::DrawChildren);
        if (graph && graph->isVisible()) {
            painter.translate(graphOffset);
            graph->toPainter(&painter, graph->width(), graph->height());
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
    const QString text = QStringList{
        QStringLiteral("Note"),
        QStringLiteral("The effect of the properties of the Printer settings"),
        QStringLiteral("depends on the driver supplied by the printer manufacturer."),
        QStringLiteral("Some property settings may have no effect, or several different "
                       "property settings"),
        QStringLiteral("may all have the same effect. Settings outside the accepted range may "
                       "or may not produce an error."),
        QStringLiteral("For more information, see the manufacturer's documentation for the "
                       "specific driver."),
    }.join(QLatin1Char('\n'));
    dialogs().message(parent, text, QString(), MessageIcon::None, MessageButtons::Ok);
}
