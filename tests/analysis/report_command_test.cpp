#include "analysis/gui/DataList.h"
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/ReportCommand.h"
#include "analysis/gui/StatisticsWindow.h"
#include "graphs/gui/Plot.h"
#include "recording/LoggerSetDecoding.h"
#include "support/ScriptedDialogs.h"
#include "platform/PanelTimers.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

QByteArray recording(int readings)
{
    QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-130\r\n98.7\r\n2013/03/04 08:00:05\r\n"
                       "120.4\r\n85.3\r\nNo.s\tDate Time\tdB\t\r\n";
    for (int i = 0; i < readings; ++i) {
        const int t = 8 * 3600 + i;
        const int tenths = 500 + (i * 37) % 300;
        bytes += QByteArray::number(i + 1) + "\t2013/03/04 "
            + QByteArray::number(t / 3600).rightJustified(2, '0') + ':'
            + QByteArray::number(t / 60 % 60).rightJustified(2, '0') + ':'
            + QByteArray::number(t % 60).rightJustified(2, '0') + '\t'
            + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10) + "\t\r\n";
    }
    return bytes;
}

QString pdfText(const QString &path)
{
    QProcess p;
    p.start("pdftotext", { "-layout", path, "-" });
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class ReportCommands : public ::testing::Test
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
        if (StatisticsWindow *w = openFileListRealWindow())
            delete w;
        if (Plot *p = Plot::openWindow())
            delete p;
    }
    StatisticsWindow *open(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        return OpenDataFileAt(path, host);
    }

    QTemporaryDir dir;
    QWidget panel;
    PanelTimers timers;
    AnalysisHost host;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(ReportCommands, StatisticsWindowWritesTheReportWithTheGraphsLines)
{
    StatisticsWindow *w = open("rec.vorn", recording(600));
    ASSERT_NE(w, nullptr);
    QAction *report = w->toolBarAction("Report");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->toolTip(), "PDF Report");
    EXPECT_FALSE(report->icon().isNull());
    QWidget *button = w->toolBar()->widgetForAction(report);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), "PDF Report");

    // A graph of this file lends its free texts to the report.
    w->onToolBarButton("Plot");
    ASSERT_NE(Plot::openWindow(), nullptr);
    Plot::openWindow()->freeText(0)->setText("Acme Acoustics");
    Plot::openWindow()->freeText(2)->setText("J. Doe");

    const QString out = dir.filePath("report"); // the suffix is added
    dialogs.answerSave(out);
    dialogs.answerMessage(MessageAnswer::No);
    // A recording goes on sampling while a report is made.
    bool samplingStopped = false;
    QObject::connect(w->report(), &ReportCommand::progressed, w,
                     [&] { samplingStopped = samplingStopped || !timers.timer2Enabled(); });
    report->trigger();
    EXPECT_FALSE(samplingStopped);

    ASSERT_TRUE(QFile::exists(out + ".pdf"));
    EXPECT_FALSE(w->report()->running());
    EXPECT_EQ(w->windowTitle(), "rec.vorn");
    EXPECT_EQ(report->toolTip(), "PDF Report");
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_TRUE(timers.timer2Enabled());
    const auto saves = dialogs.callsOf(ScriptedDialogs::Kind::SaveFile);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].filter, "PDF Files (*.pdf)|*.pdf|");
    EXPECT_TRUE(saves[0].askOverwrite);
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_EQ(dialogs.messageTexts()[0], ReportCommand::writtenMessage(out + ".pdf"));
    EXPECT_EQ(dialogs.calls().back().buttons, MessageButtons::YesNo);

    const QString text = pdfText(out + ".pdf");
    EXPECT_TRUE(text.contains("Acme Acoustics"));
    EXPECT_TRUE(text.contains("J. Doe"));
    EXPECT_TRUE(text.contains(dir.filePath("rec.vorn")));
    // The client's lines push the method past the first page: it goes on
    // on a page of its own, not over the footer.
    EXPECT_TRUE(text.contains("Page 5 of 5") && text.contains("Method (continued)")) << text.toStdString();

    // A graph of another file's readings lends nothing.
    StatisticsWindow *other = open("other.vorn", recording(60));
    dialogs.answerSave(dir.filePath("other.pdf"));
    other->toolBarAction("Report")->trigger();
    EXPECT_FALSE(pdfText(dir.filePath("other.pdf")).contains("Acme Acoustics"));
}

