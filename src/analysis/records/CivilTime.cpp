#include "analysis/records/CivilTime.h"

#include "platform/Calendar.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <vector>

namespace CivilTime {

namespace {

bool readNumber(QStringView text, qsizetype from, qsizetype length, int &value)
{
    value = 0;
    for (qsizetype i = from; i < from + length; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    return true;
}

} // namespace

std::optional<int64_t> parseStamp(QStringView text)
{
    text = text.trimmed();
    // yyyy/mm/dd hh:nn:ss
    if (text.size() != 19 || text.at(4) != QLatin1Char('/') || text.at(7) != QLatin1Char('/')
        || text.at(10) != QLatin1Char(' ') || text.at(13) != QLatin1Char(':')
        || text.at(16) != QLatin1Char(':'))
        return std::nullopt;
    int hour, minute, second;
    if (!readNumber(text, 11, 2, hour) || !readNumber(text, 14, 2, minute)
        || !readNumber(text, 17, 2, second) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    // A file holds a day's readings after one another: the date of the
    // reading before is read once, not once per reading.
    thread_local char16_t lastDate[10] = {};
    thread_local int64_t lastDays = 0;
    const QStringView date = text.first(10);
    if (std::equal(date.utf16(), date.utf16() + 10, lastDate))
        return lastDays * SecondsPerDay + hour * 3600 + minute * 60 + second;
    int year, month, day;
    if (!readNumber(text, 0, 4, year) || !readNumber(text, 5, 2, month)
        || !readNumber(text, 8, 2, day))
        return std::nullopt;
    if (!Calendar::isValidDate(year, month, day))
        return std::nullopt;
    lastDays = Calendar::daysFromCivil(year, unsigned(month), unsigned(day));
    std::copy(date.utf16(), date.utf16() + 10, lastDate);
    return lastDays * SecondsPerDay + hour * 3600 + minute * 60 + second;
}

QString toIso(int64_t seconds)
{
    const int64_t days = alignDown(seconds, SecondsPerDay) / SecondsPerDay;
    const int64_t inDay = seconds - days * SecondsPerDay;
    const Calendar::Date c = Calendar::civilFromDays(days);
    // Written digit by digit: every row of every table has stamps, and six
    // arg() calls cost more than the rest of a row.
    if (c.year >= 0 && c.year <= 9999) {
        QString text(19, Qt::Uninitialized);
        QChar *out = text.data();
        const auto put = [&out](int64_t value, int width) {
            for (int i = width - 1; i >= 0; --i) {
                out[i] = QChar(u'0' + char16_t(value % 10));
                value /= 10;
            }
            out += width;
        };
        const auto sep = [&out](char16_t c) { *out++ = QChar(c); };
        put(c.year, 4);
        sep(u'-');
        put(c.month, 2);
        sep(u'-');
        put(c.day, 2);
        sep(u'T');
        put(inDay / 3600, 2);
        sep(u':');
        put(inDay / 60 % 60, 2);
        sep(u':');
        put(inDay % 60, 2);
        return text;
    }
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(c.year, 4, 10, QLatin1Char('0'))
        .arg(c.month, 2, 10, QLatin1Char('0'))
        .arg(c.day, 2, 10, QLatin1Char('0'))
        .arg(inDay / 3600, 2, 10, QLatin1Char('0'))
        .arg(inDay / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(inDay % 60, 2, 10, QLatin1Char('0'));
}

namespace {

// The zone of every thread without a scope, and a number that changes with
// it, so each thread's copy and its cached spans know when they are stale.
std::mutex s_zoneLock;
QTimeZone s_zone;
bool s_zoneSet = false;
std::atomic<uint64_t> s_zoneId { 1 };
std::atomic<uint64_t> s_nextScopeId { 1ull << 32 };

thread_local const QTimeZone *t_scoped = nullptr;
thread_local uint64_t t_scopedId = 0;

struct ZoneInUse
{
    const QTimeZone *zone;
    uint64_t id;
};

ZoneInUse zoneInUse()
{
    if (t_scoped)
        return { t_scoped, t_scopedId };
    thread_local QTimeZone copy;
    thread_local uint64_t copyId = 0;
    const uint64_t id = s_zoneId.load(std::memory_order_acquire);
    if (copyId != id) {
        const std::lock_guard lock(s_zoneLock);
        copy = s_zoneSet ? s_zone : QTimeZone::systemTimeZone();
        copyId = s_zoneId.load(std::memory_order_relaxed);
    }
    return { &copy, copyId };
}

// The offset holds from one transition to the next: a month of interval rows
// asks for it tens of thousands of times, and the zone's answer is slow. Each
// thread keeps the span of its last answer, for its zone.
struct Span
{
    int64_t from = 1;
    int64_t to = 0;
    int offset = 0;
    uint64_t zoneId = 0;
};
thread_local Span t_span;

int offsetAtUtc(int64_t utc)
{
    const ZoneInUse inUse = zoneInUse();
    const QTimeZone &zone = *inUse.zone;
    Span &span = t_span;
    if (span.zoneId == inUse.id && utc >= span.from && utc < span.to)
        return span.offset;
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
    const int offset = zone.offsetFromUtc(at);
    if (zone.hasTransitions()) {
        const QTimeZone::OffsetData before = zone.previousTransition(at.addSecs(1));
        const QTimeZone::OffsetData after = zone.nextTransition(at);
        Span found { before.atUtc.isValid() ? before.atUtc.toSecsSinceEpoch()
                                            : std::numeric_limits<int64_t>::min(),
                     after.atUtc.isValid() ? after.atUtc.toSecsSinceEpoch()
                                           : std::numeric_limits<int64_t>::max(),
                     offset, inUse.id };
        // Kept only when the zone's own answers agree at both ends.
        const auto agrees = [&](int64_t t) {
            return t == std::numeric_limits<int64_t>::min()
                || t == std::numeric_limits<int64_t>::max()
                || zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(t, Qt::UTC)) == offset;
        };
        if (found.from <= utc && utc < found.to && agrees(found.from)
            && agrees(found.to == std::numeric_limits<int64_t>::max() ? found.to : found.to - 1))
            span = found;
    } else {
        span = { std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), offset,
                 inUse.id };
    }
    return offset;
}

// The moments (UTC) whose local clock shows this civil time, earliest first,
// with their offsets.
std::vector<std::pair<int64_t, int>> momentsOf(int64_t civil)
{
    std::vector<std::pair<int64_t, int>> found;
    // Zones change their offset rarely: what holds a day before and after
    // covers both sides of any change near this time.
    for (const int64_t probe : { civil - SecondsPerDay, civil, civil + SecondsPerDay }) {
        const int offset = offsetAtUtc(probe);
        const int64_t utc = civil - offset;
        if (offsetAtUtc(utc) == offset
            && std::find_if(found.begin(), found.end(),
                            [utc](const auto &m) { return m.first == utc; })
                == found.end())
            found.emplace_back(utc, offset);
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

void setZone(const QTimeZone &zone)
{
    const std::lock_guard lock(s_zoneLock);
    s_zone = zone;
    s_zoneSet = true;
    s_zoneId.fetch_add(1, std::memory_order_release);
}

ZoneScope::ZoneScope(const QTimeZone &zone)
    : m_previous(t_scoped)
    , m_previousId(t_scopedId)
    , m_zone(zone.isValid() ? zone : *zoneInUse().zone)
{
    t_scoped = &m_zone;
    t_scopedId = s_nextScopeId.fetch_add(1);
}

ZoneScope::~ZoneScope()
{
    t_scoped = m_previous;
    t_scopedId = m_previousId;
}

int offsetOfUtc(int64_t utc)
{
    return offsetAtUtc(utc);
}

int64_t utcOf(int64_t civil, bool laterPass)
{
    // Every reading asks: civil times a day or more inside one offset's
    // span name one moment, found without asking the zone.
    thread_local Span safe; // of civil times here
    const uint64_t zoneId = zoneInUse().id;
    if (safe.zoneId == zoneId && civil >= safe.from && civil < safe.to)
        return civil - safe.offset;
    const auto moments = momentsOf(civil);
    if (moments.size() == 1) {
        const int64_t utc = moments.front().first;
        const int offset = offsetAtUtc(utc);
        const Span &span = t_span;
        if (span.zoneId == zoneId && utc >= span.from && utc < span.to && offset == span.offset) {
            constexpr int64_t Min = std::numeric_limits<int64_t>::min();
            constexpr int64_t Max = std::numeric_limits<int64_t>::max();
            safe = { span.from == Min ? Min : span.from + offset + SecondsPerDay,
                     span.to == Max ? Max : span.to + offset - SecondsPerDay, offset, zoneId };
        }
        return utc;
    }
    if (!moments.empty())
        return laterPass ? moments.back().first : moments.front().first;
    // Skipped: the clock read it after the change, with the offset before.
    return civil - offsetAtUtc(civil - SecondsPerDay);
}

QString isoOfUtc(int64_t utc)
{
    const int offset = offsetAtUtc(utc);
    return toIso(utc + offset) + offsetText(offset);
}

int utcOffsetAt(int64_t civil, bool laterPass)
{
    const auto moments = momentsOf(civil);
    if (moments.empty())
        return offsetAtUtc(civil - offsetAtUtc(civil - SecondsPerDay));
    return laterPass ? moments.back().second : moments.front().second;
}

int64_t civilOfUtc(int64_t utc)
{
    return utc + offsetAtUtc(utc);
}

bool isRepeated(int64_t civil)
{
    return momentsOf(civil).size() > 1;
}

int64_t civilSecondsOf(const QDate &date, const QTime &time)
{
    return Calendar::daysFromCivil(date.year(), unsigned(date.month()), unsigned(date.day()))
        * SecondsPerDay
        + time.msecsSinceStartOfDay() / 1000;
}

QString offsetText(int offsetSeconds)
{
    const int minutes = std::abs(offsetSeconds) / 60;
    const int hours = minutes / 60;
    if (hours > 99)
        return QStringLiteral("%1%2:%3")
            .arg(QLatin1Char(offsetSeconds < 0 ? '-' : '+'))
            .arg(hours)
            .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    const char16_t text[] = { offsetSeconds < 0 ? u'-' : u'+',    char16_t(u'0' + hours / 10),
                              char16_t(u'0' + hours % 10),        u':',
                              char16_t(u'0' + minutes % 60 / 10), char16_t(u'0' + minutes % 10) };
    return QString(reinterpret_cast<const QChar *>(text), 6);
}

QString toIsoWithOffset(int64_t civil, bool laterPass)
{
    return toIso(civil) + offsetText(utcOffsetAt(civil, laterPass));
}

QString toIsoWithOffset(const QDateTime &time)
{
    return toIso(civilSecondsOf(time.date(), time.time())) + offsetText(time.offsetFromUtc());
}

namespace {

// "2026-06-01T10:00:00+02:00" or "...Z", the form files written by programs
// hold: read without the general parser, which costs ten times as much.
std::optional<int64_t> plainIso(QByteArrayView t)
{
    if (t.size() != 20 && t.size() != 25)
        return std::nullopt;
    const auto digits = [&](int at, int count) -> int {
        int value = 0;
        for (int i = at; i < at + count; ++i) {
            const char c = t[i];
            if (c < '0' || c > '9')
                return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    if (t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':')
        return std::nullopt;
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    const int hour = digits(11, 2), minute = digits(14, 2), second = digits(17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0
        || minute > 59 || second < 0 || second > 59 || !Calendar::isValidDate(year, month, day))
        return std::nullopt;
    int offset = 0;
    if (t.size() == 20) {
        if (t[19] != 'Z')
            return std::nullopt;
    } else {
        const int oh = digits(20, 2), om = digits(23, 2);
        if ((t[19] != '+' && t[19] != '-') || t[22] != ':' || oh < 0 || oh > 23 || om < 0
            || om > 59)
            return std::nullopt;
        offset = (t[19] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    }
    return Calendar::daysFromCivil(year, unsigned(month), unsigned(day)) * SecondsPerDay
        + hour * 3600 + minute * 60 + second - offset;
}

} // namespace

std::optional<int64_t> momentOfPlainIso(QByteArrayView text)
{
    return plainIso(text.trimmed());
}

std::optional<int64_t> momentOfIso(const QString &text)
{
    const QStringView trimmed = QStringView(text).trimmed();
    if (trimmed.size() <= 25)
        if (const auto plain = plainIso(trimmed.toLatin1()))
            return plain;
    const QDateTime t = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!t.isValid() || text.trimmed().size() < 19)
        return std::nullopt;
    if (t.timeSpec() == Qt::LocalTime)
        return utcOf(civilSecondsOf(t.date(), t.time()));
    return t.toSecsSinceEpoch();
}

} // namespace CivilTime
