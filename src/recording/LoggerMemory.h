#pragma once

#include "LoggerDataSet.h"

#include <cstdint>
#include <vector>

// What the last logger download left behind. The live panel's run owns one
// of these (loggerMemory()); the memory window and the data list read it.
struct LoggerMemory
{
    // Set n (1..255) is LoggerSets[n - 1].
    std::vector<LoggerDataSet> LoggerSets;
    // The end position the meter reported to "A"; 48 means empty.
    uint32_t LoggerEnd = 0;
    // True while the logger memory window is up (or a download is starting
    // it): the Memory button does nothing then.
    bool MemoryWindowOpen = false;
    // The sampling interval, in seconds, of the set shown in the data list.
    int LoggerSampleInterval = 0;

    // Set n counted from 1, or nullptr when there is no such set.
    const LoggerDataSet *set(int n) const
    {
        return n >= 1 && n <= int(LoggerSets.size()) ? &LoggerSets[size_t(n - 1)] : nullptr;
    }
};

LoggerMemory &loggerMemory();
