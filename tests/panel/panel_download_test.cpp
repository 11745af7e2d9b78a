#include "panel/gui/Keypad.h"
#include "panel/gui/LiveSession.h"
#include "panel/gui/Panel.h"
#include "panel/gui/PanelToolbar.h"
#include "recording/LoggerMemory.h"
#include "recording/gui/Memory.h"
#include "recording/gui/RecordingController.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "support/ScriptedDialogs.h"
#include "platform/Delay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// The whole panel against the emulated meter, whose logger memory holds a
// short set and then one that takes about ten seconds at the line's speed.
class PanelDownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (MeterEmulator::program().isEmpty())
            GTEST_SKIP() << "no meter emulator built";
        loggerMemory() = LoggerMemory();
        QString why;
        ASSERT_TRUE(emulator.start(QStringList { "--signal", "constant", "--level", "72.4", "--set",
                                                 "records=3,level=60", "--set" }
                                       + QStringList { longSet() },
                                   &why))
            << why.toStdString();
        panel = std::make_unique<Panel>(1);
        session = new LiveSession(*panel);
        QObject::connect(&session->recording(), &RecordingController::ticked,
                         [this](const SampleTickResult &r) {
                             if (r.Sampled)
                                 sampledAtMs.push_back(clock.elapsed());
                         });
        clock.start();
        ASSERT_TRUE(panel->startUp());
        panel->show();
        ASSERT_TRUE(WaitUntil([&] { return text("LblCOM") == QStringLiteral("COM1"); }, 2000));
    }

    void TearDown() override
    {
        if (panel)
            panel->close();
        if (Memory *window = Memory::openWindow())
            window->close();
    }

    // About ten seconds of memory at the line's speed.
    virtual QString longSet() const { return QStringLiteral("records=20000,level=70"); }

    QString text(const char *name)
    {
        return panel->findChild<QLabel *>(QLatin1String(name))->text();
    }
    void click(const char *key) { panel->toolbar()->button(QString::fromLatin1(key))->click(); }
    bool enabled(const char *key) { return panel->toolbar()->isButtonEnabled(QLatin1String(key)); }
    bool keysEnabled()
    {
        return panel->keypad()->button(KeyCode::Down)->isEnabled()
            && panel->keypad()->button(KeyCode::CA)->isEnabled();
    }

    ScriptedDialogs dialogs;
    MeterEmulator emulator;
    std::unique_ptr<Panel> panel;
    LiveSession *session = nullptr;
    QElapsedTimer clock;
    std::vector<qint64> sampledAtMs;
};

TEST_F(PanelDownloadTest, LinkControlsAreOffDuringTheDownloadAndCancelKeepsCompleteSets)
{
    bool linkControlsOff = false, othersOn = false, keysOff = false;
    qint64 cancelledAtMs = -1, endedAtMs = -1;
    Watch streaming(
        [&] { return Memory::openWindow() && Memory::openWindow()->cancelButton()->isVisible(); },
        [&] {
            linkControlsOff = !enabled("AC") && !enabled("FSI") && !enabled("Sampling")
                && !enabled("RTC") && !enabled("Memory") && !enabled("Erase");
            othersOn = enabled("Save") && enabled("Open") && enabled("Refresh");
            keysOff = !keysEnabled();
            QTimer::singleShot(1000, [&] {
                cancelledAtMs = clock.elapsed();
                Memory::openWindow()->cancelButton()->click();
            });
        });
    Watch ended([&] { return cancelledAtMs >= 0 && !panel->link().held(); },
                [&] { endedAtMs = clock.elapsed(); });
    click("Memory");
    ASSERT_TRUE(WaitUntil([&] { return endedAtMs >= 0; }, 8000));
    EXPECT_TRUE(linkControlsOff);
    EXPECT_TRUE(othersOn);
    EXPECT_TRUE(keysOff);
    EXPECT_LE(endedAtMs - cancelledAtMs, 500);
    Memory *window = Memory::openWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->gridSet()->rowCount(), 1); // the short set, complete
    EXPECT_TRUE(
        WaitUntil([&] { return enabled("AC") && enabled("Memory") && keysEnabled(); }, 1000));
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());
}

TEST_F(PanelDownloadTest, ClosingThePanelEndsADownloadAtOnce)
{
    qint64 closedAtMs = -1;
    Watch streaming([&] { return Memory::openWindow() != nullptr; },
                    [&] {
                        QTimer::singleShot(500, [&] {
                            closedAtMs = clock.elapsed();
                            panel->close();
                        });
                    });
    click("Memory"); // returns when the download has ended
    ASSERT_GE(closedAtMs, 0);
    EXPECT_LE(clock.elapsed() - closedAtMs, 500);
    EXPECT_FALSE(panel->link().held());
}

