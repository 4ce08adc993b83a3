// The real main window offscreen: every named control is there, accessible
// by its name, fits a 1024 x 768 till, and clicks reach the desk.
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "link/LinkClient.h"
#include "support/DeskFixture.h"
#include "support/MemberdProcess.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>

using namespace tolva;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void everyControlIsThereByName() {
        MainWindow window;
        MainWindowView view(window);
        QStringList names = {ctl::txtCustNo,
                             ctl::txtCustName,
                             ctl::txtTBonusAmt,
                             ctl::txtTEL1,
                             ctl::txtZIP,
                             ctl::txtBillAddr1,
                             ctl::txtBillAddr2,
                             ctl::txtFmComID,
                             ctl::cmdFmComID,
                             ctl::cmdIsuCard,
                             ctl::cmdUPDCust,
                             ctl::txtCustNoQry,
                             ctl::txtCustNameQry,
                             ctl::cmdQry,
                             ctl::txtDateB,
                             ctl::txtDateE,
                             ctl::Check1,
                             ctl::cmdPrintS,
                             ctl::chkMasterDB,
                             ctl::txtIP,
                             ctl::txtPWD,
                             ctl::cmdSetting,
                             ctl::cmdTest,
                             ctl::cmdSetStore,
                             ctl::cmdHideSetting,
                             ctl::cmdExit,
                             ctl::elaMsg,
                             ctl::lblMode,
                             ctl::lblStatus,
                             ctl::tabPage,
                             ctl::fgTMP,
                             ctl::txtTxnDept(2),
                             ctl::cmdTxnDept(2),
                             QStringLiteral("elaHead"),
                             QStringLiteral("elaSBar")};
        for (int i = 0; i < 3; ++i)
            names << ctl::lblHead(i);
        for (int i = 0; i < 2; ++i)
            names << ctl::txtTxnDept(i) << ctl::cmdTxnDept(i) << ctl::txtCheckNo(i) << ctl::cmdRefNo(i)
                  << ctl::txtAmt(i) << ctl::cmdVoidAmt(i) << ctl::txtRemark(i) << ctl::cmdRemark(i)
                  << ctl::cmdOK(i);
        for (const QString& name : names) {
            QWidget* w = window.control(name);
            QVERIFY2(w, qPrintable(name));
            QCOMPARE(w->accessibleDescription(), name);
        }
        QCOMPARE(view.text(ctl::cmdVoidAmt(0)), QStringLiteral("加值金額"));
        QCOMPARE(view.text(ctl::cmdVoidAmt(1)), QStringLiteral("抵扣金額"));
        QCOMPARE(view.text(ctl::cmdExit), QStringLiteral("&Z結束"));
        auto* tabs = qobject_cast<QTabWidget*>(window.control(ctl::tabPage));
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions.join(QLatin1Char('|')), QStringLiteral("儲值|扣點|連線設定|查詢|報表"));
        QVERIFY(!tabs->isTabVisible(ctl::kSettings));
        QCOMPARE(qobject_cast<QLineEdit*>(window.control(ctl::txtPWD))->echoMode(), QLineEdit::Password);
    }

    void fitsATillAndButtonsAreTouchSized() {
        MainWindow window;
        window.resize(1024, 768);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.minimumSizeHint().width() <= 1024);
        QVERIFY(window.minimumSizeHint().height() <= 768);
        for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
            if (b->isVisibleTo(&window) && qobject_cast<QTabWidget*>(b->parentWidget()) == nullptr)
                QVERIFY2(b->height() >= 48, qPrintable(b->objectName()));
        }
        QVERIFY(window.control(ctl::txtAmt(0))->font().pointSizeF() >= 14);
        QVERIFY(window.control(ctl::txtTBonusAmt)->font().pointSizeF() >= 14);
    }

    void clicksReachTheDesk() {
        DeskFixture f;
        MainWindow window;
        MainWindowView view(window);
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        desk.Form_Load();
        QCOMPARE(view.selectedTab(), int(ctl::kQuery));

        QTest::mouseDClick(window.control(ctl::lblHead(2)), Qt::LeftButton);
        QVERIFY(view.isTabShown(ctl::kSettings));
        QWidget* master = window.control(ctl::chkMasterDB);
        QTest::mouseClick(master, Qt::LeftButton, {}, QPoint(12, master->height() / 2));
        QCOMPARE(f.get("ZEL", "TOLVA", "chkMasterDB"), QStringLiteral("1"));
        QTest::mouseClick(window.control(ctl::cmdHideSetting), Qt::LeftButton);
        QVERIFY(!view.isTabShown(ctl::kSettings));
        QCOMPARE(view.selectedTab(), int(ctl::kDeposit));
    }

    void theOperatorsRoadThroughTheWidgets() {
        // The real window against the real memberd: type a card, look it up,
        // key an amount and confirm a deposit.
        DeskFixture f;
        const QString memberConn =
            QStringLiteral("Provider=SQLite;Data Source=") + f.dir.filePath(QStringLiteral("member.db"));
        Database member;
        member.open(memberConn);
        member.execute(QStringLiteral(
            "INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('M0001', '王小明', 1200)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.42"), memberConn);
        QVERIFY(memberd.start());
        f.save("ZELQ", "TOLVA", "IP", memberd.address());
        f.save("ZELQ", "TOLVA", "PWD", QStringLiteral("secret"));
        f.ctx.gCNT.execute(QStringLiteral("INSERT INTO OCHECK (CheckNo) VALUES ('A0012')"));

        MainWindow window;
        MainWindowView view(window);
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        desk.Form_Load();
        QCOMPARE(view.text(ctl::lblMode), QStringLiteral("Connected.  "));

        QTest::keyClicks(window.control(ctl::txtCustNoQry), QStringLiteral("M0001"));
        QTest::mouseClick(window.control(ctl::cmdQry), Qt::LeftButton);
        QCOMPARE(view.text(ctl::txtCustName), QStringLiteral("王小明"));
        QCOMPARE(view.text(ctl::txtTBonusAmt), QStringLiteral("1,200"));
        QVERIFY(view.isVisible(ctl::cmdUPDCust));

        view.selectTab(ctl::kDeposit);
        f.dialogs.keypadAnswers << QStringLiteral("A0012") << QStringLiteral("300");
        QTest::mouseClick(window.control(ctl::cmdRefNo(0)), Qt::LeftButton);
        QTest::mouseClick(window.control(ctl::cmdVoidAmt(0)), Qt::LeftButton);
        QCOMPARE(view.text(ctl::txtAmt(0)), QStringLiteral("300"));
        QTest::mouseClick(window.control(ctl::cmdOK(0)), Qt::LeftButton);
        QSqlQuery q = member.query(QStringLiteral("SELECT TBonusAmt FROM CUST WHERE CustNo = 'M0001'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toDouble(), 1500.0);
        QVERIFY(f.dialogs.msgs.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
