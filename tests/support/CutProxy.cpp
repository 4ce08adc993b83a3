#include "support/CutProxy.h"

#include "support/LoopbackBlock.h"

#include <QTcpSocket>

namespace {
constexpr char kEnd = '\x03';
constexpr quint16 kPort = 3501;

QByteArray commandOf(const QByteArray& message) {
    return message.mid(4, 6).toUpper();
}
} // namespace

CutProxy::CutProxy(const QString& listenAddress, const QString& serviceAddress)
    : m_service(LoopbackBlock::own(serviceAddress)) {
    m_server.listen(QHostAddress(LoopbackBlock::own(listenAddress)), kPort);
    connect(&m_server, &QTcpServer::newConnection, this, &CutProxy::accept);
}

void CutProxy::accept() {
    while (QTcpSocket* desk = m_server.nextPendingConnection()) {
        auto* service = new QTcpSocket(desk);
        auto* fromDesk = new QByteArray;
        auto* cutReply = new bool(false);
        connect(desk, &QObject::destroyed, [fromDesk, cutReply] {
            delete fromDesk;
            delete cutReply;
        });
        connect(desk, &QTcpSocket::disconnected, desk, &QObject::deleteLater);
        connect(service, &QTcpSocket::disconnected, desk, [desk] { desk->disconnectFromHost(); });
        // A service that is not there refuses the desk at once, as it would
        // without the relay between them.
        connect(service, &QTcpSocket::errorOccurred, desk, [desk] { desk->abort(); });
        connect(desk, &QTcpSocket::readyRead, this, [this, desk, service, fromDesk, cutReply] {
            fromDesk->append(desk->readAll());
            qsizetype end;
            while ((end = fromDesk->indexOf(kEnd)) >= 0) {
                const QByteArray message = fromDesk->left(end + 1);
                fromDesk->remove(0, end + 1);
                const QByteArray command = commandOf(message);
                Cut cut = Cut::None;
                for (qsizetype i = 0; i < m_cuts.size(); ++i)
                    if (m_cuts.at(i).first == command) {
                        cut = m_cuts.takeAt(i).second;
                        break;
                    }
                if (cut != Cut::None) {
                    if (cut == Cut::BeforeRequest) {
                        desk->abort();
                        return;
                    }
                    *cutReply = true;
                }
                m_forwarded.append(command);
                if (service->state() != QAbstractSocket::ConnectedState)
                    service->waitForConnected(2000);
                service->write(message);
            }
        });
        connect(service, &QTcpSocket::readyRead, this, [desk, service, cutReply] {
            const QByteArray reply = service->readAll();
            if (*cutReply) {
                // The service did the work; the desk never hears of it.
                desk->abort();
                return;
            }
            desk->write(reply);
        });
        service->connectToHost(m_service, kPort);
    }
}
