#pragma once

#include "analysis/engine/FileStatistics.h"
#include "analysis/engine/IntervalLevels.h"
#include "analysis/records/CivilTime.h"
#include "recording/DataFileReader.h"

#include <QStringView>

// The one place where the report reaches into the reader's storage of the
// readings, so that a change of that storage is mended here only.
namespace ReportReadings {

inline qint64 count(const DataFileContents &file)
{
    return file.recordCount();
}

// Calls visit(index, civil time when the stamp reads, level text) for each
// reading in file order; a visit that returns false stops the walk (and
// makes this return false). A stamp stored as a value is not made into text
// and read back, which is most of a long file's cost.
template<typename Visit> bool forEachTimed(const DataFileContents &file, Visit &&visit)
{
    const qsizetype n = file.rows.count();
    for (qsizetype i = 0; i < n; ++i) {
        const std::optional<int64_t> stored = file.rows.storedStamp(i);
        const std::optional<int64_t> time = stored ? stored : CivilTime::parseStamp(file.time(i));
        const QString level = file.level(i);
        if (!visit(qint64(i), time, QStringView(level)))
            return false;
    }
    return true;
}

inline QString timeText(const DataFileContents &file, qint64 index)
{
    return index >= 0 && index < file.rows.count() ? file.time(qsizetype(index)) : QString();
}

// The sampling interval the statistics use: the header's, else the usual
// step of the time stamps, else one second.
inline double samplingInterval(const DataFileContents &file)
{
    if (file.samplingInterval > 0)
        return file.samplingInterval;
    StepMedian steps;
    forEachTimed(file, [&steps](qint64, std::optional<int64_t> time, QStringView) {
        if (time)
            steps.add(*time);
        return true;
    });
    return steps.median().value_or(1.0);
}

} // namespace ReportReadings
