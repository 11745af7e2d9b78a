#pragma once

#include <QObject>

#include <memory>

class Panel;
class Port;

// One run of the program: the Port window first; its OK opens the live panel
// (or, when the port cannot be opened, says so and ends the run); closing
// the panel closes every window and ends the run.
class ProgramRun : public QObject
{
    Q_OBJECT

public:
    ProgramRun();
    ~ProgramRun() override;

    void start();

    Port *portWindow() const { return m_port.get(); }
    Panel *panel() const { return m_panel.get(); }

    // The process exit code once the event loop returned.
    int exitCode(int eventLoopResult) const { return m_startUpFailed ? 1 : eventLoopResult; }

private:
    void openPanel(int comPortNumber);

    std::unique_ptr<Port> m_port;
    std::unique_ptr<Panel> m_panel;
    bool m_startUpFailed = false;
};
