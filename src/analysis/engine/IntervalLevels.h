#pragma once

#include "analysis/LevelText.h"
#include "analysis/ListDistribution.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Levels per clock-aligned interval, and the day-evening-night levels.
struct IntervalLevel
{
    int64_t start = 0; // civil seconds
    int64_t end = 0;
    int startOffset = 0; // UTC offsets in force (seconds east), which tell the
    int endOffset = 0; // two runs of an hour that repeats apart
    int64_t startUtc() const { return start - startOffset; } // the moments
    int64_t endUtc() const { return end - endOffset; }
    int64_t elapsed() const { return endUtc() - startUtc(); }
    // An empty stretch: no interval from start to end holds a reading.
    bool gap = false;
    qint64 readings = 0; // readings with a time stamp in the interval
    qint64 energyReadings = 0; // readings that enter Leq and Lmax
    double coverage = 0.0; // share of the interval the counted readings cover, 0 … 1
    std::optional<double> leq;
    std::optional<double> lmax;
    std::optional<double> lmin;
    // L10, L50 and L90 of the interval's classes (tenths or whole dB, as
    // the analysis counts).
    std::optional<double> l10;
    std::optional<double> l50;
    std::optional<double> l90;
    // The limit in force at the interval's start, when limits were given.
    std::optional<double> limit;
    bool over() const { return limit && leq && *leq > *limit; }
    // "over", "ok", or nothing without a limit.
    QString stateText() const;
};

// The day of the day-evening-night levels starts at 07:00 (civil seconds
// into the date).
constexpr int64_t DayStart = 7 * 3600;

// Day (07-19), evening (19-23) and night (23-07) levels of one 24-hour
// period starting at 07:00, and Lden with +5 dB evening and +10 dB night.
struct DayEveningNight
{
    int64_t start = 0; // 07:00 of the day, civil seconds
    // An empty stretch: no day from start to end holds a reading.
    bool gap = false;
    int64_t end = 0;
    double coverageDay = 0.0;
    double coverageEvening = 0.0;
    double coverageNight = 0.0;
    // A period is covered less than PartialBelow of its real length that day
    // (the night is 7 h on the spring clock-change day, 9 h in autumn).
    bool partial = false;
    static constexpr double PartialBelow = 0.90;
    // Elapsed seconds from start to end (23 h or 25 h across a clock change).
    int64_t elapsed() const;
    std::optional<double> ld;
    std::optional<double> le;
    std::optional<double> ln;
    std::optional<double> lden;
};

double energyOfLevel(double level); // energyOf, declared here for EnergySum

// The energy figures of a set of readings, summed as they come.
struct EnergySum
{
    double energy = 0.0;
    qint64 count = 0; // readings that entered the energy
    qint64 readings = 0; // every reading added
    std::optional<double> max;
    std::optional<double> min;

    // level: what the reading adds to the energy, if anything.
    void add(std::optional<double> level)
    {
        ++readings;
        if (level) {
            energy += energyOfLevel(*level);
            ++count;
            max = max ? std::max(*max, *level) : *level;
            min = min ? std::min(*min, *level) : *level;
        }
    }
    std::optional<double> level() const;
};

// The hour that repeats when clocks go back. Data-file stamps are local and
// carry no offset, so a step back of one hour (give or take the sampling)
// between two stamps of an hour that runs twice in this machine's zone is
// that change, not a broken clock. Readings from there on get a place one
// hour later on a timeline that runs on, so the two runs of the hour fall
// into intervals of their own.
class RepeatedHours
{
public:
    // The reading's place on the timeline, from readings in file order.
    int64_t place(int64_t civil);
    // Back from a place: the civil time and its UTC offset.
    int64_t civilOf(int64_t place) const;
    int offsetOf(int64_t place) const;
    // The place is in the second run of an hour that repeats.
    bool secondRun(int64_t place) const;
    // The place of a civil time; in an hour that ran twice, its first run.
    int64_t placeOfCivil(int64_t civil) const;
    // The civil time falls in an hour that ran twice.
    bool ranTwice(int64_t civil) const;
    bool any() const { return !m_folds.empty(); }
    // Before the first reading, at `civil`: an offset known for it (a file's
    // details say it, where order cannot) that names the second run of the
    // hour that repeats begins the readings there.
    void begin(int64_t civil, std::optional<int> offset);

private:
    struct Fold
    {
        int64_t from; // place where the second run starts
        int64_t shift; // what places from there on are ahead of civil time
    };
    const Fold *foldOf(int64_t place) const;
    std::optional<int64_t> m_previous;
    int64_t m_shift = 0;
    std::vector<Fold> m_folds;
};

