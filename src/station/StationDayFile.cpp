// The station's day file and its folder: the file made, fed and finished,
// the folder watched, and faults (a folder lost, a full disk, a write error)
// said once, mended, and their end said.
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
#include <QStorageInfo>

#include <algorithm>
#include <utility>

bool Station::relock()
{
    if (m_state.TempFile.holdsLock() && fileIdentityOf(lockPath()) == m_lockId)
        return true;
    // The lock file under the old name is someone else's now, or gone.
    m_state.TempFile.forgetLock();
    if (m_state.TempFile.lock(m_options.folder) != RecordingTempFile::LockResult::Locked)
        return false;
    m_state.TempFile.keepLock(true);
    m_lockId = fileIdentityOf(lockPath());
    return true;
}

void Station::startDay(const QDateTime &now)
{
    m_day = now.date();
    m_kept.clear();
    m_dayFilePath = freeDayFilePath();
    m_broken = false;
    if (!startRecording(now))
        return;
    event(now, QStringLiteral("day file"), QFileInfo(m_dayFilePath).fileName());
    writeDetails(now);
}

// The day file's details name the site's zone (its stamps are this
// computer's wall clock) and the meter, so the file reads the same on any
// computer. Details someone wrote for it are left as they are.
void Station::writeDetails(const QDateTime &firstReading)
{
    const QString path = MeasurementDetails::pathFor(m_dayFilePath);
    if (QFileInfo::exists(path))
        return;
    MeasurementDetails details;
    if (const QString zone = computerZone().name; isKnownZone(zone))
        details.timeZone = zone;
    details.meterSerial = m_options.meterSerial;
    details.firstReading = CivilTime::toIsoWithOffset(firstReading);
    m_appender->replace(path, QString::fromUtf8(details.toJson()));
}

// A restart on the same day never overwrites: the next free copy number.
QString Station::freeDayFilePath() const
{
    const QDir folder(m_options.folder);
    for (int copy = 1;; ++copy) {
        const QString path = folder.filePath(dayFileName(m_options.station, m_day, copy));
        if (!QFileInfo::exists(path))
            return path;
    }
}

// Starts the temporary file of the day file; false (and broken) when it
// cannot be made.
bool Station::startRecording(const QDateTime &now)
{
    const SessionOutcome started
        = StartRecording(m_state, m_dayFilePath, m_options.folder, m_boards);
    if (!started.notice.isEmpty())
        event(now, QStringLiteral("recovered"), started.notice);
    if (!started.ok) {
        breakRecording(started.message);
        return false;
    }
    m_tempId = fileIdentityOf(m_state.TempFile.path());
    // A recording's first tick only starts the count; a station samples
    // every second, the first after midnight too.
    m_state.TickCount = m_state.SampleInterval;
    return true;
}

void Station::sampleIntoFile(const Kept &reading)
{
    // A temporary file that failed takes nothing more: the kept readings
    // make the day file anew once the disk takes them.
    if (m_state.Recording && m_state.TempFile.failed()) {
        breakRecording(m_state.TempFile.errorString());
        return;
    }
    SampleInput input
        = SampleInputOf(reading.level, reading.text, reading.at, 0, m_boards, m_options.folder);
    input.KeepsListAndHistory = false;
    m_state.TickCount = m_state.SampleInterval;
    const SampleTickResult result = OnSampleTick(m_state, input);
    if (!result.AutoStopped && !m_state.TempFile.failed())
        return;
    // The recording stopped itself on a write that failed. A day file it
    // wrote holds only some of the kept readings: it is made again whole.
    if (!result.AutoStopPath.isEmpty())
        QFile::remove(result.AutoStopPath);
    const QString reason = m_state.TempFile.errorString();
    breakRecording(reason.isEmpty() ? result.Errors.value(0).section(QLatin1Char('\n'), 0, 0)
                                    : reason);
}

void Station::breakRecording(const QString &reason)
{
    if (!m_broken)
        m_retryAt.reset();
    m_broken = true;
    m_brokenReason = reason;
}

