// Running numbers: new series, the display form, failures, and stations that
// take numbers at the same time on their own connections.
#include "common/Formatting.h"
#include "data/Numbering.h"
#include "data/Station.h"

#include <QDeadlineTimer>
#include <QSqlQuery>
#include <QThread>
#include <latch>
#include <set>
#include <thread>

using namespace tolva;

namespace {

struct SeriesRow {
    qint64 next = -1;
    QDateTime fileDate, updDate;
    int rows = 0;
};

SeriesRow series(Database& db, const QString& code, const QString& by) {
    SeriesRow row;
    QSqlQuery q = db.query(
        QStringLiteral("SELECT NoNext, FileDate, UpdDate FROM xxNO WHERE NoCode = '%1' AND NoBy = '%2'")
            .arg(code, by));
    while (q.next()) {
        ++row.rows;
        row.next = q.value(0).toLongLong();
        row.fileDate = readAsDate(q.value(1)).value_or(QDateTime());
        row.updDate = readAsDate(q.value(2)).value_or(QDateTime());
    }
    return row;
}

} // namespace

class TestNumbering : public QObject {
    Q_OBJECT

    // Several stations, each on its own thread and connection, all start
    // taking numbers of one new series at once. Every number is handed out
    // exactly once and none is skipped.
    static void takeAtOnce(const Site& site, int stations, int calls) {
        { Station schema(site, QStringLiteral("schema")); } // the file and its tables exist before the rush
        std::latch start(stations);
        std::vector<std::vector<qint64>> taken(static_cast<std::size_t>(stations));
        std::vector<QString> failures(static_cast<std::size_t>(stations));
        std::vector<std::thread> threads;
        for (int i = 0; i < stations; ++i) {
            threads.emplace_back([&, i] {
                const auto at = static_cast<std::size_t>(i);
                std::optional<Station> s;
                try {
                    s.emplace(site, QStringLiteral("T%1").arg(i));
                } catch (const Fault& fault) {
                    failures[at] = fault.message();
                }
                start.arrive_and_wait();
                for (int n = 0; s && n < calls; ++n) {
                    qint64 no = 0;
                    if (!getNoMDB(s->ctx, QStringLiteral("O"), QStringLiteral("20050307"), no)) {
                        failures[at] = s->errors();
                        return;
                    }
                    taken[at].push_back(no);
                }
            });
        }
        for (std::thread& t : threads)
            t.join();
        std::multiset<qint64> all;
        for (int i = 0; i < stations; ++i) {
            QVERIFY2(failures[static_cast<std::size_t>(i)].isEmpty(),
                     qPrintable(failures[static_cast<std::size_t>(i)]));
            const auto& mine = taken[static_cast<std::size_t>(i)];
            // Each station's own numbers rise.
            QVERIFY(std::is_sorted(mine.begin(), mine.end()));
            all.insert(mine.begin(), mine.end());
        }
        QCOMPARE(all.size(), std::size_t(stations * calls));
        qint64 expected = 1;
        for (qint64 no : all)
            QCOMPARE(no, expected++);
        Station check(site, QStringLiteral("check"));
        const SeriesRow row = series(check.ctx.gCNT, QStringLiteral("O"), QStringLiteral("20050307"));
        QCOMPARE(row.rows, 1);
        QCOMPARE(row.next, qint64(stations * calls + 1));
    }

private slots:
    void newSeriesThenNext_data() { Site::rows(); }
    void newSeriesThenNext() {
        QFETCH(QString, kind);
        Site site(kind);
        REQUIRE_SITE(site);
        Station s(site);
        Database& db = s.ctx.gCNT;
        const QDateTime started = s.clock.now();

        qint64 no = 0;
        QString formatted;
        QVERIFY(getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("20050307"), no, &formatted));
        QCOMPARE(no, qint64(1));
        QCOMPARE(formatted, QStringLiteral("20050307-001"));
        SeriesRow row = series(db, QStringLiteral("O"), QStringLiteral("20050307"));
        QCOMPARE(row.next, qint64(2));
        // Station time, not server time.
        QCOMPARE(row.fileDate, started);
        QCOMPARE(row.updDate, started);

