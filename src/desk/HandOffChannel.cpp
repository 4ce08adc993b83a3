#include "desk/HandOffChannel.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tolva {

namespace {
// A request is four short values; anything longer is not one.
constexpr qint64 kMaxRequest = 16 * 1024;

const QByteArray kTaken = QByteArrayLiteral("taken");
const QByteArray kBusy = QByteArrayLiteral("busy");
const QByteArray kDone = QByteArrayLiteral("done");

QByteArray encode(const HandOffValues& v) {
    const QJsonObject o{{QStringLiteral("CheckNo"), v.checkNo},
                        {QStringLiteral("TxnAmt"), v.amount},
                        {QStringLiteral("TxnType"), v.type},
                        {QStringLiteral("CustNo"), v.custNo},
                        {QStringLiteral("TxnID"), v.txnId}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<HandOffValues> decode(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    return HandOffValues{
        o.value(QStringLiteral("CheckNo")).toString(), o.value(QStringLiteral("TxnAmt")).toString(),
        o.value(QStringLiteral("TxnType")).toString(), o.value(QStringLiteral("CustNo")).toString(),
        o.value(QStringLiteral("TxnID")).toString()};
}

void say(QLocalSocket* socket, const QByteArray& word) {
    socket->write(word + '\n');
    socket->flush();
}
} // namespace

HandOffServer::HandOffServer(Taker taker) : m_taker(std::move(taker)) {
    // Only this user may pass requests to this user's desk.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { accept(); });
}

HandOffServer::~HandOffServer() {
    answerAll();
}

bool HandOffServer::listen(const QString& name) {
    QLocalServer::removeServer(name);
    return m_server.listen(name);
}

void HandOffServer::answerAll() {
    for (const QPointer<QLocalSocket>& socket : std::as_const(m_taken)) {
        if (!socket || socket->state() != QLocalSocket::ConnectedState)
            continue;
        say(socket, kDone);
        socket->waitForBytesWritten(1000);
        socket->disconnectFromServer();
    }
    m_taken.clear();
}

void HandOffServer::accept() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, &m_server, [this, socket] { read(socket); });
        if (socket->canReadLine())
            read(socket);
    }
}

void HandOffServer::read(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequest)
            socket->abort();
        return;
    }
    // One request per connection.
    QObject::disconnect(socket, nullptr, &m_server, nullptr);
    const std::optional<HandOffValues> values = decode(socket->readLine(kMaxRequest));
    if (!values) {
        socket->abort();
        return;
    }
    switch (m_taker(*values)) {
    case HandOffReply::Taken:
        say(socket, kTaken);
        m_taken.append(socket);
        break;
    case HandOffReply::Busy:
        say(socket, kBusy);
        socket->disconnectFromServer();
        break;
    case HandOffReply::Answered:
        say(socket, kDone);
        socket->disconnectFromServer();
        break;
    }
}

bool HandOffPasser::connectTo(const QString& name) {
    m_socket.connectToServer(name);
    return m_socket.waitForConnected(m_replyMs);
}

QByteArray HandOffPasser::readLine(int milliseconds) {
    while (!m_socket.canReadLine()) {
        if (m_socket.state() != QLocalSocket::ConnectedState || !m_socket.waitForReadyRead(milliseconds))
            return QByteArray();
    }
    return m_socket.readLine().trimmed();
}

HandOffPasser::Outcome HandOffPasser::pass(const HandOffValues& values) {
    m_socket.write(encode(values));
    m_socket.waitForBytesWritten(m_replyMs);
    const QByteArray first = readLine(m_replyMs);
    if (first.isEmpty())
        return m_socket.state() == QLocalSocket::ConnectedState ? Outcome::NoReply : Outcome::Gone;
    if (first == kBusy)
        return Outcome::Busy;
    if (first == kDone)
        return Outcome::Answered;
    if (first != kTaken)
        return Outcome::NoReply;
    // Taken: the operator is at it; no limit on how long that takes.
    return readLine(-1) == kDone ? Outcome::Answered : Outcome::Lost;
}

} // namespace tolva
