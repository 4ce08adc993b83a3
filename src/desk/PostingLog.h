#pragma once

#include "common/PostingRecord.h"

#include <QString>

namespace tolva {

// How a posting is named in the log and error files, so that every line about
// it can be found by the same words: "序號=KEY 卡號=... 類別=... 金額=...
// 帳單號=... 授權碼=CODE", the key only when it has one, the code only when
// one was given.
QString postingDescription(const PostingRecord& posting);

// The log line of one step of a posting: "交易 STEP: " and its description.
QString postingLogLine(const QString& step, const PostingRecord& posting);

} // namespace tolva
