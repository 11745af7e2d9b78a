#include "recording/DataFileReader.h"
#include "support/EventWaits.h"
#include "support/MeterEmulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <csignal>

namespace {

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// vorn-monitor as a process against the emulated meter.
TEST(MonitorProcess, SurvivesASilentMeterAndStopsCleanly)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    MeterEmulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({ "--signal", "constant", "--level", "72.4" }, &why))
        << why.toStdString();
    QTemporaryDir dir;
    QProcess monitor;
    monitor.setProcessChannelMode(QProcess::MergedChannels);
    monitor.start(QStringLiteral(VORN_MONITOR),
                  { "--port", "COM1", "--folder", dir.path(), "--station", "site-1", "--interval",
                    "1min", "--limit", "60", "--on-alarm", "sleep 600" });
    ASSERT_TRUE(monitor.waitForStarted());
    QString out;
    const auto seen = [&](const QString &text, int ms) {
        return WaitUntil(
            [&] {
                out += QString::fromUtf8(monitor.readAll());
                return out.contains(text);
            },
            ms);
    };
    ASSERT_TRUE(seen("day file: site-1 ", 5000)) << out.toStdString();

    // A second monitor in the same folder is refused.
    QProcess second;
    second.start(QStringLiteral(VORN_MONITOR), { "--port", "COM1", "--folder", dir.path() });
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains(QDir(dir.path()).absolutePath().toUtf8()));

    emulator.control(QStringLiteral("silent 4"));
    EXPECT_TRUE(seen("link lost", 5000)) << out.toStdString();
    EXPECT_TRUE(seen("link back", 12000)) << out.toStdString();
    WaitUntil([] { return false; }, 2500); // samples again

    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    // The stop's bound holds for the program as shipped; under the address
    // sanitizer, on a busy machine, the same stop was seen to take over 3 s.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int StopBoundMs = 8000;
#else
    constexpr int StopBoundMs = 2000;
#endif
    // A run that crossed a minute raised the alarm: its command, still
    // running, has its 5 s of grace at the stop.
    ASSERT_TRUE(monitor.waitForFinished(StopBoundMs + 7000));
    const bool alarmed = fileText(dir.filePath("site-1 events.csv")).contains(",alarm,");
    EXPECT_LE(stopping.elapsed(), StopBoundMs + (alarmed ? 5000 : 0));
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0);
    out += QString::fromUtf8(monitor.readAll());
    EXPECT_TRUE(out.contains("stopped"));

    const QStringList days = QDir(dir.path()).entryList({ "site-1 ????-??-??.vorn" });
    ASSERT_EQ(days.size(), 1);
    const DataFileContents file = DataFileReader::readFile(dir.filePath(days.first()));
    EXPECT_TRUE(file.problem.isEmpty());
    EXPECT_GE(file.recordCount(), 3);
    for (qsizetype i = 0; i < file.recordCount(); ++i)
        EXPECT_EQ(file.level(i), "72.4");
    const QString events = fileText(dir.filePath("site-1 events.csv"));
    for (const char *event :
         { ",started,", ",day file,", ",link lost,", ",link back,", ",stopped," })
        EXPECT_TRUE(events.contains(QLatin1String(event))) << event;
    // The alarm command holds the stop up; nothing (no false "link lost")
    // is written after "stopped".
    EXPECT_TRUE(events.trimmed().section('\n', -1).contains(",stopped,")) << events.toStdString();
    // The day file's details name this computer's zone.
    const QString details = fileText(dir.filePath(days.first() + ".json"));
    EXPECT_TRUE(details.contains("\"time_zone\"")) << details.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("Fake.state")));
}

