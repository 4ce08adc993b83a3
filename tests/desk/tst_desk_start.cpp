// Opening the desk: hand-off requests, opening page, bonus, store code row,
// master switch and the settings page, through the fake window.
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "link/LinkClient.h"
#include "support/DeskFixture.h"
#include "support/FakeDeskView.h"

#include <QSqlQuery>
#include <QTest>

using namespace tolva;

class TestDeskStart : public QObject {
    Q_OBJECT

    static void handOff(DeskFixture& f, const QString& type, const QString& amount,
                        const QString& card = QString(), const QString& bill = QStringLiteral("A0012")) {
        f.save("ZEL", "TOLVA", "CheckNo", bill);
        f.save("ZEL", "TOLVA", "TxnAmt", amount);
        f.save("ZEL", "TOLVA", "TxnType", type);
        f.save("ZEL", "TOLVA", "CustNo", card);
    }

    static void start(DeskFixture& f, FakeDeskView& view, Desk& desk) {
        desk.setPause([](int) {});
        Q_UNUSED(f);
        Q_UNUSED(view);
        desk.Form_Load();
    }

    static int codeRows(DeskFixture& f) {
        QSqlQuery q =
            f.ctx.gCNT.query(QStringLiteral("SELECT COUNT(*) FROM xxCODE WHERE CodeType = 'TOLVA'"));
        q.next();
        return q.value(0).toInt();
    }

private slots:
    void plainStartOpensTheQueryPage() {
        DeskFixture f;
        FakeDeskView view;
        view.texts[ctl::txtZIP] = QStringLiteral("10315"); // a design text that start-up clears
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QCOMPARE(view.currentTab, int(ctl::kQuery));
        QVERIFY(view.tabShown[ctl::kDeposit] && view.tabShown[ctl::kDeduction]);
        QVERIFY(!view.tabShown[ctl::kSettings]);
        QVERIFY(view.isVisible(ctl::cmdIsuCard));
        QCOMPARE(view.text(ctl::txtCustNo), QString());
        QCOMPARE(view.text(ctl::txtZIP), QString());
        QCOMPARE(view.text(ctl::txtDateB), QStringLiteral("2026/12/08"));
        QCOMPARE(view.text(ctl::lblHead(2)), QStringLiteral("2026/12/08"));
        QCOMPARE(view.text(ctl::lblStatus), QStringLiteral("cashier1"));
        // No IP or password: no link is tried and the line keeps its text.
        QCOMPARE(view.text(ctl::elaMsg), QStringLiteral("連線中, 請稍候..."));
        QVERIFY(!desk.state().linked());
        QVERIFY(f.dialogs.msgs.isEmpty());
        QVERIFY(view.shown && view.centered);
        QCOMPARE(f.errors(), QString());
    }

    void handedOverDepositGetsItsBonus_data() {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        QTest::newRow("5000") << "5000"
                              << "5250"
                              << "5000 * 105% = 5250";
        QTest::newRow("10000") << "10000"
                               << "10800"
                               << "10000 * 108% = 10800";
        QTest::newRow("20000") << "20000"
                               << "22000"
                               << "20000 * 110% = 22000";
        QTest::newRow("9000 no bonus") << "9000"
                                       << "9000"
                                       << "連線中, 請稍候...";
        QTest::newRow("15000 no bonus") << "15000"
                                        << "15000"
                                        << "連線中, 請稍候...";
    }
    void handedOverDepositGetsItsBonus() {
        QFETCH(QString, amount);
        DeskFixture f;
        handOff(f, QStringLiteral("1"), amount);
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QCOMPARE(view.currentTab, int(ctl::kDeposit));
        QVERIFY(view.tabShown[ctl::kDeposit]);
        QVERIFY(!view.tabShown[ctl::kDeduction]);
        QTEST(view.text(ctl::txtAmt(0)), "field");
        QTEST(view.text(ctl::elaMsg), "line");
        QVERIFY(view.isVisible(ctl::cmdIsuCard));
        QCOMPARE(view.text(ctl::txtCheckNo(0)), QStringLiteral("A0012"));
        QCOMPARE(desk.state().handOff().amount, amount.toDouble());
    }

