#pragma once

#include "HubOptions.h"
#include "HubStore.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>

struct mosquitto;
struct mosquitto_message;

// vorn-hub: a persistent session at the broker, every station's messages
// stored as they come. A message is committed before its callback returns
// (the client library acknowledges it then); while the database is away the
// hub keeps what it took, leaves the broker (which queues the rest for its
// session) and comes back once the database is.
class Hub
{
public:
    using Say = std::function<void(const QString &line)>;

    Hub(HubOptions options, Say say);
    ~Hub();
    Hub(const Hub &) = delete;
    Hub &operator=(const Hub &) = delete;

    // Runs until stop() returns true; the exit status.
    int run(const std::function<bool()> &stop);

    // Messages stored, and those that could not be.
    qint64 stored() const { return m_stored; }
    qint64 refused() const { return m_refused; }

    static constexpr int RetryS = 5;
    // The broker keeps a hub's session and its queued messages this long.
    static constexpr int SessionExpiryS = 7 * 86400;

private:
    struct Message
    {
        QString topic;
        QByteArray payload;
    };
    bool openDatabase();
    bool connectBroker();
    void dropClient();
    bool storePending();
    void take(const QString &topic, const QByteArray &payload);
    // Stores or says a message; why the database is away, or empty.
    QString store(const QString &topic, const QByteArray &payload);
    void say(const QString &text);
    void keepReadings();

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);

    const HubOptions m_options;
    const Say m_say;
    std::unique_ptr<HubStore> m_store;
    mosquitto *m_client = nullptr;
    bool m_connected = false;
    bool m_databaseAway = false;
    std::deque<Message> m_pending; // taken while the database was away
    QString m_lastSaid;
    std::atomic<qint64> m_stored { 0 };
    std::atomic<qint64> m_refused { 0 };
    std::chrono::steady_clock::time_point m_keptAt;
};
