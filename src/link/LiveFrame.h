#pragma once

#include "MeterReading.h"

#include <QByteArray>

#include <cstdint>

// The six-byte frame the meter sends: 02, four data bytes, 03.
constexpr int FrameLength = 6;
constexpr char FrameStart = 0x02;
constexpr char FrameEnd = 0x03;

// True when the bytes are six long, start with 02 and end with 03. Nothing
// else is checked: the meter sends no checksum.
bool FrameIsValid(const QByteArray &frame);

// The last six bytes of a read; the freshest frame if the read holds several.
QByteArray LastSixBytes(const QByteArray &bytes);

// Range byte: bits 0-2 range index (6 and 7 leave the range unchanged), bit 7 over-range.
void DecodeRangeByte(uint8_t byte, MeterReading &reading);
// Mode byte: time weighting, run/pause/stop, frequency weighting, under-range.
void DecodeModeByte(uint8_t byte, MeterReading &reading);
// Level word, high byte first: bit 15 marks the reading, bits 0-14 are tenths of a dB.
void DecodeLevel(uint8_t high, uint8_t low, MeterReading &reading);

// A valid live frame's range byte, mode byte and level word into the reading.
void DecodeLiveFrame(const QByteArray &frame, MeterReading &reading);

// The level text of a raw level word, as the meter shows it: 1375 -> "137.5",
// 5 -> ".5", a marked word gets a trailing "*".
QString LevelTextOfWord(uint16_t word);
