#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// What a running recording needs besides its records to be finished into a
// data file: where it goes, the header boards and interval, and the running
// sums of the one-second ticks (they include ticks that took no sample, so
// the records alone cannot give them). Kept beside the temporary file, so a
// recording cut short by a crash or a power cut can still be finished.
struct RecordingCompanion
{
    static constexpr char FileName[] = "Fake.state";

    QString TargetPath;
    QDateTime Started;
    int SampleInterval = 1;
    QString FreqWeighting;
    QString TimeWeighting;
    QString LevelRange;

    // Records in the temporary file that these sums already include.
    int64_t Records = 0;
    int64_t Count = 0;
    double Energy = 0.0;
    QString MaxText;
    QString MaxTime;
    QString SelText;
    QString LeqText;

    // False when read from a companion that lacks count and energy.
    bool HasSums = true;

    bool operator==(const RecordingCompanion &) const = default;

    QByteArray toBytes() const;
    // Empty when the bytes are not a companion at all; fields it lacks keep
    // their defaults (an empty text, HasSums false).
    static std::optional<RecordingCompanion> fromBytes(const QByteArray &bytes);
};
