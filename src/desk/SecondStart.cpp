#include "desk/SecondStart.h"

#include "app/SettingsStore.h"
#include "app/SingleInstance.h"
#include "desk/HandOffChannel.h"

#include <QDeadlineTimer>
#include <QThread>
#include <optional>

namespace tolva {

namespace {
// Between tries while the running copy starts or ends.
constexpr int kRetryMs = 100;

// Puts a request this start already took back into the mailbox, for the
// desk this start now runs itself.
void putBack(SettingsStore& store, const HandOffValues& v) {
    store.Save(QStringLiteral("ZEL"), QStringLiteral("TOLVA"),
               {{QStringLiteral("CheckNo"), v.checkNo},
                {QStringLiteral("TxnAmt"), v.amount},
                {QStringLiteral("TxnType"), v.type},
                {QStringLiteral("CustNo"), v.custNo},
                {QStringLiteral("TxnID"), v.txnId}});
}
} // namespace

SecondStart::Result SecondStart::run() {
    HandOffMailbox mailbox(m_store);
    if (!mailbox.hasRequest())
        return Result::Ended;
    const QDeadlineTimer deadline(m_patienceMs);
    std::optional<HandOffValues> held;
    for (;;) {
        if (m_instance.acquire()) {
            if (held)
                putBack(m_store, *held);
            return Result::RunDesk;
        }
        HandOffPasser passer;
        if (passer.connectTo(m_instance.channelName())) {
            if (!held)
                held = mailbox.take();
            if (held->isEmpty())
                return Result::Ended; // another start took it first
            switch (passer.pass(*held)) {
            case HandOffPasser::Outcome::Answered:
                return Result::Ended;
            case HandOffPasser::Outcome::Busy:
                if (mailbox.answerBusy())
                    return Result::Ended;
                m_failure = QStringLiteral("執行中的會員卡程式正在處理其他交易, 且無法寫入POS回覆");
                return Result::Failed;
            case HandOffPasser::Outcome::Lost:
                m_failure = QStringLiteral("執行中的會員卡程式未回覆即結束, 本筆交易無回覆");
                return Result::Failed;
            case HandOffPasser::Outcome::NoReply:
                m_failure = QStringLiteral("執行中的會員卡程式沒有回應, 本筆交易未處理");
                return Result::Failed;
            case HandOffPasser::Outcome::Gone:
                break; // it was ending: try again
            }
        }
        if (deadline.hasExpired()) {
            // A request the running copy's own start read meanwhile was not
            // this start's to answer.
            if (!held && mailbox.take().isEmpty())
                return Result::Ended;
            m_failure = QStringLiteral("會員卡程式執行中但無法交付交易, 本筆交易未處理");
            return Result::Failed;
        }
        QThread::msleep(kRetryMs);
    }
}

} // namespace tolva
