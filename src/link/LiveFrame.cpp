#include "LiveFrame.h"

namespace {

struct Range
{
    int16_t bottom;
    int16_t top;
};

// Index 0 is the highest range; every range spans 60 dB.
constexpr Range RangeTable[]
    = { { 80, 140 }, { 70, 130 }, { 60, 120 }, { 50, 110 }, { 40, 100 }, { 30, 90 } };

constexpr uint16_t MarkerBit = 0x8000;

} // namespace

bool FrameIsValid(const QByteArray &frame)
{
    return frame.size() == FrameLength && frame.at(0) == FrameStart
        && frame.at(FrameLength - 1) == FrameEnd;
}

QByteArray LastSixBytes(const QByteArray &bytes)
{
    return bytes.right(FrameLength);
}

void DecodeRangeByte(uint8_t byte, MeterReading &reading)
{
    const int index = byte % 8;
    reading.Over = (byte & 0x80) != 0;
    if (index < 6) {
        reading.RangeBottom = RangeTable[index].bottom;
        reading.RangeTop = RangeTable[index].top;
    }
}

void DecodeModeByte(uint8_t byte, MeterReading &reading)
{
    static const char *const timeWeightings[] = { "FAST", "SLOW", "IMP", "" };
    static const char *const freqWeightings[] = { "A", "C", "Z", "AA" };
    reading.TimeWeighting = QString::fromLatin1(timeWeightings[byte % 4]);
    reading.Running = (byte & 0x04) != 0;
    reading.Paused = (byte & 0x08) != 0;
    reading.Stopped = (byte & 0x10) != 0;
    reading.FreqWeighting = QString::fromLatin1(freqWeightings[(byte / 32) % 4]);
    reading.Under = (byte & 0x80) != 0;
}

QString LevelTextOfWord(uint16_t word)
{
    const bool marked = word >= MarkerBit;
    const int raw = marked ? word - MarkerBit : word;
    const QString digits = QString::number(raw);
    QString text = digits.left(digits.size() - 1);
    if (raw < 10)
        text.clear();
    text += QLatin1Char('.') + digits.right(1);
    if (marked)
        text += QLatin1Char('*');
    return text;
}

void DecodeLiveFrame(const QByteArray &frame, MeterReading &reading)
{
    const auto byteAt = [&frame](int i) { return static_cast<uint8_t>(frame.at(i)); };
    DecodeRangeByte(byteAt(1), reading);
    DecodeModeByte(byteAt(2), reading);
    DecodeLevel(byteAt(3), byteAt(4), reading);
}

void DecodeLevel(uint8_t high, uint8_t low, MeterReading &reading)
{
    const uint16_t word = static_cast<uint16_t>(high * 256 + low);
    const int raw = word >= MarkerBit ? word - MarkerBit : word;
    reading.Level = raw / 10.0;
    reading.LevelText = LevelTextOfWord(word);
}
