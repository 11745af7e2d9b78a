#pragma once

#include <array>
#include <cstdint>

// The live level distribution: samples per 1-dB class (class k holds
// k-1 < L <= k, classes 0..140) and per 0.1-dB class (tenths 0..1400),
// with the lowest and highest bounds seen.
struct ClassTables
{
    static constexpr int Top1dB = 140;
    static constexpr int Top01dB = 1400;
    // Bounds at program start, and after Refresh (which uses its own values).
    static constexpr int StartMin1dB = 145;
    static constexpr int StartMin01dB = 1450;
    static constexpr int RefreshMin1dB = 150;
    static constexpr int RefreshMin01dB = 1500;
    // A spread of the 0.1-dB bounds over this many tenths shows the 1-dB histogram.
    static constexpr int WholeDbSpread = 300;

    std::array<int64_t, Top1dB + 1> ClassCounts1dB {};
    std::array<int64_t, Top01dB + 1> ClassCounts01dB {};
    int ClassMin1dB = StartMin1dB;
    int ClassMax1dB = 0;
    int ClassMin01dB = StartMin01dB;
    int ClassMax01dB = 0;

    // Counts one sample and widens the bounds. A level outside 0.0..140.0 dB
    // has no class: it is left out and false returned.
    bool add(double level);
    // Empties both tables (entry 0 included) and gives the bounds the values
    // that minimum (start or Refresh values) and 0 stand for.
    void clearCounts();
    void resetBounds(int min1dB, int min01dB);

    bool showWholeDbHistogram() const { return ClassMax01dB - ClassMin01dB > WholeDbSpread; }

    // 10 * level rounded to an integer, halves to even.
    static int64_t tenthsOf(double level);
    // The 1-dB class of a level given in tenths: 850 is class 85, 851 class 86.
    static int classOfTenths(int64_t tenths);
};
