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
};

struct ParsedOptions
{
    std::optional<BatchOptions> options;
    QString error; // set when options is empty
};

ParsedOptions parseBatchOptions(const QStringList &arguments);

QString batchUsage();
