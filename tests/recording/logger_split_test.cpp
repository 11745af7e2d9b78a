#include "logger_test_sets.h"
#include "recording/LoggerSplit.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TestLoggerSet setOf(int records, int interval)
{
    TestLoggerSet set;
    set.interval = interval;
    set.records.assign(size_t(records), 700);
    for (int i = 0; i < records; ++i)
        set.records[size_t(i)] = uint16_t(600 + i % 400);
    return set;
}

TEST(LoggerBufferPreparation, DropsTheLeadingByteAndClosesWithAMarker)
{
    const QByteArray stream = loggerStream({ setOf(3, 1) });
    ASSERT_EQ(stream.size(), 65);
    const QByteArray prepared = PrepareLoggerBuffer(stream);
    EXPECT_EQ(prepared.size(), 68);
    EXPECT_EQ(prepared.left(64), setOf(3, 1).bytes());
    EXPECT_EQ(prepared.right(4), QByteArray::fromHex("0055AA00"));
}

TEST(LoggerBufferPreparation, EmptyAndOneByteStreamsHoldOnlyTheMarker)
{
    EXPECT_EQ(PrepareLoggerBuffer({}), QByteArray::fromHex("0055AA00"));
    EXPECT_EQ(PrepareLoggerBuffer(QByteArray(1, 'x')), QByteArray::fromHex("0055AA00"));
    EXPECT_TRUE(SplitLoggerBuffer(PrepareLoggerBuffer({})).sets.empty());
    EXPECT_EQ(SplitLoggerBuffer(PrepareLoggerBuffer({})).unreadBytes, 0);
}

TEST(LoggerSplit, OneSetOfThreeRecordsIsCutAs64Bytes)
{
    const LoggerSplit split
        = SplitLoggerBuffer(PrepareLoggerBuffer(loggerStream({ setOf(3, 60) })));
    ASSERT_EQ(split.sets.size(), 1u);
    EXPECT_EQ(split.sets[0].bytes, setOf(3, 60).bytes());
    EXPECT_EQ(split.sets[0].bytes.size(), 64);
    EXPECT_EQ(split.sets[0].interval, 60);
    EXPECT_EQ(split.sets[0].records, 3);
    EXPECT_EQ(split.unreadBytes, 0);
}

TEST(LoggerSplit, SeveralSetsKeepTheirOwnIntervalsAndLengths)
{
    const std::vector<TestLoggerSet> sets { setOf(1, 1), setOf(3, 60), setOf(10000, 300),
                                            setOf(2, 65535) };
    const LoggerSplit split = SplitLoggerBuffer(PrepareLoggerBuffer(loggerStream(sets)));
    ASSERT_EQ(split.sets.size(), sets.size());
    for (size_t i = 0; i < sets.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(split.sets[i].bytes, sets[i].bytes());
        EXPECT_EQ(split.sets[i].interval, sets[i].interval);
        EXPECT_EQ(split.sets[i].records, int(sets[i].records.size()));
    }
    EXPECT_EQ(split.unreadBytes, 0);
}

TEST(LoggerSplit, MarkerBytesAtAnOddPlaceInsideRecordsDoNotEndTheSet)
{
    // Records 0x5500 0xAA00 put 00 55 AA 00 one byte off the record grid.
    TestLoggerSet set = setOf(4, 1);
    set.records = { 0x0000, 0x55AA, 0x0000, 0x0300 };
    const LoggerSplit split = SplitLoggerBuffer(PrepareLoggerBuffer(loggerStream({ set })));
    ASSERT_EQ(split.sets.size(), 1u);
    EXPECT_EQ(split.sets[0].records, 4);
}

TEST(LoggerSplit, ASetAlwaysHasAtLeastOneRecord)
{
    // A 58-byte set with no record runs on into the next set.
    TestLoggerSet empty = setOf(0, 1);
    const LoggerSplit split
        = SplitLoggerBuffer(PrepareLoggerBuffer(loggerStream({ empty, setOf(2, 1) })));
    ASSERT_EQ(split.sets.size(), 1u);
    EXPECT_EQ(split.sets[0].bytes.size(), 58 + 62);
    EXPECT_EQ(split.unreadBytes, 0);
}

