// The roll-printer receipts: the bill with its order groups, page breaks and
// totals, the order ticket and the kitchen and bar tickets with their printers
// and running numbers, the preview, the printer selected again afterwards,
// and a bill rendered to PDF read back with its positions.
#include "print-cli/PrintCommand.h"
#include "print/PdfOutput.h"
#include "receipt/AmountFormat.h"
#include "receipt/ReceiptLayouts.h"
#include "receipt/ReceiptRows.h"
#include "support/DeskFixture.h"
#include "support/FakePrinting.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace tolva;
using namespace Qt::StringLiterals;

namespace {

// The vertical position and page (0-based) of the first table row or text
// that starts with prefix; page -1 when there is none.
struct Found {
    int page = -1;
    int y = 0;
};
Found find(const Document& doc, const QString& prefix) {
    for (int p = 0; p < doc.pageCount(); ++p) {
        for (const PageItem& item : doc.page(p).items) {
            if ((item.kind == PageItem::Text || item.kind == PageItem::TableRow) &&
                doc.text(item).startsWith(prefix))
                return {p, item.y};
        }
    }
    return {};
}

int boxes(const Document& doc, int page) {
    int n = 0;
    for (const PageItem& item : doc.page(page).items)
        n += item.kind == PageItem::Box;
    return n;
}

} // namespace

class TestReceipts : public QObject {
    Q_OBJECT

    struct Site {
        DeskFixture f;
        FakePrinting printing;
        ReceiptRows rows{f.ctx.gCNT};
        ReceiptLayouts receipts{f.ctx, printing};
        QStringList status;
        Site() {
            printing.installed = {u"PDF"_s, u"RCPT"_s};
            printing.defaultName = u"PDF"_s;
            f.ctx.g.gCustName = u"示範餐廳"_s;
            f.save("ZEL", "KP", "OPrinter", u"ORD"_s);
            f.save("ZEL", "KP", "BPrinter", u"BAR"_s);
            f.save("ZEL", "KP", "KPrinter", u"KIT"_s);
            receipts.DispElaMsg = [this](const QString& text, int) { status << text; };
        }
        QStringList boxTexts() const {
            QStringList texts;
            for (const auto& s : f.dialogs.shown)
                texts << s.text;
            return texts;
        }
        Document printedDoc() const { return printing.lastPrinted().document; }
    };

private slots:
    void billOfTwoOrderGroupsHasAPageEach() {
        Site s;
        s.rows.bill(u"B1"_s, 1500, 150, 0, 0);
        s.rows.head(u"T01"_s, u"B1"_s, 4);
        s.rows.head(u"T02"_s, u"B1"_s, 2);
        s.rows.item(u"T01"_s, u"B1"_s, u"11:05:10"_s, 1, u"牛肉麵"_s, u"N1"_s, u"大"_s, QString(), 2, 560,
                    u"PK"_s);
        s.rows.item(u"T01"_s, u"B1"_s, u"11:05:10"_s, 2, u"紅茶"_s, u"N1"_s, QString(), QString(), 1, 40,
                    u"PB"_s);
        s.rows.item(u"T02"_s, u"B1"_s, u"11:40:00"_s, 1, u"排骨飯"_s, u"N1"_s, QString(), QString(), 4, 900,
                    u"PK"_s);

        s.receipts.selectPrinter(u"FRONT"_s);
        QVERIFY(s.receipts.PrintCheck(u"RCPT"_s, u"B1"_s, false));
        QCOMPARE(s.printing.printed.size(), size_t(1));
        QCOMPARE(s.printing.printedAt(0).printer, u"RCPT"_s);
        QCOMPARE(s.receipts.selectedPrinter(), u"FRONT"_s);

        const Document& doc = s.printedDoc();
        QCOMPARE(doc.pageCount(), 2);
        const QStringList first = pageTexts(doc, 0);
        const QStringList second = pageTexts(doc, 1);
        for (const QString& t :
             {u"示範餐廳"_s, u"時間:"_s, u"12/08 10:30"_s, u"收款:12:30"_s, u"結帳單:B1(收)"_s, u"頁次:1"_s,
              u"桌次:T01"_s, u"人數:4"_s, u"      品名|數量|金額 "_s, u"牛肉麵-大|2|560"_s, u"紅茶|1|40"_s,
              u"<謝謝光臨>"_s})
            QVERIFY2(first.contains(t), qPrintable(t + u" / "_s + first.join(u" / "_s)));
        for (const QString& t : {u"頁次:2"_s, u"桌次:T02"_s, u"人數:2"_s, u"排骨飯|4|900"_s, u"<謝謝光臨>"_s,
                                 u"消費金額:|1,500元"_s, u"服務費:|150元"_s, u"結帳金額:|1,650元"_s})
            QVERIFY2(second.contains(t), qPrintable(t + u" / "_s + second.join(u" / "_s)));
        QVERIFY(!first.contains(u"排骨飯|4|900"_s));
        QVERIFY(!documentTexts(doc).join(u'\n').contains(u"折扣-它項:"_s));
        QVERIFY(!documentTexts(doc).join(u'\n').contains(u"加計項:"_s));
        QCOMPARE(boxes(doc, 0), 1);
        QCOMPARE(find(doc, u"<謝謝光臨>"_s).y, ReceiptLayouts::Y0 + ReceiptLayouts::H + 50);
        QCOMPARE(find(doc, u"桌次:T01"_s).y, ReceiptLayouts::Y0 + 1100);
        QCOMPARE(find(doc, u"消費金額:"_s).y, ReceiptLayouts::kTotalsTop);
    }

