#include "MeterProtocol.h"

namespace {

MeterAction reply(std::vector<std::uint8_t> bytes, std::string note)
{
    return { MeterAction::Kind::Reply, std::move(bytes), std::move(note) };
}

MeterAction changed(std::string note)
{
    return { MeterAction::Kind::Changed, {}, std::move(note) };
}

MeterAction ignored(std::string note)
{
    return { MeterAction::Kind::Ignored, {}, std::move(note) };
}

std::string hexByte(std::uint8_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    return { digits[value >> 4], digits[value & 0x0F] };
}

} // namespace

MeterProtocol::MeterProtocol(MeterState &state, MeterClock &clock, LoggerMemory &memory)
    : m_state(state)
    , m_clock(clock)
    , m_memory(memory)
{
}

void MeterProtocol::receive(const std::uint8_t *data, std::size_t size, double now)
{
    for (std::size_t i = 0; i < size; ++i)
        m_pending.push_back({ data[i], now });
}

std::vector<MeterAction> MeterProtocol::process(double now)
{
    std::vector<MeterAction> actions;
    while (!m_pending.empty() && interpretFront(now, actions)) { }
    return actions;
}

std::optional<double> MeterProtocol::nextDeadline() const
{
    if (m_pending.empty())
        return std::nullopt;
    const std::uint8_t letter = m_pending.front().value;
    const double at = m_pending.front().at;
    if (letter == 'K')
        return at + KeyWindow;
    if (letter == 'B' || letter == 'C')
        return at + ArgumentWindow;
    return std::nullopt;
}

void MeterProtocol::consume(std::size_t count)
{
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(count));
}

bool MeterProtocol::interpretFront(double now, std::vector<MeterAction> &actions)
{
    const std::uint8_t letter = m_pending.front().value;
    const double arrived = m_pending.front().at;
    const std::size_t waiting = m_pending.size();
    const auto arg = [&](std::size_t i) { return m_pending[i].value; };

    switch (letter) {
    case 'A':
        if (inCommandState(now)) {
            const std::uint32_t end = m_memory.endPosition();
            actions.push_back(
                reply({ static_cast<std::uint8_t>(end >> 16), static_cast<std::uint8_t>(end >> 8),
                        static_cast<std::uint8_t>(end) },
                      "A: logger end " + std::to_string(end)));
        } else {
            m_acknowledgedAt = now;
            actions.push_back({ MeterAction::Kind::Acknowledgement,
                                { 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x03 },
                                "A: acknowledged" });
        }
        consume(1);
        return true;
    case 'K': {
        // A key press is "K" 00 00 code arriving together; anything else
        // after "K", or nothing in time, makes it the transfer request.
        const bool zerosSoFar = (waiting < 2 || arg(1) == 0) && (waiting < 3 || arg(2) == 0);
        const bool inTime = waiting < 4 || m_pending[3].at - arrived <= KeyWindow;
        if (waiting >= 4 && zerosSoFar && inTime) {
            const int code = arg(3);
            consume(4);
            m_acknowledgedAt = -1e9; // a key press ends the command state
            if (m_state.pressKey(code))
                actions.push_back(
                    changed("key " + std::to_string(code) + ": " + m_state.describe()));
            else
                actions.push_back(ignored("key code " + std::to_string(code) + " is no key"));
            return true;
        }
        if (zerosSoFar && inTime && now - arrived <= KeyWindow)
            return false;
        consume(1);
        actions.push_back({ MeterAction::Kind::StartTransfer, {}, "K: logger transfer" });
        return true;
    }
    case 'B': {
        if (waiting < 7) {
            if (now - arrived <= ArgumentWindow)
                return false;
            consume(waiting);
            actions.push_back(ignored("B: clock bytes missing, dropped"));
            return true;
        }
        std::uint8_t bytes[6];
        for (int i = 0; i < 6; ++i)
            bytes[i] = arg(static_cast<std::size_t>(i) + 1);
        consume(7);
        if (m_clock.set(bytes))
            actions.push_back(changed("B: clock set"));
        else
            actions.push_back(ignored("B: not a valid BCD time, clock unchanged"));
        return true;
    }
    case 'C': {
        if (waiting < 3) {
            if (now - arrived <= ArgumentWindow)
                return false;
            consume(waiting);
            actions.push_back(ignored("C: interval bytes missing, dropped"));
            return true;
        }
        const int seconds = arg(1) * 256 + arg(2);
        consume(3);
        if (seconds == 0) {
            actions.push_back(ignored("C: interval 0 refused"));
        } else {
            m_interval = seconds;
            actions.push_back(changed("C: logging interval " + std::to_string(seconds) + " s"));
        }
        return true;
    }
    case 'I': {
        std::uint8_t bytes[6];
        m_clock.read(bytes);
        consume(1);
        actions.push_back(reply({ bytes, bytes + 6 }, "I: clock"));
        return true;
    }
    case 'L':
        consume(1);
        actions.push_back(reply({ 0x00, static_cast<std::uint8_t>(m_memory.sizeUnits()), 0x00 },
                                "L: memory size"));
        return true;
    case 'J':
        consume(1);
        actions.push_back(reply({ static_cast<std::uint8_t>(m_interval >> 8),
                                  static_cast<std::uint8_t>(m_interval & 0xFF) },
                                "J: logging interval"));
        return true;
    case 'H':
        consume(1);
        m_memory.erase();
        actions.push_back(changed("H: logger memory erased"));
        return true;
    case 'D':
        m_state.nextTimeWeighting();
        break;
    case 'G':
        m_state.nextFreqWeighting();
        break;
    case 'E':
        m_state.rangeUp();
        break;
    case 'F':
        m_state.rangeDown();
        break;
    default:
        consume(1);
        actions.push_back(ignored("byte " + hexByte(letter) + " is no command"));
        return true;
    }
    consume(1);
    actions.push_back(
        changed(std::string(1, static_cast<char>(letter)) + ": " + m_state.describe()));
    return true;
}
