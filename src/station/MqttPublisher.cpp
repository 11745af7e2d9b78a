#include "MqttPublisher.h"

// Built where the Mosquitto client library is; MqttAbsent.cpp stands in elsewhere.
#ifdef VORN_HAVE_MQTT

#include "platform/DiskSync.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <mosquitto.h>

#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// A broker that took the connection but never answers is given up after
// this long and tried again later.
constexpr auto ConnackLimit = std::chrono::seconds(30);
constexpr int KeepAliveS = 30;
// Acknowledged messages leave the spool file at most this often, so that a
// long backlog is not rewritten once per message.
constexpr auto SpoolRewriteEvery = std::chrono::seconds(1);

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// Why a connection failed, in words; a certificate that cannot be verified
// is said as such.
QString failureText(int rc, const MqttSettings &settings)
{
    if (rc == MOSQ_ERR_TLS)
        return settings.caFile.isEmpty()
            ? QStringLiteral("the broker's certificate cannot be verified with the system's "
                             "certificate authorities")
            : QStringLiteral("the broker's certificate cannot be verified with \"%1\"")
                  .arg(QDir::toNativeSeparators(settings.caFile));
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    // Its own text is "Unknown error.": a silent broker is no mystery.
    if (rc == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("the broker did not answer within %1 s").arg(int(KeepAliveS * 1.5));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

void MqttPublisher::start()
{
    if (m_thread.joinable())
        return;
    initLibrary();
    m_thread = std::thread([this] { run(); });
}

void MqttPublisher::stop(int waitMs)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_stopping = true;
        m_stopWaitMs = waitMs;
    }
    m_wake.notify_all();
    m_thread.join();
}

int MqttPublisher::spooled() const
{
    return m_spooled;
}

void MqttPublisher::publishLevel(const QByteArray &json)
{
    const std::lock_guard lock(m_mutex);
    if (!m_client || !m_connected)
        return;
    const QByteArray name = topic(QStringLiteral("level")).toUtf8();
    mosquitto_publish(m_client, nullptr, name.constData(), int(json.size()), json.constData(), 0,
                      false);
}

void MqttPublisher::publishKept(const QString &subtopic, const QByteArray &json)
{
    {
        const std::lock_guard lock(m_mutex);
        m_outbox.push_back({ topic(subtopic), withOrigin(json), {} });
    }
    m_wake.notify_all();
}

void MqttPublisher::publishReadings(const QDate &day, const QByteArray &json)
{
    const QString segment = QFileInfo(m_spoolPath).dir().filePath(segmentName(m_station, day));
    {
        const std::lock_guard lock(m_mutex);
        m_outbox.push_back({ topic(QStringLiteral("readings")), withOrigin(json), segment });
    }
    m_wake.notify_all();
}

void MqttPublisher::report(const QString &text)
{
    // One message per state, not one per attempt.
    if (text == m_lastReport)
        return;
    m_lastReport = text;
    if (m_say)
        m_say(QStringLiteral("mqtt: ") + text);
}

