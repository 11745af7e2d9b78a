#include "FakeSerialPort.h"

#include <QTimer>

FakeSerialPort::FakeSerialPort(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

bool FakeSerialPort::open(int portNumber)
{
    m_portNumber = portNumber;
    if (m_openFails || portNumber < 1 || portNumber > 16)
        return false;
    // Like the real port, an open starts with nothing waiting.
    m_input.clear();
    m_open = true;
    m_lost = false;
    return true;
}

bool FakeSerialPort::isOpen() const
{
    return m_open;
}

void FakeSerialPort::close()
{
    m_open = false;
}

QByteArray FakeSerialPort::readAll()
{
    if (!m_open || m_lost)
        return {};
    QByteArray out;
    out.swap(m_input);
    return out;
}

qint64 FakeSerialPort::bytesWaiting()
{
    return (m_open && !m_lost) ? m_input.size() : 0;
}

bool FakeSerialPort::write(const QByteArray &bytes)
{
    if (!m_open || m_lost)
        return false;
    m_writes.push_back({ bytes, m_clock.elapsed() });
    if (m_responder) {
        const QByteArray reply = m_responder(bytes);
        if (!reply.isEmpty()) {
            if (m_replyDelayMs <= 0)
                feed(reply);
            else
                feedAfter(m_replyDelayMs, reply);
        }
    }
    return true;
}

bool FakeSerialPort::isLost() const
{
    return m_lost;
}

bool FakeSerialPort::reopen()
{
    if (m_lost)
        return false;
    m_open = true;
    return true;
}

QString FakeSerialPort::errorString() const
{
    return m_openFails ? QStringLiteral("fake port refuses to open") : QString();
}

void FakeSerialPort::feed(const QByteArray &bytes)
{
    if (m_open && !m_lost)
        m_input.append(bytes);
}

void FakeSerialPort::feedAfter(int ms, const QByteArray &bytes)
{
    QTimer::singleShot(ms, this, [this, bytes] { feed(bytes); });
}

void FakeSerialPort::setResponder(Responder responder, int replyDelayMs)
{
    m_responder = std::move(responder);
    m_replyDelayMs = replyDelayMs;
}

void FakeSerialPort::setOpenFails(bool fails)
{
    m_openFails = fails;
}

void FakeSerialPort::setLost(bool lost)
{
    m_lost = lost;
    if (lost)
        m_input.clear();
}

QByteArray FakeSerialPort::written() const
{
    QByteArray all;
    for (const Write &w : m_writes)
        all += w.bytes;
    return all;
}
