#include "IntervalLevels.h"

#include "CivilTime.h"
#include "FileStatistics.h"
#include "analysis/LevelText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t Hour = 3600;
constexpr int64_t MaxLength = 7 * 24 * Hour;

// The level a reading adds to the energy figures, if any.
std::optional<double> energyLevel(const QString &text)
{
    const LevelTextClass c = classifyLevelText(text);
    if (c.kind == LevelKind::Ordinary)
        return startsWithLevelNumber(text) ? std::optional<double>(c.value) : std::nullopt;
    if (c.kind == LevelKind::OverRange && !text.contains(QLatin1Char('L')))
        return leadingLevelValue(text);
    return std::nullopt;
}

struct EnergySum
{
    double energy = 0.0;
    qint64 count = 0;
    qint64 readings = 0;
    std::optional<double> max;

    void add(const QString &text)
    {
        ++readings;
        if (const auto level = energyLevel(text)) {
            energy += energyOf(*level);
            ++count;
            max = max ? std::max(*max, *level) : *level;
        }
    }
    std::optional<double> level() const
    {
        return count > 0 ? std::optional<double>(levelFromEnergy(energy, count)) : std::nullopt;
    }
};

double coverageOf(qint64 readings, double sampleInterval, int64_t length)
{
    return std::min(1.0, double(readings) * sampleInterval / double(length));
}

} // namespace

TimedReadings timedReadings(const DataFileContents &file)
{
    TimedReadings timed;
    timed.readings.reserve(file.times.size());
    for (qsizetype i = 0; i < file.times.size(); ++i) {
        if (const auto t = CivilTime::parseStamp(file.times.at(i)))
            timed.readings.push_back({ *t, i });
        else
            ++timed.untimed;
    }
    std::stable_sort(timed.readings.begin(), timed.readings.end(),
                     [](const auto &a, const auto &b) { return a.time < b.time; });
    return timed;
}

std::vector<IntervalLevel> intervalLevels(const DataFileContents &file, const TimedReadings &timed,
                                          int64_t length, double sampleInterval,
                                          ResolutionMode mode)
{
    std::vector<IntervalLevel> result;
    if (timed.readings.empty() || length <= 0)
        return result;
    const int64_t first = CivilTime::alignDown(timed.readings.front().time, length);
    const int64_t last = CivilTime::alignDown(timed.readings.back().time, length);
    auto it = timed.readings.begin();
    for (int64_t start = first; start <= last; start += length) {
        IntervalLevel interval;
        interval.start = start;
        interval.end = start + length;
        EnergySum sum;
        QVector<QString> texts;
        for (; it != timed.readings.end() && it->time < interval.end; ++it) {
            const QString &text = file.levels.at(it->index);
            sum.add(text);
            texts.push_back(text);
        }
        interval.readings = sum.readings;
        interval.energyReadings = sum.count;
        interval.coverage = coverageOf(sum.readings, sampleInterval, length);
        interval.leq = sum.level();
        interval.lmax = sum.max;
        if (!texts.isEmpty()) {
            const ListDistribution d = BuildListDistribution(texts, mode);
            if (d.hasReadings()) {
                interval.l10 = d.LnTable.value(10);
                interval.l90 = d.LnTable.value(90);
            }
        }
        result.push_back(std::move(interval));
    }
    return result;
}

double ldenOf(double ld, double le, double ln)
{
    return 10.0
        * std::log10((12.0 * energyOf(ld) + 4.0 * energyOf(le + 5.0) + 8.0 * energyOf(ln + 10.0))
                     / 24.0);
}

std::vector<DayEveningNight> dayEveningNight(const DataFileContents &file,
                                             const TimedReadings &timed, double sampleInterval)
{
    std::vector<DayEveningNight> result;
    if (timed.readings.empty())
        return result;
    const int64_t firstTime = timed.readings.front().time;
    // A reading stands for the interval that follows its time stamp.
    const int64_t endTime = timed.readings.back().time + int64_t(std::llround(sampleInterval));
    int64_t start = CivilTime::alignDown(firstTime - 7 * Hour, CivilTime::SecondsPerDay) + 7 * Hour;
    if (start < firstTime)
        start += CivilTime::SecondsPerDay;
    auto it = std::lower_bound(timed.readings.begin(), timed.readings.end(), start,
                               [](const auto &r, int64_t t) { return r.time < t; });
    for (; start + CivilTime::SecondsPerDay <= endTime; start += CivilTime::SecondsPerDay) {
        EnergySum day, evening, night;
        for (; it != timed.readings.end() && it->time < start + CivilTime::SecondsPerDay; ++it) {
            const int64_t offset = it->time - start; // 0 = 07:00
            const QString &text = file.levels.at(it->index);
            if (offset < 12 * Hour)
                day.add(text);
            else if (offset < 16 * Hour)
                evening.add(text);
            else
                night.add(text);
        }
        DayEveningNight den;
        den.start = start;
        den.coverageDay = coverageOf(day.readings, sampleInterval, 12 * Hour);
        den.coverageEvening = coverageOf(evening.readings, sampleInterval, 4 * Hour);
        den.coverageNight = coverageOf(night.readings, sampleInterval, 8 * Hour);
        den.ld = day.level();
        den.le = evening.level();
        den.ln = night.level();
        if (den.ld && den.le && den.ln)
            den.lden = ldenOf(*den.ld, *den.le, *den.ln);
        result.push_back(den);
    }
    return result;
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
