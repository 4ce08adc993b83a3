// memberd on a PostgreSQL cluster that goes away under it: stopped at once
// (also while a statement waits), stopped cleanly after a keyed posting, its
// postmaster killed. Each time the cluster comes back on the same port, the
// service answers again without a restart of memberd; what was in doubt is
// answered "04" and never run again, and a keyed posting sent again under
// its key posts exactly once. The cluster is the test's own (PgCluster).
// Address 127.0.0.210.
#include "db/Database.h"
#include "server/MemberWire.h"
#include "support/MemberdProcess.h"
#include "support/PgCluster.h"
#include "support/TestDatabase.h"

#include <QDeadlineTimer>
#include <QSqlQuery>
#include <QTest>
#include <memory>

using namespace tolva;

namespace {

const QString kAddress = QStringLiteral("127.0.0.210");

bool logIn(Wire& w) {
    return w.open(kAddress) && w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00");
}

// Asks again (the same request) until it is answered "00"; every answer
// before that must be "04". The answer, or what came last after 60 s.
QByteArray askUntilAnswered(Wire& w, const char* command, const QString& data, int* failures = nullptr) {
    const QByteArray ok = QByteArray("ZELQ") + command + "00";
    const QByteArray down = QByteArray("ZELQ") + command + "04";
    const QDeadlineTimer deadline(60000);
    QByteArray answer;
    while (!deadline.hasExpired()) {
        answer = w.ask(command, data);
        if (answer.startsWith(ok) || !answer.startsWith(down))
            return answer;
        if (failures)
            ++*failures;
        QTest::qWait(50);
    }
    return answer;
}

QByteArray balanceReply(const char* amount) {
    return QByteArray("ZELQSELECT00000001tbonusamt;") + amount + '\x03';
}

} // namespace

class TestMemberdRestart : public QObject {
    Q_OBJECT

    std::unique_ptr<PgCluster> m_cluster;

private slots:
    void initTestCase() {
        REQUIRE_PG_BINARIES();
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->create(), qPrintable(m_cluster->lastError()));
        Database db;
        db.open(m_cluster->connectionString());
        db.createSchema();
    }

    void serviceComesBackAfterTheDatabaseRestarts_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("keyedFirst");
        QTest::addColumn<QString>("card");
        QTest::newRow("immediate stop, keyed posting first") << "immediate" << true << "R1";
        QTest::newRow("immediate stop, statement first") << "immediate" << false << "R2";
        QTest::newRow("immediate stop while a posting waits") << "immediate-waiting" << true << "R3";
        QTest::newRow("fast stop after a keyed posting") << "fast" << true << "R4";
        QTest::newRow("fast stop, statement first") << "fast" << false << "R5";
        QTest::newRow("postmaster killed, keyed posting first") << "kill" << true << "R6";
        QTest::newRow("postmaster killed, statement first") << "kill" << false << "R7";
    }

    void serviceComesBackAfterTheDatabaseRestarts() {
        QFETCH(QString, fault);
        QFETCH(bool, keyedFirst);
        QFETCH(QString, card);
        const QString first = card + QStringLiteral(".1");
        const QString second = card + QStringLiteral(".2");
        const QString balanceSql = QStringLiteral("Select TBonusAmt From CUST Where CustNo = '%1'").arg(card);
        // A row that failed half-way may have left the cluster stopped.
        if (!m_cluster->running())
            QVERIFY2(m_cluster->start(), qPrintable(m_cluster->lastError()));
        {
            Database db;
            db.open(m_cluster->connectionString());
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('%1', 0)").arg(card));
        }
        MemberdProcess memberd(kAddress, m_cluster->connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--statement-timeout"), QStringLiteral("600")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(logIn(w));
        // The one worker has served both paths: its statements are prepared.
        QCOMPARE(w.ask("POSTKY", posting(first, QStringLiteral("1"), card, QStringLiteral("5"))),
                 answered("POSTKY", 'P', false));
        QCOMPARE(w.ask("SELECT", balanceSql), balanceReply("5"));

        if (fault == QLatin1String("immediate-waiting")) {
            // The posting's outcome is in doubt when the server goes: it is
            // answered as a failure, not run again by memberd.
            Database holder;
            holder.open(m_cluster->connectionString());
            holder.begin();
            holder.execute(
                QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt WHERE CustNo = '%1'").arg(card));
            w.send("ZELQPOSTKY00" +
                   posting(second, QStringLiteral("1"), card, QStringLiteral("7")).toLatin1() + '\x03');
            QVERIFY(waitForLockWaiters(holder));
            QVERIFY2(m_cluster->stop(QStringLiteral("immediate")), qPrintable(m_cluster->lastError()));
            const QString answer = w.text(w.reply());
            QVERIFY2(answer.startsWith(QStringLiteral("ZELQPOSTKY04000000資料庫連線中斷")),
                     qPrintable(answer));
            QVERIFY(memberd.waitForLog(QStringLiteral("database connection lost")));
        } else if (fault == QLatin1String("kill")) {
            QVERIFY(m_cluster->killPostmaster());
        } else {
            QVERIFY2(m_cluster->stop(fault), qPrintable(m_cluster->lastError()));
        }
        // While the database is away, requests are answered at once as failures.
        QVERIFY(w.ask("SELECT", balanceSql).startsWith("ZELQSELECT04"));
        QVERIFY(w.ask("POSTKY", posting(second, QStringLiteral("1"), card, QStringLiteral("7")))
                    .startsWith("ZELQPOSTKY04"));

        QVERIFY2(m_cluster->start(), qPrintable(m_cluster->lastError()));
        const QString secondPosting = posting(second, QStringLiteral("1"), card, QStringLiteral("7"));
        if (keyedFirst) {
            const QByteArray answer = askUntilAnswered(w, "POSTKY", secondPosting);
            QVERIFY2(answer == answered("POSTKY", 'P', false), answer.constData());
        } else {
            QCOMPARE(askUntilAnswered(w, "SELECT", balanceSql), balanceReply("5"));
            QCOMPARE(w.ask("POSTKY", secondPosting), answered("POSTKY", 'P', false));
        }
        // Posted once, however often it was sent.
        QCOMPARE(w.ask("POSTKY", secondPosting), answered("POSTKY", 'P', true));
        QCOMPARE(w.ask("SELECT", balanceSql), balanceReply("12"));
        QVERIFY(w.ask("POSTQY", first).endsWith("P\t1\x03"));
    }

    void cleanupTestCase() { m_cluster.reset(); }
};

QTEST_GUILESS_MAIN(TestMemberdRestart)
#include "tst_memberd_restart.moc"
