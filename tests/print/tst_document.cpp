// The document model: positions, page breaks, tables, editing finished pages,
// fonts that hold Chinese, and the export grid's CSV.
#include "common/CodePage.h"
#include "common/Fault.h"
#include "print/Document.h"
#include "print/ExportGrid.h"
#include "print/PrintFonts.h"
#include "print/Renderer.h"
#include "support/FakePrinting.h"

#include <QFile>
#include <QFontInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

class TestDocument : public QObject {
    Q_OBJECT

    static std::vector<PageItem> itemsOf(const Document& d, int page, PageItem::Kind kind) {
        std::vector<PageItem> out;
        for (const PageItem& i : d.page(page).items) {
            if (i.kind == kind)
                out.push_back(i);
        }
        return out;
    }

private slots:
    void emptyDocumentHasOneEmptyPage() {
        Document d;
        QCOMPARE(d.pageCount(), 0);
        d.startDoc();
        d.endDoc();
        QCOMPARE(d.pageCount(), 1);
        QVERIFY(d.page(0).items.empty());
        QVERIFY(d.isFinished());
        QCOMPARE(d.page(0).width, 11906);
        QCOMPARE(d.page(0).height, 16838);
    }

    void positionsMarginsAndAlignment() {
        Document d;
        d.setMarginLeft(500);
        d.startDoc();
        QCOMPARE(d.currentX(), 500.0);
        QCOMPARE(d.currentY(), 1440.0);
        d.setTextAlign(7);
        d.setFontSize(12);
        d.setFontBold(true);
        d.paragraph(QStringLiteral("會員點數明細表"));
        const PageItem title = d.page(0).items.back();
        QCOMPARE(title.x, 500);
        QCOMPARE(title.w, 11906 - 500 - 1440);
        QCOMPARE(title.align, quint8(1));
        QVERIFY(d.currentY() > 1440 + 200); // one 12-point line further down
        QCOMPARE(d.style(title.style).bold, true);

        // Text: left at the current X and moving it; right flush with the margin.
        d.setTextAlign(6);
        d.setFontBold(false);
        d.setCurrentX(2000);
        d.printText(QStringLiteral("時間:"));
        const PageItem left = d.page(0).items.back();
        QCOMPARE(left.x, 2000);
        QVERIFY(d.currentX() > 2000);
        d.setTextAlign(8);
        d.printText(QStringLiteral("頁次:1/1"));
        const PageItem right = d.page(0).items.back();
        QVERIFY(qAbs(right.x + right.w - (11906 - 1440)) <= 2);
        QCOMPARE(right.y, left.y); // same line
    }

    void paragraphsBreakPagesAtTheBottomMargin() {
        Document d;
        d.setPaperSize(4000, 6000);
        d.startDoc();
        for (int i = 0; i < 40; ++i)
            d.paragraph(QStringLiteral("行 %1").arg(i));
        d.endDoc();
        QVERIFY(d.pageCount() > 2);
        for (int p = 0; p < d.pageCount(); ++p) {
            for (const PageItem& i : d.page(p).items)
                QVERIFY2(i.y + i.h <= 6000 - 1440,
                         qPrintable(QStringLiteral("%1: %2+%3").arg(p).arg(i.y).arg(i.h)));
        }
        QCOMPARE(documentTexts(d).size(), 40);
        QCOMPARE(pageTexts(d, 1).front(), QStringLiteral("行 %1").arg(pageTexts(d, 0).size()));
    }

    void tablesHeadersAppendAndRepeat() {
        Document d;
        d.setPaperSize(6000, 5000);
        d.setTableSeparators(QStringLiteral("#;"));
        d.startDoc();
        d.addTable(QStringLiteral("<900#^500#>800;"), QStringLiteral("卡號#類別#金額;"),
                   QStringLiteral("A1#加值#1000;A2#抵扣#12.5;"));
        QCOMPARE(pageTexts(d, 0),
                 QStringList({QStringLiteral("卡號#類別#金額"), QStringLiteral("A1#加值#1000"),
                              QStringLiteral("A2#抵扣#12.5")}));
        const double below = d.currentY();
        // Appended rows print no header, even when one is given.
        d.addTable(QStringLiteral("<900#^500#>800;"), QStringLiteral("卡號#類別#金額;"),
                   QStringLiteral("A3#9#5;"), std::nullopt, std::nullopt, true);
        QCOMPARE(pageTexts(d, 0).size(), 4);
        QCOMPARE(d.page(0).items.back().y, qint32(below));
        // Rows that run onto a new page repeat the header of the table they continue.
        for (int i = 0; i < 30; ++i)
            d.addTable(QStringLiteral("<900#^500#>800;"), QString(), QStringLiteral("B#1#1;"), std::nullopt,
                       std::nullopt, true);
        QVERIFY(d.pageCount() >= 2);
        QCOMPARE(pageTexts(d, 1).front(), QStringLiteral("卡號#類別#金額"));

        const TableFormat& f = d.format(d.page(0).items.front().format);
        QCOMPARE(f.columns.size(), size_t(3));
        QCOMPARE(f.columns[1].align, 1);
        QCOMPARE(f.columns[2].align, 2);
        QCOMPARE(f.totalWidth(), 2200);
        // A format in the receipts' style: "|" between columns, a blank at the end.
        const TableFormat r = TableFormat::parse(QStringLiteral("2300|^650|>850 "), u'|', u';');
        QCOMPARE(r.columns.size(), size_t(3));
        QCOMPARE(r.columns[2].width, 850);
    }

