#pragma once

#include <QString>

// The text of a Leq or SEL value: ten times the value truncated toward zero,
// with a point before the last digit (85.37 gives "85.3", 0.5 gives ".5").
// Truncation, not rounding, so the boards never show more than was measured.
QString FormatTenths(double value);

// The numeric value at the start of a text, after leading blanks, as a
// reader of the data files takes it ("85.3*" gives 85.3, " 0 " gives 0).
// A text without a leading number is worth 0.
double LeadingNumber(const QString &text);
