#include "analysis/output/Outputs.h"
#include "analysis/Wording.h"
#include "analysis/records/Calibration.h"
#include "analysis/records/CivilTime.h"
#include "recording/DataFileReader.h"
#include "support/TestZone.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

TEST(CalibrationCheck, StableOnlyWithNumbersCloseTogetherAndTheLinkKept)
{
    const struct
    {
        std::vector<std::optional<double>> levels;
        bool linkLost;
        bool stable;
        const char *why;
        double deviation;
    } rows[] = {
        { { 94.0, 94.1, 94.2, 94.1 }, false, true, "", 0.1 },
        { { 94.0, 94.3 }, false, true, "", 0.15 }, // exactly the spread allowed
        { { 94.0, 94.4 }, false, false, "spread over 0.40 dB", 0.2 },
        { { 94.0, std::nullopt, 94.0 }, false, false, "1 of the readings had no number", 0.0 },
        { { 94.0, 94.0 }, true, false, "link to the meter was lost", 0.0 },
        { {}, false, false, "no reading", 0.0 },
    };
    for (const auto &row : rows) {
        CalibrationCheck check(94.0);
        for (const auto &level : row.levels)
            check.add(level);
        if (row.linkLost)
            check.linkLost();
        const CalibrationCheck::Result r = check.result();
        EXPECT_EQ(r.stable, row.stable) << row.why;
        EXPECT_TRUE(r.why.contains(QLatin1String(row.why))) << r.why.toStdString();
        EXPECT_NEAR(r.deviation, row.deviation, 1e-9) << row.why;
    }
    EXPECT_EQ(calibrationLevelOf("94.1*"), 94.1);
    EXPECT_FALSE(calibrationLevelOf("L"));
    EXPECT_FALSE(calibrationLevelOf("-"));
}

CalibrationRecord check(const char *time, double mean, const char *serial = "M1",
                        double tolerance = 0.5)
{
    CalibrationRecord r;
    r.time = QDateTime::fromString(QLatin1String(time), Qt::ISODate);
    r.meterSerial = QLatin1String(serial);
    r.calibratorSerial = QStringLiteral("C, 7"); // a comma survives the log
    r.calibratorLevel = 94.0;
    r.mean = r.lowest = r.highest = mean;
    r.deviation = mean - 94.0;
    r.tolerance = tolerance;
    return r;
}

