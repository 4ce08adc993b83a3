#pragma once

#include <QByteArray>
#include <QString>

namespace memberd {

struct PostingRequest;

// What a connection logged in as a store may write: postings and log rows of
// that store only. Where the store stands in each request:
//
// - POSTKY: the field TxnDept, and the key's first part (the desk makes keys
//   as "STORE.POS.BILL.TYPE.AMOUNT.RANDOM", each part kept to A-Z a-z 0-9 - _
//   and 16 characters). An offline posting (mode "O") must carry its
//   authorisation code.
// - POSTQY: the key's first part, so a store cannot close another store's
//   keys by querying them.
// - SERVER: a log row (INSERT INTO VCardLog) must name its column TxnDept
//   with the store as a plain string in every row; log rows are never
//   changed by a store (UPDATE VCardLog), as desks never do. Balance changes
//   (UPDATE CUST) name no store.
//
// A connection that is no store (the shared password) is not limited here.
class StoreScope {
public:
    struct Verdict {
        bool allowed = true;
        QString text; // for the operator
        QString why;  // for the log
    };

    explicit StoreScope(QString store) : m_store(std::move(store)) {}

    // command as on the wire; data decoded from the code page.
    Verdict check(const QByteArray& command, const QString& data) const;
    Verdict checkPosting(const PostingRequest& request) const;
    Verdict checkKey(const QString& key) const;
    Verdict checkStatement(const QString& sql) const;

    // The key part a store's keys begin with, "." included.
    static QString keyPrefix(const QString& store);

private:
    Verdict refuse(const QString& text, const QString& why) const;

    QString m_store;
};

} // namespace memberd
