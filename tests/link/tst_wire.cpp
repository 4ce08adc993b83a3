// The framing of the link: request bytes in the code page and the assembly
// of replies from whatever pieces the socket hands over.
#include "link/WireCodec.h"

#include <QTest>

using namespace tolva;

class TestWire : public QObject {
    Q_OBJECT

    CodePage m_cp{QStringLiteral("CP950")};

private slots:
    void requestBytes() {
        const WireCodec codec(m_cp);
        QCOMPARE(codec.request(QStringLiteral("ZELQ"), QStringLiteral("TCPCNT"), QStringLiteral("pw")),
                 QByteArray("ZELQTCPCNT00pw\x03"));
        // An empty password: the terminator follows "00" directly.
        QCOMPARE(codec.request(QStringLiteral("ZELQ"), QStringLiteral("TCPCNT"), QString()),
                 QByteArray("ZELQTCPCNT00\x03"));
        // Chinese text travels in CP950 (王 = A4FD, 小 = A470, 明 = A9FA).
        const QByteArray select =
            codec.request(QStringLiteral("ZELQ"), QStringLiteral("SELECT"),
                          QStringLiteral("Select * From Cust Where CustName = '王小明'"));
        QCOMPARE(
            select,
            QByteArray("ZELQSELECT00Select * From Cust Where CustName = '\xA4\xFD\xA4\x70\xA9\xFA'\x03"));
    }

    void replyFedByteByByte() {
        const WireCodec codec(m_cp);
        // "許" is B35C in CP950 (its second byte is a backslash); the two bytes arrive in different segments.
        const QByteArray wire = "ZELQSELECT00000001CustName;\xB3\x5C\x03";
        QByteArray mRecvPart;
        std::optional<QString> message;
        for (qsizetype i = 0; i < wire.size(); ++i) {
            QVERIFY2(!message, "a message completed before its terminator");
            message = codec.assemble(mRecvPart, wire.mid(i, 1));
        }
        QVERIFY(message);
        QVERIFY(mRecvPart.isEmpty());
        const WireReply r = WireReply::split(*message);
        QCOMPARE(r.prefix, QStringLiteral("ZELQ"));
        QCOMPARE(r.command, QStringLiteral("SELECT"));
        QCOMPARE(r.rc, QStringLiteral("00"));
        QCOMPARE(r.count, QStringLiteral("000001"));
        QCOMPARE(r.data, QStringLiteral("CustName;許"));
    }

    void onlyTheFirstMessageOfASegmentCounts() {
        const WireCodec codec(m_cp);
        QByteArray mRecvPart = "ZELQSER";
        const auto message = codec.assemble(mRecvPart, "VER00000000first\x03ZELQSERVER00000000second\x03");
        QVERIFY(message);
        QCOMPARE(WireReply::split(*message).data, QStringLiteral("first"));
        QVERIFY(mRecvPart.isEmpty());
        // Nothing of the second message is left behind for the next one.
        QVERIFY(!codec.assemble(mRecvPart, "ZELQ"));
        QCOMPARE(mRecvPart, QByteArray("ZELQ"));
    }

    void shortMessagesLeaveFieldsEmpty() {
        const WireReply r = WireReply::split(QStringLiteral("ZELQTCPC"));
        QCOMPARE(r.command, QStringLiteral("TCPC"));
        QVERIFY(r.rc.isEmpty() && r.count.isEmpty() && r.data.isEmpty());
        QVERIFY(!r.ok());
    }
};

QTEST_GUILESS_MAIN(TestWire)
#include "tst_wire.moc"
