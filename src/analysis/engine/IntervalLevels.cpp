#include "analysis/engine/IntervalLevels.h"
#include "analysis/Wording.h"

#include "analysis/LevelText.h"
#include "analysis/engine/FileStatistics.h"
#include "analysis/records/CivilTime.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

constexpr int64_t MaxLength = 7 * 24 * CivilTime::SecondsPerHour;

double coverageOf(qint64 readings, double sampleInterval, int64_t length)
{
    return std::min(1.0, double(readings) * sampleInterval / double(length));
}

// A wall-clock time and its offset as they name a real instant: one the
// change to summer time skips (02:30 on the spring day) is named as the clock
// read at that instant, after the change (03:30+02:00).
std::pair<int64_t, int> existingTime(int64_t civil, int offset)
{
    const int64_t utc = civil - offset;
    if (CivilTime::offsetOfUtc(utc) == offset)
        return { civil, offset };
    // The same instant, read with the offset in force before the change.
    const int before = CivilTime::utcOffsetAt(civil - 2 * CivilTime::SecondsPerHour);
    const int64_t at = civil - before;
    const int atOffset = CivilTime::offsetOfUtc(at);
    if (atOffset == before)
        return { civil, offset };
    return { at + atOffset, atOffset };
}

} // namespace

std::optional<double> EnergySum::level() const
{
    return count > 0 ? std::optional<double>(levelFromEnergy(energy, count)) : std::nullopt;
}

int64_t RepeatedHours::place(int64_t civil)
{
    if (m_previous && civil < *m_previous) {
        // Back by an hour, give or take up to ten minutes of sampling.
        const int64_t ahead = civil + CivilTime::SecondsPerHour - *m_previous;
        if (ahead > 0 && ahead <= 600 && CivilTime::isRepeated(civil)
            && CivilTime::isRepeated(*m_previous)) {
            m_shift += CivilTime::SecondsPerHour;
            m_folds.push_back(
                { CivilTime::alignDown(civil, CivilTime::SecondsPerHour) + m_shift, m_shift });
        }
    }
    m_previous = civil;
    return civil + m_shift;
}

void RepeatedHours::begin(int64_t civil, std::optional<int> offset)
{
    if (m_previous || !offset || !CivilTime::isRepeated(civil)
        || *offset != CivilTime::utcOffsetAt(civil, true)
        || *offset == CivilTime::utcOffsetAt(civil, false))
        return;
    m_shift += CivilTime::SecondsPerHour;
    m_folds.push_back(
        { CivilTime::alignDown(civil, CivilTime::SecondsPerHour) + m_shift, m_shift });
}

const RepeatedHours::Fold *RepeatedHours::foldOf(int64_t place) const
{
    const Fold *found = nullptr;
    for (const Fold &fold : m_folds)
        if (fold.from <= place)
            found = &fold;
    return found;
}

int64_t RepeatedHours::civilOf(int64_t place) const
{
    const Fold *fold = foldOf(place);
    return fold ? place - fold->shift : place;
}

int64_t RepeatedHours::placeOfCivil(int64_t civil) const
{
    int64_t shift = 0;
    for (const Fold &fold : m_folds)
        if (fold.from - fold.shift + CivilTime::SecondsPerHour <= civil)
            shift = fold.shift;
    return civil + shift;
}

bool RepeatedHours::ranTwice(int64_t civil) const
{
    return std::any_of(m_folds.begin(), m_folds.end(), [civil](const Fold &fold) {
        const int64_t first = fold.from - fold.shift;
        return civil >= first && civil < first + CivilTime::SecondsPerHour;
    });
}

bool RepeatedHours::secondRun(int64_t place) const
{
    const Fold *fold = foldOf(place);
    return fold && place < fold->from + CivilTime::SecondsPerHour;
}

int RepeatedHours::offsetOf(int64_t place) const
{
    return CivilTime::utcOffsetAt(civilOf(place), secondRun(place));
}

IntervalAccumulator::IntervalAccumulator(int64_t length, ResolutionMode mode)
    : m_length(length)
    , m_mode(mode)
{
}

int64_t IntervalAccumulator::keyOf(int64_t place) const
{
    return CivilTime::alignDown(place, m_length);
}

int64_t IntervalAccumulator::utcOfKey(int64_t key, const RepeatedHours &hours)
{
    const auto [civil, offset] = existingTime(hours.civilOf(key), hours.offsetOf(key));
    return civil - offset;
}

