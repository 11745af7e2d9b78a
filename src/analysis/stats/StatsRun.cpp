#include "analysis/stats/StatsRun.h"

#include "analysis/engine/FileSeries.h"
#include "analysis/records/CivilTime.h"
#include "analysis/records/SiteZone.h"
#include "platform/StandardStreams.h"
#include "recording/AtomicFile.h"
#include "recording/DataFileReader.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// The report needs every reading at hand.
DataFileContents readInput(const QString &name)
{
    if (name != QLatin1String("-"))
        return DataFileReader::readFile(name);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    return DataFileReader::read(in);
}

void say(const QString &message)
{
    writeText(stderr, QStringLiteral("vorn-stats: %1\n").arg(message));
}

} // namespace

void StatsRun::fail(const QString &message)
{
    say(message);
    m_status = 1;
}

bool StatsRun::takeProblem(const QString &name, const DataFileContents &contents,
                           const std::optional<FileTrouble> &cut)
{
    // A file that cannot be read is left out; one a damaged line cut keeps
    // the readings before it. Either is said, and fails the run.
    const QString problem = readProblem(contents);
    if (!problem.isEmpty() && !cut) {
        fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(name), problem));
        return false;
    }
    if (cut)
        fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(name), cut->reason));
    if (const auto damaged = damagedLinesOf(name, contents))
        fail(damagedLine(*damaged));
    return true;
}

bool StatsRun::refused(const SeriesOutcome &series)
{
    for (const QString &problem : series.problems)
        fail(problem);
    if (!series.refusal.isEmpty())
        fail(series.refusal);
    return !series.refusal.isEmpty();
}

bool StatsRun::makeRequests()
{
    // Each file's zone: its details', else --zone, else this computer's. A
    // series is one site, so one zone; files of one zone (the usual case)
    // set it for the whole run.
    const StatsOptions &options = m_options;
    const SiteZone fallback = options.zone.isEmpty() ? computerZone() : *namedZone(options.zone);
    std::vector<SiteZone> zones;
    QString zoneNote;
    if (options.join) {
        const SeriesZone series = zoneOfSeries(options.files, fallback);
        if (!series.refusal.isEmpty()) {
            say(series.refusal);
            m_status = 1;
            return false;
        }
        zones.push_back(series.zone);
        zoneNote = series.note;
    } else {
        for (const QString &name : options.files)
            zones.push_back(zoneOfFile(name, fallback));
    }
    if (std::all_of(zones.begin(), zones.end(),
                    [&](const SiteZone &z) { return z.name == zones.front().name; }))
        CivilTime::setZone(zones.front().zone);
    // Each file's exclusions (its folder's, or the one named); a damaged
    // exclusions file stops the run before anything is said of the figures.
    ExclusionsLookup exclusions(options);
    for (const QString &name : options.join ? options.files.mid(0, 1) : options.files) {
        const SiteZone &zone = zones[m_requests.size()];
        m_requests.push_back(options.request);
        AnalysisRequest &request = m_requests.back();
        request.zone = zone.zone;
        request.timeZone = zone.name;
        request.timeZoneSource = zone.source;
        request.timeZoneNote = zoneNote;
        // A series is told its runs by its files' order, from its first.
        request.firstOffset = options.join && !options.files.isEmpty()
            ? zoneOfFile(options.files.front(), fallback).firstOffset
            : zone.firstOffset;
        const CivilTime::ZoneScope scope(zone.zone);
        if (QString why; !applyWindow(request, options, why)) {
            writeText(stderr,
                      QStringLiteral("vorn-stats: %1\nTry 'vorn-stats --help'.\n").arg(why));
            m_status = 2;
            return false;
        }
        if (!exclusions.apply(request, name)) {
            say(exclusions.problem());
            m_status = 1;
            return false;
        }
        // A damaged weather or keep line is named and left out; the rest counts.
        for (const QString &warning : exclusions.takeWarnings())
            fail(warning);
    }
    return true;
}

void StatsRun::analyseForReport(StatsReportSink &report)
{
    const StatsOptions &options = m_options;
    if (options.join) {
        // The series' readings in one list: the report draws them as one.
        const AnalysisRequest &request = m_requests.front();
        const SeriesOutcome series = analyseSeries(options.files, request, options.jobs);
        m_refused = refused(series);
        if (m_refused || !series.report)
            return;
        if (options.standardOutput)
            m_figures.push_back(*series.report);
        report.series(*series.report, request);
        return;
    }
    for (qsizetype f = 0; f < options.files.size(); ++f) {
        const QString &name = options.files[f];
        const AnalysisRequest &request = m_requests[size_t(f)];
        const DataFileContents contents = readInput(name);
        const std::optional<FileTrouble> cut = cutOf(name, contents, contents.rows.count());
        if (!takeProblem(name, contents, cut))
            continue;
        const CivilTime::ZoneScope zone(request.zone);
        FileFigures *figures = nullptr;
        if (options.standardOutput) {
            m_figures.push_back(analyseFile(name, contents, request));
            attachMeasurementContext(m_figures.back(), name);
            figures = &m_figures.back();
        }
        report.file(name, contents, request, figures, cut, damagedLinesOf(name, contents));
        if (figures && cut)
            figures->cut.push_back(*cut);
    }
}

void StatsRun::analyse()
{
    const StatsOptions &options = m_options;
    if (options.join) {
        SeriesOutcome series = analyseSeries(options.files, m_requests.front(), options.jobs);
        m_refused = refused(series);
        if (!m_refused && series.report && options.standardOutput)
            m_figures.push_back(std::move(*series.report));
        return;
    }
    auto results = analysePaths(options.files, m_requests, options.jobs);
    for (qsizetype i = 0; i < options.files.size(); ++i) {
        auto &[analysed, contents] = results[size_t(i)];
        const std::optional<FileTrouble> cut
            = cutOf(options.files[i], contents, analysed.statistics.readings);
        if (!takeProblem(options.files[i], contents, cut))
            continue;
        if (cut)
            analysed.cut.push_back(*cut);
        if (options.standardOutput)
            m_figures.push_back(std::move(analysed));
    }
}

void StatsRun::writeOutputs()
{
    // A damaged details file changes the verdict: said beside every output.
    for (const FileFigures &r : m_figures)
        if (!r.detailsProblem.isEmpty())
            say(QStringLiteral("%1: %2").arg(r.name, r.detailsProblem));
    if (m_rename)
        for (FileFigures &r : m_figures) {
            m_rename(r.name);
            for (JoinedFile &file : r.joined)
                m_rename(file.name);
        }
    if (!m_figures.empty())
        writeText(stdout, formatReports(m_figures, m_options.format));
    // Tables of their own, each whole or not at all.
    for (const auto &[path, text] :
         { std::pair { m_options.eventsCsvPath,
                       std::function([&] { return eventsCsv(m_figures); }) },
           std::pair { m_options.assessmentCsvPath,
                       std::function([&] { return assessmentCsv(m_figures); }) } }) {
        if (path.isEmpty())
            continue;
        AtomicFile file(path);
        if (!file.open() || !file.write(text().toUtf8()) || !file.commit())
            fail(fileErrorMessage(path, file.errorString()));
    }
}

int StatsRun::run(StatsReportSink *report)
{
    if (!makeRequests())
        return m_status;
    if (report)
        analyseForReport(*report);
    else
        analyse();
    // A series refused as a whole ends the run with what it said.
    if (m_refused)
        return m_status;
    writeOutputs();
    return m_status;
}
