#include "server/PlainTransport.h"

#include "server/TlsTransport.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace memberd {

std::unique_ptr<Transport> Transport::plain(int fd) {
    return std::make_unique<PlainTransport>(fd);
}

std::unique_ptr<Transport> Transport::tls(int fd, const TlsContext& context) {
    return std::make_unique<TlsTransport>(fd, context);
}

Transport::Io PlainTransport::read(char* buffer, std::size_t size) {
    return result(::recv(m_fd, buffer, size, 0));
}

Transport::Io PlainTransport::write(const char* data, std::size_t size) {
    return result(::send(m_fd, data, size, MSG_NOSIGNAL));
}

Transport::Io PlainTransport::result(ssize_t n) {
    if (n > 0)
        return {State::Moved, static_cast<std::size_t>(n)};
    if (n == 0)
        return {State::Closed};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {State::Again};
    m_failure = QString::fromLocal8Bit(std::strerror(errno));
    return {State::Failed};
}

} // namespace memberd
