// Rows added through VCardLogRec and xxCODERec and the identities read back.
#include "common/Fault.h"
#include "common/Formatting.h"
#include "data/RecordWriters.h"
#include "data/Station.h"

#include <QSqlQuery>

using namespace tolva;

class TestRecordWriters : public QObject {
    Q_OBJECT

    static VCardLogRec deduction() {
        VCardLogRec rec;
        rec.TxnDept = QStringLiteral("S01");
        rec.TxnType = QStringLiteral("2");
        rec.CardNo = QStringLiteral("A0001");
        rec.TxnDate = QStringLiteral("2005/03/07");
        rec.TxnAmt = QStringLiteral("1,050");
        rec.TxnPoint = QString();
        rec.RefCheckNo = QStringLiteral("B0012");
        rec.POSID = QStringLiteral("WS01");
        rec.UserID = QStringLiteral("王小明");
        rec.Remark = QStringLiteral("O'Neil 的'備註 ");
        return rec;
    }

private slots:
    void cardLogRowsAndIdentity_data() { Site::rows(); }
    void cardLogRowsAndIdentity() {
        QFETCH(QString, kind);
        Site site(kind);
        REQUIRE_SITE(site);
        Station s(site);
        Database& db = s.ctx.gCNT;

        VCardLogRec rec = deduction();
        QVERIFY(ADD_VCardLog(s.ctx, rec, db));
        const qint64 first = rec.RNo;
        QVERIFY(first > 0);

        VCardLogRec noDate = deduction();
        noDate.TxnDate = QStringLiteral("2005/02/30");
        noDate.TxnAmt = QStringLiteral(" 12.5x");
        noDate.TxnPoint = QStringLiteral("-3");
        QVERIFY(ADD_VCardLog(s.ctx, noDate, db));
        QCOMPARE(noDate.RNo, first + 1);

        QSqlQuery q =
            db.query(QStringLiteral("SELECT RNo, TxnDate, TxnAmt, TxnPoint, Remark, UserID, FileDate "
                                    "FROM VCardLog ORDER BY RNo"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toLongLong(), first);
        QCOMPARE(readAsDate(q.value(1))->date(), QDate(2005, 3, 7));
        if (kind == QLatin1String("sqlite")) {
            // Stored in the form SQLite's own date functions and range
            // comparisons read; rows written in the slash form still read.
            QCOMPARE(q.value(1).toString(), QStringLiteral("2005-03-07 00:00:00"));
            QSqlQuery range = db.query(QStringLiteral("SELECT count(*) FROM VCardLog WHERE TxnDate BETWEEN "
                                                      "'2005-03-07' AND date('2005-03-07', '+1 day')"));
            QVERIFY(range.next());
            QCOMPARE(range.value(0).toInt(), 1);
        }
        QCOMPARE(q.value(2).toDouble(), 1.0);
        QCOMPARE(q.value(3).toDouble(), 0.0);
        QCOMPARE(q.value(4).toString(), QStringLiteral("O'Neil 的'備註"));
        QCOMPARE(q.value(5).toString(), QStringLiteral("王小明"));
        QVERIFY(!q.value(6).isNull());
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toLongLong(), first + 1);
        QVERIFY(q.value(1).isNull());
        QCOMPARE(q.value(2).toDouble(), 12.5);
        QCOMPARE(q.value(3).toDouble(), -3.0);
        QVERIFY(!q.next());
        QVERIFY(s.dialogs.shown.isEmpty());
    }

