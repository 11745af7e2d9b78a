#pragma once

#include "ByteRecorder.h"
#include "ControlChannel.h"
#include "EmulatorOptions.h"
#include "LevelSignal.h"
#include "LoggerMemory.h"
#include "MeterClock.h"
#include "MeterProtocol.h"
#include "MeterState.h"
#include "PseudoTerminal.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The emulated meter: streams live frames, answers commands, sends its
// logger memory and misbehaves on request. One thread, one poll loop.
class Emulator
{
public:
    static constexpr double FramePeriod = 0.1;
    // The stream stays held this long after the last byte in or out...
    static constexpr double HoldAfterTraffic = 0.5;
    // ...and the command state holds it this long after an acknowledgement.
    static constexpr double HoldAfterAcknowledgement = MeterProtocol::CommandStateLength;
    static constexpr double LineBytesPerSecond = 3840.0; // 38400 baud, 8N1

    explicit Emulator(EmulatorOptions options);

    // Applies the start-up commands and opens the port; returns an error text.
    std::string start();
    // Runs until stopFlag is set or "quit" arrives; returns the exit code.
    int run(volatile std::sig_atomic_t &stopFlag);

    // One run-time command; returns an empty text on success, else the error.
    std::string applyControl(const std::string &line);

private:
    struct Transfer
    {
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
        std::size_t limit = 0; // less than the size when the stream stalls
        double allowance = 0; // bytes the line could have carried but has not yet
        double pacedUntil = 0;
        bool active = false;
    };

    double now() const;
    double holdUntil() const;
    bool silent() const { return now() < m_silentUntil; }
    double nextWake(double t) const;

    bool openPort();
    void unplug(double seconds);
    void readInput();
    void carryOut(const std::vector<MeterAction> &actions);
    void sendReply(std::vector<std::uint8_t> bytes);
    void pumpTransfer();
    void sendLiveFrame();
    void sendGarbage(int count);
    std::size_t writeSome(const std::uint8_t *data, std::size_t size);
    void report(const std::string &text) const;

    EmulatorOptions m_options;
    std::chrono::steady_clock::time_point m_started;
    MeterState m_state;
    LevelSignal m_signal;
    MeterClock m_clock;
    LoggerMemory m_memory;
    MeterProtocol m_protocol;
    PseudoTerminal m_pty;
    ControlChannel m_control;
    ByteRecorder m_recorder;
    std::string m_linkPath;

    double m_lastReceived = -1e9;
    double m_lastReplied = -1e9;
    double m_nextFrame = 0;
    Transfer m_transfer;

    double m_silentUntil = -1;
    // Seconds of silence that the next byte received starts (0: none armed).
    double m_deafOnInput = 0;
    int m_brokenFrames = 0;
    bool m_shortReplies = false;
    std::optional<std::size_t> m_stallAfter;
    std::optional<double> m_replugAt;
    std::uint32_t m_garbageSeed = 0x2545F491;
    std::vector<std::pair<double, std::string>> m_scheduled;
    bool m_quit = false;
};
