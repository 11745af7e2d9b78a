#include "HubStore.h"
#include "recording/Energy.h"

#include "analysis/LevelText.h"
#include "analysis/engine/FileStatistics.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// Written once for SQLite and PostgreSQL. Energies are 10^(L/10) of the
// readings that enter Leq: a span's true Leq is 10·log10(Σ energy / Σ count).
const char *const Schema[] = {
    "CREATE TABLE IF NOT EXISTS readings (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "at_ms BIGINT NOT NULL, local_time TEXT NOT NULL, day TEXT NOT NULL, "
    "level_text TEXT NOT NULL, level DOUBLE PRECISION, energy DOUBLE PRECISION, "
    "interval_s INTEGER NOT NULL, PRIMARY KEY (station, origin, at_ms))",
    "CREATE INDEX IF NOT EXISTS readings_day ON readings (station, day)",
    "CREATE TABLE IF NOT EXISTS intervals (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "start_ms BIGINT NOT NULL, end_ms BIGINT NOT NULL, start_time TEXT NOT NULL, "
    "end_time TEXT NOT NULL, readings BIGINT, leq DOUBLE PRECISION, energy DOUBLE PRECISION, "
    "lmax DOUBLE PRECISION, lmin DOUBLE PRECISION, state TEXT, partial INTEGER NOT NULL, "
    "payload TEXT NOT NULL, PRIMARY KEY (station, origin, start_ms, end_ms))",
    "CREATE TABLE IF NOT EXISTS events (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "at_ms BIGINT NOT NULL, local_time TEXT NOT NULL, name TEXT NOT NULL, detail TEXT NOT NULL, "
    "payload TEXT NOT NULL, PRIMARY KEY (station, origin, at_ms, name, detail))",
    "CREATE TABLE IF NOT EXISTS alarms (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "at_ms BIGINT NOT NULL, local_time TEXT NOT NULL, name TEXT NOT NULL, detail TEXT NOT NULL, "
    "payload TEXT NOT NULL, PRIMARY KEY (station, origin, at_ms, name, detail))",
    "CREATE TABLE IF NOT EXISTS weather (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "at_ms BIGINT NOT NULL, local_time TEXT NOT NULL, name TEXT NOT NULL, detail TEXT NOT NULL, "
    "payload TEXT NOT NULL, PRIMARY KEY (station, origin, at_ms, name, detail))",
    "CREATE TABLE IF NOT EXISTS calibrations (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "at_ms BIGINT NOT NULL, local_time TEXT NOT NULL, name TEXT NOT NULL, detail TEXT NOT NULL, "
    "payload TEXT NOT NULL, PRIMARY KEY (station, origin, at_ms, name, detail))",
    "CREATE TABLE IF NOT EXISTS states (station TEXT NOT NULL, kind TEXT NOT NULL, "
    "value TEXT NOT NULL, since_ms BIGINT NOT NULL, PRIMARY KEY (station, kind))",
    "CREATE TABLE IF NOT EXISTS state_changes (station TEXT NOT NULL, kind TEXT NOT NULL, "
    "value TEXT NOT NULL, at_ms BIGINT NOT NULL, PRIMARY KEY (station, kind, at_ms, value))",
    "CREATE TABLE IF NOT EXISTS details (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "host TEXT, zone TEXT, meter TEXT, payload TEXT NOT NULL, received_ms BIGINT NOT NULL, "
    "PRIMARY KEY (station, origin))",
    "CREATE TABLE IF NOT EXISTS origins (station TEXT NOT NULL, origin TEXT NOT NULL, "
    "host TEXT, first_ms BIGINT NOT NULL, PRIMARY KEY (station, origin))",
    "CREATE TABLE IF NOT EXISTS hub_events (at_ms BIGINT NOT NULL, name TEXT NOT NULL, "
    "detail TEXT NOT NULL)",
    // Energy sums and counts per hour and day of the site, and their Leq.
    "CREATE VIEW IF NOT EXISTS reading_days AS SELECT station, origin, day, "
    "SUM(energy) AS energy, COUNT(energy) AS readings, "
    "10 * LOG10(SUM(energy) / NULLIF(COUNT(energy), 0)) AS leq FROM readings "
    "GROUP BY station, origin, day",
    "CREATE VIEW IF NOT EXISTS reading_hours AS SELECT station, origin, "
    "SUBSTR(local_time, 1, 13) AS hour, SUM(energy) AS energy, COUNT(energy) AS readings, "
    "10 * LOG10(SUM(energy) / NULLIF(COUNT(energy), 0)) AS leq FROM readings "
    "GROUP BY station, origin, SUBSTR(local_time, 1, 13)",
};

