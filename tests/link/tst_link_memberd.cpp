// The desk's link against the real memberd on loopback: log-in, card lookup,
// card issue and balance change through SQLite and PostgreSQL, the service's
// refusals as the operator sees them, and its closing notice.
#include "link/LinkFixture.h"
#include "support/MemberdProcess.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace tolva;

class TestLinkMemberd : public QObject {
    Q_OBJECT

    static QString sqliteConn(const DeskLink& desk) {
        return QStringLiteral("Provider=SQLite;Data Source=") +
               desk.dir.filePath(QStringLiteral("member.db"));
    }

    // Lookup, issue, lookup again, balance change and refusals, as the desk runs them.
    static void cardLifecycle(DeskLink& desk, MemberdProcess& memberd) {
        LinkClient& link = desk.link;
        const QString port = QString::number(MemberdProcess::port());
        QVERIFY(link.Connect_TCPSrv(memberd.address(), port, QStringLiteral("secret")));
        QCOMPARE(desk.indicators.mode, QStringLiteral("Connected.  "));

        const QString query =
            QStringLiteral(" Select CustName , Tel1 , Zip , BillAddr1 , BillAddr2 , FmComID , "
                           "TBonusAmt From Cust  Where CustNo = '880001'");
        QVERIFY(!link.SelectData(link.prefix(), query, desk.fgTMP, false));
        QCOMPARE(link.lastOutcome(), LinkOutcome::Replied); // no such card: not a failure
        QCOMPARE(desk.fgTMP.Rows(), 0);

        QString result;
        const QString insert = QStringLiteral("INSERT INTO CUST (  CustNO,  CustName,  Tel1,  TBonusAmt,  "
                                              "Zip,  BillAddr1,  BillAddr2,  FmComID  ) "
                                              "VALUES ( '880001', '許功蓋', '02-2345', 0, '103', "
                                              "'台北市\t大同區', '民生西路1號;3樓', 'S01' ) ");
        QVERIFY(link.SEND_TCPCMD(link.prefix(), QStringLiteral("SERVER"), insert, result));
        QVERIFY(link.SEND_TCPCMD(
            link.prefix(), QStringLiteral("SERVER"),
            QStringLiteral("Update Cust set TBonusAmt = TBonusAmt + 1250.5 Where CustNo = '880001'"),
            result));

        QVERIFY(link.SelectData(link.prefix(), query, desk.fgTMP, false));
        QCOMPARE(desk.fgTMP.Rows(), 1);
        QCOMPARE(desk.fgTMP.Cols(), 7);
        QCOMPARE(desk.fgTMP.TextMatrix(0, 0), QStringLiteral("許功蓋"));
        // TAB and ";" inside values become blanks: the row keeps its seven fields.
        QCOMPARE(desk.fgTMP.TextMatrix(0, 3), QStringLiteral("台北市 大同區"));
        QCOMPARE(desk.fgTMP.TextMatrix(0, 4), QStringLiteral("民生西路1號 3樓"));
        QCOMPARE(desk.fgTMP.TextMatrix(0, 5), QStringLiteral("S01"));
        QCOMPARE(desk.fgTMP.TextMatrix(0, 6).toDouble(), 1250.5);
        QCOMPARE(link.lastHeader().split(QLatin1Char('\t')).size(), 7);
        QVERIFY(desk.dialogs.shown.isEmpty());

        // The balance may not go below 0: the database's message reaches the operator.
        QVERIFY(!link.SEND_TCPCMD(
            link.prefix(), QStringLiteral("SERVER"),
            QStringLiteral("Update Cust set TBonusAmt = TBonusAmt - 5000 Where CustNo = '880001'"), result));
        QCOMPARE(link.lastOutcome(), LinkOutcome::Failed);
        QCOMPARE(desk.dialogs.shown.size(), 1);
        QVERIFY2(desk.dialogs.lastShown().text.contains(QStringLiteral("tbonusamt"), Qt::CaseInsensitive),
                 qPrintable(desk.dialogs.lastShown().text));

        // Statements the desk never sends are refused and the refusal is shown.
        QVERIFY(!link.SEND_TCPCMD(link.prefix(), QStringLiteral("SERVER"), QStringLiteral("DELETE FROM CUST"),
                                  result));
        QCOMPARE(desk.dialogs.shown.size(), 2);
        QVERIFY(desk.dialogs.lastShown().text.contains(QStringLiteral("DELETE")));
        QVERIFY(link.SelectData(link.prefix(), query, desk.fgTMP, false)); // the link is still up
        QVERIFY(memberd.waitForLog(QStringLiteral("refused SERVER")));
    }

private slots:
    void cardLifecycleOnSqlite() {
        DeskLink desk;
        MemberdProcess memberd(QStringLiteral("127.0.0.2"), sqliteConn(desk));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        cardLifecycle(desk, memberd);
    }

