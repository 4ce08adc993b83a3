#include "desk/FieldChecks.h"

namespace tolva {

bool hasControlChar(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    return false;
}

QString fieldRefusal(const FieldRule& rule, const QString& value) {
    if (hasControlChar(value))
        return rule.label + QStringLiteral("含有無效的字元，請重新輸入");
    if (rule.maxLength > 0 && value.size() > rule.maxLength)
        return rule.label + QStringLiteral("過長，最多 ") + QString::number(rule.maxLength) +
               QStringLiteral(" 個字");
    return QString();
}

namespace field {
// Column lengths of CUST and VCardLog in the schema of every database.
FieldRule cardNo() {
    return {QStringLiteral("卡號"), 30};
}
FieldRule custName() {
    return {QStringLiteral("姓名"), 60};
}
FieldRule tel() {
    return {QStringLiteral("電話"), 30};
}
FieldRule zip() {
    return {QStringLiteral("郵遞區號"), 10};
}
FieldRule address() {
    return {QStringLiteral("地址"), 100};
}
FieldRule storeCode() {
    return {QStringLiteral("發卡店"), 20};
}
FieldRule billNo() {
    return {QStringLiteral("帳單號"), 30};
}
FieldRule txnDept() {
    return {QStringLiteral("來源店"), 20};
}
FieldRule posId() {
    return {QStringLiteral("POS 機號"), 10};
}
FieldRule authCode() {
    return {QStringLiteral("授權碼"), 20};
}
FieldRule userId() {
    return {QStringLiteral("操作員代號"), 20};
}
} // namespace field

} // namespace tolva
