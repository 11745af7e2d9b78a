#pragma once

#include <QString>

class QFileDevice;

// Pushes what the operating system holds for an open file down to the disk,
// so a power cut after it returns loses nothing written before. False when
// the system refused; the file stays usable.
bool syncFileToDisk(QFileDevice &file);

// Makes a rename or a new name in a folder survive a power cut. Some systems
// keep folder entries apart from file data; where folders cannot be synced
// this does nothing and reports success.
bool syncFolderToDisk(const QString &folderPath);
