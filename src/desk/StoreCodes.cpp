#include "desk/StoreCodes.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "desk/DeskView.h"

#include <QSqlQuery>

namespace tolva {

void StoreCodes::pickInto(const QString& field) {
    QList<QStringList> rows;
    QSqlQuery q = m_ctx.gCNT.query(QStringLiteral("Select Code from xxcode  Where CodeType = 'TOLVA' "));
    while (q.next())
        rows.append({q.value(0).toString()});
    q.finish();
    QString code = m_view.text(field);
    if (m_ctx.dialogs.ShowPick(rows, code))
        m_view.setText(field, code);
}

bool StoreCodes::exists(const QString& code) {
    QSqlQuery& q =
        m_ctx.gCNT.runPrepared(QStringLiteral("Select * from xxCode Where Codetype = ? And Code = ?"),
                               {boundText(m_ctx.g.exeName), boundText(code)});
    const bool found = q.next();
    q.finish();
    return found;
}

} // namespace tolva
