#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include "support/TestZone.h"

#include <tuple>

namespace {

struct StatsRun
{
    int exitCode;
    QString out;
    QString err;
};

StatsRun runStats(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(QStringLiteral(VORN_STATS_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
             QString::fromUtf8(process.readAllStandardError()) };
}

QByteArray realTimeFile(int readings)
{
    QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n61.0\r\n2013/03/04 08:00:00\r\n"
                       "95.5\r\n60.0\r\nNo.s\tDate Time\tdB\t\r\n";
    for (int i = 0; i < readings; ++i)
        bytes += QByteArray::number(i + 1)
            + "\t2013/03/04 08:00:" + QByteArray::number(i).rightJustified(2, '0') + "\t60.0\t\r\n";
    return bytes;
}

} // namespace

TEST(VornStats, ReadsStandardInputAndWritesCsvWithPoints)
{
    const StatsRun run = runStats({ "--csv", "-" }, realTimeFile(10));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("-,Real Time,10,0,0,0,1.00,60.00,70.00,60.00,"))
        << lines[1].toStdString();
}

TEST(VornStats, ExitStatusesAndMessagesNameTheFileAndLine)
{
    QTemporaryDir dir;
    const QString broken = dir.filePath("broken.vorn");
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(realTimeFile(3) + "4\tno tabs after this\r\n");
    }
    const StatsRun bad = runStats({ broken });
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.startsWith("vorn-stats: " + QDir::toNativeSeparators(broken) + ": ")) << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains("line 14")) << bad.err.toStdString();
    EXPECT_EQ(bad.err.count('\n'), 1);

    EXPECT_EQ(runStats({ dir.filePath("missing.vorn") }).exitCode, 1);
    EXPECT_EQ(runStats({ "--intervals" }).exitCode, 2);
    const StatsRun help = runStats({ "--help" });
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: vorn-stats"));
}

namespace {

// A day file of a station: one reading every `step` seconds from `from` to
// `to`, stamped with the wall clock of their zone (the spring hour skipped
// as a station skips it), whatever the zone of the test.
QByteArray dayFile(const QDateTime &from, const QDateTime &to, int step, double level = 60.0)
{
    QByteArray bytes = "Real Time\r\n " + QByteArray::number(step)
        + " \r\nA\r\nSlow\r\n30-90\r\n61.0\r\n2026/03/28 08:00:00\r\n95.5\r\n60.0\r\n"
          "No.s\tDate Time\tdB\t\r\n";
    int n = 0;
    for (QDateTime t = from; t < to; t = t.addSecs(step))
        bytes += QByteArray::number(++n) + '\t'
            + t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1() + '\t'
            + QByteArray::number(level, 'f', 1) + "\t\r\n";
    return bytes;
}

StatsRun runIn(const char *zone, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (TZSetsTheZone) {
        env.insert(QStringLiteral("TZ"), QLatin1String(zone));
    } else {
        // The child keeps this test's zone (LOCAL_ZONE), which must be the one asked for.
        EXPECT_STREQ(zone, "Europe/Berlin");
        env.remove(QStringLiteral("TZ"));
    }
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VORN_STATS_PATH), arguments);
    process.waitForFinished(60000);
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
             QString::fromUtf8(process.readAllStandardError()) };
}

} // namespace

