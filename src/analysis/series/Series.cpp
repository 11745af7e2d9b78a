#include "Series.h"

#include "analysis/records/CivilTime.h"
#include "analysis/records/StationFolder.h"
#include "analysis/output/Outputs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace {

constexpr double NoLevel = std::numeric_limits<double>::quiet_NaN();

std::optional<int64_t> civilOfIso(const QString &text, int *offset = nullptr)
{
    const QDateTime when = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!when.isValid())
        return std::nullopt;
    if (offset)
        *offset = when.offsetFromUtc();
    return CivilTime::civilSecondsOf(when.date(), when.time());
}

// The lines of a small text file, without their ends.
QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

} // namespace

void SeriesReadings::add(std::optional<int64_t> time, const LevelTextClass &level,
                         std::optional<double> energy, bool damaged)
{
    if (!time) {
        ++untimed;
        m_untimed.push_back({ times.size(), level, energy, damaged });
        return;
    }
    const size_t index = times.size();
    times.push_back(*time);
    // Marked readings and levels without a number are not drawn; range
    // readings are drawn at their value, as the report does.
    float drawn = std::numeric_limits<float>::quiet_NaN();
    if (energy)
        drawn = float(*energy);
    else if (level.kind == LevelKind::UnderRange)
        drawn = float(UnderRangeLevel);
    levels.push_back(drawn);

    uint8_t code = uint8_t(level.kind);
    const double tenths = std::round(level.value * 10.0);
    if (std::abs(tenths) < 32000 && tenths / 10.0 == level.value) {
        code |= ValueInTenths;
        m_tenths.push_back(int16_t(tenths));
    } else {
        m_tenths.push_back(0);
        m_oddValues.emplace_back(index, level.value);
    }
    if (energy) {
        code |= HasEnergy;
        if (*energy == level.value)
            code |= EnergyIsValue;
        else
            m_oddEnergies.emplace_back(index, *energy);
    }
    if (damaged)
        code |= Damaged;
    m_codes.push_back(code);
}

std::pair<size_t, size_t> SeriesReadings::indexRange(double from, double to) const
{
    const auto first = std::lower_bound(times.begin(), times.end(), from,
                                        [](int64_t t, double v) { return double(t) < v; });
    const auto last = std::lower_bound(first, times.end(), to,
                                       [](int64_t t, double v) { return double(t) < v; });
    return { size_t(first - times.begin()), size_t(last - times.begin()) };
}

std::optional<size_t> SeriesReadings::nearest(double time) const
{
    if (times.empty())
        return std::nullopt;
    const size_t at = indexRange(time, time).first;
    size_t best = std::min(at, times.size() - 1);
    if (at > 0 && (at == times.size() || time - double(times[at - 1]) < double(times[at]) - time))
        best = at - 1;
    if (std::abs(double(times[best]) - time) > sampleInterval)
        return std::nullopt;
    return best;
}

SeriesTrace traceOf(const SeriesReadings &readings, double from, double to, int columns)
{
    SeriesTrace trace;
    columns = std::max(1, columns);
    if (!(to > from))
        return trace;
    // One reading before and after the range, so the line runs to the edges.
    auto [first, last] = readings.indexRange(from, to);
    first = first > 0 ? first - 1 : 0;
    last = std::min(readings.size(), last + 1);
    // A step longer than this between readings is a gap, drawn as one.
    const double gap = 1.5 * std::max(readings.sampleInterval, 1.0);
    if (last - first <= size_t(columns)) {
        trace.readingByReading = true;
        for (size_t i = first; i < last; ++i) {
            if (i > first && double(readings.times[i] - readings.times[i - 1]) > gap) {
                trace.x.push_back(double(readings.times[i - 1]) + readings.sampleInterval);
                trace.y.push_back(NoLevel);
            }
            trace.x.push_back(double(readings.times[i]));
            trace.y.push_back(readings.levels[i]);
        }
        return trace;
    }
    const double width = (to - from) / columns;
    trace.x.reserve(size_t(2 * columns + 8));
    trace.y.reserve(size_t(2 * columns + 8));
    size_t i = first;
    bool broken = false; // a gap or a reading without a level since the last column drawn
    while (i < last) {
        const int64_t column = int64_t(std::floor((double(readings.times[i]) - from) / width));
        float low = std::numeric_limits<float>::infinity();
        float high = -low;
        const size_t start = i;
        for (; i < last; ++i) {
            const double t = double(readings.times[i]);
            if (int64_t(std::floor((t - from) / width)) != column)
                break;
            if (i > start && t - double(readings.times[i - 1]) > gap)
                broken = true;
            const float level = readings.levels[i];
            if (std::isnan(level)) {
                broken = true;
                continue;
            }
            low = std::min(low, level);
            high = std::max(high, level);
        }
        // A gap after the column breaks the line before the next one drawn.
        const bool gapAfter = i<last &&double(readings.times[i] - readings.times[i - 1])> gap;
        if (low <= high) {
            const double x = from + (double(column) + 0.5) * width;
            if (broken && !trace.x.empty()) {
                trace.x.push_back(x - width / 2);
                trace.y.push_back(NoLevel);
            }
            broken = false;
            trace.x.push_back(x);
            trace.y.push_back(low);
            trace.x.push_back(x);
            trace.y.push_back(high);
        }
        broken = broken || gapAfter;
    }
    return trace;
}

