#pragma once

#include "MonitorOptions.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

struct mosquitto;
struct mosquitto_message;

// The station's messages to an MQTT broker, sent from a thread of its own so
// that a broker that is away or hangs never delays a sample. Live levels go
// out only while connected; interval rows and alarms are first appended to
// a spool file and leave it only when the broker acknowledged them, so none
// is lost while the broker is away or across a restart, and none is sent
// twice after a clean stop. The readings wait in spool segments of their
// own, one per day, that are only ever appended to and dropped whole once
// the broker has every line: a week's backlog is never held in memory nor
// rewritten while it drains. Connects again with growing pauses (1 s to 60 s).
class MqttPublisher
{
public:
    // Lines for standard output; called from the publisher's thread.
    using Say = std::function<void(const QString &line)>;
    // Events for the station's record (name, detail); called from the
    // publisher's thread.
    using Tell = std::function<void(const QString &name, const QString &detail)>;

    MqttPublisher(MqttSettings settings, QString station, QString spoolPath, QString version,
                  Say say);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    // Set before start().
    void onEvent(Tell tell) { m_tell = std::move(tell); }
    // Messages on another topic of the broker (a weather station's), handed
    // over from the publisher's thread. Set before start().
    void onMessagesOf(const QString &topic, std::function<void(const QByteArray &)> take)
    {
        m_otherTopic = topic;
        m_takeOther = std::move(take);
    }
    void start();
    // "offline", then up to waitMs for the spool to be acknowledged.
    void stop(int waitMs = 1000);

    // vorn/STATION/level, QoS 0, not retained; dropped while not connected.
    void publishLevel(const QByteArray &json);
    // vorn/STATION/<subtopic>, QoS 1, retained, kept in the spool until the
    // broker acknowledged it.
    void publishKept(const QString &subtopic, const QByteArray &json);
    // Appended to the spool without connecting (a calibration check, run
    // while the station is stopped): the station's next run sends it. The
    // error message, or empty.
    QString spoolForNextRun(const QString &subtopic, const QByteArray &json);
    // The spool file of a station's kept messages.
    static QString spoolName(const QString &station)
    {
        return station + QStringLiteral(" mqtt spool.jsonl");
    }
    // vorn/STATION/readings, QoS 1, not retained, through the day's spool
    // segment: a minute of readings, each sent until the broker has it.
    void publishReadings(const QDate &day, const QByteArray &json);
    // Spool segments of readings the broker has not acknowledged whole.
    int readingSegments() const { return m_segmentCount; }
    // The segment file of a day's readings.
    static QString segmentName(const QString &station, const QDate &day)
    {
        return station + QStringLiteral(" mqtt readings ") + day.toString(Qt::ISODate)
            + QStringLiteral(".jsonl");
    }

    bool connected() const { return m_connected; }
    // Whether another live station of this name was heard on the broker.
    bool nameShared() const { return m_nameShared; }
    // Where the station runs: its host and a hash of its folder, carried by
    // every row it publishes so that two stations of one name stay apart.
    QString host() const { return m_host; }
    QString folderHash() const { return m_folderHash; }
    // A JSON object with the host and folder hash added.
    QByteArray withOrigin(const QByteArray &json) const;
    // Messages in the spool, acknowledged by no broker yet.
    int spooled() const;

    QString topic(const QString &subtopic) const;
    // The retained Home Assistant discovery messages: topic and payload.
    QList<std::pair<QString, QByteArray>> discovery() const;

    static constexpr int FirstPauseS = 1;
    // The level sensor shows nothing once no level came for this long.
    static constexpr int ExpireAfterS = 5;
    static constexpr int LongestPauseS = 60;
    // Each live station says it is there this often on vorn/STATION/presence;
    // one not heard for PresenceLapseS is taken to be gone.
    static constexpr int PresenceEveryS = 20;
    static constexpr int PresenceLapseS = 65;

private:
    struct Kept
    {
        QString topic;
        QByteArray payload;
        int mid = -1; // the broker's message id while sent, -1 before
        bool retain = true; // lines of older spools carry no flag: retained
    };
    struct Outgoing
    {
        QString topic;
        QByteArray payload;
        QString segment; // the readings' segment file, empty for the spool
    };
    // A day's readings segment: read from the file as they are sent, so a
    // long backlog costs no memory.
    struct Segment
    {
        qint64 size = 0;
        qint64 readPos = 0; // the next line to send
        std::map<int, qint64> inFlight; // the broker's message id to its line's start
    };
    static constexpr int SegmentInFlight = 100;

    void run();
    bool connectOnce();
    void dropClient();
    void takeOutbox();
    void sendUnsent();
    void rewriteSpool();
    void loadSpool();
    void loadSegments();
    void appendSegments(std::deque<Outgoing> &taken);
    void sendSegments();
    bool segmentAcknowledged(int mid);
    void dropSegment(const QString &path);
    void report(const QString &text);
    void publishNow(const QString &topic, const QByteArray &payload, bool retain, int *mid);
    void sayPresence(const char *state);
    void heardPresence(const QByteArray &payload);
    void checkOthers();
    QString othersText() const;

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);

    const MqttSettings m_settings;
    const QString m_station;
    const QString m_spoolPath;
    const QString m_version;
    const Say m_say;
    Tell m_tell;
    QString m_otherTopic;
    std::function<void(const QByteArray &)> m_takeOther;
    QString m_host;
    QString m_folderHash;
    QByteArray m_clientId;

    std::thread m_thread;
    mutable std::mutex m_mutex; // the outbox, the stop flag and the client for levels
    std::condition_variable m_wake;
    std::deque<Outgoing> m_outbox;
    bool m_stopping = false;
    int m_stopWaitMs = 1000;
    mosquitto *m_client = nullptr;
    std::atomic<bool> m_connected { false };
    std::atomic<int> m_spooled { 0 };
    std::atomic<bool> m_nameShared { false };
    std::atomic<int> m_segmentCount { 0 };

    // Only the publisher's thread touches these.
    std::deque<Kept> m_spool;
    std::map<QString, Segment> m_segments; // by path: the day in the name orders them
    bool m_sessionUp = false; // this client got the broker's yes
    bool m_spoolDirty = false; // acknowledged messages are still in the file
    bool m_leaving = false; // a clean stop says "offline" itself
    int m_statusMid = -1; // the "offline" of a clean stop, until acknowledged
    QString m_lastReport;
    int m_pauseS = FirstPauseS;
    // The last session's start, the losses since the last summary, and the
    // sessions in a row the broker ended at once.
    std::chrono::steady_clock::time_point m_sessionStarted;
    std::chrono::steady_clock::time_point m_lossesSince = std::chrono::steady_clock::now();
    int m_losses = 0;
    bool m_lossSaid = false; // its end is said when the broker is back
    int m_quickDrops = 0;
    // Other live stations of this name (client id to what they said and when).
    struct Other
    {
        QString host;
        QString folder;
        std::chrono::steady_clock::time_point heard;
    };
    std::map<QByteArray, Other> m_others;
    std::chrono::steady_clock::time_point m_presenceSaid;
    std::chrono::steady_clock::time_point m_sharedSaid;
    static constexpr std::chrono::seconds SessionLasts { 60 };
    static constexpr std::chrono::seconds QuickDrop { 5 };
};
