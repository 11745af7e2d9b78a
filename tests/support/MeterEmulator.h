#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The meter emulator as a child process on its own ports folder
// (VORN_PORTS_DIR points there while it lives), linked as COM1 and recording
// every byte it receives.
class MeterEmulator
{
public:
    // Empty when no emulator was built with the tests.
    static QString program();

    MeterEmulator() = default;
    ~MeterEmulator();
    MeterEmulator(const MeterEmulator &) = delete;
    MeterEmulator &operator=(const MeterEmulator &) = delete;

    // Starts it and waits for its COM1 link. False with the reason.
    bool start(const QStringList &extraArguments, QString *why);
    // One run-time command line into its control FIFO.
    bool control(const QString &command);
    // Every byte received so far, in order.
    QByteArray received() const;
    // Ends it (SIGTERM); true once no process is left.
    bool stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // What it printed on standard output so far (the answers to "status").
    QString output();
    QString portsFolder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_output;
};
