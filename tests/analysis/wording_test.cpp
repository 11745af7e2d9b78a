#include "analysis/Wording.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>

#include <cmath>
#include <limits>

using namespace Wording;

// Each rule on the values where rules part: the cut and the rounded tenth,
// the last hundredth, what is not a number, and what stands for nothing.
TEST(Wording, EachKindOfFigureHasItsRule)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        QString got;
        const char *expected;
    };
    const Case cases[] = {
        { hundredths(45.0501), "45.05" },
        { hundredths(45.0), "45.00" },
        { hundredths(inf), "" },
        { hundredths(std::nan("")), "" },
        { tenthsCut(45.09), "45.0" },
        { tenthsCut(0.5), ".5" },
        { tenthsRounded(45.05001), "45.1" },
        { tenthsRounded(-3.26), "-3.3" },
        { tenthsRounded(inf), "" },
        { orMissing(std::nullopt, hundredths, Missing::Empty), "" },
        { orMissing(std::nullopt, hundredths, Missing::Dash), "-" },
        { orMissing(std::nullopt, tenthsCut, Missing::EmDash), "\u2014" },
        { orMissing(inf, tenthsCut, Missing::Null), "null" },
        { orMissing(61.25, tenthsCut, Missing::Null), "61.2" },
        { percent(0.125), "12.5%" },
        { percent(0.5, 0, QStringLiteral(" ")), "50 %" },
        { clockDuration(4 * 86400 + 40 * 60), "4 d 00:40:00" },
        { clockDuration(59), "00:00:59" },
        { partsDuration(45.4), "45 s" },
        { partsDuration(2 * 86400 + 3 * 3600 + 30), "2 d 3 h 30 s" },
        { partsDuration(5400), "1 h 30 min" },
        { roughDuration(30 * 86400 + 5), "30 d" },
        { roughDuration(36 * 3600), "36 h" },
        { roughDuration(119), "119 s" },
        { roughDuration(-5), "0 s" },
        { exactDuration(900), "15 min" },
        { exactDuration(3600), "1 h" },
        { exactDuration(90), "90 s" },
        { secondsDuration(0.5), "0.5 s" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.got, QString::fromUtf8(c.expected));
    EXPECT_DOUBLE_EQ(shareOf(1, 4), 0.25);
    EXPECT_DOUBLE_EQ(shareOf(1, 0), 0.0);
}

TEST(Wording, ADurationIsAWholePositiveNumberOfItsUnitWithinTheLimit)
{
    constexpr int64_t Week = 7 * 86400;
    struct Case
    {
        const char *text;
        DayUnit days;
        std::optional<int64_t> seconds;
    };
    const Case cases[] = {
        { "15min", DayUnit::Refused, 900 },
        { " 1 H ", DayUnit::Refused, 3600 },
        { "30 s", DayUnit::Refused, 30 },
        { "30", DayUnit::Refused, 30 },
        { "2m", DayUnit::Refused, 120 },
        { "7 d", DayUnit::Refused, std::nullopt },
        { "7 d", DayUnit::Allowed, Week },
        { "8 d", DayUnit::Allowed, std::nullopt }, // over the limit
        { "169h", DayUnit::Refused, std::nullopt },
        { "0 min", DayUnit::Refused, std::nullopt },
        { "-5 s", DayUnit::Refused, std::nullopt },
        { "1.5 h", DayUnit::Refused, std::nullopt },
        { "h", DayUnit::Refused, std::nullopt },
        { "", DayUnit::Refused, std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseDuration(QString::fromUtf8(c.text), Week, c.days), c.seconds) << c.text;
}

// Under a decimal-comma locale: every rule keeps its point.
int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
