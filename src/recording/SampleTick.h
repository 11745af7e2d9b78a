#pragma once

#include "DataFileWriter.h"
#include "RecordingSession.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

struct MeasurementState;

// A tick samples only a level the meter just sent: the newest frame may be
// at most this old. frameAgeMs < 0 means no frame since the link came up.
constexpr qint64 FreshReadingMs = 1500;
bool ReadingIsFresh(qint64 frameAgeMs);

// No range reaches this; only a damaged frame carries a level above it. Such
// a level enters no energy sum (it would make Leq and SEL infinite) and no
// maximum; its text still goes to the list and the file as received.
constexpr double HighestPlausibleLevel = 200.0;
bool LevelEntersEnergySums(double level);

// What one tick reads: the current level and its display text, the time
// (passed in so tests control it), the board captions for a file header and
// the folder of the temporary and dump files.
struct SampleInput
{
    double Level = 0.0;
    QString LevelText;
    QDateTime Now;
    qint64 FrameAgeMs = 0; // how old the reading is
    HeaderBoards Boards;
    QString Folder;
    CaptionProgress DumpProgress;
    // Called with true before the full list is written to its dump file and
    // with false after, however the write ends (the window shows the busy
    // pointer meanwhile).
    std::function<void(bool busy)> DumpBusy;
    CountProgress StopProgress;
    // An unattended station keeps no reading list (nor its dump files) and
    // no in-memory history: those are a window's.
    bool KeepsListAndHistory = true;
};

// The input of one tick from a reading: what the panel and the station fill
// alike (the panel adds its progress and busy callbacks).
SampleInput SampleInputOf(double level, const QString &levelText, const QDateTime &now,
                          qint64 frameAgeMs, const HeaderBoards &boards, const QString &folder);

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
    // The reading was stale: the tick changed nothing.
    bool Stale = false;
    // The level was a damaged one, kept out of the sums and maxima.
    bool DamagedLevel = false;
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
