#include "analysis/StatisticsReport.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>

namespace {

StatisticsReportInput sampleInput(int readings)
{
    StatisticsReportInput in;
    in.freqText = "A";
    in.timeText = "Slow";
    in.rangeText = "80-140";
    in.maxText = "98.7";
    in.maxTimeText = "2013/03/04 08:00:05";
    in.selText = "120.4";
    in.leqText = "85.3";
    for (int r = 1; r <= readings; ++r) {
        in.numbers.append(QString::number(r));
        in.times.append(QStringLiteral("2013/03/04 08:00:0%1").arg(r));
        in.levels.append(QStringLiteral("8%1.3").arg(r));
    }
    return in;
}

TEST(StatisticsReport, HeadingLineByLine)
{
    const QStringList expected = {
        " ",
        " ",
        " ",
        " ",
        "-         Freq Weight : A",
        "-         Time Weight : Slow",
        "-         Level Range : 80-140",
        "-         Max dB : 98.7 - 2013/03/04 08:00:05",
        "-         SEL : 120.4",
        "-         Leq : 85.3",
        "-",
        "          No.s            Date Time     (dB)",
        "         -----------------------------------------------------------------------",
    };
    const QStringList heading = StatisticsReport::heading(sampleInput(0));
    ASSERT_EQ(heading.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(heading.at(i), expected.at(i)) << "line " << i + 1;
    EXPECT_EQ(heading.last().size(), 80);
}

TEST(StatisticsReport, NoReadingsPrintsTheHeadingOnly)
{
    EXPECT_EQ(StatisticsReport::lines(sampleInput(0), 3),
              StatisticsReport::heading(sampleInput(0)));
}

TEST(StatisticsReport, SevenReadingsThreePerLine)
{
    const QStringList lines = StatisticsReport::lines(sampleInput(7), 3);
    ASSERT_EQ(lines.size(), 13 + 3);
    EXPECT_EQ(lines.at(13), "             1  2013/03/04 08:00:01     81.3     82.3     83.3");
    EXPECT_EQ(lines.at(14), "             4  2013/03/04 08:00:04     84.3     85.3     86.3");
    EXPECT_EQ(lines.at(15), "             7  2013/03/04 08:00:07     87.3");
}

TEST(StatisticsReport, LineWidths)
{
    const StatisticsReportInput in = sampleInput(9);
    struct Case
    {
        int perLine;
        qsizetype width;
    };
    for (const Case c : { Case { 1, 44 }, Case { 2, 53 }, Case { 5, 80 } })
        EXPECT_EQ(StatisticsReport::readingLine(in, 0, c.perLine).size(), c.width) << c.perLine;
}

TEST(StatisticsReport, FieldLongerThanItsColumnIsPrintedWhole)
{
    StatisticsReportInput in = sampleInput(1);
    in.numbers[0] = "123456789012345"; // 15 > 14
    in.times[0] = "2013/03/04 08:00:00 extra"; // 25 > 21
    in.levels[0] = "1234567890"; // 10 > 9
    EXPECT_EQ(StatisticsReport::readingLine(in, 0, 1),
              "1234567890123452013/03/04 08:00:00 extra1234567890");
    EXPECT_EQ(StatisticsReport::pad(9, "123456789"), "123456789");
    EXPECT_EQ(StatisticsReport::pad(9, ""), QString(9, ' '));
}

TEST(StatisticsReport, ReadingsPerLineAnswers)
{
    struct Case
    {
        const char *answer;
        std::optional<int> perLine;
    };
    const Case cases[] = {
        { "1", 1 },
        { "5", 5 },
        { "5.9", 5 },
        { " 2 ", 2 },
        { "2.7", 2 },
        { "0", std::nullopt },
        { "6", std::nullopt },
        { "0.5", std::nullopt },
        { "abc", std::nullopt },
        { "3abc", std::nullopt },
        { "1,5", std::nullopt },
        { "-1", std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(StatisticsReport::perLineFromAnswer(c.answer), c.perLine) << c.answer;
}

TEST(StatisticsReport, Texts)
{
    EXPECT_EQ(StatisticsReport::progressCaption(6), "6 Completed");
    EXPECT_EQ(StatisticsReport::perLinePrompt(), "Input record(s) to print in one row (1-5)");
}

} // namespace

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
