#include "RecordingRecovery.h"
#include "Energy.h"

#include "AtomicFile.h"
#include "DataFileWriter.h"
#include "FormatTenths.h"
#include "LevelNumber.h"
#include "RecordingCompanion.h"
#include "RecordingTempFile.h"
#include "SampleTick.h"
#include "platform/DiskSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

struct TempRecords
{
    QByteArray ColumnHeader;
    QList<QByteArray> Lines; // body lines without their line end
    qint64 Torn = 0;
};

// Whole lines only: a line without its line end, or holding the zero bytes a
// power cut can leave where data never arrived, is torn.
TempRecords splitTempFile(const QByteArray &bytes)
{
    TempRecords records;
    qsizetype start = 0;
    bool first = true;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            records.Torn += 1;
            break;
        }
        QByteArray line = bytes.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\0')) {
            records.Torn += 1;
            continue;
        }
        if (first)
            records.ColumnHeader = line;
        else
            records.Lines.push_back(line);
        first = false;
    }
    if (first)
        records.ColumnHeader = ColumnHeaderLine().toLatin1();
    return records;
}

// The header a stop after the last record would have written: the stored
// sums, plus the tick of each record the companion did not count yet (the
// writer stores the companion after the records it counts).
RealTimeHeader headerOf(RecordingCompanion stored, const TempRecords &records)
{
    if (!stored.HasSums) {
        stored.Records = 0;
        stored.Count = 0;
        stored.Energy = 0.0;
    }
    if (stored.MaxText.isEmpty())
        stored.MaxText = HeaderNumber(0);
    bool extended = !stored.HasSums;
    for (qsizetype i = std::max<qint64>(stored.Records, 0); i < records.Lines.size(); ++i) {
        const QList<QByteArray> fields = records.Lines.at(i).split('\t');
        if (fields.size() < 3)
            continue;
        const QString time = QString::fromLatin1(fields.at(1));
        const QString text = QString::fromLatin1(fields.at(2));
        const double level = leadingLevelValue(text);
        // As the tick does: a damaged frame's level enters no sum and no maximum.
        if (!LevelEntersEnergySums(level))
            continue;
        stored.Count += 1;
        stored.Energy += Energy::ofLevel(level);
        if (level > leadingLevelValue(stored.MaxText)) {
            stored.MaxText = text;
            stored.MaxTime = time;
        }
        extended = true;
    }
    if (extended && stored.Count > 0) {
        const double leq = Energy::leq(stored.Energy, double(stored.Count));
        stored.LeqText = FormatTenths(leq);
        stored.SelText = FormatTenths(Energy::sel(leq, double(stored.Count)));
    }
    RealTimeHeader header;
    header.SampleInterval = stored.SampleInterval;
    header.FreqWeighting = stored.FreqWeighting;
    header.TimeWeighting = stored.TimeWeighting;
    header.LevelRange = stored.LevelRange;
    header.MaxLevel = stored.MaxText;
    header.MaxTime = stored.MaxTime;
    header.Sel = stored.SelText;
    header.Leq = stored.LeqText;
    return header;
}

QDateTime startOf(const RecordingCompanion &stored, const TempRecords &records,
                  const QString &tempPath)
{
    if (stored.Started.isValid())
        return stored.Started;
    if (!records.Lines.isEmpty()) {
        const QList<QByteArray> fields = records.Lines.first().split('\t');
        const QDateTime first = QDateTime::fromString(QString::fromLatin1(fields.value(1)),
                                                      QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        if (first.isValid())
            return first;
    }
    return QFileInfo(tempPath).lastModified();
}

// A name in the folder that does not exist yet.
QString freeRecoveredPath(const QDir &dir, const QDateTime &started)
{
    const QString name = RecoveredFileName(started);
    QString path = dir.filePath(name);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(name.chopped(5) + QStringLiteral(" (%1).vorn").arg(n));
    return path;
}

// The stored target while it does not exist, else a recovered name beside it.
QString destinationOf(const RecordingCompanion &stored, const QString &folder,
                      const QDateTime &started)
{
    if (!stored.TargetPath.isEmpty() && !QFileInfo::exists(stored.TargetPath))
        return stored.TargetPath;
    return freeRecoveredPath(
        QDir(stored.TargetPath.isEmpty() ? folder : QFileInfo(stored.TargetPath).absolutePath()),
        started);
}

bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    AtomicFile out(path);
    if (out.open() && out.write(bytes) && out.commit())
        return true;
    *error = out.errorString();
    return false;
}

QString tornNote(qint64 torn)
{
    if (torn == 0)
        return {};
    if (torn == 1)
        return QStringLiteral("\n1 incomplete line was left out.");
    return QStringLiteral("\n%1 incomplete lines were left out.").arg(torn);
}

} // namespace

