#pragma once

#include <QString>

namespace tolva {

// The card the customer panel stands for: the card of the last successful
// query, or the card just issued. Postings and customer updates act on this
// card only, and a deduction is checked against its stored balance as the
// query read it (decimals kept, not the rounded text on screen).
struct CardOfQuery {
    bool loaded = false;
    QString cardNo;
    double balance = 0;

    void clear() { *this = CardOfQuery(); }
    void set(const QString& number, double storedBalance) {
        loaded = true;
        cardNo = number;
        balance = storedBalance;
    }
    // False when the card number on screen was changed after the query.
    bool isCard(const QString& shownNumber) const { return loaded && shownNumber == cardNo; }
};

} // namespace tolva
