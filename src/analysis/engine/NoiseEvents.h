#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <vector>

// Loud events in the readings: runs above a threshold, runs closer than a
// gap merged, at least a minimum duration long; and the "number above"
// counts of runs above other levels, each level on its own.
enum class Period { Day, Evening, Night };
constexpr int PeriodCount = 3;
// "day", "evening", "night"; of a civil time as --lden places it (07-19,
// 19-23, 23-07).
QString periodName(Period period);
Period periodOf(int64_t civil);

struct EventRules
{
    std::optional<double> threshold; // --events; none: no events listed
    std::optional<int64_t> minDuration; // s; none: the sampling interval
    int64_t gap = 5; // s
    std::vector<double> numberAbove; // --number-above levels

    bool any() const { return threshold || !numberAbove.empty(); }
    // "65" or "60,65,70": levels in dB from 0 to 140; nothing when any is not.
    static std::optional<std::vector<double>> parseLevels(const QString &text);
};

struct NoiseEvent
{
    int64_t start = 0; // moments (UTC); the end is not included
    int64_t end = 0;
    double lmax = 0.0;
    int64_t lmaxAt = 0;
    double sel = 0.0; // dB, the energy of its readings referred to 1 s
    Period period = Period::Day;
    int64_t day = 0; // its 07:00 day (civil)
    // Cut by an exclusion or a gap in the readings at its start or end.
    bool cut = false;
    int64_t duration() const { return end - start; }
};

using PeriodCounts = std::array<qint64, PeriodCount>;

// The runs above one level: counted by period and by 07:00 day (civil),
// and listed when they are the events.
struct RunsAbove
{
    double level = 0.0;
    std::vector<NoiseEvent> events;
    PeriodCounts byPeriod {};
    std::map<int64_t, PeriodCounts> byDay;
    qint64 count() const { return qint64(events.size()); }
};

struct EventReport
{
    EventRules rules;
    int64_t minDuration = 0; // as applied
    std::optional<RunsAbove> events; // above the threshold
    std::vector<RunsAbove> numberAbove;
};

// Fed every timed reading in order (excluded ones and those without a level
// too): finds the runs of each level as the readings come.
class EventFinder
{
public:
    explicit EventFinder(const EventRules &rules);
    // `energy`: the level that enters the energy, none for a reading without
    // one (marked, under range); `excluded`: taken out of the figures.
    void add(int64_t utc, int64_t civil, std::optional<double> energy, bool excluded);
    EventReport finish(double samplingInterval) const;

private:
    struct Run
    {
        double level = 0.0;
        bool keepList = false;
        // The open event: from its first reading above the level to its last.
        bool open = false;
        NoiseEvent event;
        int64_t lastAbove = 0;
        double energy = 0.0; // readings from its start to its last above
        double pending = 0.0; // readings after its last above, merged if another comes
        std::vector<NoiseEvent> done;
    };
    void close(Run &run, bool cut) const;

    EventRules m_rules;
    std::vector<Run> m_runs;
    std::optional<int64_t> m_previous;
    int64_t m_lastReading = 0; // the last reading's moment, excluded or not
    int64_t m_step = 0; // the smallest step between readings seen
    bool m_afterBreak = false;
    double m_lowest = std::numeric_limits<double>::infinity(); // of the runs' levels
};
