// The transaction summary: its statements, the printer check, the layout of
// the details and totals, and the rows it hands to the export.
#include "data/PostingJournal.h"
#include "desk/SummaryReport.h"
#include "support/CardLogRows.h"
#include "support/DeskFixture.h"
#include "support/FakePrinting.h"

#include <QTest>

using namespace tolva;
using namespace Qt::StringLiterals;

class TestSummaryReport : public QObject {
    Q_OBJECT

    static void addLog(DeskFixture& f, const QString& dept, const QString& card, const QString& type,
                       const QString& amount, const QString& bill, const QString& date = u"2026/12/08"_s) {
        addCardLog(f.ctx.gCNT, dept, card, type, amount, bill, date);
    }

    struct Setup {
        DeskFixture f;
        FakePrinting printing;
        SummaryReport report{f.ctx, printing};
        Setup() {
            printing.installed = {u"PDF"_s, u"TM88"_s};
            f.save("ZEL", "KP", "CPrinter", u"TM88"_s);
        }
    };

    // The y of every detail or total row item, by row text.
    static QList<QPair<QString, int>> rows(const Document& d) {
        QList<QPair<QString, int>> out;
        for (int p = 0; p < d.pageCount(); ++p) {
            for (const PageItem& i : d.page(p).items) {
                if (i.kind == PageItem::TableRow)
                    out << qMakePair(d.text(i), i.y);
            }
        }
        return out;
    }

private slots:
    void statementsForBothOneOrNoDate() {
        Setup s;
        const QString head =
            u"Select txnDept , CardNo , TxnType , TxnAmt , RefCheckNO From VCardLOG  Where 1 = 1 "_s;
        // Log rows of refused offline postings are left out.
        const QString refused =
            u" And (PostKey Is Null Or PostKey Not In (Select PostKey From PostJournal Where State In ('R', 'D')))"_s;
        const QString tail = refused + u" Order by TxnDept , refCheckNo  "_s;
        QCOMPARE(s.report.detailSql(u""_s, u""_s), head + tail);
        QCOMPARE(s.report.detailSql(u"2026/12/01"_s, u""_s),
                 head + u" And TxnDate >= '2026-12-01 00:00:00'"_s + tail);
        QCOMPARE(s.report.detailSql(u""_s, u"2026/12/31"_s),
                 head + u" And TxnDate <= '2026-12-31 00:00:00'"_s + tail);
        QCOMPARE(s.report.totalsSql(u"2026/12/01"_s, u"2026/12/31"_s),
                 u"Select  txndept , TxnType ,sum( TxnAmt) as TAmt  From VCardLOG  Where 1 = 1 "
                 u" And TxnDate >= '2026-12-01 00:00:00' And TxnDate <= '2026-12-31 00:00:00'"_s +
                     refused + u" Group by txndept ,  TxnType  Order by txndept ,  TxnType "_s);
        // Typed text that is no date never reaches the statement.
        QCOMPARE(s.report.detailSql(u"x' or 1=1 --"_s, u""_s), head + u" And TxnDate >= NULL"_s + tail);
        // A database without the journal has nothing to leave out.
        s.f.ctx.gCNT.execute(u"DROP TABLE PostJournal"_s);
        QCOMPARE(s.report.detailSql(u""_s, u""_s), head + u" Order by TxnDept , refCheckNo  "_s);
    }

    void printerMustBeInstalledByExactName() {
        Setup s;
        s.f.save("ZEL", "KP", "CPrinter", u"tm88"_s);
        QVERIFY(!s.report.print(u""_s, u""_s, false));
        QCOMPARE(s.f.dialogs.texts(), QStringList{u"帳單印表機未安裝:tm88"_s});
        QCOMPARE(s.f.dialogs.shownAt(0).icon, Dialogs::Icon::Information);
        QVERIFY(s.printing.previews.empty());
        QCOMPARE(s.f.dialogs.busyPointers, 0);

        s.f.save("ZEL", "KP", "CPrinter", QString());
        s.printing.installed.clear();
        QVERIFY(!s.report.print(u""_s, u""_s, false));
        QCOMPARE(s.f.dialogs.lastText(), u"帳單印表機未安裝:"_s);
    }

