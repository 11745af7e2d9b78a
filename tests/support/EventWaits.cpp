#include "EventWaits.h"

#include "platform/Delay.h"

#include <QDeadlineTimer>

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        Delay(0.02);
    }
    return condition();
}

Watch::Watch(std::function<bool()> condition, std::function<void()> whenSeen)
    : m_condition(std::move(condition))
    , m_whenSeen(std::move(whenSeen))
{
    m_clock.start();
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_condition())
            return;
        m_seenAtMs = m_clock.elapsed();
        m_timer.stop();
        if (m_whenSeen)
            m_whenSeen();
    });
    m_timer.start();
}
