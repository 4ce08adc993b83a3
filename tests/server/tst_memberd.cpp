// memberd over loopback with raw sockets: the reply format, the log-in, the
// bounds it keeps and how it ends. Each test has its own address on port 3501.
#include "common/CodePage.h"
#include "db/Database.h"
#include "server/MemberWire.h"
#include "support/MemberdProcess.h"
#include "support/TestDatabase.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

using namespace tolva;

namespace {

// A desk that writes its requests and reads the replies only later, over a
// plain socket with a small receive buffer: nothing reads on its behalf.
class LateReader {
public:
    ~LateReader() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool open(const QString& address) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        const timeval limit{20, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(MemberdProcess::port());
        ::inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr);
        return ::connect(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    bool send(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), 0);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // The next reply with its terminator; what arrived so far when none comes.
    QByteArray reply() {
        while (!m_buffer.contains('\x03')) {
            char chunk[65536];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            m_buffer.append(chunk, n);
        }
        const qsizetype end = m_buffer.indexOf('\x03');
        const QByteArray out = end < 0 ? m_buffer : m_buffer.left(end + 1);
        m_buffer.remove(0, out.size());
        return out;
    }

private:
    int m_fd = -1;
    QByteArray m_buffer;
};

// The rows of a SELECT reply, header first, each split into its fields.
QList<QStringList> rowsOf(const QString& reply) {
    QList<QStringList> rows;
    if (reply.size() < 19)
        return rows;
    const QString data = reply.mid(18).chopped(1);
    if (data.isEmpty())
        return rows;
    for (const QString& row : data.split(QLatin1Char(';')))
        rows.append(row.split(QLatin1Char('\t')));
    return rows;
}

// What a desk sends for a card transaction, with its own database's current-time expression.
QString deskLogInsert(const QString& cardNo, const QString& remark, const QString& now) {
    return QStringLiteral(
               "INSERT INTO VCardLog (  TxnDept,  TxnType,  CardNo,  TxnDate,  TxnAmt,  RefCheckNo,  "
               "POSID,  UserID,  Remark,  FileDate  ) VALUES ( 'S01', '1', '%1', '2005/03/07', 100, "
               "'K1', 'P01', 'U1', '%2', %3) ")
        .arg(cardNo, remark, now);
}

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
        QCOMPARE(right.ask("TCPCNT", QStringLiteral("secret")), QByteArray("ZELQTCPCNT00000001\x03"));
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
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("secret"), "ABCD"), QByteArray("ABCDTCPCNT00000001\x03"));

        QCOMPARE(
            w.text(w.ask("SELECT",
                         QStringLiteral("Select CustName, BillAddr1, TBonusAmt From Cust Order By CustNo"),
                         "ABCD")),
            QStringLiteral(
                "ABCDSELECT00000002CustName\tBillAddr1\tTBonusAmt;許功蓋\ta b c\t10;x y\tl1  l2\t20.5\x03"));
        QCOMPARE(w.ask("SELECT", QStringLiteral("Select CustName From Cust Where CustNo = 'none'")),
                 QByteArray("ZELQSELECT00000000\x03"));
        QCOMPARE(
            w.ask("SERVER", QStringLiteral("Update Cust set TBonusAmt = TBonusAmt + 1 Where TBonusAmt >= 0")),
            QByteArray("ZELQSERVER00000002\x03"));
        // A lower-case command word is understood; an unknown one is answered, not fatal.
        QCOMPARE(w.ask("select", QStringLiteral("Select CustNo From Cust Where CustNo = 'C1'")).left(18),
                 QByteArray("ZELQSELECT00000001"));
        QCOMPARE(w.ask("REMOVE", QString()).left(12), QByteArray("ZELQREMOVE02"));
        QCOMPARE(
            w.ask("SERVER", QStringLiteral("Update Cust set TBonusAmt = 0 Where CustNo = 'C1'")).left(12),
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

    // Desks on other databases write their own current-time expressions;
    // memberd runs them with its database's own, and leaves quoted text alone.
    void deskTimeExpressionsRun_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("address");
        QTest::newRow("PostgreSQL") << "PostgreSQL"
                                    << "127.0.0.60";
        QTest::newRow("SQLite") << "SQLite"
                                << "127.0.0.61";
    }
    void deskTimeExpressionsRun() {
        QFETCH(QString, database);
        QFETCH(QString, address);
        TestPostgres pg;
        QTemporaryDir dir;
        QString connStr = sqliteIn(dir);
        if (database == QLatin1String("PostgreSQL")) {
            REQUIRE_POSTGRES(pg);
            connStr = pg.connectionString();
        }
        MemberdProcess memberd(address, connStr);
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));

        const QString quoted = QStringLiteral("datetime(''now'',''localtime'') getDate() SYSDATE");
        const QStringList expressions = {QStringLiteral("datetime('now','localtime')"),
                                         QStringLiteral("getDate()"), QStringLiteral("NOW()"),
                                         QStringLiteral("SYSDATE"), QStringLiteral("LOCALTIMESTAMP(0)")};
        for (qsizetype i = 0; i < expressions.size(); ++i) {
            const QString answer = w.text(
                w.ask("SERVER", deskLogInsert(QStringLiteral("T%1").arg(i), quoted, expressions.at(i))));
            QVERIFY2(answer == QStringLiteral("ZELQSERVER00000001\x03"),
                     qPrintable(expressions.at(i) + QStringLiteral(": ") + answer + memberd.log()));
        }

        const QList<QStringList> rows = rowsOf(w.text(
            w.ask("SELECT", QStringLiteral("Select CardNo, Remark, FileDate From VCardLog Order By RNo"))));
        QCOMPARE(rows.size(), expressions.size() + 1);
        const QRegularExpression dateTime(
            QStringLiteral("^\\d{4}[-/]\\d\\d[-/]\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
        for (qsizetype i = 1; i < rows.size(); ++i) {
            QCOMPARE(rows.at(i).at(0), QStringLiteral("T%1").arg(i - 1));
            QCOMPARE(rows.at(i).at(1), QStringLiteral("datetime('now','localtime') getDate() SYSDATE"));
            QVERIFY2(dateTime.match(rows.at(i).at(2)).hasMatch(), qPrintable(rows.at(i).at(2)));
        }
    }

    // A desk that sends many requests at once and reads none of the replies
    // for a while gets them all, in order; meanwhile a desk served by the
    // same thread is answered.
    void deskThatDoesNotReadHoldsUpNobody() {
        QTemporaryDir dir;
        const QString big(60000, QLatin1Char('x'));
        {
            Database db;
            db.open(sqliteIn(dir));
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, BillAddr1) VALUES ('B1', '%1')").arg(big));
        }
        MemberdProcess memberd(QStringLiteral("127.0.0.62"), sqliteIn(dir),
                               {QStringLiteral("--workers"), QStringLiteral("1")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        LateReader late;
        QVERIFY(late.open(memberd.address()));
        QByteArray burst = "LATETCPCNT00secret\x03";
        const int requests = 200; // some 12 MB of replies: far more than the sockets hold
        for (int i = 0; i < requests; ++i)
            burst +=
                QByteArray::number(1000 + i) + "SELECT00Select BillAddr1 From Cust Where CustNo = 'B1'\x03";
        QVERIFY(late.send(burst));

        Wire other;
        QVERIFY(other.open(memberd.address()));
        QCOMPARE(other.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QCOMPARE(other.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo) VALUES ('B2')")),
                 QByteArray("ZELQSERVER00000001\x03"));

        QCOMPARE(late.reply(), QByteArray("LATETCPCNT00000001\x03"));
        const QByteArray rows = "000001BillAddr1;" + big.toLatin1() + '\x03';
        for (int i = 0; i < requests; ++i) {
            const QByteArray answer = late.reply();
            QVERIFY2(
                answer == QByteArray::number(1000 + i) + "SELECT00" + rows,
                qPrintable(QStringLiteral("reply %1: %2").arg(i).arg(QString::fromLatin1(answer.left(40)))));
        }
    }

    // Writers on several threads at once: each update counts, none is refused.
    void sqliteWritesFromSeveralThreads() {
        QTemporaryDir dir;
        {
            Database db;
            db.open(sqliteIn(dir));
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('W1', 0)"));
        }
        MemberdProcess memberd(QStringLiteral("127.0.0.63"), sqliteIn(dir),
                               {QStringLiteral("--workers"), QStringLiteral("3")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        const int desks = 6;
        const int each = 40;
        std::vector<std::unique_ptr<Wire>> wires;
        for (int d = 0; d < desks; ++d) {
            wires.push_back(std::make_unique<Wire>());
            QVERIFY(wires.back()->open(memberd.address()));
            QCOMPARE(wires.back()->ask("TCPCNT", QStringLiteral("secret")).left(12),
                     QByteArray("ZELQTCPCNT00"));
        }
        const QByteArray update =
            "ZELQSERVER00Update Cust set TBonusAmt = TBonusAmt + 1 Where CustNo = 'W1'\x03";
        for (auto& w : wires)
            w->send(update.repeated(each));
        for (auto& w : wires)
            for (int i = 0; i < each; ++i)
                QCOMPARE(w->reply(), QByteArray("ZELQSERVER00000001\x03"));
        QCOMPARE(
            wires.front()->ask("SELECT", QStringLiteral("Select TBonusAmt From Cust Where CustNo = 'W1'")),
            QByteArray("ZELQSELECT00000001TBonusAmt;") + QByteArray::number(desks * each) + '\x03');
    }

    // On SQLite a statement that fails while it runs (a constraint, the wait
    // for another process's write lock) is that statement's failure with the
    // database's own words; the connection stays as it is.
    void sqliteStatementFailuresAreNotALostConnection() {
        QTemporaryDir dir;
        Database holder;
        holder.open(sqliteIn(dir));
        holder.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('E1', 1)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.211"), sqliteIn(dir),
                               {QStringLiteral("--statement-timeout"), QStringLiteral("0.5")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QVERIFY(w.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00"));
        const QString constraints[] = {
            QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('E2', -5)"),
            QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('E1', 5)"),
            QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt - 2 WHERE CustNo = 'E1'"),
        };
        for (const QString& sql : constraints) {
            const QString answer = w.text(w.ask("SERVER", sql));
            QVERIFY2(answer.startsWith(QStringLiteral("ZELQSERVER04000000")) &&
                         answer.contains(QStringLiteral("constraint")) &&
                         !answer.contains(QStringLiteral("連線中斷")),
                     qPrintable(answer));
        }
        holder.execute(QStringLiteral("BEGIN IMMEDIATE"));
        const QString locked =
            w.text(w.ask("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = 3 WHERE CustNo = 'E1'")));
        holder.execute(QStringLiteral("ROLLBACK"));
        QVERIFY2(locked.startsWith(QStringLiteral("ZELQSERVER04")) &&
                     !locked.contains(QStringLiteral("連線中斷")),
                 qPrintable(locked));
        QCOMPARE(w.ask("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = 3 WHERE CustNo = 'E1'")),
                 QByteArray("ZELQSERVER00000001\x03"));
        QVERIFY(!memberd.log().contains(QStringLiteral("connection lost")));
    }

    // A statement that waits for a lock holds up the connections of its own
    // thread only: a desk on the other thread is answered meanwhile.
    void waitingStatementHoldsUpOnlyItsThread() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        MemberdProcess memberd(
            QStringLiteral("127.0.0.64"), pg.connectionString(),
            {QStringLiteral("--workers"), QStringLiteral("2"), QStringLiteral("--allow-any-sql")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        // Connections go to the thread serving the fewest: holder and asker
        // to the first, waiter to the second.
        Wire holder;
        QVERIFY(holder.open(memberd.address()));
        QCOMPARE(holder.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QCOMPARE(
            holder.ask("SERVER", QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('L1', 0)")),
            QByteArray("ZELQSERVER00000001\x03"));
        QCOMPARE(holder.ask("SERVER", QStringLiteral("BEGIN")).left(12), QByteArray("ZELQSERVER00"));
        QCOMPARE(holder.ask("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = 1 WHERE CustNo = 'L1'")),
                 QByteArray("ZELQSERVER00000001\x03"));

        Wire waiter;
        QVERIFY(waiter.open(memberd.address()));
        QCOMPARE(waiter.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        waiter.send("ZELQSERVER00UPDATE CUST SET TBonusAmt = TBonusAmt + 10 WHERE CustNo = 'L1'\x03");

        Wire asker;
        QVERIFY(asker.open(memberd.address()));
        QCOMPARE(asker.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QCOMPARE(asker.ask("SELECT", QStringLiteral("Select CustNo From CUST Where CustNo = 'L1'")),
                 QByteArray("ZELQSELECT00000001custno;L1\x03"));

        QCOMPARE(holder.ask("SERVER", QStringLiteral("COMMIT")).left(12), QByteArray("ZELQSERVER00"));
        QCOMPARE(waiter.reply(), QByteArray("ZELQSERVER00000001\x03"));
        QCOMPARE(asker.ask("SELECT", QStringLiteral("Select TBonusAmt From CUST Where CustNo = 'L1'")),
                 QByteArray("ZELQSELECT00000001tbonusamt;11\x03"));
    }
};

QTEST_GUILESS_MAIN(TestMemberd)
#include "tst_memberd.moc"
