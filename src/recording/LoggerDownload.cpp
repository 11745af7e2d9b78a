#include "LoggerDownload.h"

#include "link/LiveFrame.h"
#include "platform/Delay.h"
#include "platform/SerialPort.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cmath>

namespace {

constexpr char EndPositionCommand = 'A';
constexpr char MemorySizeCommand = 'L';
constexpr char TransferCommand = 'K';
constexpr int ReplyLength = 3;
constexpr double SettleSeconds = 0.02;
constexpr double PollSeconds = 0.01;
// The stream starts with one byte before the sets, and the end position
// counts 47 bytes beyond the sets.
constexpr uint32_t StreamOffset = 46;

enum class Reply { Ok, Silent, WrongLength, Cancelled };

bool cancelNow(const LoggerDownloadHooks &hooks)
{
    return hooks.cancelled && hooks.cancelled();
}

// Sends a one-letter request and reads its reply: after the settle time, and
// if nothing is there yet, as soon as the first byte came (plus the settle
// time, so a longer reply is read whole and not taken for a short one).
Reply request(SerialPort &port, char command, const LoggerDownloadHooks &hooks,
              const LoggerLinkLimits &limits, QByteArray &reply)
{
    port.discardInput();
    port.write(QByteArray(1, command));
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    Delay(SettleSeconds);
    if (port.bytesWaiting() == 0) {
        while (port.bytesWaiting() == 0 && sinceRequest.elapsed() < limits.replyTimeoutMs) {
            if (cancelNow(hooks))
                return Reply::Cancelled;
            Delay(PollSeconds);
        }
        if (port.bytesWaiting() == 0)
            return Reply::Silent;
        Delay(SettleSeconds);
    }
    reply = port.readAll();
    return reply.size() == ReplyLength ? Reply::Ok : Reply::WrongLength;
}

uint32_t endPositionOf(const QByteArray &reply)
{
    return (uint32_t(uint8_t(reply[0])) << 16) | (uint32_t(uint8_t(reply[1])) << 8)
        | uint8_t(reply[2]);
}

// True when the bytes are nothing but whole live frames.
bool onlyLiveFrames(const QByteArray &bytes)
{
    if (bytes.size() % FrameLength != 0)
        return false;
    for (qsizetype at = 0; at < bytes.size(); at += FrameLength)
        if (!FrameIsValid(bytes.mid(at, FrameLength)))
            return false;
    return true;
}

// What arrives right after the announced end. A meter sends nothing there
// (its live frames come back later); bytes that are not live frames mean the
// line added bytes, which pushed as many real ones past the end.
qint64 overrunAfter(SerialPort &port, QByteArray extra, const LoggerLinkLimits &limits)
{
    QElapsedTimer listening;
    listening.start();
    while (listening.elapsed() < limits.overrunListenMs) {
        Delay(PollSeconds);
        extra += port.readAll();
    }
    return onlyLiveFrames(extra) ? 0 : extra.size();
}

// Collects the stream until it is complete, stalls or is cancelled; true
// when complete.
bool receiveStream(SerialPort &port, qint64 expected, const LoggerDownloadHooks &hooks,
                   const LoggerLinkLimits &limits, QByteArray &buffer)
{
    QElapsedTimer sinceLastByte;
    sinceLastByte.start();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    qint64 reported = -1;
    auto report = [&](bool force) {
        const qint64 received = std::min<qint64>(buffer.size(), expected);
        if (!hooks.progress || received == reported)
            return;
        if (!force && sinceProgress.elapsed() < limits.progressStepMs)
            return;
        hooks.progress(received, expected);
        reported = received;
        sinceProgress.restart();
    };

    // Bytes that came after a pause, held until it is clear whether they go
    // on with the memory or are live frames of a meter that gave up.
    QByteArray afterPause;
    bool paused = false;
    while (buffer.size() < expected) {
        if (cancelNow(hooks)) {
            report(true);
            return false;
        }
        const QByteArray chunk = port.readAll();
        if (!chunk.isEmpty()) {
            if (!buffer.isEmpty() && sinceLastByte.elapsed() >= limits.pauseMs)
                paused = true;
            sinceLastByte.restart();
            if (!paused) {
                buffer.append(chunk);
                report(false);
                continue;
            }
            afterPause.append(chunk);
            if (afterPause.size() < FrameLength)
                continue;
            if (FrameIsValid(afterPause.left(FrameLength))) {
                report(true);
                return false;
            }
            buffer.append(afterPause);
            afterPause.clear();
            paused = false;
            report(false);
            continue;
        }
        if (sinceLastByte.elapsed() >= limits.stallTimeoutMs) {
            buffer.append(afterPause);
            report(true);
            return false;
        }
        Delay(PollSeconds);
    }
    report(true);
    return true;
}

} // namespace

LoggerMemorySizes LoggerSizesFrom(int memoryUnits, uint32_t loggerEnd)
{
    LoggerMemorySizes sizes;
    sizes.memoryKiB = 64 * memoryUnits;
    sizes.freeBytes = qint64(1024) * sizes.memoryKiB - qint64(loggerEnd);
    const double freeKiB = sizes.freeBytes < 60 ? 0.0 : sizes.freeBytes / 1024.0;
    sizes.sizeText = QString::number(sizes.memoryKiB) + QStringLiteral(" K");
    sizes.remainText = QString::number(freeKiB, 'f', 1) + QStringLiteral(" K");
    return sizes;
}

