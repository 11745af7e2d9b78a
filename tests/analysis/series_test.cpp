// The series core: what the series window draws and lists of a station's
// day files, against the join of vorn-stats.
#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"
#include "analysis/series/Series.h"
#include "analysis/series/SeriesDocument.h"

#include "support/TestZone.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// One reading a second from `from` for `count` seconds, stamped as a
// station stamps them; a level pattern that crosses 55 dB.
QByteArray dayFile(const QDateTime &from, int count, int skipFrom = -1, int skipTo = -1)
{
    QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n61.0\r\n"
        + from.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1()
        + "\r\n95.5\r\n60.0\r\nNo.s\tDate Time\tdB\t\r\n";
    int n = 0;
    for (int s = 0; s < count; ++s) {
        if (s >= skipFrom && s < skipTo)
            continue;
        const QDateTime t = from.addSecs(s);
        const int tenths = 450 + (s * 37) % 150 + (t.time().hour() >= 7 ? 100 : 0);
        bytes += QByteArray::number(++n) + '\t'
            + t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1() + '\t'
            + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10) + "\t\r\n";
    }
    return bytes;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A station's folder: two day files with a gap, events, an interval table
// and a file of another kind beside them.
struct FenceFolder
{
    QTemporaryDir dir;
    FenceFolder()
    {
        const QDateTime first(QDate(2026, 6, 1), QTime(0, 0));
        write(dir.filePath("fence 2026-06-01.vorn"), dayFile(first, 86400, 36000, 39600));
        write(dir.filePath("fence 2026-06-02.vorn"), dayFile(first.addDays(1), 43200));
        write(dir.filePath("calibration.vorn"), dayFile(first, 60));
        write(dir.filePath("fence events.csv"),
              "time,event,detail\n2026-06-01T10:00:01+02:00,link lost,\"port gone, "
              "\"\"COM3\"\"\"\n2026-06-01T11:00:00+02:00,link back,\nnot a time,x,y\n");
        write(dir.filePath("fence 2026-06-01 intervals.csv"),
              "file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90,limit,state,partial\n"
              "f,2026-06-01T06:00:00+02:00,2026-06-01T07:00:00+02:00,3600,1.00,1,1,1,1,1,1,45,ok,\n"
              "f,2026-06-01T07:00:00+02:00,2026-06-01T08:00:00+02:00,3600,1.00,1,1,1,1,1,1,55,ok,\n"
              "f,2026-06-01T08:00:00+02:00,2026-06-01T09:00:00+02:00,3600,1.00,1,1,1,1,1,1,,,\n");
    }
    QStringList files() const { return SeriesFolder::dataFiles(dir.path()); }
};

int64_t civil(int day, int hour, int minute = 0)
{
    return CivilTime::civilSecondsOf(QDate(2026, 6, day), QTime(hour, minute));
}

// The moment the site's clock showed that civil time (exclusions are moments).
int64_t moment(int day, int hour, int minute = 0)
{
    return CivilTime::utcOf(civil(day, hour, minute));
}

} // namespace

