#pragma once

// Data sets built byte by byte from the logger layout table, independently of
// the program's own constants.

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

struct TestLoggerSet
{
    int interval = 1;
    uint8_t mode = 0x00; // FAST, A
    uint8_t range = 0x00; // 80-140
    std::vector<uint16_t> records { 850, 851, 852 };
    // second, minute, hour, day, month, year in BCD; start, second, maximum, fourth, peak
    std::array<std::array<uint8_t, 6>, 5> stamps { { { 0x00, 0x00, 0x08, 0x04, 0x03, 0x13 },
                                                     { 0x02, 0x00, 0x08, 0x04, 0x03, 0x13 },
                                                     { 0x01, 0x00, 0x08, 0x04, 0x03, 0x13 },
                                                     { 0x02, 0x00, 0x08, 0x04, 0x03, 0x13 },
                                                     { 0x02, 0x00, 0x08, 0x04, 0x03, 0x13 } } };
    // Leq, SEL, maximum, fourth, peak, L05, L10, L50, L90, L95
    std::array<uint16_t, 10> levels { 851, 899, 852, 850, 1003, 852, 852, 851, 850, 850 };

    QByteArray bytes() const
    {
        QByteArray out;
        out.append(char(0x00)).append(char(0x55)).append(char(0xAA)).append(char(0x00));
        out.append(char(interval >> 8)).append(char(interval & 0xFF));
        out.append(char(mode)).append(char(range));
        for (uint16_t r : records)
            out.append(char(r >> 8)).append(char(r & 0xFF));
        for (const auto &stamp : stamps)
            for (uint8_t b : stamp)
                out.append(char(b));
        for (uint16_t l : levels)
            out.append(char(l >> 8)).append(char(l & 0xFF));
        return out;
    }
};

// What the meter sends after "K": one leading byte, then the sets.
inline QByteArray loggerStream(const std::vector<TestLoggerSet> &sets, char leading = char(0x7E))
{
    QByteArray out(1, leading);
    for (const TestLoggerSet &set : sets)
        out += set.bytes();
    return out;
}

// The three bytes "A" answers with: 47 + the length of the sets, high byte first.
inline QByteArray endPositionReply(uint32_t v)
{
    QByteArray out;
    out.append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    return out;
}
