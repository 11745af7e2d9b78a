#include "WeatherMinutes.h"

#include "analysis/records/Weather.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A value under one of its names, in the unit the file keeps.
std::optional<double> valueOf(const QJsonObject &object,
                              std::initializer_list<std::pair<const char *, double>> names,
                              double offset = 0.0)
{
    for (const auto &[name, factor] : names) {
        const QJsonValue value = object.value(QLatin1String(name));
        if (value.isDouble() && std::isfinite(value.toDouble()))
            return (value.toDouble() + offset) * factor;
    }
    return std::nullopt;
}

} // namespace

bool WeatherMinutes::add(const QDateTime &now, const QByteArray &payload)
{
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    constexpr double Mph = 0.44704;
    const auto wind = valueOf(object,
                              { { "wind_avg_m_s", 1.0 },
                                { "wind_avg_km_h", 1.0 / 3.6 },
                                { "wind_avg_mi_h", Mph },
                                { "wind_avg_mph", Mph } });
    const auto gust = valueOf(object,
                              { { "wind_max_m_s", 1.0 },
                                { "wind_max_km_h", 1.0 / 3.6 },
                                { "wind_max_mi_h", Mph },
                                { "wind_max_mph", Mph } });
    const auto direction = valueOf(object, { { "wind_dir_deg", 1.0 } });
    const auto rain = valueOf(object, { { "rain_mm", 1.0 }, { "rain_in", 25.4 } });
    auto temperature = valueOf(object, { { "temperature_C", 1.0 } });
    if (!temperature)
        temperature = valueOf(object, { { "temperature_F", 5.0 / 9.0 } }, -32.0);
    if (!wind && !gust && !direction && !rain && !temperature)
        return false;
    const qint64 minute = now.toSecsSinceEpoch() / 60 * 60;
    if (m_minute && *m_minute != minute)
        finishMinute();
    m_minute = minute;
    m_lastHeard = now;
    if (wind) {
        m_windSum += *wind;
        ++m_windCount;
    }
    if (gust || wind)
        m_gust = std::max(m_gust.value_or(0.0), gust.value_or(*wind));
    if (direction)
        m_direction = direction;
    if (temperature)
        m_temperature = temperature;
    if (rain) {
        if (m_rainTotal) {
            // A total below the last one: the counter started again.
            const double fallen = *rain >= *m_rainTotal ? *rain - *m_rainTotal : *rain;
            m_rain = m_rain.value_or(0.0) + fallen;
        }
        m_rainTotal = rain;
    }
    return true;
}

QStringList WeatherMinutes::rowsDue(const QDateTime &now)
{
    if (m_minute && now.toSecsSinceEpoch() >= *m_minute + 60)
        finishMinute();
    return std::exchange(m_finished, {});
}

void WeatherMinutes::finishMinute()
{
    WeatherRow row;
    if (m_windCount > 0)
        row.windSpeed = m_windSum / m_windCount;
    row.windGust = m_gust;
    row.windDirection = m_direction;
    row.rain = m_rain;
    row.temperature = m_temperature;
    m_finished << WeatherCsv::rowText(*m_minute + 60, row);
    m_minute.reset();
    m_windSum = 0.0;
    m_windCount = 0;
    m_gust.reset();
    m_direction.reset();
    m_temperature.reset();
    // The minute's rain is counted from a known total from now on.
    m_rain = m_rainTotal ? std::optional<double>(0.0) : std::nullopt;
}
