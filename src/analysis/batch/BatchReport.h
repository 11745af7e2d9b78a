#pragma once

#include "Calibration.h"
#include "Exclusions.h"
#include "Weather.h"
#include "NoiseEvents.h"
#include "Assessment.h"
#include "FileStatistics.h"
#include "IntervalLevels.h"
#include "LimitSchedule.h"

#include <QString>
#include <QTimeZone>

class QIODevice;

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// One file of a joined series, as the report names it.
struct JoinedFile
{
    QString name;
    DataFileKind kind = DataFileKind::Headerless;
    std::vector<std::pair<QString, QString>> storedBoards;
    qint64 readings = 0;
    std::optional<int64_t> first; // civil seconds of its first and last reading
    std::optional<int64_t> last;
    // A station's running day, read from its working file.
    bool running = false;
};

// A file of a series that was read only up to a damaged line (`line`), or
// not at all (line 0), and why.
struct FileTrouble
{
    QString file;
    qint64 line = 0;
    QString reason;
};

// The damaged lines a file's read went past (see DataFileContents): how many
// and the first one's line.
struct DamagedLines
{
    QString file;
    qint64 count = 0;
    qint64 firstLine = 0;
};
std::optional<DamagedLines> damagedLinesOf(const QString &name, const DataFileContents &contents);
// "day.vorn: Line 911 is damaged and counts in no figure."
QString damagedLine(const DamagedLines &damaged);

// What the command-line analysis reports of one file, or of a series of
// files joined (then `joined` names them in time order).
struct FileReport
{
    QString name; // as given on the command line, "-" for standard input
    FileStatistics statistics;
    qint64 untimedReadings = 0;
    std::optional<int64_t> intervalLength; // seconds, when intervals were asked for
    std::vector<IntervalLevel> intervals;
    // Interval rows carry the limit in force and their state (--limit).
    // What the limits are ("07-19=55,19-23=50,23-07=45"), when they are set.
    std::optional<QString> limits;
    bool withLimits() const { return limits.has_value(); }
    bool withDayEveningNight = false;
    std::vector<DayEveningNight> days;
    // Clocks went back in the file: its repeated hour has rows of its own.
    bool repeatedHour = false;
    // The first reading falls in an hour that ran twice, and nothing in the
    // file tells which run: it is read as the first.
    bool ambiguousTime = false;
    std::vector<JoinedFile> joined;
    // The zone its stamps were read in, and where that came from
    // ("details", "--zone", "computer"); what was said of it in a join.
    QString timeZone;
    QString timeZoneSource;
    QString timeZoneNote;
    QTimeZone zone;
    // The window of --from and --to (moments, UTC), when one was set.
    std::optional<int64_t> from;
    std::optional<int64_t> to;
    // Civil seconds of the first and last counted reading with a time stamp,
    // and the moments (UTC) of the first and last timed reading, excluded or
    // not: their difference is the elapsed time the readings span.
    std::optional<int64_t> firstReading;
    std::optional<int64_t> lastReading;
    std::optional<int64_t> firstUtc;
    std::optional<int64_t> lastUtc;
    // The measurement's details file and the calibration checks around it,
    // when attachMeasurementContext looked for them.
    std::optional<MeasurementDetails> details;
    QString detailsProblem;
    std::optional<CalibrationVerdict> calibration;
    // --max-check-age, which overrides the details file's max_check_age.
    std::optional<int64_t> maxCheckAgeS;
    // Files whose readings count only up to a damaged line, and files left
    // out because they could not be read at all.
    std::vector<FileTrouble> cut;
    std::vector<FileTrouble> leftOut;
    // The readings end in a station's running day (its working file, read up
    // to its last whole line), which is no day file yet.
    bool running = false;
    // Files with damaged lines the read went past.
    std::vector<DamagedLines> damaged;
    qint64 damagedLineCount() const;
    // What exclusions took out, when an exclusions file applied.
    std::optional<ExclusionTally> exclusions;
    // The weather of the measurement, when a weather file applies, and its
    // rows for the intervals' and days' weather.
    std::optional<WeatherSummary> weather;
    std::shared_ptr<const WeatherData> weatherData;
    // Noise events and number-above counts, when asked for.
    std::optional<EventReport> events;
    // The verdict per period, when period limits were given.
    std::optional<AssessmentReport> assessment;
    // The excluded time in seconds: readings taken out times the interval.
    double excludedSeconds(qint64 readings) const { return double(readings) * statistics.interval; }
};

// Judges each interval (not the gap rows) against the limit in force at its
// start; `limits` says what they are, for the method text and the outputs.
void judgeIntervals(FileReport &report, const QString &limits, const LimitAt &limitAt);

