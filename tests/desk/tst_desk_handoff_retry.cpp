// A POS station that starts the desk again for a request is answered from
// the first posting, and only then: the request as handed over finds it
// whatever the operator corrected, and the same bill and amount on another
// day, later the same day, for another guest at the same table or under
// another station transaction id is a new posting - against the real memberd.
#include "desk/MemberDesk.h"

#include <QTest>

using namespace tolva;

namespace {
const QString kCard = QStringLiteral("M0001");
const QString kOtherCard = QStringLiteral("M0002");
const QDateTime kStart(QDate(2026, 12, 8), QTime(10, 30, 0));

// The operator looks the card up on a restarted desk and confirms the deduction.
[[maybe_unused]] void confirmWithCard(Restart& r, const QString& card) {
    r.view.texts[ctl::txtCustNoQry] = card;
    r.desk.cmdQry_Click();
    r.desk.cmdOK_Click(1);
}

[[maybe_unused]] int questionsAsked(const FakeDialogs& dialogs) {
    int n = 0;
    for (const FakeDialogs::Shown& box : dialogs.shown)
        n += box.kind == QLatin1String("ask") && box.text.contains(QStringLiteral("同一筆交易"));
    return n;
}
} // namespace

class TestDeskHandOffRetry : public QObject {
    Q_OBJECT

private slots:
    // The operator corrected the bill (or the amount) before confirming; the
    // POS, told nothing, asks again with its first request.
    void aCorrectedRequestIsFoundAsHandedOver_data() {
        QTest::addColumn<QString>("typedBill");
        QTest::addColumn<QString>("typedAmount");
        QTest::addColumn<double>("charged");
        QTest::newRow("bill corrected") << QStringLiteral("A0012") << QString() << 200.0;
        QTest::newRow("amount corrected") << QString() << QStringLiteral("150") << 150.0;
    }
    void aCorrectedRequestIsFoundAsHandedOver() {
        QFETCH(QString, typedBill);
        QFETCH(QString, typedAmount);
        QFETCH(double, charged);
        MemberDesk m(QStringLiteral("127.0.0.210"), QString(), {});
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        const QString handedBill = typedBill.isEmpty() ? QStringLiteral("A0012") : QStringLiteral("A0099");
        m.handOff(QStringLiteral("2"), QStringLiteral("200"), kCard, handedBill);
        m.desk.Form_Load();
        if (!typedBill.isEmpty()) {
            m.desk.cmdOK_Click(1);
            QVERIFY(!m.f.dialogs.msgs.isEmpty());
            QCOMPARE(m.f.dialogs.msgs.last(), QStringLiteral("此帳單號不存在"));
            m.view.texts[ctl::txtCheckNo(1)] = typedBill;
        }
        if (!typedAmount.isEmpty())
            m.view.texts[ctl::txtAmt(1)] = typedAmount;
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        // The answer names the bill the posting went to.
        QCOMPARE(m.f.get("ZEL", "TOLVA", "CheckNoAuth"), QStringLiteral("A0012"));

        m.f.save("ZEL", "TOLVA", "CheckNoAuth", QString());
        m.handOff(QStringLiteral("2"), QStringLiteral("200"), kCard, handedBill);
        Restart r(m.f);
        QVERIFY(r.view.ended);
        QVERIFY(!m.f.dialogs.msgs.isEmpty());
        QCOMPARE(m.f.dialogs.msgs.last(), QStringLiteral("此帳單已入帳"));
        QCOMPARE(m.f.get("ZEL", "TOLVA", "CheckNoAuth"), QStringLiteral("A0012"));
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), plainNumber(charged));
        QCOMPARE(m.balance(kCard), 1000.0 - charged);
        QCOMPARE(m.remoteLogRows(), 1);
        QCOMPARE(m.localLogRows(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDeskHandOffRetry)
#include "tst_desk_handoff_retry.moc"
