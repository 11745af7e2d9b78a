#include "panel/gui/Keypad.h"
#include "panel/gui/Panel.h"
#include "panel/gui/SevenSegmentDisplay.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"
#include "support/ScriptedDialogs.h"
#include "platform/QtSerialPort.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
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

// The program's port, noting when the last key command went out.
class KeyTimingPort : public SerialPort
{
public:
    bool open(int n) override { return m_port.open(n); }
    bool isOpen() const override { return m_port.isOpen(); }
    void close() override { m_port.close(); }
    QByteArray readAll() override { return m_port.readAll(); }
    qint64 bytesWaiting() override { return m_port.bytesWaiting(); }
    bool write(const QByteArray &bytes) override
    {
        if (bytes.startsWith('K') && bytes.size() == 4)
            lastKeyAt.start();
        return m_port.write(bytes);
    }
    bool isLost() const override { return m_port.isLost(); }
    bool reopen() override { return m_port.reopen(); }
    QString errorString() const override { return m_port.errorString(); }

    QElapsedTimer lastKeyAt;

private:
    QtSerialPort m_port;
};

struct Mirror
{
    ScriptedDialogs dialogs;
    MeterEmulator emulator;
    std::unique_ptr<Panel> panel;
    KeyTimingPort *port = nullptr;

    bool start(benchmark::State &state)
    {
        QString why;
        if (!emulator.start({ QStringLiteral("--signal"), QStringLiteral("walk"),
                              QStringLiteral("--level"), QStringLiteral("65") },
                            &why)) {
            state.SkipWithError(why.toStdString().c_str());
            return false;
        }
        auto own = std::make_unique<KeyTimingPort>();
        port = own.get();
        panel = std::make_unique<Panel>(1, std::move(own));
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

// A keypad click while the link is idle (the poll may hold it for one frame
// time) until its key command is on the wire.
void BM_KeypadClickToWire(benchmark::State &state)
{
    constexpr int Clicks = 20;
    for (auto _ : state) {
        Mirror mirror;
        if (!mirror.start(state))
            return;
        QPushButton *key = mirror.panel->keypad()->button(KeyCode::Integ);
        double worstMs = 0, sumMs = 0;
        for (int i = 0; i < Clicks; ++i) {
            // After a key the meter holds its frames for a second; wait for
            // the live beat, at a different phase of the poll each time.
            WaitUntil([] { return false; }, 1500 + 37 * i % 200);
            mirror.port->lastKeyAt.invalidate();
            QElapsedTimer click;
            click.start();
            key->click();
            if (!WaitUntil([&] { return mirror.port->lastKeyAt.isValid(); }, 3000)) {
                state.SkipWithError("a key command never went out");
                return;
            }
            const double ms
                = double(click.nsecsElapsed() - mirror.port->lastKeyAt.nsecsElapsed()) / 1e6;
            worstMs = std::max(worstMs, ms);
            sumMs += ms;
        }
        state.SetIterationTime(sumMs / Clicks / 1000.0);
        state.counters["click_to_wire_ms_worst"] = worstMs;
        state.counters["click_to_wire_ms_mean"] = sumMs / Clicks;
        mirror.panel->close();
    }
    state.SetLabel("click_to_wire_ms_worst < 300");
}

} // namespace

BENCHMARK(BM_KeypadClickToWire)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
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
