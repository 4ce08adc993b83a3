// memberd speaking TLS: the certificate, key and client CA checked at the
// start, desks let in only with a handshake that verifies, the clear-text
// port beside it, and a balancer's PROXY header before the handshake. Every
// certificate is made by the test (support/TestCertificates).
#include "server/MemberWire.h"
#include "server/TlsWire.h"
#include "support/LoopbackBlock.h"
#include "support/MemberdProcess.h"
#include "support/TestCertificates.h"

#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString sqliteIn(const QTemporaryDir& dir) {
    return QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("member.db"));
}

const QString kInsert =
    QStringLiteral("INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('T1', 'x', 0)");
const QString kLookup = QStringLiteral("Select CustNo From Cust Where CustNo = 'T1'");
const QByteArray kNoRows("ZELQSELECT00000000\x03");

// Logs in over TLS with the test's CA and asks whether the card T1 exists:
// what a refused client sent must never have been run.
QByteArray lookUpT1(const TestCertificates& certs, const QString& address, const QString& client = {}) {
    TlsWire w(certs.ca(), client.isEmpty() ? QString() : certs.cert(client),
              client.isEmpty() ? QString() : certs.key(client));
    if (!w.open(address) || !w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"))
        return "no log-in: " + w.error().toUtf8();
    return w.ask("SELECT", kLookup);
}

} // namespace

class TestMemberdTls : public QObject {
    Q_OBJECT

private slots:
    // A key that cannot be read or does not belong to the certificate, and
    // options that make no sense alone, end the start (and --check-config)
    // with the reason; certificate and key work from a configuration file.
    void filesAndOptionsAreChecked() {
        QTemporaryDir dir;
        TestCertificates certs(LoopbackBlock::own(QStringLiteral("127.0.0.160")));
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        const QString db = sqliteIn(dir);
        QCOMPARE(MemberdProcess::runToEnd({QStringLiteral("--db"), db, QStringLiteral("--init-db")}).first,
                 0);

        const auto check = [&](QStringList args) {
            return MemberdProcess::runToEnd(QStringList{QStringLiteral("--db"), db} + args);
        };
        auto [code, err] = check({QStringLiteral("--tls-cert"), certs.cert(QStringLiteral("server")),
                                  QStringLiteral("--tls-key"), certs.key(QStringLiteral("client")),
                                  QStringLiteral("--listen"), QStringLiteral("127.0.0.160")});
        QCOMPARE(code, 1);
        QVERIFY2(err.contains(QStringLiteral("does not belong to the certificate in --tls-cert")),
                 qPrintable(err));

        const QString missing = dir.filePath(QStringLiteral("missing.key"));
        std::tie(code, err) = check({QStringLiteral("--tls-cert"), certs.cert(QStringLiteral("server")),
                                     QStringLiteral("--tls-key"), missing});
        QCOMPARE(code, 1);
        QVERIFY2(err.contains(QStringLiteral("--tls-key ") + missing + QStringLiteral(": cannot read")),
                 qPrintable(err));

        const QString notPem = dir.filePath(QStringLiteral("not-a-cert.pem"));
        QFile junk(notPem);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a certificate\n");
        junk.close();
        std::tie(code, err) = check({QStringLiteral("--tls-cert"), notPem, QStringLiteral("--tls-key"),
                                     certs.key(QStringLiteral("server"))});
        QCOMPARE(code, 1);
        QVERIFY2(err.contains(QStringLiteral("not a PEM certificate")), qPrintable(err));

        std::tie(code, err) = check({QStringLiteral("--tls-cert"), certs.cert(QStringLiteral("server"))});
        QVERIFY(code != 0);
        QVERIFY2(err.contains(QStringLiteral("--tls-cert and --tls-key go together")), qPrintable(err));
        std::tie(code, err) = check({QStringLiteral("--plain-listen"), QStringLiteral("127.0.0.1:3502")});
        QVERIFY(code != 0);
        QVERIFY2(err.contains(QStringLiteral("--plain-listen opens a clear-text port beside TLS")),
                 qPrintable(err));
        std::tie(code, err) = check({QStringLiteral("--tls-client-ca"), certs.ca()});
        QVERIFY(code != 0);
        QVERIFY2(err.contains(QStringLiteral("--tls-client-ca needs")), qPrintable(err));
        std::tie(code, err) = check(
            certs.serverArgs() + QStringList{QStringLiteral("--plain-listen"), QStringLiteral("127.0.0.1")});
        QVERIFY(code != 0);
        QVERIFY2(err.contains(QStringLiteral("not ADDR:PORT")), qPrintable(err));
    }

