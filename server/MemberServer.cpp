#include "MemberServer.h"

#include "Protocol.h"

#include <QDateTime>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

namespace memberd {

struct MemberServer::Session {
    quint64 id = 0;
    QTcpSocket* socket = nullptr;
    QTimer* idle = nullptr;
    QByteArray buffer;
    QByteArray prefix = QByteArrayLiteral("ZELQ");
    QString peer;
    bool loggedIn = false;
    bool busy = false;
    bool closing = false;
};

void MemberServer::log(const QString& line) {
    const QByteArray text = (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                             QStringLiteral("memberd: ") + line + QLatin1Char('\n'))
                                .toUtf8();
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
}

MemberServer::MemberServer(ServerOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_cp(m_options.codePage),
      m_workers({m_options.connectionString, m_options.codePage, m_options.allowAnySql, m_options.workers},
                [this](JobResult result) {
                    QMetaObject::invokeMethod(
                        this, [this, r = std::move(result)] { deliver(r); }, Qt::QueuedConnection);
                }) {
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, &MemberServer::accept);
}

MemberServer::~MemberServer() {
    m_workers.stop();
    for (Session* s : std::as_const(m_sessions))
        delete s;
}

bool MemberServer::start(QString& error) {
    if (!m_workers.start(error))
        return false;
    m_server.setListenBacklogSize(1024);
    m_server.setMaxPendingConnections(1024);
    if (!m_server.listen(m_options.listen, m_options.port)) {
        error = QStringLiteral("cannot listen on %1:%2: %3")
                    .arg(m_options.listen.toString())
                    .arg(m_options.port)
                    .arg(m_server.errorString());
        return false;
    }
    log(QStringLiteral("listening on %1:%2").arg(m_options.listen.toString()).arg(m_server.serverPort()));
    return true;
}

void MemberServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_shuttingDown) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* s = new Session;
        s->id = m_nextId++;
        s->socket = socket;
        s->peer = QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        m_sessions.insert(s->id, s);
        const quint64 id = s->id;
        connect(socket, &QTcpSocket::readyRead, this, [this, id] {
            if (Session* s = m_sessions.value(id))
                readFrom(s);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] {
            if (Session* s = m_sessions.value(id)) {
                if (!s->closing)
                    log(s->peer + QStringLiteral(" disconnected"));
                forget(s);
            }
        });
        if (m_options.idleTimeoutMs > 0) {
            s->idle = new QTimer(socket);
            s->idle->setSingleShot(true);
            s->idle->setInterval(m_options.idleTimeoutMs);
            connect(s->idle, &QTimer::timeout, this, [this, id] {
                if (Session* s = m_sessions.value(id); s && !s->busy)
                    closeSession(s, QStringLiteral("idle timeout"));
            });
            s->idle->start();
        }
        log(s->peer + QStringLiteral(" connected (%1 open)").arg(m_sessions.size()));
        if (socket->bytesAvailable() > 0)
            readFrom(s);
    }
}

void MemberServer::touch(Session* s) {
    if (s->idle)
        s->idle->start();
}

void MemberServer::readFrom(Session* s) {
    if (s->closing)
        return;
    s->buffer += s->socket->readAll();
    touch(s);
    process(s);
}

void MemberServer::process(Session* s) {
    while (!s->closing && !s->busy) {
        const qsizetype end = s->buffer.indexOf(kEnd);
        if (end < 0) {
            // The terminator counts too: a request holds at most max bytes with it.
            if (s->buffer.size() >= m_options.maxRequestBytes) {
                log(s->peer +
                    QStringLiteral(" refused: request larger than %1 bytes").arg(m_options.maxRequestBytes));
                send(s, reply(m_cp, s->prefix, s->buffer.mid(4, 6), rc::kTooLarge, 0,
                              QStringLiteral("要求太長 (上限 %1 位元組)").arg(m_options.maxRequestBytes)));
                closeSession(s, QStringLiteral("request too large"));
            }
            return;
        }
        const QByteArray message = s->buffer.left(end);
        s->buffer.remove(0, end + 1);
        if (message.size() + 1 > m_options.maxRequestBytes) {
            log(s->peer +
                QStringLiteral(" refused: request larger than %1 bytes").arg(m_options.maxRequestBytes));
            send(s, reply(m_cp, message.left(4), message.mid(4, 6), rc::kTooLarge, 0,
                          QStringLiteral("要求太長 (上限 %1 位元組)").arg(m_options.maxRequestBytes)));
            closeSession(s, QStringLiteral("request too large"));
            return;
        }
        handle(s, message);
    }
    // While a request runs, bytes of the next one wait in the buffer; they
    // may not grow past what one request may hold.
    if (s->busy && !s->closing && s->buffer.size() > m_options.maxRequestBytes) {
        log(s->peer +
            QStringLiteral(" refused: sends more than %1 bytes ahead").arg(m_options.maxRequestBytes));
        closeSession(s, QStringLiteral("request too large"));
    }
}

