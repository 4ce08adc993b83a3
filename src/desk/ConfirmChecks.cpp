#include "desk/ConfirmChecks.h"

#include "desk/Amounts.h"
#include "desk/PostingTexts.h"

namespace tolva {

QString shortBalanceText(double balance, double amount) {
    return postingtext::kShort + QStringLiteral(": 餘額 ") + groupedAmount(balance) +
           QStringLiteral("，需 ") + groupedAmount(amount);
}

QString confirmRefusal(const ConfirmPage& page, ConfirmStage stage) {
    // One confirmation posts once: pressing again must not charge twice.
    if (page.alreadySent)
        return QStringLiteral("交易已送出，請勿重複確認");
    if (page.billNo.isEmpty())
        return QStringLiteral("請輸入帳單號");
    const std::optional<double> value = decimalValue(page.amountText);
    if (page.amountText.trimmed().isEmpty() || (value && *value == 0))
        return QStringLiteral("金額不可為零");
    if (!value)
        return QStringLiteral("金額必需為數字");
    // The type gives the direction; a negative amount would reverse it.
    if (*value < 0)
        return QStringLiteral("金額必需大於零");
    // The same bounds online and offline: an offline posting the member
    // service cannot take would be refused only after the POS was paid.
    if (const QString refusal = postingAmountRefusal(*value); !refusal.isEmpty())
        return refusal;
    if (page.cardNo.isEmpty())
        return QStringLiteral("請輸入會員卡號");
    // Every value of the posting fits its column before money moves.
    for (const auto& [rule, text] : page.columns)
        if (const QString refusal = fieldRefusal(rule, text); !refusal.isEmpty())
            return refusal;
    // The card charged is the card on screen: a number typed over the
    // looked-up card would charge another holder.
    if (page.cardChanged)
        return QStringLiteral("卡號已變更，請重新查詢");
    if (page.billOnFile == false)
        return QStringLiteral("此帳單號不存在");
    if (stage == ConfirmStage::Pressed)
        return QString();
    if (!page.balance)
        return postingtext::kNoCustomer;
    if (!page.deposit && exceedsBalance(*value, *page.balance))
        return shortBalanceText(*page.balance, *value);
    return QString();
}

} // namespace tolva
