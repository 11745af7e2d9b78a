// Drives the emulator binary over its pseudo-terminal, as the program would.
#include "EmulatorProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <memory>
#include <sys/wait.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr double HoldTime = 0.5;

struct Meter
{
    explicit Meter(std::vector<std::string> arguments = {})
        : process(std::move(arguments))
    {
        EXPECT_TRUE(process.waitForLink());
        line = std::make_unique<MeterLine>(process.linkPath());
        EXPECT_TRUE(line->isOpen());
    }

    // Sends "A" until the acknowledgement comes, as the keypad does.
    bool handshake() const
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            line->discard();
            line->send("A");
            const Bytes reply = line->readAtLeast(6, 0.2);
            if (reply.size() >= 6
                && Bytes(reply.end() - 6, reply.end()) == Bytes { 2, 0xFF, 0xFF, 0xFF, 0xFF, 3 })
                return true;
        }
        return false;
    }

    // The logger end V from the second "A" of a download.
    std::uint32_t loggerEnd() const
    {
        line->discard();
        line->send("A");
        line->readAtLeast(6, 0.1);
        line->send("A");
        const Bytes reply = line->readAtLeast(3, 0.1);
        if (reply.size() != 3)
            return 0;
        return reply[0] << 16 | reply[1] << 8 | reply[2];
    }

    // The first live frame after the hold that follows a command.
    Bytes frameAfterHold() const
    {
        line->discard();
        return line->nextFrame(HoldTime + 0.6);
    }

    EmulatorProcess process;
    std::unique_ptr<MeterLine> line;
};

int rangeIndex(const Bytes &frame)
{
    return frame.at(1) & 0x07;
}
int timeIndex(const Bytes &frame)
{
    return frame.at(2) & 0x03;
}
int freqIndex(const Bytes &frame)
{
    return frame.at(2) >> 5 & 0x03;
}

} // namespace

