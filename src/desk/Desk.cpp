#include "desk/Desk.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/Params.h"
#include "data/RecordWriters.h"
#include "desk/Amounts.h"
#include "desk/ConfirmChecks.h"
#include "desk/Controls.h"
#include "desk/DepositLines.h"
#include "desk/DeskView.h"
#include "desk/FieldKeypads.h"
#include "desk/HandOff.h"
#include "desk/HandOffMailbox.h"
#include "desk/LinkTlsSettings.h"
#include "desk/PostingTexts.h"
#include "link/LinkClient.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tolva {

namespace {
// The hand-off mailbox of the POS station.
const QString kZel = QStringLiteral("ZEL");
const QString kZelq = QStringLiteral("ZELQ");
} // namespace

Desk::Desk(AppContext& ctx, DeskView& view, LinkClient& link, Printing* printing)
    : m_ctx(ctx), m_view(view), m_link(link), m_deskLink(ctx, link, m_state), m_status(ctx, view),
      m_codes(ctx, view), m_keyed(ctx, m_deskLink, m_state),
      m_customers(ctx, view, m_state, m_deskLink, m_status),
      m_transactions(ctx, view, m_state, m_deskLink, m_status, m_keyed),
      m_settings(ctx, view, m_status, m_codes, m_state), m_report(ctx, view, printing) {
    m_deskLink.setAfterLogin([this] { m_keyed.settlePending(); });
    m_state.setLinkWatcher([this](bool linked) { showLinkBanner(!linked); });
}

void Desk::showLinkBanner(bool down) {
    if (down)
        m_view.setText(ctl::lblLinkDown, postingtext::kLinkDownBanner);
    m_view.setVisible(ctl::lblLinkDown, down);
}

Desk::~Desk() = default;

void Desk::Form_Load() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_Form_Load"), [&] {
        const Globals& g = m_ctx.g;
        const QString program = g.appDir + QLatin1Char('/') + g.exeName;
        if (QFileInfo(program).isFile())
            m_view.setToolTip(ctl::lblHead(0),
                              QStringLiteral("檔案日期:") + QFileInfo(program).lastModified().toString(
                                                                QStringLiteral("yyyy/M/d H:mm:ss")));
        m_view.setToolTip(ctl::lblHead(1), QStringLiteral("V") + QCoreApplication::applicationVersion());
        m_view.setText(ctl::lblHead(2), m_ctx.clock.today().toString(QStringLiteral("yyyy/MM/dd")));
        m_view.setText(ctl::lblStatus, g.gUserID);
        m_view.setText(ctl::lblMode, QString());
        m_view.setText(ctl::elaMsg, QStringLiteral("連線中, 請稍候..."));
        m_view.showWindow();
        InitForm();
    });
}

void Desk::InitForm() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_InitForm"), [&] {
        Globals& g = m_ctx.g;
        // Not logged in until startLink says so; the banner stays as it is
        // until the log-in's outcome is known.
        m_state.forgetLink();
        const QString master = m_ctx.settings.Get(kZel, g.exeName, QStringLiteral("chkMasterDB"));
        m_view.setMasterDB(numericValue(master) != 0);
        m_view.clearInputs();
        m_view.setText(ctl::txtDateB, DBDateDisp(g, g.gOPDate));
        m_view.setText(ctl::txtDateE, DBDateDisp(g, g.gOPDate));
        m_link.setTerminator(QChar(0x03));
        m_link.setTimeoutSeconds(15);
        // A request passed on by another start, or else the mailbox's.
        const std::optional<HandOffValues> offered = std::exchange(m_offered, std::nullopt);
        readHandOff(offered ? *offered : HandOffMailbox(m_ctx.settings).take());
        openPage();
        ensureStoreCode();
        m_state.setLinkAddress(m_ctx.settings.Get(kZelq, g.exeName, QStringLiteral("IP")),
                               m_ctx.settings.Get(kZelq, g.exeName, QStringLiteral("PWD")));
        // "StoreLogin" = 1: the desk logs in as its store, with the store's own password.
        const QString storeLogin = m_ctx.settings.Get(kZelq, g.exeName, QStringLiteral("StoreLogin"));
        m_state.setLoginStore(numericValue(storeLogin) != 0 ? g.gStoreID : QString());
        m_view.setText(ctl::txtIP, m_state.link().host);
        m_view.setText(ctl::txtPWD, m_state.link().password);
        m_state.setLinkTls(LinkTlsSettings::read(m_ctx.settings, g.exeName));
        LinkTlsSettings::show(m_view, m_state.link().tls);
        m_keyed.prepare();
        startLink();
        m_view.centerWindow();
    });
}