std::optional<double> SeriesLimits::at(int64_t civil) const
{
    if (!table.empty()) {
        auto it = std::upper_bound(table.begin(), table.end(), civil,
                                   [](int64_t t, const TableLimit &l) { return t < l.start; });
        if (it != table.begin() && civil < std::prev(it)->end)
            return std::prev(it)->limit;
        // Beyond the tables' rows the typed schedule, if any, holds.
    }
    if (schedule)
        return schedule->limitAtCivil(civil);
    return std::nullopt;
}

std::vector<std::pair<double, double>> SeriesLimits::steps(int64_t from, int64_t to) const
{
    std::vector<int64_t> changes;
    for (const TableLimit &row : table)
        if (row.end > from && row.start < to) {
            changes.push_back(row.start);
            changes.push_back(row.end);
        }
    if (schedule) {
        const std::vector<int64_t> bounds = schedule->changesBetween(from, to);
        changes.insert(changes.end(), bounds.begin(), bounds.end());
    }
    return limitSteps([this](int64_t t) { return at(t); }, std::move(changes), from, to);
}

namespace SeriesFolder {

QString stationOf(const QString &fileName)
{
    return dayFileStation(fileName);
}

QStringList dataFiles(const QString &folder, const QString &station)
{
    // A folder of one station's day files is that station's series, its
    // running day last; other files beside them (a calibration recording,
    // say) are not part of it.
    const std::vector<StationFolder::Station> stations = StationFolder::stationsIn(folder);
    if (const StationFolder::Station *chosen = StationFolder::stationNamed(stations, station))
        return chosen->series();
    if (!station.isEmpty())
        return {};
    const QDir dir(folder);
    QStringList all;
    for (const QString &name : dir.entryList({ QStringLiteral("*.vorn") }, QDir::Files, QDir::Name))
        all << dir.filePath(name);
    return all;
}

QStringList stations(const QString &folder)
{
    QStringList names;
    for (const StationFolder::Station &s : StationFolder::stationsIn(folder))
        names << s.name;
    return names;
}

std::vector<SeriesEvent> events(const QString &folder, const QString &station)
{
    std::vector<SeriesEvent> rows;
    if (station.isEmpty())
        return rows;
    const QStringList lines
        = linesOf(QDir(folder).filePath(StationFolder::eventsName(station)));
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QStringList fields = csvLineFields(lines[n]);
        if (fields.size() < 2)
            continue;
        const std::optional<int64_t> time = civilOfIso(fields[0]);
        if (!time)
            continue;
        rows.push_back({ *time, fields[0], fields[1], fields.value(2) });
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const SeriesEvent &a, const SeriesEvent &b) { return a.time < b.time; });
    return rows;
}

std::vector<TableLimit> tableLimits(const QString &folder, const QString &station)
{
    std::vector<TableLimit> rows;
    if (station.isEmpty())
        return rows;
    const QDir dir(folder);
    const QStringList tables
        = dir.entryList({ StationFolder::intervalsPattern(station) }, QDir::Files, QDir::Name);
    for (const QString &name : tables) {
        const QStringList lines = linesOf(dir.filePath(name));
        if (lines.isEmpty())
            continue;
        const QStringList header = csvLineFields(lines.front());
        const qsizetype startAt = header.indexOf(QStringLiteral("start"));
        const qsizetype endAt = header.indexOf(QStringLiteral("end"));
        const qsizetype limitAt = header.indexOf(QStringLiteral("limit"));
        if (startAt < 0 || endAt < 0 || limitAt < 0)
            continue;
        for (qsizetype n = 1; n < lines.size(); ++n) {
            const QStringList fields = csvLineFields(lines[n]);
            bool ok = false;
            const double limit = fields.value(limitAt).toDouble(&ok);
            const std::optional<int64_t> start = civilOfIso(fields.value(startAt));
            const std::optional<int64_t> end = civilOfIso(fields.value(endAt));
            if (ok && std::isfinite(limit) && start && end && *end > *start)
                rows.push_back({ *start, *end, limit });
        }
    }
    std::sort(rows.begin(), rows.end(),
              [](const TableLimit &a, const TableLimit &b) { return a.start < b.start; });
    return rows;
}

} // namespace SeriesFolder

