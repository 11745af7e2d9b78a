#pragma once

#include <QString>

// An axis range as the windows set it; the graph widens or swaps a range
// that has no positive width.
struct AxisSpan
{
    double min = 0.0;
    double max = 1.0;

    bool operator==(const AxisSpan &) const = default;
};

// The range "Reset Scale" restores in the series graph.
struct GraphResetRange
{
    int xMaximum = 1;
    double yMinimum = 0.0;
    double yMaximum = 1.0;
    QString yCaption;
};

// The range "Reset Scale" restores in the live histogram.
struct HistogramResetRange
{
    double xMinimum = 0.0;
    double xMaximum = 1.0;
    double yMaximum = 1.0;
};

// The occupied classes and the height of the last list histogram.
struct ListHistogramRange
{
    int firstIndex = 0;
    int lastIndex = 0;
    double yMaximum = 1.0;
};

// Ranges the graph windows share for the whole run; each load overwrites its
// own record.
struct GraphSharedState
{
    GraphResetRange graphResetRange;
    bool axisSyncSuppressed = false;
    // Readings last plotted in the list graph; the list window sets it before
    // plotting.
    int plotPointCount = 0;
    HistogramResetRange histogramResetRange;
    ListHistogramRange listHistogramRange;
};

GraphSharedState &graphSharedState();

// The list graph's "Reset Scale": X [1, readings], Y [25, 145].
AxisSpan listResetXSpan(int plotPointCount);
AxisSpan listResetYSpan();
