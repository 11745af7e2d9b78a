#pragma once

#include "DataFileWriter.h"
#include "RecordingSession.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

struct MeasurementState;

// What one tick reads: the current level and its display text, the time
// (passed in so tests control it), the board captions for a file header and
// the folder of the temporary and dump files.
struct SampleInput
{
    double Level = 0.0;
    QString LevelText;
    QDateTime Now;
    HeaderBoards Boards;
    QString Folder;
    CaptionProgress DumpProgress;
    // Called with true before the full list is written to its dump file and
    // with false after, however the write ends (the window shows the busy
    // pointer meanwhile).
    std::function<void(bool busy)> DumpBusy;
    CountProgress StopProgress;
};

// The recording labels after a sample: record counter, "Rec" indicator and
// the name of the file being recorded (all empty when not recording).
struct RecordingLabels
{
    QString Count;
    QString Rec;
    QString FileName;
};

// The next point of each strip chart.
struct ChartPoint
{
    double Level = 0.0;
    double Leq = 0.0;
    double Sel = 0.0;
};

// What the panel must show after a tick; the tick itself touches no window.
struct SampleTickResult
{
    QString LeqText;
    QString SelText;
    bool MaxChanged = false;
    QString MaxText;
    QString MaxTime;

    bool Sampled = false;
    RecordingLabels Labels;
    bool ListAppended = false;
    bool ListDumped = false;
    QString DumpPath;
    ChartPoint Chart;
    bool ClassTablesChanged = false;
    bool ShowWholeDbHistogram = false;

    bool AutoStopped = false;
    QString AutoStopPath;
    QStringList Errors;
};

// The once-a-second tick: live statistics, maximum, recording statistics and,
// every SampleInterval ticks, one sample into the recording, the list, the
// charts, the class tables and the history.
SampleTickResult OnSampleTick(MeasurementState &state, const SampleInput &input);
