// Cutting a 1 MiB logger memory image into its data sets.
#include "recording/LoggerSetDecoding.h"
#include "recording/LoggerSplit.h"

#include <benchmark/benchmark.h>

namespace {

// 1 MiB of sets of 5000 records each (the last one shorter), after the
// leading byte, as the meter streams them.
QByteArray memoryImage()
{
    constexpr int Size = 1 << 20;
    QByteArray image(1, char(0));
    int records = 5000;
    while (image.size() < Size) {
        const int room = (Size - int(image.size()) - 58) / 2;
        records = std::min(records, room);
        if (records < 1)
            break;
        QByteArray set = QByteArray::fromHex("0055AA00000100");
        set.append(char(0x00));
        for (int r = 0; r < records; ++r) {
            const int level = 500 + (r * 37) % 600;
            set.append(char(level >> 8)).append(char(level & 0xFF));
        }
        set.append(QByteArray(50, char(0x12)));
        image += set;
    }
    return image;
}

void BM_SplitOneMiB(benchmark::State &state)
{
    const QByteArray image = memoryImage();
    std::size_t sets = 0;
    for (auto _ : state) {
        const LoggerSplit split = SplitLoggerBuffer(PrepareLoggerBuffer(image));
        sets = split.sets.size();
        benchmark::DoNotOptimize(split);
    }
    state.counters["sets"] = double(sets);
    state.counters["bytes"] = double(image.size());
    state.SetLabel("< 5 ms");
}

BENCHMARK(BM_SplitOneMiB)->Unit(benchmark::kMillisecond);

// The largest set a 1 MiB memory can hold, decoded for the data list.
void BM_DecodeOneMiBSet(benchmark::State &state)
{
    constexpr int Records = ((1 << 20) - 58) / 2;
    QByteArray set = QByteArray::fromHex("0055AA00000100");
    set.append(char(0x00));
    for (int r = 0; r < Records; ++r) {
        const int level = 500 + (r * 37) % 600;
        set.append(char(level >> 8)).append(char(level & 0xFF));
    }
    for (int stamp = 0; stamp < 5; ++stamp)
        set.append(QByteArray::fromHex("000008040313"));
    set.append(QByteArray(20, char(0x03)));
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeLoggerSet(set, 2026));
    state.counters["records"] = Records;
    state.SetLabel("for the data list; no target");
}

BENCHMARK(BM_DecodeOneMiBSet)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
