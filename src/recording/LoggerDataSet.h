#pragma once

#include <QByteArray>

#include <cstdint>

// One data set of the logger memory as cut from the download: the set marker
// 00 55 AA 00, the sampling interval (16 bits, high byte first), the mode byte,
// the range byte, k records of two bytes, five BCD time stamps of six bytes and
// ten level words of two bytes: 58 + 2k bytes in all.
using LoggerDataSet = QByteArray;

namespace LoggerLayout {

constexpr int MarkerLength = 4;
constexpr char Marker[MarkerLength] = { 0x00, 0x55, char(0xAA), 0x00 };

constexpr int IntervalOffset = 4; // offsets from 0 within a set
constexpr int ModeOffset = 6;
constexpr int RangeOffset = 7;
constexpr int FirstRecordOffset = 8;
constexpr int RecordLength = 2;
constexpr int StampLength = 6;
constexpr int StampCount = 5;
constexpr int LevelCount = 10;
// Everything but the records: header, five stamps, ten level words.
constexpr int FixedLength = FirstRecordOffset + StampCount * StampLength + LevelCount * 2;
static_assert(FixedLength == 58);

// Which of the five stamps and ten level words this program shows.
enum Stamp { StartStamp = 0, MaximumStamp = 2, PeakStamp = 4 };
enum Level {
    LeqLevel = 0,
    SelLevel,
    MaximumLevel,
    FourthLevel,
    PeakLevel,
    L05Level,
    L10Level,
    L50Level,
    L90Level,
    L95Level
};

constexpr int MaxSets = 255;
// The end position the meter reports for an empty memory.
constexpr uint32_t EmptyMemoryEnd = 48;

constexpr int setLength(int records)
{
    return FixedLength + RecordLength * records;
}

inline bool markerAt(const char *bytes)
{
    return bytes[0] == Marker[0] && bytes[1] == Marker[1] && bytes[2] == Marker[2]
        && bytes[3] == Marker[3];
}

} // namespace LoggerLayout
