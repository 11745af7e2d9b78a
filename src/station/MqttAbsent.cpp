// A build without the Mosquitto client library (Windows, for now): the
// options refuse --mqtt ("built without MQTT"), so no publisher is ever made;
// these keep the station's code the same on every platform.
#include "MqttPublisher.h"

#ifndef VORN_HAVE_MQTT

MqttPublisher::MqttPublisher(MqttSettings settings, QString station, QString spoolPath,
                             QString version, Say say)
    : m_settings(std::move(settings))
    , m_station(std::move(station))
    , m_spoolPath(std::move(spoolPath))
    , m_version(std::move(version))
    , m_say(std::move(say))
{
}

MqttPublisher::~MqttPublisher() = default;

void MqttPublisher::start() { }

QByteArray MqttPublisher::withOrigin(const QByteArray &json) const
{
    return json;
}

void MqttPublisher::stop(int) { }

void MqttPublisher::publishLevel(const QByteArray &) { }

void MqttPublisher::publishKept(const QString &, const QByteArray &) { }

void MqttPublisher::publishReadings(const QDate &, const QByteArray &) { }

QString MqttPublisher::spoolForNextRun(const QString &, const QByteArray &)
{
    return {};
}


int MqttPublisher::spooled() const
{
    return 0;
}

QString MqttPublisher::topic(const QString &subtopic) const
{
    return QStringLiteral("vorn/") + m_station + QLatin1Char('/') + subtopic;
}

QList<std::pair<QString, QByteArray>> MqttPublisher::discovery() const
{
    return {};
}

#endif // VORN_HAVE_MQTT
