#pragma once

#include "analysis/engine/FileAnalysis.h"
#include "analysis/output/FigureTexts.h"
#include "analysis/records/Csv.h"

enum class OutputFormat { Text, Csv, Json };

// One row of the interval table in CSV, as `--intervals --csv` writes it
// (times ISO 8601 with their UTC offset, figures with two decimals).
QString intervalCsvHeader();
// ",limit,state" after the header; the limit and "over", "ok" or nothing
// after a row's fields, as the station writes them.
QString limitCsvHeader();
QStringList limitCsvFields(const IntervalLevel &interval);
// The keys and values of one interval row in --json, without the braces.
QString intervalJsonFields(const IntervalLevel &interval);
QStringList intervalCsvFields(const QString &file, const IntervalLevel &interval);

// The whole output for the files, in the chosen format. CSV holds one table
// with one header row: intervals when asked for, else day-evening-night
// levels when asked for, else one summary row per file.
QString formatReports(const std::vector<FileFigures> &reports, OutputFormat format);
