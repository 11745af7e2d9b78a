#include "Bcd.h"

namespace Bcd {

void encodeTime(std::time_t calendarSeconds, std::uint8_t out[6])
{
    std::tm fields {};
    gmtime_r(&calendarSeconds, &fields);
    out[0] = encode(fields.tm_sec);
    out[1] = encode(fields.tm_min);
    out[2] = encode(fields.tm_hour);
    out[3] = encode(fields.tm_mday);
    out[4] = encode(fields.tm_mon + 1);
    out[5] = encode(fields.tm_year % 100);
}

std::optional<std::time_t> decodeTime(const std::uint8_t in[6])
{
    int value[6];
    for (int i = 0; i < 6; ++i) {
        const auto decoded = decode(in[i]);
        if (!decoded)
            return std::nullopt;
        value[i] = *decoded;
    }
    if (value[0] > 59 || value[1] > 59 || value[2] > 23 || value[3] < 1 || value[3] > 31
        || value[4] < 1 || value[4] > 12)
        return std::nullopt;
    std::tm fields {};
    fields.tm_sec = value[0];
    fields.tm_min = value[1];
    fields.tm_hour = value[2];
    fields.tm_mday = value[3];
    fields.tm_mon = value[4] - 1;
    fields.tm_year = 100 + value[5]; // the meter's century is 2000
    return timegm(&fields);
}

std::time_t localCalendarNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm fields {};
    localtime_r(&now, &fields);
    return timegm(&fields);
}

} // namespace Bcd
