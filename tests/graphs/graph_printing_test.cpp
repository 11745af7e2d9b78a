#include "graphs/gui/Histogram.h"
#include "graphs/gui/Plot.h"
#include "graphs/gui/RealHistogram.h"
#include "graphs/gui/RealTimeGraph.h"
#include "graphs/gui/WindowImagePrint.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

using Axis = GraphControl::Axis;

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  { QStringLiteral("-layout"), path, QStringLiteral("-") });
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), { path });
    process.waitForFinished(20000);
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split('\n'))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

bool pdfIsLandscape(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), { path });
    process.waitForFinished(20000);
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("Page size:"))) {
            const QStringList parts = line.mid(10).simplified().split(' ');
            return parts.size() >= 3 && parts[0].toDouble() > parts[2].toDouble();
        }
    }
    return false;
}

const QStringList noteLines {
    "Note",
    "The effect of the properties of the Printer settings",
    "depends on the driver supplied by the printer manufacturer.",
    "Some property settings may have no effect, or several different property settings",
    "may all have the same effect. Settings outside the accepted range may or may not produce an "
    "error.",
    "For more information, see the manufacturer's documentation for the specific driver.",
};

class GraphPrintingTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        delete RealTimeGraph::openWindow();
        delete Plot::openWindow();
        delete RealHistogram::openWindow();
        delete Histogram::openWindow();
    }
    QString pdf(const char *name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir { QStringLiteral("/tmp/gprint-XXXXXX") };
    bool keep = (dir.setAutoRemove(qEnvironmentVariableIsEmpty("KEEP_PDF")), true);
    ScriptedDialogs dialogs;
};

TEST_F(GraphPrintingTest, SeriesGraphPrintsEachCopyAfterTheNoteAndComesBack)
{
    std::vector<double> values;
    for (int k = 0; k < 600; ++k)
        values.push_back(60.0 + (k % 30));
    RealTimeGraph *window = RealTimeGraph::LoadSeries(values, 600, "SPL (dB)", 60, 89);
    window->chooseTrackMode(GraphControl::TrackMode::CursorCoordinates);
    const QSize screenSize = window->size();
    dialogs.answerPrinter({ true, pdf("series.pdf"), 2, QPageLayout::Landscape });
    window->printGraph();

    ASSERT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::Printer).size(), 1u);
    EXPECT_TRUE(dialogs.callsOf(ScriptedDialogs::Kind::Printer)[0].allowCopies);
    EXPECT_EQ(dialogs.messageTexts(), QStringList { noteLines.join('\r') });
    EXPECT_EQ(pdfPages(pdf("series.pdf")), 2);
    EXPECT_TRUE(pdfIsLandscape(pdf("series.pdf")));
    const QString text = pdfText(pdf("series.pdf"));
    EXPECT_TRUE(text.contains(QLatin1String("No.s"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("500")));
    EXPECT_FALSE(text.contains(QLatin1String("SPL (dB)"))); // Y caption left off the page
    EXPECT_FALSE(text.contains(QLatin1String("Graphic Plot")));

    EXPECT_EQ(window->trackModeList()->currentText(), QStringLiteral("Normal"));
    EXPECT_FALSE(window->graph()->cursorVisible());
    EXPECT_EQ(window->graph()->axisCaption(Axis::Y), QStringLiteral("SPL (dB)"));
    EXPECT_FALSE(window->findChild<QGroupBox *>(QStringLiteral("FrmGraphic"))->isHidden());
    EXPECT_EQ(window->size(), screenSize);
    EXPECT_EQ(window->graph()->plotBackground(), QColor(250, 250, 240));
}

TEST_F(GraphPrintingTest, CancelledPrinterDialogPrintsNothingButResetsTheMode)
{
    const std::vector<double> values(10, 70.0);
    RealTimeGraph *window = RealTimeGraph::LoadSeries(values, 10, "SPL (dB)", 60, 80);
    window->chooseTrackMode(GraphControl::TrackMode::PanX);
    dialogs.answerPrinter({ false, pdf("none.pdf"), 1, QPageLayout::Portrait });
    window->printGraph();
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());
    EXPECT_FALSE(QFile::exists(pdf("none.pdf")));
    EXPECT_EQ(window->graph()->trackMode(), GraphControl::TrackMode::Normal);
    EXPECT_EQ(window->description(), QStringLiteral("Normal mode"));
}

TEST_F(GraphPrintingTest, ListGraphPrintsOnceWithItsFreeTextsAndNoNote)
{
    currentPrinter().setPageOrientation(QPageLayout::Portrait);
    std::vector<QString> texts(300, QStringLiteral("70.0"));
    for (int r = 100; r < 120; ++r)
        texts[std::size_t(r)] = QStringLiteral("55.0*");
    Plot *plot = Plot::PlotFromList(texts);
    plot->freeText(0)->setText(QStringLiteral("Acme Works"));
    dialogs.answerPrinter({ true, pdf("plot.pdf"), 3, QPageLayout::Portrait });
    plot->printGraph();

    ASSERT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::Printer).size(), 1u);
    EXPECT_FALSE(dialogs.callsOf(ScriptedDialogs::Kind::Printer)[0].allowCopies);
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());
    EXPECT_EQ(pdfPages(pdf("plot.pdf")), 1);
    EXPECT_FALSE(pdfIsLandscape(pdf("plot.pdf")));
    const QString text = pdfText(pdf("plot.pdf"));
    for (const char *expected :
         { "Company:", "Sector:", "Name:", "Acme Works", "Pause", "Start", "125", "dB" })
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n"
                                                            << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("Reset Scale")));
    EXPECT_FALSE(plot->findChild<QGroupBox *>(QStringLiteral("FrmGraphic"))->isHidden());
}

TEST_F(GraphPrintingTest, LiveHistogramPrintsCopiesAfterTheNote)
{
    std::vector<int64_t> counts(141, 0);
    counts[70] = 12;
    counts[75] = 30;
    RealHistogram *window = RealHistogram::LoadClassCounts(counts, ClassWidth::Whole, 70, 75);
    dialogs.answerPrinter({ true, pdf("live.pdf"), 2, QPageLayout::Portrait });
    window->printHistogram();
    EXPECT_EQ(dialogs.messageTexts(), QStringList { noteLines.join('\r') });
    EXPECT_EQ(pdfPages(pdf("live.pdf")), 2);
    const QString text = pdfText(pdf("live.pdf"));
    EXPECT_TRUE(text.contains(QLatin1String("dB")));
    EXPECT_FALSE(text.contains(QLatin1String("Frequency (Times)")));
    EXPECT_EQ(window->graph()->axisCaption(Axis::Y), QStringLiteral("Frequency (Times)"));
    EXPECT_FALSE(window->toolBar()->isHidden());
}

TEST_F(GraphPrintingTest, ListHistogramPrintsOnTheCurrentPrinterWithoutAsking)
{
    HistogramInput input;
    input.counts = std::vector<int64_t>(146, 0);
    input.counts[60] = 4;
    input.counts[66] = 9;
    for (int m = 0; m < 100; ++m)
        input.lnTexts[std::size_t(m)] = QString::number(66 - m / 20);
    Histogram *window = Histogram::LoadListHistogram(input);
    QPrinter &printer = currentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf("list.pdf"));
    window->printHistogram();
    EXPECT_TRUE(dialogs.calls().empty());
    const QString text = pdfText(pdf("list.pdf"));
    EXPECT_TRUE(text.contains(QLatin1String("Frequency (Times)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("L(90)"))) << text.toStdString();
    EXPECT_FALSE(window->toolBar()->isHidden());
}

} // namespace