    void discountAndChargeRowsOnlyWhenPositive() {
        Site s;
        s.rows.bill(u"B2"_s, 1000, 100, 50, 30, QString());
        s.rows.head(u"T01"_s, u"B2"_s, 2);
        s.rows.item(u"T01"_s, u"B2"_s, u"12:00:00"_s, 1, u"咖哩飯"_s, u"N1"_s, QString(), QString(), 1, 1000,
                    u"PK"_s);
        QVERIFY(s.receipts.PrintCheck(u"RCPT"_s, u"B2"_s, false));
        const QStringList texts = documentTexts(s.printedDoc());
        QVERIFY(texts.contains(u"折扣-它項:|50元"_s));
        QVERIFY(texts.contains(u"加計項:|30元"_s));
        QVERIFY(texts.contains(u"結帳單:B2"_s)); // no bill time: not paid, no "(收)"
        QVERIFY(!texts.join(u'\n').contains(u"收款:"_s));
        QVERIFY(find(s.printedDoc(), u"折扣-它項:"_s).y < find(s.printedDoc(), u"加計項:"_s).y);
    }

    void longBillsBreakAt7400AndTotalsStartAt6300() {
        bool totalsOnTheItemsPage = false;
        bool totalsOnANewPage = false;
        for (int count : {25, 36}) {
            Site s;
            s.rows.bill(u"B3"_s, 100 * count, 0, 0, 0);
            s.rows.head(u"T05"_s, u"B3"_s, 3);
            for (int i = 1; i <= count; ++i)
                s.rows.item(u"T05"_s, u"B3"_s, u"12:00:00"_s, i, u"品項%1"_s.arg(i, 2, 10, QChar(u'0')),
                            u"N1"_s, QString(), QString(), 1, 100, u"PK"_s);
            QVERIFY(s.receipts.PrintCheck(u"RCPT"_s, u"B3"_s, false));
            const Document& doc = s.printedDoc();
            QVERIFY(doc.pageCount() >= 2);
            int lastItemPage = 0;
            double lastItemY = 0;
            for (int i = 1; i <= count; ++i) {
                const Found row = find(doc, u"品項%1|"_s.arg(i, 2, 10, QChar(u'0')));
                QVERIFY(row.page >= 0);
                // A row starts only while the page is still above the break.
                if (row.page == lastItemPage && i > 1)
                    QVERIFY(lastItemY <= ReceiptLayouts::kItemsBottom);
                lastItemPage = row.page;
                lastItemY = row.y;
            }
            for (int p = 0; p < doc.pageCount(); ++p) {
                const QStringList texts = pageTexts(doc, p);
                QVERIFY(texts.contains(u"頁次:%1"_s.arg(p + 1)));
                QVERIFY(texts.contains(u"桌次:T05"_s));
                QCOMPARE(texts.count(u"<謝謝光臨>"_s), 1);
            }
            const Found totals = find(doc, u"消費金額:"_s);
            QCOMPARE(totals.y, ReceiptLayouts::kTotalsTop);
            QCOMPARE(totals.page, doc.pageCount() - 1);
            if (totals.page == lastItemPage) {
                totalsOnTheItemsPage = true;
                QVERIFY(lastItemY < ReceiptLayouts::kTotalsTop);
            } else {
                totalsOnANewPage = true;
                QCOMPARE(totals.page, lastItemPage + 1);
            }
        }
        QVERIFY(totalsOnTheItemsPage);
        QVERIFY(totalsOnANewPage);
    }

