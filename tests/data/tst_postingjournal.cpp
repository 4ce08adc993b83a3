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
        return p;
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
        const std::optional<JournalRow> row =
            journal.findHandOff(QStringLiteral("WS01"), QStringLiteral("B1"), QStringLiteral("2"),
                                QStringLiteral("100.5"), QString());
        QVERIFY(row);
        QCOMPARE(row->state, JournalState::Posted);
        QCOMPARE(row->posting.txnDate, QDate(2026, 12, 8));
        QCOMPARE(row->posting.amount, QStringLiteral("100.5"));
        QCOMPARE(row->posting.userId, QStringLiteral("王小明"));
        QVERIFY(row->posting.handOff);
        // Another card, another amount, or a void row is another request.
        QVERIFY(!journal.findHandOff(QStringLiteral("WS01"), QStringLiteral("B1"), QStringLiteral("2"),
                                     QStringLiteral("100.5"), QStringLiteral("M0002")));
        QVERIFY(!journal.findHandOff(QStringLiteral("WS01"), QStringLiteral("B1"), QStringLiteral("2"),
                                     QStringLiteral("100"), QString()));
        journal.setState(QStringLiteral("k1"), JournalState::Void, QStringLiteral("餘額不足"));
        QVERIFY(!journal.findHandOff(QStringLiteral("WS01"), QStringLiteral("B1"), QStringLiteral("2"),
                                     QStringLiteral("100.5"), QString()));
        const QList<JournalRow> offline = journal.inState(JournalState::Offline);
        QCOMPARE(offline.size(), 1);
        QCOMPARE(offline.front().posting.authCode, QStringLiteral("T1"));
        QCOMPARE(journal.find(QStringLiteral("k1"))->note, QStringLiteral("餘額不足"));
    }
};

QTEST_GUILESS_MAIN(TestPostingJournal)
#include "tst_postingjournal.moc"
