#include "Monitor.h"

#include "MqttPublisher.h"
#include "analysis/Wording.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/SiteZone.h"
#include "analysis/records/Weather.h"

#include "live/PanelDisplay.h"
#include "platform/SerialPort.h"
#include "platform/ServiceNotify.h"
#include "platform/ShellCommand.h"

#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QProcessEnvironment>
#include <QScopedValueRollback>

#include <functional>

Monitor::Monitor(const MonitorOptions &options, SerialPort &port, Clock clock, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_port(port)
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
    , m_link(port)
    , m_live(m_link)
{
    StationHooks hooks;
    hooks.say = [this](const QString &text) { Q_EMIT line(text); };
    hooks.alarm = [this](const QString &event, const StationInterval &interval) {
        if (m_mqtt)
            m_mqtt->publishKept(QStringLiteral("alarm"), alarmJson(event, interval));
        runAlarmCommand(event, interval);
    };
    hooks.interval = [this](const StationInterval &interval) {
        if (m_mqtt)
            m_mqtt->publishKept(QStringLiteral("interval"), intervalJson(interval));
    };
    hooks.event = [this](const QDateTime &time, const QString &name, const QString &detail) {
        // The link's state, kept by the broker for whoever subscribes later.
        if (!m_mqtt)
            return;
        if (name == QLatin1String("link lost"))
            m_mqtt->publishKept(QStringLiteral("link"), QByteArrayLiteral("lost"));
        else if (name == QLatin1String("link back"))
            m_mqtt->publishKept(QStringLiteral("link"), QByteArrayLiteral("ok"));
        // Every event, kept like alarms until the broker has it.
        m_mqtt->publishKept(QStringLiteral("event"),
                            QStringLiteral("{\"time\": %1, \"event\": %2, \"detail\": %3}")
                                .arg(jsonString(CivilTime::toIsoWithOffset(time)), jsonString(name),
                                     jsonString(detail))
                                .toUtf8());
    };
    hooks.reading = [this](const QDateTime &at, const QString &levelText, int intervalSeconds) {
        if (!m_mqtt)
            return;
        if (const auto minute = m_minutes.add(at, levelText, intervalSeconds))
            m_mqtt->publishReadings(minute->day, minute->json);
    };
    m_station = std::make_unique<Station>(m_options, std::move(hooks));
    if (m_options.mqtt) {
        // The publisher's callbacks come from its thread: each is run on this
        // one, and dropped once the monitor is gone.
        const QPointer<Monitor> self(this);
        const auto here = [self](std::function<void(Monitor &)> work) {
            QMetaObject::invokeMethod(
                self,
                [self, work = std::move(work)] {
                    if (self)
                        work(*self);
                },
                Qt::QueuedConnection);
        };
        m_mqtt = std::make_unique<MqttPublisher>(
            *m_options.mqtt, m_options.station,
            QDir(m_options.folder)
                .filePath(MqttPublisher::spoolName(m_options.station)),
            m_options.version, [here](const QString &text) {
                here([text](Monitor &monitor) { Q_EMIT monitor.line(text); });
            });
        if (!m_options.weatherTopic.isEmpty())
            m_mqtt->onMessagesOf(m_options.weatherTopic, [here](const QByteArray &payload) {
                here([payload](Monitor &monitor) {
                    if (!monitor.m_stopping)
                        monitor.weatherCame(payload);
                });
            });
        m_mqtt->onEvent([here](const QString &name, const QString &detail) {
            here([name, detail](Monitor &monitor) {
                if (!monitor.m_stopping)
                    monitor.m_station->event(monitor.m_clock(), name, detail);
            });
        });
    }
    m_poll.setInterval(200);
    m_tick.setInterval(1000);
    // A coarse timer may fire early: two ticks in one second stamp nothing twice,
    // but the second's reading would be lost.
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_poll, &QTimer::timeout, this, &Monitor::pollTick);
    connect(&m_tick, &QTimer::timeout, this, &Monitor::sampleTick);
    connect(&m_link, &LinkOwner::linkLost, this, [this] {
        m_live.forgetFrame();
        m_silenceCause = silentMeter();
    });
}

