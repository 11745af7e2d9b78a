#pragma once

#include <QFile>
#include <QString>

// The temporary file "Fake" in the current folder that a running recording
// appends its records to. Each record is pushed to the disk as it is
// written, so a killed program or a power cut loses at most the last second
// and the file is complete up to its last whole line.
class RecordingTempFile
{
public:
    static constexpr char FileName[] = "Fake";

    // Creates the file anew with the column header line.
    bool create(const QString &folder);
    bool appendLine(const QString &text);
    void close();

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    QString errorString() const { return m_file.errorString(); }

private:
    QFile m_file;
};
