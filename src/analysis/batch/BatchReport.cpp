#include "BatchReport.h"

#include "CivilTime.h"
#include "recording/FormatTenths.h"

#include <QJsonDocument>
#include <QStringList>

#include <cmath>
#include <set>

FileAnalysis::FileAnalysis(const BatchRequest &request, Parts parts)
    : m_request(request)
    , m_parts(parts)
    , m_statistics(request.mode)
{
    if (parts == Parts::Figures) {
        m_request.intervalLength.reset();
        m_request.dayEveningNight = false;
    }
    if (m_request.intervalLength)
        m_intervals.emplace(*request.intervalLength, request.mode);
    // When the two parts run apart, the events go with the tables and the
    // verdicts with the figures: the two then take about as long.
    if (parts != Parts::Figures && request.events.any())
        m_events.emplace(request.events);
    if (parts != Parts::Tables && request.assessment.limits)
        m_assessment.emplace();
    if (request.exclusions) {
        m_exclusions = *request.exclusions;
        m_tally.source = request.exclusionsSource;
    }
}

bool BatchRequest::inWindowCivil(std::optional<int64_t> civil) const
{
    return civil && inWindow(CivilTime::utcOf(*civil));
}

ReadingValues readingValuesOf(QStringView timeText, QStringView levelText)
{
    ReadingValues values;
    values.time = CivilTime::parseStamp(timeText);
    values.level = classifyLevelText(levelText);
    values.energyLevel = energyLevelOf(levelText, values.level);
    return values;
}

void FileAnalysis::add(QStringView timeText, QStringView levelText)
{
    const ReadingValues v = readingValuesOf(timeText, levelText);
    add(timeText, v.time, levelText, v.level, v.energyLevel);
}

void FileAnalysis::add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
                       const LevelTextClass &level, std::optional<double> energy)
{
    add(timeText, time, levelText, level, energy, isDamagedLevel(levelText, level, energy));
}

void FileAnalysis::add(std::optional<int64_t> time, const LevelTextClass &level,
                       std::optional<double> energy, bool damaged)
{
    add({}, time, {}, level, energy, damaged);
}

bool FileAnalysis::excluded(int64_t utc, int64_t place, int64_t civil)
{
    if (!m_timedFirst || utc < *m_timedFirst)
        m_timedFirst = utc;
    if (!m_timedLast || utc > *m_timedLast)
        m_timedLast = utc;
    const int row = m_exclusions->rowAt(utc);
    if (row < 0)
        return false;
    const Exclusion &by = m_exclusions->rows()[size_t(row)];
    const size_t reason = size_t(by.reason);
    ++m_tally.readings;
    ++m_tally.byReason[reason];
    if (by.byRule)
        ++m_tally.byRule[reason];
    // By the interval's key here; finish() names each by its moment.
    if (m_intervals)
        ++m_intervalTally.at(m_tally.byInterval, m_intervals->keyOf(
                                                     m_intervals->splitsRepeatedHours() ? place
                                                                                        : civil))
              [reason];
    constexpr int64_t DayStart = 7 * 3600;
    ++m_dayTally.at(m_tally.byDay,
                    CivilTime::alignDown(civil - DayStart, CivilTime::SecondsPerDay) + DayStart)
          [reason];
    return true;
}

void FileAnalysis::add(QStringView timeText, std::optional<int64_t> time, QStringView levelText,
                       const LevelTextClass &level, std::optional<double> energy, bool damaged)
{
    // Each stamp is one moment in the site's zone: in the hour that repeats
    // the file's order tells the runs apart.
    int64_t place = 0;
    int64_t utc = 0;
    if (time) {
        m_hours.begin(*time, m_request.firstOffset);
        place = m_hours.place(*time);
        utc = CivilTime::utcOf(*time, m_hours.secondRun(place));
    }
    if (m_request.hasWindow() && !(time && m_request.inWindow(utc)))
        return;
    // Named by the reader; in no figure, not even as time measured.
    if (level.kind == LevelKind::Damaged)
        return;
    if (time) {
        // The span the readings cover, excluded ones too.
        if (!m_firstUtc)
            m_firstUtc = utc;
        m_lastUtc = utc;
        // Taken out: not measured, so in no figure and no coverage.
        const bool out = m_exclusions && excluded(utc, place, *time);
        // Excluded time holds no event: an event it cuts is marked so.
        if (m_events)
            m_events->add(utc, *time, energy, out);
        if (out)
            return;
        if (!m_first)
            m_first = time;
        m_last = time;
    }
    if (m_parts != Parts::Tables)
        m_statistics.add(time, level, energy, damaged, timeText, levelText);
    if (m_assessment && time)
        m_assessment->add(*time, energy);
    if (!m_intervals && !m_request.dayEveningNight)
        return;
    if (!time) {
        ++m_untimed;
        return;
    }
    if (m_intervals)
        m_intervals->add(m_intervals->splitsRepeatedHours() ? place : *time, level, energy);
    if (m_request.dayEveningNight)
        m_days.add(*time, energy);
}

