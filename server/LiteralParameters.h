#pragma once

#include "server/StatementChecker.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace memberd {

// A statement with its quoted string literals moved out into parameters
// ($1, $2, ...), so that statements that differ only in those literals (every
// desk sends the same card query with another card number) share one
// prepared statement. The values go to PostgreSQL as text of no stated type,
// which it resolves the way it resolves a quoted literal in that place.
//
// A literal stays where it is when a parameter could not stand there or would
// mean something else: after a type name (DATE '...', INTERVAL '...'), next
// to another literal (continuation), after ORDER/GROUP BY, AS, ESCAPE, IS,
// or directly before a letter or digit. Numbers always stay: a parameter
// would change how their type is inferred. Statements other than SELECT,
// INSERT, UPDATE and DELETE (SET, SHOW, DDL, ...) and texts the tokenizer
// cannot read for certain are not prepared at all.
struct LiteralParameters {
    QString text;           // the statement, "$n" in place of each literal moved out
    QStringList values;     // the literals' values (quotes removed, doubled quotes single)
    QList<qsizetype> where; // where each "$n" starts in text
    bool preparable = false;

    static LiteralParameters split(const QString& sql);
    // The same with the text's tokens already at hand (StatementChecker::tokenize).
    static LiteralParameters split(const QString& sql, const QList<SqlToken>& tokens);
    // The statement as it was: each "$n" replaced by its literal, quoted again.
    QString joined() const;
};

} // namespace memberd
