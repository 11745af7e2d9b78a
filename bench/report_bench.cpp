// The measurement report of a 348,000-record recording: in the program, as
// `vorn-stats --pdf` runs it (time and peak memory of the whole process),
// and how long the window's events wait while the Report button works.
#include "analysis/report/Report.h"
#include "analysis/report/pdf/ReportPdf.h"
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/ReportCommand.h"
#include "analysis/gui/StatisticsWindow.h"
#include "recording/DataFileReader.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

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
        const int tenths = 400 + (i * 37) % 300 + (s / 3600) * 10;
        bytes += QByteArray::number(i + 1) + "\t2013/03/"
            + QByteArray::number(day).rightJustified(2, '0') + ' '
            + QByteArray::number(s / 3600).rightJustified(2, '0') + ':'
            + QByteArray::number(s / 60 % 60).rightJustified(2, '0') + ':'
            + QByteArray::number(s % 60).rightJustified(2, '0') + '\t'
            + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10)
            + (i % 50000 < 300 ? "*" : "") + "\t\r\n";
    }
    return bytes;
}

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

const QString &recordingPath()
{
    static const QString path = [] {
        const QString p = folder().filePath("long.vorn");
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(longRecording());
        return p;
    }();
    return path;
}

void BM_Report348000InProcess(benchmark::State &state)
{
    QFile f(recordingPath());
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    for (auto _ : state) {
        const DataFileContents contents = DataFileReader::readBytes(bytes);
        ReportOptions options;
        options.programVersion = programVersionText();
        const auto report = buildReport({ { "long.vorn", &contents } }, options);
        const ReportPdf pdf = drawReportPdf(*report);
        state.counters["pages"] = double(report->pages.size());
        state.counters["pdf_kib"] = pdf.bytes.size() / 1024.0;
    }
    state.SetLabel("read, figures, history, pages: part of the 1.5 s below");
}
BENCHMARK(BM_Report348000InProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The whole command as a user runs it: start, read, report, write.
void BM_VornStatsPdf348000(benchmark::State &state)
{
    const QString out = folder().filePath("long.pdf");
    for (auto _ : state) {
        QProcess process;
        process.start(QStringLiteral(VORN_STATS_PATH), { "--pdf", out, recordingPath() });
        process.waitForFinished(60000);
        if (process.exitCode() != 0)
            state.SkipWithError("vorn-stats failed");
    }
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["peak_mib"] = usage.ru_maxrss / 1024.0;
    state.SetLabel("target < 1.5 s and peak_mib < 300");
}
BENCHMARK(BM_VornStatsPdf348000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The longest wait of the window's events while the Report button makes the
// report of an opened 348,000-record file.
void BM_ReportButtonEventGap(benchmark::State &state)
{
    QWidget panel;
    AnalysisHost host;
    host.panel = &panel;
    ScriptedDialogs dialogs;
    StatisticsWindow *window = OpenDataFileAt(recordingPath(), host);
    double worstMs = 0;
    for (auto _ : state) {
        dialogs.answerSave(folder().filePath("window.pdf"));
        QElapsedTimer gap;
        gap.start();
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worstMs = std::max(worstMs, double(gap.elapsed()));
            gap.restart();
        });
        tick.start();
        window->report()->run();
        worstMs = std::max(worstMs, double(gap.elapsed()));
    }
    delete window;
    state.counters["worst_event_gap_ms"] = worstMs;
    state.SetLabel("target worst_event_gap_ms < 100");
}
BENCHMARK(BM_ReportButtonEventGap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