    void cardLifecycleOnPostgres() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        DeskLink desk;
        MemberdProcess memberd(QStringLiteral("127.0.0.3"), pg.connectionString());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        cardLifecycle(desk, memberd);
    }

    void wrongPasswordIsRefused() {
        DeskLink desk;
        MemberdProcess memberd(QStringLiteral("127.0.0.4"), sqliteConn(desk));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(
            !desk.link.Connect_TCPSrv(memberd.address(), QStringLiteral("3501"), QStringLiteral("guess")));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::Failed);
        QCOMPARE(desk.dialogs.texts(), QStringList{QStringLiteral("密碼錯誤")});
        // An empty password is a password like any other.
        QVERIFY(!desk.link.Connect_TCPSrv(memberd.address(), QStringLiteral("3501"), QString()));
        QVERIFY(
            desk.link.Connect_TCPSrv(memberd.address(), QStringLiteral("3501"), QStringLiteral("secret")));
    }

    // A desk set up with its store logs in as that store with the store's own
    // password; at a service without store passwords the same settings with
    // no store log in with the shared password as before.
    void logsInAsItsStore() {
        DeskLink desk;
        const QString stores = desk.dir.filePath(QStringLiteral("stores"));
        QCOMPARE(MemberdProcess::addStore(stores, QStringLiteral("S01"), "north-1"), 0);
        MemberdProcess memberd(QStringLiteral("127.0.0.6"), sqliteConn(desk),
                               {QStringLiteral("--store-passwords"), stores});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        LinkSettings settings;
        settings.host = memberd.address();
        settings.password = QStringLiteral("north-1");
        QVERIFY(!desk.link.connectWith(settings));
        QCOMPARE(desk.dialogs.texts(), QStringList{QStringLiteral("密碼錯誤")});
        settings.store = QStringLiteral("S01");
        QVERIFY(desk.link.connectWith(settings));
        QVERIFY(desk.link.keyedPostings());
        QVERIFY(memberd.waitForLog(QStringLiteral("logged in as store S01")));
    }

    void closingNoticeOnShutdown() {
        DeskLink desk;
        MemberdProcess memberd(QStringLiteral("127.0.0.5"), sqliteConn(desk));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(
            desk.link.Connect_TCPSrv(memberd.address(), QStringLiteral("3501"), QStringLiteral("secret")));
        QCOMPARE(memberd.terminate(), 0);
        QTRY_COMPARE(desk.dialogs.texts(), QStringList{QStringLiteral("遠端TCP通訊服務程式已關閉")});
        // The next operation's reconnect finds the service gone.
        QVERIFY(
            !desk.link.Connect_TCPSrv(memberd.address(), QStringLiteral("3501"), QStringLiteral("secret")));
        QVERIFY(desk.logText().contains(QStringLiteral("WinsockERROR: ")));
    }
};

QTEST_GUILESS_MAIN(TestLinkMemberd)
#include "tst_link_memberd.moc"
