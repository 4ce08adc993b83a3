// The customer panel: card lookup, card issue and customer update.
#include "desk/CustomerPanel.h"
#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "db/SqlColumns.h"
#include "desk/Amounts.h"
#include "desk/Controls.h"
#include "desk/DeskLink.h"
#include "desk/DeskState.h"
#include "desk/DeskView.h"
#include "desk/FieldChecks.h"
#include "desk/PostingTexts.h"
#include "desk/StatusLine.h"
#include "link/LinkClient.h"

namespace tolva {

namespace {
using postingtext::kLinkLost;
// The card number comes last, so a name search knows the card it found.
const QString kCustomerColumns = QStringLiteral(
    " Select CustName , Tel1 , Zip , BillAddr1 , BillAddr2 , FmComID , TBonusAmt , CustNo From Cust ");
constexpr int kCardColumn = 7;
const QString kServer = QStringLiteral("SERVER");

// The customer values that issue and update write, with their columns.
QList<QPair<FieldRule, QString>> customerValues(const DeskView& view, const QString& store) {
    return {
        {field::custName(), view.text(ctl::txtCustName)}, {field::tel(), view.text(ctl::txtTEL1)},
        {field::zip(), view.text(ctl::txtZIP)},           {field::address(), view.text(ctl::txtBillAddr1)},
        {field::address(), view.text(ctl::txtBillAddr2)}, {field::storeCode(), store}};
}
} // namespace

bool CustomerPanel::cardAndLinkReady() {
    if (m_view.text(ctl::txtCustNo).isEmpty()) {
        m_status.showAbout({ctl::txtCustNo}, QStringLiteral("請輸入卡號"));
        return false;
    }
    return m_link.reconnect(kLinkLost);
}

void CustomerPanel::clearCustomerPanel() {
    for (const QString& field : {ctl::txtCustNo, ctl::txtCustName, ctl::txtTEL1, ctl::txtZIP,
                                 ctl::txtBillAddr1, ctl::txtBillAddr2, ctl::txtFmComID, ctl::txtTBonusAmt})
        m_view.setText(field, QString());
    m_view.setVisible(ctl::cmdUPDCust, false);
    m_state.clearCard();
}

std::optional<int> CustomerPanel::pickCustomer() {
    const Grid& found = m_state.fgTMP();
    if (found.Rows() == 1)
        return 0;
    QList<QStringList> rows;
    for (int row = 0; row < found.Rows(); ++row)
        rows.append({found.TextMatrix(row, kCardColumn),
                     found.TextMatrix(row, 0) + QStringLiteral("　") + found.TextMatrix(row, 1)});
    QString card;
    m_ctx.dialogs.ShowPick(rows, card, nullptr, QStringLiteral("卡號"), QStringLiteral("姓名　電話"));
    for (int row = 0; row < found.Rows(); ++row)
        if (!card.isEmpty() && found.TextMatrix(row, kCardColumn) == card)
            return row;
    return std::nullopt;
}

void CustomerPanel::fillCustomerPanel(int row) {
    const Grid& found = m_state.fgTMP();
    m_view.setText(ctl::txtCustNo, found.TextMatrix(row, kCardColumn));
    const QString fields[] = {ctl::txtCustName,  ctl::txtTEL1,      ctl::txtZIP,
                              ctl::txtBillAddr1, ctl::txtBillAddr2, ctl::txtFmComID};
    for (int col = 0; col < 6; ++col)
        m_view.setText(fields[col], found.TextMatrix(row, col));
    const double balance = numericValue(found.TextMatrix(row, 6));
    m_view.setText(ctl::txtTBonusAmt, formatBalance(balance));
    m_state.setCard(m_view.text(ctl::txtCustNo), balance);
    m_view.showTab(ctl::kDeposit, true);
    m_view.showTab(ctl::kDeduction, true);
    if (m_state.handOff().type == QLatin1String("2")) {
        m_view.showTab(ctl::kDeposit, false);
        m_view.selectTab(ctl::kDeduction);
    } else if (m_state.handOff().type == QLatin1String("1")) {
        m_view.showTab(ctl::kDeduction, false);
        m_view.selectTab(ctl::kDeposit);
    }
}

void CustomerPanel::cmdQry_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdQry_Click"), [&] {
        const QString cardNo = m_view.text(ctl::txtCustNoQry);
        const QString name = m_view.text(ctl::txtCustNameQry);
        if (cardNo.isEmpty() && name.isEmpty())
            return;
        if (!m_link.valuesAllowed({{field::cardNo(), cardNo}, {field::custName(), name}}))
            return;
        const CardOfQuery previous = m_state.card();
        lookUp(cardNo, name);
        // Another card: the one found, or else the number asked for (a
        // lookup that got no answer for the same card is no new guest).
        const CardOfQuery& found = m_state.card();
        const bool otherCard =
            found.loaded ? !found.isCard(previous.cardNo) : !cardNo.isEmpty() && cardNo != previous.cardNo;
        if (previous.loaded && otherCard)
            clearPreviousGuest();
    });
}

