#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QFileDevice;

// Pushes what the operating system holds for an open file down to the disk,
// so a power cut after it returns loses nothing written before. False when
// the system refused; the file stays usable.
bool syncFileToDisk(QFileDevice &file);

// Makes a rename or a new name in a folder survive a power cut. Some systems
// keep folder entries apart from file data; where folders cannot be synced
// this does nothing and reports success.
bool syncFolderToDisk(const QString &folderPath);

// What names a file or folder on its disk, whatever its path: device and
// inode on POSIX, volume and file index on Windows. A folder deleted and
// made again under the same path has another identity.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity &) const = default;
};
// Nothing when the path names nothing (or cannot be read).
std::optional<FileIdentity> fileIdentityOf(const QString &path);

// Why a file cannot be replaced now, where the system says: on Windows a
// file another program holds open cannot be renamed over ("it is open in
// another program"); empty where that is not the reason, and always on POSIX.
QString openElsewhereReason(const QString &path);
