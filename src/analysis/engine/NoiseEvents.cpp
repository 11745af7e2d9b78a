#include "analysis/engine/NoiseEvents.h"
#include "recording/Energy.h"

#include "analysis/engine/FileStatistics.h"
#include "analysis/records/CivilTime.h"

#include <algorithm>
#include <cmath>

namespace {

} // namespace

QString periodName(Period period)
{
    switch (period) {
    case Period::Day:
        return QStringLiteral("day");
    case Period::Evening:
        return QStringLiteral("evening");
    case Period::Night:
        break;
    }
    return QStringLiteral("night");
}

Period periodOf(int64_t civil)
{
    const int64_t hour = (civil - CivilTime::alignDown(civil, CivilTime::SecondsPerDay)) / 3600;
    return hour >= 7 && hour < 19 ? Period::Day
        : hour >= 19 && hour < 23 ? Period::Evening
                                  : Period::Night;
}

std::optional<std::vector<double>> EventRules::parseLevels(const QString &text)
{
    std::vector<double> levels;
    for (const QString &item : text.split(QLatin1Char(','))) {
        bool ok = false;
        const double level = item.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(level) || level < 0.0 || level > 140.0)
            return std::nullopt;
        levels.push_back(level);
    }
    return levels;
}

EventFinder::EventFinder(const EventRules &rules)
    : m_rules(rules)
{
    const auto runOf = [](double level, bool keepList) {
        Run run;
        run.level = level;
        run.keepList = keepList;
        return run;
    };
    if (rules.threshold)
        m_runs.push_back(runOf(*rules.threshold, true));
    for (const double level : rules.numberAbove)
        m_runs.push_back(runOf(level, false));
    for (const Run &run : m_runs)
        m_lowest = std::min(m_lowest, run.level);
}

void EventFinder::close(Run &run, bool cut) const
{
    if (!run.open)
        return;
    const int64_t step = std::max<int64_t>(1, m_step);
    run.event.end = run.lastAbove + step;
    run.event.sel = Energy::selOfSum(run.energy, double(step));
    run.event.cut = run.event.cut || cut;
    run.done.push_back(run.event);
    run.open = false;
    run.pending = 0.0;
}

void EventFinder::add(int64_t utc, int64_t civil, std::optional<double> energy, bool excluded)
{
    // Readings missing between this one and the last: the runs break there.
    bool gap = false;
    if (m_previous && utc > *m_previous) {
        const int64_t step = utc - *m_previous;
        gap = m_step > 0 && step > m_step + m_step / 2;
        if (m_step == 0 || step < m_step)
            m_step = step;
    }
    m_previous = utc;
    if (gap || excluded) {
        // An event still above its level when the readings break is cut.
        for (Run &run : m_runs)
            close(run, run.open && run.pending == 0.0 && run.lastAbove == m_lastReading);
        m_afterBreak = true;
    }
    m_lastReading = utc;
    if (excluded)
        return;
    // Most readings are below every level with no run open: nothing to do.
    if (!energy || *energy <= m_lowest) {
        if (std::none_of(m_runs.begin(), m_runs.end(), [](const Run &r) { return r.open; })) {
            m_afterBreak = false;
            return;
        }
    }
    const double energyOfReading = energy ? energyOf(*energy) : 0.0;
    for (Run &run : m_runs) {
        const bool above = energy && *energy > run.level;
        const int64_t step = std::max<int64_t>(1, m_step);
        if (!above) {
            if (!run.open)
                continue;
            run.pending += energyOfReading;
            // Quiet for the whole gap: the event is over.
            if (utc - run.lastAbove >= m_rules.gap)
                close(run, false);
            continue;
        }
        if (run.open && utc - (run.lastAbove + step) >= m_rules.gap)
            close(run, false);
        if (run.open) {
            run.energy += run.pending;
            run.pending = 0.0;
        } else {
            run.open = true;
            run.event = NoiseEvent {};
            run.event.start = utc;
            run.event.period = periodOf(civil);
            run.event.day
                = CivilTime::alignDown(civil - DayStart, CivilTime::SecondsPerDay) + DayStart;
            run.event.lmax = *energy;
            run.event.lmaxAt = utc;
            run.event.cut = m_afterBreak;
            run.energy = 0.0;
        }
        run.energy += energyOfReading;
        run.lastAbove = utc;
        if (*energy > run.event.lmax) {
            run.event.lmax = *energy;
            run.event.lmaxAt = utc;
        }
    }
    m_afterBreak = false;
}

EventReport EventFinder::finish(double samplingInterval) const
{
    // The runs still open are closed on a copy of their state alone: the
    // events found so far are read where they are, never copied whole.
    EventFinder open(EventRules {});
    open.m_step = m_step;
    if (samplingInterval >= 1.0)
        open.m_step = int64_t(std::llround(samplingInterval));
    EventReport report;
    report.rules = m_rules;
    report.minDuration = m_rules.minDuration.value_or(std::max<int64_t>(1, open.m_step));
    for (const Run &found : m_runs) {
        Run run;
        run.level = found.level;
        run.keepList = found.keepList;
        run.open = found.open;
        run.event = found.event;
        run.lastAbove = found.lastAbove;
        run.energy = found.energy;
        open.close(run, false);
        RunsAbove runs;
        runs.level = run.level;
        const std::vector<NoiseEvent> *lists[] = { &found.done, &run.done };
        for (const std::vector<NoiseEvent> *list : lists)
            for (const NoiseEvent &event : *list) {
                if (event.duration() < report.minDuration)
                    continue;
                runs.events.push_back(event);
                ++runs.byPeriod[size_t(event.period)];
                ++runs.byDay[event.day][size_t(event.period)];
            }
        if (run.keepList)
            report.events = std::move(runs);
        else
            report.numberAbove.push_back(std::move(runs));
    }
    return report;
}
