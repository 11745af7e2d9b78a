#include "analysis/stats/StatsOptions.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/CivilTime.h"
#include "analysis/engine/FileSeries.h"
#include "analysis/records/SiteZone.h"
#include "recording/AtomicFile.h"
#include "recording/DataFileReader.h"
#include "platform/StandardStreams.h"
#ifdef VORN_HAVE_HUB
#include "hub/HubReadings.h"
#include "platform/PasswordFile.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#ifdef VORN_STATS_REPORT
#include "analysis/report/Report.h"
#include "analysis/report/pdf/ReportPdf.h"

#include <QApplication>
#include <QDateTime>
#else
#include <QProcess>
#include <QStandardPaths>
#endif

#include <algorithm>
#include <functional>
#include <cstdio>
#include <memory>

namespace {

#ifdef VORN_STATS_REPORT
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
#endif

#ifdef VORN_STATS_REPORT
// The report's options from the command line; the intervals follow
// --intervals, else the report's own default.
ReportOptions reportOptions(const StatsOptions &options)
{
    ReportOptions report;
    report.company = options.company;
    report.sector = options.sector;
    report.name = options.name;
    report.mode = options.request.mode;
    report.intervalLength = options.request.intervalLength;
    report.maxCheckAgeS = options.request.maxCheckAgeS;
    if (options.request.limits)
        report.setLimits(*options.request.limits);
    report.reportDate = reportDateText(QDateTime::currentDateTime());
    report.programVersion = programVersionText();
    return report;
}
#else
constexpr char ReportProgram[] = "vorn-stats-report";

// The report needs fonts and the plot widgets, which would slow every plain
// run down: it is made by a program of its own beside this one, which takes
// the same command line and the same standard input and output.
int runReportProgram(const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(
        QLatin1String(ReportProgram), { QCoreApplication::applicationDirPath() });
    if (program.isEmpty()) {
        writeText(stderr,
                QStringLiteral("vorn-stats: %1 is not installed beside vorn-stats; it writes the "
                               "PDF report.\n")
                    .arg(QLatin1String(ReportProgram)));
        return 1;
    }
    QProcess report;
    report.setProcessChannelMode(QProcess::ForwardedChannels);
    report.setInputChannelMode(QProcess::ForwardedInputChannel);
    report.start(program, arguments);
    if (!report.waitForFinished(-1) || report.exitStatus() != QProcess::NormalExit) {
        writeText(stderr,
                QStringLiteral("vorn-stats: %1 failed: %2\n")
                    .arg(QLatin1String(ReportProgram), report.errorString()));
        return 1;
    }
    return report.exitCode();
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    // Output is byte for byte the same on every system.
    useBinaryStandardStreams();
    const QStringList arguments = programArguments(argc, argv);

    const ParsedOptions parsed = parseStatsOptions(arguments);
    if (!parsed.options) {
        writeText(stderr,
                QStringLiteral("vorn-stats: %1\nTry 'vorn-stats --help'.\n").arg(parsed.error));
        return 2;
    }
    StatsOptions options = *parsed.options;
    if (options.help) {
        writeText(stdout, statsUsage());
        return 0;
    }
    if (options.version) {
        writeText(stdout,
                QStringLiteral("%1 %2\n").arg(QFileInfo(QString::fromLocal8Bit(argv[0])).baseName(),
                                              QStringLiteral(VORN_VERSION)));
        return 0;
    }

    const bool pdf = !options.pdfPath.isEmpty();
#ifndef VORN_STATS_REPORT
    if (pdf) {
        QCoreApplication app(argc, argv);
        return runReportProgram(arguments);
    }
    QCoreApplication app(argc, argv);
#else
    // The report draws with fonts and plot widgets, headless.
    std::unique_ptr<QCoreApplication> app;
    if (pdf) {
#ifndef Q_OS_WIN
        // Windows' own platform draws without showing anything.
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        // The window system's start-up chatter (no runtime folder, no
        // screen) is no business of a command-line user.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                writeText(stderr, text + QLatin1Char('\n'));
        });
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
#endif

