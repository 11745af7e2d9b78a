#pragma once

#include "MonitorOptions.h"
#include "analysis/batch/BatchReport.h"
#include "recording/MeasurementState.h"
#include "recording/RecordingSession.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// One result of a finished interval, as the interval table holds it.
struct StationInterval
{
    QDateTime start; // local, with the offset in force
    QDateTime end;
    IntervalLevel levels;
    std::optional<double> limit;
    bool over = false;
};

// What the station tells the outside: lines for standard output (one per
// interval and one per event), alarm commands, and whatever else listens.
struct StationHooks
{
    std::function<void(const QString &line)> say;
    // An alarm was raised ("alarm") or cleared ("clear").
    std::function<void(const QString &event, const StationInterval &interval)> alarm;
    std::function<void(const StationInterval &interval)> interval;
};

// The unattended station's files, fed one sample a second: one "Real Time"
// data file per local day (written by the panel's recording code, so it is
// byte for byte what a recording writes), one interval table per day, the
// events file and the alarm state. It never talks to the meter; the monitor
// feeds it the levels the meter just sent, with the time of the tick.
class Station
{
public:
    Station(const MonitorOptions &options, StationHooks hooks);
    ~Station();
    Station(const Station &) = delete;
    Station &operator=(const Station &) = delete;

    // Takes the folder's recording lock, before the port is tried: one
    // monitor or recording per folder. Empty when taken, else the message.
    QString lockFolder();

    // One tick: the meter's level and its text when a fresh reading came,
    // nothing for a silent second (which writes no record).
    void tick(const QDateTime &now, std::optional<double> level, const QString &levelText,
              const HeaderBoards &boards);
    // Finishes the day file and writes the running interval.
    void stop(const QDateTime &now, const HeaderBoards &boards);

    // A row in the events file and a line on standard output.
    void event(const QDateTime &now, const QString &name, const QString &detail = {});

    QString dayFilePath() const { return m_dayFilePath; }
    bool alarmRaised() const { return m_alarm; }
    // The last error of a file operation, for the caller to report.
    QString lastError() const { return m_lastError; }

    // The events file, the interval table of a day and the day file's name.
    static QString eventsName(const QString &station);
    static QString intervalsName(const QString &station, const QDate &day);
    static QString dayFileName(const QString &station, const QDate &day, int copy);

private:
    void startDay(const QDateTime &now, const HeaderBoards &boards);
    void finishDay(const HeaderBoards &boards);
    void closeInterval(const QDateTime &endedAt);
    void appendLine(const QString &path, const QString &header, const QString &line);
    void sayWriteErrors();
    class Appender;

    MonitorOptions m_options;
    StationHooks m_hooks;
    MeasurementState m_state;
    QDate m_day;
    QString m_dayFilePath;
    // The running interval: its start, and the analysis that vorn-stats runs
    // over the same readings.
    std::optional<QDateTime> m_intervalStart;
    std::unique_ptr<FileAnalysis> m_analysis;
    bool m_alarm = false;
    QString m_lastError;
    // A day file that could not be started is tried again a minute later,
    // not every second (each try writes an event).
    std::optional<QDateTime> m_retryStartAt;
    std::unique_ptr<Appender> m_appender;
    QSet<QString> m_saidErrors;
};
