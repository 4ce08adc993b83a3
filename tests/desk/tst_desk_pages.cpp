// The settings page, the store-code pickers and the report page of the desk,
// through the fake view and dialogs; the connection test against the real
// memberd.
#include "common/Formatting.h"
#include "desk/MemberDesk.h"
#include "support/FakePrinting.h"

#include <QSqlQuery>
#include <QTest>

using namespace tolva;

class TestDeskPages : public QObject {
    Q_OBJECT

    // A desk on its own database, no link.
    struct LocalDesk {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link{f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage};
        FakePrinting printing;
        Desk desk{f.ctx, view, link, &printing};
        LocalDesk() {
            desk.setPause([](int) {});
        }
        int codeRows(const QString& code) {
            QSqlQuery q = f.ctx.gCNT.query(
                QStringLiteral("SELECT count(*) FROM xxCODE WHERE CodeType = 'TOLVA' AND Code = ") +
                QuotStr(code));
            q.next();
            return q.value(0).toInt();
        }
    };

private slots:
    void linkSettingsAreKeptExactlyAsTyped() {
        LocalDesk d;
        SettingsPage& page = d.desk.settingsPage();
        // Both empty: only the host message; nothing stored.
        page.cmdSetting_Click();
        QCOMPARE(d.f.dialogs.msgs, QStringList{QStringLiteral("請輸入遠端主機的IP")});
        d.view.setText(ctl::txtIP, QStringLiteral("   "));
        page.cmdSetting_Click();
        QCOMPARE(d.f.dialogs.lastMsg(), QStringLiteral("請輸入遠端主機的連線密碼"));
        QCOMPARE(d.f.get("ZELQ", "TOLVA", "IP"), QString());

        // Blanks only pass; the password keeps its blanks.
        d.view.setText(ctl::txtPWD, QStringLiteral(" pa ss "));
        page.cmdSetting_Click();
        QCOMPARE(d.f.get("ZELQ", "TOLVA", "IP"), QStringLiteral("   "));
        QCOMPARE(d.f.get("ZELQ", "TOLVA", "PWD"), QStringLiteral(" pa ss "));
        QVERIFY(d.f.dialogs.lastText().contains(QStringLiteral("設定OK")));
    }

    void storeCodesAreCreatedOnceTrimmedWithTheirApostrophes() {
        LocalDesk d;
        SettingsPage& page = d.desk.settingsPage();
        page.cmdSetStore_Click();
        QCOMPARE(d.f.dialogs.msgs, QStringList{QStringLiteral("請輸入店代號")});

        // Remote-link mode changes nothing: codes live in the local database.
        d.view.master = false;
        d.view.setText(ctl::txtTxnDept(2), QStringLiteral("  O'S1 "));
        page.cmdSetStore_Click();
        QCOMPARE(d.codeRows(QStringLiteral("O'S1")), 1);
        QCOMPARE(d.view.text(ctl::txtTxnDept(2)), QString());

        d.view.setText(ctl::txtTxnDept(2), QStringLiteral("O'S1"));
        page.cmdSetStore_Click();
        QCOMPARE(d.codeRows(QStringLiteral("O'S1")), 1);
        QCOMPARE(d.view.text(ctl::txtTxnDept(2)), QStringLiteral("O'S1"));
        QCOMPARE(d.view.text(ctl::elaMsg), QStringLiteral("此分店已建檔"));
    }

    void pickersFillOnlyTheirOwnField() {
        LocalDesk d;
        SettingsPage& page = d.desk.settingsPage();
        // No codes: the picker never shows and nothing changes.
        d.view.setText(ctl::txtTxnDept(1), QStringLiteral("S01"));
        page.txtTxnDept_DblClick(1);
        QVERIFY(d.f.dialogs.picksShown.isEmpty());
        QCOMPARE(d.view.text(ctl::txtTxnDept(1)), QStringLiteral("S01"));

        for (const char* code : {"S01", "S02", "S03"})
            d.f.ctx.gCNT.execute(QStringLiteral("INSERT INTO xxCODE (CodeType, Code) VALUES ('TOLVA', '%1')")
                                     .arg(QLatin1String(code)));
        d.f.ctx.gCNT.execute(QStringLiteral("INSERT INTO xxCODE (CodeType, Code) VALUES ('OTHER', 'X9')"));
        d.view.setText(ctl::txtTxnDept(0), QStringLiteral("S01"));
        d.f.dialogs.pickAnswers << 1;
        page.txtTxnDept_DblClick(1);
        QCOMPARE(d.f.dialogs.picksShown.size(), 1);
        QCOMPARE(d.f.dialogs.lastPick().rows.size(), 3);
        QCOMPARE(d.view.text(ctl::txtTxnDept(1)), QStringLiteral("S02"));
        QCOMPARE(d.view.text(ctl::txtTxnDept(0)), QStringLiteral("S01"));

        // Escape leaves the target as it was.
        d.view.setText(ctl::txtFmComID, QStringLiteral("S03"));
        d.f.dialogs.pickAnswers << std::nullopt;
        page.cmdFmComID_Click();
        QCOMPARE(d.view.text(ctl::txtFmComID), QStringLiteral("S03"));

        // A failing query: the button passes it over, the double-click reports.
        d.f.ctx.gCNT.execute(QStringLiteral("DROP TABLE xxCODE"));
        page.cmdTxnDept_Click(0);
        QVERIFY(d.f.errors().isEmpty());
        page.txtTxnDept_DblClick(0);
        QVERIFY(d.f.errors().contains(QStringLiteral("fmTOLVA_txtTxnDept_DblClick")));
    }

