#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct pg_conn;
struct pg_cancel;

namespace memberd {

// What memberd needs of a PostgreSQL connection beyond Qt's driver: cancel a
// running statement from another thread, tell a lost connection from a
// failed statement, and find out which powers the connection's role has.
class PostgresControl {
public:
    // Over the libpq connection under a QPSQL connection; isValid() is false
    // for other drivers.
    explicit PostgresControl(const QSqlDatabase& db);
    ~PostgresControl();
    PostgresControl(const PostgresControl&) = delete;
    PostgresControl& operator=(const PostgresControl&) = delete;

    bool isValid() const { return m_conn != nullptr; }
    // Asks the server to cancel the statement running now; any thread.
    void cancel() const;
    // True when the server connection is gone (the server restarted or the
    // network broke). Between statements it also reads what the server may
    // have sent meanwhile: a server that shut down or restarted has ended the
    // connection with a message or by closing it, which libpq only notices
    // when it reads.
    bool connectionLost() const;
    // A database error that ends the connection: one without SQLSTATE (libpq's
    // own, e.g. "server closed the connection unexpectedly"), a connection
    // exception (class 08) or the server shutting the session down (57P0x).
    static bool endsConnection(const QString& sqlState);

    // The powers of the connected role that memberd must not have: "superuser",
    // "pg_read_all_data", ... (empty when it has none of them).
    static QStringList excessPowers(const QSqlDatabase& db);
    // Creates (or updates) the login role that may only read, add and change
    // rows of the member tables; the password may be empty (no password set).
    // Throws tolva::Fault when the database refuses.
    static void setUpServiceRole(const QSqlDatabase& db, const QString& role, const QString& password);
    static bool isValidRoleName(const QString& role);

private:
    pg_conn* m_conn = nullptr;
    pg_cancel* m_cancel = nullptr;
};

} // namespace memberd