// PostgreSQL knows no CREATE VIEW IF NOT EXISTS.
QString forDatabase(QString sql, bool postgres)
{
    if (postgres)
        sql.replace(QLatin1String("CREATE VIEW IF NOT EXISTS"),
                    QLatin1String("CREATE OR REPLACE VIEW"));
    return sql;
}

std::optional<qint64> instantOf(const QJsonValue &value)
{
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODate);
    if (!time.isValid() || value.toString().size() < 20)
        return std::nullopt;
    return time.toMSecsSinceEpoch();
}

QString originOf(const QJsonObject &object)
{
    return object.value(QStringLiteral("folder")).toString();
}

} // namespace

HubStore::HubStore(std::unique_ptr<SqlDatabase> db, Tell tell, Clock clock)
    : m_db(std::move(db))
    , m_tell(std::move(tell))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentMSecsSinceEpoch(); }))
{
}

bool HubStore::prepare(QString *reason)
{
    for (const char *sql : Schema) {
        if (!m_db->exec(forDatabase(QString::fromLatin1(sql), m_db->postgres()))) {
            *reason = m_db->error();
            return false;
        }
    }
    return true;
}

void HubStore::event(const QString &name, const QString &detail)
{
    if (m_tell)
        m_tell(name, detail);
    m_db->exec(QStringLiteral("INSERT INTO hub_events (at_ms, name, detail) VALUES ($1, $2, $3)"),
               { m_clock(), name, detail });
}

HubStore::Result HubStore::failed(const QString &what)
{
    return { Outcome::DatabaseAway, what + QStringLiteral(": ") + m_db->error() };
}

HubStore::Result HubStore::store(const QString &topic, const QByteArray &payload)
{
    const QStringList parts = topic.split(QLatin1Char('/'));
    if (parts.size() != 3 || parts[0] != QLatin1String("vorn") || parts[1].isEmpty())
        return { Outcome::Ignored, {} };
    const QString &station = parts[1];
    const QString &kind = parts[2];
    if (kind == QLatin1String("readings"))
        return readings(station, payload);
    if (kind == QLatin1String("interval") || kind == QLatin1String("event")
        || kind == QLatin1String("alarm") || kind == QLatin1String("weather")
        || kind == QLatin1String("calibration"))
        return keyedRow(station, kind, payload);
    if (kind == QLatin1String("status") || kind == QLatin1String("link"))
        return stateChange(station, kind, payload);
    if (kind == QLatin1String("details"))
        return details(station, payload);
    return { Outcome::Ignored, {} };
}

void HubStore::noteOrigin(const QString &station, const QString &origin, const QString &host)
{
    const QString key = station + QLatin1Char('\n') + origin;
    if (m_knownOrigins.contains(key))
        return;
    QStringList others;
    bool known = false;
    m_db->select(
        QStringLiteral("SELECT origin, host FROM origins WHERE station = $1"), { station },
        [&](const SqlDatabase::Values &row) {
            if (row[0].toString() == origin)
                known = true;
            else
                others << QStringLiteral("%1 on %2").arg(row[0].toString(), row[1].toString());
        });
    if (!known) {
        m_db->exec(QStringLiteral("INSERT INTO origins (station, origin, host, first_ms) VALUES "
                                  "($1, $2, $3, $4) ON CONFLICT DO NOTHING"),
                   { station, origin, host, m_clock() });
        if (!others.isEmpty())
            event(QStringLiteral("station name shared"),
                  QStringLiteral("station \"%1\" publishes from folder hash %2 on %3 besides %4; "
                                 "their rows are stored apart")
                      .arg(station, origin, host, others.join(QStringLiteral(", "))));
    }
    m_knownOrigins.insert(key);
}

