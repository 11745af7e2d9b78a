#include "analysis/LevelText.h"
#include "analysis/ListDistribution.h"
#include "platform/ReadingRows.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <random>

namespace {

QVector<QString> repeated(const QString &text, int times)
{
    return QVector<QString>(times, text);
}

TEST(LevelText, KindsAndValues)
{
    struct Case
    {
        const char *text;
        LevelKind kind;
        double value;
    };
    const Case cases[] = {
        { "65.3", LevelKind::Ordinary, 65.3 },    { "  70.1", LevelKind::Ordinary, 70.1 },
        { "65,3", LevelKind::Damaged, 0.0 },     { "abc", LevelKind::Ordinary, 0.0 },
        { "", LevelKind::Ordinary, 0.0 },         { "144.9", LevelKind::Ordinary, 144.9 },
        { "--", LevelKind::UnderRange, 25.0 },    { "-30.0", LevelKind::UnderRange, 25.0 },
        { "L", LevelKind::OverRange, 145.0 },     { "12L", LevelKind::OverRange, 145.0 },
        { "150.2", LevelKind::OverRange, 145.0 }, { "145", LevelKind::OverRange, 145.0 },
        { "1e3", LevelKind::OverRange, 145.0 },   { "1e999", LevelKind::OverRange, 145.0 },
        { "inf", LevelKind::Ordinary, 0.0 },      { "72.4*", LevelKind::Marked, 0.0 },
        { "--*", LevelKind::Marked, 0.0 },        { "l", LevelKind::Ordinary, 0.0 },
        // Damaged: a control byte anywhere, or junk after the leading number.
        { "5\x01\xff" "7.1", LevelKind::Damaged, 0.0 }, { "7x1", LevelKind::Damaged, 0.0 },
        { "72.4*x", LevelKind::Damaged, 0.0 },  { "\x85", LevelKind::Damaged, 0.0 },
        { "99.9 L", LevelKind::OverRange, 145.0 }, { "55.0 *", LevelKind::Marked, 0.0 },
    };
    for (const Case &c : cases) {
        const LevelTextClass result = classifyLevelText(QString::fromLatin1(c.text));
        EXPECT_EQ(result.kind, c.kind) << c.text;
        EXPECT_DOUBLE_EQ(result.value, c.value) << c.text;
    }
}

TEST(LevelText, WholeNumberTexts)
{
    EXPECT_TRUE(isWholeNumberText(u" 3 "));
    EXPECT_TRUE(isWholeNumberText(u"5.9"));
    EXPECT_FALSE(isWholeNumberText(u"3abc"));
    EXPECT_FALSE(isWholeNumberText(u""));
    EXPECT_FALSE(isWholeNumberText(u"."));
    EXPECT_FALSE(isWholeNumberText(u"3,5"));
}

TEST(ListDistribution, ClassOfEachText)
{
    struct Case
    {
        const char *text;
        int tenthClass; // -1: not counted as marked, -2: as damaged
        int wholeClass;
    };
    const Case cases[] = {
        { "70.0", 700, 70 },  { "65.3", 653, 65 },     { "65.96", 660, 65 },   { "65.25", 652, 65 },
        { "65.75", 658, 65 }, { "144.96", 1450, 144 }, { "0", 0, 0 },          { "abc", 0, 0 },
        { "--", 250, 25 },    { "L", 1450, 145 },      { "150.2", 1450, 145 }, { "72.4*", -1, -1 },
        { "65,3", -2, -2 },   { "5\x01" "7.1", -2, -2 },
    };
    for (const Case &c : cases) {
        const QVector<QString> levels { QString::fromLatin1(c.text) };
        const ListDistribution d = BuildListDistribution(levels, ResolutionMode::Tenth);
        if (c.tenthClass < 0) {
            EXPECT_EQ(d.ListSampleCount, 0) << c.text;
            EXPECT_EQ(d.markedCount, c.tenthClass == -1 ? 1 : 0) << c.text;
            EXPECT_EQ(d.damagedCount, c.tenthClass == -2 ? 1 : 0) << c.text;
            continue;
        }
        EXPECT_EQ(d.ListSampleCount, 1) << c.text;
        EXPECT_EQ(d.ListTenthCounts[c.tenthClass], 1) << c.text;
        EXPECT_EQ(d.ListWholeCounts[c.wholeClass], 1) << c.text;
    }
}

// One L(m) alone is the table's, whatever the counts: many random lists,
// sparse and dense, both class widths, and levels of whole tenths given as
// such class as their value does.
TEST(ListDistribution, OneLevelAloneIsTheTables)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        ListDistribution d;
        d.mode = round % 2 ? ResolutionMode::Tenth : ResolutionMode::Whole;
        const int readings = 1 + int(random() % (round < 100 ? 20 : 5000));
        for (int r = 0; r < readings; ++r) {
            const int tenths = 250 + int(random() % (round % 3 ? 400 : 8));
            LevelTextClass level { LevelKind::Ordinary, tenths / 10.0 };
            const int tenth = classIndexOf(level, ResolutionMode::Tenth);
            const int whole = classIndexOf(level, ResolutionMode::Whole);
            level.tenths = tenths;
            EXPECT_EQ(classIndexOf(level, ResolutionMode::Tenth), tenth);
            EXPECT_EQ(classIndexOf(level, ResolutionMode::Whole), whole);
            countLevel(d, level);
        }
        d.ListSampleCount = readings;
        computeLnTable(d);
        for (const int m : { 0, 5, 10, 50, 90, 95, 99 })
            EXPECT_EQ(lnTextOf(d.chosenCounts(), readings, m, d.mode), d.LnTable.value(m))
                << round << " L" << m;
    }
}

