// The message window: beeps once a tick, closes at the given seconds or at
// once on a key or a click, and is a fresh window every call. Ticks come from
// a source the test fires itself.
#include "common/Globals.h"
#include "dialogs/ManualTicks.h"
#include "dialogs/MessageWindow.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/TickSource.h"
#include "dialogs/WidgetDialogs.h"

#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTextEdit>

using namespace tolva;

namespace {

class CountingDialogs : public WidgetDialogs {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

const QString kMsg = QStringLiteral("frmMsg");

} // namespace

class TestMessageWindow : public QObject {
    Q_OBJECT

    Globals m_g;
    ManualTicks m_ticks;
    CountingDialogs* m_dialogs = nullptr;

    // Fires ticks until the window has closed (at most `limit`), noting the
    // beep count and whether the window is still up after each.
    struct Trace {
        QList<int> beeps;
        QList<bool> open;
    };
    void fireUntilClosed(Trace& trace, int limit) {
        whenShown(kMsg, [this, &trace, limit](QWidget*) {
            for (int i = 0; i < limit && isShown(kMsg); ++i) {
                m_ticks.fire();
                trace.beeps << m_dialogs->beeps;
                trace.open << isShown(kMsg);
            }
        });
    }

private slots:
    void init() {
        m_g = Globals();
        m_g.gCustName = QStringLiteral("台北敦化店");
        m_ticks.interval = 0;
        m_ticks.running = false;
        m_dialogs = new CountingDialogs;
        m_dialogs->setContext(&m_g, nullptr);
        m_dialogs->setMessageTicks(&m_ticks);
    }
    void cleanup() {
        delete m_dialogs;
        m_dialogs = nullptr;
        QVERIFY(!topLevel(kMsg));
    }

    void defaultThreeSecondsBeepsTwiceAndClosesAtTheThird() {
        Trace trace;
        fireUntilClosed(trace, 5);
        m_dialogs->ShowMsg(QStringLiteral("餘額不足"));
        QCOMPARE(trace.beeps, (QList<int>{1, 2, 2}));
        QCOMPARE(trace.open, (QList<bool>{true, true, false}));
        QCOMPARE(m_ticks.interval, 1000);
        QVERIFY(!m_ticks.running);
        // Unloaded on close: nothing of the window is left.
        QVERIFY(!topLevel(kMsg));
    }

    void secondsDecideTheBeepsAndTheClose_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<int>("ticks");
        QTest::newRow("one second: closes at the first tick, silent") << 1 << 0 << 1;
        QTest::newRow("two seconds") << 2 << 1 << 2;
        QTest::newRow("five seconds") << 5 << 4 << 5;
    }
    void secondsDecideTheBeepsAndTheClose() {
        QFETCH(int, seconds);
        QFETCH(int, beeps);
        QFETCH(int, ticks);
        Trace trace;
        fireUntilClosed(trace, 10);
        m_dialogs->ShowMsg(QStringLiteral("連線中斷，請改用電話授權"), seconds);
        QCOMPARE(m_dialogs->beeps, beeps);
        QCOMPARE(trace.open.size(), ticks);
        QVERIFY(!trace.open.last());
    }

