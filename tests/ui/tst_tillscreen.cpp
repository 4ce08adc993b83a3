// The window on a till screen larger than 1024 x 768: it fills the screen,
// its controls grow, and the keypads and pickers stand where they belong
// relative to it.
#include "../dialogs/ModalDriver.h"
#include "desk/Controls.h"
#include "dialogs/WidgetDialogs.h"
#include "dialogs/WindowUtilities.h"
#include "printui/PreviewWindow.h"
#include "support/DeskFixture.h"
#include "support/FakePrinting.h"
#include "tools/OffscreenScreen.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

using namespace tolva;

class TestTillScreen : public QObject {
    Q_OBJECT

private slots:
    void fillsTheScreenAndPlacesItsDialogs() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(area.size(), QSize(1920, 1080));
        MainWindow window;
        MainWindowView view(window);
        // Made at the size it shows on this screen, not grown when shown.
        QVERIFY(window.control(ctl::txtCustNo)->minimumHeight() >= qRound(44 * 1.4));
        window.showOnTill();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.frameGeometry(), area);
        view.selectTab(ctl::kQuery);
        QCoreApplication::processEvents();
        QVERIFY(window.control(ctl::cmdQry)->height() >= qRound(64 * 1.4));

        WidgetDialogs dialogs;
        dialogs.setParent(&window);
        QRect calendar;
        QRect picker;
        QRect keypad;
        whenShown(QStringLiteral("frmFgDate"), [&](QWidget* w) { calendar = w->frameGeometry(); });
        QDate date;
        dialogs.PickDate(date);
        whenShown(QStringLiteral("frmCode"), [&](QWidget* w) { picker = w->frameGeometry(); });
        QString code;
        dialogs.ShowPick({{QStringLiteral("S01"), QStringLiteral("台北店")}}, code);
        whenShown(QStringLiteral("frmNumKey"), [&](QWidget* w) { keypad = w->frameGeometry(); });
        QString amount;
        dialogs.ShowInput(Dialogs::Keypad::Numeric, amount);

        // The calendar and the picker in the middle of the window, grown
        // with it; the keypad in its bottom right corner.
        for (const QRect& r : {calendar, picker}) {
            QVERIFY(qAbs(r.center().x() - area.center().x()) <= 2);
            QVERIFY(qAbs(r.center().y() - area.center().y()) <= 2);
        }
        QVERIFY(calendar.width() > 600);
        QCOMPARE(keypad.bottomRight(), area.bottomRight());
    }

    // The message window, the keypads and the preview grow with the window
    // as the calendar and the picker do, and keep their place.
    void dialogsGrowWithTheWindow() {
        MainWindow window;
        window.showOnTill();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const double scale = tillScale(window.size());
        QVERIFY(scale > 1.3);
        const auto atLeast = [scale](int length) { return qRound(length * scale) - 1; };
        WidgetDialogs dialogs;
        dialogs.setParent(&window);

        // The message window is as large as its text, which grows.
        QRect message;
        int messagePixels = 0;
        whenShown(QStringLiteral("frmMsg"), [&](QWidget* w) {
            message = w->frameGeometry();
            messagePixels = QFontInfo(w->findChild<QWidget*>(QStringLiteral("txtMsg"))->font()).pixelSize();
        });
        dialogs.ShowMsg(QStringLiteral("請刷會員卡"), 3);
        QVERIFY2(messagePixels >= atLeast(32), qPrintable(QString::number(messagePixels)));
        QVERIFY(window.frameGeometry().contains(message));

        QSize digit;
        QSize letter;
        int displayPoints = 0;
        QRect numPad;
        whenShown(QStringLiteral("frmNumKey"), [&](QWidget* w) {
            digit = w->findChild<QWidget*>(QStringLiteral("cmdNum(1)"))->size();
            displayPoints = w->findChild<QWidget*>(QStringLiteral("txtDisp"))->font().pointSize();
            numPad = w->frameGeometry();
        });
        QString amount;
        dialogs.ShowInput(Dialogs::Keypad::Numeric, amount);
        QVERIFY(digit.width() >= atLeast(68) && digit.height() >= atLeast(68));
        QVERIFY(displayPoints >= atLeast(36));
        QCOMPARE(numPad.bottomRight(), window.frameGeometry().bottomRight());
        // Shown again, it keeps its size: the growth never compounds.
        whenShown(QStringLiteral("frmNumKey"), [&](QWidget* w) {
            QCOMPARE(w->findChild<QWidget*>(QStringLiteral("cmdNum(1)"))->size(), digit);
        });
        dialogs.ShowInput(Dialogs::Keypad::Numeric, amount);
        bool keysInside = false;
        whenShown(QStringLiteral("frmANumKey"), [&](QWidget* w) {
            letter = w->findChild<QWidget*>(QStringLiteral("cmdAlpha(1)"))->size();
            // Laid out at the new size: the last key lies wholly in the window.
            auto* enter = w->findChild<QWidget*>(QStringLiteral("cmdEnter"));
            keysInside = w->rect().contains(QRect(enter->mapTo(w, QPoint(0, 0)), enter->size()));
        });
        QString code;
        dialogs.ShowInput(Dialogs::Keypad::Alphanumeric, code);
        QVERIFY(letter.width() >= atLeast(64));
        QVERIFY(keysInside);

        DeskFixture f;
        FakePrinting printing;
        PreviewWindow preview(f.ctx, printing, &window);
        preview.showDocument();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QVERIFY(preview.width() >= atLeast(900) && preview.height() >= atLeast(700));
        QVERIFY(preview.control(QStringLiteral("cmdPrint"))->height() >= atLeast(48));
        QVERIFY(window.frameGeometry().contains(preview.frameGeometry()));
        preview.hide();
    }
};

int main(int argc, char* argv[]) {
    QTemporaryDir dir;
    useOffscreenScreen(dir.path(), QSize(1920, 1080));
    QApplication app(argc, argv);
    TestTillScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tillscreen.moc"
