#include "Report.h"
#include "analysis/Wording.h"

#include "ReportReadings.h"
#include "analysis/engine/FileSeries.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"
#include "recording/FormatTenths.h"

#include <algorithm>
#include <cmath>
#include <limits>

#ifndef VORN_VERSION
#define VORN_VERSION "0"
#endif

namespace {

constexpr int64_t Day = 86400;

QString kindText(DataFileKind kind)
{
    switch (kind) {
    case DataFileKind::RealTime:
        return QStringLiteral("Real Time recording");
    case DataFileKind::DataLogger:
        return QStringLiteral("Data Logger set");
    case DataFileKind::Headerless:
        break;
    }
    return QStringLiteral("List without header");
}

QString sourceText(IntervalSource source)
{
    switch (source) {
    case IntervalSource::Header:
        return QStringLiteral("from the file header");
    case IntervalSource::TimeStamps:
        return QStringLiteral("from the time stamps");
    case IntervalSource::Assumed:
        break;
    }
    return QStringLiteral("assumed, the file gives none");
}

QString withUnit(const QString &level)
{
    return level.startsWith(QChar(0x2014)) ? level : level + QStringLiteral(" dB");
}

QString shareText(qint64 part, qint64 whole)
{
    if (whole <= 0)
        return QString();
    if (part > 0 && 1000 * part < whole)
        return QStringLiteral("< 0.1 %");
    return QString::number(100.0 * double(part) / double(whole), 'f', 1) + QStringLiteral(" %");
}

QString dash()
{
    return Wording::missing(Wording::Missing::EmDash);
}

QString orDash(const QString &text)
{
    return text.isEmpty() ? dash() : text;
}

void addDistribution(ReportSection &section, const FileStatistics &s)
{
    const ListDistribution &d = s.distribution;
    section.countedSamples = d.ListSampleCount;
    section.lnResolution
        = d.mode == ResolutionMode::Tenth ? QStringLiteral("0.1 dB") : QStringLiteral("1 dB");
    if (!d.hasReadings())
        return;
    section.lnTexts = d.LnTable;
    // Under- and over-range readings are counted at 25 and 145 dB; drawn
    // there they would squeeze the real levels into a corner, so the bars
    // leave them out and the cumulative curve starts from their share.
    auto counts = d.ListWholeCounts;
    counts[ListDistribution::UnderRangeWholeClass] -= s.underRange;
    counts[ListDistribution::OverRangeWholeClass] -= s.overRange;
    if (s.underRange > 0 || s.overRange > 0)
        section.distributionNote = QStringLiteral("Not drawn: %1 under-range readings (counted "
                                                  "at 25 dB) and %2 over-range readings "
                                                  "(counted at 145 dB).")
                                       .arg(s.underRange)
                                       .arg(s.overRange);
    int first = 0;
    int last = int(counts.size()) - 1;
    while (first < last && counts[size_t(first)] == 0)
        ++first;
    while (last > first && counts[size_t(last)] == 0)
        --last;
    const double n = double(d.ListSampleCount);
    if (counts[size_t(first)] == 0)
        return; // only under- and over-range readings
    qint64 running = s.underRange;
    for (int k = first; k <= last; ++k) {
        running += counts[size_t(k)];
        section.bars.push_back(
            { k, 100.0 * double(counts[size_t(k)]) / n, 100.0 * double(running) / n });
    }
    const double scale = d.mode == ResolutionMode::Tenth ? 10.0 : 1.0;
    for (const int m : { 5, 50, 95 })
        section.percentileMarks.push_back(
            { QStringLiteral("L%1").arg(m), d.LnClass[size_t(m)] / scale, d.LnTable.value(m) });
}

} // namespace

QString levelText(const std::optional<double> &value)
{
    return Wording::orMissing(value, Wording::tenthsCut, Wording::Missing::EmDash);
}

QString reportDateText(const QDateTime &when)
{
    return QStringLiteral("Report date: ") + when.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString programVersionText()
{
    return QStringLiteral("VORN " VORN_VERSION);
}

QString pageNumberText(int page, int pages)
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages);
}

