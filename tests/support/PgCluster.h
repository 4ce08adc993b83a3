#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL cluster of one test's own, in a folder of its own on a port
// fixed when it is made, so that it can be stopped, killed and started again
// under a running memberd whose connection string stays valid. Tests that
// restart a database use it instead of the shared throwaway cluster. Run as
// the postgres user when the test runs as root.
class PgCluster {
public:
    PgCluster();
    ~PgCluster(); // stops the cluster (immediate) when it runs
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // Whether PostgreSQL's server binaries are installed.
    static bool binariesFound();

    // initdb and start; settings are extra "-c name=value" options of the
    // server, kept for every later start.
    bool create(const QStringList& settings = {});
    // A standby of primary: a base backup of it that streams from it.
    bool createStandbyOf(const PgCluster& primary, const QStringList& settings = {});
    bool start();
    // pg_ctl stop with the mode "fast" or "immediate".
    bool stop(const QString& mode);
    // SIGKILL to the postmaster; its children end when they notice.
    bool killPostmaster();
    bool promote();
    // Whether its server runs (pg_ctl status).
    bool running();

    int port() const { return m_port; }
    QString dataDir() const;
    // Connection string as the superuser, on database postgres.
    QString connectionString() const;
    // What went wrong last (the tool's output).
    QString lastError() const { return m_error; }

private:
    bool run(const QString& tool, const QStringList& args, int timeoutMs = 60000);

    QTemporaryDir m_dir;
    QString m_bin;
    int m_port = 0;
    QStringList m_settings;
    QString m_error;
};

// Skips the test when the server binaries are missing, fails it when
// PostgreSQL is required (TOLVA_REQUIRE_PG=1).
#define REQUIRE_PG_BINARIES()                                                                                \
    do {                                                                                                     \
        if (!PgCluster::binariesFound()) {                                                                   \
            if (qEnvironmentVariable("TOLVA_REQUIRE_PG") == QLatin1String("1"))                              \
                QFAIL("PostgreSQL server binaries not found but PostgreSQL is required");                    \
            QSKIP("PostgreSQL server binaries not found");                                                   \
        }                                                                                                    \
    } while (false)
