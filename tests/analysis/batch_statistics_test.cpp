#include "analysis/stats/StatsOptions.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"
#include "platform/ReadingRows.h"
#include "support/TestZone.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QSet>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

// A "Real Time" file body with one reading per `step` seconds from `start`.
DataFileContents realTimeFile(const QString &start, const QStringList &levels, int step = 1)
{
    DataFileContents file;
    file.kind = DataFileKind::RealTime;
    file.headerLength = 9;
    file.samplingInterval = step;
    file.boardTexts = { "A", "Slow", "30-90", "60.0", "2013/03/04 08:00:00", "95.5", "60.0" };
    const int64_t t0 = *CivilTime::parseStamp(start);
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const int64_t t = t0 + i * step;
        const QString iso = CivilTime::toIso(t);
        file.rows.append(QString::number(i + 1), QString(iso).replace('-', '/').replace('T', ' '),
                         levels.at(i));
    }
    file.linesRead = 10 + levels.size();
    return file;
}

QStringList repeated(const QString &text, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

} // namespace

TEST(CivilTime, StampsRoundTripAcrossYearsAndLeapDays)
{
    for (const char *stamp : { "1999/12/31 23:59:59", "2000/02/29 12:00:00", "2013/03/04 08:00:00",
                               "2099/12/31 23:59:59" }) {
        const auto t = CivilTime::parseStamp(QString::fromLatin1(stamp));
        ASSERT_TRUE(t) << stamp;
        QString back = CivilTime::toIso(*t);
        EXPECT_EQ(back.replace('-', '/').replace('T', ' '), QString::fromLatin1(stamp));
    }
    // Years and offsets at the edges of their forms.
    const struct
    {
        int64_t seconds;
        int offset;
        const char *text;
    } written[] = {
        { *CivilTime::parseStamp(u"0001/01/01 00:00:00"), 0, "0001-01-01T00:00:00+00:00" },
        { *CivilTime::parseStamp(u"9999/12/31 23:59:59"), 14 * 3600, "9999-12-31T23:59:59+14:00" },
        { *CivilTime::parseStamp(u"2026/10/25 02:30:00"), -(3 * 3600 + 1800),
          "2026-10-25T02:30:00-03:30" },
        { *CivilTime::parseStamp(u"2026/03/29 03:00:00"), 5 * 3600 + 2700,
          "2026-03-29T03:00:00+05:45" },
    };
    for (const auto &w : written)
        EXPECT_EQ(CivilTime::toIso(w.seconds) + CivilTime::offsetText(w.offset),
                  QString::fromLatin1(w.text));
    EXPECT_FALSE(CivilTime::parseStamp(u"2013/13/04 08:00:00"));
    EXPECT_FALSE(CivilTime::parseStamp(u"2013/03/04"));
    EXPECT_FALSE(CivilTime::parseStamp(u"garbage"));
}

// One calendar: a date that does not exist is no date to any reader of one
// (the data file's rows, the stamps read again, ISO times, the command
// line's minutes), and one that does is the same instant to all of them.
TEST(CivilTime, AnImpossibleDateIsRefusedByEveryReaderOfADate)
{
    struct Case
    {
        const char *date; // yyyy-mm-dd
        bool exists;
    };
    const Case cases[] = { { "2026-02-31", false }, { "2026-02-29", false }, { "2100-02-29", false },
                           { "2026-04-31", false }, { "2026-00-10", false }, { "2024-02-29", true },
                           { "2000-02-29", true },  { "1969-12-31", true },  { "2026-12-31", true } };
    for (const Case &c : cases) {
        const QString iso = QString::fromLatin1(c.date);
        QString stamp = iso;
        stamp.replace('-', '/');
        const auto rows = ReadingRows::parseStamp(QString(stamp + " 10:00:00"));
        const auto read = CivilTime::parseStamp(QString(stamp + " 10:00:00"));
        const auto moment = CivilTime::momentOfIso(iso + "T10:00:00+01:00");
        const auto minute = parseLocalMinute(iso + " 10:00");
        EXPECT_EQ(rows.has_value(), c.exists) << c.date;
        EXPECT_EQ(read.has_value(), c.exists) << c.date;
        EXPECT_EQ(moment.has_value(), c.exists) << c.date;
        EXPECT_EQ(minute.has_value(), c.exists) << c.date;
        if (c.exists) {
            EXPECT_EQ(rows, read) << c.date;
            EXPECT_EQ(*moment, *read - 3600) << c.date;
            EXPECT_EQ(ReadingRows::formatStamp(*rows), stamp + " 10:00:00");
        }
    }
    // In a file, such a stamp leaves its reading without a time.
    DataFileContents file;
    file.rows.append(u"1", u"2026/02/28 10:00:00", u"60.0");
    file.rows.append(u"2", u"2026/02/31 10:00:00", u"60.0");
    AnalysisRequest request;
    request.intervalLength = 3600;
    const FileFigures figures = analyseFile(QStringLiteral("a.vorn"), file, request);
    EXPECT_EQ(figures.untimedReadings, 1);
    ASSERT_EQ(figures.intervals.size(), 1u);
    EXPECT_EQ(figures.intervals[0].readings, 1);
}

