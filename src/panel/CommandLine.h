#pragma once

#include <QString>
#include <QStringList>

// What the arguments of the program ask for. Without arguments the program
// starts with the Port window as it always did.
struct CommandLineRequest
{
    enum class Action {
        Run, // start: files, a port, or the Port window
        Print, // print output (help, version) and end with exitCode
        Fail, // print output (one line naming the fault) and end with exitCode
    };

    Action action = Action::Run;
    QStringList files; // data files to open without a meter
    // The files (or one folder's data files) as one series ("--series", or a
    // folder given).
    bool series = false;
    bool portGiven = false; // "--port": skip the Port window
    QString port; // its text, matched exactly
    QString output;
    int exitCode = 0;
};

// Parses the arguments (argv[0] first). The version is the program's.
CommandLineRequest ParseCommandLine(const QStringList &arguments, const QString &version);
