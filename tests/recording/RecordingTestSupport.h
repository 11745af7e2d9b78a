#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Whole contents of a file, empty when it cannot be read.
QByteArray fileBytes(const QString &path);
// 2013/03/04 08:00:00 local time plus the given seconds.
QDateTime sampleClock(int seconds);
// A folder inside base where no file can be created: read-only where the
// system enforces it, otherwise (running with full rights) a plain file
// standing where the folder should be.
class UnwritableFolder
{
public:
    explicit UnwritableFolder(const QString &base);
    ~UnwritableFolder();
    const QString &path() const { return m_path; }
    QString filePath(const char *name) const;

private:
    QString m_path;
    bool m_readOnly = false;
};