    void billsThatCannotBePrinted() {
        Site s;
        QVERIFY(!s.receipts.PrintCheck(u"NONE"_s, u"B1"_s, false));
        QCOMPARE(s.boxTexts(), QStringList{u"沒有安裝結帳單印表機:NONE"_s});
        // Queue names are compared exactly.
        QVERIFY(!s.receipts.PrintCheck(u"rcpt"_s, u"B1"_s, false));

        s.f.dialogs.shown.clear();
        QVERIFY(!s.receipts.PrintCheck(u"RCPT"_s, u"X9"_s, false));
        s.rows.bill(u"B4"_s, 100, 0, 0, 0); // a bill without items
        QVERIFY(!s.receipts.PrintCheck(u"RCPT"_s, u"B4"_s, false));
        s.rows.head(u"T01"_s, u"B5"_s, 1); // items without a bill row
        s.rows.item(u"T01"_s, u"B5"_s, u"12:00:00"_s, 1, u"湯"_s, u"N1"_s, QString(), QString(), 1, 50,
                    u"PK"_s);
        QVERIFY(!s.receipts.PrintCheck(u"RCPT"_s, u"B5"_s, false));
        QCOMPARE(s.boxTexts(), (QStringList{u"查無此帳單:X9"_s, u"查無此帳單:B4"_s, u"查無此帳單:B5"_s}));
        QVERIFY(s.printing.printed.empty());
        QCOMPARE(s.receipts.selectedPrinter(), u"PDF"_s);
        // A quote in the bill number stays inside the value.
        QVERIFY(!s.receipts.PrintCheck(u"RCPT"_s, u"X' OR '1'='1"_s, false));
        QVERIFY(s.printing.printed.empty());
    }

    void orderTicketItemTextsNumbersAndHead() {
        Site s;
        s.rows.head(u"T01"_s, u"A1"_s, 4, u"陳大文waiter"_s);
        const QString batch = u"11:05:10"_s;
        s.rows.item(u"T01"_s, u"A1"_s, batch, 1, u"牛肉麵"_s, u"N1"_s, u"大"_s, QString(), 2, 560, u"PK"_s);
        s.rows.item(u"T01"_s, u"A1"_s, batch, 2, u"加麵"_s, u"S2"_s, QString(), QString(), 1, 30, u"PK"_s);
        s.rows.item(u"T01"_s, u"A1"_s, batch, 3, u"辣油"_s, u"A1"_s, QString(), u"小辣"_s, 1, 0, u"PK"_s);
        s.rows.item(u"T01"_s, u"A1"_s, batch, 4, u"湯"_s, u"T1"_s, u"小"_s, QString(), 1, 0, u"PK"_s);
        s.rows.item(u"T01"_s, u"A1"_s, batch, 5, u"紅茶"_s, u"N1"_s, QString(), u"少冰"_s, 2, 80, u"PB"_s);
        s.rows.item(u"T01"_s, u"A1"_s, u"11:30:00"_s, 6, u"另一批"_s, u"N1"_s, QString(), QString(), 1, 1,
                    u"PK"_s);

        s.receipts.selectPrinter(u"FRONT"_s);
        QVERIFY(s.receipts.PrintOrder(u"T01"_s, batch, false));
        QCOMPARE(s.printing.lastPrinted().printer, u"ORD"_s);
        QCOMPARE(s.receipts.selectedPrinter(), u"FRONT"_s);
        const Document& doc = s.printedDoc();
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(boxes(doc, 0), 1);
        const QStringList texts = pageTexts(doc, 0);
        const QStringList expected{u"點菜單號 - 0001"_s,
                                   u"桌 次:|T01|人 數:|4"_s,
                                   u"日 期:|2026/12/08|時 間:|11:05"_s,
                                   u"服務員|陳大文wai|頁 次:|1"_s,
                                   u"項次|品   名|數量|備註"_s,
                                   u"1|牛肉麵-大|2|"_s,
                                   u"2| -加麵|1|"_s,
                                   u"3| (辣油) |1|小辣"_s,
                                   u"4| (湯) -小|1|"_s,
                                   u"5|紅茶|2|少冰"_s,
                                   u"<謝謝光臨>"_s};
        QCOMPARE(texts, expected);
        QCOMPARE(s.status, (QStringList{u"列印中, 請稍候..."_s, u"列印完成"_s}));

        QVERIFY(s.receipts.PrintOrder(u"T01"_s, batch, false));
        QVERIFY(pageTexts(s.printedDoc(), 0).contains(u"點菜單號 - 0002"_s));
    }

