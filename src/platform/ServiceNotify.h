#pragma once

// Tells the service manager how the program is (systemd's notify protocol:
// "READY=1", "WATCHDOG=1", "STOPPING=1"), when it runs as a service that
// asked for it ($NOTIFY_SOCKET); nothing otherwise and on other systems.
// A station that hangs stops its watchdog messages and is restarted.
void notifyService(const char *state);
