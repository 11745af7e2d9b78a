// The command-line analysis of a long recording: read, all statistics and the
// L table; and many such files in one call.
#include "analysis/output/Outputs.h"
#include "recording/DataFileReader.h"

#include "RoadMonth.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

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

void analyseFiles(benchmark::State &state, const AnalysisRequest &request)
{
    const int files = int(state.range(0));
    for (auto _ : state) {
        for (int f = 0; f < files; ++f) {
            // The command's own path: one pass, no readings kept.
            QByteArray bytes = recording();
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            auto result = analyseStream(QStringLiteral("bench.vorn"), buffer, request);
            benchmark::DoNotOptimize(result);
        }
    }
    state.counters["files"] = files;
}

void BM_Statistics348000(benchmark::State &state)
{
    analyseFiles(state, {});
    state.SetLabel("target < 80 ms per file; time / files flat as files grow");
}
BENCHMARK(BM_Statistics348000)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_IntervalsAndLden348000(benchmark::State &state)
{
    AnalysisRequest request;
    request.intervalLength = 15 * 60;
    request.dayEveningNight = true;
    analyseFiles(state, request);
    state.SetLabel("no target; 15-min intervals and Lden on top of the statistics");
}
BENCHMARK(BM_IntervalsAndLden348000)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs vorn-stats for the benchmark from a process forked before the
// benchmark grew: a child's largest resident size counts the pages it
// inherits until its exec, so the launcher must itself be small.
class Launcher
{
public:
    void start()
    {
        int request[2];
        int reply[2];
        if (pipe(request) != 0 || pipe(reply) != 0)
            return;
        if (fork() == 0) {
            close(request[1]);
            close(reply[0]);
            serve(request[0], reply[1]);
        }
        close(request[0]);
        close(reply[1]);
        m_request = request[1];
        m_reply = reply[0];
    }

    // The exit status and the largest resident size (KiB) of one run.
    std::pair<int, long> run(const QList<QByteArray> &arguments) const
    {
        const QByteArray request = arguments.join('\0');
        long answer[2] = { -1, 0 };
        if (m_request < 0 || request.size() >= RequestSize
            || write(m_request, request.constData(), size_t(request.size())) < 0
            || read(m_reply, answer, sizeof answer) != sizeof answer)
            return { -1, 0 };
        return { int(answer[0]), answer[1] };
    }

private:
    static constexpr qsizetype RequestSize = 64 * 1024;
    [[noreturn]] static void serve(int request, int reply)
    {
        static char text[RequestSize];
        for (;;) {
            const ssize_t n = read(request, text, sizeof text - 1);
            if (n <= 0)
                _exit(0);
            text[n] = 0;
            // The arguments, NUL-separated.
            std::vector<char *> argv { const_cast<char *>(VORN_STATS) };
            for (char *p = text; p < text + n; p += std::strlen(p) + 1)
                argv.push_back(p);
            argv.push_back(nullptr);
            const pid_t child = fork();
            if (child == 0) {
                const int devNull = open("/dev/null", O_WRONLY);
                dup2(devNull, STDOUT_FILENO);
                execv(VORN_STATS, argv.data());
                _exit(127);
            }
            int status = 0;
            rusage usage {};
            wait4(child, &status, 0, &usage);
            const long answer[2]
                = { WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss };
            if (write(reply, answer, sizeof answer) != sizeof answer)
                _exit(1);
        }
    }

    int m_request = -1;
    int m_reply = -1;
};

Launcher &launcher()
{
    static Launcher instance;
    return instance;
}

