#include "MeterClock.h"

#include "Bcd.h"

MeterClock::MeterClock() = default;

void MeterClock::read(std::uint8_t out[6]) const
{
    Bcd::encodeTime(Bcd::localCalendarNow() + m_offset, out);
}

bool MeterClock::set(const std::uint8_t in[6])
{
    const auto time = Bcd::decodeTime(in);
    if (!time)
        return false;
    m_offset = *time - Bcd::localCalendarNow();
    return true;
}
