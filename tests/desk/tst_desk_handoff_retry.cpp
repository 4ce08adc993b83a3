// A POS station that starts the desk again for a request is answered from
// the first posting, and only then: the request as handed over finds it
// whatever the operator corrected, and the same bill and amount on another
// day, later the same day, for another guest at the same table or under
// another station transaction id is a new posting - against the real memberd.
#include "desk/HandOff.h"
#include "desk/MemberDesk.h"

#include <QTest>

using namespace tolva;

namespace {
const QString kCard = QStringLiteral("M0001");
const QString kOtherCard = QStringLiteral("M0002");
const QDateTime kStart(QDate(2026, 12, 8), QTime(10, 30, 0));

// The operator looks the card up on a restarted desk and confirms the deduction.
void confirmWithCard(Restart& r, const QString& card) {
    r.view.texts[ctl::txtCustNoQry] = card;
    r.desk.cmdQry_Click();
    r.desk.cmdOK_Click(1);
}

int questionsAsked(const FakeDialogs& dialogs) {
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
            QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("此帳單號不存在"));
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
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("此帳單已入帳"));
        QCOMPARE(m.f.get("ZEL", "TOLVA", "CheckNoAuth"), QStringLiteral("A0012"));
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), plainNumber(charged));
        QCOMPARE(m.balance(kCard), 1000.0 - charged);
        QCOMPARE(m.remoteLogRows(), 1);
        QCOMPARE(m.localLogRows(), 1);
    }

    // The same bill, type, amount and card again: a retry only on the same
    // business date and within the retry window of the earlier posting.
    void theSameRequestLaterIsANewPosting_data() {
        QTest::addColumn<int>("minutesLater");
        QTest::addColumn<bool>("nextDay");
        QTest::addColumn<int>("window");
        QTest::addColumn<bool>("retry");
        QTest::newRow("within the window") << 5 << false << 10 << true;
        QTest::newRow("after the window") << 11 << false << 10 << false;
        QTest::newRow("after a window set longer") << 11 << false << 30 << true;
        QTest::newRow("next business day") << 1 << true << 10 << false;
    }
    void theSameRequestLaterIsANewPosting() {
        QFETCH(int, minutesLater);
        QFETCH(bool, nextDay);
        QFETCH(int, window);
        QFETCH(bool, retry);
        MemberDesk m(QStringLiteral("127.0.0.211"), QString(), {});
        QVERIFY(m.memberd->start());
        m.f.ctx.g.gRetryMinutes = window;
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("500"), kCard);
        m.desk.Form_Load();
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);

        m.f.clock.advanceSecs(minutesLater * 60);
        if (nextDay)
            m.f.ctx.g.gOPDate = QStringLiteral("2026/12/09");
        m.f.save("ZEL", "TOLVA", "TxnAmtAuth", QString());
        m.handOff(QStringLiteral("2"), QStringLiteral("500"), kCard);
        Restart r(m.f);
        QCOMPARE(r.view.ended, retry);
        if (!retry)
            r.desk.cmdOK_Click(1);
        QVERIFY(r.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("500"));
        QCOMPARE(m.balance(kCard), retry ? 500.0 : 0.0);
        QCOMPARE(m.remoteLogRows(), retry ? 1 : 2);
        QCOMPARE(m.localLogRows(), retry ? 1 : 2);
        QCOMPARE(journalStates(m), retry ? QStringLiteral("P") : QStringLiteral("PP"));
        QCOMPARE(questionsAsked(m.f.dialogs), 0);
    }

    // A table number handed over without a card: within the window the
    // operator sees the earlier posting and says whether this is the same
    // transaction; No posts the next guest's payment, Yes answers the retry.
    void withoutACardTheOperatorTellsTheNextGuestFromARetry() {
        MemberDesk m(QStringLiteral("127.0.0.212"), QString(), {});
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.addCard(kOtherCard, QStringLiteral("乙"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("200"), QString());
        {
            Restart r(m.f);
            confirmWithCard(r, kCard);
            QVERIFY(r.view.ended);
        }
        m.f.clock.advanceSecs(3 * 60);
        m.handOff(QStringLiteral("2"), QStringLiteral("200"), QString());
        m.f.dialogs.yesNoAnswers.enqueue(false);
        {
            Restart r(m.f);
            QVERIFY(!r.view.ended);
            QCOMPARE(questionsAsked(m.f.dialogs), 1);
            confirmWithCard(r, kOtherCard);
            QVERIFY(r.view.ended);
        }
        QCOMPARE(m.balance(kOtherCard), 800.0);
        m.f.clock.advanceSecs(2 * 60);
        m.f.save("ZEL", "TOLVA", "TxnAmtAuth", QString());
        m.handOff(QStringLiteral("2"), QStringLiteral("200"), QString());
        m.f.dialogs.yesNoAnswers.enqueue(true);
        {
            Restart r(m.f);
            QVERIFY(r.view.ended);
        }
        QCOMPARE(questionsAsked(m.f.dialogs), 2);
        // The question shows the latest posting: its card, amount and time.
        const QString asked = m.f.dialogs.lastShown().text;
        QVERIFY2(asked.contains(kOtherCard) && asked.contains(QStringLiteral("200")) &&
                     asked.contains(QStringLiteral("10:33")),
                 qPrintable(asked));
        QVERIFY(!m.f.dialogs.msgs.isEmpty());
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("此帳單已入帳"));
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("200"));
        QCOMPARE(m.balance(kCard), 800.0);
        QCOMPARE(m.balance(kOtherCard), 800.0);
        QCOMPARE(m.remoteLogRows(), 2);
        QCOMPARE(m.localLogRows(), 2);
    }

    // A station transaction id decides alone: the same id is the retry at any
    // age, another id with the same values is another transaction.
    void aStationTransactionIdDecidesAlone() {
        MemberDesk m(QStringLiteral("127.0.0.213"), QString(), {});
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 2000);
        const auto handOff = [&m](const QString& txnId) {
            m.f.save("ZEL", "TOLVA", "TxnAmtAuth", QString());
            m.handOff(QStringLiteral("2"), QStringLiteral("500"), kCard);
            m.f.save("ZEL", "TOLVA", "TxnID", txnId);
        };
        handOff(QStringLiteral("T-1"));
        m.desk.Form_Load();
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnID"), QString());

        m.f.clock.advanceSecs(60);
        handOff(QStringLiteral("T-2"));
        {
            Restart r(m.f);
            QVERIFY(!r.view.ended);
            r.desk.cmdOK_Click(1);
            QVERIFY(r.view.ended);
        }
        QCOMPARE(m.balance(kCard), 1000.0);

        m.f.clock.advanceSecs(2 * 24 * 3600);
        m.f.ctx.g.gOPDate = QStringLiteral("2026/12/10");
        handOff(QStringLiteral("T-1"));
        {
            Restart r(m.f);
            QVERIFY(r.view.ended);
        }
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("500"));
        QCOMPARE(m.balance(kCard), 1000.0);
        QCOMPARE(m.remoteLogRows(), 2);
        QCOMPARE(questionsAsked(m.f.dialogs), 0);
    }

    // What the journal keeps of a request fits it: a station transaction id
    // of up to 64 printable characters, bill and card of up to 100, an
    // amount a posting can carry. Anything else refuses the request, naming
    // the key.
    void handedOverValuesFitTheJournal_data() {
        QTest::addColumn<QString>("bill");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("txnId");
        QTest::addColumn<QString>("badKey");
        const QString id64(64, QLatin1Char('x'));
        const QString text100(100, QLatin1Char('9'));
        QTest::newRow("longest values")
            << text100 << QStringLiteral("999999999999.99") << text100 << id64 << QString();
        QTest::newRow("id too long") << QStringLiteral("A1") << QStringLiteral("5") << kCard << id64 + u'x'
                                     << QStringLiteral("TxnID");
        QTest::newRow("id with a control character")
            << QStringLiteral("A1") << QStringLiteral("5") << kCard << QStringLiteral("T") + QChar(3)
            << QStringLiteral("TxnID");
        QTest::newRow("bill too long")
            << text100 + u'9' << QStringLiteral("5") << kCard << QString() << QStringLiteral("CheckNo");
        QTest::newRow("card too long") << QStringLiteral("A1") << QStringLiteral("5") << text100 + u'9'
                                       << QString() << QStringLiteral("CustNo");
        QTest::newRow("three decimals") << QStringLiteral("A1") << QStringLiteral("100.125") << kCard
                                        << QString() << QStringLiteral("TxnAmt");
        QTest::newRow("thirteen whole digits") << QStringLiteral("A1") << QStringLiteral("1000000000000")
                                               << kCard << QString() << QStringLiteral("TxnAmt");
    }
    void handedOverValuesFitTheJournal() {
        QFETCH(QString, bill);
        QFETCH(QString, amount);
        QFETCH(QString, card);
        QFETCH(QString, txnId);
        QFETCH(QString, badKey);
        QCOMPARE(HandOff::check(bill, amount, QStringLiteral("2"), card, txnId).badKey, badKey);
    }
};

QTEST_GUILESS_MAIN(TestDeskHandOffRetry)
#include "tst_desk_handoff_retry.moc"
