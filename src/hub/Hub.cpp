#include "Hub.h"

#include <QDateTime>
#include <QDir>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <cstring>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int KeepAliveS = 30;

// What the hub stores; live levels and presence are for dashboards.
const char *const Kinds[]
    = { "readings", "interval", "event", "alarm", "link", "status", "details", "calibration",
        "weather" };

void sleepUnless(const std::function<bool()> &stop, int seconds)
{
    for (int i = 0; i < seconds * 10 && !stop(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

} // namespace

Hub::Hub(HubOptions options, Say say)
    : m_options(std::move(options))
    , m_say(std::move(say))
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

Hub::~Hub()
{
    dropClient();
}

void Hub::say(const QString &text)
{
    if (text == m_lastSaid)
        return;
    m_lastSaid = text;
    if (m_say)
        m_say(text);
}

bool Hub::openDatabase()
{
    QString error;
    auto db = SqlDatabase::open(m_options.database, m_options.databasePassword, &error);
    if (db) {
        auto store = std::make_unique<HubStore>(std::move(db), [this](const QString &name,
                                                                      const QString &detail) {
            say(name + QStringLiteral(": ") + detail);
        });
        if (store->prepare(&error)) {
            m_store = std::move(store);
            return true;
        }
    }
    say(QStringLiteral("the database %1 cannot be used (%2); tried again in %3 s")
            .arg(SqlDatabase::isPostgres(m_options.database)
                     ? m_options.database
                     : QDir::toNativeSeparators(m_options.database),
                 error)
            .arg(RetryS));
    return false;
}

bool Hub::connectBroker()
{
    mosquitto *client = mosquitto_new(m_options.clientId.toUtf8().constData(), false, this);
    if (!client)
        return false;
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_callback_set(client, &Hub::onConnect);
    mosquitto_disconnect_callback_set(client, &Hub::onDisconnect);
    mosquitto_message_callback_set(client, &Hub::onMessage);
    if (!m_options.mqtt.user.isEmpty())
        mosquitto_username_pw_set(client, m_options.mqtt.user.toUtf8().constData(),
                                  m_options.mqtt.password.isEmpty()
                                      ? nullptr
                                      : m_options.mqtt.password.toUtf8().constData());
    if (m_options.mqtt.tls) {
        const QByteArray ca = m_options.mqtt.caFile.toLocal8Bit();
        mosquitto_tls_set(client, ca.isEmpty() ? nullptr : ca.constData(),
                          ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
    }
    m_client = client;
    // The broker keeps the session, and what comes meanwhile, while the hub is away.
    mosquitto_property *properties = nullptr;
    mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL, SessionExpiryS);
    const int rc = mosquitto_connect_bind_v5(client, m_options.mqtt.host.toUtf8().constData(),
                                             m_options.mqtt.port, KeepAliveS, nullptr, properties);
    mosquitto_property_free_all(&properties);
    if (rc != MOSQ_ERR_SUCCESS) {
        say(QStringLiteral("the broker %1 cannot be reached (%2); tried again in %3 s")
                .arg(m_options.mqtt.url,
                     rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                          : QString::fromUtf8(mosquitto_strerror(rc)))
                .arg(RetryS));
        dropClient();
        return false;
    }
    return true;
}

void Hub::dropClient()
{
    if (!m_client)
        return;
    if (m_connected)
        mosquitto_disconnect(m_client);
    mosquitto_destroy(m_client);
    m_client = nullptr;
    m_connected = false;
}

void Hub::onConnect(mosquitto *client, void *self, int rc)
{
    auto *me = static_cast<Hub *>(self);
    if (rc != 0) {
        me->say(QStringLiteral("the broker %1 refused the hub: %2")
                    .arg(me->m_options.mqtt.url, QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    me->m_connected = true;
    me->say(QStringLiteral("connected to %1, storing into %2")
                .arg(me->m_options.mqtt.url, QDir::toNativeSeparators(me->m_options.database)));
    for (const char *kind : Kinds) {
        QString pattern = QStringLiteral("vorn/+/") + QLatin1String(kind);
        if (!me->m_options.shareGroup.isEmpty())
            pattern = QStringLiteral("$share/%1/%2").arg(me->m_options.shareGroup, pattern);
        mosquitto_subscribe_v5(client, nullptr, pattern.toUtf8().constData(), 1, 0, nullptr);
    }
}

void Hub::onDisconnect(mosquitto *, void *self, int)
{
    static_cast<Hub *>(self)->m_connected = false;
}

void Hub::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *me = static_cast<Hub *>(self);
    me->take(QString::fromUtf8(message->topic),
             QByteArray(static_cast<const char *>(message->payload), message->payloadlen));
}

void Hub::take(const QString &topic, const QByteArray &payload)
{
    // Behind what waits: kept in order, stored once the database is back.
    if (m_databaseAway) {
        m_pending.push_back({ topic, payload });
        return;
    }
    const QString away = store(topic, payload);
    if (away.isEmpty())
        return;
    m_databaseAway = true;
    m_pending.push_back({ topic, payload });
    say(QStringLiteral("the database is away (%1); the hub leaves the broker, which keeps "
                       "the messages for it, until it is back")
            .arg(away));
}

QString Hub::store(const QString &topic, const QByteArray &payload)
{
    const HubStore::Result result = m_store->store(topic, payload);
    switch (result.outcome) {
    case HubStore::Outcome::Stored:
        ++m_stored;
        break;
    case HubStore::Outcome::Ignored:
        break;
    case HubStore::Outcome::Refused:
        ++m_refused;
        m_store->event(QStringLiteral("message refused"),
                       QStringLiteral("%1: %2 (%3 bytes not stored)")
                           .arg(topic, result.reason)
                           .arg(payload.size()));
        break;
    case HubStore::Outcome::DatabaseAway:
        return result.reason;
    }
    return {};
}

bool Hub::storePending()
{
    if (!m_store->database().alive())
        return false;
    while (!m_pending.empty()) {
        // A message refused now is said as one refused at once is.
        if (!store(m_pending.front().topic, m_pending.front().payload).isEmpty())
            return false;
        m_pending.pop_front();
    }
    m_databaseAway = false;
    m_store->event(QStringLiteral("database back"),
                   QStringLiteral("the messages taken meanwhile are stored"));
    return true;
}

void Hub::keepReadings()
{
    if (m_options.keepReadingsMs <= 0 || Clock::now() - m_keptAt < std::chrono::hours(1))
        return;
    m_keptAt = Clock::now();
    qint64 dropped = 0;
    if (m_store->dropReadingsBefore(QDateTime::currentMSecsSinceEpoch() - m_options.keepReadingsMs,
                                    &dropped)
        && dropped > 0)
        m_store->event(QStringLiteral("readings dropped"),
                       QStringLiteral("%1 readings older than --keep-readings").arg(dropped));
}

int Hub::run(const std::function<bool()> &stop)
{
    while (!stop() && !openDatabase())
        sleepUnless(stop, RetryS);
    m_keptAt = Clock::now() - std::chrono::hours(2);
    while (!stop()) {
        if (m_databaseAway) {
            // The broker keeps the rest for the hub's session meanwhile.
            dropClient();
            if (!storePending()) {
                sleepUnless(stop, RetryS);
                continue;
            }
        }
        keepReadings();
        if (!m_client && !connectBroker()) {
            sleepUnless(stop, RetryS);
            continue;
        }
        const int rc = mosquitto_loop(m_client, 500, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            if (rc != MOSQ_ERR_NO_CONN || m_connected)
                say(QStringLiteral("the connection to %1 is lost (%2); tried again in %3 s")
                        .arg(m_options.mqtt.url, QString::fromUtf8(mosquitto_strerror(rc)))
                        .arg(RetryS));
            dropClient();
            sleepUnless(stop, RetryS);
        }
    }
    dropClient();
    return 0;
}
