#include "TimeHistory.h"

#include "analysis/engine/FileStatistics.h"

#include "ReportReadings.h"
#include "analysis/LevelText.h"
#include "analysis/records/CivilTime.h"
#include "analysis/engine/IntervalLevels.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t Minute = 60;
constexpr int64_t Hour = 3600;
constexpr int64_t StripDay = CivilTime::SecondsPerDay;

// Strip lengths a reader can take in at a glance, with the tick step of each.
struct StripLength
{
    int64_t length;
    int64_t tick;
};
constexpr StripLength ClockStrips[] = {
    { 10 * Minute, Minute },   { 30 * Minute, 5 * Minute }, { Hour, 10 * Minute },
    { 2 * Hour, 15 * Minute }, { 3 * Hour, 30 * Minute },   { 6 * Hour, Hour },
    { 12 * Hour, 2 * Hour },   { StripDay, 3 * Hour },
};

constexpr int64_t ReadingsPerStripLimit = 86400; // a day of one-second readings

// The level of a reading in the trace, if it has one: ordinary levels and
// over-range readings that carry a value.
struct ReadingClass
{
    LevelKind kind;
    std::optional<double> level;
};

ReadingClass classify(QStringView text)
{
    const LevelTextClass c = classifyLevelText(text);
    // The trace shows the levels the figures use and no other: a damaged
    // 3276.7 or a "1e39" would stretch the axis (or overflow a float).
    return { c.kind, energyLevelOf(text, c) };
}

