// A 256 KiB logger download from the meter emulator paced at 38400 baud: the
// time it takes against the emulator's own send time, and the CPU the
// program spends meanwhile. Prints "figure|value|target" lines.
#include "recording/LoggerDownload.h"
#include "tools/EmulatorProcess.h"
#include "platform/QtSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr double LineBytesPerSecond = 3840.0;
constexpr double KeyWindow = 0.030; // the meter takes "K" alone as such after this wait

// Four sets of 32000 records: 256,232 bytes of sets in a 256 KiB memory.
std::vector<std::string> memoryArguments()
{
    std::vector<std::string> arguments = { "--memory-units", "4" };
    for (int i = 0; i < 4; ++i)
        arguments.insert(arguments.end(), { "--set", "records=32000,spread=6" });
    return arguments;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    EmulatorProcess emulator(memoryArguments());
    if (!emulator.waitForLink()) {
        std::printf("logger download 256 KiB|failed: no emulator|\n");
        return 1;
    }
    qputenv("VORN_PORTS_DIR", emulator.portsFolder().c_str());
    QtSerialPort port;
    if (!port.open(1)) {
        std::printf("logger download 256 KiB|failed: %s|\n", qPrintable(port.errorString()));
        return 1;
    }

    QElapsedTimer streamClock;
    qint64 streamMs = 0;
    std::clock_t streamCpuStart = 0;
    LoggerDownloadHooks hooks;
    hooks.sizesKnown = [&](const LoggerMemorySizes &) {
        streamClock.start();
        streamCpuStart = std::clock();
    };
    hooks.progress = [&](qint64 received, qint64 expected) {
        if (received == expected)
            streamMs = streamClock.elapsed();
    };
    const LoggerDownloadResult result = DownloadLoggerMemory(port, hooks);
    const double cpuSeconds = double(std::clock() - streamCpuStart) / CLOCKS_PER_SEC;
    if (result.status != LoggerDownloadStatus::Completed) {
        std::printf("logger download 256 KiB|failed: %s|\n",
                    qPrintable(LoggerDownloadMessage(result)));
        return 1;
    }

    const double sendSeconds = double(result.expectedBytes) / LineBytesPerSecond + KeyWindow;
    const double tookSeconds = streamMs / 1000.0;
    std::printf("logger download 256 KiB: time / emulator send time|%.1f s / %.1f s (%+.1f %%), "
                "%zu sets|within 5 %%\n",
                tookSeconds, sendSeconds, 100.0 * (tookSeconds - sendSeconds) / sendSeconds,
                result.split.sets.size());
    std::printf("logger download 256 KiB: CPU while streaming|%.2f %% of a core|< 5 %%\n",
                100.0 * cpuSeconds / tookSeconds);
    return 0;
}
