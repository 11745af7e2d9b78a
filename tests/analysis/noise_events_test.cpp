#include "analysis/output/Outputs.h"
#include "analysis/engine/Assessment.h"
#include "analysis/records/CivilTime.h"
#include "analysis/engine/NoiseEvents.h"
#include "support/TestZone.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Ten hours, second by second, from 22:59 at 40 dB, with what each case puts
// into it: loud seconds, excluded seconds and seconds without readings.
struct Second
{
    int from; // seconds after 2026-06-02 22:59:00 (site time)
    int count;
    double level; // NAN: no reading; < 0: excluded
};

std::vector<NoiseEvent> eventsOf(const std::vector<Second> &marks, EventRules rules,
                                 EventReport *reportOut = nullptr)
{
    const int64_t start = CivilTime::civilSecondsOf(QDate(2026, 6, 2), QTime(22, 59));
    EventFinder finder(rules);
    for (int s = 0; s < 10 * 3600; ++s) {
        double level = 40.0;
        for (const Second &m : marks)
            if (s >= m.from && s < m.from + m.count)
                level = m.level;
        if (std::isnan(level))
            continue;
        const int64_t civil = start + s;
        finder.add(CivilTime::utcOf(civil), civil, level, level < 0);
    }
    EventReport report = finder.finish(1.0);
    if (reportOut)
        *reportOut = report;
    return report.events ? report.events->events : std::vector<NoiseEvent> {};
}

// Events against an independent reading of the same seconds: merged by the
// gap, dropped under the minimum, placed in their period, cut where an
// exclusion or missing readings meet them.
TEST(NoiseEvents, RunsAboveTheThresholdMergedCountedAndCut)
{
    const struct
    {
        const char *name;
        std::vector<Second> marks;
        std::vector<std::tuple<const char *, int, double, double, const char *, bool>> expected;
    } cases[] = {
        // 23:30:00, 10 s at 80 dB: SEL 80 + 10 lg 10.
        { "night", { { 1860, 10, 80.0 } }, { { "23:30:00", 10, 80.0, 90.0, "night", false } } },
        { "evening", { { 30, 4, 70.0 } }, { { "22:59:30", 4, 70.0, 76.0, "evening", false } } },
        // Two runs 2 s apart are one event of 8 s holding the quiet seconds.
        { "merged",
          { { 600, 3, 70.0 }, { 605, 3, 73.0 } },
          { { "23:09:00", 8, 73.0, 10 * std::log10(3 * 1e7 + 2 * 1e4 + 3 * std::pow(10, 7.3)),
              "night", false } } },
        // 5 s apart: two events.
        { "apart",
          { { 600, 3, 70.0 }, { 608, 3, 70.0 } },
          { { "23:09:00", 3, 70.0, 74.8, "night", false },
            { "23:09:08", 3, 70.0, 74.8, "night", false } } },
        { "too short", { { 600, 2, 90.0 } }, {} },
        // 08:00 is day; an exclusion takes its middle: two cut parts.
        { "excluded",
          { { 32460, 20, 75.0 }, { 32466, 6, -1.0 } },
          { { "08:00:00", 6, 75.0, 82.8, "day", true },
            { "08:00:12", 8, 75.0, 84.0, "day", true } } },
        // Readings missing at its end: cut.
        { "gap",
          { { 7200, 5, 70.0 }, { 7205, 30, NAN } },
          { { "00:59:00", 5, 70.0, 77.0, "night", true } } },
    };
    EventRules rules;
    rules.threshold = 65.0;
    rules.minDuration = 3;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<NoiseEvent> events = eventsOf(c.marks, rules);
        ASSERT_EQ(events.size(), c.expected.size());
        for (size_t i = 0; i < events.size(); ++i) {
            const auto &[start, duration, lmax, sel, period, cut] = c.expected[i];
            EXPECT_EQ(CivilTime::isoOfUtc(events[i].start).mid(11, 8), QLatin1String(start)) << i;
            EXPECT_EQ(events[i].duration(), duration) << i;
            EXPECT_DOUBLE_EQ(events[i].lmax, lmax) << i;
            EXPECT_NEAR(events[i].sel, sel, 0.05) << i;
            EXPECT_EQ(periodName(events[i].period), QLatin1String(period)) << i;
            EXPECT_EQ(events[i].cut, cut) << i;
        }
    }
}