// The request was taken from the mailbox (with any answer an earlier run
// left) in one locked rewrite, so it is used once.
void Desk::readHandOff(const HandOffValues& values) {
    const HandOff handOff =
        HandOff::check(values.checkNo, values.amount, values.type, values.custNo, values.txnId);
    // A request that is not wholly valid is not posted in any reading of it:
    // the desk opens as if none had come, and the POS hears no answer.
    const bool taken = handOff.valid();
    HandOffRequest request;
    if (taken) {
        request.checkNo = handOff.checkNo;
        request.amount = handOff.amount;
        request.type = handOff.type;
        request.cardNo = handOff.custNo;
        request.txnId = handOff.txnId;
    }
    m_state.setHandOff(request);
    m_view.setText(ctl::txtCustNo, taken ? handOff.custNo : QString());
    m_view.setText(ctl::txtCustNoQry, m_view.text(ctl::txtCustNo));
    if (!taken) {
        const QString refusal = handOff.refusal();
        m_ctx.reporter.WriteLog(refusal);
        m_ctx.dialogs.ShowRefusal(refusal);
    }
    if (!request.checkNo.isEmpty()) {
        m_view.setText(ctl::txtCheckNo(0), request.checkNo);
        m_view.setText(ctl::txtCheckNo(1), request.checkNo);
    }
}

namespace {
QString describe(const HandOffValues& v) {
    return QStringLiteral("CheckNo=") + v.checkNo + QStringLiteral(" TxnAmt=") + v.amount +
           QStringLiteral(" TxnType=") + v.type + QStringLiteral(" CustNo=") + v.custNo;
}
} // namespace

HandOffReply Desk::offerHandOff(const HandOffValues& values) {
    if (!atRest() || m_offered) {
        m_ctx.reporter.WriteLog(QStringLiteral("交易處理中, 未接收交付的交易 ") + describe(values));
        return HandOffReply::Busy;
    }
    m_offered = values;
    if (!HandOff::check(values.checkNo, values.amount, values.type, values.custNo).valid())
        return HandOffReply::Answered;
    return HandOffReply::Taken;
}

void Desk::openOfferedHandOff() {
    if (!m_offered)
        return;
    m_ctx.reporter.WriteLog(QStringLiteral("接收交付的交易 ") + describe(*m_offered));
    InitForm();
}

bool Desk::atRest() const {
    const HandOffRequest& open = m_state.handOff();
    if (!open.type.isEmpty() || !open.checkNo.isEmpty())
        return false;
    for (int i : {0, 1})
        for (const QString& field : {ctl::txtAmt(i), ctl::txtCheckNo(i), ctl::txtRemark(i)})
            if (!m_view.text(field).trimmed().isEmpty())
                return false;
    const QString card = m_view.text(ctl::txtCustNo).trimmed();
    if (!card.isEmpty() && !m_state.card().isCard(card))
        return false;
    return !m_view.isTabShown(ctl::kSettings);
}

void Desk::openPage() {
    const HandOffRequest& request = m_state.handOff();
    if (request.type == QLatin1String("2")) {
        m_view.showTab(ctl::kDeduction, true);
        m_view.showTab(ctl::kDeposit, false);
        m_view.selectTab(ctl::kDeduction);
        m_view.setText(ctl::txtAmt(1), plainNumber(request.amount));
        m_state.setOpenedAmount(request.amount);
        m_view.setVisible(ctl::cmdIsuCard, false);
    } else if (request.type == QLatin1String("1")) {
        double amount = request.amount;
        CalcBonusAmt(QStringLiteral("1"), amount);
        m_view.showTab(ctl::kDeposit, true);
        m_view.showTab(ctl::kDeduction, false);
        m_view.selectTab(ctl::kDeposit);
        m_view.setText(ctl::txtAmt(0), plainNumber(amount));
        m_state.setOpenedAmount(amount);
        // The cashier collects what was handed over, not the amount credited.
        showDepositLines(m_view, depositSplit(request.amount));
        m_view.setVisible(ctl::cmdIsuCard, true);
    } else {
        m_view.selectTab(ctl::kQuery);
        m_view.setVisible(ctl::cmdIsuCard, true);
    }
}

