#pragma once

#include "db/Dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <map>
#include <memory>

namespace tolva {

class Fault;

// One database connection opened from a connection string ("Provider=...;").
// Provider picks the Qt driver: SQLOLEDB -> ODBC through FreeTDS, MSDASQL ->
// ODBC with the rest of the string, SQLite -> the embedded database (created
// with the schema when the file does not exist yet), PostgreSQL -> libpq.
// Every failure throws a Fault.
class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Replaces any previous connection by a new one and opens it.
    void open(const QString& connectionString);
    void close();
    bool isOpen() const;

    // "SQLOLEDB", "MSDASQL", "SQLite", "PostgreSQL" or "" when never opened.
    QString providerName() const { return m_provider; }
    const Dialect& dialect() const { return m_dialect; }
    QSqlDatabase handle() const;

    // Runs a statement; a forward-only query positioned before its first row.
    QSqlQuery query(const QString& sql);
    // Runs a statement and gives the number of rows it affected.
    int execute(const QString& sql);
    // True when the statement gives at least one row.
    bool hasRow(const QString& sql);
    // Whether the database has the table, and the table the column; names
    // are compared without letter case.
    bool hasTable(const QString& table) const;
    bool hasColumn(const QString& table, const QString& column);
    // The identity value of the last row inserted on this connection.
    qint64 lastIdentity();

    // A statement with "?" parameters, prepared once per connection and kept
    // until the connection is closed or reopened; later calls give the same
    // query object.
    QSqlQuery& prepared(const QString& sql);
    // Binds the values to the prepared statement in order and runs it; the
    // query is positioned before its first row. Call finish() on it when done
    // reading so that it holds no locks.
    QSqlQuery& runPrepared(const QString& sql, const QVariantList& values);

    // Creates every table of the system with the schema of this provider.
    void createSchema();

    void begin();
    void commit();
    void rollback();

    static Fault faultFrom(const QString& context, const QString& detail);

    // The statements of a schema script (a resource): each ends with ";" at
    // the end of a line, "--" lines are comments. Throws when it is missing.
    static QStringList scriptStatements(const QString& resource);

private:
    void openSqlite(const QString& file);
    void createSqliteSchemaOnce();
    void runScript(const QString& resource);
    // The statements of a schema script, in whatever transaction is open.
    void runStatements(const QString& resource);
    void dropPrepared();

    QString m_name;
    QString m_provider;
    Dialect m_dialect;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
};

} // namespace tolva
