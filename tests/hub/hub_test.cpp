#include "hub/Hub.h"
#include "hub/HubReadings.h"
#include "hub/HubStore.h"
#include "analysis/records/CivilTime.h"
#include "recording/DataFileReader.h"
#include "station/MqttPublisher.h"
#include "station/ReadingMinutes.h"
#include "station/Station.h"
#include "support/EventWaits.h"
#include "support/MqttBroker.h"
#include "support/PostgresServer.h"
#include "support/TestZone.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <cmath>
#include <thread>


namespace {

qint64 countOf(const QString &database, const QString &sql)
{
    QString error;
    const auto db = SqlDatabase::open(database, {}, &error);
    qint64 count = -1;
    if (db)
        db->select(sql, {}, [&](const SqlDatabase::Values &row) { count = row[0].toLongLong(); });
    return count;
}

TEST(HubStore, EveryMessageIsStoredOnceWhateverItsOrderAndTheRestIsSaid)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("hub.sqlite");
    QString error;
    QStringList told;
    HubStore store(
        SqlDatabase::open(file, {}, &error),
        [&](const QString &name, const QString &) { told << name; }, [] { return qint64(1000); });
    ASSERT_TRUE(store.prepare(&error)) << error.toStdString();
    // The last summer seconds and the first of the hour that repeats.
    const QByteArray summer
        = R"({"minute": "2026-10-25T02:59:58+02:00", "interval_s": 1, "readings": [)"
          R"(["2026-10-25T02:59:58+02:00", "50.0"], ["2026-10-25T02:59:59+02:00", "60.0"]],)"
          R"( "host": "a", "folder": "f1"})";
    const QByteArray winter
        = R"({"minute": "2026-10-25T02:00:00+01:00", "interval_s": 1, "readings": [)"
          R"(["2026-10-25T02:00:00+01:00", "70.0"], ["2026-10-25T02:00:01+01:00", "--"]],)"
          R"( "host": "a", "folder": "f1"})";
    QByteArray elsewhere = summer;
    elsewhere.replace(R"("host": "a", "folder": "f1")", R"("host": "b", "folder": "f2")");
    const QByteArray interval
        = R"({"start": "2026-10-25T02:45:00+02:00", "end": "2026-10-25T02:00:00+01:00", )"
          R"("readings": 900, "leq": 60.00, "state": null, "partial": false, "folder": "f1"})";
    using O = HubStore::Outcome;
    const struct
    {
        const char *topic;
        QByteArray payload;
        O outcome;
    } cases[] = {
        { "vorn/fence/readings", winter, O::Stored }, // before the minute it follows
        { "vorn/fence/readings", summer, O::Stored },
        { "vorn/fence/readings", summer, O::Stored }, // a spool sent again
        { "vorn/fence/readings", elsewhere, O::Stored }, // another station of the name
        { "vorn/fence/readings", "not json", O::Refused },
        { "vorn/fence/readings", R"({"interval_s": 1, "readings": [["yesterday", "50.0"]]})",
          O::Refused },
        { "vorn/fence/interval", interval, O::Stored },
        { "vorn/fence/interval", interval, O::Stored },
        { "vorn/fence/interval", R"({"end": "2026-10-25T02:00:00+01:00"})", O::Refused },
        { "vorn/fence/event",
          R"({"time": "2026-10-25T02:00:00+01:00", "event": "link lost", "detail": "x", "folder": "f1"})",
          O::Stored },
        { "vorn/fence/alarm", R"({"event": "alarm"})", O::Refused },
        { "vorn/fence/calibration",
          R"({"time": "2026-10-25T01:00:00+02:00", "event": "within", "calibrator_level": 94.0, )"
          R"("mean": 94.10, "deviation": 0.10, "tolerance": 0.50, "meter": "M1", "folder": "f1"})",
          O::Stored },
        { "vorn/fence/status", "online", O::Stored },
        { "vorn/fence/status", "online", O::Stored }, // retained, heard at each start
        { "vorn/fence/status", "offline", O::Stored },
        { "vorn/fence/details", R"({"zone": "Europe/Berlin", "meter": "M1", "folder": "f1"})",
          O::Stored },
        { "vorn/fence/level", R"({"level": 50.0})", O::Ignored },
        { "elsewhere/fence/readings", summer, O::Ignored },
    };
    for (const auto &c : cases)
        EXPECT_EQ(store.store(QString::fromLatin1(c.topic), c.payload).outcome, c.outcome)
            << c.topic << " " << c.payload.toStdString();