void Desk::ensureStoreCode() {
    QString storeID;
    m_state.setStoreID(getParamValue(m_ctx, QStringLiteral("StoreID"), storeID) ? storeID : QString());
    const QString& store = m_state.storeID();
    m_view.setText(ctl::txtTxnDept(0), store);
    m_view.setText(ctl::txtTxnDept(1), store);
    if (m_codes.exists(store))
        return;
    xxCODERec rec;
    rec.CodeType = m_ctx.g.exeName;
    rec.Code = store;
    if (!ADD_xxCODE(m_ctx, rec, m_ctx.gCNT))
        DispElaMsg(QStringLiteral("存檔失敗"));
}

void Desk::startLink() {
    const LinkSettings& settings = m_state.link();
    if (!settings.isComplete()) {
        // No service to log in to: the link is down as far as the operator goes.
        m_state.setLinked(false);
        endKnownHandOff();
        return;
    }
    if (m_link.connectWith(settings)) {
        m_state.setLinked(true);
        DispElaMsg(QStringLiteral("連線成功"));
        m_keyed.settlePending();
        if (endKnownHandOff())
            return;
        if (!m_view.text(ctl::txtCustNo).isEmpty())
            m_customers.cmdQry_Click();
        const CardOfQuery& card = m_state.card();
        const double balance = card.loaded ? card.balance : 0;
        if (m_state.handOff().type == QLatin1String("2") &&
            exceedsBalance(m_state.handOff().amount, balance)) {
            m_ctx.dialogs.ShowRefusal(shortBalanceText(balance, m_state.handOff().amount));
            m_view.setVisible(ctl::cmdOK(1), false);
        }
    } else {
        m_state.setLinked(false);
        const QString down = QStringLiteral("無法與會員資料庫連線!!");
        m_ctx.dialogs.ShowMsg(down);
        DispElaMsg(down);
        endKnownHandOff();
    }
}

bool Desk::endKnownHandOff() {
    if (m_transactions.answerKnownHandOff())
        return true;
    m_keyed.showOfflineTrouble();
    return false;
}

void Desk::CalcBonusAmt(const QString& type, double& amount) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_CalcBonusAmt"), [&] {
        if (type != QLatin1String("1"))
            return;
        const DepositSplit split = depositSplit(amount);
        if (split.rule.isEmpty())
            return;
        amount = split.credited;
        // About the amount the page opens with, which is the credited amount.
        m_status.showAboutValues({{ctl::txtAmt(0), plainNumber(amount)}}, split.rule);
    });
}

void Desk::DispElaMsg(const QString& text, int beeps) {
    m_status.show(text, beeps);
}

void Desk::chkMasterDB_Click() {
    m_settings.chkMasterDB_Click();
}

void Desk::lblHead_DblClick(int index) {
    m_settings.lblHead_DblClick(index);
}

void Desk::cmdHideSetting_Click() {
    m_settings.cmdHideSetting_Click();
}

void Desk::cmdQry_Click() {
    m_customers.cmdQry_Click();
}

void Desk::cmdIsuCard_Click() {
    m_customers.cmdIsuCard_Click();
}

void Desk::cmdUPDCust_Click() {
    m_customers.cmdUPDCust_Click();
}

bool Desk::UpdateCustData() {
    return m_customers.UpdateCustData();
}

void Desk::cmdOK_Click(int index) {
    m_transactions.cmdOK_Click(index);
}

void Desk::cmdRefNo_Click(int index) {
    m_transactions.cmdRefNo_Click(index);
}

void Desk::cmdVoidAmt_Click(int index) {
    m_transactions.cmdVoidAmt_Click(index);
}

void Desk::cmdRemark_Click(int index) {
    m_transactions.cmdRemark_Click(index);
}

void Desk::field_DblClick(const QString& control) {
    for (const QString& field : {ctl::txtCustNo, ctl::txtCustName, ctl::txtCustNoQry, ctl::txtCustNameQry})
        if (control == field)
            FieldKeypads(m_view, m_ctx.dialogs).enter(control);
    m_status.dropStale();
}

void Desk::field_Change(const QString&) {
    m_status.dropStale();
}

void Desk::txtAmt_Validate(int index, bool& cancel) {
    m_transactions.txtAmt_Validate(index, cancel);
}

void Desk::txtCheckNo_Validate(int index, bool& cancel) {
    m_transactions.txtCheckNo_Validate(index, cancel);
}

void Desk::cmdExit_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdExit_Click"),
              [&] { m_view.endProgram(); });
}

void Desk::Form_QueryUnload() {
    cmdExit_Click();
}

} // namespace tolva
