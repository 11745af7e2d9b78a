#include "QtPrinting.h"
#include "analysis/LevelText.h"
#include "graphs/LevelListPlot.h"
#include "graphs/ThrottledProgress.h"
#include "platform/ReadingRows.h"

#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

inline void PrintTo(const PlotMarker &marker, std::ostream *out)
{
    *out << '{' << marker.row << ", " << marker.caption.toStdString() << ", " << marker.captionLevel
         << '}';
}

namespace {

std::vector<QString> plainList(int count, const QString &text = QStringLiteral("70.0"))
{
    return std::vector<QString>(std::size_t(count), text);
}

struct LeadingNumberCase
{
    const char *name;
    const char *text;
    double value;
};

class LeadingNumber : public ::testing::TestWithParam<LeadingNumberCase>
{
};

TEST_P(LeadingNumber, ReadsTheLeadingDecimal)
{
    EXPECT_DOUBLE_EQ(leadingLevelValue(QString::fromLatin1(GetParam().text)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingNumber,
                         ::testing::Values(LeadingNumberCase { "Plain", "65.3", 65.3 },
                                           LeadingNumberCase { "Marked", "72.4*", 72.4 },
                                           LeadingNumberCase { "LeadingBlanks", "  81.0", 81.0 },
                                           LeadingNumberCase { "PointFirst", ".5", 0.5 },
                                           LeadingNumberCase { "OverRangeSuffix", "145L", 145.0 },
                                           LeadingNumberCase { "SecondPointEnds", "1.2.3", 1.2 },
                                           LeadingNumberCase { "UnderRange", "--", 0.0 },
                                           LeadingNumberCase { "LetterOnly", "L", 0.0 },
                                           LeadingNumberCase { "Empty", "", 0.0 }),
                         [](const auto &info) { return std::string(info.param.name); });

struct LevelRuleCase
{
    const char *name;
    bool insidePause;
    const char *text;
    double level;
};

class LevelRule : public ::testing::TestWithParam<LevelRuleCase>
{
};

// The reading under test follows either a plain reading or a marked one that
// opens a pause run.
TEST_P(LevelRule, DrawsTheReadingAtItsLevel)
{
    const LevelRuleCase &c = GetParam();
    const std::vector<QString> texts { QStringLiteral("60.0"),
                                       c.insidePause ? QStringLiteral("70.0*")
                                                     : QStringLiteral("70.0"),
                                       QString::fromLatin1(c.text), QStringLiteral("60.0") };
    const LevelListPlot plot = levelsFromList(texts);
    ASSERT_EQ(plot.levels.size(), 4u);
    EXPECT_DOUBLE_EQ(plot.levels[2], c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LevelRule,
    ::testing::Values(LevelRuleCase { "UnderRangeOutside", false, "--", 25.0 },
                      LevelRuleCase { "UnderRangeInside", true, "--", 25.0 },
                      LevelRuleCase { "LetterLOutside", false, "L", 145.0 },
                      LevelRuleCase { "LetterLInside", true, "L*", 145.0 },
                      LevelRuleCase { "Over140Outside", false, "141.2", 145.0 },
                      LevelRuleCase { "Exactly140Outside", false, "140.0", 145.0 },
                      LevelRuleCase { "Below140Outside", false, "139.9", 139.9 },
                      LevelRuleCase { "Over140Inside", true, "141.2*", 141.2 },
                      LevelRuleCase { "Over140PlainEndsRunAtItsValue", true, "141.2", 141.2 },
                      LevelRuleCase { "Exactly145Inside", true, "145.0*", 145.0 },
                      LevelRuleCase { "Ordinary", false, "65.3", 65.3 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PauseMarkers, RunOfFiveMarkedReadingsGetsPauseAndStart)
{
    std::vector<QString> texts = plainList(20);
    for (int row = 10; row <= 14; ++row)
        texts[std::size_t(row - 1)] = QStringLiteral("70.0*");
    const LevelListPlot plot = levelsFromList(texts);
    const std::vector<PlotMarker> expected { { 10, QStringLiteral("Pause"), 30.0 },
                                             { 15, QStringLiteral("Start"), 105.0 } };
    EXPECT_EQ(plot.markers, expected);
}

TEST(PauseMarkers, RunReachingTheEndHasNoStart)
{
    std::vector<QString> texts = plainList(20);
    for (int row = 18; row <= 20; ++row)
        texts[std::size_t(row - 1)] = QStringLiteral("70.0*");
    const LevelListPlot plot = levelsFromList(texts);
    const std::vector<PlotMarker> expected { { 18, QStringLiteral("Pause"), 30.0 } };
    EXPECT_EQ(plot.markers, expected);
}

TEST(PauseMarkers, OnlyPlainNumbersStartOrEndARun)
{
    // Under and over range readings neither open nor close a run.
    const std::vector<QString> texts {
        QStringLiteral("--*"),  QStringLiteral("L*"), QStringLiteral("60.0*"), // run opens at 3
        QStringLiteral("--"),   QStringLiteral("L"),  QStringLiteral("150.0"), // still inside
        QStringLiteral("61.0"), // closes at 7
        QStringLiteral("62.0"),
    };
    const LevelListPlot plot = levelsFromList(texts);
    const std::vector<PlotMarker> expected { { 3, QStringLiteral("Pause"), 30.0 },
                                             { 7, QStringLiteral("Start"), 105.0 } };
    EXPECT_EQ(plot.markers, expected);
    EXPECT_DOUBLE_EQ(plot.levels[5], 145.0);
}

TEST(PauseMarkers, RunEndingInUnderRangeStillShowsItsPause)
{
    const std::vector<QString> texts { QStringLiteral("60.0"), QStringLiteral("60.0*"),
                                       QStringLiteral("--") };
    const LevelListPlot plot = levelsFromList(texts);
    const std::vector<PlotMarker> expected { { 2, QStringLiteral("Pause"), 30.0 } };
    EXPECT_EQ(plot.markers, expected);
}

TEST(PauseMarkers, SeveralRunsInReadingOrder)
{
    std::vector<QString> texts = plainList(12);
    texts[1] = texts[2] = QStringLiteral("70.0*");
    texts[6] = QStringLiteral("70.0*");
    texts[11] = QStringLiteral("70.0*");
    const LevelListPlot plot = levelsFromList(texts);
    const std::vector<PlotMarker> expected { { 2, QStringLiteral("Pause"), 30.0 },
                                             { 4, QStringLiteral("Start"), 105.0 },
                                             { 7, QStringLiteral("Pause"), 30.0 },
                                             { 8, QStringLiteral("Start"), 105.0 },
                                             { 12, QStringLiteral("Pause"), 30.0 } };
    EXPECT_EQ(plot.markers, expected);
}

// Compact rows read canonical levels without their text; the plot and its
// pause runs must not differ from those of the texts.
TEST(LevelList, CompactRowsPlotAsTheirTexts)
{
    const std::vector<QString> texts { "70.0",  "72.4*", "141.2*", "--",    "73.0*", "73.0",
                                       "141.2", "L",     "65.30",  "65.3*", "abc*",  "65.3",
                                       "145.0", "0.0",   "",       "80.1*" };
    ReadingRows rows;
    for (const QString &text : texts)
        rows.append(QStringLiteral("1"), QStringLiteral("2013/03/04 08:00:00"), text);
    const LevelListPlot fromTexts = levelsFromList(texts);
    const LevelListPlot fromRows = levelsFromRows(rows);
    EXPECT_EQ(fromRows.levels, fromTexts.levels);
    EXPECT_EQ(fromRows.markers, fromTexts.markers);
    EXPECT_FALSE(fromRows.markers.empty());
}

TEST(LevelList, EmptyListGivesNoLevelsAndNoMarkers)
{
    const LevelListPlot plot = levelsFromList({});
    EXPECT_TRUE(plot.levels.empty());
    EXPECT_TRUE(plot.markers.empty());
}

TEST(LevelList, ProgressCountsEveryRowInOrder)
{
    std::vector<int> seen;
    levelsFromList(plainList(5), [&](int row) { seen.push_back(row); });
    EXPECT_EQ(seen, (std::vector<int> { 1, 2, 3, 4, 5 }));
}

TEST(ThrottledProgressTest, ReportsRarelyAndEndsWithTheExactCount)
{
    std::vector<int> reports;
    ThrottledProgress progress([&](int count) { reports.push_back(count); }, 30);
    for (int i = 1; i <= 100000; ++i)
        progress.update(i);
    progress.finish(100000);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 100000);
    EXPECT_LT(reports.size(), 50u);
}

TEST(ThrottledProgressTest, ReportsAgainOnceTheIntervalHasPassed)
{
    std::vector<int> reports;
    ThrottledProgress progress([&](int count) { reports.push_back(count); }, 10);
    QThread::msleep(15);
    progress.update(1);
    progress.update(2);
    QThread::msleep(15);
    progress.update(3);
    progress.finish(3);
    EXPECT_EQ(reports, (std::vector<int> { 1, 3 }));
}

} // namespace
