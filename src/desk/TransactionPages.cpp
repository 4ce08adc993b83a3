// Value transactions: deposits and deductions against a card, the bill and
// amount entry, and the checks when those fields are left.
#include "desk/TransactionPages.h"
#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/RecordWriters.h"
#include "db/Dialect.h"
#include "db/SqlColumns.h"
#include "db/SqlTransaction.h"
#include "desk/Amounts.h"
#include "desk/ConfirmChecks.h"
#include "desk/Controls.h"
#include "desk/DepositLines.h"
#include "desk/DeskLink.h"
#include "desk/DeskState.h"
#include "desk/DeskView.h"
#include "desk/FieldChecks.h"
#include "desk/FieldKeypads.h"
#include "desk/KeyedPostings.h"
#include "desk/PostingLog.h"
#include "desk/PostingResult.h"
#include "desk/PostingTexts.h"
#include "desk/StatusLine.h"
#include "link/LinkClient.h"

#include <QSqlQuery>

namespace tolva {

namespace {
const QString kServer = QStringLiteral("SERVER");
using namespace postingtext;

// What the operator is told once a keyed posting or an earlier
// confirmation of the same intent has gone through.
QString toldAfter(KeyedPostings::Result result) {
    switch (result) {
    case KeyedPostings::Result::PostedAfterCut:
    case KeyedPostings::Result::AlreadyPosted:
        return kAlreadyPosted;
    case KeyedPostings::Result::RecordedOffline:
        return kRecordedOffline;
    default:
        return QString();
    }
}
} // namespace

void TransactionPages::refuseUnchanged(const QString& type, bool cardOnFile) {
    m_link.refuse(type == QLatin1String("1") || !cardOnFile ? kNoCustomer : kShort);
}

bool TransactionPages::remoteCardOnFile(const QString& cardNo) {
    Grid found;
    const bool answered = m_link.client().SelectData(
        m_state.link().prefix, QStringLiteral("Select CustNo From Cust Where CustNo = ") + QuotStr(cardNo),
        found, false);
    // Without an answer the card is taken to be there: the refusal then
    // speaks of the balance, and nothing was written either way.
    return answered || m_link.client().lastOutcome() != LinkOutcome::Replied;
}

void TransactionPages::reportUnknownOutcome(const QString& step, const PostingRecord& posting) {
    m_state.setLinked(false);
    logPosting(step, posting);
    m_ctx.reporter.ErrorLog(kProcedure,
                            Fault(Fault::kGeneric, kUnknown + QStringLiteral(" (") + step +
                                                       QStringLiteral(") ") + postingDescription(posting)));
    m_link.refuse(kUnknown);
}

QString TransactionPages::answerAmount(double confirmed) const {
    // Compared as the page shows them: the opened amount is on the page as text.
    return plainNumber(plainNumber(confirmed) == plainNumber(m_state.handOff().openedAmount)
                           ? m_state.handOff().amount
                           : confirmed);
}

void TransactionPages::logPosting(const QString& step, const PostingRecord& posting) {
    m_ctx.reporter.WriteLog(postingLogLine(step, posting));
}

// The local database is the master: the balance, the log row and (with a
// key) the journal row are one transaction, all or nothing. Nothing is shown
// while it is open: every other till of the store waits on its lock, so a
// refusal is told, and a failure reported, after the rollback.
bool TransactionPages::postMaster(const QString& balanceSql, const PostingRecord& posting) {
    std::optional<bool> cardOnFile;
    {
        SqlTransaction tx(m_ctx.gCNT);
        if (m_ctx.gCNT.execute(balanceSql) < 1) {
            // A deduction that would take the balance below zero changes no
            // row (another till may have spent it meanwhile), nor does a card
            // that was taken off file.
            cardOnFile = m_ctx.gCNT.hasRow(QStringLiteral("Select CustNo From Cust Where CustNo = ") +
                                           QuotStr(posting.cardNo));
        } else {
            // A failing write throws: the transaction rolls back as the fault
            // leaves, and the confirmation's handler reports it.
            VCardLogRec rec = cardLogRow(posting);
            insertCardLog(m_ctx.gCNT, rec);
            if (!posting.key.isEmpty())
                m_keyed.journal().add(posting, JournalState::Posted);
            tx.commit();
        }
    }
    if (cardOnFile) {
        refuseUnchanged(posting.type, *cardOnFile);
        return false;
    }
    logPosting(QStringLiteral("已過帳(主資料庫)"), posting);
    return true;
}

// The member database is remote: balance there, log row here, log row there.
// Each step goes to the log file so a posting cut short can be traced.
bool TransactionPages::postRemote(const QString& balanceSql, const PostingRecord& posting) {
    QString reply;
    logPosting(QStringLiteral("送出餘額異動"), posting);
    if (!m_link.client().SEND_TCPCMD(m_state.link().prefix, kServer, balanceSql, reply)) {
        // Without an answer nobody knows whether the balance moved: the
        // confirmation stays spent. A failure answer, or a statement that
        // never went out, moved nothing and the operator may try again.
        switch (m_link.client().lastOutcome()) {
        case LinkOutcome::NoReply:
            reportUnknownOutcome(QStringLiteral("餘額異動無回應"), posting);
            return false;
        case LinkOutcome::NotSent:
            logPosting(QStringLiteral("餘額異動未送出"), posting);
            m_state.setLinked(false);
            m_link.refuse(kLinkLost);
            break;
        default:
            logPosting(QStringLiteral("餘額異動失敗"), posting);
            break;
        }
        m_posting = false;
        return false;
    }
    if (m_link.client().lastCount() == 0) {
        logPosting(QStringLiteral("餘額未異動"), posting);
        m_posting = false;
        refuseUnchanged(posting.type, remoteCardOnFile(posting.cardNo));
        return false;
    }
    logPosting(QStringLiteral("餘額異動完成"), posting);

    VCardLogRec rec = cardLogRow(posting);
    if (!ADD_VCardLog(m_ctx, rec, m_ctx.gCNT)) {
        logPosting(QStringLiteral("本機交易記錄失敗"), posting);
        return false;
    }
    logPosting(QStringLiteral("本機交易記錄完成"), posting);

    // The member database's copy of the log row: the amount confirmed, no
    // remark, in the date form the link's statements carry.
    rec.Remark.clear();
    const Dialect& dialect = m_ctx.gCNT.dialect();
    const QString logInsert =
        VCardLogColumns(rec, dialect.quotedDate(m_ctx.g.gOPDate), dialect.serverDate(), false)
            .insertInto(QStringLiteral("VCardLog"));
    if (!m_link.client().SEND_TCPCMD(m_state.link().prefix, kServer, logInsert, reply)) {
        if (m_link.client().lastOutcome() == LinkOutcome::Failed)
            logPosting(QStringLiteral("遠端交易記錄失敗"), posting);
        else
            reportUnknownOutcome(QStringLiteral("遠端交易記錄無回應"), posting);
        return false;
    }
    logPosting(QStringLiteral("遠端交易記錄完成"), posting);
    return true;
}

ConfirmPage TransactionPages::confirmPage(int index) {
    const Globals& g = m_ctx.g;
    ConfirmPage page;
    page.alreadySent = m_posting;
    page.billNo = m_view.text(ctl::txtCheckNo(index));
    page.amountText = m_view.text(ctl::txtAmt(index));
    page.cardNo = m_view.text(ctl::txtCustNo);
    page.columns = {
        {field::billNo(), page.billNo}, {field::txnDept(), m_view.text(ctl::txtTxnDept(index))},
        {field::cardNo(), page.cardNo}, {field::posId(), g.gPOSID},
        {field::userId(), g.gUserID},   {field::authCode(), m_view.text(ctl::txtRemark(index)).trimmed()}};
    page.cardChanged = m_state.card().loaded && !m_state.card().isCard(page.cardNo);
    // The bill is checked here too: a touch on the button leaves no field.
    if (!page.billNo.isEmpty() && m_view.text(ctl::txtTxnDept(index)) == g.gStoreID)
        page.billOnFile = billExists(page.billNo);
    page.deposit = confirmedType(index) == QLatin1String("1");
    if (m_state.fgTMP().Rows() > 0 && m_state.card().loaded)
        page.balance = m_state.card().balance;
    return page;
}

QString TransactionPages::confirmedType(int index) const {
    // A handed-over type rules; at the desk each page posts its own type.
    return m_state.handOff().type.isEmpty() ? QString::number(index + 1) : m_state.handOff().type;
}

void TransactionPages::cmdOK_Click(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, kProcedure, [&] {
        const ConfirmPage page = confirmPage(index);
        if (const QString refusal = confirmRefusal(page, ConfirmStage::Pressed); !refusal.isEmpty()) {
            m_link.refuse(refusal);
            return;
        }
        // The code given by phone stays in its field: it is what an offline
        // posting is recorded with.
        const QString code = m_view.text(ctl::txtRemark(index)).trimmed();
        const double value = decimalValue(page.amountText).value_or(0);
        const PostingRecord intent = postingIntent(index, confirmedType(index), value, code);
        const bool master = m_view.masterDB();
        // An earlier confirmation of this intent is known to have gone
        // through (also as learnt after the log-in): answered, never posted
        // again, and the balance on screen may no longer show it.
        if (answerEarlier(intent))
            return;
        if (!master && !m_link.tryReconnect()) {
            postOffline(intent);
            return;
        }
        if (answerEarlier(intent))
            return;
        if (const QString refusal = confirmRefusal(page, ConfirmStage::Online); !refusal.isEmpty()) {
            m_link.refuse(refusal);
            return;
        }
        if (!master && m_keyed.journalReady() && m_link.client().keyedPostings()) {
            postKeyed(intent);
            return;
        }
        postByStatements(intent);
    });
}

