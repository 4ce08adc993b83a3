#pragma once

#include <QString>

namespace tolva {

// The transaction a POS station hands over in the settings store, read
// trimmed and checked as strictly as typed values: the type is empty, "1" or
// "2"; the amount is empty or wholly a number above zero ("5,000", "500abc"
// and "-500" are refused, not read as their leading number) that a posting
// can carry (at most two decimals and twelve whole digits); bill and card
// are at most 100 characters; no value holds a control character. The
// station's own transaction id is optional: any printable text of up to 64
// characters.
struct HandOff {
    QString checkNo;
    QString amountText;
    QString type;
    QString custNo;
    QString txnId;
    double amount = 0;
    // The key of the first value that is not valid; empty when all are.
    QString badKey;
    QString badValue;

    bool valid() const { return badKey.isEmpty(); }
    // The refusal naming the key and its value, control characters shown as "?".
    QString refusal() const;

    static HandOff check(const QString& checkNo, const QString& amount, const QString& type,
                         const QString& custNo, const QString& txnId = QString());
};

} // namespace tolva
