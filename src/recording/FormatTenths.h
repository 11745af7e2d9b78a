#pragma once

#include <QString>

// The text of a Leq or SEL value: ten times the value truncated toward zero,
// with a point before the last digit (85.37 gives "85.3", 0.5 gives ".5").
// Truncation, not rounding, so the boards never show more than was measured.
// A value that is not finite, or too large for whole tenths, gives "".
QString FormatTenths(double value);
