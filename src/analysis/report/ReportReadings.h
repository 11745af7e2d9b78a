#pragma once

#include "analysis/batch/CivilTime.h"
#include "analysis/batch/FileStatistics.h"
#include "analysis/batch/IntervalLevels.h"
#include "recording/DataFileReader.h"

#include <QStringView>

// The one place where the report reaches into the reader's storage of the
// readings, so that a change of that storage is mended here only.
namespace ReportReadings {

inline qint64 count(const DataFileContents &file)
{
    return file.recordCount();
}

// Calls visit(index, time text, level text) for each reading in file order;
// a visit that returns false stops the walk (and makes this return false).
template<typename Visit> bool forEach(const DataFileContents &file, Visit &&visit)
{
    const qsizetype n = file.rows.count();
    for (qsizetype i = 0; i < n; ++i) {
        const QString time = file.time(i);
        const QString level = file.level(i);
        if (!visit(qint64(i), QStringView(time), QStringView(level)))
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
    for (qsizetype i = 0; i < file.rows.count(); ++i)
        if (const std::optional<int64_t> time = CivilTime::parseStamp(file.time(i)))
            steps.add(*time);
    return steps.median().value_or(1.0);
}

} // namespace ReportReadings
