#include "logger_test_sets.h"
#include "recording/LoggerSetDecoding.h"

#include <gtest/gtest.h>

namespace {

TEST(LoggerSetDecoding, ThreeRecordsGetStartPlusIntervalTimesAndTheirLevels)
{
    TestLoggerSet set;
    set.interval = 60;
    set.records = { 853, 0x8000 | 1375, 5 };
    const auto view = DecodeLoggerSet(set.bytes(), 2026);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->records, 3);
    EXPECT_EQ(view->interval, 60);
    EXPECT_EQ(view->numbers, (QVector<QString> { "1", "2", "3" }));
    EXPECT_EQ(
        view->times,
        (QVector<QString> { "2013/03/04 08:00:00", "2013/03/04 08:01:00", "2013/03/04 08:02:00" }));
    EXPECT_EQ(view->levels, (QVector<QString> { "85.3", "137.5*", ".5" }));
}

TEST(LoggerSetDecoding, BoardsComeFromTheTrailingStampsAndLevels)
{
    TestLoggerSet set;
    set.mode = 0x01; // SLOW, A
    set.range = 0x02; // 60-120
    set.stamps[2] = { 0x59, 0x30, 0x17, 0x31, 0x12, 0x99 };
    set.stamps[4] = { 0x07, 0x06, 0x05, 0x04, 0x03, 0x02 };
    set.levels = { 851, 899, 0x8000 | 852, 1, 1003, 1200, 1100, 1000, 900, 800 };
    const auto view = DecodeLoggerSet(set.bytes(), 2026);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->BoardCA, "A");
    EXPECT_EQ(view->BoardSFI, "SLOW");
    EXPECT_EQ(view->BoardLevel, "60-120");
    EXPECT_EQ(view->BoardLeq, "85.1");
    EXPECT_EQ(view->BoardSEL, "89.9");
    EXPECT_EQ(view->BoardMaxdB, "85.2*");
    EXPECT_EQ(view->BoardMaxTime, "2099/12/31 17:30:59");
    EXPECT_EQ(view->BoardPeakdB, "100.3");
    EXPECT_EQ(view->BoardPeakTime, "2002/03/04 05:06:07");
    EXPECT_EQ(view->Board05, "120.0");
    EXPECT_EQ(view->Board10, "110.0");
    EXPECT_EQ(view->Board50, "100.0");
    EXPECT_EQ(view->Board90, "90.0");
    EXPECT_EQ(view->Board95, "80.0");
}

struct WeightingCase
{
    const char *name;
    uint8_t mode;
    uint8_t range;
    const char *ca;
    const char *sfi;
    const char *level;
};

void PrintTo(const WeightingCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerSetSettings : public testing::TestWithParam<WeightingCase>
{
};

TEST_P(LoggerSetSettings, ModeAndRangeBytesGiveTheBoards)
{
    TestLoggerSet set;
    set.mode = GetParam().mode;
    set.range = GetParam().range;
    const auto view = DecodeLoggerSet(set.bytes(), 2026);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->BoardCA, GetParam().ca);
    EXPECT_EQ(view->BoardSFI, GetParam().sfi);
    EXPECT_EQ(view->BoardLevel, GetParam().level);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, LoggerSetSettings,
    testing::Values(WeightingCase { "FilterShowsItsName", 0x61, 0x00, "20-200Hz Filter", "SLOW",
                                    "80-140" },
                    WeightingCase { "CWeightingImpulse", 0x22, 0x05, "C", "IMP", "30-90" },
                    WeightingCase { "ZWeightingNoTimeWeighting", 0x43, 0x83, "Z", "", "50-110" },
                    WeightingCase { "UnusedRangeIndexLeavesZero", 0x00, 0x07, "A", "FAST", "0-0" }),
    [](const testing::TestParamInfo<WeightingCase> &info) { return info.param.name; });

struct PercentileCase
{
    const char *name;
    uint8_t range;
    uint16_t word;
    const char *shown;
};

