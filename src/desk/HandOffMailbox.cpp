#include "desk/HandOffMailbox.h"

#include "app/SettingsStore.h"

namespace tolva {

namespace {
const QString kZel = QStringLiteral("ZEL");
const QString kSection = QStringLiteral("TOLVA");
// The request's keys first, in the order of HandOffValues, then the answer's.
const QStringList kKeys = {QStringLiteral("CheckNo"),     QStringLiteral("TxnAmt"),
                           QStringLiteral("TxnType"),     QStringLiteral("CustNo"),
                           QStringLiteral("TxnID"),       QStringLiteral("TxnAmtAuth"),
                           QStringLiteral("CheckNoAuth"), QStringLiteral("Busy")};
constexpr int kRequestKeys = 5;
} // namespace

bool HandOffMailbox::hasRequest() const {
    for (int i = 0; i < kRequestKeys; ++i)
        if (!m_store.Get(kZel, kSection, kKeys[i]).isEmpty())
            return true;
    return false;
}

HandOffValues HandOffMailbox::take() {
    const std::optional<QStringList> values = m_store.Take(kZel, kSection, kKeys);
    if (values)
        return {values->at(0), values->at(1), values->at(2), values->at(3), values->at(4)};
    // A store that cannot be written still hands its request over; it just
    // cannot be removed.
    return {m_store.Get(kZel, kSection, kKeys[0]), m_store.Get(kZel, kSection, kKeys[1]),
            m_store.Get(kZel, kSection, kKeys[2]), m_store.Get(kZel, kSection, kKeys[3]),
            m_store.Get(kZel, kSection, kKeys[4])};
}

bool HandOffMailbox::answerBusy() {
    return m_store.Save(kZel, kSection, QStringLiteral("Busy"), QStringLiteral("1"));
}

} // namespace tolva
