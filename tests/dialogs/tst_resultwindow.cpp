// The result window: a posting's result in large type, closed by its one
// tick or at once by a touch or a key, nothing shown for no time; its type
// grows with the window it serves.
#include "dialogs/ManualTicks.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/ResultWindow.h"
#include "dialogs/WidgetDialogs.h"

#include <QLabel>

using namespace tolva;

namespace {
const QString kResult = QStringLiteral("frmResult");
const QString kText = QStringLiteral("已扣點 500 ／ 餘額 17,550");
} // namespace

class TestResultWindow : public QObject {
    Q_OBJECT

    ManualTicks m_ticks;
    WidgetDialogs* m_dialogs = nullptr;

private slots:
    void init() {
        m_ticks.interval = 0;
        m_ticks.running = false;
        m_dialogs = new WidgetDialogs;
        m_dialogs->setResultTicks(&m_ticks);
    }
    void cleanup() {
        delete m_dialogs;
        m_dialogs = nullptr;
        QVERIFY(!topLevel(kResult));
    }

    void showsTheTextLargeUntilItsTick() {
        QString text;
        int pixels = 0;
        QList<bool> open;
        bool seen = false;
        whenShown(
            kResult,
            [&](QWidget* w) {
                if (auto* label = w->findChild<QLabel*>(QStringLiteral("lblResult"))) {
                    text = label->text();
                    pixels = label->font().pixelSize();
                }
                open << isShown(kResult);
                m_ticks.fire();
                open << isShown(kResult);
            },
            &seen);
        m_dialogs->ShowResult(kText, 2000);
        QVERIFY(seen);
        QCOMPARE(text, kText);
        QVERIFY(pixels >= 24);
        QCOMPARE(m_ticks.interval, 2000);
        QCOMPARE(open, (QList<bool>{true, false}));
        QVERIFY(!m_ticks.running);
    }

    void aTouchOrAKeyEndsItAtOnce_data() {
        QTest::addColumn<bool>("touch");
        QTest::newRow("touch") << true;
        QTest::newRow("key") << false;
    }
    void aTouchOrAKeyEndsItAtOnce() {
        QFETCH(bool, touch);
        bool closed = false;
        whenShown(kResult, [&](QWidget* w) {
            auto* label = w->findChild<QLabel*>(QStringLiteral("lblResult"));
            if (touch)
                QTest::mouseClick(label ? static_cast<QWidget*>(label) : w, Qt::LeftButton);
            else
                QTest::keyClick(w, Qt::Key_Space);
            closed = !isShown(kResult);
        });
        m_dialogs->ShowResult(kText, 2000);
        QVERIFY(closed);
        QVERIFY(!m_ticks.running);
    }

    void noTimeShowsNothing() {
        bool seen = true;
        whenShown(
            kResult, [](QWidget*) {}, &seen);
        m_dialogs->ShowResult(kText, 0);
        // The look for the window runs once the events are let through.
        QCoreApplication::processEvents();
        QVERIFY(!seen);
        QVERIFY(!m_ticks.running);
    }

    void theTypeGrowsWithTheTill() {
        QCOMPARE(ResultWindow::textPixels(1.0), 40);
        QVERIFY(ResultWindow::textPixels(1.5) > ResultWindow::textPixels(1.0));
        QWidget till;
        till.resize(1600, 1200);
        ResultWindow window(&till, &m_ticks);
        auto* label = window.findChild<QLabel*>(QStringLiteral("lblResult"));
        QVERIFY(label);
        label->ensurePolished();
        QVERIFY(label->font().pixelSize() > ResultWindow::textPixels(1.0));
        QVERIFY(label->font().bold());
    }
};

QTEST_MAIN(TestResultWindow)
#include "tst_resultwindow.moc"