void MqttPublisher::publishNow(const QString &name, const QByteArray &payload, bool retain,
                               int *mid)
{
    const QByteArray topicBytes = name.toUtf8();
    const int rc = mosquitto_publish(m_client, mid, topicBytes.constData(), int(payload.size()),
                                     payload.constData(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS && mid)
        *mid = -1;
}

void MqttPublisher::sendUnsent()
{
    for (Kept &kept : m_spool)
        if (kept.mid < 0)
            publishNow(kept.topic, kept.payload, kept.retain, &kept.mid);
    sendSegments();
}

bool MqttPublisher::connectOnce()
{
    mosquitto *client = mosquitto_new(m_clientId.constData(), true, this);
    if (!client) {
        report(QStringLiteral("no client can be made"));
        return false;
    }
    mosquitto_threaded_set(client, true);
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(client, &MqttPublisher::onPublish);
    mosquitto_message_callback_set(client, &MqttPublisher::onMessage);
    if (!m_settings.user.isEmpty()) {
        const QByteArray user = m_settings.user.toUtf8();
        const QByteArray password = m_settings.password.toUtf8();
        mosquitto_username_pw_set(client, user.constData(),
                                  m_settings.password.isEmpty() ? nullptr : password.constData());
    }
    const QByteArray status = topic(QStringLiteral("status")).toUtf8();
    mosquitto_will_set(client, status.constData(), 7, "offline", 1, true);
    if (m_settings.tls) {
        const QByteArray ca = m_settings.caFile.toLocal8Bit();
        const int rc = mosquitto_tls_set(client, ca.isEmpty() ? nullptr : ca.constData(),
                                         ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr,
                                         nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            report(QStringLiteral("the certificates for %1 cannot be used: %2")
                       .arg(m_settings.url, QString::fromUtf8(mosquitto_strerror(rc))));
            mosquitto_destroy(client);
            return false;
        }
    }
    {
        const std::lock_guard lock(m_mutex);
        m_client = client;
    }
    const QByteArray host = m_settings.host.toUtf8();
    // Without waiting for the network: a host that drops the connection
    // attempt would otherwise hold this thread, and a stop, for minutes.
    const int rc = mosquitto_connect_async(client, host.constData(), m_settings.port, KeepAliveS);
    if (rc != MOSQ_ERR_SUCCESS) {
        report(QStringLiteral("the broker %1 cannot be reached (%2); tried again later")
                   .arg(m_settings.url, failureText(rc, m_settings)));
        dropClient();
        return false;
    }
    return true;
}

void MqttPublisher::dropClient()
{
    mosquitto *client = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        std::swap(client, m_client);
        m_connected = false;
    }
    m_sessionUp = false;
    if (client)
        mosquitto_destroy(client);
    // A new client knows nothing of what the old one sent unacknowledged.
    for (Kept &kept : m_spool)
        kept.mid = -1;
    // Segments are sent again from their first unacknowledged line.
    for (auto &[path, segment] : m_segments) {
        for (const auto &[mid, start] : segment.inFlight)
            segment.readPos = std::min(segment.readPos, start);
        segment.inFlight.clear();
    }
}

void MqttPublisher::onConnect(mosquitto *client, void *self, int rc)
{
    auto *me = static_cast<MqttPublisher *>(self);
    if (rc != 0) {
        // 5 ("not authorised") is what brokers answer a wrong password too.
        const QString why = rc == 4 || rc == 5 ? QStringLiteral("refused the user name or password")
                                               : QString::fromUtf8(mosquitto_connack_string(rc));
        me->report(QStringLiteral("the broker %1 %2; monitoring goes on without it")
                       .arg(me->m_settings.url, why));
        return;
    }
    me->m_connected = true;
    me->m_sessionUp = true;
    // The pause between attempts starts again only once a session lasts.
    me->m_sessionStarted = Clock::now();
    // A broker that flaps is said when it is first back, then in the hourly
    // summary of its losses.
    // A loss that was said has its end said too, however many attempts it took.
    if (me->m_lossSaid)
        me->report(QStringLiteral("connected to %1 again").arg(me->m_settings.url));
    else if (me->m_losses <= 1)
        me->report(QStringLiteral("connected to %1").arg(me->m_settings.url));
    me->m_lossSaid = false;
    int mid = 0;
    me->publishNow(me->topic(QStringLiteral("status")), "online", true, &mid);
    for (const auto &[name, payload] : me->discovery())
        me->publishNow(name, payload, true, &mid);
    mosquitto_subscribe(client, nullptr, "homeassistant/status", 1);
    // Other stations of this name, and an "offline" one of them left behind.
    const QByteArray presence = me->topic(QStringLiteral("presence")).toUtf8();
    const QByteArray status = me->topic(QStringLiteral("status")).toUtf8();
    mosquitto_subscribe(client, nullptr, presence.constData(), 0);
    mosquitto_subscribe(client, nullptr, status.constData(), 1);
    if (!me->m_otherTopic.isEmpty()) {
        const QByteArray other = me->m_otherTopic.toUtf8();
        mosquitto_subscribe(client, nullptr, other.constData(), 0);
    }
    me->sayPresence("online");
    me->sendUnsent();
}

void MqttPublisher::onDisconnect(mosquitto *, void *self, int)
{
    static_cast<MqttPublisher *>(self)->m_connected = false;
}

