#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Runs vorn-meter-emulator in a ports folder of its own and stops it again.
class EmulatorProcess
{
public:
    explicit EmulatorProcess(std::vector<std::string> arguments = {}, std::string port = "COM1");
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess &) = delete;
    EmulatorProcess &operator=(const EmulatorProcess &) = delete;

    // True once the link exists (waits up to five seconds).
    bool waitForLink(double seconds = 5.0) const;
    bool linkExists() const;
    std::string linkTarget() const;

    const std::string &portsFolder() const { return m_folder; }
    std::string linkPath() const { return m_folder + "/" + m_port; }
    std::string recordPath() const { return m_folder + "/received.txt"; }
    int pid() const { return m_pid; }

    // Writes one run-time command into the control FIFO.
    void control(const std::string &line) const;
    // Sends SIGTERM and waits; returns the exit status.
    int stop();
    // CPU time the emulator has used so far, in seconds.
    double cpuSeconds() const;

private:
    std::string m_folder;
    std::string m_port;
    int m_pid = -1;
};

// The program's end of the line, opened as a plain POSIX terminal.
class MeterLine
{
public:
    explicit MeterLine(const std::string &path);
    ~MeterLine();
    MeterLine(const MeterLine &) = delete;
    MeterLine &operator=(const MeterLine &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void send(const std::vector<std::uint8_t> &bytes) const;
    void send(const std::string &letters) const;
    // Everything that arrives within the time.
    std::vector<std::uint8_t> readFor(double seconds) const;
    // Reads until count bytes have arrived or the time is up.
    std::vector<std::uint8_t> readAtLeast(std::size_t count, double seconds) const;
    void discard() const;
    // The next valid frame (02 .. 03) within the time; empty if none.
    std::vector<std::uint8_t> nextFrame(double seconds) const;
    // True when the device reports that it has gone (EIO or hang-up).
    bool deviceGone(double seconds) const;

private:
    int m_fd = -1;
};

double secondsNow();
void sleepSeconds(double seconds);
