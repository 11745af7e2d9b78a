#include "ServiceNotify.h"

#include <QByteArray>
#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#endif

void notifyService(const char *state)
{
#ifdef Q_OS_LINUX
    static const QByteArray path = qgetenv("NOTIFY_SOCKET");
    if (path.isEmpty() || size_t(path.size()) >= sizeof(sockaddr_un::sun_path))
        return;
    static const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    // "@name" is a name in the abstract namespace.
    if (address.sun_path[0] == '@')
        address.sun_path[0] = '\0';
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));
    // A datagram never blocks the caller for long; a lost one is no fault.
    static_cast<void>(::sendto(fd, state, std::strlen(state), MSG_NOSIGNAL | MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr *>(&address), length));
#else
    Q_UNUSED(state);
#endif
}
