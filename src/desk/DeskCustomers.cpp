// Card lookup, card issue and customer update of the desk.
#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "desk/Amounts.h"
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "desk/DeskView.h"
#include "link/LinkClient.h"

namespace tolva {

namespace {
const QString kLinkLost = QStringLiteral("連線中斷，請改用電話授權");
const QString kServer = QStringLiteral("SERVER");
} // namespace

bool Desk::reconnect(const QString& lostText) {
    if (!mLinked)
        return true;
    if (m_link.Connect_TCPSrv(mHostIP, QStringLiteral("3501"), mHostPWD))
        return true;
    mLinked = false;
    refuse(lostText);
    return false;
}

bool Desk::replyMissing() {
    if (m_link.lastOutcome() != LinkOutcome::NoReply)
        return false;
    refuse(kLinkLost);
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
    if (!mLinked) {
        refuse(kLinkLost);
        return false;
    }
    return reconnect(kLinkLost);
}

void Desk::fillCustomerPanel() {
    m_view.setText(ctl::txtCustNo, m_view.text(ctl::txtCustNoQry));
    const QString fields[] = {ctl::txtCustName,  ctl::txtTEL1,      ctl::txtZIP,
                              ctl::txtBillAddr1, ctl::txtBillAddr2, ctl::txtFmComID};
    for (int col = 0; col < 6; ++col)
        m_view.setText(fields[col], fgTMP.TextMatrix(0, col));
    m_view.setText(ctl::txtTBonusAmt, formatBalance(numericValue(fgTMP.TextMatrix(0, 6))));
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
        if (!m_link.SelectData(mMsgPrefix, g.gSQL, fgTMP, false)) {
            if (replyMissing())
                return;
            if (fgTMP.Rows() == 0) {
                g.gMsg = QStringLiteral("客戶資料未建檔");
                DispElaMsg(g.gMsg);
            }
            return;
        }
        if (fgTMP.Rows() >= 1)
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
        if (replyMissing())
            return;

        const QString store =
            m_view.text(ctl::txtFmComID).isEmpty() ? g.gStoreID : m_view.text(ctl::txtFmComID);
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

        m_view.setText(ctl::txtCustNoQry, cardNo);
        cmdQry_Click();
        g.gMsg = fgTMP.Rows() >= 1 ? QStringLiteral("成功發卡") : QStringLiteral("發卡失敗");
        DispElaMsg(g.gMsg);
    });
}

void Desk::cmdUPDCust_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdUPDCust_Click"), [&] {
        Globals& g = m_ctx.g;
        if (!cardAndLinkReady())
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
        if (m_view.masterDB()) {
            m_ctx.gCNT.execute(g.gSQL);
            return true;
        }
        if (m_link.SEND_TCPCMD(mMsgPrefix, kServer, g.gSQL, g.gTemp))
            return true;
        replyMissing();
        return false;
    });
}

} // namespace tolva