void CustomerPanel::clearPreviousGuest() {
    // A bill and amount the station handed over are the new guest's own.
    if (!m_state.handOff().type.isEmpty() || !m_state.handOff().checkNo.isEmpty())
        return;
    for (int i : {0, 1})
        for (const QString& field : {ctl::txtCheckNo(i), ctl::txtAmt(i), ctl::txtRemark(i)})
            m_view.setText(field, QString());
}

void CustomerPanel::lookUp(const QString& cardNo, const QString& name) {
    clearCustomerPanel();
    if (!m_link.reconnect(kLinkLost))
        return;
    SqlColumns match;
    if (!cardNo.isEmpty())
        match.text(QStringLiteral("CustNo"), cardNo);
    if (!name.isEmpty())
        match.text(QStringLiteral("CustName"), name);
    m_state.fgTMP().setRows(0);
    const bool answered = m_link.client().SelectData(m_state.link().prefix, kCustomerColumns + match.where(),
                                                     m_state.fgTMP(), false);
    if (!answered && m_link.replyMissing())
        return;
    // Only an answered query says the card is not on file; a failure
    // answer has been shown by the link.
    if (m_link.client().lastOutcome() != LinkOutcome::Replied)
        return;
    if (m_state.fgTMP().Rows() == 0) {
        // The number asked for stays, ready for issuing a card on it.
        m_view.setText(ctl::txtCustNo, cardNo);
        // About the card or name asked for, and the number kept for issuing.
        m_status.showAbout({ctl::txtCustNoQry, ctl::txtCustNameQry, ctl::txtCustNo},
                           QStringLiteral("客戶資料未建檔"));
        return;
    }
    // Several cards of one name: the operator picks the guest's.
    const std::optional<int> row = pickCustomer();
    if (!row)
        return;
    fillCustomerPanel(*row);
    m_view.setVisible(ctl::cmdUPDCust, true);
}

void CustomerPanel::cmdIsuCard_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdIsuCard_Click"), [&] {
        Globals& g = m_ctx.g;
        if (!cardAndLinkReady())
            return;
        const QString cardNo = m_view.text(ctl::txtCustNo);
        const QString store =
            m_view.text(ctl::txtFmComID).isEmpty() ? g.gStoreID : m_view.text(ctl::txtFmComID);
        if (!m_link.valuesAllowed(QList<QPair<FieldRule, QString>>{{field::cardNo(), cardNo}} +
                                  customerValues(m_view, store)))
            return;

        const QString exists =
            QStringLiteral(
                " Select CustName , Tel1 , Zip , BillAddr1 , BillAddr1 , FmComID , TBonusAmt From Cust ") +
            SqlColumns().text(QStringLiteral("CustNo"), cardNo).where();
        m_state.fgTMP().setRows(0);
        if (m_link.client().SelectData(m_state.link().prefix, exists, m_state.fgTMP(), false)) {
            m_status.showAbout({ctl::txtCustNo}, QStringLiteral("客戶資料已存在"));
            return;
        }
        // Without an answer the card may well exist: never issue on that.
        if (m_link.replyMissing() || m_link.client().lastOutcome() != LinkOutcome::Replied)
            return;

        const QString insert = SqlColumns()
                                   .text(QStringLiteral("CustNO"), cardNo)
                                   .text(QStringLiteral("CustName"), m_view.text(ctl::txtCustName))
                                   .text(QStringLiteral("Tel1"), m_view.text(ctl::txtTEL1))
                                   .sql(QStringLiteral("IsuDate"), m_ctx.gCNT.dialect().quotedDate(g.gOPDate))
                                   .sql(QStringLiteral("TBonusAmt"), QStringLiteral("0"))
                                   .text(QStringLiteral("Zip"), m_view.text(ctl::txtZIP))
                                   .text(QStringLiteral("BillAddr1"), m_view.text(ctl::txtBillAddr1))
                                   .text(QStringLiteral("BillAddr2"), m_view.text(ctl::txtBillAddr2))
                                   .text(QStringLiteral("FmComID"), store)
                                   .text(QStringLiteral("UserID"), g.gUserID)
                                   .sql(QStringLiteral("FileDate"), m_ctx.gCNT.dialect().serverDate())
                                   .insertInto(QStringLiteral("CUST"));
        QString reply;
        if (m_view.masterDB()) {
            m_ctx.gCNT.execute(insert);
        } else if (!m_link.client().SEND_TCPCMD(m_state.link().prefix, kServer, insert, reply)) {
            m_link.replyMissing();
            return;
        }

        // The card is issued. Only a service that answered and does not
        // know it (it reads another database than the one written) makes
        // the issue a failure; a re-query without an answer does not.
        m_view.setText(ctl::txtCustNoQry, cardNo);
        cmdQry_Click();
        const bool unknownThere =
            m_link.client().lastOutcome() == LinkOutcome::Replied && m_state.fgTMP().Rows() == 0;
        if (!m_state.card().loaded && !unknownThere) {
            m_view.setText(ctl::txtCustNo, cardNo);
            m_view.setText(ctl::txtTBonusAmt, formatBalance(0));
            m_state.setCard(cardNo, 0);
        }
        m_status.show(unknownThere ? QStringLiteral("發卡失敗") : QStringLiteral("成功發卡"));
    });
}

