// The desk over TLS: the settings page keeps the TLS settings beside the
// address and password, the connection test shows the service's certificate,
// and a handed-over deduction is posted (keyed) end to end over TLS with the
// store's client certificate, against the real memberd and its own
// certificates made by the test.
#include "desk/MemberDesk.h"
#include "support/LoopbackBlock.h"
#include "support/TestCertificates.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace tolva;

class TestDeskTls : public QObject {
    Q_OBJECT

    static QStringList tlsArgs(const TestCertificates& certs) {
        return certs.serverArgs() + QStringList{QStringLiteral("--tls-client-ca"), certs.ca()};
    }
    static void saveTls(MemberDesk& m, const TestCertificates& certs) {
        m.f.save("ZELQ", "TOLVA", "TLS", QStringLiteral("1"));
        m.f.save("ZELQ", "TOLVA", "TLSCA", certs.ca());
        m.f.save("ZELQ", "TOLVA", "TLSCert", certs.cert(QStringLiteral("client")));
        m.f.save("ZELQ", "TOLVA", "TLSKey", certs.key(QStringLiteral("client")));
    }

private slots:
    void handedOverDeductionIsPostedOverTls_data() {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("SQLite") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void handedOverDeductionIsPostedOverTls() {
        QFETCH(bool, postgres);
        TestPostgres pg;
        if (postgres)
            REQUIRE_POSTGRES(pg);
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.190"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberDesk m(address, postgres ? pg.connectionString() : QString(), tlsArgs(certs));
        QVERIFY2(m.memberd->start(), qPrintable(m.memberd->log()));
        saveTls(m, certs);
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), QStringLiteral("M0001"));
        m.desk.Form_Load();
        QVERIFY2(m.link.isLinked(), qPrintable(m.f.dialogs.lastMsg()));
        QVERIFY(m.link.keyedPostings());
        // The settings page shows what the store holds.
        QVERIFY(m.view.isChecked(ctl::chkTLS));
        QCOMPARE(m.view.text(ctl::txtTlsCA), certs.ca());
        m.desk.cmdOK_Click(1);
        QVERIFY(m.view.ended);
        QCOMPARE(m.f.get("ZEL", "TOLVA", "TxnAmtAuth"), QStringLiteral("300"));
        QCOMPARE(m.balance(QStringLiteral("M0001")), 700.0);
        QCOMPARE(m.remoteLogRows(), 1);
        QVERIFY(m.memberd->waitForLog(QStringLiteral("logged in as store S01 (certificate)")));
    }

    // The desk that keeps clear text against a TLS service is told so, and
    // posts nothing.
    void clearTextDeskIsToldAndPostsNothing() {
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.191"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberDesk m(address, QString(), certs.serverArgs());
        QVERIFY2(m.memberd->start(), qPrintable(m.memberd->log()));
        m.addCard(QStringLiteral("M0001"), QStringLiteral("甲"), 1000);
        m.handOff(QStringLiteral("2"), QStringLiteral("300"), QStringLiteral("M0001"));
        m.desk.Form_Load();
        QVERIFY(!m.link.isLinked());
        QVERIFY2(m.f.dialogs.texts().contains(QStringLiteral("此連線埠只接受 TLS 加密連線")),
                 qPrintable(m.f.dialogs.texts().join(QLatin1Char('|'))));
        m.desk.cmdOK_Click(1);
        QCOMPARE(m.balance(QStringLiteral("M0001")), 1000.0);
        QCOMPARE(m.remoteLogRows(), 0);
    }

    // 設定 keeps the TLS settings (checked first), 測試連線 shows the
    // service's certificate, and both refuse settings that cannot work.
    void settingsPageKeepsAndTestsTls() {
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.192"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        MemberDesk m(address, QString(), tlsArgs(certs));
        QVERIFY2(m.memberd->start(), qPrintable(m.memberd->log()));
        SettingsPage& page = m.desk.settingsPage();
        m.view.setText(ctl::txtIP, m.memberd->address());
        m.view.setText(ctl::txtPWD, QStringLiteral("secret"));
        m.view.setChecked(ctl::chkTLS, true);

        page.cmdSetting_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("請輸入 CA 憑證檔"));
        m.view.setText(ctl::txtTlsCA, certs.ca());
        m.view.setText(ctl::txtTlsCert, certs.cert(QStringLiteral("client")));
        page.cmdTest_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("用戶端憑證檔與金鑰檔須一併設定"));
        m.view.setText(ctl::txtTlsKey, certs.path(QStringLiteral("no-such.key")));
        page.cmdSetting_Click();
        QCOMPARE(m.f.dialogs.lastMsg(),
                 QStringLiteral("無法讀取檔案: ") + certs.path(QStringLiteral("no-such.key")));
        QCOMPARE(m.f.get("ZELQ", "TOLVA", "TLS"), QString());

        m.view.setText(ctl::txtTlsKey, certs.key(QStringLiteral("client")));
        page.cmdTest_Click();
        const QString shown = m.f.dialogs.lastMsg();
        QVERIFY2(shown.startsWith(QStringLiteral("連線成功 (加密連線)\n伺服器憑證: ")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("memberd")), qPrintable(shown));
        const QString expiry = QSslCertificate::fromPath(certs.cert(QStringLiteral("server")))
                                   .value(0)
                                   .expiryDate()
                                   .toLocalTime()
                                   .toString(QStringLiteral("yyyy/MM/dd"));
        QVERIFY2(shown.contains(QStringLiteral("有效期限至: ") + expiry), qPrintable(shown));

        page.cmdSetting_Click();
        QCOMPARE(m.f.get("ZELQ", "TOLVA", "TLS"), QStringLiteral("1"));
        QCOMPARE(m.f.get("ZELQ", "TOLVA", "TLSCA"), certs.ca());
        QCOMPARE(m.f.get("ZELQ", "TOLVA", "TLSCert"), certs.cert(QStringLiteral("client")));
        QCOMPARE(m.f.get("ZELQ", "TOLVA", "TLSKey"), certs.key(QStringLiteral("client")));
        QVERIFY(m.desk.state().link().tls.on);

        // Without its certificate the store is not let in.
        m.view.setText(ctl::txtTlsCert, QString());
        m.view.setText(ctl::txtTlsKey, QString());
        page.cmdTest_Click();
        QCOMPARE(m.f.dialogs.lastMsg(), QStringLiteral("無法與會員資料庫連線!!"));
        QVERIFY2(m.f.dialogs.texts()
                     .join(QLatin1Char('|'))
                     .contains(QStringLiteral("無法建立加密連線: 會員資料服務要求本店的用戶端憑證")),
                 qPrintable(m.f.dialogs.texts().join(QLatin1Char('|'))));
    }
};

QTEST_MAIN(TestDeskTls)
#include "tst_desk_tls.moc"
