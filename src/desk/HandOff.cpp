#include "desk/HandOff.h"

#include "desk/Amounts.h"
#include "desk/FieldChecks.h"

namespace tolva {

QString HandOff::refusal() const {
    QString shown = badValue;
    for (QChar& c : shown)
        if (hasControlChar(QString(c)))
            c = QLatin1Char('?');
    return QStringLiteral("POS 傳入的交易資料錯誤 (") + badKey + QStringLiteral("=") + shown +
           QStringLiteral(")，本筆交易不處理");
}

namespace {
constexpr qsizetype kMaxTxnId = 64;
// The journal keeps the request as handed over in columns of this length.
constexpr qsizetype kMaxKept = 100;
} // namespace

HandOff HandOff::check(const QString& checkNo, const QString& amount, const QString& type,
                       const QString& custNo, const QString& txnId) {
    HandOff h;
    h.checkNo = checkNo.trimmed();
    h.amountText = amount.trimmed();
    h.type = type.trimmed();
    h.custNo = custNo.trimmed();
    h.txnId = txnId.trimmed();
    const auto refuse = [&h](const char* key, const QString& value) {
        if (h.badKey.isEmpty()) {
            h.badKey = QString::fromLatin1(key);
            h.badValue = value;
        }
    };
    if (hasControlChar(h.type) ||
        (!h.type.isEmpty() && h.type != QLatin1String("1") && h.type != QLatin1String("2")))
        refuse("TxnType", type);
    if (!h.amountText.isEmpty()) {
        const std::optional<double> value = decimalValue(h.amountText);
        // An amount no posting can carry (more than two decimals, or more
        // whole digits than the amount columns hold) is no request either.
        if (!value || *value <= 0 || !postingAmountRefusal(*value).isEmpty())
            refuse("TxnAmt", amount);
        else
            h.amount = *value;
    }
    if (hasControlChar(h.checkNo) || h.checkNo.size() > kMaxKept)
        refuse("CheckNo", checkNo);
    if (hasControlChar(h.custNo) || h.custNo.size() > kMaxKept)
        refuse("CustNo", custNo);
    if (hasControlChar(h.txnId) || h.txnId.size() > kMaxTxnId)
        refuse("TxnID", txnId);
    return h;
}

} // namespace tolva
