#include "server/PostgresControl.h"

#include "common/Fault.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cstring>
#include <libpq-fe.h>
#include <poll.h>

namespace memberd {

namespace {

// Predefined roles that read or write every table or the server's files.
constexpr const char* kPowerfulRoles[] = {"pg_read_all_data", "pg_write_all_data", "pg_read_server_files",
                                          "pg_write_server_files", "pg_execute_server_program"};

void run(QSqlQuery& query, const QString& sql) {
    if (!query.exec(sql))
        throw tolva::Fault(tolva::Fault::kGeneric, QStringLiteral("無法設定資料庫角色: ") +
                                                       query.lastError().databaseText().trimmed());
}

QString literal(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

PostgresControl::PostgresControl(const QSqlDatabase& db) {
    if (!db.driver())
        return;
    const QVariant v = db.driver()->handle();
    // QPSQL hands out a PGconn*; Qt names its type by the struct behind the
    // typedef ("pg_conn*"), older versions by the typedef.
    if (!v.isValid() ||
        (std::strcmp(v.typeName(), "pg_conn*") != 0 && std::strcmp(v.typeName(), "PGconn*") != 0))
        return;
    m_conn = *static_cast<pg_conn* const*>(v.constData());
    if (m_conn)
        m_cancel = PQgetCancel(m_conn);
}

PostgresControl::~PostgresControl() {
    if (m_cancel)
        PQfreeCancel(m_cancel);
}

void PostgresControl::cancel() const {
    if (!m_cancel)
        return;
    char error[256];
    PQcancel(m_cancel, error, sizeof error);
}

bool PostgresControl::connectionLost() const {
    if (!m_conn)
        return false;
    if (PQstatus(m_conn) == CONNECTION_BAD)
        return true;
    // A server that ended the session has sent its last message and closed
    // the socket: the first read takes the message, a later one the end.
    for (int reads = 0; reads < 4 && PQstatus(m_conn) != CONNECTION_BAD; ++reads) {
        pollfd server{PQsocket(m_conn), POLLIN, 0};
        if (server.fd < 0 || ::poll(&server, 1, 0) <= 0)
            break;
        PQconsumeInput(m_conn);
    }
    return PQstatus(m_conn) == CONNECTION_BAD;
}

bool PostgresControl::endsConnection(const QString& sqlState) {
    return sqlState.isEmpty() || sqlState.startsWith(QLatin1String("08")) ||
           sqlState.startsWith(QLatin1String("57P0"));
}

QStringList PostgresControl::excessPowers(const QSqlDatabase& db) {
    QStringList powers;
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT rolsuper FROM pg_roles WHERE rolname = current_user")) &&
        query.next() && query.value(0).toBool())
        powers << QStringLiteral("superuser");
    for (const char* role : kPowerfulRoles) {
        const QString name = QString::fromLatin1(role);
        // MEMBER, not USAGE: a NOINHERIT member holds no rights of the role
        // until it runs SET ROLE, which it may do at any time.
        if (query.exec(QStringLiteral("SELECT pg_has_role(current_user, '%1', 'MEMBER')").arg(name)) &&
            query.next() && query.value(0).toBool())
            powers << name;
    }
    return powers;
}

bool PostgresControl::isValidRoleName(const QString& role) {
    static const QRegularExpression name(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return name.match(role).hasMatch();
}

void PostgresControl::setUpServiceRole(const QSqlDatabase& db, const QString& role, const QString& password) {
    if (!isValidRoleName(role))
        throw tolva::Fault(tolva::Fault::kGeneric, QStringLiteral("角色名稱不合格: ") + role);
    QSqlQuery query(db);
    run(query, QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                              "CREATE ROLE %1 LOGIN; END IF; END $$")
                   .arg(role));
    run(query, QStringLiteral("ALTER ROLE %1 LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION "
                              "NOBYPASSRLS NOINHERIT")
                   .arg(role));
    if (!password.isEmpty())
        run(query, QStringLiteral("ALTER ROLE %1 PASSWORD %2").arg(role, literal(password)));
    for (const char* powerful : kPowerfulRoles)
        run(query, QStringLiteral("REVOKE %1 FROM %2").arg(QString::fromLatin1(powerful), role));
    run(query, QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM %1").arg(role));
    run(query, QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM %1").arg(role));
    run(query, QStringLiteral("REVOKE CREATE ON SCHEMA public FROM %1").arg(role));
    run(query, QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(role));
    run(query, QStringLiteral("GRANT SELECT, INSERT, UPDATE ON cust, vcardlog, postkey TO %1").arg(role));
    // Keys past their time are removed (KeyRetention).
    run(query, QStringLiteral("GRANT DELETE ON postkey TO %1").arg(role));
    // New rows take their RNo from the tables' sequences.
    run(query, QStringLiteral("GRANT USAGE ON SEQUENCE cust_rno_seq, vcardlog_rno_seq TO %1").arg(role));
}

} // namespace memberd