void addMeasurementContext(ReportSection &section, const FileFigures &analysed)
{
    if (analysed.details)
        for (const auto &[label, value] : analysed.details->fields())
            section.details.push_back({ label, value, {} });
    if (!analysed.detailsProblem.isEmpty())
        section.notes << analysed.detailsProblem;
    if (!analysed.calibration)
        return;
    const CalibrationVerdict &c = *analysed.calibration;
    const auto check
        = [&](const QString &label, const std::optional<CalibrationRecord> &k, const QString &age) {
              if (!k) {
                  section.calibration.push_back({ label, QStringLiteral("no check"), {} });
                  return;
              }
              // "94.05 dB (+0.05)": the mean and its deviation from the calibrator.
              QString when = k->time.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
              if (!age.isEmpty())
                  when += QStringLiteral(", ") + age;
              section.calibration.push_back(
                  { label,
                    QStringLiteral("%1 dB (%2)")
                        .arg(QString::number(k->mean, 'f', 2), signedHundredthsText(k->deviation)),
                    when });
          };
    check(QStringLiteral("Check before"), c.before,
          c.beforeAgeS
              ? Wording::roughDuration(*c.beforeAgeS) + QStringLiteral(" before the first reading")
              : QString());
    for (const CalibrationRecord &during : c.during)
        check(QStringLiteral("Check during"), during, QString());
    check(QStringLiteral("Check after"), c.after,
          c.afterAgeS
              ? Wording::roughDuration(*c.afterAgeS) + QStringLiteral(" after the last reading")
              : QString());
    section.calibration.push_back(
        { QStringLiteral("Drift"),
          c.drift ? signedHundredthsText(*c.drift) + QStringLiteral(" dB") : QStringLiteral("—"),
          {} });
    section.calibration.push_back({ QStringLiteral("Tolerance"),
                                    QString::number(c.tolerance, 'f', 1) + QStringLiteral(" dB"),
                                    {} });
    if (!c.meterSerial.isEmpty())
        section.calibration.push_back(
            { QStringLiteral("Meter"), c.meterSerial, QStringLiteral("only its checks count") });
    section.calibration.push_back({ QStringLiteral("Verdict"), c.text(), {} });
    if (c.kind == CalibrationVerdict::Outside)
        section.calibrationAlert
            = QStringLiteral("Calibration outside tolerance: the checks differ from the "
                             "calibrator or from each other by more than %1 dB.")
                  .arg(QString::number(c.tolerance, 'f', 1));
    else if (c.kind == CalibrationVerdict::NotVerified)
        section.calibrationAlert
            = QStringLiteral("Calibration not verified: %1.").arg(c.notVerifiedWhy());
}

