#pragma once

#include "ReportProgress.h"
#include "TimeHistory.h"

#include "analysis/ListDistribution.h"
#include "analysis/records/Exclusions.h"
#include "analysis/engine/LimitSchedule.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct DataFileContents;
struct FileFigures;

// What the person asking for the report chooses.
struct ReportOptions
{
    QString company;
    QString sector;
    QString name;
    ResolutionMode mode = ResolutionMode::Tenth; // of the L(0) … L(99) table
    // Interval length in seconds; unset: 15 min, or 1 h for files over a day.
    std::optional<int64_t> intervalLength;
    // Calibration checks further than this from the readings do not verify.
    std::optional<int64_t> maxCheckAgeS;
    // Limits the intervals are judged against (what they are, the limit at
    // an interval's start, and their step line between two times), drawn in
    // the time history.
    QString limitsText;
    LimitAt limitAt;
    std::function<std::vector<std::pair<double, double>>(int64_t from, int64_t to)> limitSteps;
    void setLimits(const LimitSchedule &schedule);
    // Spans taken out of the figures, and the file they came from.
    std::shared_ptr<const ExclusionSpans> exclusions;
    QString exclusionsSource;
    QString reportDate; // shown on every page
    QString programVersion; // "VORN 8.02"
};

struct ReportField
{
    QString label;
    QString value;
    QString detail; // the time of a maximum, a share, a source
};

// One bar of the 1 dB distribution: the class from `level` to level + 1.
struct DistributionBar
{
    int level = 0;
    double percent = 0.0; // of the counted readings
    double cumulative = 0.0; // percent at or below the top of the class
};

struct PercentileMark
{
    QString label; // "L5"
    double level = 0.0;
    QString text; // as in the table
};

// A titled block of the assessment: fields, then a table (either may be
// empty). Rows listed in `marked` are drawn as failing.
struct ReportTable
{
    ReportTable() = default;
    explicit ReportTable(QString title, QString subtitle = {}, std::vector<ReportField> fields = {})
        : title(std::move(title))
        , subtitle(std::move(subtitle))
        , fields(std::move(fields))
    {
    }

    QString title;
    QString subtitle;
    std::vector<ReportField> fields;
    QStringList headers;
    std::vector<double> widths; // mm, one per header
    int leftColumns = 1; // aligned left; the rest are figures, aligned right
    std::vector<QStringList> rows;
    std::vector<int> marked;
};

// Everything one file contributes to the report, as the texts that are printed.
struct ReportSection
{
    QString title; // the file name without folder, on every page of the section
    QString path;
    std::vector<ReportField> facts;
    bool headerless = false;
    std::vector<ReportField> storedBoards;
    // Shown instead of the stored header (a joined series has none of its own).
    QString storedNote;
    std::vector<ReportField> figures;
    // The measurement's details and its calibration checks; the alert is
    // set when the checks do not show the meter within tolerance.
    std::vector<ReportField> details;
    std::vector<ReportField> calibration;
    QString calibrationAlert;
    QStringList method;
    QStringList notes;

    TimeHistory history;

    std::vector<DistributionBar> bars;
    std::vector<PercentileMark> percentileMarks;
    QString distributionNote;
    qint64 countedSamples = 0;
    QString lnResolution; // "0.1 dB" or "1 dB"
    QStringList lnTexts; // 100 texts, L(0) first; empty when nothing was counted

    int64_t intervalLength = 0;
    // With limits: the step line of the limit in force and the intervals
    // above it (civil seconds), and two more columns in the interval rows.
    bool withLimits = false;
    std::vector<std::pair<double, double>> limitSteps; // (time, limit or NaN)
    std::vector<std::pair<double, double>> overSpans; // (start, end)
    // Start, end, Leq, Lmax, L10, L90, coverage (then limit and state).
    std::vector<QStringList> intervalRows;
    // Day from, coverage (day/evening/night), Ld, Le, Lnight, Lden.
    std::vector<QStringList> dayRows;
    QString daysNote;

    // With exclusions: the spans shaded in the time history (civil seconds),
    // a row per exclusion (start, end, duration, reason, note) and per day
    // (day from, excluded time, reasons), on a page of their own.
    bool withExclusions = false;
    QString excludedText;
    std::vector<std::pair<double, double>> excludedSpans;
    std::vector<QStringList> exclusionRows;
    std::vector<QStringList> excludedDayRows;

    // The weather on the first page, and the assessment an acoustician signs
    // (measurement, calibration, weather, excluded time, verdict per period,
    // events) on pages of its own after it; empty without weather, events or
    // period limits.
    std::vector<ReportField> weather;
    std::vector<ReportTable> assessment;
    // The weather's rows on the time history's axis (places), drawn as wind
    // and rain under each strip; a value not known is NaN.
    struct WeatherSpan
    {
        double from = 0.0;
        double to = 0.0;
        double wind = 0.0;
        double gust = 0.0;
        double rain = 0.0;
    };
    std::vector<WeatherSpan> weatherSpans;
};