    void orderTicketFailures() {
        Site s;
        s.f.save("ZEL", "KP", "OPrinter", QString());
        QVERIFY(!s.receipts.PrintOrder(u"T01"_s, u"11:00:00"_s, false));
        s.f.save("ZEL", "KP", "OPrinter", u"ORD"_s);
        QVERIFY(!s.receipts.PrintOrder(u"T09"_s, u"11:00:00"_s, false));
        s.rows.head(u"T01"_s, u"A1"_s, 2);
        QVERIFY(!s.receipts.PrintOrder(u"T01"_s, u"11:00:00"_s, false));
        QCOMPARE(s.boxTexts(),
                 (QStringList{u"未設定點單印表機, 無法列印"_s, u"找不到未結帳的點菜單頭資料(桌號: T09)"_s,
                              u"找不到此批點菜明細資料(桌號: T01, 時間: 11:00:00)"_s}));
        QVERIFY(s.printing.printed.empty());
    }

    void kitchenAndBarTicketsByStation() {
        Site s;
        s.rows.head(u"T02"_s, u"A2"_s, 2);
        const QString batch = u"11:40:00"_s;
        s.rows.item(u"T02"_s, u"A2"_s, batch, 1, u"排骨飯"_s, u"N1"_s, QString(), QString(), 2, 440, u"PK"_s);
        s.rows.item(u"T02"_s, u"A2"_s, batch, 2, u"紅茶"_s, u"N1"_s, u"大"_s, u"去冰"_s, 2, 360, u"PB"_s);
        s.rows.item(u"T02"_s, u"A2"_s, batch, 3, u"甜點"_s, u"N1"_s, QString(), QString(), 1, 90, u"PD"_s);

        QVERIFY(s.receipts.PrintKB(u"T02"_s, batch, u"PB"_s, false));
        QVERIFY(s.receipts.PrintKB(u"T02"_s, batch, u"PK"_s, false));
        QVERIFY(s.receipts.PrintKB(u"T02"_s, batch, u"PD"_s, false));
        QVERIFY(s.receipts.PrintKB(u"T02"_s, batch, u"PK"_s, false));
        QCOMPARE(s.printing.printed.size(), size_t(4));
        const auto& p = s.printing.printed;
        QCOMPARE(p[0].printer, u"BAR"_s);
        QCOMPARE(p[1].printer, u"KIT"_s);
        QCOMPARE(p[2].printer, u"KIT"_s);
        QCOMPARE(pageTexts(p[0].document, 0),
                 (QStringList{u"吧檯單-0001"_s, u"桌 次:|T02|頁 次:|1"_s, u"日 期:|2026/12/08|時 間:|11:40"_s,
                              u"項次|品   名|數量|備註"_s, u"2|紅茶-大|2|去冰"_s, u"<謝謝光臨>"_s}));
        QCOMPARE(pageTexts(p[1].document, 0)[0], u"廚房出菜單-0001"_s);
        QVERIFY(pageTexts(p[1].document, 0).contains(u"1|排骨飯|2|"_s));
        QCOMPARE(pageTexts(p[2].document, 0)[0], u"0001"_s);
        QCOMPARE(pageTexts(p[3].document, 0)[0], u"廚房出菜單-0002"_s);
        QCOMPARE(boxes(p[0].document, 0), 0);
        // Kitchen items are printed larger than order-ticket items.
        const Document& kb = p[1].document;
        for (const PageItem& item : kb.page(0).items) {
            if (item.kind == PageItem::TableRow && kb.text(item).startsWith(u"1|"_s))
                QCOMPARE(kb.style(item.style).size, 12.0);
        }

        // A station with nothing to make: nothing printed, nothing said, true.
        s.receipts.selectPrinter(u"FRONT"_s);
        QVERIFY(s.receipts.PrintKB(u"T02"_s, batch, u"PX"_s, false));
        QCOMPARE(s.printing.printed.size(), size_t(4));
        QVERIFY(s.f.dialogs.shown.isEmpty());
        QCOMPARE(s.receipts.selectedPrinter(), u"FRONT"_s);

        s.f.save("ZEL", "KP", "BPrinter", QString());
        s.f.save("ZEL", "KP", "KPrinter", QString());
        QVERIFY(!s.receipts.PrintKB(u"T02"_s, batch, u"PB"_s, false));
        QVERIFY(!s.receipts.PrintKB(u"T02"_s, batch, u"PD"_s, false));
        QCOMPARE(s.boxTexts(),
                 (QStringList{u"未設定吧檯印表機, 無法列印"_s, u"未設定廚房印表機, 無法列印"_s}));
    }

