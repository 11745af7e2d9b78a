#include "LinkOwner.h"

#include <QTimer>

#include <algorithm>
#include <limits>

// Forwards to the real port and notes when the meter last sent a byte, so the
// owner can tell a silent meter from a quiet exchange. It also drops the rest
// of a stream that nobody reads any more.
class LinkOwner::WatchedPort : public SerialPort
{
public:
    explicit WatchedPort(SerialPort &port)
        : m_port(port)
    {
        m_clock.start();
    }

    bool open(int portNumber) override { return m_port.open(portNumber); }
    bool isOpen() const override { return m_port.isOpen(); }
    void close() override { m_port.close(); }
    QByteArray readAll() override
    {
        if (skipping())
            return {};
        QByteArray bytes = m_port.readAll();
        if (!bytes.isEmpty())
            m_lastByteMs = m_clock.elapsed();
        return bytes;
    }
    qint64 bytesWaiting() override
    {
        if (skipping())
            return 0;
        const qint64 count = m_port.bytesWaiting();
        if (count > 0)
            m_lastByteMs = m_clock.elapsed();
        return count;
    }
    bool write(const QByteArray &bytes) override
    {
        m_lastWriteMs = m_clock.elapsed();
        return m_port.write(bytes);
    }
    bool isLost() const override { return m_port.isLost(); }
    bool reopen() override { return m_port.reopen(); }
    QString errorString() const override { return m_port.errorString(); }

    void skipUntilQuiet()
    {
        m_skipping = true;
        m_lastSkippedMs = m_clock.elapsed();
    }

    // Input was being dropped at some time since sinceMs: the line was busy
    // with a stream nobody reads, not silent.
    bool droppedSince(qint64 sinceMs) const { return m_skipping || m_lastSkippedMs >= sinceMs; }

    bool dropping() const { return m_skipping; }
    qint64 nowMs() const { return m_clock.elapsed(); }
    qint64 lastByteMs() const { return m_lastByteMs; }
    qint64 lastWriteMs() const { return m_lastWriteMs; }

private:
    bool skipping()
    {
        if (!m_skipping)
            return false;
        if (!m_port.readAll().isEmpty()) {
            m_lastByteMs = m_clock.elapsed();
            m_lastSkippedMs = m_lastByteMs;
        }
        if (m_clock.elapsed() - m_lastSkippedMs >= QuietLineMs)
            m_skipping = false;
        return m_skipping;
    }

    SerialPort &m_port;
    QElapsedTimer m_clock;
    bool m_skipping = false;
    qint64 m_lastSkippedMs = std::numeric_limits<qint64>::min() / 2;
    qint64 m_lastByteMs = -1;
    qint64 m_lastWriteMs = std::numeric_limits<qint64>::min() / 2;
};

LinkOwner::LinkOwner(SerialPort &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_watched(std::make_unique<WatchedPort>(port))
{
}

LinkOwner::~LinkOwner() = default;

std::unique_ptr<LinkOwner::Hold> LinkOwner::tryHold(Exchange exchange)
{
    if (m_held)
        return nullptr;
    m_held = true;
    m_holder = exchange;
    if (longExchangeRunning())
        Q_EMIT longExchangeChanged(true);
    return std::unique_ptr<Hold>(new Hold(*this, exchange));
}

std::optional<Exchange> LinkOwner::holder() const
{
    if (!m_held)
        return std::nullopt;
    return m_holder;
}

bool LinkOwner::longExchangeRunning() const
{
    return m_held && (m_holder == Exchange::Download || m_holder == Exchange::Erase);
}

bool LinkOwner::droppingInput() const
{
    return m_watched->dropping();
}

void LinkOwner::setLinkBack()
{
    if (!m_lost)
        return;
    m_lost = false;
    Q_EMIT linkBack();
}

bool LinkOwner::whenFree(Exchange exchange, std::function<void()> action)
{
    const bool refusedWhileLost = exchange == Exchange::Key || exchange == Exchange::Setting;
    if (m_lost && refusedWhileLost)
        return false;
    if (!m_held && m_queue.empty()) {
        action();
        return true;
    }
    if (int(m_queue.size()) >= MaxWaiting)
        return false;
    m_queue.emplace_back(exchange, std::move(action));
    if (!m_held)
        scheduleDrain();
    return true;
}

void LinkOwner::scheduleDrain()
{
    if (m_drainScheduled || m_queue.empty())
        return;
    m_drainScheduled = true;
    // Not from inside the release: the exchange that ended is still
    // unwinding, and the waiting ones start from a clean stack.
    QTimer::singleShot(0, this, [this] {
        m_drainScheduled = false;
        drain();
    });
}

void LinkOwner::drain()
{
    while (!m_held && !m_queue.empty()) {
        auto [exchange, action] = std::move(m_queue.front());
        m_queue.pop_front();
        // A click that waited must not burst out after the meter was lost.
        if (m_lost && (exchange == Exchange::Key || exchange == Exchange::Setting))
            continue;
        action();
    }
}

void LinkOwner::release(Exchange exchange, bool silentByExchange, qint64 holdMs, bool portLost)
{
    const bool wasLong = longExchangeRunning();
    m_held = false;
    // Silence counts from the later of the hold's start and the meter's last byte.
    const qint64 last = m_watched->lastByteMs();
    const qint64 holdStartMs = m_watched->nowMs() - holdMs;
    const qint64 silentMs = m_watched->nowMs() - std::max(last, holdStartMs);
    // A meter holds its live frames for up to a second after a command, so a
    // poll right after one may rightly hear nothing; a meter that died at
    // the command was already noticed by that command's own hold.
    const bool pollAfterCommand
        = exchange == Exchange::Poll && holdStartMs - m_watched->lastWriteMs() < SilenceLimitMs;
    // A line whose input is being dropped is busy, not silent.
    const bool dropping = m_watched->droppedSince(holdStartMs);
    const bool silent = portLost
        || (!pollAfterCommand && !dropping && (silentByExchange || silentMs >= SilenceLimitMs));
    if (wasLong)
        Q_EMIT longExchangeChanged(false);
    if (silent && !m_lost) {
        m_lost = true;
        m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                     [](const auto &entry) {
                                         return entry.first == Exchange::Key
                                             || entry.first == Exchange::Setting;
                                     }),
                      m_queue.end());
        // Announced after the exchange has unwound: the recovery stops a
        // recording and clears the lists, which is no work for a destructor.
        QTimer::singleShot(0, this, [this] {
            if (m_lost)
                Q_EMIT linkLost();
        });
    }
    scheduleDrain();
}

LinkOwner::Hold::Hold(LinkOwner &owner, Exchange exchange)
    : m_owner(owner)
    , m_exchange(exchange)
{
    m_since.start();
}

LinkOwner::Hold::~Hold()
{
    m_owner.release(m_exchange, m_silent, m_since.elapsed(), m_owner.m_port.isLost());
}

void LinkOwner::Hold::meterKeepsSending()
{
    m_owner.m_watched->skipUntilQuiet();
}

SerialPort &LinkOwner::Hold::port()
{
    if (!m_reopenTried && m_owner.m_port.isLost()) {
        m_reopenTried = true;
        m_owner.m_port.reopen();
    }
    return *m_owner.m_watched;
}
