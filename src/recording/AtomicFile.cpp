#include "AtomicFile.h"

#include "platform/DiskSync.h"

#include <QDir>
#include <QFileInfo>

AtomicFile::AtomicFile(const QString &path)
    : m_path(path)
    , m_file(path)
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::open()
{
    // The dialog already asked before overwriting; the old file stays intact
    // until the new one is complete.
    m_file.setDirectWriteFallback(false);
    if (!m_file.open(QIODevice::WriteOnly))
        return fail(m_file.errorString());
    return true;
}

bool AtomicFile::write(const QByteArray &bytes)
{
    if (m_failed)
        return false;
    if (m_file.write(bytes) != bytes.size())
        return fail(m_file.errorString());
    return true;
}

bool AtomicFile::commit()
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (!syncFileToDisk(m_file))
        return fail(m_file.errorString().isEmpty() ? QStringLiteral("cannot flush it to the disk")
                                                   : m_file.errorString());
    if (!m_file.commit()) {
        // The rename is what fails when another program holds the target.
        const QString elsewhere = openElsewhereReason(m_path);
        return fail(elsewhere.isEmpty() ? m_file.errorString() : elsewhere);
    }
    syncFolderToDisk(QFileInfo(m_path).absolutePath());
    return true;
}

void AtomicFile::discard()
{
    if (!m_file.isOpen())
        return;
    m_file.cancelWriting();
    m_file.commit(); // with writing cancelled this only removes the temporary file
}

bool AtomicFile::fail(const QString &reason)
{
    m_failed = true;
    m_error = reason;
    discard();
    return false;
}

QString fileErrorMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("The file \"%1\" could not be written: %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}