// A folder with several files and checks: the last check before a file's
// first reading and the first after its last reading bracket it.
TEST(CalibrationVerdict, TheChecksAroundAFileJudgeIt)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("calibration.csv");
    for (const CalibrationRecord &r :
         { check("2026-03-10T07:00:00+01:00", 94.30), check("2026-03-10T07:55:00+01:00", 94.05),
           check("2026-03-10T18:00:00+01:00", 94.10), // between two files
           check("2026-03-11T18:05:00+01:00", 94.50, "other"), // another meter
           check("2026-03-11T18:10:00+01:00", 94.55, "M1", 1.0) })
        ASSERT_TRUE(CalibrationLog::append(log, r).isEmpty());
    const std::vector<CalibrationRecord> checks = CalibrationLog::read(log);
    ASSERT_EQ(checks.size(), 5u);
    EXPECT_EQ(checks[0].calibratorSerial, "C, 7");
    const auto civil = [](const char *t) {
        const QDateTime d = QDateTime::fromString(QLatin1String(t), Qt::ISODate);
        return CivilTime::civilSecondsOf(d.date(), d.time());
    };
    const struct
    {
        const char *first;
        const char *last;
        QString serial;
        std::optional<double> tolerance;
        const char *verdict;
        double drift;
    } rows[] = {
        { "2026-03-10T08:00:00", "2026-03-10T17:00:00", "M1", {}, "within", 0.05 },
        // The check after tolerates 1.0 dB; the same with 0.5 dB given is outside.
        { "2026-03-10T19:00:00", "2026-03-11T18:00:00", "M1", {}, "within", 0.45 },
        { "2026-03-10T19:00:00", "2026-03-11T18:00:00", "M1", 0.4, "outside", 0.45 },
        // Any meter: the other meter's check comes first after the file.
        { "2026-03-10T19:00:00", "2026-03-11T18:00:00", "", 0.5, "within", 0.40 },
        { "2026-03-10T06:00:00", "2026-03-10T09:00:00", "M1", {}, "not verified", 0 },
        { "2026-03-12T08:00:00", "2026-03-12T09:00:00", "M1", {}, "not verified", 0 },
    };
    for (const auto &row : rows) {
        const CalibrationVerdict v = judgeCalibration(checks, civil(row.first), civil(row.last),
                                                      row.serial, row.tolerance);
        EXPECT_EQ(v.name(), QLatin1String(row.verdict)) << row.first;
        if (v.drift) {
            EXPECT_NEAR(*v.drift, row.drift, 1e-9) << row.first;
        }
    }
    // Exactly the tolerance is within it, a hundredth more is not.
    const std::vector<CalibrationRecord> edge { check("2026-03-10T07:00:00+01:00", 94.0),
                                                check("2026-03-10T09:00:00+01:00", 94.5) };
    EXPECT_EQ(
        judgeCalibration(edge, civil("2026-03-10T08:00:00"), civil("2026-03-10T08:30:00")).kind,
        CalibrationVerdict::Within);
    const std::vector<CalibrationRecord> over { check("2026-03-10T07:00:00+01:00", 94.0),
                                                check("2026-03-10T09:00:00+01:00", 94.51) };
    EXPECT_EQ(
        judgeCalibration(over, civil("2026-03-10T08:00:00"), civil("2026-03-10T08:30:00")).kind,
        CalibrationVerdict::Outside);
}

// Drift is the change of the meter's error whatever the calibrator level;
// a check is placed by its own wall clock in any zone of the analysing
// computer; checks during the readings count; an age limit unverifies.
TEST(CalibrationVerdict, DriftZonesChecksBetweenAndAgeHoldUp)
{
    const auto civil = [](const char *t) {
        const QDateTime d = QDateTime::fromString(QLatin1String(t), Qt::ISODate);
        return CivilTime::civilSecondsOf(d.date(), d.time());
    };
    const auto at = [](const char *time, double level, double mean) {
        CalibrationRecord r = check(time, mean);
        r.calibratorLevel = level;
        r.deviation = mean - level;
        return r;
    };
    const struct
    {
        const char *name;
        std::vector<CalibrationRecord> checks;
        std::optional<int64_t> maxAge;
        const char *verdict;
        std::optional<double> drift;
        size_t during;
    } rows[] = {
        { "94 dB before, 114 dB after",
          { at("2026-03-10T06:55:00+01:00", 94.0, 94.02),
            at("2026-03-10T19:05:00+01:00", 114.0, 114.05) },
          {},
          "within",
          0.03,
          0 },
        // Written in summer time at the site, read anywhere.
        { "wall clock as written",
          { at("2026-03-10T07:55:00+05:00", 94.0, 94.0),
            at("2026-03-10T19:05:00-04:00", 94.0, 94.1) },
          {},
          "within",
          0.1,
          0 },
        { "a bad check in between",
          { at("2026-03-10T06:55:00+01:00", 94.0, 94.0),
            at("2026-03-10T12:00:00+01:00", 94.0, 96.3),
            at("2026-03-10T19:05:00+01:00", 94.0, 94.0) },
          {},
          "outside",
          0.0,
          1 },
        { "checks two months away",
          { at("2026-01-10T08:00:00+01:00", 94.0, 94.0),
            at("2026-05-10T08:00:00+02:00", 94.0, 94.0) },
          {},
          "within",
          0.0,
          0 },
        { "older than allowed",
          { at("2026-01-10T08:00:00+01:00", 94.0, 94.0),
            at("2026-05-10T08:00:00+02:00", 94.0, 94.0) },
          7 * 86400,
          "not verified",
          0.0,
          0 },
        { "within the age allowed",
          { at("2026-03-10T06:00:00+01:00", 94.0, 94.0),
            at("2026-03-10T20:00:00+01:00", 94.0, 94.0) },
          12 * 3600,
          "within",
          0.0,
          0 },
    };
    for (const char *zone : { "UTC", "America/New_York", "Asia/Tokyo", "Europe/Berlin" }) {
        if (!TZSetsTheZone && qstrcmp(zone, "Europe/Berlin") != 0)
            continue; // the zone this test started in is the only one it has
        if (TZSetsTheZone)
            qputenv("TZ", zone);
        for (const auto &row : rows) {
            SCOPED_TRACE(std::string(row.name) + " in " + zone);
            const CalibrationVerdict v
                = judgeCalibration(row.checks, civil("2026-03-10T08:00:00"),
                                   civil("2026-03-10T19:00:00"), {}, {}, row.maxAge);
            EXPECT_EQ(v.name(), QLatin1String(row.verdict));
            ASSERT_TRUE(v.drift);
            EXPECT_NEAR(*v.drift, *row.drift, 1e-9);
            EXPECT_EQ(v.during.size(), row.during);
        }
    }
    if (TZSetsTheZone)
        qputenv("TZ", "Europe/Berlin");
    EXPECT_EQ(Wording::roughDuration(30 * 86400 + 5), "30 d");
    EXPECT_EQ(parseCheckAge("7d"), 7 * 86400);
    EXPECT_EQ(parseCheckAge("12h"), 12 * 3600);
    EXPECT_FALSE(parseCheckAge("soon"));
}

