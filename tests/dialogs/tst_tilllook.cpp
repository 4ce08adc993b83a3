// The till's look: standard boxes in Traditional Chinese with touch-sized
// buttons, tabs and check boxes.
#include "dialogs/TillLook.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTest>

using namespace tolva;

namespace {
// The caption as the operator reads it: without the mnemonic marker.
QString shown(const QAbstractButton* b) {
    QString text = b->text();
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
    return text;
}
} // namespace

class TestTillLook : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(applyTillLook(*qApp)); }

    void boxesSpeakChineseWithTouchSizedButtons() {
        QMessageBox ask(QMessageBox::Question, QStringLiteral("TOLVA"), QStringLiteral("是否列印?"),
                        QMessageBox::Yes | QMessageBox::No);
        ask.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ask));
        QCOMPARE(shown(ask.button(QMessageBox::Yes)), QStringLiteral("是"));
        QCOMPARE(shown(ask.button(QMessageBox::No)), QStringLiteral("否"));
        for (QAbstractButton* b : ask.buttons())
            QVERIFY2(b->height() >= 48, qPrintable(b->text()));

        QMessageBox ok(QMessageBox::Warning, QStringLiteral("TOLVA"), QStringLiteral("設定OK"),
                       QMessageBox::Ok);
        ok.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ok));
        QCOMPARE(shown(ok.button(QMessageBox::Ok)), QStringLiteral("確定"));
        QVERIFY(ok.button(QMessageBox::Ok)->height() >= 48);
    }

    void tabsAndCheckBoxesAreTouchSized() {
        QTabWidget tabs;
        tabs.addTab(new QWidget, QStringLiteral("儲值"));
        auto* box = new QCheckBox(QStringLiteral("只列印總計"));
        tabs.addTab(box, QStringLiteral("報表"));
        tabs.resize(600, 400);
        tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tabs));
        QVERIFY(tabs.tabBar()->tabRect(0).height() >= 48);
        QStyleOptionButton option;
        option.initFrom(box);
        QVERIFY(box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).height() >= 32);
    }

    // The main window's controls are made in the program's font and shown in
    // the window's look: both must give them the same size, or every control
    // is laid out twice and a second font is loaded at each start.
    void windowControlsShowAtTheSizeTheyAreMadeIn() {
        QCOMPARE(QApplication::font().hintingPreference(), QFont::PreferNoHinting);
        MainWindow window;
        auto* edit = window.findChild<QLineEdit*>(QStringLiteral("txtCustNo"));
        QVERIFY(edit);
        const QFont made = edit->font();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(edit->font().pointSize(), made.pointSize());
        QCOMPARE(edit->font().family(), made.family());
    }
};

QTEST_MAIN(TestTillLook)
#include "tst_tilllook.moc"
