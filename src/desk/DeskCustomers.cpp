// Card lookup, card issue and customer update of the desk.
#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "desk/Amounts.h"
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "desk/DeskView.h"
#include "desk/FieldChecks.h"
#include "link/LinkClient.h"

namespace tolva {

namespace {
const QString kLinkLost = QStringLiteral("連線中斷，請改用電話授權");
const QString kServer = QStringLiteral("SERVER");

// The customer values that issue and update write, with their columns.
QList<QPair<FieldRule, QString>> customerValues(const DeskView& view, const QString& store) {
    return {
        {field::custName(), view.text(ctl::txtCustName)}, {field::tel(), view.text(ctl::txtTEL1)},
        {field::zip(), view.text(ctl::txtZIP)},           {field::address(), view.text(ctl::txtBillAddr1)},
        {field::address(), view.text(ctl::txtBillAddr2)}, {field::storeCode(), store}};
}
} // namespace

// Every operation that needs the link logs in afresh, also after the link
// went down: when the service is back, so is the link.
bool Desk::reconnect(const QString& lostText) {
    if (m_linkSettings.isComplete() &&
        m_link.Connect_TCPSrv(m_linkSettings.host, m_linkSettings.port, m_linkSettings.password)) {
        mLinked = true;
        return true;
    }
    mLinked = false;
    refuse(lostText);
    return false;
}

bool Desk::replyMissing() {
    const LinkOutcome outcome = m_link.lastOutcome();
    if (outcome != LinkOutcome::NoReply && outcome != LinkOutcome::NotSent)
        return false;
    mLinked = false;
    refuse(kLinkLost);
    return true;
}

bool Desk::valuesAllowed(const QList<QPair<FieldRule, QString>>& values) {
    for (const auto& [rule, value] : values) {
        const QString refusal = fieldRefusal(rule, value);
        if (!refusal.isEmpty()) {
            refuse(refusal);
            return false;
        }
    }
    return true;
}

void Desk::refuse(const QString& text) {
    m_ctx.g.gMsg = text;
    m_ctx.dialogs.ShowMsg(m_ctx.g.gMsg);
}

bool Desk::cardAndLinkReady() {
    if (m_view.text(ctl::txtCustNo).isEmpty()) {
        m_ctx.g.gMsg = QStringLiteral("請輸入卡號");
        DispElaMsg(m_ctx.g.gMsg);
        return false;
    }
    return reconnect(kLinkLost);
}

void Desk::clearCustomerPanel() {
    for (const QString& field : {ctl::txtCustNo, ctl::txtCustName, ctl::txtTEL1, ctl::txtZIP,
                                 ctl::txtBillAddr1, ctl::txtBillAddr2, ctl::txtFmComID, ctl::txtTBonusAmt})
        m_view.setText(field, QString());
    m_view.setVisible(ctl::cmdUPDCust, false);
    m_card.clear();
}

void Desk::fillCustomerPanel() {
    m_view.setText(ctl::txtCustNo, m_view.text(ctl::txtCustNoQry));
    const QString fields[] = {ctl::txtCustName,  ctl::txtTEL1,      ctl::txtZIP,
                              ctl::txtBillAddr1, ctl::txtBillAddr2, ctl::txtFmComID};
    for (int col = 0; col < 6; ++col)
        m_view.setText(fields[col], fgTMP.TextMatrix(0, col));
    const double balance = numericValue(fgTMP.TextMatrix(0, 6));
    m_view.setText(ctl::txtTBonusAmt, formatBalance(balance));
    m_card.set(m_view.text(ctl::txtCustNo), balance);
    m_view.showTab(ctl::kDeposit, true);
    m_view.showTab(ctl::kDeduction, true);
    if (mTxnType == QLatin1String("2")) {
        m_view.showTab(ctl::kDeposit, false);
        m_view.selectTab(ctl::kDeduction);
    } else if (mTxnType == QLatin1String("1")) {
        m_view.showTab(ctl::kDeduction, false);
        m_view.selectTab(ctl::kDeposit);
    }
}

void Desk::cmdQry_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdQry_Click"), [&] {
        Globals& g = m_ctx.g;
        const QString cardNo = m_view.text(ctl::txtCustNoQry);
        const QString name = m_view.text(ctl::txtCustNameQry);
        if (cardNo.isEmpty() && name.isEmpty())
            return;
        if (!valuesAllowed({{field::cardNo(), cardNo}, {field::custName(), name}}))
            return;
        clearCustomerPanel();
        if (!reconnect(kLinkLost))
            return;
        g.gSQL = QStringLiteral(
            " Select CustName , Tel1 , Zip , BillAddr1 , BillAddr2 , FmComID , TBonusAmt From Cust ");
        QString where = QStringLiteral(" Where ");
        if (!cardNo.isEmpty()) {
            g.gSQL += where + QStringLiteral("CustNo = ") + QuotStr(cardNo);
            where = QStringLiteral(" And ");
        }
        if (!name.isEmpty())
            g.gSQL += where + QStringLiteral("CustName = ") + QuotStr(name);
        fgTMP.setRows(0);
        const bool answered = m_link.SelectData(mMsgPrefix, g.gSQL, fgTMP, false);
        if (!answered && replyMissing())
            return;
        // Only an answered query says the card is not on file; a failure
        // answer has been shown by the link.
        if (m_link.lastOutcome() != LinkOutcome::Replied)
            return;
        if (fgTMP.Rows() == 0) {
            // The number asked for stays, ready for issuing a card on it.
            m_view.setText(ctl::txtCustNo, cardNo);
            g.gMsg = QStringLiteral("客戶資料未建檔");
            DispElaMsg(g.gMsg);
            return;
        }
        fillCustomerPanel();
        m_view.setVisible(ctl::cmdUPDCust, true);
    });
}

