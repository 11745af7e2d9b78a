#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Time stamps of the data files are local wall-clock times without a zone.
// They are handled as civil seconds (seconds since 1970-01-01 00:00:00 of the
// same wall clock), so that intervals align to the clock the meter showed,
// whatever the zone or daylight saving of the machine that reads them.
namespace CivilTime {

// "yyyy/mm/dd hh:nn:ss" -> civil seconds; nullopt when it is not such a stamp.
std::optional<int64_t> parseStamp(QStringView text);

// Civil seconds -> "yyyy-mm-ddThh:mm:ss" (ISO 8601, local time).
QString toIso(int64_t seconds);

// Days since 1970-01-01 of a civil date, and back.
int64_t daysFromCivil(int year, unsigned month, unsigned day);

constexpr int64_t SecondsPerDay = 86400;

// The start of the clock-aligned interval of the given length holding t.
inline int64_t alignDown(int64_t t, int64_t length)
{
    const int64_t r = t % length;
    return r < 0 ? t - r - length : t - r;
}

} // namespace CivilTime
