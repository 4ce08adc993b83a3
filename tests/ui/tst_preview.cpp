// The preview windows with real widgets: paging, printing through the
// printing interface, the CSV export, the grid rows and the decorated twin.
#include "printui/DecoratedPreviewWindow.h"
#include "printui/PreviewWindow.h"
#include "support/DeskFixture.h"
#include "support/FakePrinting.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace tolva;
using namespace Qt::StringLiterals;

class TestPreview : public QObject {
    Q_OBJECT

    struct Setup {
        DeskFixture f;
        FakePrinting printing;
        PreviewWindow w{f.ctx, printing};
        Setup() { printing.installed = {u"PDF"_s, u"TM88"_s}; }
    };

    static void threePages(PreviewWindow& w) {
        w.vsp().startDoc();
        for (int i = 1; i <= 3; ++i) {
            if (i > 1)
                w.vsp().newPage();
            w.vsp().paragraph(u"第 %1 頁"_s.arg(i));
        }
        w.vsp().endDoc();
        w.showDocument();
    }

    static void click(PreviewWindow& w, const char* name) {
        auto* b = qobject_cast<QPushButton*>(w.control(QString::fromLatin1(name)));
        QVERIFY2(b, name);
        b->click();
    }

    static QByteArray fileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void controlsAndCaption() {
        Setup s;
        QCOMPARE(s.w.windowTitle(), u"報表預覽畫面"_s);
        const QList<QPair<const char*, QString>> buttons = {{"cmdFirst", u"第一頁"_s},
                                                            {"cmdPrevious", u"上一頁"_s},
                                                            {"cmdNext", u"下一頁"_s},
                                                            {"cmdLast", u"最後一頁"_s},
                                                            {"cmdPrint", u"&P 列印"_s},
                                                            {"cmdPrintPage", u"列印本頁"_s},
                                                            {"cmdSetupPrinter", u"指定印表機"_s},
                                                            {"cmdSaveDoc", u"存檔"_s},
                                                            {"cmdExit", u"離開"_s}};
        for (const auto& [name, caption] : buttons) {
            auto* b = qobject_cast<QPushButton*>(s.w.control(QString::fromLatin1(name)));
            QVERIFY2(b, name);
            QCOMPARE(b->text(), caption);
            QCOMPARE(b->accessibleDescription(), QString::fromLatin1(name));
        }
        QVERIFY(s.w.control(u"vsFrame"_s) && s.w.control(u"vsp"_s));
        // Large enough for a finger on a touch till.
        s.w.show();
        for (const auto& button : buttons)
            if (QWidget* b = s.w.control(QString::fromLatin1(button.first)); b->isVisible())
                QVERIFY2(b->height() >= 48, button.first);
        s.w.hide();
    }

    void pagingStopsAtBothEnds() {
        Setup s;
        threePages(s.w);
        QCOMPARE(s.w.page(), 1);
        click(s.w, "cmdPrevious");
        QCOMPARE(s.w.page(), 1);
        click(s.w, "cmdNext");
        QCOMPARE(s.w.page(), 2);
        click(s.w, "cmdLast");
        QCOMPARE(s.w.page(), 3);
        click(s.w, "cmdNext");
        QCOMPARE(s.w.page(), 3);
        click(s.w, "cmdFirst");
        QCOMPARE(s.w.page(), 1);
        // Double-clicking the page toggles the zoom between whole page and 80 %.
        QCOMPARE(s.w.zoomMode(), 3);
        QTest::mouseDClick(s.w.control(u"vsp"_s), Qt::LeftButton);
        QCOMPARE(s.w.zoomMode(), 0);
        QTest::mouseDClick(s.w.control(u"vsp"_s), Qt::LeftButton);
        QCOMPARE(s.w.zoomMode(), 3);
    }

    // A report composed in parts: the first page at once, the rest while it is
    // shown, all of it before the last page or printing.
    static Printout inParts(int pages, bool failAtEnd = false) {
        Printout p;
        p.document.startDoc();
        p.document.paragraph(u"第 1 頁"_s);
        auto left = std::make_shared<int>(pages - 1);
        p.more = [left, failAtEnd](Printout& r) {
            if (*left == 0) {
                if (failAtEnd) {
                    r.failed = true;
                    return false;
                }
                r.document.endDoc();
                return false;
            }
            r.document.newPage();
            r.document.paragraph(u"第 %1 頁"_s.arg(r.document.pageCount()));
            return --*left >= 0;
        };
        return p;
    }

    void reportsComposedInParts() {
        Setup s;
        s.w.loadReport(inParts(3));
        s.w.show();
        QCOMPARE(s.w.page(), 1);
        QVERIFY(s.w.pageCount() >= 1);
        click(s.w, "cmdLast");
        QCOMPARE(s.w.pageCount(), 3);
        QCOMPARE(s.w.page(), 3);
        QVERIFY(s.w.vsp().isFinished());

        s.w.loadReport(inParts(4));
        QTRY_COMPARE(s.w.pageCount(), 4); // composed while the window waits
        QTRY_VERIFY(s.w.vsp().isFinished());

        s.w.loadReport(inParts(2, true));
        click(s.w, "cmdPrint");
        QVERIFY(s.printing.printed.empty());
        QVERIFY(!s.w.isVisible());
    }

