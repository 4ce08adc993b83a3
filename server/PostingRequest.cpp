#include "server/PostingRequest.h"

#include <QStringList>

namespace memberd {

namespace {

constexpr int kFields = 11;
constexpr qsizetype kMaxKey = 100;
// The widths of VCardLog's columns: a longer value would be cut or refused
// by the database halfway through the posting.
constexpr qsizetype kMaxCardNo = 30;
constexpr qsizetype kMaxDept = 20;
constexpr qsizetype kMaxCheckNo = 30;
constexpr qsizetype kMaxPosId = 10;
constexpr qsizetype kMaxUserId = 20;
constexpr qsizetype kMaxAuthCode = 20;
// Whole digits of an amount: NUMERIC(18,4) holds fourteen.
constexpr qsizetype kMaxWholeDigits = 12;

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isKeyChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'.' ||
           u == u'-' || u == u'_';
}

// Digits, one optional point with one or two digits after it, above zero.
bool isAmount(const QString& text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const qsizetype whole = point < 0 ? text.size() : point;
    const qsizetype fraction = point < 0 ? 0 : text.size() - point - 1;
    if (whole < 1 || whole > kMaxWholeDigits || (point >= 0 && (fraction < 1 || fraction > 2)))
        return false;
    bool nonZero = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == point)
            continue;
        if (!isDigit(text.at(i)))
            return false;
        nonZero = nonZero || text.at(i) != QLatin1Char('0');
    }
    return nonZero;
}

// "YYYY/MM/DD" naming a real day.
QDate dateOf(const QString& text) {
    if (text.size() != 10 || text.at(4) != QLatin1Char('/') || text.at(7) != QLatin1Char('/'))
        return QDate();
    for (const qsizetype i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!isDigit(text.at(i)))
            return QDate();
    return QDate(text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
}

bool fits(const QString& value, qsizetype max, const char* name, QString& reason) {
    if (value.size() <= max)
        return true;
    reason = QStringLiteral("%1超過 %2 字").arg(QString::fromUtf8(name)).arg(max);
    return false;
}

} // namespace

bool PostingRequest::isValidKey(const QString& key) {
    if (key.isEmpty() || key.size() > kMaxKey)
        return false;
    for (const QChar c : key)
        if (!isKeyChar(c))
            return false;
    return true;
}

bool PostingRequest::parseQuery(const QString& data, QString& key, QString& reason) {
    if (!isValidKey(data)) {
        reason = QStringLiteral("交易鍵值不合格");
        return false;
    }
    key = data;
    return true;
}

bool PostingRequest::parsePosting(const QString& data, PostingRequest& out, QString& reason) {
    const QStringList f = data.split(QLatin1Char('\t'));
    if (f.size() != kFields) {
        reason = QStringLiteral("欄位數應為 %1, 收到 %2").arg(kFields).arg(f.size());
        return false;
    }
    PostingRequest r;
    r.key = f.at(0);
    r.typeCode = f.at(1);
    r.cardNo = f.at(2).trimmed();
    r.amount = f.at(3);
    r.txnDept = f.at(4).trimmed();
    r.refCheckNo = f.at(5).trimmed();
    r.posId = f.at(6).trimmed();
    r.userId = f.at(7).trimmed();
    r.businessDate = dateOf(f.at(8));
    r.authCode = f.at(9).trimmed();
    const QString& mode = f.at(10);
    if (!isValidKey(r.key)) {
        reason = QStringLiteral("交易鍵值不合格");
        return false;
    }
    if (r.typeCode != QLatin1String("1") && r.typeCode != QLatin1String("2")) {
        reason = QStringLiteral("交易類別不合格: ") + r.typeCode.left(10);
        return false;
    }
    r.type = r.typeCode == QLatin1String("1") ? Type::Deposit : Type::Deduction;
    if (r.cardNo.isEmpty()) {
        reason = QStringLiteral("卡號空白");
        return false;
    }
    if (!isAmount(r.amount)) {
        reason = QStringLiteral("金額不合格: ") + r.amount.left(20);
        return false;
    }
    if (!r.businessDate.isValid()) {
        reason = QStringLiteral("營業日期不合格: ") + f.at(8).left(20);
        return false;
    }
    if (mode != QLatin1String("N") && mode != QLatin1String("O")) {
        reason = QStringLiteral("模式不合格: ") + mode.left(10);
        return false;
    }
    r.offline = mode == QLatin1String("O");
    if (!fits(r.cardNo, kMaxCardNo, "卡號", reason) || !fits(r.txnDept, kMaxDept, "門市", reason) ||
        !fits(r.refCheckNo, kMaxCheckNo, "帳單號", reason) || !fits(r.posId, kMaxPosId, "POS 代號", reason) ||
        !fits(r.userId, kMaxUserId, "使用者", reason) || !fits(r.authCode, kMaxAuthCode, "授權碼", reason))
        return false;
    out = std::move(r);
    return true;
}

} // namespace memberd
