#pragma once

#include "LoggerMemory.h"
#include "MeterClock.h"
#include "MeterState.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// What the meter does in answer to the bytes it received.
struct MeterAction
{
    enum class Kind {
        Reply, // bytes to send
        Acknowledgement, // 02 FF FF FF FF 03; the command state begins
        StartTransfer, // "K" alone: send the logger stream
        Changed, // a setting or key changed the meter; nothing to send
        Ignored, // a byte that is no command, or a command cut short
    };
    Kind kind;
    std::vector<std::uint8_t> bytes;
    std::string note; // for the console
};

// The meter's command interpreter: letters with their argument bytes in,
// actions out. Knows nothing of time except the instants it is given.
class MeterProtocol
{
public:
    // "K" 00 00 code is a key press only when the code follows this soon.
    static constexpr double KeyWindow = 0.030;
    // Argument bytes of "B" and "C" that take longer are dropped.
    static constexpr double ArgumentWindow = 0.2;
    // The command state entered by the acknowledgement lasts this long.
    static constexpr double CommandStateLength = 1.0;

    MeterProtocol(MeterState &state, MeterClock &clock, LoggerMemory &memory);

    void receive(const std::uint8_t *data, std::size_t size, double now);
    // Interprets every complete command, and commands whose wait for
    // arguments has run out by now.
    std::vector<MeterAction> process(double now);
    // When a command waiting for its arguments gives up, if one waits.
    std::optional<double> nextDeadline() const;

    bool inCommandState(double now) const { return now < m_acknowledgedAt + CommandStateLength; }
    double acknowledgedAt() const { return m_acknowledgedAt; }

    int loggingInterval() const { return m_interval; }
    void setLoggingInterval(int seconds) { m_interval = seconds; }

private:
    struct Byte
    {
        std::uint8_t value;
        double at;
    };
    // Handles the command at the front; returns false while it waits for more bytes.
    bool interpretFront(double now, std::vector<MeterAction> &actions);
    void consume(std::size_t count);

    MeterState &m_state;
    MeterClock &m_clock;
    LoggerMemory &m_memory;
    std::deque<Byte> m_pending;
    double m_acknowledgedAt = -1e9;
    int m_interval = 1;
};