Monitor::~Monitor()
{
    m_stopping = true;
    if (m_mqtt)
        m_mqtt->stop(0);
}

void Monitor::start()
{
    m_station->event(m_clock(), QStringLiteral("started"),
                     QStringLiteral("%1 in %2").arg(m_options.portText, m_options.folder));
    QString reason;
    // The port is missing or taken: tried again every five seconds, and
    // "link lost" once the silence limit has passed without a reading.
    if (!LiveMeter::openPort(m_port, m_options.comPortNumber, &reason))
        m_silenceCause = portProblem(reason);
    if (m_mqtt) {
        // Who the station is, kept by the broker for a hub that comes later.
        m_mqtt->publishKept(
            QStringLiteral("details"),
            QStringLiteral("{\"station\": %1, \"zone\": %2, \"meter\": %3, \"version\": %4}")
                .arg(jsonString(m_options.station), jsonString(computerZone().name),
                     jsonString(m_options.meterSerial), jsonString(m_options.version))
                .toUtf8());
        m_mqtt->start();
    }
    m_sinceAttempt.start();
    m_sinceReading.start();
    m_poll.start();
    m_tick.start();
    notifyService("READY=1");
}

void Monitor::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    notifyService("STOPPING=1");
    m_poll.stop();
    m_tick.stop();
    // The record ends when the stop came, not after the alarm commands'
    // grace: no row runs past it.
    const QDateTime stoppedAt = m_clock();
    finishAlarmCommands();
    m_station->stop(stoppedAt, boards());
    if (m_mqtt)
        if (const auto minute = m_minutes.flush())
            m_mqtt->publishReadings(minute->day, minute->json);
    // The last interval and the stop reach the broker if it takes them
    // within a second; otherwise they wait in the spool.
    if (m_mqtt)
        m_mqtt->stop(1000);
}

QString Monitor::portProblem(const QString &reason) const
{
    // The port's own message names the port already.
    return reason.startsWith(m_options.portText)
        ? reason
        : m_options.portText + QStringLiteral(": ") + reason;
}

QString Monitor::silentMeter() const
{
    return QStringLiteral("the meter on %1 is silent").arg(m_options.portText);
}

QString Monitor::damagedFrames() const
{
    return QStringLiteral("frames damaged: the meter on %1 sends no level it can show")
        .arg(m_options.portText);
}

bool Monitor::showable(const MeterReading &reading)
{
    // A level the meter cannot show is no reading: only a damaged frame
    // that passed the framing check carries one.
    return reading.Level >= 0.0 && reading.Level <= 140.0;
}

void Monitor::readingCame()
{
    m_sinceReading.restart();
    m_linked = true;
    // The broker learns of a good link with the first reading, so that a
    // level sensor waiting for it becomes available.
    if (m_mqtt && !m_linkToldOk) {
        m_linkToldOk = true;
        if (!m_lostSaid)
            m_mqtt->publishKept(QStringLiteral("link"), QByteArrayLiteral("ok"));
    }
    if (!m_lostSaid)
        return;
    m_lostSaid = false;
    m_station->event(m_clock(), QStringLiteral("link back"),
                     QStringLiteral("the meter answers on %1").arg(m_options.portText));
}

void Monitor::watchSilence()
{
    // A stop that takes long (a broker, an alarm command, a full disk) is
    // no silence of the meter.
    if (m_stopping || m_lostSaid || !m_sinceReading.isValid()
        || m_sinceReading.elapsed() < LinkOwner::SilenceLimitMs)
        return;
    // A read under way tells within the silence limit whether the meter is
    // silent or sends damaged frames: the cause waits for it.
    if (m_polling && !readPastSilenceLimit())
        return;
    m_lostSaid = true;
    m_linked = false;
    m_live.forgetFrame();
    m_station->event(m_clock(), QStringLiteral("link lost"),
                     m_silenceCause.isEmpty()
                         ? QStringLiteral("no reading from the meter on %1").arg(m_options.portText)
                         : m_silenceCause);
}

