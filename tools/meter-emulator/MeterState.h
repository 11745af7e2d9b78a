#pragma once

#include <array>
#include <cstdint>
#include <string>

// What the meter's display shows, and what its keys and setting commands
// change. Encodes the live frame.
class MeterState
{
public:
    enum class TimeWeighting { Fast = 0, Slow = 1, Impulse = 2 };
    enum class FreqWeighting { A = 0, C = 1, Z = 2, Filter = 3 }; // Filter: 20-200 Hz
    enum class RunState { Run, Pause, Stop };
    enum class Flag { Auto, On, Off };

    static constexpr int HighestRange = 0; // 80-140 dB
    static constexpr int LowestRange = 5; // 30-90 dB

    static bool parseTimeWeighting(const std::string &text, TimeWeighting &value);
    static bool parseFreqWeighting(const std::string &text, FreqWeighting &value);
    static bool parseRunState(const std::string &text, RunState &value);
    static bool parseFlag(const std::string &text, Flag &value);

    static int rangeBottom(int index) { return 80 - 10 * index; }
    static int rangeTop(int index) { return rangeBottom(index) + 60; }

    int rangeIndex() const { return m_range; }
    TimeWeighting timeWeighting() const { return m_time; }
    FreqWeighting freqWeighting() const { return m_freq; }
    RunState runState() const { return m_run; }

    // Returns false when the index is not 0..5.
    bool setRangeIndex(int index);
    void setTimeWeighting(TimeWeighting value) { m_time = value; }
    void setFreqWeighting(FreqWeighting value) { m_freq = value; }
    void setRunState(RunState value) { m_run = value; }
    void setOverFlag(Flag flag) { m_over = flag; }
    void setUnderFlag(Flag flag) { m_under = flag; }

    void rangeUp(); // towards index 0; stays at the end
    void rangeDown(); // towards index 5
    void nextTimeWeighting();
    void nextFreqWeighting(); // A, C, Z, filter, A...

    // A key of the meter's keypad, 1..10. Returns false for other codes.
    bool pressKey(int code);

    std::uint8_t rangeByte(double levelDb) const;
    std::uint8_t modeByte(double levelDb) const;
    // Tenths of a dB; the marker bit is set while paused.
    std::uint16_t levelWord(double levelDb) const;
    std::array<std::uint8_t, 6> liveFrame(double levelDb) const;

    // One line for the console: range, weightings, run state, key modes.
    std::string describe() const;

private:
    bool over(double levelDb) const;
    bool under(double levelDb) const;

    int m_range = 3;
    TimeWeighting m_time = TimeWeighting::Fast;
    FreqWeighting m_freq = FreqWeighting::A;
    RunState m_run = RunState::Run;
    Flag m_over = Flag::Auto;
    Flag m_under = Flag::Auto;
    // Display modes that the live frame does not carry; kept so that the
    // keys cycle them as the meter would.
    int m_displayMode = 0; // Leq, SEL, SPL
    int m_holdMode = 2; // Max, Min, Inst
    bool m_logging = false;
    bool m_showDate = false;
    int m_integrationTime = 0;
};
