#pragma once

#include "FileStatistics.h"
#include "IntervalLevels.h"

#include <QString>

#include <optional>
#include <vector>

// What the command-line analysis reports of one file.
struct FileReport
{
    QString name; // as given on the command line, "-" for standard input
    FileStatistics statistics;
    qint64 untimedReadings = 0;
    std::optional<int64_t> intervalLength; // seconds, when intervals were asked for
    std::vector<IntervalLevel> intervals;
    bool withDayEveningNight = false;
    std::vector<DayEveningNight> days;
};

struct BatchRequest
{
    ResolutionMode mode = ResolutionMode::Tenth;
    std::optional<int64_t> intervalLength;
    bool dayEveningNight = false;
};

FileReport analyseFile(const QString &name, const DataFileContents &file,
                       const BatchRequest &request);

enum class OutputFormat { Text, Csv, Json };

// The whole output for the files, in the chosen format. CSV holds one table
// with one header row: intervals when asked for, else day-evening-night
// levels when asked for, else one summary row per file.
QString formatReports(const std::vector<FileReport> &reports, OutputFormat format);
