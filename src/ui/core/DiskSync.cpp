#include "DiskSync.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

bool syncFileToDisk(QFileDevice &file)
{
    if (!file.flush())
        return false;
    const int handle = file.handle();
    if (handle < 0)
        return false;
#ifdef Q_OS_WIN
    return _commit(handle) == 0;
#else
    return ::fdatasync(handle) == 0;
#endif
}

bool syncFolderToDisk(const QString &folderPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folderPath);
    return true;
#else
    const int handle = ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY);
    if (handle < 0)
        return false;
    const bool synced = ::fsync(handle) == 0;
    ::close(handle);
    return synced;
#endif
}