    void previewModeStaysUntilTheBillSetsIt() {
        Site s;
        s.rows.bill(u"B6"_s, 100, 10, 0, 0);
        s.rows.head(u"T03"_s, u"B6"_s, 1);
        s.rows.item(u"T03"_s, u"B6"_s, u"13:00:00"_s, 1, u"麵"_s, u"N1"_s, QString(), QString(), 1, 100,
                    u"PK"_s);
        QVERIFY(s.receipts.PrintOrder(u"T03"_s, u"13:00:00"_s, true));
        QVERIFY(s.receipts.PrintOrder(u"T03"_s, u"13:00:00"_s, false));
        QCOMPARE(s.printing.previews.size(), size_t(2));
        QVERIFY(s.printing.printed.empty());
        QCOMPARE(s.printing.previewAt(0).header, u"TM88列印預覽視窗"_s);
        QVERIFY(s.receipts.PrintCheck(u"RCPT"_s, u"B6"_s, false));
        QCOMPARE(s.printing.printed.size(), size_t(1));
        QVERIFY(s.receipts.PrintCheck(u"RCPT"_s, u"B6"_s, true));
        QCOMPARE(s.printing.previews.size(), size_t(3));
    }

    void printFailureIsReportedAndKeepsTheTicketPrinter() {
        Site s;
        s.rows.head(u"T01"_s, u"A1"_s, 2);
        s.rows.item(u"T01"_s, u"A1"_s, u"11:00:00"_s, 1, u"麵"_s, u"N1"_s, QString(), QString(), 1, 100,
                    u"PK"_s);
        s.printing.printFault = u"印表機未安裝: ORD"_s;
        s.receipts.selectPrinter(u"FRONT"_s);
        QVERIFY(!s.receipts.PrintOrder(u"T01"_s, u"11:00:00"_s, false));
        QVERIFY(s.boxTexts().join(u'\n').contains(u"印表機未安裝: ORD"_s));
        QCOMPARE(s.receipts.selectedPrinter(), u"ORD"_s);
    }