    void detailsGroupedByStoreWithGapsAndTotals() {
        Setup s;
        addLog(s.f, u""_s, u"C9"_s, u"1"_s, u"5"_s, u"B0"_s);
        addLog(s.f, u"S01"_s, u"C1"_s, u"1"_s, u"1000"_s, u"B2"_s);
        addLog(s.f, u"S01"_s, u"C2"_s, u"2"_s, u"12.5"_s, u"B1"_s);
        addLog(s.f, u"S02"_s, u"C3"_s, u"9"_s, u"300"_s, u"B3"_s);
        addLog(s.f, u"S02"_s, u"C4"_s, u"1"_s, u"1"_s, u"B4"_s, u"2026/11/30"_s); // before the range
        QVERIFY(s.report.print(u"2026/12/01"_s, u"2026/12/31"_s, false));
        QCOMPARE(s.printing.previews.size(), size_t(1));
        const Printout out = s.printing.previewAt(0);
        const Document& d = out.document;
        QCOMPARE(d.printer(), u"TM88"_s);
        QCOMPARE(pageTexts(d, 0).mid(0, 2),
                 QStringList({u"會員點數明細表"_s, u"日期: 2026/12/01-2026/12/31"_s}));
        const auto r = rows(d);
        const QStringList texts = [&] {
            QStringList t;
            for (const auto& p : r)
                t << p.first;
            return t;
        }();
        QCOMPARE(texts, QStringList({u"卡號#類別#金額#單號"_s, u"C9#加值#5#B0"_s, u"C2#抵扣#12.5#B1"_s,
                                     u"C1#加值#1000#B2"_s, u"C3#9#300#B3"_s, u"分店別#交易別#總金額"_s,
                                     u"#加值#5"_s, u"S01#加值#1000"_s, u"S01#抵扣#12.5"_s, u"S02#9#300"_s}));
        // Row heights are all equal; a gap of 200 only where the store changes
        // from one non-empty code to another.
        const int h = r[2].second - r[1].second;
        QCOMPARE(r[3].second - r[2].second, h); // u""_s -> S01: no gap
        QCOMPARE(r[4].second - r[3].second, h + 200);
        QVERIFY(pageTexts(d, 0).contains(u"總計:"_s));
        // The export grid holds the same rows, in cells.
        QCOMPARE(out.rows.rowCount(), 10);
        QCOMPARE(out.rows.row(2), QStringList({u"C2"_s, u"抵扣"_s, u"12.5"_s, u"B1"_s}));
        QCOMPARE(out.rows.row(6), QStringList({u""_s, u"加值"_s, u"5"_s, u""_s}));
        QVERIFY(out.exportable);
        QCOMPARE(out.header, u"會員點數明細表"_s);
        QCOMPARE(s.f.dialogs.busyPointers, 1);
        QVERIFY(s.f.dialogs.normalPointers >= 1);
    }

    void oneDateOrNoneAndEmptyRanges() {
        Setup s;
        addLog(s.f, u"S01"_s, u"C1"_s, u"1"_s, u"10"_s, u"B1"_s, u"2026/12/07"_s);
        addLog(s.f, u"S01"_s, u"C2"_s, u"1"_s, u"20"_s, u"B2"_s, u"2026/12/09"_s);
        QVERIFY(s.report.print(u"2026/12/08"_s, u""_s, false));
        QVERIFY(s.report.print(u""_s, u""_s, false));
        QVERIFY(s.report.print(u"2027/01/01"_s, u"2027/01/31"_s, false));
        const auto texts = [&](int i) { return documentTexts(s.printing.previewAt(size_t(i)).document); };
        const auto lastText = [&](int i) { return texts(i).value(texts(i).size() - 1); };
        QVERIFY(texts(0).contains(u"C2#加值#20#B2"_s) && !texts(0).contains(u"C1#加值#10#B1"_s));
        QCOMPARE(lastText(0), u"S01#加值#20"_s);
        QVERIFY(texts(1).contains(u"C1#加值#10#B1"_s) && texts(1).contains(u"C2#加值#20#B2"_s));
        QCOMPARE(lastText(1), u"S01#加值#30"_s);
        QCOMPARE(texts(2), QStringList({u"會員點數明細表"_s, u"日期: 2027/01/01-2027/01/31"_s,
                                        u"卡號#類別#金額#單號"_s, u"總計:"_s, u"分店別#交易別#總金額"_s}));
    }

