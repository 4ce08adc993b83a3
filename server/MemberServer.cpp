#include "server/MemberServer.h"

#include "server/HealthCheck.h"
#include "server/Log.h"
#include "server/MetricsServer.h"
#include "server/StatementWatch.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace memberd {

namespace {

// Takes the accepted sockets as they are, without wrapping them in a
// QTcpSocket: they belong to the connection threads.
class Listener : public QTcpServer {
public:
    explicit Listener(std::function<void(qintptr)> take) : m_take(std::move(take)) {}

protected:
    void incomingConnection(qintptr fd) override { m_take(fd); }

private:
    std::function<void(qintptr)> m_take;
};

// The client's address alone, and with its port for the log.
QString peerOf(int fd, QString& hostOnly) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    hostOnly = QStringLiteral("?");
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return QStringLiteral("?");
    QHostAddress host(reinterpret_cast<const sockaddr*>(&address));
    bool mapped = false;
    const quint32 v4 = host.toIPv4Address(&mapped);
    if (mapped)
        host = QHostAddress(v4);
    const quint16 port = address.ss_family == AF_INET6
                             ? ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port)
                             : ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    hostOnly = host.toString();
    return QStringLiteral("%1:%2").arg(hostOnly).arg(port);
}

} // namespace

void MemberServer::log(const QString& line) {
    writeLog(LogLevel::Info, line);
}

AccessGuard::Limits MemberServer::limitsOf(const ServerOptions& o) {
    AccessGuard::Limits limits;
    limits.maxConnections = o.maxConnections;
    limits.maxPending = o.maxPendingLogins;
    limits.maxPendingPerAddress = o.maxPendingPerAddress;
    limits.maxPerAddress = o.maxConnectionsPerAddress;
    limits.failuresBeforeLockout = o.loginFailuresBeforeLockout;
    limits.firstDelayMs = o.loginDelayMs;
    limits.maxDelayMs = std::max<qint64>(o.loginDelayMs, 30000);
    limits.lockoutMs = o.loginLockoutMs;
    return limits;
}

MemberServer::MemberServer(ServerOptions options, std::shared_ptr<TlsContext> tls, QObject* parent)
    : QObject(parent), m_shared(options, limitsOf(options)),
      m_server(std::make_unique<Listener>([this](qintptr fd) { accept(fd, m_shared.tls != nullptr); })) {
    m_shared.tls = std::move(tls);
    if (m_shared.tls && m_shared.options.plainListen)
        m_plainServer = std::make_unique<Listener>([this](qintptr fd) { accept(fd, false); });
}

MemberServer::~MemberServer() {
    m_metricsServer.reset();
    m_health.reset();
    m_server.reset();
    m_plainServer.reset();
    m_loops.clear();
}

bool MemberServer::start(QString& error) {
    const QString storeFile = m_shared.options.storePasswordsFile;
    if (!storeFile.isEmpty()) {
        QStringList warnings;
        const bool opened = m_shared.stores.open(storeFile, warnings, error);
        for (const QString& warning : warnings)
            writeLog(LogLevel::Warning, warning);
        if (!opened)
            return false;
    }
    const int threads = std::max(1, m_shared.options.threads);
    for (int i = 0; i < threads; ++i) {
        m_loops.push_back(std::make_unique<ConnectionLoop>(m_shared, i, [this] {
            QMetaObject::invokeMethod(this, &MemberServer::loopEnded, Qt::QueuedConnection);
        }));
        if (!m_loops.back()->start(error)) {
            m_loops.clear();
            return false;
        }
    }
    const ServerOptions& options = m_shared.options;
    if (m_shared.tls)
        log(QStringLiteral("TLS certificate %1%2")
                .arg(m_shared.tls->description(), m_shared.tls->requiresClientCertificate()
                                                      ? QStringLiteral("; client certificates required")
                                                      : QString()));
    // Both ports listen before either is logged: "listening on" says the service is ready.
    if (!listen(*m_server, options.listen, options.port, error) ||
        (m_plainServer && !listen(*m_plainServer, options.plainAddress, options.plainPort, error)))
        return false;
    if (!startMetrics(error))
        return false;
    log(QStringLiteral("listening on %1:%2%3")
            .arg(options.listen.toString())
            .arg(m_server->serverPort())
            .arg(m_shared.tls ? QStringLiteral(" (TLS)") : QString()));
    if (m_plainServer)
        log(QStringLiteral("listening on %1:%2 (clear text)")
                .arg(options.plainAddress.toString())
                .arg(m_plainServer->serverPort()));
    // Counts of held-back lines are written when their window is over, also when nothing else is logged.
    auto* flush = new QTimer(this);
    connect(flush, &QTimer::timeout, this, [this] { m_shared.logThrottle.flush(StatementWatch::nowMs()); });
    flush->start(static_cast<int>(m_shared.logThrottle.windowMs()));
    return true;
}