FileReport FileAnalysis::finish(const QString &name, const DataFileContents &header) const
{
    FileReport report;
    report.name = name;
    report.statistics = m_statistics.finish(header);
    const double interval = report.statistics.interval;
    report.untimedReadings = m_untimed;
    if (const auto damaged = damagedLinesOf(name, header))
        report.damaged.push_back(*damaged);
    report.from = m_request.from;
    report.to = m_request.to;
    report.zone = m_request.zone;
    report.timeZone = m_request.timeZone;
    report.timeZoneSource = m_request.timeZoneSource;
    report.timeZoneNote = m_request.timeZoneNote;
    report.maxCheckAgeS = m_request.maxCheckAgeS;
    report.firstReading = m_first;
    report.lastReading = m_last;
    report.firstUtc = m_firstUtc;
    report.lastUtc = m_lastUtc;
    if (m_intervals) {
        report.intervalLength = m_request.intervalLength;
        // Lengths that cannot tell the runs of a repeated hour apart keep
        // civil keys.
        const RepeatedHours none;
        const RepeatedHours &hours = m_intervals->splitsRepeatedHours() ? m_hours : none;
        report.intervals = m_intervals->result(interval, hours);
        report.repeatedHour = m_hours.any() && m_intervals->splitsRepeatedHours();
        if (const std::optional<LimitSchedule> &limits = m_request.limits)
            judgeIntervals(report, limits->text(),
                           [&limits](int64_t t) { return limits->limitAtCivil(t); });
    }
    report.ambiguousTime = m_first && CivilTime::isRepeated(*m_first) && !m_hours.any();
    if (m_request.dayEveningNight) {
        report.withDayEveningNight = true;
        report.days = m_days.result(interval);
    }
    report.weatherData = m_request.weather;
    if (m_events)
        report.events = m_events->finish(interval);
    if (m_assessment)
        report.assessment = m_assessment->finish(m_request.assessment, interval);
    if (m_request.weather && m_firstUtc)
        report.weather = m_request.weather->summary(
            *m_firstUtc, *m_lastUtc + std::max<int64_t>(1, std::llround(interval)));
    if (m_exclusions) {
        report.exclusions = m_tally;
        if (m_intervals) {
            const RepeatedHours none;
            const RepeatedHours &hours = m_intervals->splitsRepeatedHours() ? m_hours : none;
            report.exclusions->byInterval.clear();
            for (const auto &[key, counts] : m_tally.byInterval)
                report.exclusions->byInterval[IntervalAccumulator::utcOfKey(key, hours)] = counts;
        }
        if (m_timedFirst)
            report.exclusions->listed = m_exclusions->rowsBetween(
                *m_timedFirst, *m_timedLast + std::max<int64_t>(1, std::llround(interval)));
    }
    return report;
}

void judgeIntervals(FileReport &report, const QString &limits, const LimitAt &limitAt)
{
    report.limits = limits;
    for (IntervalLevel &i : report.intervals)
        i.limit = i.gap ? std::nullopt : limitAt(i.start);
}

void attachMeasurementContext(FileReport &report, const QString &dataFilePath)
{
    MeasurementContext context = measurementContextOf(dataFilePath, report.firstReading,
                                                      report.lastReading, report.maxCheckAgeS);
    report.details = std::move(context.details);
    report.detailsProblem = std::move(context.detailsProblem);
    report.calibration = std::move(context.calibration);
}

QString excludedText(const FileReport &report)
{
    const ExclusionTally &x = *report.exclusions;
    if (x.readings == 0)
        return QStringLiteral("nothing");
    return QStringLiteral("%1 (%2 readings: %3)")
        .arg(spanText(report.excludedSeconds(x.readings)))
        .arg(x.readings)
        .arg(reasonsText(x.byReason, report.statistics.interval));
}