// The zone's offset, kept per span between transitions, is the zone's own
// answer at every moment, asked in any order: on both sides of both clock
// changes of a year, back and forth across them.
TEST(CivilTime, OffsetsAroundTheClockChangesAskedInAnyOrder)
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const int64_t spring = QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC).toSecsSinceEpoch();
    const int64_t autumn = QDateTime(QDate(2026, 10, 25), QTime(1, 0), Qt::UTC).toSecsSinceEpoch();
    const int64_t asked[] = { spring - 1,          spring,     spring + 1,           spring - 3600,
                              autumn - 1,          autumn,     spring - 1,           autumn + 7200,
                              autumn - 86400 * 30, autumn + 1, spring + 86400 * 100, 0,
                              spring - 2 };
    for (const int64_t utc : asked) {
        const int offset = zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
        EXPECT_EQ(CivilTime::civilOfUtc(utc), utc + offset) << utc;
    }
    // 02:30 on the autumn day runs twice: first at +02:00, then at +01:00.
    const int64_t twice = CivilTime::civilSecondsOf(QDate(2026, 10, 25), QTime(2, 30));
    EXPECT_EQ(CivilTime::utcOffsetAt(twice), 7200);
    EXPECT_EQ(CivilTime::utcOffsetAt(twice, true), 3600);
    EXPECT_EQ(CivilTime::utcOffsetAt(CivilTime::civilSecondsOf(QDate(2026, 3, 29), QTime(1, 59))),
              3600);
    EXPECT_EQ(CivilTime::utcOffsetAt(CivilTime::civilSecondsOf(QDate(2026, 3, 29), QTime(3, 0))),
              7200);
}

TEST(FileStatistics, AnHourAtSixtyDecibels)
{
    const DataFileContents file = realTimeFile("2013/03/04 08:00:00", repeated("60.0", 3600));
    const FileFigures report = analyseFile("hour.vorn", file, {});
    ASSERT_TRUE(report.statistics.leq);
    EXPECT_NEAR(*report.statistics.leq, 60.0, 1e-9);
    EXPECT_NEAR(*report.statistics.sel, 95.5630, 1e-3);
    const QString csv = formatReports({ report }, OutputFormat::Csv);
    const QStringList lines = csv.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("hour.vorn,Real Time,3600,0,0,0,1.00,60.00,95.56,60.00,"
                                    "2013-03-04T08:00:00+01:00,60.00,2013-03-04T08:00:00+01:00,0.10,60.00"))
        << lines[1].toStdString();
}

