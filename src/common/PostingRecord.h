#pragma once

#include <QDate>
#include <QString>

namespace tolva {

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
    QString answerAmount; // what the POS station is answered ("TxnAmtAuth")
};

} // namespace tolva
