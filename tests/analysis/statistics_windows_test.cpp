#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/StatisticsWindow.h"
#include "graphs/GraphRanges.h"
#include "graphs/gui/Histogram.h"
#include "graphs/gui/Plot.h"
#include "support/ScriptedDialogs.h"
#include "platform/PanelTimers.h"
#include "platform/ReadingListModel.h"
#include "widgets/FileDrop.h"
#include "widgets/ReadingListView.h"
#include "widgets/ValueBoard.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <clocale>

namespace {

const QByteArray RealTimeHeader
    = "Real Time\r\n 60 \r\nA\r\nSlow\r\n80-140\r\n98.7\r\n"
      "2013/03/04 08:00:05\r\n120.4\r\n85.3\r\nNo.s\tDate Time\tdB\t\r\n";
const QByteArray LoggerHeader = "Data Logger\r\n 1 \r\nC\r\nFast\r\n30-90\r\n61.0\r\n60.0\r\n"
                                "55.5\r\n50.1\r\n49.0\r\n88.8\r\n2013/03/04 09:10:11\r\n99.9\r\n"
                                "77.7\r\nNo.s\tDate Time\tdB\t\r\n";

QByteArray bodyLines(int records, int firstLevelTenths = 650)
{
    QByteArray body;
    for (int r = 1; r <= records; ++r) {
        const int tenths = firstLevelTenths + r % 50;
        body += QByteArray::number(r)
            + "\t2013/03/04 08:00:" + QByteArray::number(r % 60).rightJustified(2, '0') + "\t"
            + QByteArray::number(tenths / 10) + "." + QByteArray::number(tenths % 10) + "\t\r\n";
    }
    return body;
}

class StatisticsWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel.setWindowTitle("VORN panel");
        timers.setBothEnabled(true);
        host.panel = &panel;
        host.timers = &timers;
    }
    void TearDown() override
    {
        for (StatisticsWindow *w : { openFileListWindow(), openFileListRealWindow() }) {
            if (w)
                delete w;
        }
        if (Histogram *h = Histogram::openWindow())
            delete h;
        if (Plot *p = Plot::openWindow())
            delete p;
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    StatisticsWindow *open(const QString &path)
    {
        dialogs.answerOpen(path);
        return OpenDataFile(host, false);
    }

    void expectPanelRestored()
    {
        EXPECT_EQ(panel.windowTitle(), "VORN panel");
        EXPECT_TRUE(timers.timer1Enabled());
        EXPECT_TRUE(timers.timer2Enabled());
    }

    QTemporaryDir dir;
    QWidget panel;
    PanelTimers timers;
    AnalysisHost host;
    ScriptedDialogs dialogs;
};

TEST_F(StatisticsWindows, OpenWhileRecordingIsRefused)
{
    EXPECT_EQ(OpenDataFile(host, true), nullptr);
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].text, "Recording Mode!\n\rPlease stop recording!");
    EXPECT_EQ(dialogs.calls()[0].icon, MessageIcon::Critical);
}

TEST_F(StatisticsWindows, CancelledDialogReadsNothing)
{
    EXPECT_EQ(OpenDataFile(host, false), nullptr);
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].kind, ScriptedDialogs::Kind::OpenFile);
    EXPECT_EQ(dialogs.calls()[0].filter, "Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|");
    expectPanelRestored();
}

TEST_F(StatisticsWindows, RealTimeFileOpensFileListReal)
{
    StatisticsWindow *w = open(writeFile("rec.vorn", RealTimeHeader + bodyLines(3)));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), "FileListReal");
    EXPECT_EQ(w->windowTitle(), "rec.vorn");
    EXPECT_EQ(w->samplingInterval(), 60.0);
    const std::pair<const char *, const char *> boards[] = {
        { "BoardCA", "A" },
        { "BoardSFI", "Slow" },
        { "BoardLevel", "80-140" },
        { "BoardMaxdB", "98.7" },
        { "BoardMaxTime", "2013/03/04 08:00:05" },
        { "BoardSEL", "120.4" },
        { "BoardLeq", "85.3" },
    };
    for (const auto &[name, text] : boards) {
        ASSERT_NE(w->board(name), nullptr) << name;
        EXPECT_EQ(w->board(name)->text(), text) << name;
    }
    EXPECT_EQ(w->board("Board05"), nullptr);
    EXPECT_EQ(w->board("BoardLeq")->accessibleName(), "Leq");
    ASSERT_EQ(w->model()->count(), 3);
    EXPECT_EQ(w->model()->number(0), "1");
    EXPECT_EQ(w->model()->level(2), "65.3");
    EXPECT_EQ(w->toolBarAction("Plot")->toolTip(), "Graphic Plot");
    EXPECT_EQ(w->toolBarAction("Ln")->toolTip(), "Histogram");
    EXPECT_EQ(w->toolBarAction("Print")->toolTip(), "Print");
    EXPECT_FALSE(w->resolutionPanel()->isVisible());
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());
    expectPanelRestored();
}

