// A handed-over deposit shows what the guest pays apart from what the card
// is credited, and the line explaining the bonus stays on the page after
// the link's messages have taken the status line - against the real memberd.
#include "desk/Amounts.h"
#include "desk/MemberDesk.h"

#include <QTest>

using namespace tolva;

namespace {
const QString kCard = QStringLiteral("M0001");

QString depositLines(const FakeDeskView& view) {
    return QStringList{view.text(ctl::lblPaid), view.text(ctl::lblBonus), view.text(ctl::lblCredited),
                       view.text(ctl::lblBonusRule)}
        .join(QLatin1Char('|'));
}
} // namespace

class TestDeskDepositLines : public QObject {
    Q_OBJECT

private slots:
    void splitOfTheSetAmounts_data() {
        QTest::addColumn<double>("paid");
        QTest::addColumn<double>("credited");
        QTest::addColumn<QString>("rule");
        QTest::newRow("5000") << 5000.0 << 5250.0 << QStringLiteral("5000 * 105% = 5250");
        QTest::newRow("10000") << 10000.0 << 10800.0 << QStringLiteral("10000 * 108% = 10800");
        QTest::newRow("20000") << 20000.0 << 22000.0 << QStringLiteral("20000 * 110% = 22000");
        QTest::newRow("no bonus") << 4999.5 << 4999.5 << QString();
    }
    void splitOfTheSetAmounts() {
        QFETCH(double, paid);
        const DepositSplit split = depositSplit(paid);
        QCOMPARE(split.paid, paid);
        QTEST(split.credited, "credited");
        QTEST(split.rule, "rule");
    }

    void groupedAmountsKeepTheirDecimals() {
        QCOMPARE(groupedAmount(5250), QStringLiteral("5,250"));
        QCOMPARE(groupedAmount(1234567.5), QStringLiteral("1,234,567.5"));
        QCOMPARE(groupedAmount(250), QStringLiteral("250"));
        QCOMPARE(groupedAmount(0), QStringLiteral("0"));
        QCOMPARE(groupedAmount(-1500), QStringLiteral("-1,500"));
    }

    void handedOverDepositShowsPaidAndCreditedApart() {
        MemberDesk m(QStringLiteral("127.0.0.240"));
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("1"), QStringLiteral("5000"), kCard);
        m.desk.Form_Load();
        QVERIFY(m.desk.state().linked());
        // The amount posted is still the credited one.
        QCOMPARE(m.view.text(ctl::txtAmt(0)), QStringLiteral("5250"));
        QCOMPARE(depositLines(m.view), QStringLiteral("收款 5,000|贈送 250|入帳 5,250|5000 * 105% = 5250"));

        // The operator types another amount: it is paid and credited as is;
        // back at the opened amount, the bonus is shown again.
        bool cancel = false;
        m.view.texts[ctl::txtAmt(0)] = QStringLiteral("3000");
        m.desk.txtAmt_Validate(0, cancel);
        QVERIFY(!cancel);
        QCOMPARE(depositLines(m.view), QStringLiteral("收款 3,000|贈送 0|入帳 3,000|"));
        m.view.texts[ctl::txtAmt(0)] = QStringLiteral("5250");
        m.desk.txtAmt_Validate(0, cancel);
        QCOMPARE(depositLines(m.view), QStringLiteral("收款 5,000|贈送 250|入帳 5,250|5000 * 105% = 5250"));
        // Text that is no amount leaves the lines as they were.
        m.view.texts[ctl::txtAmt(0)] = QStringLiteral("abc");
        m.desk.txtAmt_Validate(0, cancel);
        QVERIFY(cancel);
        QCOMPARE(m.view.text(ctl::lblPaid), QStringLiteral("收款 5,000"));

        m.view.texts[ctl::txtAmt(0)] = QStringLiteral("5250");
        m.desk.cmdOK_Click(0);
        QVERIFY(m.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("5000"));
        QCOMPARE(m.balance(kCard), 6250.0);
    }

    void otherStartsShowNoDepositLines() {
        MemberDesk m(QStringLiteral("127.0.0.241"));
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("500"), kCard);
        m.desk.Form_Load();
        QCOMPARE(depositLines(m.view), QStringLiteral("|||"));
    }
};

QTEST_GUILESS_MAIN(TestDeskDepositLines)
#include "tst_desk_deposit_lines.moc"