TEST(FileStatistics, KindsOfReadingsAreCountedAndLeftOutAsStated)
{
    // marked, under range, over range with and without a value, ordinary
    const DataFileContents file
        = realTimeFile("2013/03/04 08:00:00", { "72.4*", "--", "L", "150.2", "70.0", "80.0" });
    const FileStatistics s = analyseFile("kinds.vorn", file, {}).statistics;
    EXPECT_EQ(s.readings, 6);
    EXPECT_EQ(s.marked, 1);
    EXPECT_EQ(s.underRange, 1);
    EXPECT_EQ(s.overRange, 2);
    EXPECT_EQ(s.energyReadings, 3); // 150.2, 70.0, 80.0
    EXPECT_DOUBLE_EQ(s.maximum->level, 150.2);
    EXPECT_DOUBLE_EQ(s.minimum->level, 70.0);
    EXPECT_EQ(s.distribution.ListSampleCount, 5); // the marked reading is not counted
}

TEST(FileStatistics, ReadingsWithoutANumberCountInTheTableOnly)
{
    // The lowest readings have no number: the minimum is the lowest real level.
    const DataFileContents file
        = realTimeFile("2013/03/04 08:00:00", { "", "abc", " .x", "80.0", "70.0" });
    const FileFigures report = analyseFile("blank.vorn", file, {});
    const FileStatistics &s = report.statistics;
    EXPECT_EQ(s.withoutNumber, 3);
    EXPECT_EQ(s.energyReadings, 2);
    ASSERT_TRUE(s.minimum);
    EXPECT_EQ(s.minimum->text, "70.0");
    EXPECT_EQ(s.minimum->time, "2013/03/04 08:00:04");
    EXPECT_NEAR(*s.leq, 10 * std::log10((1e8 + 1e7) / 2.0), 1e-9);
    EXPECT_EQ(s.distribution.ListSampleCount, 5);
    EXPECT_EQ(s.distribution.ListTenthCounts[0], 3);
    EXPECT_TRUE(
        methodDescription(s).join('\n').contains("3 readings whose text starts with no number"));
}

TEST(FileStatistics, HeaderlessFileTakesItsIntervalFromTheTimeStamps)
{
    DataFileContents file = realTimeFile("2013/03/04 08:00:00", repeated("50.0", 10), 60);
    file.kind = DataFileKind::Headerless;
    file.samplingInterval = 0;
    file.boardTexts.clear();
    const FileStatistics s = analyseFile("dump.vorn", file, {}).statistics;
    EXPECT_EQ(s.intervalSource, IntervalSource::TimeStamps);
    EXPECT_DOUBLE_EQ(s.interval, 60.0);
    EXPECT_NEAR(*s.sel, 50.0 + 10.0 * std::log10(600.0), 1e-9);
}

TEST(IntervalLevels, AlignToTheClockAndSayHowMuchIsCovered)
{
    // 08:10:00 .. 08:19:59 at 60 dB, then 08:20:00 .. 08:24:59 at 70 dB.
    QStringList levels = repeated("60.0", 600) + repeated("70.0", 300);
    const DataFileContents file = realTimeFile("2013/03/04 08:10:00", levels);
    AnalysisRequest request;
    request.intervalLength = 15 * 60;
    const FileFigures report = analyseFile("q.vorn", file, request);
    ASSERT_EQ(report.intervals.size(), 2u);
    const IntervalLevel &first = report.intervals[0];
    EXPECT_EQ(CivilTime::toIso(first.start), "2013-03-04T08:00:00");
    EXPECT_NEAR(first.coverage, 300.0 / 900.0, 1e-12);
    EXPECT_NEAR(*first.leq, 60.0, 1e-9);
    const IntervalLevel &second = report.intervals[1];
    EXPECT_EQ(CivilTime::toIso(second.start), "2013-03-04T08:15:00");
    EXPECT_NEAR(second.coverage, 600.0 / 900.0, 1e-12);
    EXPECT_NEAR(*second.leq, 10 * std::log10((300 * 1e6 + 300 * 1e7) / 600.0), 1e-9);
    EXPECT_DOUBLE_EQ(*second.lmax, 70.0);
    EXPECT_EQ(second.l10, 70.0);
    EXPECT_EQ(second.l90, 60.0);
}

