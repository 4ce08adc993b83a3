#pragma once

#include "common/CodePage.h"
#include "support/LoopbackBlock.h"
#include "support/MemberdProcess.h"

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>

// The next reply on socket with its terminator, from what is buffered and
// what arrives; what arrived so far when none comes.
inline QByteArray nextReply(QTcpSocket& socket, QByteArray& buffer) {
    while (!buffer.contains('\x03') && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(10000)))
        buffer += socket.readAll();
    const qsizetype end = buffer.indexOf('\x03');
    const QByteArray out = end < 0 ? buffer : buffer.left(end + 1);
    buffer.remove(0, out.size());
    return out;
}

// One connection speaking the wire format directly.
class Wire {
public:
    // from: the local address to connect from (a client address of the test's own).
    bool open(const QString& address, const QString& from = QString()) {
        if (!from.isEmpty() && !m_socket.bind(QHostAddress(from)))
            return false;
        m_socket.connectToHost(LoopbackBlock::own(address), MemberdProcess::port());
        return m_socket.waitForConnected(10000);
    }
    void send(const QByteArray& bytes) {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(10000);
    }
    QByteArray ask(const char* command, const QString& data, const QByteArray& prefix = "ZELQ") {
        send(prefix + command + "00" + m_cp.encode(data) + '\x03');
        return reply();
    }
    // The next reply with its terminator; what arrived so far when none comes.
    QByteArray reply() { return nextReply(m_socket, m_buffer); }
    bool closedByPeer() {
        return m_socket.state() == QAbstractSocket::UnconnectedState || m_socket.waitForDisconnected(10000);
    }
    QString text(const QByteArray& bytes) const { return m_cp.decode(bytes); }
    QTcpSocket& socket() { return m_socket; }

private:
    tolva::CodePage m_cp{QStringLiteral("CP950")};
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

// The eleven fields of a POSTKY.
inline QString posting(const QString& key, const QString& type, const QString& card, const QString& amount,
                       const QString& code = {}, const QString& mode = QStringLiteral("N")) {
    return QStringList{key,
                       type,
                       card,
                       amount,
                       QStringLiteral("S01"),
                       QStringLiteral("B77"),
                       QStringLiteral("P01"),
                       QStringLiteral("U1"),
                       QStringLiteral("2026/12/08"),
                       code,
                       mode}
        .join(QLatin1Char('\t'));
}

inline QByteArray answered(const char* command, char outcome, bool replay) {
    return QByteArray("ZELQ") + command + "00000001Outcome\tReplay;" + outcome + '\t' + (replay ? '1' : '0') +
           '\x03';
}
