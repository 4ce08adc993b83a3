#pragma once

#include "common/PostingRecord.h"
#include "data/PostingJournal.h"
#include "link/KeyedWire.h"

#include <QString>
#include <optional>

namespace tolva {

class AppContext;
class DeskLink;
class DeskState;
struct HandOffRequest;

// Postings that happen once: each intent has a key, kept in the local
// journal from before it is sent until its outcome is known; a member
// service that announces keyed postings applies a key once and tells its
// first outcome again when asked. Also keeps postings confirmed by phone
// authorisation while the link is down, and sends them when it is back.
class KeyedPostings {
public:
    KeyedPostings(AppContext& ctx, DeskLink& link, DeskState& state);

    // Makes the journal ready; without it postings run without keys.
    void prepare();
    bool journalReady() const { return m_ready; }
    PostingJournal& journal() { return m_journal; }

    enum class Result {
        Posted,          // posted now
        PostedAfterCut,  // posted, learnt by key after the reply was lost
        AlreadyPosted,   // an earlier confirmation of the same intent posted
        RecordedOffline, // kept as an offline posting
        NotPosted,       // nothing moved; the operator was told why
        LinkDown,        // nothing went out: the link is down
        Unknown,         // the outcome is not known yet; the operator was told
    };

    // Sends the intent as a keyed posting (its key: the earlier one of the
    // same intent, else a new one); posted holds the posting as done.
    Result postRemote(const PostingRecord& intent, PostingRecord& posted);
    // The outcome an earlier confirmation of the same intent is known to
    // have had (posted, or recorded offline); nullopt when none is known.
    std::optional<Result> earlierOutcome(const PostingRecord& intent, PostingRecord& posted);
    // Records the intent as an offline posting with its authorisation code.
    Result recordOffline(const PostingRecord& intent, PostingRecord& recorded);
    // The key a master-mode posting is written with: a new one.
    QString newKey(const PostingRecord& intent) const;

    // The journal row of an earlier start for the same hand-off, adopted as
    // the current intent when this start is its retry (asking the operator
    // when only they can tell); nullopt when there is none or this is another
    // transaction.
    std::optional<JournalRow> adoptHandOff(const HandOffRequest& request);
    // Whether a posting's outcome is still unknown.
    bool anyUnknown();

    // After a log-in: asks the service about postings of unknown outcome and
    // sends pending offline postings, each with its key.
    void settlePending();
    // At start: refused offline postings, one by one until dealt with, and
    // how many offline postings wait for a service that takes keys.
    void showOfflineTrouble();

private:
    std::optional<KeyedAnswer> send(const QString& command, const QString& data);
    // The last request was refused as unreadable ("03"): nothing ran.
    bool refusedAsUnreadable();
    Result conclude(const PostingRecord& posting, const KeyedAnswer& answer, bool afterCut);
    Result resolveNow(const PostingRecord& posting);
    // The local log row and the journal's new state, in one local transaction.
    void finish(const PostingRecord& posting, JournalState state, bool withLogRow);
    void log(const QString& step, const PostingRecord& posting);
    // Shows the earlier posting and asks whether this is the same transaction.
    bool askSameTransaction(const JournalRow& earlier);
    static bool sameIntent(const PostingRecord& a, const PostingRecord& b);

    AppContext& m_ctx;
    DeskLink& m_link;
    DeskState& m_state;
    PostingJournal m_journal;
    bool m_ready = false;
    std::optional<PostingRecord> m_current;
};

} // namespace tolva
