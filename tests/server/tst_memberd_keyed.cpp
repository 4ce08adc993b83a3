// Keyed postings at the real memberd over loopback, on SQLite and on the
// PostgreSQL cluster: a key posts once however often it is sent, the last of
// a balance is spent once, a query voids an unknown key for good, bad fields
// move nothing, the log-in announces what is served, --init-db upgrades an
// older member database, and desks' statements never reach the key table.
// Each test has its own addresses (127.0.0.150-169, 127.0.0.213-217).
#include "db/Database.h"
#include "db/Dialect.h"
#include "server/MemberWire.h"
#include "support/MemberdProcess.h"
#include "support/TestDatabase.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace tolva;

namespace {

const QString kSqlite = QStringLiteral("sqlite");
const QString kPostgres = QStringLiteral("postgres");

// The member database of one test, on the backend its data row names.
class MemberDb {
public:
    explicit MemberDb(const QString& backend) {
        if (backend == kPostgres) {
            m_pg = std::make_unique<TestPostgres>();
            m_conn = m_pg->connectionString();
        } else {
            m_conn =
                QStringLiteral("Provider=SQLite;Data Source=") + m_dir.filePath(QStringLiteral("member.db"));
        }
    }
    // False when the backend is PostgreSQL and no cluster is configured.
    TestPostgres* postgres() { return m_pg.get(); }
    QString connectionString() const { return m_conn; }
    Database& db() {
        if (!m_db.isOpen())
            m_db.open(m_conn);
        return m_db;
    }
    QString value(const QString& sql) {
        QSqlQuery q = db().query(sql);
        return q.next() ? q.value(0).toString() : QStringLiteral("<none>");
    }
    int count(const QString& sql) { return value(sql).toInt(); }
    double balance(const QString& card) {
        return value(QStringLiteral("SELECT TBonusAmt FROM CUST WHERE CustNo = '%1'").arg(card)).toDouble();
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TestPostgres> m_pg;
    QString m_conn;
    Database m_db;
};

#define REQUIRE_BACKEND(m)                                                                                   \
    do {                                                                                                     \
        if ((m).postgres())                                                                                  \
            REQUIRE_POSTGRES(*(m).postgres());                                                               \
    } while (false)

bool logIn(Wire& w, const QString& address, QByteArray* answer = nullptr) {
    if (!w.open(address))
        return false;
    const QByteArray reply = w.ask("TCPCNT", QStringLiteral("secret"));
    if (answer)
        *answer = reply;
    return reply.startsWith("ZELQTCPCNT00");
}

// A member database made before keyed postings: the member tables as they were.
void makeOldSqliteDatabase(const QString& file) {
    const QString name = QStringLiteral("old-schema");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(
            q.exec(QStringLiteral("CREATE TABLE CUST (RNo INTEGER PRIMARY KEY AUTOINCREMENT, CustNo TEXT NOT "
                                  "NULL, CustName TEXT, TBonusAmt NUMERIC NOT NULL DEFAULT 0, FileDate TEXT, "
                                  "CONSTRAINT UQ_CUST_CustNo UNIQUE (CustNo))")));
        QVERIFY(
            q.exec(QStringLiteral("CREATE TABLE VCardLog (RNo INTEGER PRIMARY KEY AUTOINCREMENT, TxnDept "
                                  "TEXT, TxnType TEXT, CardNo TEXT, TxnDate TEXT, TxnAmt NUMERIC, TxnPoint "
                                  "NUMERIC DEFAULT 0, RefCheckNo TEXT, POSID TEXT, UserID TEXT, Remark TEXT, "
                                  "FileDate TEXT)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('OLD1', 40)")));
    }
    QSqlDatabase::removeDatabase(name);
}

void backends() {
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << kSqlite;
    QTest::newRow("postgres") << kPostgres;
}

} // namespace