    void showsTheMessageAndTheSiteNameLargeEnoughForTouch() {
        QString msg, cust, desc, title;
        QFont msgFont, custFont;
        QSize size;
        bool readOnly = false;
        QStringList unnamed;
        whenShown(kMsg, [&](QWidget* w) {
            auto* txt = w->findChild<QTextEdit*>(QStringLiteral("txtMsg"));
            auto* lblCust = w->findChild<QLabel*>(QStringLiteral("lblCustName"));
            auto* lblMsg = w->findChild<QLabel*>(QStringLiteral("lblMsg"));
            if (!txt || !lblCust || !lblMsg)
                return;
            msg = txt->toPlainText();
            readOnly = txt->isReadOnly();
            msgFont = txt->font();
            cust = lblCust->text();
            custFont = lblCust->font();
            desc = lblMsg->text();
            title = w->windowTitle();
            size = w->frameGeometry().size();
            const QStringList names{QStringLiteral("frmMsg"),      QStringLiteral("txtMsg"),
                                    QStringLiteral("lblCustName"), QStringLiteral("lblMsg"),
                                    QStringLiteral("Frame1"),      QStringLiteral("imgLogo")};
            for (const QString& name : names) {
                QWidget* c = name == kMsg ? w : w->findChild<QWidget*>(name);
                if (!c || c->accessibleDescription() != name)
                    unnamed << name;
            }
        });
        m_dialogs->ShowMsg(QStringLiteral("餘額不足"));
        QCOMPARE(msg, QStringLiteral("餘額不足"));
        QVERIFY(readOnly);
        QCOMPARE(msgFont.family(), QStringLiteral("Times New Roman"));
        QVERIFY(QFontInfo(msgFont).pixelSize() >= 24);
        QCOMPARE(cust, QStringLiteral("台北敦化店"));
        QCOMPARE(custFont.family(), QStringLiteral("Arial"));
        QVERIFY(QFontInfo(custFont).pixelSize() >= 26); // 20 points
        QCOMPARE(desc, QString());
        QCOMPARE(title, m_g.title());
        QVERIFY(size.width() <= 800 && size.height() <= 400);
        QCOMPARE(unnamed, QStringList());
    }

