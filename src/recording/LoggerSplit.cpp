#include "LoggerSplit.h"

#include <cstring>

namespace {

using namespace LoggerLayout;

// Offset of the first marker at or after from, or -1.
qsizetype findMarker(const char *bytes, qsizetype size, qsizetype from)
{
    for (qsizetype i = from; i + MarkerLength <= size; ++i) {
        const void *hit = std::memchr(bytes + i, Marker[0], size_t(size - MarkerLength + 1 - i));
        if (!hit)
            return -1;
        i = static_cast<const char *>(hit) - bytes;
        if (markerAt(bytes + i))
            return i;
    }
    return -1;
}

// The length of the set that starts at start: up to the first marker that
// follows a whole number (at least one) of records, or -1 if none does.
qsizetype setLengthAt(const char *bytes, qsizetype size, qsizetype start)
{
    for (qsizetype end = start + setLength(1); end + MarkerLength <= size; end += RecordLength) {
        if (bytes[end] == Marker[0] && markerAt(bytes + end))
            return end - start;
    }
    return -1;
}

// Splits bytes[0, payloadEnd); markers up to size may close the last set.
LoggerSplit split(const QByteArray &buffer, qsizetype payloadEnd)
{
    LoggerSplit result;
    const char *bytes = buffer.constData();
    const qsizetype size = buffer.size();
    qsizetype cut = 0;

    qsizetype start = findMarker(bytes, payloadEnd, 0);
    while (start >= 0 && start + MarkerLength <= payloadEnd) {
        if (int(result.sets.size()) == MaxSets) {
            result.tooManySets = true;
            break;
        }
        const qsizetype length = setLengthAt(bytes, size, start);
        if (length < 0)
            break;
        LoggerSetEntry entry;
        entry.bytes = buffer.mid(start, length);
        entry.interval = (uint8_t(bytes[start + IntervalOffset]) << 8)
            | uint8_t(bytes[start + IntervalOffset + 1]);
        entry.records = int((length - FixedLength) / RecordLength);
        result.sets.push_back(std::move(entry));
        cut += length;
        start += length;
    }
    result.unreadBytes = payloadEnd - cut;
    return result;
}

} // namespace

QByteArray PrepareLoggerBuffer(const QByteArray &stream)
{
    QByteArray prepared;
    prepared.reserve(stream.size() + MarkerLength);
    if (stream.size() > 1)
        prepared.append(stream.constData() + 1, stream.size() - 1);
    prepared.append(Marker, MarkerLength);
    return prepared;
}

LoggerSplit SplitLoggerBuffer(const QByteArray &prepared)
{
    const qsizetype payloadEnd
        = prepared.size() >= MarkerLength ? prepared.size() - MarkerLength : 0;
    return split(prepared, payloadEnd);
}

LoggerSplit SplitIncompleteLoggerStream(const QByteArray &stream)
{
    const QByteArray body = stream.size() > 1 ? stream.mid(1) : QByteArray();
    return split(body, body.size());
}
