#include "ShellCommand.h"

#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#include <sys/wait.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>

#include <tlhelp32.h>

namespace {

// The command starts suspended, so that it is in its job before it can start
// anything; then each of its threads is let go.
void resumeProcess(DWORD pid)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid)
            continue;
        if (const HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
            ::ResumeThread(thread);
            ::CloseHandle(thread);
        }
    }
    ::CloseHandle(snapshot);
}

// A job whose processes all end when it is closed or terminated.
HANDLE jobFor(DWORD pid)
{
    const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    const HANDLE process = ::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, pid);
    if (!process || !::AssignProcessToJobObject(job, process)) {
        if (process)
            ::CloseHandle(process);
        ::CloseHandle(job);
        return nullptr;
    }
    ::CloseHandle(process);
    return job;
}

} // namespace
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
#ifdef Q_OS_WIN
    m_process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_SUSPENDED | CREATE_NO_WINDOW;
    });
#endif
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                if (m_endedByUs)
                    m_failure = QStringLiteral("ended at the time limit");
                else if (status == QProcess::CrashExit)
                    m_failure = QStringLiteral("ended by a signal");
                else if (exitCode != 0)
                    m_failure = QStringLiteral("exit status %1").arg(exitCode);
#ifdef Q_OS_UNIX
                // Work the shell left running in the background (`cmd &`,
                // nohup, setsid) is let run to the time limit: the command
                // has ended when its group has.
                if (!m_endedByUs && groupAlive()) {
                    m_lingering = true;
                    m_groupWatch.start();
                    return;
                }
#endif
                signalGroup(Ending::Force);
                Q_EMIT ended();
            });
    m_groupWatch.setInterval(100);
    connect(&m_groupWatch, &QTimer::timeout, this, [this] {
        if (groupAlive())
            return;
        m_groupWatch.stop();
        m_lingering = false;
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
#ifdef Q_OS_WIN
    if (m_job)
        ::CloseHandle(m_job);
#endif
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
    if (m_process.waitForStarted(5000)) {
        const DWORD pid = DWORD(m_process.processId());
        if (m_job)
            ::CloseHandle(m_job);
        m_job = jobFor(pid);
        resumeProcess(pid);
    }
#else
#ifdef Q_OS_LINUX
    // Work the shell leaves in the background is orphaned when it exits:
    // taken in by this program, not by an init that may never reap it.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
    m_process.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), command });
#endif
    m_group = m_process.processId();
}

bool ShellCommand::running() const
{
    return m_process.state() != QProcess::NotRunning || m_lingering;
}

bool ShellCommand::groupAlive() const
{
#ifdef Q_OS_UNIX
    if (m_group <= 0)
        return false;
#ifdef Q_OS_LINUX
    // Its orphans are this program's to reap (see start): a zombie would
    // keep the group alive.
    while (::waitpid(-pid_t(m_group), nullptr, WNOHANG) > 0) { }
#endif
    return ::kill(-pid_t(m_group), 0) == 0;
#else
    return false;
#endif
}

void ShellCommand::signalGroup(Ending ending)
{
#ifdef Q_OS_UNIX
    if (m_group > 0)
        ::kill(-pid_t(m_group), ending == Ending::Ask ? SIGTERM : SIGKILL);
#elif defined(Q_OS_WIN)
    // A console command has no gentle stop another process can send it.
    Q_UNUSED(ending);
    if (m_job)
        ::TerminateJobObject(static_cast<HANDLE>(m_job), 1);
    else if (running())
        m_process.kill();
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
    if (m_lingering)
        m_failure = QStringLiteral("ended at the time limit (work it left running)");
    signalGroup(Ending::Ask);
    QTimer::singleShot(graceMs, this, [this] {
        if (running()) {
            signalGroup(Ending::Force);
            if (m_process.state() != QProcess::NotRunning)
                m_process.kill();
        }
    });
}

bool ShellCommand::waitForFinished(int ms)
{
    QElapsedTimer waited;
    waited.start();
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(ms))
        return false;
    // Its background work, which the group watch follows.
    while (m_lingering && groupAlive()) {
        if (waited.elapsed() >= ms)
            return false;
        QThread::msleep(20);
    }
    return true;
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
    m_groupWatch.stop();
    m_lingering = false;
}