QString twoDigits(int64_t v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString clockText(int64_t t)
{
    const int64_t inDay = t - CivilTime::alignDown(t, StripDay);
    return twoDigits(inDay / Hour) + QLatin1Char(':') + twoDigits(inDay / Minute % 60);
}

QString dateText(int64_t t)
{
    return stampText(t).left(10);
}

// The first pass: can the clock carry the axis, and where does it start and end?
struct AxisScan
{
    bool clockUsable = true;
    QString note;
    // first and last: places on the time axis; minTime, maxTime: civil.
    std::optional<int64_t> first, last, minTime, maxTime;
    // The hours that ran twice: their second run is drawn after the first.
    RepeatedHours hours;
};

AxisScan scanTimes(const DataFileContents &file)
{
    AxisScan scan;
    ReportReadings::forEachTimed(file, [&](qint64 index, std::optional<int64_t> t, QStringView) {
        if (!t) {
            if (scan.clockUsable) {
                scan.clockUsable = false;
                scan.note = QStringLiteral("Reading %1 has no valid time stamp (\"%2\"): the "
                                           "levels are drawn against the reading number.")
                                .arg(index + 1)
                                .arg(ReportReadings::timeText(file, index).left(24));
            }
            return true;
        }
        const int64_t place = scan.hours.place(*t);
        if (scan.last && place < *scan.last && scan.clockUsable) {
            scan.clockUsable = false;
            scan.note = QStringLiteral("The time stamps run backwards at reading %1 (%2 after "
                                       "%3): the levels are drawn against the reading number.")
                            .arg(index + 1)
                            .arg(stampText(*t), stampText(scan.hours.civilOf(*scan.last)));
        }
        if (!scan.first)
            scan.first = place;
        scan.last = place;
        scan.minTime = scan.minTime ? std::min(*scan.minTime, *t) : *t;
        scan.maxTime = scan.maxTime ? std::max(*scan.maxTime, *t) : *t;
        return true;
    });
    if (!scan.first) {
        scan.clockUsable = false;
        if (ReportReadings::count(file) > 0 && scan.note.isEmpty())
            scan.note = QStringLiteral("No reading has a valid time stamp: the levels are drawn "
                                       "against the reading number.");
    }
    return scan;
}

// Ticks at the site's clock times from `start` to `end` (civil), put at their
// places on the axis; an hour that ran twice gets its ticks twice, and a tick
// whose offset differs from the one before names it.
std::vector<HistoryTick> clockTicks(int64_t start, int64_t end, int64_t step,
                                    const RepeatedHours &hours)
{
    std::vector<HistoryTick> ticks;
    std::optional<int> previousOffset;
    const auto add = [&](int64_t place, int64_t civil) {
        QString label;
        if (end - start > StripDay)
            label = dateText(civil);
        else if (civil % StripDay == 0)
            label = clockText(civil) + QLatin1Char('\n') + dateText(civil);
        else
            label = clockText(civil);
        if (hours.any() && end - start <= StripDay) {
            const int offset = hours.offsetOf(place);
            if (previousOffset && offset != *previousOffset)
                label += QLatin1Char('\n') + CivilTime::offsetText(offset);
            previousOffset = offset;
        }
        ticks.push_back({ double(place), label });
    };
    for (int64_t t = CivilTime::alignDown(start, step); t <= end; t += step) {
        if (t < start)
            continue;
        add(hours.placeOfCivil(t), t);
        if (hours.ranTwice(t) && t < end)
            add(hours.placeOfCivil(t) + 3600, t);
    }
    std::sort(ticks.begin(), ticks.end(),
              [](const HistoryTick &a, const HistoryTick &b) { return a.position < b.position; });
    return ticks;
}

int64_t niceStep(int64_t span, int targetTicks)
{
    int64_t step = 1;
    for (;;) {
        for (const int64_t f : { 1, 2, 5 }) {
            if (span / (step * f) <= targetTicks)
                return step * f;
        }
        step *= 10;
    }
}

std::vector<HistoryStrip> clockStrips(int64_t first, int64_t end, const HistoryShape &shape,
                                      const RepeatedHours &hours)
{
    int64_t length = ClockStrips[std::size(ClockStrips) - 1].length;
    int64_t tick = ClockStrips[std::size(ClockStrips) - 1].tick;
    bool chosen = false;
    for (const StripLength &s : ClockStrips) {
        const int64_t from = CivilTime::alignDown(first, s.length);
        if ((end - from + s.length - 1) / s.length <= shape.stripsPerPage) {
            length = s.length;
            tick = s.tick;
            chosen = true;
            break;
        }
    }
    if (!chosen) {
        const int64_t from = CivilTime::alignDown(first, StripDay);
        const int64_t days = (end - from + StripDay - 1) / StripDay;
        if (days > shape.maxStrips) {
            const int64_t perStrip = (days + shape.maxStrips - 1) / shape.maxStrips;
            length = perStrip * StripDay;
            tick = std::max<int64_t>(1, perStrip / 4) * StripDay;
        }
    }
    // Strips start at the site's clock times: a day that ran an hour twice
    // is a strip an hour longer.
    std::vector<HistoryStrip> strips;
    for (int64_t c = CivilTime::alignDown(hours.civilOf(first), length);
         hours.placeOfCivil(c) < end || strips.empty(); c += length) {
        HistoryStrip strip;
        strip.start = double(hours.placeOfCivil(c));
        strip.end = double(hours.placeOfCivil(c + length));
        const QString from = stampText(c).left(16);
        const QString to = stampText(c + length).left(16);
        strip.title
            = from + QStringLiteral(" – ") + (from.left(10) == to.left(10) ? to.mid(11) : to);
        strip.ticks = clockTicks(c, c + length, tick, hours);
        strips.push_back(std::move(strip));
    }
    return strips;
}

std::vector<HistoryStrip> readingStrips(qint64 readings, const HistoryShape &shape)
{
    const int64_t perPage
        = std::max<int64_t>(1, (readings + shape.stripsPerPage - 1) / shape.stripsPerPage);
    // The shortest of 1, 2, 5, 10, 20, … readings that fits the file on one page.
    int64_t length = 1;
    for (int64_t decade = 1; length < perPage; decade *= 10) {
        for (const int64_t f : { 1, 2, 5 }) {
            length = decade * f;
            if (length >= perPage)
                break;
        }
    }
    length = std::min(length, ReadingsPerStripLimit);
    length = std::max<int64_t>(length, (readings + shape.maxStrips - 1) / shape.maxStrips);
    std::vector<HistoryStrip> strips;
    for (int64_t s = 1; s <= readings || strips.empty(); s += length) {
        HistoryStrip strip;
        strip.start = double(s);
        strip.end = double(s + length);
        strip.title = QStringLiteral("Readings %1 to %2").arg(s).arg(s + length - 1);
        const int64_t step = niceStep(length, 10);
        if (s % step != 0)
            strip.ticks.push_back({ double(s), QString::number(s) });
        for (int64_t t = (s + step - 1) / step * step; t <= s + length; t += step)
            strip.ticks.push_back({ double(t), QString::number(t) });
        strips.push_back(std::move(strip));
    }
    return strips;
}

} // namespace

QString stampText(int64_t civilSeconds)
{
    QString iso = CivilTime::toIso(civilSeconds);
    iso[4] = QLatin1Char('/');
    iso[7] = QLatin1Char('/');
    iso[10] = QLatin1Char(' ');
    return iso;
}

double TimeHistory::placeOf(int64_t civil, int offset) const
{
    int64_t place = hours.placeOfCivil(civil);
    if (hours.ranTwice(civil) && offset == CivilTime::utcOffsetAt(civil, true)
        && offset != CivilTime::utcOffsetAt(civil, false))
        place += 3600;
    return double(place);
}