TEST_F(StatisticsWindows, LoggerFileOpensFileListWithPercentileBoards)
{
    StatisticsWindow *w = open(writeFile("set.vorn", LoggerHeader + bodyLines(2)));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), "FileList");
    const std::pair<const char *, const char *> boards[] = {
        { "BoardCA", "C" },       { "Board05", "61.0" },  { "Board10", "60.0" },
        { "Board50", "55.5" },    { "Board90", "50.1" },  { "Board95", "49.0" },
        { "BoardMaxdB", "88.8" }, { "BoardSEL", "99.9" }, { "BoardLeq", "77.7" },
    };
    for (const auto &[name, text] : boards) {
        ASSERT_NE(w->board(name), nullptr) << name;
        EXPECT_EQ(w->board(name)->text(), text) << name;
    }
    EXPECT_EQ(w->board("Board05")->accessibleName(), "L 05");
    EXPECT_EQ(w->toolBarAction("Plot")->toolTip(), "Plot");
    EXPECT_EQ(w->model()->count(), 2);
}

TEST_F(StatisticsWindows, HeaderlessFileOpensFileListReal)
{
    StatisticsWindow *w
        = open(writeFile("0304080000.vorn", "No.s\tDate Time\tdB\t\r\n" + bodyLines(4)));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), "FileListReal");
    EXPECT_EQ(w->model()->count(), 4);
    EXPECT_EQ(w->samplingInterval(), 0.0);
}