enum class PageKind { Summary, History, Distribution, Intervals, Exclusions, Notes, Assessment };

// One printed page: what it shows of which section. History pages show
// strips [first, first + count); interval pages rows [first, first + count)
// and, when dayCount > 0, day rows [dayFirst, dayFirst + dayCount) under them
// (one row for the note when there are none). Exclusion pages show the same
// of the exclusion rows and the excluded time per day. A notes page holds
// the method and notes blocks [first, first + count) the first page had no
// room for (the PDF painter lays them out); an assessment page its blocks
// [first, first + count), laid out the same way.
struct ReportPage
{
    int section = 0;
    PageKind kind = PageKind::Summary;
    int first = 0;
    int count = 0;
    int dayCount = 0;
    int dayFirst = 0;
};

namespace ReportLayout {
// The width of the page's text and tables, in mm (A4 less its margins); the
// widths of a table's columns add up to it.
constexpr double TableWidthMm = 174.0;
constexpr int HistoryStripsPerPage = 4;
constexpr int HistoryColumns = 1000;
constexpr int TableRowsPerPage = 44;
// The day table's title, header and spacing take this many rows.
constexpr int DayTableOverhead = 4;
// The page's geometry that the tables' rows per page follow from, in mm: the
// PDF painter draws with these.
constexpr double ContentTopMm = 27.0;
constexpr double ContentBottomMm = 278.0;
constexpr double TableRowMm = 5.0;
// A heading with a subtitle of up to two lines, and the space after a table.
constexpr double HeadingMm = 16.0;
constexpr double TableGapMm = 8.0;
// A page of one table: its heading, header row and rows.
static_assert(ContentTopMm + HeadingMm + (TableRowsPerPage + 1) * TableRowMm <= ContentBottomMm,
              "a full table page fits between the page's top and bottom");
// A page of two tables (intervals, then the first days): both headings and
// header rows, the gap between, and the rows they share.
static_assert(ContentTopMm + 2 * (HeadingMm + TableRowMm) + TableGapMm
                      + (TableRowsPerPage - DayTableOverhead) * TableRowMm
                  <= ContentBottomMm,
              "two tables share a page within its bottom");
static_assert(DayTableOverhead * TableRowMm >= HeadingMm + TableGapMm - TableRowMm,
              "the day table's overhead in rows holds its heading and the gap");
} // namespace ReportLayout

struct Report
{
    ReportOptions options;
    std::vector<ReportSection> sections;
    std::vector<ReportPage> pages;
};

// One file's section; nullopt when cancelled. `name` is the path shown;
// the details file and calibration checks are looked up beside
// `dataFilePath` (by default the name).
std::optional<ReportSection> buildReportSection(const QString &name, const DataFileContents &file,
                                                const ReportOptions &options,
                                                const ReportProgress &progress = {},
                                                const QString &dataFilePath = {});

struct FileFigures;
struct AnalysisRequest;
// The readings of `from` that the request's window lets through, after those
// of `into`.
void appendWindowed(DataFileContents &into, const DataFileContents &from,
                    const AnalysisRequest &request);
// The section of a joined series, as `vorn-stats --join --pdf` makes it: the
// joined files read again for their readings (within the request's window).
std::optional<ReportSection> buildSeriesSection(const FileFigures &series,
                                                const AnalysisRequest &request,
                                                const ReportOptions &options,
                                                const ReportProgress &progress = {});

// The report's lines for the details and the checks of an analysed file.
void addMeasurementContext(ReportSection &section, const FileFigures &analysed);
// The weather block and the assessment of an analysed file or series (with
// its weather, events or period limits), worded as vorn-stats words them.
void addAssessment(ReportSection &section, const FileFigures &analysed);

std::vector<ReportPage> paginate(const std::vector<ReportSection> &sections);

struct ReportFile
{
    QString name; // as shown: the path given, or a caption
    const DataFileContents *contents = nullptr;
};

// The sections of all files and their pages; nullopt when cancelled.
// Progress runs over 0 … 1, shared out by the files' lengths.
std::optional<Report> buildReport(const std::vector<ReportFile> &files,
                                  const ReportOptions &options,
                                  const ReportProgress &progress = {});

// A level in the program's one-decimal form (truncated); "—" for a value
// that is missing or not finite, so no report ever prints inf or nan.
QString levelText(const std::optional<double> &value);


// "Report date: 2013/03/04 08:00", for ReportOptions::reportDate.
QString reportDateText(const QDateTime &when);

// "VORN 8.02".
QString programVersionText();

// "Page 3 of 9".
QString pageNumberText(int page, int pages);
