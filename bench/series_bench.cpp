// A station's month at the desk: 30 day files of 86,400 readings opened as
// one series (to a drawn window), a redraw of the whole month, and the PDF
// of the joined files as vorn-stats writes it.
#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"
#include "analysis/gui/SeriesWindow.h"
#include "widgets/QCustomPlotInclude.h"

#include "RoadMonth.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

const QStringList &monthFiles()
{
    static const QStringList files = [] {
        QStringList names;
        for (int d = 0; d < 30; ++d) {
            const QDate day = QDate(2026, 4, 1).addDays(d);
            QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n88.8\r\n"
                + day.toString("yyyy/MM/dd").toLatin1() + " 00:00:00\r\n140.2\r\n85.0\r\n"
                + "No.s\tDate Time\tdB\t\r\n";
            const QByteArray date = day.toString("yyyy/MM/dd ").toLatin1();
            bytes.reserve(86400 * 34);
            for (int s = 0; s < 86400; ++s) {
                const int tenths = 450 + (s * 37 + d * 11) % 400;
                bytes += QByteArray::number(s + 1) + '\t' + date
                    + QByteArray::number(s / 3600).rightJustified(2, '0') + ':'
                    + QByteArray::number(s / 60 % 60).rightJustified(2, '0') + ':'
                    + QByteArray::number(s % 60).rightJustified(2, '0') + '\t'
                    + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10)
                    + "\t\r\n";
            }
            const QString name
                = folder().filePath(QStringLiteral("bench %1.vorn").arg(day.toString(Qt::ISODate)));
            QFile file(name);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            names << name;
        }
        return names;
    }();
    return files;
}

double residentMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The PDF of the 30 joined day files, as `vorn-stats --join --pdf` writes it
// (the window's Report makes the same section). First, so that the child's
// peak is its own: a child forked from a process that has held a month of
// readings starts from that process's resident size.
void BM_SeriesPdf30DayFiles(benchmark::State &state)
{
    QStringList arguments { "--join",
                            "--intervals",
                            "1h",
                            "--limit",
                            "07-19=55,19-23=50,23-07=45",
                            "--pdf",
                            folder().filePath("month.pdf") };
    arguments << monthFiles();
    for (auto _ : state) {
        QProcess process;
        process.start(QStringLiteral(VORN_STATS_PATH), arguments);
        process.waitForFinished(120000);
        if (process.exitCode() != 0)
            state.SkipWithError("vorn-stats failed");
    }
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["peak_child_MiB"] = usage.ru_maxrss / 1024.0;
    state.SetLabel("target < 1.5 s and < 150 MB");
}
BENCHMARK(BM_SeriesPdf30DayFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// From Open to the window drawn: read, joined, tables filled, trace drawn.
void BM_SeriesOpen30DayFiles(benchmark::State &state)
{
    const QStringList files = monthFiles();
    const double before = residentMiB();
    for (auto _ : state) {
        SeriesWindow *window = OpenSeries(files);
        if (!window) {
            state.SkipWithError("not opened");
            break;
        }
        QApplication::processEvents();
        state.PauseTiming();
        delete window;
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MiB"] = residentMiB();
    state.counters["rss_before_MiB"] = before;
    state.SetLabel("2.6 M readings; target < 1.5 s and < 200 MB resident");
}
BENCHMARK(BM_SeriesOpen30DayFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A pan or zoom of the whole month: the trace by pixel column and a replot.
void BM_SeriesRedrawMonth(benchmark::State &state)
{
    SeriesWindow *window = OpenSeries(monthFiles());
    window->resize(1400, 900);
    window->show();
    QApplication::processEvents();
    const QCPRange all = window->plot()->xAxis->range();
    bool half = false;
    for (auto _ : state) {
        half = !half;
        window->showRange(all.lower + (half ? all.size() / 7 : 0.0), all.upper);
    }
    delete window;
    state.SetLabel("target < 30 ms");
}
BENCHMARK(BM_SeriesRedrawMonth)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

// An exclusion added or removed on the month: every figure recomputed from
// the kept readings (boards, intervals, days), the tables filled, the
// shading and the trace drawn.
void BM_SeriesExcludeMonth(benchmark::State &state)
{
    SeriesWindow *window = OpenSeries(monthFiles());
    window->resize(1400, 900);
    window->show();
    QApplication::processEvents();
    // Exclusions are moments.
    const int64_t start = CivilTime::utcOf(window->series().readings.times.front());
    bool added = false;
    for (auto _ : state) {
        if (added)
            window->removeExclusion(0);
        else
            window->addExclusion(makeExclusion(
                start + 10 * 86400 + 36000, start + 10 * 86400 + 43200, ExclusionReason::Rain,
                QStringLiteral("bench"), QStringLiteral("2026-05-02T09:00:00+02:00")));
        added = !added;
    }
    delete window;
    QFile::remove(ExclusionsCsv::pathFor(folder().path(), QStringLiteral("bench")));
    state.SetLabel("2.6 M readings; target < 150 ms");
}
BENCHMARK(BM_SeriesExcludeMonth)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// A road-side month in a folder of its own; with its weather file when
// `weather` is set (removed again when not).
const QStringList &roadFiles(bool weather)
{
    static QTemporaryDir dir;
    static const QStringList files = RoadMonth::write(dir.path(), QStringLiteral("road"));
    QFile file(QDir(dir.path()).filePath(QStringLiteral("road weather.csv")));
    if (weather) {
        file.open(QIODevice::WriteOnly);
        file.write(RoadMonth::weather());
    } else {
        file.remove();
    }
    return files;
}

// The road-side month opened, without (0) and with (1) its weather: the
// weather's panel and its rule-made spans.
void BM_SeriesOpenRoadMonth(benchmark::State &state)
{
    const QStringList files = roadFiles(state.range(0) == 1);
    for (auto _ : state) {
        SeriesWindow *window = OpenSeries(files);
        if (!window) {
            state.SkipWithError("not opened");
            break;
        }
        QApplication::processEvents();
        state.PauseTiming();
        delete window;
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetLabel(state.range(0) == 1 ? "with 43,200 weather rows; < 10 % over none"
                                       : "a road-side month");
}
BENCHMARK(BM_SeriesOpenRoadMonth)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// An exclusion on the road-side month with noise events and the verdict
// per period shown (1), or not (0): every table recomputed.
void BM_SeriesExcludeRoadMonth(benchmark::State &state)
{
    SeriesWindow *window = OpenSeries(roadFiles(false));
    if (state.range(0) == 1) {
        window->setEventThreshold(QStringLiteral("65"));
        window->setPeriodLimitsText(QStringLiteral("day=55,evening=50,night=45"));
    }
    window->resize(1400, 900);
    window->show();
    QApplication::processEvents();
    const int64_t start = CivilTime::utcOf(window->series().readings.times.front());
    bool added = false;
    for (auto _ : state) {
        if (added)
            window->removeExclusion(0);
        else
            window->addExclusion(makeExclusion(
                start + 10 * 86400 + 36000, start + 10 * 86400 + 43200, ExclusionReason::Rain,
                QStringLiteral("bench"), QStringLiteral("2026-05-02T09:00:00+02:00")));
        added = !added;
    }
    const QString path = ExclusionsCsv::pathFor(window->series().folder, QStringLiteral("road"));
    delete window;
    QFile::remove(path);
    state.SetLabel(state.range(0) == 1 ? "with events and verdicts; target < 150 ms"
                                       : "a road-side month");
}
BENCHMARK(BM_SeriesExcludeRoadMonth)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    monthFiles();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