QString RecoveredFileName(const QDateTime &started)
{
    return QStringLiteral("Recovered ") + started.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"))
        + QStringLiteral(".vorn");
}

RecoveryOutcome RecoverUnfinishedRecording(const QString &folder)
{
    RecordingTempFile lock;
    if (!QFileInfo::exists(
            QDir(folder).filePath(QString::fromLatin1(RecordingCompanion::FileName))))
        return {};
    switch (lock.lock(folder)) {
    case RecordingTempFile::LockResult::Locked:
        break;
    case RecordingTempFile::LockResult::Busy: {
        RecoveryOutcome busy;
        busy.Busy = true;
        return busy;
    }
    case RecordingTempFile::LockResult::Failed:
        // No copy can be recording where no lock can be made: go ahead.
        break;
    }
    return RecoverUnfinishedRecordingLocked(folder);
}

RecoveryOutcome RecoverUnfinishedRecordingLocked(const QString &folder)
{
    const QDir dir(folder);
    const QString companionPath = dir.filePath(QString::fromLatin1(RecordingCompanion::FileName));
    const QString tempPath = dir.filePath(QString::fromLatin1(RecordingTempFile::FileName));
    RecoveryOutcome outcome;
    QFile companionFile(companionPath);
    if (!companionFile.exists())
        return outcome;
    outcome.Found = true;

    QFile temp(tempPath);
    if (!temp.exists()) {
        // A companion without records holds nothing worth a file.
        QFile::remove(companionPath);
        syncFolderToDisk(dir.absolutePath());
        outcome.Ok = true;
        outcome.Message = QStringLiteral("An unfinished recording was found, but its file \"%1\" "
                                         "is gone; there was nothing to save.")
                              .arg(native(tempPath));
        return outcome;
    }
    RecordingCompanion stored;
    if (companionFile.open(QIODevice::ReadOnly)) {
        if (const auto parsed = RecordingCompanion::fromBytes(companionFile.readAll()))
            stored = *parsed;
        else
            stored.HasSums = false;
        companionFile.close();
    } else {
        stored.HasSums = false;
    }
    if (!temp.open(QIODevice::ReadOnly)) {
        outcome.Message = QStringLiteral("An unfinished recording was found in \"%1\", but it "
                                         "could not be read: %2.\nIt is kept with \"%3\".")
                              .arg(native(tempPath), temp.errorString(), native(companionPath));
        return outcome;
    }
    const TempRecords records = splitTempFile(temp.readAll());
    temp.close();

    const RealTimeHeader header = headerOf(stored, records);
    const QDateTime started = startOf(stored, records, tempPath);
    outcome.Path = destinationOf(stored, dir.absolutePath(), started);
    outcome.Records = records.Lines.size();
    outcome.TornLines = records.Torn;

    QByteArray bytes;
    for (const QString &line : header.lines())
        bytes += FileLine(line);
    bytes += records.ColumnHeader + "\r\n";
    for (const QByteArray &line : records.Lines)
        bytes += line + "\r\n";
    QString error;
    bool written = writeWhole(outcome.Path, bytes, &error);
    if (!written && QFileInfo(outcome.Path).absolutePath() != dir.absolutePath()) {
        // The target's folder may be gone (a pulled stick) or read-only; the
        // folder being recorded in is the one place the user can always reach.
        const QString fallback = freeRecoveredPath(dir, started);
        QString fallbackError;
        if (writeWhole(fallback, bytes, &fallbackError)) {
            outcome.Path = fallback;
            written = true;
        }
    }
    if (!written) {
        outcome.Message
            = QStringLiteral("An unfinished recording was found in \"%1\", but it could not be "
                             "saved to \"%2\": %3.\nIts records stay in \"%1\" and \"%4\"; "
                             "saving them is tried again at the next start.")
                  .arg(native(tempPath), native(outcome.Path), error, native(companionPath));
        return outcome;
    }
    const bool removed = QFile::remove(companionPath);
    syncFolderToDisk(dir.absolutePath());
    outcome.Ok = true;
    outcome.Message = QStringLiteral("An unfinished recording was found in \"%1\" and saved to "
                                     "\"%2\" with %3 records.")
                          .arg(native(tempPath), native(outcome.Path))
                          .arg(outcome.Records)
        + tornNote(outcome.TornLines);
    if (!removed)
        outcome.Message += QStringLiteral("\n\"%1\" could not be removed; remove it, or this "
                                          "recording is saved again at the next start.")
                               .arg(native(companionPath));
    return outcome;
}
