#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// The station's readings gathered a minute at a time for the broker: each
// instant with its offset and the level text as the day file holds it, so a
// hub stores the very readings of the day files, the repeated autumn hour
// told apart by the offset.
class ReadingMinutes
{
public:
    struct Minute
    {
        QDate day; // the site's day the minute's segment belongs to
        QByteArray json;
    };

    // The minute that ended before this reading, if one did.
    std::optional<Minute> add(const QDateTime &at, const QString &levelText, int intervalSeconds);
    // The running minute, at a stop.
    std::optional<Minute> flush();

private:
    qint64 m_minute = -1; // minutes since the epoch
    QDateTime m_first;
    int m_intervalSeconds = 1;
    QByteArray m_readings;
};
