#pragma once

#include <memory>

// The in-memory history of the samples: level, Leq and SEL, ten days at one
// sample a second. The three rings are allocated once for the whole run and
// never grow; after the last slot the next sample goes to slot 0.
class LiveLog
{
public:
    static constexpr int Slots = 864001; // indices 0..864000

    LiveLog();

    void store(double level, double leq, double sel);
    // Readers take entries 0..LiveLogIndex-1 as the history since the last
    // Refresh or wrap.
    int LiveLogIndex = 0;

    const double *LevelLog() const { return m_level.get(); }
    const double *LeqLog() const { return m_leq.get(); }
    const double *SelLog() const { return m_sel.get(); }

    static constexpr std::size_t bytesAllocated() { return 3 * sizeof(double) * Slots; }

private:
    std::unique_ptr<double[]> m_level;
    std::unique_ptr<double[]> m_leq;
    std::unique_ptr<double[]> m_sel;
};
