// Per-address limits before the log-in: places, waits and lock-outs.
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
        g.loggedIn(kA);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        g.loggedIn(kA);
        g.loggedIn(kA);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::AddressFull);
        QCOMPARE(g.open(), 5);
        g.closed(kA, true);
        g.closed(kA, false);
        QCOMPARE(g.open(), 3);
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
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

    void failuresMakeTheAddressWaitThenLockIt() {
        AccessGuard g(small());
        qint64 now = 1000;
        // Two mistakes are free.
        QVERIFY(!g.failed(kA, now));
        QCOMPARE(g.attempt(kA, now), AccessGuard::Attempt::Check);
        QVERIFY(!g.failed(kA, now));
        QCOMPARE(g.attempt(kA, now), AccessGuard::Attempt::Check);
        // Then the waits double: 100, 200 ms.
        QVERIFY(!g.failed(kA, now));
        QCOMPARE(g.attempt(kA, now + 99), AccessGuard::Attempt::Wait);
        QCOMPARE(g.attempt(kA, now + 100), AccessGuard::Attempt::Check);
        now += 100;
        QVERIFY(!g.failed(kA, now));
        QCOMPARE(g.attempt(kA, now + 199), AccessGuard::Attempt::Wait);
        QCOMPARE(g.attempt(kB, now), AccessGuard::Attempt::Check);
        now += 200;
        QVERIFY(g.failed(kA, now)); // the fifth locks
        bool report = false;
        QCOMPARE(g.attempt(kA, now + 4999), AccessGuard::Attempt::LockedOut);
        QCOMPARE(g.admit(kA, now + 4999, report), AccessGuard::Admission::LockedOut);
        QCOMPARE(g.admit(kB, now + 4999, report), AccessGuard::Admission::Admitted);
        // After the lock-out, a fresh start.
        QCOMPARE(g.admit(kA, now + 5000, report), AccessGuard::Admission::Admitted);
        QCOMPARE(g.attempt(kA, now + 5000), AccessGuard::Attempt::Check);
    }

    void logInForgetsTheFailures() {
        AccessGuard g(small());
        bool report = false;
        QCOMPARE(g.admit(kA, 0, report), AccessGuard::Admission::Admitted);
        for (int i = 0; i < 3; ++i)
            g.failed(kA, 0);
        QCOMPARE(g.attempt(kA, 1), AccessGuard::Attempt::Wait);
        g.loggedIn(kA);
        QCOMPARE(g.attempt(kA, 1), AccessGuard::Attempt::Check);
    }
};

QTEST_GUILESS_MAIN(TestAccessGuard)
#include "tst_accessguard.moc"
