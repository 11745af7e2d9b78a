#include "platform/Delay.h"
#include "platform/PanelTimers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

qint64 elapsedNsOfDelay(double seconds)
{
    QElapsedTimer clock;
    clock.start();
    Delay(seconds);
    return clock.nsecsElapsed();
}

struct DelayLength
{
    const char *name;
    double seconds;
};

class DelayLengthTest : public ::testing::TestWithParam<DelayLength>
{
};

TEST_P(DelayLengthTest, NeverReturnsBeforeItsDeadlineNorLongAfter)
{
    const double seconds = GetParam().seconds;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const qint64 ns = elapsedNsOfDelay(seconds);
        EXPECT_GE(ns, qint64(std::ceil(seconds * 1e9)));
        EXPECT_LT(ns, qint64(seconds * 1e9) + 150'000'000);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DelayLengthTest,
                         ::testing::Values(DelayLength { "zero", 0.0 },
                                           DelayLength { "oneMillisecond", 0.001 },
                                           DelayLength { "pollStep", 0.01 },
                                           DelayLength { "fractionalMs", 0.0155 },
                                           DelayLength { "frameWaitStep", 0.02 },
                                           DelayLength { "handshakeResend", 0.2 }),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Delay, NonsenseLengthsReturnAtOnce)
{
    for (double seconds : { -1.0, -0.0, std::numeric_limits<double>::quiet_NaN(),
                            -std::numeric_limits<double>::infinity() })
        EXPECT_LT(elapsedNsOfDelay(seconds), 50'000'000) << seconds;
}

TEST(Delay, RunsTimersAndQueuedCallsWhileWaiting)
{
    bool timerFired = false;
    bool queuedRan = false;
    QTimer::singleShot(10, [&] { timerFired = true; });
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { queuedRan = true; }, Qt::QueuedConnection);
    Delay(0.0);
    EXPECT_TRUE(queuedRan) << "even a zero wait serves what is pending";
    EXPECT_FALSE(timerFired);
    Delay(0.05);
    EXPECT_TRUE(timerFired);
}

TEST(Delay, NestedDelayInsideATimerHandlerKeepsBothDeadlines)
{
    QElapsedTimer clock;
    qint64 innerNs = -1;
    // Due at once, so it runs inside the outer wait whatever the timers' order.
    QTimer::singleShot(0, [&] {
        QElapsedTimer inner;
        inner.start();
        Delay(0.06);
        innerNs = inner.nsecsElapsed();
    });
    clock.start();
    Delay(0.02);
    const qint64 outerNs = clock.nsecsElapsed();
    EXPECT_GE(innerNs, 60'000'000);
    EXPECT_GE(outerNs, 20'000'000);
    // The outer wait can only end after the handler it runs has returned.
    EXPECT_GE(outerNs, innerNs);
}

TEST(Delay, AHandlerOutlastingTheOuterDeadlineEndsTheOuterWaitSoonAfter)
{
    // Due at once: a 1 ms timer may come after the outer wait under Wine.
    QTimer::singleShot(0, [] { Delay(0.1); });
    const qint64 ns = elapsedNsOfDelay(0.01);
    EXPECT_GE(ns, 100'000'000);
    EXPECT_LT(ns, 250'000'000);
}

class PanelTimersTest : public ::testing::Test
{
protected:
    PanelTimers timers;
};

TEST_F(PanelTimersTest, GuardSwitchesBothOffAndOnAgainOnReturnAndOnException)
{
    timers.setBothEnabled(true);
    {
        TimersOffGuard guard(timers);
        EXPECT_FALSE(timers.timer1Enabled());
        EXPECT_FALSE(timers.timer2Enabled());
    }
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_TRUE(timers.timer2Enabled());

    EXPECT_THROW(
        {
            TimersOffGuard guard(timers);
            throw std::runtime_error("printer failed");
        },
        std::runtime_error);
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_TRUE(timers.timer2Enabled());
}

TEST_F(PanelTimersTest, GuardEnablesBothAtItsEndWhateverTheirStateBefore)
{
    timers.setTimer1Enabled(false);
    timers.setTimer2Enabled(true);
    {
        TimersOffGuard guard(timers);
    }
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_TRUE(timers.timer2Enabled());
}

TEST_F(PanelTimersTest, InnerGuardLeavesTimersOffUntilTheOuterEnds)
{
    timers.setBothEnabled(true);
    {
        TimersOffGuard outer(timers);
        {
            TimersOffGuard inner(timers);
        }
        EXPECT_FALSE(timers.timer1Enabled());
        EXPECT_FALSE(timers.timer2Enabled());
        EXPECT_TRUE(timers.suspended());
    }
    EXPECT_TRUE(timers.timer1Enabled());
    EXPECT_TRUE(timers.timer2Enabled());
    EXPECT_FALSE(timers.suspended());
}

TEST_F(PanelTimersTest, ATickWaitingLongerThanItsIntervalIsNeverEnteredAgain)
{
    int entries = 0;
    int running = 0;
    int mostAtOnce = 0;
    int sampleTicksDuringPoll = 0;
    timers.setPollTick([&] {
        ++entries;
        mostAtOnce = std::max(mostAtOnce, ++running);
        Delay(0.45); // more than two poll intervals
        --running;
    });
    timers.setSampleTick([&] {
        if (running > 0)
            ++sampleTicksDuringPoll;
    });
    timers.setBothEnabled(true);
    Delay(1.5);
    timers.setBothEnabled(false);
    EXPECT_EQ(mostAtOnce, 1);
    EXPECT_GE(entries, 2) << "the tick goes on after a long run";
    EXPECT_GE(sampleTicksDuringPoll, 1) << "the other timer still runs inside the wait";
}

TEST_F(PanelTimersTest, TickThatRestartsItsOwnTimerIsStillNotReentered)
{
    // Restarting a periodic timer from its slot lets Qt deliver it again
    // inside the slot's wait; the busy flag must still keep it out.
    int running = 0;
    int mostAtOnce = 0;
    int entries = 0;
    timers.setPollTick([&] {
        ++entries;
        mostAtOnce = std::max(mostAtOnce, ++running);
        timers.setTimer1Enabled(false);
        timers.setTimer1Enabled(true);
        Delay(0.5);
        --running;
    });
    timers.setTimer1Enabled(true);
    Delay(1.0);
    timers.setBothEnabled(false);
    EXPECT_EQ(mostAtOnce, 1);
    EXPECT_GE(entries, 1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
