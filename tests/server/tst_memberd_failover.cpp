// memberd through a failover: a primary with a synchronous standby, reached
// through libpq's multi-host form with target_session_attrs=read-write. Eight
// desks post under keys while the primary is stopped and the standby
// promoted; a desk sends a posting that was not answered "00" again under its
// key. Afterwards no posting is lost or doubled and every one is settled.
// The clusters are the test's own (PgCluster). Address 127.0.0.219.
#include "db/Database.h"
#include "server/MemberWire.h"
#include "support/MemberdProcess.h"
#include "support/PgCluster.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace tolva;

namespace {

const QString kAddress = QStringLiteral("127.0.0.219");
constexpr int kDesks = 8;

// One desk posting 1 to its own card under keys of its own, each key sent
// until it is answered "00" (a first outcome or a replay).
struct PostingDesk {
    int index = 0;
    std::atomic<int> settled{0};
    std::atomic<bool> stop{false};
    std::atomic<qint64> recoveredMs{-1}; // the first "00" after a "04"
    QString failure;                     // written before broken is set
    std::atomic<bool> broken{false};

    QString card() const { return QStringLiteral("F%1").arg(index); }

    void run(const QElapsedTimer& clock) {
        Wire w;
        if (!w.open(kAddress) || !w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00")) {
            failure = QStringLiteral("desk %1 could not log in").arg(index);
            broken = true;
            return;
        }
        bool failed = false;
        for (int n = 0; !stop; ++n) {
            const QString request = posting(QStringLiteral("d%1.%2").arg(index).arg(n), QStringLiteral("1"),
                                            card(), QStringLiteral("1"));
            for (;;) {
                const QByteArray answer = w.ask("POSTKY", request);
                if (answer == answered("POSTKY", 'P', false) || answer == answered("POSTKY", 'P', true)) {
                    if (failed && recoveredMs < 0)
                        recoveredMs = clock.elapsed();
                    ++settled;
                    break;
                }
                if (!answer.startsWith("ZELQPOSTKY04")) {
                    failure = QStringLiteral("desk %1: %2").arg(index).arg(w.text(answer));
                    broken = true;
                    return;
                }
                failed = true;
                QThread::msleep(20);
            }
        }
    }
};

bool waitFor(const std::function<bool()>& done, int ms = 120000) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

} // namespace

class TestMemberdFailover : public QObject {
    Q_OBJECT

private slots:
    void keyedPostingsSurviveAPromotedStandby() {
        REQUIRE_PG_BINARIES();
        PgCluster primary;
        QVERIFY2(primary.create(), qPrintable(primary.lastError()));
        {
            Database db;
            db.open(primary.connectionString());
            db.createSchema();
            for (int i = 0; i < kDesks; ++i)
                db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('F%1', 0)").arg(i));
        }
        PgCluster standby;
        QVERIFY2(standby.createStandbyOf(primary), qPrintable(standby.lastError()));
        {
            // From now on a commit waits until the standby has it.
            Database db;
            db.open(primary.connectionString());
            db.execute(QStringLiteral("ALTER SYSTEM SET synchronous_standby_names = '*'"));
            db.query(QStringLiteral("SELECT pg_reload_conf()"));
            QVERIFY(waitFor([&] {
                QSqlQuery q = db.query(
                    QStringLiteral("SELECT count(*) FROM pg_stat_replication WHERE sync_state = 'sync'"));
                return q.next() && q.value(0).toInt() == 1;
            }));
        }
        const QString both =
            QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1,127.0.0.1;Port=%1,%2;Database=postgres;"
                           "User ID=postgres;Target Session Attrs=read-write")
                .arg(primary.port())
                .arg(standby.port());
        MemberdProcess memberd(kAddress, both);
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<PostingDesk>> desks;
        std::vector<std::thread> threads;
        // The desks stop and are waited for however the test ends.
        const auto stopAll = qScopeGuard([&] {
            for (auto& d : desks)
                d->stop = true;
            for (auto& t : threads)
                t.join();
            threads.clear();
        });
        for (int i = 0; i < kDesks; ++i) {
            desks.push_back(std::make_unique<PostingDesk>());
            desks.back()->index = i;
        }
        for (auto& d : desks)
            threads.emplace_back([&clock, desk = d.get()] { desk->run(clock); });
        // Each desk has posted some, or one has failed.
        const auto settledSince = [&](const std::vector<int>& base, int more) {
            for (int i = 0; i < kDesks; ++i)
                if (desks[i]->settled < base[i] + more && !desks[i]->broken)
                    return false;
            return true;
        };
        QVERIFY(waitFor([&] { return settledSince(std::vector<int>(kDesks, 0), 5); }));

        const qint64 stoppedAt = clock.elapsed();
        QVERIFY2(primary.stop(QStringLiteral("immediate")), qPrintable(primary.lastError()));
        QVERIFY2(standby.promote(), qPrintable(standby.lastError()));
        std::vector<int> before;
        for (auto& d : desks)
            before.push_back(d->settled);
        const bool after = waitFor([&] { return settledSince(before, 5); });
        for (auto& d : desks)
            d->stop = true;
        for (auto& t : threads)
            t.join();
        threads.clear();
        for (auto& d : desks)
            QVERIFY2(d->failure.isEmpty(), qPrintable(d->failure));
        QVERIFY(after);
        qint64 first = -1;
        qint64 last = -1;
        for (auto& d : desks) {
            const qint64 at = d->recoveredMs;
            if (at >= 0 && (first < 0 || at < first))
                first = at;
            last = std::max(last, at);
        }
        qInfo("failover: first answer %lld ms, every desk answered %lld ms after the primary stopped",
              static_cast<long long>(first - stoppedAt), static_cast<long long>(last - stoppedAt));

        // Lost 0, doubled 0: each card holds one unit per settled key, with
        // one log row each, on the promoted standby.
        Database db;
        db.open(standby.connectionString());
        for (auto& d : desks) {
            QSqlQuery q = db.query(
                QStringLiteral(
                    "SELECT TBonusAmt, (SELECT count(*) FROM VCardLog WHERE CardNo = '%1') FROM CUST "
                    "WHERE CustNo = '%1'")
                    .arg(d->card()));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), d->settled.load());
            QCOMPARE(q.value(1).toInt(), d->settled.load());
        }
    }
};

QTEST_GUILESS_MAIN(TestMemberdFailover)
#include "tst_memberd_failover.moc"
