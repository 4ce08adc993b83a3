// The metrics listener of the real memberd: after known traffic /metrics
// counts each request by command and code, the log-ins, the keyed and
// offline postings and the store's refusals; /healthz answers 503 while the
// PostgreSQL cluster (the test's own) is stopped and 200 again once it runs.
// Addresses 127.0.0.70-71, metrics on port 9351.
#include "db/Database.h"
#include "server/MemberWire.h"
#include "support/LoopbackBlock.h"
#include "support/MemberdProcess.h"
#include "support/PgCluster.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

namespace {

constexpr quint16 kMetricsPort = 9351;

// One HTTP request to the metrics listener; the whole answer.
QByteArray http(const QString& address, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(address, kMetricsPort);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(request);
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

// A sample's value in a scrape; -1 when it is not there.
double valueOf(const QByteArray& scrape, const QString& sample) {
    const QRegularExpression line(QStringLiteral("(?m)^") + QRegularExpression::escape(sample) +
                                  QStringLiteral(" (\\S+)$"));
    const QRegularExpressionMatch m = line.match(QString::fromUtf8(scrape));
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

QString requests(const char* command, const char* code) {
    return QStringLiteral("memberd_requests_total{command=\"%1\",code=\"%2\"}")
        .arg(QLatin1String(command), QLatin1String(code));
}

// Asks until the answer starts with expected (bounded); the last answer.
QByteArray httpUntil(const QString& address, const QByteArray& request, const QByteArray& expected) {
    const QDeadlineTimer deadline(60000);
    QByteArray answer;
    while (!deadline.hasExpired()) {
        answer = http(address, request);
        if (answer.startsWith(expected))
            return answer;
        QTest::qWait(100);
    }
    return answer;
}

} // namespace

class TestMemberdMetrics : public QObject {
    Q_OBJECT

private slots:
    void countsKnownTraffic() {
        QTemporaryDir dir;
        const QString stores = dir.filePath(QStringLiteral("stores"));
        QCOMPARE(MemberdProcess::addStore(stores, QStringLiteral("S01"), "north-1"), 0);
        const QString conn =
            QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("m.db"));
        const QString metricsAt = LoopbackBlock::own(QStringLiteral("127.0.0.70"));
        MemberdProcess memberd(QStringLiteral("127.0.0.70"), conn,
                               {QStringLiteral("--metrics-listen"), metricsAt + QStringLiteral(":9351"),
                                QStringLiteral("--store-passwords"), stores,
                                QStringLiteral("--allow-shared-password")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        {
            Database db;
            db.open(conn);
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C1', 100)"));
        }

        Wire wrong;
        QVERIFY(wrong.open(memberd.address()));
        QVERIFY(wrong.ask("TCPCNT", QStringLiteral("guess")).startsWith("ZELQTCPCNT01"));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QVERIFY(w.ask("TCPCNT", QStringLiteral("S01\tnorth-1")).startsWith("ZELQTCPCNT00"));
        QVERIFY(w.ask("SELECT", QStringLiteral("SELECT CustNo FROM CUST")).startsWith("ZELQSELECT00"));
        QVERIFY(w.ask("SELECT", QStringLiteral("SELECT CustNo FROM CUST")).startsWith("ZELQSELECT00"));
        QVERIFY(w.ask("SERVER", QStringLiteral("DELETE FROM CUST")).startsWith("ZELQSERVER"));
        const QString key = QStringLiteral("S01.P01.B77.2.30.0001");
        const auto post = [](const QString& k, const QString& code, const QString& mode) {
            return posting(k, QStringLiteral("2"), QStringLiteral("C1"), QStringLiteral("10"), code, mode);
        };
        QCOMPARE(w.ask("POSTKY", post(key, {}, QStringLiteral("N"))), answered("POSTKY", 'P', false));
        QCOMPARE(w.ask("POSTKY", post(key, {}, QStringLiteral("N"))), answered("POSTKY", 'P', true));
        QCOMPARE(w.ask("POSTQY", QStringLiteral("S01.P01.B77.2.30.0002")), answered("POSTQY", 'X', false));
        QCOMPARE(w.ask("POSTKY", post(QStringLiteral("S01.P01.B77.2.30.0003"), QStringLiteral("A7"),
                                      QStringLiteral("O"))),
                 answered("POSTKY", 'P', false));
        // Offline without its code: refused as out of the store's bounds.
        QVERIFY(w.ask("POSTKY", post(QStringLiteral("S01.P01.B77.2.30.0004"), {}, QStringLiteral("O")))
                    .startsWith("ZELQPOSTKY05"));

        const QByteArray scrape =
            http(metricsAt, "GET /metrics HTTP/1.1\r\nHost: memberd\r\nUser-Agent: test\r\n\r\n");
        QVERIFY2(scrape.startsWith("HTTP/1.1 200 OK\r\n"), scrape.constData());
        QCOMPARE(valueOf(scrape, requests("TCPCNT", "00")), 1.0);
        QCOMPARE(valueOf(scrape, requests("TCPCNT", "01")), 1.0);
        QCOMPARE(valueOf(scrape, requests("SELECT", "00")), 2.0);
        QCOMPARE(valueOf(scrape, requests("SERVER", "03")), 1.0);
        QCOMPARE(valueOf(scrape, requests("POSTKY", "00")), 3.0);
        QCOMPARE(valueOf(scrape, requests("POSTKY", "05")), 1.0);
        QCOMPARE(valueOf(scrape, requests("POSTQY", "00")), 1.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_request_duration_seconds_count")), 10.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_request_duration_seconds_bucket{le=\"+Inf\"}")),
                 10.0);
        QVERIFY(valueOf(scrape, QStringLiteral("memberd_request_duration_seconds_sum")) >= 0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_logins_failed_total")), 1.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_logins_locked_out_total")), 0.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_keyed_postings_posted_total")), 2.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_keyed_postings_replayed_total")), 1.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_keyed_postings_voided_total")), 1.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_offline_postings_received_total")), 2.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_offline_postings_refused_total")), 1.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_store_scope_refusals_total")), 1.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_database_reconnects_total")), 0.0);
        QCOMPARE(valueOf(scrape, QStringLiteral("memberd_tls_handshakes_failed_total")), 0.0);
        QVERIFY(valueOf(scrape, QStringLiteral("memberd_open_connections")) >= 1);

        QVERIFY(
            httpUntil(metricsAt, "GET /healthz HTTP/1.0\r\n\r\n", "HTTP/1.1 200").endsWith("\r\n\r\nok\n"));
        QVERIFY(http(metricsAt, "GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 404 "));
        QVERIFY(http(metricsAt, "DELETE /metrics HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 405 "));
        QVERIFY(http(metricsAt, "hello\r\n\r\n").startsWith("HTTP/1.1 400 "));
        QVERIFY(http(metricsAt, QByteArray(9000, 'G')).startsWith("HTTP/1.1 431 "));
        // The listener still answers after the bad ones.
        QVERIFY(http(metricsAt, "GET /metrics HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 200 "));
    }

    // /healthz follows the database: 503 while the cluster is stopped, 200
    // once it runs again (and the service reconnects).
    void healthFollowsTheDatabase() {
        REQUIRE_PG_BINARIES();
        PgCluster cluster;
        QVERIFY2(cluster.create(), qPrintable(cluster.lastError()));
        {
            Database db;
            db.open(cluster.connectionString());
            db.createSchema();
        }
        const QString metricsAt = LoopbackBlock::own(QStringLiteral("127.0.0.71"));
        MemberdProcess memberd(QStringLiteral("127.0.0.71"), cluster.connectionString(),
                               {QStringLiteral("--metrics-listen"), metricsAt + QStringLiteral(":9351")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(
            httpUntil(metricsAt, "GET /healthz HTTP/1.1\r\n\r\n", "HTTP/1.1 200").startsWith("HTTP/1.1 200"));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QVERIFY(w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"));

        QVERIFY2(cluster.stop(QStringLiteral("fast")), qPrintable(cluster.lastError()));
        const QByteArray down = httpUntil(metricsAt, "GET /healthz HTTP/1.1\r\n\r\n", "HTTP/1.1 503");
        QVERIFY2(down.startsWith("HTTP/1.1 503 Service Unavailable"), down.constData());
        QCOMPARE(
            valueOf(http(metricsAt, "GET /metrics HTTP/1.1\r\n\r\n"), QStringLiteral("memberd_database_up")),
            0.0);
        QVERIFY(w.ask("SELECT", QStringLiteral("SELECT CustNo FROM CUST")).startsWith("ZELQSELECT04"));

        QVERIFY2(cluster.start(), qPrintable(cluster.lastError()));
        QVERIFY(
            httpUntil(metricsAt, "GET /healthz HTTP/1.1\r\n\r\n", "HTTP/1.1 200").startsWith("HTTP/1.1 200"));
        QVERIFY(w.ask("SELECT", QStringLiteral("SELECT CustNo FROM CUST")).startsWith("ZELQSELECT00"));
        QVERIFY(valueOf(http(metricsAt, "GET /metrics HTTP/1.1\r\n\r\n"),
                        QStringLiteral("memberd_database_reconnects_total")) >= 1);
    }

    void badOptionsStopTheStart() {
        const auto refusal = [](const QStringList& args) {
            const auto [code, log] = MemberdProcess::runToEnd(
                QStringList{QStringLiteral("--db"),
                            QStringLiteral("Provider=SQLite;Data Source=/nonexistent/m.db")} +
                args);
            return code == 2 ? log : QStringLiteral("exit %1").arg(code);
        };
        QVERIFY(refusal({QStringLiteral("--metrics-listen"), QStringLiteral("9351")})
                    .contains(QStringLiteral("--metrics-listen must be ADDR:PORT")));
        QVERIFY(refusal({QStringLiteral("--metrics-listen"), QStringLiteral("localhost:9351")})
                    .contains(QStringLiteral("--metrics-listen must be ADDR:PORT")));
        QVERIFY(refusal({QStringLiteral("--metrics-listen"), QStringLiteral("127.0.0.1:70000")})
                    .contains(QStringLiteral("--metrics-listen must be ADDR:PORT")));
        QVERIFY(refusal({QStringLiteral("--allow-shared-password")})
                    .contains(QStringLiteral("--allow-shared-password needs --store-passwords")));
        QVERIFY(refusal({QStringLiteral("--add-store"), QStringLiteral("S01")})
                    .contains(QStringLiteral("--add-store needs --store-passwords FILE")));
    }
};

QTEST_GUILESS_MAIN(TestMemberdMetrics)
#include "tst_memberd_metrics.moc"
