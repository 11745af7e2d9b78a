#include "analysis/output/Outputs.h"
#include "recording/DataFileReader.h"
#include "analysis/records/SiteZone.h"
#include "analysis/records/CivilTime.h"
#include "station/IntervalClock.h"
#include "station/LineAppender.h"
#include "station/Monitor.h"
#include "station/MonitorOptions.h"
#include "station/ReadingMinutes.h"
#include "station/Station.h"
#include "support/EventWaits.h"
#include "support/FakeSerialPort.h"
#include "support/TestZone.h"
#include "platform/ShellCommand.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <iostream>

namespace {

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A station in a folder of its own, run second by second on an injected
// clock (the local zone of this test is Europe/Berlin).
class StationTest : public ::testing::Test
{
protected:
    Station &station(const QString &limit = QStringLiteral("75"), int interval = 900)
    {
        MonitorOptions options;
        options.folder = dir.path();
        options.station = QStringLiteral("fence");
        options.intervalSeconds = interval;
        options.limits = *LimitSchedule::parse(limit);
        StationHooks hooks;
        hooks.say = [this](const QString &line) { said << line; };
        hooks.alarm = [this](const QString &event, const StationInterval &) { alarms << event; };
        m_station = std::make_unique<Station>(options, hooks);
        EXPECT_TRUE(m_station->lockFolder().isEmpty());
        return *m_station;
    }
    // Seconds from a local time, each at the level the function gives.
    void run(const QDateTime &from, int seconds, const std::function<double(int)> &level)
    {
        for (int i = 0; i < seconds; ++i) {
            const double l = level(i);
            m_station->tick(from.addSecs(i), l, QString::number(l, 'f', 1), boards);
        }
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    HeaderBoards boards { QStringLiteral("A"), QStringLiteral("Slow"), QStringLiteral("30-90") };
    QStringList said;
    QStringList alarms;
    std::unique_ptr<Station> m_station;
};

QDateTime local(const char *text)
{
    return QDateTime::fromString(QLatin1String(text), Qt::ISODate);
}

TEST_F(StationTest, MidnightStartsTheNextDayFileWithTheFirstSampleAfterIt)
{
    station();
    run(local("2026-03-12T23:59:50"), 20, [](int i) { return 50.0 + i; });
    m_station->stop(local("2026-03-13T00:00:10"), boards);
    const DataFileContents first = DataFileReader::readFile(path("fence 2026-03-12.vorn"));
    const DataFileContents second = DataFileReader::readFile(path("fence 2026-03-13.vorn"));
    ASSERT_EQ(first.recordCount(), 10);
    ASSERT_EQ(second.recordCount(), 10);
    EXPECT_EQ(first.time(9), "2026/03/12 23:59:59");
    EXPECT_EQ(second.time(0), "2026/03/13 00:00:00");
    EXPECT_EQ(second.level(0), "60.0");
    EXPECT_EQ(first.kind, DataFileKind::RealTime);

    // A restart on the same day overwrites nothing.
    station();
    run(local("2026-03-13T08:00:00"), 3, [](int) { return 40.0; });
    m_station->stop(local("2026-03-13T08:00:03"), boards);
    EXPECT_EQ(DataFileReader::readFile(path("fence 2026-03-13 (2).vorn")).recordCount(), 3);
    EXPECT_EQ(DataFileReader::readFile(path("fence 2026-03-13.vorn")).recordCount(), 10);
}

TEST_F(StationTest, IntervalRowsEqualTheStatisticsOfTheDayFileAndAlarmsFollowTheLimits)
{
    // Quiet by day, loud in the evening, quiet again at night.
    station(QStringLiteral("07-19=55,19-23=50,23-07=45"), 900);
    run(local("2026-03-12T18:30:00"), 5400, [](int i) {
        return i < 1800 ? 52.0 + (i % 7) * 0.3 : i < 3600 ? 58.0 : 40.0 + (i % 3);
    });
    m_station->stop(local("2026-03-12T20:00:00"), boards);

    const QStringList rows = linesOf(path("fence 2026-03-12 intervals.csv"));
    ASSERT_EQ(rows.size(), 7);
    EXPECT_EQ(rows[0],
              "file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90,limit,state,partial");
    AnalysisRequest request;
    request.intervalLength = 900;
    const DataFileContents file = DataFileReader::readFile(path("fence 2026-03-12.vorn"));
    // The interval table, less the verdict's columns at the end of each row
    // (the station's own table keeps its columns).
    QStringList stats
        = formatReports({ analyseFile("fence 2026-03-12.vorn", file, request) }, OutputFormat::Csv)
              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &row : stats)
        row = row.section(QLatin1Char(','), 0, -4);
    ASSERT_EQ(stats.size(), 7);
    const QStringList limits { "55", "55", "50", "50", "50", "50" };
    const QStringList states { "ok", "ok", "over", "over", "ok", "ok" };
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(rows[i], stats[i] + "," + limits[i - 1] + "," + states[i - 1] + ",")
            << rows[i].toStdString() << " against " << stats[i].toStdString();
    }
    EXPECT_EQ(alarms, QStringList({ "alarm", "clear" }));
    EXPECT_TRUE(said.contains(QString::fromUtf8("19:00–19:15 Leq 58.00 dB (limit 50) over")));
    const QStringList events = linesOf(path("fence events.csv"));
    ASSERT_EQ(events.size(), 5); // header, day file, alarm, clear, stopped
    EXPECT_TRUE(events[2].startsWith("2026-03-12T19:15:00+01:00,alarm,"))
        << events[2].toStdString();
    EXPECT_TRUE(events[3].startsWith("2026-03-12T19:45:00+01:00,clear,"))
        << events[3].toStdString();
}

// A table that cannot be written is said (once), and sampling goes on.
TEST_F(StationTest, AnIntervalTableThatCannotBeWrittenIsSaid)
{
    station(QStringLiteral("75"), 60);
    QDir(dir.path()).mkdir("fence 2026-03-12 intervals.csv"); // a folder in its way
    run(local("2026-03-12T10:00:00"), 180, [](int) { return 50.0; });
    m_station->stop(local("2026-03-12T10:03:00"), boards);
    EXPECT_EQ(said.filter("intervals.csv\" cannot be written").size(), 1)
        << said.join('\n').toStdString();
    EXPECT_EQ(DataFileReader::readFile(path("fence 2026-03-12.vorn")).recordCount(), 180);
}

