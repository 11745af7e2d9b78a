#include "link/windows/Port.h"
#include "panel/windows/Panel.h"
#include "ui/widgets/Dialogs.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(programName());

    std::unique_ptr<Panel> panel;
    bool startUpFailed = false;
    Port port;
    QObject::connect(&port, &Port::portChosen, [&](int comPortNumber) {
        panel = std::make_unique<Panel>(comPortNumber);
        if (!panel->startUp()) {
            // The Port window closes next; with no window left the run ends.
            startUpFailed = true;
            return;
        }
        // Closing the panel ends the run, whatever other windows are open.
        QObject::connect(panel.get(), &Panel::closed, &app, [] {
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    QApplication::closeAllWindows();
                    QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        });
        panel->show();
    });
    port.show();
    const int result = app.exec();
    return startUpFailed ? 1 : result;
}
