#include "analysis/output/FigureTexts.h"

#include "analysis/output/OutputRules.h"

#include "analysis/Wording.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/Csv.h"
#include "recording/FormatTenths.h"

#include <set>

QString excludedText(const FileFigures &report)
{
    const ExclusionTally &x = *report.exclusions;
    if (x.readings == 0)
        return QStringLiteral("nothing");
    return QStringLiteral("%1 (%2 readings: %3)")
        .arg(Wording::partsDuration(report.excludedSeconds(x.readings)))
        .arg(x.readings)
        .arg(reasonsText(x.byReason, report.statistics.interval));
}

using OutputRules::rounded;

namespace {

QString exclusionMethodLine(const FileFigures &report)
{
    const ExclusionTally &x = *report.exclusions;
    return QStringLiteral("Exclusions (%1, %2 of its spans touch the readings): readings in an "
                          "excluded span count as not measured, in no figure and no coverage; "
                          "where spans overlap, time counts once, for the span that starts "
                          "first. Excluded: %3.")
        .arg(!x.source.isEmpty()  ? x.source
                 : report.weather ? QStringLiteral("made by the weather rules")
                                  : QStringLiteral("made in the window"))
        .arg(x.listed.size())
        .arg(excludedText(report));
}

} // namespace

QString gapText(const FileFigures &report, const IntervalLevel &gap)
{
    QString text = emptyStretchText(gap.elapsed());
    // A stretch emptied by exclusions says so.
    if (report.exclusions)
        if (const ReasonCounts within
            = ExclusionTally::within(report.exclusions->byInterval, gap.startUtc(), gap.endUtc());
            totalOf(within) > 0)
            text += QStringLiteral(" (excluded: %1)")
                        .arg(reasonsText(within, report.statistics.interval));
    return text;
}

namespace {

// The weather's, the events' and the periods' figures: one decimal, and
// what stands for a missing one.
QString tenths(double value)
{
    return Wording::tenthsRounded(value);
}

QString metres(const std::optional<double> &value)
{
    return rounded(value, Wording::Missing::Dash) + QStringLiteral(" m/s");
}

} // namespace

std::vector<std::pair<QString, QString>> weatherFacts(const FileFigures &report)
{
    if (!report.weather)
        return {};
    const WeatherSummary &w = *report.weather;
    std::vector<std::pair<QString, QString>> facts {
        { QStringLiteral("Weather data"), w.source },
        { QStringLiteral("Coverage"),
          QString::number(100.0 * w.coverage(), 'f', 1) + QStringLiteral(" % of the measurement") }
    };
    if (w.windMeanMax)
        facts.emplace_back(QStringLiteral("Highest mean wind"),
                           QStringLiteral("%1 (%2)").arg(metres(w.windMeanMax),
                                                         CivilTime::isoOfUtc(w.windMeanMaxAt)));
    if (w.gustMax)
        facts.emplace_back(
            QStringLiteral("Highest gust"),
            QStringLiteral("%1 (%2)").arg(metres(w.gustMax), CivilTime::isoOfUtc(w.gustMaxAt)));
    if (w.rainTotal)
        facts.emplace_back(QStringLiteral("Rain"),
                           QString::number(*w.rainTotal, 'f', 1) + QStringLiteral(" mm"));
    if (w.rules.isEmpty()) {
        facts.emplace_back(QStringLiteral("Rules"),
                           QStringLiteral("none (nothing is taken out by the weather)"));
    } else {
        const ReasonCounts byRule = report.exclusions ? report.exclusions->byRule : ReasonCounts {};
        facts.emplace_back(QStringLiteral("Rules"), w.rules);
        facts.emplace_back(QStringLiteral("Taken out by them"),
                           totalOf(byRule) > 0 ? reasonsText(byRule, report.statistics.interval)
                                               : QStringLiteral("nothing"));
    }
    return facts;
}

