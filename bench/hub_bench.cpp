// What a fleet costs its hub: 200 simulated stations at a reading a second
// through one local broker into one vorn-hub process (its lag at the end, CPU
// and peak memory, and the database's size per station-day, for SQLite and
// PostgreSQL), and a month of one station read back by vorn-stats --hub.
#include "hub/HubStore.h"
#include "support/EventWaits.h"
#include "support/MqttBroker.h"
#include "support/PostgresServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <benchmark/benchmark.h>
#include <mosquitto.h>

#include <cmath>
#include <thread>

#include <unistd.h>

namespace {

constexpr int Stations = 200;

// Simulated minutes; VORN_BENCH_MINUTES shortens a trial run.
int minutes()
{
    bool ok = false;
    const int m = qEnvironmentVariableIntValue("VORN_BENCH_MINUTES", &ok);
    return ok && m > 0 ? m : 10;
}

// How much faster than real time the stations publish (1: real time).
double speed()
{
    bool ok = false;
    const double s = qEnvironmentVariable("VORN_BENCH_SPEED").toDouble(&ok);
    return ok && s > 0 ? s : 1.0;
}

qint64 countOf(const QString &database)
{
    QString error;
    const auto db = SqlDatabase::open(database, {}, &error);
    qint64 count = -1;
    if (db)
        db->select(QStringLiteral("SELECT COUNT(*) FROM readings"), {},
                   [&](const SqlDatabase::Values &row) { count = row[0].toLongLong(); });
    return count;
}

// CPU seconds and peak resident MB of a process, from /proc.
std::pair<double, double> usageOf(qint64 pid)
{
    double cpu = 0;
    double peak = 0;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
        cpu = (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return { cpu, peak };
}

// One minute of a station's readings, as vorn-monitor publishes it.
QByteArray minuteOf(int station, qint64 minuteStartS)
{
    QByteArray readings;
    for (int s = 0; s < 60; ++s) {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(minuteStartS + s, QTimeZone(3600));
        const double level = 40.0 + ((station * 13 + s * 7 + minuteStartS / 60) % 400) / 10.0;
        readings += (s ? ", [\"" : "[\"") + at.toString(Qt::ISODate).toUtf8() + "\", \""
            + QByteArray::number(level, 'f', 1) + "\"]";
    }
    return "{\"minute\": \"" + QDateTime::fromSecsSinceEpoch(minuteStartS, QTimeZone(3600))
                                   .toString(Qt::ISODate)
                                   .toUtf8()
        + "\", \"interval_s\": 1, \"readings\": [" + readings + "], \"host\": \"bench\", "
        + "\"folder\": \"" + QByteArray::number(station, 16).rightJustified(8, '0') + "\"}";
}

void fleet(benchmark::State &state, bool postgres)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        Broker broker(dir.path(), QStringLiteral("allow_anonymous true\nmax_queued_messages 0"));
        if (!broker.start()) {
            state.SkipWithError("no broker");
            return;
        }
        PostgresServer server;
        if (postgres && (!PostgresServer::available() || !server.start())) {
            state.SkipWithError("no PostgreSQL");
            return;
        }
        const QString database = postgres ? server.url() : dir.filePath("hub.sqlite");
        QProcess hub;
        hub.setProcessChannelMode(QProcess::MergedChannels);
        hub.setStandardOutputFile(dir.filePath("hub.log"));
        hub.start(QStringLiteral(VORN_HUB), { "--mqtt", broker.url(), "--db", database });
        if (!WaitUntil([&] { return countOf(database) == 0; }, 10000)) {
            state.SkipWithError("the hub did not start");
            return;
        }
        mosquitto *client = mosquitto_new("bench-stations", true, nullptr);
        mosquitto_connect(client, "127.0.0.1", broker.port(), 30);
        mosquitto_loop_start(client);
        // The hub has subscribed once a probe's status is in its database.
        const auto probed = [&] {
            QString error;
            const auto db = SqlDatabase::open(database, {}, &error);
            bool seen = false;
            if (db)
                db->select(QStringLiteral("SELECT 1 FROM states WHERE station = 'probe'"), {},
                           [&](const SqlDatabase::Values &) { seen = true; });
            return seen;
        };
        if (!WaitUntil(
                [&] {
                    mosquitto_publish(client, nullptr, "vorn/probe/status", 6, "online", 1, false);
                    return probed();
                },
                10000)) {
            state.SkipWithError("the hub did not subscribe");
            return;
        }
        const qint64 start = QDateTime::fromString("2026-12-10T00:00:00Z", Qt::ISODate)
                                 .toSecsSinceEpoch();
        QElapsedTimer clock;
        clock.start();
        const double minuteMs = 60000.0 / speed();
        for (int m = 0; m < minutes(); ++m) {
            for (int s = 0; s < Stations; ++s) {
                // Each station's minute comes when its last second has, spread
                // over the minute as stations start at different seconds.
                const qint64 due = qint64((m + double(s) / Stations) * minuteMs);
                while (clock.elapsed() < due)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                const QByteArray payload = minuteOf(s, start + m * 60);
                const QByteArray topic = "vorn/s" + QByteArray::number(s) + "/readings";
                mosquitto_publish(client, nullptr, topic.constData(), int(payload.size()),
                                  payload.constData(), 1, false);
            }
        }
        const qint64 sentAt = clock.elapsed();
        const qint64 all = qint64(Stations) * minutes() * 60;
        if (!WaitUntil([&] { return countOf(database) >= all; }, 120000)) {
            QFile log(dir.filePath("hub.log"));
            log.open(QIODevice::ReadOnly);
            state.SkipWithError(("not all readings came: " + log.readAll()).constData());
        }
        const double lagS = (clock.elapsed() - sentAt) / 1000.0;
        const auto [cpu, peak] = usageOf(hub.processId());
        const double wallS = clock.elapsed() / 1000.0;
        mosquitto_loop_stop(client, true);
        mosquitto_destroy(client);
        hub.terminate();
        hub.waitForFinished(10000);
        double bytes = 0;
        if (postgres) {
            QString error;
            SqlDatabase::open(database, {}, &error)
                ->select(QStringLiteral("SELECT pg_total_relation_size('readings')"), {},
                         [&](const SqlDatabase::Values &row) { bytes = row[0].toDouble(); });
        } else {
            bytes = QFileInfo(database).size() + QFileInfo(database + "-wal").size();
        }
        const double stationDays = Stations * minutes() / 1440.0;
        state.counters["lag_s"] = lagS;
        state.counters["hub_cpu_pct"] = 100.0 * cpu / wallS;
        state.counters["hub_peak_MB"] = peak;
        state.counters["MB_per_station_day"] = bytes / stationDays / 1e6;
        state.counters["readings_stored"] = double(countOf(database));
    }
}