// The map entry the last reading went to, by its key: readings come in time
// order, so most go where the one before went. A copy starts empty, since
// the node belongs to the map it was taken from.
template<typename T> struct LastNode
{
    T *node = nullptr;
    int64_t key = 0;
    LastNode() = default;
    LastNode(const LastNode &) { }
    LastNode &operator=(const LastNode &)
    {
        node = nullptr;
        return *this;
    }
    template<typename Map> T &in(Map &map, int64_t wanted)
    {
        if (!node || key != wanted) {
            node = &map[wanted];
            key = wanted;
        }
        return *node;
    }
};

// Levels per clock-aligned interval, gathered in one pass over readings in
// any order: memory grows with the number of intervals, not of readings.
class IntervalAccumulator
{
public:
    IntervalAccumulator(int64_t length, ResolutionMode mode);
    // place: the reading's place on the timeline (civil seconds, unless an
    // hour repeated).
    void add(int64_t place, const LevelTextClass &level, std::optional<double> energyLevel);
    // Every interval holding a reading, in order, and one gap row for each
    // empty stretch between them.
    std::vector<IntervalLevel> result(double sampleInterval, const RepeatedHours &hours = {}) const;
    // A repeated hour can be told apart only by lengths that divide an hour.
    bool splitsRepeatedHours() const { return m_length <= 3600 && 3600 % m_length == 0; }
    // The interval a place falls in, and the moment it starts, as result()
    // names it.
    int64_t keyOf(int64_t place) const;
    static int64_t utcOfKey(int64_t key, const RepeatedHours &hours);

private:
    struct Interval
    {
        EnergySum sum;
        qint64 marked = 0;
        std::vector<qint64> counts; // classes of the chosen width
    };
    int64_t m_length;
    ResolutionMode m_mode;
    std::map<int64_t, Interval> m_intervals;
    // The interval the last reading went to (map nodes stay where they are).
    LastNode<Interval> m_last;
};

// Day, evening and night sums of every 07:00-to-07:00 period, in one pass.
class DayEveningNightAccumulator
{
public:
    void add(int64_t time, std::optional<double> energyLevel);
    // Every period that the readings span from its start to its end and that
    // holds a reading, and one gap row for each empty stretch between; a
    // reading stands for the sample interval that follows its time stamp.
    std::vector<DayEveningNight> result(double sampleInterval) const;

private:
    struct Periods
    {
        EnergySum day, evening, night;
    };
    std::map<int64_t, Periods> m_days; // by 07:00 of the day
    LastNode<Periods> m_lastDay;
    std::optional<int64_t> m_first;
    std::optional<int64_t> m_last;
};

// The median step between consecutive readable time stamps, from a count
// of each step length.
class StepMedian
{
public:
    void add(int64_t time);
    std::optional<double> median() const;

private:
    std::map<int64_t, qint64> m_steps;
    LastNode<qint64> m_lastCount;
    qint64 m_count = 0;
    std::optional<int64_t> m_previous;
};

// "No readings for 3 d 04:00:00": what a gap row says of its stretch.
QString emptyStretchText(int64_t seconds);

// Lden from the three period levels: 10·log10((12·10^(Ld/10) + 4·10^((Le+5)/10)
// + 8·10^((Ln+10)/10)) / 24).
double ldenOf(double ld, double le, double ln);

// "15min", "1h", "90s", "900" (seconds) -> seconds, up to a week; nullopt
// for anything else.
std::optional<int64_t> parseIntervalLength(const QString &text);