TEST(ListDistribution, OneReadingFillsTheWholeTable)
{
    const QVector<QString> levels { "70.0" };
    const ListDistribution tenth = BuildListDistribution(levels, ResolutionMode::Tenth);
    const ListDistribution whole = BuildListDistribution(levels, ResolutionMode::Whole);
    EXPECT_EQ(tenth.LnTable, QStringList(100, "70.0"));
    EXPECT_EQ(whole.LnTable, QStringList(100, "70"));
    EXPECT_EQ(tenth.LnClass[0], 700);
    EXPECT_EQ(whole.LnClass[99], 70);
}

TEST(ListDistribution, MarkedReadingsStayOutOfN)
{
    const QVector<QString> levels { "--", "L", "150.2", "72.4*", "60.0" };
    const ListDistribution d = BuildListDistribution(levels, ResolutionMode::Whole);
    EXPECT_EQ(d.ListSampleCount, 4);
    EXPECT_EQ(d.markedCount, 1);
    EXPECT_EQ(d.ListWholeCounts[25], 1);
    EXPECT_EQ(d.ListWholeCounts[145], 2);
    EXPECT_EQ(d.ListWholeCounts[60], 1);
    EXPECT_EQ(d.ListWholeCounts[72], 0);
    EXPECT_EQ(d.LnTable[99], "25");
    EXPECT_EQ(d.LnTable[0], "145");
}

TEST(ListDistribution, ThresholdReachedExactlyIsNotExceeded)
{
    // 200 readings: the running sum is exactly 3 at 60.1 dB, the threshold
    // of L(98) (200/200 + 1 * 200/100), so L(98) is the next class, 60.2.
    QVector<QString> levels { "60.0", "60.1", "60.1", "60.2" };
    levels += repeated("70.0", 196);
    const ListDistribution d = BuildListDistribution(levels, ResolutionMode::Tenth);
    ASSERT_EQ(d.ListSampleCount, 200);
    EXPECT_EQ(d.LnTable[99], "60.1"); // t = 1: 60.0 holds exactly 1
    EXPECT_EQ(d.LnTable[98], "60.2");
    EXPECT_EQ(d.LnTable[97], "70.0");
    EXPECT_EQ(d.LnTable[0], "70.0");
}

TEST(ListDistribution, ClassesHoldMoreThanSixteenBitCounts)
{
    const QVector<QString> levels = repeated("80.0", 70000);
    const ListDistribution d = BuildListDistribution(levels, ResolutionMode::Whole);
    EXPECT_EQ(d.ListTenthCounts[800], 70000);
    EXPECT_EQ(d.ListWholeCounts[80], 70000);
    EXPECT_EQ(d.LnTable[50], "80");
}