LoadedSeries loadSeries(const QStringList &files, const AnalysisRequest &request,
                        const std::function<bool(qsizetype, qsizetype)> &progress)
{
    LoadedSeries loaded;
    loaded.files = files;
    if (!files.isEmpty()) {
        loaded.folder = QFileInfo(files.front()).absolutePath();
        loaded.station = SeriesFolder::stationOf(files.front());
        for (const QString &file : files)
            if (SeriesFolder::stationOf(file) != loaded.station)
                loaded.station.clear();
    }
    const SeriesZone zone = zoneOfSeries(files, computerZone());
    if (!zone.refusal.isEmpty()) {
        loaded.outcome.refusal = zone.refusal;
        return loaded;
    }
    loaded.zone = zone.zone;
    loaded.zoneNote = zone.note;
    AnalysisRequest zoned = request;
    loaded.placeInZone(zoned);
    SeriesSink sink;
    sink.reading = [&loaded](std::optional<int64_t> time, const LevelTextClass &level,
                             std::optional<double> energy,
                             bool damaged) { loaded.readings.add(time, level, energy, damaged); };
    sink.progress = progress;
    loaded.outcome = analyseSeries(files, zoned, 0, &sink);
    if (loaded.outcome.report)
        loaded.readings.sampleInterval = loaded.outcome.report->statistics.interval;
    return loaded;
}

void LoadedSeries::placeInZone(AnalysisRequest &request) const
{
    request.zone = zone.zone;
    request.timeZone = zone.name;
    request.timeZoneSource = zone.source;
    request.timeZoneNote = zoneNote;
}

FileFigures reanalyse(const LoadedSeries &series, const AnalysisRequest &request)
{
    // Each thread reads the stamps in the series' zone.
    const CivilTime::ZoneScope zone(request.zone);
    const FileFigures &loaded = *series.outcome.report;
    // The header the analysis took the interval and the stored boards from.
    DataFileContents header;
    header.kind = loaded.statistics.kind;
    for (const auto &board : loaded.statistics.storedBoards)
        header.boardTexts << board.second;
    if (loaded.statistics.intervalSource == IntervalSource::Header)
        header.samplingInterval = loaded.statistics.interval;
    const auto feed = [&series](FileAnalysis &analysis) {
        series.readings.replay([&analysis](std::optional<int64_t> time, const LevelTextClass &level,
                                           std::optional<double> energy, bool damaged) {
            analysis.add(time, level, energy, damaged);
        });
    };
    FileFigures report;
    // The figures and the tables on two threads, each summing in the order
    // of the readings; the tables need the interval before the figures
    // are done, which only a header gives.
    if (header.samplingInterval > 0 && (request.intervalLength || request.dayEveningNight)) {
        // Each analysis lives on its own thread's stack: side by side in
        // one frame they would share cache lines that both threads write.
        FileFigures t;
        std::thread side([&] {
            const CivilTime::ZoneScope sideZone(request.zone);
            FileAnalysis tables(request, FileAnalysis::Parts::Tables);
            feed(tables);
            t = tables.finish(loaded.name, header);
        });
        {
            FileAnalysis figures(request, FileAnalysis::Parts::Figures);
            feed(figures);
            report = figures.finish(loaded.name, header);
        }
        side.join();
        report.intervalLength = t.intervalLength;
        report.intervals = std::move(t.intervals);
        report.repeatedHour = t.repeatedHour;
        report.ambiguousTime = t.ambiguousTime;
        report.withDayEveningNight = t.withDayEveningNight;
        report.days = std::move(t.days);
        report.untimedReadings = t.untimedReadings;
        report.limits = t.limits;
        report.exclusions = std::move(t.exclusions);
        report.events = std::move(t.events);
    } else {
        FileAnalysis analysis(request);
        feed(analysis);
        report = analysis.finish(loaded.name, header);
    }
    // The kept readings have no texts: the extremes get them as the meter
    // writes them, its level with one decimal and its stamp.
    for (std::optional<LevelAt> *at : { &report.statistics.maximum, &report.statistics.minimum })
        if (*at && (*at)->text.isEmpty()) {
            (*at)->text = QString::number((*at)->level, 'f', 1);
            if ((*at)->civil)
                (*at)->time = CivilTime::toIso(*(*at)->civil)
                                  .replace(QLatin1Char('-'), QLatin1Char('/'))
                                  .replace(QLatin1Char('T'), QLatin1Char(' '));
        }
    report.details = loaded.details;
    report.detailsProblem = loaded.detailsProblem;
    report.calibration = loaded.calibration;
    report.joined = loaded.joined;
    report.cut = loaded.cut;
    report.leftOut = loaded.leftOut;
    report.damaged = loaded.damaged;
    report.running = loaded.running;
    return report;
}

void judgeIntervals(FileFigures &report, const SeriesLimits &limits)
{
    if (limits.isEmpty()) {
        report.limits.reset();
        for (IntervalLevel &i : report.intervals)
            i.limit.reset();
        return;
    }
    ::judgeIntervals(report,
                     limits.table.empty() ? limits.schedule->text()
                                          : QStringLiteral("the station's interval tables"),
                     [&limits](int64_t t) { return limits.at(t); });
}

QString intervalsCsv(const FileFigures &report)
{
    FileFigures intervals = report;
    intervals.withDayEveningNight = false;
    return formatReports({ intervals }, OutputFormat::Csv);
}

QString daysCsv(const FileFigures &report)
{
    FileFigures days = report;
    days.intervalLength.reset();
    days.withDayEveningNight = true;
    return formatReports({ days }, OutputFormat::Csv);
}
