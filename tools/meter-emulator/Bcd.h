#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

// The meter keeps its times as six BCD bytes: second, minute, hour, day,
// month, two-digit year. Times are handled as calendar fields with timegm(),
// so that stepping by seconds never meets a daylight-saving jump.
namespace Bcd {

inline std::uint8_t encode(int value)
{
    return static_cast<std::uint8_t>(((value / 10) % 10) << 4 | (value % 10));
}

inline std::optional<int> decode(std::uint8_t byte)
{
    const int tens = byte >> 4;
    const int units = byte & 0x0F;
    if (tens > 9 || units > 9)
        return std::nullopt;
    return tens * 10 + units;
}

// Calendar seconds (timegm of the wall-clock fields) to the six bytes.
void encodeTime(std::time_t calendarSeconds, std::uint8_t out[6]);

// The six bytes to calendar seconds; nothing when a byte is not BCD or a
// field is out of range.
std::optional<std::time_t> decodeTime(const std::uint8_t in[6]);

// The local wall clock now, as calendar seconds.
std::time_t localCalendarNow();

} // namespace Bcd
