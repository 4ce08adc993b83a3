#include "support/CardLogRows.h"

#include "db/Database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
// The date as the desk stores it in this database.
QString storedDate(const tolva::Database& db, const QString& date) {
    const QString literal = db.dialect().dateLiteral(date);
    return literal.mid(1, literal.size() - 2);
}
} // namespace

void addCardLog(tolva::Database& db, const QString& dept, const QString& card, const QString& type,
                const QString& amount, const QString& bill, const QString& date) {
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("INSERT INTO VCardLog (TxnDept, CardNo, TxnType, TxnAmt, RefCheckNo, TxnDate) "
                             "VALUES (?, ?, ?, ?, ?, ?)"));
    for (const QString& v : {dept, card, type, amount, bill})
        q.addBindValue(v.isNull() ? QVariant() : QVariant(v));
    q.addBindValue(storedDate(db, date));
    if (!q.exec())
        qFatal("addCardLog: %s", qPrintable(q.lastError().text()));
}

void addCardLogs(tolva::Database& db, int rows, int stores, const QString& date) {
    db.begin();
    for (int i = 0; i < rows; ++i) {
        addCardLog(db, QStringLiteral("S%1").arg(i % stores + 1, 2, 10, QLatin1Char('0')),
                   QStringLiteral("M%1").arg(i % 97 + 1, 4, 10, QLatin1Char('0')),
                   i % 2 ? QStringLiteral("2") : QStringLiteral("1"), QString::number(100 + i * 10),
                   QStringLiteral("A%1").arg(i + 1, 5, 10, QLatin1Char('0')), date);
    }
    db.commit();
}