    void shadingAndWrappedCells() {
        Document d;
        d.startDoc();
        d.addTable(QStringLiteral("<600|<3000;"), QStringLiteral("a|b;"),
                   QStringLiteral("一二三四五六七八九十一二三四五|x;"), qRgb(200, 200, 200),
                   qRgb(240, 240, 240));
        const auto rows = itemsOf(d, 0, PageItem::TableRow);
        QCOMPARE(rows.size(), size_t(2));
        QVERIFY(rows[0].shaded && rows[0].shade == qRgb(200, 200, 200));
        QVERIFY(rows[1].h > 2 * rows[0].h); // the narrow cell wraps over several lines
    }

    void editingFinishedPages() {
        Document d;
        int calls = 0;
        d.setEndDocHandler([&](Document& doc) {
            ++calls;
            for (int p = 1; p <= doc.pageCount(); ++p) {
                doc.startEditPage(p);
                doc.printText(QStringLiteral("頁次:%1/%2").arg(p).arg(doc.pageCount()));
                doc.endEditPage();
            }
        });
        d.startDoc();
        d.paragraph(QStringLiteral("one"));
        d.newPage();
        d.paragraph(QStringLiteral("two"));
        const double y = d.currentY();
        d.endDoc();
        QCOMPARE(calls, 1);
        QCOMPARE(pageTexts(d, 0), QStringList({QStringLiteral("one"), QStringLiteral("頁次:1/2")}));
        QCOMPARE(pageTexts(d, 1), QStringList({QStringLiteral("two"), QStringLiteral("頁次:2/2")}));
        QCOMPARE(d.currentY(), y);
        QVERIFY_THROWS_EXCEPTION(Fault, d.startEditPage(3));
    }

    void orientationLinesBoxesPictures() {
        Document d;
        d.setOrientation(1);
        d.startDoc();
        QCOMPARE(d.pageWidth(), 16838);
        QCOMPARE(d.pageHeight(), 11906);
        d.drawLine(10, 20, 30, 40);
        d.drawBox(100, 200, 50, 60);
        QImage logo(10, 10, QImage::Format_RGB32);
        logo.fill(Qt::red);
        d.drawPicture(logo, 800, 500, 10 * 15, 10 * 15);
        d.drawPicture(logo, 800, 900, 150, 150);
        const auto& items = d.page(0).items;
        QCOMPARE(items.size(), size_t(4));
        QCOMPARE(items[1].x, 50);
        QCOMPARE(items[1].w, 50);
        QCOMPARE(items[2].format, items[3].format); // one picture kept once
        const QImage page = Renderer(d).pageImage(0, 96);
        QCOMPARE(page.width(), qCeil(16838 * 96 / 1440.0));
        QCOMPARE(page.pixelColor(qRound(850 * 96 / 1440.0), qRound(550 * 96 / 1440.0)), QColor(Qt::red));
    }

    void windowsFaceNamesMapToChineseFaces() {
        QCOMPARE(printFamily(QStringLiteral("標楷體")), QStringLiteral("AR PL UKai TW"));
        QCOMPARE(printFamily(QStringLiteral("新細明體")), QStringLiteral("AR PL UMing TW"));
        QCOMPARE(printFamily(QStringLiteral("細明體")), QStringLiteral("AR PL UMing TW"));
        QCOMPARE(printFamily(QStringLiteral("arial")), QStringLiteral("WenQuanYi Micro Hei"));
        QCOMPARE(QFontInfo(printFont(FontStyle{QStringLiteral("標楷體"), 10, false})).family(),
                 QStringLiteral("AR PL UKai TW"));
        QFontMetricsF m(printFont(FontStyle{QStringLiteral("Arial"), 10, false}));
        QVERIFY(m.inFont(QChar(u'會')));
    }

    void exportGridRowsAndCsv() {
        ExportGrid g;
        g.reset(3);
        g.addLine(QStringLiteral("A|B;"), QStringLiteral("|;"));
        g.addLine(QStringLiteral("A|B"), QStringLiteral("|;"));
        g.addLine(QString(), QStringLiteral("|;"));
        g.addLine(QStringLiteral("1,5|say \"hi\"|two\nlines|dropped"), QStringLiteral("|;"));
        QCOMPARE(g.rowCount(), 4);
        QCOMPARE(g.row(0), QStringList({QStringLiteral("A"), QStringLiteral("B"), QString()}));
        QCOMPARE(g.row(1), g.row(0));
        QCOMPARE(g.row(2), QStringList({QString(), QString(), QString()}));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out"));
        g.addLine(QStringLiteral("會員#"), QStringLiteral("#;"));
        g.writeCsv(path, CodePage(QStringLiteral("CP950")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(
            CodePage(QStringLiteral("CP950")).decode(bytes),
            QStringLiteral("A,B,\r\nA,B,\r\n,,\r\n\"1,5\",\"say \"\"hi\"\"\",\"two\nlines\"\r\n會員,,\r\n"));
        QVERIFY(bytes.contains(QByteArray("\xb7\x7c\xad\xfb"))); // 會員 in Big5
        QVERIFY_THROWS_EXCEPTION(Fault, g.writeCsv(dir.filePath(QStringLiteral("no/such/folder/x.csv")),
                                                   CodePage(QStringLiteral("CP950"))));
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
