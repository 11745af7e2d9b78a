#pragma once

#include <QDateTime>
#include <QString>

// A recording that did not end (the program was killed, the power failed, or
// its stop could not write the data file) leaves "Fake" with its companion.
// Recovery finishes it into a "Real Time" data file: to the recording's
// target when that does not exist yet, otherwise to
// "Recovered YYYY-MM-DD HH-MM-SS.vorn" (the recording's start) beside the
// target. Nothing is overwritten, an incomplete last line is left out, and
// the companion goes only once the data file is on the disk, so a recording
// is recovered once. When the file cannot be written both files stay.
struct RecoveryOutcome
{
    bool Found = false; // an unfinished recording was in the folder
    bool Busy = false; // another running copy of the program records there: left alone
    bool Ok = false; // the data file was written
    QString Path; // the data file written, or the one that could not be
    qint64 Records = 0;
    qint64 TornLines = 0;
    QString Message; // for the user whenever Found
};

RecoveryOutcome RecoverUnfinishedRecording(const QString &folder);
// The same, for a caller that already holds the folder's recording lock.
RecoveryOutcome RecoverUnfinishedRecordingLocked(const QString &folder);

QString RecoveredFileName(const QDateTime &started);
