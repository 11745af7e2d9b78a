#pragma once

#include "analysis/LevelText.h"
#include "analysis/ListDistribution.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Levels per clock-aligned interval, and the day-evening-night levels.
struct IntervalLevel
{
    int64_t start = 0; // civil seconds
    int64_t end = 0;
    qint64 readings = 0; // readings with a time stamp in the interval
    qint64 energyReadings = 0; // readings that enter Leq and Lmax
    double coverage = 0.0; // share of the interval the readings cover, 0 … 1
    std::optional<double> leq;
    std::optional<double> lmax;
    QString l10;
    QString l90;
};

// Day (07-19), evening (19-23) and night (23-07) levels of one 24-hour
// period starting at 07:00, and Lden with +5 dB evening and +10 dB night.
struct DayEveningNight
{
    int64_t start = 0; // 07:00 of the day, civil seconds
    double coverageDay = 0.0;
    double coverageEvening = 0.0;
    double coverageNight = 0.0;
    std::optional<double> ld;
    std::optional<double> le;
    std::optional<double> ln;
    std::optional<double> lden;
};

// The energy figures of a set of readings, summed as they come.
struct EnergySum
{
    double energy = 0.0;
    qint64 count = 0; // readings that entered the energy
    qint64 readings = 0; // every reading added
    std::optional<double> max;

    // level: what the reading adds to the energy, if anything.
    void add(std::optional<double> level);
    std::optional<double> level() const;
};

// Levels per clock-aligned interval, gathered in one pass over readings in
// any order: memory grows with the number of intervals, not of readings.
class IntervalAccumulator
{
public:
    IntervalAccumulator(int64_t length, ResolutionMode mode);
    void add(int64_t time, const LevelTextClass &level, std::optional<double> energyLevel);
    // Every interval from the one holding the first reading to the one
    // holding the last, empty ones with zero coverage.
    std::vector<IntervalLevel> result(double sampleInterval) const;

private:
    struct Interval
    {
        EnergySum sum;
        qint64 marked = 0;
        std::vector<qint64> counts; // classes of the chosen width
    };
    int64_t m_length;
    ResolutionMode m_mode;
    std::map<int64_t, Interval> m_intervals;
};

// Day, evening and night sums of every 07:00-to-07:00 period, in one pass.
class DayEveningNightAccumulator
{
public:
    void add(int64_t time, std::optional<double> energyLevel);
    // Every period that the readings span from its start to its end; a
    // reading stands for the sample interval that follows its time stamp.
    std::vector<DayEveningNight> result(double sampleInterval) const;

private:
    struct Periods
    {
        EnergySum day, evening, night;
    };
    std::map<int64_t, Periods> m_days; // by 07:00 of the day
    std::optional<int64_t> m_first;
    std::optional<int64_t> m_last;
};

// The median step between consecutive readable time stamps, from a count
// of each step length.
class StepMedian
{
public:
    void add(int64_t time);
    std::optional<double> median() const;

private:
    std::map<int64_t, qint64> m_steps;
    qint64 m_count = 0;
    std::optional<int64_t> m_previous;
};

// Lden from the three period levels: 10·log10((12·10^(Ld/10) + 4·10^((Le+5)/10)
// + 8·10^((Ln+10)/10)) / 24).
double ldenOf(double ld, double le, double ln);

// "15min", "1h", "90s", "900" (seconds) -> seconds, up to a week; nullopt
// for anything else.
std::optional<int64_t> parseIntervalLength(const QString &text);
