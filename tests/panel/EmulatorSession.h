#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// One meter emulator on a pseudo-terminal, linked as COM1 in a ports folder
// of its own (VORN_PORTS_DIR is pointed at it), recording what it receives.
class EmulatorSession
{
public:
    // The emulator program: $VORN_METER_EMULATOR, else the one built with
    // the tests. Empty when there is none.
    static QString program();

    EmulatorSession() = default;
    ~EmulatorSession();

    // Starts it and waits until its link exists. False with a reason.
    bool start(const QStringList &extraArguments, QString *why);
    // One run-time command into its control channel.
    bool control(const QString &command);
    // Every byte it received, in order.
    QByteArray received() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

// Waits, with events running, until the condition holds or the time is up.
// The panel's recovery waits inside a tick, so a wait here cannot see the
// states in between; a Watch does.
bool WaitFor(const std::function<bool()> &condition, int timeoutMs);

// Looks at a condition every 20 ms from a timer, which also fires inside the
// panel's own waits, and notes when it first held and what else was true then.
class Watch : public QObject
{
public:
    Watch(std::function<bool()> condition, std::function<void()> whenSeen = {});

    bool seen() const { return m_seenAtMs >= 0; }
    qint64 seenAtMs() const { return m_seenAtMs; } // since the watch was made

private:
    std::function<bool()> m_condition;
    std::function<void()> m_whenSeen;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_seenAtMs = -1;
};
