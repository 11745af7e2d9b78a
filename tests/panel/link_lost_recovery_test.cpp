#include "panel/LinkLostRecovery.h"
#include "panel/PanelEvents.h"
#include "support/FakeSerialPort.h"
#include "ui/core/PanelTimers.h"

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

TEST_F(LinkLostRecoveryTest, AnnouncesInOrderWaitsAndRestartsTimer2)
{
    bool timer2DuringWait = true;
    QTimer::singleShot(100, [&] { timer2DuringWait = timers.timer2Enabled(); });
    port.feedAfter(300, QByteArray("\x02\x00\x03\x00", 4)); // not a frame yet
    port.feedAfter(500, Live);
    EXPECT_TRUE(LinkLostRecovery(port, timers, events));
    EXPECT_EQ(log,
              QStringList({ "stopRecording+T2", "reset+T2", "No COM", "lists", "graphs", "COM" }));
    EXPECT_FALSE(timer2DuringWait);
    EXPECT_TRUE(timers.timer2Enabled());
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_GE(clock.elapsed(), 495);
}

TEST_F(LinkLostRecoveryTest, PulledAdapterIsReopenedWhenItComesBack)
{
    port.setLost(true);
    QTimer::singleShot(800, [this] { port.setLost(false); });
    for (int t = 900; t < 2000; t += 100)
        port.feedAfter(t, Live);
    EXPECT_TRUE(LinkLostRecovery(port, timers, events));
    EXPECT_EQ(log.last(), QStringLiteral("COM"));
    EXPECT_TRUE(timers.timer2Enabled());
}

TEST_F(LinkLostRecoveryTest, StopLeavesTimer2OffAndTheLinkLost)
{
    EXPECT_FALSE(LinkLostRecovery(port, timers, events, [this] { return clock.elapsed() > 200; }));
    EXPECT_EQ(log.last(), QStringLiteral("graphs"));
    EXPECT_FALSE(timers.timer2Enabled());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
