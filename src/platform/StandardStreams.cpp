#include "StandardStreams.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>
#endif

void useBinaryStandardStreams()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void writeText(FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        // A console shows "\r\n" as a line end; the text carries "\n".
        const QString shown = QString(text).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        DWORD written = 0;
        WriteConsoleW(handle, reinterpret_cast<const wchar_t *>(shown.utf16()),
                      DWORD(shown.size()), &written, nullptr);
        return;
    }
#endif
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QStringList expandWildcards(const QStringList &arguments)
{
    QStringList expanded;
    for (const QString &argument : arguments) {
        const QString name = QFileInfo(argument).fileName();
        if (argument.startsWith(QLatin1Char('-'))
            || !(name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')))) {
            expanded << argument;
            continue;
        }
        // Only the last part of a path holds the pattern, as in cmd's own dir.
        const qsizetype cut = argument.size() - name.size();
        const QString folder = argument.left(cut);
        const QStringList matches
            = QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
                  .entryList({ name }, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        if (matches.isEmpty()) {
            expanded << argument;
            continue;
        }
        for (const QString &match : matches)
            expanded << folder + match;
    }
    return expanded;
}

QStringList programArguments(int argc, char *argv[])
{
    QStringList arguments;
#ifdef Q_OS_WIN
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    int count = 0;
    if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments << QString::fromWCharArray(wide[i]);
        LocalFree(wide);
    }
    return expandWildcards(arguments);
#else
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
#endif
}

QStringList shellExpanded(const QStringList &arguments)
{
#ifdef Q_OS_WIN
    return expandWildcards(arguments);
#else
    return arguments;
#endif
}
