#include "recording/LeqPeriod.h"
#include "recording/SamplingAnswer.h"
#include "recording/SamplingExchange.h"
#include "recording/SamplingSettings.h"
#include "recording/TimedIntegration.h"
#include "support/FakeSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Kind = SamplingAnswer::Kind;

TEST(SamplingAnswerTable, RoundsHalfToEvenAndClamps)
{
    const struct
    {
        const char *answer;
        int max;
        Kind kind;
        int seconds;
    } rows[] = {
        { "2.5", PcSampleIntervalMax, Kind::Seconds, 2 },
        { "3.5", PcSampleIntervalMax, Kind::Seconds, 4 },
        { "0.5", PcSampleIntervalMax, Kind::Seconds, 1 },
        { "2.51", PcSampleIntervalMax, Kind::Seconds, 3 },
        { "0", PcSampleIntervalMax, Kind::Seconds, 1 },
        { "-7", PcSampleIntervalMax, Kind::Seconds, 1 },
        { "100000", PcSampleIntervalMax, Kind::Seconds, 86400 },
        { "86400", PcSampleIntervalMax, Kind::Seconds, 86400 },
        { "1e300", PcSampleIntervalMax, Kind::Seconds, 86400 },
        { " 60 ", PcSampleIntervalMax, Kind::Seconds, 60 },
        { "300", MeterSampleTimeMax, Kind::Seconds, 255 },
        { "256", MeterSampleTimeMax, Kind::Seconds, 255 },
        { "254.5", MeterSampleTimeMax, Kind::Seconds, 254 },
        { "", PcSampleIntervalMax, Kind::Empty, 0 },
        { "   ", PcSampleIntervalMax, Kind::Empty, 0 },
        { "ten", PcSampleIntervalMax, Kind::NotANumber, 0 },
        { "5s", PcSampleIntervalMax, Kind::NotANumber, 0 },
        { "1,5", PcSampleIntervalMax, Kind::NotANumber, 0 },
        { "1,000", PcSampleIntervalMax, Kind::NotANumber, 0 },
        { "nan", PcSampleIntervalMax, Kind::NotANumber, 0 },
        { "inf", PcSampleIntervalMax, Kind::NotANumber, 0 },
    };
    for (const auto &row : rows) {
        const SamplingAnswer read = ReadSamplingAnswer(QString::fromLatin1(row.answer), row.max);
        EXPECT_EQ(read.kind, row.kind) << '"' << row.answer << '"';
        if (row.kind == Kind::Seconds) {
            EXPECT_EQ(read.seconds, row.seconds) << '"' << row.answer << '"';
        }
    }
}

struct MeterPort
{
    MeterPort() { port.open(1); }
    FakeSerialPort port;
};

TEST(MeterSampleTimeRead, TwoBytesHighFirst)
{
    MeterPort m;
    m.port.feed("old frame");
    m.port.setResponder(
        [](const QByteArray &w) { return w == "J" ? QByteArray::fromHex("0102") : QByteArray(); });
    EXPECT_EQ(ReadMeterSampleTime(m.port), 258);
    EXPECT_EQ(m.port.written(), "J");
}

TEST(MeterSampleTimeRead, ReplyOfOneByteIsAskedAgain)
{
    MeterPort m;
    int asked = 0;
    m.port.setResponder([&asked](const QByteArray &) {
        return ++asked < 3 ? QByteArray::fromHex("00") : QByteArray::fromHex("000A");
    });
    EXPECT_EQ(ReadMeterSampleTime(m.port), 10);
    EXPECT_EQ(m.port.written(), "JJJ");
}

TEST(MeterSampleTimeRead, LiveFrameAheadOfTheReplyIsPassedOver)
{
    MeterPort m;
    m.port.setResponder([](const QByteArray &) { return QByteArray::fromHex("020304028a03000f"); });
    EXPECT_EQ(ReadMeterSampleTime(m.port), 15);
    EXPECT_EQ(m.port.written(), "J");
}

TEST(MeterSampleTimeRead, SlowReplyWithinOneTryIsTaken)
{
    MeterPort m;
    m.port.setResponder([](const QByteArray &) { return QByteArray::fromHex("003C"); }, 120);
    EXPECT_EQ(ReadMeterSampleTime(m.port), 60);
    EXPECT_EQ(m.port.written(), "J");
}

TEST(MeterSampleTimeRead, SilentMeterGivesUpAfterFiveRetriesWithinTwoSeconds)
{
    MeterPort m;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(ReadMeterSampleTime(m.port));
    EXPECT_LE(clock.elapsed(), 2100);
    EXPECT_GE(clock.elapsed(), 1500);
    EXPECT_EQ(m.port.written(), "JJJJJJ");
}

