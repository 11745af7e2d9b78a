#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// The live panel's two timers: Timer1 (200 ms) polls the meter, Timer2
// (1000 ms) takes the samples. A tick is never entered again while it runs:
// a tick that falls due meanwhile is skipped. Every serial exchange outside
// the poll switches both off for its duration through TimersOffGuard.
class PanelTimers : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 200;
    static constexpr int SampleIntervalMs = 1000;

    explicit PanelTimers(QObject *parent = nullptr);

    void setPollTick(std::function<void()> tick) { m_pollTick = std::move(tick); }
    void setSampleTick(std::function<void()> tick) { m_sampleTick = std::move(tick); }

    void setTimer1Enabled(bool enabled);
    void setTimer2Enabled(bool enabled);
    bool timer1Enabled() const { return m_timer1.isActive(); }
    bool timer2Enabled() const { return m_timer2.isActive(); }

    void setBothEnabled(bool enabled);

    // Used by TimersOffGuard: guards nest, and only the outermost one ending
    // switches the timers on again; Timer2 only while the link is up, so a
    // lost meter's last reading is never sampled.
    void suspend();
    void resume();
    bool suspended() const { return m_suspendDepth > 0; }

    // The link was lost (Timer2 off) or came back (Timer2 on again unless a
    // guard holds the timers off).
    void setLinkLost(bool lost);
    bool linkLost() const { return m_linkLost; }

    bool pollTickRunning() const { return m_inPollTick; }
    bool sampleTickRunning() const { return m_inSampleTick; }

private:
    void runGuarded(bool &busy, const std::function<void()> &tick);

    QTimer m_timer1;
    QTimer m_timer2;
    std::function<void()> m_pollTick;
    std::function<void()> m_sampleTick;
    bool m_inPollTick = false;
    bool m_inSampleTick = false;
    int m_suspendDepth = 0;
    bool m_linkLost = false;
};

// Switches both panel timers off for its lifetime and on again when it ends,
// on every exit path (return, exception). A guard inside another one leaves
// them off until the outer one ends.
class TimersOffGuard
{
public:
    explicit TimersOffGuard(PanelTimers &timers)
        : m_timers(timers)
    {
        m_timers.suspend();
    }
    ~TimersOffGuard() { m_timers.resume(); }

    TimersOffGuard(const TimersOffGuard &) = delete;
    TimersOffGuard &operator=(const TimersOffGuard &) = delete;

private:
    PanelTimers &m_timers;
};
