#include "RememberedFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

QString key(RememberedFolders::Kind kind)
{
    switch (kind) {
    case RememberedFolders::Kind::DataOpened:
        return QStringLiteral("Folders/DataOpened");
    case RememberedFolders::Kind::DataSaved:
        return QStringLiteral("Folders/DataSaved");
    case RememberedFolders::Kind::Reports:
        break;
    }
    return QStringLiteral("Folders/Reports");
}

QSettings settings()
{
    return QSettings(QStringLiteral("VORN"), QStringLiteral("VORN"));
}

} // namespace

namespace RememberedFolders {

QString lastFile(Kind kind)
{
    return settings().value(key(kind)).toString();
}

QString folder(Kind kind)
{
    const QString last = lastFile(kind);
    if (last.isEmpty())
        return {};
    const QString folder = QFileInfo(last).absolutePath();
    // A folder that went away (a pulled stick) is no place to start.
    return QDir(folder).exists() ? folder : QString();
}

void remember(Kind kind, const QString &chosenPath)
{
    if (chosenPath.isEmpty())
        return;
    settings().setValue(key(kind), QFileInfo(chosenPath).absoluteFilePath());
}

} // namespace RememberedFolders
