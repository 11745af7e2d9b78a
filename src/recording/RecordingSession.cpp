#include "RecordingSession.h"

#include "MeasurementState.h"

#include <QDir>
#include <QFileInfo>

namespace {

void clearRecordingSums(MeasurementState &state)
{
    state.RecordingCount = 0;
    state.RecordingEnergy = 0.0;
}

} // namespace

SessionOutcome StartRecording(MeasurementState &state, const QString &targetPath,
                              const QString &folder)
{
    if (!state.TempFile.create(folder)) {
        const QString path
            = QDir(folder).absoluteFilePath(QString::fromLatin1(RecordingTempFile::FileName));
        return { false, path,
                 QStringLiteral("The recording file \"%1\" could not be created: %2.\n"
                                "The recording has not started.")
                     .arg(QDir::toNativeSeparators(path), state.TempFile.errorString()) };
    }
    // A file's header describes its own recording only.
    clearRecordingSums(state);
    state.RecordingMaxText = HeaderNumber(0);
    state.RecordingMaxTime.clear();
    state.RecordingLeqText.clear();
    state.RecordingSelText.clear();
    state.RecordCount = 0;
    state.RecordingTargetPath = targetPath;
    state.RecordingFileName = QFileInfo(targetPath).fileName();
    state.Recording = true;
    return { true, targetPath, {} };
}

SessionOutcome StopRecording(MeasurementState &state, const HeaderBoards &boards, StopKind kind,
                             const CountProgress &progress)
{
    if (!state.Recording)
        return { true, {}, {} };
    state.Recording = false;
    if (kind == StopKind::Manual)
        clearRecordingSums(state);
    state.RecordCount = 0;
    state.RecordingFileName.clear();
    const QString tempPath = state.TempFile.path();
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
    if (!written.ok)
        return { false, written.path,
                 written.message
                     + QStringLiteral("\nThe recorded samples are kept in \"%1\" until the next "
                                      "recording starts.")
                           .arg(QDir::toNativeSeparators(tempPath)) };
    return { true, written.path, {} };
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
    return { written.ok, written.path, written.message };
}

namespace {

void clearLiveStatistics(MeasurementState &state)
{
    state.MaxLevel = 0.0;
    state.LiveEnergy = 0.0;
    state.LiveCount = 0;
    state.DamagedLevels = 0;
    state.ListCount = 0;
    state.List.clear();
    state.Classes.clearCounts();
    state.History.LiveLogIndex = 0;
}

} // namespace

void ResetLiveData(MeasurementState &state)
{
    clearLiveStatistics(state);
    state.Classes.resetBounds(ClassTables::RefreshMin1dB, ClassTables::RefreshMin01dB);
}

void ResetAfterLinkLoss(MeasurementState &state)
{
    if (state.Recording) {
        state.TempFile.close();
        state.Recording = false;
    }
    clearLiveStatistics(state);
    state.MaxLevelTime.clear();
    state.RecordCount = 0;
    clearRecordingSums(state);
}
