// The real main window offscreen: every named control is there, accessible
// by its name, fits a 1024 x 768 till, and clicks reach the desk.
#include "../dialogs/ModalDriver.h"
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "dialogs/WidgetDialogs.h"
#include "link/LinkClient.h"
#include "support/DeskFixture.h"
#include "support/MemberdProcess.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>

using namespace tolva;

namespace {

QString accessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
}

// The window up and active, so focus moves and key presses are real.
void showActive(MainWindow& window) {
    window.resize(1024, 768);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// The texts a label showed each time it was painted.
class PaintedTexts : public QObject {
public:
    QStringList texts;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            if (auto* label = qobject_cast<QLabel*>(watched))
                texts << label->text();
        return false;
    }
};

void pressEnter() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void everyControlIsThereByName() {
        MainWindow window;
        MainWindowView view(window);
        QStringList names = {ctl::txtCustNo,
                             ctl::txtCustName,
                             ctl::txtTBonusAmt,
                             ctl::txtTEL1,
                             ctl::txtZIP,
                             ctl::txtBillAddr1,
                             ctl::txtBillAddr2,
                             ctl::txtFmComID,
                             ctl::cmdFmComID,
                             ctl::cmdIsuCard,
                             ctl::cmdUPDCust,
                             ctl::txtCustNoQry,
                             ctl::txtCustNameQry,
                             ctl::cmdQry,
                             ctl::txtDateB,
                             ctl::txtDateE,
                             ctl::Check1,
                             ctl::cmdPrintS,
                             ctl::chkMasterDB,
                             ctl::txtIP,
                             ctl::txtPWD,
                             ctl::cmdSetting,
                             ctl::cmdTest,
                             ctl::cmdSetStore,
                             ctl::cmdHideSetting,
                             ctl::cmdExit,
                             ctl::elaMsg,
                             ctl::lblMode,
                             ctl::lblStatus,
                             ctl::tabPage,
                             ctl::fgTMP,
                             ctl::txtTxnDept(2),
                             ctl::cmdTxnDept(2),
                             QStringLiteral("elaHead"),
                             QStringLiteral("elaSBar")};
        for (int i = 0; i < 3; ++i)
            names << ctl::lblHead(i);
        for (int i = 0; i < 2; ++i)
            names << ctl::txtTxnDept(i) << ctl::cmdTxnDept(i) << ctl::txtCheckNo(i) << ctl::cmdRefNo(i)
                  << ctl::txtAmt(i) << ctl::cmdVoidAmt(i) << ctl::txtRemark(i) << ctl::cmdRemark(i)
                  << ctl::cmdOK(i);
        for (const QString& name : names) {
            QWidget* w = window.control(name);
            QVERIFY2(w, qPrintable(name));
            QCOMPARE(w->accessibleDescription(), name);
        }
        QCOMPARE(view.text(ctl::cmdVoidAmt(0)), QStringLiteral("加值金額"));
        QCOMPARE(view.text(ctl::cmdVoidAmt(1)), QStringLiteral("抵扣金額"));
        QCOMPARE(view.text(ctl::cmdExit), QStringLiteral("&Z結束"));
        auto* tabs = qobject_cast<QTabWidget*>(window.control(ctl::tabPage));
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions.join(QLatin1Char('|')), QStringLiteral("儲值|扣點|連線設定|查詢|報表"));
        QVERIFY(!tabs->isTabVisible(ctl::kSettings));
        QCOMPARE(qobject_cast<QLineEdit*>(window.control(ctl::txtPWD))->echoMode(), QLineEdit::Password);
    }

    void fitsATillAndButtonsAreTouchSized() {
        MainWindow window;
        window.resize(1024, 768);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.minimumSizeHint().width() <= 1024);
        QVERIFY(window.minimumSizeHint().height() <= 768);
        for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
            if (b->isVisibleTo(&window) && qobject_cast<QTabWidget*>(b->parentWidget()) == nullptr)
                QVERIFY2(b->height() >= 48, qPrintable(b->objectName()));
        }
        QVERIFY(window.control(ctl::txtAmt(0))->font().pointSizeF() >= 14);
        QVERIFY(window.control(ctl::txtTBonusAmt)->font().pointSizeF() >= 14);
    }

    void enterWalksAPageAndPressesItsButton() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        int queries = 0;
        int confirms = 0;
        connect(qobject_cast<QPushButton*>(window.control(ctl::cmdQry)), &QPushButton::clicked, this,
                [&] { ++queries; });
        connect(qobject_cast<QPushButton*>(window.control(ctl::cmdOK(0))), &QPushButton::clicked, this,
                [&] { ++confirms; });

        // The query page: card number, name, then the query button.
        view.selectTab(ctl::kQuery);
        window.control(ctl::txtCustNoQry)->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("M0001"));
        pressEnter();
        QCOMPARE(view.text(ctl::txtCustNoQry), QStringLiteral("M0001")); // no line break
        QCOMPARE(QApplication::focusWidget(), window.control(ctl::txtCustNameQry));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), window.control(ctl::txtCustNoQry));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), window.control(ctl::txtCustNameQry));
        pressEnter();
        QCOMPARE(QApplication::focusWidget(), window.control(ctl::cmdQry));
        QCOMPARE(queries, 0);
        pressEnter();
        QCOMPARE(queries, 1);

        // The deposit page walks its fields past the keypad buttons to 確認.
        view.selectTab(ctl::kDeposit);
        window.control(ctl::txtTxnDept(0))->setFocus(Qt::MouseFocusReason);
        QStringList walk;
        for (int i = 0; i < 4; ++i) {
            pressEnter();
            walk << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walk, QStringList({ctl::txtCheckNo(0), ctl::txtAmt(0), ctl::txtRemark(0), ctl::cmdOK(0)}));
        QCOMPARE(confirms, 0);
        pressEnter();
        QCOMPARE(confirms, 1);
    }

    void enteringAFieldSelectsItsTextAndTypingReplacesIt() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        view.selectTab(ctl::kQuery);
        view.setText(ctl::txtCustNameQry, QStringLiteral("王小明"));
        window.control(ctl::txtCustNoQry)->setFocus(Qt::MouseFocusReason);
        pressEnter();
        QCoreApplication::processEvents();
        auto* name = qobject_cast<QLineEdit*>(window.control(ctl::txtCustNameQry));
        QCOMPARE(name->selectedText(), QStringLiteral("王小明"));
        QTest::keyClicks(name, QStringLiteral("A1"));
        QCOMPARE(name->text(), QStringLiteral("A1")); // letters and digits stay as typed
    }

    void buttonsShowWhereTheFocusIs() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        view.selectTab(ctl::kQuery);
        QWidget* query = window.control(ctl::cmdQry);
        window.control(ctl::txtCustNoQry)->setFocus(Qt::MouseFocusReason);
        const QImage plain = query->grab().toImage();
        query->setFocus(Qt::TabFocusReason);
        QVERIFY(query->hasFocus());
        QVERIFY(query->grab().toImage() != plain);
        // The keypad buttons and 結束 are for touching: Enter never reaches them.
        QCOMPARE(window.control(ctl::cmdRefNo(0))->focusPolicy(), Qt::NoFocus);
        QCOMPARE(window.control(ctl::cmdExit)->focusPolicy(), Qt::NoFocus);
    }

    void thePasswordIsMaskedWithStars() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        view.showTab(ctl::kSettings, true);
        view.selectTab(ctl::kSettings);
        view.setText(ctl::txtPWD, QStringLiteral("ab c"));
        auto* password = qobject_cast<QLineEdit*>(window.control(ctl::txtPWD));
        QCOMPARE(password->displayText(), QStringLiteral("****"));
        window.resize(1920, 1080); // the window's style renewed for the larger size
        QCoreApplication::processEvents();
        QCOMPARE(password->displayText(), QStringLiteral("****"));
        QCOMPARE(view.text(ctl::txtPWD), QStringLiteral("ab c"));
    }

    void accessibleNamesAreWhatTheOperatorSees() {
        MainWindow window;
        MainWindowView view(window);
        view.setText(ctl::lblMode, QStringLiteral("Connected.  "));
        view.setText(ctl::elaMsg, QStringLiteral("連線成功"));
        // A control asked for by name makes every page not made yet.
        QVERIFY(window.control(ctl::txtIP));
        const QHash<QString, QString> fields = {{ctl::txtCustNo, QStringLiteral("客戶卡號")},
                                                {ctl::txtTBonusAmt, QStringLiteral("餘額")},
                                                {ctl::txtBillAddr2, QStringLiteral("地址-門牌")},
                                                {ctl::txtFmComID, QStringLiteral("來源別")},
                                                {ctl::txtTxnDept(1), QStringLiteral("來源別")},
                                                {ctl::txtCheckNo(0), QStringLiteral("帳單號(桌次)")},
                                                {ctl::txtAmt(0), QStringLiteral("加值金額")},
                                                {ctl::txtAmt(1), QStringLiteral("抵扣金額")},
                                                {ctl::txtRemark(1), QStringLiteral("授權碼")},
                                                {ctl::txtIP, QStringLiteral("IP")},
                                                {ctl::txtPWD, QStringLiteral("密碼")},
                                                {ctl::txtTxnDept(2), QStringLiteral("來源別設定")},
                                                {ctl::txtCustNameQry, QStringLiteral("客戶名稱")},
                                                {ctl::txtDateB, QStringLiteral("統計日期:")},
                                                {ctl::txtDateE, QStringLiteral("-至-")}};
        int checked = 0;
        for (QWidget* w : window.findChildren<QWidget*>()) {
            const QString controlName = w->objectName();
            // The window's own controls; Qt's inner parts carry other names.
            const QRegularExpression controlPrefix(
                QStringLiteral("^(txt|cmd|lbl|chk|Check|ela|tab|fg|fra)[A-Z]"));
            if (!controlPrefix.match(controlName).hasMatch())
                continue;
            // Automation finds every named control by its description.
            QCOMPARE(w->accessibleDescription(), controlName);
            const QString name = accessibleName(w);
            if (qobject_cast<QLineEdit*>(w)) {
                QVERIFY2(!name.isEmpty() && name != controlName, qPrintable(controlName));
                if (fields.contains(controlName))
                    QCOMPARE(name, fields[controlName]);
            } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                QCOMPARE(name, QString(b->text()).remove(QLatin1Char('&')));
            } else if (auto* l = qobject_cast<QLabel*>(w)) {
                QCOMPARE(name, l->text());
            }
            ++checked;
        }
        QVERIFY(checked > 60);
        QCOMPARE(accessibleName(window.control(ctl::cmdOK(1))), QStringLiteral("確認"));
        QCOMPARE(accessibleName(window.control(ctl::cmdExit)), QStringLiteral("Z結束"));
        QCOMPARE(accessibleName(window.control(ctl::lblMode)), QStringLiteral("Connected.  "));
        QCOMPARE(accessibleName(window.control(ctl::elaMsg)), QStringLiteral("連線成功"));
        QCOMPARE(accessibleName(window.control(ctl::chkMasterDB)), QStringLiteral("本機的資料庫為主資料庫"));
    }

    void pagesAreMadeWhenFirstNeededAndKeepWhatWasSetBefore() {
        MainWindow window;
        MainWindowView view(window);
        view.setText(ctl::txtIP, QStringLiteral("10.0.0.5"));
        view.setText(ctl::txtPWD, QStringLiteral("old"));
        view.clearInputs();
        view.setText(ctl::txtIP, QStringLiteral("10.0.0.9"));
        view.setMasterDB(true);
        view.setToolTip(ctl::cmdTest, QStringLiteral("tip"));
        view.setText(ctl::txtDateB, QStringLiteral("2026/01/02"));
        view.setVisible(ctl::cmdPrintS, false);
        // Read back as set, and nothing of those pages made for it.
        QCOMPARE(view.text(ctl::txtIP), QStringLiteral("10.0.0.9"));
        QVERIFY(view.masterDB());
        QVERIFY(!view.isVisible(ctl::cmdPrintS));
        QCOMPARE(view.text(ctl::txtDateB), QStringLiteral("2026/01/02"));
        QVERIFY(!window.builtControl(ctl::txtIP));
        QVERIFY(!window.builtControl(ctl::txtDateB));

        // Shown: the card lookup in front is made, the others only when opened.
        showActive(window);
        QCOMPARE(view.selectedTab(), int(ctl::kQuery));
        QWidget* query = window.builtControl(ctl::cmdQry);
        QVERIFY(query && query->isVisible());
        QVERIFY(!window.builtControl(ctl::cmdOK(0)));
        QVERIFY(!window.builtControl(ctl::txtIP));
        view.showTab(ctl::kSettings, true);
        view.selectTab(ctl::kSettings);
        auto* ip = qobject_cast<QLineEdit*>(window.builtControl(ctl::txtIP));
        QVERIFY(ip);
        QCOMPARE(ip->text(), QStringLiteral("10.0.0.9"));
        QCOMPARE(qobject_cast<QLineEdit*>(window.builtControl(ctl::txtPWD))->text(), QString());
        QVERIFY(qobject_cast<QCheckBox*>(window.builtControl(ctl::chkMasterDB))->isChecked());
        QCOMPARE(window.builtControl(ctl::cmdTest)->toolTip(), QStringLiteral("tip"));
        // Made while on screen, its controls are shown and laid out at once.
        QVERIFY(ip->isVisible());
        QVERIFY(window.builtControl(ctl::cmdSetting)->height() >= 48);

        QWidget* print = window.control(ctl::cmdPrintS);
        QVERIFY(print && print->isHidden());
        QCOMPARE(view.text(ctl::txtDateB), QStringLiteral("2026/01/02"));
        QVERIFY(!window.hasUnbuiltPages());
    }

    void touchSizedAndGrowsWithTheScreen() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        auto* tabs = qobject_cast<QTabWidget*>(window.control(ctl::tabPage));
        QVERIFY(tabs->tabBar()->tabRect(0).height() >= 48);
        for (const QString& name : {ctl::chkMasterDB, ctl::Check1}) {
            auto* box = qobject_cast<QCheckBox*>(window.control(name));
            QStyleOptionButton option;
            option.initFrom(box);
            QVERIFY2(box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).height() >= 32,
                     qPrintable(name));
        }
        view.selectTab(ctl::kQuery);
        QCoreApplication::processEvents();
        const int small = window.control(ctl::cmdQry)->height();
        const qreal smallFont = window.control(ctl::txtCustNoQry)->font().pointSizeF();
        window.resize(1920, 1080);
        QCoreApplication::processEvents();
        QVERIFY(window.control(ctl::cmdQry)->height() > small);
        QVERIFY(window.control(ctl::txtCustNoQry)->font().pointSizeF() > smallFont);
    }

    void doubleClickingAFieldIsReported() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        QSignalSpy spy(&window, &MainWindow::fieldDoubleClicked);
        view.selectTab(ctl::kReport);
        QTest::mouseDClick(window.control(ctl::txtDateB), Qt::LeftButton);
        view.selectTab(ctl::kDeduction);
        QTest::mouseDClick(window.control(ctl::txtTxnDept(1)), Qt::LeftButton);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy[0][0].toString(), ctl::txtDateB);
        QCOMPARE(spy[1][0].toString(), ctl::txtTxnDept(1));
    }

    void leavingChecksRunOnlyOnRealMoves() {
        // A bill of this store that does not exist: a dialog coming up over
        // the window checks nothing; moving on to the next field does.
        DeskFixture f;
        MainWindow window;
        MainWindowView view(window);
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        desk.Form_Load();
        showActive(window);
        view.selectTab(ctl::kDeposit);
        view.setText(ctl::txtTxnDept(0), f.ctx.g.gStoreID);
        view.setText(ctl::elaMsg, QString());
        window.control(ctl::txtCheckNo(0))->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("X999"));

        QWidget over;
        over.resize(200, 100);
        over.show();
        over.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&over));
        QCOMPARE(view.text(ctl::elaMsg), QString());
        over.close();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(QApplication::focusWidget(), window.control(ctl::txtCheckNo(0)));

        pressEnter();
        QCOMPARE(view.text(ctl::elaMsg), QStringLiteral("此帳單號不存在"));
    }

    // While the link waits for a service that took the connection and says
    // nothing, the window goes on painting and the status line tells the
    // operator what the desk waits for; the line is cleared when the wait ends.
    void theStatusLinePaintsWhileTheLinkWaits() {
        DeskFixture f;
        MainWindow window;
        MainWindowView view(window);
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        showActive(window);
        view.setText(ctl::elaMsg, QStringLiteral("連線成功"));
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        link.setStepLength(std::chrono::milliseconds(1));
        link.setLoginSteps(50);
        link.setBusyAfter(std::chrono::milliseconds(0));
        PaintedTexts painted;
        window.control(ctl::elaMsg)->installEventFilter(&painted);

        QVERIFY(!link.Connect_TCPSrv(QStringLiteral("127.0.0.1"), QString::number(silent.serverPort()),
                                     QStringLiteral("pw")));
        QVERIFY2(painted.texts.contains(QStringLiteral("等待會員資料庫回應…")),
                 qPrintable(painted.texts.join(u'|')));
        QCOMPARE(view.text(ctl::elaMsg), QString());
        QCOMPARE(f.dialogs.busyPointers, 1);
        QCOMPARE(f.dialogs.normalPointers, 1);
    }

    void clicksReachTheDesk() {
        DeskFixture f;
        MainWindow window;
        MainWindowView view(window);
        LinkClient link_desk(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link_desk);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        desk.Form_Load();
        QCOMPARE(view.selectedTab(), int(ctl::kQuery));
        // The start fills the settings and report pages without making them.
        QVERIFY(!window.builtControl(ctl::chkMasterDB));
        QVERIFY(!window.builtControl(ctl::txtDateB));
        const QString reportDate = view.text(ctl::txtDateB);
        QVERIFY(!reportDate.isEmpty());

        QTest::mouseDClick(window.control(ctl::lblHead(2)), Qt::LeftButton);
        QVERIFY(view.isTabShown(ctl::kSettings));
        QWidget* master = window.control(ctl::chkMasterDB);
        QTest::mouseClick(master, Qt::LeftButton, {}, QPoint(12, master->height() / 2));
        QCOMPARE(f.get("ZEL", "TOLVA", "chkMasterDB"), QStringLiteral("1"));
        QTest::mouseClick(window.control(ctl::cmdHideSetting), Qt::LeftButton);
        QVERIFY(!view.isTabShown(ctl::kSettings));
        QCOMPARE(view.selectedTab(), int(ctl::kDeposit));
        view.selectTab(ctl::kReport);
        QCOMPARE(qobject_cast<QLineEdit*>(window.builtControl(ctl::txtDateB))->text(), reportDate);
    }

    void everyFieldTheOperatorFillsHasAKeypad() {
        DeskFixture f;
        MainWindow window;
        MainWindowView view(window);
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        desk.Form_Load();
        showActive(window);

        view.selectTab(ctl::kDeduction);
        f.dialogs.keypadAnswers << QStringLiteral("778899");
        QTest::mouseClick(window.control(ctl::cmdRemark(1)), Qt::LeftButton);
        QCOMPARE(view.text(ctl::txtRemark(1)), QStringLiteral("778899"));
        QCOMPARE(f.dialogs.keypadHeaders, QStringList{QStringLiteral("授權碼")});

        view.selectTab(ctl::kQuery);
        view.setText(ctl::txtCustNoQry, QStringLiteral("M00"));
        f.dialogs.keypadAnswers << QStringLiteral("M0001");
        QTest::mouseDClick(window.control(ctl::txtCustNoQry), Qt::LeftButton);
        QCOMPARE(view.text(ctl::txtCustNoQry), QStringLiteral("M0001"));
        QCOMPARE(f.dialogs.keypadHeaders.size(), 2);
        QCOMPARE(f.dialogs.keypadHeaders.last(), QStringLiteral("客戶卡號"));
        QCOMPARE(f.dialogs.keypadDefaults.last(), std::optional<QString>(QStringLiteral("M00")));
    }

    void theAmountChargedReadsAsLargeAsTheBalance() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        for (int i : {0, 1}) {
            view.selectTab(i);
            QCoreApplication::processEvents();
            const QFont balance = window.control(ctl::txtTBonusAmt)->font();
            const QFont amount = window.control(ctl::txtAmt(i))->font();
            QCOMPARE(amount.pointSizeF(), balance.pointSizeF());
            QVERIFY(amount.bold());
            QVERIFY(window.control(ctl::txtAmt(i))->height() >= window.control(ctl::txtTBonusAmt)->height());
        }
    }

    void depositLinesShowApartAndFitTheTill() {
        MainWindow window;
        MainWindowView view(window);
        showActive(window);
        view.selectTab(ctl::kDeposit);
        view.setText(ctl::txtAmt(0), QStringLiteral("5250"));
        view.setText(ctl::lblPaid, QStringLiteral("收款 20,000"));
        view.setText(ctl::lblBonus, QStringLiteral("贈送 2,000"));
        view.setText(ctl::lblCredited, QStringLiteral("入帳 22,000"));
        view.setText(ctl::lblBonusRule, QStringLiteral("20000 * 110% = 22000"));
        QCoreApplication::processEvents();
        QWidget* page = window.control(ctl::txtAmt(0))->parentWidget();
        QRect before;
        for (const QString& name : {ctl::lblPaid, ctl::lblBonus, ctl::lblCredited, ctl::lblBonusRule,
                                    ctl::txtRemark(0), ctl::cmdOK(0)}) {
            QWidget* w = window.control(name);
            QVERIFY2(w && w->isVisible(), qPrintable(name));
            QCOMPARE(w->accessibleDescription(), name);
            const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
            QVERIFY2(page->rect().contains(r), qPrintable(name));
            if (auto* l = qobject_cast<QLabel*>(w)) {
                // The whole caption shows: nothing is cut off.
                QVERIFY2(l->sizeHint().width() <= l->width(), qPrintable(name));
                QVERIFY(l->font().pointSizeF() >= 14);
            }
            QVERIFY2(!r.intersects(before), qPrintable(name));
            before = r;
        }
        QVERIFY(window.control(ctl::lblPaid)->font().bold());
        QVERIFY(window.minimumSizeHint().height() <= 768);
        QCOMPARE(view.text(ctl::lblPaid), QStringLiteral("收款 20,000"));
    }

    // The main window's style sets every widget's text size; the message
    // window's own style wins, so its text reads large, and the box, as
    // large as its text, leaves the balance in sight.
    void messagesReadLargeAndLeaveTheBalanceInSight() {
        MainWindow window;
        showActive(window);
        WidgetDialogs dialogs;
        dialogs.setParent(&window);
        int pixels = 0;
        QRect box;
        whenShown(QStringLiteral("frmMsg"), [&](QWidget* w) {
            pixels = QFontInfo(w->findChild<QWidget*>(QStringLiteral("txtMsg"))->font()).pixelSize();
            box = w->frameGeometry();
        });
        dialogs.ShowRefusal(QStringLiteral("餘額不足: 餘額 300，需 1,000"));
        QVERIFY2(pixels >= 24, qPrintable(QString::number(pixels)));
        QWidget* balance = window.control(ctl::txtTBonusAmt);
        const QRect balanceOnScreen(balance->mapToGlobal(QPoint(0, 0)), balance->size());
        QVERIFY(!box.isEmpty());
        QVERIFY(!box.intersects(balanceOnScreen));
        QVERIFY(window.frameGeometry().contains(box));
    }

    // The banner across the window while the link is down: shown by the
    // desk with its text whole, above the pages, gone when the link is up.
    void theLinkDownBannerSpansTheWindow() {
        DeskFixture f; // no link settings: no service to log in to
        MainWindow window;
        MainWindowView view(window);
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        auto* banner = qobject_cast<QLabel*>(window.control(ctl::lblLinkDown));
        QVERIFY(banner);
        QCOMPARE(banner->accessibleDescription(), ctl::lblLinkDown);
        QVERIFY(banner->isHidden());
        desk.Form_Load();
        showActive(window);
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->text(), QStringLiteral("會員資料庫連線中斷，請改用電話授權，輸入授權碼後按確認"));
        QVERIFY(banner->width() >= window.width() - 24);
        QVERIFY(banner->sizeHint().width() <= banner->width());
        QVERIFY(banner->heightForWidth(banner->width()) <= banner->height());
        QVERIFY(banner->mapTo(&window, QPoint(0, banner->height())).y() <=
                window.tabs()->mapTo(&window, QPoint(0, 0)).y());
        QVERIFY(QFontInfo(banner->font()).pixelSize() >= 20);
        // Everything still fits the till with the banner up.
        QVERIFY(window.minimumSizeHint().height() <= 768);
    }

    // What the operator types reaches the desk, which empties a status text
    // about the field's old value.
    void typingEmptiesAStatusTextAboutTheField() {
        DeskFixture f;
        MainWindow window;
        MainWindowView view(window);
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        desk.Form_Load();
        showActive(window);
        view.selectTab(ctl::kDeduction);
        view.setText(ctl::txtAmt(1), QStringLiteral("abc"));
        bool cancel = false;
        desk.txtAmt_Validate(1, cancel);
        QCOMPARE(view.text(ctl::elaMsg), QStringLiteral("金額必需為數字"));
        QWidget* amount = window.control(ctl::txtAmt(1));
        amount->setFocus();
        QTest::keyClick(amount, Qt::Key_Backspace);
        QCOMPARE(view.text(ctl::elaMsg), QString());
    }

    void theOperatorsRoadThroughTheWidgets() {
        // The real window against the real memberd: type a card, look it up,
        // key an amount and confirm a deposit.
        DeskFixture f;
        const QString memberConn =
            QStringLiteral("Provider=SQLite;Data Source=") + f.dir.filePath(QStringLiteral("member.db"));
        Database member;
        member.open(memberConn);
        member.execute(QStringLiteral(
            "INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('M0001', '王小明', 1200)"));
        MemberdProcess memberd(QStringLiteral("127.0.0.42"), memberConn);
        QVERIFY(memberd.start());
        f.save("ZELQ", "TOLVA", "IP", memberd.address());
        f.save("ZELQ", "TOLVA", "PWD", QStringLiteral("secret"));
        f.ctx.gCNT.execute(QStringLiteral("INSERT INTO OCHECK (CheckNo) VALUES ('A0012')"));

        MainWindow window;
        MainWindowView view(window);
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        window.setDesk(&desk);
        desk.Form_Load();
        QCOMPARE(view.text(ctl::lblMode), QStringLiteral("Connected.  "));
        QVERIFY(window.control(ctl::lblLinkDown)->isHidden());

        QTest::keyClicks(window.control(ctl::txtCustNoQry), QStringLiteral("M0001"));
        QTest::mouseClick(window.control(ctl::cmdQry), Qt::LeftButton);
        QCOMPARE(view.text(ctl::txtCustName), QStringLiteral("王小明"));
        QCOMPARE(view.text(ctl::txtTBonusAmt), QStringLiteral("1,200"));
        QVERIFY(view.isVisible(ctl::cmdUPDCust));

        view.selectTab(ctl::kDeposit);
        f.dialogs.keypadAnswers << QStringLiteral("A0012") << QStringLiteral("300");
        QTest::mouseClick(window.control(ctl::cmdRefNo(0)), Qt::LeftButton);
        QTest::mouseClick(window.control(ctl::cmdVoidAmt(0)), Qt::LeftButton);
        QCOMPARE(view.text(ctl::txtAmt(0)), QStringLiteral("300"));
        QTest::mouseClick(window.control(ctl::cmdOK(0)), Qt::LeftButton);
        QSqlQuery q = member.query(QStringLiteral("SELECT TBonusAmt FROM CUST WHERE CustNo = 'M0001'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toDouble(), 1500.0);
        QVERIFY(f.dialogs.msgs.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