// --limit judges each interval as the station does: the limit in force at its
// start and over or ok, in every output; a bad schedule is a usage error.
TEST(VornStats, LimitsAddTheStationsColumnsToIntervalRows)
{
    QTemporaryDir dir;
    const QString day = dir.filePath("day.vorn");
    {
        QFile f(day);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(realTimeFile(60)); // 08:00:00 to 08:00:59, 60.0 dB
    }
    struct Case
    {
        QStringList arguments;
        QString expected;
    };
    const QList<Case> cases {
        { { "--intervals", "1min", "--limit", "07-19=55,19-07=65", "--csv", day },
          ",2013-03-04T08:00:00+01:00,2013-03-04T08:01:00+01:00,60,1.00,60.00,60.00,60.00,60.00,"
          "60.00,60.00,55,over" },
        { { "--intervals", "1min", "--limit", "60", "--csv", day }, ",60,ok" },
        { { "--intervals", "1min", "--limit", "00-01=40", "--csv", day }, ".00,," },
        { { "--intervals", "1min", "--limit", "55", "--json", day },
          "\"l90\": 60.00, \"limit\": 55.00, \"state\": \"over\"}" },
        { { "--intervals", "1min", "--limit", "07-19=55", day }, "100.0%     55 over" },
    };
    for (const Case &c : cases) {
        const StatsRun run = runIn("Europe/Berlin", c.arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.expected)) << c.arguments.join(' ').toStdString() << "\n"
                                                  << run.out.toStdString();
    }
    EXPECT_TRUE(runIn("Europe/Berlin", cases[0].arguments)
                    .out.startsWith("file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90,"
                                    "limit,state,calibration_verdict,drift_db,details_problem\n"));
    for (const QStringList &bad :
         { QStringList { "--limit", "55", day },
           QStringList { "--intervals", "1h", "--limit", "loud", day },
           QStringList { "--intervals", "1h", "--limit", "07-19=5,08-09=6", day } }) {
        const StatsRun run = runStats(bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("vorn-stats: --limit")) << run.err.toStdString();
    }
}

