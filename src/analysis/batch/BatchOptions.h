#pragma once

#include "BatchReport.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command line of vorn-stats.
struct BatchOptions
{
    BatchRequest request;
    OutputFormat format = OutputFormat::Text;
    QStringList files; // "-" is standard input
    // The PDF report, when one is asked for, and the lines it names.
    QString pdfPath;
    QString company;
    QString sector;
    QString name;
    // False when only the PDF was asked for: nothing goes to standard output.
    bool standardOutput = true;
    bool help = false;
    bool version = false;
    // The files as one series ordered by time.
    bool join = false;
    // Threads reading files at once; 0: as many as the machine has cores.
    int jobs = 0;
};

struct ParsedOptions
{
    std::optional<BatchOptions> options;
    QString error; // set when options is empty
};

ParsedOptions parseBatchOptions(const QStringList &arguments);

QString batchUsage();

// "2026-03-12 23:00" or "2026-03-12T23:00" as civil seconds.
std::optional<int64_t> parseLocalMinute(const QString &text);
