#pragma once

#include "analysis/engine/FileFigures.h"
#include "analysis/engine/LimitSchedule.h"

class QIODevice;

// Judges each interval (not the gap rows) against the limit in force at its
// start; `limits` says what they are, for the method text and the outputs.
void judgeIntervals(FileFigures &figures, const QString &limits, const LimitAt &limitAt);

// Looks up the details file beside the data file and the calibration checks
// that bracket its readings ("-", standard input, has only the user's log).
void attachMeasurementContext(FileFigures &figures, const QString &dataFilePath);

struct AnalysisRequest
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

// The figures of one file, gathered reading by reading.
class FileAnalysis
{
public:
    // The figures of the whole readings, the interval and day tables, or
    // both: two analyses of one part each, fed the same readings, may run
    // side by side and give what one analysis of both gives.
    enum class Parts { All, Figures, Tables };
    explicit FileAnalysis(const AnalysisRequest &request, Parts parts = Parts::All);
    void add(QStringView timeText, QStringView levelText);
    // A reading already read: its time stamp, level class and energy level.
    void add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
             const LevelTextClass &level, std::optional<double> energyLevel);
    // A reading kept without its texts (the series window's): `damaged` as
    // isDamagedLevel tells.
    void add(std::optional<int64_t> time, const LevelTextClass &level,
             std::optional<double> energyLevel, bool damaged);
    FileFigures finish(const QString &name, const DataFileContents &header) const;

private:
    void add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
             const LevelTextClass &level, std::optional<double> energyLevel, bool damaged);
    // True when an exclusion takes the reading out (then it is tallied).
    bool excluded(int64_t utc, int64_t place, int64_t civil);

    AnalysisRequest m_request;
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

FileFigures analyseFile(const QString &name, const DataFileContents &file,
                        const AnalysisRequest &request);

// Reads the file in one pass and analyses it without keeping its readings.
// The contents returned hold the header and the reader's outcome (problem,
// isEmpty()); the figures are meaningful only when the read went well.
std::pair<FileFigures, DataFileContents> analyseStream(const QString &name, QIODevice &device,
                                                       const AnalysisRequest &request);

// The text of field bytes in a buffer reused row after row, so a pass over a
// file allocates nothing per reading.
QStringView fieldTextOf(QByteArrayView bytes, QString &buffer);
