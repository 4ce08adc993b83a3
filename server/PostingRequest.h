#pragma once

#include <QDate>
#include <QString>

namespace memberd {

// The fields of a keyed posting (POSTKY) or of a query by key (POSTQY) as
// they arrive in the request's data, read and checked before anything runs.
// Every value that passes is bound to a statement, never written into one.
struct PostingRequest {
    enum class Type { Deposit, Deduction };

    QString key;
    Type type = Type::Deposit;
    QString typeCode; // "1" or "2", as VCardLog.TxnType keeps it
    QString cardNo;
    QString amount; // plain decimal above zero, at most two decimals
    QString txnDept;
    QString refCheckNo;
    QString posId;
    QString userId;
    QDate businessDate;
    QString authCode;
    bool offline = false; // mode "O": recorded offline at the desk, sent later

    // Reads the data of a POSTKY: eleven fields separated by TAB. False with
    // a reason for the operator when a field is missing, too long or malformed.
    static bool parsePosting(const QString& data, PostingRequest& out, QString& reason);
    // Reads the data of a POSTQY: the key alone.
    static bool parseQuery(const QString& data, QString& key, QString& reason);

    // 1-100 characters of A-Z a-z 0-9 . - _
    static bool isValidKey(const QString& key);
};

} // namespace memberd
