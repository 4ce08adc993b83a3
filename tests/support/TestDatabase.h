#pragma once

#include <QString>
#include <QTemporaryDir>

// Databases for tests. PostgreSQL comes from the throwaway cluster that
// scripts/test starts: TOLVA_TEST_PG holds its connection string. Each test
// gets a database of its own, dropped again at the end.
class TestPostgres {
public:
    TestPostgres();
    ~TestPostgres();
    TestPostgres(const TestPostgres&) = delete;
    TestPostgres& operator=(const TestPostgres&) = delete;

    // False (and the test should skip) when no cluster is configured.
    bool available() const { return !m_connStr.isEmpty(); }
    // Connection string of this test's own database, created with the schema.
    QString connectionString() const { return m_connStr; }
    QString databaseName() const { return m_dbName; }

    // Whether a missing cluster fails the run instead of skipping.
    static bool required() { return qEnvironmentVariable("TOLVA_REQUIRE_PG") == QLatin1String("1"); }
    static QString adminConnectionString() { return qEnvironmentVariable("TOLVA_TEST_PG"); }

private:
    QString m_dbName;
    QString m_connStr;
};

namespace tolva {
class Database;
}

// Waits (bounded) until at least count statements of db's PostgreSQL
// database wait for a lock (with count 0: until none does); false when that
// does not happen within 20 s.
bool waitForLockWaiters(tolva::Database& db, int count = 1);

// Skips the test when no cluster is configured, fails it when one is required.
#define REQUIRE_POSTGRES(pg)                                                                                 \
    do {                                                                                                     \
        if (!(pg).available()) {                                                                             \
            if (TestPostgres::required())                                                                    \
                QFAIL("TOLVA_TEST_PG is not set but PostgreSQL is required");                                \
            QSKIP("no PostgreSQL cluster (TOLVA_TEST_PG not set)");                                          \
        }                                                                                                    \
    } while (false)
