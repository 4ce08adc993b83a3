// The summary report as it comes out: the PDF text in reading order, and page
// one drawn next to a stored reference image.
#include "desk/SummaryReport.h"
#include "print/PdfOutput.h"
#include "print/Renderer.h"
#include "support/CardLogRows.h"
#include "support/DeskFixture.h"
#include "support/FakePrinting.h"
#include "support/PdfText.h"

#include <QFile>
#include <QTest>

using namespace tolva;
using namespace Qt::StringLiterals;

class TestSummaryOutput : public QObject {
    Q_OBJECT

    static Printout report(DeskFixture& f, FakePrinting& printing) {
        addCardLog(f.ctx.gCNT, u""_s, u"M0009"_s, u"7"_s, u"12.5"_s, u"A00000"_s, u"2026/12/08"_s);
        addCardLogs(f.ctx.gCNT, 70, 3, u"2026/12/08"_s);
        return SummaryReport(f.ctx, printing).build(u"PDF"_s, u"2026/12/08"_s, u"2026/12/08"_s, false);
    }

private slots:
    void pdfTextInReadingOrder() {
        DeskFixture f;
        FakePrinting printing;
        const Printout out = report(f, printing);
        QCOMPARE(out.document.pageCount(), 2);
        const QString pdf = f.dir.filePath(u"report.pdf"_s);
        savePdf(out.document, pdf);
        const QString text = pdfText(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed; scripts/setup installs it");
        QCOMPARE(text.count(u'\f'), 2);
        const QStringList lines = squeezedLines(text);
        auto at = [&](const QString& line) { return lines.indexOf(line); };
        QVERIFY(at(u"會員點數明細表"_s) >= 0);
        QVERIFY(at(u"會員點數明細表"_s) < at(u"日期: 2026/12/08-2026/12/08"_s));
        QVERIFY(at(u"日期: 2026/12/08-2026/12/08"_s) < at(u"卡號 類別 金額 單號"_s));
        QVERIFY(at(u"卡號 類別 金額 單號"_s) < at(u"M0009 7 12.5 A00000"_s));
        QVERIFY(at(u"M0009 7 12.5 A00000"_s) < at(u"M0001 加值 100 A00001"_s));
        QVERIFY(at(u"M0001 加值 100 A00001"_s) < at(u"M0004 抵扣 130 A00004"_s));
        QVERIFY(at(u"總計:"_s) > at(u"M0070 抵扣 790 A00070"_s));
        QVERIFY(at(u"分店別 交易別 總金額"_s) > at(u"總計:"_s));
        QVERIFY(at(u"S01 加值 5160"_s) > at(u"分店別 交易別 總金額"_s));
        QVERIFY(at(u"7 12.5"_s) > at(u"分店別 交易別 總金額"_s));
        QVERIFY(at(u"S03 抵扣 4950"_s) > at(u"S03 加值 5400"_s));
    }

    // The first page as the preview draws it, against the stored image: at
    // most 0.5 % of the pixels may differ clearly (font rasterising may move
    // an edge by a pixel, a changed layout moves whole lines).
    void firstPageMatchesTheReference() {
        DeskFixture f;
        FakePrinting printing;
        const Printout out = report(f, printing);
        const QImage page =
            Renderer(out.document).pageImage(0, 60).convertToFormat(QImage::Format_Grayscale8);
        const QString reference = QStringLiteral(TOLVA_REFERENCE_DIR "/summary-page1.png");
        if (qEnvironmentVariableIsSet("TOLVA_UPDATE_REFERENCE")) {
            QVERIFY(page.save(reference));
            QSKIP("reference image written");
        }
        const QImage expected = QImage(reference).convertToFormat(QImage::Format_Grayscale8);
        QVERIFY2(!expected.isNull(), qPrintable(reference));
        QCOMPARE(page.size(), expected.size());
        qint64 differing = 0;
        for (int y = 0; y < page.height(); ++y) {
            const uchar* a = page.constScanLine(y);
            const uchar* b = expected.constScanLine(y);
            for (int x = 0; x < page.width(); ++x) {
                if (qAbs(int(a[x]) - int(b[x])) > 64)
                    ++differing;
            }
        }
        const double share = double(differing) / (qint64(page.width()) * page.height());
        if (share > 0.005)
            page.save(f.dir.filePath(u"actual.png"_s));
        QVERIFY2(share <= 0.005, qPrintable(u"%1 % of the pixels differ"_s.arg(share * 100)));
    }
};

QTEST_MAIN(TestSummaryOutput)
#include "tst_summary_output.moc"
