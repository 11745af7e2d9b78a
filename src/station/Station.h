#pragma once

#include "IntervalClock.h"
#include "MonitorOptions.h"
#include "analysis/output/Outputs.h"
#include "platform/DiskSync.h"
#include "recording/MeasurementState.h"
#include "recording/RecordingSession.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class LineAppender;

// One result of an interval, as the interval table holds it.
struct StationInterval
{
    QDateTime start; // local, with the offset in force
    QDateTime end;
    IntervalLevel levels;
    std::optional<double> limit;
    bool over = false;
    // Cut short by a stop (or a kill): written with its true end, judged
    // against no limit.
    bool partial = false;
};

// What the station tells the outside: lines for standard output (one per
// interval and one per event), alarm commands, and whatever else listens.
struct StationHooks
{
    std::function<void(const QString &line)> say;
    // An alarm was raised ("alarm") or cleared ("clear").
    std::function<void(const QString &event, const StationInterval &interval)> alarm;
    std::function<void(const StationInterval &interval)> interval;
    // Every row of the events file.
    std::function<void(const QDateTime &time, const QString &name, const QString &detail)> event;
    // Every reading the day file takes (or will take once the disk does),
    // with the day file's sampling interval in seconds.
    std::function<void(const QDateTime &at, const QString &levelText, int intervalSeconds)> reading;
};

// The unattended station's files, fed one sample a second: one "Real Time"
// data file per local day (written by the panel's recording code, so it is
// byte for byte what a recording writes), one interval table per day, the
// events file and the state that outlives a restart. It never talks to the
// meter; the monitor feeds it the levels the meter just sent, with the time
// of the tick.
//
// The readings of the running day file are also kept in memory, so that a
// folder deleted under the station or a full disk loses none of them: the
// day file is made anew from them once the folder can be written again.
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
    // The wall clock was set forward by `seconds` between two ticks: said,
    // and remembered so that a step back names what was stamped ahead.
    void clockWentForward(const QDateTime &last, const QDateTime &now, qint64 seconds);
    // Finishes the day file and writes the running interval, cut at now.
    void stop(const QDateTime &now, const HeaderBoards &boards);

    // A row of the weather file (STATION weather.csv), as its line.
    void appendWeather(const QString &line);
    // A row in the events file and a line on standard output.
    void event(const QDateTime &now, const QString &name, const QString &detail = {});

    QString dayFilePath() const { return m_dayFilePath; }
    bool alarmRaised() const { return m_alarm; }

    // The events file, the interval table of a day, the day file's name and
    // the state kept across restarts.
    static QString eventsName(const QString &station);
    static QString intervalsName(const QString &station, const QDate &day);
    static QString dayFileName(const QString &station, const QDate &day, int copy);
    static QString stateName(const QString &station);

    // How often the folder is looked at, and a broken day file tried again.
    static constexpr int FolderCheckSeconds = 3;
    static constexpr int RetrySeconds = 10;
    // A fault that lasts is said again at most this often.
    static constexpr int RepeatSeconds = 3600;
    // Below this much free space a failed write is a full disk.
    static constexpr qint64 FullBelowBytes = 1 << 20;

private:
    struct Kept
    {
        QDateTime at;
        double level = 0.0;
        QString text;
    };
    enum class Fault { None, FolderLost, DiskFull, WriteError };

    void begin(const QDateTime &now);
    bool clockMovesOn(const QDateTime &now, bool hasReading);
    std::unique_ptr<FileAnalysis> newIntervalAnalysis() const;
    // Writes the running interval's row as it closed.
    void closeInterval(const IntervalClock::Closed &closed, const QString &dayFile);
    void finishInterval(const QDateTime &start, const QDateTime &end, const FileAnalysis &analysis,
                        const QString &dayFile, bool partial);
    void writeInterval(StationInterval row, const QString &dayFile);
    void writeState();
    void writeDetails(const QDateTime &firstReading);
    void writeRecoveredIntervals(const QString &path);
    // The end of the last row in a day's interval table, if it has one.
    std::optional<QDateTime> lastRowEnd(const QDate &day) const;
    void startDay(const QDateTime &now);
    QString freeDayFilePath() const;
    bool startRecording(const QDateTime &now);
    void sampleIntoFile(const Kept &reading);
    // The number of the day's last readings no file holds (said lost).
    qint64 finishDay(const QDateTime &now);
    bool repair(const QDateTime &now);
    void breakRecording(const QString &reason);
    void watchFolder(const QDateTime &now, bool atOnce);
    // Only the lock file is gone: the folder and working file are ours.
    bool lockWasDeleted() const;
    // The events file's last row, empty when there is none.
    QString lastEventRow() const;
    // Whether the last alarm or clear in the events file was an alarm;
    // nothing when it holds neither.
    std::optional<bool> lastAlarmInEvents() const;
    bool folderIsOurs() const;
    bool folderAndWorkingFileAreOurs() const;
    QString lockPath() const;
    bool relock();
    void noteFault(const QDateTime &now);
    void notRecorded(const QDateTime &at, const QString &reason);
    void sayNotRecorded();
    void appendLine(const QString &path, const QString &header, const QString &line,
                    const QString &shortLine = {});
    void sayWriteErrors();
    QString folderText() const;
    static QString clockText(const QDateTime &time);
    qint64 freeBytes() const;

    MonitorOptions m_options;
    StationHooks m_hooks;
    MeasurementState m_state;
    HeaderBoards m_boards;
    bool m_begun = false;
    QDate m_day;
    QString m_dayFilePath;
    std::vector<Kept> m_kept; // the running day file's readings
    // The day file is not being written (folder gone, disk full, write
    // error): its readings wait in m_kept.
    // "stopped" was said: nothing follows it.
    QString m_lastRunsLastEvent; // the events file's last row at the start
    bool m_stoppedSaid = false;
    bool m_broken = false;
    QString m_brokenReason;
    std::optional<QDateTime> m_retryAt;
    // The running interval, and the analysis that vorn-stats runs over the
    // same readings.
    IntervalClock m_intervals;
    std::unique_ptr<FileAnalysis> m_analysis;
    bool m_alarm = false;
    // The folder, its lock and the temporary file as they were made.
    std::optional<FileIdentity> m_folderId;
    std::optional<FileIdentity> m_lockId;
    std::optional<FileIdentity> m_tempId;
    bool m_folderLost = false;
    int m_ticksSinceCheck = 0;
    Fault m_fault = Fault::None;
    QDateTime m_faultSaidAt;
    // The clock went back: ticks wait until it passes the last one again.
    std::optional<qint64> m_lastTickMs;
    struct Step
    {
        qint64 seconds = 0;
    };
    std::optional<Step> m_step;
    // The last step forward: the first time the clock showed after it.
    std::optional<QDateTime> m_aheadFrom;
    // Readings that went into no file, said as one "not recorded" row.
    struct Loss
    {
        QDateTime from;
        QDateTime to;
        qint64 count = 0;
        QString reason;
    };
    std::optional<Loss> m_loss;
    std::unique_ptr<LineAppender> m_appender;
    QSet<QString> m_saidErrors;
    qint64 m_droppedSaid = 0;
};
