#include "EmulatorProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void sleepSeconds(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

EmulatorProcess::EmulatorProcess(std::vector<std::string> arguments, std::string port)
    : m_port(std::move(port))
{
    char pattern[] = "/tmp/vorn-emulator-test-XXXXXX";
    m_folder = mkdtemp(pattern);
    arguments.insert(arguments.begin(), { "--port", m_port, "--record", recordPath() });
    m_pid = fork();
    if (m_pid == 0) {
        setenv("VORN_PORTS_DIR", m_folder.c_str(), 1);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        std::vector<char *> argv = { const_cast<char *>(VORN_METER_EMULATOR) };
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(VORN_METER_EMULATOR, argv.data());
        _exit(127);
    }
}

EmulatorProcess::~EmulatorProcess()
{
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

bool EmulatorProcess::linkExists() const
{
    struct stat info
    {
    };
    return lstat(linkPath().c_str(), &info) == 0;
}

std::string EmulatorProcess::linkTarget() const
{
    std::error_code error;
    return std::filesystem::read_symlink(linkPath(), error).string();
}

bool EmulatorProcess::waitForLink(double seconds) const
{
    const double end = secondsNow() + seconds;
    while (secondsNow() < end) {
        if (linkExists())
            return true;
        sleepSeconds(0.01);
    }
    return false;
}

void EmulatorProcess::control(const std::string &line) const
{
    std::ofstream fifo(linkPath() + ".control");
    fifo << line << '\n';
}

int EmulatorProcess::stop()
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return status;
}

double EmulatorProcess::cpuSeconds() const
{
    std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    // Fields after the command name in parentheses; utime and stime are 14 and 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        if (index == 14 || index == 15)
            ticks += std::stol(field);
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

MeterLine::MeterLine(const std::string &path)
{
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return;
    termios settings {};
    tcgetattr(m_fd, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    tcsetattr(m_fd, TCSANOW, &settings);
    tcflush(m_fd, TCIFLUSH);
}

MeterLine::~MeterLine()
{
    if (m_fd >= 0)
        close(m_fd);
}

void MeterLine::send(const std::vector<std::uint8_t> &bytes) const
{
    [[maybe_unused]] const ssize_t written = write(m_fd, bytes.data(), bytes.size());
}

void MeterLine::send(const std::string &letters) const
{
    send(std::vector<std::uint8_t>(letters.begin(), letters.end()));
}

std::vector<std::uint8_t> MeterLine::readAtLeast(std::size_t count, double seconds) const
{
    std::vector<std::uint8_t> bytes;
    const double end = secondsNow() + seconds;
    while (bytes.size() < count) {
        const double left = end - secondsNow();
        if (left <= 0)
            break;
        pollfd fd { m_fd, POLLIN, 0 };
        if (poll(&fd, 1, static_cast<int>(left * 1000) + 1) <= 0 || !(fd.revents & POLLIN))
            continue;
        std::uint8_t buffer[4096];
        const ssize_t got = read(m_fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

std::vector<std::uint8_t> MeterLine::readFor(double seconds) const
{
    return readAtLeast(static_cast<std::size_t>(-1), seconds);
}

void MeterLine::discard() const
{
    tcflush(m_fd, TCIFLUSH);
    readFor(0.005);
}

std::vector<std::uint8_t> MeterLine::nextFrame(double seconds) const
{
    const double end = secondsNow() + seconds;
    std::vector<std::uint8_t> bytes;
    while (secondsNow() < end) {
        const auto more = readAtLeast(1, end - secondsNow());
        bytes.insert(bytes.end(), more.begin(), more.end());
        if (bytes.size() >= 6 && bytes[bytes.size() - 6] == 0x02 && bytes.back() == 0x03)
            return { bytes.end() - 6, bytes.end() };
    }
    return {};
}

bool MeterLine::deviceGone(double seconds) const
{
    const double end = secondsNow() + seconds;
    while (secondsNow() < end) {
        pollfd fd { m_fd, POLLIN, 0 };
        poll(&fd, 1, 10);
        if (fd.revents & (POLLHUP | POLLERR))
            return true;
        std::uint8_t buffer[256];
        if (read(m_fd, buffer, sizeof buffer) < 0 && errno == EIO)
            return true;
    }
    return false;
}
