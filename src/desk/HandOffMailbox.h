#pragma once

#include <QString>

namespace tolva {

class SettingsStore;

// The request values as the POS station wrote them, untrimmed and unchecked.
struct HandOffValues {
    QString checkNo;
    QString amount;
    QString type;
    QString custNo;
    QString txnId; // the station's own id of the transaction, optional

    bool isEmpty() const {
        return checkNo.isEmpty() && amount.isEmpty() && type.isEmpty() && custNo.isEmpty() && txnId.isEmpty();
    }
};

// The hand-off keys under application "ZEL", section "TOLVA": the request
// the station writes before it starts the desk, and the answer it reads.
class HandOffMailbox {
public:
    explicit HandOffMailbox(SettingsStore& store) : m_store(store) {}

    // Whether a request is waiting (any request key holds a value).
    bool hasRequest() const;
    // Reads the request and removes it, together with any answer an earlier
    // run left, in one locked rewrite: a request is taken once, by whichever
    // copy of the desk takes it first.
    HandOffValues take();
    // The answer of a running desk that was in the middle of another
    // transaction: no answer keys, "Busy" = "1". Nothing was posted.
    bool answerBusy();

private:
    SettingsStore& m_store;
};

} // namespace tolva
