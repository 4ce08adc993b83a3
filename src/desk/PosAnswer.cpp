#include "desk/PosAnswer.h"

#include "app/AppContext.h"

namespace tolva {

bool PosAnswer::write(const QString& checkNo, const QString& amount, const QString& procedure) {
    const QString zel = QStringLiteral("ZEL");
    if (m_ctx.settings.Save(
            zel, QStringLiteral("TOLVA"),
            {{QStringLiteral("CheckNoAuth"), checkNo}, {QStringLiteral("TxnAmtAuth"), amount}}))
        return true;
    m_ctx.reporter.ErrorLog(
        procedure, Fault(Fault::kGeneric, QStringLiteral("無法寫入POS回覆 ") + m_ctx.settings.fileOf(zel)));
    return false;
}

} // namespace tolva
