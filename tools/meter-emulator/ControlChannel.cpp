#include "ControlChannel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ControlChannel::open(const std::string &path, std::string &error)
{
    close();
    struct stat info
    {
    };
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISFIFO(info.st_mode)) {
            error = path + " exists and is no FIFO";
            return false;
        }
    } else if (mkfifo(path.c_str(), 0600) != 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    // Opened for writing too, so that the FIFO always has a writer: otherwise
    // it would poll as hung up between two writers and spin the loop.
    m_fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    m_path = path;
    return true;
}

void ControlChannel::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_path.empty())
        unlink(m_path.c_str());
    m_fd = -1;
    m_path.clear();
    m_partial.clear();
}

std::vector<std::string> ControlChannel::readLines()
{
    char buffer[512];
    ssize_t count;
    while ((count = ::read(m_fd, buffer, sizeof buffer)) > 0)
        m_partial.append(buffer, static_cast<std::size_t>(count));
    std::vector<std::string> lines;
    for (std::size_t newline; (newline = m_partial.find('\n')) != std::string::npos;) {
        std::string line = m_partial.substr(0, newline);
        m_partial.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}