void addAssessment(ReportSection &section, const FileFigures &analysed)
{
    for (const auto &[label, value] : weatherFacts(analysed))
        section.weather.push_back({ label, value, {} });
    const TimeHistory &h = section.history;
    if (analysed.weatherData && h.axis == HistoryAxis::ClockTime && h.firstTime) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (const WeatherRow &row : analysed.weatherData->rows) {
            const int fromOffset = CivilTime::offsetOfUtc(row.start);
            const int toOffset = CivilTime::offsetOfUtc(row.end);
            section.weatherSpans.push_back({ h.placeOf(row.start + fromOffset, fromOffset),
                                             h.placeOf(row.end + toOffset, toOffset),
                                             row.windSpeed.value_or(nan),
                                             row.windGust.value_or(nan), row.rain.value_or(nan) });
        }
    }
    if (!analysed.weather && !analysed.events && !analysed.assessment)
        return;
    const double interval = analysed.statistics.interval;

    ReportTable measurement { QStringLiteral("Measurement"),
                              analysed.assessment ? assessmentRule(analysed) + QLatin1Char('.')
                                                  : QString() };
    measurement.fields = section.details;
    measurement.fields.push_back({ QStringLiteral("Sampling interval"),
                                   QString::number(interval) + QStringLiteral(" s"),
                                   {} });
    for (const ReportField &board : section.storedBoards)
        if (board.label.contains(QLatin1String("Weight")))
            measurement.fields.push_back(board);
    const bool zoneGiven
        = std::any_of(section.details.begin(), section.details.end(),
                      [](const ReportField &f) { return f.label == QLatin1String("Time zone"); });
    if (!analysed.timeZone.isEmpty() && !zoneGiven)
        measurement.fields.push_back({ QStringLiteral("Time zone"), analysed.timeZone, {} });
    section.assessment.push_back(measurement);

    if (!section.calibration.empty())
        section.assessment.emplace_back(QStringLiteral("Calibration"), section.calibrationAlert,
                                        section.calibration);

    ReportTable weather { QStringLiteral("Weather") };
    weather.fields = section.weather;
    if (weather.fields.empty())
        weather.subtitle = QStringLiteral("No weather data: nothing is known of wind and rain "
                                          "during the measurement.");
    else
        weather.subtitle = QStringLiteral("Time without weather data is neither excluded nor "
                                          "valid by rule.");
    section.assessment.push_back(weather);

    if (analysed.exclusions) {
        const ExclusionTally &x = *analysed.exclusions;
        ReportTable excluded { QStringLiteral("Excluded time"),
                               QStringLiteral("Excluded: %1.").arg(excludedText(analysed)) };
        excluded.headers = { QStringLiteral("Reason"), QStringLiteral("By hand"),
                             QStringLiteral("By the weather rules"), QStringLiteral("Total") };
        excluded.widths = { 54, 40, 40, 40 };
        const auto span = [interval](qint64 readings) {
            return readings > 0 ? Wording::partsDuration(double(readings) * interval)
                                : QStringLiteral("—");
        };
        for (int r = 0; r < ExclusionReasonCount; ++r) {
            if (x.byReason[size_t(r)] == 0)
                continue;
            excluded.rows.push_back({ exclusionReasonText(ExclusionReason(r)),
                                      span(x.byReason[size_t(r)] - x.byRule[size_t(r)]),
                                      span(x.byRule[size_t(r)]), span(x.byReason[size_t(r)]) });
        }
        section.assessment.push_back(excluded);
    }

    if (analysed.assessment) {
        ReportTable periods { QStringLiteral("Verdict per period"),
                              assessmentSummary(analysed)
                                  + QStringLiteral(
                                      ". Per 24 h from 07:00; L90 is the background; the margin is "
                                      "the limit less Leq; coverage in %.") };
        periods.headers
            = { QStringLiteral("Day"),    QStringLiteral("Period"), QStringLiteral("Leq"),
                QStringLiteral("L90"),    QStringLiteral("Lmax"),   QStringLiteral("Covered"),
                QStringLiteral("Limit"),  QStringLiteral("Margin"), QStringLiteral("Verdict"),
                QStringLiteral("Decides") };
        periods.widths = { 22, 17, 13, 13, 13, 18, 13, 16, 31, 18 };
        periods.leftColumns = 2;
        periods.rows = assessmentCells(analysed);
        const auto &verdicts = analysed.assessment->periods;
        for (int i = 0; i < int(verdicts.size()); ++i)
            if (verdicts[size_t(i)].verdict == PeriodVerdict::Verdict::Fail)
                periods.marked.push_back(i);
        section.assessment.push_back(periods);
    }

    if (analysed.events) {
        ReportTable counts { QStringLiteral("Events and number above per day") };
        counts.subtitle = eventSummaryLines(analysed).join(QStringLiteral(". "))
            + QStringLiteral(". Per 24 h from 07:00.");
        counts.headers = eventDayHeaders(analysed);
        const double rest = ReportLayout::TableWidthMm - 30.0;
        counts.widths = { 30 };
        for (qsizetype c = 1; c < counts.headers.size(); ++c)
            counts.widths.push_back(rest / double(counts.headers.size() - 1));
        counts.rows = eventDayCells(analysed);
        section.assessment.push_back(counts);

        if (analysed.events->events && analysed.events->events->count() > 0) {
            constexpr int Listed = 20;
            const RunsAbove &runs = *analysed.events->events;
            ReportTable loudest { runs.count() > Listed
                                      ? QStringLiteral("The %1 loudest events").arg(Listed)
                                      : QStringLiteral("Noise events") };
            loudest.headers
                = { QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Length"),
                    QStringLiteral("Lmax"),  QStringLiteral("SEL"), QStringLiteral("Period"),
                    QStringLiteral("Cut") };
            loudest.widths = { 50, 50, 20, 13, 13, 16, 12 };
            loudest.leftColumns = 2;
            for (const NoiseEvent &event : loudestEvents(runs, Listed)) {
                const QStringList c = eventCells(event);
                loudest.rows.push_back({ c[0], c[1], c[2], c[3], c[5], c[6], c[7] });
            }
            section.assessment.push_back(loudest);
        }
    }
}

