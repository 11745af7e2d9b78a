#include "LiveLog.h"

LiveLog::LiveLog()
    : m_level(std::make_unique<double[]>(Slots))
    , m_leq(std::make_unique<double[]>(Slots))
    , m_sel(std::make_unique<double[]>(Slots))
{
}

void LiveLog::store(double level, double leq, double sel)
{
    m_level[LiveLogIndex] = level;
    m_leq[LiveLogIndex] = leq;
    m_sel[LiveLogIndex] = sel;
    LiveLogIndex += 1;
    if (LiveLogIndex == Slots)
        LiveLogIndex = 0;
}
