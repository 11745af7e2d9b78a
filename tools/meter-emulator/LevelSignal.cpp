#include "LevelSignal.h"

#include <cmath>
#include <numbers>

bool LevelSignal::parseShape(const std::string &text, Shape &shape)
{
    if (text == "constant")
        shape = Shape::Constant;
    else if (text == "sine")
        shape = Shape::Sine;
    else if (text == "steps")
        shape = Shape::Steps;
    else if (text == "walk")
        shape = Shape::RandomWalk;
    else
        return false;
    return true;
}

double LevelSignal::next(double seconds)
{
    switch (m_shape) {
    case Shape::Constant:
        return m_base;
    case Shape::Sine:
        return m_base + m_amplitude * std::sin(2.0 * std::numbers::pi * seconds / m_period);
    case Shape::Steps: {
        // A staircase from the base up through the amplitude, one step per period.
        const long stepCount = static_cast<long>(m_amplitude / m_step) + 1;
        const long index = static_cast<long>(seconds / m_period) % stepCount;
        return m_base + m_step * static_cast<double>(index);
    }
    case Shape::RandomWalk: {
        // Steps of up to a tenth of the step size per reading, kept within
        // the amplitude by reflection.
        m_walk += 0.1 * m_step * uniform();
        if (m_walk > m_amplitude)
            m_walk = 2 * m_amplitude - m_walk;
        if (m_walk < -m_amplitude)
            m_walk = -2 * m_amplitude - m_walk;
        return m_base + m_walk;
    }
    }
    return m_base;
}

double LevelSignal::uniform()
{
    // xorshift32: reproducible for a given seed, no library state.
    m_random ^= m_random << 13;
    m_random ^= m_random >> 17;
    m_random ^= m_random << 5;
    return static_cast<double>(m_random) / 2147483647.5 - 1.0;
}
