#include "Station.h"

#include "analysis/batch/CivilTime.h"
#include "recording/FormatTenths.h"
#include "recording/RecordingRecovery.h"
#include "recording/SampleTick.h"
#include "ui/core/DiskSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// The start of the clock-aligned interval holding the time, in local time.
QDateTime intervalStartOf(const QDateTime &now, int length)
{
    const int64_t civil = CivilTime::civilSecondsOf(now.date(), now.time());
    const int64_t aligned = CivilTime::alignDown(civil, length);
    const int64_t back = civil - aligned;
    // Back by seconds of real time: in the hour that repeats, the start is
    // the one of this run of the hour.
    return now.addSecs(-back).addMSecs(-now.time().msec());
}

} // namespace

Station::Station(const MonitorOptions &options, StationHooks hooks)
    : m_options(options)
    , m_hooks(std::move(hooks))
    , m_appender(std::make_unique<Appender>())
{
    m_state.SampleInterval = 1;
}

Station::~Station() = default;

QString Station::eventsName(const QString &station)
{
    return station + QStringLiteral(" events.csv");
}

QString Station::intervalsName(const QString &station, const QDate &day)
{
    return station + QLatin1Char(' ') + day.toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral(" intervals.csv");
}

QString Station::dayFileName(const QString &station, const QDate &day, int copy)
{
    QString name = station + QLatin1Char(' ') + day.toString(QStringLiteral("yyyy-MM-dd"));
    if (copy > 1)
        name += QStringLiteral(" (%1)").arg(copy);
    return name + QStringLiteral(".vorn");
}

// The interval table and the events file are appended to and synced on a
// thread of their own: a disk that hangs never holds a sample up. Failures
// come back to the station's thread, which says them.
class Station::Appender
{
public:
    Appender()
        : m_thread([this] { run(); })
    {
    }
    ~Appender()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void append(QString path, QString header, QString line)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back({ std::move(path), std::move(header), std::move(line) });
        }
        m_changed.notify_all();
    }
    // Waits until everything queued is on the disk.
    void drain()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.empty() && !m_writing; });
    }
    QStringList takeErrors()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_errors, {});
    }

private:
    struct Item
    {
        QString path;
        QString header;
        QString line;
    };
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopping, nothing left
            Item item = std::move(m_queue.front());
            m_queue.pop_front();
            m_writing = true;
            lock.unlock();
            const QString error = write(item);
            lock.lock();
            m_writing = false;
            if (!error.isEmpty() && !m_errors.contains(error))
                m_errors << error;
            m_changed.notify_all();
        }
    }
    static QString write(const Item &item)
    {
        QFile file(item.path);
        const bool fresh = !file.exists() || file.size() == 0;
        QByteArray bytes;
        if (fresh && !item.header.isEmpty())
            bytes += item.header.toUtf8() + "\n";
        bytes += item.line.toUtf8() + "\n";
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append)
            || file.write(bytes) != bytes.size() || !syncFileToDisk(file))
            return QStringLiteral("\"%1\" cannot be written: %2")
                .arg(QDir::toNativeSeparators(item.path), file.errorString());
        return {};
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    QStringList m_errors;
    bool m_writing = false;
    bool m_stopping = false;
    std::thread m_thread;
};

void Station::appendLine(const QString &path, const QString &header, const QString &line)
{
    m_appender->append(path, header, line);
}

void Station::sayWriteErrors()
{
    // Each failure is said once; the journal needs no line every interval.
    for (const QString &error : m_appender->takeErrors()) {
        m_lastError = error;
        if (m_saidErrors.contains(error))
            continue;
        m_saidErrors.insert(error);
        if (m_hooks.say)
            m_hooks.say(error);
    }
}