// The folder, its title, events and table limits, as the window takes them.
TEST(SeriesFolderTest, AStationsFolderIsItsDayFilesEventsAndLimits)
{
    FenceFolder folder;
    const QStringList files = folder.files();
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
    EXPECT_EQ(SeriesFolder::stationOf(files.front()), "fence");
    EXPECT_EQ(SeriesFolder::stationOf("fence 2026-06-01 (2).vorn"), "fence");
    EXPECT_EQ(SeriesFolder::stationOf("calibration.vorn"), "");
    std::vector<JoinedFile> joined;
    for (const QString &file : files)
        joined.push_back(JoinedFile { file });
    EXPECT_EQ(seriesTitle(joined),
              QString::fromUtf8("fence 2026-06-01.vorn … fence 2026-06-02.vorn (2 files)"));

    const std::vector<SeriesEvent> events = SeriesFolder::events(folder.dir.path(), "fence");
    ASSERT_EQ(events.size(), 2); // the row without a time is passed over
    EXPECT_EQ(events[0].time, civil(1, 10) + 1);
    EXPECT_EQ(events[0].event, "link lost");
    EXPECT_EQ(events[0].detail, "port gone, \"COM3\"");

    SeriesLimits limits;
    limits.table = SeriesFolder::tableLimits(folder.dir.path(), "fence");
    ASSERT_EQ(limits.table.size(), 2); // the row without a limit has none
    struct Case
    {
        int64_t at;
        std::optional<double> limit;
    };
    for (const Case &c : { Case { civil(1, 6, 30), 45.0 }, Case { civil(1, 7), 55.0 },
                           Case { civil(1, 8), std::nullopt }, Case { civil(1, 5), std::nullopt } })
        EXPECT_EQ(limits.at(c.at), c.limit) << CivilTime::toIso(c.at).toStdString();
    // Past the tables a typed schedule holds.
    limits.schedule = LimitSchedule::parse("07-19=60,19-07=50");
    EXPECT_EQ(limits.at(civil(1, 8)), 60.0);
    EXPECT_EQ(limits.at(civil(1, 7, 30)), 55.0);
    const auto steps = limits.steps(civil(1, 6), civil(1, 20));
    const std::vector<std::pair<double, double>> expected { { double(civil(1, 6)), 45.0 },
                                                            { double(civil(1, 7)), 55.0 },
                                                            { double(civil(1, 8)), 60.0 },
                                                            { double(civil(1, 19)), 50.0 },
                                                            { double(civil(1, 20)), 50.0 } };
    EXPECT_EQ(steps, expected);
}

// A schedule reads back as it was typed, and its steps run over midnight.
TEST(LimitScheduleTest, TextAndStepsRoundTrip)
{
    for (const char *text : { "55", "07-19=55,19-23=50,23-07=45", "06:30-22=60,22-06:30=50.5" }) {
        const std::optional<LimitSchedule> schedule = LimitSchedule::parse(text);
        ASSERT_TRUE(schedule) << text;
        EXPECT_EQ(schedule->text(), text);
    }
    const LimitSchedule night = *LimitSchedule::parse("22-06=40");
    const auto steps
        = limitSteps([&](int64_t t) { return night.limitAtCivil(t); },
                     night.changesBetween(civil(1, 20), civil(2, 8)), civil(1, 20), civil(2, 8));
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_TRUE(std::isnan(steps[0].second));
    EXPECT_EQ(steps[1], std::make_pair(double(civil(1, 22)), 40.0));
    EXPECT_EQ(steps[2].first, double(civil(2, 6)));
    EXPECT_TRUE(std::isnan(steps[2].second));
    EXPECT_EQ(steps[3].first, double(civil(2, 8)));
}

// The trace: one polyline whatever the zoom, lowest and highest of each
// column, each reading once zoomed in, and a break wherever readings are
// missing.
TEST(SeriesTraceTest, ColumnsOrReadingsAndGapsAsGaps)
{
    SeriesReadings readings;
    for (int64_t t = 0; t < 1000; ++t)
        if (t < 400 || t >= 600)
            readings.add(t, LevelTextClass { LevelKind::Ordinary, 0.0 }, double(t % 10));
    readings.add(1000, LevelTextClass { LevelKind::Marked, 0.0 }, std::nullopt);
    readings.add(std::nullopt, LevelTextClass {}, 50.0);
    EXPECT_EQ(readings.untimed, 1);
    EXPECT_EQ(readings.nearest(399.4), 399u);
    EXPECT_EQ(readings.nearest(500.0), std::nullopt);

    const auto breaks = [](const SeriesTrace &t) {
        return std::count_if(t.y.begin(), t.y.end(), [](double y) { return std::isnan(y); });
    };
    // 10 columns of 100 s: 8 drawn (two hold no reading), one break.
    const SeriesTrace wide = traceOf(readings, 0, 1000, 10);
    EXPECT_FALSE(wide.readingByReading);
    EXPECT_EQ(wide.x.size(), 8u * 2 + 1);
    EXPECT_EQ(breaks(wide), 1);
    EXPECT_EQ(wide.y[0], 0.0);
    EXPECT_EQ(wide.y[1], 9.0);
    // Zoomed in on the gap's edge: each reading, the gap a break.
    const SeriesTrace close = traceOf(readings, 390, 610, 500);
    EXPECT_TRUE(close.readingByReading);
    EXPECT_EQ(breaks(close), 1);
    EXPECT_EQ(close.x.front(), 389.0); // one reading beyond each edge
    EXPECT_EQ(close.x.back(), 610.0);
    EXPECT_TRUE(traceOf(readings, 5, 5, 100).x.empty());
}

