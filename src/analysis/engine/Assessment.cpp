#include "analysis/engine/Assessment.h"
#include "recording/Energy.h"

#include "analysis/ListDistribution.h"
#include "analysis/engine/FileStatistics.h"
#include "analysis/records/CivilTime.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// Each period's place in its 07:00 day: its start and end after 07:00.
std::pair<int64_t, int64_t> periodSpan(Period period)
{
    switch (period) {
    case Period::Day:
        return { 0, 12 * CivilTime::SecondsPerHour };
    case Period::Evening:
        return { 12 * CivilTime::SecondsPerHour, 16 * CivilTime::SecondsPerHour };
    case Period::Night:
        break;
    }
    return { 16 * CivilTime::SecondsPerHour, 24 * CivilTime::SecondsPerHour };
}

} // namespace

std::optional<PeriodLimits> PeriodLimits::parse(const QString &text, QString *why)
{
    PeriodLimits limits;
    limits.text = text.trimmed();
    if (text.contains(QLatin1String("day")) || text.contains(QLatin1String("evening"))
        || text.contains(QLatin1String("night"))) {
        for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString name = item.section(QLatin1Char('='), 0, 0).trimmed();
            bool ok = false;
            const double value
                = QLocale::c().toDouble(item.section(QLatin1Char('='), 1).trimmed(), &ok);
            std::optional<double> *target = name == QLatin1String("day") ? &limits.day
                : name == QLatin1String("evening")                       ? &limits.evening
                : name == QLatin1String("night")                         ? &limits.night
                                                                         : nullptr;
            if (!target || !ok || value <= 0.0 || value > 140.0) {
                if (why)
                    *why = QStringLiteral("\"%1\" is no period limit: give day=DB, evening=DB, "
                                          "night=DB, or limits by time of day such as "
                                          "07-19=55,19-23=50,23-07=45")
                               .arg(item.trimmed());
                return std::nullopt;
            }
            *target = value;
        }
        return limits;
    }
    QString reason;
    limits.schedule = LimitSchedule::read(text, reason);
    if (!limits.schedule) {
        if (why)
            *why = reason;
        return std::nullopt;
    }
    return limits;
}

std::optional<double> PeriodLimits::limitFor(Period period, int64_t startCivil) const
{
    if (schedule)
        return schedule->limitAtCivil(startCivil);
    return period == Period::Day ? day : period == Period::Evening ? evening : night;
}

QString PeriodVerdict::verdictText() const
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::Fail:
        return QStringLiteral("fail");
    case Verdict::NotEnoughData:
        break;
    }
    return QStringLiteral("not enough data");
}

void AssessmentAccumulator::add(int64_t civil, std::optional<double> energyLevel)
{
    // Readings come in order: the cell of the last one is looked up once.
    if (!m_cell || civil < m_cellFrom || civil >= m_cellTo) {
        const int64_t day
            = CivilTime::alignDown(civil - DayStart, CivilTime::SecondsPerDay) + DayStart;
        const Period period = periodOf(civil);
        const auto [from, to] = periodSpan(period);
        m_cell = &m_cells[{ day, int(period) }];
        m_cellFrom = day + from;
        m_cellTo = day + to;
    }
    Cell &cell = *m_cell;
    if (!energyLevel)
        return;
    cell.energy += energyOf(*energyLevel);
    ++cell.count;
    cell.lmax = std::max(cell.lmax.value_or(*energyLevel), *energyLevel);
    if (cell.tenths.empty())
        cell.tenths.assign(ListDistribution::TenthClassCount, 0);
    ++cell.tenths[size_t(std::clamp<long>(std::lround(*energyLevel * 10.0), 0,
                                          ListDistribution::TenthClassCount - 1))];
}

AssessmentReport AssessmentAccumulator::finish(const AssessmentRules &rules,
                                               double sampleInterval) const
{
    AssessmentReport report;
    report.minCoverage = rules.minCoverage;
    if (rules.limits)
        report.limits = rules.limits->text;
    std::map<int64_t, std::vector<size_t>> byDay;
    for (const auto &[key, cell] : m_cells) {
        const auto [day, periodIndex] = key;
        PeriodVerdict row;
        row.day = day;
        row.period = Period(periodIndex);
        const auto [from, to] = periodSpan(row.period);
        row.start = day + from;
        row.end = day + to;
        row.readings = cell.count;
        const int64_t length = CivilTime::utcOf(row.end) - CivilTime::utcOf(row.start);
        row.coverage = length > 0
            ? std::min(1.0, double(cell.count) * sampleInterval / double(length))
            : 0.0;
        if (cell.count > 0) {
            row.leq = Energy::leq(cell.energy, double(cell.count));
            row.lmax = cell.lmax;
            row.l90 = lnLevelOf(cell.tenths, cell.count, 90, ResolutionMode::Tenth);
        }
        if (rules.limits)
            row.limit = rules.limits->limitFor(row.period, row.start);
        if (row.limit && row.leq)
            row.margin = *row.limit - *row.leq;
        if (row.coverage < rules.minCoverage || !row.leq || !row.limit) {
            row.verdict = PeriodVerdict::Verdict::NotEnoughData;
        } else {
            row.verdict = *row.leq > *row.limit ? PeriodVerdict::Verdict::Fail
                                                : PeriodVerdict::Verdict::Pass;
            ++report.judged;
            if (row.verdict == PeriodVerdict::Verdict::Fail)
                ++report.failed;
            byDay[day].push_back(report.periods.size());
        }
        report.periods.push_back(row);
    }
    // The period that decides its day: the smallest margin of those judged.
    for (const auto &[day, rows] : byDay) {
        const size_t deciding
            = *std::min_element(rows.begin(), rows.end(), [&](size_t a, size_t b) {
                  return *report.periods[a].margin < *report.periods[b].margin;
              });
        report.periods[deciding].deciding = true;
        if (!report.worst || *report.periods[deciding].margin < *report.worst->margin)
            report.worst = report.periods[deciding];
    }
    return report;
}
