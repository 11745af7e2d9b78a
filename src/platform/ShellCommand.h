#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTimer>

// A command line run through the system's shell with nothing on its
// standard input, in a process group of its own (a job object on Windows),
// so that ending it ends everything it started (a shell's `sleep`, a
// pipeline), not the shell alone. On POSIX systems work the shell leaves
// running in the background belongs to the command until its group ends.
class ShellCommand : public QObject
{
    Q_OBJECT

public:
    explicit ShellCommand(QObject *parent = nullptr);
    ~ShellCommand() override;

    // Runs `command` as written (POSIX: /bin/sh -c; Windows: cmd.exe /C).
    void start(const QString &command, const QProcessEnvironment &environment);
    bool running() const;
    qint64 elapsedMs() const { return m_started.isValid() ? m_started.elapsed() : 0; }

    // Asks the whole group to end (SIGTERM), and kills what is left after
    // graceMs (SIGKILL). `ended` tells when it has.
    void endGroup(int graceMs = 2000);
    // Waits up to ms for the command to finish by itself.
    bool waitForFinished(int ms);
    // Ends the group at once and waits for it.
    void killGroupNow();

    // How the command ended: "exit status 3", "ended by signal 9", "ended at
    // the time limit"; empty for exit status 0.
    QString failure() const { return m_failure; }
    bool endedByUs() const { return m_endedByUs; }

Q_SIGNALS:
    void ended();
    void failedToStart(const QString &reason);

private:
    enum class Ending { Ask, Force };
    void signalGroup(Ending ending);
    bool groupAlive() const;

    QProcess m_process;
    QElapsedTimer m_started;
    qint64 m_group = 0;
    void *m_job = nullptr; // Windows: the job object holding the command's tree
    bool m_endedByUs = false;
    // The shell has exited, its group not yet (background work).
    bool m_lingering = false;
    QTimer m_groupWatch;
    QString m_failure;
};