bool Monitor::readPastSilenceLimit() const
{
    return m_pollClock.isValid() && m_pollClock.elapsed() > LinkOwner::SilenceLimitMs;
}

void Monitor::noticePause()
{
    // The timers fire every second while the station runs; a longer pause
    // is time it did not run (stopped, a suspended machine, a paused VM):
    // the meter was not silent then, the station was away.
    const QDateTime now = m_clock();
    const qint64 lived = m_sinceTick.isValid() ? m_sinceTick.elapsed() : 0;
    const bool paused = lived > PauseLimitMs && m_lastTick.isValid();
    m_sinceTick.start();
    const QDateTime last = std::exchange(m_lastTick, now);
    // The wall clock ran on far more than the time lived: it was set forward.
    const qint64 forwardMs = last.isValid() ? last.msecsTo(now) - lived : 0;
    if (forwardMs > PauseLimitMs)
        m_station->clockWentForward(last, now, (forwardMs + 500) / 1000);
    if (!paused)
        return;
    m_station->event(last.addSecs(1), QStringLiteral("not running"),
                     QStringLiteral("the station was not running from %1 to %2")
                         .arg(CivilTime::toIsoWithOffset(last.addSecs(1)),
                              CivilTime::toIsoWithOffset(now)));
    // The silence that follows is measured from now.
    m_sinceReading.restart();
}

void Monitor::pollTick()
{
    if (m_stopping || m_polling)
        return;
    noticePause();
    const QScopedValueRollback polling(m_polling, true);
    const StopRequested stop = [this] { return m_stopping; };
    watchSilence();
    if (!m_port.isOpen()) {
        if (m_silenceCause.isEmpty() || m_silenceCause == silentMeter())
            m_silenceCause = QStringLiteral("%1: the port is gone").arg(m_options.portText);
        if (m_sinceAttempt.elapsed() < RetryMs)
            return;
        m_sinceAttempt.restart();
        QString reason;
        if (!LiveMeter::openPort(m_port, m_options.comPortNumber, &reason)) {
            m_silenceCause = portProblem(reason);
            return;
        }
    }
    // A lost link is tried again every five seconds, not at every poll.
    const bool mayRecover = m_sinceAttempt.elapsed() >= RetryMs;
    // A read that goes on past the silence limit gets bytes but no valid frame.
    m_pollClock.start();
    const LiveMeter::Poll polled = m_live.poll(stop, mayRecover);
    m_pollClock.invalidate();
    switch (polled) {
    case LiveMeter::Poll::Frame:
    case LiveMeter::Poll::Back:
        if (!showable(m_live.reading())) {
            m_live.forgetFrame();
            m_silenceCause = damagedFrames();
            break;
        }
        readingCame();
        break;
    case LiveMeter::Poll::Silent:
    case LiveMeter::Poll::StillLost:
        m_silenceCause = silentMeter();
        m_sinceAttempt.restart();
        break;
    case LiveMeter::Poll::Busy:
    case LiveMeter::Poll::Stopped:
        break;
    }
    watchSilence();
}

HeaderBoards Monitor::boards() const
{
    if (!m_live.hasReading())
        return {};
    const PanelDisplay display = NextPanelDisplay(PanelDisplay(), m_live.reading());
    return { display.boardCA, display.boardSFI, display.boardLevel };
}

