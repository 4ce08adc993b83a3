#include "desk/PostingResult.h"

#include "desk/Amounts.h"

namespace tolva {

QString postingResultText(const PostingRecord& posted, std::optional<double> balanceAfter) {
    const double amount = decimalValue(posted.amount).value_or(0);
    const QString balance = balanceAfter ? QStringLiteral("餘額 ") + formatBalance(*balanceAfter) : QString();
    if (posted.type != QLatin1String("1")) {
        const QString charged = QStringLiteral("已扣點 ") + groupedAmount(amount);
        return balance.isEmpty() ? charged : charged + QStringLiteral(" ／ ") + balance;
    }
    // A posting without a recorded answer was paid as credited.
    const double paid = decimalValue(posted.answerAmount).value_or(amount);
    const QString credited = QStringLiteral("收款 ") + groupedAmount(paid) + QStringLiteral(" ＋ 贈送 ") +
                             groupedAmount(amount - paid) + QStringLiteral(" ＝ 入帳 ") +
                             groupedAmount(amount);
    return balance.isEmpty() ? credited : credited + QLatin1Char('\n') + balance;
}

} // namespace tolva
