#include "PrintDocument.h"

#include <QFontMetricsF>
#include <QPixmap>
#include <QPrinter>
#include <QWidget>

#include <algorithm>

PrintDocument::PrintDocument(QPrinter &printer)
    : m_printer(printer)
{
}

PrintDocument::~PrintDocument()
{
    if (m_started && !m_ended)
        endDocument();
}

int PrintDocument::takeCopyCount(QPrinter &printer)
{
    const int copies = std::max(1, printer.copyCount());
    printer.setCopyCount(1);
    return copies;
}

void PrintDocument::setFont(const QStringList &families, qreal pointSize)
{
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setStyleHint(QFont::TypeWriter);
    m_font = font;
    if (m_painter.isActive())
        m_painter.setFont(m_font);
}

bool PrintDocument::printLine(const QString &text)
{
    if (!ensureStarted())
        return false;
    const QFontMetricsF metrics(m_font, &m_printer);
    if (!breakPageIfNoRoomFor(metrics.lineSpacing()))
        return false;
    m_painter.drawText(QPointF(0, m_y + metrics.ascent()), text);
    m_y += metrics.lineSpacing();
    return true;
}

bool PrintDocument::printWidgetImage(QWidget *widget)
{
    if (!widget)
        return fail(QStringLiteral("Nothing to print."));
    return printPixmap(widget->grab());
}

bool PrintDocument::printPixmap(const QPixmap &pixmap)
{
    if (pixmap.isNull() || pixmap.width() <= 0)
        return fail(QStringLiteral("The image to print is empty."));
    if (!ensureStarted())
        return false;
    qreal width = pageWidth();
    qreal height = width * pixmap.height() / pixmap.width();
    if (height > pageHeight()) {
        height = pageHeight();
        width = height * pixmap.width() / pixmap.height();
    }
    if (!breakPageIfNoRoomFor(height))
        return false;
    m_painter.drawPixmap(QRectF(0, m_y, width, height), pixmap, QRectF(pixmap.rect()));
    m_y += height;
    return true;
}

bool PrintDocument::newPage()
{
    if (!ensureStarted())
        return false;
    if (!m_printer.newPage())
        return fail(QStringLiteral("The printer refused a new page."));
    m_y = 0;
    ++m_pages;
    return true;
}

bool PrintDocument::printCopies(int copies, bool newPageEach,
                                const std::function<bool()> &printOneCopy)
{
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && newPageEach && !newPage())
            return false;
        if (!printOneCopy())
            return false;
    }
    return !m_failed;
}

bool PrintDocument::endDocument()
{
    if (m_ended)
        return !m_failed;
    // A document with nothing printed still comes out, as one blank page.
    if (!ensureStarted())
        return false;
    m_ended = true;
    if (!m_painter.end())
        return fail(QStringLiteral("The printer could not finish the document."));
    return !m_failed;
}

int PrintDocument::linesPerPage()
{
    const QFontMetricsF metrics(m_font, &m_printer);
    return std::max(1, int(pageHeight() / metrics.lineSpacing()));
}

bool PrintDocument::ensureStarted()
{
    if (m_failed)
        return false;
    if (m_started)
        return !m_ended || fail(QStringLiteral("The document has already ended."));
    m_started = true;
    if (!m_painter.begin(&m_printer)) {
        m_ended = true;
        return fail(QStringLiteral("The printer could not be started."));
    }
    m_painter.setFont(m_font);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_pages = 1;
    m_y = 0;
    return true;
}

bool PrintDocument::breakPageIfNoRoomFor(qreal height)
{
    if (m_y > 0 && m_y + height > pageHeight())
        return newPage();
    return true;
}

bool PrintDocument::fail(const QString &reason)
{
    if (!m_failed) {
        m_failed = true;
        m_error = reason;
    }
    return false;
}

qreal PrintDocument::pageHeight() const
{
    return m_printer.height();
}

qreal PrintDocument::pageWidth() const
{
    return m_printer.width();
}

QString PrintDocument::printerNote()
{
    return QStringList {
        QStringLiteral("Note"),
        QStringLiteral("The effect of the properties of the Printer settings"),
        QStringLiteral("depends on the driver supplied by the printer manufacturer."),
        QStringLiteral("Some property settings may have no effect, or several different "
                       "property settings"),
        QStringLiteral("may all have the same effect. Settings outside the accepted range may "
                       "or may not produce an error."),
        QStringLiteral("For more information, see the manufacturer's documentation for the "
                       "specific driver."),
    }
        .join(u'\r');
}
