#pragma once

#include <QByteArray>
#include <QString>

// The meter's serial line as the program uses it: raw bytes in and out,
// every read takes everything that waits. The live panel owns the one port
// of a run; the other windows borrow it for their exchanges.
class SerialPort
{
public:
    virtual ~SerialPort() = default;

    // Opens COM<portNumber> at 38400,n,8,1 without flow control. On failure
    // returns false and leaves the reason in errorString().
    virtual bool open(int portNumber) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // Everything that waits in the input, possibly nothing.
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesWaiting() = 0;
    virtual bool write(const QByteArray &bytes) = 0;

    // True once the device has gone away (USB adapter pulled, pty closed).
    // A lost port reads as silent until reopen() succeeds.
    virtual bool isLost() const = 0;
    virtual bool reopen() = 0;

    virtual QString errorString() const = 0;

    // Drops everything that waits.
    void discardInput() { readAll(); }
};