class TestMemberdKeyed : public QObject {
    Q_OBJECT

private slots:
    void sameKeyPostsOnce_data() { backends(); }
    void sameKeyPostsOnce() {
        QFETCH(QString, backend);
        MemberDb m(backend);
        REQUIRE_BACKEND(m);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C1', 100)"));
        MemberdProcess memberd(backend == kSqlite ? QStringLiteral("127.0.0.150")
                                                  : QStringLiteral("127.0.0.151"),
                               m.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        const QString request = posting(QStringLiteral("S01.P01.B77.2.30.00ab"), QStringLiteral("2"),
                                        QStringLiteral("C1"), QStringLiteral("30.50"), QStringLiteral("A7"));
        Wire first;
        QVERIFY(logIn(first, memberd.address()));
        QCOMPARE(first.ask("POSTKY", request), answered("POSTKY", 'P', false));
        QCOMPARE(first.ask("POSTKY", request), answered("POSTKY", 'P', true));
        Wire again;
        QVERIFY(logIn(again, memberd.address()));
        QCOMPARE(again.ask("POSTKY", request), answered("POSTKY", 'P', true));
        // A query by the key answers the posting, and voids nothing.
        QCOMPARE(again.ask("POSTQY", QStringLiteral("S01.P01.B77.2.30.00ab")), answered("POSTQY", 'P', true));

        QCOMPARE(m.balance(QStringLiteral("C1")), 69.5);
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM VCardLog")), 1);
        QSqlQuery row = m.db().query(QStringLiteral(
            "SELECT TxnDept, TxnType, CardNo, TxnAmt, TxnPoint, RefCheckNo, POSID, UserID, Remark, "
            "PostKey, AuthCode, FileDate FROM VCardLog"));
        QVERIFY(row.next());
        const auto text = [&](int i) { return row.value(i).toString().trimmed(); };
        QCOMPARE(
            QStringList({text(0), text(1), text(2), text(5), text(6), text(7), text(8), text(9), text(10)}),
            QStringLiteral("S01 2 C1 B77 P01 U1  S01.P01.B77.2.30.00ab A7").split(QLatin1Char(' ')));
        QCOMPARE(row.value(3).toDouble(), 30.5);
        QCOMPARE(row.value(4).toDouble(), 0.0);
        QVERIFY(!row.value(11).isNull());
        QCOMPARE(m.value(QStringLiteral("SELECT Outcome FROM PostKey")).trimmed(), QStringLiteral("P"));

        // The business date reads back through the service like a desk's own log row.
        const QString deskDate =
            Dialect::forProvider(m.db().providerName()).dateLiteral(QStringLiteral("2026/12/08"));
        QCOMPARE(
            first.ask(
                "SERVER",
                QStringLiteral("INSERT INTO VCardLog (CardNo, TxnDate) VALUES ('DESK', %1)").arg(deskDate)),
            QByteArray("ZELQSERVER00000001\x03"));
        const QString dates = first.text(first.ask(
            "SELECT", QStringLiteral("Select TxnDate From VCardLog Where CardNo In ('C1', 'DESK')")));
        const QStringList rows = dates.mid(18).chopped(1).split(QLatin1Char(';'));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(1), rows.at(2));

        QVERIFY(memberd.waitForLog(QStringLiteral("POSTKY S01.P01.B77.2.30.00ab posted")));
        QVERIFY(memberd.waitForLog(QStringLiteral("POSTKY S01.P01.B77.2.30.00ab replay → P")));
        // Each line names the desk's address and port.
        QVERIFY(memberd.log().contains(QRegularExpression(
            QStringLiteral("memberd: 127\\.0\\.0\\.1:\\d+ POSTKY S01\\.P01\\.B77\\.2\\.30\\.00ab posted"))));
    }