// Number above: each level counts its own runs, with the same minimum and
// gap, per period and per 07:00 day.
TEST(NoiseEvents, NumberAboveCountsEachLevelApart)
{
    EventRules rules;
    rules.numberAbove = { 60.0, 70.0 };
    rules.minDuration = 1;
    EventReport report;
    eventsOf({ { 1860, 10, 65.0 }, { 3600, 5, 75.0 }, { 3700, 5, 75.0 }, { 30000, 3, 62.0 } },
             rules, &report);
    EXPECT_FALSE(report.events);
    ASSERT_EQ(report.numberAbove.size(), 2u);
    EXPECT_EQ(report.numberAbove[0].count(), 4);
    EXPECT_EQ(report.numberAbove[1].count(), 2);
    EXPECT_EQ(report.numberAbove[0].byPeriod[size_t(Period::Night)], 3);
    EXPECT_EQ(report.numberAbove[0].byPeriod[size_t(Period::Day)], 1);
    // 22:59 to 08:59 spans two 07:00 days.
    EXPECT_EQ(report.numberAbove[0].byDay.size(), 2u);
}

// A day of known periods: the day at 60 dB over its 55 limit, the evening
// at 45 with 5 % of it at 60, the night half covered; by period name or by
// the limits in force at each period's start.
TEST(Assessment, EachPeriodItsLevelsMarginAndVerdict)
{
    const int64_t day = CivilTime::civilSecondsOf(QDate(2026, 6, 1), QTime(7, 0));
    const auto feed = [day](AssessmentAccumulator &into, int64_t from, int64_t to, int64_t step) {
        for (int64_t s = from; s != to; s += step) {
            const int64_t hour = s / 3600;
            if (hour >= 16 && hour < 20)
                continue; // half the night without readings
            into.add(day + s, hour < 12 ? 60.0 : hour < 16 ? (s % 20 == 0 ? 60.0 : 45.0) : 40.0);
        }
    };
    AssessmentAccumulator accumulator;
    feed(accumulator, 0, 24 * 3600, 1);
    // Fed backwards, or copied halfway and the copy fed the rest: the same.
    AssessmentAccumulator backwards;
    feed(backwards, 24 * 3600 - 1, -1, -1);
    AssessmentAccumulator half;
    feed(half, 0, 13 * 3600, 1);
    AssessmentAccumulator copied = half;
    feed(copied, 13 * 3600, 24 * 3600, 1);
    feed(half, 13 * 3600, 24 * 3600, 1);
    for (const AssessmentAccumulator *other : { &backwards, &copied, &half }) {
        const AssessmentReport a = accumulator.finish({}, 1.0);
        const AssessmentReport b = other->finish({}, 1.0);
        ASSERT_EQ(a.periods.size(), b.periods.size());
        for (size_t i = 0; i < a.periods.size(); ++i) {
            EXPECT_EQ(a.periods[i].readings, b.periods[i].readings) << i;
            EXPECT_NEAR(*a.periods[i].leq, *b.periods[i].leq, 1e-9) << i;
            EXPECT_EQ(a.periods[i].l90, b.periods[i].l90) << i;
        }
    }
    const double eveningLeq = 10 * std::log10(0.05 * 1e6 + 0.95 * std::pow(10, 4.5));
    for (const char *limits : { "day=55,evening=50,night=45", "07-19=55,19-23=50,23-07=45" }) {
        SCOPED_TRACE(limits);
        AssessmentRules rules;
        rules.limits = PeriodLimits::parse(QLatin1String(limits), nullptr);
        ASSERT_TRUE(rules.limits);
        const AssessmentReport report = accumulator.finish(rules, 1.0);
        ASSERT_EQ(report.periods.size(), 3u);
        const PeriodVerdict &d = report.periods[0];
        const PeriodVerdict &e = report.periods[1];
        const PeriodVerdict &n = report.periods[2];
        EXPECT_NEAR(*d.leq, 60.0, 1e-9);
        EXPECT_DOUBLE_EQ(*d.l90, 60.0);
        EXPECT_NEAR(*d.margin, -5.0, 1e-9);
        EXPECT_EQ(d.verdictText(), "fail");
        EXPECT_TRUE(d.deciding);
        EXPECT_NEAR(*e.leq, eveningLeq, 1e-9);
        EXPECT_DOUBLE_EQ(*e.l90, 45.0);
        EXPECT_DOUBLE_EQ(*e.lmax, 60.0);
        EXPECT_EQ(e.verdictText(), "pass");
        EXPECT_FALSE(e.deciding);
        EXPECT_DOUBLE_EQ(n.coverage, 0.5);
        EXPECT_EQ(n.verdictText(), "not enough data");
        EXPECT_EQ(report.judged, 2);
        EXPECT_EQ(report.failed, 1);
        ASSERT_TRUE(report.worst);
        EXPECT_EQ(report.worst->period, Period::Day);
    }
    EXPECT_FALSE(PeriodLimits::parse("day=55,dusk=50", nullptr));
}

} // namespace

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
