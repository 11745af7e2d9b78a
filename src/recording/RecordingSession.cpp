#include "RecordingSession.h"

#include "MeasurementState.h"
#include "RecordingCompanion.h"
#include "RecordingRecovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

SessionOutcome failure(const QString &path, const QString &message)
{
    SessionOutcome outcome;
    outcome.ok = false;
    outcome.path = path;
    outcome.message = message;
    return outcome;
}

SessionOutcome success(const QString &path, const QString &notice = {})
{
    SessionOutcome outcome;
    outcome.path = path;
    outcome.notice = notice;
    return outcome;
}

QString busyFolderMessage(const QString &folder)
{
    return QStringLiteral("Another copy of the program is recording in the folder \"%1\". "
                          "Only one recording can run in a folder at a time.\n"
                          "The recording has not started.")
        .arg(QDir::toNativeSeparators(QDir(folder).absolutePath()));
}

void clearRecordingSums(MeasurementState &state)
{
    state.RecordingCount = 0;
    state.RecordingEnergy = 0.0;
}

} // namespace

SessionOutcome StartRecording(MeasurementState &state, const QString &targetPath,
                              const QString &folder, const HeaderBoards &boards)
{
    const QString path
        = QDir(folder).absoluteFilePath(QString::fromLatin1(RecordingTempFile::FileName));
    const QString notStarted = QStringLiteral("\nThe recording has not started.");
    if (const QString refusal = RecordingTargetRefusal(targetPath, folder); !refusal.isEmpty())
        return failure(targetPath, refusal + notStarted);
    if (state.TempFile.isOpen())
        return failure(path,
                       QStringLiteral("The last recording is still being finished.") + notStarted);
    switch (state.TempFile.lock(folder)) {
    case RecordingTempFile::LockResult::Locked:
        break;
    case RecordingTempFile::LockResult::Busy:
        return failure(folder, busyFolderMessage(folder));
    case RecordingTempFile::LockResult::Failed:
        return failure(
            path,
            QStringLiteral("The recording file \"%1\" could not be created: no lock can be "
                           "made in its folder.")
                    .arg(QDir::toNativeSeparators(path))
                + notStarted);
    }
    // "Fake" is about to be made anew: records it still holds go to their file first.
    const RecoveryOutcome recovered = RecoverUnfinishedRecordingLocked(folder);
    if (recovered.Found && !recovered.Ok) {
        state.TempFile.abandon();
        return failure(recovered.Path, recovered.Message + notStarted);
    }
    // The records just recovered went to the file this recording would
    // replace when it stops: they must not be lost that way.
    if (recovered.Found
        && QFileInfo(recovered.Path).absoluteFilePath()
            == QFileInfo(targetPath).absoluteFilePath()) {
        state.TempFile.abandon();
        return failure(targetPath,
                       recovered.Message
                           + QStringLiteral("\nChoose another name for the new recording.")
                           + notStarted);
    }

    // A file's header describes its own recording only.
    clearRecordingSums(state);
    state.RecordingMaxText = HeaderNumber(0);
    state.RecordingMaxTime.clear();
    state.RecordingLeqText.clear();
    state.RecordingSelText.clear();
    state.RecordCount = 0;
    state.RecordingTargetPath = targetPath;
    state.DetailsAtStart = fileIdentityOf(DetailsPathOf(targetPath));
    state.RecordingStarted = QDateTime::currentDateTime();
    if (!state.TempFile.create(folder, RecordingCompanionOf(state, boards))) {
        const QString reason = state.TempFile.errorString();
        state.TempFile.abandon();
        return failure(path,
                       QStringLiteral("The recording file \"%1\" could not be created: %2.")
                               .arg(QDir::toNativeSeparators(path), reason)
                           + notStarted);
    }
    state.RecordingFileName = QFileInfo(targetPath).fileName();
    state.Recording = true;
    return success(targetPath, recovered.Found ? recovered.Message : QString());
}

QString RecordingTargetRefusal(const QString &targetPath, const QString &folder)
{
    const QFileInfo target(targetPath);
    const QString targetFolder = target.absoluteDir().canonicalPath();
    if (targetFolder.isEmpty() || targetFolder != QDir(folder).canonicalPath())
        return {};
    for (const char *own : { RecordingTempFile::FileName, RecordingCompanion::FileName,
                             RecordingTempFile::LockName }) {
        // Windows and macOS folders ignore case: "fake" is "Fake" there.
        if (target.fileName().compare(QLatin1String(own), Qt::CaseInsensitive) == 0)
            return QStringLiteral("\"%1\" is a file the recording itself writes while it runs; "
                                  "choose another name.")
                .arg(QDir::toNativeSeparators(target.absoluteFilePath()));
    }
    return {};
}

