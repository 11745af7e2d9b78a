#include "analysis/records/CivilTime.h"
#include "analysis/Wording.h"
#include "analysis/output/Outputs.h"
#include "analysis/report/Report.h"
#include "analysis/report/TimeHistory.h"
#include "recording/DataFileReader.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QString stampAt(int64_t t)
{
    return stampText(t);
}

// A "Real Time" file with one reading every `step` seconds from `start`.
DataFileContents recording(const QStringList &levels, int step = 1,
                           const QString &start = "2013/03/04 08:00:00")
{
    DataFileContents file;
    file.kind = DataFileKind::RealTime;
    file.headerLength = 9;
    file.samplingInterval = step;
    file.boardTexts = { "A", "Slow", "30-90", "60.0", "2013/03/04 08:00:00", "95.5", "60.0" };
    const int64_t t0 = *CivilTime::parseStamp(start);
    for (qsizetype i = 0; i < levels.size(); ++i)
        file.rows.append(QString::number(i + 1), stampAt(t0 + i * step), levels.at(i));
    file.linesRead = 10 + levels.size();
    return file;
}

// The rows are kept compactly, not as editable texts: rebuilt with one time changed.
void setTime(DataFileContents &file, qsizetype row, const QString &time)
{
    ReadingRows rows;
    for (qsizetype i = 0; i < file.rows.count(); ++i)
        rows.append(file.number(i), i == row ? time : file.time(i), file.level(i));
    file.rows = rows;
}

QStringList levelsFrom(int count, const std::function<QString(int)> &level)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << level(i);
    return list;
}

const ReportField *field(const std::vector<ReportField> &fields, const QString &label)
{
    for (const ReportField &f : fields)
        if (f.label == label)
            return &f;
    return nullptr;
}

} // namespace

