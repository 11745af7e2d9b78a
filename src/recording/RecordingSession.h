#pragma once

#include "DataFileWriter.h"

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
};

enum class StopKind { Manual, Automatic };

// Starts recording into the temporary file in the given folder; the data
// file targetPath is written at the stop. A recording that cannot create its
// temporary file does not start.
SessionOutcome StartRecording(MeasurementState &state, const QString &targetPath,
                              const QString &folder);

// Finishes the running recording into its data file. When that file cannot
// be written the temporary file stays and the message says where it is.
SessionOutcome StopRecording(MeasurementState &state, const HeaderBoards &boards, StopKind kind,
                             const CountProgress &progress);

// Writes the list with the live values as a "Real Time" file.
SessionOutcome SaveList(const MeasurementState &state, const QString &targetPath,
                        const HeaderBoards &boards, const CaptionProgress &progress);

// Refresh: empties the live statistics, the list, the class tables and the
// history index; the recording and the Leq/SEL extremes are kept.
void ResetLiveData(MeasurementState &state);

// After the meter fell silent: the live statistics, the recording sums, the
// list, the class tables and the history index start again. A running
// recording must have been stopped first.
void ResetAfterLinkLoss(MeasurementState &state);
