// A second start with a desk already running: the request is taken from the
// mailbox once, passed over the single-copy channel (real local sockets) to
// the running desk, and the second start ends when that desk is done with it.
#include "app/SettingsStore.h"
#include "app/SingleInstance.h"
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "desk/HandOffChannel.h"
#include "desk/HandOffMailbox.h"
#include "desk/SecondStart.h"
#include "link/LinkClient.h"
#include "support/DeskFixture.h"
#include "support/FakeDeskView.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <future>

using namespace tolva;

namespace {
void request(SettingsStore& store, const QString& bill = QStringLiteral("A0012")) {
    store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"),
               {{QStringLiteral("CheckNo"), bill},
                {QStringLiteral("TxnAmt"), QStringLiteral("500")},
                {QStringLiteral("TxnType"), QStringLiteral("2")},
                {QStringLiteral("CustNo"), QStringLiteral("M0001")},
                {QStringLiteral("TxnID"), QStringLiteral("WS01-7")}});
}

QString zel(const SettingsStore& store, const char* key) {
    return store.Get(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QString::fromLatin1(key));
}

// A second start run on a thread of its own (it blocks while it waits), with
// its own view of the settings store, as a second process would have.
std::future<SecondStart::Result> secondStart(const QString& program, const QString& folder,
                                             QString* failure = nullptr, int patience = 30000) {
    return std::async(std::launch::async, [=] {
        SingleInstance instance(program);
        SettingsStore store(folder);
        SecondStart second(instance, store);
        second.setPatience(patience);
        const SecondStart::Result result = second.run();
        if (failure)
            *failure = second.failure();
        return result;
    });
}

bool ready(const std::future<SecondStart::Result>& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}
} // namespace

class TestHandOffChannel : public QObject {
    Q_OBJECT

