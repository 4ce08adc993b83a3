#include "data/Params.h"

#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/DataContext.h"

#include <QSqlQuery>

namespace tolva {

bool getParamValue(DataContext& ctx, const QString& paramID, QString& value) {
    return guard(ctx.reporter, Report::Log, QStringLiteral("getParamValue"), false, [&] {
        Globals& g = ctx.g;
        g.gSQL = QStringLiteral("Select * ") + QStringLiteral(" from xxPARAM") +
                 QStringLiteral(" WHERE ParamID = ") + QuotStr(paramID);
        QSqlQuery rs = ctx.gCNT.query(g.gSQL);
        bool result = false;
        if (rs.next()) {
            value = rs.value(QStringLiteral("ParamValue")).toString();
            result = !value.isEmpty();
        }
        rs.finish();
        return result;
    });
}

bool SetParamValue(DataContext& ctx, const QString& paramID, const QString& value) {
    return guard(ctx.reporter, Report::Msg, QStringLiteral("SetParamValue"), false, [&] {
        Globals& g = ctx.g;
        g.gSQL = QStringLiteral("Update xxPARAM ") + QStringLiteral(" Set ParamValue = ") + QuotStr(value) +
                 QStringLiteral(" , UpdDate = ") + g.gServerDate + QStringLiteral(" WHERE ParamID = ") +
                 QuotStr(paramID);
        if (ctx.gCNT.execute(g.gSQL) < 1) {
            g.gSQL = QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue, FileDate) ") +
                     QStringLiteral(" VALUES ( ") + QuotStr(paramID) + QStringLiteral(" , ") +
                     QuotStr(value) + QStringLiteral(" , ") + g.gServerDate + QStringLiteral(")");
            if (ctx.gCNT.execute(g.gSQL) < 1)
                return false;
        }
        return true;
    });
}

} // namespace tolva
