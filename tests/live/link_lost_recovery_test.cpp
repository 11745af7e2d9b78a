#include "live/LinkLostRecovery.h"
#include "live/PanelEvents.h"
#include "support/FakeSerialPort.h"
#include "platform/PanelTimers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QByteArray Live("\x02\x01\x20\x03\x52\x03", 6);

class LinkLostRecoveryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(port.open(3));
        timers.setBothEnabled(true);
        auto note = [this](const char *what) {
            return [this, what] {
                log << QString::fromLatin1(what) + (timers.timer2Enabled() ? "+T2" : "");
            };
        };
        QObject::connect(&events, &PanelEvents::linkLostStopRecording, note("stopRecording"));
        QObject::connect(&events, &PanelEvents::linkLostResetMeasurement, note("reset"));
        QObject::connect(&events, &PanelEvents::linkLostClearLists, note("lists"));
        QObject::connect(&events, &PanelEvents::linkLostClearGraphs, note("graphs"));
        QObject::connect(&events, &PanelEvents::linkStateChanged, [this](bool linked) {
            log << QString::fromLatin1(linked ? "COM" : "No COM")
                    + (timers.timer2Enabled() ? "+T2" : "");
        });
        clock.start();
    }

    FakeSerialPort port;
    PanelTimers timers;
    PanelEvents events;
    QStringList log;
    QElapsedTimer clock;
};

TEST_F(LinkLostRecoveryTest, AnnouncesInOrderAndNoGuardBringsSamplingBackWhileLost)
{
    AnnounceLinkLost(timers, events);
    EXPECT_EQ(log, QStringList({ "stopRecording+T2", "reset+T2", "No COM", "lists", "graphs" }));
    {
        // An exchange that switched the timers off while the link was lost
        // gives back the poll (which recovers the link), not the sampling.
        TimersOffGuard exchange(timers);
    }
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_FALSE(timers.timer2Enabled());

    {
        TimersOffGuard exchange(timers);
        AnnounceLinkBack(timers, events);
        EXPECT_FALSE(timers.timer2Enabled()); // the guard still holds them off
    }
    EXPECT_EQ(log.last(), QStringLiteral("COM"));
    EXPECT_TRUE(timers.timer2Enabled());
}

TEST_F(LinkLostRecoveryTest, TheStepsStopWhenTheLinkCameBackDuringOne)
{
    // The poll recovers the meter while the recording's stop still runs.
    bool lost = true;
    QObject::connect(&events, &PanelEvents::linkLostStopRecording, [&] {
        lost = false;
        AnnounceLinkBack(timers, events);
    });
    AnnounceLinkLost(timers, events, [&] { return lost; });
    EXPECT_EQ(log, QStringList({ "stopRecording+T2", "COM+T2" }));
    EXPECT_TRUE(timers.timer2Enabled());
}

TEST_F(LinkLostRecoveryTest, AnAttemptEndsAfterTheSilenceLimitOrAtTheFirstValidFrame)
{
    EXPECT_FALSE(TryRecoverLink(port));
    EXPECT_GE(clock.elapsed(), 990);
    EXPECT_LT(clock.elapsed(), 1500);

    clock.restart();
    port.feedAfter(100, QByteArray("\x02\x00\x03\x00", 4)); // not a frame yet
    port.feedAfter(300, Live);
    EXPECT_TRUE(TryRecoverLink(port));
    EXPECT_GE(clock.elapsed(), 295);
    EXPECT_LT(clock.elapsed(), 900);
}

TEST_F(LinkLostRecoveryTest, PulledAdapterIsReopenedWhenItComesBack)
{
    port.setLost(true);
    QTimer::singleShot(600, [this] { port.setLost(false); });
    for (int t = 700; t < 2000; t += 100)
        port.feedAfter(t, Live);
    bool back = false;
    for (int attempt = 0; attempt < 3 && !back; ++attempt)
        back = TryRecoverLink(port);
    EXPECT_TRUE(back);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