bool MemberServer::listen(QTcpServer& server, const QHostAddress& address, quint16 port, QString& error) {
    server.setListenBacklogSize(1024);
    if (!server.listen(address, port)) {
        error = QStringLiteral("cannot listen on %1:%2: %3")
                    .arg(address.toString())
                    .arg(port)
                    .arg(server.errorString());
        return false;
    }
    return true;
}

// The metrics listener and the database's health check behind /healthz, when asked for.
bool MemberServer::startMetrics(QString& error) {
    const ServerOptions& options = m_shared.options;
    if (options.metricsPort == 0)
        return true;
    m_health = std::make_unique<HealthCheck>(options.connectionString);
    m_health->start();
    m_metricsServer = std::make_unique<MetricsServer>(m_shared.metrics, *m_health,
                                                      [this] { return m_shared.guard.open(); });
    if (!m_metricsServer->start(options.metricsAddress, options.metricsPort, error))
        return false;
    log(QStringLiteral("metrics on http://%1:%2/metrics")
            .arg(options.metricsAddress.protocol() == QAbstractSocket::IPv6Protocol
                     ? QLatin1Char('[') + options.metricsAddress.toString() + QLatin1Char(']')
                     : options.metricsAddress.toString())
            .arg(options.metricsPort));
    return true;
}

void MemberServer::accept(qintptr descriptor, bool tls) {
    const int fd = static_cast<int>(descriptor);
    if (m_shuttingDown) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    QString address;
    const QString peer = peerOf(fd, address);
    // A balancer's connection is counted under its client's address once its
    // PROXY header has named it (see ConnectionLoop).
    const bool proxied = trusted(QHostAddress(address));
    bool report = false;
    const AccessGuard::Admission admission =
        proxied ? m_shared.guard.admitUnnamed()
                : m_shared.guard.admit(address, StatementWatch::nowMs(), report);
    if (admission != AccessGuard::Admission::Admitted) {
        ::close(fd);
        if (report || proxied)
            m_shared.logThrottle.write(
                LogLevel::Warning, address, QStringLiteral("refused"),
                peer + QStringLiteral(" refused: ") + AccessGuard::describe(admission) +
                    (proxied ? QStringLiteral(" (a balancer's connection)")
                             : QStringLiteral(" (further refusals from this address not logged for 10 s)")),
                StatementWatch::nowMs());
        return;
    }
    ConnectionLoop* target = m_loops.front().get();
    for (const auto& loop : m_loops)
        if (loop->load() < target->load())
            target = loop.get();
    if (!proxied)
        m_shared.logThrottle.write(LogLevel::Info, address, QStringLiteral("connected"),
                                   peer + QStringLiteral(" connected (%1 open)").arg(m_shared.guard.open()),
                                   StatementWatch::nowMs());
    target->adopt(fd, peer, address, proxied, tls);
}

bool MemberServer::trusted(const QHostAddress& address) const {
    for (const auto& [network, prefix] : m_shared.options.trustedProxies)
        if (address.isInSubnet(network, prefix))
            return true;
    return false;
}

void MemberServer::shutdown() {
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    m_server->close();
    if (m_plainServer)
        m_plainServer->close();
    log(QStringLiteral("shutting down, telling %1 connection(s)").arg(m_shared.guard.open()));
    if (m_loops.empty()) {
        QTimer::singleShot(0, this, &MemberServer::finished);
        return;
    }
    for (const auto& loop : m_loops)
        loop->shutdown();
}

void MemberServer::loopEnded() {
    if (++m_ended == static_cast<int>(m_loops.size()))
        emit finished();
}

} // namespace memberd
