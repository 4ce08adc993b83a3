// memberd's PostgreSQL statements through its own libpq connection in
// pipeline mode: the replies are byte for byte those of the Qt driver's path
// (--pg-client qt), many desks of one thread are in flight at once and each
// gets its own answers in order, and a cancel, a deadline or a lost
// connection touches exactly the requests it should.
#include "db/ConnectionString.h"
#include "db/Database.h"
#include "db/PostgresTarget.h"
#include "server/MemberWire.h"
#include "server/PgPipeline.h"
#include "server/StatementWatch.h"
#include "support/MemberdProcess.h"
#include "support/TestDatabase.h"

#include <QSqlQuery>
#include <QTest>
#include <memory>
#include <sys/epoll.h>
#include <unistd.h>
#include <vector>

using namespace tolva;

namespace {

Wire* loggedIn(Wire& w, const QString& address) {
    if (!w.open(address) || !w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"))
        return nullptr;
    return &w;
}

QByteArray request(const char* command, const QString& sql) {
    return QByteArray("ZELQ") + command + "00" + CodePage(QStringLiteral("CP950")).encode(sql) + '\x03';
}

// Rows with a value (or NULL) in every column type of the member tables.
void seed(Database& db) {
    db.execute(QStringLiteral(
        "INSERT INTO CUST (CustNo, CustName, Tel1, TBonusAmt, IsuDate, BirthDate, TotalAmt, DiscRate) VALUES "
        "('D1', '王小明', '02-1234', 1250.5, '2026-01-02 03:04:05', '1990-12-31 00:00:00', 1200, 0.0001), "
        "('D2', 'Tab\there;semi', NULL, 0, NULL, NULL, 123456789012.3456, NULL), "
        "('D3', NULL, '', 99999999999999.9999, '2000-02-29 23:59:59', NULL, -5, 1)"));
    db.execute(
        QStringLiteral("INSERT INTO VCardLog (TxnDept, TxnType, CardNo, TxnDate, TxnAmt, Remark) VALUES "
                       "('S01', '2', 'D1', '2026-03-04 05:06:07', 30, '第一筆'), "
                       "('S01', '1', 'D2', NULL, NULL, NULL)"));
}

// Each statement goes to both services three times (run as text, prepared,
// run prepared); every reply must be the same bytes.
void compareReplies(Wire& direct, Wire& qt, const QStringList& statements, const char* command) {
    for (const QString& sql : statements) {
        for (int round = 0; round < 3; ++round) {
            const QByteArray mine = direct.ask(command, sql);
            const QByteArray theirs = qt.ask(command, sql);
            QVERIFY2(mine.endsWith('\x03'), qPrintable(sql));
            QVERIFY2(mine == theirs, qPrintable(sql + QStringLiteral("\n direct: ") + direct.text(mine) +
                                                QStringLiteral("\n qt:     ") + qt.text(theirs)));
        }
    }
}

// A pipeline of its own on an event loop of its own, driven one round at a
// time as a connection thread drives it.
class PipelineRounds {
public:
    explicit PipelineRounds(const QString& connectionString) : m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {
        memberd::PgPipeline::Config config;
        config.connInfo = PostgresTarget::from(ConnectionString(connectionString)).connInfo();
        config.codePage = QStringLiteral("CP950");
        m_pipeline = std::make_unique<memberd::PgPipeline>(config, m_epoll, &m_tag);
    }
    ~PipelineRounds() {
        m_pipeline.reset();
        ::close(m_epoll);
    }
    bool open(QString& error) { return m_pipeline->open(error); }

    // One round: the statements are submitted, the round's writes flushed,
    // and the answers awaited; the replies in the order of the statements.
    QList<QByteArray> round(const QStringList& statements) {
        for (qsizetype i = 0; i < statements.size(); ++i) {
            memberd::PgRequest r;
            r.owner = reinterpret_cast<void*>(i + 1);
            r.prefix = "ZELQ";
            r.command = "SELECT";
            r.what = statements[i];
            r.sql = statements[i].toUtf8();
            r.runsAlone = false;
            r.deadline = memberd::StatementWatch::nowMs() + 10000;
            m_pipeline->submit(std::move(r));
        }
        m_pipeline->flushSent();
        QList<QByteArray> replies(statements.size());
        qsizetype answered = 0;
        while (answered < statements.size()) {
            epoll_event events[4];
            const int n = ::epoll_wait(m_epoll, events, 4, 10000);
            if (n <= 0)
                break;
            for (int i = 0; i < n; ++i)
                m_pipeline->onEvents(events[i].events);
            for (memberd::PgAnswer& a : m_pipeline->takeAnswers()) {
                replies[reinterpret_cast<qsizetype>(a.owner) - 1] = a.outcome.reply;
                ++answered;
            }
        }
        return replies;
    }

private:
    int m_epoll;
    char m_tag = 0;
    std::unique_ptr<memberd::PgPipeline> m_pipeline;
};

} // namespace

class TestMemberdPipeline : public QObject {
    Q_OBJECT

private slots:
    // Every column type of the schema, NULLs, expressions, a result over the
    // reply limit, errors, refusals and the desks' current-time expressions.
    void repliesAreThoseOfTheQtDriver() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database db;
        db.open(pg.connectionString());
        seed(db);
        const QStringList small = {QStringLiteral("--max-reply-bytes"), QStringLiteral("600"),
                                   QStringLiteral("--workers"), QStringLiteral("1")};
        for (const bool anySql : {false, true}) {
            QStringList args = small;
            if (anySql)
                args << QStringLiteral("--allow-any-sql");
            MemberdProcess direct(QStringLiteral("127.0.0.120"), pg.connectionString(), args);
            MemberdProcess qt(QStringLiteral("127.0.0.121"), pg.connectionString(),
                              args + QStringList{QStringLiteral("--pg-client"), QStringLiteral("qt")});
            QVERIFY2(direct.start(), qPrintable(direct.log()));
            QVERIFY2(qt.start(), qPrintable(qt.log()));
            Wire a;
            Wire b;
            QVERIFY(loggedIn(a, direct.address()));
            QVERIFY(loggedIn(b, qt.address()));
            compareReplies(
                a, b,
                {
                    QStringLiteral("SELECT * FROM CUST WHERE CustNo = 'D1'"),
                    QStringLiteral("SELECT * FROM CUST WHERE CustNo = 'D2'"),
                    QStringLiteral("select * from VCardLog where CardNo in ('D1', 'D2') order by RNo"),
                    QStringLiteral("SELECT CustNo, TBonusAmt, DiscRate, TotalAmt FROM CUST ORDER BY CustNo"),
                    QStringLiteral(
                        "SELECT COUNT(*), SUM(TBonusAmt), MIN(IsuDate), MAX(TotalAmt), AVG(DiscRate) "
                        "FROM CUST"),
                    QStringLiteral("SELECT CustNo FROM CUST WHERE CustNo = 'none'"),
                    QStringLiteral(
                        "SELECT CustNo, TBonusAmt * 2 AS twice FROM CUST WHERE CustName LIKE '王%'"),
                    QStringLiteral("SELECT COUNT(*) AS n FROM CUST WHERE IsuDate < getDate() AND "
                                   "IsuDate < datetime('now','localtime') AND IsuDate < now()"),
                    QStringLiteral("SELECT CustNo FROM CUST WHERE IsuDate > DATE '2001-01-01'"),
                    QStringLiteral("SELECT CAST(TBonusAmt AS INTEGER), TBonusAmt::varchar FROM CUST"),
                    // Over the 600-byte limit.
                    QStringLiteral("SELECT * FROM CUST"),
                    // Errors, and one whose literals cannot be parameters ($1 IS NOT NULL).
                    QStringLiteral("SELECT nosuch FROM CUST"),
                    QStringLiteral("SELECT CustNo FROM CUST WHERE TBonusAmt = 'abc'"),
                    QStringLiteral("SELECT CustNo FROM CUST WHERE 'x' IS NOT NULL AND CustNo = 'D1'"),
                    QStringLiteral("SELECT 'a' || 'b' AS ab FROM CUST WHERE CustNo = 'D3'"),
                    // Refused by the checker (unless any statement may run).
                    QStringLiteral("DELETE FROM CUST WHERE CustNo = 'zz'"),
                    QStringLiteral("SELECT CustNo FROM CUST; SELECT 1"),
                },
                "SELECT");
            compareReplies(a, b,
                           {
                               QStringLiteral("UPDATE CUST SET Tel1 = '03-555' WHERE CustNo = 'D3'"),
                               QStringLiteral("UPDATE CUST SET TBonusAmt = -1 WHERE CustNo = 'D3'"),
                               QStringLiteral("UPDATE CUST SET TBonusAmt = 'x' WHERE CustNo = 'D3'"),
                               QStringLiteral("INSERT INTO VCardLog (CardNo, TxnAmt) VALUES ('D3', 5)"),
                               QStringLiteral("SELECT * FROM CUST WHERE CustNo = 'D3'"),
                           },
                           "SERVER");
            if (anySql)
                compareReplies(
                    a, b,
                    {
                        QStringLiteral("SELECT true, false, NULL, 1::int2, 2::int4, 3::int8, 1.5::float4, "
                                       "2.25::float8, 'NaN'::float8, 1e20::float8, 0.0001::numeric"),
                        QStringLiteral("SELECT DATE '2026-01-02', TIME '10:11:12', TIME '10:11:12.345', "
                                       "TIMETZ '10:11:12+08', TIMESTAMP '2026-01-02 03:04:05.678', "
                                       "TIMESTAMPTZ '2026-01-02 03:04:05+08', INTERVAL '1 day'"),
                        QStringLiteral("SELECT 'infinity'::date, '-infinity'::timestamp, 'abc'::bytea, "
                                       "'a'::char(3), '{1,2}'::int[], 'now'::regproc, 5::oid"),
                        QStringLiteral("SELECT E'a\\nb;c' AS \"x;y\", '王' AS 名"),
                        QStringLiteral("SELECT 1/0"),
                        QStringLiteral("SHOW DateStyle"),
                        QStringLiteral("   "),
                    },
                    "SELECT");
        }
    }