// Makes the day file anew from the kept readings once the folder can be
// written again. The temporary file that failed holds nothing the kept
// readings lack, so it goes.
bool Station::repair(const QDateTime &now)
{
    m_retryAt = now.addSecs(RetrySeconds);
    if (!QDir().mkpath(m_options.folder))
        return false;
    if (m_folderLost) {
        if (!relock()) {
            const QString why = QStringLiteral("another program holds the lock of the folder "
                                               "\"%1\": the station waits, its readings in memory")
                                    .arg(folderText());
            if (m_brokenReason != why && m_hooks.say)
                m_hooks.say(why);
            m_brokenReason = why;
            return false;
        }
        m_folderId = fileIdentityOf(QDir(m_options.folder).absolutePath());
    }
    if (m_dayFilePath.isEmpty()) {
        m_broken = false;
        return true;
    }
    const qint64 needed = qint64(m_kept.size()) * 40 + (64 << 10);
    const qint64 free = freeBytes();
    if (free >= 0 && free < needed) {
        m_brokenReason = QStringLiteral("no space left on the disk");
        return false;
    }
    m_state.TempFile.abandon();
    m_state.Recording = false;
    // The failed temporary file, or a companion the old writer left in a
    // folder made again, holds nothing the kept readings lack; a temporary
    // file of someone else's in a new folder is recovered as usual.
    const QString companion
        = QDir(m_options.folder).filePath(QString::fromLatin1(RecordingCompanion::FileName));
    if (!m_folderLost)
        QFile::remove(m_state.TempFile.path());
    if (!m_folderLost || !QFile::exists(m_state.TempFile.path()))
        QFile::remove(companion);
    // The folder made again may hold a day file of the same name by now.
    if (QFileInfo::exists(m_dayFilePath))
        m_dayFilePath = freeDayFilePath();
    m_broken = false;
    if (!startRecording(now))
        return false;
    if (!m_kept.empty())
        m_state.RecordingStarted = m_kept.front().at;
    for (const Kept &reading : m_kept) {
        sampleIntoFile(reading);
        if (m_broken)
            return false;
    }
    if (!m_state.TempFile.drain()) {
        breakRecording(m_state.TempFile.errorString());
        return false;
    }
    return true;
}

qint64 Station::finishDay(const QDateTime &now)
{
    qint64 lost = 0;
    // A write that failed after the last tick (a working file cut under
    // the writer) shows once everything queued is on the disk: the day
    // file is then made from the kept readings, not from what is left.
    if (m_state.Recording && !m_broken && !m_state.TempFile.drain()) {
        breakRecording(m_state.TempFile.errorString());
        noteFault(now);
    }
    if (m_broken && !repair(now)) {
        // What the working file took is recovered at the next start: only
        // the readings after it are lost, and only they are said.
        m_state.TempFile.drain();
        const qint64 onDisk
            = std::min<qint64>(m_state.TempFile.recordsWritten(), qint64(m_kept.size()));
        for (auto reading = m_kept.begin() + onDisk; reading != m_kept.end(); ++reading)
            notRecorded(reading->at, m_brokenReason);
        lost = qint64(m_kept.size()) - onDisk;
        m_state.TempFile.abandon();
        m_state.Recording = false;
    }
    if (m_state.Recording) {
        const SessionOutcome stopped = StopRecording(m_state, m_boards, StopKind::Manual, {});
        if (!stopped.ok)
            event(now, QStringLiteral("day file"), stopped.message);
    }
    sayNotRecorded();
    m_kept.clear();
    m_day = QDate();
    m_dayFilePath.clear();
    m_broken = false;
    return lost;
}

bool Station::folderAndWorkingFileAreOurs() const
{
    return fileIdentityOf(QDir(m_options.folder).absolutePath()) == m_folderId
        && (!m_state.Recording || fileIdentityOf(m_state.TempFile.path()) == m_tempId);
}

QString Station::lockPath() const
{
    return QDir(m_options.folder).filePath(QString::fromLatin1(RecordingTempFile::LockName));
}

bool Station::folderIsOurs() const
{
    return folderAndWorkingFileAreOurs() && fileIdentityOf(lockPath()) == m_lockId;
}

bool Station::lockWasDeleted() const
{
    return folderAndWorkingFileAreOurs() && !QFileInfo::exists(lockPath());
}