    void printingWholePageAndDialog() {
        Setup s;
        // An empty document opens no printer dialog.
        click(s.w, "cmdSetupPrinter");
        QCOMPARE(s.printing.dialogsShown, 0);
        threePages(s.w);
        s.w.vsp().setPrinter(u"TM88"_s);
        click(s.w, "cmdPrint");
        // Each job the queue took is told, in a notice that closes by itself.
        QCOMPARE(s.f.dialogs.msgs, QStringList{u"已送出列印"_s});
        QVERIFY(s.f.dialogs.msgSeconds.value(0) > 0);
        click(s.w, "cmdNext");
        click(s.w, "cmdPrintPage");
        QCOMPARE(s.f.dialogs.msgs, (QStringList{u"已送出列印"_s, u"已送出列印"_s}));
        QCOMPARE(s.printing.printed.size(), size_t(2));
        QCOMPARE(s.printing.printedAt(0).printer, u"TM88"_s);
        QCOMPARE(s.printing.printedAt(0).fromPage, 0);
        QCOMPARE(s.printing.printedAt(0).document.pageCount(), 3);
        QCOMPARE(s.printing.printedAt(1).fromPage, 2);
        QCOMPARE(s.printing.printedAt(1).toPage, 2);
        s.printing.dialogAnswers.enqueue(true);
        click(s.w, "cmdSetupPrinter");
        QCOMPARE(s.printing.dialogsShown, 1);
        QVERIFY(s.printing.lastPrinted().viaDialog);
    }

    void printFailureReachesTheOperator() {
        Setup s;
        threePages(s.w);
        s.printing.printFault = u"印表機 TM88 無法列印: queue gone"_s;
        s.printing.printFaultOperator = u"找不到印表機 TM88，請通知管理人員"_s;
        click(s.w, "cmdPrint");
        // Told once in the operator's words; no question whose answer would
        // change nothing, no code, no technical text on screen.
        QCOMPARE(s.f.dialogs.shown.size(), qsizetype(1));
        QCOMPARE(s.f.dialogs.shownAt(0).kind, u"box"_s);
        QCOMPARE(s.f.dialogs.shownAt(0).text, u"找不到印表機 TM88，請通知管理人員"_s);
        QVERIFY(s.f.errors().contains(u"cmdPrint_Click"_s));
        QVERIFY(s.f.errors().contains(u"queue gone"_s));
        QVERIFY(s.w.control(u"cmdPrint"_s)->isEnabled());
        click(s.w, "cmdPrintPage");
        QVERIFY(s.f.errors().contains(u"cmdPrintPage_Click"_s));
        QVERIFY(s.printing.printed.empty());
        // Nothing claims a job that was refused.
        QVERIFY(s.f.dialogs.msgs.isEmpty());
    }

    void gridRowsFromRowTexts() {
        Setup s;
        s.w.ResetPage(2);
        QVERIFY(!s.w.control(u"cmdSaveDoc"_s)->isHidden());
        s.w.AddFGLine(u"A|B;"_s);
        s.w.AddFGLine(u"A|B"_s);
        s.w.AddFGLine(QString());
        QCOMPARE(s.w.fgList().rowCount(), 3);
        QCOMPARE(s.w.fgList().row(0), QStringList({u"A"_s, u"B"_s}));
        QCOMPARE(s.w.fgList().row(1), QStringList({u"A"_s, u"B"_s}));
        QCOMPARE(s.w.fgList().row(2), QStringList({QString(), QString()}));
        s.w.ResetPage();
        QVERIFY(s.w.control(u"cmdSaveDoc"_s)->isHidden());
        QCOMPARE(s.w.fgList().rowCount(), 0);
        QCOMPARE(s.w.fgList().columnCount(), 100);
        QCOMPARE(s.w.vsp().tableSeparators(), u"|;"_s);
        QCOMPARE(s.w.vsp().marginTop(), 1200);
        QCOMPARE(s.w.vsp().fontName(), u"標楷體"_s);
    }