TEST_F(StationTest, TheDaysOfTheClockChangesKeepEveryIntervalOnce)
{
    struct Case
    {
        QDate day;
        int hours; // of real time from 01:30
        int rows;
        QStringList starts; // some that must be there
        QString absent;
    };
    const QList<Case> cases {
        // Spring: 02:00 to 03:00 does not exist, the day has 23 hours.
        { QDate(2026, 3, 29),
          2,
          8,
          { "2026-03-29T01:45:00+01:00", "2026-03-29T03:00:00+02:00" },
          "T02:" },
        // Autumn: 02:00 to 03:00 comes twice, once in summer time.
        { QDate(2026, 10, 25),
          3,
          12,
          { "2026-10-25T02:00:00+02:00", "2026-10-25T02:00:00+01:00" },
          "T03:30" },
    };
    for (const Case &c : cases) {
        station(QStringLiteral("75"), 900);
        const QDateTime from(c.day, QTime(1, 30), QTimeZone("Europe/Berlin"));
        run(from.toLocalTime(), c.hours * 3600, [](int) { return 60.0; });
        m_station->stop(from.addSecs(c.hours * 3600).toLocalTime(), boards);
        const QString day = c.day.toString(Qt::ISODate);
        const QStringList rows = linesOf(path("fence " + day + " intervals.csv"));
        ASSERT_EQ(rows.size(), c.rows + 1) << day.toStdString();
        QSet<QString> starts;
        for (int i = 1; i < rows.size(); ++i)
            starts << rows[i].section(QLatin1Char(','), 1, 1);
        EXPECT_EQ(starts.size(), c.rows) << day.toStdString();
        for (const QString &start : c.starts)
            EXPECT_TRUE(starts.contains(start)) << start.toStdString();
        for (const QString &start : starts)
            EXPECT_FALSE(start.contains(c.absent)) << start.toStdString();
        // vorn-stats finds the same rows in the day file.
        AnalysisRequest request;
        request.intervalLength = 900;
        const FileFigures report
            = analyseFile("f", DataFileReader::readFile(path("fence " + day + ".vorn")), request);
        EXPECT_EQ(report.intervals.size(), size_t(c.rows)) << day.toStdString();
    }
}

