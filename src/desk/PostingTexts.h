#pragma once

#include <QString>

namespace tolva::postingtext {

// What the operator is told about a confirmed transaction, wherever the
// posting runs, and the procedure its failures are reported under.
inline const QString kShort = QStringLiteral("餘額不足");
inline const QString kNoCustomer = QStringLiteral("請先建立客戶資料");
inline const QString kUnknown = QStringLiteral("交易結果不明，請查詢餘額確認");
inline const QString kAlreadyPosted = QStringLiteral("此筆交易已入帳");
inline const QString kRecordedOffline = QStringLiteral("此筆交易已離線記錄");
// The link is down: what the operator does instead.
inline const QString kLinkLost = QStringLiteral("連線中斷，請改用電話授權，輸入授權碼後按確認");
inline const QString kLinkDownBanner =
    QStringLiteral("會員資料庫連線中斷，請改用電話授權，輸入授權碼後按確認");
inline const QString kProcedure = QStringLiteral("fmTOLVA_cmdOK_Click");

} // namespace tolva::postingtext
