// Station parameters in xxPARAM and the message texts of the Msg table.
#include "data/Messages.h"
#include "data/Params.h"
#include "data/Station.h"

#include <QSqlQuery>

using namespace tolva;

class TestParamsMessages : public QObject {
    Q_OBJECT

private slots:
    void parameterRows_data() { Site::rows(); }
    void parameterRows() {
        QFETCH(QString, kind);
        Site site(kind);
        REQUIRE_SITE(site);
        Station s(site);
        Database& db = s.ctx.gCNT;
        db.execute(QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('NullValue', NULL)"));
        db.execute(QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('EmptyValue', '')"));

        QString value = QStringLiteral("default");
        QVERIFY(!getParamValue(s.ctx, QStringLiteral("NoSuchRow"), value));
        QCOMPARE(value, QStringLiteral("default"));
        QVERIFY(!getParamValue(s.ctx, QStringLiteral("NullValue"), value));
        QCOMPARE(value, QString());
        value = QStringLiteral("default");
        QVERIFY(!getParamValue(s.ctx, QStringLiteral("EmptyValue"), value));
        QCOMPARE(value, QString());

        // A new parameter is inserted (FileDate only), an existing one updated
        // (UpdDate only); quotes and Chinese survive both ways.
        const QString text = QStringLiteral("王's 店\t1");
        // A name made to break out of a quoted literal is stored as typed.
        QVERIFY(SetParamValue(s.ctx, QStringLiteral("Evil"), QStringLiteral("x'); DELETE FROM xxPARAM; --")));
        QVERIFY(getParamValue(s.ctx, QStringLiteral("Evil"), value));
        QCOMPARE(value, QStringLiteral("x'); DELETE FROM xxPARAM; --"));
        QVERIFY(SetParamValue(s.ctx, QStringLiteral("StoreName"), text));
        QVERIFY(db.hasRow(QStringLiteral("SELECT 1 FROM xxPARAM WHERE ParamID = 'StoreName' AND FileDate IS "
                                         "NOT NULL AND UpdDate IS NULL")));
        QVERIFY(getParamValue(s.ctx, QStringLiteral("StoreName"), value));
        QCOMPARE(value, text);
        QVERIFY(SetParamValue(s.ctx, QStringLiteral("StoreName"), QStringLiteral("S01")));
        QVERIFY(db.hasRow(
            QStringLiteral("SELECT 1 FROM xxPARAM WHERE ParamID = 'StoreName' AND UpdDate IS NOT NULL")));
        QVERIFY(getParamValue(s.ctx, QStringLiteral("StoreName"), value));
        QCOMPARE(value, QStringLiteral("S01"));
        QSqlQuery count =
            db.query(QStringLiteral("SELECT COUNT(*) FROM xxPARAM WHERE ParamID = 'StoreName'"));
        QVERIFY(count.next());
        QCOMPARE(count.value(0).toInt(), 1);
        QVERIFY(s.dialogs.shown.isEmpty());
        QCOMPARE(s.errors(), QString());
    }

    void parameterFailures() {
        Site site(QStringLiteral("sqlite"));
        Station s(site);
        s.ctx.gCNT.execute(QStringLiteral("DROP TABLE xxPARAM"));
        QString value = QStringLiteral("default");
        // Reads only log, writes show the error.
        QVERIFY(!getParamValue(s.ctx, QStringLiteral("OPDATE"), value));
        QVERIFY(!getParamValue(s.ctx, QStringLiteral("StoreID"), value));
        QCOMPARE(value, QStringLiteral("default"));
        QVERIFY(s.dialogs.shown.isEmpty());
        QCOMPARE(s.errors().count(QStringLiteral("(getParamValue)")), 2);
        QVERIFY(!SetParamValue(s.ctx, QStringLiteral("OPDATE"), QStringLiteral("2005/03/07")));
        QCOMPARE(s.dialogs.shown.size(), 1);
        QVERIFY(s.errors().contains(QStringLiteral("(SetParamValue)")));
    }

    void messagePlaceholders_data() { Site::rows(); }
    void messagePlaceholders() {
        QFETCH(QString, kind);
        Site site(kind);
        REQUIRE_SITE(site);
        Station s(site);
        prepareMessages(s.ctx);
        const QString id = QStringLiteral("Three");
        s.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO Msg (MsgID, MsgText) VALUES ('Three', '%%1-%%2-%%3 %%1')"));
        s.ctx.gCNT.execute(QStringLiteral("INSERT INTO Msg (MsgID, MsgText) VALUES ('Null', NULL)"));
        const auto p = [](const char* text) { return std::optional<QString>(QString::fromUtf8(text)); };

        QCOMPARE(LocalMsg(s.ctx, id, p("a"), p("b"), p("c")), QStringLiteral("a-b-c a"));
        QCOMPARE(LocalMsg(s.ctx, id), QStringLiteral("%%1-%%2-%%3 %%1"));
        QCOMPARE(LocalMsg(s.ctx, id, p("a")), QStringLiteral("a-%%2-%%3 a"));
        // Without p1 nothing is replaced, without p2 no p3.
        QCOMPARE(LocalMsg(s.ctx, id, std::nullopt, p("b"), p("c")), QStringLiteral("%%1-%%2-%%3 %%1"));
        QCOMPARE(LocalMsg(s.ctx, id, p("a"), std::nullopt, p("c")), QStringLiteral("a-%%2-%%3 a"));
        // The replacements run one after the other, p1 first.
        QCOMPARE(LocalMsg(s.ctx, id, p("%%2"), p("x")), QStringLiteral("x-x-%%3 x"));
        QCOMPARE(IDMSG(s.ctx, QStringLiteral("ErrorGetOrderI"), p("A5"), p("18:42")),
                 QStringLiteral("找不到此批點菜明細資料(桌號: A5, 時間: 18:42)"));
        QCOMPARE(LocalMsg(s.ctx, QStringLiteral("No'Such")), QStringLiteral("No'Such"));
        QCOMPARE(LocalMsg(s.ctx, QStringLiteral("Null"), p("a")), QString());
        QVERIFY(s.dialogs.shown.isEmpty());
        QCOMPARE(s.errors(), QString());
    }

    void messageQueryIsPreparedOncePerConnection() {
        Site site(QStringLiteral("sqlite"));
        Station s(site);
        Database& db = s.ctx.gCNT;
        prepareMessages(s.ctx);
        const QString sql = QString::fromLatin1(kMessageQuery);
        QSqlQuery* first = &db.prepared(sql);
        QCOMPARE(LocalMsg(s.ctx, QStringLiteral("PrintSlipOK")), QStringLiteral("列印完成"));
        QCOMPARE(&db.prepared(sql), first);
        // The finished lookup holds no lock: another connection can write.
        Database other;
        other.open(site.connectionString());
        other.execute(QStringLiteral("UPDATE Msg SET MsgText = '好了' WHERE MsgID = 'PrintSlipOK'"));
        QCOMPARE(LocalMsg(s.ctx, QStringLiteral("PrintSlipOK")), QStringLiteral("好了"));
        // A reopened connection prepares again.
        db.open(site.connectionString());
        QCOMPARE(LocalMsg(s.ctx, QStringLiteral("PrintSlipOK")), QStringLiteral("好了"));
        QCOMPARE(s.errors(), QString());
    }

    void messageFailuresAreLoggedUnderTheirNames() {
        Site site(QStringLiteral("sqlite"));
        Station s(site);
        prepareMessages(s.ctx);
        s.ctx.gCNT.execute(QStringLiteral("DROP TABLE Msg"));
        QCOMPARE(LocalMsg(s.ctx, QStringLiteral("PrintSlipOK")), QString());
        QCOMPARE(IDMSG(s.ctx, QStringLiteral("PrintSlipOK")), QString());
        const QString errors = s.errors();
        QVERIFY2(errors.contains(QStringLiteral("(LocalMsg)")), qPrintable(errors));
        QVERIFY2(errors.contains(QStringLiteral("(IDMSG)")), qPrintable(errors));
        QVERIFY(s.dialogs.shown.isEmpty());

        // Without a message table the start logs it once.
        Station fresh(site, QStringLiteral("F"));
        prepareMessages(fresh.ctx);
        QVERIFY(fresh.errors().contains(QStringLiteral("(prepareMessages)")));
    }
};

QTEST_GUILESS_MAIN(TestParamsMessages)
#include "tst_params_messages.moc"
