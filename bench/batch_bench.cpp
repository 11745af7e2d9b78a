// The command-line analysis of a long recording: read, all statistics and the
// L table; and many such files in one call.
#include "analysis/batch/BatchReport.h"
#include "recording/DataFileReader.h"

#include <QByteArray>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

constexpr int Records = 348000;

QByteArray longRecording()
{
    QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n88.8\r\n2013/03/04 08:00:00\r\n"
                       "140.2\r\n85.0\r\nNo.s\tDate Time\tdB\t\r\n";
    bytes.reserve(Records * 36);
    for (int i = 0; i < Records; ++i) {
        const int t = 8 * 3600 + i;
        const int day = 4 + t / 86400;
        const int s = t % 86400;
        const int tenths = 500 + (i * 37) % 400;
        bytes += QByteArray::number(i + 1) + "\t2013/03/"
            + QByteArray::number(day).rightJustified(2, '0') + ' '
            + QByteArray::number(s / 3600).rightJustified(2, '0') + ':'
            + QByteArray::number(s / 60 % 60).rightJustified(2, '0') + ':'
            + QByteArray::number(s % 60).rightJustified(2, '0') + '\t'
            + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10) + "\t\r\n";
    }
    return bytes;
}

const QByteArray &recording()
{
    static const QByteArray bytes = longRecording();
    return bytes;
}

void analyseFiles(benchmark::State &state, const BatchRequest &request)
{
    const int files = int(state.range(0));
    for (auto _ : state) {
        for (int f = 0; f < files; ++f) {
            const DataFileContents contents = DataFileReader::readBytes(recording());
            FileReport report = analyseFile(QStringLiteral("bench.vorn"), contents, request);
            benchmark::DoNotOptimize(report);
        }
    }
    state.counters["files"] = files;
}

void BM_Statistics348000(benchmark::State &state)
{
    analyseFiles(state, {});
    state.SetLabel("target < 200 ms per file; time / files flat as files grow");
}
BENCHMARK(BM_Statistics348000)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_IntervalsAndLden348000(benchmark::State &state)
{
    BatchRequest request;
    request.intervalLength = 15 * 60;
    request.dayEveningNight = true;
    analyseFiles(state, request);
    state.SetLabel("no target; 15-min intervals and Lden on top of the statistics");
}
BENCHMARK(BM_IntervalsAndLden348000)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
