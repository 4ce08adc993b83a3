#pragma once

#include "common/CodePage.h"
#include "server/MemberWire.h"
#include "support/MemberdProcess.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>

// One TLS connection speaking the wire format directly, trusting the CA
// given (and showing a client certificate when given one).
class TlsWire {
public:
    explicit TlsWire(const QString& caFile, const QString& certFile = {}, const QString& keyFile = {}) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(QSslCertificate::fromPath(caFile));
        if (!certFile.isEmpty()) {
            tls.setLocalCertificate(QSslCertificate::fromPath(certFile).value(0));
            QFile key(keyFile);
            if (key.open(QIODevice::ReadOnly))
                tls.setPrivateKey(QSslKey(&key, QSsl::Ec));
        }
        m_socket.setSslConfiguration(tls);
    }
    // True once the handshake is done; error() tells why it was not.
    bool open(const QString& address, quint16 port = MemberdProcess::port()) {
        m_socket.connectToHostEncrypted(address, port);
        return m_socket.waitForEncrypted(10000);
    }
    QString error() const { return m_socket.errorString(); }
    // The first bytes before the handshake (a balancer's PROXY header), then TLS.
    bool openAfter(const QString& address, const QByteArray& clearBytes) {
        m_socket.connectToHost(address, MemberdProcess::port());
        if (!m_socket.waitForConnected(10000))
            return false;
        m_socket.write(clearBytes);
        m_socket.flush();
        m_socket.setPeerVerifyName(address);
        m_socket.startClientEncryption();
        return m_socket.waitForEncrypted(10000);
    }
    QByteArray ask(const char* command, const QString& data) {
        m_socket.write(QByteArray("ZELQ") + command + "00" + m_cp.encode(data) + '\x03');
        m_socket.flush();
        return nextReply(m_socket, m_buffer);
    }
    // Whether the service closed the connection (at once, or within the wait).
    bool closedByPeer() {
        return m_socket.state() == QAbstractSocket::UnconnectedState || m_socket.waitForDisconnected(10000);
    }
    QString text(const QByteArray& bytes) const { return m_cp.decode(bytes); }

private:
    tolva::CodePage m_cp{QStringLiteral("CP950")};
    QSslSocket m_socket;
    QByteArray m_buffer;
};