    // The reads of one round of the event loop go to the server as one group:
    // one sync, so one implicit transaction, whose id every read of the round
    // sees; the next round's reads make a group of their own. (A sync per
    // read costs a write to the socket and a transaction each.)
    void aRoundsReadsGoToTheServerAsOneGroup() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        PipelineRounds rounds(pg.connectionString());
        QString error;
        QVERIFY2(rounds.open(error), qPrintable(error));
        const QStringList reads(5, QStringLiteral("SELECT txid_current()"));
        const QList<QByteArray> first = rounds.round(reads);
        const QList<QByteArray> second = rounds.round(reads);
        QVERIFY2(first[0].startsWith("ZELQSELECT00000001txid_current;"), first[0].constData());
        QVERIFY2(second[0].startsWith("ZELQSELECT00000001txid_current;"), second[0].constData());
        for (qsizetype i = 1; i < reads.size(); ++i) {
            QCOMPARE(first[i], first[0]);
            QCOMPARE(second[i], second[0]);
        }
        QVERIFY(first[0] != second[0]);
    }

    // Twenty desks of one thread each send three queries at once while the
    // table is locked: all their first queries are in flight together, and
    // each desk gets its own three answers in the order it asked. Every
    // fifth desk's second query fails; the server then skips the queries
    // sent after it with it, which run again and are answered as usual.
    void manyDesksInFlightEachGetTheirOwnAnswersInOrder() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database db;
        db.open(pg.connectionString());
        for (int i = 0; i < 20; ++i)
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('M%1', %1)").arg(i));
        MemberdProcess memberd(QStringLiteral("127.0.0.122"), pg.connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        std::vector<std::unique_ptr<Wire>> desks;
        for (int i = 0; i < 20; ++i) {
            desks.push_back(std::make_unique<Wire>());
            QVERIFY(loggedIn(*desks.back(), memberd.address()));
        }
        const auto query = [](int desk, int k) {
            if (k == 1 && desk % 5 == 0)
                return QStringLiteral("SELECT CustNo FROM CUST WHERE TBonusAmt = 'bad%1'").arg(desk);
            return QStringLiteral("SELECT CustNo, TBonusAmt + %1 AS v FROM CUST WHERE CustNo = 'M%2'")
                .arg(k)
                .arg(desk);
        };
        Database holder;
        holder.open(pg.connectionString());
        for (int round = 0; round < 2; ++round) {
            holder.begin();
            holder.execute(QStringLiteral("LOCK TABLE CUST IN ACCESS EXCLUSIVE MODE"));
            for (int i = 0; i < 20; ++i) {
                QByteArray three;
                for (int k = 0; k < 3; ++k)
                    three += request("SELECT", query(i, k));
                desks[i]->send(three);
            }
            QVERIFY(waitForLockWaiters(holder));
            holder.commit();
            for (int i = 0; i < 20; ++i) {
                for (int k = 0; k < 3; ++k) {
                    const QByteArray answer = desks[i]->reply();
                    if (k == 1 && i % 5 == 0)
                        QVERIFY2(desks[i]->text(answer).startsWith(
                                     QStringLiteral("ZELQSELECT04000000ERROR:  invalid input syntax")),
                                 answer.constData());
                    else
                        QCOMPARE(answer, QByteArray("ZELQSELECT00000001custno\tv;M") + QByteArray::number(i) +
                                             '\t' + QByteArray::number(i + k) + '\x03');
                }
            }
        }
    }

    // A desk's write is never run before its own earlier read, nor after its
    // own later one, while other desks read beside it.
    void aWriteKeepsItsPlaceAmongTheReadsOfItsDesk() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database db;
        db.open(pg.connectionString());
        db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('W1', 0)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.123"), pg.connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire writer;
        Wire reader;
        QVERIFY(loggedIn(writer, memberd.address()));
        QVERIFY(loggedIn(reader, memberd.address()));
        const QString read = QStringLiteral("SELECT TBonusAmt FROM CUST WHERE CustNo = 'W1'");
        for (int round = 0; round < 5; ++round) {
            reader.send(request("SELECT", read) + request("SELECT", read));
            writer.send(request("SELECT", read) +
                        request("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt + 1 WHERE "
                                                         "CustNo = 'W1'")) +
                        request("SELECT", read));
            QCOMPARE(writer.reply(),
                     QByteArray("ZELQSELECT00000001tbonusamt;") + QByteArray::number(round) + '\x03');
            QCOMPARE(writer.reply(), QByteArray("ZELQSERVER00000001\x03"));
            QCOMPARE(writer.reply(),
                     QByteArray("ZELQSELECT00000001tbonusamt;") + QByteArray::number(round + 1) + '\x03');
            QVERIFY(reader.reply().startsWith("ZELQSELECT00000001tbonusamt;"));
            QVERIFY(reader.reply().startsWith("ZELQSELECT00000001tbonusamt;"));
        }
    }

    // The desk whose query waits at the head of the pipeline leaves: the
    // query is cancelled at once, and the queries of other desks behind it
    // are answered while the lock is still held.
    void aLeaversQueryIsCancelledAndTheOthersGoOn() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database db;
        db.open(pg.connectionString());
        seed(db);
        MemberdProcess memberd(QStringLiteral("127.0.0.124"), pg.connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--statement-timeout"), QStringLiteral("600")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire others[3];
        for (Wire& w : others)
            QVERIFY(loggedIn(w, memberd.address()));
        Database holder;
        holder.open(pg.connectionString());
        holder.begin();
        holder.execute(QStringLiteral("LOCK TABLE CUST IN ACCESS EXCLUSIVE MODE"));
        {
            Wire leaver;
            QVERIFY(loggedIn(leaver, memberd.address()));
            leaver.send(request("SELECT", QStringLiteral("SELECT CustNo FROM CUST WHERE CustNo = 'D1'")));
            QVERIFY(waitForLockWaiters(db));
            for (Wire& w : others)
                w.send(request("SELECT", QStringLiteral("SELECT CardNo FROM VCardLog WHERE TxnType = '2'")));
            leaver.socket().abort();
        }
        for (Wire& w : others)
            QCOMPARE(w.reply(), QByteArray("ZELQSELECT00000001cardno;D1\x03"));
        QVERIFY(waitForLockWaiters(db, 0));
        QVERIFY(memberd.waitForLog(QStringLiteral("cancelled SELECT: the client went away")));
        holder.commit();
        QCOMPARE(others[0].ask("SELECT", QStringLiteral("SELECT CustNo FROM CUST WHERE CustNo = 'D1'")),
                 QByteArray("ZELQSELECT00000001custno;D1\x03"));
    }

    // Queries whose time runs out while they wait in the pipeline, the
    // first at its head and one behind it, are both answered in time. Both
    // wait for the lock: the one behind may have arrived a millisecond later,
    // and once the head is cancelled it must still have nothing to answer
    // with but its own time running out.
    void queriesPastTheirDeadlineAreAnsweredInTime() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database db;
        db.open(pg.connectionString());
        seed(db);
        MemberdProcess memberd(QStringLiteral("127.0.0.125"), pg.connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--statement-timeout"), QStringLiteral("0.5")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire head;
        Wire behind;
        QVERIFY(loggedIn(head, memberd.address()));
        QVERIFY(loggedIn(behind, memberd.address()));
        Database holder;
        holder.open(pg.connectionString());
        holder.begin();
        holder.execute(QStringLiteral("LOCK TABLE CUST IN ACCESS EXCLUSIVE MODE"));
        head.send(request("SELECT", QStringLiteral("SELECT CustNo FROM CUST")));
        behind.send(request("SELECT", QStringLiteral("SELECT Tel1 FROM CUST")));
        const QString headAnswer = head.text(head.reply());
        QVERIFY2(headAnswer.startsWith(QStringLiteral("ZELQSELECT04000000資料庫忙碌")),
                 qPrintable(headAnswer));
        const QString behindAnswer = behind.text(behind.reply());
        QVERIFY2(behindAnswer.startsWith(QStringLiteral("ZELQSELECT04000000資料庫忙碌")),
                 qPrintable(behindAnswer));
        QVERIFY(memberd.waitForLog(QStringLiteral("cancelled after 500 ms")));
        holder.commit();
        QCOMPARE(behind.ask("SELECT", QStringLiteral("SELECT CardNo FROM VCardLog WHERE TxnType = '2'")),
                 QByteArray("ZELQSELECT00000001cardno;D1\x03"));
    }

    // A desk sends a write that waits for a row lock and a read with it:
    // the write is cancelled when its time is up and takes no effect, and
    // the read, whose time ran out while it waited behind the write, is
    // answered without being run.
    void aRequestWhoseTimeRanOutWhileWaitingIsNotRun() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database db;
        db.open(pg.connectionString());
        seed(db);
        MemberdProcess memberd(QStringLiteral("127.0.0.127"), pg.connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--statement-timeout"), QStringLiteral("0.5")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire desk;
        QVERIFY(loggedIn(desk, memberd.address()));
        Database holder;
        holder.open(pg.connectionString());
        holder.begin();
        holder.execute(QStringLiteral("UPDATE CUST SET TBonusAmt = 7 WHERE CustNo = 'D2'"));
        desk.send(request("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = 9 WHERE CustNo = 'D2'")) +
                  request("SELECT", QStringLiteral("SELECT CardNo FROM VCardLog WHERE TxnType = '2'")));
        QVERIFY(desk.text(desk.reply()).startsWith(QStringLiteral("ZELQSERVER04000000資料庫忙碌")));
        QVERIFY(desk.text(desk.reply()).startsWith(QStringLiteral("ZELQSELECT04000000資料庫忙碌")));
        QVERIFY(memberd.waitForLog(QStringLiteral("error SELECT: timed out before it ran")));
        holder.rollback();
        QCOMPARE(desk.ask("SELECT", QStringLiteral("SELECT TBonusAmt FROM CUST WHERE CustNo = 'D2'")),
                 QByteArray("ZELQSELECT00000001tbonusamt;0\x03"));
    }

    // The server ends memberd's connection while the desks' queries are in
    // flight: each is answered as lost, once, none runs again, and the next
    // request runs on a new connection. (memberd may not yet have read every
    // desk's query when the first one waits for the lock: one it reads after
    // the loss runs on the new connection and is answered once the lock is
    // gone.)
    void lostConnectionAnswersEverythingInFlight() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        Database db;
        db.open(pg.connectionString());
        seed(db);
        MemberdProcess memberd(QStringLiteral("127.0.0.126"), pg.connectionString(),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--statement-timeout"), QStringLiteral("600")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire desks[5];
        for (Wire& w : desks)
            QVERIFY(loggedIn(w, memberd.address()));
        Database holder;
        holder.open(pg.connectionString());
        holder.begin();
        holder.execute(QStringLiteral("LOCK TABLE CUST IN ACCESS EXCLUSIVE MODE"));
        for (Wire& w : desks)
            w.send(request("SELECT", QStringLiteral("SELECT CustNo FROM CUST WHERE CustNo = 'D1'")));
        QVERIFY(waitForLockWaiters(db));
        QSqlQuery ended = db.query(
            QStringLiteral("SELECT pid, pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                           "current_database() AND wait_event_type = 'Lock'"));
        QVERIFY(ended.next());
        const int pid = ended.value(0).toInt();
        // The lock goes once memberd has seen its connection end.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QSqlQuery left =
                    db.query(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = %1").arg(pid));
                return left.next() && left.value(0).toInt() == 0;
            }(),
            10000);
        QVERIFY(memberd.waitForLog(QStringLiteral("database connection lost, reconnecting")));
        holder.commit();
        int lost = 0;
        for (Wire& w : desks) {
            const QByteArray answer = w.reply();
            if (w.text(answer).startsWith(QStringLiteral("ZELQSELECT04000000資料庫連線中斷")))
                ++lost;
            else
                QCOMPARE(answer, QByteArray("ZELQSELECT00000001custno;D1\x03"));
        }
        QVERIFY(lost >= 1);
        // Their log lines may still be on their way from memberd.
        QTRY_COMPARE_WITH_TIMEOUT(
            memberd.log().count(QStringLiteral("database connection lost, reconnecting")), lost, 5000);
        // Each desk had exactly one answer: the next one is the next query's.
        for (Wire& w : desks)
            QCOMPARE(w.ask("SELECT", QStringLiteral("SELECT CustNo FROM CUST WHERE CustNo = 'D1'")),
                     QByteArray("ZELQSELECT00000001custno;D1\x03"));
    }
};

QTEST_GUILESS_MAIN(TestMemberdPipeline)
#include "tst_memberd_pipeline.moc"