PostingRecord TransactionPages::postingIntent(int index, const QString& type, double value,
                                              const QString& code) const {
    const Globals& g = m_ctx.g;
    PostingRecord p;
    p.type = type;
    p.cardNo = m_view.text(ctl::txtCustNo);
    p.amount = plainNumber(value);
    p.txnDept = m_view.text(ctl::txtTxnDept(index));
    p.billNo = m_view.text(ctl::txtCheckNo(index));
    p.posId = g.gPOSID;
    p.userId = g.gUserID;
    if (const std::optional<QDateTime> date = readAsDate(g.gOPDate))
        p.txnDate = date->date();
    p.authCode = code;
    p.handOff = !m_state.handOff().checkNo.isEmpty();
    if (p.handOff)
        p.request = m_state.handOff().handed();
    p.answerAmount = answerAmount(value);
    return p;
}

void TransactionPages::postOffline(const PostingRecord& intent) {
    // Without the link a posting is kept only with the code the operator got
    // by phone, and never beside one whose outcome is still unknown.
    if (intent.authCode.isEmpty() || !m_keyed.journalReady()) {
        m_link.refuse(kLinkLost);
        return;
    }
    if (m_keyed.anyUnknown()) {
        m_link.refuse(QStringLiteral("前一筆交易結果不明，連線恢復前無法離線記錄"));
        return;
    }
    PostingRecord recorded;
    m_keyed.recordOffline(intent, recorded);
    answerAndEnd(recorded, QStringLiteral("已離線記錄，授權碼 ") + recorded.authCode +
                               QStringLiteral("，連線恢復後自動入帳"));
}