TEST_F(StatisticsWindows, NextOpenReplacesTheWindowOfItsKindOnly)
{
    QPointer<StatisticsWindow> first = open(writeFile("a.vorn", RealTimeHeader + bodyLines(1)));
    QPointer<StatisticsWindow> logger = open(writeFile("b.vorn", LoggerHeader + bodyLines(1)));
    QPointer<StatisticsWindow> second = open(writeFile("c.vorn", RealTimeHeader + bodyLines(2)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_FALSE(logger.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(openFileListRealWindow(), second.data());
    EXPECT_EQ(openFileListWindow(), logger.data());
}

// Files named on the command line each get a window; the tool bar's Open
// still replaces only the newest of its kind.
TEST_F(StatisticsWindows, OwnWindowKeepsTheOpenWindowOfTheKind)
{
    const QString a = writeFile("a.vorn", RealTimeHeader + bodyLines(3));
    const QString b = writeFile("b.vorn", RealTimeHeader + bodyLines(4));
    QPointer<StatisticsWindow> first = OpenDataFileAt(a, AnalysisHost(), WindowUse::OwnWindow);
    QPointer<StatisticsWindow> second = OpenDataFileAt(b, AnalysisHost(), WindowUse::OwnWindow);
    ASSERT_TRUE(first && second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first && first->isVisible());
    EXPECT_EQ(second->windowTitle(), "b.vorn");
    delete first;
}

TEST_F(StatisticsWindows, DataFilesAmongDroppedUrls)
{
    const QList<QUrl> urls = { QUrl::fromLocalFile("/d/a.vorn"), QUrl("https://x/b.vorn"),
                               QUrl::fromLocalFile("/d/c.txt"), QUrl::fromLocalFile("/d/D.VORN"),
                               QUrl::fromLocalFile("/d/e.vorn.bak") };
    EXPECT_EQ(DataFilesAmong(urls), QStringList({ "/d/a.vorn", "/d/D.VORN" }));
}

// A drop opens as Open does: in place of the window of its kind, and not
// while recording, which says so as Open does.
TEST_F(StatisticsWindows, DroppedFileOpensAsOpenDoesAndWaitsForNoRecording)
{
    bool recording = false;
    host.recording = [&recording] { return recording; };
    StatisticsWindow *w = open(writeFile("a.vorn", RealTimeHeader + bodyLines(3)));
    ASSERT_NE(w, nullptr);
    const QString b = writeFile("b.vorn", RealTimeHeader + bodyLines(5));
    const auto drop = [&](QWidget *target) {
        QMimeData mime;
        mime.setUrls({ QUrl::fromLocalFile(b), QUrl::fromLocalFile(dir.filePath("x.txt")) });
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        EXPECT_TRUE(dropped.isAccepted());
        QCoreApplication::processEvents();
    };

    recording = true;
    drop(w);
    EXPECT_EQ(dialogs.messageTexts().last(), recordingModeMessage());
    EXPECT_EQ(openFileListRealWindow(), w);

    recording = false;
    drop(w);
    StatisticsWindow *dropped = openFileListRealWindow();
    ASSERT_NE(dropped, nullptr);
    EXPECT_NE(dropped, w);
    EXPECT_EQ(dropped->windowTitle(), "b.vorn");
    EXPECT_EQ(dropped->findChild<ReadingListView *>()->model()->count(), 5);
}

TEST_F(StatisticsWindows, BrokenBodyLineKeepsEarlierRowsAndSaysWhere)
{
    StatisticsWindow *w
        = open(writeFile("cut.vorn", RealTimeHeader + bodyLines(2) + "3\t2013/03/04 08:00:03\r\n"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->model()->count(), 2);
    EXPECT_EQ(dialogs.messageTexts(), QStringList { "File ends early at line 13." });
    expectPanelRestored();
}

TEST_F(StatisticsWindows, FilesWithNothingToShowGiveAMessageAndNoWindow)
{
    const std::pair<QString, QString> cases[] = {
        { writeFile("empty.vorn", ""), "The file is empty." },
        { dir.filePath("missing.vorn"),
          "Cannot open the file " + dir.filePath("missing.vorn") + "." },
    };
    for (const auto &[path, message] : cases) {
        ScriptedDialogs local;
        local.answerOpen(path);
        EXPECT_EQ(OpenDataFile(host, false), nullptr);
        EXPECT_EQ(local.messageTexts(), QStringList { message });
        expectPanelRestored();
    }
}

TEST_F(StatisticsWindows, PanelCaptionCountsRecordsWithTimersOff)
{
    QStringList captions;
    bool timersRanDuringRead = false;
    host.setCaption = [&](const QString &text) {
        captions.append(text);
        if (text != "VORN panel")
            timersRanDuringRead |= timers.timer1Enabled() || timers.timer2Enabled();
    };
    host.caption = [] { return QStringLiteral("VORN panel"); };
    StatisticsWindow *w = open(writeFile("long.vorn", RealTimeHeader + bodyLines(200000)));
    ASSERT_NE(w, nullptr);
    ASSERT_GE(captions.size(), 2);
    EXPECT_EQ(captions.at(captions.size() - 2), "200000 Records Completed");
    EXPECT_EQ(captions.last(), "VORN panel");
    EXPECT_LT(captions.size(), 200) << "the caption is updated on every line";
    EXPECT_FALSE(timersRanDuringRead);
    EXPECT_TRUE(timers.timer1Enabled());
}

TEST_F(StatisticsWindows, ToolBarShowsAndHidesTheResolutionPanel)
{
    StatisticsWindow *w = open(writeFile("r.vorn", RealTimeHeader + bodyLines(5)));
    ASSERT_NE(w, nullptr);
    w->onToolBarButton("Ln");
    EXPECT_TRUE(w->resolutionPanel()->isVisible());
    w->onToolBarButton("Ln");
    EXPECT_TRUE(w->resolutionPanel()->isVisible());
    w->onToolBarButton("Print"); // printer dialog cancelled
    EXPECT_FALSE(w->resolutionPanel()->isVisible());
    w->onToolBarButton("Ln");
    w->onToolBarButton("Plot");
    EXPECT_FALSE(w->resolutionPanel()->isVisible());
    ASSERT_NE(Plot::openWindow(), nullptr);
}

TEST_F(StatisticsWindows, PlotRemembersHowManyReadingsResetScaleShows)
{
    graphSharedState().plotPointCount = 0;
    StatisticsWindow *w = open(writeFile("r.vorn", RealTimeHeader + bodyLines(7)));
    ASSERT_NE(w, nullptr);
    w->onToolBarButton("Plot");
    EXPECT_EQ(graphSharedState().plotPointCount, 7);
}

// The exclusions file beside a file: said with the excluded time under the
// list, left out of the distribution and handed to the report; without one
// nothing is said.
TEST_F(StatisticsWindows, ExclusionsBesideTheFileAreAppliedAndSaid)
{
    StatisticsWindow *plain = open(writeFile("r.vorn", RealTimeHeader + bodyLines(50)));
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->exclusionsBoard()->isHidden());
    EXPECT_EQ(plain->countedRows().count(), 50);
    delete plain;

    // Local times without an offset: the zone of the machine plays no part.
    writeFile("exclusions.csv",
              "start,end,reason,note,made\n"
              "2013-03-04T08:00:10,2013-03-04T08:00:20,wind,gust,\n");
    StatisticsWindow *w = open(dir.filePath("r.vorn"));
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->exclusionsBoard()->isHidden());
    EXPECT_TRUE(w->exclusionsBoard()->text().contains("10 min excluded (10 readings: wind 10 min)"))
        << w->exclusionsBoard()->text().toStdString();
    EXPECT_EQ(w->exclusionsBoard()->accessibleName(), "Exclusions");
    EXPECT_EQ(w->countedRows().count(), 40);
    EXPECT_EQ(w->countedRows().time(8), "2013/03/04 08:00:09");
    EXPECT_EQ(w->countedRows().time(9), "2013/03/04 08:00:20");
    const ReportSource source = w->reportSource();
    ASSERT_TRUE(source.exclusions);
    EXPECT_EQ(source.exclusionsSource, dir.filePath("exclusions.csv"));
}

TEST_F(StatisticsWindows, ResolutionButtonOpensTheHistogram)
{
    StatisticsWindow *w = open(writeFile("r.vorn", RealTimeHeader + bodyLines(100)));
    ASSERT_NE(w, nullptr);
    QStringList captions;
    QObject::connect(w, &QWidget::windowTitleChanged,
                     [&](const QString &title) { captions.append(title); });
    w->onToolBarButton("Ln");
    w->resolutionPanel()->findChild<QPushButton *>("Cmd01dB")->click();
    EXPECT_EQ(captions, QStringList({ "100.0% Completed", "r.vorn" }));
    EXPECT_NE(Histogram::openWindow(), nullptr);
    EXPECT_FALSE(w->resolutionPanel()->isVisible());
    EXPECT_EQ(w->windowTitle(), "r.vorn");
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());
    expectPanelRestored();
}

TEST_F(StatisticsWindows, NoReadingsToCountGivesAMessageAndNoHistogram)
{
    StatisticsWindow *w
        = open(writeFile("m.vorn", RealTimeHeader + "1\tt\t72.4*\t\r\n2\tt\t60.0*\t\r\n"));
    ASSERT_NE(w, nullptr);
    w->onToolBarButton("Ln");
    w->resolutionPanel()->findChild<QPushButton *>("Cmd1dB")->click();
    EXPECT_EQ(Histogram::openWindow(), nullptr);
    EXPECT_EQ(dialogs.messageTexts(), QStringList { "No readings to count." });
    expectPanelRestored();
}

QString pdfText(const QString &path)
{
    QProcess process;
    process.start("pdftotext", { "-layout", path, "-" });
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST_F(StatisticsWindows, PrintedReportHoldsEveryCopyInOneDocument)
{
    StatisticsWindow *w = open(writeFile("p.vorn", RealTimeHeader + bodyLines(7)));
    ASSERT_NE(w, nullptr);
    const QString pdf = dir.filePath("report.pdf");
    dialogs.answerPrinter({ true, pdf, 2 });
    dialogs.answerMessage(MessageAnswer::Ok);
    for (const char *answer : { "0", "abc", "6", "3abc", "3" })
        dialogs.answerInput(QString(answer));
    w->onToolBarButton("Print");

    const auto inputs = dialogs.callsOf(ScriptedDialogs::Kind::Input);
    ASSERT_EQ(inputs.size(), 5u);
    EXPECT_EQ(inputs[0].text, "Input record(s) to print in one row (1-5)");
    EXPECT_EQ(inputs[0].defaultText, "1");
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_TRUE(dialogs.messageTexts()[0].startsWith("Note\rThe effect of the properties"));
    EXPECT_EQ(w->windowTitle(), "p.vorn");
    expectPanelRestored();

    // The text extraction keeps the words and lines, not the exact spacing
    // (the layout itself is checked byte for byte elsewhere).
    const QStringList lines = pdfText(pdf).split('\n');
    QStringList words;
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            words.append(line.simplified());
    }
    const QStringList oneCopy = {
        "- Freq Weight : A",
        "- Time Weight : Slow",
        "- Level Range : 80-140",
        "- Max dB : 98.7 - 2013/03/04 08:00:05",
        "- SEL : 120.4",
        "- Leq : 85.3",
        "-",
        "No.s Date Time (dB)",
        QString(71, '-'),
        "1 2013/03/04 08:00:01 65.1 65.2 65.3",
        "4 2013/03/04 08:00:04 65.4 65.5 65.6",
        "7 2013/03/04 08:00:07 65.7",
    };
    EXPECT_EQ(words, oneCopy + oneCopy);
}

TEST_F(StatisticsWindows, CancelledReadingsQuestionPrintsNothing)
{
    StatisticsWindow *w = open(writeFile("p.vorn", RealTimeHeader + bodyLines(3)));
    ASSERT_NE(w, nullptr);
    const QString pdf = dir.filePath("none.pdf");
    dialogs.answerPrinter({ true, pdf, 1 });
    dialogs.answerMessage(MessageAnswer::Ok);
    dialogs.answerInput(QString());
    w->onToolBarButton("Print");
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(w->windowTitle(), "p.vorn");
}

TEST_F(StatisticsWindows, PrinterFailureRestoresCaptionAndTimers)
{
    StatisticsWindow *w = open(writeFile("p.vorn", RealTimeHeader + bodyLines(3)));
    ASSERT_NE(w, nullptr);
    dialogs.answerPrinter({ true, dir.filePath("no/such/folder/report.pdf"), 1 });
    dialogs.answerMessage(MessageAnswer::Ok);
    dialogs.answerInput(QString("2"));
    w->onToolBarButton("Print");
    EXPECT_EQ(w->windowTitle(), "p.vorn");
    expectPanelRestored();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(StatisticsWindows, ScrollingTheLevelColumnCarriesTheOthers)
{
    StatisticsWindow *w = open(writeFile("s.vorn", RealTimeHeader + bodyLines(500)));
    ASSERT_NE(w, nullptr);
    w->readingList()->setTopRow(120);
    EXPECT_EQ(w->readingList()->topRow(), 120);
}

// The window says what the checks around its readings show, and a details
// file that cannot be read is never replaced without asking.
TEST_F(StatisticsWindows, TheVerdictIsShownAndADamagedDetailsFileIsKept)
{
    const QString path = writeFile("site.vorn", RealTimeHeader + bodyLines(30));
    const auto local = [](int hour) {
        const QDateTime t(QDate(2013, 3, 4), QTime(hour, 0));
        return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate).toUtf8();
    };
    writeFile("calibration.csv",
              "time,meter_serial,calibrator_serial,calibrator_level,mean,lowest,highest,"
              "deviation,tolerance\n"
                  + local(7) + ",M1,C7,94.00,94.10,94.10,94.10,0.10,0.50\n" + local(9)
                  + ",M1,C7,94.00,94.20,94.20,94.20,0.20,0.50\n");
    const QByteArray damaged = "{\"site\": ";
    writeFile("site.vorn.json", damaged);
    StatisticsWindow *window = open(path);
    ASSERT_NE(window, nullptr);
    auto *verdict = window->findChild<ValueBoard *>("CalibrationVerdict");
    ASSERT_NE(verdict, nullptr);
    EXPECT_EQ(verdict->caption(), "Calibration");
    // A details file that cannot be read may name the meter or the
    // tolerance: the checks do not verify the file then.
    EXPECT_TRUE(verdict->text().startsWith(
        "Calibration: not verified, the details file cannot be read (tolerance 0.5 dB)."))
        << verdict->text().toStdString();
    EXPECT_TRUE(verdict->text().contains("cannot be read"));
    if (const QString shots = qEnvironmentVariable("VORN_SCREENSHOT_DIR"); !shots.isEmpty()) {
        window->show();
        QApplication::processEvents();
        window->grab().save(shots + QStringLiteral("/statistics-verdict.png"));
    }

    dialogs.answerMessage(MessageAnswer::No);
    window->toolBarAction("Details")->trigger();
    EXPECT_TRUE(dialogs.messageTexts().last().endsWith("Replace it with the details you enter?"));
    QFile kept(path + ".json");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);
}

} // namespace

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Test discovery runs the program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
