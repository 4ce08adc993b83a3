// The connection from the INI string, the dialects, the embedded default and
// a real PostgreSQL cluster.
#include "app/AppContext.h"
#include "app/Connection.h"
#include "support/FakeDialogs.h"
#include "support/FixedClock.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tolva;

namespace {
QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    CodePage m_cp{QStringLiteral("CP950")};
    FixedClock m_clock;

    // A context whose INI holds the given GCNT.
    void prepare(AppContext& ctx, const QByteArray& gcnt) {
        ctx.g.appDir = m_dir.path();
        QDir::setCurrent(m_dir.path());
        ctx.g.gIniFile = m_dir.filePath(QStringLiteral("TOLVA.INI"));
        ctx.g.gErrFile = m_dir.filePath(QStringLiteral("TOLVA.ERR"));
        QFile::remove(ctx.g.gErrFile);
        QFile ini(ctx.g.gIniFile);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[PARAM]\r\nGCNT=" + gcnt + "\r\n");
    }

private slots:
    void dialectTable_data() {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("serverDate");
        QTest::addColumn<QString>("quote");
        QTest::addColumn<QString>("literal");
        QTest::newRow("sql server") << "SQLOLEDB.1"
                                    << "getDate()"
                                    << "'"
                                    << "'2005/03/07 18:42:05'";
        QTest::newRow("oracle") << "MSDAORA"
                                << "SYSDATE"
                                << "TO_DATE"
                                << "TO_DATE('2005/03/07 18:42:05','YYYY/MM/DD HH24:MI:SS')";
        QTest::newRow("odbc") << "MSDASQL"
                              << "now()"
                              << "'"
                              << "'2005/03/07 18:42:05'";
        QTest::newRow("jet") << "Microsoft.Jet.OLEDB.4.0"
                             << "now()"
                             << "#"
                             << "#2005/03/07 18:42:05#";
        QTest::newRow("sqlite") << "SQLite"
                                << "datetime('now','localtime')"
                                << "'"
                                << "'2005-03-07 18:42:05'";
        QTest::newRow("postgresql") << "PostgreSQL"
                                    << "LOCALTIMESTAMP(0)"
                                    << "'"
                                    << "'2005/03/07 18:42:05'";
    }
    void dialectTable() {
        QFETCH(QString, provider);
        const Dialect d = Dialect::forProvider(provider);
        QVERIFY(d.known());
        QTEST(d.serverDate(), "serverDate");
        QTEST(d.dateQuote(), "quote");
        QTEST(d.dateLiteral(QDateTime(QDate(2005, 3, 7), QTime(18, 42, 5))), "literal");
        QCOMPARE(d.dateLiteral(QStringLiteral("no date")), QStringLiteral("NULL"));
        QVERIFY(!Dialect::forProvider(QStringLiteral("Unknown")).known());
    }

