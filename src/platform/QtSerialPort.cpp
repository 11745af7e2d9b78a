#include "QtSerialPort.h"

#include "ComPortNames.h"

#include <QFileInfo>

namespace {
constexpr qint64 DeviceCheckIntervalMs = 100;
}

QtSerialPort::QtSerialPort(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort() = default;

bool QtSerialPort::open(int portNumber)
{
    // Whatever was open before is let go, so a failed open never leaves the
    // old device talking.
    if (m_port.isOpen())
        m_port.close();
    m_portNumber = portNumber;
    m_devicePath = ComPortNames::devicePath(portNumber);
    if (m_devicePath.isEmpty()) {
        m_error = ComPortNames::notAPortName(portNumber);
        return false;
    }
    m_port.setPortName(m_devicePath);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = ComPortNames::portFailure(portNumber, m_devicePath, m_port.errorString());
#ifndef Q_OS_WIN
        if (m_port.error() == QSerialPort::PermissionError)
            m_error += QStringLiteral(
                "\nYou need access to the device, or another program holds it. On Debian and "
                "Ubuntu, serial devices belong to the group \"dialout\": add yourself with "
                "\"sudo adduser $USER dialout\", then log out and in again.");
#endif
        return false;
    }
    // 38400,n,8,1, no flow control. A port that takes the line settings
    // only partly would talk garbage, so that is a failed open. (The
    // modem-line signals, which a pseudo-terminal refuses, are not touched.)
    const bool settingsTaken = m_port.setBaudRate(QSerialPort::Baud38400)
        && m_port.setDataBits(QSerialPort::Data8) && m_port.setParity(QSerialPort::NoParity)
        && m_port.setStopBits(QSerialPort::OneStop)
        && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!settingsTaken) {
        m_error = ComPortNames::portFailure(
            portNumber, m_devicePath,
            QStringLiteral("the line settings 38400,n,8,1 were refused: ") + m_port.errorString());
        m_port.close();
        return false;
    }
    m_port.clear(QSerialPort::Input);
    m_port.clearError();
    m_lost = false;
    m_error.clear();
    m_sinceDeviceCheck.start();
    return true;
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen();
}

void QtSerialPort::close()
{
    if (m_port.isOpen())
        m_port.close();
}

QByteArray QtSerialPort::readAll()
{
    checkDeviceStillThere();
    if (!m_port.isOpen())
        return {};
    return m_port.readAll();
}

qint64 QtSerialPort::bytesWaiting()
{
    checkDeviceStillThere();
    if (!m_port.isOpen())
        return 0;
    return m_port.bytesAvailable();
}

bool QtSerialPort::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    const qint64 written = m_port.write(bytes);
    if (written != bytes.size())
        return false;
    // Commands are a few bytes; flushing at once keeps the meter's reply
    // timing independent of when the event loop next runs.
    m_port.flush();
    return true;
}

bool QtSerialPort::isLost() const
{
    return m_lost;
}

bool QtSerialPort::reopen()
{
    if (!m_lost && m_port.isOpen())
        return true;
    return open(m_portNumber);
}

QString QtSerialPort::errorString() const
{
    return m_error;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::UnsupportedOperationError: // DTR/RTS on a pty
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        if (m_port.isOpen())
            markLost(m_port.errorString());
        return;
    default:
        return;
    }
}

void QtSerialPort::checkDeviceStillThere()
{
    if (m_lost || !m_port.isOpen() || m_sinceDeviceCheck.elapsed() < DeviceCheckIntervalMs)
        return;
    m_sinceDeviceCheck.restart();
    // A pulled adapter on Linux may read as end-of-file forever instead of
    // raising an error; its device node disappears, which is what we watch.
    if (!QFileInfo::exists(m_devicePath))
        markLost(QStringLiteral("%1 has gone away").arg(m_devicePath));
}

void QtSerialPort::markLost(const QString &reason)
{
    m_lost = true;
    m_error = reason;
    m_port.close();
}
