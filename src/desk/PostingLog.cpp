#include "desk/PostingLog.h"

namespace tolva {

QString postingDescription(const PostingRecord& posting) {
    QString text;
    if (!posting.key.isEmpty())
        text = QStringLiteral("序號=") + posting.key + QLatin1Char(' ');
    text += QStringLiteral("卡號=") + posting.cardNo + QStringLiteral(" 類別=") + posting.type +
            QStringLiteral(" 金額=") + posting.amount + QStringLiteral(" 帳單號=") + posting.billNo;
    if (!posting.authCode.isEmpty())
        text += QStringLiteral(" 授權碼=") + posting.authCode;
    return text;
}

QString postingLogLine(const QString& step, const PostingRecord& posting) {
    return QStringLiteral("交易 ") + step + QStringLiteral(": ") + postingDescription(posting);
}

} // namespace tolva