namespace {

QString exclusionMethodLine(const FileReport &report)
{
    const ExclusionTally &x = *report.exclusions;
    return QStringLiteral("Exclusions (%1, %2 of its spans touch the readings): readings in an "
                          "excluded span count as not measured, in no figure and no coverage; "
                          "where spans overlap, time counts once, for the span that starts "
                          "first. Excluded: %3.")
        .arg(!x.source.isEmpty() ? x.source
                 : report.weather    ? QStringLiteral("made by the weather rules")
                                     : QStringLiteral("made in the window"))
        .arg(x.listed.size())
        .arg(excludedText(report));
}

} // namespace

QString gapText(const FileReport &report, const IntervalLevel &gap)
{
    QString text = emptyStretchText(gap.elapsed());
    // A stretch emptied by exclusions says so.
    if (report.exclusions)
        if (const ReasonCounts within = ExclusionTally::within(report.exclusions->byInterval,
                                                               gap.startUtc(), gap.endUtc());
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
    return QString::number(value, 'f', 1);
}

QString tenthsOr(const std::optional<double> &value, const QString &missing)
{
    return value ? tenths(*value) : missing;
}

QString metres(const std::optional<double> &value)
{
    return tenthsOr(value, QStringLiteral("-")) + QStringLiteral(" m/s");
}

} // namespace

std::vector<std::pair<QString, QString>> weatherFacts(const FileReport &report)
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
        facts.emplace_back(QStringLiteral("Highest gust"),
                           QStringLiteral("%1 (%2)").arg(metres(w.gustMax),
                                                         CivilTime::isoOfUtc(w.gustMaxAt)));
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

QStringList weatherLines(const FileReport &report)
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

QStringList weatherCsvFields(const FileReport &report, int64_t from, int64_t to)
{
    if (!report.weatherData)
        return { QString(), QString(), QString() };
    const WeatherRow w = report.weatherData->over(from, to);
    return { tenthsOr(w.windSpeed, {}), tenthsOr(w.windGust, {}), tenthsOr(w.rain, {}) };
}

QString weatherJsonFields(const FileReport &report, int64_t from, int64_t to)
{
    if (!report.weatherData)
        return {};
    const WeatherRow w = report.weatherData->over(from, to);
    const QString null = QStringLiteral("null");
    return QStringLiteral(", \"wind_speed_mean\": %1, \"wind_gust_max\": %2, \"rain\": %3")
        .arg(tenthsOr(w.windSpeed, null), tenthsOr(w.windGust, null), tenthsOr(w.rain, null));
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
        std::stable_sort(shown.begin(), shown.end(), [](const NoiseEvent &a, const NoiseEvent &b) {
            return a.lmax > b.lmax;
        });
        shown.resize(size_t(listed));
        std::sort(shown.begin(), shown.end(),
                  [](const NoiseEvent &a, const NoiseEvent &b) { return a.start < b.start; });
    }
    return shown;
}

QStringList eventCells(const NoiseEvent &event)
{
    return { CivilTime::isoOfUtc(event.start), CivilTime::isoOfUtc(event.end),
             spanText(double(event.duration())), tenths(event.lmax),
             CivilTime::isoOfUtc(event.lmaxAt), tenths(event.sel), periodName(event.period),
             event.cut ? QStringLiteral("cut") : QString() };
}

QStringList eventDayHeaders(const FileReport &report)
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

std::vector<QStringList> eventDayCells(const FileReport &report)
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
        .arg(tenths(runs.level), spanText(double(e.minDuration)), spanText(double(e.rules.gap)))
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

QStringList eventSummaryLines(const FileReport &report)
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

QStringList eventLines(const FileReport &report, int listed)
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

QString eventsJsonFields(const FileReport &report)
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

QString eventsCsv(const std::vector<FileReport> &reports)
{
    QStringList out { QStringLiteral("file,start,end,duration_s,lmax,lmax_time,sel,period,cut") };
    for (const FileReport &r : reports) {
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
    return tenthsOr(value, QStringLiteral("-"));
}

QString dbJson(const std::optional<double> &value)
{
    return tenthsOr(value, QStringLiteral("null"));
}

QString periodWhere(const PeriodVerdict &p)
{
    return QStringLiteral("%1 %2").arg(CivilTime::toIso(p.day).left(10), periodName(p.period));
}

} // namespace

