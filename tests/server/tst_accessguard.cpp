// Per-address limits before the log-in: places, held answers and lock-outs.
#include "server/AccessGuard.h"

#include <QTest>

using namespace memberd;

namespace {
AccessGuard::Limits small() {
    AccessGuard::Limits l;
    l.maxConnections = 10;
    l.maxPending = 6;
    l.maxPendingPerAddress = 2;
    l.maxPerAddress = 4;
    l.failuresBeforeLockout = 5;
    l.firstDelayMs = 100;
    l.maxDelayMs = 1000;
    l.lockoutMs = 5000;
    return l;
}
const QString kA = QStringLiteral("10.0.0.1");
const QString kB = QStringLiteral("10.0.0.2");
} // namespace

class TestAccessGuard : public QObject {
    Q_OBJECT

private slots:
    void pendingPlacesArePerAddressAndFreedByTheLogIn() {
        AccessGuard g(small());
        bool report = false;
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::TooManyPending);
        QVERIFY(report);
        QCOMPARE(g.admit(kA, 1, report), AccessGuard::Admission::TooManyPending);
        QVERIFY(!report); // reported once in a while, not each time
        // Another address still gets in.
        QCOMPARE(g.admit(kB, 0, report), AccessGuard::Admission::Admitted);
        g.loggedIn(kA, 0);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        g.loggedIn(kA, 0);
        g.loggedIn(kA, 0);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::AddressFull);
        QCOMPARE(g.open(), 5);
        g.closed(kA, AccessGuard::Phase::LoggedIn);
        g.closed(kA, AccessGuard::Phase::Pending);
        QCOMPARE(g.open(), 3);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
    }

    // A quarter of the pending places in all is kept for addresses that have
    // logged in before: new addresses fill the rest only.
    void pendingPlacesAreKeptForKnownAddresses() {
        AccessGuard::Limits l = small();
        l.maxPending = 8;
        l.maxPendingPerAddress = 8;
        l.maxPerAddress = 100;
        AccessGuard g(l);
        bool report = false;
        const QString known = QStringLiteral("10.0.0.9");
        QCOMPARE(g.admit(known, 0, report), AccessGuard::Admission::Admitted);
        g.loggedIn(known, 0);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kB, 0, report), AccessGuard::Admission::TooManyPending);
        QCOMPARE(g.admit(known, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(known, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(known, 0, report), AccessGuard::Admission::TooManyPending);
        // Through a balancer: admitted with all places, then held to the share once named.
        g.closed(known, AccessGuard::Phase::Pending);
        QCOMPARE(g.admitUnnamed(), AccessGuard::Admission::Admitted);
        QCOMPARE(g.named(kB, 0, report), AccessGuard::Admission::TooManyPending);
        g.closedUnnamed();
        QCOMPARE(g.admitUnnamed(), AccessGuard::Admission::Admitted);
        QCOMPARE(g.named(known, 0, report), AccessGuard::Admission::Admitted);
    }

    void totalLimitHolds() {
        AccessGuard::Limits l = small();
        l.maxPendingPerAddress = 100;
        l.maxPerAddress = 100;
        l.maxPending = 100;
        AccessGuard g(l);
        bool report = false;
        for (int i = 0; i < 10; ++i)
            QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kB, 0, report), AccessGuard::Admission::Full);
    }

    // Wrong passwords cost the connection that sent them: two are answered at
    // once, then the answers are held twice as long each time, and after the
    // fifth the address is locked out (its wrong answers held longest). The
    // address's other clients are never held up: nothing refuses them.
    void failuresHoldTheGuessersAnswersOnly() {
        AccessGuard g(small());
        bool report = false;
        const auto guess = [&](qint64 now) {
            AccessGuard::Admission a = g.admit(kA, now, report);
            if (a != AccessGuard::Admission::Admitted)
                qFatal("not admitted");
            return g.failed(kA, now, true);
        };
        qint64 now = 1000;
        QCOMPARE(guess(now).holdMs, 0);
        g.closed(kA, AccessGuard::Phase::Pending);
        QCOMPARE(guess(now).holdMs, 0);
        g.closed(kA, AccessGuard::Phase::Pending);
        // Held answers do not take the address's pending places.
        QCOMPARE(guess(now).holdMs, 100);
        QCOMPARE(guess(now).holdMs, 200);
        QCOMPARE(g.admit(kA, now, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kA, now, report), AccessGuard::Admission::Admitted);
        g.loggedIn(kA, 0); // a desk with the right password at the same address
        g.loggedIn(kA, 0);
        // The held ones are bounded like pending places: the next answer goes at once.
        const AccessGuard::Failure fifth = g.failed(kA, now, false);
        QVERIFY(fifth.lockedOut);
        QCOMPARE(fifth.holdMs, 0);
        QCOMPARE(g.admit(kA, now + 1, report), AccessGuard::Admission::AddressFull);
        g.closed(kA, AccessGuard::Phase::Held);
        g.closed(kA, AccessGuard::Phase::Held);
        // Locked out: a wrong password is held longest; the address still gets in.
        QCOMPARE(guess(now + 10).holdMs, 1000);
        QCOMPARE(g.admit(kA, now + 10, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kB, now + 10, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.failed(kB, now + 10, true).holdMs, 0);
    }

    // A log-in at the address does not wipe a guesser's count; failures far
    // apart (a till with an old password, once a few minutes) do not add up.
    void failuresCountWithinTheLockoutTime() {
        AccessGuard g(small());
        bool report = false;
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        g.loggedIn(kA, 0);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
            g.failed(kA, 0, true);
            g.closed(kA, AccessGuard::Phase::Pending);
        }
        QCOMPARE(g.admit(kA, 1, report), AccessGuard::Admission::Admitted);
        g.loggedIn(kA, 0);
        QCOMPARE(g.admit(kA, 1, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.failed(kA, 1, true).holdMs, 200);
        for (qint64 t = 10000; t < 100000; t += 6000) {
            QCOMPARE(g.admit(kA, t, report), AccessGuard::Admission::Admitted);
            const AccessGuard::Failure f = g.failed(kA, t, true);
            QCOMPARE(f.holdMs, 0);
            QVERIFY(!f.lockedOut);
            g.closed(kA, AccessGuard::Phase::Pending);
        }
    }

    // Failures count per identity and address: one store locked out at an
    // address costs another store there nothing, nor the same store elsewhere.
    void lockOutsArePerIdentityAndAddress() {
        AccessGuard g(small());
        bool report = false;
        const auto guess = [&](const QString& address, const QString& store, qint64 now) {
            if (g.admit(address, now, report) != AccessGuard::Admission::Admitted)
                qFatal("not admitted");
            const AccessGuard::Failure f = g.failed(address, store, now, true);
            g.closed(address, f.holdMs > 0 ? AccessGuard::Phase::Held : AccessGuard::Phase::Pending);
            return f;
        };
        for (int i = 0; i < 4; ++i)
            QVERIFY(!guess(kA, QStringLiteral("S01"), 10).lockedOut);
        QCOMPARE(guess(kA, QStringLiteral("S02"), 10).holdMs, 0);
        const AccessGuard::Failure locked = guess(kA, QStringLiteral("S01"), 10);
        QVERIFY(locked.lockedOut);
        QCOMPARE(locked.holdMs, 1000);
        QCOMPARE(guess(kA, QStringLiteral("S01"), 20).holdMs, 1000);
        // Another store at the same address, the shared password there, and
        // the same store at another address start afresh.
        QCOMPARE(guess(kA, QStringLiteral("S02"), 20).holdMs, 0);
        QCOMPARE(guess(kA, QString(), 20).holdMs, 0);
        QCOMPARE(guess(kB, QStringLiteral("S01"), 20).holdMs, 0);
        // The lock-out ends after its time.
        QCOMPARE(guess(kA, QStringLiteral("S01"), 10 + 5001 + 5000).holdMs, 0);
    }
};

QTEST_GUILESS_MAIN(TestAccessGuard)
#include "tst_accessguard.moc"
