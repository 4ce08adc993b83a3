#include "support/TestDatabase.h"

#include "db/Database.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>

TestPostgres::TestPostgres() {
    const QString admin = adminConnectionString();
    if (admin.isEmpty())
        return;
    m_dbName = QStringLiteral("t_%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->generate() & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    {
        tolva::Database db;
        db.open(admin);
        db.execute(QStringLiteral("CREATE DATABASE ") + m_dbName);
    }
    QString cs = admin;
    cs.replace(QRegularExpression(QStringLiteral("Database=[^;]*")), QStringLiteral("Database=") + m_dbName);
    m_connStr = cs;
    tolva::Database db;
    db.open(m_connStr);
    db.createSchema();
}

TestPostgres::~TestPostgres() {
    if (m_dbName.isEmpty())
        return;
    try {
        tolva::Database db;
        db.open(adminConnectionString());
        db.execute(QStringLiteral("DROP DATABASE IF EXISTS ") + m_dbName + QStringLiteral(" WITH (FORCE)"));
    } catch (...) {
    }
}

bool waitForLockWaiters(tolva::Database& db, int count) {
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QSqlQuery q = db.query(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                              "current_database() AND wait_event_type = 'Lock'"));
        const int waiting = q.next() ? q.value(0).toInt() : -1;
        if (count > 0 ? waiting >= count : waiting == 0)
            return true;
        QTest::qWait(20);
    }
    return false;
}