void Station::event(const QDateTime &now, const QString &name, const QString &detail)
{
    appendLine(QDir(m_options.folder).filePath(eventsName(m_options.station)),
               QStringLiteral("time,event,detail"),
               csvRow({ CivilTime::toIsoWithOffset(now), name, detail }));
    if (m_hooks.say)
        m_hooks.say(detail.isEmpty() ? name : name + QStringLiteral(": ") + detail);
}

QString Station::lockFolder()
{
    const QString folder = QDir::toNativeSeparators(QDir(m_options.folder).absolutePath());
    if (!QDir().mkpath(m_options.folder))
        return QStringLiteral("The folder \"%1\" cannot be made.").arg(folder);
    switch (m_state.TempFile.lock(m_options.folder)) {
    case RecordingTempFile::LockResult::Locked:
        // Held from the start to the stop, across every change of day.
        m_state.TempFile.keepLock(true);
        return {};
    case RecordingTempFile::LockResult::Busy:
        return QStringLiteral("A recording or another monitor runs in the folder \"%1\": only "
                              "one can run in a folder at a time.")
            .arg(folder);
    case RecordingTempFile::LockResult::Failed:
        break;
    }
    return QStringLiteral("No lock can be made in the folder \"%1\": is it writable?").arg(folder);
}

void Station::startDay(const QDateTime &now, const HeaderBoards &boards)
{
    const QDir folder(m_options.folder);
    // A day file left by a killed monitor is finished first, so that the
    // new one takes the next free name and never replaces it.
    const RecoveryOutcome recovered = RecoverUnfinishedRecordingLocked(m_options.folder);
    if (recovered.Found) {
        event(now, QStringLiteral("recovered"), recovered.Message);
        if (!recovered.Ok) {
            m_lastError = recovered.Message;
            m_retryStartAt = now.addSecs(60);
            return;
        }
    }
    QString path;
    // A restart on the same day never overwrites: the next free copy number.
    for (int copy = 1;; ++copy) {
        path = folder.filePath(dayFileName(m_options.station, now.date(), copy));
        if (!QFileInfo::exists(path))
            break;
    }
    const SessionOutcome started = StartRecording(m_state, path, m_options.folder, boards);
    if (!started.notice.isEmpty())
        event(now, QStringLiteral("recovered"), started.notice);
    if (!started.ok) {
        m_lastError = started.message;
        m_retryStartAt = now.addSecs(60);
        event(now, QStringLiteral("day file"), started.message);
        return;
    }
    m_retryStartAt.reset();
    m_day = now.date();
    m_dayFilePath = path;
    // A recording's first tick only starts the count; a station samples
    // every second, the first after midnight too.
    m_state.TickCount = m_state.SampleInterval;
    event(now, QStringLiteral("day file"), QFileInfo(path).fileName());
}

void Station::finishDay(const HeaderBoards &boards)
{
    if (!m_state.Recording)
        return;
    const SessionOutcome stopped = StopRecording(m_state, boards, StopKind::Manual, {});
    if (!stopped.ok)
        m_lastError = stopped.message;
}