// The station's folder, byte for byte: a night across the autumn change
// with an alarm raised and cleared, a clock step forward and a stop, on an
// injected clock (tests/golden/station; VORN_UPDATE_GOLDEN=1 writes them).
// A change to any of these files changes its golden file in the same commit.
TEST_F(StationTest, TheFolderOfAScriptedNightIsItsGoldenFiles)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the golden folder is compared where it was made, on Linux";
#endif
    station(QStringLiteral("23-07=45"), 900);
    const QDateTime from(QDate(2026, 10, 24), QTime(23, 40), QTimeZone("Europe/Berlin"));
    // Quiet, a loud half hour from 01:00 (an alarm), quiet again (a clear).
    const auto level = [](int i) {
        return i >= 4800 && i < 6600 ? 52.0 + (i % 7) * 0.4 : 40.0 + (i % 11) * 0.3;
    };
    const int seconds = 4 * 3600 + 1200; // to 03:00 CET, the repeated hour twice
    run(from.toLocalTime(), seconds / 2, level);
    // The clock set forward by 5 minutes, then on from there.
    const QDateTime stepped = from.addSecs(seconds / 2 + 300).toLocalTime();
    m_station->clockWentForward(from.addSecs(seconds / 2 - 1).toLocalTime(), stepped, 301);
    for (int i = 0; i < seconds / 2; ++i) {
        const double l = level(seconds / 2 + i);
        m_station->tick(stepped.addSecs(i), l, QString::number(l, 'f', 1), boards);
    }
    m_station->stop(stepped.addSecs(seconds / 2), boards);

    const QString golden = QStringLiteral(VORN_SOURCE_DIR "/tests/golden/station");
    const bool update = qEnvironmentVariableIsSet("VORN_UPDATE_GOLDEN");
    // The small files byte for byte; the day files and the working file
    // (a night of readings each) by their SHA-256, listed in one file.
    constexpr qint64 Small = 16 * 1024;
    QByteArray sums;
    QStringList small;
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files, QDir::Name)) {
        QFile made(path(name));
        ASSERT_TRUE(made.open(QIODevice::ReadOnly));
        // The folder is made anew for each run.
        const QByteArray bytes = made.readAll().replace(
            QDir::toNativeSeparators(dir.path()).toUtf8(), "FOLDER");
        if (bytes.size() > Small) {
            sums += QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + "  "
                + name.toUtf8() + '\n';
            continue;
        }
        small << name;
        QFile expected(QDir(golden).filePath(name));
        if (update) {
            QDir().mkpath(golden);
            ASSERT_TRUE(expected.open(QIODevice::WriteOnly));
            expected.write(bytes);
            continue;
        }
        ASSERT_TRUE(expected.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(bytes.toStdString(), expected.readAll().toStdString()) << name.toStdString();
    }
    QFile sumsFile(QDir(golden).filePath(QStringLiteral("SHA256SUMS")));
    if (update) {
        ASSERT_TRUE(sumsFile.open(QIODevice::WriteOnly));
        sumsFile.write(sums);
        return;
    }
    ASSERT_TRUE(sumsFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(sums.toStdString(), sumsFile.readAll().toStdString());
    small << QStringLiteral("SHA256SUMS");
    small.sort();
    EXPECT_EQ(small, QDir(golden).entryList(QDir::Files, QDir::Name)) << "a file more or less";
}

// Intervals over an hour across both clock changes (2 h and 3 h): the
// station's rows are the moments, readings and levels vorn-stats finds in the
// day file, and none ends before it starts.
TEST_F(StationTest, LongIntervalsAreTheMomentsVornStatsCuts)
{
    const QTimeZone berlin("Europe/Berlin");
    for (const QDate day : { QDate(2026, 3, 29), QDate(2026, 10, 25) })
        for (const int length : { 7200, 10800 }) {
            const QString name = QStringLiteral("%1 %2").arg(day.toString(Qt::ISODate)).arg(length);
            SCOPED_TRACE(name.toStdString());
            QDir(dir.path()).mkpath(name);
            MonitorOptions options;
            options.folder = dir.filePath(name);
            options.station = QStringLiteral("st");
            options.intervalSeconds = length;
            options.limits = *LimitSchedule::parse(QStringLiteral("40"));
            Station st(options, {});
            ASSERT_TRUE(st.lockFolder().isEmpty());
            // From 00:58 to 04:02 by the clock, over the change at 02:00.
            const QDateTime from(day, QTime(0, 58), berlin);
            const QDateTime to(day, QTime(4, 2), berlin);
            for (QDateTime t = from; t < to; t = t.addSecs(1)) {
                const double level = 40.0 + double(t.toSecsSinceEpoch() % 37);
                st.tick(t.toLocalTime(), level, QString::number(level, 'f', 1), boards);
            }
            st.stop(to.toLocalTime(), boards);
            AnalysisRequest request;
            request.intervalLength = length;
            const QString dayFile = QDir(options.folder).filePath("st " + day.toString(Qt::ISODate)
                                                                  + ".vorn");
            const FileFigures report = analyseFile("f", DataFileReader::readFile(dayFile), request);
            QStringList expected;
            for (const IntervalLevel &i : report.intervals)
                expected << intervalCsvFields(QString(), i).mid(1, 5).join(',');
            const QStringList rows = linesOf(
                QDir(options.folder).filePath("st " + day.toString(Qt::ISODate) + " intervals.csv"));
            ASSERT_GT(rows.size(), 2);
            // The last row is partial (the stop), the others whole.
            for (int r = 1; r + 1 < rows.size(); ++r) {
                const QString fields = rows[r].split(',').mid(1, 5).join(',');
                EXPECT_TRUE(expected.contains(fields))
                    << fields.toStdString() << "\n" << expected.join('\n').toStdString();
                const QStringList f = rows[r].split(',');
                EXPECT_LT(QDateTime::fromString(f[1], Qt::ISODate),
                          QDateTime::fromString(f[2], Qt::ISODate));
            }
        }
}

// Rows of the events file with this event name.
QStringList eventRows(const QString &path, const QString &name)
{
    return linesOf(path).filter(QLatin1Char(',') + name + QLatin1Char(','));
}

// Every stamp of a day file comes once, in order, and the interval table
// has one row per window, whatever the clock did.
void expectOneStampASecond(const QString &path)
{
    const DataFileContents file = DataFileReader::readFile(path);
    for (qsizetype i = 1; i < file.recordCount(); ++i)
        ASSERT_LT(file.time(i - 1), file.time(i)) << i;
}

TEST_F(StationTest, AClockThatStepsWritesNoStampTwiceAndSaysWhatItSkipped)
{
    const QTimeZone berlin("Europe/Berlin");
    struct Case
    {
        const char *name;
        QDateTime from;
        int before; // seconds before the step
        int step; // seconds the clock jumps (back when negative)
        int after;
        qsizetype records;
        const char *notRecorded; // empty when nothing is lost
    };
    const Case cases[] = {
        { "back 30 s", QDateTime(QDate(2026, 6, 1), QTime(10, 0), berlin), 60, -30, 90, 120,
          "30 readings from 10:00:30 to 10:00:59: the clock went back 30 s" },
        { "forward 2 min", QDateTime(QDate(2026, 6, 1), QTime(10, 0), berlin), 60, 120, 60, 120,
          "" },
        // The repeated autumn hour goes on in UTC: no step.
        { "autumn", QDateTime(QDate(2026, 10, 25), QTime(2, 59), berlin), 60, 0, 60, 120, "" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        said.clear();
        QDir(dir.path()).removeRecursively();
        station(QStringLiteral("75"), 60);
        for (int i = 0; i < c.before + c.after; ++i) {
            const int shift = i < c.before ? 0 : c.step;
            const QDateTime at = c.from.addSecs(i + shift).toLocalTime();
            m_station->tick(at, 50.0, QStringLiteral("50.0"), boards);
        }
        m_station->stop(c.from.addSecs(c.before + c.after + c.step).toLocalTime(), boards);
        const QString day = c.from.date().toString(Qt::ISODate);
        const QString dayFile = path("fence " + day + ".vorn");
        EXPECT_EQ(DataFileReader::readFile(dayFile).recordCount(), c.records);
        expectOneStampASecond(dayFile);
        QSet<QString> starts;
        const QStringList rows = linesOf(path("fence " + day + " intervals.csv"));
        for (const QString &row : rows.mid(1))
            starts << row.section(QLatin1Char(','), 1, 1);
        EXPECT_EQ(starts.size(), rows.size() - 1);
        const QString events = path("fence events.csv");
        EXPECT_EQ(eventRows(events, "clock step").size(), c.step < 0 ? 1 : 0);
        const QStringList lost = eventRows(events, "not recorded");
        if (*c.notRecorded) {
            ASSERT_EQ(lost.size(), 1);
            EXPECT_TRUE(lost.front().endsWith(QLatin1String(c.notRecorded)))
                << lost.front().toStdString();
        } else {
            EXPECT_TRUE(lost.isEmpty());
        }
    }
}

// A level judged against a limit is worded as it was judged wherever it goes:
// 45.05 over a limit of 45 is never "45.0" (cut) nor "45.1" (rounded) beside
// "over", in the station's line, its events file, the broker's alarm or the
// alarm command's VORN_LEQ.
TEST_F(StationTest, ALevelJustOverItsLimitIsWordedAsItWasJudged)
{
    station(QStringLiteral("45"), 60);
    // Readings of 45.0 and 45.1 in turn: Leq 45.05.
    run(local("2026-06-01T10:00:00"), 60, [](int i) { return i % 2 ? 45.1 : 45.0; });
    run(local("2026-06-01T10:01:00"), 1, [](int) { return 40.0; });
    m_station->stop(local("2026-06-01T10:01:01"), boards);
    ASSERT_EQ(alarms, QStringList({ "alarm" }));
    EXPECT_TRUE(said.contains(QString::fromUtf8("10:00–10:01 Leq 45.05 dB (limit 45) over")))
        << said.join('\n').toStdString();
    const QStringList alarm = eventRows(path("fence events.csv"), "alarm");
    ASSERT_EQ(alarm.size(), 1);
    EXPECT_TRUE(alarm.front().endsWith(" Leq 45.05 dB, limit 45 dB\"")) << alarm.front().toStdString();
    StationInterval interval;
    interval.start = local("2026-06-01T10:00:00");
    interval.end = local("2026-06-01T10:01:00");
    interval.levels.leq = 45.0501;
    interval.limit = 45;
    EXPECT_TRUE(Monitor::alarmJson(QStringLiteral("alarm"), interval).contains("\"leq\": 45.05,"));
}

// Hours no period covers have no limit: nothing stays raised in them.
TEST_F(StationTest, HoursWithoutALimitClearARaisedAlarm)
{
    station(QStringLiteral("07-19=50"), 900);
    run(local("2026-06-01T18:45:00"), 1800, [](int) { return 60.0; });
    m_station->stop(local("2026-06-01T19:15:00"), boards);
    EXPECT_EQ(alarms, QStringList({ "alarm", "clear" }));
    const QStringList clear = eventRows(path("fence events.csv"), "clear");
    ASSERT_EQ(clear.size(), 1);
    EXPECT_TRUE(clear.front().endsWith(",no limit from 19:00")) << clear.front().toStdString();
}

// An alarm raised, then the state file deleted or damaged before a restart:
// the station says so, takes the raised alarm from its events file, and
// clears it with the next interval under the limit.
TEST_F(StationTest, ALostStateFileForgetsNoRaisedAlarm)
{
    for (const char *damage : { "", "{\"alarm\": tru" }) {
        SCOPED_TRACE(*damage ? "damaged" : "deleted");
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        station(QStringLiteral("50"), 900);
        run(local("2026-06-01T10:00:00"), 900, [](int) { return 60.0; });
        m_station->stop(local("2026-06-01T10:15:00"), boards);
        ASSERT_EQ(eventRows(path("fence events.csv"), "alarm").size(), 1);
        if (*damage) {
            QFile state(path("fence state.json"));
            ASSERT_TRUE(state.open(QIODevice::WriteOnly));
            state.write(damage);
        } else {
            ASSERT_TRUE(QFile::remove(path("fence state.json")));
        }
        station(QStringLiteral("50"), 900);
        run(local("2026-06-01T10:30:00"), 900, [](int) { return 30.0; });
        m_station->stop(local("2026-06-01T10:45:00"), boards);
        EXPECT_EQ(eventRows(path("fence events.csv"), "clear").size(), 1)
            << linesOf(path("fence events.csv")).join('\n').toStdString();
        const QStringList lost = eventRows(path("fence events.csv"), "state lost");
        ASSERT_EQ(lost.size(), 1);
        EXPECT_TRUE(lost.front().endsWith(QStringLiteral(
            "fence state.json %1; the alarm state is taken from the events file: raised")
                                              .arg(*damage ? "is damaged" : "is missing")))
            << lost.front().toStdString();
        m_station.reset();
    }
}

// A stop cuts the running interval at its true end, marked partial and
// judged against nothing; the next run goes on from there with the alarm
// state the last one left, and the day file is made with the first reading.
TEST_F(StationTest, AStopCutsTheRunningIntervalAndARestartGoesOnFromIt)
{
    const auto runFrom = [&](const char *from, int seconds, double level) {
        station(QStringLiteral("50"), 900);
        run(local(from), seconds, [level](int) { return level; });
    };
    // Ten silent seconds make no day file.
    station(QStringLiteral("50"), 900);
    for (int i = 0; i < 10; ++i)
        m_station->tick(local("2026-06-01T09:59:50").addSecs(i), std::nullopt, {}, boards);
    m_station->stop(local("2026-06-01T10:00:00"), boards);
    EXPECT_TRUE(QDir(dir.path()).entryList({ "*.vorn" }).isEmpty());

    runFrom("2026-06-01T10:00:00", 1350, 60.0); // to 10:22:30
    m_station->stop(local("2026-06-01T10:22:30"), boards);
    runFrom("2026-06-01T10:23:00", 420, 40.0); // to 10:30:00
    m_station->stop(local("2026-06-01T10:30:00"), boards);

    const QStringList rows = linesOf(path("fence 2026-06-01 intervals.csv"));
    ASSERT_EQ(rows.size(), 4) << rows.join('\n').toStdString();
    EXPECT_TRUE(rows[0].endsWith(",limit,state,partial"));
    const struct
    {
        const char *start;
        const char *end;
        const char *readings;
        const char *tail;
    } expected[] = {
        { "2026-06-01T10:00:00+02:00", "2026-06-01T10:15:00+02:00", "900", "50,over," },
        { "2026-06-01T10:15:00+02:00", "2026-06-01T10:22:30+02:00", "450", "50,over,yes" },
        { "2026-06-01T10:22:30+02:00", "2026-06-01T10:30:00+02:00", "420", "50,ok," },
    };
    for (int i = 0; i < 3; ++i) {
        const QStringList fields = rows[i + 1].split(QLatin1Char(','));
        EXPECT_EQ(fields[1], expected[i].start) << i;
        EXPECT_EQ(fields[2], expected[i].end) << i;
        EXPECT_EQ(fields[3], expected[i].readings) << i;
        EXPECT_TRUE(rows[i + 1].endsWith(QLatin1String(expected[i].tail))) << i;
    }
    // One alarm, raised by the whole row, cleared after the restart.
    const QString events = path("fence events.csv");
    EXPECT_EQ(eventRows(events, "alarm").size(), 1);
    ASSERT_EQ(eventRows(events, "clear").size(), 1);
    EXPECT_TRUE(eventRows(events, "clear").front().startsWith("2026-06-01T10:30:00+02:00"));
    EXPECT_EQ(alarms, QStringList({ "alarm", "clear" }));

    // Stopped in the second of its last reading: its row ends a second later.
    runFrom("2026-06-01T10:40:00", 51, 40.0);
    m_station->stop(local("2026-06-01T10:40:50"), boards);
    const QStringList last = linesOf(path("fence 2026-06-01 intervals.csv")).last().split(',');
    EXPECT_EQ(last[1], "2026-06-01T10:30:00+02:00");
    EXPECT_EQ(last[2], "2026-06-01T10:40:51+02:00");
    EXPECT_EQ(last[3], "51");

    StationInterval partial;
    partial.partial = true;
    EXPECT_TRUE(Monitor::intervalJson(partial).contains("\"partial\": true"));
}

// Killed in the second run of the repeated autumn hour: the next start
// writes the killed run's last interval (partial, in that run), and the day
// file begun in the second run is read in that run by vorn-stats too.
TEST_F(StationTest, AKillInTheRepeatedHourKeepsItsLastIntervalInThatRun)
{
    // 02:58:30+02:00, from UTC: a wall time of the repeated hour is ambiguous.
    const QDateTime from(QDate(2026, 10, 25), QTime(0, 58, 30), QTimeZone::utc());
    const QDateTime killed = from.addSecs(135); // 02:00:45+01:00
    station(QStringLiteral("75"), 900);
    run(from.toLocalTime(), 135, [](int) { return 60.0; });
    m_station.reset(); // no stop: a kill
    station(QStringLiteral("75"), 900);
    run(killed.addSecs(15).toLocalTime(), 60, [](int) { return 50.0; });
    m_station->stop(killed.addSecs(75).toLocalTime(), boards);

    const QStringList rows = linesOf(path("fence 2026-10-25 intervals.csv"));
    const QStringList cut = rows.filter(",2026-10-25T02:00:00+01:00,2026-10-25T02:00:45+01:00,45,");
    ASSERT_EQ(cut.size(), 1) << rows.join('\n').toStdString();
    EXPECT_TRUE(cut.front().endsWith(",yes"));
    EXPECT_EQ(rows.filter(",2026-10-25T02:45:00+02:00,2026-10-25T02:00:00+01:00,90,").size(), 1);

    const QString second = path("fence 2026-10-25 (2).vorn");
    AnalysisRequest request;
    request.intervalLength = 900;
    request.firstOffset = zoneOfFile(second, computerZone()).firstOffset;
    const FileFigures report = analyseFile("f", DataFileReader::readFile(second), request);
    ASSERT_EQ(report.intervals.size(), 1u);
    EXPECT_EQ(report.intervals.front().startOffset, 3600);
    EXPECT_FALSE(report.ambiguousTime);
}

// A folder deleted under the station (and made again at once, or not) and a
// disk that fills: the day file is made again from the readings kept in
// memory, and each fault is said once with its end.
TEST_F(StationTest, AFolderLostOrADiskFullLosesNoReading)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows deletes no folder whose files are open, and mounts no small disk";
#endif
    struct Case
    {
        const char *name;
        std::function<bool(const QString &folder)> fault; // false: cannot be made here
        std::function<void(const QString &folder)> end;
        const char *begins;
        const char *ends;
        int beginsSaid = 1; // rows of the event that begins it
    };
    const QString filler = QStringLiteral("filler");
    // As rm -rf does it: the station's writer thread may be making a file in
    // the folder meanwhile, so it is tried again.
    const auto remove = [](const QString &folder) {
        for (int i = 0; i < 50; ++i) {
            if (QDir(folder).removeRecursively())
                return true;
            QThread::msleep(10);
        }
        return false;
    };
    const Case cases[] = {
        { "deleted", [&](const QString &folder) { return remove(folder); }, [](const QString &) {},
          "folder lost", "folder back" },
        { "deleted and made again",
          [&](const QString &folder) { return remove(folder) && QDir().mkpath(folder); },
          [](const QString &) {}, "folder lost", "folder back" },
        { "disk full",
          [&](const QString &folder) {
              QFile fill(QDir(folder).filePath(filler));
              if (!fill.open(QIODevice::WriteOnly))
                  return false;
              const QByteArray block(4096, 'x');
              while (fill.write(block) == block.size() && fill.flush()) { }
              return true;
          },
          [&](const QString &folder) { QFile::remove(QDir(folder).filePath(filler)); }, "disk full",
          "writing resumed" },
        // truncate -s 0 on the working file: rewritten from the kept readings.
        { "working file cut",
          [](const QString &folder) {
              // Once the writer thread has put the readings so far on the disk.
              const QString fake = QDir(folder).filePath("Fake");
              WaitUntil([&] { return QFileInfo(fake).size() >= 600; }, 5000);
              return QFile::resize(fake, 0);
          },
          [](const QString &) {}, "day file", "writing resumed", 2 },
        // rm Fake.lock: taken again, and the readings stay in one day file.
        { "lock deleted",
          [](const QString &folder) { return QFile::remove(QDir(folder).filePath("Fake.lock")); },
          [](const QString &) {}, "lock lost", "lock lost" },
    };
    // A small disk of its own where the system lets the test mount one.
    QTemporaryDir mountPoint;
    const bool small
        = QProcess::execute(QStringLiteral("mount"),
                            { "-t", "tmpfs", "-o", "size=4m", "tmpfs", mountPoint.path() })
        == 0;
    const auto unmount = qScopeGuard([&] {
        if (small)
            QProcess::execute(QStringLiteral("umount"), { mountPoint.path() });
    });
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool needsSmallDisk = QLatin1String(c.begins) == QLatin1String("disk full");
        if (needsSmallDisk && !small) {
            std::cout << "disk full skipped: no tmpfs can be mounted here\n";
            continue;
        }
        QDir(dir.path()).removeRecursively();
        const QString folder = needsSmallDisk ? mountPoint.filePath("site") : dir.filePath("site");
        MonitorOptions options;
        options.folder = folder;
        options.station = QStringLiteral("fence");
        options.intervalSeconds = 60;
        options.limits = *LimitSchedule::parse(QStringLiteral("75"));
        auto station = std::make_unique<Station>(options, StationHooks {});
        ASSERT_TRUE(station->lockFolder().isEmpty());
        const QDateTime from = local("2026-06-01T10:00:00");
        for (int i = 0; i < 180; ++i) {
            if (i == 30) {
                ASSERT_TRUE(c.fault(folder));
            }
            if (i == 100) {
                // The ticks outrun the station's writer thread: the fault
                // meets the readings queued so far, and the station notices
                // it at this tick, before the fault ends at the next.
                const QString fake = QDir(folder).filePath("Fake");
                for (qint64 size = -1, tries = 0; tries < 30; ++tries) {
                    QThread::msleep(100);
                    if (std::exchange(size, QFileInfo(fake).size()) == size)
                        break;
                }
            }
            if (i == 101)
                c.end(folder);
            const double level = 50.0 + (i % 10);
            station->tick(from.addSecs(i), level, QString::number(level, 'f', 1), boards);
        }
        station->stop(from.addSecs(180), boards);
        station.reset();
        const QDir site(folder);
        const QStringList days = site.entryList({ "fence 2026-06-01*.vorn" });
        ASSERT_EQ(days.size(), 1)
            << linesOf(site.filePath("fence events.csv")).join('\n').toStdString();
        const DataFileContents file = DataFileReader::readFile(site.filePath(days.front()));
        EXPECT_EQ(file.recordCount(), 180);
        expectOneStampASecond(site.filePath(days.front()));
        const QString events = site.filePath("fence events.csv");
        EXPECT_EQ(eventRows(events, c.begins).size(), c.beginsSaid)
            << linesOf(events).join('\n').toStdString();
        EXPECT_EQ(eventRows(events, c.ends).size(), 1) << linesOf(events).join('\n').toStdString();
        EXPECT_TRUE(eventRows(events, "not recorded").isEmpty());
        // The interval rows count what the day file holds.
        const QStringList rows = linesOf(site.filePath("fence 2026-06-01 intervals.csv"));
        ASSERT_EQ(rows.size(), 4);
        for (const QString &row : rows.mid(1))
            EXPECT_EQ(row.section(QLatin1Char(','), 3, 3), "60") << row.toStdString();
        EXPECT_FALSE(site.exists("Fake.state"));
        QDir(folder).removeRecursively();
    }
}

