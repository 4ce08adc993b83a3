#pragma once

#include "db/Dialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <map>
#include <memory>

namespace memberd {

struct PostingRequest;

// What a keyed posting or a query by key came to.
struct PostingAnswer {
    char outcome = 'X';  // P posted, S short of balance, N no such card, X void
    bool replay = false; // the key was known: the first outcome, nothing done now
    // The key was known from a posting of another card, type or amount:
    // nothing done, nothing to answer but the refusal.
    bool otherPosting = false;
};

// memberd's own statements for keyed postings, with bound values, on one
// database connection. A posting is one transaction: the key row first (so a
// second request under the same key waits for the first one's transaction,
// or for the SQLite writer lock, and then finds its row), the balance, then
// the log row or the refusal in the key row. A balance never goes below
// zero: a deduction changes the row only while TBonusAmt >= amount.
//
// The statements are prepared once per connection. Time limits, cancels and
// the SQLite writer lock are the caller's (StatementRunner).
class KeyedPosting {
public:
    KeyedPosting(QSqlDatabase db, tolva::Dialect dialect);

    // POSTKY. False with the error of the statement that failed; the
    // transaction is rolled back then and nothing moved.
    bool post(const PostingRequest& request, PostingAnswer& answer, QSqlError& error);
    // POSTQY: the key's outcome; a key not known yet is closed as void (X),
    // so a posting under it that arrives later moves nothing.
    bool query(const QString& key, PostingAnswer& answer, QSqlError& error);

private:
    QSqlQuery* statement(const QString& sql, QSqlError& error);
    QSqlQuery* run(const QString& sql, const QVariantList& values, QSqlError& error);
    bool begin(QSqlError& error);
    bool commit(QSqlError& error);
    void rollback();
    // Inserts the key row unless the key is there: 1 inserted, 0 known, -1 failed.
    int claimKey(const QString& key, char outcome, const PostingRequest* request, QSqlError& error);
    // The key row's outcome; with request, also whether the row is of another
    // posting (a row voided by a query holds no posting and matches any).
    bool storedOutcome(const QString& key, const PostingRequest* request, PostingAnswer& answer,
                       QSqlError& error);
    bool applyBalance(const PostingRequest& request, bool& changed, QSqlError& error);
    bool cardExists(const QString& cardNo, bool& exists, QSqlError& error);
    bool writeLogRow(const PostingRequest& request, QSqlError& error);
    bool setOutcome(const QString& key, char outcome, QSqlError& error);

    QSqlDatabase m_db;
    tolva::Dialect m_dialect;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_statements;
};

} // namespace memberd
