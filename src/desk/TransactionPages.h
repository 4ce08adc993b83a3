#pragma once

#include "common/PostingRecord.h"
#include "data/RecordWriters.h"
#include "desk/ConfirmChecks.h"
#include "desk/PosAnswer.h"

#include <QString>
#include <optional>

namespace tolva {

class AppContext;
class DeskLink;
class DeskState;
class DeskView;
class KeyedPostings;
class StatusLine;

// The deposit page (index 0) and the deduction page (index 1): bill and
// amount entry, their checks, and the posting of a confirmed transaction -
// the balance and the log rows, locally when the local database is the
// master, else through the link - followed by the POS station's answer.
class TransactionPages {
public:
    TransactionPages(AppContext& ctx, DeskView& view, DeskState& state, DeskLink& link, StatusLine& status,
                     KeyedPostings& keyed)
        : m_ctx(ctx), m_view(view), m_state(state), m_link(link), m_status(status), m_keyed(keyed),
          m_answer(ctx) {}

    void cmdOK_Click(int index);
    void cmdRefNo_Click(int index);
    void cmdVoidAmt_Click(int index);
    // The 授權碼 (phone code of an offline posting) by keypad.
    void cmdRemark_Click(int index);
    // Checks when the amount or the bill field is left; cancel keeps the
    // focus in the field.
    void txtAmt_Validate(int index, bool& cancel);
    void txtCheckNo_Validate(int index, bool& cancel);

    // At start: a hand-off whose posting an earlier start already made (or
    // recorded offline) is answered at once and the program ends; true then.
    bool answerKnownHandOff();

private:
    // What 確認 on page index is checked against.
    ConfirmPage confirmPage(int index);
    // The type a confirmation on page index posts.
    QString confirmedType(int index) const;
    // The deposit page's paid, bonus and credited lines for the amount now
    // on the page, when a deposit was handed over.
    void refreshDepositLines();
    PostingRecord postingIntent(int index, const QString& type, double value, const QString& code) const;
    // Posts with a key at a service that takes them.
    void postKeyed(const PostingRecord& intent);
    // Posts with the statement sequence: locally when the local database is
    // the master, else through the link.
    void postByStatements(const PostingRecord& intent);
    // Answers from the journal when an earlier confirmation of the intent
    // went through or was recorded offline; true then.
    bool answerEarlier(const PostingRecord& intent);
    // The link is down: an offline posting when a phone code was typed.
    void postOffline(const PostingRecord& intent);
    // The POS station's answer, a last word to the operator, the result of
    // the posting (with the balance after it when that is known), the end.
    void answerAndEnd(const PostingRecord& posted, const QString& told,
                      std::optional<double> balance = std::nullopt);
    // The card's balance after a posting made just now: the balance looked
    // up before it, moved by the amount; none when the card was not looked up.
    std::optional<double> balanceAfter(const PostingRecord& posted) const;
    bool billExists(const QString& billNo);
    // "此帳單號不存在" on the status line, about the bill of page index.
    void refuseBill(int index);
    bool postMaster(const QString& balanceSql, const PostingRecord& posting);
    bool postRemote(const QString& balanceSql, const PostingRecord& posting);
    void logPosting(const QString& step, const PostingRecord& posting);
    // A balance statement that changed no row: refused in the operator's
    // words, by whether the card is still on file.
    void refuseUnchanged(const QString& type, bool cardOnFile);
    bool remoteCardOnFile(const QString& cardNo);
    // The balance statement or the remote log row got no reply: the posting
    // may or may not have happened at the service.
    void reportUnknownOutcome(const QString& step, const PostingRecord& posting);
    // The amount the POS books: the handed-over amount when the operator
    // confirmed what the page opened with, else the amount confirmed.
    QString answerAmount(double confirmed) const;

    AppContext& m_ctx;
    DeskView& m_view;
    DeskState& m_state;
    DeskLink& m_link;
    StatusLine& m_status;
    KeyedPostings& m_keyed;
    PosAnswer m_answer;
    // A confirmation whose balance statement has gone out is never posted again.
    bool m_posting = false;
};

} // namespace tolva
