#include "desk/DepositLines.h"

#include "common/Formatting.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"

namespace tolva {

void showDepositLines(DeskView& view, const DepositSplit& split) {
    view.setText(ctl::lblPaid, QStringLiteral("收款 ") + groupedAmount(split.paid));
    view.setText(ctl::lblBonus, QStringLiteral("贈送 ") + groupedAmount(split.bonus()));
    view.setText(ctl::lblCredited, QStringLiteral("入帳 ") + groupedAmount(split.credited));
    view.setText(ctl::lblBonusRule, split.rule);
}

DepositSplit pageDepositSplit(double handedOver, double opened, double onPage) {
    // Compared as the page shows them: the opened amount is on the page as text.
    if (plainNumber(onPage) == plainNumber(opened))
        return depositSplit(handedOver);
    return DepositSplit{onPage, onPage, QString()};
}

} // namespace tolva