    void dateFieldsTakeTheCalendarsDayInTheSiteStyle() {
        LocalDesk d;
        d.f.ctx.g.gCalendar = QStringLiteral("CC/MM/DD");
        d.view.setText(ctl::txtDateB, QStringLiteral("115/12/08"));
        d.f.dialogs.dateAnswers << QDate(2026, 11, 30);
        d.desk.reportPage().txtDateB_DblClick();
        QCOMPARE(d.view.text(ctl::txtDateB), QStringLiteral("115/11/30"));
        QCOMPARE(d.f.dialogs.datePickCalls.size(), 1);
        QCOMPARE(readAsDate(d.f.dialogs.datePickCallAt(0).value_or(QVariant()))->date(), QDate(2026, 12, 8));

        d.f.dialogs.dateAnswers << std::nullopt; // "離開"
        d.desk.reportPage().txtDateB_DblClick();
        QCOMPARE(d.view.text(ctl::txtDateB), QStringLiteral("115/11/30"));
    }

    void reportNeedsItsPrinterAndHonoursTotalsOnly() {
        LocalDesk d;
        d.f.save("ZEL", "KP", "CPrinter", QStringLiteral("PDF"));
        d.desk.reportPage().cmdPrintS_Click();
        QVERIFY(d.f.dialogs.lastText().contains(QStringLiteral("帳單印表機未安裝:PDF")));
        QVERIFY(d.printing.previews.empty());

        d.printing.installed = {QStringLiteral("PDF")};
        d.f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO VCardLog (TxnDept, TxnType, CardNo, TxnDate, TxnAmt, "
                           "RefCheckNo) VALUES ('S01', '2', 'M0001', '2026-12-08', 500, 'A0012')"));
        d.view.checked.insert(ctl::Check1);
        d.desk.reportPage().cmdPrintS_Click();
        QCOMPARE(d.printing.previews.size(), size_t(1));
        const QString texts = documentTexts(d.printing.previewAt(0).document).join(QLatin1Char('\n'));
        QVERIFY(texts.contains(QStringLiteral("會員點數明細表")));
        QVERIFY(!texts.contains(QStringLiteral("M0001")));

        // A report that cannot be composed is reported and leaves no hourglass.
        d.f.ctx.gCNT.execute(QStringLiteral("DROP TABLE VCardLog"));
        d.desk.reportPage().cmdPrintS_Click();
        QVERIFY(d.f.errors().contains(QStringLiteral("fmTOLVA_cmdPrintS_Click")));
        QVERIFY(d.f.dialogs.normalPointers >= d.f.dialogs.busyPointers);
    }

    void connectionTestUsesTheShownSettingsAndKeepsNone() {
        MemberDesk m(QStringLiteral("127.0.0.201"));
        QVERIFY(m.memberd->start());
        SettingsPage& page = m.desk.settingsPage();
        m.view.setText(ctl::txtIP, m.memberd->address());
        m.view.setText(ctl::txtPWD, QStringLiteral("secret"));
        page.cmdTest_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("連線成功"));
        m.view.setText(ctl::txtPWD, QStringLiteral("wrong"));
        page.cmdTest_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("無法與會員資料庫連線!!"));
        // Nothing was stored, and the window's link label was not touched.
        QCOMPARE(m.f.get("ZELQ", "TOLVA", "PWD"), QStringLiteral("secret"));
        QCOMPARE(m.view.text(ctl::lblMode), QString());
    }
};

QTEST_MAIN(TestDeskPages)
#include "tst_desk_pages.moc"
