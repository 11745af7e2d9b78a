#include "ProgramRun.h"

#include "LiveSession.h"
#include "Panel.h"
#include "link/windows/Port.h"

#include <QApplication>

ProgramRun::ProgramRun()
    : m_port(std::make_unique<Port>())
{
    connect(m_port.get(), &Port::portChosen, this, &ProgramRun::openPanel);
}

ProgramRun::~ProgramRun() = default;

void ProgramRun::start()
{
    m_port->show();
}

void ProgramRun::openPanel(int comPortNumber)
{
    m_panel = std::make_unique<Panel>(comPortNumber);
    new LiveSession(*m_panel); // owned by the panel
    if (!m_panel->startUp()) {
        // The Port window closes next; with no window left the run ends.
        m_startUpFailed = true;
        return;
    }
    // Closing the panel ends the run, whatever other windows are open. Queued:
    // the close may come from inside a wait of the panel, which must unwind
    // first.
    connect(m_panel.get(), &Panel::closed, this, [] {
        QMetaObject::invokeMethod(
            qApp,
            [] {
                QApplication::closeAllWindows();
                QCoreApplication::quit();
            },
            Qt::QueuedConnection);
    });
    m_panel->show();
}