TEST(MeterEmulatorLine, StreamsValidFramesEveryTenthOfASecond)
{
    Meter meter({ "--level", "65.3", "--range", "3" });
    meter.line->discard();
    std::vector<double> arrivals;
    const double end = secondsNow() + 2.0;
    while (secondsNow() < end) {
        const Bytes frame = meter.line->nextFrame(0.3);
        ASSERT_EQ(frame.size(), 6u);
        arrivals.push_back(secondsNow());
        EXPECT_EQ(frame, (Bytes { 0x02, 0x03, 0x04, 0x02, 0x8D, 0x03 }));
    }
    ASSERT_GE(arrivals.size(), 18u);
    ASSERT_LE(arrivals.size(), 22u);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        gaps.push_back(arrivals[i] - arrivals[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    EXPECT_NEAR(gaps[gaps.size() / 2], 0.1, 0.01);
}

TEST(MeterEmulatorLine, FirstAAcknowledgesSecondGivesLoggerEndAndStreamIsHeld)
{
    Meter meter({ "--set", "records=3" });
    meter.line->discard();
    meter.line->send("A");
    const double acknowledged = secondsNow();
    EXPECT_EQ(meter.line->readAtLeast(6, 0.1), (Bytes { 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x03 }));
    meter.line->send("A");
    EXPECT_EQ(meter.line->readAtLeast(3, 0.1), (Bytes { 0x00, 0x00, 0x6F }));
    // Nothing else until the command state is over, one second after the acknowledgement.
    EXPECT_TRUE(meter.line->readFor(0.85).empty());
    EXPECT_EQ(meter.line->nextFrame(0.5).size(), 6u);
    EXPECT_NEAR(secondsNow() - acknowledged, 1.0, 0.1);
    // Out of the command state "A" acknowledges again.
    meter.line->send("A");
    EXPECT_EQ(meter.line->readAtLeast(6, 0.1), (Bytes { 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x03 }));
}

TEST(MeterEmulatorLine, AnyReceivedByteHoldsTheStreamForHalfASecond)
{
    Meter meter;
    meter.line->nextFrame(0.5);
    meter.line->send("Z"); // no command: still holds
    const double sent = secondsNow();
    EXPECT_EQ(meter.line->nextFrame(1.0).size(), 6u);
    EXPECT_NEAR(secondsNow() - sent, HoldTime, 0.06);
}

struct KeyCase
{
    const char *name;
    std::vector<std::string> arguments;
    std::uint8_t code;
    int range;
    int time;
    int freq;
    bool paused;
};

void PrintTo(const KeyCase &row, std::ostream *out)
{
    *out << row.name;
}

class MeterEmulatorKeys : public ::testing::TestWithParam<KeyCase>
{
};

TEST_P(MeterEmulatorKeys, KeyFrameChangesTheDisplay)
{
    const KeyCase &row = GetParam();
    Meter meter(row.arguments);
    ASSERT_TRUE(meter.handshake());
    meter.line->send(Bytes { 'K', 0x00, 0x00, row.code });
    const Bytes frame = meter.frameAfterHold();
    ASSERT_EQ(frame.size(), 6u);
    EXPECT_EQ(rangeIndex(frame), row.range);
    EXPECT_EQ(timeIndex(frame), row.time);
    EXPECT_EQ(freqIndex(frame), row.freq);
    EXPECT_EQ((frame[3] & 0x80) != 0, row.paused);
    EXPECT_EQ((frame[2] & 0x08) != 0, row.paused);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, MeterEmulatorKeys,
    ::testing::Values(KeyCase { "AC", {}, 1, 3, 0, 1, false },
                      KeyCase { "AC_back_to_A", { "--freq", "C" }, 1, 3, 0, 0, false },
                      KeyCase { "FastSlow", {}, 2, 3, 1, 0, false },
                      KeyCase { "ImpToFast", { "--time", "imp" }, 2, 3, 0, 0, false },
                      KeyCase { "RunToPause", {}, 5, 3, 0, 0, true },
                      KeyCase { "PauseToStop", { "--state", "pause" }, 5, 3, 0, 0, false },
                      KeyCase { "Up", {}, 9, 2, 0, 0, false },
                      KeyCase { "UpAtTop", { "--range", "0" }, 9, 0, 0, 0, false },
                      KeyCase { "Down", {}, 10, 4, 0, 0, false },
                      KeyCase { "DownAtBottom", { "--range", "5" }, 10, 5, 0, 0, false },
                      KeyCase { "LeqSelSplKeepsFrame", {}, 3, 3, 0, 0, false }),
    [](const auto &info) { return std::string(info.param.name); });

struct LetterCase
{
    const char *name;
    std::vector<std::string> arguments;
    std::string letters;
    int range;
    int time;
    int freq;
};

void PrintTo(const LetterCase &row, std::ostream *out)
{
    *out << row.name;
}

class MeterEmulatorLetters : public ::testing::TestWithParam<LetterCase>
{
};

TEST_P(MeterEmulatorLetters, SettingLettersChangeTheStateWithoutReply)
{
    const LetterCase &row = GetParam();
    Meter meter(row.arguments);
    meter.line->discard();
    for (char letter : row.letters) {
        meter.line->send(std::string(1, letter));
        // No answer of any kind: the stream is held.
        EXPECT_TRUE(meter.line->readFor(0.05).empty()) << letter;
    }
    const Bytes frame = meter.frameAfterHold();
    ASSERT_EQ(frame.size(), 6u);
    EXPECT_EQ(rangeIndex(frame), row.range);
    EXPECT_EQ(timeIndex(frame), row.time);
    EXPECT_EQ(freqIndex(frame), row.freq);
}

INSTANTIATE_TEST_SUITE_P(
    Letters, MeterEmulatorLetters,
    ::testing::Values(LetterCase { "G_A_to_C", {}, "G", 3, 0, 1 },
                      LetterCase { "G_thrice_to_filter", {}, "GGG", 3, 0, 3 },
                      LetterCase { "G_four_times_back_to_A", {}, "GGGG", 3, 0, 0 },
                      LetterCase { "D_to_Slow", {}, "D", 3, 1, 0 },
                      LetterCase { "D_thrice_back_to_Fast", {}, "DDD", 3, 0, 0 },
                      LetterCase { "E_range_up", {}, "E", 2, 0, 0 },
                      LetterCase { "E_stops_at_0", { "--range", "1" }, "EEE", 0, 0, 0 },
                      LetterCase { "F_range_down", {}, "F", 4, 0, 0 },
                      LetterCase { "F_stops_at_5", {}, "FFFF", 5, 0, 0 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MeterEmulatorLine, ClockReadsBcdAndCanBeSet)
{
    Meter meter;
    meter.line->discard();
    meter.line->send("I");
    Bytes clock = meter.line->readAtLeast(6, 0.1);
    ASSERT_EQ(clock.size(), 6u);
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    const auto bcd
        = [](int value) { return static_cast<std::uint8_t>(value / 10 << 4 | value % 10); };
    EXPECT_EQ(clock[5], bcd(local.tm_year % 100));
    EXPECT_EQ(clock[4], bcd(local.tm_mon + 1));
    EXPECT_EQ(clock[2] >> 4, local.tm_hour / 10);

    meter.line->send(Bytes { 'B', 0x09, 0x05, 0x08, 0x13, 0x03, 0x13 });
    sleepSeconds(0.05);
    meter.line->send("I");
    clock = meter.line->readAtLeast(6, 0.1);
    ASSERT_EQ(clock.size(), 6u);
    EXPECT_EQ(Bytes(clock.begin() + 1, clock.end()), (Bytes { 0x05, 0x08, 0x13, 0x03, 0x13 }));
    EXPECT_GE(clock[0], 0x09);
    EXPECT_LE(clock[0], 0x10);

    // Not a time: the clock keeps running as it was set.
    meter.line->send(Bytes { 'B', 0x1A, 0x05, 0x08, 0x13, 0x03, 0x13 });
    sleepSeconds(0.05);
    meter.line->send("I");
    clock = meter.line->readAtLeast(6, 0.1);
    ASSERT_EQ(clock.size(), 6u);
    EXPECT_EQ(clock[2], 0x08);
    EXPECT_EQ(clock[5], 0x13);
}

TEST(MeterEmulatorLine, IntervalIsReadAndSet)
{
    Meter meter({ "--interval", "2" });
    meter.line->discard();
    meter.line->send("J");
    EXPECT_EQ(meter.line->readAtLeast(2, 0.1), (Bytes { 0x00, 0x02 }));
    meter.line->send(Bytes { 'C', 0x00, 0xFF });
    EXPECT_TRUE(meter.line->readFor(0.05).empty());
    meter.line->send("J");
    EXPECT_EQ(meter.line->readAtLeast(2, 0.1), (Bytes { 0x00, 0xFF }));
}

TEST(MeterEmulatorLine, MemorySizeInUnitsOf64KiB)
{
    Meter standard;
    standard.line->discard();
    standard.line->send("L");
    EXPECT_EQ(standard.line->readAtLeast(3, 0.1), (Bytes { 0x00, 0x04, 0x00 }));
    Meter small({ "--memory-units", "1" });
    small.line->discard();
    small.line->send("L");
    EXPECT_EQ(small.line->readAtLeast(3, 0.1), (Bytes { 0x00, 0x01, 0x00 }));
}

TEST(MeterEmulatorLine, LoggerStreamCarriesTheSetsInTheirLayout)
{
    Meter meter({ "--set",
                  "levels=60/70/80*,interval=2,freq=AA,time=slow,range=2,"
                  "start=2026-03-13T08:05:09",
                  "--set", "records=1,level=50,spread=0,start=2026-03-13T09:00:00" });
    const std::uint32_t end = meter.loggerEnd();
    EXPECT_EQ(end, 47u + 64 + 60);
    meter.line->send("K");
    const Bytes stream = meter.line->readAtLeast(end - 46, 1.0);
    ASSERT_EQ(stream.size(), end - 46);
    EXPECT_TRUE(meter.line->readFor(0.3).empty()); // exactly that many

    const Bytes first(stream.begin() + 1, stream.begin() + 65);
    const Bytes expected = {
        0x00, 0x55, 0xAA, 0x00, 0x00, 0x02, 0x61, 0x02, // marker, interval, mode, range
        0x02, 0x58, 0x02, 0xBC, 0x83, 0x20, // 60.0, 70.0, 80.0*
        0x09, 0x05, 0x08, 0x13, 0x03, 0x26, // start
        0x15, 0x05, 0x08, 0x13, 0x03, 0x26, // end, three records of 2 s
        0x13, 0x05, 0x08, 0x13, 0x03, 0x26, // maximum at the third record
        0x09, 0x05, 0x08, 0x13, 0x03, 0x26, // minimum at the first
        0x13, 0x05, 0x08, 0x13, 0x03, 0x26, // peak
        0x02, 0xF5, 0x03, 0x43, 0x03, 0x20, 0x02, 0x58, // Leq 75.7, SEL 83.5, max 80.0, min 60.0
        0x03, 0x3E, 0x03, 0x20, 0x03, 0x20, 0x02, 0xBC, // peak 83.0, L05 80.0, L10 80.0, L50 70.0
        0x02, 0x58, 0x02, 0x58
    }; // L90 60.0, L95 60.0
    EXPECT_EQ(first, expected);
    const Bytes second(stream.begin() + 65, stream.end());
    ASSERT_EQ(second.size(), 60u);
    EXPECT_EQ(Bytes(second.begin(), second.begin() + 10),
              (Bytes { 0x00, 0x55, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x03, 0x01, 0xF4 }));
}

TEST(MeterEmulatorLine, OneSetOfThreeRecordsGivesEnd111AndSixtyFiveBytes)
{
    Meter meter({ "--set", "records=3,interval=1,level=65.0,filter" });
    EXPECT_EQ(meter.loggerEnd(), 111u);
    meter.line->send("K");
    const double asked = secondsNow();
    const Bytes stream = meter.line->readAtLeast(65, 1.0);
    const double took = secondsNow() - asked;
    ASSERT_EQ(stream.size(), 65u);
    EXPECT_EQ(Bytes(stream.begin() + 1, stream.begin() + 5), (Bytes { 0x00, 0x55, 0xAA, 0x00 }));
    EXPECT_EQ(stream[7], 0x60); // filter, FAST
    // Paced at the line speed: 65 bytes take 17 ms, after the 30 ms wait for key bytes.
    EXPECT_GE(took, 0.03 + 0.015);
}

TEST(MeterEmulatorLine, EraseEmptiesTheMemory)
{
    Meter meter({ "--set", "records=5" });
    EXPECT_EQ(meter.loggerEnd(), 47u + 68);
    meter.line->send("H");
    EXPECT_TRUE(meter.line->readFor(0.05).empty());
    EXPECT_EQ(meter.loggerEnd(), 48u);
}

TEST(MeterEmulatorLine, LoggerStreamIsPacedAtTheLineSpeed)
{
    // 61 sets of 29 records: 1 + 61 * 116 = 7077 bytes, 1.84 s at 3840 bytes/s.
    std::vector<std::string> arguments;
    for (int i = 0; i < 61; ++i)
        arguments.insert(arguments.end(), { "--set", "records=29" });
    Meter meter(arguments);
    const std::uint32_t end = meter.loggerEnd();
    ASSERT_EQ(end - 46, 7077u);
    meter.line->send("K");
    const double asked = secondsNow();
    const Bytes stream = meter.line->readAtLeast(7077, 4.0);
    ASSERT_EQ(stream.size(), 7077u);
    EXPECT_NEAR(secondsNow() - asked - 0.03, 7077 / 3840.0, 0.05);
}

TEST(MeterEmulatorLine, PauseMarksTheLevelWord)
{
    Meter meter({ "--level", "137.5" });
    meter.line->discard();
    EXPECT_EQ(meter.line->nextFrame(0.3), (Bytes { 0x02, 0x83, 0x04, 0x05, 0x5F, 0x03 }));
    meter.process.control("pause");
    sleepSeconds(0.15);
    meter.line->discard();
    EXPECT_EQ(meter.line->nextFrame(0.3), (Bytes { 0x02, 0x83, 0x08, 0x85, 0x5F, 0x03 }));
    meter.process.control("stop");
    sleepSeconds(0.15);
    meter.line->discard();
    EXPECT_EQ(meter.line->nextFrame(0.3), (Bytes { 0x02, 0x83, 0x10, 0x05, 0x5F, 0x03 }));
}

struct RangeFlagCase
{
    const char *name;
    std::vector<std::string> arguments;
    std::uint8_t rangeByte;
    std::uint8_t modeByte;
};

void PrintTo(const RangeFlagCase &row, std::ostream *out)
{
    *out << row.name;
}

class MeterEmulatorRangeFlags : public ::testing::TestWithParam<RangeFlagCase>
{
};

TEST_P(MeterEmulatorRangeFlags, OverAndUnderFollowTheLevelOrAreForced)
{
    const RangeFlagCase &row = GetParam();
    Meter meter(row.arguments);
    meter.line->discard();
    const Bytes frame = meter.line->nextFrame(0.3);
    ASSERT_EQ(frame.size(), 6u);
    EXPECT_EQ(frame[1], row.rangeByte);
    EXPECT_EQ(frame[2], row.modeByte);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, MeterEmulatorRangeFlags,
    ::testing::Values(
        RangeFlagCase { "Inside", { "--level", "110" }, 0x03, 0x04 },
        RangeFlagCase { "Above", { "--level", "110.1" }, 0x83, 0x04 },
        RangeFlagCase { "Below", { "--level", "49.9" }, 0x03, 0x84 },
        RangeFlagCase { "ForcedOver", { "--over", "on" }, 0x83, 0x04 },
        RangeFlagCase { "OverSuppressed", { "--level", "130", "--over", "off" }, 0x03, 0x04 },
        RangeFlagCase { "ForcedUnder", { "--under", "on", "--freq", "Z" }, 0x03, 0xC4 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MeterEmulatorFaults, BrokenFramesEndWithTheWrongByte)
{
    Meter meter;
    meter.line->nextFrame(0.3);
    meter.process.control("broken 3");
    const Bytes bytes = meter.line->readAtLeast(30, 1.0);
    ASSERT_GE(bytes.size(), 30u);
    for (std::size_t i = 0; i < 30; i += 6) {
        EXPECT_EQ(bytes[i], 0x02);
        EXPECT_EQ(bytes[i + 5], i < 18 ? 0x00 : 0x03) << "frame " << i / 6;
    }
}

TEST(MeterEmulatorFaults, ShortRepliesLoseTheirLastByte)
{
    Meter meter({ "--short-replies", "--set", "records=3" });
    meter.line->discard();
    meter.line->send("A");
    EXPECT_EQ(meter.line->readFor(0.1), (Bytes { 0x02, 0xFF, 0xFF, 0xFF, 0xFF }));
    meter.line->send("A");
    EXPECT_EQ(meter.line->readFor(0.1), (Bytes { 0x00, 0x00 }));
    meter.process.control("short-replies off");
    sleepSeconds(0.05);
    meter.line->send("L");
    EXPECT_EQ(meter.line->readFor(0.1), (Bytes { 0x00, 0x04, 0x00 }));
}

TEST(MeterEmulatorFaults, SilenceGarbageAndStalledStream)
{
    Meter meter({ "--set", "records=100" });
    meter.process.control("silent 0.6");
    sleepSeconds(0.05);
    meter.line->discard();
    EXPECT_TRUE(meter.line->readFor(0.45).empty());
    EXPECT_EQ(meter.line->nextFrame(0.4).size(), 6u);

    meter.process.control("garbage 20");
    const Bytes garbage = meter.line->readFor(0.08);
    EXPECT_GE(garbage.size(), 20u);

    meter.process.control("stall-logger-after 10");
    sleepSeconds(0.05);
    EXPECT_EQ(meter.loggerEnd(), 47u + 258);
    meter.line->send("K");
    EXPECT_EQ(meter.line->readFor(0.4).size(), 10u);
}

TEST(MeterEmulatorFaults, UnplugRemovesTheLinkAndComesBack)
{
    Meter meter;
    meter.process.control("unplug 1");
    EXPECT_TRUE(meter.line->deviceGone(0.5));
    EXPECT_FALSE(meter.process.linkExists());
    const double unplugged = secondsNow();
    ASSERT_TRUE(meter.process.waitForLink(2.0));
    EXPECT_NEAR(secondsNow() - unplugged, 1.0, 0.2);
    MeterLine again(meter.process.linkPath());
    ASSERT_TRUE(again.isOpen());
    EXPECT_EQ(again.nextFrame(0.5).size(), 6u);
}

TEST(MeterEmulatorLine, RecordsWhatItReceived)
{
    Meter meter;
    ASSERT_TRUE(meter.handshake());
    meter.line->send(Bytes { 'K', 0x00, 0x00, 0x0A });
    sleepSeconds(0.1);
    std::ifstream record(meter.process.recordPath());
    std::string line;
    std::string last;
    int count = 0;
    while (std::getline(record, line)) {
        last = line;
        ++count;
    }
    ASSERT_GE(count, 2);
    EXPECT_EQ(last.substr(last.find(' ') + 1), "4B 00 00 0A");
    EXPECT_NE(last.find('.'), std::string::npos);
}

TEST(MeterEmulatorLine, ProgramClosingThePortCostsNoCpu)
{
    Meter meter;
    meter.line.reset();
    for (int i = 0; i < 3; ++i) {
        MeterLine briefly(meter.process.linkPath());
        briefly.send("I");
        sleepSeconds(0.05);
    }
    const double before = meter.process.cpuSeconds();
    sleepSeconds(1.0);
    EXPECT_LT(meter.process.cpuSeconds() - before, 0.05);
}

TEST(MeterEmulatorLine, StopRemovesLinkAndControl)
{
    EmulatorProcess process;
    ASSERT_TRUE(process.waitForLink());
    const int status = process.stop();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(process.linkExists());
    std::ifstream control(process.linkPath() + ".control");
    EXPECT_FALSE(control.good());
}
