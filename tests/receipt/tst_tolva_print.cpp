// tolva-print as a point-of-sale program runs it: its own folder with the
// desk's INI and database (the demo store's rows), a settings store naming
// the printers, and a private print system whose queue "PDF" writes each job
// as a PDF file. A bill, an order ticket and a kitchen ticket reach the queue;
// a bill that does not exist ends with status 1 and one line saying why.
#include "support/PdfText.h"

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
    QString nextJobText(qsizetype before) const {
        if (!QTest::qWaitFor([&] { return jobs().size() > before; }, 30000))
            return QString();
        QStringList all = jobs();
        std::sort(all.begin(), all.end(), [](const QString& a, const QString& b) {
            return a.mid(4).chopped(4).toInt() < b.mid(4).chopped(4).toInt();
        });
        return pdfText(QDir(cupsDir() + u"/out"_s).filePath(all.last()));
    }
    int tolvaPrint(const QStringList& args, QString* output) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"CUPS_SERVER"_s, m_socket);
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
