#include "analysis/records/Calibration.h"
#include "analysis/Wording.h"

#include "analysis/records/StationFolder.h"
#include "analysis/records/SiteZone.h"

#include "analysis/records/Csv.h"
#include "analysis/records/CivilTime.h"
#include "recording/DataFileWriter.h"
#include "platform/DiskSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <QTimeZone>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace {

QString checkFixed2(double v)
{
    return QString::number(v, 'f', 2);
}

// The check's wall-clock time as written in the log, as the data file's
// stamps are the site's wall clock: no zone of the analysing computer enters.
int64_t civilOf(const QDateTime &time)
{
    return CivilTime::civilSecondsOf(time.date(), time.time());
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
                    checkFixed2(r.calibratorLevel), checkFixed2(r.mean), checkFixed2(r.lowest), checkFixed2(r.highest),
                    checkFixed2(r.deviation), checkFixed2(r.tolerance) });
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
            const QStringList fields = csvLineFields(line);
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

QStringList CalibrationLog::logsFor(const QString &dataFilePath)
{
    QStringList logs;
    const QString beside = QFileInfo(dataFilePath).absoluteDir().filePath(QLatin1String(FileName));
    if (QFileInfo::exists(beside))
        logs << beside;
    const QString user = userLogPath();
    if (QFileInfo(user).absoluteFilePath() != QFileInfo(beside).absoluteFilePath())
        logs << user;
    return logs;
}

std::vector<CalibrationRecord> CalibrationLog::readAll(const QStringList &paths)
{
    std::vector<CalibrationRecord> all;
    QSet<QString> seen;
    for (const QString &path : paths)
        for (const CalibrationRecord &record : read(path))
            // A row copied from one log to the other is one check.
            if (const QString key = row(record); !seen.contains(key)) {
                seen.insert(key);
                all.push_back(record);
            }
    return all;
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
    if (!reason.isEmpty())
        text += QStringLiteral(", ") + reason;
    else if (drift)
        text += QStringLiteral(", drift %1 dB").arg(signedHundredthsText(*drift));
    else if (!before)
        text += QStringLiteral(", no check before the readings");
    else
        text += QStringLiteral(", no check after the readings");
    const auto outside = std::count_if(during.begin(), during.end(), [this](const auto &check) {
        return !withinTolerance(check.deviation, tolerance);
    });
    if (outside > 0)
        text += QStringLiteral(", %1 of %2 checks during the readings outside")
                    .arg(outside)
                    .arg(during.size());
    text += QStringLiteral(" (tolerance %1 dB").arg(QString::number(tolerance, 'f', 1));
    if (!meterSerial.isEmpty())
        text += QStringLiteral(", checks of meter %1").arg(meterSerial);
    return text + QLatin1Char(')');
}

QString CalibrationVerdict::notVerifiedWhy() const
{
    if (!reason.isEmpty())
        return reason;
    return !before && !after ? QStringLiteral("no check before and none after the measurement")
        : !before            ? QStringLiteral("no check before the measurement")
                             : QStringLiteral("no check after the measurement");
}

std::optional<int64_t> parseCheckAge(const QString &text)
{
    // Days reach ten years; the shorter units as far as an interval's length.
    constexpr int64_t Day = 86400;
    return Wording::parseDuration(text,
                                  text.trimmed().endsWith(QLatin1Char('d'), Qt::CaseInsensitive)
                                      ? 3660 * Day
                                      : 7 * Day,
                                  Wording::DayUnit::Allowed);
}

