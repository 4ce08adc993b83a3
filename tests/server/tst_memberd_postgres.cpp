// memberd on PostgreSQL: the service's own role, statements that wait too
// long or whose client leaves, a database connection that goes away, and
// error details that quote rows.
#include "db/Database.h"
#include "server/MemberWire.h"
#include "support/MemberdProcess.h"
#include "support/TestDatabase.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <functional>

using namespace tolva;

namespace {

// Sets up the service's role with --init-db; the connection string that logs in as it.
QString serviceRole(const TestPostgres& pg) {
    const QString role = QStringLiteral("memberd_") + pg.databaseName().toLower();
    const auto [code, log] =
        MemberdProcess::runToEnd({QStringLiteral("--init-db"), QStringLiteral("--db"), pg.connectionString(),
                                  QStringLiteral("--db-role"), role});
    if (code != 0)
        return QString();
    QString conn = pg.connectionString();
    return conn.replace(QStringLiteral("User ID=postgres"), QStringLiteral("User ID=") + role);
}

// Polls (bounded) until done() holds.
bool waitFor(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(20000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

Wire* loggedIn(Wire& w, const QString& address) {
    if (!w.open(address) || !w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"))
        return nullptr;
    return &w;
}

} // namespace

class TestMemberdPostgres : public QObject {
    Q_OBJECT

private slots:
    void serviceRoleMayOnlyUseTheMemberTables() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        // The superuser is refused unless allowed.
        const auto [code, log] =
            MemberdProcess::runToEnd({QStringLiteral("--listen"), QStringLiteral("127.0.0.90"),
                                      QStringLiteral("--db"), pg.connectionString()});
        QVERIFY(code != 0);
        QVERIFY2(log.contains(QStringLiteral("superuser")), qPrintable(log));

        const QString asRole = serviceRole(pg);
        QVERIFY(!asRole.isEmpty());
        // With the checker off, the database itself refuses what the checker would.
        MemberdProcess memberd(QStringLiteral("127.0.0.90"), asRole, {QStringLiteral("--allow-any-sql")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(loggedIn(w, memberd.address()));
        const QStringList denied = {
            QStringLiteral("TABLE xxPARAM"),
            QStringLiteral("Select CustNo From CUST Where (1, 'a') < (TABLE xxPARAM LIMIT 1)"),
            QStringLiteral("INSERT INTO VCardLog (Remark) SELECT ParamValue FROM xxPARAM RETURNING Remark"),
            QStringLiteral(
                "UPDATE CUST SET (CustName) = (TABLE xxCODE LIMIT 1) WHERE CustNo = 'x' RETURNING *"),
            QStringLiteral("SELECT rolpassword FROM pg_authid"),
            QStringLiteral("DELETE FROM CUST"),
            QStringLiteral("CREATE TABLE x (a int)"),
            QStringLiteral("SELECT pg_read_file('/etc/passwd')"),
        };
        for (const QString& sql : denied)
            QVERIFY2(w.ask("SERVER", sql).startsWith("ZELQSERVER04"), qPrintable(sql));
        QCOMPARE(w.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('P1', 5)")),
                 QByteArray("ZELQSERVER00000001\x03"));
        QCOMPARE(w.ask("SERVER", QStringLiteral("INSERT INTO VCardLog (CardNo, TxnAmt) VALUES ('P1', 5)")),
                 QByteArray("ZELQSERVER00000001\x03"));
        QCOMPARE(w.ask("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = 7 WHERE CustNo = 'P1'")),
                 QByteArray("ZELQSERVER00000001\x03"));
        QCOMPARE(w.ask("SELECT", QStringLiteral("Select TBonusAmt From CUST Where CustNo = 'P1'")),
                 QByteArray("ZELQSELECT00000001tbonusamt;7\x03"));
    }

    // A member of a powerful role holds its powers even without inheriting
    // them: it may SET ROLE at any time.
    void memberOfAPowerfulRoleIsRefusedEvenWithoutInherit() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        const QString role = QStringLiteral("reader_") + pg.databaseName().toLower();
        Database admin;
        admin.open(pg.connectionString());
        admin.execute(QStringLiteral("CREATE ROLE %1 LOGIN NOINHERIT IN ROLE pg_read_all_data").arg(role));
        QString conn = pg.connectionString();
        conn.replace(QStringLiteral("User ID=postgres"), QStringLiteral("User ID=") + role);
        const auto [code, log] = MemberdProcess::runToEnd(
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.212"), QStringLiteral("--db"), conn});
        admin.execute(QStringLiteral("DROP ROLE %1").arg(role));
        QVERIFY(code != 0);
        QVERIFY2(log.contains(QStringLiteral("pg_read_all_data")), qPrintable(log));
    }

    void errorDetailsWithRowDataStayInTheDatabase() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        MemberdProcess memberd(QStringLiteral("127.0.0.91"), pg.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(loggedIn(w, memberd.address()));
        const QByteArray answer = w.ask(
            "SERVER",
            QStringLiteral("INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('F1', 'Secretname', -5)"));
        QVERIFY(answer.startsWith("ZELQSERVER04"));
        QVERIFY(!answer.contains("Failing row"));
        QVERIFY(memberd.waitForLog(QStringLiteral("error SERVER")));
        QVERIFY(!memberd.log().contains(QStringLiteral("Failing row")));
        QVERIFY(!memberd.log()
                     .section(QStringLiteral("error SERVER"), 1)
                     .section(QLatin1Char('['), 0, 0)
                     .contains(QStringLiteral("Secretname")));
    }

    void statementThatWaitsTooLongIsAnsweredInTime() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database holder;
        holder.open(pg.connectionString());
        holder.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('L1', 0)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.92"), pg.connectionString(),
                               {QStringLiteral("--statement-timeout"), QStringLiteral("0.5")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(loggedIn(w, memberd.address()));
        holder.begin();
        holder.execute(QStringLiteral("UPDATE CUST SET TBonusAmt = 1 WHERE CustNo = 'L1'"));
        const QString answer =
            w.text(w.ask("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = 2 WHERE CustNo = 'L1'")));
        QVERIFY2(answer.startsWith(QStringLiteral("ZELQSERVER04000000資料庫忙碌")), qPrintable(answer));
        holder.rollback();
        QCOMPARE(w.ask("SELECT", QStringLiteral("Select TBonusAmt From CUST Where CustNo = 'L1'")),
                 QByteArray("ZELQSELECT00000001tbonusamt;0\x03"));
    }

    // The desk resets its connection while its statement waits for a lock:
    // the statement is cancelled at once (its backend stops waiting long
    // before the lock or statement timeout would end it) and rolled back, and
    // the service goes on. The same for a keyed posting.
    void statementOfAClientThatLeftIsCancelled() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database holder;
        holder.open(pg.connectionString());
        holder.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('G1', 0)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.93"), pg.connectionString(),
                               {QStringLiteral("--statement-timeout"), QStringLiteral("600")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Database watcher;
        watcher.open(pg.connectionString());
        const QByteArray requests[] = {
            "ZELQSERVER00UPDATE CUST SET TBonusAmt = TBonusAmt + 10 WHERE CustNo = 'G1'\x03",
            "ZELQPOSTKY00G1-k1\t1\tG1\t10\tS01\tB1\tP01\tU1\t2026/01/02\tA1\tN\x03",
        };
        for (const QByteArray& request : requests) {
            holder.begin();
            holder.execute(QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt + 1 WHERE CustNo = 'G1'"));
            {
                Wire leaver;
                QVERIFY(loggedIn(leaver, memberd.address()));
                leaver.send(request);
                QVERIFY(waitForLockWaiters(watcher));
                leaver.socket().abort();
            }
            QVERIFY2(waitForLockWaiters(watcher, 0), "the statement still waits after its client left");
            holder.commit();
        }
        QVERIFY(memberd.waitForLog(QStringLiteral("the client went away")));
        Wire other;
        QVERIFY(loggedIn(other, memberd.address()));
        QCOMPARE(other.ask("SELECT", QStringLiteral("Select TBonusAmt From CUST Where CustNo = 'G1'")),
                 QByteArray("ZELQSELECT00000001tbonusamt;2\x03"));
        // The cancelled posting moved nothing: its key is unknown and a query voids it.
        QVERIFY(other.ask("POSTQY", QStringLiteral("G1-k1")).endsWith("X\t0\x03"));
    }

    // The server ends memberd's connection while its statement waits for a
    // lock: the request is a failure and is not run again; the next one runs
    // on a new connection. A connection ended while idle is replaced before
    // the next request runs.
    void lostDatabaseConnectionIsAFailureThenComesBack() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        MemberdProcess memberd(QStringLiteral("127.0.0.94"), pg.connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--statement-timeout"), QStringLiteral("600")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(loggedIn(w, memberd.address()));
        QCOMPARE(w.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('K1', 0)")),
                 QByteArray("ZELQSERVER00000001\x03"));
        Database holder;
        holder.open(pg.connectionString());
        holder.begin();
        holder.execute(QStringLiteral("UPDATE CUST SET TBonusAmt = 1 WHERE CustNo = 'K1'"));
        w.send("ZELQSERVER00UPDATE CUST SET TBonusAmt = TBonusAmt + 10 WHERE CustNo = 'K1'\x03");
        QVERIFY(waitForLockWaiters(holder));
        holder.query(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                                    "current_database() AND wait_event_type = 'Lock'"));
        const QString answer = w.text(w.reply());
        QVERIFY2(answer.startsWith(QStringLiteral("ZELQSERVER04000000資料庫連線中斷")), qPrintable(answer));
        QVERIFY2(memberd.waitForLog(QStringLiteral("database connection lost")), qPrintable(memberd.log()));
        holder.commit();
        QCOMPARE(w.ask("SELECT", QStringLiteral("Select TBonusAmt From CUST Where CustNo = 'K1'")),
                 QByteArray("ZELQSELECT00000001tbonusamt;1\x03"));

        // The backends are ended, and gone: a backend leaves pg_stat_activity
        // before its process has ended and closed its socket, and only then
        // does memberd's idle connection read as lost.
        QList<int> backends;
        QSqlQuery others = holder.query(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = "
                                                       "current_database() AND pid <> pg_backend_pid()"));
        while (others.next())
            backends << others.value(0).toInt();
        QVERIFY(!backends.isEmpty());
        holder.query(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                                    "current_database() AND pid <> pg_backend_pid()"));
        QVERIFY(waitFor([&] {
            for (int pid : backends)
                if (QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
                    return false;
            return true;
        }));
        QCOMPARE(w.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo) VALUES ('K2')")),
                 QByteArray("ZELQSERVER00000001\x03"));
        QVERIFY(memberd.waitForLog(QStringLiteral("database connection lost while idle, reconnecting")));
    }
};

QTEST_GUILESS_MAIN(TestMemberdPostgres)
#include "tst_memberd_postgres.moc"
