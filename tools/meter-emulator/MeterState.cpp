#include "MeterState.h"

#include <cmath>

namespace {
constexpr const char *IntegrationTimes[] = { "1s", "10s", "1min", "5min", "10min", "1h" };
constexpr int IntegrationTimeCount = 6;
} // namespace

bool MeterState::parseTimeWeighting(const std::string &text, TimeWeighting &value)
{
    if (text == "fast" || text == "FAST")
        value = TimeWeighting::Fast;
    else if (text == "slow" || text == "SLOW")
        value = TimeWeighting::Slow;
    else if (text == "imp" || text == "IMP")
        value = TimeWeighting::Impulse;
    else
        return false;
    return true;
}

bool MeterState::parseFreqWeighting(const std::string &text, FreqWeighting &value)
{
    if (text == "A" || text == "a")
        value = FreqWeighting::A;
    else if (text == "C" || text == "c")
        value = FreqWeighting::C;
    else if (text == "Z" || text == "z")
        value = FreqWeighting::Z;
    else if (text == "AA" || text == "aa" || text == "filter")
        value = FreqWeighting::Filter;
    else
        return false;
    return true;
}

bool MeterState::parseRunState(const std::string &text, RunState &value)
{
    if (text == "run")
        value = RunState::Run;
    else if (text == "pause")
        value = RunState::Pause;
    else if (text == "stop")
        value = RunState::Stop;
    else
        return false;
    return true;
}

bool MeterState::parseFlag(const std::string &text, Flag &value)
{
    if (text == "auto")
        value = Flag::Auto;
    else if (text == "on")
        value = Flag::On;
    else if (text == "off")
        value = Flag::Off;
    else
        return false;
    return true;
}

bool MeterState::setRangeIndex(int index)
{
    if (index < HighestRange || index > LowestRange)
        return false;
    m_range = index;
    return true;
}

void MeterState::rangeUp()
{
    if (m_range > HighestRange)
        --m_range;
}

void MeterState::rangeDown()
{
    if (m_range < LowestRange)
        ++m_range;
}

void MeterState::nextTimeWeighting()
{
    m_time = static_cast<TimeWeighting>((static_cast<int>(m_time) + 1) % 3);
}

void MeterState::nextFreqWeighting()
{
    m_freq = static_cast<FreqWeighting>((static_cast<int>(m_freq) + 1) % 4);
}

bool MeterState::pressKey(int code)
{
    switch (code) {
    case 1: // A/C
        m_freq = m_freq == FreqWeighting::A ? FreqWeighting::C : FreqWeighting::A;
        return true;
    case 2:
        nextTimeWeighting();
        return true;
    case 3:
        m_displayMode = (m_displayMode + 1) % 3;
        return true;
    case 4:
        m_holdMode = (m_holdMode + 1) % 3;
        return true;
    case 5:
        m_run = m_run == RunState::Run ? RunState::Pause
            : m_run == RunState::Pause ? RunState::Stop
                                       : RunState::Run;
        return true;
    case 6:
        m_logging = !m_logging;
        return true;
    case 7:
        m_showDate = !m_showDate;
        return true;
    case 8:
        m_integrationTime = (m_integrationTime + 1) % IntegrationTimeCount;
        return true;
    case 9:
        rangeUp();
        return true;
    case 10:
        rangeDown();
        return true;
    default:
        return false;
    }
}

bool MeterState::over(double levelDb) const
{
    if (m_over != Flag::Auto)
        return m_over == Flag::On;
    return levelDb > rangeTop(m_range);
}

bool MeterState::under(double levelDb) const
{
    if (m_under != Flag::Auto)
        return m_under == Flag::On;
    return levelDb < rangeBottom(m_range);
}

std::uint8_t MeterState::rangeByte(double levelDb) const
{
    return static_cast<std::uint8_t>(m_range | (over(levelDb) ? 0x80 : 0));
}

std::uint8_t MeterState::modeByte(double levelDb) const
{
    int byte = static_cast<int>(m_time);
    if (m_run == RunState::Run)
        byte |= 0x04;
    else if (m_run == RunState::Pause)
        byte |= 0x08;
    else
        byte |= 0x10;
    byte |= static_cast<int>(m_freq) << 5;
    if (under(levelDb))
        byte |= 0x80;
    return static_cast<std::uint8_t>(byte);
}

std::uint16_t MeterState::levelWord(double levelDb) const
{
    long tenths = std::lround(levelDb * 10.0);
    if (tenths < 0)
        tenths = 0;
    if (tenths > 0x7FFF)
        tenths = 0x7FFF;
    return static_cast<std::uint16_t>(tenths | (m_run == RunState::Pause ? 0x8000 : 0));
}

std::array<std::uint8_t, 6> MeterState::liveFrame(double levelDb) const
{
    const std::uint16_t word = levelWord(levelDb);
    return { 0x02,
             rangeByte(levelDb),
             modeByte(levelDb),
             static_cast<std::uint8_t>(word >> 8),
             static_cast<std::uint8_t>(word & 0xFF),
             0x03 };
}

std::string MeterState::describe() const
{
    static const char *times[] = { "FAST", "SLOW", "IMP" };
    static const char *freqs[] = { "A", "C", "Z", "AA" };
    static const char *runs[] = { "run", "pause", "stop" };
    static const char *displays[] = { "Leq", "SEL", "SPL" };
    static const char *holds[] = { "Max", "Min", "Inst" };
    return "range " + std::to_string(m_range) + " (" + std::to_string(rangeBottom(m_range)) + "-"
        + std::to_string(rangeTop(m_range)) + " dB), " + times[static_cast<int>(m_time)] + ", "
        + freqs[static_cast<int>(m_freq)] + ", " + runs[static_cast<int>(m_run)] + ", display "
        + displays[m_displayMode] + ", " + holds[m_holdMode] + (m_logging ? ", logging" : "")
        + (m_showDate ? ", date shown" : "") + ", integration "
        + IntegrationTimes[m_integrationTime];
}
