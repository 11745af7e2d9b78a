#include "ProgramRun.h"

#include "LiveSession.h"
#include "Panel.h"
#include "analysis/gui/OpenDataFile.h"
#include "analysis/gui/SeriesWindow.h"
#include "link/PortChoice.h"
#include "link/gui/Port.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>

namespace {

// Ends the run from the event loop: the caller may be inside a wait or a
// dialog that must unwind first.
void quitSoon(int exitCode)
{
    QMetaObject::invokeMethod(
        qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}

} // namespace

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

void ProgramRun::startOnPort(const QString &portText)
{
    openPanel(ComPortNumberOfText(portText, 0));
    if (!m_panel->isVisible() && !m_filesOpened)
        quitSoon(1);
}

void ProgramRun::startWithFiles(const QStringList &paths)
{
    openFiles(paths);
}

void ProgramRun::startWithSeries(const QStringList &paths)
{
    // The progress and any message about the files come before the window.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, this, [this, paths] {
        if (OpenSeries(paths))
            ++m_filesOpened;
        QGuiApplication::setQuitOnLastWindowClosed(true);
        if (m_filesOpened == 0) {
            m_failed = true;
            quitSoon(1);
        }
    });
}

void ProgramRun::openPanel(int comPortNumber)
{
    m_panel = std::make_unique<Panel>(comPortNumber);
    new LiveSession(*m_panel); // owned by the panel
    if (!m_panel->startUp()) {
        if (m_panel->openFilesChosen()) {
            askForFiles();
            return;
        }
        // The Port window closes next; with no window left the run ends.
        m_failed = true;
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

void ProgramRun::askForFiles()
{
    const QStringList paths = dialogs().openFileNames(nullptr, dataFileFilter());
    if (paths.isEmpty()) {
        m_failed = true;
        quitSoon(1);
        return;
    }
    openFiles(paths);
}

void ProgramRun::openFiles(const QStringList &paths)
{
    // A message about a bad file may close before any window is open; the
    // run goes on with the files after it.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const AnalysisHost noPanel;
    for (const QString &path : paths) {
        if (OpenDataFileAt(path, noPanel, WindowUse::OwnWindow))
            ++m_filesOpened;
    }
    QGuiApplication::setQuitOnLastWindowClosed(true);
    if (m_filesOpened == 0) {
        m_failed = true;
        quitSoon(1);
    }
}