    // The hub's readings of the station, laid out as its day files.
    QTemporaryDir hubDays;
    if (!options.hub.isEmpty()) {
#ifdef VORN_HAVE_HUB
        QString password;
        if (!options.hubPasswordFile.isEmpty()) {
            QString reason;
            const auto read = readPasswordFile(options.hubPasswordFile, &reason);
            if (!read) {
                writeText(stderr, QStringLiteral("vorn-stats: --hub-password-file: %1\n").arg(reason));
                return 2;
            }
            password = *read;
        }
        const auto dayOf = [](const std::optional<StatsOptions::SiteTime> &time) {
            return time ? std::optional(QDate::fromString(CivilTime::toIso(time->civil).left(10),
                                                          Qt::ISODate))
                        : std::nullopt;
        };
        const HubSeries series = exportHubSeries(
            options.hub, password, options.station.section(QLatin1Char('@'), 0, 0),
            options.station.section(QLatin1Char('@'), 1), dayOf(options.from), dayOf(options.to),
            hubDays.path());
        if (!series.problem.isEmpty()) {
            writeText(stderr, QStringLiteral("vorn-stats: %1\n").arg(series.problem));
            return 1;
        }
        options.files = series.files;
#else
        writeText(stderr, QStringLiteral("vorn-stats: this build has no hub (--hub): it was built "
                                         "without SQLite and PostgreSQL\n"));
        return 2;
#endif
    }

