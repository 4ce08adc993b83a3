#pragma once

#include <QHostAddress>
#include <QString>
#include <functional>
#include <thread>

namespace memberd {

class HealthCheck;
class Metrics;

// The metrics listener: plain HTTP on an address of its own, one request per
// connection, served one at a time on a thread of its own. GET /metrics
// answers the counters (Prometheus text format), GET /healthz "ok" (200)
// while the member database answers, else 503. Anything but GET is answered
// 405, other paths 404, a head that is not HTTP 400; a head larger than
// 8 KiB (431) or not complete within 2 s (408) ends the connection.
class MetricsServer {
public:
    using OpenConnections = std::function<int()>;
    MetricsServer(Metrics& metrics, HealthCheck& health, OpenConnections open);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Binds and starts the thread; false with the reason.
    bool start(const QHostAddress& address, quint16 port, QString& error);
    void stop();
    // The reply to a complete request head (also used by tests).
    QByteArray answer(const QByteArray& head) const;

private:
    void run();
    void serve(int fd);

    Metrics& m_metrics;
    HealthCheck& m_health;
    OpenConnections m_open;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    std::thread m_thread;
};

} // namespace memberd
