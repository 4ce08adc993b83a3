// memberd over loopback with raw sockets: the reply format, the log-in, the
// bounds it keeps and how it ends. Each test has its own address on port 3501.
#include "CodePage.h"
#include "Database.h"
#include "MemberdProcess.h"
#include "TestDatabase.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace tolva;

namespace {

// One connection speaking the wire format directly.
class Wire {
public:
    bool open(const QString& address) {
        m_socket.connectToHost(address, MemberdProcess::port());
        return m_socket.waitForConnected(10000);
    }
    void send(const QByteArray& bytes) {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(10000);
    }
    QByteArray ask(const char* command, const QString& data, const QByteArray& prefix = "ZELQ") {
        send(prefix + command + "00" + m_cp.encode(data) + '\x03');
        return reply();
    }
    // The next reply with its terminator; what arrived so far when none comes.
    QByteArray reply() {
        while (!m_buffer.contains('\x03') &&
               (m_socket.bytesAvailable() > 0 || m_socket.waitForReadyRead(10000)))
            m_buffer += m_socket.readAll();
        const qsizetype end = m_buffer.indexOf('\x03');
        const QByteArray out = end < 0 ? m_buffer : m_buffer.left(end + 1);
        m_buffer.remove(0, out.size());
        return out;
    }
    bool closedByPeer() {
        return m_socket.state() == QAbstractSocket::UnconnectedState || m_socket.waitForDisconnected(10000);
    }
    QString text(const QByteArray& bytes) const { return m_cp.decode(bytes); }

private:
    CodePage m_cp{QStringLiteral("CP950")};
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

QString sqliteIn(const QTemporaryDir& dir) {
    return QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("member.db"));
}

} // namespace

class TestMemberd : public QObject {
    Q_OBJECT

private slots:
    void nothingRunsBeforeTheLogIn() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.10"), sqliteIn(dir));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        Wire early;
        QVERIFY(early.open(memberd.address()));
        QCOMPARE(early.ask("SELECT", QStringLiteral("Select * From CUST")).left(12),
                 QByteArray("ZELQSELECT02"));
        QVERIFY(early.closedByPeer());

        Wire wrong;
        QVERIFY(wrong.open(memberd.address()));
        QCOMPARE(wrong.text(wrong.ask("TCPCNT", QStringLiteral("secreT"))),
                 QStringLiteral("ZELQTCPCNT01000000密碼錯誤\x03"));
        QVERIFY(wrong.closedByPeer());

