#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// Standard output and error carry the program's bytes as they are: on
// Windows the C runtime would turn each "\n" into "\r\n", and a CSV or JSON
// file written through a pipe would differ from the one made on Linux.
void useBinaryStandardStreams();

// Text to standard output or error: UTF-8 into a file or pipe; into a
// Windows console as the console's own wide text, so that every character
// shows whatever its code page.
void writeText(FILE *stream, const QString &text);

// The program's arguments after its name, as the user typed them: on
// Windows from the wide command line (the ANSI code page would turn "Łódź"
// into another file's name), with * and ? in file arguments expanded as
// Windows command-line tools do, since cmd.exe expands nothing. Elsewhere
// the shell has done both.
QStringList programArguments(int argc, char *argv[]);

// The same expansion of one list (a window program's arguments): each
// argument that is no option and holds * or ? becomes the files it matches,
// in name order; one that matches nothing stays, so its message names it.
QStringList expandWildcards(const QStringList &arguments);

// A window program's arguments as a shell would hand them over: on Windows
// with the wildcards expanded, elsewhere as they are.
QStringList shellExpanded(const QStringList &arguments);
