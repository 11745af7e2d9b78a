#pragma once

#include "analysis/stats/StatsOptions.h"

#include <QStringList>

#include <functional>
#include <optional>

class QTemporaryDir;

// What vorn-stats and vorn-stats-report do alike before and around a run.

// Sets the standard streams to bytes and reads the command line into
// `arguments` and `options`; --help, --version and a usage error are said
// here and give the exit status.
std::optional<int> readStatsCommandLine(int argc, char *argv[], QStringList &arguments,
                                        StatsOptions &options);

// With --hub: the station's readings laid out as day files in `days`, which
// become the run's files. The exit status when that fails.
std::optional<int> takeHubDays(StatsOptions &options, const QTemporaryDir &days);
// The names the outputs give the hub's days: where they come from, not the
// folder they were laid out in.
std::function<void(QString &)> hubDayNames(const StatsOptions &options, const QTemporaryDir &days);