void MemberServer::handle(Session* s, const QByteArray& message) {
    const Request request = Request::parse(message);
    if (!request.prefix.isEmpty())
        s->prefix = request.prefix.leftJustified(4, ' ', true);
    if (!request.wellFormed) {
        log(s->peer + QStringLiteral(" refused: malformed request"));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0, QStringLiteral("要求格式錯誤")));
        closeSession(s, QStringLiteral("malformed request"));
        return;
    }
    if (request.command == "TCPCNT") {
        if (constantTimeEquals(request.data, m_options.password)) {
            s->loggedIn = true;
            log(s->peer + QStringLiteral(" logged in"));
            send(s, reply(m_cp, s->prefix, request.command, rc::kOk, 0, {}));
        } else {
            s->loggedIn = false;
            log(s->peer + QStringLiteral(" refused: wrong password"));
            send(s,
                 reply(m_cp, s->prefix, request.command, rc::kLoginRefused, 0, QStringLiteral("密碼錯誤")));
            closeSession(s, QStringLiteral("wrong password"));
        }
        return;
    }
    if (!s->loggedIn) {
        log(s->peer + QStringLiteral(" refused: %1 before log-in").arg(QString::fromLatin1(request.command)));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0, QStringLiteral("尚未登入")));
        closeSession(s, QStringLiteral("request before log-in"));
        return;
    }
    if (request.command != "SELECT" && request.command != "SERVER") {
        log(s->peer +
            QStringLiteral(" refused: unknown command %1").arg(QString::fromLatin1(request.command)));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0,
                      QStringLiteral("不認識的指令: ") + cleanValue(QString::fromLatin1(request.command))));
        return;
    }
    s->busy = true;
    if (s->idle)
        s->idle->stop();
    m_workers.submit({s->id, s->prefix, request.command, request.data});
}

void MemberServer::deliver(const JobResult& result) {
    Session* s = m_sessions.value(result.session);
    if (!s)
        return;
    if (!result.logLine.isEmpty())
        log(s->peer + QLatin1Char(' ') + result.logLine);
    s->busy = false;
    if (s->closing)
        return;
    send(s, result.reply);
    touch(s);
    process(s);
}

void MemberServer::send(Session* s, const QByteArray& bytes) {
    if (s->socket->state() == QAbstractSocket::ConnectedState)
        s->socket->write(bytes);
}

void MemberServer::closeSession(Session* s, const QString& why) {
    if (s->closing)
        return;
    s->closing = true;
    log(s->peer + QStringLiteral(" closed: ") + why);
    // Pending replies are written out before the connection closes.
    s->socket->disconnectFromHost();
    if (s->socket->state() == QAbstractSocket::UnconnectedState)
        forget(s);
}

void MemberServer::forget(Session* s) {
    if (!m_sessions.remove(s->id))
        return;
    s->closing = true;
    s->socket->deleteLater();
    // Callers up the stack may still look at the session: free it later.
    QMetaObject::invokeMethod(
        this, [s] { delete s; }, Qt::QueuedConnection);
    if (m_shuttingDown && m_sessions.isEmpty())
        QTimer::singleShot(0, this, &MemberServer::finished);
}

void MemberServer::shutdown() {
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    m_server.close();
    log(QStringLiteral("shutting down, telling %1 connection(s)").arg(m_sessions.size()));
    if (m_sessions.isEmpty()) {
        QTimer::singleShot(0, this, &MemberServer::finished);
        return;
    }
    const QList<Session*> sessions = m_sessions.values();
    for (Session* s : sessions) {
        send(s, reply(m_cp, s->prefix, QByteArrayLiteral("TCPCLS"), rc::kOk, 0, {}));
        closeSession(s, QStringLiteral("service closing"));
    }
    // A desk that does not take its notice does not hold up the end.
    QTimer::singleShot(3000, this, [this] {
        if (!m_sessions.isEmpty())
            emit finished();
    });
}

} // namespace memberd
