// Stores with passwords of their own at the real memberd over loopback, on
// SQLite and on the PostgreSQL cluster: --add-store writes the file, a store
// logs in as itself and is told so, the shared password no longer logs in,
// a store's postings and log rows for another store (and offline postings
// without their code) are refused and move nothing, a password replaced
// while memberd runs holds from the next log-in, and one store locked out
// does not hold up another at the same address.
// Each test has its own addresses (127.0.0.60-69).
#include "db/Database.h"
#include "server/MemberWire.h"
#include "server/PostingLine.h"
#include "support/ChildProcess.h"
#include "support/MemberdProcess.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace tolva;

namespace {

QString logRow(const QString& store) {
    return QStringLiteral(
               "INSERT INTO VCardLog ( TxnDept, TxnType, CardNo, TxnAmt, RefCheckNo ) VALUES ( '%1', "
               "'2', 'C1', 30, 'B77' )")
        .arg(store);
}

QByteArray refused(const char* command) {
    return QByteArray("ZELQ") + command + "05000000";
}

// The member database of one test (SQLite file or a PostgreSQL database of
// its own) and the store password file beside it.
struct Site {
    explicit Site(bool postgres) {
        if (postgres) {
            pg = std::make_unique<TestPostgres>();
            conn = pg->connectionString();
        } else {
            conn = QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("member.db"));
        }
        stores = dir.filePath(QStringLiteral("stores"));
    }
    Database& db() {
        if (!database.isOpen())
            database.open(conn);
        return database;
    }
    int count(const QString& sql) {
        QSqlQuery q = db().query(sql);
        return q.next() ? q.value(0).toInt() : -1;
    }
    QTemporaryDir dir;
    std::unique_ptr<TestPostgres> pg;
    QString conn;
    QString stores;
    Database database;
};

bool logInAs(Wire& w, const QString& address, const QString& loginData, QByteArray& answer) {
    if (!w.open(address))
        return false;
    answer = w.ask("TCPCNT", loginData);
    return answer.startsWith("ZELQTCPCNT00");
}

} // namespace

class TestMemberdStores : public QObject {
    Q_OBJECT

private slots:
    void storePostsOnlyAsItself_data() {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("sqlite") << false;
        QTest::newRow("postgres") << true;
    }
    void storePostsOnlyAsItself() {
        QFETCH(bool, postgres);
        Site site(postgres);
        if (site.pg)
            REQUIRE_POSTGRES(*site.pg);
        site.db().execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C1', 100)"));
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S01"), "north-1"), 0);
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S02"), "south-2"), 0);
        MemberdProcess memberd(postgres ? QStringLiteral("127.0.0.61") : QStringLiteral("127.0.0.60"),
                               site.conn, {QStringLiteral("--store-passwords"), site.stores});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        // The shared password no longer logs in; a store's own does, and is told so.
        Wire shared;
        QByteArray answer;
        QVERIFY(!logInAs(shared, memberd.address(), QStringLiteral("secret"), answer));
        QVERIFY(answer.startsWith("ZELQTCPCNT01"));
        Wire wrong;
        QVERIFY(!logInAs(wrong, memberd.address(), QStringLiteral("S01\tsouth-2"), answer));
        Wire w;
        QVERIFY(logInAs(w, memberd.address(), QStringLiteral("S01\tnorth-1"), answer));
        QCOMPARE(answer, QByteArray("ZELQTCPCNT00000003\x03"));
        QVERIFY(memberd.waitForLog(QStringLiteral("logged in as store S01")));

        // Its own posting and log row go through.
        const auto post = [](const QString& key, const char* dept, const char* code, const char* mode) {
            return postingLine(key, "2", "30", "B77", dept, code, mode);
        };
        QCOMPARE(w.ask("POSTKY", post(QStringLiteral("S01.P01.B77.2.30.0001"), "S01", "", "N")),
                 answered("POSTKY", 'P', false));
        QCOMPARE(w.ask("SERVER", logRow(QStringLiteral("S01"))), QByteArray("ZELQSERVER00000001\x03"));

        // Anything for another store, or offline without its code, moves nothing.
        const QByteArray asOther =
            w.ask("POSTKY", post(QStringLiteral("S01.P01.B77.2.30.0002"), "S02", "", "N"));
        QVERIFY2(asOther.startsWith(refused("POSTKY")), asOther.constData());
        QVERIFY(w.text(asOther).contains(QStringLiteral("只能記入本門市 S01 的交易")));
        QVERIFY(w.ask("POSTKY", post(QStringLiteral("S02.P01.B77.2.30.0003"), "S01", "", "N"))
                    .startsWith(refused("POSTKY")));
        const QByteArray noCode =
            w.ask("POSTKY", post(QStringLiteral("S01.P01.B77.2.30.0004"), "S01", "", "O"));
        QVERIFY(w.text(noCode).contains(QStringLiteral("離線交易必須有授權碼")));
        QVERIFY(w.ask("POSTQY", QStringLiteral("S02.P01.B77.2.30.0005")).startsWith(refused("POSTQY")));
        QVERIFY(w.ask("SERVER", logRow(QStringLiteral("S02"))).startsWith(refused("SERVER")));
        // An offline posting of its own with its code is taken.
        QCOMPARE(w.ask("POSTKY", post(QStringLiteral("S01.P01.B77.2.30.0006"), "S01", "A7", "O")),
                 answered("POSTKY", 'P', false));

        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM VCardLog WHERE TxnDept = 'S02'")), 0);
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM VCardLog")), 3);
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM PostKey")), 2);
        QCOMPARE(
            site.count(QStringLiteral("SELECT CAST(TBonusAmt AS INTEGER) FROM CUST WHERE CustNo = 'C1'")),
            40);
        QVERIFY(memberd.waitForLog(
            QStringLiteral("refused POSTKY: store S01: posting S01.P01.B77.2.30.0002 names "
                           "store S02; nothing done")));
        QVERIFY(memberd.waitForLog(QStringLiteral("refused SERVER: store S01: log row names store S02")));
        // The connection stays after a refusal.
        QVERIFY(w.ask("SELECT", QStringLiteral("SELECT CustNo FROM CUST")).startsWith("ZELQSELECT00"));
    }

