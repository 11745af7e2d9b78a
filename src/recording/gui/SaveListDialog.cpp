#include "SaveListDialog.h"

#include "widgets/Dialogs.h"

void SaveListDialog(QWidget *parent, SaveState &state)
{
    const QString path = dialogs().saveFileName(parent, QString::fromLatin1(DataFileFilter), true);
    state.TargetPath = path;
    state.FileChosen = !path.isEmpty();
}