        s.clock.advanceSecs(90);
        QVERIFY(getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("20050307"), no));
        QCOMPARE(no, qint64(2));
        row = series(db, QStringLiteral("O"), QStringLiteral("20050307"));
        QCOMPARE(row.next, qint64(3));
        QCOMPARE(row.fileDate, started);
        QCOMPARE(row.updDate, started.addSecs(90));

        // Another day and another code are series of their own; quotes are safe.
        QVERIFY(getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("20050308"), no));
        QCOMPARE(no, qint64(1));
        QVERIFY(getNoMDB(s.ctx, QStringLiteral("K'"), QStringLiteral("20050307"), no, &formatted));
        QCOMPARE(no, qint64(1));
        QVERIFY(s.dialogs.shown.isEmpty());

        db.execute(QStringLiteral("UPDATE xxNO SET NoNext = 999 WHERE NoCode = 'O' AND NoBy = '20050307'"));
        QVERIFY(getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("20050307"), no, &formatted));
        QCOMPARE(formatted, QStringLiteral("20050307-999"));
        QVERIFY(getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("20050307"), no, &formatted));
        QCOMPARE(formatted, QStringLiteral("200503071000"));
    }

    void failureLeavesTheSeriesUnchanged() {
        Site site(QStringLiteral("sqlite"));
        Station s(site);
        Database& db = s.ctx.gCNT;
        qint64 no = 0;
        QVERIFY(getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("D"), no));
        const SeriesRow before = series(db, QStringLiteral("O"), QStringLiteral("D"));
        // The series is full: the update after the read fails.
        db.execute(QStringLiteral("CREATE TRIGGER trg_full BEFORE UPDATE ON xxNO WHEN NEW.NoNext > 2 "
                                  "BEGIN SELECT RAISE(ABORT, 'series full'); END"));
        s.clock.advanceSecs(60);
        no = 77;
        QString formatted = QStringLiteral("kept");
        QVERIFY(!getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("D"), no, &formatted));
        QCOMPARE(no, qint64(77));
        QCOMPARE(formatted, QStringLiteral("kept"));
        const SeriesRow after = series(db, QStringLiteral("O"), QStringLiteral("D"));
        QCOMPARE(after.next, before.next);
        QCOMPARE(after.updDate, before.updDate);
        QCOMPARE(s.dialogs.shown.size(), 1);
        QVERIFY(s.dialogs.shownAt(0).text.contains(QStringLiteral("series full")));
        QVERIFY(s.errors().contains(QStringLiteral("(getNoMDB)")));

        // A series whose first row cannot be added is not there afterwards.
        db.execute(QStringLiteral("CREATE TRIGGER trg_closed BEFORE INSERT ON xxNO "
                                  "BEGIN SELECT RAISE(ABORT, 'closed'); END"));
        QVERIFY(!getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("E"), no));
        QCOMPARE(series(db, QStringLiteral("O"), QStringLiteral("E")).rows, 0);

        // A damaged counter is reported, not read as 0.
        db.execute(QStringLiteral("DROP TRIGGER trg_full"));
        db.execute(QStringLiteral("UPDATE xxNO SET NoNext = 'x' WHERE NoBy = 'D'"));
        QVERIFY(!getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("D"), no));
        QVERIFY(s.dialogs.lastShown().text.contains(QStringLiteral("NoNext")));
    }

    void stationsAtOnceOnSqlite() {
        Site site(QStringLiteral("sqlite"));
        takeAtOnce(site, 4, 50);
    }

    void stationsAtOnceOnPostgres() {
        Site site(QStringLiteral("postgresql"));
        REQUIRE_SITE(site);
        takeAtOnce(site, 6, 50);
    }

    // A station that starts a series while another station's first row of it
    // is not yet committed waits for it, fails to add its own, and takes the
    // next number instead.
    void lostSeriesStartTakesTheNextNumber() {
        Site site(QStringLiteral("postgresql"));
        REQUIRE_SITE(site);
        { Station schema(site, QStringLiteral("schema")); }
        Database first;
        first.open(site.connectionString());
        Database watcher;
        watcher.open(site.connectionString());
        first.begin();
        first.execute(QStringLiteral("INSERT INTO xxNO (NoCode, NoBy, NoNext) VALUES ('O', 'RACE', 2)"));

        bool ok = false;
        qint64 no = 0;
        QString errors;
        int boxes = -1;
        std::thread second([&] {
            Station s(site, QStringLiteral("second"));
            ok = getNoMDB(s.ctx, QStringLiteral("O"), QStringLiteral("RACE"), no);
            errors = s.errors();
            boxes = static_cast<int>(s.dialogs.shown.size());
        });
        // Commit only once the second station waits on the uncommitted row.
        bool waited = false;
        const QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            if (watcher.hasRow(QStringLiteral("SELECT 1 FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
                                              "AND datname = current_database()"))) {
                waited = true;
                break;
            }
            QThread::msleep(2);
        }
        first.commit();
        second.join();
        QVERIFY(waited);
        QVERIFY2(ok, qPrintable(errors));
        QCOMPARE(no, qint64(2));
        QCOMPARE(boxes, 0);
        QCOMPARE(series(watcher, QStringLiteral("O"), QStringLiteral("RACE")).next, qint64(3));
    }
};

QTEST_GUILESS_MAIN(TestNumbering)
#include "tst_numbering.moc"