TEST_F(PanelDownloadTest, AMeterDeadInTheDownloadIsALostLinkAndNothingIsSampledAfter)
{
    ASSERT_TRUE(WaitUntil([&] { return !sampledAtMs.empty(); }, 2500));
    emulator.control(QStringLiteral("deaf-on-input 6"));
    Delay(0.05);
    const qint64 deathMs = clock.elapsed();
    Watch lost([&] { return text("LblCOM") == QStringLiteral("No COM"); });
    click("Memory");
    ASSERT_TRUE(WaitUntil([&] { return lost.seen(); }, 4000));
    EXPECT_LE(lost.seenAtMs(), 3000);
    EXPECT_TRUE(
        dialogs.messageTexts().contains(QStringLiteral("The meter does not answer. Try again!")));
    Delay(1.0);
    for (const qint64 at : sampledAtMs)
        EXPECT_LE(at, deathMs + 1600) << "a sample " << at - deathMs << " ms after the meter died";
}

TEST_F(PanelDownloadTest, NeitherABoxReadSlowlyNorAClosedWindowCostsTheLinkOrTheList)
{
    // The answer box of an empty memory, read for longer than the silence
    // limit; then a transfer whose window is closed instead of cancelled.
    ASSERT_TRUE(WaitUntil([&] { return session->state().List.count() >= 3; }, 5000));
    Watch lost([&] { return text("LblCOM") == QStringLiteral("No COM"); });
    emulator.control(QStringLiteral("erase"));
    dialogs.keepMessagesOpen(1600);
    const int before = session->state().List.count();
    click("Memory");
    EXPECT_EQ(dialogs.messageTexts(), QStringList({ "No Data in Memory" }));
    emulator.control(QStringLiteral("set records=6000,level=70"));
    qint64 closedAtMs = -1;
    Watch streaming(
        [&] { return Memory::openWindow() && Memory::openWindow()->cancelButton()->isVisible(); },
        [&] {
            QTimer::singleShot(800, [&] {
                closedAtMs = clock.elapsed();
                Memory::openWindow()->close();
            });
        });
    click("Memory");
    ASSERT_GE(closedAtMs, 0);
    EXPECT_LE(clock.elapsed() - closedAtMs, 500) << "the transfer went on after its window closed";
    // The meter sends the rest of its memory (about two seconds), then its
    // levels again, which go on into the same list.
    EXPECT_TRUE(WaitUntil([&] { return session->state().List.count() >= before + 2; }, 15000));
    EXPECT_FALSE(lost.seen());
    EXPECT_TRUE(enabled("Memory") && keysEnabled());
}

// Records of 51.5 dB are the bytes 02 03 02 03 ...: any six of them that
// start at an 02 look like a live frame of 77.0 dB.
class PanelCancelledStreamTest : public PanelDownloadTest
{
protected:
    QString longSet() const override { return QStringLiteral("records=12000,level=51.5,spread=0"); }
};

TEST_F(PanelCancelledStreamTest, TheRestOfACancelledTransferIsNeverReadAsALevel)
{
    ASSERT_TRUE(WaitUntil([&] { return text("LblValue") == QStringLiteral("72.4"); }, 2000));
    // Every text the level label takes until the meter's own frames are back.
    QStringList shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (shown.isEmpty() || shown.last() != text("LblValue"))
            shown << text("LblValue");
    });
    watch.start(5);
    Watch streaming(
        [&] { return Memory::openWindow() && Memory::openWindow()->cancelButton()->isVisible(); },
        [&] { QTimer::singleShot(1000, [] { Memory::openWindow()->cancelButton()->click(); }); });
    click("Memory");
    ASSERT_TRUE(streaming.seen());
    const QString note = Memory::openWindow()->findChild<QLabel *>("LblMessage")->text();
    EXPECT_TRUE(note.contains(QStringLiteral("goes on sending for about"))) << note.toStdString();

    // The rest of the stream takes about five seconds; the panel hears no
    // frame meanwhile (an empty level) and mirrors the meter after. A line
    // busy with that stream is no lost link: the list stays.
    Watch lost([&] { return text("LblCOM") == QStringLiteral("No COM"); });
    const int listed = session->state().List.count();
    EXPECT_TRUE(WaitUntil(
        [&] { return shown.size() >= 3 && shown.last() == QStringLiteral("72.4"); }, 10000));
    EXPECT_EQ(shown, QStringList({ "72.4", "", "72.4" }));
    EXPECT_FALSE(lost.seen());
    EXPECT_GE(session->state().List.count(), listed);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
