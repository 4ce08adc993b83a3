#pragma once

#include "common/PostingRecord.h"

#include <QDateTime>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <optional>

namespace tolva {

class Clock;
class Database;

// Where a posting stands at the desk. U: sent or about to be, outcome not
// known; P: posted; X: known not to have posted; O: recorded offline, not
// sent yet; S: offline posting settled; R: offline posting refused by the
// member side; D: refused offline posting dealt with.
enum class JournalState : char {
    Unknown = 'U',
    Posted = 'P',
    Void = 'X',
    Offline = 'O',
    Settled = 'S',
    Refused = 'R',
    DealtWith = 'D',
};

struct JournalRow {
    PostingRecord posting;
    JournalState state = JournalState::Unknown;
    QString note;
    QDateTime fileDate; // when the row was written
};

// The local posting journal: one row per posting key, kept from before a
// posting goes out until its outcome is known, and for offline postings
// until they are settled. All values are bound; failures throw a Fault.
class PostingJournal {
public:
    PostingJournal(Database& db, const Clock& clock) : m_db(db), m_clock(clock) {}

    // Creates the journal table and the key and code columns of VCardLog
    // when the database lacks them. False when that is not possible; the
    // caller then posts without keys.
    bool ensure(QString& why);

    void add(const PostingRecord& posting, JournalState state);
    void setState(const QString& key, JournalState state, const QString& note = QString());
    std::optional<JournalRow> find(const QString& key);
    // The newest row an earlier hand-off of this POS left that may have
    // posted or may still post (U, P, O, S): the row of the same station
    // transaction id when the request has one, else of the same request as
    // handed over (bill, type, amount, card), whatever the operator changed
    // on the page before confirming.
    std::optional<JournalRow> findHandOff(const QString& posId, const HandedRequest& request);
    // The rows of one POS in the state, oldest first: tills sharing one
    // database each settle their own postings only.
    QList<JournalRow> inState(JournalState state, const QString& posId);

private:
    JournalRow rowAt(QSqlQuery& q) const;

    Database& m_db;
    const Clock& m_clock;
};

} // namespace tolva
