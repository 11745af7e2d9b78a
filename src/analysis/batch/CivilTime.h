#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

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

// The UTC offset (seconds east) of a civil time in the zone of this machine.
// In the hour that repeats when clocks go back, laterPass picks the second
// time it runs; a civil time that the change to summer time skips gets the
// offset in force before it.
int utcOffsetAt(int64_t civil, bool laterPass = false);
// The civil time of a moment (seconds since the epoch, UTC) on this machine.
int64_t civilOfUtc(int64_t utc);
// The civil time runs twice here (clocks go back over it).
bool isRepeated(int64_t civil);
// "+01:00" / "-05:30".
QString offsetText(int offsetSeconds);
// "3 d 04:00:00", or "04:00:00" under a day.
QString durationText(int64_t seconds);
// Civil seconds of a local date and time.
int64_t civilSecondsOf(const QDate &date, const QTime &time);

// ISO 8601 with the UTC offset in force, e.g. "2024-10-27T02:15:00+01:00".
QString toIsoWithOffset(int64_t civil, bool laterPass = false);
// The same of a moment the program lived: its own offset, so the hour that
// repeats is told apart.
QString toIsoWithOffset(const QDateTime &time);

// The start of the clock-aligned interval of the given length holding t.
inline int64_t alignDown(int64_t t, int64_t length)
{
    const int64_t r = t % length;
    return r < 0 ? t - r - length : t - r;
}

} // namespace CivilTime
