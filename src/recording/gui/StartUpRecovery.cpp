#include "StartUpRecovery.h"

#include "widgets/Dialogs.h"

#include <QDir>

RecoveryOutcome RecoverRecordingAtStart(QWidget *parent)
{
    const RecoveryOutcome outcome = RecoverUnfinishedRecording(QDir::currentPath());
    if (outcome.Found)
        dialogs().message(parent, outcome.Message, QString(),
                          outcome.Ok ? MessageIcon::Information : MessageIcon::Critical,
                          MessageButtons::Ok);
    return outcome;
}
