#pragma once

#include "analysis/CalibrationCheck.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// One row of a calibration log.
struct CalibrationRecord
{
    QDateTime time; // local, with its UTC offset
    QString meterSerial;
    QString calibratorSerial;
    double calibratorLevel = 94.0;
    double mean = 0.0;
    double lowest = 0.0;
    double highest = 0.0;
    double deviation = 0.0;
    double tolerance = 0.5;

    // The row of a check that has just ended, at this moment.
    static CalibrationRecord ofCheck(const CalibrationCheck::Result &result, double calibratorLevel,
                                     double tolerance, const QString &meterSerial,
                                     const QString &calibratorSerial);
};

namespace CalibrationLog {
constexpr char FileName[] = "calibration.csv";
QString header();
QString row(const CalibrationRecord &record);
// Appends the row (with the header to a new log) and syncs it; the error
// message, or empty.
QString append(const QString &path, const CalibrationRecord &record);
// The rows of a log; a row that does not read is left out and counted.
std::vector<CalibrationRecord> read(const QString &path, int *unreadable = nullptr);
// The user's own log, in the program's data folder.
QString userLogPath();
// Every log that may hold checks of a data file's meter: the one beside it
// and the user's own (a check made in the window is in the user's).
QStringList logsFor(const QString &dataFilePath);
// The rows of several logs, a check in two of them counted once.
std::vector<CalibrationRecord> readAll(const QStringList &paths);
} // namespace CalibrationLog

// What the checks say of a measurement.
struct CalibrationVerdict
{
    enum Kind { Within, Outside, NotVerified };
    std::optional<CalibrationRecord> before; // the last check before the first reading
    std::optional<CalibrationRecord> after; // the first check after the last reading
    // The checks made while the readings ran: each counts as the others do.
    std::vector<CalibrationRecord> during;
    // Seconds from the check before to the first reading, and from the last
    // reading to the check after.
    std::optional<int64_t> beforeAgeS;
    std::optional<int64_t> afterAgeS;
    std::optional<int64_t> maxAgeS; // older checks do not count, when set
    std::optional<double> drift; // deviation after minus deviation before
    double tolerance = 0.5;
    QString meterSerial; // only this meter's checks count, when set
    Kind kind = NotVerified;
    // Why it is not verified when checks alone do not say it (a damaged
    // details file, a check too old); empty otherwise.
    QString reason;
    QString logPath;

    // "within", "outside", "not verified"
    QString name() const;
    // "within tolerance", "outside tolerance", "not verified"
    QString text() const;
    // "within tolerance, drift +0.10 dB (tolerance 0.5 dB)"
    QString summary() const;
    // Why the verdict is not verified: "no check before the measurement" …
    QString notVerifiedWhy() const;
};

// A duration as "--max-check-age" and the details key take it: 12h, 7d,
// 90min, 3600s or plain seconds.
std::optional<int64_t> parseCheckAge(const QString &text);

// The checks around the readings from `first` to `last` (civil seconds, as
// the data file's stamps: the site's wall clock, without offset). A check is
// placed by its own wall-clock time as written, whatever zone the analysing
// computer is in. Only checks of `meterSerial` count when one is named. The
// tolerance is the one given, else the one recorded with the check after,
// else 0.5 dB. Checks further than maxAgeS from the readings do not verify.
CalibrationVerdict judgeCalibration(const std::vector<CalibrationRecord> &checks, int64_t first,
                                    int64_t last, const QString &meterSerial = {},
                                    std::optional<double> tolerance = std::nullopt,
                                    std::optional<int64_t> maxAgeS = std::nullopt);

// The measurement's details, kept beside a data file as NAME.vorn.json; the
// data file itself is never changed.
struct MeasurementDetails
{
    QString site;
    QString position;
    QString operatorName;
    QString weather;
    QString notes;
    QString meterMake;
    QString meterModel;
    QString meterSerial;
    QString meterClass;
    std::optional<double> tolerance;
    QString maxCheckAge; // as written: "12h", "7d"
    // The site's zone, an IANA name ("Europe/Berlin"): the file's stamps are
    // its wall clock.
    QString timeZone;
    // The first reading's moment with its offset, written by the station:
    // a day file begun in the hour that repeats says which run it began in.
    QString firstReading;
    // Its offset, when it is a time with one.
    std::optional<int> firstReadingOffset() const;
    // Keys this version does not know, kept as they are when saved again.
    QJsonObject otherKeys;
    // Keys whose value has the wrong type (left out of the fields above).
    QStringList badKeys;

    // (label, value) of each field that is set, in the report's order.
    std::vector<std::pair<QString, QString>> fields() const;
    bool isEmpty() const { return fields().empty(); }
    // The JSON object, keys as in the file.
    QByteArray toJson(QJsonDocument::JsonFormat format = QJsonDocument::Indented) const;

    static constexpr qint64 MaxBytes = 64 * 1024;
    static QString pathFor(const QString &dataFilePath);
    // nullopt when there is no details file; `problem` says when one could
    // not be read, or a key had the wrong type. Only a regular file of at
    // most MaxBytes is read.
    static std::optional<MeasurementDetails> read(const QString &path, QString *problem);
    static std::optional<MeasurementDetails> fromJson(const QByteArray &json, QString *problem);
    // Written whole or not at all; the error message, or empty.
    QString write(const QString &path) const;
};

// What is known of a data file's measurement: the details file beside it and
// the calibration checks around its readings from `first` to `last` (civil
// seconds; without them it is not verified). An empty path or "-" (standard
// input) has no details file, and only the user's log.
struct MeasurementContext
{
    std::optional<MeasurementDetails> details;
    QString detailsProblem;
    CalibrationVerdict calibration;
};
// maxCheckAgeS, when given, overrides the details' max_check_age.
MeasurementContext measurementContextOf(const QString &dataFilePath, std::optional<int64_t> first,
                                        std::optional<int64_t> last,
                                        std::optional<int64_t> maxCheckAgeS = std::nullopt);