    void checkConfigReadsTheFiles() {
        QTemporaryDir dir;
        TestCertificates certs(LoopbackBlock::own(QStringLiteral("127.0.0.161")));
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        const QString db = sqliteIn(dir);
        QCOMPARE(MemberdProcess::runToEnd({QStringLiteral("--db"), db, QStringLiteral("--init-db")}).first,
                 0);
        const QString config = dir.filePath(QStringLiteral("memberd.conf"));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("db = " + db.toUtf8() + "\ntls-cert = " + certs.cert(QStringLiteral("server")).toUtf8() +
                   "\ntls-key = " + certs.key(QStringLiteral("client")).toUtf8() + "\n");
        file.close();
        QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MEMBERD_PASSWORD"), QStringLiteral("secret"));
        p.setProcessEnvironment(env);
        p.start(MemberdProcess::program(),
                {QStringLiteral("--config"), config, QStringLiteral("--check-config")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("does not belong to the certificate")), qPrintable(out));

        // The right key, given on the command line, wins over the file's.
        p.start(MemberdProcess::program(),
                {QStringLiteral("--config"), config, QStringLiteral("--tls-key"),
                 certs.key(QStringLiteral("server")), QStringLiteral("--check-config")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("configuration OK\n"));
        QCOMPARE(p.exitCode(), 0);
        // Certificate and key handed over by the service manager as
        // credentials turn TLS on without options: a wrong pair is refused.
        QTemporaryDir credentials;
        QVERIFY(QFile::copy(certs.cert(QStringLiteral("server")),
                            credentials.filePath(QStringLiteral("memberd-tls-cert"))));
        QVERIFY(QFile::copy(certs.key(QStringLiteral("client")),
                            credentials.filePath(QStringLiteral("memberd-tls-key"))));
        env.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), credentials.path());
        p.setProcessEnvironment(env);
        p.start(MemberdProcess::program(), {QStringLiteral("--db"), db, QStringLiteral("--check-config")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        const QString fromCredentials = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(fromCredentials.contains(credentials.filePath(QStringLiteral("memberd-tls-key")) +
                                          QStringLiteral(": does not belong to the certificate")),
                 qPrintable(fromCredentials));
    }

    // With a client CA, only a desk showing a certificate it signed gets in;
    // the log names the store of the certificate and tells every refusal
    // with OpenSSL's reason. What a refused desk sent is never run.
    void clientCertificatesAreRequired() {
        QTemporaryDir dir;
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.162"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberdProcess memberd(address, sqliteIn(dir),
                               certs.serverArgs() +
                                   QStringList{QStringLiteral("--tls-client-ca"), certs.ca()});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(memberd.log().contains(QStringLiteral("client certificates required")));

        QCOMPARE(lookUpT1(certs, memberd.address(), QStringLiteral("client")), kNoRows);
        QVERIFY(memberd.waitForLog(QStringLiteral("logged in as store S01 (certificate)")));

        for (const QString& client : {QString(), QStringLiteral("other-client")}) {
            // Under TLS 1.3 the desk's side of the handshake may end before
            // the service has looked at its certificate: it sends at once.
            TlsWire w(certs.ca(), client.isEmpty() ? QString() : certs.cert(client),
                      client.isEmpty() ? QString() : certs.key(client));
            if (w.open(memberd.address())) {
                const QByteArray answer = w.ask("TCPCNT", QStringLiteral("secret"));
                QVERIFY2(!answer.contains("TCPCNT00"), answer.constData());
                w.ask("SERVER", kInsert);
            }
            QVERIFY(w.closedByPeer());
        }
        QVERIFY(
            memberd.waitForLog(QStringLiteral("TLS handshake failed: peer did not return a certificate")));
        QVERIFY(memberd.waitForLog(QStringLiteral("TLS handshake failed: certificate verify failed")));
        QCOMPARE(lookUpT1(certs, memberd.address(), QStringLiteral("client")), kNoRows);
    }

