#include "widgets/PrintDocument.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

// Lets failures show texts rather than bytes.
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QStringList FixedFamilies { QStringLiteral("Lucida Console"),
                                  QStringLiteral("DejaVu Sans Mono") };

QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(tool);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of a PDF, page by page, read back in columns of the fixed-pitch
// font it was printed in: each page as its lines without trailing blanks,
// without the empty lines at its top and end, and without the page margin
// (the indent that every line of the page shares).
QList<QStringList> pdfPages(const QString &path, const QFont &font)
{
    QPrinter highResolution(QPrinter::HighResolution);
    const qreal charWidthPoints
        = QFontMetricsF(font, &highResolution).horizontalAdvance(QLatin1Char('0')) * 72.0
        / highResolution.resolution();
    const QString text
        = runTool("pdftotext", { "-fixed", QString::number(charWidthPoints, 'f', 3), path, "-" });
    QList<QStringList> pages;
    for (const QString &page : text.split(QLatin1Char('\f'))) {
        QStringList lines;
        qsizetype margin = std::numeric_limits<qsizetype>::max();
        for (QString line : page.split(QLatin1Char('\n'))) {
            while (!line.isEmpty() && line.back().isSpace())
                line.chop(1);
            if (!line.isEmpty())
                margin = std::min(margin, line.size() - QString(line).trimmed().size());
            lines << line;
        }
        while (!lines.isEmpty() && lines.first().isEmpty())
            lines.removeFirst();
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        for (QString &line : lines)
            line = line.mid(margin);
        pages << lines;
    }
    while (!pages.isEmpty() && pages.last().isEmpty())
        pages.removeLast();
    return pages;
}

int pdfPageCount(const QString &path)
{
    const QString info = runTool("pdfinfo", { path });
    const QRegularExpressionMatch match = QRegularExpression("Pages:\\s+(\\d+)").match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

class PrintDocumentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    }

    QTemporaryDir dir;
    QString pdf = dir.filePath("out.pdf");
    QPrinter printer { QPrinter::HighResolution };
};

TEST(PrintDocument, ThePrinterNoteKeepsItsLines)
{
    const QStringList note = PrintDocument::printerNote().split('\r');
    ASSERT_EQ(note.size(), 6);
    EXPECT_EQ(note.first(), "Note");
    EXPECT_EQ(note.at(3),
              "Some property settings may have no effect, or several different property settings");
    EXPECT_EQ(
        note.last(),
        "For more information, see the manufacturer's documentation for the specific driver.");
}

TEST_F(PrintDocumentTest, LinesComeOutInAFixedPitchFaceWithTheirLeadingSpaces)
{
    PrintDocument document(printer);
    document.setFont(FixedFamilies, 8);
    EXPECT_TRUE(QFontInfo(document.font()).fixedPitch());
    const QStringList report {
        "-         Freq Weight : A",
        " ",
        "-         Max dB : 94.1 - 2026/12/07 10:00:05",
        "-",
        "          No.s            Date Time     (dB)",
        "         -----------------------------------------------------------------------",
        "             1  2026/12/07 10:00:01     65.4     66.0     71.2",
    };
    for (const QString &line : report)
        ASSERT_TRUE(document.printLine(line));
    ASSERT_TRUE(document.endDocument());

    const QList<QStringList> pages = pdfPages(pdf, document.font());
    ASSERT_EQ(pages.size(), 1);
    QStringList expected = report;
    expected[1] = QString(); // a blank line reads back as empty
    EXPECT_EQ(pages[0], expected);
}

TEST_F(PrintDocumentTest, ABreakComesWhenThePageIsFullAndNoLineIsLost)
{
    PrintDocument document(printer);
    document.setFont(FixedFamilies, 8);
    const int perPage = document.linesPerPage();
    ASSERT_GT(perPage, 20);
    const int total = perPage + 7;
    for (int i = 1; i <= total; ++i)
        ASSERT_TRUE(document.printLine(QStringLiteral("line %1").arg(i)));
    ASSERT_TRUE(document.endDocument());
    EXPECT_EQ(document.pageCount(), 2);

    ASSERT_EQ(pdfPageCount(pdf), 2);
    const QList<QStringList> pages = pdfPages(pdf, document.font());
    ASSERT_EQ(pages.size(), 2);
    ASSERT_EQ(pages[0].size(), perPage);
    EXPECT_EQ(pages[0].first(), "line 1");
    EXPECT_EQ(pages[0].last(), QStringLiteral("line %1").arg(perPage));
    EXPECT_EQ(
        pages[1],
        (QStringList {
            QStringLiteral("line %1").arg(perPage + 1), QStringLiteral("line %1").arg(perPage + 2),
            QStringLiteral("line %1").arg(perPage + 3), QStringLiteral("line %1").arg(perPage + 4),
            QStringLiteral("line %1").arg(perPage + 5), QStringLiteral("line %1").arg(perPage + 6),
            QStringLiteral("line %1").arg(perPage + 7) }));
}

