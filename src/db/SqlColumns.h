#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

namespace tolva {

// An ordered list of (column, SQL literal) pairs and the statement text made
// from it, so that every INSERT, UPDATE and WHERE of the program is spelled
// one way:
//   INSERT INTO T (  A,  B  ) VALUES ( 'x', 1)
//   UPDATE T SET  A = 'x',  B = 1 WHERE ...
//    Where A = 'x' And B = 1
// Texts go through QuotStr; anything else (numbers in plain decimal, date
// literals, the server's time expression) is added as ready SQL.
class SqlColumns {
public:
    // A text value, quoted with QuotStr.
    SqlColumns& text(const QString& column, const QVariant& value);
    // A value that already is SQL: a number, a date literal, an expression.
    SqlColumns& sql(const QString& column, const QString& literal);

    bool isEmpty() const { return m_columns.isEmpty(); }

    QString insertInto(const QString& table) const;
    // "UPDATE table SET  A = x, ..." followed by whereText as given.
    QString update(const QString& table, const QString& whereText) const;
    // " Where A = x And B = y", or the empty text when there are no pairs;
    // keyword replaces " Where ".
    QString where(const QString& keyword = QStringLiteral(" Where ")) const;

private:
    QList<QPair<QString, QString>> m_columns;
};

} // namespace tolva
