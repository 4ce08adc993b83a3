// memberd behind a TCP balancer: connections from a --trusted-proxy address
// begin with a PROXY header, and the client it names stands in for the
// balancer in every limit and log line. The test connects from the
// balancer's loopback address and writes the header itself.
#include "server/MemberWire.h"
#include "support/MemberdProcess.h"

#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

namespace {

const QString kBalancer = QStringLiteral("127.0.0.121");

QString sqliteIn(const QTemporaryDir& dir) {
    return QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("member.db"));
}

QByteArray v1(const QString& client, int port) {
    return QStringLiteral("PROXY TCP4 %1 10.0.0.1 %2 3501\r\n").arg(client).arg(port).toLatin1();
}

// A version 2 header for an IPv4 client; command 0 is the balancer's own (LOCAL).
QByteArray v2(quint32 client, quint16 port, int command = 1) {
    QByteArray h("\r\n\r\n\0\r\nQUIT\n", 12);
    h += static_cast<char>(0x20 | command);
    h += '\x11';
    h += QByteArray("\x00\x0c", 2);
    for (int shift : {24, 16, 8, 0})
        h += static_cast<char>((client >> shift) & 0xFF);
    h += QByteArray("\x0a\x00\x00\x01", 4);
    h += static_cast<char>(port >> 8);
    h += static_cast<char>(port & 0xFF);
    return h + QByteArray("\x0d\xad", 2);
}

// A connection through the balancer for client, logged in with password.
QByteArray logInThrough(Wire& w, const QString& address, const QByteArray& header,
                        const QString& password = QStringLiteral("secret")) {
    if (!w.open(address, kBalancer))
        return {};
    w.send(header);
    return w.ask("TCPCNT", password);
}

} // namespace

class TestMemberdProxy : public QObject {
    Q_OBJECT

private slots:
    // Each client named by the balancer has its own places and its own
    // lock-out, and the log names the client, not the balancer.
    void clientsBehindTheBalancerAreToldApart() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.120"), sqliteIn(dir),
                               {QStringLiteral("--trusted-proxy"),
                                kBalancer + QStringLiteral(",10.99.0.0/16"),
                                QStringLiteral("--max-pending-per-address"), QStringLiteral("2"),
                                QStringLiteral("--login-failures"), QStringLiteral("3"),
                                QStringLiteral("--login-delay"), QStringLiteral("0.01")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        Wire desk;
        QCOMPARE(logInThrough(desk, memberd.address(), v1(QStringLiteral("192.168.7.20"), 51234)).left(12),
                 QByteArray("ZELQTCPCNT00"));
        QVERIFY(memberd.waitForLog(QStringLiteral("192.168.7.20:51234 connected via 127.0.0.121:")));
        QVERIFY(memberd.waitForLog(QStringLiteral("192.168.7.20:51234 logged in")));
        QCOMPARE(desk.ask("SELECT", QStringLiteral("Select CustNo From Cust Where CustNo = 'x'")),
                 QByteArray("ZELQSELECT00000000\x03"));

        // One client holds its two pending places; a third connection of its
        // own is closed, the other clients of the balancer are not.
        std::vector<std::unique_ptr<Wire>> held;
        for (int i = 0; i < 3; ++i) {
            held.push_back(std::make_unique<Wire>());
            QVERIFY(held.back()->open(memberd.address(), kBalancer));
            held.back()->send(v2(0xC0A80815, static_cast<quint16>(1000 + i)));
            if (i < 2)
                QVERIFY(memberd.waitForLog(QStringLiteral("192.168.8.21:%1 connected via").arg(1000 + i)));
        }
        QVERIFY(held.back()->closedByPeer());
        QVERIFY(
            memberd.waitForLog(QStringLiteral("192.168.8.21:1002 refused: too many connections waiting")));
        int others = 0;
        for (int i = 0; i < 5; ++i) {
            Wire w;
            others += logInThrough(w, memberd.address(), v2(0xC0A80900 + i, 2000)).startsWith("ZELQTCPCNT00");
        }
        QCOMPARE(others, 5);

        // Wrong passwords lock out the client that sent them.
        std::vector<std::unique_ptr<Wire>> guesses;
        for (int i = 0; i < 3; ++i) {
            guesses.push_back(std::make_unique<Wire>());
            QVERIFY(guesses.back()->open(memberd.address(), kBalancer));
            guesses.back()->send(v1(QStringLiteral("10.4.4.4"), 3000 + i) + "ZELQTCPCNT00guess\x03");
        }
        QVERIFY(memberd.waitForLog(QStringLiteral("10.4.4.4 locked out")));
        QVERIFY(!memberd.log().contains(kBalancer + QStringLiteral(" locked out")));

        // The balancer's own connection (a health check) stands for itself.
        Wire check;
        QCOMPARE(logInThrough(check, memberd.address(), v2(0, 0, 0)).left(12), QByteArray("ZELQTCPCNT00"));
        QVERIFY(memberd.waitForLog(kBalancer + QStringLiteral(":") +
                                   QString::number(check.socket().localPort()) +
                                   QStringLiteral(" logged in")));
    }

    // From a balancer a connection must begin with a header, within the
    // log-in time; from anyone else a header is just a bad log-in.
    void headersAreTakenFromTrustedBalancersOnly() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.122"), sqliteIn(dir),
                               {QStringLiteral("--trusted-proxy"), kBalancer,
                                QStringLiteral("--login-timeout"), QStringLiteral("0.3")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        Wire stranger;
        QVERIFY(stranger.open(memberd.address(), QStringLiteral("127.0.0.123")));
        stranger.send(v1(QStringLiteral("10.9.9.9"), 4000) + "ZELQTCPCNT00secret\x03");
        QCOMPARE(stranger.reply().mid(10, 2), QByteArray("02"));
        QVERIFY(stranger.closedByPeer());
        QVERIFY(!memberd.log().contains(QStringLiteral("10.9.9.9")));

        Wire noHeader;
        QCOMPARE(logInThrough(noHeader, memberd.address(), QByteArray()).left(12),
                 QByteArray("ZELQTCPCNT02"));
        QVERIFY(memberd.waitForLog(QStringLiteral("no valid PROXY header from a trusted balancer")));

        Wire tooLong;
        QVERIFY(tooLong.open(memberd.address(), kBalancer));
        tooLong.send("PROXY TCP4 " + QByteArray(200, '1'));
        QVERIFY(tooLong.closedByPeer());
        QVERIFY(memberd.waitForLog(QStringLiteral("PROXY line longer than 107 bytes")));

        Wire half;
        QVERIFY(half.open(memberd.address(), kBalancer));
        half.send(v2(0x0A000001, 5000).left(20));
        QVERIFY(half.closedByPeer());
        QVERIFY(memberd.waitForLog(QStringLiteral("no log-in within 0.3 s")));

        QVERIFY2(memberd.process().state() == QProcess::Running, qPrintable(memberd.log()));
        Wire desk;
        QCOMPARE(logInThrough(desk, memberd.address(), v2(0x0A000002, 5001)).left(12),
                 QByteArray("ZELQTCPCNT00"));
    }

    void badTrustedProxyIsRefused() {
        const auto [code, err] =
            MemberdProcess::runToEnd({QStringLiteral("--check-config"), QStringLiteral("--trusted-proxy"),
                                      QStringLiteral("10.0.0.1,balancer")});
        Q_UNUSED(err);
        QCOMPARE(code, 1);
    }
};

QTEST_GUILESS_MAIN(TestMemberdProxy)
#include "tst_memberd_proxy.moc"