// "1 h 30 min (5400 readings: rain 1 h, maintenance 30 min)", or "nothing".
QString excludedText(const FileReport &report);
// "Excluded: …" and a line per span that touches the readings.
QStringList exclusionLines(const FileReport &report);
// The weather's summary and rules, when a weather file applies, as lines
// and as (label, value) facts.
QStringList weatherLines(const FileReport &report);
std::vector<std::pair<QString, QString>> weatherFacts(const FileReport &report);
// Noise events and number-above counts as text lines, JSON members and the
// one table of --events-csv.
// `listed`: the loudest events listed at most (all when negative).
QStringList eventLines(const FileReport &report, int listed = -1);
// Its lines without their lists: the events' rule and totals, and each
// number-above level's totals.
QStringList eventSummaryLines(const FileReport &report);
QString eventsJsonFields(const FileReport &report);
QString eventsCsv(const std::vector<FileReport> &reports);
// The `listed` loudest events (all when negative), in time order; an event's
// cells (start, end, duration, Lmax, its time, SEL, period, "cut" or empty).
std::vector<NoiseEvent> loudestEvents(const RunsAbove &runs, int listed);
QStringList eventCells(const NoiseEvent &event);
// The counts per 07:00 day as table cells: its date, the events per period,
// then each number-above level's night count; and that table's headers.
QStringList eventDayHeaders(const FileReport &report);
std::vector<QStringList> eventDayCells(const FileReport &report);
// The verdict per period as text lines, a JSON member and the one table of
// --assessment-csv.
QStringList assessmentLines(const FileReport &report);
// Its parts: each period's cells (date, period, Leq, L90, Lmax, coverage %,
// limit, margin, verdict, "yes" when it decides its day), the rule it was
// judged by, and the summary over the series.
std::vector<QStringList> assessmentCells(const FileReport &report);
QString assessmentRule(const FileReport &report);
QString assessmentSummary(const FileReport &report);
QString assessmentJson(const FileReport &report);
QString assessmentCsv(const std::vector<FileReport> &reports);
// The weather of [from, to) (moments) as CSV fields (wind_speed_mean,
// wind_gust_max, rain) or JSON members; empty without weather.
QStringList weatherCsvFields(const FileReport &report, int64_t from, int64_t to);
QString weatherJsonFields(const FileReport &report, int64_t from, int64_t to);

// The lines that say which files were cut or left out, for text and PDF.
QStringList troubleLines(const FileReport &report);
QString cutLine(const FileTrouble &cut);

// "No readings for 02:00:00 (excluded: rain 2 h)": what a gap row of the
// report's intervals says, its exclusions named.
QString gapText(const FileReport &report, const IntervalLevel &gap);

// Looks up the details file beside the data file and the calibration checks
// that bracket its readings ("-", standard input, has only the user's log).
void attachMeasurementContext(FileReport &report, const QString &dataFilePath);

// The method lines of a file's report: its statistics' and the intervals',
// and unless left to pages of their own (the PDF's day table and calibration
// section), the rules of the day levels and of the calibration verdict.
enum class MethodRules { All, FiguresOnly };
QStringList reportMethod(const FileReport &report, MethodRules rules = MethodRules::All);

struct BatchRequest
{
    ResolutionMode mode = ResolutionMode::Tenth;
    std::optional<int64_t> intervalLength;
    bool dayEveningNight = false;
    // Only readings from `from` up to but not including `to` (moments, UTC);
    // a reading without a readable time is then left out.
    std::optional<int64_t> from;
    std::optional<int64_t> to;
    // Calibration checks further than this from the readings do not verify.
    std::optional<int64_t> maxCheckAgeS;
    // Limits by time of day that the intervals are judged against.
    std::optional<LimitSchedule> limits;
    // Spans taken out: their readings count as not measured. The file they
    // came from is named in the outputs.
    std::shared_ptr<const ExclusionSpans> exclusions;
    QString exclusionsSource;
    // The weather beside the readings (its rule-made spans are among the
    // exclusions above).
    std::shared_ptr<const WeatherData> weather;
    // Noise events and number-above counts (--events, --number-above).
    EventRules events;
    // The verdict per period (--period-limits, --min-coverage).
    AssessmentRules assessment;
    // The site's zone the stamps are read in (the caller sets it in force
    // while the files are analysed), named for the outputs.
    QTimeZone zone;
    QString timeZone;
    QString timeZoneSource;
    QString timeZoneNote;
    // The first reading's UTC offset, when the file's details say it: a file
    // that begins in the hour that repeats is read from the run it names.
    std::optional<int> firstOffset;
    bool hasWindow() const { return from || to; }
    bool inWindow(std::optional<int64_t> utc) const
    {
        return utc && (!from || *utc >= *from) && (!to || *utc < *to);
    }
    // The same of a civil time read alone (in the hour that repeats, its
    // first run), in the zone in force.
    bool inWindowCivil(std::optional<int64_t> civil) const;
};