MeasurementContext measurementContextOf(const QString &dataFilePath, std::optional<int64_t> first,
                                        std::optional<int64_t> last,
                                        std::optional<int64_t> maxCheckAgeS)
{
    MeasurementContext context;
    const bool onDisk = !dataFilePath.isEmpty() && dataFilePath != QLatin1String("-");
    bool detailsUnread = false;
    if (onDisk) {
        context.details = MeasurementDetails::read(MeasurementDetails::pathFor(dataFilePath),
                                                   &context.detailsProblem);
        detailsUnread = !context.details && !context.detailsProblem.isEmpty();
    }
    const QStringList logs = onDisk ? CalibrationLog::logsFor(dataFilePath)
                                    : QStringList { CalibrationLog::userLogPath() };
    const QString logText = logs.join(QStringLiteral(", "));
    context.calibration.logPath = logText;
    if (!first || !last)
        return context;
    const std::optional<MeasurementDetails> &d = context.details;
    std::optional<int64_t> maxAge = maxCheckAgeS;
    if (!maxAge && d && !d->maxCheckAge.isEmpty())
        maxAge = parseCheckAge(d->maxCheckAge);
    context.calibration
        = judgeCalibration(CalibrationLog::readAll(logs), *first, *last,
                           d ? d->meterSerial : QString(), d ? d->tolerance : std::nullopt, maxAge);
    context.calibration.logPath = logText;
    // A details file that names the meter, the tolerance or the age allowed
    // and cannot be read leaves the checks unjudged, not judged by others.
    static const QStringList judging { QStringLiteral("meter_serial"), QStringLiteral("tolerance"),
                                       QStringLiteral("max_check_age") };
    const bool touched = detailsUnread
        || (d && std::any_of(d->badKeys.begin(), d->badKeys.end(), [](const QString &key) {
                             return judging.contains(key);
                         }));
    if (touched) {
        context.calibration.kind = CalibrationVerdict::NotVerified;
        context.calibration.reason = QStringLiteral("the details file cannot be read");
    }
    return context;
}

CalibrationVerdict judgeCalibration(const std::vector<CalibrationRecord> &checks, int64_t first,
                                    int64_t last, const QString &meterSerial,
                                    std::optional<double> tolerance, std::optional<int64_t> maxAgeS)
{
    CalibrationVerdict verdict;
    verdict.meterSerial = meterSerial;
    verdict.maxAgeS = maxAgeS;
    std::optional<int64_t> beforeAt;
    std::optional<int64_t> afterAt;
    std::vector<std::pair<int64_t, CalibrationRecord>> during;
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
        if (at >= first && at <= last)
            during.emplace_back(at, check);
    }
    std::stable_sort(during.begin(), during.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[at, check] : during)
        verdict.during.push_back(check);
    if (beforeAt)
        verdict.beforeAgeS = first - *beforeAt;
    if (afterAt)
        verdict.afterAgeS = *afterAt - last;
    verdict.tolerance = tolerance ? *tolerance : verdict.after ? verdict.after->tolerance : 0.5;
    if (!verdict.before || !verdict.after) {
        verdict.kind = CalibrationVerdict::NotVerified;
        return verdict;
    }
    // Drift is the change of the meter's error, whichever calibrator level
    // each check used.
    verdict.drift = verdict.after->deviation - verdict.before->deviation;
    if (maxAgeS && (*verdict.beforeAgeS > *maxAgeS || *verdict.afterAgeS > *maxAgeS)) {
        verdict.kind = CalibrationVerdict::NotVerified;
        verdict.reason = QStringLiteral("a check is more than %1 from the readings")
                             .arg(Wording::roughDuration(*maxAgeS));
        return verdict;
    }
    bool within = withinTolerance(verdict.before->deviation, verdict.tolerance)
        && withinTolerance(verdict.after->deviation, verdict.tolerance)
        && withinTolerance(*verdict.drift, verdict.tolerance);
    for (const CalibrationRecord &check : verdict.during)
        within = within && withinTolerance(check.deviation, verdict.tolerance);
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
        { QStringLiteral("Max check age"), maxCheckAge },
        { QStringLiteral("Time zone"), timeZone },
    };
    for (const auto &[label, value] : all)
        if (!value.trimmed().isEmpty())
            out.emplace_back(label, value);
    return out;
}

