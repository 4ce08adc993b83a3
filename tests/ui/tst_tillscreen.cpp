// The window on a till screen larger than 1024 x 768: it fills the screen,
// its controls grow, and the keypads and pickers stand where they belong
// relative to it.
#include "../dialogs/ModalDriver.h"
#include "desk/Controls.h"
#include "dialogs/WidgetDialogs.h"
#include "tools/OffscreenScreen.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

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
};

int main(int argc, char* argv[]) {
    QTemporaryDir dir;
    useOffscreenScreen(dir.path(), QSize(1920, 1080));
    QApplication app(argc, argv);
    TestTillScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tillscreen.moc"
