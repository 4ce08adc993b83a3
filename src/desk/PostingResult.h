#pragma once

#include "common/PostingRecord.h"

#include <QString>
#include <optional>

namespace tolva {

// What a posting did, as the operator is shown it once it is answered:
// "已扣點 500 ／ 餘額 17,550" for a deduction; for a deposit what the guest
// paid, the bonus and what the card was credited,
// "收款 5,000 ＋ 贈送 250 ＝ 入帳 5,250", with "餘額 6,250" on a second line.
// The balance is left out when it is not known (a posting recorded offline,
// or one answered from an earlier confirmation). The paid amount is the one
// the POS station is answered.
QString postingResultText(const PostingRecord& posted, std::optional<double> balanceAfter);

} // namespace tolva