void PrintTo(const PercentileCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerSetPercentiles : public testing::TestWithParam<PercentileCase>
{
};

TEST_P(LoggerSetPercentiles, ShownOnlyAboveRangeBottomMinusFive)
{
    TestLoggerSet set;
    set.range = GetParam().range;
    for (int i = 5; i < 10; ++i)
        set.levels[size_t(i)] = GetParam().word;
    const auto view = DecodeLoggerSet(set.bytes(), 2026);
    ASSERT_TRUE(view);
    for (const QString &board :
         { view->Board05, view->Board10, view->Board50, view->Board90, view->Board95 })
        EXPECT_EQ(board, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LoggerSetPercentiles,
    testing::Values(PercentileCase { "AtBottomMinusFive", 0x00, 750, "- - -" },
                    PercentileCase { "JustAbove", 0x00, 751, "75.1" },
                    PercentileCase { "Zero", 0x05, 0, "- - -" },
                    PercentileCase { "LowRangeJustAbove", 0x05, 251, "25.1" },
                    PercentileCase { "MarkedCountsWithoutItsMarker", 0x00, 0x8000 | 751, "75.1*" },
                    PercentileCase { "MarkedBelow", 0x00, 0x8000 | 700, "- - -" }),
    [](const testing::TestParamInfo<PercentileCase> &info) { return info.param.name; });

TEST(LoggerStampText, BcdBytesReadAsDecimalWithThePcCentury)
{
    const char stamp[6] = { 0x00, 0x00, 0x08, 0x04, 0x03, 0x13 };
    EXPECT_EQ(LoggerStampText(stamp, 2026), "2013/03/04 08:00:00");
    EXPECT_EQ(LoggerStampText(stamp, 1999), "1913/03/04 08:00:00");
    const char odd[6] = { char(0xAB), 0x5, 0x0, 0x1F, 0x0, char(0xFF) };
    EXPECT_EQ(LoggerStampText(odd, 2026), "20FF/00/1F 00:05:AB");
}

struct TimeCase
{
    const char *name;
    std::array<uint8_t, 6> start;
    int interval;
    int records;
    const char *last;
};

void PrintTo(const TimeCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerSetTimes : public testing::TestWithParam<TimeCase>
{
};

TEST_P(LoggerSetTimes, LastRecordTime)
{
    TestLoggerSet set;
    set.interval = GetParam().interval;
    set.stamps[0] = GetParam().start;
    set.records.assign(size_t(GetParam().records), 600);
    const auto view = DecodeLoggerSet(set.bytes(), 2026);
    ASSERT_TRUE(view);
    ASSERT_EQ(view->times.size(), GetParam().records);
    EXPECT_EQ(view->times.last(), GetParam().last);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, LoggerSetTimes,
    testing::Values(
        TimeCase {
            "PastMidnight", { 0x30, 0x59, 0x23, 0x04, 0x03, 0x13 }, 60, 2, "2013/03/05 00:00:30" },
        TimeCase { "PastLeapDay",
                   { 0x00, 0x00, 0x12, 0x28, 0x02, 0x24 },
                   43200,
                   5,
                   "2024/03/01 12:00:00" },
        TimeCase {
            "PastNewYear", { 0x59, 0x59, 0x23, 0x31, 0x12, 0x13 }, 1, 2, "2014/01/01 00:00:00" },
        TimeCase { "TenThousandSeconds",
                   { 0x00, 0x00, 0x00, 0x01, 0x01, 0x20 },
                   1,
                   10000,
                   "2020/01/01 02:46:39" },
        TimeCase { "LongestInterval",
                   { 0x00, 0x00, 0x00, 0x01, 0x01, 0x20 },
                   65535,
                   3,
                   "2020/01/02 12:24:30" }),
    [](const testing::TestParamInfo<TimeCase> &info) { return info.param.name; });

TEST(LoggerSetDecoding, AStartStampThatIsNoDateKeepsItsTextForEveryRecord)
{
    TestLoggerSet set;
    set.stamps[0] = { 0x00, 0x00, 0x08, 0x31, 0x02, 0x13 }; // 31 February
    const auto view = DecodeLoggerSet(set.bytes(), 2026);
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->startTimeValid);
    EXPECT_EQ(view->times, (QVector<QString>(3, "2013/02/31 08:00:00")));
}

TEST(LoggerSetDecoding, BytesThatHoldNoWholeSetAreRefused)
{
    const QByteArray good = TestLoggerSet().bytes();
    EXPECT_FALSE(DecodeLoggerSet(QByteArray(), 2026));
    EXPECT_FALSE(DecodeLoggerSet(good.left(58), 2026));
    EXPECT_FALSE(DecodeLoggerSet(good + 'x', 2026));
    QByteArray noMarker = good;
    noMarker[1] = 0x56;
    EXPECT_FALSE(DecodeLoggerSet(noMarker, 2026));
}

TEST(LoggerSetDecoding, ProgressEndsWithTheExactCount)
{
    TestLoggerSet set;
    set.records.assign(20000, 700);
    std::vector<int> reported;
    DecodeLoggerSet(set.bytes(), 2026, [&](int j, int k) {
        EXPECT_EQ(k, 20000);
        reported.push_back(j);
    });
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), 20000);
    EXPECT_LT(reported.size(), 100u);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
