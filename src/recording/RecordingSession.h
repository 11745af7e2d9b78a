#pragma once

#include "DataFileWriter.h"
#include "RecordingCompanion.h"

#include <QString>

struct MeasurementState;

// Captions of the panel's boards that go into a file header: frequency
// weighting (BoardCA), time weighting (BoardSFI) and level range (BoardLevel).
struct HeaderBoards
{
    QString FreqWeighting;
    QString TimeWeighting;
    QString LevelRange;
};

struct SessionOutcome
{
    bool ok = true;
    QString path; // the file written or the file that failed
    QString message; // names the file and the reason when !ok
    QString notice; // for the user even when ok: an earlier recording was recovered
};

enum class StopKind { Manual, Automatic };

// Starts recording into the temporary file in the given folder; the data
// file targetPath is written at the stop. A recording that cannot create its
// temporary file does not start, nor does one in a folder where another copy
// of the program records. An unfinished recording left in the folder is
// finished into its data file first (the notice says where); when that
// fails the new recording does not start, so the old records are kept.
SessionOutcome StartRecording(MeasurementState &state, const QString &targetPath,
                              const QString &folder, const HeaderBoards &boards = {});

// The message refusing a recording target that is one of the recording's own
// working files in its folder ("Fake", "Fake.state", "Fake.lock"), which the
// recording would overwrite and then delete; empty when the target is fine.
QString RecordingTargetRefusal(const QString &targetPath, const QString &folder);

// The message that refuses a recording in a folder where another running
// copy of the program records; empty when a recording may start there.

QString RecordingFolderRefusal(const MeasurementState &state, const QString &folder);

// Finishes the running recording into its data file once every queued
// record is on the disk. When that file cannot be written the temporary file
// and its companion stay and the message says where they are.
SessionOutcome StopRecording(MeasurementState &state, const HeaderBoards &boards, StopKind kind,
                             const CountProgress &progress);

// The running recording's header state, for its companion file.
RecordingCompanion RecordingCompanionOf(const MeasurementState &state, const HeaderBoards &boards);

// Writes the list with the live values as a "Real Time" file.
SessionOutcome SaveList(const MeasurementState &state, const QString &targetPath,
                        const HeaderBoards &boards, const CaptionProgress &progress);

// Refresh: empties the live statistics, the list, the class tables and the
// history index; the recording and the Leq/SEL extremes are kept.
void ResetLiveData(MeasurementState &state);

// After the meter fell silent: the live statistics, the recording sums, the
// class tables and the history index start again. The list's rows stay until
// the lost link's list step empties it. A running recording must have been
// stopped first.
void ResetAfterLinkLoss(MeasurementState &state);