std::vector<QStringList> assessmentCells(const FileReport &report)
{
    if (!report.assessment)
        return {};
    std::vector<QStringList> rows;
    for (const PeriodVerdict &p : report.assessment->periods)
        rows.push_back({ CivilTime::toIso(p.day).left(10), periodName(p.period), dbText(p.leq),
                         dbText(p.l90), dbText(p.lmax),
                         QString::number(100.0 * p.coverage, 'f', 1), dbText(p.limit),
                         dbText(p.margin), p.verdictText(),
                         p.deciding ? QStringLiteral("yes") : QString() });
    return rows;
}

QString assessmentRule(const FileReport &report)
{
    const AssessmentReport &a = *report.assessment;
    return QStringLiteral("Assessment against %1 (a period needs %2 % coverage for a verdict; "
                          "apart from that, a day under 90 % is partial)")
        .arg(a.limits, QString::number(100.0 * a.minCoverage, 'f', 0));
}

QString assessmentSummary(const FileReport &report)
{
    const AssessmentReport &a = *report.assessment;
    QString summary = QStringLiteral("%1 of %2 periods judged failed").arg(a.failed).arg(a.judged);
    if (a.worst)
        summary += QStringLiteral("; the smallest margin %1 dB (%2)")
                       .arg(dbText(a.worst->margin), periodWhere(*a.worst));
    return summary;
}

QStringList assessmentLines(const FileReport &report)
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

QString assessmentJson(const FileReport &report)
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

QString assessmentCsv(const std::vector<FileReport> &reports)
{
    QStringList out { QStringLiteral("file,day_start,period,start,end,readings,coverage,leq,l90,"
                                     "lmax,limit,margin,verdict,deciding") };
    const auto field = [](const std::optional<double> &v) { return tenthsOr(v, {}); };
    for (const FileReport &r : reports) {
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

QStringList exclusionLines(const FileReport &report)
{
    if (!report.exclusions)
        return {};
    QStringList lines { QStringLiteral("Excluded: %1").arg(excludedText(report)) };
    for (const Exclusion &e : report.exclusions->listed)
        lines << QStringLiteral("  %1 to %2  %3  %4%5")
                     .arg(CivilTime::isoOfUtc(e.start), CivilTime::isoOfUtc(e.end),
                          spanText(double(e.duration())), exclusionReasonText(e.reason),
                          e.note.isEmpty() ? QString() : QStringLiteral("  ") + e.note);
    return lines;
}

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

QStringList exclusionCsvFields(const FileReport &report, const ReasonCounts &counts)
{
    const double interval = report.statistics.interval;
    return { QString::number(double(totalOf(counts)) * interval), reasonSeconds(counts, interval) };
}

} // namespace

QStringList reportMethod(const FileReport &report, MethodRules rules)
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

std::optional<DamagedLines> damagedLinesOf(const QString &name, const DataFileContents &contents)
{
    if (contents.damagedLines <= 0)
        return std::nullopt;
    return DamagedLines { name, contents.damagedLines, contents.firstDamagedLine };
}

QString damagedLine(const DamagedLines &damaged)
{
    return QStringLiteral("%1: %2").arg(
        damaged.file, DataFileReader::damagedLinesMessage(damaged.count, damaged.firstLine));
}

qint64 FileReport::damagedLineCount() const
{
    qint64 count = 0;
    for (const DamagedLines &d : damaged)
        count += d.count;
    return count;
}

QStringList troubleLines(const FileReport &report)
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

FileReport analyseFile(const QString &name, const DataFileContents &file,
                       const BatchRequest &request)
{
    FileAnalysis analysis(request);
    for (qsizetype i = 0; i < file.rows.count(); ++i)
        analysis.add(file.time(i), file.level(i));
    return analysis.finish(name, file);
}

QString jsonString(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

QStringView fieldTextOf(QByteArrayView bytes, QString &buffer)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            buffer = DataFileReader::decodeField(bytes);
            return buffer;
        }
    }
    buffer.resize(bytes.size());
    QChar *out = buffer.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QLatin1Char(bytes[i]);
    return buffer;
}

std::pair<FileReport, DataFileContents> analyseStream(const QString &name, QIODevice &device,
                                                      const BatchRequest &request)
{
    FileAnalysis analysis(request);
    QString time;
    QString level;
    DataFileContents header = DataFileReader::scan(
        device, [&](const DataFileContents &, const DataFileReader::RowBytes *row) {
            if (row)
                analysis.add(fieldTextOf(row->time, time), fieldTextOf(row->level, level));
        });
    return { analysis.finish(name, header), std::move(header) };
}

