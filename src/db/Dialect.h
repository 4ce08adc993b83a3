#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace tolva {

// Everything that differs between the database products the program talks
// to, decided by provider in this one place: the server's current-time
// expression, the date literal, how the identity of the row just inserted is
// read back, the locked read of a row, how a writing transaction begins, and
// the schema file.
struct Dialect {
    QString key;           // first seven characters of the provider name, upper-cased
    QString serverDate;    // e.g. "getDate()"
    QString dateQuote;     // "'", "#" or "TO_DATE"
    QString identityQuery; // empty when the database offers none
    QString schemaFile;    // resource path of the schema script; empty when none is kept
    QString timestampType = QStringLiteral("DATETIME"); // column type of a date and time
    bool known = false;
    // Writing transactions are begun and ended with statements
    // ("BEGIN IMMEDIATE" takes SQLite's write lock at once, so two writers
    // cannot both read first); otherwise the driver's transaction calls.
    bool statementTransactions = false;
    // One writer at a time for the whole database file.
    bool singleWriter = false;
    // An insert that meets a row with the same unique key does nothing
    // ("ON CONFLICT DO NOTHING"), waiting for a row another transaction is
    // inserting; without it the insert checks "WHERE NOT EXISTS" with
    // keyCheckHint on the table it reads, so that the check holds a lock.
    bool onConflictDoNothing = false;
    QString keyCheckHint;

    // The dialect row for a provider name; an unlisted provider gives an
    // unknown dialect that changes nothing.
    static Dialect forProvider(const QString& providerName);

    // The statement that begins a writing transaction, when begun by statement.
    QString beginStatement() const;

    // "Select * From table where" that locks the rows it reads until the end
    // of the transaction: FOR UPDATE, UPDLOCK, or nothing where the write
    // transaction itself holds the lock (SQLite).
    QString lockedSelect(const QString& table, const QString& where) const;

    // A date and time as this database's literal: 'YYYY-MM-DD hh:mm:ss' on
    // SQLite (the form its date functions read), 'YYYY/MM/DD hh:mm:ss'
    // between the date quote elsewhere, TO_DATE(...) for Oracle. A value that
    // does not read as a date gives NULL.
    QString dateLiteral(const QVariant& value) const;

    // A date and time as a value to bind: on SQLite the text
    // 'YYYY-MM-DD hh:mm:ss' its date functions read, elsewhere the date and
    // time itself.
    QVariant dateValue(const QDateTime& value) const;

    // An amount of money computed from expression: on SQLite, whose balances
    // are binary fractions, rounded to cents ("ROUND(expression, 2)") so that
    // 0.3 - 0.1 - 0.1 is 0.1 again and compares equal to 0.1; the expression
    // itself where the database keeps decimals exactly.
    QString money(const QString& expression) const;

    // "ALTER TABLE table ADD [COLUMN] definition" in this database's words.
    QString addColumn(const QString& table, const QString& definition) const;
};

} // namespace tolva
