#include "platform/Delay.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The share of one core a process uses while it sits in a Delay: the waits
// of the meter link must sleep, not spin.
void BM_CpuWhileInDelay(benchmark::State &state)
{
    const double seconds = double(state.range(0)) / 1000.0;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        Delay(seconds);
        wall += clock.nsecsElapsed() / 1e9;
        cpu += processCpuSeconds() - cpuBefore;
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    state.SetLabel("cpu_percent_of_core < 1");
    state.counters["overshoot_ms"] = 1000.0 * (wall / state.iterations() - seconds);
}
BENCHMARK(BM_CpuWhileInDelay)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);
// The link's short waits, repeated as a poll does.
BENCHMARK(BM_CpuWhileInDelay)->Arg(10)->Iterations(300)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
