// A posting happens once: the same intent sent again, a desk started again
// for the same bill, a reply or a request lost on the way, and postings made
// by phone authorisation while the link was down and sent later - against
// the real memberd, its connection cut where the test says.
#include "desk/MemberDesk.h"
#include "support/CutProxy.h"
#include "support/TestDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

namespace {
const QString kCard = QStringLiteral("M0001");

int count(Database& db, const QString& sql) {
    return int(MemberDesk::value(db, sql));
}
} // namespace

class TestDeskPostings : public QObject {
    Q_OBJECT

private slots:
    // A till set up to log in as its store (StoreLogin = 1, the store's own
    // password) posts at a service with store passwords: the deduction and
    // its log row name the store, whether sent as a keyed posting or as the
    // statement sequence, and memberd lets them through.
    void tillPostsAsItsStore_data() {
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("keyed posting") << QStringList();
        QTest::newRow("statements") << QStringList{QStringLiteral("--no-keyed-postings")};
    }
    void tillPostsAsItsStore() {
        QFETCH(QStringList, extra);
        QTemporaryDir dir;
        const QString stores = dir.filePath(QStringLiteral("stores"));
        QCOMPARE(MemberdProcess::addStore(stores, QStringLiteral("S01"), "north-1"), 0);
        MemberDesk m(QStringLiteral("127.0.0.190"), QString(),
                     QStringList{QStringLiteral("--store-passwords"), stores} + extra);
        m.f.save("ZELQ", "TOLVA", "PWD", QStringLiteral("north-1"));
        m.f.save("ZELQ", "TOLVA", "StoreLogin", QStringLiteral("1"));
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        QVERIFY(m.memberd->waitForLog(QStringLiteral("logged in as store S01")));
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.balance(kCard), 700.0);
        QCOMPARE(count(m.member, QStringLiteral("SELECT COUNT(*) FROM VCardLog WHERE TxnDept = 'S01'")), 1);
        QVERIFY(!m.memberd->log().contains(QStringLiteral("refused")));
    }

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
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認"));
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

    // An offline amount is held to the bounds of an online one; a posting the
    // member side refuses as unreadable (one recorded before those bounds)
    // is marked refused with its reason, and the postings after it are sent.
    void offlinePostingsPassTheOnlineChecksAndARefusalBlocksNothing() {
        MemberDesk m(QStringLiteral("127.0.0.214"), QString(), {});
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        PostingJournal journal(m.f.ctx.gCNT, m.f.clock);
        PostingRecord older;
        older.key = QStringLiteral("S01.WS01.A0012.2.100_125.00000000000000a1");
        older.type = QStringLiteral("2");
        older.cardNo = kCard;
        older.amount = QStringLiteral("100.125");
        older.txnDept = QStringLiteral("S01");
        older.billNo = QStringLiteral("A0012");
        older.posId = m.f.ctx.g.gPOSID;
        older.userId = m.f.ctx.g.gUserID;
        older.txnDate = QDate(2026, 12, 8);
        older.authCode = QStringLiteral("T0");
        journal.add(older, JournalState::Offline);
        m.f.clock.advanceSecs(60);

        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.desk.Form_Load();
        m.view.texts[ctl::txtRemark(1)] = QStringLiteral("T1");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("100.125");
        m.desk.cmdOK_Click(1);
        QVERIFY(!m.f.dialogs.msgs.isEmpty());
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("金額最多兩位小數"));
        QVERIFY(!m.view.ended);
        QCOMPARE(journalStates(m), QStringLiteral("O"));
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("300");
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(journalStates(m), QStringLiteral("OO"));

        QVERIFY(m.memberd->start());
        m.f.dialogs.yesNoAnswers.enqueue(false);
        { Restart r(m.f); }
        QCOMPARE(journalStates(m), QStringLiteral("RS"));
        QCOMPARE(m.balance(kCard), 700.0);
        QVERIFY(m.f.dialogs.msgs.contains(QStringLiteral("離線交易已送出: 入帳 1 筆, 遭拒 1 筆")));
        const std::optional<JournalRow> refused = journal.find(older.key);
        QVERIFY(refused);
        QVERIFY2(refused->note.contains(QStringLiteral("100.125")), qPrintable(refused->note));
        QVERIFY(!m.f.dialogs.shown.isEmpty());
        QCOMPARE(m.f.dialogs.lastShown().kind, QStringLiteral("ask"));
        QVERIFY2(m.f.dialogs.lastShown().text.contains(QStringLiteral("T0")) &&
                     m.f.dialogs.lastShown().text.contains(refused->note),
                 qPrintable(m.f.dialogs.lastShown().text));
        m.f.dialogs.yesNoAnswers.enqueue(false);
        { Restart r(m.f); }
        QCOMPARE(journalStates(m), QStringLiteral("RS"));
        QCOMPARE(m.balance(kCard), 700.0);
        QCOMPARE(count(m.member, QStringLiteral("SELECT COUNT(*) FROM VCardLog")), 1);
    }

    // Tills sharing one local database (the store's shared POS database):
    // a posting of one till whose outcome is unknown, or that waits offline,
    // is settled by that till's next start, never by another till's.
    void tillsSharingTheLocalDatabaseSettleTheirOwnPostings_data() {
        QTest::addColumn<bool>("offline");
        QTest::newRow("outcome unknown") << false;
        QTest::newRow("recorded offline") << true;
    }
    void tillsSharingTheLocalDatabaseSettleTheirOwnPostings() {
        QFETCH(bool, offline);
        MemberDesk m(QStringLiteral("127.0.0.215"), QString(), {});
        CutProxy proxy(QStringLiteral("127.0.0.216"), QStringLiteral("127.0.0.215"));
        QVERIFY(proxy.listening());
        m.f.save("ZELQ", "TOLVA", "IP", proxy.address());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        if (offline) {
            m.desk.Form_Load();
            m.view.texts[ctl::txtRemark(1)] = QStringLiteral("T5");
            m.desk.cmdOK_Click(1);
            QVERIFY(m.view.ended);
            QVERIFY(m.memberd->start());
        } else {
            QVERIFY(m.memberd->start());
            m.desk.Form_Load();
            proxy.cutNext("POSTKY", CutProxy::Cut::AfterReply);
            proxy.cutNext("POSTQY", CutProxy::Cut::BeforeRequest);
            m.desk.cmdOK_Click(1);
            QVERIFY(!m.view.ended);
        }
        const QString own = offline ? QStringLiteral("O") : QStringLiteral("U");
        QCOMPARE(journalStates(m), own);

        // The other till starts and works on the same database.
        m.f.ctx.g.gPOSID = QStringLiteral("WS02");
        m.f.dialogs.yesNoAnswers.enqueue(false);
        {
            Restart r(m.f);
            QVERIFY(!r.view.ended);
        }
        QCOMPARE(journalStates(m), own);
        QCOMPARE(proxy.forwarded("POSTQY") + proxy.forwarded("POSTKY"), offline ? 0 : 1);
        QCOMPARE(m.localLogRows(), offline ? 1 : 0);

        // The first till's own start settles it, once.
        m.f.ctx.g.gPOSID = QStringLiteral("WS01");
        { Restart r(m.f); }
        QCOMPARE(journalStates(m), offline ? QStringLiteral("S") : QStringLiteral("P"));
        QCOMPARE(m.localLogRows(), 1);
        QCOMPARE(m.remoteLogRows(), 1);
        QCOMPARE(m.balance(kCard), 700.0);
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

    // In master mode nothing is shown while the local write transaction is
    // open: every other till of the store would wait on its lock for as long
    // as the box stood. A log row that cannot be written and a balance that
    // changes no row are both told after the rollback.
    void masterModeShowsNothingInsideItsTransaction() {
        MemberDesk m(QStringLiteral("127.0.0.183"));
        const QString file = m.f.dir.filePath(QStringLiteral("member.db"));
        m.f.ctx.gCNT.open(QStringLiteral("Provider=SQLite;Data Source=") + file);
        m.f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
        m.f.ctx.gCNT.execute(QStringLiteral("INSERT INTO OCHECK (CheckNo, StoreID) VALUES ('A0012', 'S01')"));
        m.f.save("ZEL", "TOLVA", "chkMasterDB", QStringLiteral("1"));
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.desk.Form_Load();
        QVERIFY(m.view.master);
        m.query(kCard);

        // Another till of the store, which must not wait for the operator.
        const QString other = QStringLiteral("other-till");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), other);
            db.setDatabaseName(file);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(db.open());
        }
        QList<bool> otherCouldWrite;
        m.f.dialogs.whileShown = [&] {
            QSqlQuery q(QSqlDatabase::database(other));
            const bool began = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
            otherCouldWrite << began;
            if (began)
                q.exec(QStringLiteral("ROLLBACK"));
        };

        m.member.execute(QStringLiteral("CREATE TRIGGER refuseLog BEFORE INSERT ON VCardLog "
                                        "BEGIN SELECT RAISE(ABORT, 'log row refused'); END"));
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("300");
        m.desk.cmdOK_Click(1);
        QVERIFY(!m.view.ended);
        QVERIFY2(m.f.dialogs.lastText().contains(QStringLiteral("log row refused")),
                 qPrintable(m.f.dialogs.lastText()));
        QCOMPARE(otherCouldWrite, QList<bool>{true});
        QCOMPARE(m.balance(kCard), 1000.0);
        QCOMPARE(m.localLogRows(), 0);

        // The card was taken off file meanwhile: the balance statement
        // changes no row, and the refusal comes after the rollback too.
        m.member.execute(QStringLiteral("DROP TRIGGER refuseLog"));
        m.member.execute(QStringLiteral("DELETE FROM CUST WHERE CustNo = '%1'").arg(kCard));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("請先建立客戶資料"));
        QCOMPARE(otherCouldWrite, (QList<bool>{true, true}));
        QVERIFY(!m.view.ended);

        m.f.dialogs.whileShown = nullptr;
        QSqlDatabase::removeDatabase(other);
    }
};

QTEST_GUILESS_MAIN(TestDeskPostings)
#include "tst_desk_postings.moc"