// Windows, partial days and the spring hour: what a run prints holds for
// the readings it counted, and says what they do not cover.
TEST(VornStats, FiguresHoldAcrossWindowsPartialDaysAndTheSpringHour)
{
    QTemporaryDir dir;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QTimeZone berlin("Europe/Berlin");
    const auto at
        = [&](int day, int hour) { return QDateTime(QDate(2026, 3, day), QTime(hour, 0), berlin); };
    // Whole days at 60 s from the 27th 07:00 to the 30th 07:00, the 28th's
    // night missing from 01:00: spring comes in the night of the 29th.
    const QString first = write("fence 2026-03-27.vorn", dayFile(at(27, 7), at(29, 1), 60));
    const QString second = write("fence 2026-03-29.vorn", dayFile(at(29, 7), at(30, 7), 60));
    // A damaged line after an hour of readings, one more reading, a torn
    // tail; and a file that gives none.
    const QString damaged = write("fence 2026-03-31.vorn",
                                  dayFile(at(31, 7), at(31, 8), 60) + "61\tno tab\r\n"
                                      + "62\t2026/03/31 09:00:00\t60.0\t\r\n"
                                      + "63\tno tab\r\n");
    const QString empty = write("fence 2026-04-01.vorn", "");
    // Begun in the second run of the autumn hour: its stamps cannot tell.
    const QDateTime secondRun = QDateTime(QDate(2026, 10, 25), QTime(1, 30), QTimeZone::utc());
    const QString autumn = write(
        "autumn.vorn",
        dayFile(secondRun.toTimeZone(berlin), secondRun.addSecs(3600).toTimeZone(berlin), 60));
    const struct
    {
        const char *name;
        QStringList arguments;
        int exitCode;
        QStringList says; // patterns in standard output, or standard error
    } rows[] = {
        { "partial and whole days",
          { "--join", "--lden", "--csv", first, second },
          0,
          { "coverage_night,partial,calibration_verdict,drift_db,details_problem\n",
            "2026-03-27T07:00:00\\+01:00(,[0-9.]+){4},1\\.00,1\\.00,1\\.00,,not verified,,\n",
            // The 28th: its night is the spring one, 7 h, covered 2 h.
            "2026-03-28T07:00:00\\+01:00(,[0-9.]+){4},1\\.00,1\\.00,0\\.29,yes,not verified,,\n",
            "2026-03-29T07:00:00\\+02:00(,[0-9.]+){4},1\\.00,1\\.00,1\\.00,,not verified,,\n" } },
        { "partial in JSON",
          { "--join", "--lden", "--json", first, second },
          0,
          { "\"partial\": true", "\"partial\": false" } },
        { "a damaged line is skipped, a torn tail cuts, an unreadable file is left out",
          { "--join", "--json", "--lden", first, second, damaged, empty },
          1,
          { "\"cut\": \\[\\{\"file\": \"[^\"]*fence 2026-03-31.vorn\", \"line\": 73, \"reason\": "
            "\"line 73 is not a reading: it holds no number, time and level separated by tabs: "
            "\\\\\"63\\\\tno tab\\\\\"; the 61 readings before it count\"",
            "\"left_out\": \\[\\{\"file\": \"[^\"]*fence 2026-04-01.vorn\"",
            "\"damaged_lines\": 1,",
            "\"damaged\": \\[\\{\"file\": \"[^\"]*fence 2026-03-31.vorn\", \"lines\": 1, "
            "\"first_line\": 71\\}\\]",
            "vorn-stats: [^\n]*fence 2026-03-31.vorn: line 73 is not a reading",
            "vorn-stats: [^\n]*fence 2026-03-31.vorn: Line 71 is damaged and counts in no figure",
            "\"readings\": 4021," } },
        { "the text says so too",
          { "--join", first, second, damaged, empty },
          1,
          { "\nCut: [^\n]*fence 2026-03-31.vorn: line 73 is not a reading",
            "\nDamaged: [^\n]*fence 2026-03-31.vorn: Line 71 is damaged",
            "\nLeft out: [^\n]*fence 2026-04-01.vorn: " } },
        { "a first reading in the hour that came twice",
          { "--json", autumn },
          0,
          { "\"ambiguous_time\": true", "read as the first run" } },
        { "an empty window",
          { "--join", "--from", "2026-03-29 02:00", "--to", "2026-03-29 06:00", first, second },
          1,
          // 02:00 never was that night: the clock read 03:00+02:00 then.
          { QRegularExpression::escape(
              "no readings between 2026-03-29T03:00:00+02:00 and 2026-03-29T06:00:00+02:00") } },
        { "a window after the files",
          { "--join", "--json", "--from", "2026-03-31 00:00", first, second },
          1,
          { "no readings between" } },
        { "a window in the second file lists it alone",
          { "--join", "--json", "--from", "2026-03-29 08:00", second, first },
          0,
          { QRegularExpression::escape("\"files\": [\"" + second + "\"]") } },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const StatsRun run = runIn("Europe/Berlin", row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err.toStdString();
        for (const QString &pattern : row.says) {
            const QRegularExpression re(pattern);
            EXPECT_TRUE(run.out.contains(re) || run.err.contains(re))
                << pattern.toStdString() << "\n"
                << run.out.toStdString() << run.err.toStdString();
        }
    }

    // At the spring change an interval ends its length after its start.
    const QString spring = write("spring.vorn",
                                 dayFile(QDateTime(QDate(2026, 3, 29), QTime(0, 0), berlin),
                                         QDateTime(QDate(2026, 3, 29), QTime(5, 0), berlin), 60));
    for (const auto &[length, start, end] :
         { std::tuple { "1h", "2026-03-29T01:00:00+01:00", "2026-03-29T03:00:00+02:00" },
           std::tuple { "30min", "2026-03-29T01:30:00+01:00", "2026-03-29T03:00:00+02:00" } }) {
        const StatsRun run = runIn("Europe/Berlin", { "--intervals", length, "--csv", spring });
        EXPECT_TRUE(run.out.contains(QStringLiteral(",%1,%2,").arg(start, end)))
            << run.out.toStdString();
        EXPECT_FALSE(run.out.contains("T02:")) << run.out.toStdString();
    }

    // The PDF of a window counts the window's readings, as the JSON does.
    const QString pdf = dir.filePath("window.pdf");
    const StatsRun report = runIn("Europe/Berlin",
                                  { "--json", "--pdf", pdf, "--from", "2026-03-29 08:00", "--to",
                                    "2026-03-29 09:00", second });
    ASSERT_EQ(report.exitCode, 0) << report.err.toStdString();
    EXPECT_TRUE(report.out.contains("\"readings\": 60,")) << report.out.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), { "-layout", pdf, "-" });
    if (!text.waitForFinished(30000) || text.exitCode() != 0)
        GTEST_SKIP() << "pdftotext is not installed";
    const QString pages = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(pages.contains(QRegularExpression("Readings\\s+60\\b")))
        << pages.left(3000).toStdString();
}

