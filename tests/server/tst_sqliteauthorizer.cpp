// The database's own enforcement on SQLite: what the authorizer lets through.
#include "common/Fault.h"
#include "db/Database.h"
#include "server/SqliteAuthorizer.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace memberd;

class TestSqliteAuthorizer : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    tolva::Database m_db;
    SqliteAuthorizer m_authorizer;

    bool runs(const QString& sql) {
        QSqlQuery query(m_db.handle());
        m_authorizer.clearDenial();
        const bool ok = query.exec(sql);
        query.finish();
        return ok;
    }

private slots:
    void initTestCase() {
        try {
            m_db.open(QStringLiteral("Provider=SQLite;Data Source=") +
                      m_dir.filePath(QStringLiteral("m.db")));
            m_db.execute(QStringLiteral("INSERT INTO Msg (MsgID, MsgText) VALUES ('Probe1', 'x')"));
        } catch (const tolva::Fault& fault) {
            QFAIL(qPrintable(fault.message()));
        }
        QVERIFY(m_authorizer.install(m_db.handle()));
    }
    void cleanupTestCase() { SqliteAuthorizer::remove(m_db.handle()); }

    void memberTablesAndDeskFunctionsRun_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("insert")
            << "INSERT INTO CUST (CustNo, FileDate) VALUES ('A1', datetime('now','localtime'))";
        QTest::newRow("update") << "UPDATE CUST SET TBonusAmt = TBonusAmt + 1 WHERE CustNo = 'A1'";
        QTest::newRow("select") << "SELECT CustNo, upper(CustName) FROM CUST WHERE CustNo LIKE 'A%'";
        QTest::newRow("report") << "SELECT count(*), sum(TxnAmt) FROM VCardLog WHERE TxnDate >= date('now')";
        QTest::newRow("case of names") << "select custno from cust";
        // No column read: the table is checked without a database name.
        QTest::newRow("no column read") << "Select 1 From cUST Wst";
    }
    void memberTablesAndDeskFunctionsRun() {
        QFETCH(QString, sql);
        QVERIFY2(runs(sql), qPrintable(m_authorizer.lastDenial()));
    }

    void everythingElseIsDenied_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("table");
        QTest::newRow("other table") << "SELECT * FROM xxPARAM" << true;
        QTest::newRow("other table, no column read") << "SELECT 1 FROM xxPARAM" << true;
        QTest::newRow("row value in table") << "SELECT CustNo FROM CUST WHERE ('Probe1', 'x') IN Msg" << true;
        QTest::newRow("pragma function table")
            << "SELECT CustNo FROM CUST WHERE 'main' IN pragma_database_list" << true;
        QTest::newRow("schema") << "SELECT sql FROM sqlite_master" << true;
        QTest::newRow("insert select")
            << "INSERT INTO VCardLog (Remark) SELECT ParamValue FROM xxPARAM" << true;
        QTest::newRow("extension") << "SELECT load_extension('x') FROM CUST" << false;
        QTest::newRow("file name") << "SELECT sqlite_version() FROM CUST" << false;
        QTest::newRow("delete") << "DELETE FROM CUST" << false;
        QTest::newRow("drop") << "DROP TABLE CUST" << false;
        QTest::newRow("pragma") << "PRAGMA writable_schema = 1" << false;
        QTest::newRow("attach") << "ATTACH DATABASE ':memory:' AS other" << false;
        QTest::newRow("create") << "CREATE TABLE x (a)" << true;
        QTest::newRow("key table") << "SELECT * FROM PostKey" << true;
        QTest::newRow("key table written") << "UPDATE PostKey SET Outcome = 'P' WHERE PostKey = 'k'" << true;
        QTest::newRow("transaction") << "BEGIN" << false;
    }
    void everythingElseIsDenied() {
        QFETCH(QString, sql);
        QFETCH(bool, table);
        QVERIFY(!runs(sql));
        QVERIFY(!m_authorizer.lastDenial().isEmpty());
        QCOMPARE(m_authorizer.deniedTable(), table);
    }

    // The key table and transactions are memberd's own, only while it runs its own statements.
    void ownStatementsMayUseTheKeyTable() {
        m_authorizer.setOwnStatements(true);
        const bool began = runs(QStringLiteral("BEGIN IMMEDIATE"));
        const bool inserted = runs(
            QStringLiteral("INSERT INTO PostKey (PostKey, Outcome) VALUES ('k1', 'X') ON CONFLICT (PostKey) "
                           "DO NOTHING"));
        const bool read = runs(QStringLiteral("SELECT Outcome FROM PostKey WHERE PostKey = 'k1'"));
        const bool committed = runs(QStringLiteral("COMMIT"));
        const bool otherTable = runs(QStringLiteral("SELECT * FROM xxPARAM"));
        m_authorizer.setOwnStatements(false);
        QVERIFY(began && inserted && read && committed);
        QVERIFY(!otherTable);
        QVERIFY(!runs(QStringLiteral("SELECT Outcome FROM PostKey")));
        QCOMPARE(m_authorizer.lastDenial(), QStringLiteral("table PostKey"));
    }
};

QTEST_GUILESS_MAIN(TestSqliteAuthorizer)
#include "tst_sqliteauthorizer.moc"
