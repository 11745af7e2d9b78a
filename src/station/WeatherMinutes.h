#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// A weather station's messages (433 MHz receivers' JSON on the broker)
// gathered into one row a minute: the mean wind, the highest gust, the rain
// fallen in the minute from the receiver's running total (a counter that
// restarts is taken as starting from nothing), the last direction and
// temperature.
class WeatherMinutes
{
public:
    // One message at `now`; false when it holds no weather it knows.
    bool add(const QDateTime &now, const QByteArray &payload);
    // At each tick: the rows of the minutes that ended, once each, as lines
    // of the weather file; a minute that brought no message has none.
    QStringList rowsDue(const QDateTime &now);
    // The last message that held weather, invalid before the first.
    QDateTime lastHeard() const { return m_lastHeard; }

private:
    void finishMinute();

    QStringList m_finished;
    QDateTime m_lastHeard;
    std::optional<qint64> m_minute; // the minute being gathered (its start, s since the epoch)
    double m_windSum = 0.0;
    int m_windCount = 0;
    std::optional<double> m_gust;
    std::optional<double> m_direction;
    std::optional<double> m_temperature;
    std::optional<double> m_rain; // fallen in the minute, once a total was known before
    std::optional<double> m_rainTotal; // the receiver's running total
};