    void codeRowsAndIdentity_data() { Site::rows(); }
    void codeRowsAndIdentity() {
        QFETCH(QString, kind);
        Site site(kind);
        REQUIRE_SITE(site);
        Station s(site);

        // The identity comes from the connection the row went to, even when
        // another connection inserted in between.
        Database other;
        other.open(site.connectionString());
        xxCODERec store{0,
                        QStringLiteral("TOLVA"),
                        QStringLiteral("S01"),
                        QStringLiteral("台北's 店"),
                        QStringLiteral("TOLVA"),
                        QStringLiteral("Taipei"),
                        QStringLiteral("第一行\r\n第二行")};
        QVERIFY(ADD_xxCODE(s.ctx, store, s.ctx.gCNT));
        xxCODERec dept = store;
        dept.Code = QStringLiteral("D01");
        QVERIFY(ADD_xxCODE(s.ctx, dept, other));
        QCOMPARE(dept.RNo, store.RNo + 1);

        QSqlQuery q = s.ctx.gCNT.query(
            QStringLiteral("SELECT Code, Dscp, Remark, FileDate FROM xxCODE WHERE RNo = %1").arg(store.RNo));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("S01"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("台北's 店"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("第一行\r\n第二行"));
        QVERIFY(!q.value(3).isNull());
        QVERIFY(s.dialogs.shown.isEmpty());
    }

    void failuresAreShownOrLogged() {
        Site site(QStringLiteral("sqlite"));
        Station s(site);
        s.ctx.gCNT.execute(QStringLiteral("DROP TABLE xxCODE"));
        s.ctx.gCNT.execute(QStringLiteral("DROP TABLE VCardLog"));
        xxCODERec code{0, QStringLiteral("TOLVA"), QStringLiteral("S01"), {}, {}, {}, {}};
        QVERIFY(!ADD_xxCODE(s.ctx, code, s.ctx.gCNT));
        QCOMPARE(code.RNo, qint64(0));
        QVERIFY(s.dialogs.shown.isEmpty());
        QVERIFY(s.errors().contains(QStringLiteral("(ADD_xxCODE)")));
        VCardLogRec rec = deduction();
        QVERIFY(!ADD_VCardLog(s.ctx, rec, s.ctx.gCNT));
        QCOMPARE(s.dialogs.shown.size(), 1);
        QVERIFY(s.errors().contains(QStringLiteral("(ADD_VCardLog)")));
    }

    // The VCardLog row of each kind of posting, statement for statement as
    // the desk wrote it when the row was still mapped in two places.
    void postingRowsAsWrittenBefore_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("statement");
        QTest::newRow("deposit with bonus")
            << QStringLiteral("1") << QStringLiteral("M0002") << QStringLiteral("22000") << QString()
            << QString()
            << QStringLiteral("INSERT INTO VCardLog (  TxnDept,  TxnType,  CardNo,  TxnDate,  TxnAmt,  "
                              "TxnPoint,  RefCheckNo,  POSID,  UserID,  Remark,  FileDate  ) VALUES ( 'S01', "
                              "'1', 'M0002', '2026-12-08 00:00:00', 22000, 0, 'A0012', 'WS01', 'cashier1', "
                              "'', datetime('now','localtime')) ");
        QTest::newRow("deduction")
            << QStringLiteral("2") << QStringLiteral("M0001") << QStringLiteral("500") << QString()
            << QString()
            << QStringLiteral("INSERT INTO VCardLog (  TxnDept,  TxnType,  CardNo,  TxnDate,  TxnAmt,  "
                              "TxnPoint,  RefCheckNo,  POSID,  UserID,  Remark,  FileDate  ) VALUES ( 'S01', "
                              "'2', 'M0001', '2026-12-08 00:00:00', 500, 0, 'A0012', 'WS01', 'cashier1', '', "
                              "datetime('now','localtime')) ");
        QTest::newRow("offline with code")
            << QStringLiteral("2") << QStringLiteral("M0001") << QStringLiteral("300")
            << QStringLiteral("S01.WS01.A0012.2.300.1c57addd47aa0380") << QStringLiteral("T123")
            << QStringLiteral(
                   "INSERT INTO VCardLog (  TxnDept,  TxnType,  CardNo,  TxnDate,  TxnAmt,  TxnPoint,  "
                   "RefCheckNo,  POSID,  UserID,  Remark,  FileDate,  PostKey,  AuthCode  ) VALUES ( 'S01', "
                   "'2', 'M0001', '2026-12-08 00:00:00', 300, 0, 'A0012', 'WS01', 'cashier1', 'T123', "
                   "datetime('now','localtime'), 'S01.WS01.A0012.2.300.1c57addd47aa0380', 'T123') ");
        QTest::newRow("master with key")
            << QStringLiteral("2") << QStringLiteral("M0001") << QStringLiteral("300")
            << QStringLiteral("S01.WS01.A0012.2.300.e3b46e2eeca6e84f") << QString()
            << QStringLiteral(
                   "INSERT INTO VCardLog (  TxnDept,  TxnType,  CardNo,  TxnDate,  TxnAmt,  TxnPoint,  "
                   "RefCheckNo,  POSID,  UserID,  Remark,  FileDate,  PostKey,  AuthCode  ) VALUES ( 'S01', "
                   "'2', 'M0001', '2026-12-08 00:00:00', 300, 0, 'A0012', 'WS01', 'cashier1', '', "
                   "datetime('now','localtime'), 'S01.WS01.A0012.2.300.e3b46e2eeca6e84f', '') ");
    }
    void postingRowsAsWrittenBefore() {
        QFETCH(QString, type);
        QFETCH(QString, card);
        QFETCH(QString, amount);
        QFETCH(QString, key);
        QFETCH(QString, code);
        Site site(QStringLiteral("sqlite"));
        Station s(site);
        PostingRecord p;
        p.key = key;
        p.type = type;
        p.cardNo = card;
        p.amount = amount;
        p.txnDept = QStringLiteral("S01");
        p.billNo = QStringLiteral("A0012");
        p.posId = QStringLiteral("WS01");
        p.userId = QStringLiteral("cashier1");
        p.txnDate = QDate(2026, 12, 8);
        p.authCode = code;

        VCardLogRec rec = cardLogRow(p);
        const Dialect& dialect = s.ctx.gCNT.dialect();
        QTEST(VCardLogColumns(rec, dialect.dateLiteral(rec.TxnDate), dialect.serverDate())
                  .insertInto(QStringLiteral("VCardLog")),
              "statement");
        insertCardLog(s.ctx.gCNT, rec);
        QVERIFY(rec.RNo > 0);
    }

    // The writer used inside a transaction only throws: the caller reports
    // once the transaction is rolled back.
    void cardLogWriterThrowsAndShowsNothing() {
        Site site(QStringLiteral("sqlite"));
        Station s(site);
        s.ctx.gCNT.execute(QStringLiteral("DROP TABLE VCardLog"));
        VCardLogRec rec = deduction();
        QVERIFY_THROWS_EXCEPTION(Fault, insertCardLog(s.ctx.gCNT, rec));
        QCOMPARE(rec.RNo, qint64(0));
        QVERIFY(s.dialogs.shown.isEmpty());
        QVERIFY(s.errors().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordWriters)
#include "tst_recordwriters.moc"
