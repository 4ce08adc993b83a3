#pragma once

#include "ServerTime.h"
#include "StatementChecker.h"
#include "common/CodePage.h"
#include "db/Database.h"

#include <QByteArray>
#include <QSqlQuery>
#include <QString>
#include <mutex>
#include <optional>

namespace memberd {

// The answer to one SELECT or SERVER request.
struct Outcome {
    QByteArray reply;
    QString logLine; // a refusal or a database error; empty when all went well
};

// Runs the statements of one connection thread on that thread's own database
// connection. It must be opened and used on one thread only. With SQLite,
// statements that write take one lock of the process in turn (reads go on
// beside them); other processes are kept in order by SQLite's own lock and
// its busy wait.
class StatementRunner {
public:
    struct Config {
        QString connectionString;
        QString codePage;
        bool allowAnySql = false;
    };
    StatementRunner(Config config, std::mutex& sqliteWriter);
    ~StatementRunner();
    StatementRunner(const StatementRunner&) = delete;
    StatementRunner& operator=(const StatementRunner&) = delete;

    // Opens the database connection; throws a tolva::Fault when it fails.
    void open();
    // Checks one statement (data: SQL text in the code page), puts the
    // database's own current-time expression in place of the desks' ones (see
    // ServerTime), runs it and builds the reply. command is "SELECT" or "SERVER".
    Outcome run(const QByteArray& prefix, const QByteArray& command, const QByteArray& data);

private:
    Config m_config;
    std::mutex& m_sqliteWriter;
    tolva::CodePage m_cp;
    StatementChecker m_checker;
    ServerTime m_serverTime;
    std::optional<tolva::Database> m_db;
    std::optional<QSqlQuery> m_query;
    bool m_sqlite = false;
};

} // namespace memberd