QStringList weatherLines(const FileFigures &report)
{
    // The facts as one sentence: "Weather: SOURCE, data for …; highest mean
    // wind …", then the rules.
    QString line;
    QString rules;
    QString takenOut;
    for (const auto &[label, value] : weatherFacts(report)) {
        if (label == QLatin1String("Weather data"))
            line = QStringLiteral("Weather: ") + value;
        else if (label == QLatin1String("Coverage"))
            line += QStringLiteral(", data for ") + value;
        else if (label == QLatin1String("Rules"))
            rules = value;
        else if (label == QLatin1String("Taken out by them"))
            takenOut = value;
        else
            line += QStringLiteral("; ") + label.toLower() + QLatin1Char(' ') + value;
    }
    if (line.isEmpty())
        return {};
    return { line + QLatin1Char('.'),
             takenOut.isEmpty()
                 ? QStringLiteral("  Weather rules: %1.").arg(rules)
                 : QStringLiteral("  Weather rules: %1; taken out by them: %2. Time without "
                                  "weather data is neither excluded nor valid by rule.")
                       .arg(rules, takenOut) };
}

QStringList weatherCsvFields(const FileFigures &report, int64_t from, int64_t to)
{
    if (!report.weatherData)
        return { QString(), QString(), QString() };
    const WeatherRow w = report.weatherData->over(from, to);
    constexpr auto none = Wording::Missing::Empty;
    return { rounded(w.windSpeed, none), rounded(w.windGust, none), rounded(w.rain, none) };
}

QString weatherJsonFields(const FileFigures &report, int64_t from, int64_t to)
{
    if (!report.weatherData)
        return {};
    const WeatherRow w = report.weatherData->over(from, to);
    constexpr auto null = Wording::Missing::Null;
    return QStringLiteral(", \"wind_speed_mean\": %1, \"wind_gust_max\": %2, \"rain\": %3")
        .arg(rounded(w.windSpeed, null), rounded(w.windGust, null), rounded(w.rain, null));
}

