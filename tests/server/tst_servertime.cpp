// The desks' current-time expressions and the one memberd's database knows.
#include "db/Dialect.h"
#include "server/ServerTime.h"

#include <QTest>

using namespace memberd;

class TestServerTime : public QObject {
    Q_OBJECT

private slots:
    void replaced_data() {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sqlite desk, postgresql service")
            << "PostgreSQL"
            << "INSERT INTO VCardLog ( CardNo, FileDate ) VALUES ( 'A1', datetime('now','localtime') )"
            << "INSERT INTO VCardLog ( CardNo, FileDate ) VALUES ( 'A1', LOCALTIMESTAMP(0) )";
        QTest::newRow("sql server desk, sqlite service")
            << "SQLite"
            << "Update Cust set UpdDate = getDate() Where CustNo = 'A1'"
            << "Update Cust set UpdDate = datetime('now','localtime') Where CustNo = 'A1'";
        QTest::newRow("any letter case and blanks")
            << "PostgreSQL"
            << "Update Cust set UpdDate = GETDATE ( ), FileDate = DateTime( 'NOW' ,'LocalTime' )"
            << "Update Cust set UpdDate = LOCALTIMESTAMP(0), FileDate = LOCALTIMESTAMP(0)";
        QTest::newRow("every expression")
            << "SQLite"
            << "VALUES (now(), getdate(), SYSDATE, localtimestamp(0), datetime('now','localtime'))"
            << "VALUES (datetime('now','localtime'), datetime('now','localtime'), "
               "datetime('now','localtime'), "
               "datetime('now','localtime'), datetime('now','localtime'))";
        QTest::newRow("sql server service") << "SQLOLEDB"
                                            << "Update Cust set UpdDate = LOCALTIMESTAMP(0)"
                                            << "Update Cust set UpdDate = getDate()";
        QTest::newRow("at the very start and end") << "PostgreSQL"
                                                   << "now()"
                                                   << "LOCALTIMESTAMP(0)";
    }
    void replaced() {
        QFETCH(QString, provider);
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        const ServerTime serverTime(tolva::Dialect::forProvider(provider).serverDate());
        QCOMPARE(serverTime.rewrite(sql), expected);
    }

    void leftAlone_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("inside a string") << "INSERT INTO VCardLog ( Remark ) VALUES ( "
                                            "'datetime(''now'',''localtime'') getDate() SYSDATE' )";
        QTest::newRow("a quoted name") << "Select \"now\"() From Cust";
        QTest::newRow("part of a longer name") << "Select SYSDATE2, nowhere, getdate_x() From Cust";
        QTest::newRow("a qualified name") << "Select c.now(), c.SYSDATE From Cust c";
        QTest::newRow("other arguments")
            << "Select datetime('now'), datetime('now','utc'), LOCALTIMESTAMP(3), now(1) From Cust";
        QTest::newRow("sysdate called") << "Select SYSDATE() From Cust";
        QTest::newRow("unreadable text") << "Update Cust set UpdDate = now() -- comment";
        QTest::newRow("unterminated quote") << "Update Cust set UpdDate = now(), Remark = 'x";
    }
    void leftAlone() {
        QFETCH(QString, sql);
        QCOMPARE(ServerTime(QStringLiteral("LOCALTIMESTAMP(0)")).rewrite(sql), sql);
    }

    void unknownDatabaseChangesNothing() {
        const QString sql = QStringLiteral("Update Cust set UpdDate = getDate()");
        QCOMPARE(ServerTime(tolva::Dialect::forProvider(QStringLiteral("Other")).serverDate()).rewrite(sql),
                 sql);
    }
};

QTEST_GUILESS_MAIN(TestServerTime)
#include "tst_servertime.moc"
