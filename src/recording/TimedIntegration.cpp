#include "TimedIntegration.h"
#include "Energy.h"

#include "SampleTick.h"

#include <cmath>

TimedIntegration::TimedIntegration(QObject *parent)
    : QObject(parent)
{
}

bool TimedIntegration::toggle(const LeqPeriod &period, int startSecondOfDay)
{
    m_count = 0;
    m_energy = 0.0;
    if (m_state == State::Running) {
        m_state = m_hasResult ? State::Finished : State::Idle;
        Q_EMIT changed();
        return false;
    }
    m_period = period;
    m_startSecondOfDay = startSecondOfDay;
    m_state = State::Running;
    Q_EMIT changed();
    return true;
}

void TimedIntegration::addSecond(double level)
{
    // A damaged frame's level would make the sum infinite.
    if (m_state != State::Running || !LevelEntersEnergySums(level))
        return;
    ++m_count;
    m_energy += Energy::ofLevel(level);
    if (m_count >= m_period.seconds) {
        m_resultLeq = Energy::leq(m_energy, double(m_count));
        m_resultSel = Energy::sel(m_resultLeq, double(m_count));
        m_resultPeriod = m_period;
        m_hasResult = true;
        m_state = State::Finished;
    }
    Q_EMIT changed();
}