TEST_F(ReportCommands, CancelWritesNothingAndRestoresTheWindow)
{
    StatisticsWindow *w = open("long.vorn", recording(40000));
    ASSERT_NE(w, nullptr);
    const QString out = dir.filePath("cancelled.pdf");
    dialogs.answerSave(out);
    QStringList captions;
    QObject::connect(w->report(), &ReportCommand::progressed, w, [&](const QString &caption) {
        captions << caption;
        // The button cancels while the report runs, and refuses a second start.
        EXPECT_EQ(w->toolBarAction("Report")->toolTip(), "Cancel Report");
        if (captions.size() == 2)
            w->toolBarAction("Report")->trigger();
    });
    EXPECT_TRUE(w->report()->run().isEmpty());
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_GE(captions.size(), 2);
    EXPECT_TRUE(captions.front().endsWith("% Completed"));
    EXPECT_EQ(w->windowTitle(), "long.vorn");
    EXPECT_EQ(w->toolBarAction("Report")->toolTip(), "PDF Report");
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());
    EXPECT_TRUE(timers.timer1Enabled());

    // A cancelled save dialog starts nothing.
    EXPECT_TRUE(w->report()->run().isEmpty());
    EXPECT_FALSE(w->report()->running());
}

TEST_F(ReportCommands, WindowReplacedWhileTheReportRunsEndsItQuietly)
{
    StatisticsWindow *w = open("first.vorn", recording(40000));
    ASSERT_NE(w, nullptr);
    const QPointer<StatisticsWindow> first(w);
    const QString second = dir.filePath("second.vorn");
    {
        QFile f(second);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(recording(10));
    }
    dialogs.answerSave(dir.filePath("gone.pdf"));
    bool replaced = false;
    QObject::connect(w->report(), &ReportCommand::progressed, &panel, [&] {
        // Opening a file of the same kind replaces the window mid-report.
        if (!replaced) {
            replaced = true;
            OpenDataFileAt(second, host);
        }
    });
    w->report()->run();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(replaced);
    EXPECT_FALSE(first);
    ASSERT_NE(openFileListRealWindow(), nullptr);
    EXPECT_EQ(openFileListRealWindow()->windowTitle(), "second.vorn");
    EXPECT_TRUE(timers.timer1Enabled());
}

TEST_F(ReportCommands, DataListReportsTheShownSet)
{
    DataList list(&panel, {}, &timers);
    QAction *report = list.report()->action();
    EXPECT_FALSE(report->isEnabled());
    LoggerSetView set;
    set.BoardCA = "C";
    set.BoardSFI = "Fast";
    set.BoardLevel = "30-90";
    set.Board50 = "55.5";
    set.BoardLeq = "61.2";
    for (int i = 0; i < 120; ++i) {
        set.numbers << QString::number(i + 1);
        set.times << QStringLiteral("2013/03/04 09:%1:00").arg(i % 60, 2, 10, QLatin1Char('0'));
        set.levels << QStringLiteral("6%1.0").arg(i % 10);
    }
    // The clock of the logger wraps at the hour here: the report draws
    // against the reading number and says why.
    list.showLoggerSet(set, 60);
    list.setWindowTitle("Data Set 3");
    EXPECT_TRUE(report->isEnabled());
    const QString out = dir.filePath("set.pdf");
    dialogs.answerSave(out);
    EXPECT_EQ(list.report()->run(), out);
    const QString text = pdfText(out);
    EXPECT_TRUE(text.contains("Data Set 3"));
    EXPECT_TRUE(text.contains("Data Logger set"));
    EXPECT_TRUE(text.contains("60 s"));
    EXPECT_TRUE(text.contains("run backwards at reading 61"));
    EXPECT_EQ(list.windowTitle(), "Data Set 3");
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
