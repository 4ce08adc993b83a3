// tolva-print as a point-of-sale program runs it: its own folder with the
// desk's INI and database (the demo store's rows), a settings store naming
// the printers, and a private print system whose queue "PDF" writes each job
// as a PDF file. The folder lies in a private temporary folder that only its
// owner may enter, as a POS program's own folder may. A bill, an order ticket
// and a kitchen ticket reach the queue; a printer that does not exist, a queue
// that refuses the job and a bill that does not exist end with status 1 and
// one line saying why.
#include "support/PdfText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTolvaPrint : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{QDir::tempPath() + u"/tolva-print.XXXXXX"_s};
    QString m_script = QString::fromLocal8Bit(qgetenv("TOLVA_CUPS_SCRIPT"));
    QString m_source = QString::fromLocal8Bit(qgetenv("TOLVA_SOURCE_DIR"));
    QString m_socket;
    bool m_started = false;

    static int run(const QString& program, const QStringList& args, QString* output = nullptr,
                   const QString& input = QString(), const QProcessEnvironment& env = {}) {
        QProcess p;
        if (!env.isEmpty())
            p.setProcessEnvironment(env);
        if (!input.isEmpty())
            p.setStandardInputFile(input);
        p.start(program, args);
        p.waitForFinished(120000);
        if (output)
            *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QString cupsDir() const { return m_dir.filePath(u"cups"_s); }
    QStringList jobs() const { return QDir(cupsDir() + u"/out"_s).entryList({u"job-*.pdf"_s}, QDir::Files); }
    // The newest job's file once the queue has written one more than before;
    // empty when none comes.
    QString nextJob(qsizetype before) const {
        if (!QTest::qWaitFor([&] { return jobs().size() > before; }, 30000))
            return QString();
        QStringList all = jobs();
        std::sort(all.begin(), all.end(), [](const QString& a, const QString& b) {
            return a.mid(4).chopped(4).toInt() < b.mid(4).chopped(4).toInt();
        });
        return QDir(cupsDir() + u"/out"_s).filePath(all.last());
    }
    QProcessEnvironment cupsEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"CUPS_SERVER"_s, m_socket);
        return env;
    }
    int tolvaPrint(const QStringList& args, QString* output) const {
        QProcessEnvironment env = cupsEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
        env.remove(u"QT_QPA_PLATFORM"_s);
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        return run(m_dir.filePath(u"site/tolva-print"_s), args, output, QString(), env);
    }

