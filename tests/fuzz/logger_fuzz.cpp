// Feeds arbitrary bytes to the logger download's split, as a whole stream
// and as one that stopped early, and decodes every set it cuts.
#include "recording/LoggerSetDecoding.h"
#include "recording/LoggerSplit.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void decodeAll(const LoggerSplit &split, qsizetype streamSize)
{
    require(split.sets.size() <= 255);
    qsizetype cut = 0;
    for (const LoggerSetEntry &entry : split.sets) {
        cut += entry.bytes.size();
        const std::optional<LoggerSetView> view = DecodeLoggerSet(entry.bytes, 2026);
        if (!view)
            continue;
        require(view->records == entry.records);
        require(view->levels.size() == view->records && view->times.size() == view->records
                && view->numbers.size() == view->records);
    }
    // The marker the split adds to close the last set is the only byte it may invent.
    require(cut <= streamSize + LoggerLayout::MarkerLength);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    decodeAll(SplitLoggerBuffer(PrepareLoggerBuffer(stream)), stream.size());
    decodeAll(SplitIncompleteLoggerStream(stream), stream.size());
    return 0;
}