void BM_FleetIntoSqlite(benchmark::State &state)
{
    fleet(state, false);
}
BENCHMARK(BM_FleetIntoSqlite)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_FleetIntoPostgres(benchmark::State &state)
{
    fleet(state, true);
}
BENCHMARK(BM_FleetIntoPostgres)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// A month of one station at a reading a second in the hub, read by vorn-stats.
void BM_MonthFromTheHub(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString database = dir.filePath("hub.sqlite");
    {
        QString error;
        HubStore store(SqlDatabase::open(database, {}, &error), nullptr);
        store.prepare(&error);
        SqlDatabase *db = &store.database();
        const qint64 start = QDateTime::fromString("2026-11-01T00:00:00+01:00", Qt::ISODate)
                                 .toSecsSinceEpoch();
        db->begin();
        db->exec(QStringLiteral("INSERT INTO origins VALUES ('fence', '00000001', 'bench', 0)"));
        db->exec(QStringLiteral("INSERT INTO details VALUES ('fence', '00000001', 'bench', "
                                "'Europe/Berlin', '', '{}', 0)"));
        for (qint64 s = 0; s < 30 * 86400; s += 100) {
            QString sql = QStringLiteral("INSERT INTO readings VALUES ");
            SqlDatabase::Values values;
            for (qint64 i = s; i < s + 100; ++i) {
                const QDateTime at = QDateTime::fromSecsSinceEpoch(start + i, QTimeZone(3600));
                const QString local = at.toString(Qt::ISODate);
                const double level = 40.0 + (i * 7 % 400) / 10.0;
                sql += QStringLiteral("%1('fence', '00000001', %2, '%3', '%4', '%5', %6, %7, 1)")
                           .arg(i == s ? "" : ", ")
                           .arg((start + i) * 1000)
                           .arg(local, local.left(10), QString::number(level, 'f', 1))
                           .arg(level)
                           .arg(std::pow(10.0, level / 10.0), 0, 'g', 17);
            }
            db->exec(sql, values);
        }
        db->commit();
    }
    for (auto _ : state) {
        QProcess stats;
        stats.start(QStringLiteral(VORN_STATS),
                    { "--hub", database, "--station", "fence", "--intervals", "1h", "--json" });
        stats.waitForFinished(120000);
        if (stats.exitCode() != 0)
            state.SkipWithError(stats.readAllStandardError().constData());
    }
    state.counters["readings"] = 30 * 86400;
}
BENCHMARK(BM_MonthFromTheHub)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    mosquitto_lib_init();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    return 0;
}
