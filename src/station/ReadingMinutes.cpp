#include "ReadingMinutes.h"

#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"

std::optional<ReadingMinutes::Minute> ReadingMinutes::add(const QDateTime &at,
                                                          const QString &levelText,
                                                          int intervalSeconds)
{
    const qint64 minute = at.toSecsSinceEpoch() / 60;
    std::optional<Minute> ended;
    if (minute != m_minute || intervalSeconds != m_intervalSeconds)
        ended = flush();
    if (m_readings.isEmpty()) {
        m_minute = minute;
        m_first = at;
        m_intervalSeconds = intervalSeconds;
    } else {
        m_readings += ", ";
    }
    m_readings += "[" + jsonString(CivilTime::toIsoWithOffset(at)).toUtf8() + ", "
        + jsonString(levelText).toUtf8() + "]";
    return ended;
}

std::optional<ReadingMinutes::Minute> ReadingMinutes::flush()
{
    if (m_readings.isEmpty())
        return std::nullopt;
    Minute minute;
    minute.day = m_first.date();
    minute.json = "{\"minute\": " + jsonString(CivilTime::toIsoWithOffset(m_first)).toUtf8()
        + ", \"interval_s\": " + QByteArray::number(m_intervalSeconds) + ", \"readings\": ["
        + m_readings + "]}";
    m_readings.clear();
    m_minute = -1;
    return minute;
}
