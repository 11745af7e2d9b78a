#pragma once

#include "analysis/engine/Assessment.h"
#include "analysis/engine/FileStatistics.h"
#include "analysis/engine/IntervalLevels.h"
#include "analysis/engine/NoiseEvents.h"
#include "analysis/records/Calibration.h"
#include "analysis/records/Exclusions.h"
#include "analysis/records/Weather.h"

#include <QString>
#include <QTimeZone>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// One file of a joined series, as the outputs name it.
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

// The figures of one file, or of a series of files joined (then `joined`
// names them in time order): numbers, and the names and problems they go
// with; the outputs word them.
struct FileFigures
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
