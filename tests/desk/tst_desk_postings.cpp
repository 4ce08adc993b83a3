// A posting happens once: the same intent sent again, a desk started again
// for the same bill, a reply or a request lost on the way, and postings made
// by phone authorisation while the link was down and sent later - against
// the real memberd, its connection cut where the test says.
#include "desk/MemberDesk.h"
#include "support/CutProxy.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace tolva;

namespace {
const QString kCard = QStringLiteral("M0001");

// The same till started again: a new window and link on the same local
// database and settings store.
struct Restart {
    FakeDeskView view;
    LinkClient link;
    Desk desk;
    explicit Restart(DeskFixture& f)
        : link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage), desk(f.ctx, view, link) {
        desk.setPause([](int) {});
        desk.Form_Load();
    }
};

// The states of the journal's rows, in letter order.
QString journalStates(MemberDesk& m) {
    QSqlQuery q = m.f.ctx.gCNT.query(QStringLiteral("SELECT State FROM PostJournal"));
    QStringList states;
    while (q.next())
        states << q.value(0).toString();
    states.sort();
    return states.join(QString());
}

int count(Database& db, const QString& sql) {
    return int(MemberDesk::value(db, sql));
}
} // namespace

class TestDeskPostings : public QObject {
    Q_OBJECT

private slots:
    void handOffPostsOnceAcrossRestarts_data() {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("SQLite") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void handOffPostsOnceAcrossRestarts() {
        QFETCH(bool, postgres);
        TestPostgres pg;
        if (postgres)
            REQUIRE_POSTGRES(pg);
        MemberDesk m(QStringLiteral("127.0.0.170"), postgres ? pg.connectionString() : QString(), {});
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        QVERIFY(m.link.keyedPostings());
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("300"));

        // The POS starts the desk twice more for the same bill: it gets the
        // first answer at once, and the guest is charged once.
        for (int again = 0; again < 2; ++again) {
            m.f.save("ZEL", "TOLVA", "TxnAmtAuth", QString());
            m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
            Restart r(m.f);
            QVERIFY(r.view.ended);
            QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("此帳單已入帳"));
            QCOMPARE(m.f.get("ZEL", "TOLVA", "CheckNoAuth"), QStringLiteral("A0012"));
            QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("300"));
        }
        QCOMPARE(m.balance(kCard), 700.0);
        QCOMPARE(m.remoteLogRows(), 1);
        QCOMPARE(m.localLogRows(), 1);
        QCOMPARE(journalStates(m), QStringLiteral("P"));
        // Both log rows carry the key.
        QCOMPARE(count(m.member, QStringLiteral("SELECT COUNT(*) FROM VCardLog WHERE PostKey IS NOT NULL")),
                 1);
        QCOMPARE(
            count(m.f.ctx.gCNT, QStringLiteral("SELECT COUNT(*) FROM VCardLog WHERE PostKey IS NOT NULL")),
            1);
    }

    void cutsAroundThePosting_data() {
        QTest::addColumn<int>("cut");
        QTest::addColumn<bool>("posted");
        QTest::addColumn<QString>("told");
        QTest::newRow("request lost before the service")
            << int(CutProxy::Cut::BeforeRequest) << false << QStringLiteral("交易未入帳，請重新確認");
        QTest::newRow("reply lost after the commit")
            << int(CutProxy::Cut::AfterReply) << true << QStringLiteral("此筆交易已入帳");
    }
    void cutsAroundThePosting() {
        QFETCH(int, cut);
        QFETCH(bool, posted);
        QFETCH(QString, told);
        MemberDesk m(QStringLiteral("127.0.0.171"), QString(), {});
        CutProxy proxy(QStringLiteral("127.0.0.172"), QStringLiteral("127.0.0.171"));
        QVERIFY(proxy.listening());
        m.f.save("ZELQ", "TOLVA", "IP", proxy.address());
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        proxy.cutNext("POSTKY", CutProxy::Cut(cut));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), told);
        QCOMPARE(m.view.ended, posted);
        QCOMPARE(m.balance(kCard), posted ? 700.0 : 1000.0);
        QCOMPARE(m.remoteLogRows(), posted ? 1 : 0);
        QCOMPARE(m.localLogRows(), posted ? 1 : 0);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), posted ? QStringLiteral("300") : QString());
        if (posted)
            return;
        // Not posted, and known so: confirming again posts once, under a new key.
        QCOMPARE(journalStates(m), QStringLiteral("X"));
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(kCard), 700.0);
        QCOMPARE(journalStates(m), QStringLiteral("PX"));
    }

    void unknownOutcomeIsSettledAtTheNextStart() {
        MemberDesk m(QStringLiteral("127.0.0.173"), QString(), {});
        CutProxy proxy(QStringLiteral("127.0.0.174"), QStringLiteral("127.0.0.173"));
        m.f.save("ZELQ", "TOLVA", "IP", proxy.address());
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        // The posting commits and its reply is lost; so is the query by key.
        proxy.cutNext("POSTKY", CutProxy::Cut::AfterReply);
        proxy.cutNext("POSTQY", CutProxy::Cut::BeforeRequest);
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("交易結果不明，請查詢餘額確認"));
        QVERIFY(!m.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QString());
        QCOMPARE(journalStates(m), QStringLiteral("U"));
        QCOMPARE(m.localLogRows(), 0);
        QCOMPARE(m.balance(kCard), 700.0);
        // No offline posting beside an unknown one.
        QCOMPARE(m.memberd->terminate(), 0);
        m.view.texts[ctl::txtRemark(1)] = QStringLiteral("T123");
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("前一筆交易結果不明，連線恢復前無法離線記錄"));
        QCOMPARE(journalStates(m), QStringLiteral("U"));

        // The desk is gone (killed); the POS starts it again for the bill
        // once the service is back: the key tells it was posted.
        m.memberd = std::make_unique<MemberdProcess>(QStringLiteral("127.0.0.173"),
                                                     QStringLiteral("Provider=SQLite;Data Source=") +
                                                         m.f.dir.filePath(QStringLiteral("member.db")));
        QVERIFY(m.memberd->start());
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        Restart r(m.f);
        QVERIFY(r.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("300"));
        QCOMPARE(journalStates(m), QStringLiteral("P"));
        QCOMPARE(m.localLogRows(), 1);
        QCOMPARE(m.remoteLogRows(), 1);
        QCOMPARE(m.balance(kCard), 700.0);
    }

    void aChangedAmountAfterALostReplyIsANewPosting() {
        MemberDesk m(QStringLiteral("127.0.0.181"), QString(), {});
        CutProxy proxy(QStringLiteral("127.0.0.182"), QStringLiteral("127.0.0.181"));
        m.f.save("ZELQ", "TOLVA", "IP", proxy.address());
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        // 300 commits and its reply is lost; so is the query by key.
        proxy.cutNext("POSTKY", CutProxy::Cut::AfterReply);
        proxy.cutNext("POSTQY", CutProxy::Cut::BeforeRequest);
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("交易結果不明，請查詢餘額確認"));
        QCOMPARE(journalStates(m), QStringLiteral("U"));

        // The operator confirms 200 instead: another intent, so a posting of
        // its own under a new key, not the first one's outcome told again.
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("200");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("200"));
        QCOMPARE(m.balance(kCard), 500.0);
        QCOMPARE(m.remoteLogRows(), 2);
        QCOMPARE(count(m.f.ctx.gCNT, QStringLiteral("SELECT COUNT(*) FROM PostJournal WHERE TxnAmt = 200")),
                 1);
        QCOMPARE(count(m.f.ctx.gCNT, QStringLiteral("SELECT COUNT(DISTINCT PostKey) FROM PostJournal")), 2);
    }

    void offlinePostingsAreSentOnce() {
        MemberDesk m(QStringLiteral("127.0.0.175"), QString(), {});
        CutProxy proxy(QStringLiteral("127.0.0.176"), QStringLiteral("127.0.0.175"));
        m.f.save("ZELQ", "TOLVA", "IP", proxy.address());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        // memberd is not running: without a code nothing changes from before.
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話查詢"));
        QCOMPARE(journalStates(m), QString());
        m.view.texts[ctl::txtRemark(1)] = QStringLiteral("T123");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("已離線記錄，授權碼 T123，連線恢復後自動入帳"));
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("300"));
        QCOMPARE(journalStates(m), QStringLiteral("O"));
        QCOMPARE(count(m.f.ctx.gCNT, QStringLiteral("SELECT COUNT(*) FROM VCardLog WHERE AuthCode = 'T123'")),
                 1);

        // Back: the first replay's reply is lost, the next start sends it
        // again under the same key, and it posts once.
        QVERIFY(m.memberd->start());
        proxy.cutNext("POSTKY", CutProxy::Cut::AfterReply);
        { Restart r(m.f); }
        QCOMPARE(journalStates(m), QStringLiteral("O"));
        { Restart r(m.f); }
        QCOMPARE(journalStates(m), QStringLiteral("S"));
        { Restart r(m.f); }
        QCOMPARE(proxy.forwarded("POSTKY"), 2);
        QCOMPARE(m.balance(kCard), 700.0);
        QCOMPARE(count(m.member, QStringLiteral("SELECT COUNT(*) FROM VCardLog WHERE AuthCode = 'T123'")), 1);
        QCOMPARE(m.localLogRows(), 1);
    }

    void refusedOfflinePostingIsShownUntilDealtWith() {
        MemberDesk m(QStringLiteral("127.0.0.177"), QString(), {});
        m.addCard(kCard, QStringLiteral("甲"), 100);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        m.view.texts[ctl::txtRemark(1)] = QStringLiteral("T9");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QVERIFY(m.memberd->start());
        m.f.dialogs.yesNoAnswers.enqueue(false);
        { Restart r(m.f); }
        QCOMPARE(journalStates(m), QStringLiteral("R"));
        QCOMPARE(m.balance(kCard), 100.0);
        const auto asked = [&] {
            int n = 0;
            for (const FakeDialogs::Shown& box : m.f.dialogs.shown)
                n += box.kind == QLatin1String("ask") && box.text.contains(QStringLiteral("離線交易遭拒")) &&
                     box.text.contains(QStringLiteral("T9")) && box.text.contains(QStringLiteral("餘額不足"));
            return n;
        };
        QCOMPARE(asked(), 1);
        m.f.dialogs.yesNoAnswers.enqueue(true);
        { Restart r(m.f); }
        QCOMPARE(asked(), 2);
        QCOMPARE(journalStates(m), QStringLiteral("D"));
        { Restart r(m.f); }
        QCOMPARE(asked(), 2);
    }

    void anOldServiceGetsTheStatementSequence() {
        MemberDesk m(QStringLiteral("127.0.0.178"));
        CutProxy proxy(QStringLiteral("127.0.0.179"), QStringLiteral("127.0.0.178"));
        m.f.save("ZELQ", "TOLVA", "IP", proxy.address());
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        QVERIFY(!m.link.keyedPostings());
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(proxy.forwarded("POSTKY") + proxy.forwarded("POSTQY"), 0);
        QCOMPARE(proxy.forwarded("SERVER"), 2);
        QCOMPARE(m.balance(kCard), 700.0);
        QCOMPARE(journalStates(m), QString());
    }

    void masterModeHandOffPostsOnce() {
        MemberDesk m(QStringLiteral("127.0.0.180"), QString(), {});
        m.f.ctx.gCNT.open(QStringLiteral("Provider=SQLite;Data Source=") +
                          m.f.dir.filePath(QStringLiteral("member.db")));
        m.f.ctx.g.gServerDate = m.f.ctx.gCNT.dialect().serverDate;
        m.f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
        m.f.ctx.gCNT.execute(QStringLiteral("INSERT INTO OCHECK (CheckNo, StoreID) VALUES ('A0012', 'S01')"));
        m.f.save("ZEL", "TOLVA", "chkMasterDB", QStringLiteral("1"));
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        for (int start = 0; start < 2; ++start) {
            m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
            Restart r(m.f);
            if (start == 0) {
                QVERIFY(!r.view.ended);
                r.desk.cmdOK_Click(1);
            }
            QVERIFY(r.view.ended);
        }
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("此帳單已入帳"));
        QCOMPARE(m.balance(kCard), 700.0);
        QCOMPARE(m.remoteLogRows(), 1);
        QCOMPARE(journalStates(m), QStringLiteral("P"));
    }
};

QTEST_GUILESS_MAIN(TestDeskPostings)
#include "tst_desk_postings.moc"
