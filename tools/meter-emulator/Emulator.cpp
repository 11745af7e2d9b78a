#include "Emulator.h"

#include "Bcd.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace {

// Unread bytes beyond ten seconds of frames mean that nobody has the port
// open; a closed port loses what the meter sends.
constexpr int UnreadBacklogLimit = 600;
constexpr double TransferStep = 0.005;
constexpr double IdleWake = 0.1;

std::string secondsText(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    return std::string(text, end.ptr) + " s";
}

bool toNumber(const std::string &text, double &value)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool toWhole(const std::string &text, long &value)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

} // namespace

Emulator::Emulator(EmulatorOptions options)
    : m_options(std::move(options))
    , m_started(std::chrono::steady_clock::now())
    , m_protocol(m_state, m_clock, m_memory)
{
    m_scheduled = m_options.scheduled;
    std::stable_sort(m_scheduled.begin(), m_scheduled.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
}

double Emulator::now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
}

std::string Emulator::start()
{
    for (const std::string &line : m_options.controlLines) {
        if (auto error = applyControl(line); !error.empty())
            return error;
    }
    std::string error;
    if (!m_options.recordPath.empty() && !m_recorder.open(m_options.recordPath, error))
        return error;
    const std::string folder = portsFolder(error);
    if (folder.empty())
        return error;
    m_linkPath = folder + "/" + m_options.port;
    if (!m_control.open(m_linkPath + ".control", error))
        return error;
    if (!m_pty.open(m_linkPath, error)) {
        m_control.close();
        return error;
    }
    std::cout << m_options.port << " -> " << m_pty.slaveName() << " (link " << m_linkPath
              << ", control " << m_control.path() << ")" << std::endl;
    return {};
}

int Emulator::run(volatile std::sig_atomic_t &stopFlag)
{
    while (!stopFlag && !m_quit) {
        while (!m_scheduled.empty() && m_scheduled.front().first <= now()) {
            if (auto error = applyControl(m_scheduled.front().second); !error.empty())
                report(error);
            m_scheduled.erase(m_scheduled.begin());
        }
        if (!m_pty.isOpen() && m_replugAt && now() >= *m_replugAt && openPort())
            m_replugAt.reset();

        const double t = now();
        const double wait = std::clamp(nextWake(t) - t, 0.0, IdleWake);
        pollfd fds[2] = { { m_control.fd(), POLLIN, 0 }, { m_pty.masterFd(), POLLIN, 0 } };
        const bool fastTransfer = m_options.fast && m_transfer.active;
        if (fastTransfer)
            fds[1].events |= POLLOUT;
        const int count = m_pty.isOpen() ? 2 : 1;
        if (poll(fds, count, static_cast<int>(std::ceil(wait * 1000))) < 0 && errno != EINTR) {
            report("poll failed");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            for (const std::string &line : m_control.readLines()) {
                const std::string error = applyControl(line);
                report(error.empty() ? "control: " + line : "control: " + error);
            }
        }
        if (m_pty.isOpen() && (fds[1].revents & POLLIN))
            readInput();
        carryOut(m_protocol.process(now()));
        pumpTransfer();
        sendLiveFrame();
    }
    m_pty.close();
    m_control.close();
    return 0;
}

double Emulator::holdUntil() const
{
    return std::max({ m_lastReceived + HoldAfterTraffic, m_lastReplied + HoldAfterTraffic,
                      m_protocol.acknowledgedAt() + HoldAfterAcknowledgement });
}

double Emulator::nextWake(double t) const
{
    double wake = std::max(m_nextFrame, holdUntil());
    if (const auto deadline = m_protocol.nextDeadline())
        wake = std::min(wake, *deadline);
    if (m_transfer.active)
        wake = std::min(wake, t + (m_options.fast ? IdleWake : TransferStep));
    if (m_replugAt)
        wake = std::min(wake, *m_replugAt);
    if (!m_scheduled.empty())
        wake = std::min(wake, m_scheduled.front().first);
    if (m_silentUntil > t)
        wake = std::min(wake, m_silentUntil);
    return wake;
}

bool Emulator::openPort()
{
    std::string error;
    if (!m_pty.open(m_linkPath, error)) {
        report(error);
        return false;
    }
    report("plugged in: " + m_options.port + " -> " + m_pty.slaveName());
    return true;
}

void Emulator::unplug(double seconds)
{
    m_pty.close();
    m_transfer.active = false;
    m_replugAt = now() + seconds;
    report("unplugged for " + secondsText(seconds));
}

void Emulator::readInput()
{
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_pty.masterFd(), buffer, sizeof buffer);
        if (count <= 0)
            return; // EAGAIN: all read; EIO cannot last while the slave is kept open
        const double t = now();
        m_lastReceived = t;
        if (m_deafOnInput > 0) {
            m_silentUntil = t + m_deafOnInput;
            m_deafOnInput = 0;
            report("deaf for " + secondsText(m_silentUntil - t));
        }
        m_recorder.record(t, buffer, static_cast<std::size_t>(count));
        m_protocol.receive(buffer, static_cast<std::size_t>(count), t);
    }
}

