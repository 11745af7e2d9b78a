#include "station/Monitor.h"
#include "station/Station.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "platform/QtSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

// Seconds to measure; VORN_BENCH_SECONDS shortens a trial run.
double measuredSeconds()
{
    bool ok = false;
    const double s = qEnvironmentVariable("VORN_BENCH_SECONDS").toDouble(&ok);
    return ok && s > 0 ? s : 60.0;
}

// Resident memory in MB where the system says it (Linux), else 0.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

MonitorOptions optionsIn(const QString &folder)
{
    MonitorOptions options;
    options.folder = folder;
    options.station = QStringLiteral("bench");
    options.portText = QStringLiteral("COM1");
    options.comPortNumber = 1;
    options.intervalSeconds = 900;
    options.limits = *LimitSchedule::parse(QStringLiteral("07-19=55,19-23=50,23-07=45"));
    return options;
}

void BM_MonitorCpuAgainstTheEmulator(benchmark::State &state)
{
    const double seconds = measuredSeconds();
    for (auto _ : state) {
        MeterEmulator emulator;
        QString why;
        if (!emulator.start({ QStringLiteral("--signal"), QStringLiteral("walk"),
                              QStringLiteral("--level"), QStringLiteral("65") },
                            &why)) {
            state.SkipWithError(why.toStdString().c_str());
            return;
        }
        QTemporaryDir dir;
        QtSerialPort port;
        Monitor monitor(optionsIn(dir.path()), port);
        if (!monitor.station().lockFolder().isEmpty()) {
            state.SkipWithError("the folder cannot be locked");
            return;
        }
        monitor.start();
        if (!WaitUntil([&] { return monitor.linked(); }, 3000)) {
            state.SkipWithError("the monitor never heard the meter");
            return;
        }
        QElapsedTimer wall;
        wall.start();
        const double cpuStart = double(std::clock()) / CLOCKS_PER_SEC;
        QEventLoop run;
        QTimer::singleShot(int(seconds * 1000), &run, &QEventLoop::quit);
        run.exec();
        const double cpu = double(std::clock()) / CLOCKS_PER_SEC - cpuStart;
        const double elapsed = wall.elapsed() / 1000.0;
        state.SetIterationTime(elapsed);
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / elapsed;
        state.counters["rss_mb"] = residentMb();
        monitor.stop();
    }
    state.SetLabel("cpu_percent_of_core < 0.5");
}

// A day of one-second ticks as fast as the disk takes them: the day file,
// the interval table and the alarms; memory read at hour 1 and hour 24.
void BM_MonitorSimulatedDayMemory(benchmark::State &state)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        Station station(optionsIn(dir.path()), {});
        if (!station.lockFolder().isEmpty()) {
            state.SkipWithError("the folder cannot be locked");
            return;
        }
        const HeaderBoards boards { QStringLiteral("A"), QStringLiteral("Fast"),
                                    QStringLiteral("30-130") };
        const QDateTime from(QDate(2026, 6, 10), QTime(0, 0));
        double hour1 = 0;
        for (int i = 0; i < 86400; ++i) {
            const double level = 40.0 + (i * 7919 % 400) / 10.0;
            station.tick(from.addSecs(i), level, QString::number(level, 'f', 1), boards);
            if (i == 3600)
                hour1 = residentMb();
        }
        const double hour24 = residentMb();
        station.stop(from.addSecs(86400), boards);
        state.counters["rss_hour1_mb"] = hour1;
        state.counters["rss_hour24_mb"] = hour24;
        state.counters["growth_mb"] = hour24 - hour1;
    }
    state.SetLabel("rss_hour24_mb < 40, growth_mb ~ 0");
}

} // namespace

BENCHMARK(BM_MonitorCpuAgainstTheEmulator)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_MonitorSimulatedDayMemory)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
