#pragma once

#include "SerialPort.h"

// The serial port on Windows through the Win32 calls themselves: reads ask
// for what has arrived and return at once, with no comm events. QSerialPort
// reads only after a comm event says data came, and Wine raises none for a
// port mapped to a pseudo-terminal (nor do some USB adapters' drivers
// reliably); a plain ReadFile gets the bytes in every case. The port list
// still comes from QSerialPortInfo.
class Win32SerialPort : public SerialPort
{
public:
    Win32SerialPort() = default;
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort &) = delete;
    Win32SerialPort &operator=(const Win32SerialPort &) = delete;

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
    // Moves what has arrived into m_received; false once the port is lost.
    bool takeArrived();
    void markLost(const QString &reason);
    QString failure(const QString &what) const;

    void *m_handle = nullptr; // INVALID_HANDLE_VALUE is never kept
    int m_portNumber = 0;
    QString m_devicePath;
    QString m_error;
    QByteArray m_received;
    bool m_lost = false;
    // A pulled adapter may read as nothing forever instead of failing (under
    // Wine it always does): the device is looked for now and then.
    void checkDeviceStillThere();
    unsigned long long m_lastDeviceCheckMs = 0;
    static constexpr unsigned long long DeviceCheckIntervalMs = 2000;
};
