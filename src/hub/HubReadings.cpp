#include "HubReadings.h"

#include "SqlDatabase.h"

#include "analysis/records/Calibration.h"
#include "recording/DataFileWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <string>

namespace {

// "2026-12-11T04:00:00+01:00" as a day file stamps it, "2026/12/11 04:00:00",
// appended to `out`.
void appendStamp(std::string &out, QByteArrayView local)
{
    const size_t at = out.size();
    out.append(local.data(), size_t(std::min<qsizetype>(19, local.size())));
    if (out.size() - at == 19) {
        out[at + 4] = '/';
        out[at + 7] = '/';
        out[at + 10] = ' ';
    }
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
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

    bool add(QByteArrayView local, QByteArrayView level, int interval)
    {
        const QByteArrayView day = local.first(std::min<qsizetype>(10, local.size()));
        if (day != m_day || interval != m_interval)
            if (!finish())
                return false;
        if (m_body.empty()) {
            m_day = day.toByteArray();
            m_interval = interval;
            m_first = QString::fromUtf8(local);
            m_count = 0;
            m_body = FileLine(ColumnHeaderLine()).toStdString();
            // A day at a reading a second, without growing line by line.
            m_body.reserve(size_t(86400 / std::max(1, interval) + 1) * 34);
        }
        ++m_count;
        // The body line as the recording writes it; a level text that is not
        // ASCII (a damaged one) goes through the file's code page as there.
        if (!isAscii(level)) {
            std::string stamp;
            appendStamp(stamp, local);
            m_body += FileLine(RecordLine(m_count, QString::fromStdString(stamp),
                                          QString::fromUtf8(level)))
                          .toStdString();
            return true;
        }
        char number[24];
        const auto end = std::to_chars(number, number + sizeof number, m_count).ptr;
        m_body.append(number, size_t(end - number)).append(1, '\t');
        appendStamp(m_body, local);
        m_body.append(1, '\t').append(level.data(), size_t(level.size())).append("\t\r\n");
        return true;
    }

    bool finish()
    {
        if (m_body.empty())
            return true;
        RealTimeHeader header;
        header.SampleInterval = m_interval;
        QByteArray bytes;
        for (const QString &line : header.lines())
            bytes += FileLine(line);
        bytes.append(m_body.data(), qsizetype(m_body.size()));
        m_body.clear();
        // A day whose sampling interval changed is a second file, as the
        // station's restart would have made.
        QString path;
        for (int copy = 1;; ++copy) {
            path = QDir(m_folder).filePath(
                QStringLiteral("%1 %2%3.vorn")
                    .arg(m_station, QString::fromLatin1(m_day),
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
    QByteArray m_day;
    QString m_first;
    int m_interval = 0;
    qint64 m_count = 0;
    std::string m_body; // grown without Qt's copy per append
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
    const auto db = SqlDatabase::open(database, password, &error, SqlDatabase::Access::ReadOnly);
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
    if (!db->selectTexts(sql, values, [&](const SqlDatabase::Texts &row) {
            written = written && writer.add(row[0], row[1], row[2].toInt());
        })) {
        series.problem = QStringLiteral("the readings of %1 cannot be read from %2: %3")
                             .arg(station, where, db->error());
        return series;
    }
    if (!written || !writer.finish()) {
        series.problem = writer.problem;
        return series;
    }
    // The station's calibration checks, as the folder's log beside its day files.
    const QString log = QDir(folder).filePath(QLatin1String(CalibrationLog::FileName));
    db->select(QStringLiteral("SELECT payload FROM calibrations WHERE station = $1 AND origin = $2 "
                              "ORDER BY at_ms"),
               { station, origin }, [&](const SqlDatabase::Values &row) {
                   const QJsonObject check = QJsonDocument::fromJson(row[0].toString().toUtf8()).object();
                   CalibrationRecord record;
                   record.time = QDateTime::fromString(check.value(QStringLiteral("time")).toString(),
                                                       Qt::ISODate);
                   record.meterSerial = check.value(QStringLiteral("meter")).toString();
                   record.calibratorSerial = check.value(QStringLiteral("calibrator")).toString();
                   record.calibratorLevel = check.value(QStringLiteral("calibrator_level")).toDouble();
                   record.mean = record.lowest = record.highest
                       = check.value(QStringLiteral("mean")).toDouble();
                   record.deviation = check.value(QStringLiteral("deviation")).toDouble();
                   record.tolerance = check.value(QStringLiteral("tolerance")).toDouble();
                   if (record.time.isValid())
                       CalibrationLog::append(log, record);
               });
    if (writer.files.isEmpty())
        series.problem = QStringLiteral("the hub %1 holds no readings of the station %2%3")
                             .arg(where, station,
                                  fromDay || toDay ? QStringLiteral(" in that time") : QString());
    series.files = writer.files;
    return series;
}
