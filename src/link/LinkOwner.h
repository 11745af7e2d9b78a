#pragma once

#include "MeterLink.h"

#include <QElapsedTimer>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// The exchanges that use the meter link.
enum class Exchange {
    Poll,
    Recovery,
    Key,
    ClockRead,
    ClockSet,
    SampleTimeRead,
    SampleTimeSet,
    Setting, // "G", "D", "E", "F"
    Download,
    Erase,
};

// The one owner of the meter link. An exchange holds the link from its first
// byte to the end of its last expected reply; while it does, nothing else may
// write, read or discard input. Holds are taken with tryHold, which refuses
// while another exchange holds the link: a nested event loop can run any
// handler inside a wait, and that handler must not touch the line.
//
// The owner also notices a dead meter, whoever holds the link: a hold that
// ends after the meter sent nothing for SilenceLimitMs (or whose exchange
// says so) marks the link lost and announces it once.
class LinkOwner : public QObject
{
    Q_OBJECT

public:
    // What the poll allows before it takes the meter for silent.
    static constexpr qint64 SilenceLimitMs = LinkTiming::SilenceLimitMs;
    // Keys and setting letters that may wait for the link.
    static constexpr int MaxWaiting = 8;
    // A meter sends its logger memory without a gap and holds its live frames
    // for half a second after it: this much quiet ends a stream nobody reads.
    static constexpr qint64 QuietLineMs = 250;

    class Hold;

    explicit LinkOwner(SerialPort &port, QObject *parent = nullptr);
    ~LinkOwner() override;

    // The link for one exchange, or nothing while another one holds it.
    std::unique_ptr<Hold> tryHold(Exchange exchange);

    bool held() const { return m_held; }
    std::optional<Exchange> holder() const;
    // A logger download or erase runs: the controls that use the link stay off.
    bool longExchangeRunning() const;

    // "No COM": set when a hold found the meter silent, cleared by the
    // recovery when a valid frame came.
    bool lost() const { return m_lost; }
    void setLinkBack();
    // Input is being dropped (the rest of a cancelled transfer): the meter is
    // busy, and what it shows is not known.
    bool droppingInput() const;

    // Runs the action now when the link is free, else queues it to run, in
    // order, as soon as the link is released. Keys and setting letters are
    // refused while the link is lost, and at most MaxWaiting actions wait;
    // false when the action was refused or dropped.
    bool whenFree(Exchange exchange, std::function<void()> action);
    int waiting() const { return int(m_queue.size()); }
    // Drops every waiting action (the program closes).
    void dropWaiting() { m_queue.clear(); }

    // The raw port, for opening and closing only; exchanges use Hold::port.
    SerialPort &rawPort() { return m_port; }

Q_SIGNALS:
    // The link was found lost (announced once, after the hold ended).
    void linkLost();
    // A valid frame came back after a loss.
    void linkBack();
    // A logger download or erase started (true) or ended (false).
    void longExchangeChanged(bool running);

private:
    class WatchedPort;
    friend class Hold;

    void release(Exchange exchange, bool silentByExchange, qint64 holdMs, bool portLost);
    void drain();
    void scheduleDrain();

    SerialPort &m_port;
    std::unique_ptr<WatchedPort> m_watched;
    bool m_held = false;
    Exchange m_holder = Exchange::Poll;
    bool m_lost = false;
    bool m_drainScheduled = false;
    std::deque<std::pair<Exchange, std::function<void()>>> m_queue;
};

// One exchange's hold on the link, released when it is destroyed.
class LinkOwner::Hold
{
public:
    ~Hold();
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;

    // The port for this exchange; a lost device is reopened first (at most
    // once per hold), as the poll does.
    SerialPort &port();
    Exchange exchange() const { return m_exchange; }
    // The exchange gave up on a silent meter.
    void meterSilent() { m_silent = true; }
    // The meter goes on sending what this exchange stopped reading (a
    // cancelled logger transfer): input is dropped, whoever reads it, until
    // the line has been quiet for QuietLineMs, so no byte of it is ever taken
    // for a live frame. Meanwhile the poll hears nothing, and a hold that
    // finds the line busy with that stream does not take the meter for silent.
    void meterKeepsSending();

private:
    friend class LinkOwner;
    Hold(LinkOwner &owner, Exchange exchange);

    LinkOwner &m_owner;
    Exchange m_exchange;
    QElapsedTimer m_since;
    bool m_silent = false;
    bool m_reopenTried = false;
};