namespace {

// The exclusions page's rows and the spans shaded in the time history.
void addExclusions(ReportSection &section, const FileFigures &analysed, const TimeHistory &h)
{
    const ExclusionTally &x = *analysed.exclusions;
    const double interval = analysed.statistics.interval;
    section.withExclusions = true;
    section.excludedText
        = QStringLiteral("Excluded from every figure: %1. Source: %2.")
              .arg(excludedText(analysed),
                   x.source.isEmpty() ? QStringLiteral("the series window") : x.source);
    for (const Exclusion &e : x.listed)
        section.exclusionRows.push_back({ stampText(CivilTime::civilOfUtc(e.start)).left(19),
                                          stampText(CivilTime::civilOfUtc(e.end)).left(19),
                                          Wording::partsDuration(double(e.duration())),
                                          exclusionReasonText(e.reason), e.note });
    for (const auto &[day, counts] : x.byDay)
        section.excludedDayRows.push_back(
            { stampText(day).left(16), Wording::partsDuration(double(totalOf(counts)) * interval),
              reasonsText(counts, interval) });
    if (h.axis != HistoryAxis::ClockTime || !h.firstTime)
        return;
    const ExclusionSpans spans(x.listed);
    const double end = double(*h.lastTime) + interval;
    const double first = double(h.hours.placeOfCivil(*h.firstTime));
    const double last = double(h.hours.placeOfCivil(*h.lastTime)) + interval;
    for (const ExclusionSpans::Segment &seg : spans.segments()) {
        // The time axis runs on the site's wall clock.
        const int fromOffset = CivilTime::offsetOfUtc(seg.start);
        const int toOffset = CivilTime::offsetOfUtc(seg.end);
        const double from = h.placeOf(seg.start + fromOffset, fromOffset);
        const double to = h.placeOf(seg.end + toOffset, toOffset);
        if (to > first && from < std::max(end, last))
            section.excludedSpans.emplace_back(std::max(from, first),
                                               std::min(to, std::max(end, last)));
    }
}

} // namespace