    // The bill as a PDF on an 80 mm roll, read back with word positions.
    void billAsPdfHasItsTextsWhereTheLayoutPutsThem() {
        Site s;
        s.rows.bill(u"B7"_s, 560, 56, 0, 0);
        s.rows.head(u"T01"_s, u"B7"_s, 4);
        s.rows.item(u"T01"_s, u"B7"_s, u"11:05:10"_s, 1, u"牛肉麵"_s, u"N1"_s, u"大"_s, QString(), 2, 560,
                    u"PK"_s);
        QVERIFY(s.receipts.PrintCheck(u"RCPT"_s, u"B7"_s, false));
        const QString pdf = s.f.dir.filePath(u"bill.pdf"_s);
        savePdf(s.printedDoc(), pdf);
        QProcess p;
        p.start(u"pdftotext"_s, {u"-bbox"_s, pdf, u"-"_s});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString html = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpression pageRe(uR"re(<page width="([\d.]+)" height="([\d.]+)")re"_s);
        const auto page = pageRe.match(html);
        QVERIFY(page.hasMatch());
        QVERIFY(qAbs(page.captured(1).toDouble() - ReceiptLayouts::kRollWidth / 20.0) < 1);
        // Twips to points: divide by 20.
        const auto wordAt = [&](const QString& word) -> QPointF {
            const QRegularExpression re(uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>)re"_s +
                                        QRegularExpression::escape(word.toHtmlEscaped()) + u"</word>"_s);
            const auto m = re.match(html);
            return m.hasMatch() ? QPointF(m.captured(1).toDouble(), m.captured(2).toDouble())
                                : QPointF(-1, -1);
        };
        const QPointF table = wordAt(u"桌次:T01"_s);
        QVERIFY2(qAbs(table.x() - 25) < 2 && qAbs(table.y() - 60) < 4, qPrintable(html));
        const QPointF guests = wordAt(u"人數:4"_s);
        QVERIFY(qAbs(guests.x() - 155) < 2 && qAbs(guests.y() - 60) < 4);
        const QPointF total = wordAt(u"結帳金額:"_s);
        QVERIFY(total.y() > 315 && total.y() < 345);
        QVERIFY(wordAt(u"616元"_s).x() > total.x());
        const QPointF thanks = wordAt(u"<謝謝光臨>"_s);
        QVERIFY(qAbs(thanks.x() - 20) < 2 && qAbs(thanks.y() - 407.5) < 4);
    }

    void amountsInTheSiteFormat() {
        QCOMPARE(formatAmount(1234567, u"#,##0"_s), u"1,234,567"_s);
        QCOMPARE(formatAmount(1234.5, u"#,##0.00"_s), u"1,234.50"_s);
        QCOMPARE(formatAmount(-12.5, u"0"_s), u"-13"_s);
        QCOMPARE(formatAmount(0, u"#,##0"_s), u"0"_s);
    }

    void commandLineNamesOneReceipt() {
        QString error;
        auto cmd =
            PrintCommand::parse({u"check"_s, u"A0011"_s, u"--printer"_s, u"PDF"_s, u"--preview"_s}, error);
        QVERIFY(cmd);
        QCOMPARE(cmd->kind, PrintCommand::Check);
        QCOMPARE(cmd->values, QStringList{u"A0011"_s});
        QCOMPARE(cmd->printer, u"PDF"_s);
        QVERIFY(cmd->preview);
        cmd = PrintCommand::parse({u"kb"_s, u"T01"_s, u"11:05:10"_s, u"PB"_s}, error);
        QVERIFY(cmd && cmd->kind == PrintCommand::KB && cmd->values.size() == 3 && !cmd->preview);
        for (const QStringList& bad : {QStringList{},
                                       {u"order"_s, u"T01"_s},
                                       {u"check"_s, u"A1"_s, u"--printer"_s},
                                       {u"order"_s, u"T01"_s, u"1"_s, u"--printer"_s, u"X"_s},
                                       {u"kb"_s, u"T01"_s, u"1"_s, u" "_s},
                                       {u"check"_s, u"A1"_s, u"--copies"_s},
                                       {u"print"_s, u"A1"_s}}) {
            error.clear();
            QVERIFY2(!PrintCommand::parse(bad, error), qPrintable(bad.join(u' ')));
            QVERIFY(!error.isEmpty());
        }
    }
};

QTEST_MAIN(TestReceipts)
#include "tst_receipts.moc"
