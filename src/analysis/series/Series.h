#pragma once

#include "analysis/engine/FileSeries.h"
#include "analysis/engine/LimitSchedule.h"
#include "analysis/records/SiteZone.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The readings of a joined series as the series window draws them and
// analyses them again when exclusions change: time stamps in series order,
// their levels, and what the analysis needs of each, compactly, so a month
// of one-second readings stays small.
struct SeriesReadings
{
    std::vector<int64_t> times; // civil seconds, in series order
    std::vector<float> levels; // NaN: a reading without a level to draw
    qint64 untimed = 0; // readings without a readable stamp: not drawn
    double sampleInterval = 1.0;

    void add(std::optional<int64_t> time, const LevelTextClass &level, std::optional<double> energy,
             bool damaged = false);
    size_t size() const { return times.size(); }
    // The readings with from <= time < to, as [first, last).
    std::pair<size_t, size_t> indexRange(double from, double to) const;
    // The reading nearest to a time, if any lies within a sample interval.
    std::optional<size_t> nearest(double time) const;

    // Each reading as it was added, untimed ones in their places:
    // to(time, level, energy, damaged).
    template<typename Reading> void replay(Reading &&to) const;

private:
    struct Untimed
    {
        size_t before; // the timed readings before it
        LevelTextClass level;
        std::optional<double> energy;
        bool damaged;
    };
    // Kind in the low three bits, then the flags below; the level in tenths
    // when that gives it back exactly, else in m_oddValues.
    enum : uint8_t { KindBits = 7, HasEnergy = 8, EnergyIsValue = 16, Damaged = 32,
                     ValueInTenths = 64 };
    // t / 10.0, from the table the energies are looked up in.
    static double tenthsValue(int16_t t)
    {
        static const std::vector<double> &values = energyTable().level;
        return t >= 0 && size_t(t) < values.size() ? values[size_t(t)] : double(t) / 10.0;
    }
    std::vector<uint8_t> m_codes;
    std::vector<int16_t> m_tenths;
    std::vector<std::pair<size_t, double>> m_oddValues; // by index
    std::vector<std::pair<size_t, double>> m_oddEnergies;
    std::vector<Untimed> m_untimed;
};

template<typename Reading> void SeriesReadings::replay(Reading &&to) const
{
    auto oddValue = m_oddValues.begin();
    auto oddEnergy = m_oddEnergies.begin();
    auto untimedAt = m_untimed.begin();
    const auto flushUntimed = [&](size_t before) {
        for (; untimedAt != m_untimed.end() && untimedAt->before == before; ++untimedAt)
            to(std::optional<int64_t>(), untimedAt->level, untimedAt->energy, untimedAt->damaged);
    };
    for (size_t i = 0; i < times.size(); ++i) {
        if (untimedAt != m_untimed.end())
            flushUntimed(i);
        const uint8_t code = m_codes[i];
        LevelTextClass level { LevelKind(code & KindBits), 0.0 };
        if (code & ValueInTenths) {
            level.value = tenthsValue(m_tenths[i]);
            level.tenths = m_tenths[i] >= 0 ? m_tenths[i] : -1;
        } else
            level.value = (oddValue++)->second;
        std::optional<double> energy;
        if (code & EnergyIsValue)
            energy = level.value;
        else if (code & HasEnergy)
            energy = (oddEnergy++)->second;
        to(std::optional<int64_t>(times[i]), level, energy, (code & Damaged) != 0);
    }
    flushUntimed(times.size());
}

// A polyline of the levels between two times for a plot `columns` wide: the
// lowest and highest level of each column, as the report draws them, or each
// reading once there are fewer readings than columns. NaN y breaks the line
// where readings are missing.
struct SeriesTrace
{
    std::vector<double> x;
    std::vector<double> y;
    bool readingByReading = false;
};
SeriesTrace traceOf(const SeriesReadings &readings, double from, double to, int columns);

// Where the limits of a series come from: the interval tables a station
// wrote beside its day files (their limit column), else a schedule typed in.
struct TableLimit
{
    int64_t start = 0; // civil seconds
    int64_t end = 0;
    double limit = 0.0;
};
struct SeriesLimits
{
    std::vector<TableLimit> table; // sorted by start
    std::optional<LimitSchedule> schedule;

    bool isEmpty() const { return table.empty() && !schedule; }
    std::optional<double> at(int64_t civil) const;
    // The step line between two times: (time, limit) at each change; NaN
    // where no limit is in force.
    std::vector<std::pair<double, double>> steps(int64_t from, int64_t to) const;
};

// One row of a station's events file.
struct SeriesEvent
{
    int64_t time = 0; // civil seconds
    QString timeText; // as written, with its offset
    QString event;
    QString detail;
};

namespace SeriesFolder {

// The data files of a folder, by name: the station's day files and its
// running day last when the folder holds one station's (or `station` is
// named), else every data file.
QStringList dataFiles(const QString &folder, const QString &station = {});
// The stations whose files the folder holds, by name.
QStringList stations(const QString &folder);
// The station whose day file this is ("fence 2026-04-01.vorn" -> "fence"),
// or nothing.
QString stationOf(const QString &fileName);
// The events beside the files ("STATION events.csv"), between two times.
std::vector<SeriesEvent> events(const QString &folder, const QString &station);
// The limit column of the station's interval tables.
std::vector<TableLimit> tableLimits(const QString &folder, const QString &station);

} // namespace SeriesFolder

// A series loaded for the window: the analysis of `vorn-stats --join`, its
// readings and what the folder says about them.
struct LoadedSeries
{
    SeriesOutcome outcome;
    SeriesReadings readings;
    QStringList files; // as asked for
    QString folder; // the first file's
    QString station; // when they are a station's day files
    // The site's zone, which the files' details name (else this computer's):
    // every time the window shows and asks for is read in it.
    SiteZone zone;
    QString zoneNote;
    // The request's zone fields set to the series' zone.
    void placeInZone(AnalysisRequest &request) const;
};

// Reads and analyses the files (the same path as `vorn-stats --join`) in
// the zone their details name; `progress` may cancel (then
// outcome.cancelled).
LoadedSeries loadSeries(const QStringList &files, const AnalysisRequest &request,
                        const std::function<bool(qsizetype, qsizetype)> &progress = {});

// The series analysed again from its kept readings, as `request` asks
// (its exclusions above all): the figures vorn-stats gives with the same
// request, without reading the files again. The files, their troubles and
// the calibration are the loaded report's.
FileFigures reanalyse(const LoadedSeries &series, const AnalysisRequest &request);

// The interval rows judged against the limits (the limit at each start).
void judgeIntervals(FileFigures &report, const SeriesLimits &limits);

// The tables as vorn-stats writes them in CSV: intervals (with limit and
// state when limits are set) and days.
QString intervalsCsv(const FileFigures &report);
QString daysCsv(const FileFigures &report);
