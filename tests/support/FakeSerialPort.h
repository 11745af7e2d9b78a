#pragma once

#include "platform/SerialPort.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <vector>

// An in-memory port for unit tests: input is fed by the test (now or after a
// delay, through the event loop, so it arrives inside a Delay), every write is
// recorded with its time, and a responder can answer writes as a meter would.
class FakeSerialPort : public QObject, public SerialPort
{
    Q_OBJECT

public:
    struct Write
    {
        QByteArray bytes;
        qint64 atMs; // since the port was made
    };
    // Returns the bytes the "meter" sends back for a write (may be empty).
    using Responder = std::function<QByteArray(const QByteArray &written)>;

    explicit FakeSerialPort(QObject *parent = nullptr);

    bool open(int portNumber) override;
    bool isOpen() const override;
    void close() override;
    QByteArray readAll() override;
    qint64 bytesWaiting() override;
    bool write(const QByteArray &bytes) override;
    bool isLost() const override;
    bool reopen() override;
    QString errorString() const override;

    void feed(const QByteArray &bytes);
    void feedAfter(int ms, const QByteArray &bytes);
    void setResponder(Responder responder, int replyDelayMs = 0);
    void setOpenFails(bool fails);
    void setLost(bool lost);

    const std::vector<Write> &writes() const { return m_writes; }
    QByteArray written() const;
    void clearWrites() { m_writes.clear(); }
    int openedPort() const { return m_portNumber; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    QByteArray m_input;
    std::vector<Write> m_writes;
    Responder m_responder;
    int m_replyDelayMs = 0;
    int m_portNumber = 0;
    bool m_open = false;
    bool m_openFails = false;
    bool m_lost = false;
    QElapsedTimer m_clock;
};
