#pragma once

// One station of a site for the data tests: its own context and connection
// on SQLite (a file in a temp folder) or on the throwaway PostgreSQL cluster.
#include "app/AppContext.h"
#include "app/Connection.h"
#include "support/FakeDialogs.h"
#include "support/FixedClock.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

// A site database of one kind, "sqlite" or "postgresql".
class Site {
public:
    explicit Site(const QString& kind) {
        if (kind == QLatin1String("postgresql")) {
            m_pg.emplace();
            m_connStr = m_pg->connectionString();
            m_postgres = true;
        } else {
            m_connStr =
                QStringLiteral("Provider=SQLite;Data Source=") + m_dir.filePath(QStringLiteral("site.db"));
        }
    }
    bool isPostgres() const { return m_postgres; }
    bool available() const { return !m_connStr.isEmpty(); }
    QString connectionString() const { return m_connStr; }
    QString folder() const { return m_dir.path(); }

    // Adds the rows "sqlite" and "postgresql" to a data-driven test.
    static void rows() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

private:
    QTemporaryDir m_dir;
    std::optional<TestPostgres> m_pg;
    QString m_connStr;
    bool m_postgres = false;
};

// Skips a PostgreSQL row when no cluster is configured, fails it when one is required.
#define REQUIRE_SITE(site)                                                                                   \
    do {                                                                                                     \
        if ((site).isPostgres() && !(site).available()) {                                                    \
            if (TestPostgres::required())                                                                    \
                QFAIL("TOLVA_TEST_PG is not set but PostgreSQL is required");                                \
            QSKIP("no PostgreSQL cluster (TOLVA_TEST_PG not set)");                                          \
        }                                                                                                    \
    } while (false)

struct Station {
    FakeDialogs dialogs;
    FixedClock clock;
    tolva::CodePage cp{QStringLiteral("CP950")};
    tolva::AppContext ctx;

    Station(const Site& site, const QString& name = QStringLiteral("S"))
        : ctx(dialogs, clock, cp, site.folder()) {
        ctx.g.gErrFile = site.folder() + QLatin1Char('/') + name + QStringLiteral(".ERR");
        ctx.gCNT.open(site.connectionString());
    }

    // The error file as text.
    QString errors() const {
        QFile f(ctx.g.gErrFile);
        return f.open(QIODevice::ReadOnly) ? cp.decode(f.readAll()) : QString();
    }
};
