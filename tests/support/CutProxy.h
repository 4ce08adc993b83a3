#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>

// A loopback relay between a desk and the real memberd that cuts the
// connection at a chosen step, once: before a request with a given command
// word goes out (the service never sees it), or after the service answered
// it (the service did the work, the desk never hears). It runs on the test's
// event loop, which the desk's link keeps turning while it waits. Both
// addresses are moved into the test process's own loopback block
// (LoopbackBlock), like memberd's, so the relay listens where no other test
// program does; address() is where the desk connects.
class CutProxy : public QObject {
    Q_OBJECT

public:
    enum class Cut { None, BeforeRequest, AfterReply };

    CutProxy(const QString& listenAddress, const QString& serviceAddress);
    bool listening() const { return m_server.isListening(); }
    QString address() const { return m_server.serverAddress().toString(); }

    // The next request with this command word is cut as told; later ones
    // pass. Cuts for several command words may wait at once.
    void cutNext(const QByteArray& command, Cut cut) { m_cuts.append({command, cut}); }
    // How many requests with the command word the service got through here.
    int forwarded(const QByteArray& command) const { return m_forwarded.count(command); }

private:
    void accept();

    QTcpServer m_server;
    QHostAddress m_service;
    QList<QPair<QByteArray, Cut>> m_cuts;
    QByteArrayList m_forwarded;
};