// A disk still full at the stop: the restart recovers what the working
// file took, and what is said "not recorded" is exactly the rest.
TEST_F(StationTest, ADiskFullAtTheStopSaysLostOnlyWhatTheRestartCannotRecover)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows mounts no small disk";
#endif
    QTemporaryDir mountPoint;
    if (QProcess::execute(QStringLiteral("mount"),
                          { "-t", "tmpfs", "-o", "size=4m", "tmpfs", mountPoint.path() })
        != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const auto unmount = qScopeGuard(
        [&] { QProcess::execute(QStringLiteral("umount"), { mountPoint.path() }); });
    MonitorOptions options;
    options.folder = mountPoint.filePath("site");
    options.station = QStringLiteral("fence");
    options.intervalSeconds = 60;
    options.limits = *LimitSchedule::parse(QStringLiteral("75"));
    const QDateTime from = local("2026-06-01T10:00:00");
    const QString filler = QDir(options.folder).filePath("filler");
    QStringList journal;
    StationHooks hooks;
    hooks.say = [&journal](const QString &line) { journal << line; };
    const auto run = [&](int first, int last) {
        auto station = std::make_unique<Station>(options, hooks);
        ASSERT_TRUE(station->lockFolder().isEmpty());
        for (int i = first; i < last; ++i) {
            if (i == 30) {
                QFile fill(filler);
                ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
                const QByteArray block(4096, 'x');
                while (fill.write(block) == block.size() && fill.flush()) { }
            }
            const double level = 50.0 + (i % 10);
            station->tick(from.addSecs(i), level, QString::number(level, 'f', 1), boards);
        }
        station->stop(from.addSecs(last), boards);
    };
    run(0, 60); // full from the 31st reading to the stop
    QFile::remove(filler);
    run(60, 90); // the restart

    const QDir site(options.folder);
    QSet<QString> stamps;
    for (const QString &day : site.entryList({ "fence 2026-06-01*.vorn" })) {
        const DataFileContents file = DataFileReader::readFile(site.filePath(day));
        for (qsizetype i = 0; i < file.rows.count(); ++i) {
            EXPECT_FALSE(stamps.contains(file.time(i)))
                << "in two files: " << file.time(i).toStdString();
            stamps.insert(file.time(i));
        }
    }
    // Said in the journal (the full disk may refuse the events file the line).
    qint64 saidLost = 0;
    for (const QString &line : journal.filter(QStringLiteral("not recorded: ")))
        saidLost += line.section(QStringLiteral("not recorded: "), 1).section(' ', 0, 0).toLongLong();
    EXPECT_EQ(stamps.size() + saidLost, 90) << journal.join('\n').toStdString();
    // One row per interval, each counting only readings a day file holds: the
    // stop's row what the working file took, and the restart adds no second
    // row of that interval from it.
    QMap<QString, int> rowsByStart;
    for (const QString &row : linesOf(site.filePath("fence 2026-06-01 intervals.csv")).mid(1)) {
        const QStringList f = row.split(',');
        ++rowsByStart[f[1]];
        const QDateTime start = QDateTime::fromString(f[1], Qt::ISODate);
        const QDateTime end = QDateTime::fromString(f[2], Qt::ISODate);
        qint64 held = 0;
        for (const QString &stamp : stamps) {
            const QDateTime t = QDateTime::fromString(stamp, QStringLiteral("yyyy/MM/dd HH:mm:ss"));
            held += t >= start && t < end;
        }
        EXPECT_EQ(f[3].toLongLong(), held) << row.toStdString();
    }
    for (auto it = rowsByStart.begin(); it != rowsByStart.end(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
}

// The station's tables, events and state are written by a thread of their
// own: lines in order, a new table's header once, an older table's columns
// kept, only the newest state, and lines a folder refused written in order
// once it takes them, with the reason said once.
TEST(LineAppender, WritesInOrderAndKeepsWhatTheDiskRefusedUntilItTakesIt)
{
    QTemporaryDir dir;
    const auto contents = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QFile old(dir.filePath("old.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("a\n1\n");
    old.close();
    const QString later = dir.filePath("later/table.csv");
    LineAppender appender;
    appender.append(dir.filePath("table.csv"), "a,b", "1,2", "1");
    appender.append(dir.filePath("old.csv"), "a,b", "2,3", "2");
    appender.append(later, "a", "1", {});
    appender.replace(dir.filePath("state.json"), "first");
    appender.append(dir.filePath("table.csv"), "a,b", "3,4", "3");
    appender.append(later, "a", "2", {});
    appender.replace(dir.filePath("state.json"), "newest");
    EXPECT_EQ(appender.drain(2000), 2u); // the folder of "later" is not there
    EXPECT_EQ(appender.takeErrors().size(), 1);
    EXPECT_FALSE(appender.waiting().isEmpty());
    EXPECT_EQ(contents(dir.filePath("table.csv")), "a,b\n1,2\n3,4\n");
    EXPECT_EQ(contents(dir.filePath("old.csv")), "a\n1\n2\n");
    EXPECT_EQ(contents(dir.filePath("state.json")), "newest");
    ASSERT_TRUE(QDir(dir.path()).mkdir("later"));
    appender.retrySoon();
    EXPECT_EQ(appender.drain(5000), 0u);
    EXPECT_EQ(contents(later), "a\n1\n2\n");
    EXPECT_TRUE(appender.waiting().isEmpty());
    EXPECT_EQ(appender.dropped(), 0);
}

// The station's intervals on the site's clock (Europe/Berlin): closed when
// their window is over, cut by a stop, going on from the last row after a
// restart; an hour's quarters in each run of the repeated autumn hour, a
// two-hour interval holding both runs.
TEST(IntervalClock, ClosesEachWindowOnceOnTheSitesClock)
{
    struct Case
    {
        int length;
        const char *lastEnd; // written by the run before, or null
        std::vector<const char *> ticks;
        const char *stop; // or null
        std::vector<const char *> closed; // "start end" with "partial" after a cut
    };
    const Case cases[] = {
        { 900,
          nullptr,
          { "2026-06-01T10:07:30+02:00", "2026-06-01T10:14:59+02:00", "2026-06-01T10:15:00+02:00" },
          "2026-06-01T10:20:00+02:00",
          { "2026-06-01T10:00:00+02:00 2026-06-01T10:15:00+02:00",
            "2026-06-01T10:15:00+02:00 2026-06-01T10:20:00+02:00 partial" } },
        { 900,
          "2026-06-01T10:07:00+02:00",
          { "2026-06-01T10:07:30+02:00", "2026-06-01T10:15:00+02:00" },
          nullptr,
          { "2026-06-01T10:07:00+02:00 2026-06-01T10:15:00+02:00" } },
        { 900,
          nullptr,
          { "2026-06-01T10:00:00+02:00" },
          "2026-06-01T10:15:00+02:00",
          { "2026-06-01T10:00:00+02:00 2026-06-01T10:15:00+02:00" } },
        { 900,
          nullptr,
          { "2026-10-25T02:50:00+02:00", "2026-10-25T02:00:00+01:00" },
          "2026-10-25T02:05:00+01:00",
          { "2026-10-25T02:45:00+02:00 2026-10-25T02:00:00+01:00",
            "2026-10-25T02:00:00+01:00 2026-10-25T02:05:00+01:00 partial" } },
        { 7200,
          nullptr,
          { "2026-10-25T01:30:00+02:00", "2026-10-25T02:30:00+02:00", "2026-10-25T02:30:00+01:00",
            "2026-10-25T04:00:00+01:00" },
          nullptr,
          { "2026-10-25T00:00:00+02:00 2026-10-25T02:00:00+02:00",
            "2026-10-25T02:00:00+02:00 2026-10-25T04:00:00+01:00" } },
    };
    const auto at = [](const char *text) {
        return QDateTime::fromString(QLatin1String(text), Qt::ISODate).toLocalTime();
    };
    for (const Case &c : cases) {
        IntervalClock clock(c.length);
        if (c.lastEnd)
            clock.written(at(c.lastEnd));
        QStringList closed;
        const auto note = [&](const std::optional<IntervalClock::Closed> &interval) {
            if (interval)
                closed << CivilTime::toIsoWithOffset(interval->start) + ' '
                        + CivilTime::toIsoWithOffset(interval->end)
                        + (interval->partial ? " partial" : "");
        };
        for (const char *tick : c.ticks) {
            note(clock.closeIfOver(at(tick)));
            clock.openIfIdle(at(tick));
        }
        if (c.stop)
            note(clock.stop(at(c.stop)));
        QStringList expected;
        for (const char *e : c.closed)
            expected << QString::fromLatin1(e);
        EXPECT_EQ(closed, expected) << c.ticks.front();
    }
}

// The readings go to the broker a minute at a time: a new minute, or a
// changed sampling interval, ends the message before it; a stop sends the
// running one. Each stamp carries its offset, so the repeated hour is told apart.
TEST(ReadingMinutes, AMessageAMinuteWithEachInstantAndItsText)
{
    const auto at = [](const char *iso) { return QDateTime::fromString(QLatin1String(iso), Qt::ISODate); };
    const struct
    {
        const char *time;
        const char *text;
        int interval;
        const char *ends; // the message the reading ended, if any
    } steps[] = {
        { "2026-10-25T02:59:58+02:00", "50.0", 1, nullptr },
        { "2026-10-25T02:59:59+02:00", "--", 1, nullptr },
        { "2026-10-25T02:00:00+01:00", "51.0", 1,
          R"({"minute": "2026-10-25T02:59:58+02:00", "interval_s": 1, "readings": [)"
          R"(["2026-10-25T02:59:58+02:00", "50.0"], ["2026-10-25T02:59:59+02:00", "--"]]})" },
        { "2026-10-25T02:00:10+01:00", "52.0", 10,
          R"({"minute": "2026-10-25T02:00:00+01:00", "interval_s": 1, "readings": [)"
          R"(["2026-10-25T02:00:00+01:00", "51.0"]]})" },
    };
    ReadingMinutes minutes;
    for (const auto &step : steps) {
        const auto ended = minutes.add(at(step.time), QString::fromUtf8(step.text), step.interval);
        ASSERT_EQ(ended.has_value(), step.ends != nullptr) << step.time;
        if (ended) {
            EXPECT_EQ(ended->json, step.ends);
            EXPECT_EQ(ended->day, QDate(2026, 10, 25));
        }
    }
    const auto last = minutes.flush();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->json, R"({"minute": "2026-10-25T02:00:10+01:00", "interval_s": 10, "readings": )"
                          R"([["2026-10-25T02:00:10+01:00", "52.0"]]})");
    EXPECT_FALSE(minutes.flush().has_value());
}

// The monitor's alarm command: its environment, and a command that hangs
// is ended without holding up a single tick.
TEST(MonitorAlarmCommand, GetsTheIntervalAndIsEndedWhenItHangs)
{
    QTemporaryDir dir;
    MonitorOptions options;
    options.folder = dir.path();
    options.station = QStringLiteral("gate");
    options.intervalSeconds = 60;
    options.limits = *LimitSchedule::parse(QStringLiteral("50"));
    const QString said = dir.filePath("said");
#ifdef Q_OS_WIN
    // cmd.exe takes the text as written, quotes and & included; the hang is
    // a second cmd.exe that the job object ends with the first.
    // cmd's >> opens the file for itself alone, so commands running side by
    // side each write a file of their own.
    options.onAlarm = QStringLiteral("echo %VORN_EVENT% %VORN_STATION% %VORN_LEQ% %VORN_LIMIT% "
                                     "%VORN_START% %VORN_END%>> \"%1-%VORN_EVENT%-%VORN_LEQ%\" & "
                                     "cmd /c \"for /l %i in (1,0,2) do @rem\"")
                          .arg(QDir::toNativeSeparators(said));
#else
    options.onAlarm = QStringLiteral("echo \"$VORN_EVENT $VORN_STATION $VORN_LEQ $VORN_LIMIT "
                                     "$VORN_START $VORN_END\" >> '%1'; exec sleep 600")
                          .arg(said);
#endif
    FakeSerialPort port;
    Monitor monitor(options, port);
#ifdef Q_OS_WIN
    // cmd.exe under Wine on a busy machine took longer than 300 ms to reach
    // its echo, and was ended before it wrote.
    constexpr int CommandLimitMs = 3000;
#else
    constexpr int CommandLimitMs = 300;
#endif
    monitor.setAlarmCommandLimitMs(CommandLimitMs);
    ASSERT_TRUE(monitor.station().lockFolder().isEmpty());
    const HeaderBoards boards { QStringLiteral("A"), QStringLiteral("Fast"),
                                QStringLiteral("30-90") };
    const QDateTime from
        = QDateTime::fromString(QStringLiteral("2026-06-01T10:00:00"), Qt::ISODate);
    QElapsedTimer ticks;
    ticks.start();
    for (int i = 0; i < 180; ++i) {
        const double level = i < 60 ? 62.0 : i < 120 ? 45.0 : 61.0;
        monitor.station().tick(from.addSecs(i), level, QString::number(level, 'f', 1), boards);
    }
    monitor.station().tick(from.addSecs(180), 40.0, QStringLiteral("40.0"), boards);
    // Three commands that each sleep ten minutes did not slow the ticks.
    EXPECT_LT(ticks.elapsed(), 5000);
    EXPECT_TRUE(WaitUntil([&] { return monitor.findChildren<ShellCommand *>().isEmpty(); },
                          5000 + 3 * CommandLimitMs));
    // The commands run side by side: the order of their lines is theirs.
    QStringList lines;
    for (const QString &name : QDir(dir.path()).entryList({ QStringLiteral("said*") }, QDir::Files)) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        lines += QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    for (QString &line : lines)
        line = line.trimmed(); // cmd's echo ends its line with CR LF
    lines.sort();
    EXPECT_EQ(
        lines,
        QStringList({ "alarm gate 61.00 50 2026-06-01T10:02:00+02:00 2026-06-01T10:03:00+02:00",
                      "alarm gate 62.00 50 2026-06-01T10:00:00+02:00 2026-06-01T10:01:00+02:00",
                      "clear gate 45.00 50 2026-06-01T10:01:00+02:00 2026-06-01T10:02:00+02:00" }));
}

// How many processes run this command line (as ps shows it).
int processesRunning(const QString &commandLine)
{
    QProcess ps;
    ps.start(QStringLiteral("ps"), { "-eo", "args=" });
    ps.waitForFinished(5000);
    return QString::fromUtf8(ps.readAllStandardOutput()).split('\n').count(commandLine);
}

// An alarm command ends with everything it started, reads no input, and a
// failure or an end at the stop is said.
TEST(MonitorAlarmCommand, EndsWithItsGroupReadsNothingAndFailuresAreSaid)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "these commands are written for /bin/sh";
#endif
    const struct
    {
        const char *name;
        const char *command;
        bool stopAtOnce; // the monitor stops while the command runs
        const char *said; // in the events file, empty for nothing
        bool delivers = false; // writes "delivered" to DIR/out
    } rows[] = {
        { "hangs past the limit", "sleep 987; true", false, "ended at the time limit" },
        { "reads its input", "cat; exit 0", false, "" },
        { "fails", "exit 3", false, "exit status 3" },
        { "runs at the stop", "sleep 986; true", true, "still running at the stop: ended" },
        // Work left running in the background is the command's until the limit.
        { "backgrounds its work", "(sleep 0.1; echo delivered > DIR/out) &", false, "", true },
        { "nohup", "nohup sh -c 'sleep 0.1; echo delivered > DIR/out' >/dev/null 2>&1 &", false, "",
          true },
        { "backgrounds past the limit", "(sleep 985; true) &", false,
          "ended at the time limit (work it left running)" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        MonitorOptions options;
        options.folder = dir.path();
        options.station = QStringLiteral("gate");
        options.intervalSeconds = 60;
        options.limits = *LimitSchedule::parse(QStringLiteral("50"));
        options.onAlarm = QString::fromLatin1(row.command).replace("DIR", dir.path());
        FakeSerialPort port;
        auto monitor = std::make_unique<Monitor>(options, port);
        monitor->setAlarmCommandLimitMs(row.stopAtOnce ? 60000 : 400);
        ASSERT_TRUE(monitor->station().lockFolder().isEmpty());
        const HeaderBoards boards;
        const QDateTime from
            = QDateTime::fromString(QStringLiteral("2026-06-01T10:00:00"), Qt::ISODate);
        for (int i = 0; i <= 60; ++i)
            monitor->station().tick(from.addSecs(i), 62.0, QStringLiteral("62.0"), boards);
        if (row.stopAtOnce) {
            WaitUntil([] { return false; }, 300);
            monitor->stop();
        } else {
            EXPECT_TRUE(
                WaitUntil([&] { return monitor->findChildren<ShellCommand *>().isEmpty(); }, 5000));
            monitor->stop();
        }
        monitor.reset();
        // Nothing of the command is left running.
        EXPECT_EQ(processesRunning(QString::fromLatin1(row.command).section(';', 0, 0)), 0);
        const QStringList failed = linesOf(QDir(dir.path()).filePath("gate events.csv"))
                                       .filter(",alarm command failed,");
        if (*row.said) {
            ASSERT_EQ(failed.size(), 1);
            EXPECT_TRUE(failed.front().contains(QLatin1String(row.said)))
                << failed.front().toStdString();
        } else {
            EXPECT_TRUE(failed.isEmpty()) << failed.join('\n').toStdString();
        }
        if (row.delivers) {
            EXPECT_EQ(linesOf(QDir(dir.path()).filePath("out")), QStringList { "delivered" });
        }
    }
}

TEST(MonitorOptions, ParseOrRefuseWithOneLine)
{
    // A build without the broker's library refuses --mqtt before anything else of it.
#ifdef VORN_HAVE_MQTT
    const auto mqtt = [](const char *says) { return says; };
#else
    const auto mqtt = [](const char *) { return "built without MQTT"; };
#endif
    const struct
    {
        QStringList arguments;
        int exitCode;
        const char *says;
    } rows[] = {
        { { "--help" }, 0, "Usage: vorn-monitor" },
        { { "--version" }, 0, "vorn-monitor 9.9" },
        { { "--port", "COM3", "--folder", "/tmp/x", "--bogus" }, 2, "unknown option \"--bogus\"" },
        { { "--port", "COM17", "--folder", "/tmp/x" }, 2, "--port \"COM17\"" },
        { { "--port", "COM3" }, 2, "--folder is missing" },
        { { "--port", "COM3", "--folder", "x", "--station", "a b" }, 2, "--station \"a b\"" },
        { { "--port", "COM3", "--folder", "x", "--interval", "7min" }, 2, "--interval \"7min\"" },
        { { "--port", "COM3", "--folder", "x", "--limit", "07-19=" }, 2, "--limit \"07-19=\"" },
        { { "--port", "COM3", "--folder", "x", "--mqtt", "http://b" },
          2,
          mqtt("--mqtt \"http://b\"") },
        { { "--port", "COM3", "--folder", "x", "--mqtt", "mqtt://b:70000" },
          2,
          mqtt("--mqtt \"mqtt") },
        { { "--port", "COM3", "--folder", "x", "--mqtt-user", "u" }, 2, "need --mqtt" },
        { { "--port", "COM3", "--folder", "x", "--mqtt", "mqtt://b", "--mqtt-user", "u",
            "--mqtt-password-file", "/no/such" },
          2,
          mqtt("--mqtt-password-file: \"/no/such\" cannot be read") },
        { { "--port", "COM3", "--folder", "x", "--mqtt", "mqtt://b", "--mqtt-password-file",
            "/no/such" },
          2,
          mqtt("--mqtt-password-file needs --mqtt-user") },
        // NaN compares false with every bound: no alarm would ever come.
        { { "--port", "COM3", "--folder", "x", "--limit", "nan" }, 2, "--limit \"nan\"" },
        { { "--port", "COM3", "--folder", "x", "--check", "nan" }, 2, "--check \"nan\"" },
        { { "--port", "COM3", "--folder", "x", "--tolerance", "nan" }, 2, "--tolerance \"nan\"" },
        { { "--port", "COM3", "--folder", "x", "--limit", "07-19=0,08-20=99" },
          2,
          "07-19 and 08-20 overlap" },
        { { "--port", "COM3", "--folder", "x", "--station", "" }, 2, "--station \"\"" },
        { { "--port", "COM3", "--folder", "x", "--limit", "" }, 2, "--limit \"\"" },
    };
    for (const auto &row : rows) {
        const MonitorOptionsResult r = parseMonitorOptions(row.arguments, "host", "9.9");
        EXPECT_FALSE(r.options) << row.says;
        EXPECT_EQ(r.exitCode, row.exitCode) << row.says;
        EXPECT_TRUE(r.output.contains(QLatin1String(row.says))) << r.output.toStdString();
        EXPECT_FALSE(r.output.trimmed().contains('\n') && row.exitCode == 2);
    }

    QTemporaryDir dir;
    QFile ini(dir.filePath("site.conf"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("port=COM2\nfolder=/data\ninterval=5min\nlimit=07-19=55,19-07=45\n");
    ini.close();
    const MonitorOptionsResult r
        = parseMonitorOptions({ "--config", ini.fileName(), "--port", "COM4" }, "host-1", "9.9");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->comPortNumber, 4); // the command line wins
    EXPECT_EQ(r.options->folder, "/data");
    EXPECT_EQ(r.options->station, "host-1");
    EXPECT_EQ(r.options->intervalSeconds, 300);
    EXPECT_EQ(r.options->limits.limitAt(18 * 60 + 59), 55.0);
    EXPECT_EQ(r.options->limits.limitAt(19 * 60), 45.0);
    EXPECT_EQ(r.options->limits.limitAt(3 * 60), 45.0);
    EXPECT_FALSE(r.options->mqtt);

    // Values keep their text as written; what a person may get wrong in the
    // file is named with its line.
    const struct
    {
        const char *name;
        QByteArray text;
        const char *error; // empty: read
    } files[] = {
        { "as written",
          "; the shipped example's comments\n# and these\nport = COM2\nfolder=/data/site, north\n"
          "on-alarm = notify-send \"$VORN_EVENT\" ; logger 'a\\nb'\ninterval = 90s\n",
          "" },
        { "a section", "[monitor]\nport=COM2\n", "line 1: sections are not used" },
        { "twice", "port=COM2\nport=COM3\n", "line 2: the key \"port\" comes twice" },
        { "unknown", "port=COM2\ncolour=red\n", "line 2: unknown key \"colour\"" },
        { "quoted", "port=COM2\nfolder=\"/data\"\n", "line 2: folder: quotes are not needed" },
        { "single-quoted", "port=COM2\nfolder='/data'\n", "line 2: folder: quotes are not needed" },
        // Saved as ANSI: "Gärten" would become another folder's name.
        { "not UTF-8", "port=COM2\nfolder=C:\\VORN\\G\xE4rten\n",
          "line 2: the line is not UTF-8 text" },
        { "a byte order mark", "\xEF\xBB\xBFport = COM2\nfolder=/data/site, north\n"
          "on-alarm = notify-send \"$VORN_EVENT\" ; logger 'a\\nb'\ninterval = 90s\n", "" },
    };
    for (const auto &f : files) {
        SCOPED_TRACE(f.name);
        QFile conf(dir.filePath("f.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        conf.write(f.text);
        conf.close();
        const MonitorOptionsResult read
            = parseMonitorOptions({ "--config", conf.fileName() }, "host-1", "9.9");
        if (*f.error) {
            EXPECT_FALSE(read.options);
            EXPECT_EQ(read.exitCode, 2);
            EXPECT_TRUE(read.output.contains(QDir::toNativeSeparators(conf.fileName()) + ", " + f.error))
                << read.output.toStdString();
            continue;
        }
        ASSERT_TRUE(read.options) << read.output.toStdString();
        EXPECT_EQ(read.options->folder, "/data/site, north");
        EXPECT_EQ(read.options->onAlarm, "notify-send \"$VORN_EVENT\" ; logger 'a\\nb'");
        EXPECT_EQ(read.options->intervalSeconds, 90);
    }
}

TEST(MonitorOptions, TheBrokerAndAPasswordOnlyItsOwnerMayRead)
{
    QTemporaryDir dir;
    QFile secret(dir.filePath("secret"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("s3cret\n");
    secret.close();
    const QStringList arguments { "--port",
                                  "COM1",
                                  "--folder",
                                  "x",
                                  "--mqtt",
                                  "mqtts://broker.example:8884",
                                  "--mqtt-user",
                                  "ann",
                                  "--mqtt-password-file",
                                  secret.fileName() };
#ifndef VORN_HAVE_MQTT
    const MonitorOptionsResult refused = parseMonitorOptions(arguments, "h", "9.9");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.output, "vorn-monitor: built without MQTT");
    GTEST_SKIP() << "built without MQTT";
#endif
#ifdef Q_OS_UNIX
    // Read or written by others (0604, 0602): no secret, or not its owner's.
    for (const QFileDevice::Permission other :
         { QFileDevice::ReadOther, QFileDevice::WriteOther, QFileDevice::ReadGroup }) {
        secret.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | other);
        const MonitorOptionsResult open = parseMonitorOptions(arguments, "h", "9.9");
        EXPECT_EQ(open.exitCode, 2);
        EXPECT_TRUE(open.output.contains("may be read or changed by other users"))
            << open.output.toStdString();
        EXPECT_FALSE(open.output.contains("s3cret"));
    }
#endif
    secret.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const MonitorOptionsResult r = parseMonitorOptions(arguments, "h", "9.9");
    ASSERT_TRUE(r.options && r.options->mqtt) << r.output.toStdString();
    EXPECT_EQ(r.options->mqtt->host, "broker.example");
    EXPECT_EQ(r.options->mqtt->port, 8884);
    EXPECT_TRUE(r.options->mqtt->tls);
    EXPECT_EQ(r.options->mqtt->user, "ann");
    EXPECT_EQ(r.options->mqtt->password, "s3cret");
    EXPECT_EQ(parseMqttUrl("mqtt://10.0.0.2")->port, 1883);
    EXPECT_EQ(parseMqttUrl("mqtts://[::1]")->host, "::1");
}

} // namespace

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
