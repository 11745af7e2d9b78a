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
    bool help = false;
};

struct ParsedOptions
{
    std::optional<BatchOptions> options;
    QString error; // set when options is empty
};

ParsedOptions parseBatchOptions(const QStringList &arguments);

QString batchUsage();
