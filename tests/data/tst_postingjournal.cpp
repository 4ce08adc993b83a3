// The desk's posting journal on SQLite and PostgreSQL: an older database
// gets the journal and the log's key columns once, and the rows read back
// as written - also the date and the amount, which the lookup of a
// restarted hand-off compares.
#include "data/PostingJournal.h"
#include "data/Station.h"

#include <QSqlQuery>

using namespace tolva;

class TestPostingJournal : public QObject {
    Q_OBJECT

    static PostingRecord posting(const QString& key, const QString& bill) {
        PostingRecord p;
        p.key = key;
        p.type = QStringLiteral("2");
        p.cardNo = QStringLiteral("M0001");
        p.amount = QStringLiteral("100.5");
        p.txnDept = QStringLiteral("S01");
        p.billNo = bill;
        p.posId = QStringLiteral("WS01");
        p.userId = QStringLiteral("王小明");
        p.txnDate = QDate(2026, 12, 8);
        p.authCode = QStringLiteral("T1");
        p.handOff = true;
        p.answerAmount = QStringLiteral("100.5");
        p.request = {bill, p.type, p.amount, QString(), QString()};
        return p;
    }

    static HandedRequest request(const QString& bill, const QString& amount, const QString& card = QString(),
                                 const QString& txnId = QString()) {
        return {bill, QStringLiteral("2"), amount, card, txnId};
    }

private slots:
    void olderDatabaseGetsTheJournalOnce_data() { Site::rows(); }
    void olderDatabaseGetsTheJournalOnce() {
        QFETCH(QString, kind);
        Site site(kind);
        REQUIRE_SITE(site);
        Station s(site);
        Database& db = s.ctx.gCNT;
        // A database made before postings had keys.
        db.execute(QStringLiteral("DROP TABLE PostJournal"));
        db.execute(QStringLiteral("ALTER TABLE VCardLog DROP COLUMN PostKey"));
        db.execute(QStringLiteral("ALTER TABLE VCardLog DROP COLUMN AuthCode"));

        PostingJournal journal(db, s.ctx.clock);
        QString why;
        QVERIFY2(journal.ensure(why), qPrintable(why));
        QVERIFY2(journal.ensure(why), qPrintable(why)); // nothing left to add
        QVERIFY(db.hasRow(QStringLiteral("SELECT COUNT(PostKey) + COUNT(AuthCode) FROM VCardLog")));

        journal.add(posting(QStringLiteral("k1"), QStringLiteral("B1")), JournalState::Unknown);
        journal.add(posting(QStringLiteral("k2"), QStringLiteral("B2")), JournalState::Offline);
        journal.setState(QStringLiteral("k1"), JournalState::Posted);
        const std::optional<JournalRow> row = journal.findHandOff(
            QStringLiteral("WS01"), request(QStringLiteral("B1"), QStringLiteral("100.5")));
        QVERIFY(row);
        QCOMPARE(row->state, JournalState::Posted);
        QCOMPARE(row->posting.txnDate, QDate(2026, 12, 8));
        QCOMPARE(row->posting.amount, QStringLiteral("100.5"));
        QCOMPARE(row->posting.userId, QStringLiteral("王小明"));
        QVERIFY(row->posting.handOff);
        // Another card, another amount, or a void row is another request.
        QVERIFY(!journal.findHandOff(
            QStringLiteral("WS01"),
            request(QStringLiteral("B1"), QStringLiteral("100.5"), QStringLiteral("M0002"))));
        QVERIFY(!journal.findHandOff(QStringLiteral("WS01"),
                                     request(QStringLiteral("B1"), QStringLiteral("100"))));
        journal.setState(QStringLiteral("k1"), JournalState::Void, QStringLiteral("餘額不足"));
        QVERIFY(!journal.findHandOff(QStringLiteral("WS01"),
                                     request(QStringLiteral("B1"), QStringLiteral("100.5"))));
        const QList<JournalRow> offline = journal.inState(JournalState::Offline, QStringLiteral("WS01"));
        QCOMPARE(offline.size(), 1);
        QVERIFY(journal.inState(JournalState::Offline, QStringLiteral("WS02")).isEmpty());
        QCOMPARE(offline.front().posting.authCode, QStringLiteral("T1"));
        QCOMPARE(journal.find(QStringLiteral("k1"))->note, QStringLiteral("餘額不足"));
    }

    // A journal made before requests were kept gets their columns; a row is
    // found by the request as handed over, or by the station's transaction
    // id alone, and only for the POS that wrote it; its time reads back.
    void handOffsAreFoundByTheRequestAsHandedOver_data() { Site::rows(); }
    void handOffsAreFoundByTheRequestAsHandedOver() {
        QFETCH(QString, kind);
        Site site(kind);
        REQUIRE_SITE(site);
        Station s(site);
        Database& db = s.ctx.gCNT;
        for (const char* column : {"ReqCheckNo", "ReqType", "ReqAmt", "ReqCustNo", "TxnID"})
            db.execute(QStringLiteral("ALTER TABLE PostJournal DROP COLUMN ") + QString::fromLatin1(column));
        PostingJournal journal(db, s.ctx.clock);
        QString why;
        QVERIFY2(journal.ensure(why), qPrintable(why));

        // The operator corrected bill and amount; the station sent an id too.
        PostingRecord p = posting(QStringLiteral("k1"), QStringLiteral("B2"));
        p.request = request(QStringLiteral("B1"), QStringLiteral("120"), QString(), QStringLiteral("T-7"));
        journal.add(p, JournalState::Posted);
        std::optional<JournalRow> row =
            journal.findHandOff(QStringLiteral("WS01"), request(QStringLiteral("B1"), QStringLiteral("120")));
        QVERIFY(row);
        QCOMPARE(row->posting.key, QStringLiteral("k1"));
        QCOMPARE(row->posting.billNo, QStringLiteral("B2"));
        QCOMPARE(row->posting.request.txnId, QStringLiteral("T-7"));
        QCOMPARE(row->fileDate, s.clock.now());
        QVERIFY(!journal.findHandOff(QStringLiteral("WS01"),
                                     request(QStringLiteral("B2"), QStringLiteral("100.5"))));
        QVERIFY(!journal.findHandOff(QStringLiteral("WS02"),
                                     request(QStringLiteral("B1"), QStringLiteral("120"))));
        // The id alone decides: the same id with other values is the same
        // transaction, another id with the same values is another one.
        row = journal.findHandOff(QStringLiteral("WS01"), request(QStringLiteral("X"), QStringLiteral("1"),
                                                                  kind, QStringLiteral("T-7")));
        QVERIFY(row);
        QCOMPARE(row->posting.key, QStringLiteral("k1"));
        QVERIFY(
            !journal.findHandOff(QStringLiteral("WS01"), request(QStringLiteral("B1"), QStringLiteral("120"),
                                                                 QString(), QStringLiteral("T-8"))));
    }
};

QTEST_GUILESS_MAIN(TestPostingJournal)
#include "tst_postingjournal.moc"
