#include "Calibration.h"

#include "BatchReport.h"
#include "CivilTime.h"
#include "ui/core/DiskSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace {

QString fixed2(double v)
{
    return QString::number(v, 'f', 2);
}

int64_t civilOf(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    return CivilTime::civilSecondsOf(local.date(), local.time());
}

const std::pair<const char *, QString MeasurementDetails::*> DetailKeys[] = {
    { "site", &MeasurementDetails::site },
    { "position", &MeasurementDetails::position },
    { "operator", &MeasurementDetails::operatorName },
    { "weather", &MeasurementDetails::weather },
    { "notes", &MeasurementDetails::notes },
    { "meter_make", &MeasurementDetails::meterMake },
    { "meter_model", &MeasurementDetails::meterModel },
    { "meter_serial", &MeasurementDetails::meterSerial },
    { "meter_class", &MeasurementDetails::meterClass },
};

} // namespace

CalibrationRecord CalibrationRecord::ofCheck(const CalibrationCheck::Result &result,
                                             double calibratorLevel, double tolerance,
                                             const QString &meterSerial,
                                             const QString &calibratorSerial)
{
    CalibrationRecord record;
    const QDateTime now = QDateTime::currentDateTime();
    // The offset of this moment stays with it in the log.
    record.time = now.toOffsetFromUtc(now.offsetFromUtc());
    record.meterSerial = meterSerial;
    record.calibratorSerial = calibratorSerial;
    record.calibratorLevel = calibratorLevel;
    record.mean = result.mean;
    record.lowest = result.lowest;
    record.highest = result.highest;
    record.deviation = result.deviation;
    record.tolerance = tolerance;
    return record;
}

QString CalibrationLog::header()
{
    return QStringLiteral("time,meter_serial,calibrator_serial,calibrator_level,mean,lowest,"
                          "highest,deviation,tolerance");
}

QString CalibrationLog::row(const CalibrationRecord &r)
{
    return csvRow({ CivilTime::toIsoWithOffset(r.time), r.meterSerial, r.calibratorSerial,
                    fixed2(r.calibratorLevel), fixed2(r.mean), fixed2(r.lowest), fixed2(r.highest),
                    fixed2(r.deviation), fixed2(r.tolerance) });
}

QString CalibrationLog::append(const QString &path, const CalibrationRecord &record)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("The calibration log \"%1\" cannot be written: its folder cannot "
                              "be made.")
            .arg(shown);
    QFile file(path);
    const bool fresh = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("The calibration log \"%1\" cannot be written: %2")
            .arg(shown, file.errorString());
    QByteArray bytes;
    if (fresh)
        bytes += header().toUtf8() + '\n';
    bytes += row(record).toUtf8() + '\n';
    if (file.write(bytes) != bytes.size() || !syncFileToDisk(file))
        return QStringLiteral("The calibration log \"%1\" cannot be written: %2")
            .arg(shown, file.errorString());
    if (fresh)
        syncFolderToDisk(QFileInfo(path).absolutePath());
    return {};
}

std::vector<CalibrationRecord> CalibrationLog::read(const QString &path, int *unreadable)
{
    std::vector<CalibrationRecord> records;
    int bad = 0;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1String("time,")))
                continue;
            // Serial numbers are plain; a quoted field keeps its commas.
            QStringList fields;
            QString field;
            bool quoted = false;
            for (qsizetype i = 0; i < line.size(); ++i) {
                const QChar c = line[i];
                if (c == QLatin1Char('"')) {
                    if (quoted && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                        field += c;
                        ++i;
                    } else {
                        quoted = !quoted;
                    }
                } else if (c == QLatin1Char(',') && !quoted) {
                    fields << field;
                    field.clear();
                } else {
                    field += c;
                }
            }
            fields << field;
            CalibrationRecord r;
            bool ok = fields.size() == 9;
            r.time = QDateTime::fromString(fields.value(0), Qt::ISODate);
            ok = ok && r.time.isValid();
            const auto number = [&](int i, double &target) {
                bool good = false;
                target = QLocale::c().toDouble(fields.value(i), &good);
                ok = ok && good;
            };
            number(3, r.calibratorLevel);
            number(4, r.mean);
            number(5, r.lowest);
            number(6, r.highest);
            number(7, r.deviation);
            number(8, r.tolerance);
            if (!ok) {
                ++bad;
                continue;
            }
            r.meterSerial = fields[1];
            r.calibratorSerial = fields[2];
            records.push_back(r);
        }
    }
    if (unreadable)
        *unreadable = bad;
    return records;
}

QString CalibrationLog::userLogPath()
{
    // The window program's data folder (its application name is "VORN"),
    // found the same way from the command-line programs.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("VORN/") + QLatin1String(FileName));
}

QString CalibrationLog::logFor(const QString &dataFilePath)
{
    const QString beside = QFileInfo(dataFilePath).absoluteDir().filePath(QLatin1String(FileName));
    return QFileInfo::exists(beside) ? beside : userLogPath();
}

QString CalibrationVerdict::name() const
{
    switch (kind) {
    case Within:
        return QStringLiteral("within");
    case Outside:
        return QStringLiteral("outside");
    case NotVerified:
        break;
    }
    return QStringLiteral("not verified");
}

QString CalibrationVerdict::text() const
{
    return kind == NotVerified ? name() : name() + QStringLiteral(" tolerance");
}

QString CalibrationVerdict::summary() const
{
    QString text = this->text();
    if (drift)
        text += QStringLiteral(", drift %1 dB").arg(signedHundredthsText(*drift));
    else if (!before)
        text += QStringLiteral(", no check before the readings");
    else
        text += QStringLiteral(", no check after the readings");
    return text + QStringLiteral(" (tolerance %1 dB)").arg(QString::number(tolerance, 'f', 1));
}

