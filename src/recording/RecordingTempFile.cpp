#include "RecordingTempFile.h"

#include "DataFileWriter.h"
#include "ui/core/DiskSync.h"

#include <QDir>

bool RecordingTempFile::create(const QString &folder)
{
    close();
    m_file.setFileName(QDir(folder).absoluteFilePath(QString::fromLatin1(FileName)));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (!appendLine(ColumnHeaderLine())) {
        close();
        return false;
    }
    return true;
}

bool RecordingTempFile::appendLine(const QString &text)
{
    const QByteArray bytes = FileLine(text);
    return m_file.write(bytes) == bytes.size() && syncFileToDisk(m_file);
}

void RecordingTempFile::close()
{
    if (m_file.isOpen())
        m_file.close();
}