void Desk::cmdIsuCard_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdIsuCard_Click"), [&] {
        Globals& g = m_ctx.g;
        if (!cardAndLinkReady())
            return;
        const QString cardNo = m_view.text(ctl::txtCustNo);
        const QString store =
            m_view.text(ctl::txtFmComID).isEmpty() ? g.gStoreID : m_view.text(ctl::txtFmComID);
        if (!valuesAllowed(QList<QPair<FieldRule, QString>>{{field::cardNo(), cardNo}} +
                           customerValues(m_view, store)))
            return;

        g.gSQL =
            QStringLiteral(
                " Select CustName , Tel1 , Zip , BillAddr1 , BillAddr1 , FmComID , TBonusAmt From Cust ") +
            QStringLiteral(" Where CustNo = ") + QuotStr(cardNo);
        fgTMP.setRows(0);
        if (m_link.SelectData(mMsgPrefix, g.gSQL, fgTMP, false)) {
            g.gMsg = QStringLiteral("客戶資料已存在");
            DispElaMsg(g.gMsg);
            return;
        }
        // Without an answer the card may well exist: never issue on that.
        if (replyMissing() || m_link.lastOutcome() != LinkOutcome::Replied)
            return;

        g.gSQL = QStringLiteral("INSERT INTO CUST ( ") + QStringLiteral(" CustNO, ") +
                 QStringLiteral(" CustName, ") + QStringLiteral(" Tel1, ") + QStringLiteral(" IsuDate, ") +
                 QStringLiteral(" TBonusAmt, ") + QStringLiteral(" Zip, ") + QStringLiteral(" BillAddr1, ") +
                 QStringLiteral(" BillAddr2, ") + QStringLiteral(" FmComID, ") + QStringLiteral(" UserID, ") +
                 QStringLiteral(" FileDate ") + QStringLiteral(" ) VALUES ( ") + QuotStr(cardNo) +
                 QStringLiteral(", ") + QuotStr(m_view.text(ctl::txtCustName)) + QStringLiteral(", ") +
                 QuotStr(m_view.text(ctl::txtTEL1)) + QStringLiteral(", ") + QuotDate(g, g.gOPDate) +
                 QStringLiteral(", ") + QStringLiteral("0") + QStringLiteral(", ") +
                 QuotStr(m_view.text(ctl::txtZIP)) + QStringLiteral(", ") +
                 QuotStr(m_view.text(ctl::txtBillAddr1)) + QStringLiteral(", ") +
                 QuotStr(m_view.text(ctl::txtBillAddr2)) + QStringLiteral(", ") + QuotStr(store) +
                 QStringLiteral(", ") + QuotStr(g.gUserID) + QStringLiteral(", ") + g.gServerDate +
                 QStringLiteral(") ");
        if (m_view.masterDB()) {
            m_ctx.gCNT.execute(g.gSQL);
        } else if (!m_link.SEND_TCPCMD(mMsgPrefix, kServer, g.gSQL, g.gTemp)) {
            replyMissing();
            return;
        }

        // The card is issued. Only a service that answered and does not
        // know it (it reads another database than the one written) makes
        // the issue a failure; a re-query without an answer does not.
        m_view.setText(ctl::txtCustNoQry, cardNo);
        cmdQry_Click();
        const bool unknownThere = m_link.lastOutcome() == LinkOutcome::Replied && fgTMP.Rows() == 0;
        if (!m_card.loaded && !unknownThere) {
            m_view.setText(ctl::txtCustNo, cardNo);
            m_view.setText(ctl::txtTBonusAmt, formatBalance(0));
            m_card.set(cardNo, 0);
        }
        g.gMsg = unknownThere ? QStringLiteral("發卡失敗") : QStringLiteral("成功發卡");
        DispElaMsg(g.gMsg);
    });
}

