// The PROXY header a balancer puts before its client's bytes: both versions,
// read whole, byte by byte, and refused when they cannot be a header.
#include "server/ProxyHeader.h"

#include <QTest>

using namespace memberd;

namespace {

// A version 2 header: command (0 LOCAL, 1 PROXY), family and protocol byte,
// the address block.
QByteArray v2(quint8 command, quint8 familyProtocol, const QByteArray& block) {
    QByteArray h("\r\n\r\n\0\r\nQUIT\n", 12);
    h += static_cast<char>(0x20 | command);
    h += static_cast<char>(familyProtocol);
    h += static_cast<char>(block.size() >> 8);
    h += static_cast<char>(block.size() & 0xFF);
    return h + block;
}

QByteArray v4Block(const QByteArray& source, quint16 sourcePort) {
    QByteArray b = source + QByteArray("\x0a\x00\x00\x01", 4);
    b += static_cast<char>(sourcePort >> 8);
    b += static_cast<char>(sourcePort & 0xFF);
    return b + QByteArray("\x0d\xad", 2);
}

} // namespace

class TestProxyHeader : public QObject {
    Q_OBJECT

private slots:
    void headersAreRead_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("local");
        QTest::newRow("v1 TCP4") << QByteArray("PROXY TCP4 192.168.7.20 10.0.0.1 51234 3501\r\n")
                                 << QStringLiteral("192.168.7.20") << 51234 << false;
        QTest::newRow("v1 TCP6") << QByteArray("PROXY TCP6 2001:db8::7 2001:db8::1 40000 3501\r\n")
                                 << QStringLiteral("2001:db8::7") << 40000 << false;
        QTest::newRow("v1 IPv4-mapped") << QByteArray("PROXY TCP6 ::ffff:10.9.8.7 ::1 1 3501\r\n")
                                        << QStringLiteral("10.9.8.7") << 1 << false;
        QTest::newRow("v1 UNKNOWN") << QByteArray("PROXY UNKNOWN\r\n") << QString() << 0 << true;
        QTest::newRow("v1 longest") << QByteArray("PROXY UNKNOWN ") + QByteArray(91, 'x') + "\r\n"
                                    << QString() << 0 << true;
        QTest::newRow("v2 IPv4") << v2(1, 0x11, v4Block(QByteArray("\xc0\xa8\x07\x14", 4), 51234))
                                 << QStringLiteral("192.168.7.20") << 51234 << false;
        QByteArray v6(16, '\0');
        v6[0] = '\x20';
        v6[1] = '\x01';
        v6[15] = '\x07';
        QTest::newRow("v2 IPv6") << v2(1, 0x21, v6 + QByteArray(16, '\0') + QByteArray("\x01\x02\x0d\xad", 4))
                                 << QStringLiteral("2001::7") << 258 << false;
        QTest::newRow("v2 with extensions")
            << v2(1, 0x11, v4Block(QByteArray("\x0a\x01\x02\x03", 4), 7) + QByteArray("\x04\x00\x03xyz", 6))
            << QStringLiteral("10.1.2.3") << 7 << false;
        QTest::newRow("v2 LOCAL") << v2(0, 0x00, QByteArray()) << QString() << 0 << true;
        QTest::newRow("v2 unix socket") << v2(1, 0x31, QByteArray(216, '\0')) << QString() << 0 << true;
    }
    // The header is Done only with its last byte, and what follows is not part of it.
    void headersAreRead() {
        QFETCH(QByteArray, header);
        QFETCH(QString, source);
        QFETCH(int, port);
        QFETCH(bool, local);
        for (qsizetype n = 1; n < header.size(); ++n)
            QCOMPARE(ProxyHeader::parse(header.left(n)).state, ProxyHeader::State::NeedMore);
        const ProxyHeader::Result r = ProxyHeader::parse(header + "ZELQTCPCNT00secret\x03");
        QCOMPARE(r.state, ProxyHeader::State::Done);
        QCOMPARE(r.length, header.size());
        QCOMPARE(r.local, local);
        if (!local) {
            QCOMPARE(r.source.toString(), source);
            QCOMPARE(int(r.sourcePort), port);
        }
    }

    void badHeadersAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("a log-in") << QByteArray("ZELQTCPCNT00secret\x03");
        QTest::newRow("lower case") << QByteArray("proxy TCP4 1.2.3.4 1.2.3.5 1 2\r\n");
        QTest::newRow("v1 too long") << QByteArray("PROXY UNKNOWN ") + QByteArray(92, 'x') + "\r\n";
        QTest::newRow("v1 never ends") << QByteArray("PROXY TCP4 ") + QByteArray(200, '1');
        QTest::newRow("v1 short address") << QByteArray("PROXY TCP4 1.2.3 1.2.3.5 1 2\r\n");
        QTest::newRow("v1 address of the other family") << QByteArray("PROXY TCP4 ::1 ::1 1 2\r\n");
        QTest::newRow("v1 port too large") << QByteArray("PROXY TCP4 1.2.3.4 1.2.3.5 65536 2\r\n");
        QTest::newRow("v1 port with a zero before") << QByteArray("PROXY TCP4 1.2.3.4 1.2.3.5 01 2\r\n");
        QTest::newRow("v1 two blanks") << QByteArray("PROXY TCP4  1.2.3.4 1.2.3.5 1 2\r\n");
        QTest::newRow("v1 unknown protocol") << QByteArray("PROXY UDP4 1.2.3.4 1.2.3.5 1 2\r\n");
        QTest::newRow("v1 bare line feed") << QByteArray("PROXY TCP4 1.2.3.4\n");
        QTest::newRow("v1 lone carriage return") << QByteArray("PROXY UNKNOWN a\rb\r\n");
        QTest::newRow("v2 signature") << QByteArray("\r\n\r\n\0\r\nQUIX\n", 12);
        QTest::newRow("v2 version 1") << v2(1, 0x11, v4Block("\1\2\3\4", 1)).replace(12, 1, "\x11");
        QTest::newRow("v2 unknown command") << v2(2, 0x11, v4Block("\1\2\3\4", 1));
        QTest::newRow("v2 longer than allowed") << v2(1, 0x11, QByteArray(1025, '\0')).left(16);
        QTest::newRow("v2 shorter than its addresses") << v2(1, 0x21, QByteArray(20, '\0'));
        QTest::newRow("v2 datagram") << v2(1, 0x12, v4Block("\1\2\3\4", 1));
        QTest::newRow("v2 unknown family") << v2(1, 0x41, QByteArray(12, '\0'));
    }
    // Refused as soon as the bytes cannot become a header: the caller need not
    // wait for more, and never has to keep more than a header's bound.
    void badHeadersAreRefused() {
        QFETCH(QByteArray, bytes);
        const ProxyHeader::Result r = ProxyHeader::parse(bytes);
        QCOMPARE(r.state, ProxyHeader::State::Invalid);
        QVERIFY(!r.error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProxyHeader)
#include "tst_proxyheader.moc"