void Emulator::carryOut(const std::vector<MeterAction> &actions)
{
    for (const MeterAction &action : actions) {
        if (m_options.verbose)
            report(action.note);
        switch (action.kind) {
        case MeterAction::Kind::Reply:
        case MeterAction::Kind::Acknowledgement:
            sendReply(action.bytes);
            break;
        case MeterAction::Kind::StartTransfer:
            m_transfer = {};
            m_transfer.bytes = m_memory.transferStream();
            m_transfer.limit
                = std::min(m_transfer.bytes.size(), m_stallAfter.value_or(m_transfer.bytes.size()));
            m_transfer.pacedUntil = now();
            m_transfer.active = true;
            break;
        case MeterAction::Kind::Changed:
        case MeterAction::Kind::Ignored:
            break;
        }
    }
}

void Emulator::sendReply(std::vector<std::uint8_t> bytes)
{
    if (!m_pty.isOpen() || silent())
        return;
    if (m_shortReplies && !bytes.empty())
        bytes.pop_back();
    writeSome(bytes.data(), bytes.size());
    m_lastReplied = now();
}

void Emulator::pumpTransfer()
{
    if (!m_transfer.active)
        return;
    const double t = now();
    if (!m_pty.isOpen() || silent()) {
        m_transfer.pacedUntil = t;
        return;
    }
    std::size_t due = m_transfer.limit - m_transfer.sent;
    if (!m_options.fast) {
        // The line carries a byte every 1/3840 s; what a full receiver could
        // not take is sent later, but never more than a tenth of a second's worth at once.
        m_transfer.allowance
            = std::min(m_transfer.allowance + (t - m_transfer.pacedUntil) * LineBytesPerSecond,
                       LineBytesPerSecond * IdleWake);
        m_transfer.pacedUntil = t;
        due = std::min(due, static_cast<std::size_t>(m_transfer.allowance));
    }
    if (due > 0) {
        const std::size_t written = writeSome(m_transfer.bytes.data() + m_transfer.sent, due);
        m_transfer.sent += written;
        m_transfer.allowance -= static_cast<double>(written);
        if (written > 0)
            m_lastReplied = now();
    }
    if (m_transfer.sent >= m_transfer.limit) {
        m_transfer.active = false;
        if (m_transfer.limit < m_transfer.bytes.size())
            report("logger stream stalled after " + std::to_string(m_transfer.sent) + " of "
                   + std::to_string(m_transfer.bytes.size()) + " bytes");
        else if (m_options.verbose)
            report("logger stream sent: " + std::to_string(m_transfer.sent) + " bytes");
    }
}

void Emulator::sendLiveFrame()
{
    const double t = now();
    if (!m_pty.isOpen() || m_transfer.active || silent() || t < std::max(m_nextFrame, holdUntil()))
        return;
    if (m_pty.unreadByProgram() > UnreadBacklogLimit)
        m_pty.dropUnread();
    auto frame = m_state.liveFrame(m_signal.next(t));
    if (m_brokenFrames > 0) {
        frame[5] = 0x00;
        --m_brokenFrames;
    }
    writeSome(frame.data(), frame.size());
    // Keep the 100 ms beat; after a hold, start a new one.
    m_nextFrame = t - m_nextFrame > FramePeriod ? t + FramePeriod : m_nextFrame + FramePeriod;
}

void Emulator::sendGarbage(int count)
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        m_garbageSeed ^= m_garbageSeed << 13;
        m_garbageSeed ^= m_garbageSeed >> 17;
        m_garbageSeed ^= m_garbageSeed << 5;
        bytes.push_back(static_cast<std::uint8_t>(m_garbageSeed >> 24));
    }
    if (m_pty.isOpen() && !silent())
        writeSome(bytes.data(), bytes.size());
}

std::size_t Emulator::writeSome(const std::uint8_t *data, std::size_t size)
{
    const ssize_t written = ::write(m_pty.masterFd(), data, size);
    if (written < 0) {
        if (errno != EAGAIN && m_options.verbose)
            report("write failed");
        return 0;
    }
    return static_cast<std::size_t>(written);
}

void Emulator::report(const std::string &text) const
{
    std::cerr << "[" << secondsText(now()) << "] " << text << std::endl;
}

