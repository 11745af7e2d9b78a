#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

class ProgramRun;
class QWidget;

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

// Processes events (never spinning) until the condition holds or the time
// is up; the condition is looked at once more at the end.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs);
// Looks at a condition every 20 ms from a timer, which also fires inside the
// program's own waits (a recovery waits inside the poll tick, where a
// WaitUntil further down the stack cannot look), and keeps the first moment
// it held; whenSeen runs then, to note what else was true at that moment.
class Watch : public QObject
{
public:
    explicit Watch(std::function<bool()> condition, std::function<void()> whenSeen = {});
    bool seen() const { return m_seen; }

private:
    std::function<bool()> m_condition;
    std::function<void()> m_whenSeen;
    QTimer m_timer;
    bool m_seen = false;
};

// Processes events for the given time.
void RunEventsFor(int ms);

// Runs the program as main() does: starts the run, plays the steps inside
// its event loop, closes the panel after them and returns the run's exit
// code (99 when the safety time ran out first).
int RunProgram(ProgramRun &run, const std::function<void()> &steps, int safetyMs);
// Types the name into the Port window and presses OK; true once the panel
// shows and the meter's level figure mirrors a reading.
bool ChoosePort(ProgramRun &run, const QString &name);

// The visible top-level window with this object name, or nullptr.
QWidget *TopLevel(const QString &objectName);
// Saves a picture of the window as <name>.png in the screenshot folder;
// returns the file path (empty when it could not be written).
QString SaveScreenshot(QWidget *window, const QString &name);
QString ScreenshotFolder();

// The text of a PDF, by pdftotext; empty when it is not installed.
QString PdfText(const QString &pdfPath);

// Counts occurrences of a byte sequence.
int CountOf(const QByteArray &haystack, const QByteArray &needle);

// Steps of a walk whose feature is not in this build of the program yet:
// noted once and printed at the end, so a run says what it could not check.
class WalkGaps
{
public:
    void note(const QString &gap);
    const QStringList &all() const { return m_gaps; }
    ~WalkGaps();

private:
    QStringList m_gaps;
};
