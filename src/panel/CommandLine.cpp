#include "CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {
// Usage errors end with 2, as command-line tools do.
constexpr int UsageErrorExitCode = 2;
} // namespace

CommandLineRequest ParseCommandLine(const QStringList &arguments, const QString &version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Companion program of the sound level meter: live panel, recording, "
                       "logger download and the statistics of \".vorn\" data files."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Open the meter on <port> (COM1 to COM16, exactly) without asking."),
        QStringLiteral("port"));
    parser.addOption(port);
    const QCommandLineOption series(
        QStringLiteral("series"),
        QStringLiteral("Open the files as one series ordered by time (a station's day files); "
                       "a folder given alone opens its data files so."));
    parser.addOption(series);
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QStringLiteral("Data files to open without a meter, each in its own window, or a "
                       "folder of day files to open as one series."),
        QStringLiteral("[files...]"));

    CommandLineRequest request;
    if (!parser.parse(arguments)) {
        request.action = CommandLineRequest::Action::Fail;
        request.output = parser.errorText() + QLatin1Char('\n');
        request.exitCode = UsageErrorExitCode;
        return request;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        request.action = CommandLineRequest::Action::Print;
        request.output = parser.helpText();
        return request;
    }
    if (parser.isSet(versionOption)) {
        request.action = CommandLineRequest::Action::Print;
        request.output = QStringLiteral("VORN %1\n").arg(version);
        return request;
    }
    // As given, against the folder the program was started in: the program
    // may change its current folder later (a writable working folder).
    for (const QString &file : parser.positionalArguments())
        request.files << QFileInfo(file).absoluteFilePath();
    request.series = parser.isSet(series)
        || (request.files.size() == 1 && QFileInfo(request.files.front()).isDir());
    if (request.series && request.files.isEmpty()) {
        request.action = CommandLineRequest::Action::Fail;
        request.output = QStringLiteral("--series needs data files or a folder.\n");
        request.exitCode = UsageErrorExitCode;
        return request;
    }
    request.portGiven = parser.isSet(port);
    request.port = parser.value(port);
    if (request.portGiven && !request.files.isEmpty()) {
        request.action = CommandLineRequest::Action::Fail;
        request.output = QStringLiteral("--port and data files cannot be given together.\n");
        request.exitCode = UsageErrorExitCode;
    }
    return request;
}
