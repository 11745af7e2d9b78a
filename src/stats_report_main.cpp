// vorn-stats-report: vorn-stats with its PDF report, which vorn-stats runs
// for --pdf. It takes the same command line and writes the same outputs.
#include "StatsCommand.h"
#include "analysis/report/Report.h"
#include "analysis/report/pdf/ReportPdf.h"
#include "analysis/stats/StatsRun.h"
#include "platform/StandardStreams.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <memory>

namespace {

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

// One section per file (or one for a joined series), made while its
// readings are at hand.
class ReportSections : public StatsReportSink
{
public:
    explicit ReportSections(const ReportOptions &options)
        : m_settings(options)
    {
        report.options = options;
    }

    void file(const QString &name, const DataFileContents &contents, const AnalysisRequest &request,
              const FileFigures *figures, const std::optional<FileTrouble> &cut,
              const std::optional<DamagedLines> &damaged) override
    {
        m_settings.exclusions = request.exclusions;
        m_settings.exclusionsSource = request.exclusionsSource;
        // Every output of one run counts the same readings: the report too
        // keeps to --from and --to.
        if (!request.hasWindow()) {
            report.sections.push_back(*buildReportSection(name, contents, m_settings));
        } else {
            DataFileContents windowed = contents;
            windowed.rows.clear();
            appendWindowed(windowed, contents, request);
            report.sections.push_back(*buildReportSection(name, windowed, m_settings, {}, name));
        }
        ReportSection &section = report.sections.back();
        // The weather, events and verdicts as the text and JSON give them.
        if (request.weather || request.events.any() || request.assessment.limits)
            addAssessment(section, figures ? *figures : analyseFile(name, contents, request));
        if (damaged)
            section.notes << QStringLiteral("Damaged: ") + damagedLine(*damaged);
        if (cut)
            section.notes << cutLine(*cut);
    }

    void series(const FileFigures &series, const AnalysisRequest &request) override
    {
        m_settings.exclusions = request.exclusions;
        m_settings.exclusionsSource = request.exclusionsSource;
        report.sections.push_back(*buildSeriesSection(series, request, m_settings));
    }

    Report report;

private:
    ReportOptions m_settings;
};

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    StatsOptions options;
    if (const auto status = readStatsCommandLine(argc, argv, arguments, options))
        return *status;
    const bool pdf = !options.pdfPath.isEmpty();
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
    const QTemporaryDir hubDays;
    if (const auto status = takeHubDays(options, hubDays))
        return *status;
    StatsRun run(options);
    run.nameFilesBy(hubDayNames(options, hubDays));
    ReportSections sections(pdf ? reportOptions(options) : ReportOptions());
    int status = run.run(pdf ? &sections : nullptr);
    Report &report = sections.report;
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
    return status;
}
