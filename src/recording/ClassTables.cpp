#include "ClassTables.h"

#include <algorithm>
#include <cmath>

int64_t ClassTables::tenthsOf(double level)
{
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int64_t>(std::nearbyint(level * 10.0));
}

int ClassTables::classOfTenths(int64_t tenths)
{
    const auto whole = static_cast<int>(tenths / 10);
    return tenths % 10 == 0 ? whole : whole + 1;
}

bool ClassTables::add(double level)
{
    if (!std::isfinite(level))
        return false;
    const int64_t tenths = tenthsOf(level);
    if (tenths < 0 || tenths > Top01dB)
        return false;
    ClassCounts01dB[tenths] += 1;
    ClassCounts1dB[classOfTenths(tenths)] += 1;
    ClassMax01dB = std::max<int>(ClassMax01dB, int(tenths));
    ClassMin01dB = std::min<int>(ClassMin01dB, int(tenths));
    if (level > ClassMax1dB)
        ClassMax1dB = int(std::floor(level + 1));
    if (level < ClassMin1dB)
        ClassMin1dB = int(std::floor(level - 1));
    return true;
}

void ClassTables::clearCounts()
{
    ClassCounts1dB.fill(0);
    ClassCounts01dB.fill(0);
}

void ClassTables::resetBounds(int min1dB, int min01dB)
{
    ClassMin1dB = min1dB;
    ClassMax1dB = 0;
    ClassMin01dB = min01dB;
    ClassMax01dB = 0;
}
