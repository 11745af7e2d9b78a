#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Spans of time taken out of an assessment (rain, wind, a passing lorry,
// work at the station). Their readings count as not measured.
enum class ExclusionReason { Rain, Wind, ExtraneousSound, Maintenance, Other };
constexpr int ExclusionReasonCount = 5;

// "rain", "wind", "extraneous sound", "maintenance", "other": as the file
// holds them.
QString exclusionReasonText(ExclusionReason reason);
std::optional<ExclusionReason> exclusionReasonOf(const QString &text);
QStringList exclusionReasonTexts();

struct Exclusion
{
    // Moments (seconds since the epoch, UTC): a row with an offset names one
    // run of the hour that repeats; the end is not included.
    int64_t start = 0;
    int64_t end = 0;
    ExclusionReason reason = ExclusionReason::Other;
    QString note;
    // When the row was made, as written ("2026-04-03T10:12:00+02:00").
    QString made;
    // The times as written, kept so a row saved again reads the same.
    QString startText;
    QString endText;
    // Made by a weather rule, not written in the exclusions file.
    bool byRule = false;

    // Elapsed seconds.
    int64_t duration() const { return end - start; }
    bool operator==(const Exclusion &other) const = default;
};

// A row of moments, written with the site's offsets in force then.
Exclusion makeExclusion(int64_t start, int64_t end, ExclusionReason reason, const QString &note,
                        const QString &made);

// What an exclusions file holds: its good rows in file order, and what is
// wrong with it (then `line` names the first bad line, `badLines` counts
// them; the bad rows are left out).
struct ExclusionsFile
{
    std::vector<Exclusion> rows;
    QString problem;
    qint64 line = 0;
    qint64 badLines = 0;
    bool ok() const { return problem.isEmpty(); }
};

// The station whose day file this is ("fence 2026-04-01.vorn" -> "fence"),
// or nothing.
QString dayFileStation(const QString &fileName);

namespace ExclusionsCsv {

inline constexpr char Header[] = "start,end,reason,note,made";

// The file beside the files: "STATION exclusions.csv" for a station's day
// files, "exclusions.csv" otherwise.
QString pathFor(const QString &folder, const QString &station);
// The file that applies to a data file: its folder's, the station's for a
// station's day file.
QString pathForDataFile(const QString &dataFile);
// The file's text read; `name` is used in messages.
ExclusionsFile parse(const QByteArray &text, const QString &name);
// A missing file is an empty list.
ExclusionsFile read(const QString &path);
QByteArray text(const std::vector<Exclusion> &rows);
// Written under a temporary name and renamed; false with `why`.
bool write(const QString &path, const std::vector<Exclusion> &rows, QString &why);

// A window's rows brought together with what the file holds now, which
// another window, an editor or a copy from the field may have changed since
// the window read it (`base`): rows others added are kept; a row this window
// removed or edited goes only where the file still holds it unchanged, else
// both versions stay (`kept` counts them). Nothing another writer saved is
// dropped.
struct Merge
{
    std::vector<Exclusion> rows;
    int taken = 0; // rows others wrote that the window lacked
    int kept = 0;
};
Merge merge(const std::vector<Exclusion> &base, const std::vector<Exclusion> &mine,
            const std::vector<Exclusion> &onDisk);
// The file read, merged and written in one go; false with `why` (a file
// that turned damaged meanwhile is not overwritten).
bool mergeAndWrite(const QString &path, const std::vector<Exclusion> &base,
                   const std::vector<Exclusion> &mine, Merge &merged, QString &why);

} // namespace ExclusionsCsv

// The rows as disjoint segments, for looking up reading after reading: where
// spans overlap, time counts once and for the row that starts first.
class ExclusionSpans
{
public:
    ExclusionSpans() = default;
    explicit ExclusionSpans(std::vector<Exclusion> rows);
    bool isEmpty() const { return m_segments.empty(); }
    const std::vector<Exclusion> &rows() const { return m_rows; }
    // The row that takes this time out, or -1. Fastest for times in order.
    int rowAt(int64_t civil) const;
    // Seconds of [from, to) that some row takes out.
    int64_t coveredBetween(int64_t from, int64_t to) const;
    // The rows that touch [from, to), in time order.
    std::vector<Exclusion> rowsBetween(int64_t from, int64_t to) const;

    struct Segment
    {
        int64_t start;
        int64_t end;
        int row;
    };
    const std::vector<Segment> &segments() const { return m_segments; }

private:
    std::vector<Exclusion> m_rows;
    std::vector<Segment> m_segments;
    mutable size_t m_cursor = 0;
};

// Readings taken out, by reason.
using ReasonCounts = std::array<qint64, ExclusionReasonCount>;

// What exclusions took out of a report: which file, the rows that touch the
// readings, and the readings taken out in all, by interval and by day.
struct ExclusionTally
{
    QString source; // the file the rows came from
    std::vector<Exclusion> listed;
    qint64 readings = 0;
    ReasonCounts byReason {};
    ReasonCounts byRule {}; // the part of byReason weather rules took out
    std::map<int64_t, ReasonCounts> byInterval; // by interval start, civil
    std::map<int64_t, ReasonCounts> byDay; // by 07:00 of the day, civil

    // The readings of [from, to) taken out, by reason, from a table above.
    static ReasonCounts within(const std::map<int64_t, ReasonCounts> &table, int64_t from,
                               int64_t to);
};

qint64 totalOf(const ReasonCounts &counts);
// "rain 1 h 30 min, wind 10 min" of readings each standing for `interval` s.
QString reasonsText(const ReasonCounts &counts, double interval);
