#include "MqttPublisher.h"

// What the publisher says and how it names itself, on every platform: the
// topics, the origin every row carries and Home Assistant's discovery are
// message content only. The client and its spool are in MqttPublisher.cpp
// (MqttAbsent.cpp where the client library is not built in).

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

namespace {

QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

MqttPublisher::MqttPublisher(MqttSettings settings, QString station, QString spoolPath,
                             QString version, Say say)
    : m_settings(std::move(settings))
    , m_station(std::move(station))
    , m_spoolPath(std::move(spoolPath))
    , m_version(std::move(version))
    , m_say(std::move(say))
    , m_host(QSysInfo::machineHostName())
{
    const QByteArray where
        = (m_host + QLatin1Char('\n') + QFileInfo(m_spoolPath).absolutePath()).toUtf8();
    m_folderHash = QString::fromLatin1(
        QCryptographicHash::hash(where, QCryptographicHash::Sha1).toHex().left(8));
    // Unique per station, host and folder: two stations of one name (the
    // default is the host name, which devices share) do not knock each other
    // off the broker, and a station restarted after a crash is itself again.
    m_clientId = (QStringLiteral("vorn-") + m_station + QLatin1Char('-') + m_folderHash).toUtf8();
}

MqttPublisher::~MqttPublisher()
{
    stop(0);
}

QByteArray MqttPublisher::withOrigin(const QByteArray &json) const
{
    if (!json.startsWith('{') || !json.endsWith('}'))
        return json;
    QByteArray out = json.chopped(1);
    if (out.trimmed().size() > 1)
        out += ", ";
    // The host's name as a JSON string: the array's one element.
    const QByteArray host
        = QJsonDocument(QJsonArray { m_host }).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    return out + "\"host\": " + host + ", \"folder\": \"" + m_folderHash.toLatin1() + "\"}";
}

QString MqttPublisher::topic(const QString &subtopic) const
{
    return QStringLiteral("vorn/%1/%2").arg(m_station, subtopic);
}

QList<std::pair<QString, QByteArray>> MqttPublisher::discovery() const
{
    const QString id = QStringLiteral("vorn_") + m_station;
    const QJsonObject device { { QStringLiteral("identifiers"), QJsonArray { id } },
                               { QStringLiteral("name"), QStringLiteral("VORN ") + m_station },
                               { QStringLiteral("manufacturer"), QStringLiteral("VORN") },
                               { QStringLiteral("model"), QStringLiteral("vorn-monitor") },
                               { QStringLiteral("sw_version"), m_version } };
    const auto common = [&](const QString &object, const QString &name, const QString &state) {
        const QString domain = state == QLatin1String("alarm") ? QStringLiteral("binary_sensor")
                                                               : QStringLiteral("sensor");
        // default_entity_id for Home Assistant since 2025.10, object_id for
        // the versions before it.
        return QJsonObject { { QStringLiteral("name"), name },
                             { QStringLiteral("unique_id"), id + QLatin1Char('_') + object },
                             { QStringLiteral("object_id"), id + QLatin1Char('_') + object },
                             { QStringLiteral("default_entity_id"),
                               domain + QLatin1Char('.') + id + QLatin1Char('_') + object },
                             { QStringLiteral("state_topic"), topic(state) },
                             { QStringLiteral("availability_topic"),
                               topic(QStringLiteral("status")) },
                             { QStringLiteral("payload_available"), QStringLiteral("online") },
                             { QStringLiteral("payload_not_available"), QStringLiteral("offline") },
                             { QStringLiteral("device"), device } };
    };
    const auto sensor = [&](const QString &object, const QString &name, const QString &state,
                            const QString &key) {
        QJsonObject config = common(object, name, state);
        config.insert(QStringLiteral("device_class"), QStringLiteral("sound_pressure"));
        config.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("dB"));
        config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        config.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ value_json.%1 }}").arg(key));
        return config;
    };
    QJsonObject alarm
        = common(QStringLiteral("alarm"), QStringLiteral("Limit alarm"), QStringLiteral("alarm"));
    alarm.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
    alarm.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.event }}"));
    alarm.insert(QStringLiteral("payload_on"), QStringLiteral("alarm"));
    alarm.insert(QStringLiteral("payload_off"), QStringLiteral("clear"));
    const QString base = QStringLiteral("homeassistant/%1/") + id + QStringLiteral("/%2/config");
    // A dead meter's last level is no current one: the level expires after a
    // few samples, and is available only while both the station and its
    // link to the meter are.
    QJsonObject level = sensor(QStringLiteral("level"), QStringLiteral("Level"),
                               QStringLiteral("level"), QStringLiteral("level"));
    level.remove(QStringLiteral("availability_topic"));
    level.remove(QStringLiteral("payload_available"));
    level.remove(QStringLiteral("payload_not_available"));
    level.insert(QStringLiteral("expire_after"), ExpireAfterS);
    level.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
    level.insert(
        QStringLiteral("availability"),
        QJsonArray {
            QJsonObject { { QStringLiteral("topic"), topic(QStringLiteral("status")) },
                          { QStringLiteral("payload_available"), QStringLiteral("online") },
                          { QStringLiteral("payload_not_available"), QStringLiteral("offline") } },
            QJsonObject { { QStringLiteral("topic"), topic(QStringLiteral("link")) },
                          { QStringLiteral("payload_available"), QStringLiteral("ok") },
                          { QStringLiteral("payload_not_available"), QStringLiteral("lost") } } });
    return {
        { base.arg(QStringLiteral("sensor"), QStringLiteral("level")), compactJson(level) },
        { base.arg(QStringLiteral("sensor"), QStringLiteral("interval_leq")),
          compactJson(sensor(QStringLiteral("interval_leq"), QStringLiteral("Interval Leq"),
                             QStringLiteral("interval"), QStringLiteral("leq"))) },
        { base.arg(QStringLiteral("binary_sensor"), QStringLiteral("alarm")), compactJson(alarm) },
    };
}