// Loaded through the join of vorn-stats: the same figures, every reading
// drawn once, tables as vorn-stats writes them, and limits judged the same
// way whichever path sets them.
TEST(SeriesLoadTest, FiguresAndTablesAreThoseOfTheJoin)
{
    FenceFolder folder;
    AnalysisRequest request;
    request.intervalLength = 900;
    request.dayEveningNight = true;
    qsizetype calls = 0;
    LoadedSeries loaded = loadSeries(folder.files(), request, [&](qsizetype done, qsizetype total) {
        EXPECT_EQ(total, 2);
        calls = done;
        return true;
    });
    EXPECT_EQ(calls, 2);
    ASSERT_TRUE(loaded.outcome.report);
    EXPECT_EQ(loaded.station, "fence");
    // In the zone vorn-stats reads the files in: the details' or the computer's.
    EXPECT_EQ(loaded.zone.source, "computer");
    loaded.placeInZone(request);
    const SeriesOutcome join = analyseSeries(folder.files(), request, 1);
    ASSERT_TRUE(join.report);
    EXPECT_EQ(formatReports({ *loaded.outcome.report }, OutputFormat::Json),
              formatReports({ *join.report }, OutputFormat::Json));
    EXPECT_EQ(qint64(loaded.readings.size()), join.report->statistics.readings);

    // Limits typed in the window judge as --limit does.
    AnalysisRequest limited = request;
    limited.limits = LimitSchedule::parse("07-19=55,19-23=50,23-07=45");
    const SeriesOutcome judged = analyseSeries(folder.files(), limited, 1);
    SeriesLimits typed;
    typed.schedule = limited.limits;
    FileFigures window = *loaded.outcome.report;
    judgeIntervals(window, typed);
    EXPECT_EQ(intervalsCsv(window), formatReports({ *judged.report }, OutputFormat::Csv));
    EXPECT_TRUE(intervalsCsv(window).startsWith(
        "file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90,limit,state,"
        "calibration_verdict,drift_db,details_problem\n"));
    EXPECT_TRUE(intervalsCsv(window).contains(",55,over,"));
    EXPECT_TRUE(daysCsv(window).startsWith("file,day_start,ld,le,ln,lden,"));

    // Cancelled after the first file: nothing is reported.
    const LoadedSeries cancelled
        = loadSeries(folder.files(), request, [](qsizetype, qsizetype) { return false; });
    EXPECT_TRUE(cancelled.outcome.cancelled);
    EXPECT_FALSE(cancelled.outcome.report);
}

