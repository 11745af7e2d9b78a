#include "Station.h"

#include "LineAppender.h"

#include "analysis/Wording.h"
#include "analysis/engine/IntervalLevels.h"
#include "analysis/records/Calibration.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/SiteZone.h"
#include "analysis/records/StationFolder.h"
#include "analysis/records/Weather.h"
#include "recording/DataFileReader.h"
#include "recording/FormatTenths.h"
#include "recording/RecordingCompanion.h"
#include "recording/RecordingRecovery.h"
#include "recording/SampleTick.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <utility>

// A time as the station's lines and events show it.
QString Station::clockText(const QDateTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

Station::Station(const MonitorOptions &options, StationHooks hooks)
    : m_options(options)
    , m_hooks(std::move(hooks))
    , m_intervals(options.intervalSeconds)
    , m_appender(std::make_unique<LineAppender>())
{
    m_state.SampleInterval = 1;
    // Before this run says anything.
    m_lastRunsLastEvent = lastEventRow();
}

Station::~Station() = default;

QString Station::eventsName(const QString &station)
{
    return StationFolder::eventsName(station);
}

QString Station::intervalsName(const QString &station, const QDate &day)
{
    return StationFolder::intervalsName(station, day);
}

QString Station::dayFileName(const QString &station, const QDate &day, int copy)
{
    return StationFolder::dayFileName(station, day, copy);
}

QString Station::stateName(const QString &station)
{
    return StationFolder::stateName(station);
}

void Station::appendLine(const QString &path, const QString &header, const QString &line,
                         const QString &shortLine)
{
    m_appender->append(path, header, line, shortLine);
}

void Station::sayWriteErrors()
{
    // Lines the disk refused for so long that they were let go are counted.
    if (const qint64 dropped = m_appender->dropped(); dropped > m_droppedSaid && m_hooks.say) {
        m_hooks.say(QStringLiteral("%1 lines of the interval table and events file were let go: "
                                   "the disk refused them too long")
                        .arg(dropped - m_droppedSaid));
        m_droppedSaid = dropped;
    }
    // Each failure is said once; the journal needs no line every interval.
    for (const QString &error : m_appender->takeErrors()) {
        if (m_saidErrors.contains(error))
            continue;
        m_saidErrors.insert(error);
        // The first is said with the fault it begins.
        if (m_fault == Fault::None && error == m_appender->waiting())
            continue;
        if (m_hooks.say)
            m_hooks.say(error);
    }
}

void Station::event(const QDateTime &now, const QString &name, const QString &detail)
{
    // "stopped" is the last word of a run.
    if (m_stoppedSaid)
        return;
    m_stoppedSaid = name == QLatin1String("stopped");
    appendLine(QDir(m_options.folder).filePath(eventsName(m_options.station)),
               QStringLiteral("time,event,detail"),
               csvRow({ CivilTime::toIsoWithOffset(now), name, detail }));
    if (m_hooks.say)
        m_hooks.say(detail.isEmpty() ? name : name + QStringLiteral(": ") + detail);
    if (m_hooks.event)
        m_hooks.event(now, name, detail);
}

void Station::appendWeather(const QString &line)
{
    appendLine(QDir(m_options.folder).filePath(StationFolder::weatherName(m_options.station)),
               QLatin1String(WeatherCsv::Header), line);
}

QString Station::lockFolder()
{
    const QString folder = folderText();
    // The service may write only its state folder and what a drop-in allows.
    const QString service = QStringLiteral(
        " Run as the service vorn-monitor@NAME, the station may write only /var/lib/vorn/NAME "
        "and folders a drop-in names with ReadWritePaths= (see vorn-monitor(1)).");
    if (!QDir().mkpath(m_options.folder))
        return QStringLiteral("The folder \"%1\" cannot be made.").arg(folder) + service;
    switch (m_state.TempFile.lock(m_options.folder)) {
    case RecordingTempFile::LockResult::Locked:
        // Held from the start to the stop, across every change of day.
        m_state.TempFile.keepLock(true);
        m_folderId = fileIdentityOf(QDir(m_options.folder).absolutePath());
        m_lockId = fileIdentityOf(lockPath());
        return {};
    case RecordingTempFile::LockResult::Busy:
        return QStringLiteral("A recording or another monitor runs in the folder \"%1\": only "
                              "one can run in a folder at a time.")
            .arg(folder);
    case RecordingTempFile::LockResult::Failed:
        break;
    }
    return QStringLiteral("No lock can be made in the folder \"%1\": is it writable?").arg(folder)
        + service;
}

// The first tick: what the last run left. Its alarm state and last interval
// go on; a day file a killed run left is finished, and its last interval
// row, which the kill kept from being written, is written marked partial.
QString Station::lastEventRow() const
{
    QFile events(QDir(m_options.folder).filePath(eventsName(m_options.station)));
    if (!events.open(QIODevice::ReadOnly))
        return {};
    // The last line is near the end: a long file is not read whole.
    events.seek(std::max<qint64>(0, events.size() - 4096));
    QString last;
    while (!events.atEnd())
        if (const QString line = QString::fromUtf8(events.readLine()).trimmed();
            !line.isEmpty() && !line.startsWith(QLatin1String("time,")))
            last = line;
    return last;
}

std::optional<bool> Station::lastAlarmInEvents() const
{
    QFile events(QDir(m_options.folder).filePath(eventsName(m_options.station)));
    if (!events.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<bool> raised;
    while (!events.atEnd()) {
        const QByteArray line = events.readLine();
        if (line.contains(",alarm,"))
            raised = true;
        else if (line.contains(",clear,"))
            raised = false;
    }
    return raised;
}

void Station::begin(const QDateTime &now)
{
    m_stoppedSaid = false;
    m_begun = true;
    const QDir folder(m_options.folder);
    QFile file(folder.filePath(stateName(m_options.station)));
    QString lost; // why the state file cannot say what the last run left
    if (file.open(QIODevice::ReadOnly) && file.size() < 65536) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        const QJsonObject state = document.object();
        if (error.error != QJsonParseError::NoError || !document.isObject()
            || !state.value(QStringLiteral("alarm")).isBool())
            lost = QStringLiteral("is damaged");
        m_alarm = state.value(QStringLiteral("alarm")).toBool();
        const QDateTime end = QDateTime::fromString(
            state.value(QStringLiteral("interval_end")).toString(), Qt::ISODate);
        if (end.isValid())
            m_intervals.written(end);
    } else if (file.exists()) {
        lost = QStringLiteral("cannot be read");
    } else if (lastAlarmInEvents()) {
        // An alarm or clear was said, so a state file was written.
        lost = QStringLiteral("is missing");
    }
    // A run that ended without its "stopped" was killed, hung (and was
    // restarted by the service's watchdog) or lost its power.
    if (const QString last = m_lastRunsLastEvent;
        !last.isEmpty() && last.section(QLatin1Char(','), 1, 1) != QLatin1String("stopped"))
        event(now, QStringLiteral("restarted"),
              QStringLiteral("the last run ended without a stop after %1 (killed, hung or a "
                             "power cut)")
                  .arg(last.section(QLatin1Char(','), 0, 0)));
    if (!lost.isEmpty()) {
        // The events file keeps every alarm and clear: its last one is the
        // state a restart must not forget (a retained "alarm" would stay).
        m_alarm = lastAlarmInEvents().value_or(false);
        event(now, QStringLiteral("state lost"),
              QStringLiteral("%1 %2; the alarm state is taken from the events file: %3")
                  .arg(stateName(m_options.station), lost,
                       m_alarm ? QStringLiteral("raised") : QStringLiteral("clear")));
    }
    const RecoveryOutcome recovered = RecoverUnfinishedRecordingLocked(m_options.folder);
    if (!recovered.Found)
        return;
    if (!recovered.Ok) {
        // Its readings stay in the temporary file for the next try.
        event(now, QStringLiteral("day file"), recovered.Message);
        return;
    }
    event(now, QStringLiteral("recovered"), recovered.Message);
    writeRecoveredIntervals(recovered.Path);
}

std::optional<QDateTime> Station::lastRowEnd(const QDate &day) const
{
    QFile table(QDir(m_options.folder).filePath(intervalsName(m_options.station, day)));
    if (!table.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray last;
    while (!table.atEnd())
        if (const QByteArray line = table.readLine().trimmed(); !line.isEmpty())
            last = line;
    const QStringList fields = csvLineFields(QString::fromUtf8(last));
    const QDateTime end = QDateTime::fromString(fields.value(2), Qt::ISODate);
    return end.isValid() ? std::optional(end) : std::nullopt;
}

void Station::writeRecoveredIntervals(const QString &path)
{
    const DataFileContents file = DataFileReader::readFile(path);
    const QString fileName = QFileInfo(path).fileName();
    // The stamps are the moments the station lived: in the hour that repeats
    // their order (or the first reading's offset in the details) tells the
    // runs apart.
    const std::optional<MeasurementDetails> details
        = MeasurementDetails::read(MeasurementDetails::pathFor(path), nullptr);
    RepeatedHours hours;
    std::optional<QDateTime> start;
    std::unique_ptr<FileAnalysis> analysis;
    QDateTime last;
    // Rows end where the last one written ends: the state file says where,
    // and so does the day's table, which a full disk may have let take a row
    // the state file missed.
    std::optional<QDateTime> written = m_intervals.lastEnd();
    bool tableRead = false;
    for (qsizetype i = 0; i < file.recordCount(); ++i) {
        const std::optional<int64_t> civil = CivilTime::parseStamp(file.time(i));
        if (!civil)
            continue;
        hours.begin(*civil, details ? details->firstReadingOffset() : std::nullopt);
        const int64_t place = hours.place(*civil);
        const QDateTime at
            = QDateTime::fromSecsSinceEpoch(CivilTime::utcOf(*civil, hours.secondRun(place)));
        if (!tableRead) {
            tableRead = true;
            if (const auto tableEnd = lastRowEnd(at.toLocalTime().date());
                tableEnd && (!written || *tableEnd > *written))
                written = tableEnd;
        }
        if (written && at < *written)
            continue;
        const QDateTime windowStart = m_intervals.startOf(at);
        if (start && *start != windowStart)
            finishInterval(*start, m_intervals.endOf(*start), *analysis, fileName, false);
        if (!start || *start != windowStart) {
            start = windowStart;
            analysis = newIntervalAnalysis();
        }
        analysis->add(file.time(i), file.level(i));
        last = at;
    }
    if (!start)
        return;
    // The killed run's last interval ends with its last reading.
    const QDateTime windowEnd = m_intervals.endOf(*start);
    const QDateTime end = last.addSecs(1);
    finishInterval(*start, std::min(end, windowEnd), *analysis, fileName, end < windowEnd);
}

void Station::writeState()
{
    QJsonObject state;
    state.insert(QStringLiteral("alarm"), m_alarm);
    if (const auto &end = m_intervals.lastEnd())
        state.insert(QStringLiteral("interval_end"), CivilTime::toIsoWithOffset(*end));
    m_appender->replace(QDir(m_options.folder).filePath(stateName(m_options.station)),
                        QString::fromUtf8(QJsonDocument(state).toJson()));
}

std::unique_ptr<FileAnalysis> Station::newIntervalAnalysis() const
{
    AnalysisRequest request;
    request.intervalLength = m_options.intervalSeconds;
    return std::make_unique<FileAnalysis>(request);
}

void Station::closeInterval(const IntervalClock::Closed &closed, const QString &dayFile)
{
    if (m_analysis)
        finishInterval(closed.start, closed.end, *m_analysis, dayFile, closed.partial);
    m_analysis.reset();
}

void Station::finishInterval(const QDateTime &start, const QDateTime &end,
                             const FileAnalysis &analysis, const QString &dayFile, bool partial)
{
    DataFileContents header;
    header.kind = DataFileKind::RealTime;
    header.samplingInterval = 1;
    header.headerLength = 9;
    const FileFigures report = analysis.finish(dayFile, header);
    StationInterval row;
    row.start = start;
    row.end = end;
    row.partial = partial;
    for (const IntervalLevel &levels : report.intervals)
        if (!levels.gap)
            row.levels = levels;
    if (row.levels.readings == 0)
        return;
    writeInterval(row, dayFile);
}

void Station::writeInterval(StationInterval row, const QString &dayFile)
{
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
    const QStringList fields = intervalCsvFields(dayFile, row.levels)
        << (row.limit ? QString::number(*row.limit) : QString()) << state;
    appendLine(QDir(m_options.folder).filePath(intervalsName(m_options.station, row.start.date())),
               intervalCsvHeader() + QStringLiteral(",limit,state,partial"),
               csvRow(QStringList(fields) << (row.partial ? QStringLiteral("yes") : QString())),
               csvRow(fields));
    if (m_hooks.say) {
        QString line = row.start.toString(QStringLiteral("HH:mm")) + QChar(0x2013)
            + row.end.toString(row.partial ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"))
            + QStringLiteral(" Leq ")
            // Judged against a limit, the level is worded as it was judged.
            + Wording::orMissing(row.levels.leq,
                                 row.limit ? Wording::hundredths : Wording::tenthsCut,
                                 Wording::Missing::Dash)
            + QStringLiteral(" dB");
        if (row.limit)
            line += QStringLiteral(" (limit %1) %2").arg(QString::number(*row.limit), state);
        if (row.partial)
            line += QStringLiteral(" (partial)");
        m_hooks.say(line);
    }
    if (m_hooks.interval)
        m_hooks.interval(row);
    m_intervals.written(row.end);
    // An interval above its limit raises the alarm; the first one at or
    // below its limit clears it. A partial one judges nothing.
    if (!row.partial && row.limit && row.levels.leq && row.over != m_alarm) {
        m_alarm = row.over;
        const QString name = m_alarm ? QStringLiteral("alarm") : QStringLiteral("clear");
        event(row.end, name,
              QStringLiteral("%1 to %2 Leq %3 dB, limit %4 dB")
                  .arg(CivilTime::toIsoWithOffset(row.start), CivilTime::toIsoWithOffset(row.end),
                       Wording::hundredths(*row.levels.leq), QString::number(*row.limit)));
        if (m_hooks.alarm)
            m_hooks.alarm(name, row);
    } else if (!row.partial && !row.limit && m_alarm) {
        // Hours no period covers have no limit: nothing stands raised there.
        m_alarm = false;
        event(row.end, QStringLiteral("clear"),
              QStringLiteral("no limit from %1").arg(row.start.toString(QStringLiteral("HH:mm"))));
        if (m_hooks.alarm)
            m_hooks.alarm(QStringLiteral("clear"), row);
    }
    writeState();
}

// A tick whose time in UTC is not after the last one changes nothing: the
// clock went back (an NTP step) or the timer came early. The repeated
// autumn hour goes on in UTC and is no step.
bool Station::clockMovesOn(const QDateTime &now, bool hasReading)
{
    const qint64 ms = now.toMSecsSinceEpoch();
    if (m_lastTickMs && ms / 1000 <= *m_lastTickMs / 1000) {
        // Later within the same second: the timer came early, and this
        // second's reading is in the file already.
        if (!m_step && ms > *m_lastTickMs)
            return false;
        if (!m_step) {
            // The size of the step: where the clock should be now, less where it is.
            m_step = Step { (*m_lastTickMs + 1000 - ms) / 1000 };
            QString detail = QStringLiteral("the clock went back %1 s; nothing is written until it "
                                            "passes %2 again")
                                 .arg(QString::number(m_step->seconds),
                                      clockText(QDateTime::fromMSecsSinceEpoch(*m_lastTickMs)
                                                    .toTimeZone(now.timeZone())));
            // Taken back past a step forward: the readings stamped since
            // then carry times the clock showed wrongly.
            if (m_aheadFrom && now < *m_aheadFrom) {
                const auto ahead = std::find_if(m_kept.begin(), m_kept.end(), [&](const Kept &k) {
                    return k.at >= *m_aheadFrom;
                });
                if (ahead != m_kept.end())
                    detail += QStringLiteral("; the %1 readings from %2 to %3 were stamped while "
                                             "it was ahead")
                                  .arg(QString::number(m_kept.end() - ahead), clockText(ahead->at),
                                       clockText(m_kept.back().at));
                m_aheadFrom.reset();
            }
            event(now, QStringLiteral("clock step"), detail);
        }
        if (hasReading)
            notRecorded(now, QStringLiteral("the clock went back %1 s").arg(m_step->seconds));
        return false;
    }
    if (m_step) {
        m_step.reset();
        sayNotRecorded();
    }
    m_lastTickMs = ms;
    return true;
}

void Station::clockWentForward(const QDateTime &last, const QDateTime &now, qint64 seconds)
{
    m_aheadFrom = now;
    event(now, QStringLiteral("clock step"),
          QStringLiteral("the clock went forward %1 s, from %2 to %3")
              .arg(QString::number(seconds), clockText(last), clockText(now)));
}

void Station::tick(const QDateTime &now, std::optional<double> level, const QString &levelText,
                   const HeaderBoards &boards)
{
    sayWriteErrors();
    if (!m_begun)
        begin(now);
    if (!clockMovesOn(now, level.has_value()))
        return;
    m_boards = boards;
    // The interval of this second: a new one closes the one before.
    if (const auto closed = m_intervals.closeIfOver(now))
        closeInterval(*closed, QFileInfo(m_dayFilePath).fileName());
    if (m_intervals.openIfIdle(now))
        m_analysis = newIntervalAnalysis();
    // The change of day: the next file starts with the first sample after
    // midnight, so no sample is lost or written twice.
    if (m_day.isValid() && now.date() != m_day)
        finishDay(now);
    // A fault is said before it is mended, and its end after.
    noteFault(now);
    // A write that failed may be the folder gone: looked at before mending.
    watchFolder(now, m_broken);
    if (m_broken && !m_folderLost && (!m_retryAt || now >= *m_retryAt))
        repair(now);
    noteFault(now);
    if (!level)
        return;
    // The day file is made with its first reading, not before.
    if (!m_day.isValid())
        startDay(now);
    const Kept reading { now, *level, levelText };
    m_kept.push_back(reading);
    if (m_hooks.reading)
        m_hooks.reading(now, levelText, std::max(1, m_state.SampleInterval));
    // The interval counts what the day file took or will take.
    m_analysis->add(TimeStamp(now), levelText);
    if (!m_broken)
        sampleIntoFile(reading);
}

void Station::stop(const QDateTime &now, const HeaderBoards &boards)
{
    m_boards = boards;
    sayWriteErrors();
    // The running interval's readings, taken before the day file is
    // finished: a day file that cannot be finished holds only the first.
    std::vector<Kept> running;
    if (m_intervals.running())
        std::copy_if(m_kept.begin(), m_kept.end(), std::back_inserter(running),
                     [&](const Kept &k) { return k.at >= m_intervals.runningStart(); });
    const QString dayFile = QFileInfo(m_dayFilePath).fileName();
    const qint64 lost = m_day.isValid() ? finishDay(now) : 0;
    // The running interval ends at the stop, marked partial unless the stop
    // falls on its end.
    if (m_intervals.running()) {
        // The end is not included: a stop in the second of the last reading
        // ends the row after that reading's second, not at its stamp.
        QDateTime stopped = now;
        if (lost > 0) {
            // Readings no file holds count in no row: the row holds what
            // the working file took, and ends after the last of it.
            running.resize(running.size() - std::min(size_t(lost), running.size()));
            m_analysis = newIntervalAnalysis();
            for (const Kept &reading : running)
                m_analysis->add(TimeStamp(reading.at), reading.text);
            stopped = running.empty()
                ? m_intervals.runningStart()
                : running.back().at.addSecs(std::max(1, m_state.SampleInterval));
        } else if (!running.empty()) {
            stopped = std::max(now, running.back().at.addSecs(std::max(1, m_state.SampleInterval)));
        }
        closeInterval(*m_intervals.stop(stopped), dayFile);
    }
    sayNotRecorded();
    m_state.TempFile.keepLock(false);
    // Lines that waited for the disk get one more try, so that a fault that
    // has ended is said so before the stop.
    m_appender->drain(1000);
    noteFault(now);
    event(now, QStringLiteral("stopped"));
    const size_t left = m_appender->drain(3000);
    sayWriteErrors();
    if (left > 0 && m_hooks.say)
        m_hooks.say(QStringLiteral("%1 lines of the interval table, events or state file waited "
                                   "for the disk in vain and were not written")
                        .arg(QString::number(left)));
}