QByteArray MeasurementDetails::toJson(QJsonDocument::JsonFormat format) const
{
    QJsonObject object = otherKeys;
    for (const auto &[key, member] : DetailKeys)
        if (!(this->*member).isEmpty())
            object.insert(QLatin1String(key), this->*member);
    if (tolerance)
        object.insert(QStringLiteral("tolerance"), *tolerance);
    if (!maxCheckAge.isEmpty())
        object.insert(QStringLiteral("max_check_age"), maxCheckAge);
    if (!timeZone.isEmpty())
        object.insert(QStringLiteral("time_zone"), timeZone);
    if (!firstReading.isEmpty())
        object.insert(QStringLiteral("first_reading"), firstReading);
    return QJsonDocument(object).toJson(format);
}

std::optional<int> MeasurementDetails::firstReadingOffset() const
{
    const QDateTime at = QDateTime::fromString(firstReading, Qt::ISODate);
    if (!at.isValid() || at.timeSpec() != Qt::OffsetFromUTC)
        return std::nullopt;
    return at.offsetFromUtc();
}

QString MeasurementDetails::pathFor(const QString &dataFilePath)
{
    // A running day's details are its day file's.
    return DetailsPathOf(StationFolder::dataFileOf(dataFilePath));
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
    QStringList known;
    for (const auto &[key, member] : DetailKeys) {
        known << QLatin1String(key);
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isString())
            details.*member = value.toString();
        else if (!value.isUndefined() && !value.isNull())
            details.badKeys << QLatin1String(key);
    }
    known << QStringLiteral("tolerance") << QStringLiteral("max_check_age")
          << QStringLiteral("time_zone") << QStringLiteral("first_reading");
    const QJsonValue first = object.value(QStringLiteral("first_reading"));
    if (first.isString())
        details.firstReading = first.toString();
    else if (!first.isUndefined() && !first.isNull())
        details.badKeys << QStringLiteral("first_reading");
    const QJsonValue zone = object.value(QStringLiteral("time_zone"));
    if (zone.isString() && isKnownZone(zone.toString()))
        details.timeZone = zone.toString();
    else if (!zone.isUndefined() && !zone.isNull())
        details.badKeys << QStringLiteral("time_zone");
    const QJsonValue tolerance = object.value(QStringLiteral("tolerance"));
    if (tolerance.isDouble() && tolerance.toDouble() >= 0.1 && tolerance.toDouble() <= 2.0)
        details.tolerance = tolerance.toDouble();
    else if (!tolerance.isUndefined() && !tolerance.isNull())
        details.badKeys << QStringLiteral("tolerance");
    const QJsonValue age = object.value(QStringLiteral("max_check_age"));
    if (age.isString() && parseCheckAge(age.toString()))
        details.maxCheckAge = age.toString();
    else if (!age.isUndefined() && !age.isNull())
        details.badKeys << QStringLiteral("max_check_age");
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!known.contains(it.key()))
            details.otherKeys.insert(it.key(), it.value());
    if (!details.badKeys.isEmpty() && problem) {
        QStringList what;
        for (const QString &key : details.badKeys)
            what << (key == QLatin1String("tolerance")
                         ? QStringLiteral("\"tolerance\" is not a number of dB from 0.1 to 2.0")
                         : key == QLatin1String("max_check_age")
                         ? QStringLiteral("\"max_check_age\" is not a duration such as 12h or 7d")
                         : key == QLatin1String("time_zone")
                         ? QStringLiteral("\"time_zone\" is not the name of a known time zone "
                                          "such as Europe/Berlin")
                         : QStringLiteral("\"%1\" is not text").arg(key));
        *problem = what.join(QStringLiteral("; "));
    }
    return details;
}

std::optional<MeasurementDetails> MeasurementDetails::read(const QString &path, QString *problem)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    QString why;
    std::optional<MeasurementDetails> details;
    QFile file(path);
    // A pipe would hang the reader and a device never end: only a plain
    // file of a sensible size is read.
    if (!info.isFile())
        why = QStringLiteral("it is not a regular file");
    else if (info.size() > MaxBytes)
        why = QStringLiteral("it is larger than %1 KiB").arg(MaxBytes / 1024);
    else if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else
        details = fromJson(file.read(MaxBytes + 1), &why);
    if (problem && !why.isEmpty())
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
