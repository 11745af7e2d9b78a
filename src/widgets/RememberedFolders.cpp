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
    // The default format: an INI file on Windows (keepSettingsInFiles).
    return QSettings(QSettings::defaultFormat(), QSettings::UserScope, QStringLiteral("VORN"),
                     QStringLiteral("VORN"));
}

} // namespace

namespace RememberedFolders {

namespace {

// A file was written (or holds data) there: a folder of special files (the
// kernel's process folder, whose files read as empty and may never end a
// read) or one where a save failed is no place to start a dialog.
bool holdsWrittenFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

QString pendingKey(Kind kind)
{
    return key(kind) + QStringLiteral("Chosen");
}

} // namespace

QString lastFile(Kind kind)
{
    QSettings store = settings();
    // A file chosen for saving counts once it was written.
    const QString chosen = store.value(pendingKey(kind)).toString();
    if (!chosen.isEmpty() && holdsWrittenFile(chosen)) {
        store.setValue(key(kind), chosen);
        store.remove(pendingKey(kind));
    }
    return store.value(key(kind)).toString();
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
    const QString path = QFileInfo(chosenPath).absoluteFilePath();
    if (holdsWrittenFile(path))
        settings().setValue(key(kind), path);
    else
        settings().setValue(pendingKey(kind), path);
}

} // namespace RememberedFolders