// Readings out of time order (a clock set back) still land in their own
// intervals, and the one-pass reading of the file gives the same report as
// the analysis of the file read whole.
TEST(IntervalLevels, ReadingsOutOfOrderAndTheOnePassReadAgree)
{
    QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n88.0\r\n"
                       "2013/03/04 08:00:00\r\n99.0\r\n70.0\r\nNo.s\tDate Time\tdB\t\r\n";
    const char *rows[][2] = { { "2013/03/04 08:20:00", "80.0" },
                              { "2013/03/04 08:20:01", "80.0" },
                              { "2013/03/04 08:05:00", "60.0" },
                              { "2013/03/04 08:05:01", "--" },
                              { "bad time", "70.0" },
                              { "2013/03/04 08:20:02", "" },
                              { "2013/03/04 08:20:03", "72.4*" } };
    int n = 0;
    for (const auto &row : rows)
        bytes += QByteArray::number(++n) + '\t' + row[0] + '\t' + row[1] + "\t\r\n";
    AnalysisRequest request;
    request.intervalLength = 15 * 60;
    request.dayEveningNight = true;
    const FileFigures whole = analyseFile("f.vorn", DataFileReader::readBytes(bytes), request);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const auto [streamed, header] = analyseStream("f.vorn", buffer, request);
    EXPECT_TRUE(header.problem.isEmpty());
    for (const OutputFormat format : { OutputFormat::Text, OutputFormat::Csv, OutputFormat::Json })
        EXPECT_EQ(formatReports({ streamed }, format), formatReports({ whole }, format));

    EXPECT_EQ(streamed.untimedReadings, 1);
    ASSERT_EQ(streamed.intervals.size(), 2u);
    EXPECT_EQ(CivilTime::toIso(streamed.intervals[0].start), "2013-03-04T08:00:00");
    EXPECT_EQ(streamed.intervals[0].readings, 2);
    EXPECT_NEAR(*streamed.intervals[0].leq, 60.0, 1e-9);
    EXPECT_EQ(streamed.intervals[0].l90, 25.0); // "--" counts at 25.0 dB
    EXPECT_EQ(streamed.intervals[1].readings, 4);
    EXPECT_NEAR(*streamed.intervals[1].leq, 80.0, 1e-9);
    EXPECT_EQ(streamed.statistics.withoutNumber, 1);
    EXPECT_EQ(streamed.statistics.minimum->text, "60.0");
}

TEST(DayEveningNight, WholeDayGivesLdenWithPenalties)
{
    EXPECT_NEAR(ldenOf(60.0, 55.0, 50.0), 60.0, 1e-9);

    // One reading a minute from 07:00 to 07:00 next day: day 60, evening 55, night 50.
    QStringList levels;
    for (int minute = 0; minute < 24 * 60; ++minute)
        levels << (minute < 12 * 60 ? "60.0" : minute < 16 * 60 ? "55.0" : "50.0");
    const DataFileContents file = realTimeFile("2013/03/04 07:00:00", levels, 60);
    AnalysisRequest request;
    request.dayEveningNight = true;
    const FileFigures report = analyseFile("day.vorn", file, request);
    ASSERT_EQ(report.days.size(), 1u);
    const DayEveningNight &day = report.days.front();
    EXPECT_NEAR(*day.ld, 60.0, 1e-9);
    EXPECT_NEAR(*day.le, 55.0, 1e-9);
    EXPECT_NEAR(*day.ln, 50.0, 1e-9);
    EXPECT_NEAR(*day.lden, 60.0, 1e-9);
    EXPECT_DOUBLE_EQ(day.coverageNight, 1.0);

    // Half a day is a day all the same, partial: no reading goes unlisted.
    const DataFileContents half = realTimeFile("2013/03/04 07:00:00", levels.mid(0, 720), 60);
    const std::vector<DayEveningNight> halfDays = analyseFile("half.vorn", half, request).days;
    ASSERT_EQ(halfDays.size(), 1u);
    EXPECT_TRUE(halfDays[0].partial);
    EXPECT_DOUBLE_EQ(halfDays[0].coverageDay, 1.0);
    EXPECT_DOUBLE_EQ(halfDays[0].coverageNight, 0.0);
}

