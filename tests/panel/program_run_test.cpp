#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "link/windows/Port.h"
#include "panel/windows/Panel.h"
#include "panel/windows/ProgramRun.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
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