namespace {

QString kindName(DataFileKind kind)
{
    switch (kind) {
    case DataFileKind::RealTime:
        return QStringLiteral("Real Time");
    case DataFileKind::DataLogger:
        return QStringLiteral("Data Logger");
    case DataFileKind::Headerless:
        break;
    }
    return QStringLiteral("headerless list");
}

// Two decimals with a point, whatever the locale.
QString fixed2(double v)
{
    // "inf" and "nan" are no numbers to a reader of the output.
    return std::isfinite(v) ? QString::number(v, 'f', 2) : QString();
}
QString fixed2(const std::optional<double> &v)
{
    return v ? fixed2(*v) : QString();
}
QString tenths(const std::optional<double> &v)
{
    const QString text = v ? FormatTenths(*v) : QString();
    return text.isEmpty() ? QStringLiteral("-") : text;
}
QString isoStart(const IntervalLevel &i)
{
    return CivilTime::toIso(i.start) + CivilTime::offsetText(i.startOffset);
}
QString isoEnd(const IntervalLevel &i)
{
    return CivilTime::toIso(i.end) + CivilTime::offsetText(i.endOffset);
}
QString percent(double share)
{
    return QString::number(100.0 * share, 'f', 1) + QLatin1Char('%');
}
double shareOf(qint64 part, qint64 whole)
{
    return whole > 0 ? double(part) / double(whole) : 0.0;
}
QString isoOfStamp(const QString &stamp)
{
    const auto t = CivilTime::parseStamp(stamp);
    return t ? CivilTime::toIsoWithOffset(*t) : stamp;
}

double lnValue(const ListDistribution &d, int m)
{
    const int k = d.LnClass[size_t(m)];
    return d.mode == ResolutionMode::Tenth ? k / 10.0 : double(k);
}

// ---- text ---------------------------------------------------------------

void appendText(QStringList &out, const FileReport &r)
{
    const FileStatistics &s = r.statistics;
    if (r.joined.empty()) {
        out << QStringLiteral("File: %1 (%2)").arg(r.name, kindName(s.kind));
        if (!s.storedBoards.empty()) {
            out << QStringLiteral("Stored in the header:");
            for (const auto &[caption, text] : s.storedBoards)
                out << QStringLiteral("  %1 %2").arg(caption + QLatin1Char(':'), -14).arg(text);
        }
    } else {
        out << QStringLiteral("Series of %1 files joined in time order:").arg(r.joined.size());
        for (const JoinedFile &f : r.joined) {
            out << QStringLiteral("File: %1 (%2), %3 readings, %4 to %5")
                       .arg(f.name, kindName(f.kind))
                       .arg(f.readings)
                       .arg(f.first ? CivilTime::toIsoWithOffset(*f.first) : QStringLiteral("-"),
                            f.last ? CivilTime::toIsoWithOffset(*f.last) : QStringLiteral("-"));
            if (!f.storedBoards.empty()) {
                out << QStringLiteral("  Stored in the header:");
                for (const auto &[caption, text] : f.storedBoards)
                    out << QStringLiteral("    %1 %2")
                               .arg(caption + QLatin1Char(':'), -14)
                               .arg(text);
            }
        }
    }
    out << QStringLiteral("Recomputed from %1 readings:").arg(s.readings);
    out << QStringLiteral("  %1 %2").arg(QStringLiteral("Leq:"), -14).arg(tenths(s.leq));
    out << QStringLiteral("  %1 %2").arg(QStringLiteral("SEL:"), -14).arg(tenths(s.sel));
    if (s.maximum)
        out << QStringLiteral("  %1 %2  %3")
                   .arg(QStringLiteral("Maximum:"), -14)
                   .arg(s.maximum->text, s.maximum->time);
    if (s.minimum)
        out << QStringLiteral("  %1 %2  %3")
                   .arg(QStringLiteral("Minimum:"), -14)
                   .arg(s.minimum->text, s.minimum->time);
    out << QStringLiteral("  %1 %2 s")
               .arg(QStringLiteral("Interval:"), -14)
               .arg(QString::number(s.interval));
    out << QStringLiteral("  Marked %1 (%2), under range %3 (%4), over range %5 (%6)")
               .arg(s.marked)
               .arg(percent(shareOf(s.marked, s.readings)))
               .arg(s.underRange)
               .arg(percent(shareOf(s.underRange, s.readings)))
               .arg(s.overRange)
               .arg(percent(shareOf(s.overRange, s.readings)));
    const ListDistribution &d = s.distribution;
    if (d.hasReadings()) {
        out << QStringLiteral("L table (%1 classes):")
                   .arg(d.mode == ResolutionMode::Tenth ? QStringLiteral("0.1 dB")
                                                        : QStringLiteral("1 dB"));
        QString header = QStringLiteral("        ");
        for (int col = 0; col < 10; ++col)
            header += QStringLiteral("%1").arg(col, 7);
        out << header;
        for (int row = 0; row < 10; ++row) {
            QString line = QStringLiteral("  L(%1)").arg(row * 10, 2, 10, QLatin1Char('0'));
            for (int col = 0; col < 10; ++col)
                line += QStringLiteral("%1").arg(d.LnTable.value(row * 10 + col), 7);
            out << line;
        }
    } else {
        out << QStringLiteral("L table: no readings to count.");
    }
    if (r.intervalLength) {
        out << QStringLiteral("Intervals of %1 s:").arg(*r.intervalLength);
        QString header = QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8")
                             .arg(QStringLiteral("Start"), -25)
                             .arg(QStringLiteral("Leq"), 6)
                             .arg(QStringLiteral("Lmax"), 6)
                             .arg(QStringLiteral("Lmin"), 6)
                             .arg(QStringLiteral("L10"), 6)
                             .arg(QStringLiteral("L50"), 6)
                             .arg(QStringLiteral("L90"), 6)
                             .arg(QStringLiteral("Covered"), 8);
        if (r.withLimits())
            header += QStringLiteral(" %1 State").arg(QStringLiteral("Limit"), 6);
        out << header;
        const auto dashed = [](const QString &t) { return t.isEmpty() ? QStringLiteral("-") : t; };
        for (const IntervalLevel &i : r.intervals) {
            const QString start = isoStart(i);
            if (i.gap) {
                out << QStringLiteral("  %1 %2").arg(start, -25).arg(gapText(r, i));
                continue;
            }
            QString line = QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8")
                               .arg(start, -25)
                               .arg(tenths(i.leq), 6)
                               .arg(tenths(i.lmax), 6)
                               .arg(tenths(i.lmin), 6)
                               .arg(dashed(i.l10), 6)
                               .arg(dashed(i.l50), 6)
                               .arg(dashed(i.l90), 6)
                               .arg(percent(i.coverage), 8);
            if (r.withLimits())
                line += QStringLiteral(" %1 %2")
                            .arg(i.limit ? QString::number(*i.limit) : QStringLiteral("-"), 6)
                            .arg(i.limit ? i.stateText() : QStringLiteral("-"));
            out << line;
        }
    }
    if (r.withDayEveningNight) {
        if (r.days.empty()) {
            out << QStringLiteral("Lden: no reading has a readable time stamp.");
        } else {
            out << QStringLiteral("Day-evening-night levels (day 07-19, evening 19-23 +5 dB, "
                                  "night 23-07 +10 dB):");
            for (const DayEveningNight &den : r.days) {
                if (den.gap) {
                    out << QStringLiteral("  %1  %2")
                               .arg(CivilTime::toIsoWithOffset(den.start),
                                    emptyStretchText(den.elapsed()));
                    continue;
                }
                out << QStringLiteral("  %1  Ld %2 (%3)  Le %4 (%5)  Ln %6 (%7)  Lden %8%9")
                           .arg(CivilTime::toIsoWithOffset(den.start), tenths(den.ld),
                                percent(den.coverageDay), tenths(den.le),
                                percent(den.coverageEvening), tenths(den.ln),
                                percent(den.coverageNight), tenths(den.lden),
                                den.partial ? QStringLiteral("  partial") : QString());
            }
        }
    }
    if (r.untimedReadings > 0)
        out << QStringLiteral("  %1 readings without a readable time stamp are left out of the "
                              "interval levels.")
                   .arg(r.untimedReadings);
    if (r.details && !r.details->isEmpty()) {
        out << QStringLiteral("Measurement details:");
        // Notes keep their line breaks, each further line under the first.
        const QString indent(2 + 15, QLatin1Char(' '));
        for (const auto &[label, value] : r.details->fields())
            out << QStringLiteral("  %1 %2")
                       .arg(label + QLatin1Char(':'), -14)
                       .arg(QString(value).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent));
    }
    if (!r.detailsProblem.isEmpty())
        out << QStringLiteral("  ") + r.detailsProblem;
    if (r.calibration) {
        const CalibrationVerdict &c = *r.calibration;
        out << QStringLiteral("Calibration: %1 (tolerance %2 dB)")
                   .arg(c.text(), QString::number(c.tolerance, 'f', 1));
        out << QStringLiteral("  %1 %2")
                   .arg(QStringLiteral("Meter:"), -14)
                   .arg(c.meterSerial.isEmpty()
                            ? QStringLiteral("any (no meter serial in the details)")
                            : c.meterSerial + QStringLiteral(" (only its checks count)"));
        const auto check = [&out](const QString &label, const CalibrationRecord &k,
                                  const QString &age) {
            out << QStringLiteral("  %1 %2  %3 dB on %4 dB, deviation %5 dB%6")
                       .arg(label, -14)
                       .arg(CivilTime::toIsoWithOffset(k.time), QString::number(k.mean, 'f', 2),
                            QString::number(k.calibratorLevel, 'f', 1),
                            signedHundredthsText(k.deviation),
                            age.isEmpty() ? QString() : QStringLiteral(", ") + age);
        };
        if (c.before)
            check(QStringLiteral("Check before:"), *c.before,
                  checkAgeText(*c.beforeAgeS) + QStringLiteral(" before the first reading"));
        else
            out << QStringLiteral("  %1 no check").arg(QStringLiteral("Check before:"), -14);
        for (const CalibrationRecord &k : c.during)
            check(QStringLiteral("Check during:"), k, QString());
        if (c.after)
            check(QStringLiteral("Check after:"), *c.after,
                  checkAgeText(*c.afterAgeS) + QStringLiteral(" after the last reading"));
        else
            out << QStringLiteral("  %1 no check").arg(QStringLiteral("Check after:"), -14);
        if (c.drift)
            out << QStringLiteral("  %1 %2 dB")
                       .arg(QStringLiteral("Drift:"), -14)
                       .arg(signedHundredthsText(*c.drift));
        if (c.maxAgeS)
            out << QStringLiteral("  %1 %2")
                       .arg(QStringLiteral("Max age:"), -14)
                       .arg(checkAgeText(*c.maxAgeS));
        if (c.kind == CalibrationVerdict::NotVerified)
            out << QStringLiteral("  %1 %2")
                       .arg(QStringLiteral("Why:"), -14)
                       .arg(c.notVerifiedWhy());
    }
    for (const QString &line : troubleLines(r))
        out << line;
    out << exclusionLines(r);
    out << weatherLines(r);
    out << eventLines(r);
    out << assessmentLines(r);
    out << QStringLiteral("Method:");
    for (const QString &line : reportMethod(r))
        out << QStringLiteral("  ") + line;
    out << QString();
}

