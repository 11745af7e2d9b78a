#include "panel/windows/ProgramRun.h"
#include "ui/widgets/Dialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(programName());
    ProgramRun run;
    run.start();
    return run.exitCode(app.exec());
}