void Station::watchFolder(const QDateTime &now, bool atOnce)
{
    if (++m_ticksSinceCheck < FolderCheckSeconds && !m_folderLost && !atOnce)
        return;
    m_ticksSinceCheck = 0;
    if (!m_folderLost) {
        if (folderIsOurs())
            return;
        if (lockWasDeleted()) {
            // The folder and the working file are as they were: only the
            // lock went, which is taken again. The readings go on where they go.
            const bool taken = relock();
            event(now, QStringLiteral("lock lost"),
                  taken ? QStringLiteral("%1 was deleted; it is taken again")
                              .arg(QString::fromLatin1(RecordingTempFile::LockName))
                        : QStringLiteral("%1 was deleted and cannot be made again")
                              .arg(QString::fromLatin1(RecordingTempFile::LockName)));
            if (taken)
                return;
        }
        m_folderLost = true;
        breakRecording(QStringLiteral("the folder was deleted or replaced"));
        // The temporary file went with the folder: it takes nothing more.
        m_state.TempFile.abandon();
        m_state.Recording = false;
        noteFault(now); // said before it is mended
    }
    if (m_retryAt && now < *m_retryAt)
        return;
    if (!repair(now))
        return;
    m_folderLost = false;
    m_appender->retrySoon();
}

// One fault at a time is said, once when it begins (a full disk again each
// hour while it lasts) and once when it ends.
void Station::noteFault(const QDateTime &now)
{
    const QString waiting = m_appender->waiting();
    const qint64 free = (m_broken || !waiting.isEmpty()) ? freeBytes() : -1;
    Fault fault = Fault::None;
    QString reason = m_broken ? m_brokenReason : waiting;
    if (m_folderLost)
        fault = Fault::FolderLost;
    else if ((m_broken || !waiting.isEmpty()) && free >= 0 && free < FullBelowBytes)
        fault = Fault::DiskFull;
    else if (m_broken || !waiting.isEmpty())
        fault = Fault::WriteError;
    const auto kept = [this] {
        return m_kept.empty() || !(m_broken || m_folderLost)
            ? QString()
            : QStringLiteral("; %1 readings wait in memory").arg(m_kept.size());
    };
    // A fault said stays until every file is written again, unless the
    // folder goes, which is said on its own.
    if (m_fault != Fault::None && fault != Fault::None && fault != Fault::FolderLost)
        fault = m_fault;
    if (fault != Fault::None)
        m_saidErrors.insert(reason);
    if (fault == m_fault) {
        if (fault == Fault::DiskFull && m_faultSaidAt.secsTo(now) >= RepeatSeconds) {
            m_faultSaidAt = now;
            event(now, QStringLiteral("disk full"),
                  QStringLiteral("\"%1\": still full, %2 bytes free%3")
                      .arg(folderText(), QString::number(free), kept()));
        }
        return;
    }
    const Fault before = std::exchange(m_fault, fault);
    m_faultSaidAt = now;
    switch (fault) {
    case Fault::None:
        event(now,
              before == Fault::FolderLost ? QStringLiteral("folder back")
                                          : QStringLiteral("writing resumed"),
              m_dayFilePath.isEmpty()
                  ? folderText()
                  : QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(m_dayFilePath)));
        return;
    case Fault::FolderLost:
        event(now, QStringLiteral("folder lost"),
              QStringLiteral("\"%1\" was deleted or replaced%2").arg(folderText(), kept()));
        return;
    case Fault::DiskFull:
        event(now, QStringLiteral("disk full"),
              QStringLiteral("\"%1\": %2, %3 bytes free%4")
                  .arg(folderText(), reason, QString::number(free), kept()));
        return;
    case Fault::WriteError:
        event(now, m_broken ? QStringLiteral("day file") : QStringLiteral("write error"),
              QStringLiteral("%1%2").arg(reason, kept()));
        return;
    }
}

void Station::notRecorded(const QDateTime &at, const QString &reason)
{
    if (m_loss && m_loss->reason != reason)
        sayNotRecorded();
    if (!m_loss)
        m_loss = Loss { at, at, 0, reason };
    m_loss->to = at;
    ++m_loss->count;
}

void Station::sayNotRecorded()
{
    if (!m_loss)
        return;
    const Loss loss = *std::exchange(m_loss, std::nullopt);
    event(loss.to, QStringLiteral("not recorded"),
          QStringLiteral("%1 readings from %2 to %3: %4")
              .arg(QString::number(loss.count), clockText(loss.from), clockText(loss.to),
                   loss.reason));
}

QString Station::folderText() const
{
    return QDir::toNativeSeparators(QDir(m_options.folder).absolutePath());
}

qint64 Station::freeBytes() const
{
    const QStorageInfo storage(QDir(m_options.folder).absolutePath());
    return storage.isValid() ? storage.bytesAvailable() : -1;
}