    void offlinePostingsAreListedApart() {
        Setup s;
        PostingJournal journal(s.f.ctx.gCNT, s.f.ctx.clock);
        QString why;
        QVERIFY2(journal.ensure(why), qPrintable(why));
        addLog(s.f, u"S01"_s, u"C1"_s, u"2"_s, u"300"_s, u"B1"_s);
        const auto offline = [&](const QString& key, const QString& code, JournalState state,
                                 const QString& date) {
            PostingRecord p;
            p.key = key;
            p.type = u"2"_s;
            p.cardNo = u"C1"_s;
            p.amount = u"300"_s;
            p.txnDept = u"S01"_s;
            p.billNo = u"B1"_s;
            p.txnDate = QDate::fromString(date, u"yyyy/MM/dd"_s);
            p.authCode = code;
            journal.add(p, state);
        };
        offline(u"k1"_s, u"T1"_s, JournalState::Offline, u"2026/12/08"_s);
        offline(u"k2"_s, u"T2"_s, JournalState::Settled, u"2026/12/08"_s);
        offline(u"k3"_s, u"T3"_s, JournalState::Refused, u"2026/12/01"_s);
        offline(u"k4"_s, u""_s, JournalState::Posted, u"2026/12/08"_s); // an online posting: not listed
        QVERIFY(s.report.print(u"2026/12/08"_s, u"2026/12/08"_s, false));
        const QStringList texts = documentTexts(s.printing.previewAt(0).document);
        const qsizetype at = texts.indexOf(u"電話授權(離線)交易:"_s);
        QVERIFY(at > texts.indexOf(u"S01#抵扣#300"_s));
        QCOMPARE(texts.mid(at + 1), QStringList({u"卡號#類別#金額#授權碼"_s, u"C1#抵扣#300#T1 待入帳"_s,
                                                 u"C1#抵扣#300#T2 已入帳"_s}));
        QCOMPARE(s.printing.previewAt(0).rows.row(s.printing.previewAt(0).rows.rowCount() - 1),
                 QStringList({u"C1"_s, u"抵扣"_s, u"300"_s, u"T2 已入帳"_s}));
    }

    // An offline posting the member side refused keeps its local log row but
    // moved no balance: out of the details and totals, listed as refused with
    // its reason also after the operator dealt with it.
    void refusedOfflinePostingsAreNotCounted() {
        Setup s;
        PostingJournal journal(s.f.ctx.gCNT, s.f.ctx.clock);
        const auto posting = [&](const QString& key, const QString& card, const QString& bill,
                                 const QString& amount, const QString& code, JournalState state,
                                 const QString& note) {
            addLog(s.f, u"S01"_s, card, u"2"_s, amount, bill);
            s.f.ctx.gCNT.runPrepared(u"UPDATE VCardLog SET PostKey = ? WHERE CardNo = ?"_s, {key, card})
                .finish();
            PostingRecord p;
            p.key = key;
            p.type = u"2"_s;
            p.cardNo = card;
            p.amount = amount;
            p.txnDept = u"S01"_s;
            p.billNo = bill;
            p.txnDate = QDate(2026, 12, 8);
            p.authCode = code;
            journal.add(p, state);
            if (!note.isEmpty())
                journal.setState(key, state, note);
        };
        posting(u"k1"_s, u"C1"_s, u"B1"_s, u"300"_s, QString(), JournalState::Posted, QString());
        posting(u"k2"_s, u"C2"_s, u"B2"_s, u"1000"_s, u"X999"_s, JournalState::Refused, u"餘額不足"_s);
        posting(u"k3"_s, u"C3"_s, u"B3"_s, u"500"_s, u"X998"_s, JournalState::DealtWith,
                u"請先建立客戶資料"_s);
        addLog(s.f, u"S01"_s, u"C4"_s, u"2"_s, u"200"_s, u"B4"_s); // written before postings had keys
        QVERIFY(s.report.print(u"2026/12/08"_s, u"2026/12/08"_s, false));
        QCOMPARE(s.printing.previews.size(), size_t(1));
        const QStringList texts = documentTexts(s.printing.previews.front().document);
        const qsizetype at = texts.indexOf(u"總計:"_s);
        QVERIFY(at > 0);
        QCOMPARE(texts.mid(at - 3),
                 QStringList({u"卡號#類別#金額#單號"_s, u"C1#抵扣#300#B1"_s, u"C4#抵扣#200#B4"_s, u"總計:"_s,
                              u"分店別#交易別#總金額"_s, u"S01#抵扣#500"_s, u"電話授權(離線)交易:"_s,
                              u"卡號#類別#金額#授權碼"_s, u"C2#抵扣#1000#X999 遭拒 (餘額不足)"_s,
                              u"C3#抵扣#500#X998 遭拒 (請先建立客戶資料)"_s}));
    }

