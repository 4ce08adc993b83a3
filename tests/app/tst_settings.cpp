// INI reading, the file locations and defaults of the global settings, and
// the per-user settings store.
#include "AppContext.h"
#include "FakeDialogs.h"
#include "FixedClock.h"
#include "GlobalSettings.h"
#include "IniFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    CodePage m_cp{QStringLiteral("CP950")};
    FixedClock m_clock;
    FakeDialogs m_dialogs;

private slots:
    void iniSyntax() {
        const QString ini = m_dir.filePath(QStringLiteral("syntax.ini"));
        writeFile(ini,
                  QByteArray("; comment\r\n[Other]\r\nKey=wrong\r\n  [ param ]  \r\n"
                             "CustName=\xA4\xA4\xA4\xE5\r\n gcnt = Provider=SQLite;Data Source=a.db \r\n"
                             "Spaces=   \r\nNoEquals\r\nCustName=second\r\n[PARAM2]\r\nAmtFmt=0.00\r\n"));
        QCOMPARE(getINIValue(m_cp, ini, QStringLiteral("PARAM"), QStringLiteral("custname")),
                 QStringLiteral("中文"));
        QCOMPARE(getINIValue(m_cp, ini, QStringLiteral("param"), QStringLiteral("GCNT")),
                 QStringLiteral(" Provider=SQLite;Data Source=a.db "));
        QCOMPARE(getINIValue(m_cp, ini, QStringLiteral("PARAM"), QStringLiteral("Spaces")),
                 QStringLiteral("   "));
        QCOMPARE(getINIValue(m_cp, ini, QStringLiteral("PARAM"), QStringLiteral("AmtFmt")), QString());
        QCOMPARE(getINIValue(m_cp, ini, QStringLiteral("NOPE"), QStringLiteral("Key")), QString());
        QCOMPARE(getINIValue(m_cp, m_dir.filePath(QStringLiteral("missing.ini")), QStringLiteral("PARAM"),
                             QStringLiteral("CustName")),
                 QString());
    }

    void valuesAreCutAt127Bytes() {
        const QString ini = m_dir.filePath(QStringLiteral("long.ini"));
        writeFile(ini, "[PARAM]\r\nLogoFile=" + QByteArray(200, 'a') + "\r\n");
        QCOMPARE(getINIValue(m_cp, ini, QStringLiteral("PARAM"), QStringLiteral("LogoFile")),
                 QString(127, QLatin1Char('a')));
    }

    void locationsOfTheFourCalls() {
        AppContext ctx(m_dialogs, m_clock, m_cp, m_dir.path());
        ctx.g.appDir = m_dir.filePath(QStringLiteral("bin"));
        ctx.g.exeName = QStringLiteral("TOLVA");
        QDir().mkpath(ctx.g.appDir);
        const QString d = ctx.g.appDir;

        InitGlobal(ctx, QStringLiteral("TOLVA.INI"), d);
        QCOMPARE(ctx.g.gIniFile, d + QStringLiteral("/TOLVA.INI"));
        QCOMPARE(ctx.g.gLogFile, d + QStringLiteral("/TOLVA.LOG"));
        QCOMPARE(ctx.g.gErrFile, d + QStringLiteral("/TOLVA.ERR"));

        InitGlobal(ctx, std::nullopt, QStringLiteral("/etc/x"));
        QCOMPARE(ctx.g.gIniFile, QStringLiteral("/etc/x/IDPARAM.INI"));
        QCOMPARE(ctx.g.gLogFile, QStringLiteral("/etc/x/TOLVA.LOG"));

        InitGlobal(ctx, QStringLiteral("A.INI"));
        QCOMPARE(ctx.g.gIniFile, d + QStringLiteral("/../DAT/A.INI"));
        QCOMPARE(ctx.g.gLogFile, d + QStringLiteral("/../LOG/TOLVA.LOG"));
        QCOMPARE(ctx.g.gErrFile, d + QStringLiteral("/../LOG/TOLVA.ERR"));

        InitGlobal(ctx);
        QCOMPARE(ctx.g.gIniFile, d + QStringLiteral("/../DAT/IDPARAM.INI"));
        QCOMPARE(QDir::currentPath(), QDir(d).canonicalPath());
    }

    void defaultsWithoutParamSection() {
        AppContext ctx(m_dialogs, m_clock, m_cp, m_dir.path());
        ctx.g.appDir = m_dir.path();
        writeFile(m_dir.filePath(QStringLiteral("TOLVA.INI")), "[OTHER]\r\nCustName=x\r\n");
        InitGlobal(ctx, QStringLiteral("TOLVA.INI"), m_dir.path());
        QCOMPARE(ctx.g.gCalendar, QStringLiteral("YYYY/MM/DD"));
        QCOMPARE(ctx.g.gDateSep, QStringLiteral("/"));
        QCOMPARE(ctx.g.gAmtFmt, QStringLiteral("#,##0"));
        QCOMPARE(ctx.g.gCustName, QString());
        QCOMPARE(ctx.g.gLogoFile, QString());
        QCOMPARE(ctx.g.gDateQuote, QStringLiteral("'"));
        QVERIFY(!ctx.g.gUserID.isEmpty());
        QCOMPARE(ctx.g.gUserID, GetLoginUser().left(20));
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void valuesAsStoredAndLogTrimmedAtStart() {
        AppContext ctx(m_dialogs, m_clock, m_cp, m_dir.path());
        ctx.g.appDir = m_dir.path();
        writeFile(
            m_dir.filePath(QStringLiteral("TOLVA.INI")),
            "[PARAM]\r\nCustName=\xA5\xDC\xBD\x64\r\nDefUserID=   \r\nCalendar=CC/MM/DD\r\nDateSep=-\r\n");
        writeFile(m_dir.filePath(QStringLiteral("TOLVA.LOG")), QByteArray(102401, 'x'));
        writeFile(m_dir.filePath(QStringLiteral("TOLVA.ERR")), QByteArray(102400, 'x'));
        InitGlobal(ctx, QStringLiteral("TOLVA.INI"), m_dir.path());
        QCOMPARE(ctx.g.gUserID, QStringLiteral("   "));
        QCOMPARE(ctx.g.gCalendar, QStringLiteral("CC/MM/DD"));
        QCOMPARE(ctx.g.gDateSep, QStringLiteral("-"));
        QCOMPARE(ctx.g.gCustName.size(), 2);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("TOLVA.LOG"))));
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("TOLVA.ERR"))));
    }

    void settingsStoreRoundTrip() {
        QTemporaryDir home;
        SettingsStore store(home.path());
        QCOMPARE(store.Get(QStringLiteral("ZEL"), QStringLiteral("SYS"), QStringLiteral("POSID")), QString());
        QVERIFY(store.Delete(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("CheckNo")));
        QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("CheckNo"),
                           QStringLiteral("A0001")));
        QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("SYS"), QStringLiteral("POSID"),
                           QStringLiteral("WS01")));
        QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("TxnAmt"),
                           QStringLiteral(" 500 =x")));
        QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("CheckNo"),
                           QStringLiteral("桌5")));
        QCOMPARE(store.Get(QStringLiteral("ZEL"), QStringLiteral("tolva"), QStringLiteral("checkno")),
                 QStringLiteral("桌5"));
        QCOMPARE(store.Get(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("TxnAmt")),
                 QStringLiteral(" 500 =x"));
        QVERIFY(store.Delete(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("CheckNo")));
        QCOMPARE(store.Get(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("CheckNo")),
                 QString());
        QCOMPARE(store.Get(QStringLiteral("ZEL"), QStringLiteral("SYS"), QStringLiteral("POSID")),
                 QStringLiteral("WS01"));
        QFile f(store.fileOf(QStringLiteral("ZEL")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[TOLVA]\nTxnAmt= 500 =x\n\n[SYS]\nPOSID=WS01\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