// After SIGKILL (or a power cut) the next start recovers the day file and
// goes on in a new one; no record written before the kill is lost.
TEST(MonitorProcess, AKilledMonitorsDayFileIsRecoveredAtTheNextStart)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    MeterEmulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({ "--signal", "constant", "--level", "55.5" }, &why))
        << why.toStdString();
    QTemporaryDir dir;
    const QStringList arguments { "--port", "COM1", "--folder", dir.path(), "--station", "yard" };
    QString out;
    const auto runUntil = [&](QProcess &monitor, const QString &text, int ms) {
        return WaitUntil(
            [&] {
                out += QString::fromUtf8(monitor.readAll());
                return out.contains(text);
            },
            ms);
    };
    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(QStringLiteral(VORN_MONITOR), arguments);
    ASSERT_TRUE(runUntil(first, "day file: yard ", 5000)) << out.toStdString();
    WaitUntil([] { return false; }, 3500);
    first.kill();
    ASSERT_TRUE(first.waitForFinished(3000));
    ASSERT_TRUE(QFile::exists(dir.filePath("Fake")));

    out.clear();
    // The second run as a service would run it: its manager's socket hears
    // it is ready, from every tick (the watchdog), and that it stops.
    const QByteArray socketPath = QFile::encodeName(dir.filePath("notify"));
    const int manager = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(manager, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NOTIFY_SOCKET", QString::fromLocal8Bit(socketPath));
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(VORN_MONITOR), arguments);
    ASSERT_TRUE(runUntil(second, "day file: yard ", 5000)) << out.toStdString();
    EXPECT_TRUE(out.contains("recovered: ")) << out.toStdString();
    WaitUntil([] { return false; }, 2500);
    second.terminate();
    ASSERT_TRUE(second.waitForFinished(3000));
    EXPECT_EQ(second.exitCode(), 0);
    QStringList told;
    char datagram[256];
    for (ssize_t n; (n = ::recv(manager, datagram, sizeof datagram, MSG_DONTWAIT)) > 0;)
        told << QString::fromLatin1(datagram, int(n));
    ::close(manager);
    EXPECT_EQ(told.value(0), "READY=1") << told.join(' ').toStdString();
    EXPECT_GE(told.count("WATCHDOG=1"), 2) << told.join(' ').toStdString();
    EXPECT_EQ(told.value(told.size() - 1), "STOPPING=1") << told.join(' ').toStdString();
    // The killed run is said at the restart.
    EXPECT_TRUE(fileText(dir.filePath("yard events.csv"))
                    .contains(",restarted,\"the last run ended without a stop after "))
        << fileText(dir.filePath("yard events.csv")).toStdString();

    const QStringList days = QDir(dir.path()).entryList({ "yard *.vorn" }, QDir::Files, QDir::Name);
    ASSERT_EQ(days.size(), 2) << days.join(", ").toStdString() << out.toStdString()
                              << fileText(dir.filePath("yard events.csv")).toStdString();
    EXPECT_TRUE(days.contains(days.first().section(' ', 0, 1).remove(".vorn") + " (2).vorn"))
        << days.join(", ").toStdString();
    for (const QString &day : days) {
        const DataFileContents file = DataFileReader::readFile(dir.filePath(day));
        EXPECT_TRUE(file.problem.isEmpty()) << day.toStdString();
        EXPECT_GE(file.recordCount(), 2) << day.toStdString();
    }
    EXPECT_TRUE(fileText(dir.filePath("yard events.csv")).contains(",recovered,"));
    EXPECT_FALSE(QFile::exists(dir.filePath("Fake.state")));
    // The killed run's last interval, written from its recovered readings,
    // and the second run's, both cut short.
    const QString day = days.last().chopped(5); // "yard DATE", sorted after "yard DATE (2)"
    const QStringList partial = fileText(dir.filePath(day + " intervals.csv"))
                                    .split('\n')
                                    .filter(QRegularExpression(",yes$"));
    ASSERT_EQ(partial.size(), 2) << out.toStdString();
    EXPECT_TRUE(partial[0].startsWith(day + ".vorn,")) << partial[0].toStdString();
    EXPECT_TRUE(partial[1].startsWith(day + " (2).vorn,")) << partial[1].toStdString();
}

