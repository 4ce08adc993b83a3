#include "server/MetricsServer.h"

#include "server/HealthCheck.h"
#include "server/HttpRequest.h"
#include "server/Metrics.h"
#include "server/StatementWatch.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace memberd {

namespace {
constexpr qsizetype kMaxHeadBytes = 8192;
constexpr qint64 kHeadTimeMs = 2000;
const QByteArray kText = QByteArrayLiteral("text/plain; charset=utf-8");
const QByteArray kPrometheus = QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8");

void sendAll(int fd, const QByteArray& bytes, qint64 deadlineMs) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const qint64 left = deadlineMs - StatementWatch::nowMs();
        pollfd p{fd, POLLOUT, 0};
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && left > 0 &&
            ::poll(&p, 1, static_cast<int>(left)) > 0)
            continue;
        return;
    }
}
} // namespace

MetricsServer::MetricsServer(Metrics& metrics, HealthCheck& health, OpenConnections open)
    : m_metrics(metrics), m_health(health), m_open(std::move(open)) {}

MetricsServer::~MetricsServer() {
    stop();
}

bool MetricsServer::start(const QHostAddress& address, quint16 port, QString& error) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR raw = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &raw, sizeof raw);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in4;
    }
    m_listenFd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    if (m_listenFd >= 0)
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_listenFd < 0 || m_wakeFd < 0 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::listen(m_listenFd, 16) != 0) {
        error = QStringLiteral("cannot serve metrics on %1:%2: %3")
                    .arg(address.toString())
                    .arg(port)
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void MetricsServer::stop() {
    if (m_thread.joinable()) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_listenFd = m_wakeFd = -1;
}

void MetricsServer::run() {
    while (true) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        serve(fd);
        ::close(fd);
    }
}

// Reads one request head within its time and size and answers it.
void MetricsServer::serve(int fd) {
    const qint64 deadline = StatementWatch::nowMs() + kHeadTimeMs;
    QByteArray head;
    while (true) {
        const HttpRequest request = HttpRequest::parse(head);
        if (request.state != HttpRequest::State::Incomplete)
            break;
        if (head.size() >= kMaxHeadBytes) {
            sendAll(fd, httpResponse(431, kText, "request head too large\n"), deadline + kHeadTimeMs);
            return;
        }
        const qint64 left = deadline - StatementWatch::nowMs();
        pollfd p[2] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (left <= 0 || ::poll(p, 2, static_cast<int>(left)) <= 0) {
            sendAll(fd, httpResponse(408, kText, "request not complete in time\n"), deadline + kHeadTimeMs);
            return;
        }
        if (p[1].revents)
            return;
        char buffer[2048];
        const ssize_t n =
            ::recv(fd, buffer, std::min<qsizetype>(sizeof buffer, kMaxHeadBytes - head.size()), 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return;
        if (n > 0)
            head.append(buffer, n);
    }
    sendAll(fd, answer(head), StatementWatch::nowMs() + kHeadTimeMs);
}

QByteArray MetricsServer::answer(const QByteArray& head) const {
    const HttpRequest request = HttpRequest::parse(head);
    if (request.state != HttpRequest::State::Complete)
        return httpResponse(400, kText, "bad request\n");
    if (request.path != "/metrics" && request.path != "/healthz")
        return httpResponse(404, kText, "not found\n");
    if (request.method != "GET")
        return httpResponse(405, kText, "only GET\n");
    const bool up = m_health.healthy();
    if (request.path == "/healthz")
        return up ? httpResponse(200, kText, "ok\n") : httpResponse(503, kText, "database not answering\n");
    Metrics::Gauges gauges;
    gauges.openConnections = m_open ? m_open() : 0;
    gauges.databaseUp = up;
    return httpResponse(200, kPrometheus, m_metrics.render(gauges));
}

} // namespace memberd