void Monitor::sampleTick()
{
    if (m_stopping)
        return;
    // The service manager's watchdog hears from every sampling tick: a
    // station that hangs (a stuck disk, a deadlock) falls silent and is
    // restarted.
    notifyService("WATCHDOG=1");
    noticePause();
    // A poll still waiting for a valid frame (it runs this tick inside its
    // wait) is a link without readings as much as a silent meter is.
    if (m_polling && readPastSilenceLimit())
        m_silenceCause = damagedFrames();
    watchSilence();
    // Only a level the meter just sent is sampled.
    if (m_live.readingIsFresh()) {
        const QDateTime now = m_clock();
        const HeaderBoards shown = boards();
        m_station->tick(now, m_live.reading().Level, m_live.reading().LevelText, shown);
        // Levels are not kept while the broker is away: none is made then.
        if (m_mqtt && m_mqtt->connected())
            m_mqtt->publishLevel(levelJson(now, m_live.reading().LevelText, shown));
    } else
        m_station->tick(m_clock(), std::nullopt, QString(), boards());
    watchWeather(m_clock());
}

void Monitor::weatherCame(const QByteArray &payload)
{
    const QDateTime now = m_clock();
    if (!m_weather.add(now, payload)) {
        if (!std::exchange(m_weatherJunkSaid, true))
            Q_EMIT line(QStringLiteral("weather: a message on %1 holds no weather this station "
                                       "knows (wind_avg_m_s, wind_max_m_s, wind_dir_deg, rain_mm, "
                                       "temperature_C or their km/h, mph and inch forms)")
                            .arg(m_options.weatherTopic));
        return;
    }
    if (std::exchange(m_weatherLost, false))
        m_station->event(now, QStringLiteral("weather back"),
                         QStringLiteral("weather on %1 again").arg(m_options.weatherTopic));
}

void Monitor::watchWeather(const QDateTime &now)
{
    if (m_options.weatherTopic.isEmpty())
        return;
    for (const QString &row : m_weather.rowsDue(now)) {
        m_station->appendWeather(row);
        if (m_mqtt)
            m_mqtt->publishKept(QStringLiteral("weather"), weatherJson(row));
    }
    if (!m_weatherWatchedFrom.isValid())
        m_weatherWatchedFrom = now;
    const QDateTime last = m_weather.lastHeard().isValid() ? m_weather.lastHeard()
                                                            : m_weatherWatchedFrom;
    if (!m_weatherLost && last.secsTo(now) >= WeatherLostS) {
        m_weatherLost = true;
        m_station->event(now, QStringLiteral("weather lost"),
                         QStringLiteral("no weather on %1 since %2")
                             .arg(m_options.weatherTopic, CivilTime::toIsoWithOffset(last)));
    }
}

void Monitor::runAlarmCommand(const QString &event, const StationInterval &interval)
{
    if (m_options.onAlarm.isEmpty())
        return;
    auto *command = new ShellCommand(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORN_EVENT"), event);
    env.insert(QStringLiteral("VORN_STATION"), m_options.station);
    env.insert(QStringLiteral("VORN_LEQ"),
               Wording::orMissing(interval.levels.leq, Wording::hundredths, Wording::Missing::Empty));
    env.insert(QStringLiteral("VORN_LIMIT"),
               interval.limit ? QString::number(*interval.limit) : QString());
    env.insert(QStringLiteral("VORN_START"), CivilTime::toIsoWithOffset(interval.start));
    env.insert(QStringLiteral("VORN_END"), CivilTime::toIsoWithOffset(interval.end));
    // A command that hangs is ended with all it started; none ever holds a
    // sample up.
    auto *limit = new QTimer(command);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, command, [command] { command->endGroup(); });
    connect(command, &ShellCommand::ended, this, [this, command, event] {
        if (!command->failure().isEmpty())
            m_station->event(
                m_clock(), QStringLiteral("alarm command failed"),
                QStringLiteral("the command for \"%1\": %2").arg(event, command->failure()));
        command->deleteLater();
    });
    connect(command, &ShellCommand::failedToStart, this,
            [this, command, event](const QString &why) {
                m_station->event(
                    m_clock(), QStringLiteral("alarm command failed"),
                    QStringLiteral("the command for \"%1\" could not start: %2").arg(event, why));
                command->deleteLater();
            });
    limit->start(m_alarmCommandLimitMs);
    command->start(m_options.onAlarm, env);
}