// A hand-written exclusions file: rows in any order, offsets of any kind,
// notes with commas and quotes, damaged lines said by number and left out,
// every good row kept with its reason and its times as written.
TEST(ExclusionsFileTest, ReadsHandWrittenRowsAndWritesThemBackAsWritten)
{
    const QByteArray written
        = "start,end,reason,note,made\r\n"
          "2026-06-01T12:00:00+02:00,2026-06-01T12:30:00+02:00,Wind,gusts,2026-06-03T09:00:00+02:"
          "00\r\n"
          "\r\n"
          "2026-06-01T08:00:00Z,2026-06-01T11:00:00Z,rain,\"heavy, \"\"steady\"\"\",\r\n"
          "2026-06-01T13:00:00+02:00,2026-06-01T12:00:00+02:00,rain,backwards,\r\n"
          "2026-06-01T14:00:00,2026-06-01T14:10:00,extraneous sound,lorry,\r\n"
          "2026-06-01T15:00:00+02:00,2026-06-01T15:10:00+02:00,hail,,\r\n"
          "2026-06-01T16:00:00+02:00,2026-06-01T16:10:00+02:00,maintenance\r\n";
    const ExclusionsFile file = ExclusionsCsv::parse(written, "x.csv");
    EXPECT_EQ(file.problem, "x.csv, line 5: the end is not after the start");
    EXPECT_EQ(file.line, 5);
    EXPECT_EQ(file.badLines, 3);
    struct Expected
    {
        int64_t start, end;
        ExclusionReason reason;
        QString note, startText;
    };
    const Expected rows[] = {
        { moment(1, 12), moment(1, 12, 30), ExclusionReason::Wind, "gusts",
          "2026-06-01T12:00:00+02:00" },
        { moment(1, 10), moment(1, 13), ExclusionReason::Rain, "heavy, \"steady\"",
          "2026-06-01T08:00:00Z" },
        { moment(1, 14), moment(1, 14, 10), ExclusionReason::ExtraneousSound, "lorry",
          "2026-06-01T14:00:00" },
    };
    ASSERT_EQ(file.rows.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(file.rows[i].start, rows[i].start) << i;
        EXPECT_EQ(file.rows[i].end, rows[i].end) << i;
        EXPECT_EQ(file.rows[i].reason, rows[i].reason) << i;
        EXPECT_EQ(file.rows[i].note, rows[i].note) << i;
        EXPECT_EQ(file.rows[i].startText, rows[i].startText) << i;
    }
    // Saved again: the same rows, in the same order, the times as written.
    const QByteArray again = ExclusionsCsv::text(file.rows);
    EXPECT_TRUE(again.startsWith("start,end,reason,note,made\n"
                                 "2026-06-01T12:00:00+02:00,2026-06-01T12:30:00+02:00,wind,gusts,"
                                 "2026-06-03T09:00:00+02:00\n"
                                 "2026-06-01T08:00:00Z,2026-06-01T11:00:00Z,rain,\"heavy, "
                                 "\"\"steady\"\"\",\n"));
    EXPECT_EQ(ExclusionsCsv::parse(again, "x.csv").rows, file.rows);
    QTemporaryDir dir;
    QString why;
    const QString path = ExclusionsCsv::pathFor(dir.path(), "fence");
    EXPECT_TRUE(path.endsWith("/fence exclusions.csv"));
    EXPECT_TRUE(ExclusionsCsv::pathFor(dir.path(), QString()).endsWith("/exclusions.csv"));
    ASSERT_TRUE(ExclusionsCsv::write(path, file.rows, why)) << why.toStdString();
    EXPECT_EQ(ExclusionsCsv::read(path).rows, file.rows);
    EXPECT_TRUE(ExclusionsCsv::read(dir.filePath("none.csv")).ok());
    EXPECT_EQ(ExclusionsCsv::pathForDataFile(dir.filePath("fence 2026-06-01 (2).vorn")), path);
    // Without its header no column can be trusted.
    const ExclusionsFile headless = ExclusionsCsv::parse(
        "2026-06-01T12:00:00+02:00,2026-06-01T12:30:00+02:00,wind,,\n", "y.csv");
    EXPECT_TRUE(headless.rows.empty());
    EXPECT_TRUE(headless.problem.startsWith("y.csv, line 1: the header must be"));
}

// Overlapping spans count once, each second for the span that starts first;
// lookups run forwards and back.
TEST(ExclusionsFileTest, OverlapsCountOnceForTheSpanThatStartsFirst)
{
    const ExclusionSpans spans({
        makeExclusion(200, 300, ExclusionReason::Wind, "b", {}),
        makeExclusion(100, 250, ExclusionReason::Rain, "a", {}),
        makeExclusion(120, 130, ExclusionReason::Other, "inside", {}),
        makeExclusion(400, 500, ExclusionReason::Maintenance, "c", {}),
    });
    ASSERT_EQ(spans.segments().size(), 3u);
    EXPECT_EQ(spans.coveredBetween(0, 1000), 300);
    EXPECT_EQ(spans.coveredBetween(240, 450), 110);
    const std::pair<int64_t, int> lookups[]
        = { { 99, -1 },  { 100, 1 }, { 125, 1 }, { 249, 1 },  { 250, 0 }, { 299, 0 },
            { 300, -1 }, { 450, 3 }, { 120, 1 }, { 500, -1 }, { 10, -1 }, { 260, 0 } };
    for (const auto &[time, row] : lookups)
        EXPECT_EQ(spans.rowAt(time), row) << time;
    EXPECT_EQ(spans.rowsBetween(260, 450).size(), 2u);
}

