#pragma once

#include "CodePage.h"
#include "QueryWorkers.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <memory>

class QTcpSocket;
class QTimer;

namespace memberd {

struct ServerOptions {
    QHostAddress listen = QHostAddress::Any;
    quint16 port = 3501;
    QByteArray password; // in the code page, as it arrives on the wire
    QString connectionString = QStringLiteral("Provider=SQLite;Data Source=member.db");
    QString codePage = QString::fromLatin1(tolva::CodePage::kDefault);
    bool allowAnySql = false;
    qint64 maxRequestBytes = 1024 * 1024;
    int idleTimeoutMs = 0; // 0: connections may stay idle
    int workers = 4;
};

// Accepts the desks' connections and answers their requests. All socket work
// happens on the thread that runs the event loop; statements run on the
// query workers.
class MemberServer : public QObject {
    Q_OBJECT

public:
    explicit MemberServer(ServerOptions options, QObject* parent = nullptr);
    ~MemberServer() override;

    bool start(QString& error);
    // Tells every connected desk "TCPCLS", closes the connections and emits
    // finished() once they are gone (or after a short grace period).
    void shutdown();

    static void log(const QString& line);

signals:
    void finished();

private:
    struct Session;

    void accept();
    void readFrom(Session* s);
    void process(Session* s);
    void handle(Session* s, const QByteArray& message);
    void deliver(const JobResult& result);
    void send(Session* s, const QByteArray& bytes);
    void closeSession(Session* s, const QString& why);
    void forget(Session* s);
    void touch(Session* s);

    ServerOptions m_options;
    tolva::CodePage m_cp;
    QTcpServer m_server;
    QueryWorkers m_workers;
    QHash<quint64, Session*> m_sessions;
    quint64 m_nextId = 1;
    bool m_shuttingDown = false;
};

} // namespace memberd
