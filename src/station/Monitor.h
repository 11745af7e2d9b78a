#pragma once

#include "ReadingMinutes.h"
#include "Station.h"
#include "link/LinkOwner.h"
#include "live/LiveMeter.h"

#include <QElapsedTimer>

#include "WeatherMinutes.h"
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class MqttPublisher;
class SerialPort;

// The live meter without a window: polls the meter through the link's
// owner five times a second, decodes its frames, takes one sample a second
// from a reading the meter just sent and feeds the station; a missing or
// silent meter is tried again every five seconds, for ever. Alarm commands
// run aside and never delay a sample.
class Monitor : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    Monitor(const MonitorOptions &options, SerialPort &port, Clock clock = {},
            QObject *parent = nullptr);
    ~Monitor() override;

    // Opens the port (or keeps trying) and starts the timers.
    void start();
    // Finishes the day file and the running interval; "stopped".
    void stop();

    // For tests: one poll and one tick, as the timers run them.
    void pollTick();
    void sampleTick();

    Station &station() { return *m_station; }
    // The broker's publisher; null without --mqtt.
    MqttPublisher *mqtt() { return m_mqtt.get(); }
    // What goes to vorn/STATION/level, /interval and /alarm.
    static QByteArray levelJson(const QDateTime &now, const QString &levelText,
                                const HeaderBoards &boards);
    static QByteArray intervalJson(const StationInterval &interval);
    // A row of the weather file as JSON for the broker.
    static QByteArray weatherJson(const QString &row);
    static QByteArray alarmJson(const QString &event, const StationInterval &interval);
    bool linked() const { return m_linked; }

    static constexpr int RetryMs = 5000;
    // Alarm commands running at a stop get at most this long to finish.
    static constexpr int StopWaitMs = 5000;
    // An alarm command running longer than this is ended.
    void setAlarmCommandLimitMs(int ms) { m_alarmCommandLimitMs = ms; }

Q_SIGNALS:
    void line(const QString &text);

private:
    void runAlarmCommand(const QString &event, const StationInterval &interval);
    void finishAlarmCommands();
    void readingCame();
    void noticePause();
    // A poll has waited past the silence limit for a valid frame.
    bool readPastSilenceLimit() const;
    QString damagedFrames() const;
    static bool showable(const MeterReading &reading);
    QString silentMeter() const;
    void watchSilence();
    QString portProblem(const QString &reason) const;
    HeaderBoards boards() const;

    MonitorOptions m_options;
    SerialPort &m_port;
    Clock m_clock;
    LinkOwner m_link;
    LiveMeter m_live;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<MqttPublisher> m_mqtt;
    ReadingMinutes m_minutes;
    // The weather station's messages, a row a minute; said lost after
    // WeatherLostS without one, and back with the next.
    void weatherCame(const QByteArray &payload);
    void watchWeather(const QDateTime &now);
    WeatherMinutes m_weather;
    QDateTime m_weatherWatchedFrom;
    bool m_weatherLost = false;
    bool m_weatherJunkSaid = false;
    static constexpr qint64 WeatherLostS = 600;
    QTimer m_poll;
    QTimer m_tick;
    QElapsedTimer m_sinceAttempt;
    // "link lost" is said once no reading came for the silence limit,
    // whatever the cause; "link back" with the first reading after.
    QElapsedTimer m_sinceReading;
    QElapsedTimer m_pollClock; // runs while a poll waits for a frame
    // When a timer last fired: a gap over PauseLimitMs is time the station
    // did not run.
    static constexpr qint64 PauseLimitMs = 5000;
    QElapsedTimer m_sinceTick;
    QDateTime m_lastTick;
    QString m_silenceCause;
    bool m_linked = false;
    bool m_lostSaid = false;
    bool m_linkToldOk = false; // the broker heard "ok" since the start
    bool m_stopping = false;
    bool m_polling = false;
    int m_alarmCommandLimitMs = 30000;
};
