// The desk's link client over TLS against the real memberd, with
// certificates made by the test: each certificate the desk must not trust
// (another CA, out of date, another address), a store without its client
// certificate, and a port that speaks the other language are refused with a
// message the operator can read; the link never falls back to clear text, and
// nothing is posted.
#include "link/LinkFixture.h"
#include "support/LoopbackBlock.h"
#include "support/MemberdProcess.h"
#include "support/TestCertificates.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace tolva;

namespace {

const QString kInsert =
    QStringLiteral("INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('T1', 'x', 0)");

LinkSettings settingsFor(const QString& host, const TestCertificates& certs, const QString& client = {}) {
    LinkSettings s;
    s.host = host;
    s.password = QStringLiteral("secret");
    s.tls.on = true;
    s.tls.caFile = certs.ca();
    if (!client.isEmpty()) {
        s.tls.certFile = certs.cert(client);
        s.tls.keyFile = certs.key(client);
    }
    return s;
}

// Rows of CUST in the member database file, read apart from memberd.
int cards(const QString& file) {
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(QStringLiteral("SELECT COUNT(*) FROM CUST"), db);
            n = q.next() ? q.value(0).toInt() : -1;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

} // namespace

class TestLinkTls : public QObject {
    Q_OBJECT

    // Tries a log-in that must fail, then a posting; the operator reads
    // shownText, nothing went out and the link stays down.
    static void refused(DeskLink& desk, const LinkSettings& settings, const QString& shownText) {
        QVERIFY(!desk.link.connectWith(settings));
        QVERIFY(!desk.link.isLinked());
        const QString shown = desk.dialogs.texts().join(QLatin1Char('|'));
        QVERIFY2(shown.contains(shownText), qPrintable(shown));
        QString result;
        QVERIFY(!desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), kInsert, result));
        // Not sent, or sent into a connection the service is closing: never answered.
        QVERIFY(desk.link.lastOutcome() == LinkOutcome::NotSent ||
                desk.link.lastOutcome() == LinkOutcome::NoReply);
        desk.dialogs.shown.clear();
    }

private slots:
    void certificatesTheDeskMustNotTrust() {
        DeskLink desk;
        desk.link.setStepLength(std::chrono::milliseconds(5));
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.150"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        const QString db = desk.dir.filePath(QStringLiteral("member.db"));
        const struct {
            QString server;
            QString reason;
        } cases[] = {
            {QStringLiteral("other-server"), QStringLiteral("伺服器憑證不是設定的 CA 所簽發")},
            {QStringLiteral("expired"), QStringLiteral("伺服器憑證已過期 (2020/02/01)")},
            {QStringLiteral("wrong-name"),
             QStringLiteral("伺服器憑證不是發給 ") + address + QStringLiteral(" 的")},
        };
        for (const auto& c : cases) {
            MemberdProcess memberd(address, QStringLiteral("Provider=SQLite;Data Source=") + db,
                                   certs.serverArgs(c.server));
            QVERIFY2(memberd.start(), qPrintable(memberd.log()));
            refused(desk, settingsFor(memberd.address(), certs), QStringLiteral("憑證驗證失敗: ") + c.reason);
            QVERIFY(desk.logText().contains(QStringLiteral("LinkDOWN: 憑證驗證失敗: ")));
            QVERIFY(memberd.waitForLog(QStringLiteral("TLS handshake failed")));
        }
        QCOMPARE(cards(db), 0);

        // With the right certificate the same desk gets in, and the keyed
        // postings are announced as before.
        MemberdProcess memberd(address, QStringLiteral("Provider=SQLite;Data Source=") + db,
                               certs.serverArgs());
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        QVERIFY(desk.link.connectWith(settingsFor(memberd.address(), certs)));
        QVERIFY(desk.link.keyedPostings());
        QVERIFY(desk.link.peerCertificateSummary().startsWith(QStringLiteral("伺服器憑證: ")));
        QString result;
        QVERIFY(desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), kInsert, result));
        QCOMPARE(cards(db), 1);
    }

    // Where the service wants the store's certificate, a desk without one,
    // or with one of another CA, is not let in.
    void storeCertificateIsRequired() {
        DeskLink desk;
        desk.link.setStepLength(std::chrono::milliseconds(5));
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.151"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        const QString db = desk.dir.filePath(QStringLiteral("member.db"));
        MemberdProcess memberd(address, QStringLiteral("Provider=SQLite;Data Source=") + db,
                               certs.serverArgs() +
                                   QStringList{QStringLiteral("--tls-client-ca"), certs.ca()});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));
        refused(desk, settingsFor(memberd.address(), certs),
                QStringLiteral("無法建立加密連線: 會員資料服務要求本店的用戶端憑證"));
        refused(desk, settingsFor(memberd.address(), certs, QStringLiteral("other-client")),
                QStringLiteral("無法建立加密連線: 會員資料服務不接受本店的用戶端憑證"));
        // The log keeps OpenSSL's words for whoever looks into it.
        QVERIFY(desk.logText().contains(QStringLiteral("WinsockERROR: ")));
        QCOMPARE(cards(db), 0);
        QVERIFY(desk.link.connectWith(settingsFor(memberd.address(), certs, QStringLiteral("client"))));
        QVERIFY(memberd.waitForLog(QStringLiteral("logged in as store S01 (certificate)")));
    }

    // A clear-text desk at the TLS port reads the service's refusal; a TLS
    // desk at the clear-text port is told the handshake failed.
    void portsOfTheOtherLanguage() {
        DeskLink desk;
        desk.link.setStepLength(std::chrono::milliseconds(5));
        const QString address = LoopbackBlock::own(QStringLiteral("127.0.0.152"));
        const QString plain = LoopbackBlock::own(QStringLiteral("127.0.0.153"));
        TestCertificates certs(address);
        QVERIFY2(certs.ok(), qPrintable(certs.error()));
        const QString db = desk.dir.filePath(QStringLiteral("member.db"));
        MemberdProcess memberd(address, QStringLiteral("Provider=SQLite;Data Source=") + db,
                               certs.serverArgs() + QStringList{QStringLiteral("--plain-listen"),
                                                                plain + QStringLiteral(":3501")});
        QVERIFY2(memberd.start(), qPrintable(memberd.log()));

        LinkSettings clear = settingsFor(memberd.address(), certs);
        clear.tls.on = false;
        refused(desk, clear, QStringLiteral("此連線埠只接受 TLS 加密連線"));
        refused(desk, settingsFor(plain, certs),
                QStringLiteral(
                    "無法建立加密連線: 會員資料服務在加密交握時關閉連線 (該連線埠可能不是加密連線埠)"));
        QVERIFY(memberd.waitForLog(QStringLiteral("refused: a TLS handshake at the clear-text port")));
        QCOMPARE(cards(db), 0);

        // A CA file that cannot be read stops the log-in before any byte goes out.
        LinkSettings noCa = settingsFor(memberd.address(), certs);
        noCa.tls.caFile = certs.path(QStringLiteral("missing.pem"));
        QVERIFY(!desk.link.connectWith(noCa));
        QVERIFY(desk.dialogs.texts().join(QLatin1Char('|')).contains(QStringLiteral("無法讀取 CA 憑證檔: ")));
        clear.host = plain;
        QVERIFY(desk.link.connectWith(clear));
    }
};

QTEST_MAIN(TestLinkTls)
#include "tst_link_tls.moc"
