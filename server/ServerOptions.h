#pragma once

#include "common/CodePage.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

namespace memberd {

struct ServerOptions {
    QHostAddress listen = QHostAddress::Any;
    quint16 port = 3501;
    QByteArray password; // in the code page, as it arrives on the wire; may be empty with store passwords
    // "store-id:hash" lines: each store logs in with a password of its own
    // and posts only as itself (see StoreLogin, StoreScope).
    QString storePasswordsFile;
    bool allowSharedPassword = false; // with store passwords: the shared one still logs in, as no store
    // Where /metrics and /healthz are served; null: nowhere.
    QHostAddress metricsAddress;
    quint16 metricsPort = 0;
    QString connectionString = QStringLiteral("Provider=SQLite;Data Source=member.db");
    QString codePage = QString::fromLatin1(tolva::CodePage::kDefault);
    bool allowAnySql = false;
    // PostgreSQL statements go through memberd's own libpq connection in
    // pipeline mode; false (--pg-client qt, a diagnostic) runs them through
    // Qt's driver one at a time.
    bool pgPipeline = true;
    // POSTKY and POSTQY are served (and announced at the log-in) unless
    // --no-keyed-postings; the member database must then hold the key table.
    bool keyedPostings = false;
    qint64 maxRequestBytes = 1024 * 1024;
    int idleTimeoutMs = 0;         // 0: logged-in connections may stay idle
    int threads = 4;               // connection threads, each with its own database connection
    int logRepeatWindowMs = 10000; // lines of one kind about one address: a few per window, then a count
    // Balancers whose connections begin with a PROXY header naming the client
    // (address and prefix length); every limit and log line uses that client.
    QList<QPair<QHostAddress, int>> trustedProxies;

    // TLS on the listening port once a certificate and key are given (PEM
    // files). With a client CA every desk must show a certificate it signed.
    QString tlsCert;
    QString tlsKey;
    QString tlsClientCa;
    // A clear-text port beside the TLS one; off unless asked for.
    bool plainListen = false;
    QHostAddress plainAddress;
    quint16 plainPort = 0;
    bool tls() const { return !tlsCert.isEmpty(); }

    // Statements: each answer is ready within this time of its request's arrival.
    int statementTimeoutMs = 10000;
    qint64 maxReplyBytes = 4 * 1024 * 1024;
    qint64 maxOutputBytes = 8 * 1024 * 1024; // replies waiting for one client to read them
    int sendTimeoutMs = 30000; // a client that takes none of its replies for this long is closed

    // Before the log-in.
    int loginTimeoutMs = 10000;
    qint64 maxLoginBytes = 1024;
    int maxConnections = 0; // 0: from the descriptor limit
    int maxPendingLogins = 256;
    int maxPendingPerAddress = 32;
    int maxConnectionsPerAddress = 1024;
    int loginFailuresBeforeLockout = 10;
    int loginDelayMs = 1000; // after the first wrong password, doubled after each further one
    int loginLockoutMs = 300000;
};

} // namespace memberd