std::optional<ReportSection> buildReportSection(const QString &name, const DataFileContents &file,
                                                const ReportOptions &options,
                                                const ReportProgress &progress,
                                                const QString &dataFilePath)
{
    ReportSection section;
    section.path = name;
    section.title = name.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);

    const double interval = ReportReadings::samplingInterval(file);
    HistoryShape shape;
    shape.columns = ReportLayout::HistoryColumns;
    shape.stripsPerPage = ReportLayout::HistoryStripsPerPage;
    std::optional<TimeHistory> history;
    {
        ReportProgressGate gate(progress, 0.0, 0.5);
        history = buildTimeHistory(file, interval, shape, &gate);
        if (!history)
            return std::nullopt;
    }
    section.history = std::move(*history);
    const TimeHistory &h = section.history;

    AnalysisRequest request;
    request.mode = options.mode;
    request.dayEveningNight = true;
    const bool overADay = h.firstTime && *h.lastTime - *h.firstTime > Day;
    request.intervalLength = options.intervalLength.value_or(overADay ? 3600 : 900);
    request.maxCheckAgeS = options.maxCheckAgeS;
    request.exclusions = options.exclusions;
    request.exclusionsSource = options.exclusionsSource;
    FileFigures analysed = analyseFile(name, file, request);
    if (options.limitAt)
        judgeIntervals(analysed, options.limitsText, options.limitAt);
    attachMeasurementContext(analysed, dataFilePath.isEmpty() ? name : dataFilePath);
    addMeasurementContext(section, analysed);
    if (progress && !progress(0.9))
        return std::nullopt;
    const FileStatistics &s = analysed.statistics;

    // The file and its header.
    const qint64 readings = ReportReadings::count(file);
    section.facts.push_back({ QStringLiteral("File"), name, {} });
    section.facts.push_back({ QStringLiteral("Kind"), kindText(s.kind), {} });
    section.facts.push_back({ QStringLiteral("First reading"),
                              readings > 0 ? orDash(ReportReadings::timeText(file, 0)) : dash(),
                              {} });
    section.facts.push_back(
        { QStringLiteral("Last reading"),
          readings > 0 ? orDash(ReportReadings::timeText(file, readings - 1)) : dash(),
          {} });
    QString duration = dash();
    // Elapsed time: an hour less across the spring change, one more in autumn.
    if (h.axis == HistoryAxis::ClockTime && analysed.firstUtc)
        duration = Wording::clockDuration(*analysed.lastUtc - *analysed.firstUtc
                                          + int64_t(std::llround(s.interval)));
    section.facts.push_back({ QStringLiteral("Duration"), duration, {} });
    section.facts.push_back({ QStringLiteral("Sampling interval"),
                              QString::number(s.interval) + QStringLiteral(" s"),
                              sourceText(s.intervalSource) });
    section.facts.push_back({ QStringLiteral("Readings"), QString::number(s.readings), {} });
    if (analysed.exclusions)
        section.facts.push_back({ QStringLiteral("Excluded"), excludedText(analysed), {} });

    section.headerless = s.kind == DataFileKind::Headerless;
    for (const auto &[caption, text] : s.storedBoards)
        section.storedBoards.push_back({ caption, orDash(text.trimmed()), {} });

    // The figures, recomputed from the readings.
    const ListDistribution &d = s.distribution;
    section.figures.push_back({ QStringLiteral("Leq"), withUnit(levelText(s.leq)), {} });
    section.figures.push_back({ QStringLiteral("SEL"), withUnit(levelText(s.sel)), {} });
    section.figures.push_back(
        { QStringLiteral("Lmax"),
          withUnit(levelText(s.maximum ? std::optional(s.maximum->level) : std::nullopt)),
          s.maximum ? s.maximum->time : QString() });
    section.figures.push_back(
        { QStringLiteral("Lmin"),
          withUnit(levelText(s.minimum ? std::optional(s.minimum->level) : std::nullopt)),
          s.minimum ? s.minimum->time : QString() });
    for (const int m : { 5, 10, 50, 90, 95 })
        section.figures.push_back({ QStringLiteral("L%1").arg(m),
                                    withUnit(d.hasReadings() ? d.LnTable.value(m) : dash()),
                                    {} });
    section.figures.push_back({ QStringLiteral("Marked readings"), QString::number(s.marked),
                                shareText(s.marked, s.readings) });
    section.figures.push_back({ QStringLiteral("Under-range readings"),
                                QString::number(s.underRange),
                                shareText(s.underRange, s.readings) });
    section.figures.push_back({ QStringLiteral("Over-range readings"), QString::number(s.overRange),
                                shareText(s.overRange, s.readings) });
    // The first page has room for the figures' method; the day table and
    // the calibration section say their own rules.
    section.method = reportMethod(analysed, MethodRules::FiguresOnly);

    if (!h.note.isEmpty())
        section.notes << h.note;
    if (s.energyReadings == 0)
        section.notes << QStringLiteral("No reading carries a level: Leq, SEL, Lmax and Lmin "
                                        "cannot be given.");
    if (!d.hasReadings())
        section.notes << QStringLiteral("No reading was counted in the level distribution: the "
                                        "L table and the distribution are left out.");
    if (analysed.untimedReadings > 0)
        section.notes << QStringLiteral("%1 readings without a readable time stamp are left out "
                                        "of the interval levels.")
                             .arg(analysed.untimedReadings);

    addDistribution(section, s);

    section.intervalLength = *request.intervalLength;
    const auto lnCell
        = [mode = analysed.statistics.distribution.mode](const std::optional<double> &v) {
              return v ? lnLevelText(*v, mode) : dash();
          };
    for (const IntervalLevel &i : analysed.intervals) {
        const QString start = stampText(i.start).left(16);
        const QString end = stampText(i.end).left(16);
        if (i.gap) {
            // From and To say how long nothing was read; the levels stay empty.
            section.intervalRows.push_back(
                { start, end, dash(), dash(), dash(), dash(), QStringLiteral("0 %") });
            if (analysed.withLimits())
                section.intervalRows.back() << dash() << dash();
            continue;
        }
        section.intervalRows.push_back(
            { start, end.left(10) == start.left(10) ? end.mid(11) : end, levelText(i.leq),
              levelText(i.lmax), lnCell(i.l10), lnCell(i.l90),
              QString::number(100.0 * i.coverage, 'f', 0) + QStringLiteral(" %") });
        if (analysed.withLimits()) {
            section.intervalRows.back()
                << (i.limit ? QString::number(*i.limit) : dash()) << orDash(i.stateText());
            if (i.over())
                section.overSpans.emplace_back(h.placeOf(i.start, i.startOffset),
                                               h.placeOf(i.end, i.endOffset));
        }
    }
    section.withLimits = analysed.withLimits();
    if (options.limitSteps && h.axis == HistoryAxis::ClockTime && h.firstTime) {
        section.limitSteps
            = options.limitSteps(*h.firstTime, *h.lastTime + int64_t(std::llround(interval)));
        for (auto &[t, limit] : section.limitSteps)
            t = double(h.hours.placeOfCivil(int64_t(t)));
    }
    const auto share = [](double c) { return QString::number(100.0 * c, 'f', 0); };
    for (const DayEveningNight &den : analysed.days) {
        if (den.gap) {
            section.dayRows.push_back(
                { stampText(den.start).left(16), emptyStretchText(den.elapsed()), {}, {}, {}, {} });
            continue;
        }
        section.dayRows.push_back(
            { stampText(den.start).left(16)
                  + (den.partial ? QStringLiteral(" partial") : QString()),
              share(den.coverageDay) + QLatin1Char('/') + share(den.coverageEvening)
                  + QLatin1Char('/') + share(den.coverageNight) + QStringLiteral(" %"),
              levelText(den.ld), levelText(den.le), levelText(den.ln), levelText(den.lden) });
    }
    if (section.dayRows.empty())
        section.daysNote = QStringLiteral("No readings with a time stamp: no day-evening-night "
                                          "levels.");
    if (analysed.exclusions)
        addExclusions(section, analysed, h);
    if (progress && !progress(1.0))
        return std::nullopt;
    return section;
}