void TransactionPages::postKeyed(const PostingRecord& intent) {
    PostingRecord posted;
    const KeyedPostings::Result result = m_keyed.postRemote(intent, posted);
    switch (result) {
    case KeyedPostings::Result::Posted:
        answerAndEnd(posted, QString(), balanceAfter(posted));
        break;
    case KeyedPostings::Result::PostedAfterCut:
    case KeyedPostings::Result::AlreadyPosted:
    case KeyedPostings::Result::RecordedOffline:
        answerAndEnd(posted, toldAfter(result));
        break;
    case KeyedPostings::Result::LinkDown:
        postOffline(intent);
        break;
    case KeyedPostings::Result::NotPosted:
    case KeyedPostings::Result::Unknown:
        break;
    }
}

void TransactionPages::postByStatements(const PostingRecord& intent) {
    const QString& type = intent.type;
    const QString& amount = intent.amount;
    const QString card = QuotStr(intent.cardNo);
    const bool master = m_view.masterDB();
    // The local master database keeps money to the cent in its own way (see
    // Dialect::money); the statement for memberd stays as desks send it.
    const Dialect money = master ? m_ctx.gCNT.dialect() : Dialect();
    const QString balance = QStringLiteral("TBonusAmt");
    QString balanceSql;
    if (type == QLatin1String("1")) {
        balanceSql = QStringLiteral("Update Cust set TBonusAmt = ") +
                     money.money(balance + QStringLiteral(" + ") + amount) +
                     QStringLiteral(" Where custno = ") + card;
    } else {
        // The guard keeps a balance that another till spent meanwhile
        // from going below zero: such a statement changes no row.
        balanceSql = QStringLiteral("Update Cust set TBonusAmt = ") +
                     money.money(balance + QStringLiteral(" - ") + amount) +
                     QStringLiteral(" Where custno = ") + card + QStringLiteral(" And ") +
                     money.money(balance) + QStringLiteral(" >= ") + money.money(amount);
    }

    PostingRecord posted = intent;
    if (master && m_keyed.journalReady())
        posted.key = m_keyed.newKey(intent);
    m_posting = true;
    bool done = false;
    try {
        done = master ? postMaster(balanceSql, posted) : postRemote(balanceSql, posted);
    } catch (const Fault&) {
        if (master)
            m_posting = false;
        throw;
    }
    if (!done) {
        // In master mode nothing was written and the operator may try
        // again; a remote balance that went out stays posted.
        if (master)
            m_posting = false;
        return;
    }
    answerAndEnd(posted, QString(), balanceAfter(posted));
}