void IntervalAccumulator::add(int64_t place, const LevelTextClass &level,
                              std::optional<double> energyLevel)
{
    if (m_length <= 0)
        return;
    // Readings come in time order: most fall into the interval of the one before.
    Interval &interval = m_last.in(m_intervals, CivilTime::alignDown(place, m_length));
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

std::vector<IntervalLevel> IntervalAccumulator::result(double sampleInterval,
                                                       const RepeatedHours &hours) const
{
    std::vector<IntervalLevel> result;
    const auto bounds = [&hours](IntervalLevel &row, int64_t from, int64_t to) {
        std::tie(row.start, row.startOffset)
            = existingTime(hours.civilOf(from), hours.offsetOf(from));
        std::tie(row.end, row.endOffset) = existingTime(hours.civilOf(to), hours.offsetOf(to));
    };
    std::optional<int64_t> previousEnd;
    for (const auto &[start, in] : m_intervals) {
        // Only intervals that hold readings: a clock that jumped years must
        // not make a row for every empty interval between.
        // Civil time that never was (the hour skipped in spring) is no gap:
        // measured in real seconds the intervals meet.
        const auto realSeconds = [&hours](int64_t from, int64_t to) {
            return (to - hours.offsetOf(to)) - (from - hours.offsetOf(from - 1));
        };
        if (previousEnd && start > *previousEnd && realSeconds(*previousEnd, start) > 0) {
            IntervalLevel gap;
            gap.gap = true;
            bounds(gap, *previousEnd, start);
            result.push_back(gap);
        }
        previousEnd = start + m_length;
        IntervalLevel interval;
        bounds(interval, start, start + m_length);
        interval.readings = in.sum.readings;
        interval.energyReadings = in.sum.count;
        // Marked (paused) readings enter no figure, so they cover nothing.
        interval.coverage = coverageOf(in.sum.readings - in.marked, sampleInterval, m_length);
        interval.leq = in.sum.level();
        interval.lmax = in.sum.max;
        interval.lmin = in.sum.min;
        // Only the three levels a row shows.
        if (const qint64 samples = in.sum.readings - in.marked; !in.counts.empty() && samples > 0) {
            interval.l10 = lnLevelOf(in.counts, samples, 10, m_mode);
            interval.l50 = lnLevelOf(in.counts, samples, 50, m_mode);
            interval.l90 = lnLevelOf(in.counts, samples, 90, m_mode);
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
        = CivilTime::alignDown(time - 7 * CivilTime::SecondsPerHour, CivilTime::SecondsPerDay)
        + 7 * CivilTime::SecondsPerHour;
    const int64_t offset = time - start; // 0 = 07:00
    Periods &periods = m_lastDay.in(m_days, start);
    if (offset < 12 * CivilTime::SecondsPerHour)
        periods.day.add(energyLevel);
    else if (offset < 16 * CivilTime::SecondsPerHour)
        periods.evening.add(energyLevel);
    else
        periods.night.add(energyLevel);
}

std::vector<DayEveningNight> DayEveningNightAccumulator::result(double sampleInterval) const
{
    std::vector<DayEveningNight> result;
    if (!m_first)
        return result;
    // Every day that holds a reading, the first and last of the readings
    // too: a day they cover only in part is marked partial by its coverage.
    const int64_t first
        = CivilTime::alignDown(*m_first - 7 * CivilTime::SecondsPerHour, CivilTime::SecondsPerDay)
        + 7 * CivilTime::SecondsPerHour;
    std::optional<int64_t> previousEnd;
    for (auto it = m_days.lower_bound(first); it != m_days.end(); ++it) {
        const auto &[start, periods] = *it;
        if (periods.day.readings + periods.evening.readings + periods.night.readings == 0)
            continue;
        if (previousEnd && start > *previousEnd) {
            DayEveningNight gap;
            gap.gap = true;
            gap.start = *previousEnd;
            gap.end = start;
            result.push_back(gap);
        }
        previousEnd = start + CivilTime::SecondsPerDay;
        DayEveningNight den;
        den.start = start;
        den.end = start + CivilTime::SecondsPerDay;
        // Coverage counts the readings that enter the levels: a paused night
        // with one reading covers a second of it, not the night.
        // Against each period's real length that day: a clock change makes
        // the night an hour shorter or longer.
        const auto realLength = [](int64_t from, int64_t to) {
            return (to - from) - (CivilTime::utcOffsetAt(to) - CivilTime::utcOffsetAt(from));
        };
        den.coverageDay = coverageOf(periods.day.count, sampleInterval,
                                     realLength(start, start + 12 * CivilTime::SecondsPerHour));
        den.coverageEvening = coverageOf(periods.evening.count, sampleInterval,
                                         realLength(start + 12 * CivilTime::SecondsPerHour,
                                                    start + 16 * CivilTime::SecondsPerHour));
        den.coverageNight = coverageOf(periods.night.count, sampleInterval,
                                       realLength(start + 16 * CivilTime::SecondsPerHour,
                                                  start + 24 * CivilTime::SecondsPerHour));
        den.partial = std::min({ den.coverageDay, den.coverageEvening, den.coverageNight })
            < DayEveningNight::PartialBelow;
        den.ld = periods.day.level();
        den.le = periods.evening.level();
        den.ln = periods.night.level();
        if (den.ld && den.le && den.ln)
            den.lden = ldenOf(*den.ld, *den.le, *den.ln);
        result.push_back(den);
    }
    return result;
}

int64_t DayEveningNight::elapsed() const
{
    return CivilTime::utcOf(end) - CivilTime::utcOf(start);
}

void StepMedian::add(int64_t time)
{
    if (m_previous && time > *m_previous) {
        ++m_lastCount.in(m_steps, time - *m_previous);
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

QString emptyStretchText(int64_t seconds)
{
    return QStringLiteral("No readings for ") + Wording::clockDuration(seconds);
}

double ldenOf(double ld, double le, double ln)
{
    return 10.0
        * std::log10((12.0 * energyOf(ld) + 4.0 * energyOf(le + 5.0) + 8.0 * energyOf(ln + 10.0))
                     / 24.0);
}

std::optional<int64_t> parseIntervalLength(const QString &text)
{
    return Wording::parseDuration(text, MaxLength);
}

QString IntervalLevel::stateText() const
{
    return !limit ? QString() : over() ? QStringLiteral("over") : QStringLiteral("ok");
}