// Each way the meter or the process goes is said once in the events file,
// and its end once: a hang-up stops as SIGTERM does, a missing port is a
// lost link that makes no day file, a pulled adapter comes back.
TEST(MonitorProcess, StopsAndLostLinksAreSaidOnce)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    const struct
    {
        const char *name;
        const char *port;
        const char *control; // sent once the monitor runs; empty: none
        int signal;
        int lost;
        int back;
        bool dayFile;
        const char *cause = "";
        int pausedS = 0; // SIGSTOP, then SIGCONT after this many seconds
    } cases[] = {
        { "hang-up", "COM1", "", SIGHUP, 0, 0, true },
        { "missing port", "COM9", "", SIGTERM, 1, 0, false },
        { "pulled adapter", "COM1", "unplug 3", SIGTERM, 1, 1, true },
        // Frames that fail the framing check come without pause: no reading
        // for seconds is a lost link all the same, with its cause.
        { "broken frames", "COM1", "broken 40", SIGTERM, 1, 1, true,
          ",link lost,frames damaged: the meter on COM1 sends no level it can show" },
        // A suspended station: its own gap, said when it began, no lost link.
        { "stopped for 8 s", "COM1", "", SIGTERM, 0, 0, true, ",not running,the station was not running from ", 8 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MeterEmulator emulator;
        QString why;
        ASSERT_TRUE(emulator.start({ "--signal", "constant", "--level", "61.2" }, &why))
            << why.toStdString();
        QTemporaryDir dir;
        QProcess monitor;
        monitor.setProcessChannelMode(QProcess::MergedChannels);
        monitor.start(QStringLiteral(VORN_MONITOR),
                      { "--port", c.port, "--folder", dir.path(), "--station", "post" });
        ASSERT_TRUE(monitor.waitForStarted());
        WaitUntil([] { return false; }, 3000);
        if (*c.control) {
            emulator.control(QLatin1String(c.control));
            WaitUntil([] { return false; }, 12000);
        }
        if (c.pausedS > 0) {
            ::kill(pid_t(monitor.processId()), SIGSTOP);
            WaitUntil([] { return false; }, c.pausedS * 1000);
            ::kill(pid_t(monitor.processId()), SIGCONT);
            WaitUntil([] { return false; }, 3000);
        }
        ::kill(pid_t(monitor.processId()), c.signal);
        ASSERT_TRUE(monitor.waitForFinished(5000));
        EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(monitor.exitCode(), 0);
        const QString events = fileText(dir.filePath("post events.csv"));
        EXPECT_EQ(events.count(",link lost,"), c.lost) << events.toStdString();
        EXPECT_EQ(events.count(",link back,"), c.back) << events.toStdString();
        EXPECT_TRUE(events.contains(QLatin1String(c.cause))) << events.toStdString();
        EXPECT_EQ(events.count(",stopped,"), 1) << events.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList({ "post *.vorn" }).size(), c.dayFile ? 1 : 0);
    }
}

// Steps of the clock, made from outside by libfaketime at a fixed site
// time: no stamp is written twice, no row ends before it starts, what was
// skipped is said, and readings stamped while the clock was set ahead are
// named when it is taken back.
TEST(MonitorProcess, AClockSteppedBackWritesNoStampTwice)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    QString library;
    for (const char *candidate : { "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1",
                                   "/usr/lib/aarch64-linux-gnu/faketime/libfaketimeMT.so.1",
                                   "/usr/lib/faketime/libfaketimeMT.so.1" })
        if (QFile::exists(QLatin1String(candidate)))
            library = QLatin1String(candidate);
    if (library.isEmpty())
        GTEST_SKIP() << "libfaketime is not installed";
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "libfaketime and the address sanitizer both wrap the clock calls";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "libfaketime and the address sanitizer both wrap the clock calls";
#endif
#endif
    MeterEmulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({ "--signal", "constant", "--level", "58.3" }, &why))
        << why.toStdString();
    struct Step
    {
        int afterMs;
        const char *clock; // the time the clock is set to then
    };
    const struct
    {
        const char *name;
        std::vector<Step> steps;
        std::vector<const char *> said;
        int notRecorded;
    } cases[] = {
        { "back 12 s",
          { { 0, "@2026-06-01 10:00:00" }, { 6000, "@2026-06-01 09:59:54" }, { 18000, nullptr } },
          { "the clock went back 1" },
          1 },
        { "forward 2 h, then back",
          { { 0, "@2026-06-01 10:00:00" },
            { 5000, "@2026-06-01 12:00:05" },
            { 8000, "@2026-06-01 10:00:13" },
            { 5000, nullptr } },
          { "the clock went forward 7", "the clock went back 7", "were stamped while it was ahead" },
          1 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString clock = dir.filePath("clock");
        const auto setClock = [&](const char *text) {
            QFile file(clock);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text);
        };
        QProcess monitor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", library);
        env.insert("FAKETIME_TIMESTAMP_FILE", clock);
        env.insert("FAKETIME_NO_CACHE", "1");
        env.insert("TZ", "UTC");
        // Timers keep real time: only the wall clock steps.
        env.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
        monitor.setProcessEnvironment(env);
        monitor.setProcessChannelMode(QProcess::MergedChannels);
        for (const Step &step : c.steps) {
            WaitUntil([] { return false; }, step.afterMs);
            if (!step.clock)
                break;
            setClock(step.clock);
            if (monitor.state() == QProcess::NotRunning) {
                monitor.start(QStringLiteral(VORN_MONITOR),
                              { "--port", "COM1", "--folder", dir.path(), "--station", "ntp",
                                "--interval", "1min" });
                ASSERT_TRUE(monitor.waitForStarted());
            }
        }
        ::kill(pid_t(monitor.processId()), SIGTERM);
        ASSERT_TRUE(monitor.waitForFinished(5000));
        const QStringList days = QDir(dir.path()).entryList({ "ntp *.vorn" });
        ASSERT_EQ(days, QStringList { "ntp 2026-06-01.vorn" });
        const DataFileContents file = DataFileReader::readFile(dir.filePath(days.front()));
        // Under load the start may take seconds: a few records are enough.
        ASSERT_GE(file.recordCount(), 5);
        for (qsizetype i = 1; i < file.recordCount(); ++i)
            EXPECT_LT(file.time(i - 1), file.time(i)) << i;
        const QString events = fileText(dir.filePath("ntp events.csv"));
        const QStringList steps = events.split('\n').filter(",clock step,");
        for (const char *text : c.said)
            EXPECT_EQ(steps.filter(QLatin1String(text)).size(), 1) << text << events.toStdString();
        EXPECT_EQ(events.count(",not recorded,"), c.notRecorded) << events.toStdString();
        const QStringList rows
            = fileText(dir.filePath("ntp 2026-06-01 intervals.csv")).split('\n', Qt::SkipEmptyParts);
        for (const QString &row : rows.mid(1)) {
            const QDateTime start = QDateTime::fromString(row.section(',', 1, 1), Qt::ISODate);
            const QDateTime end = QDateTime::fromString(row.section(',', 2, 2), Qt::ISODate);
            EXPECT_LT(start, end) << row.toStdString();
        }
    }
}