namespace {

QString countsText(const PeriodCounts &counts)
{
    return QStringLiteral("day %1, evening %2, night %3")
        .arg(counts[size_t(Period::Day)])
        .arg(counts[size_t(Period::Evening)])
        .arg(counts[size_t(Period::Night)]);
}

QString countsJson(const PeriodCounts &counts)
{
    return QStringLiteral("{\"day\": %1, \"evening\": %2, \"night\": %3}")
        .arg(counts[size_t(Period::Day)])
        .arg(counts[size_t(Period::Evening)])
        .arg(counts[size_t(Period::Night)]);
}

QString daysJson(const RunsAbove &runs)
{
    QStringList days;
    for (const auto &[day, counts] : runs.byDay)
        days << QStringLiteral("{\"day_start\": %1, \"count\": %2, \"by_period\": %3}")
                    .arg(jsonString(CivilTime::toIsoWithOffset(day)))
                    .arg(counts[0] + counts[1] + counts[2])
                    .arg(countsJson(counts));
    return QLatin1Char('[') + days.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace

std::vector<NoiseEvent> loudestEvents(const RunsAbove &runs, int listed)
{
    std::vector<NoiseEvent> shown = runs.events;
    if (listed >= 0 && int(shown.size()) > listed) {
        // The loudest, in time order.
        std::stable_sort(shown.begin(), shown.end(),
                         [](const NoiseEvent &a, const NoiseEvent &b) { return a.lmax > b.lmax; });
        shown.resize(size_t(listed));
        std::sort(shown.begin(), shown.end(),
                  [](const NoiseEvent &a, const NoiseEvent &b) { return a.start < b.start; });
    }
    return shown;
}

QStringList eventCells(const NoiseEvent &event)
{
    return { CivilTime::isoOfUtc(event.start),
             CivilTime::isoOfUtc(event.end),
             Wording::partsDuration(double(event.duration())),
             tenths(event.lmax),
             CivilTime::isoOfUtc(event.lmaxAt),
             tenths(event.sel),
             periodName(event.period),
             event.cut ? QStringLiteral("cut") : QString() };
}

QStringList eventDayHeaders(const FileFigures &report)
{
    if (!report.events)
        return {};
    QStringList headers { QStringLiteral("Day") };
    if (report.events->events)
        headers << QStringLiteral("Events day") << QStringLiteral("evening")
                << QStringLiteral("night");
    for (const RunsAbove &runs : report.events->numberAbove)
        headers << QStringLiteral("N%1 night").arg(tenths(runs.level));
    return headers;
}

std::vector<QStringList> eventDayCells(const FileFigures &report)
{
    if (!report.events)
        return {};
    const EventReport &e = *report.events;
    // Every 07:00 day any count has, in order.
    std::set<int64_t> days;
    if (e.events)
        for (const auto &[day, counts] : e.events->byDay)
            days.insert(day);
    for (const RunsAbove &runs : e.numberAbove)
        for (const auto &[day, counts] : runs.byDay)
            days.insert(day);
    const auto countOf = [](const RunsAbove &runs, int64_t day, Period period) {
        const auto found = runs.byDay.find(day);
        return QString::number(found == runs.byDay.end() ? 0 : found->second[size_t(period)]);
    };
    std::vector<QStringList> rows;
    for (const int64_t day : days) {
        QStringList row { CivilTime::toIso(day).left(10) };
        if (e.events)
            row << countOf(*e.events, day, Period::Day) << countOf(*e.events, day, Period::Evening)
                << countOf(*e.events, day, Period::Night);
        for (const RunsAbove &runs : e.numberAbove)
            row << countOf(runs, day, Period::Night);
        rows.push_back(row);
    }
    return rows;
}

namespace {

QString eventRuleLine(const EventReport &e)
{
    const RunsAbove &runs = *e.events;
    return QStringLiteral("Noise events above %1 dB (at least %2, runs closer than %3 "
                          "merged; none in excluded time): %4 (%5)")
        .arg(tenths(runs.level), Wording::partsDuration(double(e.minDuration)),
             Wording::partsDuration(double(e.rules.gap)))
        .arg(runs.count())
        .arg(countsText(runs.byPeriod));
}

QString numberAboveLine(const RunsAbove &runs)
{
    return QStringLiteral("Number above %1 dB: %2 (%3)")
        .arg(tenths(runs.level))
        .arg(runs.count())
        .arg(countsText(runs.byPeriod));
}

} // namespace

QStringList eventSummaryLines(const FileFigures &report)
{
    if (!report.events)
        return {};
    QStringList lines;
    if (report.events->events)
        lines << eventRuleLine(*report.events);
    for (const RunsAbove &runs : report.events->numberAbove)
        lines << numberAboveLine(runs);
    return lines;
}

QStringList eventLines(const FileFigures &report, int listed)
{
    if (!report.events)
        return {};
    const EventReport &e = *report.events;
    QStringList lines;
    if (e.events) {
        const RunsAbove &runs = *e.events;
        lines << eventRuleLine(e);
        const std::vector<NoiseEvent> shown = loudestEvents(runs, listed);
        if (listed >= 0 && runs.count() > listed)
            lines << QStringLiteral("  The %1 loudest of them:").arg(listed);
        for (const NoiseEvent &event : shown) {
            const QStringList c = eventCells(event);
            lines << QStringLiteral("  %1 to %2  %3  Lmax %4 dB at %5  SEL %6 dB  %7%8")
                         .arg(c[0], c[1], c[2], c[3], c[4], c[5], c[6],
                              event.cut ? QStringLiteral("  cut by an exclusion or a gap")
                                        : QString());
        }
    }
    for (const RunsAbove &runs : e.numberAbove) {
        lines << numberAboveLine(runs);
        for (const auto &[day, counts] : runs.byDay)
            lines << QStringLiteral("  day from %1: %2 (%3)")
                         .arg(CivilTime::toIsoWithOffset(day))
                         .arg(counts[0] + counts[1] + counts[2])
                         .arg(countsText(counts));
    }
    return lines;
}

QString eventsJsonFields(const FileFigures &report)
{
    if (!report.events)
        return {};
    const EventReport &e = *report.events;
    QStringList fields;
    if (e.events) {
        const RunsAbove &runs = *e.events;
        QStringList list;
        for (const NoiseEvent &event : runs.events)
            list << QStringLiteral("{\"start\": %1, \"end\": %2, \"duration_s\": %3, "
                                   "\"lmax\": %4, \"lmax_time\": %5, \"sel\": %6, "
                                   "\"period\": %7, \"cut\": %8}")
                        .arg(jsonString(CivilTime::isoOfUtc(event.start)),
                             jsonString(CivilTime::isoOfUtc(event.end)))
                        .arg(event.duration())
                        .arg(tenths(event.lmax), jsonString(CivilTime::isoOfUtc(event.lmaxAt)),
                             tenths(event.sel), jsonString(periodName(event.period)),
                             event.cut ? QStringLiteral("true") : QStringLiteral("false"));
        fields << QStringLiteral("\"events\": {\"threshold\": %1, \"min_duration_s\": %2, "
                                 "\"gap_s\": %3, \"count\": %4, \"by_period\": %5, \"days\": "
                                 "%6, \"list\": [%7]}")
                      .arg(tenths(runs.level))
                      .arg(e.minDuration)
                      .arg(e.rules.gap)
                      .arg(runs.count())
                      .arg(countsJson(runs.byPeriod), daysJson(runs),
                           list.join(QStringLiteral(", ")));
    }
    if (!e.numberAbove.empty()) {
        QStringList levels;
        for (const RunsAbove &runs : e.numberAbove)
            levels << QStringLiteral("{\"level\": %1, \"count\": %2, \"by_period\": %3, "
                                     "\"days\": %4}")
                          .arg(tenths(runs.level))
                          .arg(runs.count())
                          .arg(countsJson(runs.byPeriod), daysJson(runs));
        fields << QStringLiteral("\"number_above\": [%1]").arg(levels.join(QStringLiteral(", ")));
    }
    return fields.join(QStringLiteral(", "));
}

QString eventsCsv(const std::vector<FileFigures> &reports)
{
    QStringList out { QStringLiteral("file,start,end,duration_s,lmax,lmax_time,sel,period,cut") };
    for (const FileFigures &r : reports) {
        if (!r.events || !r.events->events)
            continue;
        const CivilTime::ZoneScope zone(r.zone);
        for (const NoiseEvent &event : r.events->events->events)
            out << csvRow({ r.name, CivilTime::isoOfUtc(event.start),
                            CivilTime::isoOfUtc(event.end), QString::number(event.duration()),
                            tenths(event.lmax), CivilTime::isoOfUtc(event.lmaxAt),
                            tenths(event.sel), periodName(event.period),
                            event.cut ? QStringLiteral("yes") : QString() });
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

namespace {

QString dbText(const std::optional<double> &value)
{
    return rounded(value, Wording::Missing::Dash);
}

QString dbJson(const std::optional<double> &value)
{
    return rounded(value, Wording::Missing::Null);
}

QString periodWhere(const PeriodVerdict &p)
{
    return QStringLiteral("%1 %2").arg(CivilTime::toIso(p.day).left(10), periodName(p.period));
}

} // namespace

std::vector<QStringList> assessmentCells(const FileFigures &report)
{
    if (!report.assessment)
        return {};
    std::vector<QStringList> rows;
    for (const PeriodVerdict &p : report.assessment->periods)
        rows.push_back({ CivilTime::toIso(p.day).left(10), periodName(p.period), dbText(p.leq),
                         dbText(p.l90), dbText(p.lmax), QString::number(100.0 * p.coverage, 'f', 1),
                         dbText(p.limit), dbText(p.margin), p.verdictText(),
                         p.deciding ? QStringLiteral("yes") : QString() });
    return rows;
}

QString assessmentRule(const FileFigures &report)
{
    const AssessmentReport &a = *report.assessment;
    return QStringLiteral("Assessment against %1 (a period needs %2 % coverage for a verdict; "
                          "apart from that, a day under 90 % is partial)")
        .arg(a.limits, QString::number(100.0 * a.minCoverage, 'f', 0));
}

QString assessmentSummary(const FileFigures &report)
{
    const AssessmentReport &a = *report.assessment;
    QString summary = QStringLiteral("%1 of %2 periods judged failed").arg(a.failed).arg(a.judged);
    if (a.worst)
        summary += QStringLiteral("; the smallest margin %1 dB (%2)")
                       .arg(dbText(a.worst->margin), periodWhere(*a.worst));
    return summary;
}

QStringList assessmentLines(const FileFigures &report)
{
    if (!report.assessment)
        return {};
    QStringList lines { assessmentRule(report) + QLatin1Char(':') };
    for (const QStringList &c : assessmentCells(report))
        lines << QStringLiteral("  %1  Leq %2  L90 %3  Lmax %4  coverage %5 %  limit %6  margin "
                                "%7  %8%9")
                     .arg((c[0] + QLatin1Char(' ') + c[1]).leftJustified(18), c[2], c[3], c[4],
                          c[5], c[6], c[7], c[8],
                          c[9].isEmpty() ? QString() : QStringLiteral("  (decides the day)"));
    lines << QStringLiteral("  ") + assessmentSummary(report) + QLatin1Char('.');
    return lines;
}

QString assessmentJson(const FileFigures &report)
{
    const AssessmentReport &a = *report.assessment;
    const auto periodJson = [](const PeriodVerdict &p) {
        return QStringLiteral("{\"day_start\": %1, \"period\": %2, \"start\": %3, \"end\": %4, "
                              "\"readings\": %5, \"coverage\": %6, \"leq\": %7, \"l90\": %8, "
                              "\"lmax\": %9, \"limit\": %10, \"margin\": %11, \"verdict\": %12, "
                              "\"deciding\": %13}")
            .arg(jsonString(CivilTime::toIsoWithOffset(p.day)), jsonString(periodName(p.period)),
                 jsonString(CivilTime::toIsoWithOffset(p.start)),
                 jsonString(CivilTime::toIsoWithOffset(p.end)), QString::number(p.readings),
                 QString::number(p.coverage, 'f', 4), dbJson(p.leq), dbJson(p.l90), dbJson(p.lmax))
            .arg(dbJson(p.limit), dbJson(p.margin), jsonString(p.verdictText()),
                 p.deciding ? QStringLiteral("true") : QStringLiteral("false"));
    };
    QStringList periods;
    for (const PeriodVerdict &p : a.periods)
        periods << periodJson(p);
    return QStringLiteral("{\"limits\": %1, \"min_coverage\": %2, \"judged\": %3, "
                          "\"failed\": %4, \"worst\": %5, \"periods\": [%6]}")
        .arg(jsonString(a.limits), QString::number(a.minCoverage, 'f', 2))
        .arg(a.judged)
        .arg(a.failed)
        .arg(a.worst ? periodJson(*a.worst) : QStringLiteral("null"),
             periods.join(QStringLiteral(", ")));
}

QString assessmentCsv(const std::vector<FileFigures> &reports)
{
    QStringList out { QStringLiteral("file,day_start,period,start,end,readings,coverage,leq,l90,"
                                     "lmax,limit,margin,verdict,deciding") };
    const auto field
        = [](const std::optional<double> &v) { return rounded(v, Wording::Missing::Empty); };
    for (const FileFigures &r : reports) {
        if (!r.assessment)
            continue;
        const CivilTime::ZoneScope zone(r.zone);
        for (const PeriodVerdict &p : r.assessment->periods)
            out << csvRow({ r.name, CivilTime::toIsoWithOffset(p.day), periodName(p.period),
                            CivilTime::toIsoWithOffset(p.start), CivilTime::toIsoWithOffset(p.end),
                            QString::number(p.readings), QString::number(p.coverage, 'f', 2),
                            field(p.leq), field(p.l90), field(p.lmax), field(p.limit),
                            field(p.margin), p.verdictText(),
                            p.deciding ? QStringLiteral("yes") : QString() });
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QStringList exclusionLines(const FileFigures &report)
{
    if (!report.exclusions)
        return {};
    QStringList lines { QStringLiteral("Excluded: %1").arg(excludedText(report)) };
    for (const Exclusion &e : report.exclusions->listed)
        lines << QStringLiteral("  %1 to %2  %3  %4%5")
                     .arg(CivilTime::isoOfUtc(e.start), CivilTime::isoOfUtc(e.end),
                          Wording::partsDuration(double(e.duration())),
                          exclusionReasonText(e.reason),
                          e.note.isEmpty() ? QString() : QStringLiteral("  ") + e.note);
    return lines;
}

QStringList reportMethod(const FileFigures &report, MethodRules rules)
{
    const bool allRules = rules == MethodRules::All;
    QStringList lines = methodDescription(report.statistics);
    if (!report.timeZone.isEmpty())
        lines << QStringLiteral("Time zone: %1 (%2). Each time stamp is the site's wall clock in "
                                "that zone, one moment: in the hour that repeats when clocks go "
                                "back, the first run is the one the file holds first. Times are "
                                "given with their offset from UTC; durations are elapsed time.%3")
                     .arg(report.timeZone,
                          report.timeZoneSource == QLatin1String("details")
                              ? QStringLiteral("from the details file")
                              : report.timeZoneSource == QLatin1String("--zone")
                              ? QStringLiteral("given by --zone")
                              : QStringLiteral("this computer's: the files name no zone"),
                          report.timeZoneNote.isEmpty()
                              ? QString()
                              : QStringLiteral(" ") + report.timeZoneNote + QLatin1Char('.'));
    if (report.from || report.to)
        lines << QStringLiteral("Only readings from %1 up to but not including %2 are counted; "
                                "readings without a readable time are left out.")
                     .arg(report.from ? CivilTime::isoOfUtc(*report.from)
                                      : QStringLiteral("the start"),
                          report.to ? CivilTime::isoOfUtc(*report.to) : QStringLiteral("the end"));
    if (!report.joined.empty())
        lines << QStringLiteral("The files are joined into one series in the order of their "
                                "readings: intervals and days run across their borders.");
    if (report.intervalLength)
        lines << QStringLiteral("Intervals: only those holding readings are listed; an empty "
                                "stretch between them is one row. Coverage counts the readings "
                                "that enter the figures (marked readings do not).");
    if (report.exclusions)
        lines << exclusionMethodLine(report);
    if (report.limits)
        lines << QStringLiteral("Limits (%1, by the local time of an interval's start): an "
                                "interval is over its limit when its Leq is above it.")
                     .arg(*report.limits);
    if (report.withDayEveningNight && allRules)
        lines << QStringLiteral(
            "Day-evening-night levels: a day runs from 07:00 to 07:00; a day is "
            "marked partial when any of its periods is covered less than 90 %, "
            "coverage being measured against the period's real length that "
            "day (the night is 7 h on the day clocks go forward and 9 h when "
            "they go back). A partial day's levels are given, but stand for "
            "less than the whole day.");
    if (report.ambiguousTime)
        lines << QStringLiteral("The first reading's time came twice when clocks went back, and "
                                "the file does not say which run it belongs to: it is read as "
                                "the first run (summer time).");
    if (report.repeatedHour)
        lines << QStringLiteral("Clocks went back by an hour in this file: the repeated hour's "
                                "readings form interval rows of their own, told apart by their "
                                "UTC offsets.");
    if (report.calibration && allRules)
        lines << QStringLiteral(
            "Calibration: the last check before the first reading and the first after the last "
            "bracket the readings, and every check between them counts too. Each check is placed "
            "by its own wall-clock time as written in the log, as the readings' stamps are the "
            "site's wall clock: the zone of the computer that analyses them plays no part. The "
            "verdict is within tolerance when every check's deviation from its calibrator and "
            "the drift (deviation after less deviation before) are within the tolerance.");
    return lines;
}

QString cutLine(const FileTrouble &cut)
{
    return QStringLiteral("Cut: %1: %2.").arg(cut.file, cut.reason);
}

QStringList troubleLines(const FileFigures &report)
{
    QStringList lines;
    if (report.running)
        lines << QStringLiteral("Running day: %1 is the station's working file, read up to its "
                                "last whole reading; its day file is written when the day ends "
                                "or the station stops.")
                     .arg(report.joined.empty() ? report.name : report.joined.back().name);
    for (const FileTrouble &t : report.cut)
        lines << cutLine(t);
    for (const DamagedLines &d : report.damaged)
        lines << QStringLiteral("Damaged: ") + damagedLine(d);
    for (const FileTrouble &t : report.leftOut)
        lines << QStringLiteral("Left out: %1: %2").arg(t.file, t.reason);
    return lines;
}
