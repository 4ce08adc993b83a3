// Entering values on a till without a keyboard, and the next guest: every
// field the operator fills has a keypad that names it and opens with its
// value, and looking up another card clears what was typed for the last.
#include "desk/MemberDesk.h"

#include <QTest>

using namespace tolva;

class TestDeskEntry : public QObject {
    Q_OBJECT

private slots:
    void keypadsNameTheirFieldAndOpenWithItsValue() {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        desk.Form_Load();

        // 授權碼 by keypad: an offline posting needs no keyboard.
        view.setText(ctl::txtRemark(1), QStringLiteral("12"));
        f.dialogs.keypadAnswers << QStringLiteral("123456") << std::nullopt;
        desk.cmdRemark_Click(1);
        QCOMPARE(view.text(ctl::txtRemark(1)), QStringLiteral("123456"));
        QCOMPARE(f.dialogs.keypadHeaders.size(), 1);
        QCOMPARE(f.dialogs.keypadHeaders.first(), QStringLiteral("授權碼"));
        QCOMPARE(f.dialogs.keypadDefaults.first(), std::optional<QString>(QStringLiteral("12")));
        // Leaving the keypad keeps the field.
        desk.cmdRemark_Click(1);
        QCOMPARE(view.text(ctl::txtRemark(1)), QStringLiteral("123456"));

        // Bill and amount keypads name their fields and open with their values.
        view.setText(ctl::txtCheckNo(0), QStringLiteral("A00"));
        view.setText(ctl::txtAmt(0), QStringLiteral("50"));
        f.dialogs.keypadAnswers << std::nullopt << QStringLiteral("500");
        desk.cmdRefNo_Click(0);
        desk.cmdVoidAmt_Click(0);
        QCOMPARE(view.text(ctl::txtAmt(0)), QStringLiteral("500"));
        QCOMPARE(f.dialogs.keypadHeaders.size(), 4);
        QCOMPARE(f.dialogs.keypadHeaders.mid(2),
                 (QStringList{QStringLiteral("帳單號(桌次)"), QStringLiteral("加值金額")}));
        QCOMPARE(f.dialogs.keypadDefaults.mid(2),
                 (QList<std::optional<QString>>{QStringLiteral("A00"), QStringLiteral("50")}));
        QCOMPARE(f.dialogs.keypadsShown.mid(2),
                 (QList<Dialogs::Keypad>{Dialogs::Keypad::Alphanumeric, Dialogs::Keypad::Numeric}));

        // The card-number and name fields, on the panel and the query page.
        const QList<QPair<QString, QString>> fields = {{ctl::txtCustNoQry, QStringLiteral("客戶卡號")},
                                                       {ctl::txtCustNameQry, QStringLiteral("客戶名稱")},
                                                       {ctl::txtCustNo, QStringLiteral("客戶卡號")},
                                                       {ctl::txtCustName, QStringLiteral("客戶名稱")}};
        for (const auto& [field, caption] : fields) {
            view.setText(field, QStringLiteral("old"));
            f.dialogs.keypadAnswers << QStringLiteral("M0001");
            desk.field_DblClick(field);
            QCOMPARE(view.text(field), QStringLiteral("M0001"));
            QVERIFY(!f.dialogs.keypadHeaders.isEmpty());
            QCOMPARE(f.dialogs.keypadHeaders.last(), caption);
            QCOMPARE(f.dialogs.keypadDefaults.last(), std::optional<QString>(QStringLiteral("old")));
        }
        // Other fields open nothing on a double touch.
        const qsizetype shown = f.dialogs.keypadsShown.size();
        desk.field_DblClick(ctl::txtZIP);
        QCOMPARE(f.dialogs.keypadsShown.size(), shown);
    }

    void anotherCardClearsThePreviousGuestsBillAndAmount() {
        MemberDesk m(QStringLiteral("127.0.0.232"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0021"), QStringLiteral("周杰"), 500);
        m.addCard(QStringLiteral("M0022"), QStringLiteral("蔡依"), 900);
        m.desk.Form_Load();

        // Typed before any card was looked up: kept.
        m.view.texts[ctl::txtCheckNo(1)] = QStringLiteral("A0012");
        m.query(QStringLiteral("M0021"));
        QCOMPARE(m.view.text(ctl::txtCheckNo(1)), QStringLiteral("A0012"));
        m.view.texts[ctl::txtAmt(1)] = QStringLiteral("300");
        m.view.texts[ctl::txtRemark(1)] = QStringLiteral("999");
        // The same card again: kept.
        m.query(QStringLiteral("M0021"));
        QCOMPARE(m.view.text(ctl::txtAmt(1)), QStringLiteral("300"));
        // The next guest's card: the bill, amount and code of the last go.
        m.query(QStringLiteral("M0022"));
        QCOMPARE(m.view.text(ctl::txtTBonusAmt), QStringLiteral("900"));
        for (int i : {0, 1}) {
            QCOMPARE(m.view.text(ctl::txtCheckNo(i)), QString());
            QCOMPARE(m.view.text(ctl::txtAmt(i)), QString());
            QCOMPARE(m.view.text(ctl::txtRemark(i)), QString());
        }
        // A number not on file is another guest too.
        m.view.texts[ctl::txtAmt(0)] = QStringLiteral("1000");
        m.query(QStringLiteral("M0099"));
        QCOMPARE(m.view.text(ctl::elaMsg), QStringLiteral("客戶資料未建檔"));
        QCOMPARE(m.view.text(ctl::txtAmt(0)), QString());
    }

    void aHandedOverBillStaysWhenAnotherCardIsLookedUp() {
        MemberDesk m(QStringLiteral("127.0.0.233"));
        QVERIFY(m.memberd->start());
        m.addCard(QStringLiteral("M0023"), QStringLiteral("林一"), 500);
        m.addCard(QStringLiteral("M0024"), QStringLiteral("林二"), 900);
        m.handOff(QStringLiteral("2"), QStringLiteral("200"), QStringLiteral("M0023"));
        m.desk.Form_Load();
        QCOMPARE(m.view.text(ctl::txtCustNo), QStringLiteral("M0023"));
        m.query(QStringLiteral("M0024"));
        QCOMPARE(m.view.text(ctl::txtCustNo), QStringLiteral("M0024"));
        QCOMPARE(m.view.text(ctl::txtCheckNo(1)), QStringLiteral("A0012"));
        QCOMPARE(m.view.text(ctl::txtAmt(1)), QStringLiteral("200"));
    }
};

QTEST_GUILESS_MAIN(TestDeskEntry)
#include "tst_desk_entry.moc"
