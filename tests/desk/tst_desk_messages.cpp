// What the operator is told, through the desk logic without windows: a
// refusal stays until touched and gives its figures, a status line never
// speaks of a value already corrected, an action that succeeds says so, and
// a banner stands while the link to the member service is down.
#include "desk/MemberDesk.h"
#include "desk/SettingsPage.h"

#include <QTest>

using namespace tolva;

namespace {
const QString kLinkLost = QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認");
const QString kBanner = QStringLiteral("會員資料庫連線中斷，請改用電話授權，輸入授權碼後按確認");
} // namespace

class TestDeskMessages : public QObject {
    Q_OBJECT

private slots:
    void refusalsStayUntilTouchedAndGiveTheFigures() {
        MemberDesk m(QStringLiteral("127.0.0.245"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0003"), QStringLiteral("林志豪"), 300);
        // A handed-over deduction the balance cannot cover is refused at once.
        m.handOff(QStringLiteral("2"), QStringLiteral("1000"), QStringLiteral("M0003"));
        m.desk.Form_Load();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("餘額不足: 餘額 300，需 1,000"));
        QCOMPARE(m.f.dialogs.msgSeconds.value(0, -1), Dialogs::kUntilTouched);
        QVERIFY(!m.view.isVisible(ctl::cmdOK(1)));

        // At 確認: a page refusal and a short balance, each staying.
        m.view.texts[ctl::txtCheckNo(1)].clear();
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("請輸入帳單號"));
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("1250.5");
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("餘額不足: 餘額 300，需 1,250.5"));
        QCOMPARE(m.f.dialogs.msgSeconds, QList<int>(3, Dialogs::kUntilTouched));
        QCOMPARE(m.balance(QStringLiteral("M0003")), 300.0);
        QVERIFY(!m.view.ended);

        // A test of the link that succeeds closes by itself.
        m.desk.settingsPage().cmdTest_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線成功"));
        QVERIFY(m.f.dialogs.msgSeconds.last() > 0);
    }

    void theBannerStandsWhileTheLinkIsDown() {
        MemberDesk m(QStringLiteral("127.0.0.246")); // not started yet
        m.addCard(QStringLiteral("M0001"), QStringLiteral("王小明"), 1200);
        QVERIFY(!m.view.isVisible(ctl::lblLinkDown));
        m.desk.Form_Load();
        QVERIFY(!m.desk.state().linked());
        QVERIFY(m.view.isVisible(ctl::lblLinkDown));
        QCOMPARE(m.view.text(ctl::lblLinkDown), kBanner);

        // Every "連線中斷" says what to do next: a query, and a posting
        // without a phone code.
        m.query(QStringLiteral("M0001"));
        QCOMPARE(m.f.dialogs.lastMsg(), kLinkLost);
        m.view.texts[ctl::txtCustNo] = QStringLiteral("M0001");
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("100");
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), kLinkLost);
        QCOMPARE(m.f.dialogs.msgSeconds.last(), Dialogs::kUntilTouched);
        QVERIFY(m.view.isVisible(ctl::lblLinkDown));

        // The service is back: the next log-in takes the banner down.
        QVERIFY(m.memberd->start());
        m.query(QStringLiteral("M0001"));
        QVERIFY(m.desk.state().linked());
        QCOMPARE(m.view.text(ctl::txtCustName), QStringLiteral("王小明"));
        QVERIFY(!m.view.isVisible(ctl::lblLinkDown));
    }

    void statusLinesNeverSpeakOfACorrectedValue() {
        MemberDesk m(QStringLiteral("127.0.0.247"));
        QVERIFY(m.memberd->start());
        m.desk.Form_Load();
        bool cancel = false;

        // A bill typed wrong, then corrected by typing.
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0099");
        m.desk.txtCheckNo_Validate(1, cancel);
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("此帳單號不存在"));
        // Another field changing leaves it.
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("200");
        m.desk.field_Change(ctl::txtAmt(1));
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("此帳單號不存在"));
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A001");
        m.desk.field_Change(ctl::txtCheckNo(1));
        QCOMPARE(m.view.text(ctl::elaMsg), QString());

        // The same by keypad: a wrong bill, then the right one.
        m.f.dialogs.keypadAnswers << QStringLiteral("A0098") << QStringLiteral("A0012");
        m.desk.cmdRefNo_Click(1);
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("此帳單號不存在"));
        m.desk.cmdRefNo_Click(1);
        QCOMPARE(m.view.text(ctl::elaMsg), QString());

        // An amount that is not a number, then retyped by keypad.
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("abc");
        m.desk.txtAmt_Validate(1, cancel);
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("金額必需為數字"));
        m.f.dialogs.keypadAnswers << QStringLiteral("300");
        m.desk.cmdVoidAmt_Click(1);
        QCOMPARE(m.view.text(ctl::elaMsg), QString());

        // A card not on file, then another card asked for.
        m.query(QStringLiteral("X9999"));
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("客戶資料未建檔"));
        m.view.texts[ctl::txtCustNoQry] = QStringLiteral("M0001");
        m.desk.field_Change(ctl::txtCustNoQry);
        QCOMPARE(m.view.text(ctl::elaMsg), QString());

        // A store code already on file, then a new code typed.
        SettingsPage& settings = m.desk.settingsPage();
        m.view.texts[ctl::txtTxnDept(2)] = QStringLiteral("S01");
        settings.cmdSetStore_Click();
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("此分店已建檔"));
        m.view.texts[ctl::txtTxnDept(2)] = QStringLiteral("S05");
        m.desk.field_Change(ctl::txtTxnDept(2));
        QCOMPARE(m.view.text(ctl::elaMsg), QString());

        // A line the link wrote meanwhile is not the desk's to empty.
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0097");
        m.desk.txtCheckNo_Validate(1, cancel);
        m.view.setText(ctl::elaMsg, QStringLiteral("連線成功"));
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.desk.field_Change(ctl::txtCheckNo(1));
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("連線成功"));
    }

    void actionsThatSucceedSaySo() {
        MemberDesk m(QStringLiteral("127.0.0.248"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("王小明"), 1200);
        m.desk.Form_Load();

        m.query(QStringLiteral("M0001"));
        m.view.texts[ctl::txtTEL1] = QStringLiteral("02-2345-6789");
        m.f.dialogs.yesNoAnswers << true;
        m.desk.cmdUPDCust_Click();
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("已更新會員資料"));
        // Answered No: nothing written, nothing claimed.
        m.view.setText(ctl::elaMsg, QString());
        m.f.dialogs.yesNoAnswers << false;
        m.desk.cmdUPDCust_Click();
        QCOMPARE(m.view.text(ctl::elaMsg), QString());

        m.view.texts[ctl::txtTxnDept(2)] = QStringLiteral("S05");
        m.desk.settingsPage().cmdSetStore_Click();
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("已設定來源別 S05"));
        QCOMPARE(m.view.text(ctl::txtTxnDept(2)), QString());
    }
};

QTEST_GUILESS_MAIN(TestDeskMessages)
#include "tst_desk_messages.moc"
