#pragma once

#include "ReportProgress.h"
#include "analysis/engine/IntervalLevels.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

struct DataFileContents;

// What the level axis of a history strip runs along.
enum class HistoryAxis { ClockTime, ReadingNumber };

// What fell into one pixel column of a strip besides its level range.
namespace HistoryColumn {
enum : quint8 {
    Level = 1, // low/high hold the levels drawn in the column
    Marked = 2, // a marked (paused) reading covers the column
    UnderRange = 4,
    OverRange = 8,
    // The trace is not joined to the column before: readings are missing or
    // a reading without a level lies between.
    Break = 16,
};
}

struct HistoryTick
{
    double position = 0.0; // axis units
    QString label;
};

// One strip of the time history, reduced to a minimum and maximum per pixel
// column, so its size depends on the page and not on the file.
struct HistoryStrip
{
    double start = 0.0; // axis units: civil seconds, or reading numbers from 1
    double end = 0.0;
    QString title;
    std::vector<float> low;
    std::vector<float> high;
    std::vector<quint8> flags;
    std::vector<HistoryTick> ticks;

    int columns() const { return int(flags.size()); }
    // The axis position of the middle of a column.
    double columnCentre(int column) const
    {
        return start + (end - start) * (column + 0.5) / double(columns());
    }
};

struct TimeHistory
{
    HistoryAxis axis = HistoryAxis::ClockTime;
    // Why the levels are drawn against the reading number; empty otherwise.
    QString note;
    double levelFloor = 20.0;
    double levelCeiling = 100.0;
    std::vector<HistoryStrip> strips;
    qint64 drawnReadings = 0; // readings with a level in the trace
    // Earliest and latest readable time stamps, when there are any.
    std::optional<int64_t> firstTime;
    std::optional<int64_t> lastTime;
    // The hours that ran twice: the axis runs on places, the second run an
    // hour after the first (placeOf).
    RepeatedHours hours;
    // The place on the clock axis of a civil time and its offset.
    double placeOf(int64_t civil, int offset) const;
};

struct HistoryShape
{
    int columns = 1000; // pixel columns of one strip
    int stripsPerPage = 4;
    int maxStrips = 64; // longer files get longer strips
};

// Two passes over the readings: one to choose the axis and the strips, one to
// fill the columns. nullopt when cancelled.
std::optional<TimeHistory> buildTimeHistory(const DataFileContents &file, double sampleInterval,
                                            const HistoryShape &shape = {},
                                            ReportProgressGate *gate = nullptr);

// "yyyy/mm/dd hh:nn:ss" of civil seconds, the form the files use.
QString stampText(int64_t civilSeconds);
