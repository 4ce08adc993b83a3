#pragma once

#include "common/CodePage.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

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
    int threads = 4;       // connection threads, each with its own database connection
};

} // namespace memberd
