// vorn-stats: the analysis of data files from the command line. The PDF
// report needs fonts and the plot widgets, which would slow every plain run
// down: vorn-stats-report, beside this program, makes it with the same
// command line and the same standard input and output.
#include "StatsCommand.h"
#include "analysis/stats/StatsRun.h"
#include "platform/StandardStreams.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

constexpr char ReportProgram[] = "vorn-stats-report";

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

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    StatsOptions options;
    if (const auto status = readStatsCommandLine(argc, argv, arguments, options))
        return *status;
    QCoreApplication app(argc, argv);
    if (!options.pdfPath.isEmpty())
        return runReportProgram(arguments);
    const QTemporaryDir hubDays;
    if (const auto status = takeHubDays(options, hubDays))
        return *status;
    StatsRun run(options);
    run.nameFilesBy(hubDayNames(options, hubDays));
    return run.run();
}
