#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <functional>

class QPixmap;
class QPrinter;
class QWidget;

// One printed document: text lines in a chosen font, one under the other with
// page breaks where the page is full, and images of widgets scaled to the page
// width. The document starts with the first thing printed and ends with
// endDocument() (or when this object goes away).
class PrintDocument
{
public:
    explicit PrintDocument(QPrinter &printer);
    ~PrintDocument();
    PrintDocument(const PrintDocument &) = delete;
    PrintDocument &operator=(const PrintDocument &) = delete;

    // The copies chosen in the printer dialog, leaving the printer at one
    // copy: a caller that repeats the content per copy must not have the
    // driver multiply it again.
    static int takeCopyCount(QPrinter &printer);

    // The note shown after the printer dialog, before anything is printed:
    // its lines are separated by carriage returns.
    static QString printerNote();

    // The first family that is installed is used, e.g. {"Lucida Console",
    // "DejaVu Sans Mono"} for a fixed-pitch face everywhere.
    void setFont(const QStringList &families, qreal pointSize);
    QFont font() const { return m_font; }

    bool printLine(const QString &text);
    // Prints what the widget shows, as wide as the page, keeping its aspect
    // (smaller if it would be taller than a page).
    bool printWidgetImage(QWidget *widget);
    bool printPixmap(const QPixmap &pixmap);
    bool newPage();

    // Runs printOneCopy `copies` times into this one document, optionally
    // starting each copy after the first on a new page. Stops at a failure.
    bool printCopies(int copies, bool newPageEach, const std::function<bool()> &printOneCopy);

    bool endDocument();

    // Lines that fit on one page in the current font.
    int linesPerPage();
    int pageCount() const { return m_pages; }
    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    bool ensureStarted();
    bool breakPageIfNoRoomFor(qreal height);
    bool fail(const QString &reason);
    qreal pageHeight() const;
    qreal pageWidth() const;

    QPrinter &m_printer;
    QPainter m_painter;
    QFont m_font;
    qreal m_y = 0;
    int m_pages = 0;
    bool m_started = false;
    bool m_ended = false;
    bool m_failed = false;
    QString m_error;
};
