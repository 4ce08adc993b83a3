// The link client against a scripted far end on a loopback socket: how
// replies are taken, shown and loaded, how waits end, and what is refused.
#include "link/LinkFixture.h"

#include <QTest>
#include <QTimer>

using namespace tolva;
using namespace std::chrono_literals;

namespace {
const QByteArray kLoginOk = "ZELQTCPCNT00000000\x03";
}

class TestLinkClient : public QObject {
    Q_OBJECT

    // Logs in through the peer; the wait ends with the reply.
    static bool logIn(DeskLink& desk, ScriptedPeer& peer, const QString& password = QStringLiteral("pw")) {
        peer.answers.enqueue(kLoginOk);
        return desk.link.Connect_TCPSrv(peer.host(), peer.port(), password);
    }

private slots:
    void logInAcceptsALowerCaseCommandWord() {
        DeskLink desk;
        ScriptedPeer peer;
        peer.answers.enqueue("zelqtcpcnt00000000\x03");
        QVERIFY(desk.link.Connect_TCPSrv(peer.host(), peer.port(), QString()));
        QVERIFY(desk.link.isLinked());
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::Replied);
        QCOMPARE(peer.requests, QList<QByteArray>{QByteArray("ZELQTCPCNT00\x03")});
        QCOMPARE(desk.indicators.mode, QStringLiteral("Connected.  "));
        QCOMPARE(desk.indicators.messageLines, QStringList{QString()});
    }

    void refusedLogInShowsTheTextAndAnswersFalse() {
        DeskLink desk;
        ScriptedPeer peer;
        peer.answers.enqueue(QByteArray("ZELQTCPCNT01000000") + desk.cp.encode(QStringLiteral("密碼錯誤")) +
                             '\x03');
        QVERIFY(!desk.link.Connect_TCPSrv(peer.host(), peer.port(), QStringLiteral("bad")));
        QVERIFY(!desk.link.isLinked());
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::Failed);
        QCOMPARE(desk.dialogs.texts(), QStringList{QStringLiteral("密碼錯誤")});
        QCOMPARE(desk.dialogs.shownAt(0).icon, Dialogs::Icon::Critical);
        QVERIFY(desk.indicators.mode.isEmpty());
    }

    void selectLoadsRowsAndKeepsTheHeader() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        peer.answers.enqueue(QByteArray("ZELQSELECT00000001CustName\tTel1;") +
                             desk.cp.encode(QStringLiteral("王小明")) + "\t02-1234\x03");
        desk.fgTMP.setRows(3); // rows of an earlier query go
        QVERIFY(desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select CustName, Tel1 From Cust"),
                                     desk.fgTMP, false));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::Replied);
        QCOMPARE(desk.fgTMP.Rows(), 1);
        QCOMPARE(desk.fgTMP.Cols(), 2);
        QCOMPARE(desk.fgTMP.TextMatrix(0, 0), QStringLiteral("王小明"));
        QCOMPARE(desk.fgTMP.TextMatrix(0, 1), QStringLiteral("02-1234"));
        QCOMPARE(desk.link.lastHeader(), QStringLiteral("CustName\tTel1"));
        QCOMPARE(peer.requests.value(peer.requests.size() - 1),
                 QByteArray("ZELQSELECT00Select CustName, Tel1 From Cust\x03"));

        // A ";" after the last row adds an empty row; with the header flag row 0 comes too.
        peer.answers.enqueue("ZELQSELECT00000001A\tB;1\t2;\x03");
        QVERIFY(desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select A, B From Cust"), desk.fgTMP,
                                     true));
        QCOMPARE(desk.fgTMP.Rows(), 3);
        QCOMPARE(desk.fgTMP.TextMatrix(0, 0), QStringLiteral("A"));
        QCOMPARE(desk.fgTMP.TextMatrix(1, 1), QStringLiteral("2"));
        QCOMPARE(desk.fgTMP.TextMatrix(2, 0), QString());
    }

    void emptyAndFailedRepliesAreToldApart() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));

        peer.answers.enqueue("ZELQSELECT00000000\x03");
        QVERIFY(!desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select 1 From Cust"), desk.fgTMP,
                                      false));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::Replied); // no rows
        QVERIFY(desk.dialogs.shown.isEmpty());

        peer.answers.enqueue(QByteArray("ZELQSELECT04000000") +
                             desk.cp.encode(QStringLiteral("資料表不存在")) + '\x03');
        QVERIFY(!desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select 1 From Cust"), desk.fgTMP,
                                      false));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::Failed);
        QCOMPARE(desk.fgTMP.Rows(), 0);
        QCOMPARE(desk.dialogs.texts(), QStringList{QStringLiteral("資料表不存在")});
        QCOMPARE(desk.dialogs.lastShown().icon, Dialogs::Icon::Critical);

        QString result = QStringLiteral("untouched");
        peer.answers.enqueue("ZELQSERVER04000000\x03"); // a failure without a text shows nothing
        QVERIFY(!desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"),
                                       result));
        QCOMPARE(result, QStringLiteral("untouched"));
        QCOMPARE(desk.dialogs.shown.size(), 1);

        peer.answers.enqueue("ZELQSERVER00000001done\x03");
        QVERIFY(
            desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"), result));
        QCOMPARE(result, QStringLiteral("done"));
    }

    void missingReplyIsAFailureAndClosesTheLink() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        desk.link.setStepLength(1ms);
        desk.link.setTimeoutSeconds(1); // 10 steps of 1 ms
        desk.fgTMP.setRows(2);
        QVERIFY(!desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select 1 From Cust"), desk.fgTMP,
                                      false));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NoReply);
        QCOMPARE(desk.fgTMP.Rows(), 0);
        QVERIFY(desk.dialogs.shown.isEmpty());
        // A late reply can no longer be taken for the answer of another request.
        QCOMPARE(desk.link.Winsock1().state(), QAbstractSocket::UnconnectedState);

        QCOMPARE(desk.indicators.mode, QString());

        // Nothing goes out on the closed link: the caller learns it was not
        // sent (not that it went unanswered), and no developer box is shown.
        QString result;
        QVERIFY(!desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"),
                                       result));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NotSent);
        QVERIFY(desk.logText().contains(QStringLiteral("LinkDOWN: SERVER")));
        QVERIFY(desk.dialogs.shown.isEmpty());
    }

    // A wait shows the operator the desk is waiting (message line and busy
    // pointer) and takes both back when it ends: answered, refused with a
    // box, or run out.
    void waitShowsTheServiceIsAwaited() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        desk.link.setStepLength(1ms);
        desk.link.setTimeoutSeconds(1);
        desk.link.setBusyAfter(0ms);
        desk.indicators.messageLines.clear();
        const QString waiting = QStringLiteral("等待會員資料庫回應…");
        QString result;

        peer.answers.enqueue("ZELQSERVER00000001done\x03");
        QVERIFY(
            desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"), result));
        QCOMPARE(desk.indicators.messageLines.first(), waiting);
        QCOMPARE(desk.indicators.messageLines.last(), QString());
        QCOMPARE(desk.dialogs.busyPointers, 1);
        QCOMPARE(desk.dialogs.normalPointers, 1);

        peer.answers.enqueue("ZELQSERVER99000000refused\x03");
        QVERIFY(!desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"),
                                       result));
        QCOMPARE(desk.dialogs.shown.size(), 1);
        QCOMPARE(desk.dialogs.busyPointers, 2);
        QCOMPARE(desk.dialogs.normalPointers, 2);
        QCOMPARE(desk.indicators.messageLines.last(), QString());

        desk.indicators.messageLines.clear();
        QVERIFY(!desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"),
                                       result));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NoReply);
        QCOMPARE(desk.indicators.messageLines, QStringList({waiting, QString()}));
        QCOMPARE(desk.dialogs.busyPointers, 3);
        QCOMPARE(desk.dialogs.normalPointers, 3);
    }

    void logInWithoutAnswerRunsOut() {
        DeskLink desk;
        ScriptedPeer peer; // never answers
        desk.link.setStepLength(1ms);
        desk.link.setLoginSteps(20);
        QVERIFY(!desk.link.Connect_TCPSrv(peer.host(), peer.port(), QStringLiteral("pw")));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NoReply);
        QCOMPARE(peer.requests.size(), 1);
    }

    void refusedConnectionEndsTheWaitAndIsLogged() {
        DeskLink desk;
        quint16 port;
        {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            port = closed.serverPort();
        }
        // The full 20 s wait is in place: only the error event can end it early.
        QVERIFY(!desk.link.Connect_TCPSrv(QStringLiteral("127.0.0.1"), QString::number(port),
                                          QStringLiteral("pw")));
        QVERIFY(desk.logText().contains(QStringLiteral("WinsockERROR: ")));
        QVERIFY(desk.dialogs.shown.isEmpty());
    }

    void sendingWithoutAConnectionIsReported() {
        DeskLink desk;
        desk.fgTMP.setRows(1);
        QVERIFY(!desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select 1 From Cust"), desk.fgTMP,
                                      false));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NotSent);
        QCOMPARE(desk.fgTMP.Rows(), 0);
        // The log says why; the operator hears it from the desk in its own words.
        QVERIFY(desk.logText().contains(QStringLiteral("LinkDOWN: SELECT not sent: no connection")));
        QVERIFY(desk.dialogs.shown.isEmpty());
    }

    void dataHoldingTheTerminatorIsNeverSent() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        QString result;
        const QString smuggled = QStringLiteral("Select 1 From Cust Where CustNo = 'x'") + QChar(3) +
                                 QStringLiteral("ZELQSERVER00Update Cust set TBonusAmt = 999999");
        QVERIFY(!desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), smuggled, result));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NotSent);
        QVERIFY(!desk.link.SelectData(desk.link.prefix(), smuggled, desk.fgTMP, false));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NotSent);
        QCOMPARE(peer.requests.size(), 1); // the log-in only

        // A password holding it is not sent either: the log-in fails.
        DeskLink other;
        ScriptedPeer otherPeer;
        QVERIFY(!logIn(other, otherPeer, QStringLiteral("pw") + QChar(3) + QStringLiteral("ZELQSERVER00x")));
        QVERIFY(otherPeer.requests.isEmpty());
    }

    void countFieldOfAServerReply() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        QString result;
        peer.answers.enqueue("ZELQSERVER00000000\x03");
        QVERIFY(
            desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"), result));
        QCOMPARE(desk.link.lastCount(), std::optional<qint64>(0));
        peer.answers.enqueue("ZELQSERVER00000002\x03");
        QVERIFY(
            desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"), result));
        QCOMPARE(desk.link.lastCount(), std::optional<qint64>(2));
        // A service that leaves the field blank tells nothing about rows.
        peer.answers.enqueue("ZELQSERVER00      \x03");
        QVERIFY(
            desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("x"), result));
        QCOMPARE(desk.link.lastCount(), std::nullopt);
    }

    void closingNoticeWhileIdle() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        peer.push("ZELQTCPCLS00000000\x03");
        QTRY_COMPARE(desk.dialogs.shown.size(), 1);
        QCOMPARE(desk.dialogs.shownAt(0).text, QStringLiteral("遠端TCP通訊服務程式已關閉"));
        QCOMPARE(desk.dialogs.shownAt(0).icon, Dialogs::Icon::Warning);
        QVERIFY(desk.link.isLinked()); // the link state is not changed
    }

    void closingNoticeIsNotTheAnswerToARequest() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        peer.answers.enqueue("ZELQTCPCLS00000000\x03");
        peer.closeAfterAnswer = true; // the service goes away without answering the request itself
        QString result;
        QVERIFY(!desk.link.SEND_TCPCMD(desk.link.prefix(), QStringLiteral("SERVER"), QStringLiteral("Update"),
                                       result));
        QCOMPARE(desk.link.lastOutcome(), LinkOutcome::NoReply);
        QCOMPARE(desk.dialogs.texts(), QStringList{QStringLiteral("遠端TCP通訊服務程式已關閉")});
    }

    void replySplitOverSegmentsAndASecondReplyDropped() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        // The answer arrives in three pieces; the last one carries a second reply too.
        QTimer::singleShot(0, [&] {
            peer.push("ZELQSEL");
            QTimer::singleShot(5, [&] {
                peer.push("ECT00000001H;");
                QTimer::singleShot(5, [&] { peer.push("first\x03ZELQSELECT00000001H;second\x03"); });
            });
        });
        QVERIFY(desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select H From Cust"), desk.fgTMP,
                                     false));
        QCOMPARE(desk.fgTMP.Rows(), 1);
        QCOMPARE(desk.fgTMP.TextMatrix(0, 0), QStringLiteral("first"));
        QVERIFY(!desk.link.hasPartialReply());
    }

    void secondRequestInsideAWaitIsRefused() {
        DeskLink desk;
        ScriptedPeer peer;
        QVERIFY(logIn(desk, peer));
        bool inner = true;
        LinkOutcome innerOutcome = LinkOutcome::Replied;
        // A timer fires inside the wait (as a handler would) and tries a second request.
        QTimer::singleShot(0, [&] {
            Grid other;
            inner =
                desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select 2 From Cust"), other, false);
            innerOutcome = desk.link.lastOutcome();
            peer.push("ZELQSELECT00000001N;1\x03");
        });
        QVERIFY(desk.link.SelectData(desk.link.prefix(), QStringLiteral("Select 1 From Cust"), desk.fgTMP,
                                     false));
        QVERIFY(!inner);
        QCOMPARE(innerOutcome, LinkOutcome::Failed);
        QCOMPARE(peer.requests.size(), 2); // the log-in and the first request only
        QVERIFY(desk.logText().contains(QStringLiteral("LinkBUSY: SELECT")));
        QCOMPARE(desk.fgTMP.TextMatrix(0, 0), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestLinkClient)
#include "tst_linkclient.moc"
