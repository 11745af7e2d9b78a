#pragma once

#include "LoggerSplit.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class SerialPort;

// The memory size and free space the meter reports, as the memory window
// shows them.
struct LoggerMemorySizes
{
    int memoryKiB = 0; // 64 x the second byte of the "L" reply
    qint64 freeBytes = 0; // 1024 x memoryKiB - end position; may be negative
    QString sizeText; // "64 K"
    QString remainText; // "12.3 K"; "0.0 K" when fewer than 60 bytes are free
};

LoggerMemorySizes LoggerSizesFrom(int memoryUnits, uint32_t loggerEnd);

// How long the download waits on the meter.
struct LoggerLinkLimits
{
    int replyTimeoutMs = 2000; // for the first byte of a reply to "A" or "L"
    int maxRetries = 20; // replies of the wrong length before giving up
    int stallTimeoutMs = 5000; // the stream sends nothing for this long
    // A meter that stops in the middle of the memory goes back to its live
    // frames after a while: a live frame after a pause this long ends the
    // stream. The memory itself comes without pauses, at the line's speed.
    int pauseMs = 300;
    // After the announced length, how long to listen for bytes that should
    // not be there (noise on the line pushes real bytes past the end).
    int overrunListenMs = 150;
    int progressStepMs = 30; // at most one progress report per step
};

struct LoggerDownloadHooks
{
    // The sizes are known and the stream is about to start: show the window.
    std::function<void(const LoggerMemorySizes &)> sizesKnown;
    // received of expected bytes are in; called at most once a progress step
    // and always once with the final count.
    std::function<void(qint64 received, qint64 expected)> progress;
    // Asked between the steps of every wait (at least every 10 ms): true ends
    // the download, keeping the complete sets that arrived.
    std::function<bool()> cancelled;
};

enum class LoggerDownloadStatus {
    Completed, // the whole stream arrived and was split
    EmptyMemory, // end position 48
    BadEndPosition, // end position below 46
    NoReply, // the meter did not answer "A" or "L" in time
    BadReplies, // too many replies of the wrong length
    Stalled, // the stream stopped before its end; complete sets are kept
    Cancelled, // the user or the closing program ended it; complete sets are kept
};

struct LoggerDownloadResult
{
    LoggerDownloadStatus status = LoggerDownloadStatus::NoReply;
    uint32_t loggerEnd = 0;
    std::optional<LoggerMemorySizes> sizes; // set once "L" was answered
    qint64 expectedBytes = 0;
    qint64 receivedBytes = 0;
    // Bytes beyond the announced length that were not live frames: the
    // transfer was disturbed and the sets may hold noise.
    qint64 overrunBytes = 0;
    LoggerSplit split;
};

// Reads the whole logger memory: "A" for the end position, "L" for the
// memory size, "K" for the stream of end position - 46 bytes, which is then
// split into sets. Waits go through Delay, so window events keep running.
// The caller switches the panel timers off around it.
LoggerDownloadResult DownloadLoggerMemory(SerialPort &port, const LoggerDownloadHooks &hooks = {},
                                          const LoggerLinkLimits &limits = {});

// The meter sends its memory at the line's speed: 38400 baud, ten bits a byte.
constexpr double LoggerStreamBytesPerSecond = 3840.0;

// A cancelled transfer leaves the meter sending the rest of its memory.
bool MeterStillSending(const LoggerDownloadResult &result);

// "0.0" of 100 x part / whole followed by "% Completed".
QString PercentCompletedText(qint64 part, qint64 whole);

// The text to show the user after a download, empty when there is nothing to say.
QString LoggerDownloadMessage(const LoggerDownloadResult &result);
