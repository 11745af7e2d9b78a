#pragma once

#include "analysis/engine/LimitSchedule.h"
#include "analysis/engine/NoiseEvents.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// The verdict per period a compliance report tabulates: for each day (from
// 07:00) its day, evening and night with their Leq, background L90, Lmax,
// coverage, limit, margin and verdict, and the period that decides the day.
struct PeriodLimits
{
    std::optional<double> day, evening, night;
    // Or by time of day (the monitor's --limit): a period takes the limit
    // in force at its start.
    std::optional<LimitSchedule> schedule;
    QString text;

    // "day=55,evening=50,night=45", or the --limit syntax; nothing with `why`.
    static std::optional<PeriodLimits> parse(const QString &text, QString *why);
    std::optional<double> limitFor(Period period, int64_t startCivil) const;
};

struct AssessmentRules
{
    std::optional<PeriodLimits> limits;
    double minCoverage = 0.75;
};

struct PeriodVerdict
{
    int64_t day = 0; // its 07:00 day (civil)
    Period period = Period::Day;
    int64_t start = 0; // civil
    int64_t end = 0;
    qint64 readings = 0;
    double coverage = 0.0;
    std::optional<double> leq, l90, lmax, limit, margin;
    enum class Verdict { Pass, Fail, NotEnoughData } verdict = Verdict::NotEnoughData;
    bool deciding = false; // the smallest margin of its day
    QString verdictText() const;
};

struct AssessmentReport
{
    QString limits;
    double minCoverage = 0.75;
    std::vector<PeriodVerdict> periods;
    int failed = 0;
    int judged = 0; // pass or fail
    std::optional<PeriodVerdict> worst; // the smallest margin
};

// Fed every reading that enters the figures, in any order.
class AssessmentAccumulator
{
public:
    AssessmentAccumulator() = default;
    // A copy looks its cell up anew: the pointer is into the other's map.
    AssessmentAccumulator(const AssessmentAccumulator &other)
        : m_cells(other.m_cells)
    {
    }
    AssessmentAccumulator &operator=(const AssessmentAccumulator &other)
    {
        m_cells = other.m_cells;
        m_cell = nullptr;
        return *this;
    }
    AssessmentAccumulator(AssessmentAccumulator &&) = default;
    AssessmentAccumulator &operator=(AssessmentAccumulator &&) = default;

    void add(int64_t civil, std::optional<double> energyLevel);
    AssessmentReport finish(const AssessmentRules &rules, double sampleInterval) const;

private:
    struct Cell
    {
        double energy = 0.0;
        qint64 count = 0;
        std::optional<double> lmax;
        std::vector<qint64> tenths; // the 0.1 dB classes, for L90
    };
    std::map<std::pair<int64_t, int>, Cell> m_cells; // by day and period
    // The cell of the last reading and its span (civil); map nodes stay put.
    Cell *m_cell = nullptr;
    int64_t m_cellFrom = 0;
    int64_t m_cellTo = 0;
};