    void handedOverDeductionOpensItsPage() {
        DeskFixture f;
        handOff(f, QStringLiteral("2"), QStringLiteral("500"), QStringLiteral("M0001"));
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QCOMPARE(view.currentTab, int(ctl::kDeduction));
        QVERIFY(!view.tabShown[ctl::kDeposit]);
        QCOMPARE(view.text(ctl::txtAmt(1)), QStringLiteral("500"));
        QCOMPARE(view.text(ctl::txtCheckNo(1)), QStringLiteral("A0012"));
        QCOMPARE(view.text(ctl::txtCustNo), QStringLiteral("M0001"));
        QCOMPARE(view.text(ctl::txtCustNoQry), QStringLiteral("M0001"));
        QVERIFY(!view.isVisible(ctl::cmdIsuCard));
        QCOMPARE(desk.state().handOff().type, QStringLiteral("2"));
    }

    void aRequestIsConsumedByOneStart() {
        DeskFixture f;
        handOff(f, QStringLiteral("2"), QStringLiteral("500"), QStringLiteral("M0001"));
        f.save("ZEL", "TOLVA", "CheckNoAuth", QStringLiteral("OLD"));
        f.save("ZEL", "TOLVA", "TxnAmtAuth", QStringLiteral("1"));
        {
            FakeDeskView view;
            LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
            Desk desk(f.ctx, view, link_desk);
            start(f, view, desk);
        }
        for (const char* key : {"CheckNo", "TxnAmt", "TxnType", "CustNo", "TxnAmtAuth", "CheckNoAuth"})
            QVERIFY2(f.get("ZEL", "TOLVA", key).isEmpty(), key);
        FakeDeskView again;
        LinkClient link_second(f.ctx.g, f.ctx.reporter, f.dialogs, again, f.ctx.codePage);
        Desk second(f.ctx, again, link_second);
        start(f, again, second);
        QCOMPARE(again.currentTab, int(ctl::kQuery));
        QCOMPARE(second.state().handOff().type, QString());
        QCOMPARE(second.state().handOff().amount, 0.0);
    }