void Monitor::finishAlarmCommands()
{
    // A command still running at the stop gets the rest of its time, five
    // seconds at most in all, and is then ended with its group.
    QElapsedTimer waited;
    waited.start();
    for (ShellCommand *command : findChildren<ShellCommand *>()) {
        if (!command->running())
            continue;
        const qint64 rest = std::min<qint64>(m_alarmCommandLimitMs - command->elapsedMs(),
                                             StopWaitMs - waited.elapsed());
        if (rest > 0 && command->waitForFinished(int(rest)))
            continue;
        // Said here, once, not again as an end at the time limit.
        disconnect(command, &ShellCommand::ended, this, nullptr);
        command->killGroupNow();
        command->deleteLater();
        m_station->event(m_clock(), QStringLiteral("alarm command failed"),
                         QStringLiteral("still running at the stop: ended"));
    }
}

namespace {

QString jsonNumberOrNull(const std::optional<double> &value)
{
    return Wording::orMissing(value, Wording::tenthsRounded, Wording::Missing::Null);
}

} // namespace

QByteArray Monitor::levelJson(const QDateTime &now, const QString &levelText,
                              const HeaderBoards &boards)
{
    // A reading without a number (an over-range word) has a null level.
    bool ok = false;
    const double level = QLocale::c().toDouble(levelText, &ok);
    return QStringLiteral("{\"time\": %1, \"level\": %2, \"text\": %3, \"range\": %4, "
                          "\"frequency_weighting\": %5, \"time_weighting\": %6}")
        .arg(jsonString(CivilTime::toIsoWithOffset(now)),
             jsonNumberOrNull(ok ? std::optional(level) : std::nullopt), jsonString(levelText),
             jsonString(boards.LevelRange), jsonString(boards.FreqWeighting),
             jsonString(boards.TimeWeighting))
        .toUtf8();
}

QByteArray Monitor::intervalJson(const StationInterval &interval)
{
    const QString state = !interval.limit ? QStringLiteral("null")
        : interval.over                   ? QStringLiteral("\"over\"")
                                          : QStringLiteral("\"ok\"");
    return QStringLiteral("{%1, \"limit\": %2, \"state\": %3, \"partial\": %4}")
        .arg(intervalJsonFields(interval.levels), jsonNumberOrNull(interval.limit), state,
             interval.partial ? QStringLiteral("true") : QStringLiteral("false"))
        .toUtf8();
}

QByteArray Monitor::weatherJson(const QString &row)
{
    // The weather file's row with its columns' names; an empty field is null.
    const QStringList names = QString::fromLatin1(WeatherCsv::Header).split(QLatin1Char(','));
    const QStringList fields = row.split(QLatin1Char(','));
    QString json = QStringLiteral("{\"time\": ") + jsonString(fields.value(0));
    for (qsizetype i = 1; i < names.size(); ++i)
        json += QStringLiteral(", \"%1\": %2")
                    .arg(names[i], fields.value(i).isEmpty() ? QStringLiteral("null") : fields.value(i));
    return (json + QLatin1Char('}')).toUtf8();
}

QByteArray Monitor::alarmJson(const QString &event, const StationInterval &interval)
{
    return QStringLiteral("{\"time\": %1, \"event\": %2, \"start\": %3, \"end\": %4, "
                          "\"leq\": %5, \"limit\": %6}")
        .arg(jsonString(CivilTime::toIsoWithOffset(interval.end)), jsonString(event),
             jsonString(CivilTime::toIsoWithOffset(interval.start)),
             jsonString(CivilTime::toIsoWithOffset(interval.end)),
             Wording::orMissing(interval.levels.leq, Wording::hundredths, Wording::Missing::Null),
             jsonNumberOrNull(interval.limit))
        .toUtf8();
}