std::vector<ReportPage> paginate(const std::vector<ReportSection> &sections)
{
    using namespace ReportLayout;
    std::vector<ReportPage> pages;
    for (int s = 0; s < int(sections.size()); ++s) {
        const ReportSection &section = sections[size_t(s)];
        pages.push_back({ s, PageKind::Summary });
        const int strips = int(section.history.strips.size());
        for (int first = 0; first < strips; first += HistoryStripsPerPage)
            pages.push_back(
                { s, PageKind::History, first, std::min(HistoryStripsPerPage, strips - first) });
        pages.push_back({ s, PageKind::Distribution });

        const int rows = int(section.intervalRows.size());
        const int days = int(section.dayRows.size());
        for (int first = 0; first < rows; first += TableRowsPerPage)
            pages.push_back(
                { s, PageKind::Intervals, first, std::min(TableRowsPerPage, rows - first) });
        if (days > 0 || rows > 0) {
            // The day table follows the intervals, on as many pages as it
            // needs; a page holds its title and header once.
            const int dayRows = std::max(days, 1);
            int placed = 0;
            if (rows > 0) {
                const int room = TableRowsPerPage - pages.back().count - DayTableOverhead;
                if (room > 0) {
                    pages.back().dayFirst = 0;
                    pages.back().dayCount = std::min(room, dayRows);
                    placed = pages.back().dayCount;
                }
            }
            while (placed < dayRows) {
                ReportPage page { s, PageKind::Intervals, rows, 0 };
                page.dayFirst = placed;
                page.dayCount = std::min(TableRowsPerPage - DayTableOverhead, dayRows - placed);
                placed += page.dayCount;
                pages.push_back(page);
            }
        }
        if (section.withExclusions) {
            // The exclusions, then the excluded time per day, as the
            // interval and day tables share their pages.
            const int spans = std::max(int(section.exclusionRows.size()), 1);
            const int perDay = std::max(int(section.excludedDayRows.size()), 1);
            int first = 0;
            int dayFirst = 0;
            while (first < spans || dayFirst < perDay) {
                ReportPage page { s, PageKind::Exclusions, first, 0 };
                page.count = std::min(TableRowsPerPage, spans - first);
                first += page.count;
                const int room = TableRowsPerPage - page.count - DayTableOverhead;
                page.dayFirst = dayFirst;
                if (first >= spans && room > 0) {
                    page.dayCount = std::min(room, perDay - dayFirst);
                    dayFirst += page.dayCount;
                }
                pages.push_back(page);
            }
        }
    }
    return pages;
}

