#include "db/SqlColumns.h"

#include "common/Formatting.h"

namespace tolva {

SqlColumns& SqlColumns::text(const QString& column, const QVariant& value) {
    m_columns.append({column, QuotStr(value)});
    return *this;
}

SqlColumns& SqlColumns::sql(const QString& column, const QString& literal) {
    m_columns.append({column, literal});
    return *this;
}

QString SqlColumns::insertInto(const QString& table) const {
    QString names;
    QString values;
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const bool last = i + 1 == m_columns.size();
        names +=
            QLatin1Char(' ') + m_columns.at(i).first + (last ? QStringLiteral(" ") : QStringLiteral(", "));
        values += m_columns.at(i).second + (last ? QString() : QStringLiteral(", "));
    }
    return QStringLiteral("INSERT INTO ") + table + QStringLiteral(" ( ") + names +
           QStringLiteral(" ) VALUES ( ") + values + QStringLiteral(") ");
}

QString SqlColumns::update(const QString& table, const QString& whereText) const {
    QString text = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ");
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (i > 0)
            text += QStringLiteral(", ");
        text += QLatin1Char(' ') + m_columns.at(i).first + QStringLiteral(" = ") + m_columns.at(i).second;
    }
    return text + whereText;
}

QString SqlColumns::where(const QString& keyword) const {
    QString text;
    for (qsizetype i = 0; i < m_columns.size(); ++i)
        text += (i == 0 ? keyword : QStringLiteral(" And ")) + m_columns.at(i).first + QStringLiteral(" = ") +
                m_columns.at(i).second;
    return text;
}

} // namespace tolva
