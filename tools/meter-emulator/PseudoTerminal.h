#pragma once

#include <string>

// The meter's end of the serial line: a pseudo-terminal whose slave is
// linked as COMn in the ports folder, where the program looks for it.
//
// The emulator keeps a descriptor of the slave open itself. Without it, the
// master reads EIO (and polls as hung up, which would spin the loop) from the
// moment the program closes the port until it opens it again; with it, the
// line simply stays quiet in between.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;
    ~PseudoTerminal() { close(); }

    // Creates the pair and the link. On failure returns false with the reason in error.
    bool open(const std::string &linkPath, std::string &error);
    // Removes the link and closes both ends: to the program the device is gone.
    void close();

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    const std::string &slaveName() const { return m_slaveName; }

    // Bytes sent to the program that it has not read yet.
    int unreadByProgram() const;
    // Drops them: nobody is listening, as with a closed port.
    void dropUnread() const;

private:
    int m_master = -1;
    int m_slaveKeeper = -1;
    std::string m_slaveName;
    std::string m_linkPath;
};

// The folder of the COMn links: $VORN_PORTS_DIR, else
// $XDG_RUNTIME_DIR/vorn/ports, else /tmp/vorn-<uid>/ports. Created if missing.
// On failure returns an empty text with the reason in error.
std::string portsFolder(std::string &error);
