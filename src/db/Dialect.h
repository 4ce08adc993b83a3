#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace tolva {

// Everything that differs between the database products the program talks
// to, decided in this one place from the product: the server's current-time
// expression, the date literal, how the identity of the row just inserted is
// read back, the locked read of a row, how a writing transaction begins, the
// insert that meets a taken key, and the schema file. Callers ask it; nobody
// compares provider names.
class Dialect {
public:
    enum class Product {
        Unknown,    // a provider without a row: changes nothing
        SqlServer,  // SQLOLEDB
        Odbc,       // MSDASQL, any ODBC source
        Access,     // Microsoft Jet / ACE
        Oracle,     // MSDAORA
        SQLite,     // the embedded default
        PostgreSQL, // a chain's shared database
    };

    Dialect() = default;
    explicit Dialect(Product product) : m_product(product) {}

    // The dialect of a provider name, told by its first seven characters
    // without letter case; an unlisted provider gives the unknown dialect.
    static Dialect forProvider(const QString& providerName);

    Product product() const { return m_product; }
    bool known() const { return m_product != Product::Unknown; }

    // The server's current date and time as an SQL expression, e.g.
    // "getDate()"; empty for an unknown product.
    QString serverDate() const;
    // What a date literal is written between: "'", "#" (Access), or
    // "TO_DATE" for Oracle's TO_DATE(...) form.
    QString dateQuote() const;
    // The query that reads the identity of the row just inserted on the
    // connection; empty where the database offers none.
    QString identityQuery() const;
    // Resource path of the schema script; empty when none is kept.
    QString schemaFile() const;
    // Column type of a date and time.
    QString timestampType() const;

    // Writing transactions are begun and ended with statements
    // (beginStatement, "COMMIT", "ROLLBACK"); otherwise the driver's
    // transaction calls.
    bool statementTransactions() const;
    // The statement that begins a writing transaction, when begun by
    // statement: "BEGIN IMMEDIATE" takes SQLite's write lock at once, so two
    // writers cannot both read first.
    QString beginStatement() const;
    // One writer at a time for the whole database file.
    bool singleWriter() const;
    // An insert that meets a row with the same unique key does nothing
    // ("ON CONFLICT DO NOTHING"), waiting for a row another transaction is
    // inserting; without it the insert checks "WHERE NOT EXISTS" with
    // keyCheckHint on the table it reads, so that the check holds a lock.
    bool onConflictDoNothing() const;
    QString keyCheckHint() const;

    // "Select * From table where" that locks the rows it reads until the end
    // of the transaction: FOR UPDATE, UPDLOCK, or nothing where the write
    // transaction itself holds the lock (SQLite).
    QString lockedSelect(const QString& table, const QString& where) const;

    // A date and time as this database's literal: 'YYYY-MM-DD hh:mm:ss' on
    // SQLite (the form its date functions read), quotedDate elsewhere. A
    // value that does not read as a date gives NULL.
    QString dateLiteral(const QVariant& value) const;

    // A date and time as 'YYYY/MM/DD hh:mm:ss' between the date quote (the
    // TO_DATE(...) form for Oracle): the form the link's statements carry.
    // A value that does not read as a date gives NULL.
    QString quotedDate(const QVariant& value) const;

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

private:
    Product m_product = Product::Unknown;
};

} // namespace tolva
