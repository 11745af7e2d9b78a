#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QTimeZone>

#include <cstdint>
#include <optional>
#include <vector>

// Time stamps of the data files are local wall-clock times without a zone.
// They are handled as civil seconds (seconds since 1970-01-01 00:00:00 of the
// same wall clock), so that intervals align to the clock the meter showed,
// whatever the zone or daylight saving of the machine that reads them.
namespace CivilTime {

// "yyyy/mm/dd hh:nn:ss" -> civil seconds; nullopt when it is not such a stamp.
std::optional<int64_t> parseStamp(QStringView text);

// Civil seconds -> "yyyy-mm-ddThh:mm:ss" (ISO 8601, local time).
QString toIso(int64_t seconds);

constexpr int64_t SecondsPerDay = 86400;
constexpr int64_t SecondsPerHour = 3600;

// The zone stamps are read in: the site's. Unless set, this computer's. A
// scope sets it for its thread while it lasts (a file of a zone of its own
// analysed beside others; an invalid zone keeps the one in force); setZone
// sets it for every thread without one.
void setZone(const QTimeZone &zone);
class ZoneScope
{
public:
    explicit ZoneScope(const QTimeZone &zone);
    ~ZoneScope();
    ZoneScope(const ZoneScope &) = delete;
    ZoneScope &operator=(const ZoneScope &) = delete;

private:
    const QTimeZone *m_previous;
    uint64_t m_previousId;
    QTimeZone m_zone;
};

// The UTC offset (seconds east) in force at a moment (seconds since the
// epoch, UTC) in the zone.
int offsetOfUtc(int64_t utc);
// The moment a civil time names: in the hour that repeats the first run
// (the second with laterPass); a civil time that the change to summer time
// skips names the moment the clock read it after the change.
int64_t utcOf(int64_t civil, bool laterPass = false);
// An ISO 8601 time: with an offset or Z it names one moment; without one it
// is site time (in the hour that repeats, its first run). Nothing when it
// is no such time.
std::optional<int64_t> momentOfIso(const QString &text);
// Only "2026-06-01T10:00:00+02:00" or "2026-06-01T10:00:00Z", quickly.
std::optional<int64_t> momentOfPlainIso(QByteArrayView text);
// ISO 8601 of a moment with the offset in force then, e.g. "2026-10-25T02:15:00+01:00".
QString isoOfUtc(int64_t utc);

// The UTC offset (seconds east) of a civil time in the zone.
// In the hour that repeats when clocks go back, laterPass picks the second
// time it runs; a civil time that the change to summer time skips gets the
// offset in force before it.
int utcOffsetAt(int64_t civil, bool laterPass = false);
// The civil time of a moment (seconds since the epoch, UTC) in the zone.
int64_t civilOfUtc(int64_t utc);
// The civil time runs twice here (clocks go back over it).
bool isRepeated(int64_t civil);
// "+01:00" / "-05:30".
QString offsetText(int offsetSeconds);
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
