#pragma once

#include "desk/Amounts.h"

namespace tolva {

class DeskView;

// Writes the deposit page's lines for a deposit: "收款 5,000", "贈送 250",
// "入帳 5,250" and the line that explains the bonus, so the cashier sees
// what to collect apart from what the card is credited.
void showDepositLines(DeskView& view, const DepositSplit& split);

// The lines of a deposit whose amount on the page is credited: the handed-
// over split while the page holds the amount it opened with, else the
// amount as both paid and credited (the POS is then answered that amount).
DepositSplit pageDepositSplit(double handedOver, double opened, double onPage);

} // namespace tolva
