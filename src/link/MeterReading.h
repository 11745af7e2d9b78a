#pragma once

#include <QString>

#include <cstdint>

// One decoded display state of the meter. A reading starts with zero
// numbers, empty texts and false flags.
struct MeterReading
{
    int16_t RangeTop = 0;
    int16_t RangeBottom = 0;
    QString TimeWeighting; // "FAST", "SLOW", "IMP" or empty
    QString FreqWeighting; // "A", "C", "Z" or "AA" (the 20-200 Hz filter)
    bool Running = false;
    bool Paused = false;
    bool Stopped = false;
    bool Under = false;
    bool Over = false;
    double Level = 0.0;
    QString LevelText; // one decimal, "*" appended for a marked level word
};
