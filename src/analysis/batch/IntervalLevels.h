#pragma once

#include "analysis/ListDistribution.h"
#include "recording/DataFileReader.h"

#include <cstdint>
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

// The readings of a file on the civil time line; readings whose time stamp
// cannot be read are counted in `untimed`.
struct TimedReadings
{
    struct Reading
    {
        int64_t time;
        qsizetype index; // into the file's rows
    };
    std::vector<Reading> readings; // in time order
    qint64 untimed = 0;
};

TimedReadings timedReadings(const DataFileContents &file);

// Intervals of the given length (seconds) aligned to the clock, from the one
// holding the first reading to the one holding the last. Every interval in
// between is listed, empty ones with zero coverage.
std::vector<IntervalLevel> intervalLevels(const DataFileContents &file, const TimedReadings &timed,
                                          int64_t length, double sampleInterval,
                                          ResolutionMode mode);

// Every 07:00-to-07:00 period that the readings span from its start to its end.
std::vector<DayEveningNight> dayEveningNight(const DataFileContents &file,
                                             const TimedReadings &timed, double sampleInterval);

// Lden from the three period levels: 10·log10((12·10^(Ld/10) + 4·10^((Le+5)/10)
// + 8·10^((Ln+10)/10)) / 24).
double ldenOf(double ld, double le, double ln);

// "15min", "1h", "90s", "900" (seconds) -> seconds, up to a week; nullopt
// for anything else.
std::optional<int64_t> parseIntervalLength(const QString &text);
