// Opening a recording of 40 days at one reading a second (3,500,000 records)
// into its statistics window: time until the window is filled and painted,
// and the resident memory the process needs for it.
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/StatisticsWindow.h"
#include "platform/ReadingListModel.h"
#include "platform/ReadingRows.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int Records = 3'500'000;

// Writes the file in pieces, so the benchmark itself holds little memory.
void writeRecording(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n98.7\r\n2013/03/04 08:00:05\r\n"
               "120.4\r\n85.3\r\nNo.s\tDate Time\tdB\t\r\n");
    const int64_t start = *ReadingRows::parseStamp(QStringView(u"2013/03/04 08:00:00"));
    QByteArray chunk;
    for (int i = 0; i < Records; ++i) {
        const int tenths = 450 + (i * 37) % 500;
        chunk += QByteArray::number(i + 1) + '\t' + ReadingRows::formatStamp(start + i).toLatin1()
            + '\t' + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10)
            + (i % 5000 < 40 ? "*" : "") + "\t\r\n";
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
}

// A figure of /proc/self/status in MiB ("VmRSS", "VmHWM").
double statusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0.0;
}

// Starts the peak ("VmHWM") again from the present resident size.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void BM_OpenFile3500000(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("forty-days.vorn"));
    writeRecording(path);
    QWidget panel;
    panel.setWindowTitle(QStringLiteral("VORN"));
    AnalysisHost host;
    host.panel = &panel;
    double before = 0.0;
    double peak = 0.0;
    double after = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        delete openFileListRealWindow();
        QCoreApplication::processEvents();
        before = statusMiB("VmRSS:");
        resetPeak();
        state.ResumeTiming();
        StatisticsWindow *window = OpenDataFileAt(path, host);
        if (!window || window->model()->count() != Records) {
            state.SkipWithError("the window does not hold every record");
            break;
        }
        window->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        peak = statusMiB("VmHWM:");
        after = statusMiB("VmRSS:");
        state.ResumeTiming();
    }
    state.counters["rss_before_MiB"] = before;
    state.counters["peak_rss_MiB"] = peak;
    state.counters["rss_after_MiB"] = after;
    state.SetLabel("< 2 s and < 400 MB resident, window filled");
    delete openFileListRealWindow();
}
BENCHMARK(BM_OpenFile3500000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
