#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class Panel;
class Port;

// One run of the program: the Port window first; its OK opens the live panel
// (or, when the port cannot be opened, says so and ends the run, or opens
// data files if the user asks for that instead); closing the panel closes
// every window and ends the run. Started with data files, the run opens them
// without a meter and ends when their last window closes.
class ProgramRun : public QObject
{
    Q_OBJECT

public:
    ProgramRun();
    ~ProgramRun() override;

    // Shows the Port window.
    void start();
    // Skips the Port window: opens the port the text names exactly
    // ("COM1".."COM16"), as the Port window's OK would.
    void startOnPort(const QString &portText);
    // Opens each file in a window of its own, without the Port window and
    // without a meter.
    void startWithFiles(const QStringList &paths);
    // Opens the files (or a folder's day files) as one series in its window.
    void startWithSeries(const QStringList &paths);

    Port *portWindow() const { return m_port.get(); }
    Panel *panel() const { return m_panel.get(); }
    // Statistics windows opened without a meter so far.
    int filesOpened() const { return m_filesOpened; }

    // The process exit code once the event loop returned.
    int exitCode(int eventLoopResult) const { return m_failed ? 1 : eventLoopResult; }

private:
    void openPanel(int comPortNumber);
    void askForFiles();
    void openFiles(const QStringList &paths);

    std::unique_ptr<Port> m_port;
    std::unique_ptr<Panel> m_panel;
    bool m_failed = false;
    int m_filesOpened = 0;
};
