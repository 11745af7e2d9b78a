#pragma once

#include "SerialPort.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>

// The serial port over Qt's QSerialPort. A device that vanishes while open
// (an error, or its device node gone) closes the port and marks it lost, so
// that no read notifier can spin on an endless end-of-file.
class QtSerialPort : public QObject, public SerialPort
{
    Q_OBJECT

public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open(int portNumber) override;
    bool isOpen() const override;
    void close() override;
    QByteArray readAll() override;
    qint64 bytesWaiting() override;
    bool write(const QByteArray &bytes) override;
    bool isLost() const override;
    bool reopen() override;
    QString errorString() const override;

private:
    void onError(QSerialPort::SerialPortError error);
    void checkDeviceStillThere();
    void markLost(const QString &reason);

    QSerialPort m_port;
    int m_portNumber = 0;
    QString m_devicePath;
    QString m_error;
    bool m_lost = false;
    QElapsedTimer m_sinceDeviceCheck;
};