void Desk::cmdUPDCust_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdUPDCust_Click"), [&] {
        Globals& g = m_ctx.g;
        if (!cardAndLinkReady())
            return;
        // The update is for the card on screen, not for a number typed over it.
        if (!m_card.isCard(m_view.text(ctl::txtCustNo))) {
            refuse(QStringLiteral("卡號已變更，請重新查詢"));
            return;
        }
        const QString store =
            m_view.text(ctl::txtFmComID).isEmpty() ? g.gStoreID : m_view.text(ctl::txtFmComID);
        if (!valuesAllowed(customerValues(m_view, store)))
            return;
        g.gMsg = QStringLiteral("是否要更新此客戶的資料?");
        if (m_ctx.dialogs.askYesNo(g.gMsg, Dialogs::Icon::None, QString()))
            UpdateCustData();
    });
}

bool Desk::UpdateCustData() {
    return guard(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_UpdateCustData"), false, [&] {
        Globals& g = m_ctx.g;
        const QString store =
            m_view.text(ctl::txtFmComID).isEmpty() ? g.gStoreID : m_view.text(ctl::txtFmComID);
        // UserID keeps the operator who issued the card; UpdUserID names the
        // operator of this change.
        g.gSQL = QStringLiteral("UPDATE CUST SET ") + QStringLiteral(" CustName = ") +
                 QuotStr(m_view.text(ctl::txtCustName)) + QStringLiteral(", ") + QStringLiteral(" Tel1 = ") +
                 QuotStr(m_view.text(ctl::txtTEL1)) + QStringLiteral(", ") + QStringLiteral(" Zip = ") +
                 QuotStr(m_view.text(ctl::txtZIP)) + QStringLiteral(", ") + QStringLiteral(" BillAddr1 = ") +
                 QuotStr(m_view.text(ctl::txtBillAddr1)) + QStringLiteral(", ") +
                 QStringLiteral(" BillAddr2 = ") + QuotStr(m_view.text(ctl::txtBillAddr2)) +
                 QStringLiteral(", ") + QStringLiteral(" FmComID = ") + QuotStr(store) +
                 QStringLiteral(", ") + QStringLiteral(" UpdUserID = ") + QuotStr(g.gUserID) +
                 QStringLiteral(", ") + QStringLiteral(" FileDate =  FileDate ") + QStringLiteral(", ") +
                 QStringLiteral(" UpdDate =  ") + g.gServerDate + QStringLiteral(" WHERE CustNo = ") +
                 QuotStr(m_view.text(ctl::txtCustNo));
        qint64 changed = 1;
        if (m_view.masterDB()) {
            changed = m_ctx.gCNT.execute(g.gSQL);
        } else if (m_link.SEND_TCPCMD(mMsgPrefix, kServer, g.gSQL, g.gTemp)) {
            changed = m_link.lastCount().value_or(1);
        } else {
            replyMissing();
            return false;
        }
        // The card was taken off file since it was looked up.
        if (changed == 0) {
            refuse(QStringLiteral("請先建立客戶資料"));
            return false;
        }
        return true;
    });
}

} // namespace tolva
