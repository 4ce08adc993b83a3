#include "data/Params.h"

#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/DataContext.h"

#include <QSqlQuery>

namespace tolva {

bool getParamValue(DataContext& ctx, const QString& paramID, QString& value) {
    return guard(ctx.reporter, Report::Log, QStringLiteral("getParamValue"), false, [&] {
        QSqlQuery& rs = ctx.gCNT.runPrepared(QStringLiteral("Select * from xxPARAM WHERE ParamID = ?"),
                                             {boundText(paramID)});
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
        const QString now = ctx.gCNT.dialect().serverDate();
        const QVariantList values = {boundText(value), boundText(paramID)};
        QSqlQuery& updated =
            ctx.gCNT.runPrepared(QStringLiteral("Update xxPARAM Set ParamValue = ?, UpdDate = ") + now +
                                     QStringLiteral(" WHERE ParamID = ?"),
                                 values);
        const int changed = updated.numRowsAffected();
        updated.finish();
        if (changed < 1) {
            QSqlQuery& inserted = ctx.gCNT.runPrepared(
                QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue, FileDate) VALUES (?, ?, ") + now +
                    QStringLiteral(")"),
                {boundText(paramID), boundText(value)});
            const bool added = inserted.numRowsAffected() >= 1;
            inserted.finish();
            return added;
        }
        return true;
    });
}

} // namespace tolva