    void savingCsvThroughTheDialog() {
        Setup s;
        s.w.ResetPage(2);
        s.w.AddFGLine(u"會員|1,000;"_s);
        // Cancelled: nothing written; the proposal is the program name + 報表輸出.
        click(s.w, "cmdSaveDoc");
        QCOMPARE(s.f.dialogs.saveProposals, QStringList{u"TOLVA報表輸出"_s});
        QCOMPARE(s.f.dialogs.saveFilterAt(0), u"csv檔案(*.csv)|*.csv|所有檔案|*.*|"_s);
        QCOMPARE(QDir(s.f.dir.path()).entryList({u"*報表*"_s}).size(), 0);
        // A name without ".csv" is saved as typed.
        const QString path = s.f.dir.filePath(u"export"_s);
        s.w.fvHeader = u"會員點數明細表"_s;
        s.f.dialogs.saveAnswers.enqueue(path);
        click(s.w, "cmdSaveDoc");
        QCOMPARE(s.f.dialogs.lastSaveProposal(), u"會員點數明細表"_s);
        QCOMPARE(s.f.ctx.codePage.decode(fileBytes(path)), u"會員,\"1,000\"\r\n"_s);
        QCOMPARE(s.f.dialogs.msgs, QStringList{u"已存檔 "_s + path});
        QVERIFY(!QFile::exists(path + u".csv"_s));
        // A bare name (no folder) is not a full path: nothing written.
        s.f.dialogs.saveAnswers.enqueue(u"bare"_s);
        click(s.w, "cmdSaveDoc");
        QVERIFY(!QFile::exists(u"bare"_s));
        // A file that cannot be written is reported under the button's name.
        s.f.dialogs.saveAnswers.enqueue(s.f.dir.filePath(u"missing/x.csv"_s));
        click(s.w, "cmdSaveDoc");
        QVERIFY(s.f.errors().contains(u"frmVSPBlank_cmdSaveDoc_Click"_s));
        QCOMPARE(s.f.dialogs.msgs.size(), qsizetype(1));
    }

    void saveCsvWithoutAsking() {
        Setup s;
        s.w.ResetPage(1);
        s.w.AddFGLine(u"x;"_s);
        s.w.SaveCSV(s.f.dir.filePath(u"nofolder"_s), u"a"_s);
        s.w.SaveCSV(s.f.dir.path()); // no name and an empty fvHeader
        QCOMPARE(QDir(s.f.dir.path()).entryList({u"*.CSV"_s}).size(), 0);
        s.w.SaveCSV(s.f.dir.path(), u"a"_s);
        QCOMPARE(fileBytes(s.f.dir.filePath(u"a.CSV"_s)), QByteArray("x\r\n"));
        QVERIFY(s.f.dialogs.shown.isEmpty());
    }

    void printerNamesCompareWithLetterCase() {
        Setup s;
        QVERIFY(s.w.IsPrinterInstalled(u"TM88"_s));
        QVERIFY(!s.w.IsPrinterInstalled(u"tm88"_s));
        QVERIFY(!s.w.IsPrinterInstalled(u"TM8"_s));
        QVERIFY(s.printing.isInstalled(u"tm88"_s)); // the print system itself ignores case
        s.printing.installed.clear();
        QVERIFY(!s.w.IsPrinterInstalled(u"TM88"_s));
    }

    void printTextAndFile() {
        Setup s;
        s.w.PrintTXT(u"第一行\n第二行"_s, u"Landscape"_s);
        QVERIFY(s.w.isVisible());
        QCOMPARE(s.w.vsp().pageWidth(), 16838);
        QCOMPARE(pageTexts(s.w.vsp(), 0), QStringList({u"第一行"_s, u"第二行"_s}));
        const QString file = s.f.dir.filePath(u"t.txt"_s);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(s.f.ctx.codePage.encode(u"檔案內容"_s));
        f.close();
        s.w.PrintFile(file);
        QCOMPARE(s.w.vsp().pageWidth(), 11906);
        QCOMPARE(pageTexts(s.w.vsp(), 0), QStringList{u"檔案內容"_s});
        s.w.PrintFile(s.f.dir.filePath(u"none.txt"_s));
        QVERIFY(s.f.errors().contains(u"PrintFile"_s));
        click(s.w, "cmdExit");
        QVERIFY(!s.w.isVisible());
    }

    void decoratedTwinNumbersItsPages() {
        DeskFixture f;
        FakePrinting printing;
        f.ctx.g.gCustName = u"示範餐廳"_s;
        QImage logo(20, 10, QImage::Format_RGB32);
        logo.fill(Qt::blue);
        f.ctx.g.gLogoFile = f.dir.filePath(u"logo.png"_s);
        QVERIFY(logo.save(f.ctx.g.gLogoFile));
        DecoratedPreviewWindow w(f.ctx, printing);
        QCOMPARE(w.objectName(), u"frmPrint"_s);
        QVERIFY(!w.imgLogo().isNull());
        w.ResetPage(3);
        QCOMPARE(w.vsp().tableSeparators(), u"#;"_s);
        w.fvHeader = u"月報"_s;
        w.fvProgID = u"R01"_s;
        threePages(w);
        QCOMPARE(w.pageCount(), 3);
        for (int p = 0; p < 3; ++p) {
            const QStringList texts = pageTexts(w.vsp(), p);
            QCOMPARE(texts.last(), u"頁次:%1/3"_s.arg(p + 1));
            QVERIFY(texts.contains(u"月報"_s));
            QVERIFY(texts.contains(u"程式編號:R01"_s));
            QVERIFY(texts.contains(u"列印時間: 2026/12/08 10:30:00"_s));
            QCOMPARE(texts.count(u"示範餐廳"_s), 2);
            QCOMPARE(w.vsp().page(p).items.back().kind, PageItem::Picture);
            QCOMPARE(w.vsp().page(p).items.back().w, 20 * 15);
        }
        w.PrintTXT(u"x"_s);
        QCOMPARE(w.vsp().style(w.vsp().page(0).items.front().style).size, 9.0);
        QCOMPARE(w.vsp().marginLeft(), 1200);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