// Excluded readings are not measured: out of every figure and coverage,
// the day they fall in partial, and said in every output; the window's
// figures from its kept readings are those of the join.
TEST(ExclusionsTest, ExcludedReadingsCountAsNotMeasuredEverywhere)
{
    FenceFolder folder;
    AnalysisRequest request;
    request.intervalLength = 3600;
    request.dayEveningNight = true;
    const LoadedSeries loaded = loadSeries(folder.files(), request);
    ASSERT_TRUE(loaded.outcome.report);
    request.exclusions = std::make_shared<const ExclusionSpans>(std::vector<Exclusion> {
        makeExclusion(moment(1, 12), moment(1, 13), ExclusionReason::Rain, "shower", "m"),
        makeExclusion(moment(1, 12, 30), moment(1, 14), ExclusionReason::Wind, "", "m"),
        makeExclusion(moment(1, 20), moment(1, 20, 10), ExclusionReason::ExtraneousSound, "",
                      "m"),
        makeExclusion(moment(3, 0), moment(3, 1), ExclusionReason::Other, "after", "m") });
    request.exclusionsSource = "fence exclusions.csv";
    const SeriesOutcome joined = analyseSeries(folder.files(), request, 2);
    ASSERT_TRUE(joined.report);
    const FileFigures &r = *joined.report;
    const qint64 excluded = 2 * 3600 + 600;
    EXPECT_EQ(r.statistics.readings, loaded.outcome.report->statistics.readings - excluded);
    ASSERT_TRUE(r.exclusions);
    EXPECT_EQ(r.exclusions->readings, excluded);
    EXPECT_EQ(r.exclusions->listed.size(), 3u); // the one after the readings is not listed
    EXPECT_EQ(excludedText(r),
              "2 h 10 min (7800 readings: rain 1 h, wind 1 h, extraneous sound "
              "10 min)");
    const auto interval = [&r](int64_t start) {
        return *std::find_if(r.intervals.begin(), r.intervals.end(),
                             [start](const IntervalLevel &i) { return i.start == start; });
    };
    EXPECT_NEAR(interval(civil(1, 20)).coverage, 50.0 / 60.0, 1e-9);
    EXPECT_TRUE(interval(civil(1, 11)).gap == false);
    EXPECT_TRUE(std::none_of(r.intervals.begin(), r.intervals.end(), [](const IntervalLevel &i) {
        return i.start == civil(1, 12) && !i.gap;
    }));
    ASSERT_FALSE(r.days.empty());
    EXPECT_TRUE(r.days.front().partial);

    const QString csv = formatReports({ r }, OutputFormat::Csv);
    // One table: the verdict's columns end each row, after the exclusions'.
    EXPECT_TRUE(csv.startsWith("file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90,"
                               "excluded_s,excluded_reasons,calibration_verdict,drift_db,"
                               "details_problem\n"));
    EXPECT_TRUE(csv.contains(",7200,rain=3600;wind=3600,"));
    EXPECT_TRUE(csv.contains(",600,extraneous sound=600,"));
    EXPECT_FALSE(csv.contains("\n\n"));
    const QString json = formatReports({ r }, OutputFormat::Json);
    EXPECT_TRUE(
        json.contains("\"exclusions\": {\"file\": \"fence exclusions.csv\", \"excluded_s\": "
                      "7800, \"excluded_readings\": 7800, \"reasons\": {\"rain\": 3600, "
                      "\"wind\": 3600, \"extraneous sound\": 600}"));
    EXPECT_TRUE(json.contains("\"reason\": \"rain\", \"note\": \"shower\""));
    const QString text = formatReports({ r }, OutputFormat::Text);
    EXPECT_TRUE(text.contains("Excluded: 2 h 10 min (7800 readings:"));
    EXPECT_TRUE(text.contains(
        "  2026-06-01T12:30:00+02:00 to 2026-06-01T14:00:00+02:00  1 h 30 min  wind"));
    EXPECT_TRUE(
        text.contains("Exclusions (fence exclusions.csv, 3 of its spans touch the readings)"));

    // The window's figures, from its kept readings, on two threads or one.
    EXPECT_EQ(formatReports({ reanalyse(loaded, request) }, OutputFormat::Json).toStdString(),
              json.toStdString());
    AnalysisRequest figuresOnly = request;
    figuresOnly.intervalLength.reset();
    figuresOnly.dayEveningNight = false;
    EXPECT_EQ(
        formatReports({ reanalyse(loaded, figuresOnly) }, OutputFormat::Csv).toStdString(),
        formatReports({ *analyseSeries(folder.files(), figuresOnly, 1).report }, OutputFormat::Csv)
            .toStdString());
    // No exclusions: nothing is said, and the columns stay those the
    // station's interval tables share.
    AnalysisRequest none = request;
    none.exclusions.reset();
    EXPECT_FALSE(
        formatReports({ reanalyse(loaded, none) }, OutputFormat::Csv).contains("excluded"));
}