TEST(ReportTexts, LevelsAreTruncatedAndNeverInfiniteOrNan)
{
    const struct
    {
        std::optional<double> value;
        const char *text;
    } cases[] = {
        { 85.37, "85.3" },
        { 60.0, "60.0" },
        { 0.5, ".5" },
        { std::nullopt, "\u2014" },
        { std::numeric_limits<double>::infinity(), "\u2014" },
        { -std::numeric_limits<double>::infinity(), "\u2014" },
        { std::numeric_limits<double>::quiet_NaN(), "\u2014" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(levelText(c.value), QString::fromUtf8(c.text));
    EXPECT_EQ(Wording::clockDuration(4 * 86400 + 40 * 60), "4 d 00:40:00");
    EXPECT_EQ(Wording::clockDuration(59), "00:00:59");
    EXPECT_EQ(Wording::exactDuration(900), "15 min");
    EXPECT_EQ(Wording::exactDuration(3600), "1 h");
    EXPECT_EQ(Wording::exactDuration(90), "90 s");
}

TEST(TimeHistory, ColumnsHoldTheExtremesWhateverTheLength)
{
    // A day at one reading a second: the size of the history is set by the
    // strips and columns, not by the 86,400 readings.
    const QStringList levels
        = levelsFrom(86400, [](int i) { return QString::number(50.0 + (i % 97) * 0.1, 'f', 1); });
    const DataFileContents file = recording(levels, 1, "2013/03/04 00:00:00");
    HistoryShape shape;
    shape.columns = 400;
    const auto history = buildTimeHistory(file, 1.0, shape);
    ASSERT_TRUE(history);
    EXPECT_EQ(history->axis, HistoryAxis::ClockTime);
    EXPECT_TRUE(history->note.isEmpty());
    EXPECT_EQ(history->drawnReadings, 86400);
    // A day on at most four strips: 6 h each, clock-aligned.
    ASSERT_EQ(history->strips.size(), 4u);
    const HistoryStrip &strip = history->strips[1];
    EXPECT_EQ(strip.end - strip.start, 6 * 3600.0);
    EXPECT_EQ(strip.title, "2013/03/04 06:00 \u2013 12:00");
    ASSERT_EQ(strip.columns(), 400);
    // Column 0 of strip 1 holds readings 21600 … 21653 (54 s each column).
    float low = 1000, high = -1000;
    for (int i = 21600; i < 21600 + 54; ++i) {
        low = std::min(low, levels[i].toFloat());
        high = std::max(high, levels[i].toFloat());
    }
    EXPECT_FLOAT_EQ(strip.low[0], low);
    EXPECT_FLOAT_EQ(strip.high[0], high);
    EXPECT_EQ(history->levelFloor, 40.0);
    EXPECT_EQ(history->levelCeiling, 70.0);
    // The clock ticks read as times, the day's start with its date.
    ASSERT_FALSE(history->strips[0].ticks.empty());
    EXPECT_EQ(history->strips[0].ticks.front().label, "00:00\n2013/03/04");
    EXPECT_EQ(strip.ticks.front().label, "06:00");
}

TEST(TimeHistory, MarksRunsRangesAndGaps)
{
    QStringList levels = levelsFrom(600, [](int) { return QStringLiteral("60.0"); });
    for (int i = 100; i < 160; ++i)
        levels[i] = "61.0*";
    levels[300] = "--";
    levels[400] = "L";
    levels[401] = "150.2";
    DataFileContents file = recording(levels);
    // Two minutes missing after reading 500.
    for (int i = 501; i < 600; ++i)
        setTime(file, i, stampAt(*CivilTime::parseStamp(file.time(i)) + 120));
    HistoryShape shape;
    shape.columns = 600; // one column per second of a 10-minute strip
    const auto history = buildTimeHistory(file, 1.0, shape);
    ASSERT_TRUE(history);
    ASSERT_EQ(history->strips.size(), 2u); // 08:00 to 08:12
    const auto flagsAt = [&](int reading) {
        const double t = double(*CivilTime::parseStamp(file.time(reading)));
        for (const HistoryStrip &strip : history->strips)
            if (t >= strip.start && t < strip.end)
                return strip.flags[size_t(t - strip.start)];
        return quint8(0xff);
    };
    EXPECT_TRUE(flagsAt(120) & HistoryColumn::Marked);
    EXPECT_FALSE(flagsAt(120) & HistoryColumn::Level);
    EXPECT_TRUE(flagsAt(160) & HistoryColumn::Break); // the trace resumes after the pause
    EXPECT_TRUE(flagsAt(300) & HistoryColumn::UnderRange);
    EXPECT_TRUE(flagsAt(400) & HistoryColumn::OverRange);
    EXPECT_TRUE(flagsAt(401) & HistoryColumn::OverRange);
    EXPECT_TRUE(flagsAt(401) & HistoryColumn::Level); // 150.2 carries its level
    EXPECT_TRUE(flagsAt(501) & HistoryColumn::Break);
    EXPECT_FALSE(flagsAt(502) & HistoryColumn::Break);
    EXPECT_FALSE(flagsAt(250) & HistoryColumn::Break);
    EXPECT_EQ(history->drawnReadings, 600 - 60 - 1 - 1);
}

TEST(TimeHistory, ClockThatCannotCarryTheAxisFallsBackToReadingNumbers)
{
    const QStringList levels = levelsFrom(300, [](int) { return QStringLiteral("55.0"); });
    struct Case
    {
        const char *what;
        std::function<void(DataFileContents &)> spoil;
        const char *note;
    };
    const Case cases[] = {
        { "clock set back", [](DataFileContents &f) { setTime(f, 200, "2013/03/04 07:00:00"); },
          "run backwards at reading 201 (2013/03/04 07:00:00 after 2013/03/04 08:03:19)" },
        { "not a date", [](DataFileContents &f) { setTime(f, 5, "2013/02/31 xx"); },
          "Reading 6 has no valid time stamp" },
        { "years apart", [](DataFileContents &f) { setTime(f, 299, "2019/01/01 00:00:00"); },
          "span from 2013/03/04 08:00:00 to 2019/01/01 00:00:00" },
    };
    for (const Case &c : cases) {
        DataFileContents file = recording(levels);
        c.spoil(file);
        const auto history = buildTimeHistory(file, 1.0);
        ASSERT_TRUE(history) << c.what;
        EXPECT_EQ(history->axis, HistoryAxis::ReadingNumber) << c.what;
        EXPECT_TRUE(history->note.contains(QString::fromUtf8(c.note)))
            << c.what << ": " << history->note.toStdString();
        ASSERT_EQ(history->strips.size(), 3u) << c.what; // 100 readings a strip
        EXPECT_EQ(history->strips[0].start, 1.0);
        EXPECT_EQ(history->strips[2].title, "Readings 201 to 300");
        EXPECT_EQ(history->drawnReadings, 300);
    }
}

TEST(TimeHistory, CancelStopsTheWalk)
{
    const DataFileContents file
        = recording(levelsFrom(50000, [](int) { return QStringLiteral("55.0"); }));
    ReportProgress cancel = [](double) { return false; };
    ReportProgressGate gate(cancel, 0, 1);
    EXPECT_FALSE(buildTimeHistory(file, 1.0, {}, &gate));
}

TEST(ReportPages, PagesFollowTheLengthOfTheFile)
{
    const auto section = [](int strips, int intervalRows, int dayRows) {
        ReportSection s;
        s.history.strips.resize(size_t(strips));
        s.intervalRows.resize(size_t(intervalRows));
        s.dayRows.resize(size_t(dayRows));
        return s;
    };
    const struct
    {
        int strips, rows, days;
        int pages;
        int dayPage; // index of the last page with day rows, -1 none
    } cases[] = {
        { 1, 30, 60, 6, 5 }, // 60 days: 10 under the intervals, then 40 and 10
        { 1, 1, 0, 4, 3 }, // summary, history, distribution, intervals + day note
        { 4, 34, 0, 4, 3 },  { 5, 97, 3, 7, 6 }, // 4 days: two history pages, three interval pages
        { 5, 44, 1, 6, 5 }, // a full interval page: the day table gets its own
        { 1, 0, 0, 3, -1 }, // no time stamps: no interval page
    };
    for (const auto &c : cases) {
        const std::vector<ReportPage> pages = paginate({ section(c.strips, c.rows, c.days) });
        EXPECT_EQ(int(pages.size()), c.pages) << c.strips << " " << c.rows;
        int dayPage = -1;
        int rows = 0;
        int days = 0;
        for (int i = 0; i < int(pages.size()); ++i) {
            const ReportPage &page = pages[size_t(i)];
            if (page.dayCount > 0) {
                dayPage = i;
                EXPECT_EQ(page.dayFirst, days) << "day rows in order, none twice";
                days += page.dayCount;
                EXPECT_LE(page.count + page.dayCount
                              + (page.dayCount > 0 ? ReportLayout::DayTableOverhead : 0),
                          ReportLayout::TableRowsPerPage)
                    << "a page holds no more than fits above its footer";
            }
            if (page.kind == PageKind::Intervals)
                rows += page.count;
        }
        EXPECT_EQ(dayPage, c.dayPage) << c.strips << " " << c.rows;
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(days, c.rows + c.days > 0 ? std::max(c.days, 1) : 0);
    }
    // Two files: a section each, pages in file order.
    const std::vector<ReportPage> two = paginate({ section(1, 1, 0), section(5, 97, 3) });
    EXPECT_EQ(two.size(), 11u);
    EXPECT_EQ(two[4].section, 1);
    EXPECT_EQ(two[4].kind, PageKind::Summary);
}

TEST(ReportSection, EdgeFilesGiveHonestFigures)
{
    ReportOptions options;
    {
        // Only marked readings: nothing to average or count.
        const DataFileContents file
            = recording(levelsFrom(120, [](int) { return QStringLiteral("72.4*"); }));
        const auto s = buildReportSection("marked.vorn", file, options);
        ASSERT_TRUE(s);
        EXPECT_EQ(field(s->figures, "Leq")->value, "\u2014");
        EXPECT_EQ(field(s->figures, "Lmax")->value, "\u2014");
        EXPECT_EQ(field(s->figures, "L50")->value, "\u2014");
        EXPECT_EQ(field(s->figures, "Marked readings")->value, "120");
        EXPECT_TRUE(s->bars.empty());
        EXPECT_TRUE(s->lnTexts.isEmpty());
        EXPECT_EQ(s->notes.size(), 2);
        for (const QStringList &row : s->intervalRows)
            EXPECT_EQ(row.at(2), "\u2014");
    }
    {
        // One reading.
        const DataFileContents file = recording({ "70.0" });
        const auto s = buildReportSection("one.vorn", file, options);
        ASSERT_TRUE(s);
        EXPECT_EQ(field(s->figures, "Leq")->value, "70.0 dB");
        EXPECT_EQ(field(s->figures, "Lmin")->detail, "2013/03/04 08:00:00");
        EXPECT_EQ(field(s->facts, "Duration")->value, "00:00:01");
        ASSERT_EQ(s->bars.size(), 1u);
        EXPECT_DOUBLE_EQ(s->bars[0].percent, 100.0);
        EXPECT_EQ(s->history.strips.size(), 1u);
        EXPECT_EQ(s->intervalRows.size(), 1u);
        EXPECT_EQ(s->intervalLength, 900);
    }
    {
        // A list without header: no stored boards, the step of the stamps.
        DataFileContents file
            = recording(levelsFrom(10, [](int) { return QStringLiteral("60.0"); }), 5);
        file.kind = DataFileKind::Headerless;
        file.headerLength = 0;
        file.samplingInterval = 0;
        file.boardTexts.clear();
        const auto s = buildReportSection("dump.vorn", file, options);
        ASSERT_TRUE(s);
        EXPECT_TRUE(s->headerless);
        EXPECT_TRUE(s->storedBoards.empty());
        EXPECT_EQ(field(s->facts, "Sampling interval")->value, "5 s");
        EXPECT_EQ(field(s->facts, "Sampling interval")->detail, "from the time stamps");
    }
    {
        // Under- and over-range readings stay out of the bars but in the
        // cumulative share, which still ends at 100 %.
        QStringList levels
            = levelsFrom(100, [](int i) { return QString::number(60 + i % 5) + ".0"; });
        levels[0] = "--";
        levels[1] = "L";
        const auto s = buildReportSection("ranges.vorn", recording(levels), options);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->bars.front().level, 60);
        EXPECT_EQ(s->bars.back().level, 64);
        EXPECT_NEAR(s->bars.back().cumulative, 99.0, 1e-9);
        EXPECT_TRUE(s->distributionNote.contains("1 under-range"));
    }
}

// A file's exclusions in its section: the figures without them and an
// "Excluded" fact, a row per exclusion that touches the readings and per day,
// the spans clipped to the history; many exclusions run over pages of their
// own, each row placed once, the day table after them.
TEST(ReportSection, ExclusionsGiveTheirPageRowsAndShades)
{
    // Two hours at one reading a minute from 2013/03/04 06:00, 60 dB, then 80 dB.
    const DataFileContents file = recording(
        levelsFrom(120, [](int i) { return i < 90 ? QString("60.0") : QString("80.0"); }), 60,
        "2013/03/04 06:00:00");
    // Exclusions are moments; the time axis is the site's wall clock.
    const int64_t c0 = *CivilTime::parseStamp(u"2013/03/04 06:00:00");
    const int64_t t0 = CivilTime::utcOf(c0);
    ReportOptions options;
    options.intervalLength = 3600;
    options.exclusionsSource = "exclusions.csv";
    options.exclusions = std::make_shared<const ExclusionSpans>(std::vector<Exclusion> {
        makeExclusion(t0 + 90 * 60, t0 + 150 * 60, ExclusionReason::ExtraneousSound, "lorry", {}),
        makeExclusion(t0 - 3600, t0 + 10 * 60, ExclusionReason::Maintenance, "", {}),
        makeExclusion(t0 + 86400, t0 + 86400 + 60, ExclusionReason::Rain, "next day", {}) });
    const std::optional<ReportSection> section = buildReportSection("x.vorn", file, options);
    ASSERT_TRUE(section);
    EXPECT_TRUE(section->withExclusions);
    EXPECT_EQ(field(section->figures, "Leq")->value, "60.0 dB"); // the 80 dB readings are out
    ASSERT_TRUE(field(section->facts, "Excluded"));
    EXPECT_EQ(field(section->facts, "Excluded")->value,
              "40 min (40 readings: extraneous sound 30 min, maintenance 10 min)");
    ASSERT_EQ(section->exclusionRows.size(), 2u); // the next day's touches no reading
    EXPECT_EQ(section->exclusionRows[0],
              QStringList({ "2013/03/04 05:00:00", "2013/03/04 06:10:00", "1 h 10 min",
                            "maintenance", "" }));
    EXPECT_EQ(section->exclusionRows[1][3], "extraneous sound");
    ASSERT_EQ(section->excludedDayRows.size(), 2u); // before and after 07:00
    EXPECT_EQ(section->excludedDayRows[1],
              QStringList({ "2013/03/04 07:00", "30 min", "extraneous sound 30 min" }));
    ASSERT_EQ(section->excludedSpans.size(), 2u);
    EXPECT_EQ(section->excludedSpans[0], std::make_pair(double(c0), double(c0 + 600)));
    EXPECT_EQ(section->excludedSpans[1], std::make_pair(double(c0 + 5400), double(c0 + 7200)));

    ReportSection many = *section;
    many.exclusionRows.resize(60);
    many.excludedDayRows.resize(30);
    const std::vector<ReportPage> pages = paginate({ many });
    int rows = 0;
    int days = 0;
    int exclusionPages = 0;
    for (const ReportPage &page : pages) {
        if (page.kind != PageKind::Exclusions)
            continue;
        ++exclusionPages;
        EXPECT_EQ(page.first, rows);
        EXPECT_EQ(page.dayFirst, days);
        rows += page.count;
        days += page.dayCount;
        EXPECT_LE(page.count + page.dayCount
                      + (page.dayCount > 0 ? ReportLayout::DayTableOverhead : 0),
                  ReportLayout::TableRowsPerPage);
    }
    EXPECT_EQ(rows, 60);
    EXPECT_EQ(days, 30);
    EXPECT_EQ(exclusionPages, 3);
    EXPECT_EQ(pages.back().kind, PageKind::Exclusions);
}

TEST(ReportSection, IntervalsFollowTheLengthOfTheFile)
{
    ReportOptions options;
    const auto levels
        = [](int n) { return levelsFrom(n, [](int) { return QStringLiteral("60.0"); }); };
    // 26 hours at one reading a minute: hours, and one whole day.
    const auto day = buildReportSection(
        "day.vorn", recording(levels(26 * 60), 60, "2013/03/04 06:00:00"), options);
    ASSERT_TRUE(day);
    EXPECT_EQ(day->intervalLength, 3600);
    EXPECT_EQ(day->intervalRows.size(), 26u);
    // The whole day, between the partial ones the readings begin and end in.
    ASSERT_EQ(day->dayRows.size(), 3u);
    EXPECT_EQ(day->dayRows[1],
              QStringList({ "2013/03/04 07:00", "100/100/100 %", "60.0", "60.0", "60.0", "66.3" }));
    // Two hours: quarters, no whole day.
    const auto hours = buildReportSection("hours.vorn", recording(levels(120), 60), options);
    ASSERT_TRUE(hours);
    EXPECT_EQ(hours->intervalLength, 900);
    EXPECT_EQ(hours->intervalRows.size(), 8u);
    EXPECT_EQ(hours->intervalRows[0].mid(0, 3),
              QStringList({ "2013/03/04 08:00", "08:15", "60.0" }));
    // Its day is listed, partial, as vorn-stats --lden lists it.
    ASSERT_EQ(hours->dayRows.size(), 1u);
    EXPECT_TRUE(hours->dayRows[0][0].endsWith(" partial"));
    // Asked for explicitly.
    options.intervalLength = 1800;
    EXPECT_EQ(
        buildReportSection("h.vorn", recording(levels(120), 60), options)->intervalRows.size(), 4u);
}

// The assessment is the analysis' own cells in the order an acoustician
// reads them, failing periods marked; without weather, events or limits
// there is none, and the report is as it was.
TEST(ReportSection, AssessmentTablesAreTheAnalysisCellsInOrder)
{
    // A day from 07:00 at a reading a minute: 58 dB, a 70 dB minute each hour.
    const DataFileContents file
        = recording(levelsFrom(1440, [](int i) { return i % 60 == 30 ? "70.0" : "58.0"; }), 60,
                    "2013/03/04 07:00:00");
    const int64_t t0 = CivilTime::utcOf(*CivilTime::parseStamp(u"2013/03/04 07:00:00"));
    auto weather = std::make_shared<WeatherData>();
    weather->source = "w.csv";
    for (int m = 0; m < 180; ++m) {
        WeatherRow row;
        row.start = t0 + 60 * m;
        row.end = row.start + 60;
        row.windSpeed = m < 60 ? 6.0 : 2.0;
        row.rain = 0.0;
        weather->rows.push_back(row);
    }
    const struct
    {
        const char *name;
        bool weather, events, limits;
        QStringList titles;
    } cases[] = {
        { "nothing asked", false, false, false, {} },
        { "all",
          true,
          true,
          true,
          { "Measurement", "Calibration", "Weather", "Verdict per period",
            "Events and number above per day", "The 20 loudest events" } },
        { "limits alone",
          false,
          false,
          true,
          { "Measurement", "Calibration", "Weather", "Verdict per period" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AnalysisRequest request;
        request.dayEveningNight = true;
        if (c.weather)
            request.weather = weather;
        if (c.events)
            request.events.threshold = 65.0;
        if (c.limits)
            request.assessment.limits = PeriodLimits::parse("day=55,evening=60,night=60", nullptr);
        const FileFigures analysed = analyseFile("x.vorn", file, request);
        std::optional<ReportSection> section = buildReportSection("x.vorn", file, {});
        ASSERT_TRUE(section);
        addAssessment(*section, analysed);
        QStringList titles;
        for (const ReportTable &t : section->assessment)
            titles << t.title;
        EXPECT_EQ(titles, c.titles);
        EXPECT_EQ(section->weather.empty(), !c.weather);
        EXPECT_EQ(section->weatherSpans.size(), c.weather ? weather->rows.size() : 0u);
        for (const ReportTable &t : section->assessment) {
            if (t.title == "Verdict per period") {
                EXPECT_EQ(t.rows, assessmentCells(analysed));
                EXPECT_EQ(t.headers.size(), qsizetype(t.widths.size()));
                // The day at 58.x dB fails its 55; evening and night pass.
                ASSERT_EQ(t.rows.size(), 3u);
                EXPECT_EQ(t.marked, std::vector<int> { 0 });
            }
            // 24 events (the 70 dB minute of each hour), the loudest 20 listed.
            if (t.title == "The 20 loudest events")
                EXPECT_EQ(t.rows.size(), 20u);
        }
    }
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
