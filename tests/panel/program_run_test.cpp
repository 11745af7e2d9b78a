#include "analysis/gui/StatisticsWindow.h"
#include "link/gui/Port.h"
#include "panel/gui/Panel.h"
#include "panel/gui/ProgramRun.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Runs the event loop as the program does, with a safety exit.
int runEventLoop()
{
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
    return QApplication::exec();
}

void choosePort(ProgramRun &run, const QString &name)
{
    run.portWindow()->findChild<QComboBox *>(QStringLiteral("TxtCOM"))->setEditText(name);
    run.portWindow()->findChild<QPushButton *>(QStringLiteral("CmdOK"))->click();
}

TEST(ProgramRun, PortThatDoesNotOpenEndsTheRunWithTheMessage)
{
    QTemporaryDir ports;
    qputenv("VORN_PORTS_DIR", ports.path().toLocal8Bit());
    ScriptedDialogs dialogs;
    ProgramRun run;
    run.start();
    QTimer::singleShot(0, [&] { choosePort(run, QStringLiteral("com1")); }); // not exact: port 0
    EXPECT_EQ(run.exitCode(runEventLoop()), 1);
    EXPECT_EQ(dialogs.messageTexts(), QStringList({ "No device found, try again!" }));
    EXPECT_FALSE(run.portWindow()->isVisible());
    EXPECT_FALSE(run.panel()->isVisible());
}

TEST(ProgramRun, OkOpensThePanelAndClosingItEndsTheRun)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    MeterEmulator emulator; // on COM1
    QString why;
    ASSERT_TRUE(emulator.start({}, &why)) << why.toStdString();
    ScriptedDialogs dialogs;
    ProgramRun run;
    run.start();
    bool panelShown = false;
    bool portClosed = false;
    QWidget other; // any other window of the run closes with the panel
    other.show();
    QTimer::singleShot(0, [&] {
        choosePort(run, QStringLiteral("COM1"));
        panelShown = run.panel() && run.panel()->isVisible();
        portClosed = !run.portWindow()->isVisible();
        QTimer::singleShot(300, [&] { run.panel()->close(); });
    });
    const int result = runEventLoop();
    EXPECT_TRUE(dialogs.calls().empty());
    EXPECT_TRUE(panelShown);
    EXPECT_TRUE(portClosed);
    EXPECT_EQ(run.panel()->context().comPortNumber, 1);
    EXPECT_EQ(run.exitCode(result), 0);
    EXPECT_FALSE(other.isVisible());
}

const QByteArray RealTimeFile
    = "Real Time\r\n 60 \r\nA\r\nSlow\r\n80-140\r\n98.7\r\n"
      "2013/03/04 08:00:05\r\n120.4\r\n85.3\r\nNo.s\tDate Time\tdB\t\r\n"
      "1\t2013/03/04 08:00:05\t70.1\t\r\n2\t2013/03/04 08:00:06\t71.2\t\r\n";

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QList<StatisticsWindow *> statisticsWindows()
{
    QList<StatisticsWindow *> shown;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *s = qobject_cast<StatisticsWindow *>(w); s && s->isVisible())
            shown << s;
    }
    return shown;
}

// Closes the windows one by one, as a user would, from inside the loop.
void closeAllLater(int afterMs)
{
    QTimer::singleShot(afterMs, [] {
        for (StatisticsWindow *w : statisticsWindows())
            w->close();
    });
}

// Files named on the command line: each in its own window, a bad one says
// why and the others still open; no Port window, no meter; the run ends when
// the last window closes.
TEST(ProgramRunFiles, EachFileGetsAWindowAndTheRunEndsWithTheLast)
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    ProgramRun run;
    const QStringList files { writeFile(dir, "a.vorn", RealTimeFile),
                              writeFile(dir, "bad.vorn", ""),
                              writeFile(dir, "b.vorn", RealTimeFile) };
    run.startWithFiles(files);
    EXPECT_EQ(run.filesOpened(), 2);
    QStringList titles;
    for (StatisticsWindow *w : statisticsWindows())
        titles << w->windowTitle();
    titles.sort();
    EXPECT_EQ(titles, QStringList({ "a.vorn", "b.vorn" }));
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_FALSE(run.portWindow()->isVisible());
    EXPECT_EQ(run.panel(), nullptr);
    closeAllLater(50);
    EXPECT_EQ(run.exitCode(runEventLoop()), 0);
    EXPECT_TRUE(statisticsWindows().isEmpty());
}

// Nothing opened, as files or as a series: the run ends after the
// messages, never left running without a window.
TEST(ProgramRunFiles, NoFileReadableEndsTheRunWithItsMessages)
{
    for (const bool series : { false, true }) {
        SCOPED_TRACE(series ? "series" : "files");
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ProgramRun run;
        if (series) {
            // Two files of the same hour cannot follow one another.
            run.startWithSeries(
                { writeFile(dir, "a.vorn", RealTimeFile), writeFile(dir, "b.vorn", RealTimeFile) });
        } else {
            run.startWithFiles({ dir.filePath("missing.vorn"), writeFile(dir, "empty.vorn", "") });
            EXPECT_EQ(run.filesOpened(), 0);
        }
        EXPECT_EQ(run.exitCode(runEventLoop()), 1);
        EXPECT_EQ(run.filesOpened(), 0);
        EXPECT_EQ(dialogs.messageTexts().size(), series ? 1 : 2)
            << dialogs.messageTexts().join("\n").toStdString();
        const QWidgetList windows = QApplication::topLevelWidgets();
        EXPECT_TRUE(std::none_of(windows.begin(), windows.end(),
                                 [](QWidget *w) { return w->isVisible(); }));
    }
}

// "--port" skips the Port window under its exact-name rule: a name that is
// not exact is refused with the panel's message and the system's reason.
TEST(ProgramRunPort, BadNameFailsWithTheMessageAndItsReason)
{
    QTemporaryDir ports;
    qputenv("VORN_PORTS_DIR", ports.path().toLocal8Bit());
    ScriptedDialogs dialogs;
    ProgramRun run;
    run.startOnPort(QStringLiteral("com1"));
    EXPECT_EQ(run.exitCode(runEventLoop()), 1);
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].text, "No device found, try again!");
    EXPECT_FALSE(dialogs.calls()[0].reason.isEmpty());
    EXPECT_EQ(dialogs.calls()[0].choice, "Open Data Files");
    EXPECT_FALSE(run.portWindow()->isVisible());
}

// The failure box's second button leads to the files instead of ending.
TEST(ProgramRunPort, FailureBoxOpensDataFilesInstead)
{
    QTemporaryDir ports;
    qputenv("VORN_PORTS_DIR", ports.path().toLocal8Bit());
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    dialogs.answerMessage(MessageAnswer::Yes);
    dialogs.answerOpen(writeFile(dir, "a.vorn", RealTimeFile));
    ProgramRun run;
    run.start();
    QTimer::singleShot(0, [&] { choosePort(run, QStringLiteral("COM2")); });
    closeAllLater(300);
    EXPECT_EQ(run.exitCode(runEventLoop()), 0);
    EXPECT_EQ(run.filesOpened(), 1);
    EXPECT_EQ(dialogs.pendingAnswers(), 0);
    EXPECT_FALSE(run.portWindow()->isVisible());
}

} // namespace

int main(int argc, char **argv)
{
    // Test discovery runs this without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
