#pragma once

#include "data/PostingJournal.h"

#include <QDate>
#include <QDateTime>

namespace tolva {

// Whether a POS station's request is the retry of the one that left the
// journal row found for it. A station transaction id names its transaction
// at any age. Without one the same bill, type, amount and card may be the
// next guest at the same table, or the same bill number on another day: a
// retry is only recent - the same business date, within the retry window of
// the earlier row. Within it, a request without a card cannot tell a retry
// from another guest's equal payment, so the operator is asked.
enum class RetryVerdict {
    Retry, // the same transaction: answered from the earlier posting
    Ask,   // the operator decides whether it is the same transaction
    New,   // another transaction: posted afresh
};

RetryVerdict retryVerdict(const JournalRow& earlier, const HandedRequest& request, const QDateTime& now,
                          const QDate& businessDate, int windowMinutes);

} // namespace tolva