    // Two tills spend the last of a balance at the same moment, with keys of their own.
    void lastOfABalanceIsSpentOnce_data() { backends(); }
    void lastOfABalanceIsSpentOnce() {
        QFETCH(QString, backend);
        MemberDb m(backend);
        REQUIRE_BACKEND(m);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C2', 0)"));
        MemberdProcess memberd(backend == kSqlite ? QStringLiteral("127.0.0.152")
                                                  : QStringLiteral("127.0.0.153"),
                               m.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire a;
        Wire b;
        QVERIFY(logIn(a, memberd.address()));
        QVERIFY(logIn(b, memberd.address()));
        constexpr int kRounds = 15;
        for (int round = 0; round < kRounds; ++round) {
            m.db().execute(QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt + 50 WHERE CustNo = 'C2'"));
            const auto request = [&](const char* till) {
                return QByteArray("ZELQPOSTKY00") +
                       posting(QStringLiteral("k%1%2").arg(round).arg(QLatin1String(till)),
                               QStringLiteral("2"), QStringLiteral("C2"), QStringLiteral("50"))
                           .toLatin1() +
                       '\x03';
            };
            a.send(request("a"));
            b.send(request("b"));
            const QByteArray answers = a.reply() + b.reply();
            QCOMPARE(answers.count("Replay;P\t0"), 1);
            QCOMPARE(answers.count("Replay;S\t0"), 1);
            QCOMPARE(m.balance(QStringLiteral("C2")), 0.0);
        }
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM VCardLog WHERE CardNo = 'C2'")), kRounds);
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM PostKey WHERE Outcome = 'S'")), kRounds);
        QVERIFY(memberd.waitForLog(QStringLiteral("refused S")));
    }

    // A query finds no posting under a key: the key is closed, and a posting
    // that arrives later under it moves nothing. Refusals keep their outcome.
    void queryVoidsAnUnknownKeyForGood_data() { backends(); }
    void queryVoidsAnUnknownKeyForGood() {
        QFETCH(QString, backend);
        MemberDb m(backend);
        REQUIRE_BACKEND(m);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C3', 10)"));
        MemberdProcess memberd(backend == kSqlite ? QStringLiteral("127.0.0.154")
                                                  : QStringLiteral("127.0.0.155"),
                               m.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(logIn(w, memberd.address()));
        QCOMPARE(w.ask("POSTQY", QStringLiteral("late.1")), answered("POSTQY", 'X', false));
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("late.1"), QStringLiteral("1"), QStringLiteral("C3"),
                                         QStringLiteral("5"))),
                 answered("POSTKY", 'X', true));
        QCOMPARE(w.ask("POSTQY", QStringLiteral("late.1")), answered("POSTQY", 'X', true));
        QCOMPARE(m.balance(QStringLiteral("C3")), 10.0);

        const QString shortKey = QStringLiteral("short.1");
        const QString shortPosting =
            posting(shortKey, QStringLiteral("2"), QStringLiteral("C3"), QStringLiteral("10.01"));
        QCOMPARE(w.ask("POSTKY", shortPosting), answered("POSTKY", 'S', false));
        QCOMPARE(w.ask("POSTKY", shortPosting), answered("POSTKY", 'S', true));
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("nocard.1"), QStringLiteral("1"),
                                         QStringLiteral("NONE"), QStringLiteral("5"))),
                 answered("POSTKY", 'N', false));
        // An offline posting sent later, with its code.
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("off.1"), QStringLiteral("2"), QStringLiteral("C3"),
                                         QStringLiteral("10"), QStringLiteral("T123"), QStringLiteral("O"))),
                 answered("POSTKY", 'P', false));
        QCOMPARE(w.ask("POSTQY", QStringLiteral("off.1")), answered("POSTQY", 'P', true));
        QCOMPARE(m.balance(QStringLiteral("C3")), 0.0);
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM VCardLog")), 1);
        QCOMPARE(m.value(QStringLiteral("SELECT AuthCode FROM VCardLog")), QStringLiteral("T123"));
        QVERIFY(memberd.waitForLog(QStringLiteral("POSTQY late.1 voided by query")));
        QVERIFY(memberd.waitForLog(QStringLiteral("POSTKY late.1 replay → X")));
        QVERIFY(memberd.waitForLog(QStringLiteral("POSTKY nocard.1 refused N")));
        QVERIFY(memberd.waitForLog(QStringLiteral("POSTKY off.1 posted (offline posting)")));
    }

    // PostgreSQL: a posting held up (here by a lock on the card's row) keeps
    // its key row; a query by the key waits for it and answers what it did.
    // One whose time runs out is rolled back whole, and the query then voids it.
    void postingInFlightOnPostgres() {
        MemberDb m(kPostgres);
        REQUIRE_BACKEND(m);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C6', 100)"));
        Database holder;
        holder.open(m.connectionString());
        Database watcher;
        watcher.open(m.connectionString());
        MemberdProcess memberd(QStringLiteral("127.0.0.163"), m.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire poster;
        Wire asker;
        QVERIFY(logIn(poster, memberd.address()));
        QVERIFY(logIn(asker, memberd.address()));

        holder.begin();
        holder.execute(QStringLiteral("UPDATE CUST SET Remark = 'held' WHERE CustNo = 'C6'"));
        poster.send(
            "ZELQPOSTKY00" +
            posting(QStringLiteral("fly.1"), QStringLiteral("2"), QStringLiteral("C6"), QStringLiteral("25"))
                .toLatin1() +
            '\x03');
        QVERIFY(waitForLockWaiters(watcher, 1));
        asker.send("ZELQPOSTQY00fly.1\x03");
        QVERIFY(waitForLockWaiters(watcher, 2));
        holder.commit();
        QCOMPARE(poster.reply(), answered("POSTKY", 'P', false));
        QCOMPARE(asker.reply(), answered("POSTQY", 'P', true));
        QCOMPARE(m.balance(QStringLiteral("C6")), 75.0);

        MemberdProcess hurried(QStringLiteral("127.0.0.164"), m.connectionString(),
                               {QStringLiteral("--statement-timeout"), QStringLiteral("0.5")});
        QVERIFY2(hurried.start(), qPrintable(hurried.log()));
        Wire w;
        QVERIFY(logIn(w, hurried.address()));
        holder.begin();
        holder.execute(QStringLiteral("UPDATE CUST SET Remark = 'held' WHERE CustNo = 'C6'"));
        QVERIFY(w.ask("POSTKY", posting(QStringLiteral("fly.2"), QStringLiteral("2"), QStringLiteral("C6"),
                                        QStringLiteral("25")))
                    .startsWith("ZELQPOSTKY04"));
        holder.rollback();
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM PostKey WHERE PostKey = 'fly.2'")), 0);
        QCOMPARE(asker.ask("POSTQY", QStringLiteral("fly.2")), answered("POSTQY", 'X', false));
        QCOMPARE(m.balance(QStringLiteral("C6")), 75.0);
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM VCardLog")), 1);
    }

    void unreadablePostingsMoveNothing() {
        MemberDb m(kSqlite);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C4', 100)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.156"), m.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(logIn(w, memberd.address()));
        const QString card = QStringLiteral("C4");
        const QString one = QStringLiteral("1");
        QStringList bad = {
            QString(),
            QStringLiteral("k1\t1\tC4\t5"),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("5")) + QStringLiteral("\textra"),
            posting(QString(), one, card, QStringLiteral("5")),
            posting(QStringLiteral("k 1"), one, card, QStringLiteral("5")),
            posting(QStringLiteral("k'1"), one, card, QStringLiteral("5")),
            posting(QString(101, QLatin1Char('k')), one, card, QStringLiteral("5")),
            posting(QStringLiteral("k1"), QStringLiteral("3"), card, QStringLiteral("5")),
            posting(QStringLiteral("k1"), one, QStringLiteral("  "), QStringLiteral("5")),
            posting(QStringLiteral("k1"), one, QString(31, QLatin1Char('9')), QStringLiteral("5")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("0")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("0.00")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("-5")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("5.123")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("1e3")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("5.")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("1234567890123")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("5"), QStringLiteral("code"),
                    QStringLiteral("X")),
            posting(QStringLiteral("k1"), one, card, QStringLiteral("5"), QString(21, QLatin1Char('c'))),
        };
        QString badDate = posting(QStringLiteral("k1"), one, card, QStringLiteral("5"));
        bad << badDate.replace(QStringLiteral("2026/12/08"), QStringLiteral("2026/02/30"));
        for (const QString& data : bad) {
            const QString answer = w.text(w.ask("POSTKY", data));
            QVERIFY2(answer.startsWith(QStringLiteral("ZELQPOSTKY03000000記帳要求不合格: ")),
                     qPrintable(answer));
        }
        QVERIFY(w.text(w.ask("POSTQY", QStringLiteral("a;b"))).startsWith(QStringLiteral("ZELQPOSTQY03")));
        QVERIFY(w.text(w.ask("POSTQY", QString())).startsWith(QStringLiteral("ZELQPOSTQY03")));
        // The connection stays, and nothing was written.
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("k1"), one, card, QStringLiteral("5"))),
                 answered("POSTKY", 'P', false));
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM PostKey")), 1);
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM VCardLog")), 1);
        QCOMPARE(m.balance(card), 105.0);
        QVERIFY(memberd.waitForLog(QStringLiteral("refused POSTKY")));
    }

    // The log-in tells the desk what is served; turned off, memberd is a
    // service from before keyed postings.
    void logInAnnouncesKeyedPostings() {
        MemberDb m(kSqlite);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C5', 100)"));
        {
            MemberdProcess memberd(QStringLiteral("127.0.0.157"), m.connectionString());
            QVERIFY2(memberd.start(), qPrintable(memberd.log()));
            Wire w;
            QByteArray answer;
            QVERIFY(logIn(w, memberd.address(), &answer));
            QCOMPARE(answer, QByteArray("ZELQTCPCNT00000001\x03"));
        }
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("memberd.conf"));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("no-keyed-postings = true\n");
        file.close();
        for (const QStringList& off : {QStringList{QStringLiteral("--no-keyed-postings")},
                                       QStringList{QStringLiteral("--config"), config}}) {
            MemberdProcess memberd(QStringLiteral("127.0.0.158"), m.connectionString(), off);
            QVERIFY2(memberd.start(), qPrintable(memberd.log()));
            Wire w;
            QByteArray answer;
            QVERIFY(logIn(w, memberd.address(), &answer));
            QCOMPARE(answer, QByteArray("ZELQTCPCNT00000000\x03"));
            QCOMPARE(w.text(w.ask("POSTKY", posting(QStringLiteral("k1"), QStringLiteral("1"),
                                                    QStringLiteral("C5"), QStringLiteral("5")))),
                     QStringLiteral("ZELQPOSTKY02000000不認識的指令: POSTKY\x03"));
            QCOMPARE(w.text(w.ask("POSTQY", QStringLiteral("k1"))),
                     QStringLiteral("ZELQPOSTQY02000000不認識的指令: POSTQY\x03"));
            QCOMPARE(w.ask("SELECT", QStringLiteral("Select TBonusAmt From CUST Where CustNo = 'C5'")),
                     QByteArray("ZELQSELECT00000001TBonusAmt;100\x03"));
        }
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM PostKey")), 0);
    }

    // A member database made before keyed postings: served as before until
    // --init-db adds the key table, which it does once.
    void initDbUpgradesAnOlderDatabase_data() { backends(); }
    void initDbUpgradesAnOlderDatabase() {
        QFETCH(QString, backend);
        MemberDb m(backend);
        REQUIRE_BACKEND(m);
        QString serveAs = m.connectionString();
        QStringList initArgs{QStringLiteral("--init-db"), QStringLiteral("--db"), m.connectionString()};
        if (backend == kSqlite) {
            makeOldSqliteDatabase(m.connectionString().section(QStringLiteral("Data Source="), 1));
        } else {
            m.db().execute(QStringLiteral("DROP TABLE PostKey"));
            m.db().execute(QStringLiteral("ALTER TABLE VCardLog DROP COLUMN PostKey"));
            m.db().execute(QStringLiteral("ALTER TABLE VCardLog DROP COLUMN AuthCode"));
            m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('OLD1', 40)"));
            // The service's own role, made before keyed postings, gets the key table too.
            const QString role = QStringLiteral("memberd_") + m.postgres()->databaseName().toLower();
            initArgs << QStringLiteral("--db-role") << role;
            serveAs.replace(QStringLiteral("User ID=postgres"), QStringLiteral("User ID=") + role);
        }
        const QString address =
            backend == kSqlite ? QStringLiteral("127.0.0.159") : QStringLiteral("127.0.0.160");
        {
            // Without the key table memberd does not serve keyed postings: it
            // says so as an error, and so does --check-config.
            MemberdProcess refused(address, m.connectionString());
            QVERIFY(!refused.start());
            const QRegularExpression errorLine(
                QStringLiteral("^<3>.* memberd: the member database has no key table"),
                QRegularExpression::MultilineOption);
            QVERIFY2(refused.log().contains(errorLine), qPrintable(refused.log()));
            const auto [checked, reason] = MemberdProcess::runToEnd(
                {QStringLiteral("--check-config"), QStringLiteral("--allow-superuser"),
                 QStringLiteral("--db"), m.connectionString()});
            QCOMPARE(checked, 1);
            // Serving statements only is a choice.
            MemberdProcess memberd(address, m.connectionString(), {QStringLiteral("--no-keyed-postings")});
            QVERIFY2(memberd.start(), qPrintable(memberd.log()));
            Wire w;
            QByteArray answer;
            QVERIFY(logIn(w, memberd.address(), &answer));
            QCOMPARE(answer, QByteArray("ZELQTCPCNT00000000\x03"));
            QVERIFY(w.ask("POSTKY", QStringLiteral("x")).startsWith("ZELQPOSTKY02"));
        }
        const auto [code, log] = MemberdProcess::runToEnd(initArgs);
        QCOMPARE(code, 0);
        QVERIFY2(log.contains(QStringLiteral("schema upgraded: added table PostKey, VCardLog.PostKey, "
                                             "VCardLog.AuthCode")),
                 qPrintable(log));
        const auto [again, log2] = MemberdProcess::runToEnd(initArgs);
        QCOMPARE(again, 0);
        QVERIFY2(log2.contains(QStringLiteral("schema already present")), qPrintable(log2));

        MemberdProcess memberd(address, serveAs);
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(!memberd.log().contains(QStringLiteral("no key table")));
        Wire w;
        QByteArray answer;
        QVERIFY(logIn(w, memberd.address(), &answer));
        QCOMPARE(answer, QByteArray("ZELQTCPCNT00000001\x03"));
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("up.1"), QStringLiteral("2"), QStringLiteral("OLD1"),
                                         QStringLiteral("40"))),
                 answered("POSTKY", 'P', false));
        QCOMPARE(m.balance(QStringLiteral("OLD1")), 0.0);
        QCOMPARE(m.value(QStringLiteral("SELECT PostKey FROM VCardLog")), QStringLiteral("up.1"));
    }

    // The key table is memberd's own: the checker refuses desks' statements
    // on it (the SQLite authorizer's part is in tst_sqliteauthorizer). The
    // log's new columns are the desks' to read and write.
    void desksCannotReachTheKeyTable_data() { backends(); }
    void desksCannotReachTheKeyTable() {
        QFETCH(QString, backend);
        MemberDb m(backend);
        REQUIRE_BACKEND(m);
        const QString address =
            backend == kSqlite ? QStringLiteral("127.0.0.161") : QStringLiteral("127.0.0.162");
        {
            MemberdProcess memberd(address, m.connectionString());
            QVERIFY2(memberd.start(), qPrintable(memberd.log()));
            Wire w;
            QVERIFY(logIn(w, memberd.address()));
            QCOMPARE(w.ask("POSTQY", QStringLiteral("secret.key")), answered("POSTQY", 'X', false));
            for (const QString& sql :
                 {QStringLiteral("Select * From PostKey"), QStringLiteral("Select PostKey From postkey"),
                  QStringLiteral("UPDATE PostKey SET Outcome = 'P' WHERE PostKey = 'secret.key'"),
                  QStringLiteral("INSERT INTO PostKey (PostKey, Outcome) VALUES ('k', 'P')")})
                QVERIFY2(w.ask(sql.startsWith(QLatin1String("Select")) ? "SELECT" : "SERVER", sql)
                             .contains(sql.startsWith(QLatin1String("Select")) ? "SELECT03" : "SERVER03"),
                         qPrintable(sql));
            QCOMPARE(w.ask("SELECT", QStringLiteral("Select CardNo, PostKey, AuthCode From VCardLog Where "
                                                    "PostKey = 'none' Or AuthCode = 'none'")),
                     QByteArray("ZELQSELECT00000000\x03"));
            QCOMPARE(w.ask("SERVER", QStringLiteral("INSERT INTO VCardLog (CardNo, PostKey, AuthCode) VALUES "
                                                    "('D1', 'd.1', 'A1')")),
                     QByteArray("ZELQSERVER00000001\x03"));
        }
        QCOMPARE(m.value(QStringLiteral("SELECT Outcome FROM PostKey")).trimmed(), QStringLiteral("X"));
    }

    // A key names one posting: sent again with another card, type or amount
    // it is refused ("05") and nothing moves; sent again with the same values
    // it answers the first outcome. A key voided by a query holds no posting.
    void keySentAgainWithOtherValuesIsRefused_data() { backends(); }
    void keySentAgainWithOtherValuesIsRefused() {
        QFETCH(QString, backend);
        MemberDb m(backend);
        REQUIRE_BACKEND(m);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('V1', 10)"));
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('V2', 10)"));
        MemberdProcess memberd(backend == kSqlite ? QStringLiteral("127.0.0.213")
                                                  : QStringLiteral("127.0.0.214"),
                               m.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(logIn(w, memberd.address()));
        const QString key = QStringLiteral("same.key");
        QCOMPARE(
            w.ask("POSTKY", posting(key, QStringLiteral("1"), QStringLiteral("V1"), QStringLiteral("5"))),
            answered("POSTKY", 'P', false));
        for (const QString& other :
             {posting(key, QStringLiteral("1"), QStringLiteral("V1"), QStringLiteral("6")),
              posting(key, QStringLiteral("1"), QStringLiteral("V2"), QStringLiteral("5")),
              posting(key, QStringLiteral("2"), QStringLiteral("V1"), QStringLiteral("5"))}) {
            const QString answer = w.text(w.ask("POSTKY", other));
            QVERIFY2(answer.startsWith(QStringLiteral("ZELQPOSTKY05000000交易鍵值已用於另一筆記帳")),
                     qPrintable(answer));
        }
        QVERIFY(memberd.waitForLog(
            QStringLiteral("refused POSTKY same.key: the key was used by another posting")));
        QCOMPARE(
            w.ask("POSTKY", posting(key, QStringLiteral("1"), QStringLiteral("V1"), QStringLiteral("5.00"))),
            answered("POSTKY", 'P', true));
        QCOMPARE(w.ask("POSTQY", QStringLiteral("void.key")), answered("POSTQY", 'X', false));
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("void.key"), QStringLiteral("1"),
                                         QStringLiteral("V2"), QStringLiteral("9"))),
                 answered("POSTKY", 'X', true));
        QCOMPARE(m.balance(QStringLiteral("V1")), 15.0);
        QCOMPARE(m.balance(QStringLiteral("V2")), 10.0);
        QCOMPARE(m.count(QStringLiteral("SELECT count(*) FROM VCardLog")), 1);
    }

    // Keys are kept for --key-days (400 by default) and removed after that
    // when memberd starts (and daily).
    void oldKeysAreRemoved_data() { backends(); }
    void oldKeysAreRemoved() {
        QFETCH(QString, backend);
        MemberDb m(backend);
        REQUIRE_BACKEND(m);
        const Dialect dialect = Dialect::forProvider(m.db().providerName());
        const QDateTime now = QDateTime::currentDateTime();
        for (const auto& [key, age] : {std::pair{"old", 401}, std::pair{"month", 30}, std::pair{"new", 0}})
            m.db().execute(
                QStringLiteral("INSERT INTO PostKey (PostKey, Outcome, FileDate) VALUES ('%1', 'X', %2)")
                    .arg(QLatin1String(key), dialect.dateLiteral(now.addDays(-age))));
        const QString address =
            backend == kSqlite ? QStringLiteral("127.0.0.215") : QStringLiteral("127.0.0.216");
        {
            MemberdProcess memberd(address, m.connectionString());
            QVERIFY2(memberd.start(), qPrintable(memberd.log()));
            QVERIFY2(memberd.log().contains(QStringLiteral("removed 1 posting key(s) older than 400 days")),
                     qPrintable(memberd.log()));
        }
        QCOMPARE(m.value(QStringLiteral("SELECT PostKey FROM PostKey ORDER BY PostKey")),
                 QStringLiteral("month"));
        MemberdProcess memberd(address, m.connectionString(),
                               {QStringLiteral("--key-days"), QStringLiteral("7")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(memberd.log().contains(QStringLiteral("removed 1 posting key(s) older than 7 days")));
        QCOMPARE(m.value(QStringLiteral("SELECT PostKey FROM PostKey")), QStringLiteral("new"));
    }

    // SQLite keeps balances as binary fractions: memberd's postings keep
    // them to the cent, so the last 0.1 of 0.3 can be spent in three steps.
    void sqliteBalancesStayToTheCent() {
        MemberDb m(kSqlite);
        m.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('D1', 0.3)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.217"), m.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(logIn(w, memberd.address()));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("cent.%1").arg(i), QStringLiteral("2"),
                                             QStringLiteral("D1"), QStringLiteral("0.1"))),
                     answered("POSTKY", 'P', false));
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("cent.4"), QStringLiteral("2"), QStringLiteral("D1"),
                                         QStringLiteral("0.01"))),
                 answered("POSTKY", 'S', false));
        QCOMPARE(w.ask("POSTKY", posting(QStringLiteral("cent.5"), QStringLiteral("1"), QStringLiteral("D1"),
                                         QStringLiteral("0.7"))),
                 answered("POSTKY", 'P', false));
        QCOMPARE(m.value(QStringLiteral("SELECT TBonusAmt = 0.7 FROM CUST WHERE CustNo = 'D1'")),
                 QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestMemberdKeyed)
#include "tst_memberd_keyed.moc"
