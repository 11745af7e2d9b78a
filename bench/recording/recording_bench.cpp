// Cost of one sampling tick with a full list and a full history, and the
// memory the history and the list take.
#include "recording/MeasurementState.h"
#include "recording/RecordingSession.h"
#include "recording/SampleTick.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int FullList = int(MeasurementState::ListLimit) - 1000;

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0.0;
}

void fillList(MeasurementState &state)
{
    state.List.reserve(int(MeasurementState::ListLimit));
    for (int i = 1; i <= FullList; ++i)
        state.List.append(QString::number(i), QStringLiteral("2013/03/04 08:00:00"),
                          QStringLiteral("85.3"));
    state.ListCount = FullList;
    state.History.LiveLogIndex = LiveLog::Slots - 1;
}

SampleInput inputAt(const QString &folder, int second)
{
    SampleInput input;
    input.Level = 60.0 + (second % 400) * 0.1;
    input.LevelText = QString::number(input.Level, 'f', 1);
    input.Now = QDateTime(QDate(2013, 3, 4), QTime(8, 0, 0)).addSecs(second);
    input.Folder = folder;
    return input;
}

void runTicks(benchmark::State &bench, bool recording)
{
    QTemporaryDir dir;
    MeasurementState state;
    fillList(state);
    if (recording)
        StartRecording(state, dir.filePath(QStringLiteral("bench.vorn")), dir.path());
    int second = 0;
    for (auto _ : bench) {
        state.TickCount = state.SampleInterval; // every tick takes a sample
        state.ListCount = FullList; // the list stays just below its dump
        state.RecordCount = 0;
        benchmark::DoNotOptimize(OnSampleTick(state, inputAt(dir.path(), second++)));
    }
    bench.counters["list_rows"] = double(state.List.count());
}

void BM_MemoryOfHistoryAndList(benchmark::State &bench)
{
    const double before = residentMiB();
    double after = before;
    for (auto _ : bench) {
        MeasurementState state;
        fillList(state);
        // Touch every slot as a full history would.
        for (int i = 0; i < LiveLog::Slots; ++i)
            state.History.store(60.0, 60.0, 60.0);
        after = residentMiB();
    }
    bench.counters["livelog_MiB"] = double(LiveLog::bytesAllocated()) / (1024.0 * 1024.0);
    bench.counters["state_MiB"] = after - before;
    bench.counters["resident_MiB"] = after;
    bench.SetLabel("LiveLog 3 x 864001 doubles allocated once; whole program under 250 MB");
}
BENCHMARK(BM_MemoryOfHistoryAndList)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SampleTick(benchmark::State &bench)
{
    runTicks(bench, false);
    bench.SetLabel("one tick with a 348,000-row list and a full history: under 1 ms CPU");
}
BENCHMARK(BM_SampleTick)->Unit(benchmark::kMicrosecond);

// Wall time, since a tick that waits for the disk costs the user time but
// little CPU: the record and the header state are queued for the writer
// thread, which syncs them meanwhile.
void BM_SampleTickRecording(benchmark::State &bench)
{
    runTicks(bench, true);
    bench.SetLabel("one recorded tick, record queued for the disk writer: under 0.5 ms wall");
}
BENCHMARK(BM_SampleTickRecording)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
