#include "ShellCommand.h"

#include <QTimer>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#endif

ShellCommand::ShellCommand(QObject *parent)
    : QObject(parent)
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    // A command that reads its input gets an end of file, not a wait.
    m_process.setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // A group of its own: its children end with it.
    m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                if (m_endedByUs)
                    m_failure = QStringLiteral("ended at the time limit");
                else if (status == QProcess::CrashExit)
                    m_failure = QStringLiteral("ended by a signal");
                else if (exitCode != 0)
                    m_failure = QStringLiteral("exit status %1").arg(exitCode);
                // What it left running in its group goes with it.
                signalGroup(Ending::Force);
                Q_EMIT ended();
            });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Q_EMIT failedToStart(m_process.errorString());
    });
}

ShellCommand::~ShellCommand()
{
    if (running())
        killGroupNow();
}

void ShellCommand::start(const QString &command, const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
    m_started.start();
#ifdef Q_OS_WIN
    // cmd.exe takes the text between the outer quotes as written (/S).
    m_process.setProgram(qEnvironmentVariable("ComSpec", QStringLiteral("cmd.exe")));
    m_process.setNativeArguments(QStringLiteral("/D /S /C \"%1\"").arg(command));
    m_process.start();
#else
    m_process.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), command });
#endif
    m_group = m_process.processId();
}

bool ShellCommand::running() const
{
    return m_process.state() != QProcess::NotRunning;
}

void ShellCommand::signalGroup(Ending ending)
{
#ifdef Q_OS_UNIX
    if (m_group > 0)
        ::kill(-pid_t(m_group), ending == Ending::Ask ? SIGTERM : SIGKILL);
#else
    if (ending == Ending::Force && running())
        m_process.kill();
#endif
}

void ShellCommand::endGroup(int graceMs)
{
    if (!running())
        return;
    m_endedByUs = true;
    signalGroup(Ending::Ask);
    QTimer::singleShot(graceMs, this, [this] {
        if (running()) {
            signalGroup(Ending::Force);
            m_process.kill();
        }
    });
}

bool ShellCommand::waitForFinished(int ms)
{
    return !running() || m_process.waitForFinished(ms);
}

void ShellCommand::killGroupNow()
{
    m_endedByUs = true;
    signalGroup(Ending::Ask);
    if (!m_process.waitForFinished(500)) {
        signalGroup(Ending::Force);
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    signalGroup(Ending::Force);
}
