// Printing through a real print system: a private cupsd with a PDF queue
// (scripts/cups-test-server). The summary report is printed whole and one
// page at a time; a queue that refuses jobs and a queue that is gone reach
// the operator as messages.
#include "desk/SummaryReport.h"
#include "printui/PreviewWindow.h"
#include "printui/PrintJob.h"
#include "printui/WidgetPrinting.h"
#include "support/CardLogRows.h"
#include "support/DeskFixture.h"
#include "support/FakePrinting.h"
#include "support/PdfText.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

using namespace tolva;
using namespace Qt::StringLiterals;

class TestCupsPrint : public QObject {
    Q_OBJECT

    QTemporaryDir m_cups{QDir::tempPath() + u"/tolva-cups.XXXXXX"_s};
    QString m_script = QString::fromLocal8Bit(qgetenv("TOLVA_CUPS_SCRIPT"));
    bool m_started = false;

    static QString run(const QString& program, const QStringList& args, int* code = nullptr) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(60000);
        if (code)
            *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    }

    QString outDir() const { return m_cups.filePath(u"out"_s); }
    QStringList jobs() const { return QDir(outDir()).entryList({u"job-*.pdf"_s}, QDir::Files, QDir::Name); }
    // Waits for the print system to hand over the next job's document.
    QString nextJob(qsizetype before) const {
        if (!QTest::qWaitFor([&] { return jobs().size() > before; }, 30000))
            return QString();
        QStringList all = jobs();
        std::sort(all.begin(), all.end(), [](const QString& a, const QString& b) {
            return a.mid(4).chopped(4).toInt() < b.mid(4).chopped(4).toInt();
        });
        return QDir(outDir()).filePath(all.last());
    }

private slots:
    void initTestCase() {
        if (!QFile::exists(u"/usr/sbin/cupsd"_s))
            QSKIP("cupsd is not installed (scripts/setup installs cups); printing to a queue is not tested");
        QVERIFY(!m_script.isEmpty());
        int code = 0;
        // The print system ends with this program, also when it crashes.
        qputenv("TOLVA_CUPS_OWNER_PID", QByteArray::number(QCoreApplication::applicationPid()));
        const QString socket = run(m_script, {u"start"_s, m_cups.path()}, &code);
        if (code == 3)
            QSKIP(qPrintable(u"cupsd cannot run here: "_s + socket));
        QCOMPARE(code, 0);
        m_started = true;
        qputenv("CUPS_SERVER", socket.split(u'\n').last().toLocal8Bit());
    }

    void cleanupTestCase() {
        if (m_started)
            run(m_script, {u"stop"_s, m_cups.path()});
    }

    void queuesByName() {
        DeskFixture f;
        WidgetPrinting printing(f.ctx);
        QVERIFY(printing.printers().contains(u"PDF"_s));
        QCOMPARE(printing.defaultPrinter(), u"PDF"_s);
        QVERIFY(printing.isInstalled(u"pdf"_s));
        QVERIFY(printing.frmVSPBlank().IsPrinterInstalled(u"PDF"_s));
        QVERIFY(!printing.frmVSPBlank().IsPrinterInstalled(u"pdf"_s));
    }

    void summaryReportOnThePdfQueue() {
        DeskFixture f;
        WidgetPrinting printing(f.ctx);
        addCardLogs(f.ctx.gCNT, 70, 3, u"2026/12/08"_s);
        const Printout out = SummaryReport(f.ctx, printing).build(u"PDF"_s, QString(), QString(), false);
        QCOMPARE(out.document.pageCount(), 2);

        qsizetype before = jobs().size();
        printing.print(out.document, QString());
        const QString whole = nextJob(before);
        QVERIFY2(!whole.isEmpty(), "the queue wrote no job");
        const QString text = pdfText(whole);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QCOMPARE(text.count(u'\f'), 2);
        const QStringList lines = squeezedLines(text);
        QVERIFY(lines.indexOf(u"會員點數明細表"_s) < lines.indexOf(u"M0001 加值 100 A00001"_s));
        QVERIFY(lines.indexOf(u"總計:"_s) > lines.indexOf(u"M0069 加值 780 A00069"_s));

        before = jobs().size();
        printing.print(out.document, u"PDF"_s, 2, 2);
        const QString second = pdfText(nextJob(before));
        QCOMPARE(second.count(u'\f'), 1);
        QVERIFY(second.contains(u"總計:"_s));
        QVERIFY(!second.contains(u"會員點數明細表"_s));
    }

    void refusedAndMissingQueuesAreReported() {
        DeskFixture f;
        FakePrinting unused;
        WidgetPrinting printing(f.ctx);
        Document doc;
        doc.startDoc();
        doc.paragraph(u"測試"_s);
        doc.endDoc();

        QVERIFY_THROWS_EXCEPTION(Fault, printing.print(doc, u"GONE"_s));
        try {
            printing.print(doc, u"GONE"_s);
        } catch (const Fault& fault) {
            QCOMPARE(fault.message(), u"印表機未安裝: GONE"_s);
            QCOMPARE(fault.operatorText(), u"找不到印表機 GONE，請通知管理人員"_s);
        }

        // lp's own answer for a queue it does not know.
        const QString pdf = m_cups.filePath(u"gone.pdf"_s);
        printing.savePdf(doc, pdf);
        try {
            submitPdfJob(u"GONE"_s, pdf, u"TOLVA"_s);
            QFAIL("lp took a job for a queue that does not exist");
        } catch (const Fault& fault) {
            QCOMPARE(fault.operatorText(), u"找不到印表機 GONE，請通知管理人員"_s);
            QVERIFY2(fault.message().contains(u"does not exist"_s), qPrintable(fault.message()));
        }

        // A queue that refuses jobs is told in the operator's words, once,
        // with no code, no English and no question; the error file keeps
        // the print system's answer.
        int code = 0;
        run(u"/usr/sbin/cupsreject"_s, {u"PDF"_s}, &code);
        QCOMPARE(code, 0);
        PreviewWindow& w = printing.frmVSPBlank();
        w.vsp() = doc;
        w.showDocument();
        qobject_cast<QPushButton*>(w.control(u"cmdPrint"_s))->click();
        run(u"/usr/sbin/cupsaccept"_s, {u"PDF"_s});
        QCOMPARE(f.dialogs.shown.size(), qsizetype(1));
        QCOMPARE(f.dialogs.shownAt(0).kind, u"box"_s);
        QCOMPARE(f.dialogs.shownAt(0).text, u"印表機 PDF 暫停接受列印，請通知管理人員"_s);
        QVERIFY(f.errors().contains(u"cmdPrint_Click"_s));
        QVERIFY(f.errors().contains(u"Destination \"PDF\" is not accepting jobs"_s));
        QVERIFY(qobject_cast<QPushButton*>(w.control(u"cmdPrint"_s))->isEnabled());
        w.hide();
    }
};

QTEST_MAIN(TestCupsPrint)
#include "tst_cups_print.moc"
