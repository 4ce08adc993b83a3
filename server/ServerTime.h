#pragma once

#include <QString>

namespace memberd {

// Desks write their own database's current-time expression into the
// statements they send: getDate() (SQL Server), now() (ODBC, Access),
// datetime('now','localtime') (SQLite), LOCALTIMESTAMP(0) (PostgreSQL),
// SYSDATE (Oracle). A desk on an embedded SQLite database talking to a
// service on PostgreSQL would send an expression PostgreSQL does not know, so
// the service puts its own database's expression in their place before a
// statement runs.
//
// The replacement works on the tokens of the statement: the expressions are
// found without letter case and with any blanks between their pieces, never
// inside a quoted string or a quoted name, and never as part of a longer name
// (SYSDATE2, t.now()). A statement the tokenizer cannot read for certain
// (comments, dollar quotes, ...) is left as it is.
class ServerTime {
public:
    // expression: the database's own, e.g. Dialect::serverDate; empty
    // leaves every statement unchanged.
    explicit ServerTime(QString expression = {});

    QString expression() const { return m_expression; }
    QString rewrite(const QString& sql) const;

private:
    QString m_expression;
};

} // namespace memberd
