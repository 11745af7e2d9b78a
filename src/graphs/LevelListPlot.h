#pragma once

#include <QString>

class ReadingRows;

#include <functional>
#include <span>
#include <vector>

// One caption tied to a reading of a plotted list: the reading of `row`
// (1-based, drawn at X = row) with its caption placed at `captionLevel` dB.
struct PlotMarker
{
    int row = 0;
    QString caption;
    double captionLevel = 0.0;

    bool operator==(const PlotMarker &) const = default;
};

struct LevelListPlot
{
    std::vector<double> levels; // levels[r - 1] is drawn at X = r
    std::vector<PlotMarker> markers;
};

inline constexpr double UnderRangePlotLevel = 25.0;
inline constexpr double OverRangePlotLevel = 145.0;
inline constexpr double PauseCaptionLevel = 30.0;
inline constexpr double StartCaptionLevel = 105.0;

// Turns the level texts of a list into drawn levels: "--" at 25 dB, over
// range ("L", or 140 dB and more) at 145 dB. A marked reading ("*") starts a
// pause run, inside which only "L" or 145 dB and more count as over range; the
// first plain unmarked reading ends it. Each run gets a "Pause" marker at its
// first reading and a "Start" marker at the reading that ends it; a run that
// lasts to the end has no "Start".
// `progress` (optional) is called with the number of rows done; it may be
// called for every row, so throttle inside it.
LevelListPlot levelsFromList(std::span<const QString> texts,
                             const std::function<void(int rowsDone)> &progress = {});
// The same for the level column of compactly kept rows, without a string
// per row.
LevelListPlot levelsFromRows(const ReadingRows &rows,
                             const std::function<void(int rowsDone)> &progress = {});
