#include "server/LiteralParameters.h"

#include "server/StatementChecker.h"

#include <QSet>

namespace memberd {

namespace {

// More literals than this are left in the text: such statements are rare
// and each parameter costs the server a little.
constexpr qsizetype kMaxParameters = 256;

bool isPreparableVerb(const SqlToken& first) {
    return first.isWord("SELECT") || first.isWord("INSERT") || first.isWord("UPDATE") ||
           first.isWord("DELETE");
}

// Tokens after which a value (and so a parameter) stands for a literal.
bool valueMayFollow(const SqlToken& before) {
    static const QString symbols = QStringLiteral("(,=<>!+-*/%|");
    static const QSet<QString> words = {
        QStringLiteral("SELECT"), QStringLiteral("WHERE"), QStringLiteral("AND"),     QStringLiteral("OR"),
        QStringLiteral("NOT"),    QStringLiteral("LIKE"),  QStringLiteral("ILIKE"),   QStringLiteral("THEN"),
        QStringLiteral("ELSE"),   QStringLiteral("WHEN"),  QStringLiteral("BETWEEN"), QStringLiteral("CASE"),
        QStringLiteral("HAVING"),
    };
    if (before.kind == SqlToken::Kind::Symbol)
        return symbols.contains(before.text);
    return before.kind == SqlToken::Kind::Word && words.contains(before.text.toUpper());
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

bool movable(const QList<SqlToken>& t, qsizetype i, const QString& sql) {
    if (i == 0 || !valueMayFollow(t.at(i - 1)) || t.at(i - 1).kind == SqlToken::Kind::String)
        return false;
    if (i + 1 < t.size() && t.at(i + 1).kind == SqlToken::Kind::String)
        return false;
    // "$1and" would not read as a parameter followed by a word.
    return t.at(i).end >= sql.size() || !isWordChar(sql.at(t.at(i).end));
}

} // namespace

LiteralParameters LiteralParameters::split(const QString& sql) {
    QList<SqlToken> tokens;
    QString reason;
    if (!StatementChecker::tokenize(sql, tokens, reason))
        tokens.clear();
    return split(sql, tokens);
}

LiteralParameters LiteralParameters::split(const QString& sql, const QList<SqlToken>& t) {
    LiteralParameters out;
    out.text = sql;
    if (t.isEmpty() || !isPreparableVerb(t.constFirst()))
        return out;
    out.preparable = true;
    QString text;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const SqlToken& token = t.at(i);
        if (token.kind != SqlToken::Kind::String || out.values.size() >= kMaxParameters ||
            !movable(t, i, sql))
            continue;
        text += QStringView(sql).mid(copied, token.begin - copied);
        out.where.append(text.size());
        out.values.append(token.text);
        text += QLatin1Char('$') + QString::number(out.values.size());
        copied = token.end;
    }
    if (out.values.isEmpty())
        return out;
    text += QStringView(sql).mid(copied);
    out.text = text;
    return out;
}

QString LiteralParameters::joined() const {
    QString sql;
    qsizetype copied = 0;
    for (qsizetype n = 0; n < values.size(); ++n) {
        sql += QStringView(text).mid(copied, where.at(n) - copied);
        QString value = values.at(n);
        value.replace(QLatin1Char('\''), QStringLiteral("''"));
        sql += QLatin1Char('\'') + value + QLatin1Char('\'');
        copied = where.at(n) + 1 + QString::number(n + 1).size();
    }
    sql += QStringView(text).mid(copied);
    return sql;
}

} // namespace memberd
