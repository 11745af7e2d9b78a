#include "HubReadings.h"

#include "SqlDatabase.h"

#include "analysis/batch/Calibration.h"
#include "recording/DataFileWriter.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

// "2026-12-11T04:00:00+01:00" as a day file stamps it: "2026/12/11 04:00:00".
QString stampOf(const QString &local)
{
    QString stamp = local.left(19);
    stamp[4] = QLatin1Char('/');
    stamp[7] = QLatin1Char('/');
    stamp[10] = QLatin1Char(' ');
    return stamp;
}

class DayWriter
{
public:
    DayWriter(QString folder, QString station, QString zone, QString meter)
        : m_folder(std::move(folder))
        , m_station(std::move(station))
        , m_zone(std::move(zone))
        , m_meter(std::move(meter))
    {
    }

    bool add(const QString &local, const QString &level, int interval)
    {
        const QString day = local.left(10);
        if (day != m_day || interval != m_interval)
            if (!finish())
                return false;
        if (m_body.isEmpty()) {
            m_day = day;
            m_interval = interval;
            m_first = local;
            m_count = 0;
            m_body = FileLine(ColumnHeaderLine());
        }
        m_body += FileLine(RecordLine(++m_count, stampOf(local), level));
        return true;
    }

    bool finish()
    {
        if (m_body.isEmpty())
            return true;
        RealTimeHeader header;
        header.SampleInterval = m_interval;
        QByteArray bytes;
        for (const QString &line : header.lines())
            bytes += FileLine(line);
        bytes += m_body;
        m_body.clear();
        // A day whose sampling interval changed is a second file, as the
        // station's restart would have made.
        QString path;
        for (int copy = 1;; ++copy) {
            path = QDir(m_folder).filePath(
                QStringLiteral("%1 %2%3.vorn")
                    .arg(m_station, m_day,
                         copy == 1 ? QString() : QStringLiteral(" (%1)").arg(copy)));
            if (!QFile::exists(path))
                break;
        }
        MeasurementDetails details;
        details.timeZone = m_zone;
        details.meterSerial = m_meter;
        details.firstReading = m_first;
        QFile file(path);
        QFile side(MeasurementDetails::pathFor(path));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
            || !side.open(QIODevice::WriteOnly) || side.write(details.toJson()) < 0) {
            problem = QStringLiteral("%1 cannot be written: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
        files << path;
        return true;
    }

    QStringList files;
    QString problem;

private:
    QString m_folder;
    QString m_station;
    QString m_zone;
    QString m_meter;
    QString m_day;
    QString m_first;
    int m_interval = 0;
    qint64 m_count = 0;
    QByteArray m_body;
};

} // namespace

HubSeries exportHubSeries(const QString &database, const QString &password,
                          const QString &station, QString origin, std::optional<QDate> fromDay,
                          std::optional<QDate> toDay, const QString &folder)
{
    HubSeries series;
    const QString where = SqlDatabase::isPostgres(database)
        ? database
        : QDir::toNativeSeparators(database);
    if (!SqlDatabase::isPostgres(database) && !QFile::exists(database)) {
        series.problem = QStringLiteral("the hub's database %1 does not exist").arg(where);
        return series;
    }
    QString error;
    const auto db = SqlDatabase::open(database, password, &error);
    if (!db) {
        series.problem = QStringLiteral("the hub's database %1 cannot be opened: %2").arg(where, error);
        return series;
    }
    QStringList origins;
    QStringList named; // "HASH (on HOST)"
    if (!db->select(QStringLiteral("SELECT origin, host FROM origins WHERE station = $1 ORDER BY "
                                   "first_ms"),
                    { station }, [&](const SqlDatabase::Values &row) {
                        origins << row[0].toString();
                        named << QStringLiteral("%1 (on %2)").arg(row[0].toString(),
                                                                  row[1].toString());
                    })) {
        series.problem = QStringLiteral("%1 is no hub's database: %2").arg(where, db->error());
        return series;
    }
    if (origins.isEmpty() || (!origin.isEmpty() && !origins.contains(origin))) {
        series.problem = QStringLiteral("the hub %1 holds nothing of the station %2")
                             .arg(where, origin.isEmpty() ? station : station + QLatin1Char('@') + origin);
        return series;
    }
    if (origin.isEmpty() && origins.size() > 1) {
        series.problem = QStringLiteral("the hub holds %1 stations named %2, told apart by their "
                                        "folder hash: %3; choose one with --station %2@HASH")
                             .arg(origins.size())
                             .arg(station, named.join(QStringLiteral(", ")));
        return series;
    }
    if (origin.isEmpty())
        origin = origins.front();
    QString zone;
    QString meter;
    db->select(QStringLiteral("SELECT zone, meter FROM details WHERE station = $1 AND origin = $2"),
               { station, origin }, [&](const SqlDatabase::Values &row) {
                   zone = row[0].toString();
                   meter = row[1].toString();
               });
    QString sql = QStringLiteral("SELECT local_time, level_text, interval_s FROM readings WHERE "
                                 "station = $1 AND origin = $2");
    SqlDatabase::Values values { station, origin };
    // A day either side: the window is the site's, and read again by vorn-stats.
    if (fromDay) {
        values.push_back(fromDay->addDays(-1).toString(Qt::ISODate));
        sql += QStringLiteral(" AND day >= $%1").arg(values.size());
    }
    if (toDay) {
        values.push_back(toDay->addDays(1).toString(Qt::ISODate));
        sql += QStringLiteral(" AND day <= $%1").arg(values.size());
    }
    sql += QStringLiteral(" ORDER BY at_ms");
    DayWriter writer(folder, station, zone, meter);
    bool written = true;
    if (!db->select(sql, values, [&](const SqlDatabase::Values &row) {
            written = written
                && writer.add(row[0].toString(), row[1].toString(), int(row[2].toLongLong()));
        })) {
        series.problem = QStringLiteral("the readings of %1 cannot be read from %2: %3")
                             .arg(station, where, db->error());
        return series;
    }
    if (!written || !writer.finish()) {
        series.problem = writer.problem;
        return series;
    }
    if (writer.files.isEmpty())
        series.problem = QStringLiteral("the hub %1 holds no readings of the station %2%3")
                             .arg(where, station,
                                  fromDay || toDay ? QStringLiteral(" in that time") : QString());
    series.files = writer.files;
    return series;
}