    // A refusal (no seconds) calls twice, then waits for the operator as
    // long as it takes; a touch or a key closes it.
    void aRefusalStaysUntilTouched_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("touch on the message") << false;
        QTest::newRow("key") << true;
    }
    void aRefusalStaysUntilTouched() {
        QFETCH(bool, byKey);
        bool upAfterTicks = false;
        bool ticking = true;
        bool closed = false;
        whenShown(kMsg, [&](QWidget* w) {
            for (int i = 0; i < 20; ++i)
                m_ticks.fire();
            upAfterTicks = isShown(kMsg);
            ticking = m_ticks.running;
            if (byKey) {
                QTest::keyClick(w, Qt::Key_Return);
            } else if (auto* txt = w->findChild<QTextEdit*>(QStringLiteral("txtMsg"))) {
                QTest::mouseClick(txt->viewport(), Qt::LeftButton);
            }
            closed = !isShown(kMsg);
        });
        m_dialogs->ShowRefusal(QStringLiteral("餘額不足: 餘額 300，需 1,000"));
        QVERIFY(upAfterTicks);
        QVERIFY(!ticking);
        QCOMPARE(m_dialogs->beeps, 2);
        QVERIFY(closed);
    }

    // The box is as large as its text: a short message makes a small box,
    // a long one wraps within a till's width and shows every line.
    void theBoxFitsItsText() {
        QSize shortBox;
        QSize longBox;
        bool allShown = false;
        whenShown(kMsg, [&](QWidget* w) { shortBox = w->size(); });
        m_dialogs->ShowMsg(QStringLiteral("已存檔"), 3);
        whenShown(kMsg, [&](QWidget* w) {
            longBox = w->size();
            auto* txt = w->findChild<QTextEdit*>(QStringLiteral("txtMsg"));
            allShown = txt && txt->document()->size().height() <= txt->viewport()->height() + 1;
        });
        m_dialogs->ShowMsg(QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認").repeated(6), 3);
        QVERIFY2(shortBox.width() < 720 && shortBox.height() < 300,
                 qPrintable(QStringLiteral("%1x%2").arg(shortBox.width()).arg(shortBox.height())));
        QVERIFY(longBox.height() > shortBox.height());
        QVERIFY(longBox.width() <= 800);
        QVERIFY(allShown);
        // A refusal with its figures fits one line: never wrapped early.
        int lines = 0;
        whenShown(kMsg, [&](QWidget* w) {
            auto* txt = w->findChild<QTextEdit*>(QStringLiteral("txtMsg"));
            if (txt)
                lines = txt->height() / QFontMetrics(txt->font()).lineSpacing();
        });
        m_dialogs->ShowMsg(QStringLiteral("餘額不足: 餘額 12,800，需 15,000"), 3);
        QCOMPARE(lines, 1);
    }

    void keyBeforeTheFirstTickClosesSilently_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::newRow("window, letter") << kMsg << int(Qt::Key_A);
        QTest::newRow("window, Esc") << kMsg << int(Qt::Key_Escape);
        QTest::newRow("window, Enter") << kMsg << int(Qt::Key_Return);
        QTest::newRow("message, space") << QStringLiteral("txtMsg") << int(Qt::Key_Space);
    }
    void keyBeforeTheFirstTickClosesSilently() {
        QFETCH(QString, target);
        QFETCH(int, key);
        bool closedByKey = false;
        whenShown(kMsg, [&](QWidget* w) {
            QWidget* to = target == kMsg ? w : w->findChild<QWidget*>(target);
            if (!to)
                return;
            QTest::keyClick(to, Qt::Key(key));
            closedByKey = !isShown(kMsg);
            m_ticks.fire(); // a late tick finds nothing to do
        });
        m_dialogs->ShowMsg(QStringLiteral("餘額不足"));
        QVERIFY(closedByKey);
        QCOMPARE(m_dialogs->beeps, 0);
        QVERIFY(!m_ticks.running);
    }

    void clickOnTheFrameOrTheMessageCloses_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("Frame1") << QStringLiteral("Frame1");
        QTest::newRow("txtMsg") << QStringLiteral("txtMsg");
        QTest::newRow("site name inside the frame") << QStringLiteral("lblCustName");
    }
    void clickOnTheFrameOrTheMessageCloses() {
        QFETCH(QString, target);
        bool closedByClick = false;
        whenShown(kMsg, [&](QWidget* w) {
            m_ticks.fire(); // one beep first
            QWidget* to = w->findChild<QWidget*>(target);
            if (!to)
                return;
            if (auto* edit = qobject_cast<QTextEdit*>(to))
                to = edit->viewport();
            // Frame1's own border, clear of the controls inside it.
            const QPoint at = target == QStringLiteral("Frame1") ? QPoint(1, 1) : to->rect().center();
            QTest::mouseClick(to, Qt::LeftButton, {}, at);
            closedByClick = !isShown(kMsg);
        });
        m_dialogs->ShowMsg(QStringLiteral("餘額不足"));
        QVERIFY(closedByClick);
        QCOMPARE(m_dialogs->beeps, 1);
    }

    void everyCallLoadsAFreshWindow() {
        QPointer<QWidget> first;
        whenShown(kMsg, [&](QWidget* w) {
            first = w;
            m_ticks.fire();
            m_ticks.fire();
        });
        m_dialogs->ShowMsg(QStringLiteral("一"), 3);
        QVERIFY(first.isNull());
        QCOMPARE(m_dialogs->beeps, 2);

        // The counter starts again at 0: a 2-second call beeps once more and
        // closes at its own second tick.
        QString shown;
        Trace trace;
        whenShown(kMsg, [&](QWidget* w) {
            if (auto* txt = w->findChild<QTextEdit*>(QStringLiteral("txtMsg")))
                shown = txt->toPlainText();
            for (int i = 0; i < 4 && isShown(kMsg); ++i) {
                m_ticks.fire();
                trace.open << isShown(kMsg);
            }
        });
        m_dialogs->ShowMsg(QStringLiteral("二"), 2);
        QCOMPARE(shown, QStringLiteral("二"));
        QCOMPARE(trace.open, (QList<bool>{true, false}));
        QCOMPARE(m_dialogs->beeps, 3);
    }

    void ownTimerRunsAtOneSecond() {
        // Without an injected source the window keeps a Timer1 of its own.
        MessageWindow::Setup setup;
        MessageWindow w(setup);
        auto* timer = qobject_cast<TimerTickSource*>(w.Timer1());
        QVERIFY(timer);
        QCOMPARE(timer->objectName(), QStringLiteral("Timer1"));
        QVERIFY(!timer->isActive());
        bool active = false;
        int interval = 0;
        QTimer::singleShot(0, &w, [&] {
            active = timer->isActive();
            interval = timer->interval();
            w.close();
        });
        w.ShowMsg(QStringLiteral("餘額不足"));
        QVERIFY(active);
        QCOMPARE(interval, 1000);
        QVERIFY(!timer->isActive());
    }
};

QTEST_MAIN(TestMessageWindow)
#include "tst_msgwindow.moc"