MeasurementContext measurementContextOf(const QString &dataFilePath, std::optional<int64_t> first,
                                        std::optional<int64_t> last)
{
    MeasurementContext context;
    const bool onDisk = !dataFilePath.isEmpty() && dataFilePath != QLatin1String("-");
    if (onDisk)
        context.details = MeasurementDetails::read(MeasurementDetails::pathFor(dataFilePath),
                                                   &context.detailsProblem);
    context.calibration.logPath
        = onDisk ? CalibrationLog::logFor(dataFilePath) : CalibrationLog::userLogPath();
    if (!first || !last)
        return context;
    const QString log = context.calibration.logPath;
    context.calibration
        = judgeCalibration(CalibrationLog::read(log), *first, *last,
                           context.details ? context.details->meterSerial : QString(),
                           context.details ? context.details->tolerance : std::nullopt);
    context.calibration.logPath = log;
    return context;
}

CalibrationVerdict judgeCalibration(const std::vector<CalibrationRecord> &checks, int64_t first,
                                    int64_t last, const QString &meterSerial,
                                    std::optional<double> tolerance)
{
    CalibrationVerdict verdict;
    std::optional<int64_t> beforeAt;
    std::optional<int64_t> afterAt;
    for (const CalibrationRecord &check : checks) {
        if (!meterSerial.isEmpty() && check.meterSerial != meterSerial)
            continue;
        const int64_t at = civilOf(check.time);
        if (at < first && (!beforeAt || at >= *beforeAt)) {
            verdict.before = check;
            beforeAt = at;
        }
        if (at > last && (!afterAt || at < *afterAt)) {
            verdict.after = check;
            afterAt = at;
        }
    }
    verdict.tolerance = tolerance ? *tolerance : verdict.after ? verdict.after->tolerance : 0.5;
    if (!verdict.before || !verdict.after) {
        verdict.kind = CalibrationVerdict::NotVerified;
        return verdict;
    }
    verdict.drift = verdict.after->mean - verdict.before->mean;
    const bool within = withinTolerance(verdict.before->deviation, verdict.tolerance)
        && withinTolerance(verdict.after->deviation, verdict.tolerance)
        && withinTolerance(*verdict.drift, verdict.tolerance);
    verdict.kind = within ? CalibrationVerdict::Within : CalibrationVerdict::Outside;
    return verdict;
}

std::vector<std::pair<QString, QString>> MeasurementDetails::fields() const
{
    std::vector<std::pair<QString, QString>> out;
    const std::pair<QString, QString> all[] = {
        { QStringLiteral("Site"), site },
        { QStringLiteral("Position"), position },
        { QStringLiteral("Operator"), operatorName },
        { QStringLiteral("Weather"), weather },
        { QStringLiteral("Notes"), notes },
        { QStringLiteral("Meter make"), meterMake },
        { QStringLiteral("Meter model"), meterModel },
        { QStringLiteral("Meter serial"), meterSerial },
        { QStringLiteral("Meter class"), meterClass },
        { QStringLiteral("Tolerance"),
          tolerance ? QString::number(*tolerance, 'f', 1) + QStringLiteral(" dB") : QString() },
    };
    for (const auto &[label, value] : all)
        if (!value.trimmed().isEmpty())
            out.emplace_back(label, value);
    return out;
}

QByteArray MeasurementDetails::toJson(QJsonDocument::JsonFormat format) const
{
    QJsonObject object;
    for (const auto &[key, member] : DetailKeys)
        if (!(this->*member).isEmpty())
            object.insert(QLatin1String(key), this->*member);
    if (tolerance)
        object.insert(QStringLiteral("tolerance"), *tolerance);
    return QJsonDocument(object).toJson(format);
}

QString MeasurementDetails::pathFor(const QString &dataFilePath)
{
    return dataFilePath + QStringLiteral(".json");
}

std::optional<MeasurementDetails> MeasurementDetails::fromJson(const QByteArray &json,
                                                               QString *problem)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        if (problem)
            *problem = error.error != QJsonParseError::NoError
                ? QStringLiteral("it is no JSON (%1 at byte %2)")
                      .arg(error.errorString())
                      .arg(error.offset)
                : QStringLiteral("it holds no JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    MeasurementDetails details;
    for (const auto &[key, member] : DetailKeys)
        details.*member = object.value(QLatin1String(key)).toString();
    const QJsonValue tolerance = object.value(QStringLiteral("tolerance"));
    if (tolerance.isDouble()) {
        if (tolerance.toDouble() < 0.1 || tolerance.toDouble() > 2.0) {
            if (problem)
                *problem = QStringLiteral("its tolerance %1 dB is not between 0.1 and 2.0 dB")
                               .arg(tolerance.toDouble());
            return std::nullopt;
        }
        details.tolerance = tolerance.toDouble();
    }
    return details;
}

std::optional<MeasurementDetails> MeasurementDetails::read(const QString &path, QString *problem)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    QString why;
    std::optional<MeasurementDetails> details;
    if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else
        details = fromJson(file.readAll(), &why);
    if (!details && problem)
        *problem = QStringLiteral("The details file \"%1\" cannot be read: %2")
                       .arg(QDir::toNativeSeparators(path), why);
    return details;
}

QString MeasurementDetails::write(const QString &path) const
{
    QSaveFile file(path);
    const QByteArray bytes = toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("The details file \"%1\" cannot be written: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    syncFolderToDisk(QFileInfo(path).absolutePath());
    return {};
}
