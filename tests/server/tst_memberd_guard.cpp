// memberd against hostile clients and bad settings: limits before the log-in,
// bounded replies, secrets, the configuration file, the log and the service
// manager's readiness notice. Clients connect from addresses of their own
// (127.0.0.x) so that per-address limits can be seen.
#include "db/Database.h"
#include "server/MemberWire.h"
#include "support/ChildProcess.h"
#include "support/LoopbackBlock.h"
#include "support/MemberdProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tolva;

namespace {

QString sqliteIn(const QTemporaryDir& dir) {
    return QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("member.db"));
}

// Writes a file with the given mode.
QString secretFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content, mode_t mode) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    file.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path;
}

// memberd run to its end with the given arguments; standard output and error.
struct Run {
    int code = -1;
    QString out;
    QString err;
};
Run runMemberd(const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    endWithTestProcess(p);
    p.start(MemberdProcess::program(), args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QProcessEnvironment withPassword(const QString& password) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MEMBERD_PASSWORD"), password);
    env.remove(QStringLiteral("MEMBERD_DB"));
    return env;
}

} // namespace

class TestMemberdGuard : public QObject {
    Q_OBJECT

private slots:
    // One client that floods the service before logging in, guesses passwords
    // and holds connections: a desk at another address still logs in and is
    // served, and the flooding address ends up locked out.
    void hostileClientCannotKeepADeskOut() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.70"), sqliteIn(dir),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--login-delay"), QStringLiteral("0.01")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        const QString hostile = QStringLiteral("127.0.0.71");

        // Many connections that send almost a log-in's worth and never end it.
        std::vector<std::unique_ptr<Wire>> held;
        for (int i = 0; i < 40; ++i) {
            held.push_back(std::make_unique<Wire>());
            QVERIFY(held.back()->open(memberd.address(), hostile));
            held.back()->send("ZELQTCPCNT00" + QByteArray(900, 'x'));
        }
        // One that sends more than a log-in may hold is answered and closed.
        Wire big;
        QVERIFY(big.open(memberd.address(), QStringLiteral("127.0.0.73")));
        big.send("ZELQTCPCNT00" + QByteArray(4000, 'x'));
        QCOMPARE(big.reply().left(12), QByteArray("ZELQTCPCNT05"));
        QVERIFY(big.closedByPeer());

        // Most of the held connections were never let in.
        QVERIFY(memberd.waitForLog(QStringLiteral("too many connections waiting to log in")));

        // Password guesses from another address until it is locked out (a bounded number of tries).
        const QString guesser = QStringLiteral("127.0.0.81");
        for (int i = 0; i < 5000 && !memberd.waitForLog(QStringLiteral("locked out"), 1); ++i) {
            Wire guess;
            if (guess.open(memberd.address(), guesser))
                guess.ask("TCPCNT", QStringLiteral("guess%1").arg(i));
        }
        QVERIFY(memberd.waitForLog(guesser + QStringLiteral(" locked out")));

        Wire desk;
        QVERIFY(desk.open(memberd.address(), QStringLiteral("127.0.0.72")));
        QCOMPARE(desk.ask("TCPCNT", QStringLiteral("secret")), QByteArray("ZELQTCPCNT00000001\x03"));
        QCOMPARE(desk.ask("SELECT", QStringLiteral("Select CustNo From Cust Where CustNo = 'none'")),
                 QByteArray("ZELQSELECT00000000\x03"));

        // The locked-out address still gets in with the right password: the
        // lock-out holds back the answers to its wrong ones only.
        Wire late;
        QVERIFY(late.open(memberd.address(), guesser));
        QCOMPARE(late.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        // The wrong passwords did not flood the log.
        QVERIFY(memberd.log().count(QStringLiteral("wrong password")) <= 10);
    }

    // A store's tills share one address. One of them keeps sending a wrong
    // password (an old one, or someone guessing): its answers come later and
    // later and the address is locked out, yet every log-in with the right
    // password from that address gets in.
    void wrongPasswordsDoNotLockOutTheirAddress() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.110"), sqliteIn(dir),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--login-delay"), QStringLiteral("0.05"),
                                QStringLiteral("--login-failures"), QStringLiteral("4")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        const QString store = QStringLiteral("127.0.0.111");
        std::vector<std::unique_ptr<Wire>> guesses;
        int deskIn = 0;
        for (int i = 0; i < 8; ++i) {
            guesses.push_back(std::make_unique<Wire>());
            QVERIFY(guesses.back()->open(memberd.address(), store));
            guesses.back()->send("ZELQTCPCNT00wrong" + QByteArray::number(i) + '\x03');
            Wire desk;
            QVERIFY(desk.open(memberd.address(), store));
            deskIn += desk.ask("TCPCNT", QStringLiteral("secret")).startsWith("ZELQTCPCNT00") ? 1 : 0;
        }
        QCOMPARE(deskIn, 8);
        QVERIFY(memberd.waitForLog(store + QStringLiteral(" locked out")));
        // The first wrong passwords were answered at once, the third after its hold.
        const QByteArray refused = QByteArray("ZELQTCPCNT01000000") +
                                   CodePage(QStringLiteral("CP950")).encode(QStringLiteral("密碼錯誤")) +
                                   '\x03';
        for (int i : {0, 1, 2}) {
            QCOMPARE(guesses[i]->reply(), refused);
            QVERIFY(guesses[i]->closedByPeer());
        }
    }

    // Clients at two new addresses hold every pending place they may: a
    // desk whose address has logged in before still gets one of the places
    // kept for such addresses, a third new address does not.
    void pendingPlacesAreKeptForDesksThatLoggedInBefore() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.115"), sqliteIn(dir),
                               {QStringLiteral("--max-pending-logins"), QStringLiteral("8"),
                                QStringLiteral("--max-pending-per-address"), QStringLiteral("4")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        const QString deskAddress = QStringLiteral("127.0.0.116");
        {
            Wire earlier;
            QVERIFY(earlier.open(memberd.address(), deskAddress));
            QCOMPARE(earlier.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        }
        std::vector<std::unique_ptr<Wire>> held;
        for (const char* from : {"127.0.0.117", "127.0.0.118"})
            for (int i = 0; i < 4; ++i) {
                held.push_back(std::make_unique<Wire>());
                QVERIFY(held.back()->open(memberd.address(), QString::fromLatin1(from)));
            }
        QVERIFY(memberd.waitForLog(QStringLiteral("127.0.0.118:")));
        QVERIFY(memberd.waitForLog(QStringLiteral("refused: too many connections waiting to log in")));
        Wire desk;
        QVERIFY(desk.open(memberd.address(), deskAddress));
        QCOMPARE(desk.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        Wire stranger;
        QVERIFY(stranger.open(memberd.address(), QStringLiteral("127.0.0.119")));
        QVERIFY(stranger.closedByPeer());
    }

    void silentConnectionIsClosedAtTheLogInTimeout() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.74"), sqliteIn(dir),
                               {QStringLiteral("--login-timeout"), QStringLiteral("0.2")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        // A desk that logged in is not held to it: it connected before the
        // silent one, which is closed first.
        Wire desk;
        QVERIFY(desk.open(memberd.address()));
        QCOMPARE(desk.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        Wire silent;
        QVERIFY(silent.open(memberd.address()));
        QVERIFY(silent.closedByPeer());
        QVERIFY(memberd.waitForLog(QStringLiteral("no log-in within 0.2 s")));
        QCOMPARE(desk.ask("SELECT", QStringLiteral("Select CustNo From Cust Where CustNo = 'x'")),
                 QByteArray("ZELQSELECT00000000\x03"));
    }

    void largeReplyIsAFailureTheOperatorCanRead() {
        QTemporaryDir dir;
        {
            Database db;
            db.open(sqliteIn(dir));
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, BillAddr1) VALUES ('R1', '%1'), ('R2', 'x')")
                           .arg(QString(3000, QLatin1Char('y'))));
        }
        MemberdProcess memberd(QStringLiteral("127.0.0.75"), sqliteIn(dir),
                               {QStringLiteral("--max-reply-bytes"), QStringLiteral("2000")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        const QString answer =
            w.text(w.ask("SELECT", QStringLiteral("Select BillAddr1 From Cust Where CustNo > ''")));
        QVERIFY2(answer.startsWith(QStringLiteral("ZELQSELECT05000000查詢結果太大")), qPrintable(answer));
        QCOMPARE(w.ask("SELECT", QStringLiteral("Select BillAddr1 From Cust Where CustNo = 'R2'")),
                 QByteArray("ZELQSELECT00000001BillAddr1;x\x03"));
    }

    // Three requests sent at once: each has --statement-timeout from its own
    // arrival, not from when the one before it was answered. The member
    // database is held locked past the first one's time, then let go: the
    // two behind it are out of time by then, so they fail too.
    void pipelinedRequestsKeepTheirDeadline() {
        QTemporaryDir dir;
        Database db;
        db.open(sqliteIn(dir));
        db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('P1', 0)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.112"), sqliteIn(dir),
                               {QStringLiteral("--workers"), QStringLiteral("1"),
                                QStringLiteral("--statement-timeout"), QStringLiteral("0.5")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));

        db.execute(QStringLiteral("BEGIN IMMEDIATE"));
        const QByteArray update =
            "ZELQSERVER00UPDATE CUST SET TBonusAmt = TBonusAmt + 1 WHERE CustNo = 'P1'\x03";
        w.send(update + update + update);
        QCOMPARE(w.reply().left(12), QByteArray("ZELQSERVER04"));
        db.execute(QStringLiteral("ROLLBACK"));
        QCOMPARE(w.reply().left(12), QByteArray("ZELQSERVER04"));
        QCOMPARE(w.reply().left(12), QByteArray("ZELQSERVER04"));
        // The connection goes on: a request sent now has its full time.
        QCOMPARE(
            w.ask("SERVER", QStringLiteral("UPDATE CUST SET TBonusAmt = 5 WHERE CustNo = 'P1'")).left(12),
            QByteArray("ZELQSERVER00"));
    }

    void clientThatDoesNotReadIsClosed() {
        QTemporaryDir dir;
        {
            Database db;
            db.open(sqliteIn(dir));
            db.execute(QStringLiteral("INSERT INTO CUST (CustNo, BillAddr1) VALUES ('B1', '%1')")
                           .arg(QString(60000, QLatin1Char('x'))));
        }
        MemberdProcess memberd(QStringLiteral("127.0.0.76"), sqliteIn(dir),
                               {QStringLiteral("--send-timeout"), QStringLiteral("0.3")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire reader;
        QVERIFY(reader.open(memberd.address()));
        reader.socket().setReadBufferSize(1024);
        QCOMPARE(reader.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QByteArray burst;
        for (int i = 0; i < 100; ++i)
            burst += "ZELQSELECT00Select BillAddr1 From Cust Where CustNo = 'B1'\x03";
        reader.send(burst);
        QVERIFY(memberd.waitForLog(QStringLiteral("does not read its replies")));
    }

    void secretsAreChecked() {
        QTemporaryDir dir;
        const QString db = sqliteIn(dir);
        {
            Database init;
            init.open(db);
        }
        const QString empty = secretFile(dir, QStringLiteral("empty"), "\n", 0600);
        Run r = runMemberd({QStringLiteral("--db"), db, QStringLiteral("--password-file"), empty},
                           withPassword(QStringLiteral("x")));
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(QStringLiteral("is empty")), qPrintable(r.err));

        const QString writable = secretFile(dir, QStringLiteral("writable"), "pw\n", 0666);
        r = runMemberd({QStringLiteral("--db"), db, QStringLiteral("--password-file"), writable},
                       withPassword(QStringLiteral("x")));
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(QStringLiteral("may be changed by any user")), qPrintable(r.err));

        r = runMemberd({QStringLiteral("--db"), db}, withPassword(QStringLiteral("😀😀😀😀")));
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(QStringLiteral("code page cannot carry")), qPrintable(r.err));

        r = runMemberd({QStringLiteral("--db"), db}, withPassword(QString()));
        QVERIFY(r.code != 0);

        // A readable file is served with a warning; the connection string from a file.
        const QString readable = secretFile(dir, QStringLiteral("readable"), "pw2\n", 0644);
        const QString dbFile = secretFile(dir, QStringLiteral("db"), db.toUtf8() + '\n', 0600);
        MemberdProcess memberd(
            QStringLiteral("127.0.0.77"), db,
            {QStringLiteral("--password-file"), readable, QStringLiteral("--db-file"), dbFile});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(memberd.log().contains(QStringLiteral("may be read by any user")));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("pw2")).left(12), QByteArray("ZELQTCPCNT00"));
    }

    // A file memberd trusts with a secret, or with its settings (the
    // configuration may hold the database's password), must be its own or
    // root's and writable by nobody else; a configuration others may read
    // is taken with a warning.
    void secretAndConfigFilesMustBeKeptPrivate() {
        QTemporaryDir dir;
        const QString db = sqliteIn(dir);
        {
            Database init;
            init.open(db);
        }
        const QString groupWritable = secretFile(dir, QStringLiteral("group"), "pw\n", 0660);
        Run r = runMemberd({QStringLiteral("--db"), db, QStringLiteral("--password-file"), groupWritable,
                            QStringLiteral("--check-config")},
                           withPassword(QStringLiteral("x")));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QStringLiteral("may be changed by the members of its group")),
                 qPrintable(r.out));

        const QByteArray settings = "workers = 1\ndb = " + db.toUtf8() + "\n";
        for (const mode_t mode : {mode_t(0666), mode_t(0620)}) {
            const QString config = secretFile(dir, QStringLiteral("open-%1.conf").arg(mode), settings, mode);
            r = runMemberd({QStringLiteral("--config"), config, QStringLiteral("--check-config")},
                           withPassword(QStringLiteral("pw")));
            QCOMPARE(r.code, 1);
            QVERIFY2(r.out.startsWith(QStringLiteral("configuration file: ") + config +
                                      QStringLiteral(" may be changed")),
                     qPrintable(r.out));
        }
        const QString readable = secretFile(dir, QStringLiteral("readable.conf"), settings, 0644);
        r = runMemberd({QStringLiteral("--config"), readable, QStringLiteral("--check-config")},
                       withPassword(QStringLiteral("pw")));
        QCOMPARE(r.out, QStringLiteral("configuration OK\n"));
        QVERIFY2(r.err.contains(readable + QStringLiteral(" may be read by any user")), qPrintable(r.err));

        // Owned by another user (only root can give a file away).
        const QString foreign = secretFile(dir, QStringLiteral("foreign"), "pw\n", 0600);
        if (::chown(QFile::encodeName(foreign).constData(), 65534, 65534) != 0)
            QSKIP("cannot give a file to another user here");
        r = runMemberd({QStringLiteral("--db"), db, QStringLiteral("--password-file"), foreign,
                        QStringLiteral("--check-config")},
                       withPassword(QStringLiteral("x")));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QStringLiteral("belongs to user 65534")), qPrintable(r.out));
    }

    void passwordsInConnectionStringsAreMasked() {
        const Run r = runMemberd(
            {QStringLiteral("--db"),
             QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;User ID=u;Password=hunter2;"
                            "Pwd = hunter3")},
            withPassword(QStringLiteral("x")));
        QVERIFY(r.code != 0);
        QVERIFY(!r.err.contains(QStringLiteral("hunter")));
        const Run check = runMemberd(
            {QStringLiteral("--check-config"), QStringLiteral("--db"), QStringLiteral("Password=hunter2")},
            withPassword(QStringLiteral("x")));
        QCOMPARE(check.code, 1);
        QVERIFY(!check.out.contains(QStringLiteral("hunter")));
    }

    void configFileAndCheck() {
        QTemporaryDir dir;
        const QString db = sqliteIn(dir);
        {
            Database init;
            init.open(db);
        }
        const QString config =
            secretFile(dir, QStringLiteral("memberd.conf"),
                       "# memberd\nlisten = 127.0.0.78\n\nworkers = 1\nallow-any-sql = false\n"
                       "login-timeout = 5\ndb = " +
                           db.toUtf8() + "\n",
                       0600);
        Run r = runMemberd({QStringLiteral("--config"), config, QStringLiteral("--check-config")},
                           withPassword(QStringLiteral("pw")));
        QCOMPARE(r.out, QStringLiteral("configuration OK\n"));
        QCOMPARE(r.code, 0);

        // The command line wins over the file.
        r = runMemberd(
            {QStringLiteral("--config"), config, QStringLiteral("--check-config"), QStringLiteral("--db"),
             QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("none/x.db"))},
            withPassword(QStringLiteral("pw")));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out.count(QLatin1Char('\n')), 1);

        const QString bad =
            secretFile(dir, QStringLiteral("bad.conf"), "listen = 127.0.0.78\nlisen = x\n", 0600);
        r = runMemberd({QStringLiteral("--config"), bad, QStringLiteral("--check-config")},
                       withPassword(QStringLiteral("pw")));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QStringLiteral("bad.conf:2: unknown setting \"lisen\"")), qPrintable(r.out));

        r = runMemberd({QStringLiteral("--config"), config, QStringLiteral("--check-config")},
                       withPassword(QString()));
        QCOMPARE(r.code, 1);

        // The password from the service manager's credentials.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("MEMBERD_PASSWORD"));
        env.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), dir.path());
        secretFile(dir, QStringLiteral("memberd-password"), "cred\n", 0400);
        r = runMemberd({QStringLiteral("--config"), config, QStringLiteral("--check-config")}, env);
        QCOMPARE(r.out, QStringLiteral("configuration OK\n"));
    }

    void readinessIsToldToTheServiceManager() {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("notify")));
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const timeval limit{20, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

        QProcess p;
        QProcessEnvironment env = withPassword(QStringLiteral("pw"));
        env.insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromUtf8(path));
        p.setProcessEnvironment(env);
        endWithTestProcess(p);
        p.start(MemberdProcess::program(),
                {QStringLiteral("--listen"), LoopbackBlock::own(QStringLiteral("127.0.0.79")),
                 QStringLiteral("--db"), sqliteIn(dir)});
        char buffer[64] = {};
        const ssize_t n = ::recv(fd, buffer, sizeof buffer - 1, 0);
        ::close(fd);
        p.terminate();
        p.waitForFinished(20000);
        QCOMPARE(QByteArray(buffer, static_cast<int>(std::max<ssize_t>(n, 0))), QByteArray("READY=1"));
        const QString log = QString::fromUtf8(p.readAllStandardError());
        QVERIFY(log.contains(QStringLiteral("listening on")));
        // Every line carries its level for the journal.
        for (const QString& line : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith(QLatin1Char('<')) && line.at(2) == QLatin1Char('>'), qPrintable(line));
    }

    // A client that connects again and again gets a few "connected" lines per
    // window and one line with the count of the rest: every connection is
    // either written or counted.
    void repeatedLinesAboutAnAddressAreCounted() {
        QTemporaryDir dir;
        // The connections are all made while memberd is stopped, as on a
        // stalled machine: it then takes them in one burst, more than the
        // pending places of one address (those that closed already still
        // count until their threads see them go). Those limits are not what
        // is tested here, so they are raised: every connection is written or
        // counted.
        MemberdProcess memberd(QStringLiteral("127.0.0.113"), sqliteIn(dir),
                               {QStringLiteral("--log-repeat-window"), QStringLiteral("1"),
                                QStringLiteral("--max-pending-per-address"), QStringLiteral("1000"),
                                QStringLiteral("--max-pending-logins"), QStringLiteral("1000")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        const auto pid = static_cast<pid_t>(memberd.process().processId());
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        // Whatever happens below, memberd is not left stopped.
        const struct Resume {
            pid_t pid;
            ~Resume() { ::kill(pid, SIGCONT); }
        } resume{pid};
        const int connections = 200;
        for (int i = 0; i < connections; ++i) {
            Wire w;
            QVERIFY(w.open(memberd.address(), QStringLiteral("127.0.0.114")));
        }
        QCOMPARE(::kill(pid, SIGCONT), 0);
        static const QRegularExpression written(QStringLiteral(R"(127\.0\.0\.114:\d+ connected \()"));
        static const QRegularExpression counted(
            QStringLiteral(R"(127\.0\.0\.114: (\d+) more "connected" lines in 1 s not written)"));
        int lines = 0;
        const auto accounted = [&] {
            const QString log = memberd.log();
            lines = static_cast<int>(log.count(written));
            int sum = lines;
            for (auto it = counted.globalMatch(log); it.hasNext();)
                sum += it.next().captured(1).toInt();
            return sum;
        };
        QTRY_COMPARE_WITH_TIMEOUT(accounted(), connections, 20000);
        QVERIFY2(lines < connections / 2, qPrintable(QString::number(lines)));
    }

    void logLinesCannotBeForged() {
        QTemporaryDir dir;
        MemberdProcess memberd(QStringLiteral("127.0.0.80"), sqliteIn(dir));
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        Wire w;
        QVERIFY(w.open(memberd.address()));
        QCOMPARE(w.ask("TCPCNT", QStringLiteral("secret")).left(12), QByteArray("ZELQTCPCNT00"));
        QCOMPARE(w.ask("SERVER", QStringLiteral("DELETE FROM CUST\n<6>forged line\r")).left(12),
                 QByteArray("ZELQSERVER03"));
        QVERIFY(memberd.waitForLog(QStringLiteral("DELETE FROM CUST\\x0a<6>forged line\\x0d")));
        for (const QString& line : memberd.log().split(QLatin1Char('\n')))
            QVERIFY(!line.startsWith(QStringLiteral("<6>forged")));
    }
};

QTEST_GUILESS_MAIN(TestMemberdGuard)
#include "tst_memberd_guard.moc"