// The vorn-stats program itself on a file of 348,000 records: wall time and
// the largest resident size of the process.
void BM_VornStatsProgram348000(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.vorn"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(recording());
    }
    const QList<QByteArray> arguments { "--jobs", "1", path.toLocal8Bit() };
    long maxResidentKiB = 0;
    for (auto _ : state) {
        const auto [status, residentKiB] = launcher().run(arguments);
        if (status != 0) {
            state.SkipWithError("vorn-stats failed");
            break;
        }
        maxResidentKiB = std::max(maxResidentKiB, residentKiB);
    }
    state.counters["max_rss_MiB"] = double(maxResidentKiB) / 1024.0;
    state.SetLabel("one thread; < 40 ms and < 20 MB resident");
}
BENCHMARK(BM_VornStatsProgram348000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// A station's month: 30 day files of 86,400 readings, joined, with hourly
// intervals and Lden across midnight.
void BM_VornStatsJoin30DayFiles(benchmark::State &state)
{
    QTemporaryDir dir;
    QList<QByteArray> arguments { "--join", "--lden", "--intervals", "1h" };
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
        QFile file(dir.filePath(QStringLiteral("bench %1.vorn").arg(day.toString(Qt::ISODate))));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        arguments << file.fileName().toLocal8Bit();
    }
    // With the station's weather: a row a minute, windy and rainy at times.
    if (state.range(0) == 1) {
        QByteArray weather = "time,wind_speed,wind_gust,wind_direction,rain,temperature\n";
        const QDateTime from(QDate(2026, 4, 1), QTime(0, 0), QTimeZone::utc());
        for (int m = 1; m <= 30 * 1440; ++m) {
            const int wind = (m * 7) % 90;
            weather += from.addSecs(60 * m).toString(Qt::ISODate).toLatin1() + ','
                + QByteArray::number(wind / 10) + '.' + QByteArray::number(wind % 10) + ",9.0,180,"
                + (m % 97 == 0 ? "0.2" : "0") + ",12.0\n";
        }
        QFile file(dir.filePath(QStringLiteral("bench weather.csv")));
        file.open(QIODevice::WriteOnly);
        file.write(weather);
    }
    long maxResidentKiB = 0;
    for (auto _ : state) {
        const auto [status, residentKiB] = launcher().run(arguments);
        if (status != 0) {
            state.SkipWithError("vorn-stats failed");
            break;
        }
        maxResidentKiB = std::max(maxResidentKiB, residentKiB);
    }
    state.counters["max_rss_MiB"] = double(maxResidentKiB) / 1024.0;
    state.SetLabel(state.range(0) == 1
                       ? "2.6 M readings and 43,200 weather rows; < 10 % over no weather"
                       : "2.6 M readings; < 1 s and < 100 MB resident");
}
BENCHMARK(BM_VornStatsJoin30DayFiles)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// A month as a road-side station hears it: a background of 45 to 58 dB
// with a pass-by every few minutes (10 to 40 s, up to 85 dB), 30 day files
// of 86,400 readings; joined with Lden, then with noise events, number-above
// counts and the verdict per period on top.
void BM_VornStatsJoinAssessedMonth(benchmark::State &state)
{
    QTemporaryDir dir;
    QList<QByteArray> arguments { "--join", "--lden" };
    for (const QString &name : RoadMonth::write(dir.path(), QStringLiteral("road")))
        arguments << name.toLocal8Bit();
    if (state.range(0) == 1)
        arguments << "--events" << "65" << "--number-above" << "60,65,70" << "--period-limits"
                  << "day=55,evening=50,night=45";
    long maxResidentKiB = 0;
    for (auto _ : state) {
        const auto [status, residentKiB] = launcher().run(arguments);
        if (status != 0) {
            state.SkipWithError("vorn-stats failed");
            break;
        }
        maxResidentKiB = std::max(maxResidentKiB, residentKiB);
    }
    state.counters["max_rss_MiB"] = double(maxResidentKiB) / 1024.0;
    state.SetLabel(state.range(0) == 1 ? "events, number above and verdicts; < 15 % over none"
                                       : "2.6 M readings of a road-side month");
}
BENCHMARK(BM_VornStatsJoinAssessedMonth)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    launcher().start();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
