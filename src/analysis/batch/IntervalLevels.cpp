#include "IntervalLevels.h"

#include "CivilTime.h"
#include "FileStatistics.h"
#include "analysis/LevelText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t Hour = 3600;
constexpr int64_t MaxLength = 7 * 24 * Hour;

double coverageOf(qint64 readings, double sampleInterval, int64_t length)
{
    return std::min(1.0, double(readings) * sampleInterval / double(length));
}

} // namespace

void EnergySum::add(std::optional<double> level)
{
    ++readings;
    if (level) {
        energy += energyOf(*level);
        ++count;
        max = max ? std::max(*max, *level) : *level;
    }
}

std::optional<double> EnergySum::level() const
{
    return count > 0 ? std::optional<double>(levelFromEnergy(energy, count)) : std::nullopt;
}

IntervalAccumulator::IntervalAccumulator(int64_t length, ResolutionMode mode)
    : m_length(length)
    , m_mode(mode)
{
}

void IntervalAccumulator::add(int64_t time, const LevelTextClass &level,
                              std::optional<double> energyLevel)
{
    if (m_length <= 0)
        return;
    Interval &interval = m_intervals[CivilTime::alignDown(time, m_length)];
    interval.sum.add(energyLevel);
    if (level.kind == LevelKind::Marked) {
        ++interval.marked;
        return;
    }
    if (interval.counts.empty())
        interval.counts.assign(m_mode == ResolutionMode::Tenth ? ListDistribution::TenthClassCount
                                                               : ListDistribution::WholeClassCount,
                               0);
    ++interval.counts[std::size_t(classIndexOf(level, m_mode))];
}

std::vector<IntervalLevel> IntervalAccumulator::result(double sampleInterval) const
{
    std::vector<IntervalLevel> result;
    if (m_intervals.empty())
        return result;
    const int64_t first = m_intervals.begin()->first;
    const int64_t last = m_intervals.rbegin()->first;
    for (int64_t start = first; start <= last; start += m_length) {
        IntervalLevel interval;
        interval.start = start;
        interval.end = start + m_length;
        const auto found = m_intervals.find(start);
        if (found != m_intervals.end()) {
            const Interval &in = found->second;
            interval.readings = in.sum.readings;
            interval.energyReadings = in.sum.count;
            interval.coverage = coverageOf(in.sum.readings, sampleInterval, m_length);
            interval.leq = in.sum.level();
            interval.lmax = in.sum.max;
            if (!in.counts.empty()) {
                ListDistribution d;
                d.mode = m_mode;
                const std::span<qint64> counts = m_mode == ResolutionMode::Tenth
                    ? std::span<qint64>(d.ListTenthCounts)
                    : std::span<qint64>(d.ListWholeCounts);
                std::copy(in.counts.begin(), in.counts.end(), counts.begin());
                d.ListSampleCount = in.sum.readings - in.marked;
                d.markedCount = in.marked;
                computeLnTable(d);
                if (d.hasReadings()) {
                    interval.l10 = d.LnTable.value(10);
                    interval.l90 = d.LnTable.value(90);
                }
            }
        }
        result.push_back(std::move(interval));
    }
    return result;
}

void DayEveningNightAccumulator::add(int64_t time, std::optional<double> energyLevel)
{
    m_first = m_first ? std::min(*m_first, time) : time;
    m_last = m_last ? std::max(*m_last, time) : time;
    const int64_t start
        = CivilTime::alignDown(time - 7 * Hour, CivilTime::SecondsPerDay) + 7 * Hour;
    const int64_t offset = time - start; // 0 = 07:00
    Periods &periods = m_days[start];
    if (offset < 12 * Hour)
        periods.day.add(energyLevel);
    else if (offset < 16 * Hour)
        periods.evening.add(energyLevel);
    else
        periods.night.add(energyLevel);
}

std::vector<DayEveningNight> DayEveningNightAccumulator::result(double sampleInterval) const
{
    std::vector<DayEveningNight> result;
    if (!m_first)
        return result;
    const int64_t endTime = *m_last + int64_t(std::llround(sampleInterval));
    int64_t start = CivilTime::alignDown(*m_first - 7 * Hour, CivilTime::SecondsPerDay) + 7 * Hour;
    if (start < *m_first)
        start += CivilTime::SecondsPerDay;
    static const Periods none;
    for (; start + CivilTime::SecondsPerDay <= endTime; start += CivilTime::SecondsPerDay) {
        const auto found = m_days.find(start);
        const Periods &periods = found != m_days.end() ? found->second : none;
        DayEveningNight den;
        den.start = start;
        den.coverageDay = coverageOf(periods.day.readings, sampleInterval, 12 * Hour);
        den.coverageEvening = coverageOf(periods.evening.readings, sampleInterval, 4 * Hour);
        den.coverageNight = coverageOf(periods.night.readings, sampleInterval, 8 * Hour);
        den.ld = periods.day.level();
        den.le = periods.evening.level();
        den.ln = periods.night.level();
        if (den.ld && den.le && den.ln)
            den.lden = ldenOf(*den.ld, *den.le, *den.ln);
        result.push_back(den);
    }
    return result;
}

void StepMedian::add(int64_t time)
{
    if (m_previous && time > *m_previous) {
        ++m_steps[time - *m_previous];
        ++m_count;
    }
    m_previous = time;
}

std::optional<double> StepMedian::median() const
{
    if (m_count == 0)
        return std::nullopt;
    // The step of rank count / 2 in ascending order.
    qint64 seen = 0;
    for (const auto &[step, count] : m_steps) {
        seen += count;
        if (seen > m_count / 2)
            return double(step);
    }
    return std::nullopt;
}

double ldenOf(double ld, double le, double ln)
{
    return 10.0
        * std::log10((12.0 * energyOf(ld) + 4.0 * energyOf(le + 5.0) + 8.0 * energyOf(ln + 10.0))
                     / 24.0);
}

std::optional<int64_t> parseIntervalLength(const QString &text)
{
    const QString t = text.trimmed().toLower();
    struct Unit
    {
        const char *suffix;
        int64_t seconds;
    };
    static const Unit units[]
        = { { "min", 60 }, { "h", 3600 }, { "s", 1 }, { "m", 60 }, { "", 1 } };
    for (const Unit &unit : units) {
        const QLatin1StringView suffix(unit.suffix);
        if (!t.endsWith(suffix))
            continue;
        bool ok = false;
        const qlonglong n = t.left(t.size() - suffix.size()).trimmed().toLongLong(&ok);
        if (!ok || n <= 0 || n > MaxLength / unit.seconds)
            return std::nullopt;
        return int64_t(n) * unit.seconds;
    }
    return std::nullopt;
}
