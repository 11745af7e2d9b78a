#include "panel/windows/ProgramRun.h"
#include "recording/windows/StartUpRecovery.h"
#include "ui/widgets/Dialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(programName());
    RecoverRecordingAtStart();
    ProgramRun run;
    run.start();
    return run.exitCode(app.exec());
}
