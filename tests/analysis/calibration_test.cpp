#include "analysis/batch/BatchReport.h"
#include "analysis/batch/Calibration.h"
#include "analysis/batch/CivilTime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

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
                                       QByteArray("{\"tolerance\": 5}") }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
        file.close();
        problem.clear();
        EXPECT_FALSE(MeasurementDetails::read(path, &problem)) << damaged.constData();
        EXPECT_TRUE(problem.contains("cannot be read")) << problem.toStdString();
    }
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

    FileReport report = analyseFile(data, DataFileReader::readFile(data), {});
    attachMeasurementContext(report, data);
    const QString json = formatReports({ report }, OutputFormat::Json);
    EXPECT_TRUE(json.contains("\"details\": {\"site\":\"Gate\"}")) << json.toStdString();
    EXPECT_TRUE(json.contains("\"after\": null, \"drift\": null, \"tolerance\": 0.50, "
                              "\"verdict\": \"not verified\"}"))
        << json.toStdString();
    const QString csv = formatReports({ report }, OutputFormat::Csv);
    EXPECT_TRUE(csv.section('\n', 0, 0).endsWith(",calibration_verdict,drift_db"));
    EXPECT_TRUE(csv.section('\n', 1, 1).endsWith(",not verified,"));
    const QString text = formatReports({ report }, OutputFormat::Text);
    EXPECT_TRUE(text.contains("Calibration: not verified (tolerance 0.5 dB)"));
    EXPECT_TRUE(text.contains("  Site:          Gate"));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("TZ", "Europe/Berlin");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
