// A build without the Mosquitto client library (Windows, for now): the
// options refuse --mqtt ("built without MQTT"), so no publisher is ever made;
// these, with MqttMessages.cpp, keep the station's code the same on every platform.
#include "MqttPublisher.h"

#ifndef VORN_HAVE_MQTT

void MqttPublisher::start() { }

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

#endif // VORN_HAVE_MQTT
