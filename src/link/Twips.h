#pragma once

#include <cmath>

// Window sizes are given in twips, 1440 to the inch.
constexpr int TwipsPerInch = 1440;

inline int TwipsToPixels(int twips, double dotsPerInch)
{
    return static_cast<int>(std::lround(twips * dotsPerInch / TwipsPerInch));
}
