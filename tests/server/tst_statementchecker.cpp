// What memberd lets a desk run without --allow-any-sql.
#include "server/StatementChecker.h"

#include <QTest>

using namespace memberd;

class TestStatementChecker : public QObject {
    Q_OBJECT

private slots:
    void accepted_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("card query")
            << " Select CustName , Tel1 , Zip , BillAddr1 , BillAddr2 , FmComID , TBonusAmt "
               "From Cust  Where CustNo = 'A001'";
        QTest::newRow("query by name") << "Select * From CUST Where CustName = '王''小明'";
        QTest::newRow("keywords inside a literal")
            << "Select CustName From Cust Where Remark = 'x; DELETE FROM CUST -- /* UNION SELECT'";
        QTest::newRow("alias and order")
            << "select c.CustNo from cust c where c.TBonusAmt > 0 order by c.CustNo";
        QTest::newRow("trailing semicolon") << "Select CustNo From Cust;  ";
        QTest::newRow("issue")
            << "INSERT INTO CUST (  CustNO,  CustName,  IsuDate,  TBonusAmt,  UserID,  FileDate  ) "
               "VALUES ( 'A1', '許功蓋', '2005/03/07', 0, 'U1', datetime('now','localtime') ) ";
        QTest::newRow("issue on postgresql")
            << "INSERT INTO CUST ( CustNO, FileDate ) VALUES ( 'A1', LOCALTIMESTAMP(0) )";
        QTest::newRow("balance")
            << "Update Cust set TBonusAmt = TBonusAmt - 500 , UpdDate = now() Where CustNo = 'A1'";
        QTest::newRow("card log") << "INSERT INTO VCardLog ( TxnDept, TxnAmt ) VALUES ( 'S01', 1250.5 )";
        QTest::newRow("quoted table") << "Select CustNo From \"vcardlog\"";
        QTest::newRow("in list") << "Select CustNo From Cust Where CustNo In ('A1', 'A2')";
        QTest::newRow("date literal and pattern")
            << "Select CustNo From VCardLog Where TxnDate >= DATE '2026-01-01' And Remark LIKE 'a!%' ESCAPE "
               "'!' "
               "And CASE WHEN Remark = 'a' THEN 'b' ELSE 'c' END = 'b' And TxnDept BETWEEN 'A' AND 'Z'";
        QTest::newRow("number cast")
            << "Select CAST(TBonusAmt AS int) From Cust Where TBonusAmt::numeric > 0";
        QTest::newRow("customer change")
            << "UPDATE CUST SET  CustName = '王', Tel1 = '02' Where CustNo = 'A1' And TBonusAmt >= 0";
    }
    void accepted() {
        QFETCH(QString, sql);
        const StatementChecker::Verdict v = StatementChecker().check(sql);
        QVERIFY2(v.allowed, qPrintable(v.reason));
    }

    // Words are read in capitals as Unicode writes them, ASCII or not: a
    // dotless ı makes INTO, and a word with a letter outside ASCII is still
    // upper-cased whole, so a long one cannot spill over into the next.
    void wordsAreReadInUnicodeCapitals() {
        StatementChecker checker;
        StatementChecker::Verdict v = checker.check(QStringLiteral("Select CustNo ınto x From Cust"));
        QVERIFY(!v.allowed);
        QCOMPARE(v.reason, QStringLiteral("不接受的 SQL 指令: INTO"));
        v = checker.check(QStringLiteral("Select ünıon(CustNo) From Cust"));
        QCOMPARE(v.reason, QStringLiteral("不接受的函數: ünıon"));
        v = checker.check(
            QStringLiteral("Select straße, CustNo From Cust Where CustNo = 'A' uNion Select 1"));
        QCOMPARE(v.reason, QStringLiteral("不接受的 SQL 指令: UNION"));
        QVERIFY(checker.check(QStringLiteral("Select straße From Cust Where CustNo = 'A'")).allowed);
    }

    void refused_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("delete") << "DELETE FROM CUST";
        QTest::newRow("drop") << "DROP TABLE CUST";
        QTest::newRow("second statement") << "Select * From Cust Where CustNo = 'A'; DROP TABLE CUST";
        QTest::newRow("statement after a quote")
            << "Select * From Cust Where CustNo = 'A'';'; DELETE FROM CUST";
        QTest::newRow("line comment") << "Select * From Cust -- Where CustNo = 'A'";
        QTest::newRow("block comment") << "Update Cust set TBonusAmt = 0 /* Where CustNo = 'A' */";
        QTest::newRow("other table") << "Select * From xxPARAM";
        QTest::newRow("schema table") << "Select * From pg_catalog.pg_user";
        QTest::newRow("qualified member table") << "Select * From main.CUST";
        QTest::newRow("implicit join") << "Select * From CUST, xxPARAM";
        QTest::newRow("implicit join with alias") << "Select * From CUST c, xxPARAM p";
        QTest::newRow("join") << "Select * From CUST join xxNO on 1=1";
        QTest::newRow("union") << "Select CustNo From CUST union Select Code From xxCODE";
        QTest::newRow("subquery") << "Select * From CUST Where CustNo in (Select Code From xxCODE)";
        QTest::newRow("select into") << "Select * into copy From CUST";
        QTest::newRow("insert select") << "INSERT INTO CUST (CustNo) Select Code From xxCODE";
        QTest::newRow("insert other table") << "INSERT INTO xxPARAM (ParamID) VALUES ('x')";
        QTest::newRow("update from") << "UPDATE CUST SET TBonusAmt = 1 FROM xxPARAM";
        QTest::newRow("update subquery") << "UPDATE CUST SET CustName = (SELECT Code FROM xxCODE)";
        QTest::newRow("update other") << "UPDATE xxNO SET NoValue = 0";
        QTest::newRow("unknown function") << "Select pg_sleep(100) From CUST";
        QTest::newRow("file read") << "Select pg_read_file('/etc/passwd') From CUST";
        QTest::newRow("sqlite extension") << "Select load_extension('x') From CUST";
        QTest::newRow("escape string") << "Select * From CUST Where CustNo = E'\\''; DROP TABLE CUST; --'";
        QTest::newRow("dollar quote") << "Select * From CUST Where CustNo = $$x$$";
        QTest::newRow("unterminated") << "Select * From CUST Where CustNo = 'A";
        QTest::newRow("with") << "WITH x AS (DELETE FROM CUST) Select * From CUST";
        QTest::newRow("pragma") << "PRAGMA writable_schema = 1";
        QTest::newRow("attach") << "ATTACH DATABASE '/tmp/x' AS x";
        QTest::newRow("empty") << "  ;";
        QTest::newRow("no table") << "Select 1";
        QTest::newRow("control character") << QStringLiteral("Select * From CUST\x01");
        // Other tables read without the words SELECT or FROM, and other ways around the rules.
        QTest::newRow("table subquery") << "Select CustNo From CUST Where (TBonusAmt, 1) < (TABLE xxPARAM "
                                           "ORDER BY CAST(ParamValue AS int) "
                                           "LIMIT 1)";
        QTest::newRow("insert table")
            << "INSERT INTO VCardLog (TxnDept, Remark) TABLE xxPARAM RETURNING Remark";
        QTest::newRow("row-valued set")
            << "UPDATE CUST SET (CustName, Tel1) = (TABLE pg_user LIMIT 1) Where CustNo = 'A1' RETURNING *";
        QTest::newRow("row-valued set after a column")
            << "UPDATE CUST SET Tel1 = '1', (CustName, Zip) = ('a', 'b') Where CustNo = 'A1'";
        QTest::newRow("returning") << "INSERT INTO CUST (CustNo) VALUES ('x') RETURNING CustName";
        QTest::newRow("update returning") << "UPDATE CUST SET Tel1 = '1' Where CustNo = 'A1' RETURNING Tel1";
        QTest::newRow("row value in table")
            << "Select CustNo From CUST Where ('PrintSlipOK', '列印完成') IN Msg";
        QTest::newRow("in quoted table") << "Select CustNo From CUST Where CustNo IN \"xxCODE\"";
        QTest::newRow("in pragma") << "Select CustNo From CUST Where 'main' IN pragma_database_list";
        QTest::newRow("current user") << "Select CURRENT_USER From CUST";
        QTest::newRow("current catalog") << "Select CustNo From CUST Where CustNo = current_catalog";
        QTest::newRow("session user") << "INSERT INTO VCardLog (Remark) VALUES (session_user)";
        QTest::newRow("regclass cast") << "Select 'pg_authid'::regclass From CUST";
        QTest::newRow("regclass cast function") << "Select CAST('pg_authid' AS regclass) From CUST";
        QTest::newRow("regproc cast spaced") << "Select CustNo From CUST Where 1 = 'x' : : regproc";
        QTest::newRow("update without where") << "UPDATE CUST SET TBonusAmt = 0";
        QTest::newRow("update with where only inside")
            << "UPDATE CUST SET TBonusAmt = (CASE WHEN 1=1 THEN 0 END)";
        QTest::newRow("card log update without where") << "UPDATE VCardLog SET TxnAmt = 0";
        QTest::newRow("unbalanced") << "Select CustNo From CUST Where (1 = 1";
        // Typed literals: a type name before a string reads the catalog or parses documents.
        QTest::newRow("regclass literal")
            << "Select CustNo From CUST Where CustNo = regclass 'pg_authid'::text";
        QTest::newRow("regrole literal") << "Select regrole 'postgres' From CUST";
        QTest::newRow("xml literal") << "INSERT INTO VCardLog (Remark) VALUES (xml '<a/>')";
        QTest::newRow("quoted type literal") << "Select \"regclass\" 'pg_authid' From CUST";
    }
    void refused() {
        QFETCH(QString, sql);
        const StatementChecker::Verdict v = StatementChecker().check(sql);
        QVERIFY(!v.allowed);
        QVERIFY(!v.reason.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStatementChecker)
#include "tst_statementchecker.moc"