void MqttPublisher::onPublish(mosquitto *, void *self, int mid)
{
    auto *me = static_cast<MqttPublisher *>(self);
    if (mid == me->m_statusMid)
        me->m_statusMid = -1;
    if (me->segmentAcknowledged(mid)) {
        me->sendSegments();
        return;
    }
    for (auto it = me->m_spool.begin(); it != me->m_spool.end(); ++it) {
        if (it->mid == mid) {
            me->m_spool.erase(it);
            me->m_spooled = int(me->m_spool.size());
            me->m_spoolDirty = true;
            return;
        }
    }
}

void MqttPublisher::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *me = static_cast<MqttPublisher *>(self);
    // Home Assistant came back: it forgets what it was told before.
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    if (qstrcmp(message->topic, "homeassistant/status") == 0 && payload == "online") {
        int mid = 0;
        for (const auto &[name, config] : me->discovery())
            me->publishNow(name, config, true, &mid);
    } else if (me->m_takeOther && me->m_otherTopic.toUtf8() == message->topic) {
        me->m_takeOther(payload);
    } else if (me->topic(QStringLiteral("presence")).toUtf8() == message->topic) {
        me->heardPresence(payload);
    } else if (me->topic(QStringLiteral("status")).toUtf8() == message->topic
               && payload == "offline" && !me->m_leaving) {
        // Another station of this name stopped or died while this one runs:
        // the broker is told again that the station is there.
        int mid = 0;
        me->publishNow(me->topic(QStringLiteral("status")), "online", true, &mid);
    }
}

void MqttPublisher::sayPresence(const char *state)
{
    m_presenceSaid = Clock::now();
    const QByteArray payload
        = compact({ { QStringLiteral("state"), QString::fromLatin1(state) },
                    { QStringLiteral("client"), QString::fromUtf8(m_clientId) },
                    { QStringLiteral("host"), m_host },
                    { QStringLiteral("folder"), m_folderHash } });
    const QByteArray name = topic(QStringLiteral("presence")).toUtf8();
    mosquitto_publish(m_client, nullptr, name.constData(), int(payload.size()), payload.constData(),
                      0, false);
}

void MqttPublisher::heardPresence(const QByteArray &payload)
{
    const QJsonObject said = QJsonDocument::fromJson(payload).object();
    const QByteArray client = said.value(QStringLiteral("client")).toString().toUtf8();
    // Its own id is itself, also when heard from a run before a crash.
    if (client.isEmpty() || client == m_clientId)
        return;
    if (said.value(QStringLiteral("state")).toString() != QLatin1String("online")) {
        if (m_others.erase(client))
            checkOthers();
        return;
    }
    const bool isNew = !m_others.count(client);
    m_others[client] = { said.value(QStringLiteral("host")).toString(),
                         said.value(QStringLiteral("folder")).toString(), Clock::now() };
    if (isNew) {
        // The newcomer hears of this station at once, not at its next turn.
        sayPresence("online");
        checkOthers();
    }
}

QString MqttPublisher::othersText() const
{
    QStringList where;
    for (const auto &[client, other] : m_others)
        where << QStringLiteral("host %1, folder hash %2").arg(other.host, other.folder);
    return where.join(QStringLiteral("; "));
}

void MqttPublisher::checkOthers()
{
    const auto now = Clock::now();
    for (auto it = m_others.begin(); it != m_others.end();)
        it = now - it->second.heard > std::chrono::seconds(PresenceLapseS) ? m_others.erase(it)
                                                                           : std::next(it);
    const bool shared = !m_others.empty();
    const bool hourDue = shared && now - m_sharedSaid >= std::chrono::hours(1);
    if (shared == m_nameShared && !hourDue)
        return;
    const QString detail = shared
        ? QStringLiteral("another live station is named \"%1\" on %2 (%3); this one (host %4, "
                         "folder hash %5) goes on recording, and its rows carry its host and "
                         "folder hash")
              .arg(m_station, m_settings.url, othersText(), m_host, m_folderHash)
        : QStringLiteral("no other live station is named \"%1\" on %2 any more")
              .arg(m_station, m_settings.url);
    const QString name = shared ? QStringLiteral("station name shared")
                                : QStringLiteral("station name no longer shared");
    m_nameShared = shared;
    if (shared)
        m_sharedSaid = now;
    if (m_tell)
        m_tell(name, detail);
    else
        report(name + QStringLiteral(": ") + detail);
}

