#include "ComPortNames.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace ComPortNames {

QStringList names()
{
    QStringList list;
    for (int n = FirstPort; n <= LastPort; ++n)
        list << QStringLiteral("COM%1").arg(n);
    return list;
}

QString portsFolder()
{
    const QString fromEnv = qEnvironmentVariable("VORN_PORTS_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/vorn/ports");
#ifdef Q_OS_WIN
    return QDir::tempPath() + QStringLiteral("/vorn/ports");
#else
    return QStringLiteral("/tmp/vorn-%1/ports").arg(getuid());
#endif
}

QString fallbackDevice(int portNumber)
{
    if (portNumber >= 1 && portNumber <= 8)
        return QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 1);
    if (portNumber >= 9 && portNumber <= 12)
        return QStringLiteral("/dev/ttyACM%1").arg(portNumber - 9);
    if (portNumber >= 13 && portNumber <= 16)
        return QStringLiteral("/dev/ttyS%1").arg(portNumber - 13);
    return {};
}

QString devicePath(int portNumber)
{
    if (portNumber < FirstPort || portNumber > LastPort)
        return {};
#ifdef Q_OS_WIN
    // The device namespace: COM10 and up open only by this name.
    return QStringLiteral("\\\\.\\COM%1").arg(portNumber);
#else
    const QString link = portsFolder() + QStringLiteral("/COM%1").arg(portNumber);
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
        return link;
    return fallbackDevice(portNumber);
#endif
}

QString notAPortName(int portNumber)
{
    return QStringLiteral("COM%1 is not a port name (COM1 to COM16).").arg(portNumber);
}

QString portFailure(int portNumber, const QString &device, const QString &what)
{
    return QStringLiteral("COM%1 (%2): %3").arg(portNumber).arg(device, what);
}

} // namespace ComPortNames
