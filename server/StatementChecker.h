#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace memberd {

// One lexical piece of an SQL text.
struct SqlToken {
    enum class Kind { Word, QuotedName, String, Number, Symbol };
    Kind kind;
    QString text;        // words as written, strings and quoted names without their quotes
    qsizetype begin = 0; // where it stands in the statement, quotes included
    qsizetype end = 0;
    bool isWord(const char* upper) const {
        return kind == Kind::Word && text.compare(QLatin1String(upper), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(char c) const { return kind == Kind::Symbol && text == QLatin1Char(c); }
};

struct StatementScan;

// Decides whether a statement of a desk may run. Without --allow-any-sql the
// service runs only what the desk sends: one SELECT, INSERT or UPDATE on one
// of the member tables, with nothing around it. The checker works on tokens,
// so quotes, doubled quotes and keywords inside string literals cannot fool
// it, and it refuses whatever it cannot read for certain (comments, dollar
// quotes, prefixed literals such as E'..', parameters, unknown functions).
class StatementChecker {
public:
    enum class Kind { Select, Insert, Update };
    struct Verdict {
        bool allowed = false;
        Kind kind = Kind::Select;
        QString table;
        QString reason;         // why it was refused, for the reply and the log
        bool locksRows = false; // a SELECT ... FOR UPDATE / SHARE: it takes row locks
    };

    explicit StatementChecker(QStringList tables = {QStringLiteral("CUST"), QStringLiteral("VCardLog")});

    Verdict check(const QString& sql) const;
    // The same, handing over the statement's tokens (empty when it could not
    // be tokenized) for what comes after the check.
    Verdict check(const QString& sql, QList<SqlToken>& tokens) const;

    // Whether the text reads for certain as one statement (an optional ";"
    // at its end): no second statement, nothing the tokenizer cannot read.
    static bool isOneStatement(const QString& sql);

    // Splits the text into tokens; false with a reason when the text holds
    // anything the checker does not accept at the lexical level.
    static bool tokenize(const QString& sql, QList<SqlToken>& tokens, QString& reason);

private:
    bool isMemberTable(const SqlToken& token) const;
    Verdict verdictOf(StatementScan& s) const;
    std::optional<QString> checkSelect(const StatementScan& s, Verdict& v) const;
    std::optional<QString> checkInsert(const StatementScan& s, Verdict& v) const;
    std::optional<QString> checkUpdate(const StatementScan& s, Verdict& v) const;
    QStringList m_tables;
};

} // namespace memberd
