#pragma once

#include "platform/SerialPort.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <optional>

// Asked between the steps of a wait that has no limit of its own; true ends
// the wait early (the program is closing).
using StopRequested = std::function<bool()>;

// The meter's keys as the key command numbers them.
enum class KeyCode : uint8_t {
    CA = 1,
    FastSlow = 2,
    Leq = 3,
    Max = 4,
    PlayPause = 5,
    Record = 6,
    Date = 7,
    Integ = 8,
    Up = 9,
    Down = 10,
};

namespace LinkTiming {
constexpr double HandshakeResend = 0.2;
constexpr double LivePollStep = 0.01;
constexpr int LivePollLimit = 100;
constexpr double FrameWaitStep = 0.02;
constexpr double CommandSettle = 0.02;
// Between two attempts to reopen a port whose device went away.
constexpr double ReopenPause = 0.5;
// How long the meter may stay silent before the link counts as lost: the
// live poll's 100 steps of 0.01 s.
constexpr int SilenceLimitMs = 1000;
} // namespace LinkTiming

// The meter's answer to "A".
QByteArray HandshakeAcknowledgement();

// Writes the command letter and its argument bytes in one piece.
bool SendCommand(SerialPort &port, char letter, const QByteArray &args = {});

// Discards what waits, then waits for the freshest frame. Returns its six
// bytes, or nothing when the meter stayed silent for 100 poll steps, the port
// is lost, or a stop was requested. Broken frames restart the wait, so they
// never count as silence.
std::optional<QByteArray> ReadLiveFrame(SerialPort &port, const StopRequested &stop = {});

// Sends "A" every 0.2 s until the last six bytes read are the
// acknowledgement. A stop request ends it (returns false), and so does a
// limit when one is given (limitMs >= 0).
bool MeterHandshake(SerialPort &port, const StopRequested &stop = {}, int limitMs = -1);

// Waits until a valid frame is read. A lost port is reopened, with a pause
// between attempts, and the wait goes on. False on a stop, or when a limit is
// given (limitMs >= 0) and passed.
bool AwaitValidFrame(SerialPort &port, const StopRequested &stop = {}, int limitMs = -1);

// Handshake, then "K" 00 00 code. No settling delay, nothing read back. A
// key whose acknowledgement does not come within the silence limit is
// dropped (false).
bool PressKey(SerialPort &port, KeyCode code, const StopRequested &stop = {});