bool TransactionPages::answerEarlier(const PostingRecord& intent) {
    PostingRecord earlier;
    const std::optional<KeyedPostings::Result> outcome = m_keyed.earlierOutcome(intent, earlier);
    if (!outcome)
        return false;
    answerAndEnd(earlier, toldAfter(*outcome));
    return true;
}

bool TransactionPages::answerKnownHandOff() {
    const std::optional<JournalRow> row = m_keyed.adoptHandOff(m_state.handOff());
    if (!row)
        return false;
    switch (row->state) {
    case JournalState::Posted:
    case JournalState::Settled:
        answerAndEnd(row->posting, QStringLiteral("此帳單已入帳"));
        return true;
    case JournalState::Offline:
        answerAndEnd(row->posting, QStringLiteral("此帳單已離線記錄"));
        return true;
    default:
        // Still unknown: a confirmation asks the service by its key first.
        m_ctx.dialogs.ShowRefusal(QStringLiteral("此帳單前次交易結果不明，連線恢復後請再按確認"));
        return false;
    }
}

void TransactionPages::answerAndEnd(const PostingRecord& posted, const QString& told,
                                    std::optional<double> balance) {
    if (!m_state.handOff().checkNo.isEmpty()) {
        // The answer names the bill the posting went to, which the operator
        // may have corrected from the one handed over.
        const QString& checkNo = posted.billNo;
        if (!m_answer.write(checkNo, posted.answerAmount, kProcedure)) {
            // The posting stands; the POS would read the missing answer
            // as a cancel, so the operator must tell it.
            logPosting(QStringLiteral("回覆寫入失敗"), posted);
            m_link.refuse(QStringLiteral("交易已完成，但無法回覆POS，請通知POS人員此筆已入帳"));
            return;
        }
        m_ctx.reporter.WriteLog(QStringLiteral("交易 回覆已寫入: 帳單號=") + checkNo +
                                QStringLiteral(" 金額=") + posted.answerAmount);
    }
    // The operator sees what was posted before the program ends: the POS
    // has its answer already and waits only for the end.
    const QString result = postingResultText(posted, balance);
    m_ctx.reporter.WriteLog(QStringLiteral("交易結果: 卡號=") + posted.cardNo + QStringLiteral(" 帳單號=") +
                            posted.billNo + QLatin1Char(' ') +
                            QString(result).replace(QLatin1Char('\n'), QStringLiteral(" ／ ")));
    if (!told.isEmpty())
        m_ctx.dialogs.ShowMsg(told);
    m_ctx.dialogs.ShowResult(result, m_ctx.g.gResultSeconds * 1000);
    m_view.endProgram();
}

