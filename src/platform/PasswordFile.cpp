#include "PasswordFile.h"

#include <QDir>
#include <QFile>

std::optional<QString> readPasswordFile(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("\"%1\" cannot be read: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        return std::nullopt;
    }
#ifdef Q_OS_UNIX
    // A password others can read is no secret: refused, not used.
    // Nor one others may write: they could put their own in its place.
    if (file.permissions()
        & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
           | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther)) {
        *reason = QStringLiteral("\"%1\" may be read or changed by other users; make it its "
                                 "owner's alone (chmod 600)")
                      .arg(QDir::toNativeSeparators(path));
        return std::nullopt;
    }
#endif
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}
