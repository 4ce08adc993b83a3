#include "data/RecordWriters.h"

#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/DataContext.h"

namespace tolva {

bool ADD_VCardLog(DataContext& ctx, VCardLogRec& rec, Database& connection) {
    return guard(ctx.reporter, Report::Msg, QStringLiteral("ADD_VCardLog"), false, [&] {
        const QString sep = QStringLiteral(", ");
        const QString sql =
            QStringLiteral("INSERT INTO VCardLog ( ") + QStringLiteral(" TxnDept, ") +
            QStringLiteral(" TxnType, ") + QStringLiteral(" CardNo, ") + QStringLiteral(" TxnDate, ") +
            QStringLiteral(" TxnAmt, ") + QStringLiteral(" TxnPoint, ") + QStringLiteral(" RefCheckNo, ") +
            QStringLiteral(" POSID, ") + QStringLiteral(" UserID, ") + QStringLiteral(" Remark, ") +
            QStringLiteral(" FileDate ") + QStringLiteral(" ) VALUES ( ") + QuotStr(rec.TxnDept) + sep +
            QuotStr(rec.TxnType) + sep + QuotStr(rec.CardNo) + sep + QuotDate(ctx.g, rec.TxnDate) + sep +
            plainNumber(numericValue(rec.TxnAmt)) + sep + plainNumber(numericValue(rec.TxnPoint)) + sep +
            QuotStr(rec.RefCheckNo) + sep + QuotStr(rec.POSID) + sep + QuotStr(rec.UserID) + sep +
            QuotStr(rec.Remark) + sep + ctx.g.gServerDate + QStringLiteral(") ");
        connection.execute(sql);
        rec.RNo = connection.lastIdentity();
        return true;
    });
}

bool ADD_xxCODE(DataContext& ctx, xxCODERec& rec, Database& connection) {
    return guard(ctx.reporter, Report::Log, QStringLiteral("ADD_xxCODE"), false, [&] {
        const QString sep = QStringLiteral(", ");
        const QString sql = QStringLiteral("INSERT INTO xxCODE ( ") + QStringLiteral(" CodeType, ") +
                            QStringLiteral(" Code, ") + QStringLiteral(" Dscp, ") +
                            QStringLiteral(" ProgCode, ") + QStringLiteral(" DscpE, ") +
                            QStringLiteral(" Remark, ") + QStringLiteral(" FileDate ") +
                            QStringLiteral(" ) VALUES ( ") + QuotStr(rec.CodeType) + sep + QuotStr(rec.Code) +
                            sep + QuotStr(rec.Dscp) + sep + QuotStr(rec.ProgCode) + sep + QuotStr(rec.DscpE) +
                            sep + QuotStr(rec.Remark) + sep + ctx.g.gServerDate + QStringLiteral(") ");
        connection.execute(sql);
        rec.RNo = connection.lastIdentity();
        return true;
    });
}

} // namespace tolva
