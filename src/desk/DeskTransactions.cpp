// Value transactions: deposits and deductions against a card, the bill and
// amount entry, and the checks when those fields are left.
#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/RecordWriters.h"
#include "db/SqlTransaction.h"
#include "desk/Amounts.h"
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "desk/DeskView.h"
#include "desk/FieldChecks.h"
#include "link/LinkClient.h"

namespace tolva {

namespace {
const QString kServer = QStringLiteral("SERVER");
const QString kZel = QStringLiteral("ZEL");
const QString kHandOff = QStringLiteral("TOLVA");
const QString kShort = QStringLiteral("餘額不足");
const QString kNoCustomer = QStringLiteral("請先建立客戶資料");
const QString kPostingLinkLost = QStringLiteral("連線中斷，請改用電話查詢");
const QString kUnknown = QStringLiteral("交易結果不明，請查詢餘額確認");
const QString kProcedure = QStringLiteral("fmTOLVA_cmdOK_Click");
} // namespace

void Desk::refuseUnchanged(const QString& type, bool cardOnFile) {
    refuse(type == QLatin1String("1") || !cardOnFile ? kNoCustomer : kShort);
}

bool Desk::remoteCardOnFile(const QString& cardNo) {
    Grid found;
    const bool answered = m_link.SelectData(
        mMsgPrefix, QStringLiteral("Select CustNo From Cust Where CustNo = ") + QuotStr(cardNo), found,
        false);
    // Without an answer the card is taken to be there: the refusal then
    // speaks of the balance, and nothing was written either way.
    return answered || m_link.lastOutcome() != LinkOutcome::Replied;
}

void Desk::reportUnknownOutcome(const QString& step, int index, const QString& type, const QString& amount) {
    mLinked = false;
    logPosting(step, index, type, amount);
    m_ctx.reporter.ErrorLog(
        kProcedure,
        Fault(Fault::kGeneric, kUnknown + QStringLiteral(" (") + step + QStringLiteral(") 卡號=") +
                                   m_view.text(ctl::txtCustNo) + QStringLiteral(" 類別=") + type +
                                   QStringLiteral(" 金額=") + amount + QStringLiteral(" 帳單號=") +
                                   m_view.text(ctl::txtCheckNo(index))));
    refuse(kUnknown);
}

QString Desk::answerAmount(double confirmed) const {
    // Compared as the page shows them: the opened amount is on the page as text.
    return plainNumber(plainNumber(confirmed) == plainNumber(m_openedAmount) ? mTxnAmt : confirmed);
}

void Desk::logPosting(const QString& step, int index, const QString& type, const QString& amount) {
    m_ctx.reporter.WriteLog(QStringLiteral("交易 ") + step + QStringLiteral(": 卡號=") +
                            m_view.text(ctl::txtCustNo) + QStringLiteral(" 類別=") + type +
                            QStringLiteral(" 金額=") + amount + QStringLiteral(" 帳單號=") +
                            m_view.text(ctl::txtCheckNo(index)));
}

bool Desk::writeLocalLog(int index, const QString& type, const QString& amount) {
    const Globals& g = m_ctx.g;
    VCardLogRec rec;
    rec.TxnDept = m_view.text(ctl::txtTxnDept(index));
    rec.TxnType = type;
    rec.CardNo = m_view.text(ctl::txtCustNo);
    rec.TxnDate = g.gOPDate;
    rec.TxnAmt = amount;
    rec.TxnPoint = QStringLiteral("0");
    rec.RefCheckNo = m_view.text(ctl::txtCheckNo(index));
    rec.POSID = g.gPOSID;
    rec.UserID = g.gUserID;
    rec.Remark = m_view.text(ctl::txtRemark(index));
    return ADD_VCardLog(m_ctx, rec, m_ctx.gCNT);
}

// The local database is the master: the balance and the log row are one
// transaction, both or neither.
bool Desk::postMaster(int index, const QString& type, const QString& amount) {
    Globals& g = m_ctx.g;
    SqlTransaction tx(m_ctx.gCNT);
    const int changed = m_ctx.gCNT.execute(g.gSQL);
    if (changed < 1) {
        // A deduction that would take the balance below zero changes no row
        // (another till may have spent it meanwhile), nor does a card that
        // was taken off file.
        refuseUnchanged(type, m_ctx.gCNT.hasRow(QStringLiteral("Select CustNo From Cust Where CustNo = ") +
                                                QuotStr(m_view.text(ctl::txtCustNo))));
        return false;
    }
    if (!writeLocalLog(index, type, amount))
        return false;
    tx.commit();
    logPosting(QStringLiteral("已過帳(主資料庫)"), index, type, amount);
    return true;
}

// The member database is remote: balance there, log row here, log row there.
// Each step goes to the log file so a posting cut short can be traced.
bool Desk::postRemote(int index, const QString& type, const QString& amount) {
    Globals& g = m_ctx.g;
    logPosting(QStringLiteral("送出餘額異動"), index, type, amount);
    if (!m_link.SEND_TCPCMD(mMsgPrefix, kServer, g.gSQL, g.gTemp)) {
        // Without an answer nobody knows whether the balance moved: the
        // confirmation stays spent. A failure answer, or a statement that
        // never went out, moved nothing and the operator may try again.
        switch (m_link.lastOutcome()) {
        case LinkOutcome::NoReply:
            reportUnknownOutcome(QStringLiteral("餘額異動無回應"), index, type, amount);
            return false;
        case LinkOutcome::NotSent:
            logPosting(QStringLiteral("餘額異動未送出"), index, type, amount);
            mLinked = false;
            refuse(kPostingLinkLost);
            break;
        default:
            logPosting(QStringLiteral("餘額異動失敗"), index, type, amount);
            break;
        }
        m_posting = false;
        return false;
    }
    if (m_link.lastCount() == 0) {
        logPosting(QStringLiteral("餘額未異動"), index, type, amount);
        m_posting = false;
        refuseUnchanged(type, remoteCardOnFile(m_view.text(ctl::txtCustNo)));
        return false;
    }
    logPosting(QStringLiteral("餘額異動完成"), index, type, amount);

    if (!writeLocalLog(index, type, amount)) {
        logPosting(QStringLiteral("本機交易記錄失敗"), index, type, amount);
        return false;
    }
    logPosting(QStringLiteral("本機交易記錄完成"), index, type, amount);

    g.gSQL = QStringLiteral("INSERT INTO VCardLog ( ") + QStringLiteral(" TxnDept, ") +
             QStringLiteral(" TxnType, ") + QStringLiteral(" CardNo, ") + QStringLiteral(" TxnDate, ") +
             QStringLiteral(" TxnAmt, ") + QStringLiteral(" RefCheckNo, ") + QStringLiteral(" POSID, ") +
             QStringLiteral(" UserID, ") + QStringLiteral(" Remark, ") + QStringLiteral(" FileDate ") +
             QStringLiteral(" ) VALUES ( ") + QuotStr(m_view.text(ctl::txtTxnDept(index))) +
             QStringLiteral(", ") + QuotStr(type) + QStringLiteral(", ") +
             QuotStr(m_view.text(ctl::txtCustNo)) + QStringLiteral(", ") + QuotDate(g, g.gOPDate) +
             QStringLiteral(", ") + amount + QStringLiteral(", ") +
             QuotStr(m_view.text(ctl::txtCheckNo(index))) + QStringLiteral(", ") + QuotStr(g.gPOSID) +
             QStringLiteral(", ") + QuotStr(g.gUserID) + QStringLiteral(", ") + QuotStr(QString()) +
             QStringLiteral(", ") + g.gServerDate + QStringLiteral(") ");
    if (!m_link.SEND_TCPCMD(mMsgPrefix, kServer, g.gSQL, g.gTemp)) {
        if (m_link.lastOutcome() == LinkOutcome::Failed)
            logPosting(QStringLiteral("遠端交易記錄失敗"), index, type, amount);
        else
            reportUnknownOutcome(QStringLiteral("遠端交易記錄無回應"), index, type, amount);
        return false;
    }
    logPosting(QStringLiteral("遠端交易記錄完成"), index, type, amount);
    return true;
}

void Desk::cmdOK_Click(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdOK_Click"), [&] {
        Globals& g = m_ctx.g;
        // One confirmation posts once: once its balance statement has gone
        // out, pressing again must not charge the guest a second time.
        if (m_posting) {
            refuse(QStringLiteral("交易已送出，請勿重複確認"));
            return;
        }
        m_view.setText(ctl::txtRemark(index), QString());
        if (m_view.text(ctl::txtCheckNo(index)).isEmpty()) {
            refuse(QStringLiteral("請輸入帳單號"));
            return;
        }
        const QString amountText = m_view.text(ctl::txtAmt(index));
        const std::optional<double> value = decimalValue(amountText);
        if (amountText.trimmed().isEmpty() || (value && *value == 0)) {
            refuse(QStringLiteral("金額不可為零"));
            return;
        }
        if (!value) {
            refuse(QStringLiteral("金額必需為數字"));
            return;
        }
        // The type gives the direction; a negative amount would reverse it.
        if (*value < 0) {
            refuse(QStringLiteral("金額必需大於零"));
            return;
        }
        if (m_view.text(ctl::txtCustNo).isEmpty()) {
            refuse(QStringLiteral("請輸入會員卡號"));
            return;
        }
        // Every value of the posting fits its column before money moves.
        if (!valuesAllowed({{field::billNo(), m_view.text(ctl::txtCheckNo(index))},
                            {field::txnDept(), m_view.text(ctl::txtTxnDept(index))},
                            {field::cardNo(), m_view.text(ctl::txtCustNo)},
                            {field::posId(), g.gPOSID},
                            {field::userId(), g.gUserID}}))
            return;
        // The card charged is the card on screen: a number typed over the
        // looked-up card would charge another holder.
        if (m_card.loaded && !m_card.isCard(m_view.text(ctl::txtCustNo))) {
            refuse(QStringLiteral("卡號已變更，請重新查詢"));
            return;
        }
        // The bill is checked here too: a touch on the button leaves no field.
        if (m_view.text(ctl::txtTxnDept(index)) == g.gStoreID &&
            !billExists(m_view.text(ctl::txtCheckNo(index)), QStringLiteral(" "))) {
            refuse(QStringLiteral("此帳單號不存在"));
            return;
        }
        if (!reconnect(kPostingLinkLost))
            return;
        if (fgTMP.Rows() == 0 || !m_card.loaded) {
            refuse(kNoCustomer);
            return;
        }

        // A handed-over type rules; at the desk each page posts its own type.
        const QString type = mTxnType.isEmpty() ? QString::number(index + 1) : mTxnType;
        const QString amount = plainNumber(*value);
        const QString card = QuotStr(m_view.text(ctl::txtCustNo));
        const bool master = m_view.masterDB();
        if (type == QLatin1String("1")) {
            g.gSQL = QStringLiteral("Update Cust set TBonusAmt = TBonusAmt + ") + amount +
                     QStringLiteral(" Where custno = ") + card;
        } else {
            if (*value > m_card.balance) {
                refuse(kShort);
                return;
            }
            // The guard keeps a balance that another till spent meanwhile
            // from going below zero: such a statement changes no row.
            g.gSQL = QStringLiteral("Update Cust set TBonusAmt = TBonusAmt - ") + amount +
                     QStringLiteral(" Where custno = ") + card + QStringLiteral(" And TBonusAmt >= ") +
                     amount;
        }

        m_posting = true;
        bool posted = false;
        try {
            posted = master ? postMaster(index, type, amount) : postRemote(index, type, amount);
        } catch (const Fault&) {
            if (master)
                m_posting = false;
            throw;
        }
        if (!posted) {
            // In master mode nothing was written and the operator may try
            // again; a remote balance that went out stays posted.
            if (master)
                m_posting = false;
            return;
        }

        if (!mCheckNo.isEmpty()) {
            if (!m_ctx.settings.Save(kZel, kHandOff,
                                     {{QStringLiteral("CheckNoAuth"), mCheckNo},
                                      {QStringLiteral("TxnAmtAuth"), answerAmount(*value)}})) {
                // The posting stands; the POS would read the missing answer
                // as a cancel, so the operator must tell it.
                logPosting(QStringLiteral("回覆寫入失敗"), index, type, amount);
                m_ctx.reporter.ErrorLog(
                    kProcedure,
                    Fault(Fault::kGeneric, QStringLiteral("無法寫入POS回覆 ") + m_ctx.settings.fileOf(kZel)));
                refuse(QStringLiteral("交易已完成，但無法回覆POS，請通知POS人員此筆已入帳"));
                return;
            }
            logPosting(QStringLiteral("回覆已寫入"), index, type, amount);
        }
        m_view.endProgram();
    });
}