// ---- CSV ----------------------------------------------------------------

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString formatCsv(const std::vector<FileReport> &reports)
{
    QStringList out;
    const bool intervals = !reports.empty() && reports.front().intervalLength.has_value();
    const bool days = !reports.empty() && reports.front().withDayEveningNight;
    // One table with one header: the interval and day rows keep their
    // columns (the station's interval tables share them) and carry the file's
    // calibration verdict at their end.
    // Excluded time and its reasons in seconds, on each row when an
    // exclusions file applied: the row's own, the file's in the summary.
    const bool excluded = std::any_of(reports.begin(), reports.end(),
                                      [](const FileReport &r) { return r.exclusions.has_value(); });
    const QString excludedHeader
        = excluded ? QStringLiteral(",excluded_s,excluded_reasons") : QString();
    const auto excludedFields = [excluded](const FileReport &r, const ReasonCounts &counts) {
        if (!excluded)
            return QStringList();
        return r.exclusions ? exclusionCsvFields(r, counts) : QStringList { QString(), QString() };
    };
    const auto totals = [](const FileReport &r) {
        return r.exclusions ? r.exclusions->byReason : ReasonCounts {};
    };
    const QString verdictHeader = QStringLiteral(",calibration_verdict,drift_db,details_problem");
    const auto verdictFields = [](const FileReport &r) {
        return QStringList { r.calibration ? r.calibration->name() : QString(),
                             r.calibration ? fixed2(r.calibration->drift) : QString(),
                             r.detailsProblem };
    };
    // The weather's columns, when weather applies to any file.
    const bool weather = std::any_of(reports.begin(), reports.end(),
                                     [](const FileReport &r) { return r.weatherData != nullptr; });
    const QString weatherHeader
        = weather ? QStringLiteral(",wind_speed_mean,wind_gust_max,rain") : QString();
    const auto weatherFields = [weather](const FileReport &r, int64_t from, int64_t to) {
        return weather ? weatherCsvFields(r, from, to) : QStringList {};
    };
    if (intervals) {
        const bool limits = reports.front().withLimits();
        out << intervalCsvHeader() + (limits ? limitCsvHeader() : QString()) + excludedHeader
                + weatherHeader + verdictHeader;
        for (const FileReport &r : reports) {
            const CivilTime::ZoneScope zone(r.zone);
            for (const IntervalLevel &i : r.intervals) {
                QStringList row = intervalCsvFields(r.name, i);
                if (limits)
                    row << limitCsvFields(i);
                row << excludedFields(
                    r,
                    r.exclusions
                        ? ExclusionTally::within(r.exclusions->byInterval, i.startUtc(), i.endUtc())
                        : ReasonCounts {});
                row << weatherFields(r, i.startUtc(), i.endUtc());
                out << csvRow(row << verdictFields(r));
            }
        }
    } else if (days) {
        out << QStringLiteral("file,day_start,ld,le,ln,lden,coverage_day,coverage_evening,"
                              "coverage_night,partial")
                + excludedHeader + weatherHeader + verdictHeader;
        for (const FileReport &r : reports) {
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
        for (const FileReport &r : reports) {
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

// ---- JSON ---------------------------------------------------------------

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

QString exclusionsJson(const FileReport &r)
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

QString weatherJson(const FileReport &r)
{
    const WeatherSummary &w = *r.weather;
    const auto value = [](const std::optional<double> &v) {
        return tenthsOr(v, QStringLiteral("null"));
    };
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

QString jsonReport(const FileReport &r)
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

} // namespace

QString csvRow(const QStringList &fields)
{
    QStringList escaped;
    for (const QString &f : fields)
        escaped << csvField(f);
    return escaped.join(QLatin1Char(','));
}

QStringList csvLineFields(QStringView line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == QLatin1Char(',') && !quoted) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

QString intervalJsonFields(const IntervalLevel &i)
{
    const auto classNumber = [](const QString &t) {
        return t.isEmpty() ? QStringLiteral("null") : fixed2(t.toDouble());
    };
    return QStringLiteral("\"start\": %1, \"end\": %2, \"readings\": %3, \"coverage\": %4, "
                          "\"leq\": %5, \"lmax\": %6, \"lmin\": %7, \"l10\": %8, \"l50\": %9, "
                          "\"l90\": %10%11")
        .arg(jsonString(isoStart(i)), jsonString(isoEnd(i)), QString::number(i.readings),
             fixed2(i.coverage), jsonNumber(i.leq), jsonNumber(i.lmax), jsonNumber(i.lmin),
             classNumber(i.l10), classNumber(i.l50))
        .arg(classNumber(i.l90), i.gap ? QStringLiteral(", \"gap\": true") : QString());
}

QString intervalCsvHeader()
{
    return QStringLiteral("file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90");
}

QString limitCsvHeader()
{
    return QStringLiteral(",limit,state");
}

QStringList limitCsvFields(const IntervalLevel &i)
{
    return { i.limit ? QString::number(*i.limit) : QString(), i.stateText() };
}

QStringList intervalCsvFields(const QString &file, const IntervalLevel &i)
{
    const auto classText
        = [](const QString &t) { return t.isEmpty() ? QString() : fixed2(t.toDouble()); };
    return { file,
             isoStart(i),
             isoEnd(i),
             QString::number(i.readings),
             fixed2(i.coverage),
             fixed2(i.leq),
             fixed2(i.lmax),
             fixed2(i.lmin),
             classText(i.l10),
             classText(i.l50),
             classText(i.l90) };
}

QString formatReports(const std::vector<FileReport> &reports, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Csv:
        return formatCsv(reports);
    case OutputFormat::Json: {
        QStringList items;
        for (const FileReport &r : reports) {
            const CivilTime::ZoneScope zone(r.zone);
            items << jsonReport(r);
        }
        return QStringLiteral("[\n") + items.join(QStringLiteral(",\n")) + QStringLiteral("\n]\n");
    }
    case OutputFormat::Text:
        break;
    }
    QStringList out;
    for (const FileReport &r : reports) {
        const CivilTime::ZoneScope zone(r.zone);
        appendText(out, r);
    }
    return out.join(QLatin1Char('\n'));
}
