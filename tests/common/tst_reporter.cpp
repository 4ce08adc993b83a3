// Log lines, error blocks and the reporters, byte for byte in the code page.
#include "common/CodePage.h"
#include "common/Guard.h"
#include "common/Reporter.h"
#include "support/FakeDialogs.h"
#include "support/FixedClock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

namespace {
QByteArray big5(const QString& s) {
    return CodePage(QStringLiteral("CP950")).encode(s);
}
QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
void writeBytes(const QString& path, qsizetype n) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(n, 'x'));
}
} // namespace

class TestReporter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Globals m_g;
    CodePage m_cp{QStringLiteral("CP950")};
    FixedClock m_clock;
    FakeDialogs m_dialogs;

private slots:
    void init() {
        m_g = Globals();
        m_g.gLogFile = m_dir.filePath(QStringLiteral("TOLVA.LOG"));
        m_g.gErrFile = m_dir.filePath(QStringLiteral("TOLVA.ERR"));
        QFile::remove(m_g.gLogFile);
        QFile::remove(m_g.gErrFile);
        m_dialogs = FakeDialogs();
    }

    void logLinesAreCp950WithCrLf() {
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        r.WriteLog(QStringLiteral("CD連接埠:COM1無法開啟"));
        r.WriteLog(QString());
        QCOMPARE(readFile(m_g.gLogFile),
                 QByteArray("2005-03-07 18:42:05 => CD") + big5(QStringLiteral("連接埠")) + ":COM1" +
                     big5(QStringLiteral("無法開啟")) + "\r\n2005-03-07 18:42:05 => \r\n");
    }

    void passwordsNeverReachTheFiles() {
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        r.WriteLog(QStringLiteral("連線: Provider=SQLOLEDB;Data Source=db;User ID=sa;Password=s3cret;"));
        r.ErrorLog(QStringLiteral("ConnectADO"),
                   Fault(Fault::kGeneric, QStringLiteral("DRIVER={x};UID=sa;pwd = \"s3;cret\";PORT=1")));
        r.ErrorMsg(QStringLiteral("ConnectADO"), Fault(Fault::kGeneric, QStringLiteral("PASSWORD=s3cret")));
        const QString files = m_cp.decode(readFile(m_g.gLogFile) + readFile(m_g.gErrFile));
        QVERIFY2(!files.contains(QStringLiteral("s3")), qPrintable(files));
        QVERIFY(files.contains(QStringLiteral("User ID=sa;Password=****;")));
        QVERIFY(files.contains(QStringLiteral("pwd = ****;PORT=1")));
        QVERIFY(!m_dialogs.lastShown().text.contains(QStringLiteral("s3cret")));
    }

    void errorBlockByteForByte_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("codeLine");
        QTest::newRow("negative") << -2147467259 << QByteArray("-2147467259");
        QTest::newRow("positive") << 13 << QByteArray(" 13");
        QTest::newRow("zero") << 0 << QByteArray(" 0");
    }
    void errorBlockByteForByte() {
        QFETCH(int, code);
        QFETCH(QByteArray, codeLine);
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        r.ErrorLog(QStringLiteral("getNoMDB"), Fault(code, QStringLiteral("資料表不存在")));
        const QByteArray expected = big5(QStringLiteral("**記錄時間 - ")) + "05/03/07, 18:42:05 \r\n" +
                                    big5(QStringLiteral("處理程序: (")) + "getNoMDB)\r\n" +
                                    big5(QStringLiteral("執行錯誤, 代碼: ")) + codeLine + "\r\n" +
                                    big5(QStringLiteral("訊息: ")) + "\r\n" + "     " +
                                    big5(QStringLiteral("資料表不存在")) + "\r\n\r\n";
        QCOMPARE(readFile(m_g.gErrFile), expected);
        QCOMPARE(m_dialogs.beeps, 0);
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void errorMsgBeepsShowsAndRestoresPointer() {
        m_g.exeName = QStringLiteral("TOLVA");
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        const Fault fault(-1, QStringLiteral("壞了"));
        r.ErrorMsg(QStringLiteral("fmTOLVA_cmdOK_Click"), fault);
        QCOMPARE(m_dialogs.beeps, 1);
        QCOMPARE(m_dialogs.normalPointers, 1);
        QCOMPARE(m_dialogs.shown.size(), 1);
        QCOMPARE(m_dialogs.shownAt(0).icon, Dialogs::Icon::Warning);
        QCOMPARE(m_dialogs.shownAt(0).title, QStringLiteral("TOLVA"));
        QCOMPARE(m_dialogs.shownAt(0).text,
                 Reporter::reportText(QStringLiteral("fmTOLVA_cmdOK_Click"), fault));
        QVERIFY(readFile(m_g.gErrFile).contains(big5(QStringLiteral("壞了"))));
    }

    void errorAskAnswersSixOrSeven() {
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        m_dialogs.yesNoAnswers << true << false;
        QCOMPARE(r.ErrorAsk(QStringLiteral("cmdFirst_Click"), Fault(5, QStringLiteral("x"))), 6);
        QCOMPARE(r.ErrorAsk(QStringLiteral("cmdFirst_Click"), Fault(5, QStringLiteral("x"))), 7);
        QVERIFY(m_dialogs.shownAt(0).text.endsWith(QStringLiteral("\r\n\r\n  是否要繼續執行作業?")));
        QCOMPARE(m_dialogs.beeps, 2);
    }

    // A situation the operator can act on is told in plain words: no code,
    // no procedure, no technical text on screen; the error file keeps them.
    void operatorTextIsShownAloneAndTheFileKeepsTheRest() {
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        const Fault fault(Fault::kGeneric, QStringLiteral("lp: Destination \"PDF\" is not accepting jobs."),
                          QStringLiteral("印表機 PDF 暫停接受列印，請通知管理人員"));
        r.ErrorMsg(QStringLiteral("cmdPrint_Click"), fault);
        QCOMPARE(m_dialogs.shown.size(), 1);
        QCOMPARE(m_dialogs.shown[0].kind, QStringLiteral("box"));
        QCOMPARE(m_dialogs.shown[0].text, QStringLiteral("印表機 PDF 暫停接受列印，請通知管理人員"));
        QCOMPARE(m_dialogs.beeps, 1);
        QCOMPARE(m_dialogs.normalPointers, 1);
        const QString file = m_cp.decode(readFile(m_g.gErrFile));
        QVERIFY(file.contains(QStringLiteral("(cmdPrint_Click)")));
        QVERIFY(file.contains(QStringLiteral("-2147467259")));
        QVERIFY(file.contains(QStringLiteral("is not accepting jobs")));
    }

    void unwritableErrorFileStillShowsTheBox() {
        m_g.gErrFile = m_dir.filePath(QStringLiteral("no-such-folder/TOLVA.ERR"));
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        r.ErrorMsg(QStringLiteral("InitGlobal"), Fault(1, QStringLiteral("x")));
        QCOMPARE(m_dialogs.shown.size(), 1);
        QVERIFY(!QFile::exists(m_g.gErrFile));
        // A log write that fails is reported to the error file only, never shown.
        m_g.gLogFile = m_dir.filePath(QStringLiteral("no-such-folder/TOLVA.LOG"));
        r.WriteLog(QStringLiteral("x"));
        QCOMPARE(m_dialogs.shown.size(), 1);
    }

    void trimBoundaries() {
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        writeBytes(m_g.gLogFile, 102400);
        r.TrimLogFile();
        QVERIFY(QFile::exists(m_g.gLogFile));
        writeBytes(m_g.gLogFile, 102401);
        r.TrimLogFile(100);
        QVERIFY(!QFile::exists(m_g.gLogFile));

        writeBytes(m_g.gErrFile, 51200);
        r.TrimErrFile(QStringLiteral("50"));
        QVERIFY(QFile::exists(m_g.gErrFile));
        writeBytes(m_g.gErrFile, 51201);
        r.TrimErrFile(QStringLiteral("50"));
        QVERIFY(!QFile::exists(m_g.gErrFile));
        r.TrimErrFile(); // a missing file is no failure
    }

    void guardReportsAndReturnsTheFailureValue() {
        Reporter r(m_g, m_cp, m_clock, m_dialogs);
        int steps = 0;
        const bool ok = guard(r, Report::Msg, QStringLiteral("SetParamValue"), false, [&] {
            ++steps;
            throw Fault(-7, QStringLiteral("boom"));
            return true;
        });
        QVERIFY(!ok);
        QCOMPARE(steps, 1);
        QCOMPARE(m_dialogs.shown.size(), 1);
        QVERIFY(m_dialogs.shownAt(0).text.startsWith(QStringLiteral("處理程序: (SetParamValue)")));

        // An asking procedure goes on with its next step on Yes and stops on No.
        m_dialogs.yesNoAnswers << true << false;
        QStringList ran;
        const auto failing = [] { throw Fault(1, QStringLiteral("x")); };
        if (askStep(r, QStringLiteral("cmdNext_Click"), failing))
            ran << QStringLiteral("after yes");
        if (askStep(r, QStringLiteral("cmdNext_Click"), failing))
            ran << QStringLiteral("after no");
        QCOMPARE(ran, QStringList{QStringLiteral("after yes")});
    }

    void codePageConversions() {
        const CodePage cp(QStringLiteral("CP950"));
        QCOMPARE(cp.encode(QStringLiteral("中文A")), QByteArray("\xA4\xA4\xA4\xE5"
                                                                "A"));
        QCOMPARE(cp.decode(QByteArray("\xA4\xA4\xA4\xE5"
                                      "A")),
                 QStringLiteral("中文A"));
        // A character the code page cannot hold, and bytes that are not valid in it.
        QCOMPARE(cp.encode(QStringLiteral("a😀b")), QByteArray("a?b"));
        QCOMPARE(cp.decode(QByteArray("a\xFF"
                                      "b")),
                 QStringLiteral("a\uFFFDb"));
        QCOMPARE(cp.decode(QByteArray("a\xA4")), QStringLiteral("a\uFFFD"));
        const CodePage unknown(QStringLiteral("NO-SUCH-CODEPAGE"));
        QVERIFY(!unknown.isValid());
        QCOMPARE(unknown.encode(QStringLiteral("中")), QByteArray("\xA4\xA4"));
    }
};

QTEST_GUILESS_MAIN(TestReporter)
#include "tst_reporter.moc"
