#pragma once

#include <QString>

namespace tolva {

class AppContext;

// The answer to a POS station that handed a transaction over: the keys
// "CheckNoAuth" and "TxnAmtAuth" under application "ZEL", section "TOLVA".
class PosAnswer {
public:
    explicit PosAnswer(AppContext& ctx) : m_ctx(ctx) {}

    // Writes the answer; false (with the error file written) when the
    // settings store refused it.
    bool write(const QString& checkNo, const QString& amount, const QString& procedure);

private:
    AppContext& m_ctx;
};

} // namespace tolva