std::optional<double> TransactionPages::balanceAfter(const PostingRecord& posted) const {
    const CardOfQuery& card = m_state.card();
    const std::optional<double> amount = decimalValue(posted.amount);
    if (!card.loaded || !card.isCard(posted.cardNo) || !amount)
        return std::nullopt;
    return posted.type == QLatin1String("1") ? card.balance + *amount : card.balance - *amount;
}

bool TransactionPages::billExists(const QString& billNo) {
    QSqlQuery& q =
        m_ctx.gCNT.runPrepared(QStringLiteral("Select * from OCheck Where CheckNo = ?"), {boundText(billNo)});
    const bool found = q.next();
    q.finish();
    return found;
}

void TransactionPages::refuseBill(int index) {
    // About the bill as typed and the store it was looked up for.
    m_status.showAbout({ctl::txtCheckNo(index), ctl::txtTxnDept(index)}, QStringLiteral("此帳單號不存在"));
}

void TransactionPages::cmdRefNo_Click(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdRefNo_Click"), [&] {
        FieldKeypads(m_view, m_ctx.dialogs).enter(ctl::txtCheckNo(index));
        m_status.dropStale();
        if (m_view.text(ctl::txtTxnDept(index)) == m_ctx.g.gStoreID &&
            !billExists(m_view.text(ctl::txtCheckNo(index))))
            refuseBill(index);
    });
}

void TransactionPages::cmdVoidAmt_Click(int index) {
    try {
        FieldKeypads(m_view, m_ctx.dialogs).enter(ctl::txtAmt(index));
    } catch (const Fault&) {
        // Entering the amount by keypad passes its errors over.
    }
    m_status.dropStale();
    if (index == 0)
        refreshDepositLines();
}

void TransactionPages::refreshDepositLines() {
    const HandOffRequest& handOff = m_state.handOff();
    if (handOff.type != QLatin1String("1"))
        return;
    const std::optional<double> value = decimalValue(m_view.text(ctl::txtAmt(0)));
    if (!value || *value < 0)
        return;
    showDepositLines(m_view, pageDepositSplit(handOff.amount, handOff.openedAmount, *value));
}

void TransactionPages::cmdRemark_Click(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdRemark_Click"),
              [&] { FieldKeypads(m_view, m_ctx.dialogs).enter(ctl::txtRemark(index)); });
}

void TransactionPages::txtAmt_Validate(int index, bool& cancel) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_txtAmt_Validate"), [&] {
        const QString text = m_view.text(ctl::txtAmt(index));
        const std::optional<double> value = decimalValue(text);
        if (index == 0)
            refreshDepositLines();
        if (text.trimmed().isEmpty() || (value && *value >= 0))
            return;
        m_status.showAbout({ctl::txtAmt(index)},
                           value ? QStringLiteral("金額必需大於零") : QStringLiteral("金額必需為數字"));
        m_view.selectAllAndFocus(ctl::txtAmt(index));
        cancel = true;
    });
}

void TransactionPages::txtCheckNo_Validate(int index, bool& cancel) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_txtCheckNo_Validate"), [&] {
        const QString bill = m_view.text(ctl::txtCheckNo(index));
        if (bill.trimmed().isEmpty() || m_view.text(ctl::txtTxnDept(index)) != m_ctx.g.gStoreID)
            return;
        if (billExists(bill))
            return;
        refuseBill(index);
        m_view.selectAllAndFocus(ctl::txtCheckNo(index));
        cancel = true;
    });
}

} // namespace tolva
