#include "DiskSync.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
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
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(handle))) != 0;
#else
    return ::fdatasync(handle) == 0;
#endif
}

bool syncFolderToDisk(const QString &folderPath)
{
#ifdef Q_OS_WIN
    // NTFS journals its folder entries itself; a folder cannot be flushed.
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

std::optional<FileIdentity> fileIdentityOf(const QString &path)
{
#ifdef Q_OS_WIN
    // Folders open only with backup semantics; no access is asked for.
    const HANDLE handle
        = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), 0,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    if (!ok)
        return std::nullopt;
    return FileIdentity { info.dwVolumeSerialNumber,
                          (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow };
#else
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity { std::uint64_t(st.st_dev), std::uint64_t(st.st_ino) };
#endif
}

QString openElsewhereReason(const QString &path)
{
#ifdef Q_OS_WIN
    // Asking for the right to delete, sharing everything, fails with a
    // sharing violation exactly while another program keeps it open.
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return {};
    }
    if (::GetLastError() == ERROR_SHARING_VIOLATION)
        return QStringLiteral("it is open in another program; close it there and try again");
    return {};
#else
    Q_UNUSED(path);
    return {};
#endif
}
