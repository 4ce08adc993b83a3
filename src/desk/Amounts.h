#pragma once

#include <QString>
#include <optional>

namespace tolva {

// The value of a text that is wholly a decimal number: optional sign, digits,
// optional fraction ("500", "-20", "12.5", ".5"), blanks around it allowed.
// Anything else ("500 Where 1=1", "1,050", "abc", "") has no value.
std::optional<double> decimalValue(const QString& text);

// Why an amount above zero may not be posted, in the operator's words; empty
// when it may. The member service takes at most two decimals and twelve whole
// digits (the amount columns hold eighteen digits, four of them decimals), so
// every posting - also one recorded offline, sent later - is held to that.
QString postingAmountRefusal(double value);

// An amount as the desk shows a balance: rounded to a whole number (halves
// away from zero) with thousands separators, "1,251" for 1250.5.
QString formatBalance(double value);

// Whether a deduction of amount is more than balance, compared to the cent:
// a balance kept as a binary fraction (SQLite) reads 0.0999... for 0.1.
bool exceedsBalance(double amount, double balance);

// An amount with thousands separators and its decimals kept as entered:
// "5,250" for 5250, "1,000.5" for 1000.5.
QString groupedAmount(double value);

// A deposit as the guest pays it and as the card is credited: the set
// amounts carry a bonus (5,000: 5%, 10,000: 8%, 20,000: 10%), any other
// amount is credited as paid. rule is the line that explains the bonus
// ("5000 * 105% = 5250"), empty without one.
struct DepositSplit {
    double paid = 0;
    double credited = 0;
    QString rule;

    double bonus() const { return credited - paid; }
};
DepositSplit depositSplit(double paid);

// The numeric value of a shown balance, its thousands separators ignored.
double shownBalance(const QString& text);

} // namespace tolva
