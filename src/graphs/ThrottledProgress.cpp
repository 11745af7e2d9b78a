#include "ThrottledProgress.h"

ThrottledProgress::ThrottledProgress(std::function<void(int)> report, int intervalMs)
    : m_report(std::move(report))
    , m_intervalMs(intervalMs)
{
    m_clock.start();
}

void ThrottledProgress::update(int count)
{
    if (!m_report || m_clock.elapsed() < m_intervalMs)
        return;
    m_clock.restart();
    m_lastReported = count;
    m_report(count);
}

void ThrottledProgress::finish(int count)
{
    if (m_report && m_lastReported != count) {
        m_lastReported = count;
        m_report(count);
    }
}