    const auto count = [&](const char *sql) { return countOf(file, QString::fromLatin1(sql)); };
    EXPECT_EQ(count("SELECT COUNT(*) FROM readings WHERE origin = 'f1'"), 4);
    EXPECT_EQ(count("SELECT COUNT(*) FROM readings WHERE origin = 'f2'"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM intervals"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM events"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM state_changes"), 2);
    EXPECT_EQ(told, QStringList { "station name shared" });
    // The day's Leq from energies: the unmarked readings only.
    double leq = 0;
    SqlDatabase::open(file, {}, &error)
        ->select(QStringLiteral("SELECT leq FROM reading_days WHERE origin = 'f1'"), {},
                 [&](const SqlDatabase::Values &row) { leq = row[0].toDouble(); });
    EXPECT_NEAR(leq, 10 * std::log10((1e5 + 1e6 + 1e7) / 3), 1e-9);

    // Laid out as the day file: the repeated hour after the summer one, by
    // the offset the details keep.
    const HubSeries two = exportHubSeries(file, {}, "fence", {}, {}, {}, dir.path());
    EXPECT_TRUE(two.problem.contains("2 stations named fence")) << two.problem.toStdString();
    const HubSeries one = exportHubSeries(file, {}, "fence", "f1", {}, {}, dir.path());
    ASSERT_EQ(one.files.size(), 1) << one.problem.toStdString();
    const DataFileContents day = DataFileReader::readFile(one.files[0]);
    ASSERT_EQ(day.recordCount(), 4);
    EXPECT_EQ(day.time(1), "2026/10/25 02:59:59");
    EXPECT_EQ(day.time(2), "2026/10/25 02:00:00");
    EXPECT_EQ(day.level(3), "--");
    QFile details(one.files[0] + ".json");
    ASSERT_TRUE(details.open(QIODevice::ReadOnly));
    const QByteArray json = details.readAll();
    EXPECT_TRUE(json.contains("Europe/Berlin") && json.contains("2026-10-25T02:59:58+02:00"))
        << json.toStdString();
    // The station's checks are the folder's calibration log.
    QFile log(dir.filePath("calibration.csv"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> checks = log.readAll().trimmed().split('\n');
    ASSERT_EQ(checks.size(), 2);
    EXPECT_TRUE(checks[1].contains("2026-10-25T01:00:00+02:00,M1,,94.00,94.10,94.10,94.10,0.10,0.50"))
        << checks[1].toStdString();
}

TEST(HubOptions, ParseOrRefuseWithOneLine)
{
    QTemporaryDir dir;
    const QString open = dir.filePath("open.pw");
    const QString own = dir.filePath("own.pw");
    for (const QString &path : { open, own }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("secret\n");
    }
    QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::setPermissions(open, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const QString config = dir.filePath("hub.conf");
    {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("mqtt = mqtt://broker:1884\ndb = /var/lib/hub.sqlite\nkeep-readings = 400d\n");
    }
    const struct
    {
        QStringList arguments;
        QString error; // empty: parsed
    } cases[] = {
        { { "--config", config }, {} },
        { { "--config", config, "--db", "postgresql://vorn@db/vorn", "--db-password-file", own },
          {} },
        { { "--db", "x.sqlite" }, "--mqtt is needed" },
        { { "--mqtt", "http://broker", "--db", "x" }, "is no mqtt://" },
        { { "--mqtt", "mqtt://b" }, "--db is needed" },
        { { "--mqtt", "mqtt://b", "--db", "postgresql://vorn:secret@db/vorn" },
          "not in the address" },
        { { "--mqtt", "mqtt://b", "--db", "x", "--db-password-file", open },
          "may be read or changed by other users" },
        { { "--mqtt", "mqtt://b", "--db", "x", "--keep-readings", "400" }, "no age" },
        { { "--mqtt", "mqtt://b", "--db", "x", "--mqtt-password-file", own },
          "needs --mqtt-user" },
        { { "--mqtt", "mqtt://b", "--db", "x", "--colour", "blue" }, "unknown option --colour" },
    };
    for (const auto &c : cases) {
        const HubOptionsResult parsed = parseHubOptions(c.arguments, "box", "9.9");
        EXPECT_EQ(parsed.options.has_value(), c.error.isEmpty())
            << c.arguments.join(' ').toStdString() << ": " << parsed.output.toStdString();
        if (!c.error.isEmpty()) {
            EXPECT_TRUE(parsed.output.contains(c.error) && parsed.exitCode == 2)
                << parsed.output.toStdString();
        }
    }
    const HubOptions first = *parseHubOptions(cases[0].arguments, "box", "9.9").options;
    EXPECT_EQ(first.mqtt.port, 1884);
    EXPECT_EQ(first.keepReadingsMs, 400LL * 86400 * 1000);
    EXPECT_EQ(first.clientId, "vorn-hub-box");
    EXPECT_EQ(parseHubOptions(cases[1].arguments, "box", "9.9").options->databasePassword, "secret");
}

// Two stations publish a night across the autumn clock change through an
// outage of the broker and one of the database: each of their readings is
// in the hub once, the interval rows are all there, and vorn-stats finds the
// figures of the day files in the hub.
TEST(HubFleet, TwoStationsThroughOutagesAreInTheHubOnceAndVornStatsAgrees)
{
    if (!Broker::available())
        GTEST_SKIP() << "mosquitto is not installed";
    QTemporaryDir dir;
    Broker broker(dir.path(),
                  QStringLiteral("allow_anonymous true\npersistence true\npersistence_location "
                                 "%1/\nmax_queued_messages 0")
                      .arg(dir.path()));
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    PostgresServer postgres;
    const bool withPostgres = PostgresServer::available() && postgres.start();
    if (PostgresServer::available()) {
        ASSERT_TRUE(withPostgres) << postgres.log().toStdString();
    }

    std::atomic<bool> stop { false };
    std::vector<QString> databases { dir.filePath("hub.sqlite") };
    if (withPostgres)
        databases.push_back(postgres.url());
    std::vector<std::unique_ptr<Hub>> hubs;
    std::vector<std::thread> threads;
    std::mutex saidMutex;
    QStringList said; // what the hubs said
    for (const QString &database : databases) {
        HubOptions options;
        options.mqtt = *parseMqttUrl(broker.url());
        options.database = database;
        options.clientId = QStringLiteral("hub-%1").arg(hubs.size());
        hubs.push_back(std::make_unique<Hub>(options, [&, database](const QString &line) {
            const std::lock_guard lock(saidMutex);
            said << database + QStringLiteral(": ") + line;
        }));
        threads.emplace_back([hub = hubs.back().get(), &stop] { hub->run([&] { return stop.load(); }); });
    }
    const auto stored = [&](const QString &database) {
        return countOf(database, QStringLiteral("SELECT COUNT(*) FROM readings"));
    };
    // Each hub has subscribed once a probe's status is in its database:
    // readings the broker took before would reach no hub.
    for (const QString &database : databases)
        ASSERT_TRUE(WaitUntil(
            [&] {
                QProcess::execute(QStandardPaths::findExecutable("mosquitto_pub"),
                                  { "-p", QString::number(broker.port()), "-q", "1", "-t",
                                    "vorn/probe/status", "-m", "online" });
                return countOf(database, "SELECT COUNT(*) FROM states") == 1;
            },
            10000));

    struct Site
    {
        QString name;
        QString folder;
        std::unique_ptr<Station> station;
        std::unique_ptr<MqttPublisher> publisher;
        ReadingMinutes minutes;
    };
    std::vector<Site> sites(2);
    const HeaderBoards boards { "A", "Fast", "30-90" };
    for (int s = 0; s < 2; ++s) {
        Site &site = sites[size_t(s)];
        site.name = s == 0 ? QStringLiteral("north") : QStringLiteral("south");
        site.folder = dir.filePath(site.name);
        QDir().mkpath(site.folder);
        MonitorOptions options;
        options.folder = site.folder;
        options.station = site.name;
        options.intervalSeconds = 900;
        StationHooks hooks;
        hooks.reading = [&site](const QDateTime &at, const QString &text, int interval) {
            if (const auto minute = site.minutes.add(at, text, interval))
                site.publisher->publishReadings(minute->day, minute->json);
        };
        hooks.interval = [&site](const StationInterval &row) {
            site.publisher->publishKept(
                QStringLiteral("interval"),
                QStringLiteral(R"({"start": "%1", "end": "%2", "readings": %3, "leq": %4})")
                    .arg(CivilTime::toIsoWithOffset(row.start), CivilTime::toIsoWithOffset(row.end))
                    .arg(row.levels.readings)
                    .arg(row.levels.leq.value_or(0.0), 0, 'f', 2)
                    .toUtf8());
        };
        site.publisher = std::make_unique<MqttPublisher>(
            *parseMqttUrl(broker.url()), site.name,
            QDir(site.folder).filePath(site.name + " mqtt spool.jsonl"), "test", nullptr);
        site.station = std::make_unique<Station>(options, hooks);
        ASSERT_TRUE(site.station->lockFolder().isEmpty());
        site.publisher->start();
    }
    const QDateTime from = QDateTime::fromString("2026-10-24T21:00:00Z", Qt::ISODate);
    const int seconds = 5 * 3600 + 1800;
    const auto waitSent = [&] {
        return WaitUntil(
            [&] {
                return sites[0].publisher->readingSegments() == 0
                    && sites[1].publisher->readingSegments() == 0;
            },
            20000);
    };
    for (int i = 0; i < seconds; ++i) {
        if (i == 6000) {
            ASSERT_TRUE(waitSent());
            broker.stop();
        }
        if (i == 8000) {
            ASSERT_TRUE(broker.start(broker.port())) << broker.log().toStdString();
        }
        if (i == 12000 && withPostgres) {
            ASSERT_TRUE(waitSent());
            ASSERT_TRUE(WaitUntil([&] { return stored(postgres.url()) > 11000 * 2; }, 30000));
            postgres.stop();
        }
        if (i == 14000 && withPostgres) {
            ASSERT_TRUE(postgres.resume()) << postgres.log().toStdString();
        }
        const QDateTime now = from.addSecs(i).toLocalTime();
        for (Site &site : sites) {
            const double level = 40.0 + ((i * 7 + site.name.size()) % 400) / 10.0;
            site.station->tick(now, level, QString::number(level, 'f', 1), boards);
        }
    }
    for (Site &site : sites) {
        site.station->stop(from.addSecs(seconds).toLocalTime(), boards);
        if (const auto minute = site.minutes.flush())
            site.publisher->publishReadings(minute->day, minute->json);
    }
    for (const QString &database : databases)
        EXPECT_TRUE(WaitUntil([&] { return stored(database) == 2 * seconds; }, 90000))
            << database.toStdString() << ": " << stored(database) << " of " << 2 * seconds;
    for (Site &site : sites)
        site.publisher->stop(1000);
    stop = true;
    for (std::thread &thread : threads)
        thread.join();

    // The database's outage was seen, and its end.
    if (withPostgres) {
        const QString all = said.join('\n');
        EXPECT_TRUE(all.contains(postgres.url() + ": the database is away")
                    && all.contains(postgres.url() + ": database back"))
            << all.toStdString();
    }

    // vorn-stats finds in each hub what it finds in the day files: the file
    // names and the header the hub does not keep aside.
    const auto figures = [](const QStringList &arguments) {
        QProcess stats;
        stats.start(QStringLiteral(VORN_STATS), arguments);
        stats.waitForFinished(60000);
        QStringList rows = QString::fromUtf8(stats.readAllStandardOutput()).split('\n');
        for (QString &row : rows)
            row = row.section(',', 1);
        return rows;
    };
    for (const Site &site : sites) {
        for (const QStringList &options :
             { QStringList { "--csv" }, QStringList { "--csv", "--intervals", "15min" } }) {
            const QStringList files = figures(QStringList { site.folder } + options);
            ASSERT_GE(files.size(), 2);
            for (const QString &database : databases)
                EXPECT_EQ(figures(QStringList { "--hub", database, "--station", site.name } + options),
                          files)
                    << database.toStdString();
        }
        EXPECT_EQ(countOf(databases[0], QStringLiteral("SELECT COUNT(*) FROM intervals WHERE "
                                                       "station = '%1'")
                                            .arg(site.name)),
                  seconds / 900);
    }
}

} // namespace

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
