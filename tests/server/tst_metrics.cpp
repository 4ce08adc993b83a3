// The counters in the Prometheus text format, the metrics listener's reading
// of request heads and its answers by method and path.
#include "server/HealthCheck.h"
#include "server/HttpRequest.h"
#include "server/Metrics.h"
#include "server/MetricsServer.h"

#include <QTest>

using namespace memberd;

class TestMetrics : public QObject {
    Q_OBJECT

private slots:
    void heads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("path");
        const int incomplete = static_cast<int>(HttpRequest::State::Incomplete);
        const int complete = static_cast<int>(HttpRequest::State::Complete);
        const int malformed = static_cast<int>(HttpRequest::State::Malformed);
        QTest::newRow("scrape") << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\n")
                                << complete << QByteArray("/metrics");
        QTest::newRow("bare line ends")
            << QByteArray("GET /healthz HTTP/1.0\n\n") << complete << QByteArray("/healthz");
        QTest::newRow("query dropped")
            << QByteArray("GET /metrics?x=1 HTTP/1.0\r\n\r\n") << complete << QByteArray("/metrics");
        QTest::newRow("head not ended")
            << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\n") << incomplete << QByteArray();
        QTest::newRow("line not ended") << QByteArray("GET /metr") << incomplete << QByteArray();
        QTest::newRow("nothing") << QByteArray() << incomplete << QByteArray();
        QTest::newRow("HTTP/2") << QByteArray("GET / HTTP/2\r\n\r\n") << malformed << QByteArray();
        QTest::newRow("no version") << QByteArray("GET /metrics\r\n\r\n") << malformed << QByteArray();
        QTest::newRow("absolute target")
            << QByteArray("GET http://x/metrics HTTP/1.1\r\n\r\n") << malformed << QByteArray();
        QTest::newRow("two blanks") << QByteArray("GET  /metrics HTTP/1.1\r\n\r\n") << malformed
                                    << QByteArray();
        QTest::newRow("control in target")
            << QByteArray("GET /me\x01trics HTTP/1.1\r\n\r\n") << malformed << QByteArray();
        QTest::newRow("binary") << QByteArray("\x16\x03\x01\x02\x05\n") << malformed << QByteArray();
    }
    void heads() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, state);
        QFETCH(QByteArray, path);
        const HttpRequest r = HttpRequest::parse(bytes);
        QCOMPARE(static_cast<int>(r.state), state);
        QCOMPARE(r.path, path);
    }

    void answersByMethodAndPath() {
        Metrics metrics;
        HealthCheck health(QStringLiteral("Provider=SQLite;Data Source=/nonexistent/dir/member.db"));
        const MetricsServer server(metrics, health, [] { return 7; });
        QVERIFY(server.answer("GET /nothing HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404 "));
        QVERIFY(server.answer("POST /metrics HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 405 "));
        QVERIFY(server.answer("GET /metrics HTTP/9\r\n\r\n").startsWith("HTTP/1.1 400 "));
        // The check has not answered yet: the database counts as down.
        QVERIFY(server.answer("GET /healthz HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 503 "));
        const QByteArray scrape = server.answer("GET /metrics HTTP/1.0\r\n\r\n");
        QVERIFY(scrape.startsWith("HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4"));
        QVERIFY(scrape.contains("\nmemberd_open_connections 7\n"));
        QVERIFY(scrape.contains("\nmemberd_database_up 0\n"));
        const qsizetype bodyAt = scrape.indexOf("\r\n\r\n") + 4;
        QVERIFY(scrape.contains("Content-Length: " + QByteArray::number(scrape.size() - bodyAt) + "\r\n"));
    }

    // Counts by command and code, the histogram's cumulative buckets with its
    // sum and count, and one HELP and TYPE line for each metric.
    void rendersTheCounters() {
        Metrics m;
        m.answered("SELECT", "00", 800);      // first bucket
        m.answered("SELECT", "00", 1000);     // on the bound: still the first
        m.answered("POSTKY", "05", 30000);    // 0.05
        m.answered("XYZXYZ", "02", 20000000); // above every bound
        m.answered("TCPCNT", "7x", 1);
        m.keyedPosted();
        m.offlineReceived();
        m.offlineReceived();
        m.offlineRefused();
        m.tlsHandshakeFailed();
        const QByteArray text = m.render({3, true});
        const auto has = [&](const char* line) {
            return text.contains(QByteArray("\n") + line + '\n') || text.startsWith(QByteArray(line) + '\n');
        };
        QVERIFY(has("memberd_requests_total{command=\"SELECT\",code=\"00\"} 2"));
        QVERIFY(has("memberd_requests_total{command=\"POSTKY\",code=\"05\"} 1"));
        QVERIFY(has("memberd_requests_total{command=\"other\",code=\"02\"} 1"));
        QVERIFY(has("memberd_requests_total{command=\"TCPCNT\",code=\"other\"} 1"));
        QVERIFY(has("memberd_requests_total{command=\"SERVER\",code=\"00\"} 0"));
        QVERIFY(has("memberd_request_duration_seconds_bucket{le=\"0.001\"} 3"));
        QVERIFY(has("memberd_request_duration_seconds_bucket{le=\"0.025\"} 3"));
        QVERIFY(has("memberd_request_duration_seconds_bucket{le=\"0.05\"} 4"));
        QVERIFY(has("memberd_request_duration_seconds_bucket{le=\"10\"} 4"));
        QVERIFY(has("memberd_request_duration_seconds_bucket{le=\"+Inf\"} 5"));
        QVERIFY(has("memberd_request_duration_seconds_sum 20.031801"));
        QVERIFY(has("memberd_request_duration_seconds_count 5"));
        QVERIFY(has("memberd_open_connections 3"));
        QVERIFY(has("memberd_database_up 1"));
        QVERIFY(has("memberd_keyed_postings_posted_total 1"));
        QVERIFY(has("memberd_offline_postings_received_total 2"));
        QVERIFY(has("memberd_offline_postings_refused_total 1"));
        QVERIFY(has("memberd_tls_handshakes_failed_total 1"));
        QVERIFY(has("# TYPE memberd_request_duration_seconds histogram"));
        QCOMPARE(text.count("# TYPE "), text.count("# HELP "));
        QCOMPARE(text.count("# TYPE memberd_requests_total counter"), 1);
        QVERIFY(text.endsWith('\n'));
    }
};

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
