// What a connection logged in as a store may send, request by request, and
// the store password file: hashes, lines, replacement and its checks.
#include "server/PostingLine.h"
#include "server/StoreLogin.h"
#include "server/StorePasswords.h"
#include "server/StoreScope.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace memberd;

namespace {

QString posting(const QString& key, const char* dept, const char* code, const char* mode) {
    return postingLine(key, "1", "10", "B1", dept, code, mode);
}

const QString kLogRow = QStringLiteral(
    "INSERT INTO VCardLog ( TxnDept, TxnType, CardNo, TxnDate, TxnAmt, RefCheckNo, POSID, UserID, Remark, "
    "FileDate ) VALUES ( '%1', '2', '880001', '2026/12/08', 30, 'B77', 'P01', 'U1', '', getDate() )");

} // namespace

class TestStoreScope : public QObject {
    Q_OBJECT

private slots:
    void requests_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("allowed");
        const QString own = QStringLiteral("S01.P01.B1.1.10.00aa");
        const QString other = QStringLiteral("S02.P01.B1.1.10.00aa");
        QTest::newRow("posting as itself") << QByteArray("POSTKY") << posting(own, "S01", "", "N") << true;
        QTest::newRow("posting as another store")
            << QByteArray("POSTKY") << posting(own, "S02", "", "N") << false;
        QTest::newRow("posting under another store's key")
            << QByteArray("POSTKY") << posting(other, "S01", "", "N") << false;
        QTest::newRow("posting with the store as a longer key part")
            << QByteArray("POSTKY") << posting(QStringLiteral("S011.P01.B1.1.10.00aa"), "S01", "", "N")
            << false;
        QTest::newRow("offline with its code")
            << QByteArray("POSTKY") << posting(own, "S01", "A7", "O") << true;
        QTest::newRow("offline without a code")
            << QByteArray("POSTKY") << posting(own, "S01", "", "O") << false;
        QTest::newRow("offline for another store")
            << QByteArray("POSTKY") << posting(own, "S02", "A7", "O") << false;
        QTest::newRow("unreadable posting left to the runner")
            << QByteArray("POSTKY") << QStringLiteral("x") << true;
        QTest::newRow("query of its own key") << QByteArray("POSTQY") << own << true;
        QTest::newRow("query of another store's key") << QByteArray("POSTQY") << other << false;
        QTest::newRow("lookup") << QByteArray("SELECT")
                                << QStringLiteral("SELECT * FROM VCardLog WHERE TxnDept = 'S02'") << true;
        QTest::newRow("balance change") << QByteArray("SERVER")
                                        << QStringLiteral("Update Cust set TBonusAmt = TBonusAmt - 30 "
                                                          "Where CustNo = '880001' And TBonusAmt >= 30")
                                        << true;
        QTest::newRow("log row of its own")
            << QByteArray("SERVER") << kLogRow.arg(QLatin1String("S01")) << true;
        QTest::newRow("log row padded")
            << QByteArray("SERVER") << kLogRow.arg(QLatin1String("S01  ")) << true;
        QTest::newRow("log row of another store")
            << QByteArray("SERVER") << kLogRow.arg(QLatin1String("S02")) << false;
        QTest::newRow("log row of another store sent as a lookup")
            << QByteArray("SELECT") << kLogRow.arg(QLatin1String("S02")) << false;
        QTest::newRow("log row with the store computed")
            << QByteArray("SERVER")
            << QStringLiteral("INSERT INTO VCardLog (TxnDept, CardNo) VALUES (UPPER('s02'), 'C1')") << false;
        QTest::newRow("log row without a store")
            << QByteArray("SERVER") << QStringLiteral("INSERT INTO VCardLog (CardNo) VALUES ('C1')") << false;
        QTest::newRow("log row without columns")
            << QByteArray("SERVER") << QStringLiteral("INSERT INTO VCardLog VALUES (1, 'S01')") << false;
        QTest::newRow("second row of another store")
            << QByteArray("SERVER")
            << QStringLiteral("INSERT INTO vcardlog (CardNo, TxnDept) VALUES ('C1', 'S01'), ('C2', 'S02');")
            << false;
        QTest::newRow("two rows of its own")
            << QByteArray("SERVER")
            << QStringLiteral(
                   "INSERT INTO \"VCardLog\" (CardNo, \"TxnDept\") VALUES ('C1', 'S01'), ('C2', 'S01');")
            << true;
        QTest::newRow("log row rewritten")
            << QByteArray("SERVER") << QStringLiteral("UPDATE VCardLog SET TxnDept = 'S01' WHERE RNo = 3")
            << false;
        QTest::newRow("log row removed")
            << QByteArray("SERVER") << QStringLiteral("DELETE FROM VCardLog WHERE RNo = 3") << false;
        QTest::newRow("unreadable statement")
            << QByteArray("SERVER") << QStringLiteral("INSERT INTO VCardLog /* x */ VALUES (1)") << false;
    }
    void requests() {
        QFETCH(QByteArray, command);
        QFETCH(QString, data);
        QFETCH(bool, allowed);
        const StoreScope::Verdict v = StoreScope(QStringLiteral("S01")).check(command, data);
        QCOMPARE(v.allowed, allowed);
        if (!allowed) {
            QVERIFY(!v.text.isEmpty());
            QVERIFY(v.why.startsWith(QStringLiteral("store S01: ")));
        }
        // A connection that is no store is not limited here.
        QVERIFY(StoreScope(QString()).check(command, data).allowed);
    }

    void keyPrefixFollowsTheDesksKeys() {
        QCOMPARE(StoreScope::keyPrefix(QStringLiteral("S.01")), QStringLiteral("S_01."));
        QCOMPARE(StoreScope::keyPrefix(QStringLiteral("ABCDEFGHIJKLMNOPQR")),
                 QStringLiteral("ABCDEFGHIJKLMNOP."));
    }

    void hashesAreSaltedAndChecked() {
        const QByteArray a = StorePasswords::hash("pw", 1000);
        const QByteArray b = StorePasswords::hash("pw", 1000);
        QVERIFY(a.startsWith("pbkdf2-sha256$1000$"));
        QVERIFY(a != b);
        QVERIFY(StorePasswords::matches(a, "pw"));
        QVERIFY(StorePasswords::matches(b, "pw"));
        QVERIFY(!StorePasswords::matches(a, "pw "));
        QVERIFY(!StorePasswords::matches(a, ""));
        QVERIFY(!StorePasswords::matches("plain", "plain"));
        QVERIFY(!StorePasswords::matches(QByteArray(a).replace("$1000$", "$0$"), "pw"));
    }

    // Adding replaces the store's line in one rename, keeps the others and
    // the comments, and leaves a file only its owner may read.
    void addReplacesTheLineAtomically() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stores"));
        QString error;
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("# stores of the north\n");
        }
        QVERIFY2(StorePasswords::add(path, QStringLiteral("S01"), "one", error), qPrintable(error));
        QVERIFY2(StorePasswords::add(path, QStringLiteral("S02"), "two", error), qPrintable(error));
        QVERIFY2(StorePasswords::add(path, QStringLiteral("S01"), "uno", error), qPrintable(error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0), QByteArray("# stores of the north"));
        QVERIFY(lines.at(1).startsWith("S01:pbkdf2-sha256$"));
        QVERIFY(lines.at(2).startsWith("S02:pbkdf2-sha256$"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);

        StorePasswords stores;
        QVERIFY2(stores.load(path, error), qPrintable(error));
        QVERIFY(stores.verify(QStringLiteral("S01"), "uno"));
        QVERIFY(stores.verify(QStringLiteral("S01"), "uno")); // remembered, still right
        QVERIFY(!stores.verify(QStringLiteral("S01"), "one"));
        QVERIFY(stores.verify(QStringLiteral("S02"), "two"));
        QVERIFY(!stores.verify(QStringLiteral("S03"), "two"));
        QVERIFY(!StorePasswords::add(path, QStringLiteral("S:1"), "x", error));
    }

    void badFilesAreRefusedWithTheirLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stores"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\nS01:pbkdf2-sha256$1000$c2FsdA==$" + QByteArray(32, 'x').toBase64() + "\nS02:secret\n");
        f.close();
        StorePasswords stores;
        QString error;
        QVERIFY(!stores.load(path, error));
        QVERIFY2(
            error.endsWith(QStringLiteral(":3: not a \"store-id:hash\" line made by memberd --add-store")),
            qPrintable(error));
    }

    // Who a log-in makes the connection, with and without store passwords.
    void logInForms() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stores"));
        QString error;
        QVERIFY(StorePasswords::add(path, QStringLiteral("S01"), "one", error));
        StorePasswords stores;
        QVERIFY(stores.load(path, error));

        const StoreLogin plain("shared", false, nullptr);
        QVERIFY(plain.check("shared", {}).accepted);
        QVERIFY(!plain.check("S01\tone", {}).accepted);
        QCOMPARE(plain.check("shared", QStringLiteral("S07")).store, QStringLiteral("S07"));

        const StoreLogin strict("shared", false, &stores);
        StoreLogin::Result r = strict.check("S01\tone", {});
        QVERIFY(r.accepted);
        QCOMPARE(r.store, QStringLiteral("S01"));
        QVERIFY(!strict.check("shared", {}).accepted);
        r = strict.check("S01\ttwo", {});
        QVERIFY(!r.accepted);
        QCOMPARE(r.identity, QStringLiteral("S01"));
        r = strict.check("S99\tone", {});
        QVERIFY(!r.accepted);
        QCOMPARE(r.identity, QString()); // names that are no store share one count
        // The transport's store: the certificate names it, the log-in may not name another.
        QCOMPARE(strict.check("shared", QStringLiteral("S01")).store, QStringLiteral("S01"));
        QVERIFY(strict.check("S01\tone", QStringLiteral("S01")).accepted);
        QVERIFY(!strict.check("S01\tone", QStringLiteral("S02")).accepted);

        const StoreLogin changeOver("shared", true, &stores);
        r = changeOver.check("shared", {});
        QVERIFY(r.accepted);
        QCOMPARE(r.store, QString());
        // No shared password set: nothing matches it, the empty log-in included.
        const StoreLogin none(QByteArray(), true, &stores);
        QVERIFY(!none.check("", {}).accepted);
        QVERIFY(none.check("S01\tone", {}).accepted);
    }
};

QTEST_GUILESS_MAIN(TestStoreScope)
#include "tst_storescope.moc"