bool Desk::billExists(const QString& billNo, const QString& twoBlanks) {
    m_ctx.g.gSQL = QStringLiteral("Select * from") + twoBlanks + QStringLiteral("OCheck ") +
                   QStringLiteral(" Where CheckNo = ") + QuotStr(billNo);
    return m_ctx.gCNT.hasRow(m_ctx.g.gSQL);
}

void Desk::cmdRefNo_Click(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdRefNo_Click"), [&] {
        QString bill;
        if (m_ctx.dialogs.ShowInput(Dialogs::Keypad::Alphanumeric, bill))
            m_view.setText(ctl::txtCheckNo(index), bill);
        if (m_view.text(ctl::txtTxnDept(index)) == m_ctx.g.gStoreID &&
            !billExists(m_view.text(ctl::txtCheckNo(index)), QStringLiteral("  "))) {
            m_ctx.g.gMsg = QStringLiteral("此帳單號不存在");
            DispElaMsg(m_ctx.g.gMsg);
        }
    });
}

void Desk::cmdVoidAmt_Click(int index) {
    try {
        QString amount;
        if (m_ctx.dialogs.ShowInput(Dialogs::Keypad::Numeric, amount))
            m_view.setText(ctl::txtAmt(index), amount);
    } catch (const Fault&) {
        // Entering the amount by keypad passes its errors over.
    }
}

void Desk::txtAmt_Validate(int index, bool& cancel) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_txtAmt_Validate"), [&] {
        const QString text = m_view.text(ctl::txtAmt(index));
        const std::optional<double> value = decimalValue(text);
        if (text.trimmed().isEmpty() || (value && *value >= 0))
            return;
        m_ctx.g.gMsg = value ? QStringLiteral("金額必需大於零") : QStringLiteral("金額必需為數字");
        DispElaMsg(m_ctx.g.gMsg);
        m_view.selectAllAndFocus(ctl::txtAmt(index));
        cancel = true;
    });
}

void Desk::txtCheckNo_Validate(int index, bool& cancel) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_txtCheckNo_Validate"), [&] {
        const QString bill = m_view.text(ctl::txtCheckNo(index));
        if (bill.trimmed().isEmpty() || m_view.text(ctl::txtTxnDept(index)) != m_ctx.g.gStoreID)
            return;
        if (billExists(bill, QStringLiteral(" ")))
            return;
        m_ctx.g.gMsg = QStringLiteral("此帳單號不存在");
        DispElaMsg(m_ctx.g.gMsg);
        m_view.selectAllAndFocus(ctl::txtCheckNo(index));
        cancel = true;
    });
}

} // namespace tolva
