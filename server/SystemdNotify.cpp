#include "server/SystemdNotify.h"

#include <QtGlobal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace memberd {

bool notifyServiceManager(const QByteArray& state) {
    const QByteArray path = qgetenv("NOTIFY_SOCKET");
    if (path.isEmpty())
        return true;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path) ||
        (path.at(0) != '/' && path.at(0) != '@'))
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    if (path.at(0) == '@')
        address.sun_path[0] = '\0'; // an abstract socket
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const ssize_t sent = ::sendto(fd, state.constData(), static_cast<size_t>(state.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), length);
    ::close(fd);
    return sent == state.size();
}

} // namespace memberd