    int status = 0;
    std::vector<FileFigures> reports;
    const auto fail = [&status](const QString &message) {
        writeText(stderr, QStringLiteral("vorn-stats: %1\n").arg(message));
        status = 1;
    };
    // A file that cannot be read is left out; one a damaged line cut keeps
    // the readings before it. Either is said, and fails the run.
    const auto takeProblem = [&fail](const QString &name, const DataFileContents &contents,
                                     const std::optional<FileTrouble> &cut) {
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
    };
    // The files a series left out, and whether it was refused as a whole.
    const auto refused = [&fail](const SeriesOutcome &series) {
        for (const QString &problem : series.problems)
            fail(problem);
        if (!series.refusal.isEmpty())
            fail(series.refusal);
        return !series.refusal.isEmpty();
    };
    // Each file's exclusions (its folder's, or the one named); a damaged
    // exclusions file stops the run before anything is said of the figures.
    // Each file's zone: its details', else --zone, else this computer's. A
    // series is one site, so one zone; files of one zone (the usual case)
    // set it for the whole run.
    const SiteZone fallback = options.zone.isEmpty() ? computerZone() : *namedZone(options.zone);
    std::vector<SiteZone> zones;
    QString zoneNote;
    if (options.join) {
        const SeriesZone series = zoneOfSeries(options.files, fallback);
        if (!series.refusal.isEmpty()) {
            writeText(stderr, QStringLiteral("vorn-stats: %1\n").arg(series.refusal));
            return 1;
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
    ExclusionsLookup exclusions(options);
    std::vector<AnalysisRequest> requests;
    for (const QString &name : options.join ? options.files.mid(0, 1) : options.files) {
        const SiteZone &zone = zones[requests.size()];
        requests.push_back(options.request);
        AnalysisRequest &request = requests.back();
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
            writeText(stderr, QStringLiteral("vorn-stats: %1\nTry 'vorn-stats --help'.\n").arg(why));
            return 2;
        }
        if (!exclusions.apply(request, name)) {
            writeText(stderr, QStringLiteral("vorn-stats: %1\n").arg(exclusions.problem()));
            return 1;
        }
        // A damaged weather or keep line is named and left out; the rest counts.
        for (const QString &warning : exclusions.takeWarnings())
            fail(warning);
    }
#ifdef VORN_STATS_REPORT
    ReportOptions reportSettings = pdf ? reportOptions(options) : ReportOptions();
    Report report;
    report.options = reportSettings;
    // One section per file (or one for a joined series), made while its
    // readings are at hand.
    const auto addSection = [&](const QString &name, const DataFileContents &contents,
                                const AnalysisRequest &request) {
        const CivilTime::ZoneScope zone(request.zone);
        if (options.standardOutput) {
            reports.push_back(analyseFile(name, contents, request));
            attachMeasurementContext(reports.back(), name);
        }
        if (!pdf)
            return;
        reportSettings.exclusions = request.exclusions;
        reportSettings.exclusionsSource = request.exclusionsSource;
        // Every output of one run counts the same readings: the report too
        // keeps to --from and --to.
        if (!request.hasWindow()) {
            report.sections.push_back(*buildReportSection(name, contents, reportSettings));
        } else {
            DataFileContents windowed = contents;
            windowed.rows.clear();
            appendWindowed(windowed, contents, request);
            report.sections.push_back(
                *buildReportSection(name, windowed, reportSettings, {}, name));
        }
        // The weather, events and verdicts as the text and JSON give them.
        if (request.weather || request.events.any() || request.assessment.limits)
            addAssessment(report.sections.back(), options.standardOutput
                                                      ? reports.back()
                                                      : analyseFile(name, contents, request));
    };
    if (options.join) {
        // The series' readings in one list: the report draws them as one.
        const AnalysisRequest &request = requests.front();
        const SeriesOutcome series = analyseSeries(options.files, request, options.jobs);
        if (refused(series))
            return status;
        if (series.report) {
            if (options.standardOutput)
                reports.push_back(*series.report);
            reportSettings.exclusions = request.exclusions;
            reportSettings.exclusionsSource = request.exclusionsSource;
            if (pdf)
                report.sections.push_back(
                    *buildSeriesSection(*series.report, request, reportSettings));
        }
    } else {
        for (qsizetype f = 0; f < options.files.size(); ++f) {
            const QString &name = options.files[f];
            const DataFileContents contents = readInput(name);
            const std::optional<FileTrouble> cut = cutOf(name, contents, contents.rows.count());
            if (!takeProblem(name, contents, cut))
                continue;
            addSection(name, contents, requests[size_t(f)]);
            if (const auto damaged = damagedLinesOf(name, contents); damaged && pdf)
                report.sections.back().notes << QStringLiteral("Damaged: ") + damagedLine(*damaged);
            if (!cut)
                continue;
            if (options.standardOutput)
                reports.back().cut.push_back(*cut);
            if (pdf)
                report.sections.back().notes << cutLine(*cut);
        }
    }
#else
    if (options.join) {
        SeriesOutcome series = analyseSeries(options.files, requests.front(), options.jobs);
        if (refused(series))
            return status;
        if (series.report && options.standardOutput)
            reports.push_back(std::move(*series.report));
    } else {
        auto results = analysePaths(options.files, requests, options.jobs);
        for (qsizetype i = 0; i < options.files.size(); ++i) {
            auto &[analysed, contents] = results[size_t(i)];
            const std::optional<FileTrouble> cut
                = cutOf(options.files[i], contents, analysed.statistics.readings);
            if (!takeProblem(options.files[i], contents, cut))
                continue;
            if (cut)
                analysed.cut.push_back(*cut);
            if (options.standardOutput)
                reports.push_back(std::move(analysed));
        }
    }
#endif
    // A damaged details file changes the verdict: said beside every output.
    for (const FileFigures &r : reports)
        if (!r.detailsProblem.isEmpty())
            writeText(stderr, QStringLiteral("vorn-stats: %1: %2\n").arg(r.name, r.detailsProblem));
    // The hub's days are named where they come from, not by the folder
    // they were laid out in for the run.
    if (!options.hub.isEmpty()) {
        const QString laidOut = hubDays.path() + QLatin1Char('/');
        const auto rename = [&](QString &name) {
            if (name.startsWith(laidOut))
                name = options.hub + QStringLiteral(": ") + name.mid(laidOut.size());
        };
        for (FileFigures &r : reports) {
            rename(r.name);
            for (JoinedFile &file : r.joined)
                rename(file.name);
        }
    }
    if (!reports.empty())
        writeText(stdout, formatReports(reports, options.format));
    // Tables of their own, each whole or not at all.
    for (const auto &[path, text] :
         { std::pair { options.eventsCsvPath, std::function([&] { return eventsCsv(reports); }) },
           std::pair { options.assessmentCsvPath,
                       std::function([&] { return assessmentCsv(reports); }) } }) {
        if (path.isEmpty())
            continue;
        AtomicFile file(path);
        if (!file.open() || !file.write(text().toUtf8()) || !file.commit()) {
            writeText(stderr, QStringLiteral("vorn-stats: %1\n")
                                  .arg(fileErrorMessage(path, file.errorString())));
            status = 1;
        }
    }
#ifdef VORN_STATS_REPORT
    if (pdf && !report.sections.empty()) {
        report.pages = paginate(report.sections);
        const ReportPdf drawn = drawReportPdf(report);
        if (!drawn.error.isEmpty()) {
            writeText(stderr,
                    QStringLiteral("vorn-stats: %1: %2\n").arg(options.pdfPath, drawn.error));
            status = 1;
        } else if (const QString error = saveReportPdf(options.pdfPath, drawn.bytes);
                   !error.isEmpty()) {
            // The message names the file.
            writeText(stderr, QStringLiteral("vorn-stats: %1\n").arg(error));
            status = 1;
        }
    }
#endif
    return status;
}