std::string Emulator::applyControl(const std::string &line)
{
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string value;
    std::getline(in >> std::ws, value);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.pop_back();

    double number = 0;
    long whole = 0;
    const auto needNumber = [&](double low, double high) {
        return toNumber(value, number) && number >= low && number <= high;
    };
    const auto needWhole = [&](long low, long high) {
        return toWhole(value, whole) && whole >= low && whole <= high;
    };
    const auto bad = [&](const std::string &what) { return command + " needs " + what; };

    if (command == "silent") {
        if (!needNumber(0, 86400))
            return bad("seconds");
        m_silentUntil = now() + number;
    } else if (command == "deaf-on-input") {
        if (!needNumber(0, 86400))
            return bad("seconds");
        m_deafOnInput = number;
    } else if (command == "garbage") {
        if (!needWhole(1, 65536))
            return bad("a byte count");
        sendGarbage(static_cast<int>(whole));
    } else if (command == "broken") {
        if (!needWhole(0, 1000000))
            return bad("a frame count");
        m_brokenFrames = static_cast<int>(whole);
    } else if (command == "short-replies") {
        if (value != "on" && value != "off")
            return bad("on or off");
        m_shortReplies = value == "on";
    } else if (command == "stall-logger-after") {
        if (value == "off")
            m_stallAfter.reset();
        else if (needWhole(0, 1L << 24))
            m_stallAfter = static_cast<std::size_t>(whole);
        else
            return bad("a byte count or off");
    } else if (command == "unplug") {
        if (!needNumber(0, 86400))
            return bad("seconds");
        unplug(number);
    } else if (command == "level") {
        if (!needNumber(0, 3276.7))
            return bad("a level in dB");
        m_signal.setBase(number);
    } else if (command == "signal") {
        LevelSignal::Shape shape;
        if (!LevelSignal::parseShape(value, shape))
            return bad("constant, sine, steps or walk");
        m_signal.setShape(shape);
    } else if (command == "amplitude" || command == "step" || command == "period") {
        if (!needNumber(0, 3276.7))
            return bad("a positive number");
        if (command == "amplitude")
            m_signal.setAmplitude(number);
        else if (command == "step")
            m_signal.setStep(number);
        else
            m_signal.setPeriod(number);
    } else if (command == "seed") {
        if (!needWhole(0, 0xFFFFFFFFL))
            return bad("a whole number");
        m_signal.setSeed(static_cast<std::uint32_t>(whole));
    } else if (command == "run" || command == "pause" || command == "stop" || command == "state") {
        MeterState::RunState state;
        if (!MeterState::parseRunState(command == "state" ? value : command, state))
            return bad("run, pause or stop");
        m_state.setRunState(state);
    } else if (command == "range") {
        if (!needWhole(0, 5))
            return bad("an index from 0 to 5");
        m_state.setRangeIndex(static_cast<int>(whole));
    } else if (command == "freq") {
        MeterState::FreqWeighting weighting;
        if (!MeterState::parseFreqWeighting(value, weighting))
            return bad("A, C, Z or AA");
        m_state.setFreqWeighting(weighting);
    } else if (command == "time") {
        MeterState::TimeWeighting weighting;
        if (!MeterState::parseTimeWeighting(value, weighting))
            return bad("fast, slow or imp");
        m_state.setTimeWeighting(weighting);
    } else if (command == "over" || command == "under") {
        MeterState::Flag flag;
        if (!MeterState::parseFlag(value, flag))
            return bad("auto, on or off");
        if (command == "over")
            m_state.setOverFlag(flag);
        else
            m_state.setUnderFlag(flag);
    } else if (command == "key") {
        if (!needWhole(1, 10) || !m_state.pressKey(static_cast<int>(whole)))
            return bad("a key code from 1 to 10");
    } else if (command == "interval") {
        if (!needWhole(1, 65535))
            return bad("seconds from 1 to 65535");
        m_protocol.setLoggingInterval(static_cast<int>(whole));
    } else if (command == "memory-units") {
        if (!needWhole(1, 255))
            return bad("a count of 64 KiB units from 1 to 255");
        if (LoggerMemory::EmptyEnd - 1 + m_memory.setsLength()
            > static_cast<std::size_t>(whole) * 65536)
            return "the stored data sets do not fit into " + value + " units";
        m_memory.setSizeUnits(static_cast<int>(whole));
    } else if (command == "set") {
        DataSetRecipe recipe;
        if (auto error = DataSetRecipe::parse(value, recipe); !error.empty())
            return error;
        if (!m_memory.append(LoggerMemory::encodeSet(recipe, Bcd::localCalendarNow())))
            return "the data set does not fit into the logger memory";
    } else if (command == "erase") {
        m_memory.erase();
    } else if (command == "status") {
        std::cout << m_state.describe() << ", level " << m_signal.base() << " dB, logger end "
                  << m_memory.endPosition() << ", interval " << m_protocol.loggingInterval() << " s"
                  << std::endl;
    } else if (command == "quit") {
        m_quit = true;
    } else {
        return "unknown command: " + line;
    }
    return {};
}
