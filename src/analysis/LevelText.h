#pragma once

#include <QStringView>

// How a level text of a reading list counts in the level distribution. The
// tests run in this order: a marked reading ("*") is never counted, a dash
// means under range, an "L" or a value of 145 or more over range.
enum class LevelKind { Marked, UnderRange, OverRange, Ordinary };

struct LevelTextClass
{
    LevelKind kind = LevelKind::Ordinary;
    // The numeric value; meaningful for an ordinary level only, and then
    // 0 <= value < 145.
    double value = 0.0;
};

constexpr double OverRangeLevel = 145.0;
constexpr double UnderRangeLevel = 25.0;

LevelTextClass classifyLevelText(QStringView text);

// The value of a decimal number at the start of the text after blanks, with
// a point as decimal separator whatever the locale, stopping at the first
// character that cannot continue it; 0 when the text does not start with a
// number ("inf" and "nan" are not numbers here).
double leadingLevelValue(QStringView text);

// True when the whole text, blanks around it aside, is one such number.
bool isWholeNumberText(QStringView text);