// What the analysis reads of one reading's texts.
struct ReadingValues
{
    std::optional<int64_t> time; // civil seconds, when the stamp reads
    LevelTextClass level;
    std::optional<double> energyLevel; // the level entering Leq and SEL, if any
};
ReadingValues readingValuesOf(QStringView timeText, QStringView levelText);

// Everything the report needs of one file, gathered reading by reading.
class FileAnalysis
{
public:
    // The figures of the whole readings, the interval and day tables, or
    // both: two analyses of one part each, fed the same readings, may run
    // side by side and give what one analysis of both gives.
    enum class Parts { All, Figures, Tables };
    explicit FileAnalysis(const BatchRequest &request, Parts parts = Parts::All);
    void add(QStringView timeText, QStringView levelText);
    // A reading already read: its time stamp, level class and energy level.
    void add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
             const LevelTextClass &level, std::optional<double> energyLevel);
    // A reading kept without its texts (the series window's): `damaged` as
    // isDamagedLevel tells.
    void add(std::optional<int64_t> time, const LevelTextClass &level,
             std::optional<double> energyLevel, bool damaged);
    FileReport finish(const QString &name, const DataFileContents &header) const;

private:
    void add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
             const LevelTextClass &level, std::optional<double> energyLevel, bool damaged);
    // True when an exclusion takes the reading out (then it is tallied).
    bool excluded(int64_t utc, int64_t place, int64_t civil);

    BatchRequest m_request;
    Parts m_parts = Parts::All;
    // What every reading touches first, kept together at the front.
    std::optional<int64_t> m_first;
    std::optional<int64_t> m_last;
    std::optional<int64_t> m_timedFirst; // every timed reading, excluded or not (UTC)
    std::optional<int64_t> m_timedLast;
    std::optional<int64_t> m_firstUtc; // every timed reading's first and last moments
    std::optional<int64_t> m_lastUtc;
    // A copy of its own: the lookup keeps a cursor.
    std::optional<ExclusionSpans> m_exclusions;
    FileStatisticsBuilder m_statistics;
    std::optional<IntervalAccumulator> m_intervals;
    DayEveningNightAccumulator m_days;
    RepeatedHours m_hours;
    std::optional<EventFinder> m_events;
    std::optional<AssessmentAccumulator> m_assessment;
    // The tally's row of the last excluded reading's interval and of its
    // day: readings come in order, so each row is looked up once. A copy
    // looks it up anew (the pointer is into the other's map).
    struct TallyCursor
    {
        TallyCursor() = default;
        TallyCursor(const TallyCursor &) { }
        TallyCursor &operator=(const TallyCursor &)
        {
            m_counts = nullptr;
            return *this;
        }
        ReasonCounts &at(std::map<int64_t, ReasonCounts> &table, int64_t key)
        {
            if (!m_counts || key != m_key) {
                m_counts = &table[key];
                m_key = key;
            }
            return *m_counts;
        }

    private:
        ReasonCounts *m_counts = nullptr;
        int64_t m_key = 0;
    };
    TallyCursor m_intervalTally;
    TallyCursor m_dayTally;
    qint64 m_untimed = 0;
    ExclusionTally m_tally;
};

FileReport analyseFile(const QString &name, const DataFileContents &file,
                       const BatchRequest &request);

// Reads the file in one pass and analyses it without keeping its readings.
// The contents returned hold the header and the reader's outcome (problem,
// isEmpty()); the report is meaningful only when the read went well.
std::pair<FileReport, DataFileContents> analyseStream(const QString &name, QIODevice &device,
                                                      const BatchRequest &request);

// The text of field bytes in a buffer reused row after row, so a pass over a
// file allocates nothing per reading.
QStringView fieldTextOf(QByteArrayView bytes, QString &buffer);

enum class OutputFormat { Text, Csv, Json };

// One row of the interval table in CSV, as `--intervals --csv` writes it
// (times ISO 8601 with their UTC offset, figures with two decimals).
QString intervalCsvHeader();
// ",limit,state" after the header; the limit and "over", "ok" or nothing
// after a row's fields, as the station writes them.
QString limitCsvHeader();
QStringList limitCsvFields(const IntervalLevel &interval);
// The keys and values of one interval row in --json, without the braces.
QString intervalJsonFields(const IntervalLevel &interval);
QStringList intervalCsvFields(const QString &file, const IntervalLevel &interval);
// The text as a JSON string, quotes and escapes included.
QString jsonString(const QString &text);
// Fields joined by commas, each quoted where it needs it.
QString csvRow(const QStringList &fields);
// The fields of one line as csvRow writes them: a quoted field keeps its
// commas, and a doubled quote inside it is one quote.
QStringList csvLineFields(QStringView line);

// The whole output for the files, in the chosen format. CSV holds one table
// with one header row: intervals when asked for, else day-evening-night
// levels when asked for, else one summary row per file.
QString formatReports(const std::vector<FileReport> &reports, OutputFormat format);