std::optional<TimeHistory> buildTimeHistory(const DataFileContents &file, double sampleInterval,
                                            const HistoryShape &shape, ReportProgressGate *gate)
{
    TimeHistory history;
    const qint64 readings = ReportReadings::count(file);
    const AxisScan scan = scanTimes(file);
    history.hours = scan.hours;
    history.firstTime = scan.minTime;
    history.lastTime = scan.maxTime;
    history.note = scan.note;
    const double interval = sampleInterval > 0 ? sampleInterval : 1.0;

    if (scan.clockUsable) {
        const int64_t end = *scan.last + std::max<int64_t>(1, int64_t(std::ceil(interval)));
        // Stamps far apart for the readings they hold (a clock set years
        // off mid-set) would stretch the trace into a few dots on many
        // pages: the reading number is the honest axis then.
        const double covered = double(readings) * interval;
        const double span = double(end - *scan.first);
        if (span > double(shape.maxStrips) * double(StripDay) && span > 4.0 * covered) {
            history.note = QStringLiteral("The time stamps span from %1 to %2, far more than "
                                          "the readings cover: the levels are drawn against "
                                          "the reading number.")
                               .arg(stampText(scan.hours.civilOf(*scan.first)),
                                    stampText(scan.hours.civilOf(*scan.last)));
        } else {
            history.strips = clockStrips(*scan.first, end, shape, scan.hours);
        }
    }
    if (history.strips.empty()) {
        history.axis = HistoryAxis::ReadingNumber;
        history.strips = readingStrips(readings, shape);
    }
    for (HistoryStrip &strip : history.strips) {
        strip.low.assign(size_t(shape.columns), 0.0f);
        strip.high.assign(size_t(shape.columns), 0.0f);
        strip.flags.assign(size_t(shape.columns), 0);
    }

    const bool byClock = history.axis == HistoryAxis::ClockTime;
    const double gapLimit = byClock
        ? std::max(2.5 * interval,
                   1.5 * (history.strips.front().end - history.strips.front().start)
                       / shape.columns)
        : 1.5;
    std::optional<double> lowest, highest;
    std::optional<double> previousPosition;
    bool pendingBreak = false;
    size_t stripIndex = 0;
    // The same places the scan gave: the repeated hour after the first run.
    RepeatedHours drawn;
    const bool finished = ReportReadings::forEachTimed(
        file, [&](qint64 index, std::optional<int64_t> time, QStringView text) {
            if ((index & 0xfff) == 0 && gate && !gate->step(double(index) / double(readings)))
                return false;
            double position = double(index + 1);
            if (byClock)
                position = double(drawn.place(*time));
            while (stripIndex + 1 < history.strips.size()
                   && position >= history.strips[stripIndex].end)
                ++stripIndex;
            HistoryStrip &strip = history.strips[stripIndex];
            const double width = strip.end - strip.start;
            const auto columnOf = [&](double p) {
                return std::clamp(int((p - strip.start) / width * shape.columns), 0,
                                  shape.columns - 1);
            };
            const int column = columnOf(position);
            const ReadingClass reading = classify(text);
            switch (reading.kind) {
            case LevelKind::Marked: {
                // A marked reading stands for its whole sampling interval.
                const int last = byClock ? columnOf(position + interval * 0.999) : column;
                for (int c = column; c <= last; ++c)
                    strip.flags[size_t(c)] |= HistoryColumn::Marked;
                pendingBreak = true;
                break;
            }
            case LevelKind::UnderRange:
                strip.flags[size_t(column)] |= HistoryColumn::UnderRange;
                pendingBreak = true;
                break;
            case LevelKind::OverRange:
                strip.flags[size_t(column)] |= HistoryColumn::OverRange;
                break;
            case LevelKind::Ordinary:
                break;
            case LevelKind::Damaged:
                pendingBreak = true;
                break;
            }
            if (!reading.level) {
                if (reading.kind == LevelKind::OverRange)
                    pendingBreak = true;
                return true;
            }
            const auto level = float(*reading.level);
            quint8 &flags = strip.flags[size_t(column)];
            if (pendingBreak || (previousPosition && position - *previousPosition > gapLimit)
                || !previousPosition)
                flags |= HistoryColumn::Break;
            pendingBreak = false;
            previousPosition = position;
            if (flags & HistoryColumn::Level) {
                strip.low[size_t(column)] = std::min(strip.low[size_t(column)], level);
                strip.high[size_t(column)] = std::max(strip.high[size_t(column)], level);
            } else {
                flags |= HistoryColumn::Level;
                strip.low[size_t(column)] = level;
                strip.high[size_t(column)] = level;
            }
            lowest = lowest ? std::min(*lowest, *reading.level) : *reading.level;
            highest = highest ? std::max(*highest, *reading.level) : *reading.level;
            ++history.drawnReadings;
            return true;
        });
    if (!finished || (gate && !gate->finish()))
        return std::nullopt;

    if (lowest) {
        history.levelFloor = std::max(0.0, std::floor((*lowest - 2.0) / 10.0) * 10.0);
        history.levelCeiling = std::min(160.0, std::ceil((*highest + 2.0) / 10.0) * 10.0);
        if (history.levelCeiling - history.levelFloor < 30.0)
            history.levelCeiling = history.levelFloor + 30.0;
    }
    return history;
}
