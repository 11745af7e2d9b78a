#pragma once

#include <QDateTime>

#include <optional>

// The station's intervals on the site's clock: the clock-aligned window a
// moment falls in (the moments vorn-stats cuts a day file's readings at),
// the interval running now, and when it closes. An interval of an hour or
// less is elapsed time, so each run of the hour that repeats in autumn has
// its own; a longer one holds both runs, and the hour spring skips.
class IntervalClock
{
public:
    explicit IntervalClock(int lengthSeconds)
        : m_length(lengthSeconds)
    {
    }

    // An interval as it closed: [start, end), cut short (partial) or whole.
    struct Closed
    {
        QDateTime start;
        QDateTime end;
        bool partial = false;
    };

    QDateTime startOf(const QDateTime &at) const;
    QDateTime endOf(const QDateTime &start) const;

    // The end of the last interval written, by this run or the one before:
    // a restart inside its window goes on from there.
    void written(const QDateTime &end) { m_lastEnd = end; }
    const std::optional<QDateTime> &lastEnd() const { return m_lastEnd; }

    // A tick at `now`: the running interval when its window is over.
    std::optional<Closed> closeIfOver(const QDateTime &now);
    // Opens the interval of `now` when none runs; true when it did.
    bool openIfIdle(const QDateTime &now);
    bool running() const { return m_start.has_value(); }
    QDateTime runningStart() const { return m_start.value_or(QDateTime()); }
    // A stop at `stopped` (after the last reading's second): the running
    // interval, cut there unless its window ended first.
    std::optional<Closed> stop(const QDateTime &stopped);

private:
    int m_length;
    std::optional<QDateTime> m_start;
    QDateTime m_windowEnd; // of the running interval's window
    std::optional<QDateTime> m_lastEnd;
};
