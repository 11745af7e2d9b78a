#include "RecordingTestSupport.h"

#include <QDir>
#include <QFile>

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QDateTime sampleClock(int seconds)
{
    return QDateTime(QDate(2013, 3, 4), QTime(8, 0, 0)).addSecs(seconds);
}

UnwritableFolder::UnwritableFolder(const QString &base)
    : m_path(QDir(base).filePath(QStringLiteral("locked")))
{
    QDir(base).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(QDir(m_path).filePath(QStringLiteral("probe")));
    m_readOnly = !probe.open(QIODevice::WriteOnly);
    if (m_readOnly)
        return;
    probe.remove();
    QDir(base).rmdir(QStringLiteral("locked"));
    QFile blocker(m_path);
    blocker.open(QIODevice::WriteOnly);
}

UnwritableFolder::~UnwritableFolder()
{
    if (m_readOnly)
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString UnwritableFolder::filePath(const char *name) const
{
    return QDir(m_path).filePath(QString::fromLatin1(name));
}
