#include "server/ServerTime.h"

#include "server/StatementChecker.h"

namespace memberd {

namespace {

// Whether the text may hold one of the expressions at all: most statements
// do not, and they are passed on without being tokenized. One pass over the
// text, letters compared without case.
bool mayHoldOne(const QString& sql) {
    static const char* const words[] = {"now", "getdate", "localtimestamp", "sysdate"};
    const QChar* text = sql.constData();
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t first = text[i].unicode() | 0x20;
        if (first != u'n' && first != u'g' && first != u'l' && first != u's')
            continue;
        for (const char* word : words) {
            qsizetype k = 0;
            while (word[k] && i + k < n && (text[i + k].unicode() | 0x20) == static_cast<char16_t>(word[k]))
                ++k;
            if (!word[k])
                return true;
        }
    }
    return false;
}

bool isString(const SqlToken& token, const char* lower) {
    return token.kind == SqlToken::Kind::String &&
           token.text.compare(QLatin1String(lower), Qt::CaseInsensitive) == 0;
}

// How many tokens from i on make up one of the expressions; 0 when none starts there.
qsizetype expressionAt(const QList<SqlToken>& t, qsizetype i) {
    const qsizetype left = t.size() - i;
    auto sym = [&](qsizetype k, char c) { return t.at(i + k).isSymbol(c); };
    const SqlToken& first = t.at(i);
    if (first.kind != SqlToken::Kind::Word)
        return 0;
    if (i > 0 && t.at(i - 1).isSymbol('.'))
        return 0; // a qualified name, not the expression
    if ((first.isWord("GETDATE") || first.isWord("NOW")) && left >= 3 && sym(1, '(') && sym(2, ')'))
        return 3;
    if (first.isWord("DATETIME") && left >= 6 && sym(1, '(') && isString(t.at(i + 2), "now") && sym(3, ',') &&
        isString(t.at(i + 4), "localtime") && sym(5, ')'))
        return 6;
    if (first.isWord("LOCALTIMESTAMP") && left >= 4 && sym(1, '(') &&
        t.at(i + 2).kind == SqlToken::Kind::Number && t.at(i + 2).text == QLatin1String("0") && sym(3, ')'))
        return 4;
    if (first.isWord("SYSDATE") && !(left >= 2 && sym(1, '(')))
        return 1;
    return 0;
}

} // namespace

ServerTime::ServerTime(QString expression) : m_expression(std::move(expression)) {}

QString ServerTime::rewrite(const QString& sql) const {
    if (m_expression.isEmpty() || !mayHoldOne(sql))
        return sql;
    QList<SqlToken> tokens;
    QString reason;
    if (!StatementChecker::tokenize(sql, tokens, reason))
        return sql;
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < tokens.size();) {
        const qsizetype count = expressionAt(tokens, i);
        if (count == 0) {
            ++i;
            continue;
        }
        out += QStringView(sql).mid(copied, tokens.at(i).begin - copied);
        out += m_expression;
        copied = tokens.at(i + count - 1).end;
        i += count;
    }
    if (copied == 0)
        return sql;
    out += QStringView(sql).mid(copied);
    return out;
}

} // namespace memberd
