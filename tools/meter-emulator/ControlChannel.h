#pragma once

#include <string>
#include <vector>

// Run-time commands for the emulator: a FIFO (named COMn.control beside the
// link) that takes one command per line, e.g. `echo "silent 3" > COM1.control`.
class ControlChannel
{
public:
    ControlChannel() = default;
    ControlChannel(const ControlChannel &) = delete;
    ControlChannel &operator=(const ControlChannel &) = delete;
    ~ControlChannel() { close(); }

    bool open(const std::string &path, std::string &error);
    void close();

    int fd() const { return m_fd; }
    const std::string &path() const { return m_path; }

    // The complete lines that have arrived since the last call.
    std::vector<std::string> readLines();

private:
    int m_fd = -1;
    std::string m_path;
    std::string m_partial;
};