private slots:
    void initTestCase() {
        if (!QFile::exists(u"/usr/sbin/cupsd"_s))
            QSKIP("cupsd is not installed (scripts/setup installs cups); tolva-print is not run against a "
                  "queue");
        QString out;
        if (run(u"sqlite3"_s, {u"-version"_s}, &out) != 0)
            QSKIP("sqlite3 is not installed; the demo store cannot be made");
        // The print system ends with this program, also when it crashes.
        qputenv("TOLVA_CUPS_OWNER_PID", QByteArray::number(QCoreApplication::applicationPid()));
        const int code = run(m_script, {u"start"_s, cupsDir()}, &out);
        if (code == 3)
            QSKIP(qPrintable(u"cupsd cannot run here: "_s + out));
        QCOMPARE(code, 0);
        m_started = true;
        m_socket = out.split(u'\n').last();

        // The program's folder: the binary, its INI and the demo store.
        const QString site = m_dir.filePath(u"site"_s);
        QVERIFY(QDir().mkpath(site));
        QVERIFY(
            QFile::copy(qEnvironmentVariable("TOLVA_BIN_DIR") + u"/tolva-print"_s, site + u"/tolva-print"_s));
        QFile ini(site + u"/TOLVA.INI"_s);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            "[PARAM]\r\nCustName=Demo\r\nAmtFmt=#,##0\r\nGCNT=Provider=SQLite;Data Source=TOLVA.db\r\n");
        ini.close();
        for (const char* script : {"db/sqlite.sql", "db/demo-store.sql"})
            QCOMPARE(
                run(u"sqlite3"_s, {site + u"/TOLVA.db"_s}, &out, m_source + u'/' + QLatin1String(script)), 0);
        QVERIFY(QDir().mkpath(m_dir.filePath(u"config"_s)));
        QFile zel(m_dir.filePath(u"config/ZEL.ini"_s));
        QVERIFY(zel.open(QIODevice::WriteOnly));
        zel.write("[KP]\nCPrinter=PDF\nOPrinter=PDF\nBPrinter=PDF\nKPrinter=PDF\n");
    }

    void cleanupTestCase() {
        if (m_started)
            run(m_script, {u"stop"_s, cupsDir()});
    }

    void billOrderAndKitchenTicketsReachTheQueue() {
        struct Case {
            QStringList args;
            QStringList texts;
            QStringList absent;
        };
        const QList<Case> cases{
            {{u"check"_s, u"A0011"_s, u"--printer"_s, u"PDF"_s},
             {u"結帳單:A0011(收)"_s, u"牛肉麵-大"_s, u"1,650元"_s},
             {}},
            // Without --printer: the bill printer CPrinter of the settings store.
            {{u"check"_s, u"A0012"_s}, {u"結帳單:A0012(收)"_s, u"紅茶-大"_s, u"880元"_s}, {u"A0011"_s}},
            {{u"order"_s, u"T01"_s, u"11:05:10"_s}, {u"點菜單號 - 0001"_s, u"-加麵"_s, u"(辣油)"_s}, {}},
            {{u"kb"_s, u"T01"_s, u"11:05:10"_s, u"PK"_s},
             {u"廚房出菜單-0001"_s, u"牛肉麵-大"_s},
             {u"珍珠奶茶"_s}},
        };
        for (const Case& c : cases) {
            const QString what = c.args.join(u' ');
            const qsizetype before = jobs().size();
            QString out;
            QVERIFY2(tolvaPrint(c.args, &out) == 0, qPrintable(what + u": "_s + out));
            const QString job = nextJob(before);
            QVERIFY2(!job.isEmpty(), qPrintable(u"the queue wrote no job for "_s + what));
            const QString text = pdfText(job);
            QVERIFY2(!text.isEmpty(), qPrintable(u"pdftotext read nothing from "_s + job));
            for (const QString& t : c.texts)
                QVERIFY2(text.contains(t), qPrintable(t + u" in "_s + text));
            for (const QString& t : c.absent)
                QVERIFY2(!text.contains(t), qPrintable(t + u" in "_s + text));
        }
    }

    void missingAndRefusingQueuesEndWithAReason() {
        QString out;
        const qsizetype before = jobs().size();
        QCOMPARE(tolvaPrint({u"check"_s, u"A0011"_s, u"--printer"_s, u"NOPE"_s}, &out), 1);
        QCOMPARE(out.split(u'\n').last(), u"tolva-print: 沒有安裝結帳單印表機:NOPE"_s);
        // Queue names of a bill printer are compared exactly.
        QCOMPARE(tolvaPrint({u"check"_s, u"A0011"_s, u"--printer"_s, u"pdf"_s}, &out), 1);
        QCOMPARE(out.split(u'\n').last(), u"tolva-print: 沒有安裝結帳單印表機:pdf"_s);

        // A queue that exists but does not accept jobs.
        QString reply;
        QVERIFY2(run(u"/usr/sbin/cupsreject"_s, {u"PDF"_s}, &reply, QString(), cupsEnvironment()) == 0,
                 qPrintable(reply));
        const int refused = tolvaPrint({u"order"_s, u"T02"_s, u"11:40:00"_s}, &out);
        run(u"/usr/sbin/cupsaccept"_s, {u"PDF"_s}, &reply, QString(), cupsEnvironment());
        QCOMPARE(refused, 1);
        const QString reason = out.split(u'\n').last();
        QCOMPARE(reason, u"tolva-print: 印表機 PDF 暫停接受列印，請通知管理人員"_s);
        QCOMPARE(jobs().size(), before);
    }

    void failuresEndWithOneLine() {
        QString out;
        const qsizetype before = jobs().size();
        QCOMPARE(tolvaPrint({u"check"_s, u"NOPE"_s}, &out), 1);
        QCOMPARE(out.split(u'\n').last(), u"tolva-print: 查無此帳單:NOPE"_s);
        QCOMPARE(tolvaPrint({u"kb"_s, u"T01"_s, u"11:05:10"_s, u"PX"_s}, &out), 0); // nothing to make
        QCOMPARE(tolvaPrint({u"order"_s, u"T01"_s}, &out), 2);
        QVERIFY(out.split(u'\n').last().startsWith(u"tolva-print: 用法:"_s));
        QCOMPARE(jobs().size(), before);
    }
};

QTEST_GUILESS_MAIN(TestTolvaPrint)
#include "tst_tolva_print.moc"
