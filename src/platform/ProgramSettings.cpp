#include "ProgramSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

void keepSettingsInFiles()
{
#ifdef Q_OS_WIN
    QSettings::setDefaultFormat(QSettings::IniFormat);
#endif
}

void useWritableWorkingFolder()
{
#ifdef Q_OS_WIN
    const QString current = QDir::currentPath();
    const bool programFolder = QFileInfo(current).canonicalFilePath()
        == QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
    if (!programFolder && QFileInfo(current).isWritable())
        return;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!data.isEmpty() && QDir().mkpath(data))
        QDir::setCurrent(data);
#endif
}