    QTemporaryDir m_runtime;
    int m_serial = 0;
    // A program name of its own per test: its own lock and channel.
    QString program() { return QStringLiteral("TOLVA-test%1").arg(++m_serial); }

private slots:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit()); }

    void theMailboxHandsARequestOutOnce() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        request(store);
        store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("Busy"),
                   QStringLiteral("1"));
        HandOffMailbox mailbox(store);
        QVERIFY(mailbox.hasRequest());
        const HandOffValues first = mailbox.take();
        QCOMPARE(first.checkNo, QStringLiteral("A0012"));
        QCOMPARE(first.amount, QStringLiteral("500"));
        QCOMPARE(first.type, QStringLiteral("2"));
        QCOMPARE(first.custNo, QStringLiteral("M0001"));
        QCOMPARE(first.txnId, QStringLiteral("WS01-7"));
        QVERIFY(!mailbox.hasRequest());
        QVERIFY(mailbox.take().isEmpty());
        QCOMPARE(zel(store, "Busy"), QString());
    }

    void theRunningDeskTakesTheRequestAndTheSecondStartWaitsForIt() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        request(store);
        const QString name = program();
        SingleInstance running(name);
        QVERIFY(running.acquire());
        QList<HandOffValues> taken;
        HandOffServer server([&](const HandOffValues& v) {
            taken << v;
            return HandOffReply::Taken;
        });
        QVERIFY(server.listen(running.channelName()));

        auto second = secondStart(name, dir.path());
        QTRY_COMPARE(taken.size(), 1);
        QCOMPARE(taken.first().checkNo, QStringLiteral("A0012"));
        QCOMPARE(taken.first().custNo, QStringLiteral("M0001"));
        QCOMPARE(taken.first().txnId, QStringLiteral("WS01-7"));
        // Taken from the mailbox before it was passed: nothing left to revive.
        QVERIFY(!HandOffMailbox(store).hasRequest());
        // The operator is still at it: the second start waits for "done".
        QVERIFY(!ready(second));
        // The desk confirmed: its answer is in the mailbox, then it says done.
        store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"),
                   {{QStringLiteral("CheckNoAuth"), QStringLiteral("A0012")},
                    {QStringLiteral("TxnAmtAuth"), QStringLiteral("500")}});
        server.answerAll();
        QTRY_VERIFY(ready(second));
        QCOMPARE(second.get(), SecondStart::Result::Ended);
        QCOMPARE(zel(store, "CheckNoAuth"), QStringLiteral("A0012"));
        QCOMPARE(taken.size(), 1);
    }

    void aBusyDeskIsAnsweredWithBusyNotACancel() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        request(store);
        const QString name = program();
        SingleInstance running(name);
        QVERIFY(running.acquire());
        HandOffServer server([](const HandOffValues&) { return HandOffReply::Busy; });
        QVERIFY(server.listen(running.channelName()));
        auto second = secondStart(name, dir.path());
        QTRY_VERIFY(ready(second));
        QCOMPARE(second.get(), SecondStart::Result::Ended);
        QCOMPARE(zel(store, "Busy"), QStringLiteral("1"));
        QCOMPARE(zel(store, "CheckNoAuth"), QString());
        QVERIFY(!HandOffMailbox(store).hasRequest());
    }

    void aRunningDeskThatDiesWhileTheSecondWaitsEndsItWithAFailure() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        request(store);
        const QString name = program();
        SingleInstance running(name);
        QVERIFY(running.acquire());
        // The running copy takes the request, then dies (its socket closes
        // without "done").
        QLocalServer raw;
        QVERIFY(raw.listen(running.channelName()));
        QString failure;
        auto second = secondStart(name, dir.path(), &failure);
        QTRY_VERIFY(raw.hasPendingConnections());
        QLocalSocket* socket = raw.nextPendingConnection();
        QVERIFY(socket);
        QTRY_VERIFY(socket->canReadLine());
        socket->write("taken\n");
        socket->flush();
        socket->abort();
        QTRY_VERIFY(ready(second));
        QCOMPARE(second.get(), SecondStart::Result::Failed);
        QVERIFY(!failure.isEmpty());
        // Consumed: the next start does not open on it.
        QVERIFY(!HandOffMailbox(store).hasRequest());
        QCOMPARE(zel(store, "CheckNoAuth"), QString());
    }

    void aSecondStartThatReachesNoRunningDeskGivesUpAndConsumesTheRequest() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        request(store);
        const QString name = program();
        SingleInstance running(name);
        QVERIFY(running.acquire()); // holds the lock, never listens
        QString failure;
        auto second = secondStart(name, dir.path(), &failure, 300);
        QCOMPARE(second.get(), SecondStart::Result::Failed);
        QVERIFY(!failure.isEmpty());
        QVERIFY(!HandOffMailbox(store).hasRequest());
    }

    void aSecondStartWithoutARequestEndsAtOnce() {
        QTemporaryDir dir;
        const QString name = program();
        SingleInstance running(name);
        QVERIFY(running.acquire());
        int offers = 0;
        HandOffServer server([&](const HandOffValues&) {
            ++offers;
            return HandOffReply::Taken;
        });
        QVERIFY(server.listen(running.channelName()));
        QCOMPARE(secondStart(name, dir.path()).get(), SecondStart::Result::Ended);
        QCOMPARE(offers, 0);
    }

    void twoStartsAtOncePassTheOneRequestOnce() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        request(store);
        const QString name = program();
        SingleInstance running(name);
        QVERIFY(running.acquire());
        int offers = 0;
        HandOffServer server([&](const HandOffValues&) {
            ++offers;
            return HandOffReply::Taken;
        });
        QVERIFY(server.listen(running.channelName()));
        auto first = secondStart(name, dir.path());
        auto second = secondStart(name, dir.path());
        QTRY_COMPARE(offers, 1);
        server.answerAll();
        QTRY_VERIFY(ready(first) && ready(second));
        QCOMPARE(first.get(), SecondStart::Result::Ended);
        QCOMPARE(second.get(), SecondStart::Result::Ended);
        QCOMPARE(offers, 1);
    }

    void aStartFindingTheLockFreeRunsTheDeskWithTheRequest() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        request(store);
        const QString name = program();
        {
            SingleInstance ended(name); // a copy that ran and ended
            QVERIFY(ended.acquire());
        }
        QCOMPARE(secondStart(name, dir.path()).get(), SecondStart::Result::RunDesk);
        QCOMPARE(zel(store, "CheckNo"), QStringLiteral("A0012")); // for its own desk to read
    }

    void aSocketLeftByADeadCopyDoesNotStopTheNextFromListening() {
        const QString name = program();
        SingleInstance running(name);
        QVERIFY(running.acquire());
        QFile leftover(running.channelName());
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        HandOffServer server([](const HandOffValues&) { return HandOffReply::Busy; });
        QVERIFY(server.listen(running.channelName()));
    }

    // The running desk of the kiosk: takes the request at rest and shows it
    // as a start with it would; refuses while a transaction is half-done.
    void theDeskTakesAHandOffOnlyAtRest() {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        desk.Form_Load();
        QVERIFY(desk.atRest());

        // An amount typed on the deduction page: busy, nothing changed.
        view.setText(ctl::txtAmt(1), QStringLiteral("300"));
        const HandOffValues values{QStringLiteral("A0012"), QStringLiteral("500"), QStringLiteral("2"),
                                   QStringLiteral("M0001"), QString()};
        QCOMPARE(desk.offerHandOff(values), HandOffReply::Busy);
        QCOMPARE(view.text(ctl::txtAmt(1)), QStringLiteral("300"));
        view.setText(ctl::txtAmt(1), QString());

        // A card number half typed on the lookup: busy.
        view.setText(ctl::txtCustNo, QStringLiteral("M00"));
        QCOMPARE(desk.offerHandOff(values), HandOffReply::Busy);
        view.setText(ctl::txtCustNo, QString());

        QCOMPARE(desk.offerHandOff(values), HandOffReply::Taken);
        // A second while the first waits to be opened: busy.
        QCOMPARE(desk.offerHandOff(values), HandOffReply::Busy);
        desk.openOfferedHandOff();
        QCOMPARE(view.currentTab, int(ctl::kDeduction));
        QVERIFY(!view.tabShown[ctl::kDeposit]);
        QCOMPARE(view.text(ctl::txtAmt(1)), QStringLiteral("500"));
        QCOMPARE(view.text(ctl::txtCheckNo(1)), QStringLiteral("A0012"));
        QCOMPARE(view.text(ctl::txtCustNo), QStringLiteral("M0001"));
        QCOMPARE(desk.state().handOff().checkNo, QStringLiteral("A0012"));
        // The hand-off is open: the desk is not at rest.
        QVERIFY(!desk.atRest());
        QCOMPARE(desk.offerHandOff(values), HandOffReply::Busy);
    }

    void anInvalidHandOffIsRefusedAtOnceAndShown() {
        DeskFixture f;
        FakeDeskView view;
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        desk.Form_Load();
        const HandOffValues bad{QStringLiteral("A0012"), QStringLiteral("5,000"), QStringLiteral("2"),
                                QStringLiteral("M0001"), QString()};
        QCOMPARE(desk.offerHandOff(bad), HandOffReply::Answered);
        desk.openOfferedHandOff();
        QCOMPARE(f.dialogs.msgs.size(), 1);
        QVERIFY(f.dialogs.msgAt(0).contains(QStringLiteral("TxnAmt=5,000")));
        QCOMPARE(view.currentTab, int(ctl::kQuery));
        QVERIFY(desk.atRest());
    }
};

QTEST_GUILESS_MAIN(TestHandOffChannel)
#include "tst_handoff_channel.moc"
