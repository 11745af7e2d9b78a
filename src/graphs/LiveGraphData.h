#pragma once

#include <cstdint>
#include <span>

// Read access to what the live panel gathers for its graphs. The spans point
// into the panel's own arrays; a reader copies what it keeps.
struct LiveGraphData
{
    // The three history series; entries 0 .. liveLogIndex - 1 hold the samples
    // since the last refresh or wrap.
    std::span<const double> levelLog;
    std::span<const double> leqLog;
    std::span<const double> selLog;
    int liveLogIndex = 0;

    // Class tables: index i is i dB (whole) or i / 10 dB (tenths); the bounds
    // are class indices of the lowest and highest level seen.
    std::span<const int64_t> classCounts1dB;
    int classMin1dB = 0;
    int classMax1dB = 0;
    std::span<const int64_t> classCounts01dB;
    int classMin01dB = 0;
    int classMax01dB = 0;

    // Extremes of the running Leq and SEL.
    double liveLeqMin = 0.0;
    double liveLeqMax = 0.0;
    double liveSelMin = 0.0;
    double liveSelMax = 0.0;
};

// Tenths spread above which the whole-dB histogram is shown instead of the
// tenth one.
inline constexpr int WholeHistogramSpreadTenths = 300;

inline bool showsWholeHistogram(int classMin01dB, int classMax01dB)
{
    return classMax01dB - classMin01dB > WholeHistogramSpreadTenths;
}

// The part of the history a click hands to the large graph: never more than
// the series holds.
inline int liveSamplesHeld(const LiveGraphData &data, std::span<const double> series)
{
    if (data.liveLogIndex <= 0)
        return 0;
    return data.liveLogIndex < int(series.size()) ? data.liveLogIndex : int(series.size());
}