// A file of the given rows ("yyyy/mm/dd hh:nn:ss", level), one second apart
// unless the stamps say otherwise.
DataFileContents stampedFile(const std::vector<std::pair<QString, QString>> &rows, int step)
{
    DataFileContents file = realTimeFile("2013/03/04 08:00:00", {}, step);
    int n = 0;
    for (const auto &[time, level] : rows)
        file.rows.append(QString::number(++n), time, level);
    return file;
}

// Minutes of readings from a civil start, as stamps.
std::vector<std::pair<QString, QString>> minutes(const QString &start, int count,
                                                 const QString &level = "60.0")
{
    std::vector<std::pair<QString, QString>> rows;
    const int64_t t0 = *CivilTime::parseStamp(start);
    for (int i = 0; i < count; ++i)
        rows.emplace_back(CivilTime::toIso(t0 + 60 * i).replace('-', '/').replace('T', ' '), level);
    return rows;
}

TEST(IntervalLevels, OnlyFilledIntervalsWithOneRowPerEmptyStretch)
{
    // A clock that jumped 24 years, and a stamp in the year 2924.
    auto rows = minutes("2000/01/01 08:00:00", 3);
    for (const auto &more :
         { minutes("2024/06/01 08:00:00", 3), minutes("2924/01/01 08:00:00", 1) })
        rows.insert(rows.end(), more.begin(), more.end());
    AnalysisRequest request;
    request.intervalLength = 3600;
    request.dayEveningNight = true;
    const FileFigures report = analyseFile("jump.vorn", stampedFile(rows, 60), request);
    ASSERT_EQ(report.intervals.size(), 5u);
    EXPECT_FALSE(report.intervals[0].gap);
    EXPECT_TRUE(report.intervals[1].gap);
    EXPECT_EQ(CivilTime::toIso(report.intervals[1].start), "2000-01-01T09:00:00");
    EXPECT_EQ(CivilTime::toIso(report.intervals[1].end), "2024-06-01T08:00:00");
    EXPECT_EQ(report.intervals[2].readings, 3);
    EXPECT_TRUE(report.intervals[3].gap);
    // Three partial days and a row for each stretch between: none per empty day.
    EXPECT_EQ(report.days.size(), 5u);
    EXPECT_TRUE(formatReports({ report }, OutputFormat::Text).contains("No readings for 8917 d"));
}

TEST(IntervalLevels, CoverageCountsOnlyReadingsThatEnterTheFigures)
{
    // 07:00 to 07:00 at one reading a minute; the night paused but for one.
    std::vector<std::pair<QString, QString>> rows;
    for (const auto &[time, level] : minutes("2013/03/04 07:00:00", 24 * 60))
        rows.emplace_back(time,
                          time >= "2013/03/04 23:00:00" && time != "2013/03/05 03:00:00"
                              ? QStringLiteral("50.0*")
                              : level);
    AnalysisRequest request;
    request.intervalLength = 3600;
    request.dayEveningNight = true;
    const FileFigures report = analyseFile("paused.vorn", stampedFile(rows, 60), request);
    ASSERT_EQ(report.days.size(), 1u);
    EXPECT_DOUBLE_EQ(report.days[0].coverageDay, 1.0);
    EXPECT_NEAR(report.days[0].coverageNight, 60.0 / (8 * 3600.0), 1e-12);
    ASSERT_EQ(report.intervals.size(), 24u);
    EXPECT_DOUBLE_EQ(report.intervals[0].coverage, 1.0);
    EXPECT_NEAR(report.intervals[20].coverage, 60.0 / 3600.0, 1e-12); // 03:00
    EXPECT_DOUBLE_EQ(report.intervals[21].coverage, 0.0);
}

