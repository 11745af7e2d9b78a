#include "IntervalClock.h"

#include "analysis/records/CivilTime.h"

QDateTime IntervalClock::startOf(const QDateTime &at) const
{
    const int64_t civil = CivilTime::civilSecondsOf(at.date(), at.time());
    const int64_t aligned = CivilTime::alignDown(civil, m_length);
    if (m_length <= 3600) {
        // Back by seconds of real time: in the hour that repeats, the start
        // is the one of this run of the hour.
        return at.addSecs(-(civil - aligned)).addMSecs(-at.time().msec());
    }
    // Longer: the moment the clock showed the aligned time. The hour the
    // spring change skips moves it to where the clock went on; the repeated
    // autumn hour lies inside one interval, both runs of it.
    return QDateTime::fromSecsSinceEpoch(CivilTime::utcOf(aligned));
}

QDateTime IntervalClock::endOf(const QDateTime &start) const
{
    // Its elapsed length, but where the clock changes inside it (only an
    // interval over an hour holds a change), the moment the clock showed its
    // aligned end.
    if (m_length <= 3600)
        return start.addSecs(m_length);
    const int64_t civil = CivilTime::civilSecondsOf(start.date(), start.time());
    return QDateTime::fromSecsSinceEpoch(
        CivilTime::utcOf(CivilTime::alignDown(civil, m_length) + m_length));
}

std::optional<IntervalClock::Closed> IntervalClock::closeIfOver(const QDateTime &now)
{
    if (!m_start || m_windowEnd > startOf(now))
        return std::nullopt;
    const Closed closed { *m_start, m_windowEnd, false };
    m_start.reset();
    return closed;
}

bool IntervalClock::openIfIdle(const QDateTime &now)
{
    if (m_start)
        return false;
    const QDateTime start = startOf(now);
    m_windowEnd = endOf(start);
    m_start = m_lastEnd && *m_lastEnd > start && *m_lastEnd < m_windowEnd ? *m_lastEnd : start;
    return true;
}

std::optional<IntervalClock::Closed> IntervalClock::stop(const QDateTime &stopped)
{
    if (!m_start)
        return std::nullopt;
    const Closed closed { *m_start, std::min(stopped, m_windowEnd), stopped < m_windowEnd };
    m_start.reset();
    return closed;
}
