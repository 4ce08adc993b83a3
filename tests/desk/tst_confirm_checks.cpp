// The refusals of 確認 as one function of the page's values: each refusal on
// its own, the first one winning when several apply, the customer and the
// balance checked only once the link is up, and a short balance told with
// its figures.
#include "desk/ConfirmChecks.h"

#include <QTest>

using namespace tolva;

namespace {

// A page that passes every check, online too.
ConfirmPage goodPage() {
    ConfirmPage page;
    page.billNo = QStringLiteral("A0012");
    page.amountText = QStringLiteral("500");
    page.cardNo = QStringLiteral("M0001");
    page.columns = {{field::billNo(), page.billNo}, {field::cardNo(), page.cardNo}};
    page.billOnFile = true;
    page.balance = 1000;
    return page;
}

using Change = std::function<void(ConfirmPage&)>;

} // namespace

Q_DECLARE_METATYPE(Change)

class TestConfirmChecks : public QObject {
    Q_OBJECT

private slots:
    void eachRefusal_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("refusal");
        const int pressed = int(ConfirmStage::Pressed);
        const int online = int(ConfirmStage::Online);
        QTest::newRow("a good page") << Change([](ConfirmPage&) {}) << online << QString();
        QTest::newRow("sent already") << Change([](ConfirmPage& p) { p.alreadySent = true; }) << pressed
                                      << QStringLiteral("交易已送出，請勿重複確認");
        QTest::newRow("no bill") << Change([](ConfirmPage& p) { p.billNo.clear(); }) << pressed
                                 << QStringLiteral("請輸入帳單號");
        QTest::newRow("no amount") << Change([](ConfirmPage& p) { p.amountText = QStringLiteral(" "); })
                                   << pressed << QStringLiteral("金額不可為零");
        QTest::newRow("amount 0") << Change([](ConfirmPage& p) { p.amountText = QStringLiteral("0.00"); })
                                  << pressed << QStringLiteral("金額不可為零");
        QTest::newRow("amount not a number")
            << Change([](ConfirmPage& p) { p.amountText = QStringLiteral("500 Where 1=1"); }) << pressed
            << QStringLiteral("金額必需為數字");
        QTest::newRow("amount grouped")
            << Change([](ConfirmPage& p) { p.amountText = QStringLiteral("1,000"); }) << pressed
            << QStringLiteral("金額必需為數字");
        QTest::newRow("amount below 0")
            << Change([](ConfirmPage& p) { p.amountText = QStringLiteral("-20"); }) << pressed
            << QStringLiteral("金額必需大於零");
        QTest::newRow("three decimals")
            << Change([](ConfirmPage& p) { p.amountText = QStringLiteral("100.125"); }) << pressed
            << QStringLiteral("金額最多兩位小數");
        QTest::newRow("thirteen digits")
            << Change([](ConfirmPage& p) { p.amountText = QStringLiteral("1234567890123"); }) << pressed
            << QStringLiteral("金額過大");
        QTest::newRow("no card") << Change([](ConfirmPage& p) { p.cardNo.clear(); }) << pressed
                                 << QStringLiteral("請輸入會員卡號");
        QTest::newRow("bill too long for its column")
            << Change([](ConfirmPage& p) { p.columns[0].second = QString(31, u'A'); }) << pressed
            << QStringLiteral("帳單號過長，最多 30 個字");
        QTest::newRow("request terminator in the card")
            << Change([](ConfirmPage& p) { p.columns[1].second = QStringLiteral("M0001\x03"); }) << pressed
            << QStringLiteral("卡號含有無效的字元，請重新輸入");
        QTest::newRow("card typed over") << Change([](ConfirmPage& p) { p.cardChanged = true; }) << pressed
                                         << QStringLiteral("卡號已變更，請重新查詢");
        QTest::newRow("bill not on file") << Change([](ConfirmPage& p) { p.billOnFile = false; }) << pressed
                                          << QStringLiteral("此帳單號不存在");
        QTest::newRow("another store's bill is not looked up")
            << Change([](ConfirmPage& p) { p.billOnFile.reset(); }) << online << QString();
        QTest::newRow("no customer, online") << Change([](ConfirmPage& p) { p.balance.reset(); }) << online
                                             << QStringLiteral("請先建立客戶資料");
        QTest::newRow("no customer, at the press (offline allowed)")
            << Change([](ConfirmPage& p) { p.balance.reset(); }) << pressed << QString();
        QTest::newRow("short balance, with the figures") << Change([](ConfirmPage& p) {
            p.balance = 300;
            p.amountText = QStringLiteral("1000");
        }) << online << QStringLiteral("餘額不足: 餘額 300，需 1,000");
        QTest::newRow("short balance, not checked at the press") << Change([](ConfirmPage& p) {
            p.balance = 300;
            p.amountText = QStringLiteral("1000");
        }) << pressed << QString();
        QTest::newRow("the whole balance may be spent")
            << Change([](ConfirmPage& p) { p.amountText = QStringLiteral("1000"); }) << online << QString();
        QTest::newRow("short by a cent, decimals kept") << Change([](ConfirmPage& p) {
            p.balance = 12800.5;
            p.amountText = QStringLiteral("12800.51");
        }) << online << QStringLiteral("餘額不足: 餘額 12,800.5，需 12,800.51");
        QTest::newRow("a deposit needs no balance") << Change([](ConfirmPage& p) {
            p.deposit = true;
            p.balance = 0;
            p.amountText = QStringLiteral("5250");
        }) << online << QString();
    }
    void eachRefusal() {
        QFETCH(Change, change);
        QFETCH(int, stage);
        QFETCH(QString, refusal);
        ConfirmPage page = goodPage();
        change(page);
        QCOMPARE(confirmRefusal(page, ConfirmStage(stage)), refusal);
    }

    // With every fault at once, the refusals come one by one in the order
    // the operator mends them: each mended fault uncovers the next.
    void theFirstRefusalWins() {
        ConfirmPage page;
        page.alreadySent = true;
        page.amountText = QStringLiteral("-100.125");
        page.columns = {{field::authCode(), QString(21, u'9')}};
        page.cardChanged = true;
        page.billOnFile = false;
        page.balance = 50;
        const QList<std::pair<QString, Change>> road = {
            {QStringLiteral("交易已送出，請勿重複確認"), [](ConfirmPage& p) { p.alreadySent = false; }},
            {QStringLiteral("請輸入帳單號"), [](ConfirmPage& p) { p.billNo = QStringLiteral("A0099"); }},
            {QStringLiteral("金額必需大於零"),
             [](ConfirmPage& p) { p.amountText = QStringLiteral("100.125"); }},
            {QStringLiteral("金額最多兩位小數"),
             [](ConfirmPage& p) { p.amountText = QStringLiteral("100"); }},
            {QStringLiteral("請輸入會員卡號"), [](ConfirmPage& p) { p.cardNo = QStringLiteral("M0003"); }},
            {QStringLiteral("授權碼過長，最多 20 個字"), [](ConfirmPage& p) { p.columns.clear(); }},
            {QStringLiteral("卡號已變更，請重新查詢"), [](ConfirmPage& p) { p.cardChanged = false; }},
            {QStringLiteral("此帳單號不存在"), [](ConfirmPage& p) { p.billOnFile = true; }},
            {QStringLiteral("餘額不足: 餘額 50，需 100"), [](ConfirmPage& p) { p.balance = 100; }},
        };
        for (const auto& [refusal, mend] : road) {
            QCOMPARE(confirmRefusal(page, ConfirmStage::Online), refusal);
            mend(page);
        }
        QCOMPARE(confirmRefusal(page, ConfirmStage::Online), QString());
    }
};

QTEST_APPLESS_MAIN(TestConfirmChecks)
#include "tst_confirm_checks.moc"
