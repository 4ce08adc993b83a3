#include "desk/HandOffRetry.h"

namespace tolva {

RetryVerdict retryVerdict(const JournalRow& earlier, const HandedRequest& request, const QDateTime& now,
                          const QDate& businessDate, int windowMinutes) {
    if (!request.txnId.isEmpty())
        return RetryVerdict::Retry;
    if (earlier.posting.txnDate != businessDate || !earlier.fileDate.isValid())
        return RetryVerdict::New;
    // A clock set back since the earlier row counts as no time passed.
    if (earlier.fileDate.secsTo(now) > qint64(windowMinutes) * 60)
        return RetryVerdict::New;
    return request.cardNo.isEmpty() ? RetryVerdict::Ask : RetryVerdict::Retry;
}

} // namespace tolva
