#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "panel/windows/Panel.h"
#include "panel/windows/SevenSegmentDisplay.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
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

double processCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

struct Mirror
{
    ScriptedDialogs dialogs;
    MeterEmulator emulator;
    std::unique_ptr<Panel> panel;

    bool start(benchmark::State &state)
    {
        QString why;
        if (!emulator.start({ QStringLiteral("--signal"), QStringLiteral("walk"),
                              QStringLiteral("--level"), QStringLiteral("65") },
                            &why)) {
            state.SkipWithError(why.toStdString().c_str());
            return false;
        }
        panel = std::make_unique<Panel>(1);
        if (!panel->startUp()) {
            state.SkipWithError("the panel could not open COM1");
            return false;
        }
        panel->show();
        if (!WaitUntil([this] { return lblCom() == QStringLiteral("COM1") && figure() != "140.0"; },
                     3000)) {
            state.SkipWithError("the panel never showed a level");
            return false;
        }
        return true;
    }
    QString lblCom() const { return panel->findChild<QLabel *>(QStringLiteral("LblCOM"))->text(); }
    QString figure() const
    {
        return panel->findChild<SevenSegmentDisplay *>(QStringLiteral("ShownLCD"))->text();
    }
};

void BM_PanelMirroringStreamingMeter(benchmark::State &state)
{
    const double seconds = measuredSeconds();
    for (auto _ : state) {
        Mirror mirror;
        if (!mirror.start(state))
            return;
        QElapsedTimer wall;
        wall.start();
        const double cpuStart = processCpuSeconds();
        // The program's own event loop, as in a real run; the harness adds no
        // wake-ups of its own.
        QEventLoop run;
        QTimer::singleShot(int(seconds * 1000), &run, &QEventLoop::quit);
        run.exec();
        const double cpu = processCpuSeconds() - cpuStart;
        const double elapsed = wall.elapsed() / 1000.0;
        state.SetIterationTime(elapsed);
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / elapsed;
        mirror.panel->close();
    }
    state.SetLabel("cpu_percent_of_core < 1");
}

void BM_PanelWaitingForPulledAdapter(benchmark::State &state)
{
    const double seconds = measuredSeconds() / 2;
    for (auto _ : state) {
        Mirror mirror;
        if (!mirror.start(state))
            return;
        // The recovery waits inside the poll tick, so the measurement runs
        // from timers, which fire inside that wait.
        QElapsedTimer sincePulled;
        qint64 noComMs = -1;
        double cpuStart = 0, cpu = -1;
        QElapsedTimer wall;
        Watch lost([&] { return mirror.lblCom() == QStringLiteral("No COM"); },
                   [&] {
                       noComMs = sincePulled.elapsed();
                       QTimer::singleShot(500, [&] {
                           wall.start();
                           cpuStart = processCpuSeconds();
                       });
                       QTimer::singleShot(500 + int(seconds * 1000), [&] {
                           cpu = processCpuSeconds() - cpuStart;
                           state.SetIterationTime(wall.elapsed() / 1000.0);
                           state.counters["cpu_percent_of_core"]
                               = 100.0 * cpu / (wall.elapsed() / 1000.0);
                           mirror.panel->close(); // ends the wait
                       });
                   });
        sincePulled.start();
        mirror.emulator.control(QStringLiteral("unplug 3600"));
        QEventLoop run;
        QTimer::singleShot(int(seconds * 1000) + 10000, &run, &QEventLoop::quit);
        QObject::connect(mirror.panel.get(), &Panel::closed, &run, &QEventLoop::quit,
                         Qt::QueuedConnection);
        run.exec();
        state.counters["no_com_after_ms"] = double(noComMs);
        if (cpu < 0)
            state.SkipWithError("the panel never showed No COM");
    }
    state.SetLabel("cpu_percent_of_core < 1, no_com_after_ms ~1500");
}

} // namespace

BENCHMARK(BM_PanelMirroringStreamingMeter)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_PanelWaitingForPulledAdapter)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
