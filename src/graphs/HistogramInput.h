#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// What the list histogram needs from a level distribution: the class counts,
// their width, and the percentile table L(0)..L(99) as it is to be shown.
enum class ClassWidth { Whole, Tenth }; // 1 dB or 0.1 dB classes

struct HistogramInput
{
    // counts[k] holds the readings of class index firstClassIndex + k; a
    // class index is in tenths of a dB (Tenth) or whole dB (Whole).
    std::vector<int64_t> counts;
    ClassWidth width = ClassWidth::Whole;
    int firstClassIndex = 0;
    // lnTexts[m] is L(m) as shown in its cell: "65.3" (Tenth) or "65" (Whole).
    std::array<QString, 100> lnTexts;
};
