#pragma once

#include <QSaveFile>
#include <QString>

// A data file that appears under its name only when it is complete: it is
// written under a temporary name, pushed to the disk and then renamed, and
// the folder entry is synced too. A crash or a full disk leaves either the
// old file or none, never a truncated one that looks whole.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);
    ~AtomicFile();

    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool open();
    bool write(const QByteArray &bytes);
    // Makes the file appear under its name; false leaves no file behind.
    bool commit();
    // Drops everything written; the target is left as it was.
    void discard();

    const QString &path() const { return m_path; }
    // The reason of the last failure, for a message that names the file.
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &reason);

    QString m_path;
    QSaveFile m_file;
    QString m_error;
    bool m_failed = false;
};

// The message for a file that could not be written: names the file and why.
QString fileErrorMessage(const QString &path, const QString &reason);
