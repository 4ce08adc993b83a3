#include "desk/KeyedPostings.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "data/RecordWriters.h"
#include "db/SqlTransaction.h"
#include "desk/DeskLink.h"
#include "desk/DeskState.h"
#include "desk/HandOffRetry.h"
#include "desk/PostingKey.h"
#include "desk/PostingLog.h"
#include "desk/PostingTexts.h"
#include "link/LinkClient.h"

namespace tolva {

namespace {
using namespace postingtext;

const QString kVoided = QStringLiteral("交易未入帳，請重新確認");
// The journal's Note column.
constexpr qsizetype kNoteLength = 100;

QString refusalText(PostOutcome outcome) {
    switch (outcome) {
    case PostOutcome::Short:
        return kShort;
    case PostOutcome::NoCard:
        return kNoCustomer;
    default:
        return QStringLiteral("交易已作廢");
    }
}
} // namespace

KeyedPostings::KeyedPostings(AppContext& ctx, DeskLink& link, DeskState& state)
    : m_ctx(ctx), m_link(link), m_state(state), m_journal(ctx.gCNT, ctx.clock) {}

void KeyedPostings::prepare() {
    QString why;
    m_ready = m_ctx.gCNT.isOpen() && m_journal.ensure(why);
    if (!m_ready)
        m_ctx.reporter.WriteLog(QStringLiteral("交易序號停用: 本機資料庫無法建立交易日誌 ") + why);
}

bool KeyedPostings::sameIntent(const PostingRecord& a, const PostingRecord& b) {
    return a.type == b.type && a.cardNo == b.cardNo && a.amount == b.amount && a.billNo == b.billNo &&
           a.txnDept == b.txnDept;
}

QString KeyedPostings::newKey(const PostingRecord& intent) const {
    return makePostingKey(intent.txnDept, intent.posId, intent.billNo, intent.type, intent.amount);
}

void KeyedPostings::log(const QString& step, const PostingRecord& p) {
    m_ctx.reporter.WriteLog(postingLogLine(step, p));
}

bool KeyedPostings::refusedAsUnreadable() {
    return m_link.client().lastOutcome() == LinkOutcome::Failed &&
           m_link.client().lastResultCode() == QLatin1String("03");
}

std::optional<KeyedAnswer> KeyedPostings::send(const QString& command, const QString& data) {
    QString reply;
    if (!m_link.client().SEND_TCPCMD(m_state.link().prefix, command, data, reply))
        return std::nullopt;
    const std::optional<KeyedAnswer> answer = keyedwire::parseAnswer(reply);
    if (!answer)
        m_ctx.reporter.WriteLog(QStringLiteral("交易序號: 無法解讀的回覆 ") + reply.left(80));
    return answer;
}

void KeyedPostings::finish(const PostingRecord& p, JournalState state, bool withLogRow) {
    SqlTransaction tx(m_ctx.gCNT);
    if (withLogRow) {
        VCardLogRec rec = cardLogRow(p);
        insertCardLog(m_ctx.gCNT, rec);
    }
    if (m_journal.find(p.key))
        m_journal.setState(p.key, state);
    else
        m_journal.add(p, state);
    tx.commit();
}

KeyedPostings::Result KeyedPostings::conclude(const PostingRecord& p, const KeyedAnswer& answer,
                                              bool afterCut) {
    if (answer.outcome == PostOutcome::Posted) {
        log(answer.replay ? QStringLiteral("已入帳(重送)") : QStringLiteral("已入帳"), p);
        // The intent stays current: a confirmation pressed again (the POS
        // answer could not be written) is answered from the journal.
        finish(p, JournalState::Posted, true);
        return afterCut || answer.replay ? Result::PostedAfterCut : Result::Posted;
    }
    log(QStringLiteral("未入帳 ") + refusalText(answer.outcome), p);
    m_journal.setState(p.key, JournalState::Void, refusalText(answer.outcome));
    m_current.reset();
    m_link.refuse(answer.outcome == PostOutcome::Voided ? kVoided : refusalText(answer.outcome));
    return Result::NotPosted;
}

KeyedPostings::Result KeyedPostings::resolveNow(const PostingRecord& p) {
    // The reply was lost: log in again and ask the service by key what
    // became of the posting. A key it has not seen is closed, so a request
    // still on its way can no longer post.
    log(QStringLiteral("結果不明，以序號查詢"), p);
    if (m_state.link().isComplete() && m_link.client().connectWith(m_state.link())) {
        m_state.setLinked(true);
        if (const std::optional<KeyedAnswer> answer = send(keyedwire::kQuery, p.key))
            return conclude(p, *answer, true);
    }
    m_state.setLinked(false);
    log(QStringLiteral("結果不明"), p);
    m_ctx.reporter.ErrorLog(kProcedure,
                            Fault(Fault::kGeneric, kUnknown + QLatin1Char(' ') + postingDescription(p)));
    m_link.refuse(kUnknown);
    return Result::Unknown;
}

std::optional<KeyedPostings::Result> KeyedPostings::earlierOutcome(const PostingRecord& intent,
                                                                   PostingRecord& posted) {
    if (!m_ready || !m_current || !sameIntent(*m_current, intent))
        return std::nullopt;
    const std::optional<JournalRow> row = m_journal.find(m_current->key);
    if (!row)
        return std::nullopt;
    switch (row->state) {
    case JournalState::Posted:
    case JournalState::Settled:
        posted = row->posting;
        return Result::AlreadyPosted;
    case JournalState::Offline:
        posted = row->posting;
        return Result::RecordedOffline;
    default:
        return std::nullopt;
    }
}

KeyedPostings::Result KeyedPostings::postRemote(const PostingRecord& intent, PostingRecord& posted) {
    PostingRecord p = intent;
    if (const std::optional<Result> earlier = earlierOutcome(intent, posted))
        return *earlier;
    if (m_current && sameIntent(*m_current, intent)) {
        const std::optional<JournalRow> row = m_journal.find(m_current->key);
        if (row && row->state == JournalState::Unknown) {
            // Asked again: the first outcome decides; a void one lets the
            // operator confirm afresh, under a new key.
            posted = row->posting;
            return resolveNow(row->posting);
        }
    }
    p.key = newKey(intent);
    m_journal.add(p, JournalState::Unknown);
    m_current = p;
    posted = p;
    log(QStringLiteral("送出"), p);
    if (const std::optional<KeyedAnswer> answer = send(keyedwire::kPost, keyedwire::postData(p, false)))
        return conclude(p, *answer, false);

    const LinkOutcome outcome = m_link.client().lastOutcome();
    if (outcome == LinkOutcome::NotSent) {
        log(QStringLiteral("未送出"), p);
        m_journal.setState(p.key, JournalState::Void, QStringLiteral("未送出"));
        m_current.reset();
        m_state.setLinked(false);
        return Result::LinkDown;
    }
    if (outcome == LinkOutcome::Failed && refusedAsUnreadable()) {
        // Refused as unreadable: the service ran nothing.
        log(QStringLiteral("被拒"), p);
        m_journal.setState(p.key, JournalState::Void, QStringLiteral("被拒"));
        m_current.reset();
        return Result::NotPosted;
    }
    return resolveNow(p);
}

KeyedPostings::Result KeyedPostings::recordOffline(const PostingRecord& intent, PostingRecord& recorded) {
    PostingRecord p = intent;
    p.key = newKey(intent);
    finish(p, JournalState::Offline, true);
    m_current = p;
    log(QStringLiteral("離線記錄"), p);
    recorded = p;
    return Result::RecordedOffline;
}

bool KeyedPostings::askSameTransaction(const JournalRow& earlier) {
    const PostingRecord& p = earlier.posting;
    const QString text = QStringLiteral("此帳單 ") + earlier.fileDate.toString(QStringLiteral("HH:mm")) +
                         QStringLiteral(" 已有一筆交易: 卡號 ") + p.cardNo + QStringLiteral(" 金額 ") +
                         p.amount + QStringLiteral(" 帳單號 ") + p.billNo +
                         QStringLiteral("\n是否為同一筆交易? (否: 另一筆交易，重新入帳)");
    return m_ctx.dialogs.askYesNo(text, Dialogs::Icon::Information, m_ctx.g.title());
}

std::optional<JournalRow> KeyedPostings::adoptHandOff(const HandOffRequest& request) {
    if (!m_ready || request.checkNo.isEmpty())
        return std::nullopt;
    const HandedRequest handed = request.handed();
    std::optional<JournalRow> row = m_journal.findHandOff(m_ctx.g.gPOSID, handed);
    if (!row)
        return std::nullopt;
    const std::optional<QDateTime> opDate = readAsDate(m_ctx.g.gOPDate);
    switch (retryVerdict(*row, handed, m_ctx.clock.now(), opDate ? opDate->date() : QDate(),
                         m_ctx.g.gRetryMinutes)) {
    case RetryVerdict::New:
        log(QStringLiteral("同帳單的新交易(非重送)"), row->posting);
        return std::nullopt;
    case RetryVerdict::Ask:
        if (!askSameTransaction(*row)) {
            log(QStringLiteral("同帳單的新交易(操作員確認)"), row->posting);
            return std::nullopt;
        }
        break;
    case RetryVerdict::Retry:
        break;
    }
    m_current = row->posting;
    return row;
}

bool KeyedPostings::anyUnknown() {
    return m_ready && !m_journal.inState(JournalState::Unknown, m_ctx.g.gPOSID).isEmpty();
}

void KeyedPostings::settlePending() {
    if (!m_ready || !m_link.client().keyedPostings())
        return;
    int posted = 0;
    int voided = 0;
    for (const JournalRow& row : m_journal.inState(JournalState::Unknown, m_ctx.g.gPOSID)) {
        const std::optional<KeyedAnswer> answer = send(keyedwire::kQuery, row.posting.key);
        if (!answer)
            return;
        if (answer->outcome == PostOutcome::Posted) {
            log(QStringLiteral("以序號查得已入帳"), row.posting);
            finish(row.posting, JournalState::Posted, true);
            ++posted;
        } else {
            log(QStringLiteral("以序號查得未入帳"), row.posting);
            m_journal.setState(row.posting.key, JournalState::Void, refusalText(answer->outcome));
            ++voided;
        }
    }
    int settled = 0;
    int refused = 0;
    for (const JournalRow& row : m_journal.inState(JournalState::Offline, m_ctx.g.gPOSID)) {
        log(QStringLiteral("離線交易送出"), row.posting);
        const std::optional<KeyedAnswer> answer =
            send(keyedwire::kPost, keyedwire::postData(row.posting, true));
        if (!answer && refusedAsUnreadable()) {
            // The service ran nothing and never will for this posting; the
            // ones after it are sent all the same.
            const QString reason = m_link.client().lastData().left(kNoteLength);
            log(QStringLiteral("離線交易遭拒 ") + reason, row.posting);
            m_journal.setState(row.posting.key, JournalState::Refused, reason);
            ++refused;
            continue;
        }
        if (!answer)
            break;
        if (answer->outcome == PostOutcome::Posted) {
            log(QStringLiteral("離線交易已入帳"), row.posting);
            m_journal.setState(row.posting.key, JournalState::Settled);
            ++settled;
        } else {
            log(QStringLiteral("離線交易遭拒 ") + refusalText(answer->outcome), row.posting);
            m_journal.setState(row.posting.key, JournalState::Refused, refusalText(answer->outcome));
            ++refused;
        }
    }
    if (posted + voided + settled + refused == 0)
        return;
    QStringList told;
    if (posted + voided > 0)
        told << QStringLiteral("結果不明的交易已確認: 已入帳 %1 筆, 未入帳 %2 筆").arg(posted).arg(voided);
    if (settled + refused > 0)
        told << QStringLiteral("離線交易已送出: 入帳 %1 筆, 遭拒 %2 筆").arg(settled).arg(refused);
    m_ctx.dialogs.ShowMsg(told.join(QLatin1Char('\n')));
}

void KeyedPostings::showOfflineTrouble() {
    if (!m_ready)
        return;
    for (const JournalRow& row : m_journal.inState(JournalState::Refused, m_ctx.g.gPOSID)) {
        const PostingRecord& p = row.posting;
        const QString text = QStringLiteral("離線交易遭拒: 卡號 ") + p.cardNo + QStringLiteral(" 金額 ") +
                             p.amount + QStringLiteral(" 帳單號 ") + p.billNo + QStringLiteral(" 授權碼 ") +
                             p.authCode + QStringLiteral(" (") + row.note + QStringLiteral(")\n已處理完畢?");
        if (m_ctx.dialogs.askYesNo(text, Dialogs::Icon::Warning, m_ctx.g.title())) {
            m_journal.setState(p.key, JournalState::DealtWith, row.note);
            log(QStringLiteral("遭拒的離線交易已處理"), p);
        }
    }
    const qsizetype waiting = m_journal.inState(JournalState::Offline, m_ctx.g.gPOSID).size();
    if (waiting > 0 && m_state.linked() && !m_link.client().keyedPostings())
        m_ctx.dialogs.ShowMsg(QStringLiteral("離線交易 %1 筆待入帳，會員服務不支援自動入帳").arg(waiting));
}

} // namespace tolva
