#pragma once

#include "ClassTables.h"
#include "LiveLog.h"
#include "RecordingTempFile.h"
#include "platform/DiskSync.h"
#include "platform/ReadingListModel.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// Everything the live panel measures during the run: live statistics, the
// running recording, the sampled list, the class tables and the history.
// Owned by the panel for the whole run; the sampling tick and the recording
// operations are its only writers.
struct MeasurementState
{
    // Rows of the list at which it is dumped to a file and emptied.
    static constexpr int64_t ListLimit = 348000;
    // Records after which a recording finishes by itself.
    static constexpr int64_t RecordLimit = 348000;

    MeasurementState();
    MeasurementState(const MeasurementState &) = delete;
    MeasurementState &operator=(const MeasurementState &) = delete;

    // A new sampling interval; the first sample then follows interval + 1 ticks later.
    void changeSampleInterval(int seconds);

    int SampleInterval = 1;
    int TickCount = 0;

    int64_t LiveCount = 0;
    double LiveEnergy = 0.0;
    // Ticks whose level came from a damaged frame (above any range).
    int64_t DamagedLevels = 0;
    double LiveLeq = 0.0;
    QString LiveLeqText;
    double LiveSel = 0.0;
    QString LiveSelText;
    double MaxLevel = 0.0;
    QString MaxLevelTime;

    bool Recording = false;
    int64_t RecordCount = 0;
    int64_t RecordingCount = 0;
    double RecordingEnergy = 0.0;
    QString RecordingLeqText;
    QString RecordingSelText;
    QString RecordingMaxText;
    QString RecordingMaxTime;
    // Name of the file being recorded, without its folder.
    QString RecordingFileName;
    // The data file the running recording is finished into; kept apart from
    // the shared save state so another window's save cannot redirect it.
    QString RecordingTargetPath;
    // The details file beside the target when the recording started: the
    // replaced file's, gone once the new file is in place. Details written
    // for this recording after its start are another file and stay.
    std::optional<FileIdentity> DetailsAtStart;
    QDateTime RecordingStarted;

    QString SampleTime;
    int64_t ListCount = 0;

    ClassTables Classes;
    double LiveLeqMin = 145.0;
    double LiveLeqMax = 0.0;
    double LiveSelMin = 145.0;
    double LiveSelMax = 0.0;

    LiveLog History;
    ReadingListModel List;
    RecordingTempFile TempFile;
    // The last failure of the list dump, so a lasting fault is reported once.
    QString LastDumpError;
};
