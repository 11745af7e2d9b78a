#pragma once

#include <QStringView>

// The value of a decimal number at the start of the text after blanks, with
// a point as decimal separator whatever the locale, stopping at the first
// character that cannot continue it; 0 when the text does not start with a
// number ("inf" and "nan" are not numbers here).
double leadingLevelValue(QStringView text);

// True when the whole text, blanks around it aside, is one such number.
bool isWholeNumberText(QStringView text);

// True when the text starts with such a number after blanks ("", "abc" and
// " .L" do not).
bool startsWithLevelNumber(QStringView text);

// True when a reading's level text is damaged: it holds a control character
// or an undecodable byte, or its leading number is followed by anything but
// blanks and the meter's marks ("*", "-", "L"). A text without a leading
// number is not judged here ("--", "L").
bool isDamagedLevelText(QStringView text);