TEST(IntervalLevels, TheHourThatRepeatsWhenClocksGoBackHasRowsOfItsOwn)
{
    // This test runs in Europe/Berlin: on 27 October 2024 02:00-03:00 runs twice.
    auto autumn = minutes("2024/10/27 01:00:00", 120);
    for (const auto &row : minutes("2024/10/27 02:00:00", 120))
        autumn.push_back(row);
    // The same step back on a day without a change is a broken clock.
    auto summer = minutes("2024/06/01 01:00:00", 120);
    for (const auto &row : minutes("2024/06/01 02:00:00", 120))
        summer.push_back(row);
    AnalysisRequest request;
    request.intervalLength = 900;
    const FileFigures changed = analyseFile("autumn.vorn", stampedFile(autumn, 60), request);
    const FileFigures broken = analyseFile("summer.vorn", stampedFile(summer, 60), request);
    ASSERT_EQ(changed.intervals.size(), 16u);
    QSet<QString> starts;
    for (const IntervalLevel &i : changed.intervals) {
        EXPECT_EQ(i.readings, 15);
        starts << CivilTime::toIso(i.start) + CivilTime::offsetText(i.startOffset);
    }
    EXPECT_EQ(starts.size(), 16);
    EXPECT_TRUE(starts.contains("2024-10-27T02:00:00+02:00"));
    EXPECT_TRUE(starts.contains("2024-10-27T02:00:00+01:00"));
    EXPECT_TRUE(starts.contains("2024-10-27T03:45:00+01:00"));
    EXPECT_TRUE(reportMethod(changed).join(' ').contains("Clocks went back"));
    EXPECT_TRUE(formatReports({ changed }, OutputFormat::Csv)
                    .contains("2024-10-27T02:45:00+01:00,2024-10-27T03:00:00+01:00,15"));

    ASSERT_EQ(broken.intervals.size(), 12u);
    EXPECT_EQ(broken.intervals[4].readings, 30); // 02:00 twice in one interval
    EXPECT_FALSE(reportMethod(broken).join(' ').contains("Clocks went back"));
}

struct OptionRow
{
    const char *name;
    QStringList arguments;
    bool valid;
};

class BatchOptionsTest : public ::testing::TestWithParam<OptionRow>
{
};

TEST_P(BatchOptionsTest, ParsesOrRefuses)
{
    const ParsedOptions parsed = parseStatsOptions(GetParam().arguments);
    EXPECT_EQ(parsed.options.has_value(), GetParam().valid) << parsed.error.toStdString();
    EXPECT_EQ(parsed.error.isEmpty(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BatchOptionsTest,
    ::testing::Values(OptionRow { "oneFile", { "a.vorn" }, true },
                      OptionRow { "standardInput", { "-" }, true },
                      OptionRow { "intervals", { "--intervals", "15min", "a.vorn" }, true },
                      OptionRow { "hours", { "--intervals", "1h", "--json", "a.vorn" }, true },
                      OptionRow { "noFile", { "--csv" }, false },
                      OptionRow { "badLength", { "--intervals", "soon", "a.vorn" }, false },
                      OptionRow { "missingLength", { "a.vorn", "--intervals" }, false },
                      OptionRow { "bothFormats", { "--csv", "--json", "a.vorn" }, false },
                      OptionRow {
                          "twoCsvTables", { "--csv", "--lden", "--intervals", "1h", "a" }, false },
                      OptionRow { "badResolution", { "--resolution", "0.5", "a.vorn" }, false },
                      OptionRow { "unknown", { "--frobnicate", "a.vorn" }, false },
                      OptionRow { "hub", { "--hub", "h.sqlite", "--station", "fence" }, true },
                      OptionRow { "hubWithoutStation", { "--hub", "h.sqlite" }, false },
                      OptionRow { "hubAndFiles", { "--hub", "h", "--station", "s", "a.vorn" }, false },
                      OptionRow { "hubPasswordAlone", { "--hub-password-file", "p", "a" }, false },
                      OptionRow { "stationWithoutFolderOrHub", { "--station", "s", "a" }, false }),
    [](const auto &info) { return std::string(info.param.name); });

int main(int argc, char **argv)
{
    // A zone with summer time, for the hour that repeats in autumn.
    useTestZone("Europe/Berlin");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