TEST_F(PrintDocumentTest, CopiesAreRepeatedContentInOneDocumentAndTheDriverPrintsOne)
{
    printer.setCopyCount(2);
    const int copies = PrintDocument::takeCopyCount(printer);
    EXPECT_EQ(copies, 2);
    EXPECT_EQ(printer.copyCount(), 1);

    PrintDocument document(printer);
    document.setFont(FixedFamilies, 8);
    ASSERT_TRUE(document.printCopies(copies, false, [&] {
        return document.printLine("heading") && document.printLine("    1  65.4");
    }));
    ASSERT_TRUE(document.endDocument());
    const QList<QStringList> pages = pdfPages(pdf, document.font());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0], (QStringList { "heading", "    1  65.4", "heading", "    1  65.4" }));
}

TEST_F(PrintDocumentTest, CopiesOnTheirOwnPagesWhenAsked)
{
    PrintDocument document(printer);
    document.setFont(FixedFamilies, 12);
    ASSERT_TRUE(document.printCopies(3, true, [&] { return document.printLine("graph"); }));
    ASSERT_TRUE(document.endDocument());
    EXPECT_EQ(pdfPageCount(pdf), 3);
    EXPECT_EQ(pdfPages(pdf, document.font()),
              (QList<QStringList> { { "graph" }, { "graph" }, { "graph" } }));
}

TEST_F(PrintDocumentTest, AWidgetImageIsPrintedAcrossThePageKeepingItsAspect)
{
    QLabel label("GRAPH");
    label.resize(400, 100);
    PrintDocument document(printer);
    ASSERT_TRUE(document.printWidgetImage(&label));
    // A second image does not fit below the first on the rest of a
    // portrait page only if it is taller than what is left.
    QLabel tall("TALL");
    tall.resize(100, 400);
    ASSERT_TRUE(document.printWidgetImage(&tall));
    ASSERT_TRUE(document.endDocument());

    const QString list = runTool("pdfimages", { "-list", pdf });
    const QStringList rows = list.split('\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_EQ(rows.size(), 2) << list.toStdString();
    const QStringList first = rows[0].simplified().split(' ');
    EXPECT_EQ(first.at(3).toInt() * 100, first.at(4).toInt() * 400) << "aspect kept in the bitmap";
    EXPECT_EQ(document.pageCount(), 2) << "the tall image starts a new page";
}

TEST_F(PrintDocumentTest, AnUnwritableOutputFailsWithAReasonInsteadOfCrashing)
{
    printer.setOutputFileName(dir.filePath("no-such-folder/out.pdf"));
    PrintDocument document(printer);
    EXPECT_FALSE(document.printLine("x"));
    EXPECT_TRUE(document.failed());
    EXPECT_FALSE(document.errorString().isEmpty());
    EXPECT_FALSE(document.printLine("y"));
    EXPECT_FALSE(document.endDocument());
}

TEST_F(PrintDocumentTest, EndingAnEmptyDocumentStillGivesOnePage)
{
    {
        PrintDocument document(printer);
        EXPECT_TRUE(document.endDocument());
        EXPECT_TRUE(document.endDocument()) << "ending twice is harmless";
    }
    EXPECT_EQ(pdfPageCount(pdf), 1);
}

TEST_F(PrintDocumentTest, GoingAwayEndsTheDocument)
{
    {
        PrintDocument document(printer);
        document.setFont(FixedFamilies, 10);
        document.printLine("unfinished");
    }
    QFont font;
    font.setFamilies(FixedFamilies);
    font.setPointSize(10);
    EXPECT_EQ(pdfPages(pdf, font), (QList<QStringList> { { "unfinished" } }));
}

} // namespace

int main(int argc, char **argv)
{
    // Test discovery runs this without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
