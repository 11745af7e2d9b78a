#include "analysis/output/Outputs.h"

#include "analysis/Wording.h"
#include "analysis/output/OutputRules.h"
#include "analysis/records/CivilTime.h"
#include "recording/FormatTenths.h"

namespace OutputRules {

namespace {

QString reasonSeconds(const ReasonCounts &counts, double interval)
{
    QStringList parts;
    for (int r = 0; r < ExclusionReasonCount; ++r)
        if (counts[size_t(r)] > 0)
            parts << QStringLiteral("%1=%2").arg(
                exclusionReasonText(ExclusionReason(r)),
                QString::number(double(counts[size_t(r)]) * interval));
    return parts.join(QLatin1Char(';'));
}

QStringList exclusionCsvFields(const FileFigures &report, const ReasonCounts &counts)
{
    const double interval = report.statistics.interval;
    return { QString::number(double(totalOf(counts)) * interval), reasonSeconds(counts, interval) };
}

} // namespace

QString formatCsv(const std::vector<FileFigures> &reports)
{
    QStringList out;
    const bool intervals = !reports.empty() && reports.front().intervalLength.has_value();
    const bool days = !reports.empty() && reports.front().withDayEveningNight;
    // One table with one header: the interval and day rows keep their
    // columns (the station's interval tables share them) and carry the file's
    // calibration verdict at their end.
    // Excluded time and its reasons in seconds, on each row when an
    // exclusions file applied: the row's own, the file's in the summary.
    const bool excluded = std::any_of(reports.begin(), reports.end(), [](const FileFigures &r) {
        return r.exclusions.has_value();
    });
    const QString excludedHeader
        = excluded ? QStringLiteral(",excluded_s,excluded_reasons") : QString();
    const auto excludedFields = [excluded](const FileFigures &r, const ReasonCounts &counts) {
        if (!excluded)
            return QStringList();
        return r.exclusions ? exclusionCsvFields(r, counts) : QStringList { QString(), QString() };
    };
    const auto totals = [](const FileFigures &r) {
        return r.exclusions ? r.exclusions->byReason : ReasonCounts {};
    };
    const QString verdictHeader = QStringLiteral(",calibration_verdict,drift_db,details_problem");
    const auto verdictFields = [](const FileFigures &r) {
        return QStringList { r.calibration ? r.calibration->name() : QString(),
                             r.calibration ? fixed2(r.calibration->drift) : QString(),
                             r.detailsProblem };
    };
    // The weather's columns, when weather applies to any file.
    const bool weather = std::any_of(reports.begin(), reports.end(),
                                     [](const FileFigures &r) { return r.weatherData != nullptr; });
    const QString weatherHeader
        = weather ? QStringLiteral(",wind_speed_mean,wind_gust_max,rain") : QString();
    const auto weatherFields = [weather](const FileFigures &r, int64_t from, int64_t to) {
        return weather ? weatherCsvFields(r, from, to) : QStringList {};
    };
    if (intervals) {
        const bool limits = reports.front().withLimits();
        out << intervalCsvHeader() + (limits ? limitCsvHeader() : QString()) + excludedHeader
                + weatherHeader + verdictHeader;
        for (const FileFigures &r : reports) {
            const CivilTime::ZoneScope zone(r.zone);
            for (const IntervalLevel &i : r.intervals) {
                QStringList row = intervalCsvFields(r.name, i);
                if (limits)
                    row << limitCsvFields(i);
                row << excludedFields(r,
                                      r.exclusions ? ExclusionTally::within(
                                          r.exclusions->byInterval, i.startUtc(), i.endUtc())
                                                   : ReasonCounts {});
                row << weatherFields(r, i.startUtc(), i.endUtc());
                out << csvRow(row << verdictFields(r));
            }
        }
    } else if (days) {
        out << QStringLiteral("file,day_start,ld,le,ln,lden,coverage_day,coverage_evening,"
                              "coverage_night,partial")
                + excludedHeader + weatherHeader + verdictHeader;
        for (const FileFigures &r : reports) {
            const CivilTime::ZoneScope zone(r.zone);
            for (const DayEveningNight &d : r.days)
                out << csvRow(
                    QStringList { r.name, CivilTime::toIsoWithOffset(d.start), fixed2(d.ld),
                                  fixed2(d.le), fixed2(d.ln), fixed2(d.lden), fixed2(d.coverageDay),
                                  fixed2(d.coverageEvening), fixed2(d.coverageNight),
                                  d.partial ? QStringLiteral("yes") : QString() }
                    << excludedFields(r,
                                      r.exclusions ? ExclusionTally::within(r.exclusions->byDay,
                                                                            d.start, d.end)
                                                   : ReasonCounts {})
                    << weatherFields(r, CivilTime::utcOf(d.start), CivilTime::utcOf(d.end))
                    << verdictFields(r));
        }
    } else {
        QStringList header { QStringLiteral("file"),        QStringLiteral("kind"),
                             QStringLiteral("readings"),    QStringLiteral("marked"),
                             QStringLiteral("under_range"), QStringLiteral("over_range"),
                             QStringLiteral("interval_s"),  QStringLiteral("leq"),
                             QStringLiteral("sel"),         QStringLiteral("max"),
                             QStringLiteral("max_time"),    QStringLiteral("min"),
                             QStringLiteral("min_time"),    QStringLiteral("class_width_db") };
        for (int m = 0; m < ListDistribution::LnCount; ++m)
            header << QStringLiteral("L%1").arg(m);
        header << QStringLiteral("calibration_verdict") << QStringLiteral("drift_db")
               << QStringLiteral("details_problem");
        out << header.join(QLatin1Char(',')) + excludedHeader;
        for (const FileFigures &r : reports) {
            const FileStatistics &s = r.statistics;
            const ListDistribution &d = s.distribution;
            QStringList row { r.name,
                              kindName(s.kind),
                              QString::number(s.readings),
                              QString::number(s.marked),
                              QString::number(s.underRange),
                              QString::number(s.overRange),
                              fixed2(s.interval),
                              fixed2(s.leq),
                              fixed2(s.sel),
                              s.maximum ? fixed2(s.maximum->level) : QString(),
                              s.maximum ? isoOfStamp(s.maximum->time) : QString(),
                              s.minimum ? fixed2(s.minimum->level) : QString(),
                              s.minimum ? isoOfStamp(s.minimum->time) : QString(),
                              d.mode == ResolutionMode::Tenth ? QStringLiteral("0.10")
                                                              : QStringLiteral("1.00") };
            for (int m = 0; m < ListDistribution::LnCount; ++m)
                row << (d.hasReadings() ? fixed2(lnValue(d, m)) : QString());
            row << (r.calibration ? r.calibration->name() : QString())
                << (r.calibration ? fixed2(r.calibration->drift) : QString()) << r.detailsProblem
                << excludedFields(r, totals(r));
            out << csvRow(row);
        }
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace OutputRules