// The log beside the data file and the user's own both count, a check in
// both once; the text names the meter and keeps the notes' lines; the
// interval and day tables carry the verdict in a table of their own.
TEST(CalibrationVerdict, BothLogsCountAndEveryFormCarriesTheVerdict)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("day.vorn");
    QFile file(data);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n72.4\r\n2026/03/10 10:00:01\r\n77.2\r\n"
               "72.0\r\nNo.s\tDate Time\tdB\t\r\n1\t2026/03/10 10:00:00\t71.5\t\r\n"
               "2\t2026/03/10 10:00:01\t72.4\t\r\n");
    file.close();
    const CalibrationRecord before = check("2026-03-10T09:00:00+01:00", 94.1);
    // The station's log has the check before; the window's, both.
    ASSERT_TRUE(CalibrationLog::append(dir.filePath("calibration.csv"), before).isEmpty());
    const QString user = CalibrationLog::userLogPath();
    ASSERT_TRUE(CalibrationLog::append(user, before).isEmpty());
    ASSERT_TRUE(CalibrationLog::append(user, check("2026-03-10T11:00:00+01:00", 95.2)).isEmpty());
    MeasurementDetails details;
    details.meterSerial = QStringLiteral("M1");
    details.notes = QStringLiteral("rain at noon\nwind from the west");
    ASSERT_TRUE(details.write(MeasurementDetails::pathFor(data)).isEmpty());

    AnalysisRequest request;
    request.intervalLength = 60;
    FileFigures report = analyseFile(data, DataFileReader::readFile(data), request);
    attachMeasurementContext(report, data);
    QFile::remove(user);
    ASSERT_TRUE(report.calibration);
    EXPECT_EQ(report.calibration->name(), "outside");
    EXPECT_TRUE(report.calibration->during.empty());
    const QString text = formatReports({ report }, OutputFormat::Text);
    EXPECT_TRUE(text.contains("  Meter:         M1 (only its checks count)")) << text.toStdString();
    EXPECT_TRUE(text.contains("  Notes:         rain at noon\n                 wind from the west"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("60 min before the first reading")) << text.toStdString();
    // One table: the verdict ends every interval row, and no second table follows.
    const QStringList csv = formatReports({ report }, OutputFormat::Csv).trimmed().split('\n');
    EXPECT_EQ(csv[0], intervalCsvHeader() + ",calibration_verdict,drift_db,details_problem");
    ASSERT_GT(csv.size(), 1);
    for (qsizetype i = 1; i < csv.size(); ++i) {
        EXPECT_TRUE(csv[i].endsWith(",outside,1.10,")) << csv[i].toStdString();
        EXPECT_EQ(csv[i].count(','), csv[0].count(',')) << csv[i].toStdString();
    }
}

