// The station's POS settings at start: station id, customer display port,
// business date, store id and logo.
#include "app/StationParams.h"
#include "support/DeskFixture.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

using namespace tolva;

namespace {
QString logText(const DeskFixture& f) {
    QFile log(f.ctx.g.gLogFile);
    return log.open(QIODevice::ReadOnly) ? f.ctx.codePage.decode(log.readAll()) : QString();
}
void setParam(DeskFixture& f, const char* id, const char* value) {
    f.ctx.gCNT.execute(QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('%1', '%2')")
                           .arg(QLatin1String(id), QLatin1String(value)));
}
QString paramInTable(DeskFixture& f, const char* id) {
    QSqlQuery q = f.ctx.gCNT.query(
        QStringLiteral("SELECT ParamValue FROM xxPARAM WHERE ParamID = '%1'").arg(QLatin1String(id)));
    return q.next() ? q.value(0).toString() : QString();
}
} // namespace

class TestStation : public QObject {
    Q_OBJECT

private slots:
    void freshAccountAndParameters() {
        DeskFixture f;
        f.ctx.g.gStoreID.clear();
        f.ctx.g.gPOSID.clear();
        f.ctx.g.gCustName = QStringLiteral("示範餐廳");
        setParam(f, "OPDATE", "2005/3/7");
        setParam(f, "LogoFile", "logo.png");
        InitZEL(f.ctx);
        QCOMPARE(f.ctx.g.gPOSID, QStringLiteral("WS01"));
        QCOMPARE(f.get("ZEL", "SYS", "POSID"), QStringLiteral("WS01"));
        QCOMPARE(f.ctx.g.gStoreID, QStringLiteral("示範餐廳"));
        QCOMPARE(f.ctx.g.gOPDate, QStringLiteral("2005/03/07"));
        QCOMPARE(paramInTable(f, "OPDATE"), QStringLiteral("2005/3/7"));
        QCOMPARE(f.ctx.g.gLogoFile, f.ctx.g.appDir + QStringLiteral("/../DAT/logo.png"));
        QVERIFY(f.dialogs.shown.isEmpty());

        // A stored station id and store id are used as they are.
        f.save("ZEL", "SYS", "POSID", QStringLiteral("WS07"));
        setParam(f, "StoreID", "S01");
        InitZEL(f.ctx);
        QCOMPARE(f.ctx.g.gPOSID, QStringLiteral("WS07"));
        QCOMPARE(f.ctx.g.gStoreID, QStringLiteral("S01"));
    }

    void handOffRetryWindow_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("logged");
        QTest::newRow("not set") << QString() << 10 << false;
        QTest::newRow("set") << QStringLiteral(" 25 ") << 25 << false;
        QTest::newRow("off") << QStringLiteral("0") << 0 << false;
        QTest::newRow("not a number") << QStringLiteral("ten") << 10 << true;
        QTest::newRow("negative") << QStringLiteral("-5") << 10 << true;
        QTest::newRow("over a day") << QStringLiteral("1441") << 10 << true;
    }
    void handOffRetryWindow() {
        QFETCH(QString, setting);
        QFETCH(int, minutes);
        QFETCH(bool, logged);
        DeskFixture f;
        setParam(f, "OPDATE", "2026/12/08");
        f.ctx.g.gRetryMinutes = -1;
        if (!setting.isEmpty())
            f.save("ZEL", "SYS", "HandOffRetryMinutes", setting);
        InitZEL(f.ctx);
        QCOMPARE(f.ctx.g.gRetryMinutes, minutes);
        QCOMPARE(logText(f).contains(QStringLiteral("HandOffRetryMinutes")), logged);
    }

    void resultTime_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("logged");
        QTest::newRow("not set") << QString() << 2 << false;
        QTest::newRow("set") << QStringLiteral(" 5 ") << 5 << false;
        QTest::newRow("off") << QStringLiteral("0") << 0 << false;
        QTest::newRow("fraction") << QStringLiteral("1.5") << 2 << true;
        QTest::newRow("over half a minute") << QStringLiteral("31") << 2 << true;
    }
    void resultTime() {
        QFETCH(QString, setting);
        QFETCH(int, seconds);
        QFETCH(bool, logged);
        DeskFixture f;
        setParam(f, "OPDATE", "2026/12/08");
        f.ctx.g.gResultSeconds = -1;
        if (!setting.isEmpty())
            f.save("ZEL", "SYS", "ResultSeconds", setting);
        InitZEL(f.ctx);
        QCOMPARE(f.ctx.g.gResultSeconds, seconds);
        QCOMPARE(logText(f).contains(QStringLiteral("ResultSeconds 設定錯誤")), logged);
    }

    void invalidBusinessDateIsRepairedWithAWarning() {
        DeskFixture f;
        setParam(f, "OPDATE", "garbage");
        InitZEL(f.ctx);
        QCOMPARE(f.ctx.g.gOPDate, QStringLiteral("2026/12/08"));
        QCOMPARE(paramInTable(f, "OPDATE"), QStringLiteral("2026/12/08"));
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shownAt(0).text, QStringLiteral("營業日期設定錯誤\n重設為: 2026/12/08"));
        QCOMPARE(f.dialogs.shownAt(0).icon, Dialogs::Icon::Warning);
    }

    void customerDisplayPort_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("logged");
        QTest::newRow("screen skips the port") << "SCREEN"
                                               << "COM1"
                                               << "";
        QTest::newRow("no type clears the port") << ""
                                                 << "COM2"
                                                 << "";
        QTest::newRow("lower-case com is not handled") << "VFD"
                                                       << "com1"
                                                       << "";
        QTest::newRow("port that cannot open is logged") << "VFD"
                                                         << "COM9"
                                                         << "CD連接埠:COM9無法開啟";
    }
    void customerDisplayPort() {
        QFETCH(QString, type);
        QFETCH(QString, port);
        QFETCH(QString, logged);
        DeskFixture f;
        f.save("ZEL", "CD", "CDtype", type);
        f.save("ZEL", "CD", "CDport", port);
        setParam(f, "OPDATE", "2026/12/08");
        InitZEL(f.ctx);
        const QString log = logText(f);
        if (logged.isEmpty())
            QCOMPARE(log, QString());
        else
            QVERIFY2(log.endsWith(QStringLiteral(" => ") + logged + QStringLiteral("\r\n")), qPrintable(log));
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    void ports() {
        QCOMPARE(portDevice(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(portDevice(QStringLiteral("lpt2")), QStringLiteral("/dev/lp1"));
        QCOMPARE(portDevice(QStringLiteral("COM10")), QString());
        QVERIFY(!CheckPort(QStringLiteral("XYZ1")));
        QVERIFY(!CheckPort(QStringLiteral("COM9")));
        DeskFixture f;
        QVERIFY(!ResetComPort(f.ctx, QStringLiteral("COM6")));
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shownAt(0).text, QStringLiteral("(ResetComPort)只能重設COM1-COM5通訊埠"));
    }

    void withoutADatabaseOneReportAndNoIdentity() {
        DeskFixture f;
        f.ctx.gCNT.close();
        f.ctx.g.gStoreID.clear();
        f.ctx.g.gPOSID.clear();
        InitZEL(f.ctx);
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY(f.dialogs.shownAt(0).text.contains(QStringLiteral("fdZEL_InitZEL")));
        QCOMPARE(f.ctx.g.gStoreID, QString());
        QCOMPARE(f.ctx.g.gPOSID, QString());
    }
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