    // The certificate's store is the connection's: a row written for another
    // store is refused "05" and nothing is written; and the handshakes that
    // failed are counted where the operators watch the service.
    void aCertificateHoldsTheConnectionToItsStore() {
        QTemporaryDir dir;
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.168"));
        const QString metricsAt = LoopbackBlock::own(QStringLiteral("127.0.0.169"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberdProcess memberd(address, sqliteIn(dir),
                               certs.serverArgs() + QStringList{QStringLiteral("--tls-client-ca"), certs.ca(),
                                                                QStringLiteral("--metrics-listen"),
                                                                metricsAt + QStringLiteral(":9351")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        TlsWire w(certs.ca(), certs.cert(QStringLiteral("client")), certs.key(QStringLiteral("client")));
        QVERIFY2(w.open(memberd.address()), qPrintable(w.error()));
        const QByteArray login = w.ask("TCPCNT", QStringLiteral("secret"));
        QVERIFY2(login.startsWith("ZELQTCPCNT00"), login.constData());
        QVERIFY2(login.mid(12, 6).toInt() & 2, login.constData()); // held to its store
        const QString row =
            QStringLiteral("INSERT INTO VCardLog ( TxnDept, TxnType, CardNo, TxnAmt, RefCheckNo ) "
                           "VALUES ( '%1', '2', 'C1', 30, 'B77' )");
        QVERIFY(w.ask("SERVER", row.arg(QStringLiteral("S02"))).startsWith("ZELQSERVER05"));
        QVERIFY(w.ask("SERVER", row.arg(QStringLiteral("S01"))).startsWith("ZELQSERVER00"));
        const QByteArray rows = w.ask("SELECT", QStringLiteral("SELECT TxnDept FROM VCardLog"));
        QVERIFY2(rows.contains("S01") && !rows.contains("S02"), rows.constData());

        Wire clear; // clear text at the TLS port: a handshake that failed
        QVERIFY(clear.open(memberd.address()));
        clear.send("ZELQTCPCNT00secret\x03");
        QVERIFY(clear.closedByPeer());
        QTcpSocket http;
        http.connectToHost(metricsAt, 9351);
        QVERIFY(http.waitForConnected(10000));
        http.write("GET /metrics HTTP/1.0\r\n\r\n");
        QByteArray scrape;
        while (http.state() == QAbstractSocket::ConnectedState && http.waitForReadyRead(10000))
            scrape += http.readAll();
        scrape += http.readAll();
        QVERIFY2(scrape.contains("\nmemberd_tls_handshakes_failed_total 1\n"), scrape.constData());
    }

    // A desk speaking clear text to the TLS port is told so in the link's own
    // words and nothing it sent runs; a TLS desk at the clear-text port is
    // refused; the clear-text port serves clear text.
    void clearTextAndTlsPortsKeepApart() {
        QTemporaryDir dir;
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.163"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        const QString plain = LoopbackBlock::own(QStringLiteral("127.0.0.164"));
        MemberdProcess memberd(address, sqliteIn(dir),
                               certs.serverArgs() + QStringList{QStringLiteral("--plain-listen"),
                                                                plain + QStringLiteral(":3501")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        Wire clear;
        QVERIFY(clear.open(memberd.address()));
        clear.send("ZELQTCPCNT00secret\x03ZELQSERVER00" + kInsert.toLatin1() + '\x03');
        const QByteArray refusal = clear.reply();
        QVERIFY2(refusal.startsWith("ZELQTCPCNT02"), refusal.constData());
        QVERIFY(clear.text(refusal).contains(QStringLiteral("此連線埠只接受 TLS 加密連線")));
        QVERIFY(clear.closedByPeer());
        QVERIFY(memberd.waitForLog(QStringLiteral("refused: clear text at the TLS port")));

        TlsWire atPlain(certs.ca());
        QVERIFY(!atPlain.open(plain));
        QVERIFY(memberd.waitForLog(QStringLiteral("refused: a TLS handshake at the clear-text port")));

        Wire desk;
        QVERIFY(desk.open(plain));
        QVERIFY(desk.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"));
        QCOMPARE(desk.ask("SELECT", kLookup), kNoRows);
        QCOMPARE(lookUpT1(certs, memberd.address()), kNoRows);
    }

    // A handshake that never ends is closed at the log-in time limit like a
    // silent connection; one longer than its bound is closed as soon as it
    // goes past it.
    void handshakeCountsBeforeTheLogIn() {
        QTemporaryDir dir;
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.165"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberdProcess memberd(address, sqliteIn(dir),
                               certs.serverArgs() +
                                   QStringList{QStringLiteral("--login-timeout"), QStringLiteral("0.2")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        // A port check that connects and leaves tried no handshake.
        Wire check;
        QVERIFY(check.open(memberd.address()));
        check.socket().disconnectFromHost();
        QVERIFY(memberd.waitForLog(QStringLiteral(" disconnected")));
        QVERIFY(!memberd.log().contains(QStringLiteral("TLS handshake failed")));

        Wire stalled;
        QVERIFY(stalled.open(memberd.address()));
        stalled.send(QByteArray("\x16\x03\x01\x00\x80\x01", 6)); // a ClientHello that stops
        QVERIFY(stalled.closedByPeer());
        QVERIFY(memberd.waitForLog(QStringLiteral("closed: no log-in within 0.2 s")));

        // A ClientHello announced as 96 KiB (OpenSSL would wait for all of
        // it), sent record by record: the service stops reading at its bound.
        Wire flood;
        QVERIFY(flood.open(memberd.address()));
        QByteArray first("\x16\x03\x01\x40\x00\x01\x01\x80\x00", 9);
        first += QByteArray(0x4000 - 4, '\x01');
        flood.send(first);
        QByteArray record("\x16\x03\x01\x40\x00", 5);
        record += QByteArray(0x4000, '\x01');
        for (int i = 0; i < 4 && flood.socket().state() == QAbstractSocket::ConnectedState; ++i)
            flood.send(record);
        QVERIFY(flood.closedByPeer());
        QVERIFY(
            memberd.waitForLog(QStringLiteral("TLS handshake failed: handshake longer than 65536 bytes")));
        QCOMPARE(lookUpT1(certs, memberd.address()), kNoRows);
    }

    // A reply of many TLS records, larger than the socket takes at once,
    // arrives whole and in order, and the connection serves on after it.
    void largeRepliesCrossWhole() {
        QTemporaryDir dir;
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.167"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberdProcess memberd(address, sqliteIn(dir),
                               certs.serverArgs() + QStringList{QStringLiteral("--max-reply-bytes"),
                                                                QStringLiteral("16000000"),
                                                                QStringLiteral("--max-output-bytes"),
                                                                QStringLiteral("16000000")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        TlsWire w(certs.ca());
        QVERIFY2(w.open(memberd.address()), qPrintable(w.error()));
        QVERIFY(w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"));
        // More than the kernel takes into a socket's send buffer (at most 4 MiB).
        const QString name(250000, QLatin1Char('x'));
        for (int i = 0; i < 40; ++i)
            QVERIFY(w.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo, CustName) VALUES ('L%1', '%2')")
                                        .arg(i, 2, 10, QLatin1Char('0'))
                                        .arg(name))
                        .startsWith("ZELQSERVER00"));
        const QByteArray all =
            w.ask("SELECT",
                  QStringLiteral("Select CustNo, CustName From Cust Where CustNo Like 'L%' Order By CustNo"));
        QVERIFY2(all.startsWith("ZELQSELECT00000040"), all.left(40).constData());
        QVERIFY(all.size() > 40 * 250000);
        QVERIFY(all.contains("L39\t" + name.toLatin1() + '\x03'));
        QCOMPARE(w.ask("SELECT", kLookup), kNoRows);
    }

    // A trusted balancer's PROXY header comes in clear text before the
    // handshake; the client it names is the one logged.
    void proxyHeaderComesBeforeTheHandshake() {
        QTemporaryDir dir;
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.166"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberdProcess memberd(address, sqliteIn(dir),
                               certs.serverArgs() + QStringList{QStringLiteral("--trusted-proxy"),
                                                                QStringLiteral("127.0.0.0/8")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        TlsWire w(certs.ca());
        QVERIFY2(w.openAfter(memberd.address(), "PROXY TCP4 192.168.7.20 10.0.0.1 51234 3501\r\n"),
                 qPrintable(w.error()));
        QVERIFY(w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"));
        QCOMPARE(w.ask("SELECT", kLookup), kNoRows);
        QVERIFY(memberd.waitForLog(QStringLiteral("192.168.7.20:51234 logged in")));
    }
};

QTEST_GUILESS_MAIN(TestMemberdTls)
#include "tst_memberd_tls.moc"