// Keys this version does not know stay when the details are saved again.
TEST(MeasurementDetails, UnknownKeysAreKept)
{
    QString problem;
    const auto details = MeasurementDetails::fromJson(
        "{\"site\": \"Gate\", \"crew\": [\"A\", \"B\"], \"max_check_age\": \"7d\"}", &problem);
    ASSERT_TRUE(details);
    EXPECT_TRUE(problem.isEmpty());
    const QJsonObject back = QJsonDocument::fromJson(details->toJson()).object();
    EXPECT_EQ(back.value("crew").toArray().size(), 2);
    EXPECT_EQ(back.value("max_check_age").toString(), "7d");
}

TEST(MeasurementDetails, ReadWrittenWholeAndADamagedFileIsSaid)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("site.vorn");
    MeasurementDetails details;
    details.site = QStringLiteral("Baustelle Süd");
    details.operatorName = QStringLiteral("A. Tech");
    details.meterSerial = QStringLiteral("M1");
    details.tolerance = 1.0;
    const QString path = MeasurementDetails::pathFor(data);
    EXPECT_EQ(path, data + ".json");
    ASSERT_TRUE(details.write(path).isEmpty());
    QString problem;
    const auto back = MeasurementDetails::read(path, &problem);
    ASSERT_TRUE(back) << problem.toStdString();
    EXPECT_EQ(back->site, details.site);
    EXPECT_EQ(back->tolerance, 1.0);
    EXPECT_EQ(back->fields().size(), 4u);
    EXPECT_FALSE(MeasurementDetails::read(dir.filePath("none.json"), &problem));

    for (const QByteArray &damaged : { QByteArray("{\"site\": \"x\""), QByteArray("[1, 2]"),
                                       QByteArray("{\"site\": \"x\",}") }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
        file.close();
        problem.clear();
        EXPECT_FALSE(MeasurementDetails::read(path, &problem)) << damaged.constData();
        EXPECT_TRUE(problem.contains("cannot be read")) << problem.toStdString();
    }
}

// Keys of the wrong type, files that are no plain file or too large: each a
// problem said in every output, and the verdict not verified where the
// problem touches what judges the checks.
TEST(MeasurementDetails, AProblemIsSaidEverywhereAndUnverifiesWhatItTouches)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("day.vorn");
    QFile file(data);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n72.4\r\n2026/03/10 10:00:01\r\n77.2\r\n"
               "72.0\r\nNo.s\tDate Time\tdB\t\r\n1\t2026/03/10 10:00:00\t71.5\t\r\n"
               "2\t2026/03/10 10:00:01\t72.4\t\r\n");
    file.close();
    for (const CalibrationRecord &r :
         { check("2026-03-10T09:00:00+01:00", 94.1), check("2026-03-10T11:00:00+01:00", 94.1) })
        ASSERT_TRUE(CalibrationLog::append(dir.filePath("calibration.csv"), r).isEmpty());
    const QString details = MeasurementDetails::pathFor(data);
    const struct
    {
        const char *name;
        std::function<void()> make;
        const char *problem;
        const char *verdict;
    } rows[] = {
        { "trailing comma", [&] { writeBytes(details, "{\"site\": \"x\",}"); }, "is no JSON",
          "not verified" },
        { "serial a number", [&] { writeBytes(details, "{\"meter_serial\": 12345}"); },
          "\"meter_serial\" is not text", "not verified" },
        { "tolerance as text", [&] { writeBytes(details, "{\"tolerance\": \"0.2\"}"); },
          "\"tolerance\" is not a number", "not verified" },
        { "age not a duration", [&] { writeBytes(details, "{\"max_check_age\": \"soon\"}"); },
          "\"max_check_age\" is not a duration", "not verified" },
        // A wrong site says so, but judges nothing.
        { "site a number", [&] { writeBytes(details, "{\"site\": 7}"); }, "\"site\" is not text",
          "within" },
        { "too large",
          [&] { writeBytes(details, "{\"notes\": \"" + QByteArray(70 * 1024, 'n') + "\"}"); },
          "larger than 64 KiB", "not verified" },
        { "a folder", [&] { QDir().mkpath(details); }, "not a regular file", "not verified" },
#ifdef Q_OS_UNIX
        { "a link to a device", [&] { QFile::link("/dev/zero", details); }, "not a regular file",
          "not verified" },
        { "a pipe", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(details).constData(), 0600), 0); },
          "not a regular file", "not verified" },
