#include "ProgramSettings.h"

#include <QSettings>

void keepSettingsInFiles()
{
#ifdef Q_OS_WIN
    QSettings::setDefaultFormat(QSettings::IniFormat);
#endif
}