// The series window's document, without a window: a rule or limit it
// refuses changes nothing and is said; one it takes analyses the figures
// again; its exclusions are saved in the background, a failed save is said
// and leaves them applying until a save goes through.
TEST(SeriesDocumentTest, RefusesBadRulesAndSavesItsExclusionsAsTheyChange)
{
    QStandardPaths::setTestModeEnabled(true);
    FenceFolder folder;
    SeriesDocument document(loadSeries(folder.files(), SeriesDocument::requestFor(3600)), 3600);
    int figuresChanged = 0;
    int limitsChanged = 0;
    QStringList failed;
    QObject::connect(&document, &SeriesDocument::figuresChanged, [&] { ++figuresChanged; });
    QObject::connect(&document, &SeriesDocument::limitsChanged, [&] { ++limitsChanged; });
    QObject::connect(&document, &SeriesDocument::saveFailed,
                     [&](const QString &why) { failed << why; });
    const qint64 all = document.figures().statistics.readings;
    using Setter = QString (SeriesDocument::*)(const QString &);
    const struct
    {
        Setter set;
        const char *text;
        bool taken;
    } changes[] = {
        { &SeriesDocument::setLimitsText, "loud", false },
        { &SeriesDocument::setEventThreshold, "loud", false },
        { &SeriesDocument::setEventThreshold, "60,70", false },
        { &SeriesDocument::setPeriodLimitsText, "day=x", false },
        { &SeriesDocument::setWeatherRulesText, "wind>>5", false },
        { &SeriesDocument::importWeather, "no such weather.csv", false },
        { &SeriesDocument::setEventThreshold, "65", true },
        { &SeriesDocument::setPeriodLimitsText, "day=55,evening=50,night=45", true },
        { &SeriesDocument::setLimitsText, "55", true },
    };
    for (const auto &change : changes) {
        const int before = figuresChanged + limitsChanged;
        const QString why = (document.*change.set)(QString::fromLatin1(change.text));
        EXPECT_EQ(why.isEmpty(), change.taken) << change.text << ": " << why.toStdString();
        EXPECT_EQ(figuresChanged + limitsChanged, before + (change.taken ? 1 : 0)) << change.text;
    }
    EXPECT_TRUE(document.figures().events && document.figures().events->events);
    EXPECT_TRUE(document.figures().assessment);
    EXPECT_EQ(limitsChanged, 1);
    ASSERT_FALSE(document.figures().intervals.empty());
    EXPECT_EQ(document.figures().intervals.front().limit, 55.0);

    const auto settle = [&] {
        QElapsedTimer waited;
        waited.start();
        while (document.exclusionsSaving() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return !document.exclusionsSaving();
    };
    document.addExclusion(
        makeExclusion(moment(1, 12), moment(1, 13), ExclusionReason::Rain, "shower", "m"));
    EXPECT_EQ(document.figures().statistics.readings, all - 3600);
    ASSERT_TRUE(settle());
    EXPECT_EQ(ExclusionsCsv::read(document.exclusionsPath()).rows.size(), 1u);
    EXPECT_FALSE(document.exclusionsUnsaved());

    // The file's place taken by a folder: the save fails, the change holds.
    ASSERT_TRUE(QFile::remove(document.exclusionsPath()));
    ASSERT_TRUE(QDir().mkdir(document.exclusionsPath()));
    document.removeExclusion(0);
    EXPECT_EQ(document.figures().statistics.readings, all);
    ASSERT_TRUE(settle());
    EXPECT_EQ(failed.size(), 1);
    EXPECT_TRUE(document.exclusionsUnsaved());
    EXPECT_FALSE(document.saveExclusions().isEmpty());
    ASSERT_TRUE(QDir().rmdir(document.exclusionsPath()));
    EXPECT_EQ(document.saveExclusions(), QString());
    EXPECT_FALSE(document.exclusionsUnsaved());
    EXPECT_TRUE(QFileInfo::exists(document.exclusionsPath()));
    EXPECT_TRUE(document.exclusions().empty());
}

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Two windows (or a window and an editor) on one exclusions file: a save
// brings this window's changes to the file as it is now, so nothing the
// other wrote is dropped, and a row both changed stays in both versions.
TEST(ExclusionsMergeTest, ASaveKeepsWhatAnotherWriterSaved)
{
    const auto row = [](int hour, ExclusionReason reason, const char *made) {
        const int64_t start = 1774245600 + int64_t(hour) * 3600; // 2026-03-23
        return makeExclusion(start, start + 3600, reason, QString(), QString::fromLatin1(made));
    };
    const Exclusion a = row(8, ExclusionReason::Wind, "m1");
    const Exclusion b = row(10, ExclusionReason::Rain, "m2");
    const Exclusion c = row(12, ExclusionReason::Maintenance, "m3");
    Exclusion aEditedHere = a;
    aEditedHere.note = QStringLiteral("gusts");
    Exclusion aEditedThere = a;
    aEditedThere.reason = ExclusionReason::Rain;
    using Rows = std::vector<Exclusion>;
    const struct
    {
        const char *name;
        Rows base, mine, onDisk, expected;
        int taken, kept;
    } cases[] = {
        { "each window adds one", {}, { a }, { b }, { b, a }, 1, 0 },
        { "unchanged on disk: mine as they are", { a, b }, { b, c }, { a, b }, { b, c }, 0, 0 },
        { "removed here, kept there unchanged: removed", { a, b }, { b }, { a, b, c }, { b, c }, 1,
          0 },
        { "edited here and there: both kept", { a }, { aEditedHere }, { aEditedThere },
          { aEditedThere, aEditedHere }, 1, 1 },
        { "removed here, edited there: theirs kept", { a }, {}, { aEditedThere }, { aEditedThere },
          1, 1 },
        { "removed by both: gone", { a, b }, { b }, { b }, { b }, 0, 0 },
        { "the same row added by both: once", {}, { c }, { c }, { c }, 0, 0 },
    };
    for (const auto &t : cases) {
        const ExclusionsCsv::Merge merged = ExclusionsCsv::merge(t.base, t.mine, t.onDisk);
        EXPECT_EQ(merged.rows, t.expected) << t.name;
        EXPECT_EQ(merged.taken, t.taken) << t.name;
        EXPECT_EQ(merged.kept, t.kept) << t.name;
    }

    // Through the file, and a file damaged meanwhile is left alone.
    QTemporaryDir dir;
    const QString path = dir.filePath("fence exclusions.csv");
    QString why;
    ASSERT_TRUE(ExclusionsCsv::write(path, { b }, why));
    ExclusionsCsv::Merge merged;
    ASSERT_TRUE(ExclusionsCsv::mergeAndWrite(path, {}, { a }, merged, why)) << why.toStdString();
    EXPECT_EQ(ExclusionsCsv::read(path).rows, (Rows { b, a }));
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::Append));
    damaged.write("not,a,row\n");
    damaged.close();
    EXPECT_FALSE(ExclusionsCsv::mergeAndWrite(path, { b, a }, { b }, merged, why));
    EXPECT_TRUE(why.contains("changed and now has bad lines")) << why.toStdString();
    EXPECT_EQ(ExclusionsCsv::read(path).rows, (Rows { b, a }));
}
