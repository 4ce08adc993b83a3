#pragma once

#include <QDate>
#include <QString>

namespace tolva {

// A transaction as a POS station handed it over, before the operator changed
// anything on the page: a later start for the same request is known by it.
// Values are the request's trimmed texts; the amount is a plain decimal.
struct HandedRequest {
    QString checkNo;
    QString type;
    QString amount;
    QString cardNo;
    QString txnId; // the station's own transaction id; empty when it sent none
};

// One posting as the desk sends it and keeps it in its journal.
struct PostingRecord {
    QString key;
    QString type; // "1" deposit, "2" deduction
    QString cardNo;
    QString amount; // plain decimal
    QString txnDept;
    QString billNo;
    QString posId;
    QString userId;
    QDate txnDate;
    QString authCode;
    bool handOff = false;
    HandedRequest request; // when handOff: the request it was posted for
    QString answerAmount;  // what the POS station is answered ("TxnAmtAuth")
};

} // namespace tolva
