#pragma once

#include "desk/FieldChecks.h"

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace tolva {

// What 確認 on the deposit or deduction page is checked against: the page's
// fields and what the desk knows about them, gathered before any money moves.
struct ConfirmPage {
    // A confirmation whose balance statement already went out.
    bool alreadySent = false;
    QString billNo;
    QString amountText;
    QString cardNo;
    // Every value the posting writes into a column, with its rule.
    QList<QPair<FieldRule, QString>> columns;
    // A number typed over the card looked up.
    bool cardChanged = false;
    // Whether this store's bill is in OCHECK; none for another store's bill
    // (never looked up).
    std::optional<bool> billOnFile;
    bool deposit = false;
    // Known once the link is up (or the local database is the master): the
    // stored balance of the card looked up, none when no customer is loaded.
    std::optional<double> balance;
};

// When the checks run: at the press of 確認 (the page alone), and once the
// link is up, when the customer and the balance are checked too. A posting
// recorded offline is checked at the press only.
enum class ConfirmStage { Pressed, Online };

// The first reason to refuse the confirmation, in the operator's words (the
// figures of a short balance included); empty when it may go on.
QString confirmRefusal(const ConfirmPage& page, ConfirmStage stage);

// "餘額不足: 餘額 300，需 1,000": the balance and the amount asked for,
// grouped by thousands as the desk shows money.
QString shortBalanceText(double balance, double amount);

} // namespace tolva
