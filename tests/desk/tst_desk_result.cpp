// After a posting the operator sees what it did - the amount, the bonus of a
// deposit, the balance after it - for the time the station sets, once the
// POS station has its answer; the log file keeps the same figures. Against
// the real memberd.
#include "desk/MemberDesk.h"
#include "desk/PostingResult.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace tolva;

namespace {
const QString kCard = QStringLiteral("M0001");

QString logOf(const DeskFixture& f) {
    QFile log(f.ctx.g.gLogFile);
    return log.open(QIODevice::ReadOnly) ? f.ctx.codePage.decode(log.readAll()) : QString();
}
} // namespace

class TestDeskResult : public QObject {
    Q_OBJECT

private slots:
    void resultTexts_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("balanceKnown");
        QTest::addColumn<double>("balance");
        QTest::addColumn<QString>("text");
        QTest::newRow("deduction") << "2"
                                   << "500"
                                   << "500" << true << 17550.0 << QStringLiteral("已扣點 500 ／ 餘額 17,550");
        QTest::newRow("deduction, balance unknown")
            << "2"
            << "1500"
            << "1500" << false << 0.0 << QStringLiteral("已扣點 1,500");
        QTest::newRow("deposit with bonus")
            << "1"
            << "5250"
            << "5000" << true << 22800.0
            << QStringLiteral("收款 5,000 ＋ 贈送 250 ＝ 入帳 5,250\n餘額 22,800");
        QTest::newRow("deposit without bonus, no answer kept")
            << "1"
            << "3000.5" << QString() << false << 0.0
            << QStringLiteral("收款 3,000.5 ＋ 贈送 0 ＝ 入帳 3,000.5");
    }
    void resultTexts() {
        QFETCH(QString, type);
        QFETCH(QString, amount);
        QFETCH(QString, answer);
        QFETCH(bool, balanceKnown);
        QFETCH(double, balance);
        PostingRecord posted;
        posted.type = type;
        posted.amount = amount;
        posted.answerAmount = answer;
        QTEST(postingResultText(posted, balanceKnown ? std::optional<double>(balance) : std::nullopt),
              "text");
    }

    void handedOverPostingsShowTheirResult_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("result");
        QTest::newRow("deduction") << "2"
                                   << "500"
                                   << "500" << QStringLiteral("已扣點 500 ／ 餘額 17,550");
        QTest::newRow("deposit") << "1"
                                 << "5000"
                                 << "5000"
                                 << QStringLiteral("收款 5,000 ＋ 贈送 250 ＝ 入帳 5,250\n餘額 23,300");
    }
    void handedOverPostingsShowTheirResult() {
        QFETCH(QString, type);
        QFETCH(QString, amount);
        QFETCH(QString, result);
        MemberDesk m(QStringLiteral("127.0.0.242"));
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 18050);
        m.handOff(type, amount, kCard);
        m.desk.Form_Load();
        QVERIFY(m.f.dialogs.results.isEmpty());
        m.desk.cmdOK_Click(type == QLatin1String("1") ? 0 : 1);
        QVERIFY(m.view.ended);
        QTEST(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), "answer");
        QCOMPARE(m.f.dialogs.results.size(), 1);
        QCOMPARE(m.f.dialogs.lastResult(), result);
        QCOMPARE(m.f.dialogs.lastResultMilliseconds(), 2000);
        QVERIFY2(logOf(m.f).contains(QString(result).replace(QLatin1Char('\n'), QStringLiteral(" ／ "))),
                 qPrintable(logOf(m.f)));
    }

    void theStationSetsTheTimeAndAnEarlierPostingShowsNoBalance() {
        MemberDesk m(QStringLiteral("127.0.0.243"), QString(), {});
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        m.f.ctx.g.gResultSeconds = 0;
        m.desk.Form_Load();
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.f.dialogs.lastResult(), QStringLiteral("已扣點 300 ／ 餘額 700"));
        QCOMPARE(m.f.dialogs.lastResultMilliseconds(), 0);

        // The POS asks again for the same bill: answered from the journal,
        // where the balance after the posting is not known.
        m.f.ctx.g.gResultSeconds = 5;
        m.f.save("ZEL", "TOLVA", "TxnAmtAuth", QString());
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), kCard);
        Restart r(m.f);
        QVERIFY(r.view.ended);
        QCOMPARE(m.f.dialogs.results.size(), 2);
        QCOMPARE(m.f.dialogs.lastResult(), QStringLiteral("已扣點 300"));
        QCOMPARE(m.f.dialogs.lastResultMilliseconds(), 5000);
        QCOMPARE(m.balance(kCard), 700.0);
    }

    void noResultWhenThePosCannotBeAnswered() {
        MemberDesk m(QStringLiteral("127.0.0.244"));
        QVERIFY(m.memberd->start());
        m.addCard(kCard, QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("500"), kCard);
        m.desk.Form_Load();
        const QString lock = m.f.ctx.settings.fileOf(QStringLiteral("ZEL")) + QStringLiteral(".lock");
        QFile::remove(lock);
        QVERIFY(QDir().mkpath(lock));
        m.desk.cmdOK_Click(1);
        QVERIFY(!m.view.ended);
        QVERIFY(m.f.dialogs.results.isEmpty());
        QVERIFY(QDir(lock).removeRecursively());
    }
};

QTEST_GUILESS_MAIN(TestDeskResult)
#include "tst_desk_result.moc"