    void embeddedDefaultIsCreatedWithTheSchema() {
        FakeDialogs dialogs;
        AppContext ctx(dialogs, m_clock, m_cp, m_dir.path());
        QFile::remove(m_dir.filePath(QStringLiteral("member.db")));
        prepare(ctx, "Provider=SQLite;Data Source=member.db");
        QVERIFY(InitINIgCNT(ctx));
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("member.db"))));
        QCOMPARE(ctx.gCNT.dialect().serverDate(), QStringLiteral("datetime('now','localtime')"));
        QCOMPARE(ctx.gCNT.dialect().dateQuote(), QStringLiteral("'"));

        Database& db = ctx.gCNT;
        QVERIFY(db.hasRow(QStringLiteral("Select * From Msg Where MsgID = 'PrintSlipOK'")));
        db.execute(QStringLiteral("INSERT INTO xxCODE (CodeType, Code, FileDate) VALUES ('TOLVA', 'S01', ") +
                   ctx.gCNT.dialect().serverDate() + QStringLiteral(")"));
        const qint64 first = db.lastIdentity();
        db.execute(QStringLiteral("INSERT INTO xxCODE (CodeType, Code) VALUES ('TOLVA', 'S02')"));
        QCOMPARE(db.lastIdentity(), first + 1);
        // The balance may not go below zero.
        db.execute(QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C1', 100)"));
        QVERIFY_THROWS_EXCEPTION(Fault,
                                 db.execute(QStringLiteral("UPDATE CUST SET TBonusAmt = TBonusAmt - 101")));

        // Opening the existing file again keeps its rows.
        AppContext again(dialogs, m_clock, m_cp, m_dir.path());
        prepare(again, "Provider=SQLite;Data Source=member.db");
        QVERIFY(InitINIgCNT(again));
        QVERIFY(again.gCNT.hasRow(QStringLiteral("Select * From CUST Where CustNo = 'C1'")));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void failedConnectionsAreLoggedNotShown_data() {
        QTest::addColumn<QByteArray>("gcnt");
        QTest::addColumn<QString>("inError");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("ConnectADO");
        QTest::newRow("garbage") << QByteArray("garbage") << QStringLiteral("Provider");
        QTest::newRow("jet") << QByteArray("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\pos.mdb")
                             << QStringLiteral("Microsoft.Jet.OLEDB.4.0");
        QTest::newRow("oracle") << QByteArray("Provider=MSDAORA;Data Source=POS")
                                << QStringLiteral("MSDAORA");
        QTest::newRow("postgres ports not numbers")
            << QByteArray("Provider=PostgreSQL;Host=a,b;Port=5432,x y;Database=x")
            << QStringLiteral("連接埠不合格");
        QTest::newRow("postgres session attrs with more in them")
            << QByteArray("Provider=PostgreSQL;Host=a;Target Session Attrs=any password=x;Database=x")
            << QStringLiteral("Target Session Attrs 不合格");
        QTest::newRow("sqlite folder missing")
            << QByteArray("Provider=SQLite;Data Source=/no/such/folder/x.db") << QStringLiteral("ConnectADO");
    }
    void failedConnectionsAreLoggedNotShown() {
        QFETCH(QByteArray, gcnt);
        QFETCH(QString, inError);
        FakeDialogs dialogs;
        AppContext ctx(dialogs, m_clock, m_cp, m_dir.path());
        prepare(ctx, gcnt);
        QVERIFY(!InitINIgCNT(ctx));
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(ctx.gCNT.dialect().serverDate(), QString());
        QCOMPARE(ctx.gCNT.dialect().dateQuote(), QStringLiteral("'"));
        const QString err = m_cp.decode(readFile(ctx.g.gErrFile));
        QVERIFY2(err.contains(QStringLiteral("處理程序: (ConnectADO)")), qPrintable(err));
        QVERIFY2(err.contains(inError), qPrintable(err));
        QVERIFY_THROWS_EXCEPTION(Fault, ctx.gCNT.query(QStringLiteral("SELECT 1")));
    }

    void sqlServerPasswordBox() {
        // A free port that nobody listens on: the connection is refused at once.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QByteArray port = QByteArray::number(probe.serverPort());
        probe.close();
        const QByteArray base =
            "Provider=SQLOLEDB.1;Data Source=127.0.0.1," + port + ";Initial Catalog=POS;User ID=sa";

        FakeDialogs dialogs;
        dialogs.inputs.enqueue(QStringLiteral("secret"));
        AppContext ctx(dialogs, m_clock, m_cp, m_dir.path());
        prepare(ctx, base);
        QVERIFY(!InitINIgCNT(ctx));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shownAt(0).title, QStringLiteral("資料庫連線密碼"));
        QCOMPARE(dialogs.shownAt(0).text, QString::fromLatin1(base));
        QCOMPARE(ctx.g.gConnStr, QString::fromLatin1(base) + QStringLiteral(";Password=secret;"));

        FakeDialogs noAsk;
        AppContext withPassword(noAsk, m_clock, m_cp, m_dir.path());
        prepare(withPassword, base + ";password=x");
        InitINIgCNT(withPassword);
        AppContext atStart(noAsk, m_clock, m_cp, m_dir.path());
        prepare(atStart, "SQLOLEDB;Data Source=127.0.0.1," + port);
        InitINIgCNT(atStart);
        QVERIFY(noAsk.shown.isEmpty());
    }

    void passwordFromTheBoxNeverReachesTheFiles() {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QByteArray port = QByteArray::number(probe.serverPort());
        probe.close();
        FakeDialogs dialogs;
        dialogs.inputs.enqueue(QStringLiteral("typed-s3cret"));
        AppContext ctx(dialogs, m_clock, m_cp, m_dir.path());
        ctx.g.gLogFile = m_dir.filePath(QStringLiteral("TOLVA.LOG"));
        prepare(ctx, "Provider=SQLOLEDB.1;Data Source=127.0.0.1," + port + ";User ID=sa;PWD=ini-s3cret");
        QVERIFY(!InitINIgCNT(ctx));
        // The box shows the connection string without the password in it.
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shownAt(0).text.contains(QStringLiteral("PWD=****")));
        // A string that fails before any driver runs is reported whole, masked.
        FakeDialogs quiet;
        AppContext noProvider(quiet, m_clock, m_cp, m_dir.path());
        noProvider.g.gLogFile = ctx.g.gLogFile;
        prepare(noProvider, "Data Source=db;Password=typed-s3cret");
        QVERIFY(!InitINIgCNT(noProvider));
        const QString files = m_cp.decode(readFile(ctx.g.gErrFile) + readFile(ctx.g.gLogFile));
        QVERIFY2(files.contains(QStringLiteral("Password=****")), qPrintable(files));
        QVERIFY2(!files.contains(QStringLiteral("s3cret")), qPrintable(files));
    }

    void twoProcessesCreateOneNewDatabase() {
        // Several openers at once on one new file, each with a connection of
        // its own: all succeed, and the schema is made exactly once.
        for (int round = 0; round < 5; ++round) {
            const QString file = m_dir.filePath(QStringLiteral("race%1.db").arg(round));
            constexpr int kOpeners = 4;
            QSemaphore ready;
            QSemaphore go;
            QAtomicInt failures;
            QList<QThread*> threads;
            for (int i = 0; i < kOpeners; ++i) {
                threads << QThread::create([&, i] {
                    ready.release();
                    go.acquire();
                    try {
                        Database db;
                        db.open(QStringLiteral("Provider=SQLite;Data Source=") + file);
                        db.execute(
                            QStringLiteral("INSERT INTO CUST (CustNo, TBonusAmt) VALUES ('C%1', 0)").arg(i));
                    } catch (const Fault& fault) {
                        qWarning("%s", qPrintable(fault.message()));
                        failures.fetchAndAddRelaxed(1);
                    }
                });
                threads.last()->start();
            }
            ready.acquire(kOpeners);
            go.release(kOpeners);
            for (QThread* t : threads) {
                QVERIFY(t->wait(120000));
                delete t;
            }
            QCOMPARE(failures.loadRelaxed(), 0);
            Database check;
            check.open(QStringLiteral("Provider=SQLite;Data Source=") + file);
            QSqlQuery q = check.query(QStringLiteral("SELECT COUNT(*) FROM CUST"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), kOpeners);
        }

        // An empty file that another process made gets the schema, and stays.
        const QString foreign = m_dir.filePath(QStringLiteral("foreign.db"));
        {
            QFile empty(foreign);
            QVERIFY(empty.open(QIODevice::WriteOnly));
        }
        Database db;
        db.open(QStringLiteral("Provider=SQLite;Data Source=") + foreign);
        QVERIFY(!db.hasRow(QStringLiteral("SELECT 1 FROM CUST")));
    }

    void postgresConnectionDialectAndIdentity() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        FakeDialogs dialogs;
        AppContext ctx(dialogs, m_clock, m_cp, m_dir.path());
        prepare(ctx, pg.connectionString().toUtf8());
        QVERIFY(InitINIgCNT(ctx));
        QCOMPARE(ctx.gCNT.providerName(), QStringLiteral("PostgreSQL"));
        QCOMPARE(ctx.gCNT.dialect().serverDate(), QStringLiteral("LOCALTIMESTAMP(0)"));
        Database& db = ctx.gCNT;
        db.execute(QStringLiteral("INSERT INTO VCardLog (TxnType, CardNo, TxnDate, TxnAmt, FileDate) VALUES "
                                  "('1', '王小明', '2005/03/07 00:00:00', 500, ") +
                   ctx.gCNT.dialect().serverDate() + QStringLiteral(")"));
        const qint64 id = db.lastIdentity();
        QVERIFY(id > 0);
        QSqlQuery q = db.query(QStringLiteral("SELECT CardNo, TxnDate FROM VCardLog WHERE RNo = %1").arg(id));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("王小明"));
        QCOMPARE(q.value(1).toDateTime().date(), QDate(2005, 3, 7));
    }

    // libpq's multi-host form: the hosts are tried in turn, and the kind of
    // server asked for decides which one is taken.
    void postgresMultiHostTakesTheHostThatFits() {
        TestPostgres pg;
        REQUIRE_POSTGRES(pg);
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString unused = QString::number(probe.serverPort());
        probe.close();
        const QString port =
            QRegularExpression(QStringLiteral("Port=(\\d+)")).match(pg.connectionString()).captured(1);
        QString both = pg.connectionString();
        both.replace(QStringLiteral("Host=127.0.0.1"), QStringLiteral("Host=127.0.0.1,127.0.0.1"))
            .replace(QStringLiteral("Port=") + port, QStringLiteral("Port=%1,%2").arg(unused, port));
        Database db;
        db.open(both + QStringLiteral(";Target Session Attrs=read-write"));
        QVERIFY(db.hasRow(QStringLiteral("SELECT 1")));
        Database readOnly;
        QVERIFY_THROWS_EXCEPTION(Fault,
                                 readOnly.open(both + QStringLiteral(";Target Session Attrs=read-only")));
    }

    void unreachablePostgresIsLogged() {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QByteArray port = QByteArray::number(probe.serverPort());
        probe.close();
        FakeDialogs dialogs;
        AppContext ctx(dialogs, m_clock, m_cp, m_dir.path());
        prepare(ctx, "Provider=PostgreSQL;Host=127.0.0.1;Port=" + port + ";Database=x;User ID=postgres");
        QVERIFY(!InitINIgCNT(ctx));
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(m_cp.decode(readFile(ctx.g.gErrFile)).contains(QStringLiteral("無法開啟資料庫連線")));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
