#include "FormatTenths.h"

#include <cmath>
#include <cstdint>

QString FormatTenths(double value)
{
    // A level held constant must show as itself: 10*log10 of a sum of equal
    // energies can land a hair below the exact tenth, which plain truncation
    // would turn into the tenth below.
    constexpr double Tolerance = 1e-9;
    // Beyond the 64-bit integer range (or not a number at all) there are no
    // tenths to show; converting would be undefined.
    constexpr double Largest = 9.0e17;
    if (!std::isfinite(value) || std::abs(value) >= Largest)
        return QString();
    const auto tenths
        = static_cast<int64_t>(std::trunc(value * 10.0 + std::copysign(Tolerance, value)));
    const QString digits = QString::number(tenths);
    return digits.left(digits.size() - 1) + QLatin1Char('.') + digits.right(1);
}
