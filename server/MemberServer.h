#pragma once

#include "server/ConnectionLoop.h"
#include "server/ServerOptions.h"

#include <QObject>
#include <memory>
#include <vector>

class QTcpServer;

namespace memberd {

class HealthCheck;
class MetricsServer;

// Accepts the desks' connections and hands each to the connection thread
// that serves the fewest; that thread answers all its requests (see
// ConnectionLoop). The listening socket and the shutdown live on the thread
// that runs the Qt event loop.
class MemberServer : public QObject {
    Q_OBJECT

public:
    // tls: the TLS settings of the listening port (null: clear text there).
    explicit MemberServer(ServerOptions options, std::shared_ptr<TlsContext> tls = nullptr,
                          QObject* parent = nullptr);
    ~MemberServer() override;

    bool start(QString& error);
    // Tells every connected desk "TCPCLS", closes the connections and emits
    // finished() once they are gone (or after a short grace period).
    void shutdown();

    // Writes one line to stderr; callable from any thread.
    static void log(const QString& line);
    // The counters of /metrics, for the parts that count (the TLS handshake).
    Metrics& metrics() { return m_shared.metrics; }

signals:
    void finished();

private:
    static AccessGuard::Limits limitsOf(const ServerOptions& options);
    bool trusted(const QHostAddress& address) const;
    static bool listen(QTcpServer& server, const QHostAddress& address, quint16 port, QString& error);
    void accept(qintptr fd, bool tls);
    void loopEnded();
    bool startMetrics(QString& error);

    LoopShared m_shared;
    std::unique_ptr<QTcpServer> m_server;
    std::unique_ptr<QTcpServer> m_plainServer; // the clear-text port beside TLS, when asked for
    std::unique_ptr<HealthCheck> m_health;
    std::unique_ptr<MetricsServer> m_metricsServer;
    std::vector<std::unique_ptr<ConnectionLoop>> m_loops;
    int m_ended = 0;
    bool m_shuttingDown = false;
};

} // namespace memberd
