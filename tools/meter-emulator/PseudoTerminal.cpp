#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

bool makeFolders(const std::string &path, std::string &error)
{
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = systemError("cannot create " + part);
            return false;
        }
    }
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = path + " is not a folder";
        return false;
    }
    return true;
}

} // namespace

std::string portsFolder(std::string &error)
{
    std::string folder;
    if (const char *fromEnv = std::getenv("VORN_PORTS_DIR"); fromEnv && *fromEnv)
        folder = fromEnv;
    else if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        folder = std::string(runtime) + "/vorn/ports";
    else
        folder = "/tmp/vorn-" + std::to_string(getuid()) + "/ports";
    if (!makeFolders(folder, error))
        return {};
    return folder;
}

bool PseudoTerminal::open(const std::string &linkPath, std::string &error)
{
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        error = systemError("cannot create a pseudo-terminal");
        return false;
    }
    // Raw at once: in the default cooked mode the line discipline would
    // echo and edit the bytes before anyone opened the slave.
    termios settings {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || tcgetattr(m_master, &settings) != 0) {
        error = systemError("cannot prepare the pseudo-terminal");
        close();
        return false;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    tcsetattr(m_master, TCSANOW, &settings);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);

    const char *name = ptsname(m_master);
    if (!name) {
        error = systemError("no name for the pseudo-terminal");
        close();
        return false;
    }
    m_slaveName = name;
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveKeeper < 0) {
        error = systemError("cannot open " + m_slaveName);
        close();
        return false;
    }

    // A link left by an emulator that was killed points nowhere: replace it.
    // One that points to a live device belongs to someone else.
    struct stat info
    {
    };
    if (lstat(linkPath.c_str(), &info) == 0) {
        struct stat target
        {
        };
        if (!S_ISLNK(info.st_mode) || stat(linkPath.c_str(), &target) == 0) {
            error = linkPath + " already exists; remove it or choose another --port";
            close();
            return false;
        }
        unlink(linkPath.c_str());
    }
    if (symlink(m_slaveName.c_str(), linkPath.c_str()) != 0) {
        error = systemError("cannot link " + linkPath);
        close();
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PseudoTerminal::close()
{
    if (!m_linkPath.empty()) {
        unlink(m_linkPath.c_str());
        m_linkPath.clear();
    }
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    if (m_master >= 0)
        ::close(m_master);
    m_slaveKeeper = -1;
    m_master = -1;
    m_slaveName.clear();
}

int PseudoTerminal::unreadByProgram() const
{
    int count = 0;
    if (m_slaveKeeper < 0 || ioctl(m_slaveKeeper, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void PseudoTerminal::dropUnread() const
{
    if (m_slaveKeeper >= 0)
        tcflush(m_slaveKeeper, TCIFLUSH);
}
