#pragma once

#include <QByteArray>
#include <QString>

namespace tolva {

class ConnectionString;

// Where a PostgreSQL connection string points, read and checked once: the
// Qt driver takes the pieces, memberd's own libpq connections the keyword
// string built from them, so both reach the same server the same way.
struct PostgresTarget {
    QString host;     // one host, or libpq's multi-host list "db1,db2"
    QString port;     // one port, a list matching the hosts, or empty
    QString database; // empty: libpq's default
    QString user;
    QString password;
    QString targetSessionAttrs; // e.g. "read-write"; empty: any server
    int connectTimeoutSeconds = 10;

    // Throws tolva::Fault when the port or the session attributes are malformed.
    static PostgresTarget from(const ConnectionString& cs);
    // libpq's "keyword=value" form, values quoted; extra is appended as it is.
    QByteArray connInfo(const QByteArray& extra = {}) const;
};

} // namespace tolva