#endif
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(details);
        QDir().rmdir(details);
        row.make();
        FileFigures report = analyseFile(data, DataFileReader::readFile(data), {});
        attachMeasurementContext(report, data);
        EXPECT_TRUE(report.detailsProblem.contains(QLatin1String(row.problem)))
            << report.detailsProblem.toStdString();
        ASSERT_TRUE(report.calibration);
        EXPECT_EQ(report.calibration->name(), QLatin1String(row.verdict));
        const QString json = formatReports({ report }, OutputFormat::Json);
        EXPECT_TRUE(json.contains("\"details_problem\": \"")) << json.toStdString();
        const QString csv = formatReports({ report }, OutputFormat::Csv);
        EXPECT_TRUE(csv.section('\n', 1, 1)
                        .contains(QString::fromLatin1(row.problem)
                                      .replace(QLatin1String("\""), QLatin1String("\"\""))))
            << csv.toStdString();
    }
    QFile::remove(details);
}

// vorn-stats: the details and the verdict of a file in every format.
TEST(MeasurementContext, ReportsCarryDetailsAndCalibration)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("day.vorn");
    QFile file(data);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n72.4\r\n2026/03/10 10:00:01\r\n77.2\r\n"
               "72.0\r\nNo.s\tDate Time\tdB\t\r\n1\t2026/03/10 10:00:00\t71.5\t\r\n"
               "2\t2026/03/10 10:00:01\t72.4\t\r\n");
    file.close();
    ASSERT_TRUE(CalibrationLog::append(dir.filePath("calibration.csv"),
                                       check("2026-03-10T09:00:00+01:00", 94.1))
                    .isEmpty());
    MeasurementDetails details;
    details.site = QStringLiteral("Gate");
    ASSERT_TRUE(details.write(MeasurementDetails::pathFor(data)).isEmpty());

    FileFigures report = analyseFile(data, DataFileReader::readFile(data), {});
    attachMeasurementContext(report, data);
    const QString json = formatReports({ report }, OutputFormat::Json);
    EXPECT_TRUE(json.contains("\"details\": {\"site\":\"Gate\"}")) << json.toStdString();
    EXPECT_TRUE(json.contains("\"after\": null, \"during\": [], \"drift\": null, "
                              "\"tolerance\": 0.50, \"meter_serial\": null, "
                              "\"max_check_age_s\": null, \"verdict\": \"not verified\", "
                              "\"reason\": \"no check after the measurement\"}"))
        << json.toStdString();
    EXPECT_TRUE(json.contains("\"age_s\": 3600")) << json.toStdString();
    const QString csv = formatReports({ report }, OutputFormat::Csv);
    EXPECT_TRUE(csv.section('\n', 0, 0).endsWith(",calibration_verdict,drift_db,details_problem"));
    EXPECT_TRUE(csv.section('\n', 1, 1).endsWith(",not verified,,"));
    const QString text = formatReports({ report }, OutputFormat::Text);
    EXPECT_TRUE(text.contains("Calibration: not verified (tolerance 0.5 dB)"));
    EXPECT_TRUE(text.contains("  Site:          Gate"));
}

} // namespace

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    // The user's own calibration log, in a folder of this run's.
    const QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