std::optional<Report> buildReport(const std::vector<ReportFile> &files,
                                  const ReportOptions &options, const ReportProgress &progress)
{
    Report report;
    report.options = options;
    double total = 0.0;
    for (const ReportFile &f : files)
        total += 1.0 + double(ReportReadings::count(*f.contents));
    double done = 0.0;
    for (const ReportFile &f : files) {
        const double share = (1.0 + double(ReportReadings::count(*f.contents))) / total;
        const double from = done;
        ReportProgress part;
        if (progress)
            part = [&](double x) { return progress(from + share * x); };
        std::optional<ReportSection> section
            = buildReportSection(f.name, *f.contents, options, part);
        if (!section)
            return std::nullopt;
        report.sections.push_back(std::move(*section));
        done += share;
    }
    report.pages = paginate(report.sections);
    return report;
}

void ReportOptions::setLimits(const LimitSchedule &schedule)
{
    limitsText = schedule.text();
    limitAt = [schedule](int64_t civil) { return schedule.limitAtCivil(civil); };
    limitSteps = [schedule](int64_t from, int64_t to) {
        return ::limitSteps([&schedule](int64_t t) { return schedule.limitAtCivil(t); },
                            schedule.changesBetween(from, to), from, to);
    };
}

void appendWindowed(DataFileContents &into, const DataFileContents &from,
                    const AnalysisRequest &request)
{
    // Without a window every row goes, and none need be read as text.
    if (!request.hasWindow()) {
        into.rows.append(from.rows);
        return;
    }
    for (qsizetype i = 0; i < from.rows.count(); ++i) {
        const QString time = from.time(i);
        if (request.inWindowCivil(CivilTime::parseStamp(time)))
            into.rows.append(from.number(i), time, from.level(i));
    }
}

std::optional<ReportSection> buildSeriesSection(const FileFigures &series,
                                                const AnalysisRequest &request,
                                                const ReportOptions &options,
                                                const ReportProgress &progress)
{
    // The series' readings in one list: the report draws them as one.
    DataFileContents joined;
    for (size_t f = 0; f < series.joined.size(); ++f) {
        const DataFileContents contents = DataFileReader::readFile(series.joined[f].name);
        if (joined.linesRead == 0) {
            joined = contents;
            joined.rows.clear();
        }
        appendWindowed(joined, contents, request);
        // Reading takes a fifth of the time.
        if (progress && !progress(0.2 * double(f + 1) / double(series.joined.size())))
            return std::nullopt;
    }
    std::optional<ReportSection> section = buildReportSection(
        series.name, joined, options,
        [&progress](double done) { return !progress || progress(0.2 + 0.8 * done); },
        series.joined.empty() ? series.name : series.joined.front().name);
    if (!section)
        return section;
    // The title names the files, not the folders they were given with.
    section->title = seriesTitle(series.joined);
    section->notes << troubleLines(series);
    // The weather, the events and the verdict per period, as vorn-stats
    // words them, on the first page and the assessment's.
    addAssessment(*section, series);
    // Each file's header describes that file alone, not the series.
    if (series.joined.size() > 1) {
        section->storedBoards.clear();
        section->storedNote = QStringLiteral("Each of the %1 files keeps its own header, which "
                                             "describes that file alone; the series is "
                                             "recomputed from the readings.")
                                  .arg(series.joined.size());
    }
    return section;
}
