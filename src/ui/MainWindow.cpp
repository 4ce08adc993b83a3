#include "ui/MainWindow.h"

#include "desk/Controls.h"
#include "desk/Desk.h"
#include "desk/ReportPage.h"
#include "desk/SettingsPage.h"
#include "dialogs/TillLook.h"
#include "dialogs/WindowUtilities.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tolva {

namespace {
constexpr int kButtonHeight = 52;
constexpr int kFieldHeight = 44;

// The window's look for a scale factor: 1 at 1024 x 768, larger on bigger
// screens so that text stays legible from arm's length. A focused button
// carries a thick orange frame, since Enter presses it.
QString deskStyle(double scale) {
    const auto pt = [scale](double size) { return QString::number(qRound(size * scale)); };
    return QStringLiteral(
               "QWidget { font-size: %1pt; }"
               "QFrame#elaHead { background: #1f4e79; }"
               "QFrame#elaHead QLabel { color: white; font-size: %2pt; font-weight: bold; padding: 4px 10px; "
               "}"
               "QLineEdit { padding: 2px 6px; }"
               // The amount being charged reads as large as the balance.
               "QLineEdit#txtTBonusAmt, QLineEdit[amount=\"true\"] { font-size: %3pt; font-weight: bold; }"
               "QLineEdit#txtTBonusAmt { color: #0b5d1e; }"
               "QLabel[depositLine=\"true\"] { font-size: %4pt; font-weight: bold; }"
               "QLabel#lblPaid { color: #b71c1c; }"
               "QPushButton { padding: 4px 12px; background: #eef2f7; border: 2px solid #8a9bb0; "
               "border-radius: 6px; }"
               "QPushButton:pressed { background: #c9d6e6; }"
               "QPushButton:focus { border: 4px solid #ef6c00; }"
               "QPushButton[confirm=\"true\"] { font-size: %4pt; font-weight: bold; background: #2e7d32; "
               "color: white; }"
               "QPushButton[confirm=\"true\"]:pressed { background: #1b5e20; }"
               "QTabBar::tab { min-height: %6px; min-width: %8px; padding: 0 8px; font-size: %5pt; }"
               "QCheckBox::indicator { width: %7px; height: %7px; }"
               // A plain frame around the pages: the style's own frame is drawn
               // through a cached picture of the whole pane, made anew at start.
               "QTabWidget::pane { border: 1px solid #8a9bb0; top: -1px; }"
               "QFrame#elaSBar { border-top: 1px solid #999; }"
               "QLabel#elaMsg { font-size: %5pt; padding: 2px 8px; border: 1px solid #bbb; background: "
               "white; }"
               "QLabel#elaMsg[highlighted=\"true\"] { background: #ffd54f; }"
               "QLabel#lblLinkDown { background: #b71c1c; color: white; font-size: %4pt; font-weight: bold; "
               "padding: 6px 10px; }")
        .arg(pt(kTillTextPointSize), pt(18), pt(24), pt(20), pt(16), pt(48), pt(32), pt(72));
}

// Buttons beside a field that open its keypad or picker are for touching;
// Enter walks past them so it never opens a keypad by accident.
bool isTouchOnly(const QString& controlName) {
    for (const char* prefix : {"cmdTxnDept(", "cmdRefNo(", "cmdVoidAmt(", "cmdRemark("})
        if (controlName.startsWith(QLatin1String(prefix)))
            return true;
    return controlName == ctl::cmdFmComID || controlName == ctl::cmdExit;
}

// The height a control has at scale 1; it grows with the window.
const char* const kBaseHeight = "tolvaBaseHeight";

// The area the window takes on a till's screen: all of it when the screen is
// larger than 1024 x 768; an empty rectangle (the window keeps its own size)
// otherwise.
QRect tillArea(const QScreen* screen) {
    const QRect area = screen ? screen->availableGeometry() : QRect();
    return area.width() > 1024 || area.height() > 768 ? area : QRect();
}

QScreen* screenOf(const QWidget* window) {
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

} // namespace

MainWindow::MainWindow() {
    name(this, QStringLiteral("fmTOLVA"));
    setWindowTitle(QStringLiteral("會員點數作業"));
    // The controls are made at the size they will show on this screen: a
    // window made at 1024 x 768 and then grown to a larger screen would be
    // styled and laid out a second time as it first shows.
    const QRect area = tillArea(screenOf(this));
    if (!area.isEmpty())
        m_scale = tillScale(area.size());
    setStyleSheet(deskStyle(m_scale));

    // Every control is made inside its final parent, so none is moved into
    // the styled window afterwards (each move restyles it and lays out its
    // text again).
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(buildHeader(central));
    // Across the window while the link is down; the desk shows it.
    QLabel* linkDown = label(central, ctl::lblLinkDown, QString());
    linkDown->setWordWrap(true);
    linkDown->setAlignment(Qt::AlignCenter);
    linkDown->hide();
    layout->addWidget(linkDown);
    auto* body = new QHBoxLayout;
    layout->addLayout(body, 1);
    body->setSpacing(10);
    body->addWidget(buildCustomerPanel(central), 5);
    body->addWidget(buildTabs(central), 6);
    layout->addWidget(buildStatusStrip(central));
    resize(1024, 768);
}

// The control name is the object name and the accessible description, by
// which automation finds the control. The accessible name is left to what the
// operator sees: buttons, check boxes and labels report their live text;
// fields are given their label's text.
void MainWindow::name(QWidget* widget, const QString& controlName) {
    widget->setObjectName(controlName);
    widget->setAccessibleDescription(controlName);
}

void MainWindow::setBaseHeight(QWidget* widget, int height) {
    widget->setProperty(kBaseHeight, height);
    widget->setMinimumHeight(qRound(height * m_scale));
}

QLineEdit* MainWindow::field(QWidget* parent, const QString& controlName, const QString& caption) {
    auto* edit = new QLineEdit(parent);
    name(edit, controlName);
    edit->setAccessibleName(caption);
    setBaseHeight(edit, kFieldHeight);
    edit->installEventFilter(this);
    // The operator's own changes only; the desk's writes are not events.
    connect(edit, &QLineEdit::textEdited, this, [this, controlName] {
        if (m_desk && !m_ending)
            m_desk->field_Change(controlName);
    });
    return edit;
}

QPushButton* MainWindow::button(QWidget* parent, const QString& controlName, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    name(b, controlName);
    setBaseHeight(b, kButtonHeight);
    b->setFocusPolicy(isTouchOnly(controlName) ? Qt::NoFocus : Qt::TabFocus);
    b->installEventFilter(this);
    return b;
}

QLabel* MainWindow::label(QWidget* parent, const QString& controlName, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    name(l, controlName);
    return l;
}

QWidget* MainWindow::buildHeader(QWidget* parent) {
    auto* strip = new QFrame(parent);
    name(strip, QStringLiteral("elaHead"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 2, 4, 2);
    QLabel* program = label(strip, ctl::lblHead(0), QStringLiteral("TOLVA"));
    QLabel* title = label(strip, ctl::lblHead(1), QStringLiteral("會員點數作業"));
    title->setAlignment(Qt::AlignCenter);
    QLabel* date = label(strip, ctl::lblHead(2), QStringLiteral("2000/00/00"));
    for (QLabel* head : {program, title, date})
        head->installEventFilter(this);
    row->addWidget(program);
    row->addWidget(title, 1);
    row->addWidget(date);
    return strip;
}

QWidget* MainWindow::buildCustomerPanel(QWidget* parent) {
    auto* panel = new QFrame(parent);
    name(panel, QStringLiteral("fraCust"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(panel);
    grid->setVerticalSpacing(6);
    const QList<QPair<QString, QString>> rows = {
        {ctl::txtCustNo, QStringLiteral("客戶卡號")},     {ctl::txtCustName, QStringLiteral("客戶名稱")},
        {ctl::txtTBonusAmt, QStringLiteral("餘額")},      {ctl::txtTEL1, QStringLiteral("電話")},
        {ctl::txtZIP, QStringLiteral("郵遞區號")},        {ctl::txtBillAddr1, QStringLiteral("地址-縣市鎮")},
        {ctl::txtBillAddr2, QStringLiteral("地址-門牌")},
    };
    int r = 0;
    for (const auto& [fieldName, caption] : rows) {
        grid->addWidget(label(panel, QStringLiteral("lbl") + fieldName.mid(3), caption), r, 0);
        QLineEdit* edit = field(panel, fieldName, caption);
        if (fieldName == ctl::txtTBonusAmt) {
            // The balance comes from the last card query; it is not typed.
            edit->setReadOnly(true);
            edit->setAlignment(Qt::AlignRight);
            setBaseHeight(edit, 56);
        }
        grid->addWidget(edit, r++, 1);
    }
    grid->addWidget(button(panel, ctl::cmdFmComID, QStringLiteral("來源別")), r, 0);
    grid->addWidget(field(panel, ctl::txtFmComID, QStringLiteral("來源別")), r++, 1);
    auto* buttons = new QHBoxLayout;
    QPushButton* issue = button(panel, ctl::cmdIsuCard, QStringLiteral("發卡"));
    QPushButton* update = button(panel, ctl::cmdUPDCust, QStringLiteral("更新"));
    update->hide();
    buttons->addWidget(issue);
    buttons->addWidget(update);
    grid->addLayout(buttons, r++, 0, 1, 2);
    grid->setRowStretch(r, 1);
    grid->setColumnStretch(1, 1);
    return panel;
}

QWidget* MainWindow::buildTabs(QWidget* parent) {
    m_tabs = new QTabWidget(parent);
    name(m_tabs, ctl::tabPage);
    for (const QString& caption : {QStringLiteral("儲值"), QStringLiteral("扣點"), QStringLiteral("連線設定"),
                                   QStringLiteral("查詢"), QStringLiteral("報表")}) {
        auto* page = new QWidget;
        name(page, QStringLiteral("tabPage(%1)").arg(m_tabs->count()));
        page->setAccessibleName(caption);
        m_tabs->addTab(page, caption);
        m_pageBuilt << false;
    }
    m_tabs->setTabVisible(ctl::kSettings, false);
    // The window opens on the card lookup, the page the desk puts in front
    // unless a hand-off names another; so the first showing makes one page.
    m_tabs->setCurrentIndex(ctl::kQuery);
    // The tabs are touched; Enter and the arrows walk the fields, not them.
    m_tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { buildPage(index); });
    return m_tabs;
}

bool MainWindow::buildPage(int index) {
    if (index < 0 || index >= m_pageBuilt.size() || m_pageBuilt[index])
        return false;
    m_pageBuilt[index] = true;
    QWidget* page = m_tabs->widget(index);
    if (index == ctl::kDeposit || index == ctl::kDeduction)
        buildTransactionPage(page, index);
    else if (index == ctl::kSettings)
        buildSettingsPage(page);
    else if (index == ctl::kQuery)
        buildQueryPage(page);
    else
        buildReportPage(page);
    // Controls made after the window was first polished are polished now (a
    // page behind others keeps its look and font like one made before), and
    // on a page already on screen shown and laid out at once, as if they had
    // always been there.
    const QList<QWidget*> controls = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    if (testAttribute(Qt::WA_WState_Polished))
        for (QWidget* w : controls)
            w->ensurePolished();
    if (page->isVisible()) {
        for (QWidget* w : controls)
            if (!w->testAttribute(Qt::WA_WState_ExplicitShowHide))
                w->show();
        page->layout()->activate();
    }
    if (m_desk)
        connectDesk(page);
    emit pageBuilt(index);
    return true;
}

bool MainWindow::hasUnbuiltPages() const {
    return m_pageBuilt.contains(false);
}

bool MainWindow::event(QEvent* event) {
    // The page in front is made before the window is first polished and
    // laid out for showing; the others wait until they come to the front.
    if (event->type() == QEvent::Polish)
        buildPage(m_tabs->currentIndex());
    return QMainWindow::event(event);
}

void MainWindow::buildTransactionPage(QWidget* page, int i) {
    auto* grid = new QGridLayout(page);
    grid->setVerticalSpacing(10);
    grid->addWidget(button(page, ctl::cmdTxnDept(i), QStringLiteral("來源別")), 0, 0);
    grid->addWidget(field(page, ctl::txtTxnDept(i), QStringLiteral("來源別")), 0, 1);
    grid->addWidget(button(page, ctl::cmdRefNo(i), QStringLiteral("帳單號(桌次)")), 1, 0);
    grid->addWidget(field(page, ctl::txtCheckNo(i), QStringLiteral("帳單號(桌次)")), 1, 1);
    const QString amountCaption = i == 0 ? QStringLiteral("加值金額") : QStringLiteral("抵扣金額");
    grid->addWidget(button(page, ctl::cmdVoidAmt(i), amountCaption), 2, 0);
    QLineEdit* amount = field(page, ctl::txtAmt(i), amountCaption);
    amount->setAlignment(Qt::AlignRight);
    amount->setProperty("amount", true);
    setBaseHeight(amount, 56);
    grid->addWidget(amount, 2, 1);
    int row = 3;
    if (i == ctl::kDeposit) {
        // What the guest pays, the bonus and what the card gets, each apart,
        // with the line that explains the bonus: the amount field holds what
        // is credited, which is not what the cashier collects.
        auto* split = new QHBoxLayout;
        for (const QString& line : {ctl::lblPaid, ctl::lblBonus, ctl::lblCredited}) {
            QLabel* l = label(page, line, QString());
            l->setProperty("depositLine", true);
            split->addWidget(l, 1);
        }
        grid->addLayout(split, row++, 0, 1, 2);
        grid->addWidget(label(page, ctl::lblBonusRule, QString()), row++, 0, 1, 2);
    }
    grid->addWidget(button(page, ctl::cmdRemark(i), QStringLiteral("授權碼")), row, 0);
    grid->addWidget(field(page, ctl::txtRemark(i), QStringLiteral("授權碼")), row++, 1);
    QPushButton* ok = button(page, ctl::cmdOK(i), QStringLiteral("確認"));
    ok->setProperty("confirm", true);
    setBaseHeight(ok, 72);
    grid->addWidget(ok, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

void MainWindow::buildSettingsPage(QWidget* page) {
    auto* grid = new QGridLayout(page);
    auto* master = new QCheckBox(QStringLiteral("本機的資料庫為主資料庫"), page);
    name(master, ctl::chkMasterDB);
    master->installEventFilter(this);
    setBaseHeight(master, kButtonHeight);
    grid->addWidget(master, 0, 0, 1, 2);
    grid->addWidget(label(page, QStringLiteral("lblIP"), QStringLiteral("IP")), 1, 0);
    grid->addWidget(field(page, ctl::txtIP, QStringLiteral("IP")), 1, 1);
    grid->addWidget(label(page, QStringLiteral("lblPWD"), QStringLiteral("密碼")), 2, 0);
    // Made outside the page: the field reads its mask from the style when it
    // moves into the styled window, which a field made inside it never does.
    QLineEdit* password = field(nullptr, ctl::txtPWD, QStringLiteral("密碼"));
    password->setEchoMode(QLineEdit::Password);
    // The mask is "*", whatever the style would draw; set on the field
    // itself, so it holds however the window's style is renewed.
    password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    grid->addWidget(password, 2, 1);
    // TLS on the link: the CA that signed the service's certificate, and
    // the desk's own certificate and key when the service asks for one.
    auto* tls = new QCheckBox(QStringLiteral("加密連線 (TLS)"), page);
    name(tls, ctl::chkTLS);
    tls->installEventFilter(this);
    setBaseHeight(tls, kButtonHeight);
    grid->addWidget(tls, 3, 0, 1, 2);
    int row = 4;
    for (const auto& [control, caption] : {std::pair{ctl::txtTlsCA, QStringLiteral("CA 憑證檔")},
                                           std::pair{ctl::txtTlsCert, QStringLiteral("用戶端憑證檔")},
                                           std::pair{ctl::txtTlsKey, QStringLiteral("用戶端金鑰檔")}}) {
        grid->addWidget(label(page, QStringLiteral("lbl") + control.mid(3), caption), row, 0);
        grid->addWidget(field(page, control, caption), row++, 1);
    }
    auto* linkButtons = new QHBoxLayout;
    linkButtons->addWidget(button(page, ctl::cmdSetting, QStringLiteral("設定")));
    linkButtons->addWidget(button(page, ctl::cmdTest, QStringLiteral("測試連線")));
    grid->addLayout(linkButtons, row++, 0, 1, 2);
    grid->addWidget(button(page, ctl::cmdTxnDept(2), QStringLiteral("來源別設定")), row, 0);
    grid->addWidget(field(page, ctl::txtTxnDept(2), QStringLiteral("來源別設定")), row++, 1);
    grid->addWidget(button(page, ctl::cmdSetStore, QStringLiteral("設定來源別")), row++, 0, 1, 2);
    grid->addWidget(button(page, ctl::cmdHideSetting, QStringLiteral("結束設定")), row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

void MainWindow::buildQueryPage(QWidget* page) {
    auto* grid = new QGridLayout(page);
    grid->setVerticalSpacing(10);
    grid->addWidget(label(page, QStringLiteral("lblCustNoQry"), QStringLiteral("客戶卡號")), 0, 0);
    grid->addWidget(field(page, ctl::txtCustNoQry, QStringLiteral("客戶卡號")), 0, 1);
    grid->addWidget(label(page, QStringLiteral("lblCustNameQry"), QStringLiteral("客戶名稱")), 1, 0);
    grid->addWidget(field(page, ctl::txtCustNameQry, QStringLiteral("客戶名稱")), 1, 1);
    QPushButton* query = button(page, ctl::cmdQry, QStringLiteral("查詢"));
    setBaseHeight(query, 64);
    grid->addWidget(query, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
}

void MainWindow::buildReportPage(QWidget* page) {
    auto* grid = new QGridLayout(page);
    grid->setVerticalSpacing(10);
    grid->addWidget(label(page, QStringLiteral("lblDateB"), QStringLiteral("統計日期:")), 0, 0);
    grid->addWidget(field(page, ctl::txtDateB, QStringLiteral("統計日期:")), 0, 1);
    grid->addWidget(label(page, QStringLiteral("lblDateE"), QStringLiteral("-至-")), 1, 0);
    grid->addWidget(field(page, ctl::txtDateE, QStringLiteral("-至-")), 1, 1);
    auto* totalsOnly = new QCheckBox(QStringLiteral("只列印總計"), page);
    name(totalsOnly, ctl::Check1);
    totalsOnly->installEventFilter(this);
    setBaseHeight(totalsOnly, kButtonHeight);
    grid->addWidget(totalsOnly, 2, 0, 1, 2);
    grid->addWidget(button(page, ctl::cmdPrintS, QStringLiteral("TM88列印")), 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
}

QWidget* MainWindow::buildStatusStrip(QWidget* parent) {
    auto* strip = new QFrame(parent);
    name(strip, QStringLiteral("elaSBar"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 4, 0, 0);
    QPushButton* exit = button(strip, ctl::cmdExit, QStringLiteral("&Z結束"));
    row->addWidget(exit);
    m_message = label(strip, ctl::elaMsg, QString());
    setBaseHeight(m_message, kButtonHeight);
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(m_message, 1);
    row->addWidget(label(strip, ctl::lblMode, QString()));
    row->addWidget(label(strip, ctl::lblStatus, QString()));
    return strip;
}

void MainWindow::setDesk(Desk* desk) {
    m_desk = desk;
    connectDesk(this);
    SettingsPage& settings = m_desk->settingsPage();
    ReportPage& report = m_desk->reportPage();
    connect(this, &MainWindow::fieldDoubleClicked, this, [this, &settings, &report](const QString& control) {
        m_desk->field_DblClick(control);
        if (control == ctl::txtFmComID)
            settings.txtFmComID_DblClick();
        else if (control == ctl::txtDateB)
            report.txtDateB_DblClick();
        else if (control == ctl::txtDateE)
            report.txtDateE_DblClick();
        for (int i = 0; i < 4; ++i)
            if (control == ctl::txtTxnDept(i))
                settings.txtTxnDept_DblClick(i);
    });
}

void MainWindow::connectDesk(QWidget* scope) {
    // Pages not made yet have no controls; each is connected when it is made.
    const auto onClick = [this, scope](const QString& controlName, auto handler) {
        if (auto* b = scope->findChild<QAbstractButton*>(controlName))
            connect(b, &QAbstractButton::clicked, this, handler);
    };
    onClick(ctl::cmdExit, [this] { m_desk->cmdExit_Click(); });
    onClick(ctl::cmdHideSetting, [this] { m_desk->cmdHideSetting_Click(); });
    onClick(ctl::cmdQry, [this] { m_desk->cmdQry_Click(); });
    onClick(ctl::cmdIsuCard, [this] { m_desk->cmdIsuCard_Click(); });
    onClick(ctl::cmdUPDCust, [this] { m_desk->cmdUPDCust_Click(); });
    for (int i = 0; i < 2; ++i) {
        onClick(ctl::cmdOK(i), [this, i] { m_desk->cmdOK_Click(i); });
        onClick(ctl::cmdRefNo(i), [this, i] { m_desk->cmdRefNo_Click(i); });
        onClick(ctl::cmdVoidAmt(i), [this, i] { m_desk->cmdVoidAmt_Click(i); });
        onClick(ctl::cmdRemark(i), [this, i] { m_desk->cmdRemark_Click(i); });
    }
    onClick(ctl::chkMasterDB, [this] { m_desk->chkMasterDB_Click(); });

    SettingsPage& settings = m_desk->settingsPage();
    onClick(ctl::cmdSetting, [&settings] { settings.cmdSetting_Click(); });
    onClick(ctl::cmdSetStore, [&settings] { settings.cmdSetStore_Click(); });
    onClick(ctl::cmdTest, [&settings] { settings.cmdTest_Click(); });
    onClick(ctl::cmdFmComID, [&settings] { settings.cmdFmComID_Click(); });
    for (int i = 0; i < 4; ++i)
        onClick(ctl::cmdTxnDept(i), [&settings, i] { settings.cmdTxnDept_Click(i); });
    ReportPage& report = m_desk->reportPage();
    onClick(ctl::cmdPrintS, [&report] { report.cmdPrintS_Click(); });
}

QWidget* MainWindow::builtControl(const QString& controlName) const {
    if (objectName() == controlName)
        return const_cast<MainWindow*>(this);
    if (controlName == ctl::fgTMP)
        return grid();
    return findChild<QWidget*>(controlName);
}

QWidget* MainWindow::control(const QString& controlName) const {
    if (QWidget* w = builtControl(controlName))
        return w;
    // A control not made yet: its page is made, and with no map from names
    // to pages, so is every other page still waiting.
    auto* self = const_cast<MainWindow*>(this);
    bool built = false;
    for (int i = 0; i < m_pageBuilt.size(); ++i)
        built = self->buildPage(i) || built;
    return built ? builtControl(controlName) : nullptr;
}

QTableWidget* MainWindow::grid() const {
    // The working grid of the last card query is never shown to the
    // operator, so it is made when something first asks for it.
    if (!m_grid) {
        auto* self = const_cast<MainWindow*>(this);
        self->m_grid = new QTableWidget(self);
        self->name(m_grid, ctl::fgTMP);
        m_grid->hide();
    }
    return m_grid;
}

void MainWindow::showOnTill() {
    // A till has no other window: on a screen larger than 1024 x 768 the
    // window takes the whole available area and its controls grow with it.
    const QRect area = tillArea(screenOf(this));
    if (!area.isEmpty()) {
        setGeometry(area);
        showMaximized();
    } else {
        show();
    }
}

void MainWindow::endProgram() {
    m_ending = true;
    // Queued, so that a program ended while it starts (before the event
    // loop runs) ends as soon as the loop begins.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const double scale = tillScale(size());
    if (std::abs(scale - m_scale) >= 0.1) {
        m_scale = scale;
        setStyleSheet(deskStyle(m_scale));
        for (QWidget* w : findChildren<QWidget*>()) {
            const QVariant base = w->property(kBaseHeight);
            if (base.isValid())
                w->setMinimumHeight(qRound(base.toInt() * m_scale));
        }
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the window by any means ends the program like "&Z結束".
    if (!m_ending && m_desk)
        m_desk->Form_QueryUnload();
    event->accept();
}

void MainWindow::validateOnLeave(QLineEdit* edit) {
    // The amount and bill fields are checked when the operator leaves them;
    // a refused text keeps the focus in its field.
    for (int i = 0; i < 2; ++i) {
        bool cancel = false;
        if (edit->objectName() == ctl::txtAmt(i))
            m_desk->txtAmt_Validate(i, cancel);
        else if (edit->objectName() == ctl::txtCheckNo(i))
            m_desk->txtCheckNo_Validate(i, cancel);
        if (cancel)
            QMetaObject::invokeMethod(edit, qOverload<>(&QWidget::setFocus), Qt::QueuedConnection);
    }
}

bool MainWindow::fieldEvent(QLineEdit* edit, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn:
        // Entering a field selects its text, so typing replaces it.
        QMetaObject::invokeMethod(edit, &QLineEdit::selectAll, Qt::QueuedConnection);
        return false;
    case QEvent::FocusOut: {
        // Only a move to another control of this window leaves the field:
        // the window losing activation (a dialog or another window coming
        // up over it) or a popup runs no check.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (m_desk && !m_ending && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            validateOnLeave(edit);
        return false;
    }
    case QEvent::KeyPress: {
        // Enter and Down move to the next control, Up to the previous one;
        // the Enter is consumed, so no field ever receives a line break.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down || key == Qt::Key_Up) {
            SendTabKey(edit, key);
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonDblClick:
        emit fieldDoubleClicked(edit->objectName());
        return false;
    default:
        return false;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && m_desk) {
        for (int i = 0; i < 3; ++i)
            if (watched->objectName() == ctl::lblHead(i))
                m_desk->lblHead_DblClick(i);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
        if (fieldEvent(edit, event))
            return true;
    } else if (auto* b = qobject_cast<QPushButton*>(watched); b && event->type() == QEvent::KeyPress) {
        // Enter on a focused button presses it, as on the tills this desk
        // replaces: a reader that ends its input with Enter, and one Enter
        // more, runs the page's action.
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
            if (b->isEnabled())
                b->click();
            return true;
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(watched); box && event->type() == QEvent::KeyPress) {
        // A check box is changed by a touch or Space only; Enter walks on.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down || key == Qt::Key_Up) {
            SendTabKey(box, key);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace tolva
