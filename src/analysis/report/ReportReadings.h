#pragma once

#include "analysis/batch/FileStatistics.h"
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
    const qsizetype n = file.levels.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QStringView time
            = i < file.times.size() ? QStringView(file.times.at(i)) : QStringView();
        if (!visit(qint64(i), time, QStringView(file.levels.at(i))))
            return false;
    }
    return true;
}

inline QString timeText(const DataFileContents &file, qint64 index)
{
    return index >= 0 && index < file.times.size() ? file.times.at(qsizetype(index)) : QString();
}

// The sampling interval the statistics use: the header's, else the usual
// step of the time stamps, else one second.
inline double samplingInterval(const DataFileContents &file)
{
    if (file.samplingInterval > 0)
        return file.samplingInterval;
    return intervalFromTimeStamps(file.times).value_or(1.0);
}

} // namespace ReportReadings