struct MalformedCase
{
    const char *name;
    QByteArray stream;
    size_t sets;
    qsizetype unread;
    bool tooMany;
};

void PrintTo(const MalformedCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerSplitMalformed : public testing::TestWithParam<MalformedCase>
{
};

TEST_P(LoggerSplitMalformed, CutsWhatCanBeCutAndCountsTheRest)
{
    const MalformedCase &c = GetParam();
    const LoggerSplit split = SplitLoggerBuffer(PrepareLoggerBuffer(c.stream));
    EXPECT_EQ(split.sets.size(), c.sets);
    EXPECT_EQ(split.unreadBytes, c.unread);
    EXPECT_EQ(split.tooManySets, c.tooMany);
    qsizetype cut = 0;
    for (const LoggerSetEntry &entry : split.sets)
        cut += entry.bytes.size();
    EXPECT_EQ(cut + split.unreadBytes, std::max<qsizetype>(0, c.stream.size() - 1));
}

std::vector<TestLoggerSet> manySets(int count)
{
    return std::vector<TestLoggerSet>(size_t(count), setOf(1, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LoggerSplitMalformed,
    testing::Values(
        MalformedCase { "TwoLeadingBytes", QByteArray("xy") + setOf(3, 1).bytes(), 1, 1, false },
        MalformedCase { "NoMarkerAtAll", QByteArray(300, 'z'), 0, 299, false },
        // One stray byte at the end puts the closing marker off the record grid.
        MalformedCase { "EndMarkerNeverComes",
                        loggerStream({ setOf(2, 1), setOf(3, 1) }) + QByteArray(1, 'q'), 1, 65,
                        false },
        MalformedCase { "TruncatedInsideTheHeader", loggerStream({ setOf(2, 1) }).left(6), 0, 5,
                        false },
        MalformedCase { "ExactlyTheLimit", loggerStream(manySets(255)), 255, 0, false },
        MalformedCase { "OneSetTooMany", loggerStream(manySets(256)), 255, 60, true },
        MalformedCase { "FarTooMany", loggerStream(manySets(300)), 255, 45 * 60, true }),
    [](const testing::TestParamInfo<MalformedCase> &info) { return info.param.name; });

TEST(LoggerSplit, RandomBytesNeverReadOutOfBounds)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        QByteArray stream(int(random() % 5000), Qt::Uninitialized);
        for (char &b : stream)
            b = char(random() % 4 == 0 ? (random() % 2 ? 0x00 : 0x55) : random());
        // Sprinkle real markers so that some sets get cut.
        for (int m = 0; m < 5 && stream.size() > 8; ++m)
            stream.replace(int(random() % (stream.size() - 4)), 4, QByteArray::fromHex("0055AA00"));
        const LoggerSplit split = SplitLoggerBuffer(PrepareLoggerBuffer(stream));
        qsizetype cut = 0;
        for (const LoggerSetEntry &entry : split.sets) {
            EXPECT_GE(entry.bytes.size(), 60);
            EXPECT_EQ(entry.bytes.left(4), QByteArray::fromHex("0055AA00"));
            cut += entry.bytes.size();
        }
        EXPECT_EQ(cut + split.unreadBytes, std::max<qsizetype>(0, stream.size() - 1));
    }
}

TEST(LoggerSplit, AnIncompleteStreamKeepsOnlyTheSetsWhoseEndArrived)
{
    const QByteArray whole = loggerStream({ setOf(3, 1), setOf(5, 2), setOf(7, 3) });
    // Cut in the middle of the third set: its records are there, its end is not.
    const QByteArray partial = whole.left(1 + 64 + 68 + 70);
    const LoggerSplit split = SplitIncompleteLoggerStream(partial);
    ASSERT_EQ(split.sets.size(), 2u);
    EXPECT_EQ(split.sets[1].bytes, setOf(5, 2).bytes());
    EXPECT_EQ(split.unreadBytes, 70);
    // Closing a partial stream with a marker would have cut a false third set.
    EXPECT_EQ(SplitLoggerBuffer(PrepareLoggerBuffer(partial)).sets.size(), 3u);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
