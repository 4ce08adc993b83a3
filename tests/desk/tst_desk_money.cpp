// What each accepted input and each failure does to a balance, against the
// real memberd: the card on screen is the card charged, amounts are positive,
// a posting that changes no row is no posting, a link that went down comes
// back, and an outcome nobody knows is said as such.
#include "desk/MemberDesk.h"
#include "support/LoopbackBlock.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace tolva;

namespace {
QString logOf(const DeskFixture& f) {
    QFile log(f.ctx.g.gLogFile);
    return log.open(QIODevice::ReadOnly) ? f.ctx.codePage.decode(log.readAll()) : QString();
}

QString sqliteMember(const DeskFixture& f) {
    return QStringLiteral("Provider=SQLite;Data Source=") + f.dir.filePath(QStringLiteral("member.db"));
}

bool anyCritical(const FakeDialogs& dialogs) {
    for (const FakeDialogs::Shown& box : dialogs.shown)
        if (box.icon == Dialogs::Icon::Critical || box.icon == Dialogs::Icon::Warning)
            return true;
    return false;
}

// Puts a bill and an amount on a page, the way the operator does.
void fillPage(FakeDeskView& view, int page, const QString& amount,
              const QString& bill = QStringLiteral("A0012")) {
    view.texts[ctl::txtCheckNo(page)] = bill;
    view.texts[ctl::txtAmt(page)] = amount;
}
} // namespace

// A second till on the same member service: its own window, settings and
// local database (or the shared master database), its own link.
struct OtherTill {
    DeskFixture f;
    FakeDeskView view;
    LinkClient link{f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage};
    Desk desk{f.ctx, view, link};