HubStore::Result HubStore::readings(const QString &station, const QByteArray &payload)
{
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    const QJsonArray list = object.value(QStringLiteral("readings")).toArray();
    const int interval = object.value(QStringLiteral("interval_s")).toInt(0);
    if (list.isEmpty() || interval <= 0)
        return { Outcome::Refused, QStringLiteral("readings without a list or sampling interval") };
    const QString origin = originOf(object);
    // Rows go in as one statement per message: a minute is one round trip.
    constexpr int Columns = 9;
    SqlDatabase::Values values;
    values.reserve(size_t(list.size()) * Columns);
    QString sql = QStringLiteral("INSERT INTO readings (station, origin, at_ms, local_time, day, "
                                 "level_text, level, energy, interval_s) VALUES ");
    for (const QJsonValue &entry : list) {
        const QJsonArray pair = entry.toArray();
        const std::optional<qint64> at = instantOf(pair.at(0));
        if (pair.size() != 2 || !at || !pair.at(1).isString())
            return { Outcome::Refused, QStringLiteral("a reading without an instant or level") };
        const QString local = pair.at(0).toString();
        const QString text = pair.at(1).toString();
        const LevelTextClass level = classifyLevelText(text);
        const std::optional<double> energyLevel = energyLevelOf(text, level);
        const int n = int(values.size());
        if (n > 0)
            sql += QStringLiteral(", ");
        sql += QStringLiteral("($%1, $%2, $%3, $%4, $%5, $%6, $%7, $%8, $%9)")
                   .arg(n + 1)
                   .arg(n + 2)
                   .arg(n + 3)
                   .arg(n + 4)
                   .arg(n + 5)
                   .arg(n + 6)
                   .arg(n + 7)
                   .arg(n + 8)
                   .arg(n + 9);
        values.insert(values.end(),
                      { station, origin, *at, local, local.left(10), text,
                        energyLevel ? QVariant(*energyLevel) : QVariant(),
                        energyLevel ? QVariant(Energy::ofLevel(*energyLevel)) : QVariant(),
                        interval });
    }
    sql += QStringLiteral(" ON CONFLICT DO NOTHING");
    return transaction(QStringLiteral("readings"), station, &object,
                       [&] { return m_db->exec(sql, values); });
}

HubStore::Result HubStore::transaction(const QString &what, const QString &station,
                                       const QJsonObject *from, const std::function<bool()> &rows)
{
    if (!m_db->begin())
        return failed(what);
    if (from)
        noteOrigin(station, originOf(*from), from->value(QStringLiteral("host")).toString());
    if (rows() && m_db->commit())
        return {};
    const Result result = failed(what);
    m_db->rollback();
    // An origin noted in what was rolled back is noted again next time.
    m_knownOrigins.clear();
    return result;
}

HubStore::Result HubStore::keyedRow(const QString &station, const QString &kind,
                                    const QByteArray &payload)
{
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    const QString origin = originOf(object);
    const QString compact = QString::fromUtf8(payload);
    QString sql;
    SqlDatabase::Values values;
    if (kind == QLatin1String("interval")) {
        const std::optional<qint64> start = instantOf(object.value(QStringLiteral("start")));
        const std::optional<qint64> end = instantOf(object.value(QStringLiteral("end")));
        if (!start || !end)
            return { Outcome::Refused,
                     QStringLiteral("an interval row without its start and end") };
        const QJsonValue leq = object.value(QStringLiteral("leq"));
        const qint64 count = object.value(QStringLiteral("readings")).toInteger();
        const QVariant energy = leq.isDouble()
            ? QVariant(double(count) * Energy::ofLevel(leq.toDouble()))
            : QVariant();
        const auto number = [&](const char *key) {
            const QJsonValue v = object.value(QLatin1String(key));
            return v.isDouble() ? QVariant(v.toDouble()) : QVariant();
        };
        sql = QStringLiteral(
            "INSERT INTO intervals (station, origin, start_ms, end_ms, start_time, "
            "end_time, readings, leq, energy, lmax, lmin, state, partial, "
            "payload) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, "
            "$13, $14) ON CONFLICT DO NOTHING");
        values = { station,
                   origin,
                   *start,
                   *end,
                   object.value(QStringLiteral("start")).toString(),
                   object.value(QStringLiteral("end")).toString(),
                   count,
                   number("leq"),
                   energy,
                   number("lmax"),
                   number("lmin"),
                   object.value(QStringLiteral("state")).isString()
                       ? QVariant(object.value(QStringLiteral("state")).toString())
                       : QVariant(),
                   object.value(QStringLiteral("partial")).toBool() ? 1 : 0,
                   compact };
    } else {
        // Events, alarms, weather rows and calibration checks: a time, a
        // name and a detail.
        const QJsonValue time = object.value(QStringLiteral("time"));
        const std::optional<qint64> at = instantOf(time);
        if (!at)
            return { Outcome::Refused, QStringLiteral("a %1 without its time").arg(kind) };
        const QString name = object.value(QStringLiteral("event")).toString();
        const QString detail = object.value(QStringLiteral("detail")).toString();
        const QString table = kind == QLatin1String("calibration") ? QStringLiteral("calibrations")
            : kind == QLatin1String("weather")                     ? QStringLiteral("weather")
                                                                   : kind + QLatin1Char('s');
        sql = QStringLiteral("INSERT INTO %1 (station, origin, at_ms, local_time, name, detail, "
                             "payload) VALUES ($1, $2, $3, $4, $5, $6, $7) ON CONFLICT DO NOTHING")
                  .arg(table);
        values = { station, origin, *at, time.toString(), name, detail, compact };
    }
    return transaction(kind, station, &object, [&] { return m_db->exec(sql, values); });
}