QString RecordingFolderRefusal(const MeasurementState &state, const QString &folder)
{
    if (state.TempFile.holdsLock())
        return {};
    RecordingTempFile probe;
    return probe.lock(folder) == RecordingTempFile::LockResult::Busy ? busyFolderMessage(folder)
                                                                     : QString();
}

SessionOutcome StopRecording(MeasurementState &state, const HeaderBoards &boards, StopKind kind,
                             const CountProgress &progress)
{
    if (!state.Recording)
        return success({});
    state.Recording = false;
    if (kind == StopKind::Manual)
        clearRecordingSums(state);
    state.RecordCount = 0;
    state.RecordingFileName.clear();
    const QString tempPath = state.TempFile.path();
    // Every record taken goes into the data file: the writer's queue first.
    state.TempFile.drain();
    state.TempFile.close();

    RealTimeHeader header;
    header.SampleInterval = state.SampleInterval;
    header.FreqWeighting = boards.FreqWeighting;
    header.TimeWeighting = boards.TimeWeighting;
    header.LevelRange = boards.LevelRange;
    header.MaxLevel = state.RecordingMaxText;
    header.MaxTime = state.RecordingMaxTime;
    header.Sel = state.RecordingSelText;
    header.Leq = state.RecordingLeqText;
    const WriteOutcome written
        = WriteRealTimeFileFromTemp(state.RecordingTargetPath, header, tempPath, progress);
    if (!written.ok) {
        state.TempFile.abandon();
        return failure(
            written.path,
            written.message
                + QStringLiteral("\nThe recorded samples are kept in \"%1\"; they are saved "
                                 "to a data file when the program starts again or the next "
                                 "recording starts.")
                      .arg(QDir::toNativeSeparators(tempPath)));
    }
    state.TempFile.finish();
    if (state.DetailsAtStart
        && fileIdentityOf(DetailsPathOf(state.RecordingTargetPath)) == state.DetailsAtStart)
        QFile::remove(DetailsPathOf(state.RecordingTargetPath));
    state.DetailsAtStart.reset();
    return success(written.path);
}

RecordingCompanion RecordingCompanionOf(const MeasurementState &state, const HeaderBoards &boards)
{
    RecordingCompanion c;
    // Recovery may run from another folder; the save dialog gives absolute paths already.
    c.TargetPath
        = state.RecordingTargetPath.isEmpty() || QDir::isAbsolutePath(state.RecordingTargetPath)
        ? state.RecordingTargetPath
        : QFileInfo(state.RecordingTargetPath).absoluteFilePath();
    c.Started = state.RecordingStarted;
    c.SampleInterval = state.SampleInterval;
    c.FreqWeighting = boards.FreqWeighting;
    c.TimeWeighting = boards.TimeWeighting;
    c.LevelRange = boards.LevelRange;
    c.Records = state.RecordCount;
    c.Count = state.RecordingCount;
    c.Energy = state.RecordingEnergy;
    c.MaxText = state.RecordingMaxText;
    c.MaxTime = state.RecordingMaxTime;
    c.SelText = state.RecordingSelText;
    c.LeqText = state.RecordingLeqText;
    return c;
}

SessionOutcome SaveList(const MeasurementState &state, const QString &targetPath,
                        const HeaderBoards &boards, const CaptionProgress &progress)
{
    RealTimeHeader header;
    header.SampleInterval = state.SampleInterval;
    header.FreqWeighting = boards.FreqWeighting;
    header.TimeWeighting = boards.TimeWeighting;
    header.LevelRange = boards.LevelRange;
    header.MaxLevel = HeaderNumber(state.MaxLevel);
    header.MaxTime = state.MaxLevelTime;
    header.Sel = state.LiveSelText;
    header.Leq = state.LiveLeqText;
    const WriteOutcome written = WriteRealTimeListFile(targetPath, header, state.List, progress);
    return written.ok ? success(written.path) : failure(written.path, written.message);
}

namespace {

void clearLiveStatistics(MeasurementState &state)
{
    state.MaxLevel = 0.0;
    state.LiveEnergy = 0.0;
    state.LiveCount = 0;
    state.DamagedLevels = 0;
    state.ListCount = 0;
    state.Classes.clearCounts();
    state.History.LiveLogIndex = 0;
}

} // namespace

void ResetLiveData(MeasurementState &state)
{
    clearLiveStatistics(state);
    state.List.clear();
    state.Classes.resetBounds(ClassTables::RefreshMin1dB, ClassTables::RefreshMin01dB);
}

void ResetAfterLinkLoss(MeasurementState &state)
{
    if (state.Recording) {
        // No data file is written here: the file and its companion stay to be recovered.
        state.TempFile.abandon();
        state.Recording = false;
    }
    clearLiveStatistics(state);
    state.MaxLevelTime.clear();
    state.RecordCount = 0;
    clearRecordingSums(state);
}