TEST(ListDistribution, NothingCountedLeavesTheTableEmpty)
{
    const QVector<QString> cases[] = { {}, { "72.4*", "60.0*" } };
    for (const QVector<QString> &levels : cases) {
        const ListDistribution d = BuildListDistribution(levels, ResolutionMode::Tenth);
        EXPECT_FALSE(d.hasReadings());
        EXPECT_EQ(d.LnTable, QStringList(100, QString()));
        EXPECT_EQ(d.LnClass[50], -1);
    }
    EXPECT_EQ(noReadingsMessage(), "No readings to count.");
}

// The table straight from its definition: one scan from class 0 per percentile.
std::array<int, 100> lnByDefinition(std::span<const qint64> counts, qint64 n)
{
    std::array<int, 100> table;
    table.fill(-1);
    for (int step = 1; step <= 100; ++step) {
        const double t = double(n) / 200.0 + double(step - 1) * (double(n) / 100.0);
        qint64 sum = 0;
        for (size_t k = 0; k < counts.size(); ++k) {
            sum += counts[k];
            if (double(sum) > t) {
                table[100 - step] = int(k);
                break;
            }
        }
    }
    return table;
}

TEST(ListDistribution, TableMatchesItsDefinitionOnRandomLists)
{
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        QVector<QString> levels;
        const int size = int(random() % 500);
        const int centre = 300 + int(random() % 900);
        for (int i = 0; i < size; ++i) {
            const int tenths = centre + int(random() % 61) - 30;
            const int kind = int(random() % 20);
            if (kind == 0)
                levels.append("--");
            else if (kind == 1)
                levels.append(QString::number(tenths / 10) + "." + QString::number(tenths % 10)
                              + "*");
            else
                levels.append(QString::number(tenths / 10) + "." + QString::number(tenths % 10));
        }
        for (const ResolutionMode mode : { ResolutionMode::Tenth, ResolutionMode::Whole }) {
            const ListDistribution d = BuildListDistribution(levels, mode);
            EXPECT_EQ(d.LnClass, lnByDefinition(d.chosenCounts(), d.ListSampleCount))
                << "round " << round;
        }
    }
}

// Rows kept compactly read canonical levels without their text: they must
// count exactly as the texts do, whatever the text looks like.
TEST(ListDistribution, CompactRowsCountAsTheirTexts)
{
    const QVector<QString> texts { "65.3",   "65.3*", "0.0",   "144.9",  "145.0", "150.2",
                                   "150.2*", "65.25", "65.30", "065.3",  "--",    "L",
                                   "",       "abc",   ".5",    "1638.3", "72.45", "99.9" };
    ReadingRows rows;
    for (const QString &text : texts)
        rows.append(QStringLiteral("1"), QStringLiteral("2013/03/04 08:00:00"), text);
    for (const ResolutionMode mode : { ResolutionMode::Tenth, ResolutionMode::Whole }) {
        const ListDistribution fromTexts = BuildListDistribution(texts, mode);
        const ListDistribution fromRows = BuildListDistribution(rows, mode);
        EXPECT_EQ(fromRows.ListTenthCounts, fromTexts.ListTenthCounts);
        EXPECT_EQ(fromRows.ListWholeCounts, fromTexts.ListWholeCounts);
        EXPECT_EQ(fromRows.markedCount, fromTexts.markedCount);
        EXPECT_EQ(fromRows.ListSampleCount, fromTexts.ListSampleCount);
        EXPECT_EQ(fromRows.LnTable, fromTexts.LnTable);
    }
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const LevelTextClass a = classifyRowLevel(rows, i);
        const LevelTextClass b = classifyLevelText(texts.at(i));
        EXPECT_EQ(a.kind, b.kind) << texts.at(i).toStdString();
        EXPECT_EQ(a.value, b.value) << texts.at(i).toStdString();
    }
}

TEST(ListDistribution, ProgressEndsAtAHundredPercent)
{
    std::vector<double> calls;
    BuildListDistribution(repeated("70.0", 10), ResolutionMode::Tenth,
                          [&](double percent) { calls.push_back(percent); });
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), 100.0);
    EXPECT_EQ(distributionProgressCaption(42.5), "42.5% Completed");
    EXPECT_EQ(distributionProgressCaption(100.0), "100.0% Completed");
}

} // namespace

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