void CustomerPanel::cmdUPDCust_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdUPDCust_Click"), [&] {
        Globals& g = m_ctx.g;
        if (!cardAndLinkReady())
            return;
        // The update is for the card on screen, not for a number typed over it.
        if (!m_state.card().isCard(m_view.text(ctl::txtCustNo))) {
            m_link.refuse(QStringLiteral("卡號已變更，請重新查詢"));
            return;
        }
        const QString store =
            m_view.text(ctl::txtFmComID).isEmpty() ? g.gStoreID : m_view.text(ctl::txtFmComID);
        if (!m_link.valuesAllowed(customerValues(m_view, store)))
            return;
        if (m_ctx.dialogs.askYesNo(QStringLiteral("是否要更新此客戶的資料?"), Dialogs::Icon::None,
                                   QString()) &&
            UpdateCustData())
            m_status.show(QStringLiteral("已更新會員資料"));
    });
}

bool CustomerPanel::UpdateCustData() {
    return guard(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_UpdateCustData"), false, [&] {
        Globals& g = m_ctx.g;
        const QString store =
            m_view.text(ctl::txtFmComID).isEmpty() ? g.gStoreID : m_view.text(ctl::txtFmComID);
        // UserID keeps the operator who issued the card; UpdUserID names the
        // operator of this change.
        const QString update =
            SqlColumns()
                .text(QStringLiteral("CustName"), m_view.text(ctl::txtCustName))
                .text(QStringLiteral("Tel1"), m_view.text(ctl::txtTEL1))
                .text(QStringLiteral("Zip"), m_view.text(ctl::txtZIP))
                .text(QStringLiteral("BillAddr1"), m_view.text(ctl::txtBillAddr1))
                .text(QStringLiteral("BillAddr2"), m_view.text(ctl::txtBillAddr2))
                .text(QStringLiteral("FmComID"), store)
                .text(QStringLiteral("UpdUserID"), g.gUserID)
                .sql(QStringLiteral("FileDate"), QStringLiteral(" FileDate "))
                .sql(QStringLiteral("UpdDate"), QStringLiteral(" ") + m_ctx.gCNT.dialect().serverDate())
                .update(QStringLiteral("CUST"),
                        SqlColumns()
                            .text(QStringLiteral("CustNo"), m_view.text(ctl::txtCustNo))
                            .where(QStringLiteral(" WHERE ")));
        qint64 changed = 1;
        QString reply;
        if (m_view.masterDB()) {
            changed = m_ctx.gCNT.execute(update);
        } else if (m_link.client().SEND_TCPCMD(m_state.link().prefix, kServer, update, reply)) {
            changed = m_link.client().lastCount().value_or(1);
        } else {
            m_link.replyMissing();
            return false;
        }
        // The card was taken off file since it was looked up.
        if (changed == 0) {
            m_link.refuse(QStringLiteral("請先建立客戶資料"));
            return false;
        }
        return true;
    });
}

} // namespace tolva
