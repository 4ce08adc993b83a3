// The desk's main job end to end against the real memberd on loopback: card
// lookup, card issue, customer update, deposits and deductions, the answer
// to a POS station, and the refusals that keep a guest from being charged
// twice or below zero.
#include "common/Formatting.h"
#include "desk/MemberDesk.h"
#include "support/LoopbackBlock.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <sys/types.h>

using namespace tolva;

namespace {
QString logOf(const DeskFixture& f) {
    QFile log(f.ctx.g.gLogFile);
    return log.open(QIODevice::ReadOnly) ? f.ctx.codePage.decode(log.readAll()) : QString();
}
} // namespace

class TestDeskCards : public QObject {
    Q_OBJECT

private slots:
    void handedOverDeductionFromRequestToAnswer() {
        MemberDesk m(QStringLiteral("127.0.0.31"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("王小明"), 1200);
        m.handOff(QStringLiteral("2"), QStringLiteral("500"), QStringLiteral("M0001"));
        m.desk.Form_Load();
        QVERIFY(m.desk.state().linked());
        QCOMPARE(m.view.text(ctl::lblMode), QStringLiteral("Connected.  "));
        QCOMPARE(m.view.text(ctl::txtCustName), QStringLiteral("王小明"));
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), QStringLiteral("1,200"));
        QCOMPARE(m.view.text(ctl::txtAmt(1)), QStringLiteral("500"));
        QCOMPARE(m.view.currentTab, int(ctl::kDeduction));
        QVERIFY(m.view.isVisible(ctl::cmdOK(1)));
        QVERIFY(m.f.dialogs.msgs.isEmpty());

        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 700.0);
        for (Database* db : {&m.member, &m.f.ctx.gCNT}) {
            QSqlQuery q = db->query(QStringLiteral("SELECT TxnDept, TxnType, CardNo, TxnAmt, RefCheckNo, "
                                                   "POSID, UserID, Remark, TxnDate FROM VCardLog"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("S01"));
            QCOMPARE(q.value(1).toString(), QStringLiteral("2"));
            QCOMPARE(q.value(2).toString(), QStringLiteral("M0001"));
            QCOMPARE(q.value(3).toDouble(), 500.0);
            QCOMPARE(q.value(4).toString(), QStringLiteral("A0012"));
            QCOMPARE(q.value(5).toString(), QStringLiteral("WS01"));
            QCOMPARE(q.value(6).toString(), QStringLiteral("cashier1"));
            QCOMPARE(q.value(7).toString(), QString());
            QCOMPARE(readAsDate(q.value(8))->date(), QDate(2026, 12, 8));
            QVERIFY(!q.next());
        }
        QCOMPARE(m.f.get("ZEL", "TOLVA", "CheckNoAuth"), QStringLiteral("A0012"));
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("500"));
        // Every posting step is in the log file, so a cut-short posting can be traced.
        const QString log = logOf(m.f);
        for (const char* step :
             {"送出餘額異動", "餘額異動完成", "本機交易記錄完成", "遠端交易記錄完成", "回覆已寫入"})
            QVERIFY2(log.contains(QString::fromUtf8(step)), step);
        QVERIFY(log.contains(QStringLiteral("卡號=M0001 類別=2 金額=500 帳單號=A0012")));

        // The same confirmation pressed again posts nothing more.
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.msgs.value(0), QStringLiteral("交易已送出，請勿重複確認"));
        QCOMPARE(m.balance(QStringLiteral("M0001")), 700.0);
        QCOMPARE(m.remoteLogRows(), 1);
    }

    void handedOverDepositPostsTheBonusAndAnswersTheRequest() {
        MemberDesk m(QStringLiteral("127.0.0.32"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0002"), QStringLiteral("陳美玲"), 100);
        m.handOff(QStringLiteral("1"), QStringLiteral("20000"), QStringLiteral("M0002"));
        m.desk.Form_Load();
        QCOMPARE(m.view.text(ctl::txtAmt(0)), QStringLiteral("22000"));
        m.desk.cmdOK_Click(0);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0002")), 22100.0);
        QCOMPARE(MemberDesk::value(m.member, QStringLiteral("SELECT TxnAmt FROM VCardLog")), 22000.0);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("20000"));
    }

    void deductionUpToTheShownBalanceOnly() {
        MemberDesk m(QStringLiteral("127.0.0.33"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0003"), QStringLiteral("林志豪"), 300);
        m.handOff(QStringLiteral("2"), QStringLiteral("301"), QStringLiteral("M0003"));
        m.desk.Form_Load();
        // More than the balance is refused at start and the confirm button hidden.
        QCOMPARE(m.f.dialogs.msgs, QStringList{QStringLiteral("餘額不足: 餘額 300，需 301")});
        QVERIFY(!m.view.isVisible(ctl::cmdOK(1)));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("餘額不足: 餘額 300，需 301"));
        QCOMPARE(m.balance(QStringLiteral("M0003")), 300.0);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);
        QVERIFY(!m.view.ended);

        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("300");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0003")), 0.0);
    }

    void amountTextNeverReachesTheStatement_data() {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("injection") << "500 Where 1=1 --"
                                   << "金額必需為數字";
        QTest::newRow("grouping") << "1,050"
                                  << "金額必需為數字";
        QTest::newRow("letters") << "abc"
                                 << "金額必需為數字";
        QTest::newRow("empty") << ""
                               << "金額不可為零";
        QTest::newRow("zero") << "0.00"
                              << "金額不可為零";
    }
    void amountTextNeverReachesTheStatement() {
        QFETCH(QString, amount);
        QFETCH(QString, refusal);
        MemberDesk m(QStringLiteral("127.0.0.34"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.addCard(QStringLiteral("M0002"), QStringLiteral("乙"), 1000);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));
        m.view.texts[ctl::txtCheckNo(0)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(0)] = amount;
        m.desk.cmdOK_Click(0);
        QCOMPARE(m.f.dialogs.lastMsg(), refusal);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 1000.0);
        QCOMPARE(m.balance(QStringLiteral("M0002")), 1000.0);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);

        // Leaving the field with such a text is refused on the status line.
        bool cancel = false;
        m.desk.txtAmt_Validate(0, cancel);
        QCOMPARE(cancel, refusal == QStringLiteral("金額必需為數字"));
    }

    void deskModeTakesEachPagesOwnType() {
        MemberDesk m(QStringLiteral("127.0.0.35"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0004"), QStringLiteral("張淑芬"), 100);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0004"));
        QCOMPARE(m.view.text(ctl::txtCustNo), QStringLiteral("M0004"));
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("500");
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("餘額不足: 餘額 100，需 500"));
        // The deposit that follows is a deposit, not a second deduction.
        m.view.texts[ctl::txtCheckNo(0)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(0)] = QStringLiteral("12.5");
        m.desk.cmdOK_Click(0);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0004")), 112.5);
        QCOMPARE(MemberDesk::value(m.member, QStringLiteral("SELECT TxnType FROM VCardLog")), 1.0);
    }

    void queryIssueAndUpdate() {
        MemberDesk m(QStringLiteral("127.0.0.36"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0005"), QStringLiteral("黃建國"), 1250.5);
        m.addCard(QStringLiteral("M0006"), QStringLiteral("黃建國"), 10);
        m.desk.Form_Load();

        // Both query fields together find the one card that has both.
        m.view.texts[ctl::txtCustNoQry] = QStringLiteral("M0006");
        m.view.texts[ctl::txtCustNameQry] = QStringLiteral("黃建國");
        m.desk.cmdQry_Click();
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), QStringLiteral("10"));
        m.view.texts[ctl::txtCustNameQry].clear();
        m.query(QStringLiteral("M0005"));
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), QStringLiteral("1,251"));
        QVERIFY(m.view.isVisible(ctl::cmdUPDCust));
        m.query(QStringLiteral("NOPE"));
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("客戶資料未建檔"));
        // The holder looked up before leaves the screen; the number asked for stays.
        QCOMPARE(m.view.text(ctl::txtCustName), QString());
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), QString());
        QCOMPARE(m.view.text(ctl::txtCustNo), QStringLiteral("NOPE"));

        // A new card, with an apostrophe in the name and the store id as its store.
        m.view.texts[ctl::txtCustNo] = QStringLiteral("N0001");
        m.view.texts[ctl::txtCustName] = QStringLiteral("O'Neil 小吃");
        m.view.texts[ctl::txtFmComID].clear();
        m.desk.cmdIsuCard_Click();
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("成功發卡"));
        QSqlQuery q = m.member.query(
            QStringLiteral("SELECT CustName, FmComID, TBonusAmt, UserID FROM CUST WHERE CustNo = 'N0001'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("O'Neil 小吃"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("S01"));
        QCOMPARE(q.value(2).toDouble(), 0.0);
        QCOMPARE(q.value(3).toString(), QStringLiteral("cashier1"));
        q.finish(); // an open statement would keep reading the old snapshot
        m.desk.cmdIsuCard_Click();
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("客戶資料已存在"));

        // An update names its operator and keeps the issuer; No writes nothing.
        m.f.ctx.g.gUserID = QStringLiteral("manager");
        m.view.texts[ctl::txtCustName] = QStringLiteral("O'Neil 餐館");
        m.f.dialogs.yesNoAnswers << false << true;
        m.desk.cmdUPDCust_Click();
        QCOMPARE(m.f.dialogs.lastShown().text, QStringLiteral("是否要更新此客戶的資料?"));
        QCOMPARE(m.f.dialogs.lastShown().icon, Dialogs::Icon::None);
        m.desk.cmdUPDCust_Click();
        q = m.member.query(
            QStringLiteral("SELECT CustName, UserID, UpdUserID FROM CUST WHERE CustNo = 'N0001'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("O'Neil 餐館"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("cashier1"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("manager"));
        QCOMPARE(m.f.dialogs.shown.size(), 2);
    }

    void aNameSearchLeadsToTheCardShown() {
        MemberDesk m(QStringLiteral("127.0.0.231"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0011"), QStringLiteral("陳美玲"), 800);
        m.addCard(QStringLiteral("M0012"), QStringLiteral("張家豪"), 100);
        m.addCard(QStringLiteral("M0013"), QStringLiteral("張家豪"), 200);
        m.member.execute(QStringLiteral("UPDATE CUST SET Tel1 = '0912000013' WHERE CustNo = 'M0013'"));
        m.desk.Form_Load();

        // One card of the name: its number fills the card field, and a
        // deduction on it goes through without the number typed.
        m.view.texts[ctl::txtCustNameQry] = QStringLiteral("陳美玲");
        m.desk.cmdQry_Click();
        QCOMPARE(m.view.text(ctl::txtCustNo), QStringLiteral("M0011"));
        QVERIFY(m.f.dialogs.picksShown.isEmpty());
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("50");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0011")), 750.0);

        // Several cards of the name: a list of card, name and telephone; the
        // card picked is the one shown.
        m.view.ended = false;
        m.view.texts[ctl::txtCustNameQry] = QStringLiteral("張家豪");
        m.f.dialogs.pickAnswers << 1;
        m.desk.cmdQry_Click();
        QCOMPARE(m.f.dialogs.picksShown.size(), 1);
        const FakeDialogs::Pick& pick = m.f.dialogs.picksShown.first();
        QCOMPARE(pick.label1, QStringLiteral("卡號"));
        QCOMPARE(pick.rows.size(), 2);
        QCOMPARE(pick.rows[1].value(0), QStringLiteral("M0013"));
        QVERIFY(pick.rows[1].value(1).contains(QStringLiteral("張家豪")));
        QVERIFY(pick.rows[1].value(1).contains(QStringLiteral("0912000013")));
        QCOMPARE(m.view.text(ctl::txtCustNo), pick.rows[1].value(0));
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), m.view.text(ctl::txtCustNo) == QStringLiteral("M0013")
                                                     ? QStringLiteral("200")
                                                     : QStringLiteral("100"));
        QCOMPARE(m.desk.state().card().cardNo, m.view.text(ctl::txtCustNo));

        // Leaving the list shows no one.
        m.desk.cmdQry_Click();
        QCOMPARE(m.f.dialogs.picksShown.size(), 2);
        QCOMPARE(m.view.text(ctl::txtCustNo), QString());
        QCOMPARE(m.view.text(ctl::txtCustName), QString());
        QVERIFY(!m.desk.state().card().loaded);
    }

    void billsOfThisStoreAreLookedUp() {
        MemberDesk m(QStringLiteral("127.0.0.37"));
        m.desk.Form_Load();
        bool cancel = false;
        m.view.texts[ctl::txtCheckNo(0)] = QStringLiteral("A0099");
        m.desk.txtCheckNo_Validate(0, cancel);
        QVERIFY(cancel);
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("此帳單號不存在"));
        QCOMPARE(m.view.lastFocused(), ctl::txtCheckNo(0));
        cancel = false;
        m.view.texts[ctl::txtCheckNo(0)] = QStringLiteral("A0012");
        m.desk.txtCheckNo_Validate(0, cancel);
        QVERIFY(!cancel);
        // Another store's bill is taken unchecked.
        m.view.texts[ctl::txtTxnDept(0)] = QStringLiteral("S02");
        m.view.texts[ctl::txtCheckNo(0)] = QStringLiteral("B7777");
        m.desk.txtCheckNo_Validate(0, cancel);
        QVERIFY(!cancel);

        // Keypads: a confirmed entry fills the field, a cancelled one leaves it.
        m.view.texts[ctl::txtTxnDept(1)] = QStringLiteral("S01");
        m.f.dialogs.keypadAnswers << QStringLiteral("A0012") << std::nullopt << QStringLiteral("350");
        m.view.texts[ctl::elaMsg].clear();
        m.desk.cmdRefNo_Click(1);
        QCOMPARE(m.view.text(ctl::txtCheckNo(1)), QStringLiteral("A0012"));
        QCOMPARE(m.view.text(ctl::elaMsg), QString());
        m.view.texts[ctl::txtCheckNo(1)].clear();
        m.desk.cmdRefNo_Click(1);
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("此帳單號不存在"));
        m.desk.cmdVoidAmt_Click(1);
        QCOMPARE(m.view.text(ctl::txtAmt(1)), QStringLiteral("350"));
        QCOMPARE(m.f.dialogs.keypadsShown,
                 (QList<Dialogs::Keypad>{Dialogs::Keypad::Alphanumeric, Dialogs::Keypad::Alphanumeric,
                                         Dialogs::Keypad::Numeric}));
    }

    void remoteBalanceCheckStopsTwoTills() {
        MemberDesk m(QStringLiteral("127.0.0.38"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0007"), QStringLiteral("甲"), 1000);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0007"));
        // Another till spends most of the balance after this one looked it up.
        m.member.execute(QStringLiteral("UPDATE CUST SET TBonusAmt = 200 WHERE CustNo = 'M0007'"));
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("800");
        m.desk.cmdOK_Click(1);
        QVERIFY(!m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0007")), 200.0);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);
        // The guarded statement changed no row: refused in the desk's words,
        // never with the database's constraint text; the operator may retry.
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("餘額不足"));
        QVERIFY(m.f.dialogs.shown.isEmpty());
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("150");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0007")), 50.0);
    }

    void missingRepliesNeverIssueACard() {
        // A service that accepts the log-in and then never answers.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress(LoopbackBlock::own(QStringLiteral("127.0.0.39"))), 3501));
        bool sawInsert = false;
        QObject::connect(&silent, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = silent.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, [s, &sawInsert] {
                const QByteArray request = s->readAll();
                sawInsert = sawInsert || request.contains("INSERT");
                if (request.contains("TCPCNT"))
                    s->write(QByteArray("ZELQTCPCNT00000000\x03"));
            });
        });
        MemberDesk m(QStringLiteral("127.0.0.39"));
        m.link.setStepLength(std::chrono::milliseconds(1));
        m.desk.Form_Load();
        QVERIFY(m.desk.state().linked());
        m.query(QStringLiteral("M0001"));
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"));
        m.view.texts[ctl::txtCustNo] = QStringLiteral("M0001");
        m.desk.cmdIsuCard_Click();
        QCOMPARE(m.f.dialogs.msgs.size(), 2);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"));
        QVERIFY(m.view.text(ctl::elaMsg) != QStringLiteral("成功發卡"));
        QVERIFY(!sawInsert);
    }

    // memberd stops answering (stopped, its socket still taking connections):
    // while the desk waits, the status line says so and the pointer is busy;
    // when the wait runs out the operator is told as before and neither the
    // waiting text nor the busy pointer stays.
    void hungServiceIsShownWhileTheDeskWaits() {
        MemberDesk m(QStringLiteral("127.0.0.223"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 100);
        m.link.setStepLength(std::chrono::milliseconds(1));
        m.desk.Form_Load();
        QVERIFY(m.desk.state().linked());
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("連線成功"));
        m.link.setBusyAfter(std::chrono::milliseconds(0));
        m.view.statusTexts.clear();
        m.f.dialogs.busyPointers = 0;
        m.f.dialogs.normalPointers = 0;

        const auto pid = static_cast<pid_t>(m.memberd->process().processId());
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        m.query(QStringLiteral("M0001"));
        QCOMPARE(::kill(pid, SIGCONT), 0);

        QVERIFY2(m.view.statusTexts.contains(QStringLiteral("等待會員資料庫回應…")),
                 qPrintable(m.view.statusTexts.join(u'|')));
        QVERIFY(m.view.text(ctl::elaMsg) != QStringLiteral("等待會員資料庫回應…"));
        QVERIFY(m.f.dialogs.busyPointers >= 1);
        QVERIFY(m.f.dialogs.normalPointers >= m.f.dialogs.busyPointers);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"));
    }

    void masterModeIsOneTransactionAndNeverBelowZero() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        // The local database is the master: the desk and memberd share it.
        MemberDesk m(QStringLiteral("127.0.0.40"), pg.connectionString());
        m.f.ctx.gCNT.open(pg.connectionString());
        m.f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
        m.f.ctx.gCNT.execute(QStringLiteral("INSERT INTO OCHECK (CheckNo, StoreID) VALUES ('A0012', 'S01')"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0008"), QStringLiteral("乙"), 1000);
        m.f.save("ZEL", "TOLVA", "chkMasterDB", QStringLiteral("1"));
        m.desk.Form_Load();
        QVERIFY(m.view.master);
        m.query(QStringLiteral("M0008"));

        // A log row that cannot be written takes the balance change back with it.
        m.f.ctx.gCNT.execute(QStringLiteral("ALTER TABLE VCardLog RENAME TO VCardLogAway"));
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("800");
        m.desk.cmdOK_Click(1);
        QVERIFY(!m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0008")), 1000.0);
        m.f.ctx.gCNT.execute(QStringLiteral("ALTER TABLE VCardLogAway RENAME TO VCardLog"));

        // Another till takes 800 first: this one is refused, not taken below zero.
        m.member.execute(
            QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt - 800 WHERE CustNo = 'M0008'"));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("餘額不足"));
        QCOMPARE(m.balance(QStringLiteral("M0008")), 200.0);
        QCOMPARE(m.localLogRows(), 0);

        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("200");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0008")), 0.0);
        QCOMPARE(m.localLogRows(), 1);
    }

    void serviceDownAtStart() {
        MemberDesk m(QStringLiteral("127.0.0.41")); // nothing listens there
        m.desk.Form_Load();
        QVERIFY(!m.desk.state().linked());
        QCOMPARE(m.f.dialogs.msgs, QStringList{QStringLiteral("無法與會員資料庫連線!!")});
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("無法與會員資料庫連線!!"));
        QVERIFY(m.view.text(ctl::lblMode).isEmpty());
    }

    void noLinkRefusesIssueAndUpdate() {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        desk.Form_Load();
        view.texts[ctl::txtCustNo] = QStringLiteral("M0001");
        desk.cmdIsuCard_Click();
        desk.cmdUPDCust_Click();
        QCOMPARE(f.dialogs.msgs,
                 (QStringList{QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"),
                              QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認")}));
        view.texts[ctl::txtCustNo].clear();
        desk.cmdIsuCard_Click();
        QCOMPARE(view.text(ctl::elaMsg), QStringLiteral("請輸入卡號"));
    }
};

QTEST_GUILESS_MAIN(TestDeskCards)
#include "tst_desk_cards.moc"
