// INI reading, the file locations and defaults of the global settings, and
// the per-user settings store.
#include "app/AppContext.h"
#include "app/GlobalSettings.h"
#include "app/IniFile.h"
#include "app/SettingsStore.h"
#include "support/ChildProcess.h"
#include "support/FakeDialogs.h"
#include "support/FixedClock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

namespace {
// The bash functions of the POS integration guide, as a station uses them.
QString guideFunctions() {
    QFile f(QStringLiteral(TOLVA_POS_GUIDE));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromUtf8(f.readAll());
    const QString fence = QStringLiteral("```bash\n");
    const qsizetype start = text.indexOf(fence);
    const qsizetype end = text.indexOf(QStringLiteral("\n```"), start + fence.size());
    return start < 0 || end < 0 ? QString() : text.mid(start + fence.size(), end - start - fence.size());
}

// Starts a bash station working on the store in folder with the guide's functions.
void startStation(QProcess& process, const QString& folder, const QString& script) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder);
    process.setProcessEnvironment(env);
    endWithTestProcess(process);
    process.start(QStringLiteral("bash"),
                  {QStringLiteral("-c"),
                   QStringLiteral("set -euo pipefail\n") + guideFunctions() + QLatin1Char('\n') + script});
}

QString station(const QString& folder, const QString& script) {
    QProcess p;
    startStation(p, folder, script);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<failed: ") + QString::fromUtf8(p.readAllStandardError()) + QLatin1Char('>');
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

QString peerGet(const QString& folder, const QString& section, const QString& key) {
    QProcess p;
    p.start(QStringLiteral(TOLVA_SETTINGS_PEER),
            {QStringLiteral("get"), folder, QStringLiteral("ZEL"), section, key});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

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

    void filesHoldingAPasswordAreTheOwnersOnly() {
        QTemporaryDir home;
        SettingsStore store(home.path());
        // The file's mode bits as chmod writes them.
        const auto mode = [&](const char* app) {
            const QFileDevice::Permissions p = QFile::permissions(store.fileOf(QString::fromLatin1(app)));
            int bits = 0;
            for (const auto& [flag, bit] :
                 {std::pair{QFileDevice::ReadOwner, 0400}, std::pair{QFileDevice::WriteOwner, 0200},
                  std::pair{QFileDevice::ExeOwner, 0100}, std::pair{QFileDevice::ReadGroup, 040},
                  std::pair{QFileDevice::WriteGroup, 020}, std::pair{QFileDevice::ExeGroup, 010},
                  std::pair{QFileDevice::ReadOther, 04}, std::pair{QFileDevice::WriteOther, 02},
                  std::pair{QFileDevice::ExeOther, 01}})
                if (p & flag)
                    bits |= bit;
            return bits;
        };
        const int ownerOnly = 0600;
        // The link settings hold the link password.
        QVERIFY(store.Save(QStringLiteral("ZELQ"), QStringLiteral("TOLVA"), QStringLiteral("IP"),
                           QStringLiteral("10.0.0.5")));
        QCOMPARE(mode("ZELQ"), ownerOnly);
        QVERIFY(store.Save(QStringLiteral("ZELQ"), QStringLiteral("TOLVA"), QStringLiteral("PWD"),
                           QStringLiteral("s3cret")));
        QCOMPARE(mode("ZELQ"), ownerOnly);
        // Any other file once it holds a database password.
        QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("SYS"), QStringLiteral("POSID"),
                           QStringLiteral("WS01")));
        QVERIFY(mode("ZEL") & 04); // the mailbox as before
        QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("DB"), QStringLiteral("GCNT"),
                           QStringLiteral("Provider=PostgreSQL;Host=db;User ID=pos;Password=s3cret")));
        QCOMPARE(mode("ZEL"), ownerOnly);
        QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("SYS"), QStringLiteral("POSID"),
                           QStringLiteral("WS02")));
        QCOMPARE(mode("ZEL"), ownerOnly);
    }

    // The store is the mailbox between the desk and a POS station: a write of
    // one process is seen by the next read of another, both through the
    // desk's own code and through the shell functions of the POS guide.
    void anotherProcessSeesEachWrite() {
        QVERIFY(!guideFunctions().isEmpty());
        QTemporaryDir home;
        const QString dir = home.path();
        const QString zel = QStringLiteral("ZEL");
        const QString tolva = QStringLiteral("TOLVA");
        SettingsStore store(dir);
        QVERIFY(store.Save(zel, QStringLiteral("SYS"), QStringLiteral("POSID"), QStringLiteral("WS01")));
        QVERIFY(store.Save(zel, tolva, QStringLiteral("CheckNo"), QStringLiteral("桌5 A0012")));
        QCOMPARE(peerGet(dir, tolva, QStringLiteral("checkno")), QStringLiteral("桌5 A0012"));
        QCOMPARE(station(dir, QStringLiteral("zel_get tolva CHECKNO")), QStringLiteral("桌5 A0012"));

        QCOMPARE(station(dir, QStringLiteral("zel_edit TOLVA TxnAmt 1050; zel_edit TOLVA TxnType 2; "
                                             "zel_edit TOLVA CustNo \"C'1 =x\"; zel_edit TOLVA checkno B7")),
                 QString());
        QCOMPARE(store.Get(zel, tolva, QStringLiteral("TxnAmt")), QStringLiteral("1050"));
        QCOMPARE(store.Get(zel, tolva, QStringLiteral("TxnType")), QStringLiteral("2"));
        QCOMPARE(store.Get(zel, tolva, QStringLiteral("CustNo")), QStringLiteral("C'1 =x"));
        QCOMPARE(store.Get(zel, tolva, QStringLiteral("CheckNo")), QStringLiteral("B7"));
        QCOMPARE(store.Get(zel, QStringLiteral("SYS"), QStringLiteral("POSID")), QStringLiteral("WS01"));

        // The desk consumes the request; the station sees it gone.
        QVERIFY(store.Delete(zel, tolva, QStringLiteral("CheckNo")));
        QVERIFY(store.Save(zel, tolva, QStringLiteral("TxnAmtAuth"), QStringLiteral("5000")));
        QCOMPARE(
            station(dir, QStringLiteral("echo \"[$(zel_get TOLVA CheckNo)]\"; zel_get TOLVA TxnAmtAuth")),
            QStringLiteral("[]\n5000"));
        QCOMPARE(peerGet(dir, tolva, QStringLiteral("CheckNo")), QString());
        QCOMPARE(station(dir, QStringLiteral("zel_edit TOLVA TxnAmtAuth; zel_edit TOLVA NeverThere")),
                 QString());
        QCOMPARE(store.Get(zel, tolva, QStringLiteral("TxnAmtAuth")), QString());
        QCOMPARE(store.Get(zel, tolva, QStringLiteral("TxnType")), QStringLiteral("2"));
        QCOMPARE(store.Get(zel, QStringLiteral("SYS"), QStringLiteral("POSID")), QStringLiteral("WS01"));
    }

    // Three writers at once - the desk's code in another process, a bash
    // station and this process - each add their own keys; none is lost.
    void writersInSeveralProcessesLoseNoKey() {
        QTemporaryDir home;
        const QString dir = home.path();
        const int count = 120;
        QProcess peer;
        endWithTestProcess(peer);
        peer.start(QStringLiteral(TOLVA_SETTINGS_PEER),
                   {QStringLiteral("put"), dir, QStringLiteral("ZEL"), QStringLiteral("TOLVA"),
                    QStringLiteral("A"), QString::number(count)});
        QProcess shell;
        startStation(shell, dir,
                     QStringLiteral("for i in $(seq 1 %1); do zel_edit TOLVA B$i v$i; done").arg(count));
        SettingsStore store(dir);
        for (int i = 1; i <= count; ++i)
            QVERIFY(store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"), QStringLiteral("C%1").arg(i),
                               QStringLiteral("v%1").arg(i)));
        QVERIFY(peer.waitForFinished(120000));
        QCOMPARE(peer.exitCode(), 0);
        QVERIFY(shell.waitForFinished(120000));
        QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());

        int missing = 0;
        for (const char* prefix : {"A", "B", "C"})
            for (int i = 1; i <= count; ++i)
                if (store.Get(QStringLiteral("ZEL"), QStringLiteral("TOLVA"),
                              QString::fromLatin1(prefix) + QString::number(i)) !=
                    QStringLiteral("v%1").arg(i))
                    ++missing;
        QCOMPARE(missing, 0);
        QFile f(store.fileOf(QStringLiteral("ZEL")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count('\n'), qsizetype(1 + 3 * count));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