void MqttPublisher::run()
{
    loadSpool();
    loadSegments();
    auto nextAttempt = Clock::now();
    auto connectStarted = Clock::now();
    auto lastRewrite = Clock::now();
    const auto backOff = [&] {
        dropClient();
        nextAttempt = Clock::now() + std::chrono::seconds(m_pauseS);
        m_pauseS = std::min(m_pauseS * 2, LongestPauseS);
    };
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_stopping)
                break;
            if (!m_client && Clock::now() < nextAttempt) {
                // Away: sleep until the next attempt, a message or the stop.
                m_wake.wait_until(lock, nextAttempt,
                                  [this] { return m_stopping || !m_outbox.empty(); });
                if (m_stopping)
                    break;
            }
        }
        takeOutbox();
        if (!m_client) {
            if (Clock::now() < nextAttempt)
                continue;
            if (!connectOnce()) {
                backOff();
                continue;
            }
            connectStarted = Clock::now();
        }
        const int rc = mosquitto_loop(m_client, 1000, 1);
        if (m_connected && Clock::now() - m_sessionStarted > SessionLasts) {
            m_pauseS = FirstPauseS;
            m_quickDrops = 0;
        }
        if (Clock::now() - m_lossesSince > std::chrono::hours(1)) {
            if (m_losses > 1)
                report(QStringLiteral("the connection to %1 was lost %2 times in the last hour")
                           .arg(m_settings.url)
                           .arg(m_losses));
            m_losses = 0;
            m_lossesSince = Clock::now();
        }
        if (m_connected && Clock::now() - m_presenceSaid > std::chrono::seconds(PresenceEveryS))
            sayPresence("online");
        if (!m_others.empty())
            checkOthers();
        if (rc != MOSQ_ERR_SUCCESS) {
            const bool wasConnected = m_connected || m_sessionStarted > connectStarted;
            if (rc != MOSQ_ERR_CONN_REFUSED && ++m_losses <= 1) {
                m_lossSaid = true;
                report((m_sessionUp ? QStringLiteral("the connection to %1 is lost (%2); tried "
                                                     "again later")
                                    : QStringLiteral("the broker %1 cannot be reached (%2); tried "
                                                     "again later"))
                           .arg(m_settings.url, failureText(rc, m_settings)));
            }
            // A session the broker ends at once, again and again, is most
            // likely taken over by another client of the same id.
            if (wasConnected && Clock::now() - m_sessionStarted < QuickDrop && ++m_quickDrops == 3)
                report(QStringLiteral("the broker %1 ends each session at once: another client "
                                      "may use the same client id or station name \"%2\"")
                           .arg(m_settings.url, m_station));
            backOff();
        } else if (!m_connected && Clock::now() - connectStarted > ConnackLimit) {
            report(QStringLiteral("the broker %1 does not answer; tried again later")
                       .arg(m_settings.url));
            backOff();
        }
        if (m_spoolDirty && (m_spool.empty() || Clock::now() - lastRewrite > SpoolRewriteEvery)) {
            rewriteSpool();
            lastRewrite = Clock::now();
        }
    }

    // A clean stop: what is waiting goes to the spool, the broker hears
    // "offline" (no last will), and what it acknowledges in time leaves it.
    takeOutbox();
    if (m_client && m_connected) {
        m_leaving = true;
        checkOthers();
        sayPresence("offline");
        // Never "offline" over another live station of this name.
        if (m_others.empty())
            publishNow(topic(QStringLiteral("status")), "offline", true, &m_statusMid);
        const auto deadline = Clock::now() + std::chrono::milliseconds(m_stopWaitMs);
        const auto unacknowledged = [this] {
            for (const Kept &kept : m_spool)
                if (kept.mid >= 0)
                    return true;
            for (const auto &[path, segment] : m_segments)
                if (!segment.inFlight.empty())
                    return true;
            return false;
        };
        while (m_connected && Clock::now() < deadline && (unacknowledged() || m_statusMid >= 0))
            mosquitto_loop(m_client, 50, 1);
        mosquitto_disconnect(m_client);
        mosquitto_loop(m_client, 50, 1);
    }
    if (m_spoolDirty)
        rewriteSpool();
    dropClient();
}

#endif // VORN_HAVE_MQTT
