#pragma once

#include <QElapsedTimer>

#include <functional>

// Told the share of the report done so far (0 … 1); returns false to cancel.
using ReportProgress = std::function<bool(double done)>;

// Passes progress on at most every ~30 ms and keeps the answer in between,
// so a loop can ask on every step without slowing down.
class ReportProgressGate
{
public:
    static constexpr qint64 IntervalMs = 30;

    ReportProgressGate(const ReportProgress &progress, double from, double to)
        : m_progress(progress)
        , m_from(from)
        , m_to(to)
    {
        m_clock.start();
    }

    // share: 0 … 1 of this step. False once the user has cancelled.
    bool step(double share)
    {
        if (m_cancelled)
            return false;
        if (!m_progress || m_clock.elapsed() < IntervalMs)
            return true;
        m_clock.restart();
        return report(share);
    }
    bool finish() { return !m_cancelled && (!m_progress || report(1.0)); }

private:
    bool report(double share)
    {
        m_cancelled = !m_progress(m_from + (m_to - m_from) * share);
        return !m_cancelled;
    }

    const ReportProgress &m_progress;
    double m_from;
    double m_to;
    QElapsedTimer m_clock;
    bool m_cancelled = false;
};
