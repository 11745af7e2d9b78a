#include "panel/CommandLine.h"
#include "panel/gui/ProgramRun.h"
#include "recording/gui/StartUpRecovery.h"
#include "platform/ProgramSettings.h"
#include "platform/StandardStreams.h"
#include "widgets/Dialogs.h"
#include "widgets/ProgramFont.h"

#include <QApplication>
#include <QRegularExpression>

#include <cstdio>

namespace {

const QString Version = QStringLiteral(VORN_VERSION);

int print(const CommandLineRequest &request)
{
    std::FILE *stream = request.action == CommandLineRequest::Action::Print ? stdout : stderr;
    std::fputs(request.output.toLocal8Bit().constData(), stream);
    std::fflush(stream);
    return request.exitCode;
}

// The options the window system takes for itself (-platform, -style, ...).
bool hasWindowSystemOption(const QStringList &arguments)
{
    static const QRegularExpression option(QStringLiteral(
        "^--?(platform|platformpluginpath|platformtheme|plugin|qmljsdebugger|qwindow\\w+|reverse|"
        "session|style|stylesheet|widgetcount|display|geometry|title|name|font|fn|bg|fg|btn|"
        "button|background|foreground|im|nograb|dograb|sync|visual|ncols|cmap)(=.*)?$"));
    for (const QString &argument : arguments) {
        if (option.match(argument).hasMatch())
            return true;
    }
    return false;
}

// Help, version and usage faults are printed without a display, unless the
// window system's own options are among the arguments: those are taken out
// by the application before the program's parse.
bool printedWithoutDisplay(int argc, char *argv[], int *exitCode)
{
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName(programName());
    const QStringList arguments = shellExpanded(QCoreApplication::arguments());
    const CommandLineRequest request = ParseCommandLine(arguments, Version);
    if (request.action == CommandLineRequest::Action::Run
        || (request.action == CommandLineRequest::Action::Fail && hasWindowSystemOption(arguments)))
        return false;
    *exitCode = print(request);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Help and messages read the same as on Linux, line ends included.
    useBinaryStandardStreams();
    int exitCode = 0;
    if (printedWithoutDisplay(argc, argv, &exitCode))
        return exitCode;

    keepSettingsInFiles();
    QApplication app(argc, argv);
    QApplication::setApplicationName(programName());
    QApplication::setApplicationVersion(Version);
    useProgramFont();
    useWritableWorkingFolder();
    const CommandLineRequest request
        = ParseCommandLine(shellExpanded(QApplication::arguments()), Version);
    if (request.action != CommandLineRequest::Action::Run)
        return print(request);

    // An unfinished recording from an earlier run is dealt with first,
    // whichever way this run starts.
    RecoverRecordingAtStart();

    ProgramRun run;
    if (request.series)
        run.startWithSeries(request.files);
    else if (!request.files.isEmpty())
        run.startWithFiles(request.files);
    else if (request.portGiven)
        run.startOnPort(request.port);
    else
        run.start();
    return run.exitCode(app.exec());
}