TEST(MeterSampleTimeSet, CommandIsCAndTwoBytesInOneWrite)
{
    const struct
    {
        int seconds;
        const char *hex;
    } rows[] = { { 255, "43 00 ff" }, { 1, "43 00 01" }, { 30, "43 00 1e" }, { 300, "43 01 2c" } };
    for (const auto &row : rows) {
        MeterPort m;
        WriteMeterSampleTime(m.port, row.seconds);
        ASSERT_EQ(m.port.writes().size(), 1u) << row.seconds;
        EXPECT_EQ(m.port.written().toHex(' '), row.hex) << row.seconds;
    }
}

TEST(LeqPeriodTable, ColonPartsWrapAndPad)
{
    const struct
    {
        const char *answer;
        const char *text; // nullptr: refused
        int seconds;
    } rows[] = {
        { "1:2:3", "01:02:03", 3723 },
        { "25:61:70", "01:01:10", 3670 },
        { "12:30", "12:00:30", 43230 },
        { "00:00:10", "00:00:10", 10 },
        { ":5", "00:00:05", 5 },
        { "1::", "01:00:00", 3600 },
        { "::7", "00:00:07", 7 },
        { "23:59:59", "23:59:59", 86399 },
        { " 1 : 2 : 3 ", "01:02:03", 3723 },
        { "0:0:90", "00:00:30", 30 },
        { "10", nullptr, 0 },
        { "", nullptr, 0 },
        { "a:b:c", nullptr, 0 },
        { "-1:00:00", nullptr, 0 },
        { "1:2:345", nullptr, 0 },
        { "1:2:3:4", nullptr, 0 },
        { "0:0:0", nullptr, 0 },
        { "24:00:00", nullptr, 0 },
        { "99999999999:0:1", nullptr, 0 },
    };
    for (const auto &row : rows) {
        const auto period = ReadLeqPeriod(QString::fromLatin1(row.answer));
        if (!row.text) {
            EXPECT_FALSE(period) << '"' << row.answer << '"';
            continue;
        }
        ASSERT_TRUE(period) << '"' << row.answer << '"';
        EXPECT_EQ(period->text, QString::fromLatin1(row.text)) << '"' << row.answer << '"';
        EXPECT_EQ(period->seconds, row.seconds) << '"' << row.answer << '"';
    }
}

LeqPeriod periodOf(int seconds)
{
    return *ReadLeqPeriod(QStringLiteral("0:0:%1").arg(seconds));
}

TEST(TimedIntegrationRun, LeqAndSelOverExactlyThePeriod)
{
    TimedIntegration integration;
    ASSERT_TRUE(integration.toggle(periodOf(4), 3600));
    EXPECT_EQ(integration.startSecondOfDay(), 3600);
    for (double level : { 60.0, 70.0, 80.0 }) {
        integration.addSecond(level);
        EXPECT_TRUE(integration.running());
    }
    EXPECT_EQ(integration.remainingSeconds(), 1);
    integration.addSecond(90.0);
    EXPECT_EQ(integration.state(), TimedIntegration::State::Finished);
    const double energy = 1e6 + 1e7 + 1e8 + 1e9;
    EXPECT_NEAR(integration.resultLeq(), 10 * std::log10(energy / 4), 1e-9);
    EXPECT_NEAR(integration.resultSel(), 10 * std::log10(energy), 1e-9);
    EXPECT_EQ(integration.resultPeriod().text, "00:00:04");

    // Levels after the end are not counted; the result stays.
    integration.addSecond(140.0);
    EXPECT_NEAR(integration.resultSel(), 10 * std::log10(energy), 1e-9);
}

TEST(TimedIntegrationRun, ToggleStopsARunAndKeepsTheLastResult)
{
    TimedIntegration integration;
    integration.toggle(periodOf(1), 0);
    integration.addSecond(50.0);
    ASSERT_TRUE(integration.hasResult());

    ASSERT_TRUE(integration.toggle(periodOf(5), 0));
    integration.addSecond(100.0);
    EXPECT_FALSE(integration.toggle(periodOf(5), 0));
    EXPECT_EQ(integration.state(), TimedIntegration::State::Finished);
    EXPECT_NEAR(integration.resultLeq(), 50.0, 1e-9);

    // The next start counts from zero, not from the dropped run.
    ASSERT_TRUE(integration.toggle(periodOf(2), 0));
    integration.addSecond(70.0);
    integration.addSecond(70.0);
    EXPECT_NEAR(integration.resultLeq(), 70.0, 1e-9);
    EXPECT_NEAR(integration.resultSel(), 70.0 + 10 * std::log10(2.0), 1e-9);
}

TEST(TimedIntegrationRun, IdleIgnoresLevels)
{
    TimedIntegration integration;
    int changes = 0;
    QObject::connect(&integration, &TimedIntegration::changed, [&changes] { ++changes; });
    integration.addSecond(80.0);
    EXPECT_EQ(integration.state(), TimedIntegration::State::Idle);
    EXPECT_FALSE(integration.hasResult());
    EXPECT_EQ(changes, 0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
