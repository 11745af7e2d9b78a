#include "analysis/output/Outputs.h"

#include "analysis/Wording.h"
#include "analysis/output/OutputRules.h"
#include "analysis/records/CivilTime.h"
#include "recording/FormatTenths.h"

#include <cmath>

namespace OutputRules {

QString jsonNumber(const std::optional<double> &v)
{
    return v && std::isfinite(*v) ? fixed2(*v) : QStringLiteral("null");
}
QString jsonLevelAt(const std::optional<LevelAt> &at)
{
    if (!at)
        return QStringLiteral("null");
    return QStringLiteral("{\"level\": %1, \"text\": %2, \"time\": %3}")
        .arg(jsonNumber(at->level), jsonString(at->text), jsonString(isoOfStamp(at->time)));
}

QString reasonsJson(const ReasonCounts &counts, double interval)
{
    QStringList items;
    for (int r = 0; r < ExclusionReasonCount; ++r)
        if (counts[size_t(r)] > 0)
            items << QStringLiteral("%1: %2").arg(
                jsonString(exclusionReasonText(ExclusionReason(r))),
                QString::number(double(counts[size_t(r)]) * interval));
    return QLatin1Char('{') + items.join(QStringLiteral(", ")) + QLatin1Char('}');
}

QString exclusionsJson(const FileFigures &r)
{
    const ExclusionTally &x = *r.exclusions;
    const double interval = r.statistics.interval;
    QStringList listed;
    for (const Exclusion &e : x.listed)
        listed << QStringLiteral("{\"start\": %1, \"end\": %2, \"duration_s\": %3, "
                                 "\"reason\": %4, \"note\": %5, \"made\": %6}")
                      .arg(jsonString(CivilTime::isoOfUtc(e.start)),
                           jsonString(CivilTime::isoOfUtc(e.end)))
                      .arg(e.duration())
                      .arg(jsonString(exclusionReasonText(e.reason)), jsonString(e.note),
                           jsonString(e.made))
                      .chopped(e.byRule ? 1 : 0)
                + (e.byRule ? QStringLiteral(", \"source\": \"rule\"}") : QString());
    QStringList days;
    for (const auto &[day, counts] : x.byDay)
        days << QStringLiteral("{\"day_start\": %1, \"excluded_s\": %2, \"reasons\": %3}")
                    .arg(jsonString(CivilTime::toIsoWithOffset(day)),
                         QString::number(double(totalOf(counts)) * interval),
                         reasonsJson(counts, interval));
    return QStringLiteral("{\"file\": %1, \"excluded_s\": %2, \"excluded_readings\": %3, "
                          "\"reasons\": %4, \"spans\": [%5], \"days\": [%6]}")
        .arg(x.source.isEmpty() ? QStringLiteral("null") : jsonString(x.source),
             QString::number(r.excludedSeconds(x.readings)), QString::number(x.readings),
             reasonsJson(x.byReason, interval), listed.join(QStringLiteral(", ")),
             days.join(QStringLiteral(", ")));
}

QString weatherJson(const FileFigures &r)
{
    const WeatherSummary &w = *r.weather;
    const auto value
        = [](const std::optional<double> &v) { return rounded(v, Wording::Missing::Null); };
    const ReasonCounts byRule = r.exclusions ? r.exclusions->byRule : ReasonCounts {};
    return QStringLiteral("{\"file\": %1, \"weather_coverage\": %2, \"covered_s\": %3, "
                          "\"measured_s\": %4, \"wind_speed_mean_max\": %5, "
                          "\"wind_gust_max\": %6, \"rain\": %7, \"rules\": %8, "
                          "\"excluded_by_rule\": %9}")
        .arg(jsonString(w.source), QString::number(w.coverage(), 'f', 4),
             QString::number(w.coveredS), QString::number(w.measuredS), value(w.windMeanMax),
             value(w.gustMax), value(w.rainTotal),
             w.rules.isEmpty() ? QStringLiteral("null") : jsonString(w.rules),
             reasonsJson(byRule, r.statistics.interval));
}

QString jsonReport(const FileFigures &r)
{
    const FileStatistics &s = r.statistics;
    const ListDistribution &d = s.distribution;
    QStringList fields;
    if (r.joined.empty()) {
        fields << QStringLiteral("\"file\": %1").arg(jsonString(r.name));
    } else {
        QStringList files;
        for (const JoinedFile &f : r.joined)
            files << jsonString(f.name);
        fields << QStringLiteral("\"files\": [%1]").arg(files.join(QStringLiteral(", ")));
    }
    fields << QStringLiteral("\"kind\": %1").arg(jsonString(kindName(s.kind)));
    fields << QStringLiteral("\"running\": %1")
                  .arg(r.running ? QStringLiteral("true") : QStringLiteral("false"));
    QStringList boards;
    for (const auto &[caption, text] : s.storedBoards)
        boards << QStringLiteral("%1: %2").arg(jsonString(caption), jsonString(text));
    fields << QStringLiteral("\"stored\": {%1}").arg(boards.join(QStringLiteral(", ")));
    fields << QStringLiteral("\"interval_s\": %1").arg(fixed2(s.interval));
    fields << QStringLiteral("\"readings\": %1").arg(s.readings);
    fields << QStringLiteral("\"marked\": %1").arg(s.marked);
    fields << QStringLiteral("\"under_range\": %1").arg(s.underRange);
    fields << QStringLiteral("\"over_range\": %1").arg(s.overRange);
    fields << QStringLiteral("\"leq\": %1").arg(jsonNumber(s.leq));
    fields << QStringLiteral("\"sel\": %1").arg(jsonNumber(s.sel));
    fields << QStringLiteral("\"maximum\": %1").arg(jsonLevelAt(s.maximum));
    fields << QStringLiteral("\"minimum\": %1").arg(jsonLevelAt(s.minimum));
    fields << QStringLiteral("\"class_width_db\": %1")
                  .arg(d.mode == ResolutionMode::Tenth ? QStringLiteral("0.10")
                                                       : QStringLiteral("1.00"));
    fields << QStringLiteral("\"counted_samples\": %1").arg(d.ListSampleCount);
    QStringList ln;
    if (d.hasReadings())
        for (int m = 0; m < ListDistribution::LnCount; ++m)
            ln << fixed2(lnValue(d, m));
    fields << QStringLiteral("\"ln\": [%1]").arg(ln.join(QStringLiteral(", ")));
    fields << QStringLiteral("\"details\": %1")
                  .arg(r.details ? QString::fromUtf8(r.details->toJson(QJsonDocument::Compact))
                                 : QStringLiteral("null"));
    const auto troubles = [](const std::vector<FileTrouble> &list, bool withLine) {
        QStringList items;
        for (const FileTrouble &t : list)
            items << (withLine ? QStringLiteral("{\"file\": %1, \"line\": %2, \"reason\": %3}")
                                     .arg(jsonString(t.file))
                                     .arg(t.line)
                                     .arg(jsonString(t.reason))
                               : QStringLiteral("{\"file\": %1, \"reason\": %2}")
                                     .arg(jsonString(t.file), jsonString(t.reason)));
        return QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']');
    };
    if (!r.timeZone.isEmpty()) {
        fields << QStringLiteral("\"time_zone\": %1").arg(jsonString(r.timeZone));
        fields << QStringLiteral("\"time_zone_source\": %1").arg(jsonString(r.timeZoneSource));
    }
    fields << QStringLiteral("\"ambiguous_time\": %1")
                  .arg(r.ambiguousTime ? QStringLiteral("true") : QStringLiteral("false"));
    fields << QStringLiteral("\"cut\": %1").arg(troubles(r.cut, true));
    fields << QStringLiteral("\"left_out\": %1").arg(troubles(r.leftOut, false));
    fields << QStringLiteral("\"damaged_lines\": %1").arg(r.damagedLineCount());
    {
        QStringList items;
        for (const DamagedLines &d : r.damaged)
            items << QStringLiteral("{\"file\": %1, \"lines\": %2, \"first_line\": %3}")
                         .arg(jsonString(d.file))
                         .arg(d.count)
                         .arg(d.firstLine);
        fields << QStringLiteral("\"damaged\": [%1]").arg(items.join(QStringLiteral(", ")));
    }
    fields << QStringLiteral("\"details_problem\": %1")
                  .arg(r.detailsProblem.isEmpty() ? QStringLiteral("null")
                                                  : jsonString(r.detailsProblem));
    if (r.exclusions)
        fields << QStringLiteral("\"exclusions\": %1").arg(exclusionsJson(r));
    if (r.weather)
        fields << QStringLiteral("\"weather\": %1").arg(weatherJson(r));
    if (r.events)
        fields << eventsJsonFields(r);
    if (r.assessment)
        fields << QStringLiteral("\"assessment\": %1").arg(assessmentJson(r));
    if (r.calibration) {
        const CalibrationVerdict &c = *r.calibration;
        const auto check = [](const std::optional<CalibrationRecord> &k,
                              std::optional<int64_t> age = std::nullopt) {
            if (!k)
                return QStringLiteral("null");
            return QStringLiteral("{\"time\": %1, \"meter_serial\": %2, \"calibrator_serial\": %3, "
                                  "\"calibrator_level\": %4, \"mean\": %5, \"lowest\": %6, "
                                  "\"highest\": %7, \"deviation\": %8%9}")
                .arg(jsonString(CivilTime::toIsoWithOffset(k->time)), jsonString(k->meterSerial),
                     jsonString(k->calibratorSerial), fixed2(k->calibratorLevel), fixed2(k->mean),
                     fixed2(k->lowest), fixed2(k->highest), fixed2(k->deviation),
                     age ? QStringLiteral(", \"age_s\": %1").arg(*age) : QString());
        };
        QStringList during;
        for (const CalibrationRecord &k : c.during)
            during << check(k);
        fields << QStringLiteral(
                      "\"calibration\": {\"before\": %1, \"after\": %2, \"during\": [%3], "
                      "\"drift\": %4, \"tolerance\": %5, \"meter_serial\": %6, "
                      "\"max_check_age_s\": %7, \"verdict\": %8, \"reason\": %9}")
                      .arg(check(c.before, c.beforeAgeS), check(c.after, c.afterAgeS),
                           during.join(QStringLiteral(", ")),
                           c.drift ? fixed2(*c.drift) : QStringLiteral("null"), fixed2(c.tolerance),
                           c.meterSerial.isEmpty() ? QStringLiteral("null")
                                                   : jsonString(c.meterSerial),
                           c.maxAgeS ? QString::number(*c.maxAgeS) : QStringLiteral("null"),
                           jsonString(c.name()),
                           c.kind == CalibrationVerdict::NotVerified
                               ? jsonString(c.notVerifiedWhy())
                               : QStringLiteral("null"));
    } else {
        fields << QStringLiteral("\"calibration\": null");
    }
    if (r.intervalLength) {
        QStringList items;
        for (const IntervalLevel &i : r.intervals)
            items << QLatin1Char('{') + intervalJsonFields(i)
                    + (r.withLimits()
                           ? QStringLiteral(", \"limit\": %1, \"state\": %2")
                                 .arg(jsonNumber(i.limit),
                                      i.limit ? jsonString(i.stateText()) : QStringLiteral("null"))
                           : QString())
                    + (r.exclusions ? QStringLiteral(", \"excluded_s\": %1")
                                          .arg(r.excludedSeconds(totalOf(ExclusionTally::within(
                                              r.exclusions->byInterval, i.startUtc(), i.endUtc()))))
                                    : QString())
                    + weatherJsonFields(r, i.startUtc(), i.endUtc()) + QLatin1Char('}');
        fields << QStringLiteral("\"interval_length_s\": %1").arg(*r.intervalLength);
        fields << QStringLiteral("\"intervals\": [%1]").arg(items.join(QStringLiteral(", ")));
    }
    if (r.withDayEveningNight) {
        QStringList items;
        for (const DayEveningNight &den : r.days)
            items << QStringLiteral("{\"day_start\": %1, \"ld\": %2, \"le\": %3, \"ln\": %4, "
                                    "\"lden\": %5, \"coverage_day\": %6, \"coverage_evening\": %7, "
                                    "\"coverage_night\": %8, \"partial\": %9}")
                         .arg(jsonString(CivilTime::toIsoWithOffset(den.start)), jsonNumber(den.ld),
                              jsonNumber(den.le), jsonNumber(den.ln), jsonNumber(den.lden),
                              fixed2(den.coverageDay), fixed2(den.coverageEvening),
                              fixed2(den.coverageNight),
                              (den.partial ? QStringLiteral("true") : QStringLiteral("false"))
                                  + (den.gap
                                         ? QStringLiteral(", \"gap_until\": %1")
                                               .arg(jsonString(CivilTime::toIsoWithOffset(den.end)))
                                         : QString()));
        fields
            << QStringLiteral("\"day_evening_night\": [%1]").arg(items.join(QStringLiteral(", ")));
    }
    QStringList method;
    for (const QString &line : reportMethod(r))
        method << jsonString(line);
    fields << QStringLiteral("\"method\": [%1]").arg(method.join(QStringLiteral(", ")));
    return QStringLiteral("  {\n    ") + fields.join(QStringLiteral(",\n    "))
        + QStringLiteral("\n  }");
}

} // namespace OutputRules

using namespace OutputRules;

QString intervalJsonFields(const IntervalLevel &i)
{
    const auto classNumber
        = [](const std::optional<double> &v) { return v ? fixed2(*v) : QStringLiteral("null"); };
    return QStringLiteral("\"start\": %1, \"end\": %2, \"readings\": %3, \"coverage\": %4, "
                          "\"leq\": %5, \"lmax\": %6, \"lmin\": %7, \"l10\": %8, \"l50\": %9, "
                          "\"l90\": %10%11")
        .arg(jsonString(isoStart(i)), jsonString(isoEnd(i)), QString::number(i.readings),
             fixed2(i.coverage), jsonNumber(i.leq), jsonNumber(i.lmax), jsonNumber(i.lmin),
             classNumber(i.l10), classNumber(i.l50))
        .arg(classNumber(i.l90), i.gap ? QStringLiteral(", \"gap\": true") : QString());
}