    void totalsOnly() {
        Setup s;
        addLog(s.f, u"S01"_s, u"C1"_s, u"2"_s, u"1000"_s, u"B1"_s);
        const bool shown = s.report.print(u""_s, u""_s, true);
        QVERIFY2(shown, qPrintable(s.f.dialogs.texts().join(u"|"_s) + s.f.errors()));
        QCOMPARE(documentTexts(s.printing.previewAt(0).document),
                 QStringList({u"會員點數明細表"_s, u"日期: -"_s, u"總計:"_s, u"分店別#交易別#總金額"_s,
                              u"S01#抵扣#1000"_s}));
        QCOMPARE(s.printing.previewAt(0).rows.rowCount(), 2);
    }

    void composedInPartsLikeAtOnce() {
        Setup s;
        for (int i = 0; i < 7; ++i)
            addLog(s.f, u"S0%1"_s.arg(i % 2), u"C%1"_s.arg(i), u"1"_s, u"10"_s, u"B%1"_s.arg(i));
        const Printout whole = s.report.build(u"TM88"_s, QString(), QString(), false);
        s.report.setChunkRows(3);
        Printout parts = s.report.compose(u"TM88"_s, QString(), QString(), false);
        QVERIFY(!parts.complete());
        QCOMPARE(documentTexts(parts.document).size(), 3 + 3); // title, date, column titles, 3 rows
        QVERIFY(!parts.document.isFinished());
        int calls = 0;
        while (parts.more(parts))
            ++calls;
        QCOMPARE(calls, 1); // 3 more rows; then the last row and the totals end it
        QVERIFY(parts.document.isFinished());
        QCOMPARE(documentTexts(parts.document), documentTexts(whole.document));
        QCOMPARE(parts.rows.rowCount(), whole.rows.rowCount());
    }

    void failureInALaterPartIsReported() {
        Setup s;
        for (int i = 0; i < 5; ++i)
            addLog(s.f, u"S01"_s, u"C%1"_s.arg(i), u"1"_s, u"10"_s, u"B%1"_s.arg(i));
        s.report.setChunkRows(2);
        Printout parts = s.report.compose(u"TM88"_s, QString(), QString(), false);
        // The totals statement fails once the table is gone.
        s.f.ctx.gCNT.execute(u"ALTER TABLE VCardLog RENAME TO VCardLogOld"_s);
        parts.finish();
        QVERIFY(parts.failed);
        QVERIFY(s.f.errors().contains(u"fmTOLVA_cmdPrintS_Click"_s));
    }

    void databaseFailureIsReportedAndNothingShown() {
        Setup s;
        s.f.ctx.gCNT.execute(u"DROP TABLE VCardLog"_s);
        QVERIFY(!s.report.print(u""_s, u""_s, false));
        QVERIFY(s.printing.previews.empty());
        QVERIFY(s.f.errors().contains(u"fmTOLVA_cmdPrintS_Click"_s));
        QCOMPARE(s.f.dialogs.shown.size(), qsizetype(1));
    }
};

QTEST_MAIN(TestSummaryReport)
#include "tst_summary_report.moc"
