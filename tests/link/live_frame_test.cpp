#include "link/LiveFrame.h"

#include <QLocale>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

struct FrameCase
{
    const char *name;
    QByteArray input;
    bool valid;
};

class FrameOfRead : public ::testing::TestWithParam<FrameCase>
{
};

TEST_P(FrameOfRead, OnlyTheLastSixBytesCount)
{
    EXPECT_EQ(FrameIsValid(LastSixBytes(GetParam().input)), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, FrameOfRead,
    ::testing::Values(
        FrameCase { "Exact", bytes({ 0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x03 }), true },
        FrameCase { "AfterNoise", bytes({ 0x41, 0x00, 0x03, 0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x03 }),
                    true },
        FrameCase { "AfterAnotherFrame",
                    bytes({ 0x02, 1, 2, 3, 4, 0x03, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x03 }), true },
        FrameCase { "TrailingByte", bytes({ 0x02, 0xAA, 0xBB, 0xCC, 0x03, 0x00 }), false },
        FrameCase { "SevenEndingZero", bytes({ 0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x03, 0x00 }), false },
        FrameCase { "NoStart", bytes({ 0x01, 0xAA, 0xBB, 0xCC, 0xDD, 0x03 }), false },
        FrameCase { "TooShort", bytes({ 0x02, 0xAA, 0xBB, 0x03 }), false },
        FrameCase { "Empty", QByteArray(), false }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FrameIsValid, WantsExactlySixBytes)
{
    EXPECT_FALSE(FrameIsValid(bytes({ 0x00, 0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x03 })));
}

struct RangeCase
{
    const char *name;
    int byte;
    int bottom;
    int top;
    bool over;
};

class RangeByte : public ::testing::TestWithParam<RangeCase>
{
};

TEST_P(RangeByte, SetsRangeAndOver)
{
    MeterReading reading;
    reading.RangeBottom = 11; // a previous range that index 6 and 7 keep
    reading.RangeTop = 77;
    reading.Over = true;
    DecodeRangeByte(uint8_t(GetParam().byte), reading);
    EXPECT_EQ(reading.RangeBottom, GetParam().bottom);
    EXPECT_EQ(reading.RangeTop, GetParam().top);
    EXPECT_EQ(reading.Over, GetParam().over);
}

INSTANTIATE_TEST_SUITE_P(Bytes, RangeByte,
                         ::testing::Values(RangeCase { "Index0", 0x00, 80, 140, false },
                                           RangeCase { "Index1", 0x01, 70, 130, false },
                                           RangeCase { "Index4", 0x04, 40, 100, false },
                                           RangeCase { "Index5Over", 0x85, 30, 90, true },
                                           RangeCase { "Index7KeepsRange", 0x07, 11, 77, false },
                                           RangeCase { "Index6OverKeepsRange", 0x86, 11, 77, true },
                                           RangeCase { "UnusedBitsIgnored", 0x78, 80, 140, false }),
                         [](const auto &info) { return std::string(info.param.name); });

struct ModeCase
{
    const char *name;
    int byte;
    const char *time;
    const char *freq;
    bool running, paused, stopped, under;
};

class ModeByte : public ::testing::TestWithParam<ModeCase>
{
};

TEST_P(ModeByte, SetsWeightingsAndFlags)
{
    const ModeCase &c = GetParam();
    MeterReading reading;
    reading.Running = reading.Paused = reading.Stopped = reading.Under = true;
    reading.TimeWeighting = QStringLiteral("old");
    DecodeModeByte(uint8_t(c.byte), reading);
    EXPECT_EQ(reading.TimeWeighting, QString::fromLatin1(c.time));
    EXPECT_EQ(reading.FreqWeighting, QString::fromLatin1(c.freq));
    EXPECT_EQ(reading.Running, c.running);
    EXPECT_EQ(reading.Paused, c.paused);
    EXPECT_EQ(reading.Stopped, c.stopped);
    EXPECT_EQ(reading.Under, c.under);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, ModeByte,
    ::testing::Values(ModeCase { "Zero", 0x00, "FAST", "A", false, false, false, false },
                      ModeCase { "SlowFilter", 0x61, "SLOW", "AA", false, false, false, false },
                      ModeCase { "AllSet", 0xFF, "", "AA", true, true, true, true },
                      ModeCase { "ImpC", 0x22, "IMP", "C", false, false, false, false },
                      ModeCase { "RunningZ", 0x44, "FAST", "Z", true, false, false, false },
                      ModeCase { "PausedOnly", 0x08, "FAST", "A", false, true, false, false },
                      ModeCase { "StoppedUnder", 0x90, "FAST", "A", false, false, true, true }),
    [](const auto &info) { return std::string(info.param.name); });

struct LevelCase
{
    const char *name;
    int high, low;
    double level;
    const char *text;
};

class LevelWord : public ::testing::TestWithParam<LevelCase>
{
};

TEST_P(LevelWord, SetsLevelAndText)
{
    MeterReading reading;
    DecodeLevel(uint8_t(GetParam().high), uint8_t(GetParam().low), reading);
    EXPECT_DOUBLE_EQ(reading.Level, GetParam().level);
    EXPECT_EQ(reading.LevelText, QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Bytes, LevelWord,
                         ::testing::Values(LevelCase { "Plain", 0x05, 0x5F, 137.5, "137.5" },
                                           LevelCase { "Marked", 0x85, 0x5F, 137.5, "137.5*" },
                                           LevelCase { "BelowOne", 0x00, 0x05, 0.5, ".5" },
                                           LevelCase { "Zero", 0x00, 0x00, 0.0, ".0" },
                                           LevelCase { "MarkedZero", 0x80, 0x00, 0.0, ".0*" },
                                           LevelCase { "Ten", 0x00, 0x0A, 1.0, "1.0" },
                                           LevelCase { "Highest", 0xFF, 0xFF, 3276.7, "3276.7*" },
                                           LevelCase { "HighestUnmarked", 0x7F, 0xFF, 3276.7,
                                                       "3276.7" }),
                         [](const auto &info) { return std::string(info.param.name); });


// Every value of the three one-byte (and one-word) fields: what no single
// case above can show, that no value decodes to something out of its range.
TEST(EveryValue, RangeBytesGiveOneOfTheSixRangesOrKeepTheLastOne)
{
    for (int byte = 0; byte < 256; ++byte) {
        MeterReading reading;
        reading.RangeBottom = 11;
        reading.RangeTop = 77;
        DecodeRangeByte(uint8_t(byte), reading);
        EXPECT_EQ(reading.Over, byte >= 0x80) << byte;
        if (byte % 8 >= 6) {
            EXPECT_EQ(reading.RangeBottom, 11) << byte;
            continue;
        }
        EXPECT_EQ(reading.RangeBottom, 80 - 10 * (byte % 8)) << byte;
        EXPECT_EQ(reading.RangeTop, reading.RangeBottom + 60) << byte;
    }
}

TEST(EveryValue, ModeBytesGiveKnownWeightingsAndIndependentFlags)
{
    const QStringList times { "FAST", "SLOW", "IMP", "" };
    const QStringList freqs { "A", "C", "Z", "AA" };
    for (int byte = 0; byte < 256; ++byte) {
        MeterReading reading;
        DecodeModeByte(uint8_t(byte), reading);
        EXPECT_TRUE(times.contains(reading.TimeWeighting)) << byte;
        EXPECT_TRUE(freqs.contains(reading.FreqWeighting)) << byte;
        const int flags = int(reading.Running) << 2 | int(reading.Paused) << 3
            | int(reading.Stopped) << 4 | int(reading.Under) << 7;
        EXPECT_EQ(flags, byte & 0x9C) << byte;
    }
}

TEST(EveryValue, LevelWordsReadBackFromTheirText)
{
    for (int word = 0; word < 0x10000; ++word) {
        MeterReading reading;
        DecodeLevel(uint8_t(word >> 8), uint8_t(word & 0xFF), reading);
        const bool marked = word >= 0x8000;
        QString text = reading.LevelText;
        ASSERT_EQ(text.endsWith(u'*'), marked) << word;
        if (marked)
            text.chop(1);
        bool ok = false;
        const double value = QLocale::c().toDouble(text, &ok);
        ASSERT_TRUE(ok) << word;
        ASSERT_EQ(qRound(value * 10), word & 0x7FFF) << word;
        ASSERT_EQ(qRound(reading.Level * 10), word & 0x7FFF) << word;
    }
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
