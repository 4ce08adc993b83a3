#pragma once

#include "common/Globals.h"
#include "common/Reporter.h"
#include "link/LinkClient.h"
#include "support/FakeDialogs.h"
#include "support/FixedClock.h"

#include <QFile>
#include <QQueue>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>

// The two captions of the window, as the link sets them.
struct RecordingIndicators : tolva::LinkIndicators {
    QStringList messageLines;
    QString mode;
    void setMessageLine(const QString& text) override { messageLines << text; }
    void setModeCaption(const QString& text) override { mode = text; }
};

// A desk without a window: globals, reporter with log and error files in a
// temporary folder, the fake dialogs and the link client.
struct DeskLink {
    QTemporaryDir dir;
    FakeDialogs dialogs;
    FixedClock clock;
    tolva::CodePage cp{QStringLiteral("CP950")};
    tolva::Globals g;
    tolva::Reporter reporter{g, cp, clock, dialogs};
    RecordingIndicators indicators;
    tolva::LinkClient link{g, reporter, dialogs, indicators, cp};
    tolva::Grid fgTMP;

    DeskLink() {
        g.appDir = dir.path();
        g.gLogFile = dir.filePath(QStringLiteral("TOLVA.LOG"));
        g.gErrFile = dir.filePath(QStringLiteral("TOLVA.ERR"));
    }
    QString file(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? cp.decode(f.readAll()) : QString();
    }
    QString logText() const { return file(g.gLogFile); }
    QString errText() const { return file(g.gErrFile); }
};

// The far end of the link played from a script, over a real loopback socket:
// every complete request (up to char 3) is recorded and answered with the
// next scripted bytes; an empty answer means "say nothing".
class ScriptedPeer {
public:
    QList<QByteArray> requests;
    QQueue<QByteArray> answers;
    bool closeAfterAnswer = false;

    ScriptedPeer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                m_conn = s;
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { onData(s); });
            }
        });
    }
    QString port() const { return QString::number(m_server.serverPort()); }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    // Writes bytes to the desk without being asked.
    void push(const QByteArray& bytes) {
        if (m_conn) {
            m_conn->write(bytes);
            m_conn->flush();
        }
    }
    void closeConnection() {
        if (m_conn)
            m_conn->disconnectFromHost();
    }
    bool connected() const { return m_conn && m_conn->state() == QAbstractSocket::ConnectedState; }

private:
    void onData(QTcpSocket* s) {
        m_buffer += s->readAll();
        qsizetype end;
        while ((end = m_buffer.indexOf('\x03')) >= 0) {
            requests << m_buffer.left(end + 1);
            m_buffer.remove(0, end + 1);
            const QByteArray answer = answers.isEmpty() ? QByteArray() : answers.dequeue();
            if (!answer.isEmpty()) {
                s->write(answer);
                s->flush();
                if (closeAfterAnswer)
                    s->disconnectFromHost();
            }
        }
    }

    QTcpServer m_server;
    QTcpSocket* m_conn = nullptr;
    QByteArray m_buffer;
};
