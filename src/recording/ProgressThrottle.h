#pragma once

#include <QElapsedTimer>

#include <functional>

// Lets a long loop report its progress at most every ~30 ms, so showing it
// does not cost more than the work; the caller reports the exact final value
// once at the end with finish().
template<typename Value> class ProgressThrottle
{
public:
    static constexpr qint64 IntervalMs = 30;

    explicit ProgressThrottle(std::function<void(const Value &)> report)
        : m_report(std::move(report))
    {
        m_clock.start();
    }

    void step(const Value &value)
    {
        if (!m_report || m_clock.elapsed() < IntervalMs)
            return;
        m_clock.restart();
        m_report(value);
    }

    void finish(const Value &value)
    {
        if (m_report)
            m_report(value);
    }

private:
    std::function<void(const Value &)> m_report;
    QElapsedTimer m_clock;
};