void Station::closeInterval(const QDateTime &endedAt)
{
    if (!m_intervalStart || !m_analysis)
        return;
    DataFileContents header;
    header.kind = DataFileKind::RealTime;
    header.samplingInterval = 1;
    header.headerLength = 9;
    const FileReport report = m_analysis->finish(m_dayFilePath, header);
    m_analysis.reset();
    StationInterval row;
    row.start = *m_intervalStart;
    row.end = endedAt;
    m_intervalStart.reset();
    for (const IntervalLevel &levels : report.intervals)
        if (!levels.gap)
            row.levels = levels;
    if (row.levels.readings == 0)
        return;
    // The times the station lived, not those read back from civil stamps: in
    // the hour that repeats they carry the offset of this run of it.
    row.levels.start = CivilTime::civilSecondsOf(row.start.date(), row.start.time());
    row.levels.startOffset = row.start.offsetFromUtc();
    row.levels.end = CivilTime::civilSecondsOf(row.end.date(), row.end.time());
    row.levels.endOffset = row.end.offsetFromUtc();
    const QTime at = row.start.time();
    row.limit = m_options.limits.limitAt(at.hour() * 60 + at.minute());
    row.over = row.limit && row.levels.leq && *row.levels.leq > *row.limit;
    const QString state
        = row.limit ? (row.over ? QStringLiteral("over") : QStringLiteral("ok")) : QString();
    appendLine(QDir(m_options.folder).filePath(intervalsName(m_options.station, row.start.date())),
               intervalCsvHeader() + QStringLiteral(",limit,state"),
               csvRow(intervalCsvFields(QFileInfo(m_dayFilePath).fileName(), row.levels)
                      << (row.limit ? QString::number(*row.limit) : QString()) << state));
    if (m_hooks.say) {
        QString line = row.start.toString(QStringLiteral("HH:mm")) + QChar(0x2013)
            + row.end.toString(QStringLiteral("HH:mm")) + QStringLiteral(" Leq ")
            + (row.levels.leq ? FormatTenths(*row.levels.leq) : QStringLiteral("-"))
            + QStringLiteral(" dB");
        if (row.limit)
            line += QStringLiteral(" (limit %1) %2").arg(QString::number(*row.limit), state);
        m_hooks.say(line);
    }
    if (m_hooks.interval)
        m_hooks.interval(row);
    // An interval above its limit raises the alarm; the first one at or
    // below its limit clears it.
    if (row.limit && row.levels.leq && row.over != m_alarm) {
        m_alarm = row.over;
        const QString name = m_alarm ? QStringLiteral("alarm") : QStringLiteral("clear");
        event(endedAt, name,
              QStringLiteral("%1 to %2 Leq %3 dB, limit %4 dB")
                  .arg(CivilTime::toIsoWithOffset(row.start), CivilTime::toIsoWithOffset(row.end),
                       FormatTenths(*row.levels.leq), QString::number(*row.limit)));
        if (m_hooks.alarm)
            m_hooks.alarm(name, row);
    }
}

void Station::tick(const QDateTime &now, std::optional<double> level, const QString &levelText,
                   const HeaderBoards &boards)
{
    sayWriteErrors();
    // The interval of this second: a new one closes the one before.
    const QDateTime start = intervalStartOf(now, m_options.intervalSeconds);
    if (m_intervalStart && *m_intervalStart != start)
        closeInterval(m_intervalStart->addSecs(m_options.intervalSeconds));
    if (!m_intervalStart) {
        m_intervalStart = start;
        BatchRequest request;
        request.intervalLength = m_options.intervalSeconds;
        m_analysis = std::make_unique<FileAnalysis>(request);
    }
    // The change of day: the next file starts with the first sample after
    // midnight, so no sample is lost or written twice.
    if (m_state.Recording && now.date() != m_day)
        finishDay(boards);
    if (!m_state.Recording && (!m_retryStartAt || now >= *m_retryStartAt))
        startDay(now, boards);
    if (!level)
        return;
    SampleInput input;
    input.Level = *level;
    input.LevelText = levelText;
    input.Now = now;
    input.FrameAgeMs = 0;
    input.Boards = boards;
    input.Folder = m_options.folder;
    input.KeepsListAndHistory = false;
    const SampleTickResult result = OnSampleTick(m_state, input);
    if (result.Sampled)
        m_analysis->add(m_state.SampleTime, levelText);
    for (const QString &error : result.Errors)
        m_lastError = error;
}

void Station::stop(const QDateTime &now, const HeaderBoards &boards)
{
    // The running interval keeps its clock-aligned end; its coverage says
    // how much of it was measured.
    if (m_intervalStart)
        closeInterval(m_intervalStart->addSecs(m_options.intervalSeconds));
    finishDay(boards);
    m_state.TempFile.keepLock(false);
    event(now, QStringLiteral("stopped"));
    m_appender->drain();
    sayWriteErrors();
}
