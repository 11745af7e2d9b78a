#pragma once

#include "LoggerDataSet.h"

#include <QByteArray>

#include <vector>

struct LoggerSetEntry
{
    LoggerDataSet bytes;
    int interval = 0; // seconds
    int records = 0;
};

struct LoggerSplit
{
    std::vector<LoggerSetEntry> sets; // at most 255
    // Bytes of the stream that belong to no listed set: leading bytes before
    // the first marker, a set whose end marker never came, sets beyond 255.
    qsizetype unreadBytes = 0;
    bool tooManySets = false;
};

// Drops the one byte the meter sends ahead of the sets and closes the buffer
// with one more set marker, so that the last set ends like every other one.
QByteArray PrepareLoggerBuffer(const QByteArray &stream);

// Cuts a prepared buffer into its data sets. A set runs from its marker up to
// the next marker found after its first record. Sets are cut from the first
// marker on; bytes that cannot be cut are counted, never read past the end.
LoggerSplit SplitLoggerBuffer(const QByteArray &prepared);

// A stream that stopped early: only the sets whose end marker arrived are cut.
LoggerSplit SplitIncompleteLoggerStream(const QByteArray &stream);
