#pragma once

#include <cmath>

// The energy sums behind every Leq and SEL of the program, in one place: the
// live tick, a recording's recovery, the analysis of files, the hub.
namespace Energy {

// The energy of a level: 10^(L/10).
inline double ofLevel(double level)
{
    return std::pow(10.0, level / 10.0);
}

// Leq of `count` readings whose energies sum to `energySum`: 10·log10 of
// their mean.
inline double leq(double energySum, double count)
{
    return 10.0 * std::log10(energySum / count);
}

// SEL, referred to 1 s: the Leq over `seconds` of exposure plus
// 10·log10(seconds). The live tick counts one-second samples; a file counts
// readings times its interval.
inline double sel(double leq, double seconds)
{
    return leq + 10.0 * std::log10(seconds);
}

// The same of readings each standing for `secondsEach`, from their energy sum.
inline double selOfSum(double energySum, double secondsEach)
{
    return 10.0 * std::log10(energySum * secondsEach);
}

} // namespace Energy
