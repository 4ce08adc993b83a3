#pragma once

#include "common/CodePage.h"
#include "db/Database.h"
#include "server/Answers.h"
#include "server/SqliteAuthorizer.h"
#include "server/StatementIntake.h"
#include "server/StatementWatch.h"

#include <QByteArray>
#include <QSqlQuery>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace memberd {

class KeyedPosting;
class PostgresControl;

// Runs the statements of one connection thread on that thread's own database
// connection. It must be opened and used on one thread only. With SQLite,
// statements that write take one lock of the process in turn (reads go on
// beside them); other processes are kept in order by SQLite's own lock and
// its busy wait.
//
// Every statement has a deadline: it is cancelled when the deadline passes or
// when its client goes away, and the database rolls back what it did. When
// the database connection is lost, the request that found it so is answered
// as a failure (it is not run again) and the next request reconnects.
class StatementRunner {
public:
    struct Config {
        QString connectionString;
        QString codePage;
        bool allowAnySql = false;
        int statementTimeoutMs = 10000;
        qint64 maxReplyBytes = 4 * 1024 * 1024;
    };
    StatementRunner(Config config, std::timed_mutex& sqliteWriter);
    ~StatementRunner();
    StatementRunner(const StatementRunner&) = delete;
    StatementRunner& operator=(const StatementRunner&) = delete;

    // Opens the database connection; throws a tolva::Fault when it fails.
    // Without it, the first request that needs the connection opens it.
    void open();
    // Checks one statement (data: SQL text in the code page), puts the
    // database's own current-time expression in place of the desks' ones (see
    // ServerTime), runs it and builds the reply. command is "SELECT" or
    // "SERVER"; clientFd is watched while the statement runs; deadlineMs is the
    // steady-clock time by which the answer must be ready.
    Outcome run(const QByteArray& prefix, const QByteArray& command, const QByteArray& data, int clientFd,
                qint64 deadlineMs);
    // A keyed posting ("POSTKY") or a query by key ("POSTQY"), see
    // KeyedPosting: the fields are read (refused "03" when they cannot be),
    // then memberd's own statements run as one transaction under the same
    // deadline, cancel and writer lock as a desk's statement. The reply is
    // "00" with the row Outcome, Replay; the log line tells what happened.
    Outcome runKeyed(const QByteArray& prefix, const QByteArray& command, const QByteArray& data,
                     int clientFd, qint64 deadlineMs);
    // Database connections opened again after one was lost, so far.
    quint64 reconnects() const { return m_reconnects; }

private:
    // Runs body on the database connection (opened first when it is closed)
    // with the SQLite writer lock when it writes, cancelled when the client
    // goes away or deadlineMs passes. done tells whether body succeeded; the
    // Outcome then carries no reply (the caller builds it) unless the client
    // went away. Otherwise it is the failure to answer, logged with what.
    Outcome guarded(const QByteArray& prefix, const QByteArray& command, int clientFd, qint64 deadlineMs,
                    bool writes, const QString& what, const std::function<bool(QSqlError&)>& body,
                    bool& done);
    Outcome failure(const QByteArray& prefix, const QByteArray& command, const char* code,
                    const QString& text, const QString& logLine) const;
    void close();
    void cancel();
    bool connectionLost(const QSqlError& error) const;
    QString selectText(QSqlQuery& query, qint64& rows, bool& tooLarge) const;

    Config m_config;
    std::timed_mutex& m_sqliteWriter;
    tolva::CodePage m_cp;
    StatementIntake m_intake;
    SqliteAuthorizer m_authorizer;
    StatementWatch m_watch;
    std::optional<tolva::Database> m_db;
    std::optional<QSqlQuery> m_query;
    std::unique_ptr<KeyedPosting> m_keyed;
    std::unique_ptr<PostgresControl> m_postgres;
    sqlite3* m_sqliteHandle = nullptr;
    bool m_sqlite = false;
    quint64 m_reconnects = 0;
};

// The text of a database error that may be shown and logged: its first line
// only, so details that quote row data ("Failing row contains (...)", "Key
// (...)=(...)") stay inside the database.
QString databaseMessage(const QSqlError& error);

} // namespace memberd