    void badHandOffIsRefusedAtStart_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("key");
        QTest::newRow("grouped amount") << "2"
                                        << "1,050" << QString() << "TxnAmt";
        QTest::newRow("amount with letters") << "1"
                                             << "500abc" << QString() << "TxnAmt";
        QTest::newRow("negative amount") << "2"
                                         << "-500" << QString() << "TxnAmt";
        QTest::newRow("zero amount") << "2"
                                     << "0" << QString() << "TxnAmt";
        QTest::newRow("zero amount with decimals") << "1"
                                                   << "0.00" << QString() << "TxnAmt";
        QTest::newRow("unknown type") << "3"
                                      << "500" << QString() << "TxnType";
        QTest::newRow("card with a control character")
            << "2"
            << "500" << QStringLiteral("M0001") + QChar(3) + QStringLiteral("x") << "CustNo";
    }
    void badHandOffIsRefusedAtStart() {
        QFETCH(QString, type);
        QFETCH(QString, amount);
        QFETCH(QString, card);
        QFETCH(QString, key);
        DeskFixture f;
        handOff(f, type, amount, card);
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QCOMPARE(f.dialogs.msgs.size(), 1);
        QVERIFY2(f.dialogs.msgAt(0).contains(QLatin1Char('(') + key + QLatin1Char('=')),
                 qPrintable(f.dialogs.msgAt(0)));
        // Nothing of it is taken: the desk opens as at a plain start, and
        // the request is gone all the same.
        QCOMPARE(desk.state().handOff().type, QString());
        QCOMPARE(desk.state().handOff().amount, 0.0);
        QCOMPARE(view.currentTab, int(ctl::kQuery));
        QVERIFY(view.tabShown[ctl::kDeposit] && view.tabShown[ctl::kDeduction]);
        QCOMPARE(view.text(ctl::txtCustNo), QString());
        QCOMPARE(view.text(ctl::txtCheckNo(0)), QString());
        QCOMPARE(f.get("ZEL", "TOLVA", "TxnType"), QString());
    }

    void handOffValuesAreReadTrimmed() {
        DeskFixture f;
        handOff(f, QStringLiteral("1 "), QStringLiteral(" 5000 "), QStringLiteral(" M0001 "));
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QVERIFY(f.dialogs.msgs.isEmpty());
        // "1 " is a deposit on the deposit page, not a deduction.
        QCOMPARE(desk.state().handOff().type, QStringLiteral("1"));
        QCOMPARE(view.currentTab, int(ctl::kDeposit));
        QVERIFY(!view.tabShown[ctl::kDeduction]);
        QCOMPARE(view.text(ctl::txtAmt(0)), QStringLiteral("5250"));
        QCOMPARE(view.text(ctl::txtCustNo), QStringLiteral("M0001"));
    }

    void masterSwitchIsStoredAndRead() {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QVERIFY(!view.master);
        view.master = true;
        desk.chkMasterDB_Click();
        QCOMPARE(f.get("ZEL", "TOLVA", "chkMasterDB"), QStringLiteral("1"));
        FakeDeskView next;
        LinkClient link_reopened(f.ctx.g, f.ctx.reporter, f.dialogs, next, f.ctx.codePage);
        Desk reopened(f.ctx, next, link_reopened);
        start(f, next, reopened);
        QVERIFY(next.master);
        next.master = false;
        reopened.chkMasterDB_Click();
        QCOMPARE(f.get("ZEL", "TOLVA", "chkMasterDB"), QStringLiteral("0"));
    }

    void settingsPageOpensOnlyFromTheDate() {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        desk.lblHead_DblClick(0);
        desk.lblHead_DblClick(1);
        QVERIFY(!view.tabShown[ctl::kSettings]);
        desk.lblHead_DblClick(2);
        QVERIFY(view.tabShown[ctl::kSettings]);
        QCOMPARE(view.currentTab, int(ctl::kSettings));
        desk.cmdHideSetting_Click();
        QVERIFY(!view.tabShown[ctl::kSettings]);
        QCOMPARE(view.currentTab, int(ctl::kDeposit));
        // With the deposit page hidden the deduction page is selected.
        view.tabShown[ctl::kDeposit] = false;
        desk.lblHead_DblClick(2);
        desk.cmdHideSetting_Click();
        QCOMPARE(view.currentTab, int(ctl::kDeduction));
    }

    void storeCodeRowIsCreatedOnce() {
        DeskFixture f;
        f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
        for (int run = 0; run < 2; ++run) {
            FakeDeskView view;
            LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
            Desk desk(f.ctx, view, link_desk);
            start(f, view, desk);
            QCOMPARE(view.text(ctl::txtTxnDept(0)), QStringLiteral("S01"));
            QCOMPARE(view.text(ctl::txtTxnDept(1)), QStringLiteral("S01"));
        }
        QCOMPARE(codeRows(f), 1);
        QVERIFY(f.ctx.gCNT.hasRow(QStringLiteral("SELECT * FROM xxCODE WHERE Code = 'S01'")));
    }

    void missingStoreIdGivesAnEmptyCode() {
        // Created on the first start and found on the next, like any code.
        DeskFixture f;
        for (int run = 0; run < 2; ++run) {
            FakeDeskView view;
            LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
            Desk desk(f.ctx, view, link_desk);
            start(f, view, desk);
            QCOMPARE(view.text(ctl::txtTxnDept(0)), QString());
        }
        QVERIFY(
            f.ctx.gCNT.hasRow(QStringLiteral("SELECT * FROM xxCODE WHERE CodeType = 'TOLVA' AND Code = ''")));
        QCOMPARE(codeRows(f), 1);
    }

    void failedCodeInsertIsShownOnTheStatusLine() {
        DeskFixture f;
        f.ctx.gCNT.execute(QStringLiteral("DROP TABLE xxCODE"));
        f.ctx.gCNT.execute(QStringLiteral("CREATE VIEW xxCODE AS SELECT 'x' AS CodeType, 'y' AS Code"));
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QCOMPARE(view.text(ctl::elaMsg), QStringLiteral("存檔失敗"));
        QVERIFY(f.dialogs.beeps >= 2);
        QCOMPARE(view.highlights, (QList<bool>{true, false}));
    }

    void aBrokenDatabaseEndsInitFormWithOneReport() {
        DeskFixture f;
        f.ctx.gCNT.close();
        handOff(f, QStringLiteral("1"), QStringLiteral("5000"));
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        start(f, view, desk);
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY(f.dialogs.shownAt(0).text.contains(QStringLiteral("fmTOLVA_InitForm")));
        // The hand-off was read and consumed before the failure.
        QCOMPARE(view.text(ctl::txtAmt(0)), QStringLiteral("5250"));
        QCOMPARE(f.get("ZEL", "TOLVA", "TxnAmt"), QString());
        QVERIFY(!view.centered);
    }

    void exitAndCloseEndTheProgram() {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        desk.Form_QueryUnload();
        QVERIFY(view.ended);
    }
};

QTEST_GUILESS_MAIN(TestDeskStart)
#include "tst_desk_start.moc"