// --check: ten seconds of the meter against the calibrator, judged, and
// logged only when stable, failed when outside the tolerance.
TEST(MonitorProcess, ACheckIsLoggedOnlyWhenStable)
{
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    const struct
    {
        QStringList emulator;
        const char *control; // sent two seconds into the check
        int exitCode;
        const char *says;
    } rows[] = {
        { { "--signal", "constant", "--level", "94.1" },
          nullptr,
          0,
          "Stable, within the tolerance; logged" },
        // Logged as the window logs it, and failed.
        { { "--signal", "constant", "--level", "96.0" },
          nullptr,
          1,
          "Stable, but outside the tolerance; logged" },
        { { "--signal", "constant", "--level", "94.1", "--over", "on" },
          nullptr,
          1,
          "had no number" },
        { { "--signal", "constant", "--level", "94.1" },
          "silent 5",
          1,
          "link to the meter was lost" },
    };
    QTemporaryDir dir;
    for (const auto &row : rows) {
        MeterEmulator emulator;
        QString why;
        ASSERT_TRUE(emulator.start(row.emulator, &why)) << why.toStdString();
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(QStringLiteral(VORN_MONITOR),
                    { "--check", "94.0", "--port", "COM1", "--folder", dir.path(), "--meter-serial",
                      "M1", "--station", "fence", "--mqtt", "mqtt://127.0.0.1:1" });
        if (row.control) {
            WaitUntil([] { return false; }, 2000);
            emulator.control(QLatin1String(row.control));
        }
        ASSERT_TRUE(check.waitForFinished(20000));
        const QString out = QString::fromUtf8(check.readAll());
        EXPECT_EQ(check.exitCode(), row.exitCode) << out.toStdString();
        EXPECT_TRUE(out.contains(QLatin1String(row.says))) << out.toStdString();
    }
    // Two stable checks, two rows under the header.
    const QStringList log
        = fileText(dir.filePath("calibration.csv")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log[1].contains(",M1,,94.00,94.10,94.10,94.10,0.10,0.50")) << log[1].toStdString();
    EXPECT_TRUE(log[2].contains(",M1,,94.00,96.00,96.00,96.00,2.00,0.50")) << log[2].toStdString();
    // The broker hears of both with the station's next run: they wait in its spool.
    const QStringList spool
        = fileText(dir.filePath("fence mqtt spool.jsonl")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(spool.size(), 2);
    EXPECT_TRUE(spool[0].contains("vorn/fence/calibration")
                && spool[0].contains(R"(\"event\": \"within\", \"calibrator_level\": 94.0, \"mean\": 94.10, \"deviation\": 0.10)"))
        << spool[0].toStdString();
    EXPECT_TRUE(spool[1].contains(R"(\"event\": \"outside\")")) << spool[1].toStdString();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
