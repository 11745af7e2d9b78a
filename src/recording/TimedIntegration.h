#pragma once

#include "LeqPeriod.h"

#include <QObject>

// A timed integration started from the Leq button: it takes one level per
// sampling tick (one second) until the period is full, then keeps the Leq and
// SEL of exactly those seconds until the next integration finishes.
class TimedIntegration : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Running, Finished };

    explicit TimedIntegration(QObject *parent = nullptr);

    // Starts a new integration unless one runs; a running one is stopped
    // instead (its partial sums are dropped). True when it started.
    bool toggle(const LeqPeriod &period, int startSecondOfDay);

    // One sampling tick's level in dB; ignored unless running.
    void addSecond(double level);

    State state() const { return m_state; }
    bool running() const { return m_state == State::Running; }
    const LeqPeriod &period() const { return m_period; }
    int startSecondOfDay() const { return m_startSecondOfDay; }
    int elapsedSeconds() const { return m_count; }
    int remainingSeconds() const { return m_period.seconds - m_count; }

    // The last finished integration, if any.
    bool hasResult() const { return m_hasResult; }
    const LeqPeriod &resultPeriod() const { return m_resultPeriod; }
    double resultLeq() const { return m_resultLeq; }
    double resultSel() const { return m_resultSel; }

Q_SIGNALS:
    void changed();

private:
    State m_state = State::Idle;
    LeqPeriod m_period;
    int m_startSecondOfDay = 0;
    int m_count = 0;
    double m_energy = 0.0;

    bool m_hasResult = false;
    LeqPeriod m_resultPeriod;
    double m_resultLeq = 0.0;
    double m_resultSel = 0.0;
};