    OtherTill(const QString& address, const QString& localConn) : f(localConn) {
        if (!f.ctx.gCNT.hasRow(QStringLiteral("SELECT 1 FROM xxPARAM WHERE ParamID = 'StoreID'")))
            f.ctx.gCNT.execute(
                QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
        if (!f.ctx.gCNT.hasRow(QStringLiteral("SELECT 1 FROM OCHECK WHERE CheckNo = 'A0012'")))
            f.ctx.gCNT.execute(
                QStringLiteral("INSERT INTO OCHECK (CheckNo, StoreID) VALUES ('A0012', 'S01')"));
        f.save("ZELQ", "TOLVA", "IP", address);
        f.save("ZELQ", "TOLVA", "PWD", QStringLiteral("secret"));
        desk.setPause([](int) {});
    }
};

class TestDeskMoney : public QObject {
    Q_OBJECT

private slots:
    void negativeAmountsAreRefused() {
        MemberDesk m(QStringLiteral("127.0.0.80"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));
        for (int page : {0, 1}) {
            fillPage(m.view, page, QStringLiteral("-5"));
            m.desk.cmdOK_Click(page);
            QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("金額必需大於零"));
            bool cancel = false;
            m.desk.txtAmt_Validate(page, cancel);
            QVERIFY(cancel);
            QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("金額必需大於零"));
        }
        QCOMPARE(m.balance(QStringLiteral("M0001")), 1000.0);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);
        QVERIFY(!m.view.ended);
    }

    void deductionIsCheckedAgainstTheStoredBalance() {
        MemberDesk m(QStringLiteral("127.0.0.81"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 100.5);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), QStringLiteral("101")); // shown rounded
        fillPage(m.view, 1, QStringLiteral("101"));
        m.desk.cmdOK_Click(1);
        // The figures are the stored ones, not the rounded balance on screen.
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("餘額不足: 餘額 100.5，需 101"));
        QVERIFY(!anyCritical(m.f.dialogs));
        QCOMPARE(m.balance(QStringLiteral("M0001")), 100.5);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);

        fillPage(m.view, 1, QStringLiteral("100.5"));
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 0.0);
    }

    // A master database on SQLite keeps balances as binary fractions: the
    // desk's statements keep them to the cent and its check compares to the
    // cent, so 0.3 is spent in three deductions of 0.1.
    void masterSqliteBalanceStaysToTheCent() {
        MemberDesk m(QStringLiteral("127.0.0.218"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0300"), QStringLiteral("甲"), 0.3);
        const QString master = sqliteMember(m.f);
        for (int i = 0; i < 3; ++i) {
            // Each confirmation ends a desk's run: a new till each time.
            OtherTill till(m.memberd->address(), master);
            till.f.save("ZEL", "TOLVA", "chkMasterDB", QStringLiteral("1"));
            till.desk.Form_Load();
            till.view.texts[ctl::txtCustNoQry] = QStringLiteral("M0300");
            till.desk.cmdQry_Click();
            fillPage(till.view, 1, QStringLiteral("0.1"));
            till.desk.cmdOK_Click(1);
            QVERIFY2(till.view.ended, qPrintable(till.f.dialogs.msgs.join(QLatin1Char('|'))));
        }
        QCOMPARE(m.balance(QStringLiteral("M0300")), 0.0);
        QCOMPARE(m.remoteLogRows(), 3);
    }

    void theCardOnScreenIsTheCardCharged() {
        MemberDesk m(QStringLiteral("127.0.0.82"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.addCard(QStringLiteral("M0002"), QStringLiteral("乙"), 1000);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));

        // Another number typed over the looked-up card: nothing is sent.
        m.view.texts[ctl::txtCustNo] = QStringLiteral("M0002");
        fillPage(m.view, 1, QStringLiteral("100"));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("卡號已變更，請重新查詢"));
        m.view.texts[ctl::txtCustName] = QStringLiteral("被覆寫");
        m.desk.cmdUPDCust_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("卡號已變更，請重新查詢"));
        QVERIFY(m.f.dialogs.shown.isEmpty()); // not even the update question
        QCOMPARE(m.balance(QStringLiteral("M0001")), 1000.0);
        QCOMPARE(m.balance(QStringLiteral("M0002")), 1000.0);
        QVERIFY(!m.member.hasRow(QStringLiteral("SELECT 1 FROM CUST WHERE CustName = '被覆寫'")));
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);

        // The card looked up again is the one updated.
        m.view.texts[ctl::txtCustNo] = QStringLiteral("M0001");
        m.desk.cmdUPDCust_Click();
        QVERIFY(m.member.hasRow(
            QStringLiteral("SELECT 1 FROM CUST WHERE CustNo = 'M0001' AND CustName = '被覆寫'")));

        // A card just issued is the current card: a deposit goes onto it.
        m.view.texts[ctl::txtCustNo] = QStringLiteral("N0001");
        m.view.texts[ctl::txtCustName] = QStringLiteral("丙");
        m.desk.cmdIsuCard_Click();
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("成功發卡"));
        fillPage(m.view, 0, QStringLiteral("50"));
        m.desk.cmdOK_Click(0);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("N0001")), 50.0);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 1000.0);
    }

    void twoTillsOnOneCard_data() {
        QTest::addColumn<bool>("postgres");
        QTest::addColumn<bool>("master");
        QTest::addColumn<bool>("keyed");
        QTest::newRow("remote, SQLite") << false << false << false;
        QTest::newRow("remote, PostgreSQL") << true << false << false;
        QTest::newRow("master, PostgreSQL") << true << true << false;
        QTest::newRow("remote, SQLite, keyed postings") << false << false << true;
        QTest::newRow("remote, PostgreSQL, keyed postings") << true << false << true;
    }
    void twoTillsOnOneCard() {
        QFETCH(bool, postgres);
        QFETCH(bool, master);
        QFETCH(bool, keyed);
        TestPostgres pg;
        if (postgres)
            REQUIRE_POSTGRES(pg);
        const QString address = QStringLiteral("127.0.0.83");
        MemberDesk a(address, postgres ? pg.connectionString() : QString(),
                     keyed ? QStringList() : QStringList{QStringLiteral("--no-keyed-postings")});
        const QString shared = postgres ? pg.connectionString() : sqliteMember(a.f);
        if (master) {
            a.f.ctx.gCNT.open(shared);
            a.f.ctx.gCNT.execute(
                QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
            a.f.ctx.gCNT.execute(
                QStringLiteral("INSERT INTO OCHECK (CheckNo, StoreID) VALUES ('A0012', 'S01')"));
            a.f.save("ZEL", "TOLVA", "chkMasterDB", QStringLiteral("1"));
        }
        OtherTill b(a.memberd->address(), master ? shared : QString());
        if (master)
            b.f.save("ZEL", "TOLVA", "chkMasterDB", QStringLiteral("1"));
        QVERIFY(a.memberd->start());
        a.addCard(QStringLiteral("M0100"), QStringLiteral("甲"), 1000);
        // Till B was handed 800 by its POS; both look the card up at 1000.
        b.f.save("ZEL", "TOLVA", "CheckNo", QStringLiteral("A0012"));
        b.f.save("ZEL", "TOLVA", "TxnAmt", QStringLiteral("800"));
        b.f.save("ZEL", "TOLVA", "TxnType", QStringLiteral("2"));
        b.f.save("ZEL", "TOLVA", "CustNo", QStringLiteral("M0100"));
        a.desk.Form_Load();
        a.query(QStringLiteral("M0100"));
        b.desk.Form_Load();
        QCOMPARE(b.view.text(ctl::txtTBonusAmt), QStringLiteral("1,000"));

        fillPage(a.view, 1, QStringLiteral("800"));
        a.desk.cmdOK_Click(1);
        QVERIFY(a.view.ended);
        b.desk.cmdOK_Click(1);
        QCOMPARE(b.f.dialogs.lastMsg(), QStringLiteral("餘額不足"));
        QVERIFY(!anyCritical(b.f.dialogs));
        QVERIFY(!b.view.ended);
        QCOMPARE(a.balance(QStringLiteral("M0100")), 200.0);
        // Nothing more is written: no log row anywhere, no answer for B's POS.
        QCOMPARE(a.remoteLogRows(), 1);
        if (!master)
            QCOMPARE(int(MemberDesk::value(b.f.ctx.gCNT, QStringLiteral("SELECT COUNT(*) FROM VCardLog"))),
                     0);
        QCOMPARE(b.f.get("ZEL", "TOLVA", "CheckNoAuth"), QString());
        QCOMPARE(b.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QString());

        // The card taken off file meanwhile: neither a deduction nor a
        // deposit is posted.
        a.member.execute(QStringLiteral("DELETE FROM CUST WHERE CustNo = 'M0100'"));
        b.view.texts[ctl::txtAmt(1)] = QStringLiteral("100");
        b.desk.cmdOK_Click(1);
        QCOMPARE(b.f.dialogs.lastMsg(), QStringLiteral("請先建立客戶資料"));
        QCOMPARE(a.remoteLogRows(), 1);
        QVERIFY(!b.view.ended);
    }

    void depositOnACardTakenOffFile() {
        MemberDesk m(QStringLiteral("127.0.0.84"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 10);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));
        m.member.execute(QStringLiteral("DELETE FROM CUST WHERE CustNo = 'M0001'"));
        fillPage(m.view, 0, QStringLiteral("100"));
        m.desk.cmdOK_Click(0);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("請先建立客戶資料"));
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);
        QVERIFY(!m.view.ended);
    }

    void billIsCheckedOnConfirm() {
        MemberDesk m(QStringLiteral("127.0.0.85"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));
        // Touching 確認 leaves no field: the bill is looked up all the same.
        fillPage(m.view, 1, QStringLiteral("100"), QStringLiteral("A0099"));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("此帳單號不存在"));
        QCOMPARE(m.balance(QStringLiteral("M0001")), 1000.0);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);
    }

    void linkStoppedAndStartedAgain() {
        MemberDesk m(QStringLiteral("127.0.0.86"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 500);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));
        QCOMPARE(m.view.text(ctl::txtCustName), QStringLiteral("甲"));
        QCOMPARE(m.view.text(ctl::lblMode), QStringLiteral("Connected.  "));

        QCOMPARE(m.memberd->terminate(), 0);
        fillPage(m.view, 1, QStringLiteral("100"));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"));
        QVERIFY(!m.desk.state().linked());
        QCOMPARE(m.view.text(ctl::lblMode), QString());

        // A query that gets no answer is no "not on file", and the previous
        // holder leaves the screen.
        m.view.texts[ctl::elaMsg].clear();
        m.query(QStringLiteral("M0001"));
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"));
        QVERIFY(m.view.text(ctl::elaMsg) != QStringLiteral("客戶資料未建檔"));
        for (const QString& field : {ctl::txtCustNo, ctl::txtCustName, ctl::txtTBonusAmt})
            QCOMPARE(m.view.text(field), QString());
        QVERIFY(!m.view.isVisible(ctl::cmdUPDCust));
        m.view.texts[ctl::txtCustNo] = QStringLiteral("N0001");
        m.desk.cmdIsuCard_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"));
        // Never a developer's error box for a link that is down.
        for (const FakeDialogs::Shown& box : m.f.dialogs.shown)
            QVERIFY2(!box.text.contains(QStringLiteral("basSOCKET")), qPrintable(box.text));
        QCOMPARE(m.f.errors(), QString());

        // The service is back: the next operation logs in again.
        m.memberd = std::make_unique<MemberdProcess>(QStringLiteral("127.0.0.86"), sqliteMember(m.f));
        QVERIFY(m.memberd->start());
        m.query(QStringLiteral("M0001"));
        QVERIFY(m.desk.state().linked());
        QCOMPARE(m.view.text(ctl::lblMode), QStringLiteral("Connected.  "));
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), QStringLiteral("500"));
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 400.0);
    }

    void balanceStatementHeldOnALockIsAnUnknownOutcome() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        MemberDesk m(QStringLiteral("127.0.0.87"), pg.connectionString());
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));

        // Another session holds the card's row past the desk's wait.
        Database holder;
        holder.open(pg.connectionString());
        holder.begin();
        holder.execute(QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt WHERE CustNo = 'M0001'"));
        m.link.setTimeoutSeconds(1);
        fillPage(m.view, 1, QStringLiteral("300"));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("交易結果不明，請查詢餘額確認"));
        QVERIFY(!m.view.ended);
        QCOMPARE(m.localLogRows(), 0);
        QVERIFY(logOf(m.f).contains(QStringLiteral("餘額異動無回應")));
        QVERIFY(m.f.errors().contains(QStringLiteral("fmTOLVA_cmdOK_Click")));
        QVERIFY(m.f.errors().contains(QStringLiteral("交易結果不明")));
        // Not sent to phone authorisation, and no second charge from here.
        QVERIFY(!m.f.dialogs.msgs.contains(QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認")));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("交易已送出，請勿重複確認"));
        holder.rollback();
    }

    void issueStandsWhenOnlyTheRequeryIsUnanswered() {
        // A service that answers the existence check and the insert, then
        // falls silent for the re-query.
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress(LoopbackBlock::own(QStringLiteral("127.0.0.88"))), 3501));
        int selects = 0;
        QObject::connect(&service, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = service.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, [s, &selects] {
                const QByteArray request = s->readAll();
                if (request.contains("TCPCNT"))
                    s->write(QByteArray("ZELQTCPCNT00000000\x03"));
                else if (request.contains("INSERT"))
                    s->write(QByteArray("ZELQSERVER00000001\x03"));
                else if (request.contains("SELECT") && ++selects == 1)
                    s->write(QByteArray("ZELQSELECT00000000\x03"));
            });
        });
        MemberDesk m(QStringLiteral("127.0.0.88"));
        m.desk.Form_Load();
        m.link.setTimeoutSeconds(1);
        m.view.texts[ctl::txtCustNo] = QStringLiteral("N0001");
        m.view.texts[ctl::txtCustName] = QStringLiteral("丙");
        m.desk.cmdIsuCard_Click();
        QCOMPARE(selects, 2);
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("成功發卡"));
        QCOMPARE(m.view.text(ctl::txtCustNo), QStringLiteral("N0001"));
    }

    void valuesThatWouldBreakTheFramingAreNeverSent() {
        MemberDesk m(QStringLiteral("127.0.0.89"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 100);
        m.addCard(QStringLiteral("M0002"), QStringLiteral("乙"), 100);
        // A handed-over card number carrying a second statement.
        m.handOff(QStringLiteral("2"), QStringLiteral("50"),
                  QStringLiteral("M0001'") + QChar(3) +
                      QStringLiteral("ZELQSERVER00Update Cust set TBonusAmt = 999999 Where CustNo = 'M0002"));
        m.desk.Form_Load();
        QVERIFY(m.f.dialogs.msgs.value(0).contains(QStringLiteral("CustNo")));
        QCOMPARE(m.balance(QStringLiteral("M0002")), 100.0);
        QCOMPARE(m.view.text(ctl::txtCustNo), QString());
        QCOMPARE(m.desk.state().handOff().type, QString());

        // Typed values with control characters are refused before sending.
        m.query(QStringLiteral("M0002'") + QChar(3) + QStringLiteral("ZELQSERVER00Delete From Cust"));
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("卡號含有無效的字元，請重新輸入"));
        m.query(QStringLiteral("M0001"));
        fillPage(m.view, 1, QStringLiteral("10"), QStringLiteral("A0012") + QChar(0));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("帳單號含有無效的字元，請重新輸入"));
        m.view.texts[ctl::txtCustName] = QStringLiteral("甲") + QChar(3);
        m.desk.cmdUPDCust_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("姓名含有無效的字元，請重新輸入"));
        QCOMPARE(m.balance(QStringLiteral("M0001")), 100.0);
        QCOMPARE(m.balance(QStringLiteral("M0002")), 100.0);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);
        QVERIFY(!m.member.hasRow(
            QStringLiteral("SELECT 1 FROM CUST WHERE CustName <> '甲' AND CustNo = 'M0001'")));
    }

    void valuesFitBeforeMoneyMoves() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        MemberDesk m(QStringLiteral("127.0.0.90"), pg.connectionString());
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.desk.Form_Load();
        m.query(QStringLiteral("M0001"));
        // Another store's bill is not looked up, so only its length stops it.
        m.view.texts[ctl::txtTxnDept(1)] = QStringLiteral("S02");
        fillPage(m.view, 1, QStringLiteral("100"), QString(31, QLatin1Char('B')));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("帳單號過長，最多 30 個字"));
        QCOMPARE(m.balance(QStringLiteral("M0001")), 1000.0);
        QCOMPARE(m.remoteLogRows() + m.localLogRows(), 0);

        fillPage(m.view, 1, QStringLiteral("100"), QString(30, QLatin1Char('B')));
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 900.0);
        QCOMPARE(m.remoteLogRows(), 1);
    }

    void answerCarriesTheAmountConfirmed_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QString>("confirmed"); // empty: as the page opened
        QTest::addColumn<QString>("answer");
        QTest::addColumn<double>("balance");
        QTest::newRow("deposit as opened, with bonus") << "1"
                                                       << "5000" << QString() << "5000" << 6250.0;
        QTest::newRow("deposit changed") << "1"
                                         << "20000"
                                         << "15000"
                                         << "15000" << 16000.0;
        QTest::newRow("deduction changed") << "2"
                                           << "500"
                                           << "300"
                                           << "300" << 700.0;
    }
    void answerCarriesTheAmountConfirmed() {
        QFETCH(QString, type);
        QFETCH(QString, requested);
        QFETCH(QString, confirmed);
        MemberDesk m(QStringLiteral("127.0.0.91"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.handOff(type, requested, QStringLiteral("M0001"));
        m.desk.Form_Load();
        const int page = type == QLatin1String("1") ? 0 : 1;
        if (!confirmed.isEmpty())
            m.view.texts[ctl::txtAmt(page)] = confirmed;
        m.desk.cmdOK_Click(page);
        QVERIFY(m.view.ended);
        QTEST(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), "answer");
        QTEST(m.balance(QStringLiteral("M0001")), "balance");
    }

    void unwritableAnswerKeepsTheWindowOpen_data() {
        QTest::addColumn<bool>("keyed");
        QTest::newRow("statement sequence") << false;
        QTest::newRow("keyed postings") << true;
    }
    void unwritableAnswerKeepsTheWindowOpen() {
        QFETCH(bool, keyed);
        MemberDesk m(QStringLiteral("127.0.0.92"), QString(),
                     keyed ? QStringList() : QStringList{QStringLiteral("--no-keyed-postings")});
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("500"), QStringLiteral("M0001"));
        m.desk.Form_Load();
        // The mailbox can no longer be rewritten: its lock cannot be taken.
        const QString lock = m.f.ctx.settings.fileOf(QStringLiteral("ZEL")) + QStringLiteral(".lock");
        QFile::remove(lock);
        QVERIFY(QDir().mkpath(lock));
        m.desk.cmdOK_Click(1);
        QVERIFY(!m.view.ended);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 500.0);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("交易已完成，但無法回覆POS，請通知POS人員此筆已入帳"));
        QVERIFY(m.f.errors().contains(QStringLiteral("處理程序: (fmTOLVA_cmdOK_Click)")));
        QVERIFY(logOf(m.f).contains(QStringLiteral("回覆寫入失敗")));
        // It stays posted once; with a key, pressing again once the mailbox
        // is back answers the POS from the journal.
        if (keyed)
            QVERIFY(QDir().rmdir(lock));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 500.0);
        QCOMPARE(m.remoteLogRows(), 1);
        QCOMPARE(m.view.ended, keyed);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), keyed ? QStringLiteral("500") : QString());
    }
};

QTEST_GUILESS_MAIN(TestDeskMoney)
#include "tst_desk_money.moc"
