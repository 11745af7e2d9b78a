#pragma once

#include <cstdint>
#include <string>

// The sound level the emulated meter measures, as a function of time.
class LevelSignal
{
public:
    enum class Shape { Constant, Sine, Steps, RandomWalk };

    // Parses "constant", "sine", "steps" or "walk".
    static bool parseShape(const std::string &text, Shape &shape);

    void setShape(Shape shape) { m_shape = shape; }
    void setBase(double db) { m_base = db; }
    void setAmplitude(double db) { m_amplitude = db; }
    void setPeriod(double seconds) { m_period = seconds > 0 ? seconds : 1.0; }
    void setStep(double db) { m_step = db > 0 ? db : 1.0; }
    void setSeed(std::uint32_t seed) { m_random = seed ? seed : 1; }

    Shape shape() const { return m_shape; }
    double base() const { return m_base; }

    // The level at the given time since start, in dB. The random walk moves
    // one step per call, so call it once per reading.
    double next(double seconds);

private:
    double uniform(); // in [-1, 1]

    Shape m_shape = Shape::Constant;
    double m_base = 65.0;
    double m_amplitude = 10.0;
    double m_period = 10.0;
    double m_step = 5.0;
    double m_walk = 0.0; // offset from the base
    std::uint32_t m_random = 1;
};
