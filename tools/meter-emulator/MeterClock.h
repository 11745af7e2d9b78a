#pragma once

#include <cstdint>
#include <ctime>

// The meter's real-time clock: starts from the PC's local time and runs
// with it; setting it keeps the difference.
class MeterClock
{
public:
    MeterClock();

    // Six BCD bytes: second, minute, hour, day, month, two-digit year.
    void read(std::uint8_t out[6]) const;
    // Returns false, leaving the clock as it was, when the bytes are not a valid time.
    bool set(const std::uint8_t in[6]);

private:
    std::time_t m_offset = 0; // meter calendar seconds minus PC calendar seconds
};