    // A password replaced with --add-store while memberd runs holds from the
    // next log-in; with --allow-shared-password the shared one logs in as no store.
    void passwordReplacedWhileServing() {
        Site site(false);
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S01"), "old"), 0);
        MemberdProcess memberd(
            QStringLiteral("127.0.0.62"), site.conn,
            {QStringLiteral("--store-passwords"), site.stores, QStringLiteral("--allow-shared-password")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QByteArray answer;
        Wire before;
        QVERIFY(logInAs(before, memberd.address(), QStringLiteral("S01\told"), answer));
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S01"), "new"), 0);
        Wire old;
        QVERIFY(!logInAs(old, memberd.address(), QStringLiteral("S01\told"), answer));
        Wire fresh;
        QVERIFY(logInAs(fresh, memberd.address(), QStringLiteral("S01\tnew"), answer));
        Wire shared;
        QVERIFY(logInAs(shared, memberd.address(), QStringLiteral("secret"), answer));
        QCOMPARE(answer, QByteArray("ZELQTCPCNT00000001\x03"));
        // A store's connection cannot log in again as no store.
        QCOMPARE(fresh.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT01"));
    }

    // One store's wrong passwords lock that store out at the address; another
    // store there is answered at once and logs in.
    void lockOutIsPerStore() {
        Site site(false);
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S01"), "one"), 0);
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S02"), "two"), 0);
        MemberdProcess memberd(QStringLiteral("127.0.0.63"), site.conn,
                               {QStringLiteral("--store-passwords"), site.stores,
                                QStringLiteral("--login-failures"), QStringLiteral("3"),
                                QStringLiteral("--login-delay"), QStringLiteral("0")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QByteArray answer;
        for (int i = 0; i < 2; ++i) {
            Wire guess;
            QVERIFY(!logInAs(guess, memberd.address(), QStringLiteral("S01\tguess"), answer));
            QVERIFY(answer.startsWith("ZELQTCPCNT01"));
        }
        // The third locks S01 out here: its answer is held, not waited for.
        Wire third;
        QVERIFY(third.open(memberd.address()));
        third.send("ZELQTCPCNT00S01\tguess\x03");
        QVERIFY(memberd.waitForLog(QStringLiteral("(store S01) locked out")));
        // S02's mistake is answered at once, not held as a locked-out store's.
        Wire other;
        QVERIFY(!logInAs(other, memberd.address(), QStringLiteral("S02\tguess"), answer));
        QVERIFY(answer.startsWith("ZELQTCPCNT01"));
        Wire right;
        QVERIFY(logInAs(right, memberd.address(), QStringLiteral("S02\ttwo"), answer));
    }

    void startIsRefusedWithoutStores() {
        Site site(false);
        const auto [code, log] = MemberdProcess::runToEnd(
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.64"), QStringLiteral("--db"), site.conn,
             QStringLiteral("--store-passwords"), site.stores});
        QCOMPARE(code, 1);
        QVERIFY2(log.contains(QStringLiteral("cannot read the")), qPrintable(log));
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S:1"), "x"), 2);
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S01"), ""), 2);
        // A file naming no store, and one others may change, stop --check-config too.
        QFile empty(site.stores);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(empty.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        const QStringList check{QStringLiteral("--check-config"), QStringLiteral("--db"), site.conn,
                                QStringLiteral("--store-passwords"), site.stores};
        // --check-config answers on standard output.
        const auto checkConfig = [&] {
            QProcess p;
            endWithTestProcess(p);
            p.start(MemberdProcess::program(), check);
            return p.waitForFinished(30000) && p.exitCode() == 1
                       ? QString::fromUtf8(p.readAllStandardOutput())
                       : QStringLiteral("(not refused)");
        };
        QString out = checkConfig();
        QVERIFY2(out.contains(QStringLiteral("names no store")), qPrintable(out));
        QCOMPARE(MemberdProcess::addStore(site.stores, QStringLiteral("S01"), "one"), 0);
        QVERIFY(empty.setPermissions(empty.permissions() | QFile::WriteOther));
        out = checkConfig();
        QVERIFY2(out.contains(QStringLiteral("may be changed by any user")), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestMemberdStores)
#include "tst_memberd_stores.moc"