        Wire right;
        QVERIFY(right.open(memberd.address()));
        QCOMPARE(right.ask("TCPCNT", QStringLiteral("secret")), QByteArray("ZELQTCPCNT00000000\x03"));
        QVERIFY(memberd.waitForLog(QStringLiteral("logged in")));
        QVERIFY(memberd.waitForLog(QStringLiteral("wrong password")));
        QVERIFY(memberd.waitForLog(QStringLiteral("before log-in")));
    }

    void replyFormatAndFramingRule() {
        QTemporaryDir dir;
        {
            // Values written by others may hold any character.
            Database db;
            db.open(sqliteIn(dir));
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, CustName, BillAddr1, TBonusAmt) VALUES "
                                      "('C1', '許功蓋', 'a\tb;c', 10), ('C2', 'x' || char(3) || 'y', 'l1' || "
                                      "char(13) || char(10) || 'l2', 20.5)"));
        }
        MemberdProcess memberd(QStringLiteral("127.0.0.11"), sqliteIn(dir));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("secret"), "ABCD"), QByteArray("ABCDTCPCNT00000000\x03"));

        QCOMPARE(
            w.text(w.ask("SELECT",
                         QStringLiteral("Select CustName, BillAddr1, TBonusAmt From Cust Order By CustNo"),
                         "ABCD")),
            QStringLiteral(
                "ABCDSELECT00000002CustName\tBillAddr1\tTBonusAmt;許功蓋\ta b c\t10;x y\tl1  l2\t20.5\x03"));
        QCOMPARE(w.ask("SELECT", QStringLiteral("Select CustName From Cust Where CustNo = 'none'")),
                 QByteArray("ZELQSELECT00000000\x03"));
        QCOMPARE(w.ask("SERVER", QStringLiteral("Update Cust set TBonusAmt = TBonusAmt + 1")),
                 QByteArray("ZELQSERVER00000002\x03"));
        // A lower-case command word is understood; an unknown one is answered, not fatal.
        QCOMPARE(w.ask("select", QStringLiteral("Select CustNo From Cust Where CustNo = 'C1'")).left(18),
                 QByteArray("ZELQSELECT00000001"));
        QCOMPARE(w.ask("REMOVE", QString()).left(12), QByteArray("ZELQREMOVE02"));
        QCOMPARE(w.ask("SERVER", QStringLiteral("Update Cust set TBonusAmt = 0")).left(12),
                 QByteArray("ZELQSERVER00"));
    }

    void refusedStatementsAreAnsweredAndLogged() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.12"), sqliteIn(dir));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        const QStringList refused = {QStringLiteral("DELETE FROM CUST"), QStringLiteral("DROP TABLE CUST"),
                                     QStringLiteral("Select * From Cust; DELETE FROM CUST"),
                                     QStringLiteral("Select * From xxPARAM"),
                                     QStringLiteral("Update Cust set TBonusAmt = 0 -- Where CustNo = 'x'")};
        for (const QString& sql : refused)
            QCOMPARE(w.ask("SERVER", sql).left(12), QByteArray("ZELQSERVER03"));
        QVERIFY(memberd.waitForLog(QStringLiteral("[Update Cust set TBonusAmt = 0 --")));
        QCOMPARE(memberd.log().count(QStringLiteral("refused SERVER")), refused.size());

        // With --allow-any-sql the same service would run them; without, CUST is intact.
        QCOMPARE(w.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo) VALUES ('K1')")).left(12),
                 QByteArray("ZELQSERVER00"));
        QCOMPARE(w.ask("SELECT", QStringLiteral("Select CustNo From Cust")).left(18),
                 QByteArray("ZELQSELECT00000001"));
    }

    void oversizedRequestIsRefusedAndClosed() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.13"), sqliteIn(dir),
                               {QStringLiteral("--max-request-bytes"), QStringLiteral("64")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        Wire complete;
        QVERIFY(complete.open(memberd.address()));
        QCOMPARE(complete.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        const QString big = QStringLiteral("Select CustNo From Cust Where CustNo = '") +
                            QString(40, QLatin1Char('9')) + QLatin1Char('\'');
        QCOMPARE(complete.ask("SELECT", big).left(12), QByteArray("ZELQSELECT05"));
        QVERIFY(complete.closedByPeer());

        // Without a terminator the bound ends it as well.
        Wire endless;
        QVERIFY(endless.open(memberd.address()));
        endless.send("ZELQTCPCNT00" + QByteArray(200, 'x'));
        QCOMPARE(endless.reply().left(12), QByteArray("ZELQTCPCNT05"));
        QVERIFY(endless.closedByPeer());
        QVERIFY(memberd.waitForLog(QStringLiteral("larger than 64 bytes")));
    }

    void halfARequestDoesNotHoldUpOthers() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.14"), sqliteIn(dir),
                               {QStringLiteral("--workers"), QStringLiteral("1")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire slow;
        QVERIFY(slow.open(memberd.address()));
        QCOMPARE(slow.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        slow.send("ZELQSELECT00Select CustNo Fr");

        Wire other;
        QVERIFY(other.open(memberd.address()));
        QCOMPARE(other.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QCOMPARE(other.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo) VALUES ('H1')")).left(12),
                 QByteArray("ZELQSERVER00"));

        slow.send("om Cust\x03");
        QCOMPARE(slow.reply(), QByteArray("ZELQSELECT00000001CustNo;H1\x03"));
    }

    void idleConnectionsAreClosed() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.15"), sqliteIn(dir),
                               {QStringLiteral("--idle-timeout"), QStringLiteral("0.2")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire silent;
        QVERIFY(silent.open(memberd.address()));
        QVERIFY(silent.closedByPeer());
        QVERIFY(memberd.waitForLog(QStringLiteral("idle timeout")));
    }

    void shutdownTellsEveryDesk() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.16"), sqliteIn(dir));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        std::vector<std::unique_ptr<Wire>> desks;
        for (int i = 0; i < 3; ++i) {
            desks.push_back(std::make_unique<Wire>());
            QVERIFY(desks.back()->open(memberd.address()));
            QCOMPARE(desks.back()->ask("TCPCNT", QStringLiteral("secret")).left(12),
                     QByteArray("ZELQTCPCNT00"));
        }
        QCOMPARE(memberd.terminate(), 0);
        for (auto& desk : desks) {
            QCOMPARE(desk->reply(), QByteArray("ZELQTCPCLS00000000\x03"));
            QVERIFY(desk->closedByPeer());
        }
    }

    void twoServicesShareOnePostgresDatabase() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        MemberdProcess first(QStringLiteral("127.0.0.17"), pg.connectionString());
        MemberdProcess second(QStringLiteral("127.0.0.18"), pg.connectionString());
        QVERIFY2(first.start(), qPrintable(first.log()));
        QVERIFY2(second.start(), qPrintable(second.log()));
        Wire a;
        Wire b;
        QVERIFY(a.open(first.address()));
        QVERIFY(b.open(second.address()));
        QCOMPARE(a.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QCOMPARE(b.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QCOMPARE(a.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo, CustName, Remark) VALUES "
                                                "('P1', '許功蓋', 'x\ty;z')")),
                 QByteArray("ZELQSERVER00000001\x03"));
        QCOMPARE(
            b.text(b.ask("SELECT", QStringLiteral("Select CustName, Remark From CUST Where CustNo = 'P1'"))),
            QStringLiteral("ZELQSELECT00000001custname\tremark;許功蓋\tx y z\x03"));
        // A database error comes back with the database's own message.
        const QString error = b.text(b.ask("SELECT", QStringLiteral("Select NoSuchColumn From CUST")));
        QVERIFY2(error.startsWith(QStringLiteral("ZELQSELECT04000000")) &&
                     error.contains(QStringLiteral("nosuchcolumn")),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestMemberd)
#include "tst_memberd.moc"