int main(int argc, char **argv)
{
#ifdef Q_OS_WIN
    useTestZone("Europe/Berlin"); // the children's zone, see runIn
#endif
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST(VornStats, ADamagedLevelLeavesEveryFigureFiniteInEachOutput)
{
    QByteArray file = realTimeFile(5);
    file += "6\t2013/03/04 08:00:05\t3276.7*\t\r\n7\t2013/03/04 08:00:06\t3276.7\t\r\n";
    for (const QStringList &form : { QStringList { "-" }, QStringList { "--csv", "-" },
                                     QStringList { "--json", "--intervals", "1min", "-" } }) {
        const StatsRun run = runStats(form, file);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        for (const char *bad : { "inf", "nan", "-922337203685477580" })
            EXPECT_FALSE(run.out.contains(QLatin1String(bad), Qt::CaseInsensitive))
                << form.join(' ').toStdString() << ": " << run.out.toStdString();
    }
    const StatsRun text = runStats({ "-" }, file);
    EXPECT_TRUE(text.out.contains(QRegularExpression(QStringLiteral("Leq:\\s+60\\.0"))))
        << text.out.toStdString();
    // The marked one is left out as marked; the other is said to be left out.
    EXPECT_TRUE(text.out.contains(QStringLiteral("Left out: 1 readings above 200.0 dB")))
        << text.out.toStdString();
}

// The exclusions file beside the files applies unless another is named or
// none is wanted; what it took out is said in every output, and a damaged
// file stops the run, naming its line, rather than give figures without it.
TEST(VornStats, ExclusionsOfTheFolderOrNamedOrNone)
{
    QTemporaryDir dir;
    const QString day = dir.filePath("fence 2013-03-04.vorn");
    const QString other = dir.filePath("loose.vorn");
    for (const QString &path : { day, other }) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(realTimeFile(60)); // 08:00:00 to 08:00:59
    }
    const auto write = [&dir](const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    write("fence exclusions.csv",
          "start,end,reason,note,made\n"
          "2013-03-04T08:00:10+01:00,2013-03-04T08:00:30+01:00,wind,,\n");
    const QString named = write("named.csv",
                                "start,end,reason,note,made\n"
                                "2013-03-04T07:00:50Z,2013-03-04T08:10:00+01:00,"
                                "maintenance,calibrator on,\n");
    struct Case
    {
        QStringList arguments;
        QString expected; // in standard output; empty: none of "xcluded"
    };
    const QList<Case> cases {
        { { "--csv", day }, ",40,0,0,0,1.00,60.00," },
        { { "--csv", day }, ",not verified,,,20,wind=20\n" },
        { { day }, "Excluded: 20 s (20 readings: wind 20 s)" },
        { { "--json", day },
          "\"excluded_s\": 20, \"excluded_readings\": 20, \"reasons\": {\"wind\": 20}" },
        { { "--intervals", "1min", "--csv", day },
          ",40,0.67,60.00,60.00,60.00,60.00,60.00,60.00,20,wind=20" },
        { { "--exclusions", named, "--csv", day }, ",10,maintenance=10\n" },
        { { "--exclusions", named, "--csv", other }, ",10,maintenance=10\n" },
        { { "--no-exclusions", "--csv", day }, {} },
        { { "--csv", other }, {} },
    };
    for (const Case &c : cases) {
        const StatsRun run = runIn("Europe/Berlin", c.arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        if (c.expected.isEmpty())
            EXPECT_FALSE(run.out.contains("xcluded")) << c.arguments.join(' ').toStdString();
        else
            EXPECT_TRUE(run.out.contains(c.expected)) << c.arguments.join(' ').toStdString() << "\n"
                                                      << run.out.toStdString();
    }

    write("fence exclusions.csv",
          "start,end,reason,note,made\n"
          "2013-03-04T08:00:10+01:00,2013-03-04T08:00:30+01:00,wind,,\n"
          "2013-03-04T08:00:40+01:00,soon,rain,,\n");
    const StatsRun damaged = runIn("Europe/Berlin", { "--csv", day });
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(damaged.out.isEmpty());
    EXPECT_TRUE(damaged.err.contains("fence exclusions.csv, line 3: the end \"soon\" is not an ISO "
                                     "8601 time"))
        << damaged.err.toStdString();
    EXPECT_EQ(runIn("Europe/Berlin", { "--exclusions", dir.filePath("none.csv"), day }).exitCode,
              1);
    EXPECT_EQ(runStats({ "--exclusions", named, "--no-exclusions", day }).exitCode, 2);
}

// A station's folder is its series: the day files in order and the running
// day last, read from the working file up to its last whole line while the
// station goes on writing; two stations in one folder are told apart by name.
TEST(VornStats, AStationFolderIsItsSeriesWithItsRunningDayLast)
{
    QTemporaryDir dir;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QTimeZone berlin("Europe/Berlin");
    const auto at = [&](int day, int hour) {
        return QDateTime(QDate(2026, 12, day), QTime(hour, 0), berlin);
    };
    write("fence 2026-12-09.vorn", dayFile(at(9, 10), at(9, 11), 60));
    write("fence 2026-12-09.vorn.json", R"({"time_zone": "Europe/Berlin"})");
    // The running day: 30 whole readings and one the station is writing.
    QByteArray running = dayFile(at(10, 10), at(10, 10).addSecs(30 * 60), 60, 70.0);
    running = running.mid(running.indexOf("No.s")) + "31\t2026/12/10 10:3";
    write("Fake", running);
    write("Fake.state",
          R"({"target": "/elsewhere/fence 2026-12-10.vorn", "interval": 60, "freqWeighting": "A",)"
          R"( "timeWeighting": "Slow", "levelRange": "30-90", "maxText": "70.0",)"
          R"( "maxTime": "2026/12/10 10:00:00", "sel": "102.6", "leq": "70.0"})");
    const QString folder = dir.path();

    const StatsRun one = runIn("Europe/Berlin", { "--json", folder });
    EXPECT_EQ(one.exitCode, 0) << one.err.toStdString();
    for (const QString &expected :
         { QStringLiteral("\"files\": [\"%1/fence 2026-12-09.vorn\", \"%1/Fake\"]").arg(folder),
           QStringLiteral("\"running\": true"), QStringLiteral("\"readings\": 90,"),
           QStringLiteral("\"stored\": {\"Freq Weight\": \"A\"") })
        EXPECT_TRUE(one.out.contains(expected)) << expected.toStdString() << one.out.toStdString();
    const StatsRun text = runIn("Europe/Berlin", { folder + "/Fake" });
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("\nRunning day: " + folder + "/Fake is the station's working "
                                                               "file"))
        << text.out.toStdString();

    write("gate 2026-12-09.vorn", dayFile(at(9, 12), at(9, 13), 60));
    const struct
    {
        QStringList arguments;
        int exitCode;
        QString says;
    } cases[] = {
        { { folder },
          2,
          QDir::toNativeSeparators(folder) + " holds the day files of 2 stations (fence, gate): name one with --station" },
        { { "--json", "--station", "gate", folder }, 0, "\"readings\": 60," },
        { { "--station", "mast", folder },
          2,
          QDir::toNativeSeparators(folder) + " holds no day files of the station mast (it holds: fence, gate)" },
        { { "--station", "gate", folder + "/gate 2026-12-09.vorn" }, 2, "give a folder" },
    };
    for (const auto &c : cases) {
        const StatsRun run = runIn("Europe/Berlin", c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.contains(c.says) || run.err.contains(c.says))
            << c.says.toStdString() << run.out.toStdString() << run.err.toStdString();
    }
}

// The folder's weather in each output: the rules' spans apart from the
// file's, the weather columns of intervals, and a damaged weather line named
// (the run then fails, its figures still given).
TEST(VornStats, TheFoldersWeatherInEachOutput)
{
    QTemporaryDir dir;
    const QString dayFile = dir.filePath("fence 2013-03-04.vorn");
    {
        QFile data(dayFile);
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        data.write(realTimeFile(60));
        QFile weather(dir.filePath("fence weather.csv"));
        ASSERT_TRUE(weather.open(QIODevice::WriteOnly));
        weather.write("time,wind_speed,wind_gust,wind_direction,rain,temperature\n"
                      "2013-03-04T08:00:20Z,2.0,4.0,90,0,5\n"
                      "2013-03-04T08:00:40Z,6.5,9.0,90,0,5\n"
                      "2013-03-04T08:01:00Z,1.0,2.0,90,,5\n");
    }
    const struct
    {
        QStringList arguments;
        int exitCode;
        QStringList says;
    } cases[] = {
        { { "--json", "--zone", "UTC", dayFile },
          0,
          { "\"weather_coverage\": 1.0000", "\"source\": \"rule\"",
            "\"note\": \"rule: mean wind 6.5 m/s over 5 m/s\"", "\"excluded_readings\": 20" } },
        { { "--csv", "--intervals", "1min", "--zone", "UTC", dayFile },
          0,
          { "excluded_reasons,wind_speed_mean,wind_gust_max,rain,calibration_verdict",
            ",20,wind=20,3.2,9.0,0.0," } },
        { { "--zone", "UTC", "--weather-rule", "gust>10", dayFile },
          0,
          { "Weather rules: gust>10; taken out by them: nothing" } },
        { { "--zone", "UTC", "--weather", dir.filePath("missing.csv"), dayFile },
          1,
          { "missing.csv: no such weather file" } },
    };
    for (const auto &c : cases) {
        const StatsRun run = runStats(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        for (const QString &text : c.says)
            EXPECT_TRUE(run.out.contains(text) || run.err.contains(text))
                << text.toStdString() << run.out.left(3000).toStdString()
                << run.err.toStdString();
    }
}

// Events in each output, and --events-csv as a table of its own.
TEST(VornStats, NoiseEventsInEachOutput)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("loud.vorn");
    {
        QByteArray bytes = realTimeFile(60);
        for (int s = 20; s < 30; ++s)
            bytes.replace("08:00:" + QByteArray::number(s) + "\t60.0", "08:00:" + QByteArray::number(s) + "\t80.0");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    const QString csv = dir.filePath("events.csv");
    const struct
    {
        QStringList arguments;
        int exitCode;
        QStringList says;
    } cases[] = {
        { { "--zone", "UTC", "--events", "70", "--number-above", "50,70", file },
          0,
          { "Noise events above 70.0 dB (at least 1 s, runs closer than 5 s merged; none in "
            "excluded time): 1 (day 1, evening 0, night 0)",
            "2013-03-04T08:00:20+00:00 to 2013-03-04T08:00:30+00:00  10 s  Lmax 80.0 dB",
            "SEL 90.0 dB  day", "Number above 50.0 dB: 1 (day 1, evening 0, night 0)" } },
        { { "--json", "--zone", "UTC", "--events", "70", "--events-csv", csv, file },
          0,
          { "\"events\": {\"threshold\": 70.0, \"min_duration_s\": 1, \"gap_s\": 5, \"count\": 1",
            "\"sel\": 90.0, \"period\": \"day\", \"cut\": false}" } },
        // A minute of a day period: too little for a verdict.
        { { "--zone", "UTC", "--period-limits", "day=55,evening=50,night=45", file },
          0,
          { "Assessment against day=55,evening=50,night=45 (a period needs 75 % coverage",
            "2013-03-04 day      Leq 72.4  L90 60.0  Lmax 80.0  coverage 0.1 %  limit 55.0  "
            "margin -17.4  not enough data",
            "0 of 0 periods judged failed." } },
        { { "--json", "--zone", "UTC", "--period-limits", "07-19=55", "--min-coverage", "0", file },
          0,
          { "\"assessment\": {\"limits\": \"07-19=55\", \"min_coverage\": 0.00, \"judged\": 1, "
            "\"failed\": 1" } },
        { { "--events-csv", csv, file }, 2, { "--events-csv needs --events" } },
        { { "--events", "loud", file }, 2, { "--events takes a level in dB" } },
    };
    for (const auto &c : cases) {
        const StatsRun run = runStats(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        for (const QString &text : c.says)
            EXPECT_TRUE(run.out.contains(text) || run.err.contains(text))
                << text.toStdString() << run.out.left(4000).toStdString()
                << run.err.toStdString();
    }
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(),
              "file,start,end,duration_s,lmax,lmax_time,sel,period,cut\n" + file.toUtf8()
                  + ",2013-03-04T08:00:20+00:00,2013-03-04T08:00:30+00:00,10,80.0,"
                    "2013-03-04T08:00:20+00:00,90.0,day,\n");
}
