#include "link/MeterLink.h"
#include "support/FakeSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QByteArray Ack("\x02\xFF\xFF\xFF\xFF\x03", 6);
const QByteArray Live("\x02\x01\x20\x03\x52\x03", 6);
const QByteArray OtherLive("\x02\x05\x41\x02\x10\x03", 6);
const QByteArray SevenEndingZero("\x02\x01\x20\x03\x52\x03\x00", 7);

class CountingPort : public FakeSerialPort
{
public:
    bool reopen() override
    {
        ++reopens;
        return FakeSerialPort::reopen();
    }
    int reopens = 0;
};

class MeterLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(port.open(3));
        clock.start();
    }

    // Sends `frame` every `everyMs` from `fromMs` to `toMs`, like a meter streaming.
    void streamAfter(int fromMs, int toMs, int everyMs, const QByteArray &frame)
    {
        for (int t = fromMs; t <= toMs; t += everyMs)
            port.feedAfter(t, frame);
    }

    CountingPort port;
    QElapsedTimer clock;
};

TEST_F(MeterLinkTest, LiveFrameIsTheFreshestNotWhatWaitedBefore)
{
    port.feed(OtherLive);
    port.feedAfter(50, QByteArray("\x41\x03\x00", 3) + Live);
    EXPECT_EQ(ReadLiveFrame(port), Live);
    EXPECT_GE(clock.elapsed(), 45);
}

TEST_F(MeterLinkTest, BrokenFrameIsIgnoredAndTheWaitGoesOn)
{
    port.feedAfter(30, SevenEndingZero);
    port.feedAfter(250, OtherLive);
    EXPECT_EQ(ReadLiveFrame(port), OtherLive);
    EXPECT_GE(clock.elapsed(), 245);
}

TEST_F(MeterLinkTest, SilentMeterIsReportedAfterAHundredSteps)
{
    port.feedAfter(20, QByteArray("\x02\x01", 2)); // too few bytes to count
    EXPECT_EQ(ReadLiveFrame(port), std::nullopt);
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 1800);
    EXPECT_EQ(port.bytesWaiting(), 0); // the leftovers are thrown away
}

TEST_F(MeterLinkTest, BrokenFramesNeverCountAsSilence)
{
    streamAfter(50, 1500, 100, SevenEndingZero);
    port.feedAfter(1580, Live);
    EXPECT_EQ(ReadLiveFrame(port), Live);
    EXPECT_GE(clock.elapsed(), 1575);
}

TEST_F(MeterLinkTest, LostPortReadsAsSilentAtOnce)
{
    port.setLost(true);
    EXPECT_EQ(ReadLiveFrame(port), std::nullopt);
    EXPECT_LT(clock.elapsed(), 200);
}

TEST_F(MeterLinkTest, HandshakeEndsOnAcknowledgementAfterALiveFrameInTheSameRead)
{
    port.setResponder([](const QByteArray &w) { return w == "A" ? Live + Ack : QByteArray(); });
    EXPECT_TRUE(MeterHandshake(port));
    EXPECT_EQ(port.written(), QByteArray("A"));
}

TEST_F(MeterLinkTest, HandshakeStartsOverWhenTheLastSixBytesAreNotTheAcknowledgement)
{
    int calls = 0;
    port.setResponder([&calls](const QByteArray &) { return ++calls == 1 ? Ack + Live : Ack; });
    EXPECT_TRUE(MeterHandshake(port));
    EXPECT_EQ(port.written(), QByteArray("AA"));
}

TEST_F(MeterLinkTest, HandshakeResendsEveryFifthOfASecondUntilAnswered)
{
    port.feedAfter(1050, Ack); // the meter comes back
    EXPECT_TRUE(MeterHandshake(port));
    const auto &writes = port.writes();
    ASSERT_GE(writes.size(), 5u);
    ASSERT_LE(writes.size(), 7u);
    for (size_t i = 1; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes, QByteArray("A"));
        EXPECT_GE(writes[i].atMs - writes[i - 1].atMs, 195) << "write " << i;
    }
}

struct KeyCase
{
    const char *name;
    KeyCode code;
    QByteArray frame;
};

class PressKeyTest : public MeterLinkTest, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(PressKeyTest, HandshakeThenKeyFrameInOneWrite)
{
    port.setResponder([](const QByteArray &w) { return w == "A" ? Ack : QByteArray(); });
    EXPECT_TRUE(PressKey(port, GetParam().code));
    ASSERT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[0].bytes, QByteArray("A"));
    EXPECT_EQ(port.writes()[1].bytes, GetParam().frame);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PressKeyTest,
    ::testing::Values(KeyCase { "CA", KeyCode::CA, QByteArray("K\0\0\x01", 4) },
                      KeyCase { "Up", KeyCode::Up, QByteArray("K\0\0\x09", 4) },
                      KeyCase { "Down", KeyCode::Down, QByteArray("\x4B\x00\x00\x0A", 4) }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MeterLinkTest, UnpluggedMeterGetsOnlyAttentionLettersUntilStopped)
{
    port.setLost(true);
    const bool pressed = PressKey(port, KeyCode::Down, [this] { return clock.elapsed() > 700; });
    EXPECT_FALSE(pressed);
    EXPECT_FALSE(port.written().contains('K'));
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(MeterLinkTest, KeyPressedDuringAPollRunsInsideItAndThePollGoesOn)
{
    port.setResponder([](const QByteArray &w) { return w == "A" ? Ack : QByteArray(); });
    bool pressed = false;
    QTimer::singleShot(30, [&] { pressed = PressKey(port, KeyCode::Down); });
    port.feedAfter(400, Live);
    EXPECT_EQ(ReadLiveFrame(port), Live); // not the acknowledgement
    EXPECT_TRUE(pressed);
    EXPECT_EQ(port.written(), QByteArray("AK\0\0\x0A", 5));
}

TEST_F(MeterLinkTest, AwaitValidFrameIgnoresBrokenFrames)
{
    streamAfter(20, 300, 40, SevenEndingZero);
    port.feedAfter(340, Live);
    EXPECT_TRUE(AwaitValidFrame(port));
    EXPECT_GE(clock.elapsed(), 335);
}

TEST_F(MeterLinkTest, AwaitValidFrameReopensAPortThatCameBack)
{
    port.setLost(true);
    QTimer::singleShot(1200, [this] { port.setLost(false); });
    streamAfter(1000, 2500, 100, Live);
    EXPECT_TRUE(AwaitValidFrame(port));
    EXPECT_GE(clock.elapsed(), 1200);
    EXPECT_LT(clock.elapsed(), 2000);
    // Reopen attempts are paced, not spun.
    EXPECT_GE(port.reopens, 2);
    EXPECT_LE(port.reopens, 5);
}

TEST_F(MeterLinkTest, AwaitValidFrameEndsOnStop)
{
    EXPECT_FALSE(AwaitValidFrame(port, [this] { return clock.elapsed() > 300; }));
    EXPECT_LT(clock.elapsed(), 500);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
