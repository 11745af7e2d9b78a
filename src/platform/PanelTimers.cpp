#include "PanelTimers.h"

#include <QScopedValueRollback>

PanelTimers::PanelTimers(QObject *parent)
    : QObject(parent)
{
    m_timer1.setInterval(PollIntervalMs);
    m_timer2.setInterval(SampleIntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, [this] { runGuarded(m_inPollTick, m_pollTick); });
    connect(&m_timer2, &QTimer::timeout, this,
            [this] { runGuarded(m_inSampleTick, m_sampleTick); });
}

void PanelTimers::setTimer1Enabled(bool enabled)
{
    if (enabled == m_timer1.isActive())
        return;
    if (enabled)
        m_timer1.start();
    else
        m_timer1.stop();
}

void PanelTimers::setTimer2Enabled(bool enabled)
{
    if (enabled == m_timer2.isActive())
        return;
    if (enabled)
        m_timer2.start();
    else
        m_timer2.stop();
}

void PanelTimers::setBothEnabled(bool enabled)
{
    setTimer1Enabled(enabled);
    setTimer2Enabled(enabled);
}

void PanelTimers::suspend()
{
    ++m_suspendDepth;
    setBothEnabled(false);
}

void PanelTimers::resume()
{
    if (m_suspendDepth > 0 && --m_suspendDepth == 0) {
        setTimer1Enabled(true);
        setTimer2Enabled(!m_linkLost);
    }
}

void PanelTimers::setLinkLost(bool lost)
{
    m_linkLost = lost;
    setTimer2Enabled(!lost && !suspended());
}

void PanelTimers::runGuarded(bool &busy, const std::function<void()> &tick)
{
    // The tick waits inside Delay, where this timer can fall due again.
    if (busy || !tick)
        return;
    QScopedValueRollback<bool> guard(busy, true);
    tick();
}