HubStore::Result HubStore::stateChange(const QString &station, const QString &kind,
                                       const QByteArray &payload)
{
    // Retained: heard again at every start of the hub, so stored only when
    // it changes the station's state.
    const QString value = QString::fromUtf8(payload).trimmed();
    if (value.isEmpty() || value.size() > 64)
        return { Outcome::Refused, QStringLiteral("a %1 of no known form").arg(kind) };
    QString current;
    if (!m_db->select(QStringLiteral("SELECT value FROM states WHERE station = $1 AND kind = $2"),
                      { station, kind },
                      [&](const SqlDatabase::Values &row) { current = row[0].toString(); }))
        return failed(kind);
    if (current == value)
        return {};
    const qint64 now = m_clock();
    return transaction(kind, station, nullptr, [&] {
        return m_db->exec(QStringLiteral("INSERT INTO states (station, kind, value, since_ms) "
                                         "VALUES ($1, $2, $3, $4) ON CONFLICT (station, kind) DO "
                                         "UPDATE SET value = excluded.value, since_ms = "
                                         "excluded.since_ms"),
                          { station, kind, value, now })
            && m_db->exec(QStringLiteral("INSERT INTO state_changes (station, kind, value, at_ms) "
                                         "VALUES ($1, $2, $3, $4) ON CONFLICT DO NOTHING"),
                          { station, kind, value, now });
    });
}

HubStore::Result HubStore::details(const QString &station, const QByteArray &payload)
{
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    if (object.isEmpty())
        return { Outcome::Refused, QStringLiteral("details that are no JSON object") };
    return transaction(QStringLiteral("details"), station, &object, [&] {
        return m_db->exec(
            QStringLiteral("INSERT INTO details (station, origin, host, zone, meter, payload, "
                           "received_ms) VALUES ($1, $2, $3, $4, $5, $6, $7) ON CONFLICT "
                           "(station, origin) DO UPDATE SET host = excluded.host, zone = "
                           "excluded.zone, meter = excluded.meter, payload = excluded.payload, "
                           "received_ms = excluded.received_ms"),
            { station, originOf(object), object.value(QStringLiteral("host")).toString(),
              object.value(QStringLiteral("zone")).toString(),
              object.value(QStringLiteral("meter")).toString(), QString::fromUtf8(payload),
              m_clock() });
    });
}

bool HubStore::dropReadingsBefore(qint64 utcMs, qint64 *dropped)
{
    qint64 count = 0;
    m_db->select(QStringLiteral("SELECT COUNT(*) FROM readings WHERE at_ms < $1"), { utcMs },
                 [&](const SqlDatabase::Values &row) { count = row[0].toLongLong(); });
    if (dropped)
        *dropped = count;
    return count == 0
        || m_db->exec(QStringLiteral("DELETE FROM readings WHERE at_ms < $1"), { utcMs });
}