QString PercentCompletedText(qint64 part, qint64 whole)
{
    const double percent = whole > 0 ? 100.0 * double(part) / double(whole) : 100.0;
    return QString::number(percent, 'f', 1) + QStringLiteral("% Completed");
}

LoggerDownloadResult DownloadLoggerMemory(SerialPort &port, const LoggerDownloadHooks &hooks,
                                          const LoggerLinkLimits &limits)
{
    LoggerDownloadResult result;
    int retries = 0;
    QByteArray reply;
    // A wrong-length reply repeats the request; one to "L" repeats from "A".
    for (;;) {
        const Reply endReply = request(port, EndPositionCommand, hooks, limits, reply);
        if (endReply == Reply::Cancelled) {
            result.status = LoggerDownloadStatus::Cancelled;
            return result;
        }
        if (endReply == Reply::Silent) {
            result.status = LoggerDownloadStatus::NoReply;
            return result;
        }
        if (endReply == Reply::WrongLength) {
            if (++retries > limits.maxRetries) {
                result.status = LoggerDownloadStatus::BadReplies;
                return result;
            }
            continue;
        }
        result.loggerEnd = endPositionOf(reply);
        if (result.loggerEnd < StreamOffset) {
            result.status = LoggerDownloadStatus::BadEndPosition;
            return result;
        }
        if (result.loggerEnd == LoggerLayout::EmptyMemoryEnd) {
            result.status = LoggerDownloadStatus::EmptyMemory;
            return result;
        }
        const Reply sizeReply = request(port, MemorySizeCommand, hooks, limits, reply);
        if (sizeReply == Reply::Ok)
            break;
        if (sizeReply == Reply::Cancelled) {
            result.status = LoggerDownloadStatus::Cancelled;
            return result;
        }
        if (sizeReply == Reply::Silent) {
            result.status = LoggerDownloadStatus::NoReply;
            return result;
        }
        if (++retries > limits.maxRetries) {
            result.status = LoggerDownloadStatus::BadReplies;
            return result;
        }
    }

    result.sizes = LoggerSizesFrom(uint8_t(reply[1]), result.loggerEnd);
    if (hooks.sizesKnown)
        hooks.sizesKnown(*result.sizes);

    result.expectedBytes = qint64(result.loggerEnd) - StreamOffset;
    QByteArray stream;
    stream.reserve(result.expectedBytes);
    port.write(QByteArray(1, TransferCommand));
    Delay(SettleSeconds);
    const bool complete = receiveStream(port, result.expectedBytes, hooks, limits, stream);
    result.receivedBytes = std::min<qint64>(stream.size(), result.expectedBytes);
    if (complete) {
        result.overrunBytes = overrunAfter(port, stream.mid(result.expectedBytes), limits);
        stream.truncate(result.expectedBytes);
        result.status = LoggerDownloadStatus::Completed;
        result.split = SplitLoggerBuffer(PrepareLoggerBuffer(stream));
    } else {
        result.status
            = cancelNow(hooks) ? LoggerDownloadStatus::Cancelled : LoggerDownloadStatus::Stalled;
        result.split = SplitIncompleteLoggerStream(stream);
    }
    port.discardInput();
    return result;
}

bool MeterStillSending(const LoggerDownloadResult &result)
{
    return result.status == LoggerDownloadStatus::Cancelled && result.sizes
        && result.receivedBytes < result.expectedBytes;
}

QString LoggerDownloadMessage(const LoggerDownloadResult &result)
{
    switch (result.status) {
    case LoggerDownloadStatus::EmptyMemory:
        return QStringLiteral("No Data in Memory");
    case LoggerDownloadStatus::BadEndPosition:
        return QStringLiteral("Error! Try again!");
    case LoggerDownloadStatus::NoReply:
        return QStringLiteral("The meter does not answer. Try again!");
    case LoggerDownloadStatus::BadReplies:
        return QStringLiteral("The meter's replies could not be read. Try again!");
    case LoggerDownloadStatus::Stalled:
        return QStringLiteral("The meter stopped sending. Try again!\n%1 of %2 bytes arrived; "
                              "%3 complete data sets are listed.")
            .arg(result.receivedBytes)
            .arg(result.expectedBytes)
            .arg(result.split.sets.size());
    case LoggerDownloadStatus::Cancelled:
        if (!result.sizes)
            return {};
        return (MeterStillSending(result)
                    ? QStringLiteral("The download was cancelled; the meter goes on sending for "
                                     "about %1 s.")
                          .arg(qint64(std::ceil(double(result.expectedBytes - result.receivedBytes)
                                                / LoggerStreamBytesPerSecond)))
                    : QStringLiteral("The download was cancelled."))
            + QStringLiteral("\n%1 of %2 bytes arrived; %3 complete data sets are listed.")
                  .arg(result.receivedBytes)
                  .arg(result.expectedBytes)
                  .arg(result.split.sets.size());
    case LoggerDownloadStatus::Completed:
        break;
    }
    QStringList lines;
    if (result.overrunBytes > 0)
        lines << QStringLiteral("The transfer was disturbed: %1 bytes more than the meter "
                                "announced arrived. The data sets listed may hold wrong "
                                "readings. Try again!")
                     .arg(result.overrunBytes);
    if (result.split.unreadBytes > 0)
        lines << QStringLiteral("%1 bytes of the logger memory could not be read.")
                     .arg(result.split.unreadBytes);
    if (lines.isEmpty())
        return {};
    QString text = lines.join(QLatin1Char('\n'));
    if (result.split.tooManySets)
        text += QStringLiteral("\nOnly the first 255 data sets are listed.");
    return text;
}
