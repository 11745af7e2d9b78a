#pragma once

#include "recording/LevelNumber.h"

#include <QStringView>

// How a level text of a reading list counts in the level distribution. The
// tests run in this order: a marked reading ("*") is never counted, a dash
// means under range, an "L" or a value of 145 or more over range.
// Damaged: a level text no meter writes (a control byte, or junk after its
// number); it counts in no figure.
enum class LevelKind { Marked, UnderRange, OverRange, Ordinary, Damaged };

struct LevelTextClass
{
    LevelKind kind = LevelKind::Ordinary;
    // The numeric value; meaningful for an ordinary level only, and then
    // 0 <= value < 145.
    double value = 0.0;
    // value * 10 when the value is that many tenths exactly (value is then
    // tenths / 10.0), else -1: readings kept compactly know it already.
    int tenths = -1;
};

constexpr double OverRangeLevel = 145.0;
constexpr double UnderRangeLevel = 25.0;

LevelTextClass classifyLevelText(QStringView text);

class ReadingRows;

// The same for the level of a row kept compactly, without building its text
// when the row holds a canonical level ("65.3", "65.3*").
LevelTextClass classifyRowLevel(const ReadingRows &rows, qsizetype row);
