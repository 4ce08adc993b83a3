#include "server/StatementChecker.h"

#include <QSet>

namespace memberd {

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Symbols that plain SELECT, INSERT and UPDATE statements need. Everything
// else (@ # $ ? [ ] ` { } \ & ^ ~ and control characters) is refused.
bool isAcceptedSymbol(QChar c) {
    static const QString accepted = QStringLiteral("(),.=<>!+-*/%|:;");
    return accepted.contains(c);
}

// Functions a desk statement may call: the server-time expressions of the
// dialects, date literals and harmless value functions.
const QSet<QString>& allowedFunctions() {
    static const QSet<QString> names = {
        QStringLiteral("NOW"),      QStringLiteral("GETDATE"), QStringLiteral("LOCALTIMESTAMP"),
        QStringLiteral("DATETIME"), QStringLiteral("DATE"),    QStringLiteral("TO_DATE"),
        QStringLiteral("COUNT"),    QStringLiteral("SUM"),     QStringLiteral("MIN"),
        QStringLiteral("MAX"),      QStringLiteral("AVG"),     QStringLiteral("COALESCE"),
        QStringLiteral("IFNULL"),   QStringLiteral("ISNULL"),  QStringLiteral("UPPER"),
        QStringLiteral("LOWER"),    QStringLiteral("TRIM"),    QStringLiteral("LTRIM"),
        QStringLiteral("RTRIM"),    QStringLiteral("SUBSTR"),  QStringLiteral("SUBSTRING"),
        QStringLiteral("LENGTH"),   QStringLiteral("LEN"),     QStringLiteral("ROUND"),
        QStringLiteral("ABS"),      QStringLiteral("CAST"),
    };
    return names;
}

// Keywords that may stand right before an opening parenthesis.
const QSet<QString>& keywordsBeforeParen() {
    static const QSet<QString> words = {
        QStringLiteral("VALUES"),  QStringLiteral("IN"),   QStringLiteral("AND"),
        QStringLiteral("OR"),      QStringLiteral("NOT"),  QStringLiteral("WHERE"),
        QStringLiteral("SET"),     QStringLiteral("ON"),   QStringLiteral("THEN"),
        QStringLiteral("ELSE"),    QStringLiteral("WHEN"), QStringLiteral("AS"),
        QStringLiteral("BETWEEN"), QStringLiteral("LIKE"), QStringLiteral("IS"),
        QStringLiteral("CASE"),    QStringLiteral("BY"),   QStringLiteral("DISTINCT"),
        QStringLiteral("SELECT"),
    };
    return words;
}

// Words that may follow the table of a SELECT (after an optional alias).
const QSet<QString>& clausesAfterTable() {
    static const QSet<QString> words = {
        QStringLiteral("WHERE"),  QStringLiteral("ORDER"), QStringLiteral("GROUP"),
        QStringLiteral("HAVING"), QStringLiteral("LIMIT"), QStringLiteral("OFFSET"),
    };
    return words;
}

// Words that turn one statement into several reads or writes, read another
// table without SELECT or FROM ("TABLE name"), answer rows of a write
// (RETURNING) or tell who and where the connection is.
const QSet<QString>& forbiddenWords() {
    static const QSet<QString> words = {
        QStringLiteral("UNION"),
        QStringLiteral("INTERSECT"),
        QStringLiteral("EXCEPT"),
        QStringLiteral("JOIN"),
        QStringLiteral("WITH"),
        QStringLiteral("INTO"),
        QStringLiteral("TABLE"),
        QStringLiteral("RETURNING"),
        QStringLiteral("OUTPUT"),
        QStringLiteral("CURRENT_USER"),
        QStringLiteral("SESSION_USER"),
        QStringLiteral("CURRENT_ROLE"),
        QStringLiteral("CURRENT_CATALOG"),
        QStringLiteral("CURRENT_SCHEMA"),
        QStringLiteral("SYSTEM_USER"),
        QStringLiteral("USER"),
    };
    return words;
}

// Types a value may be cast to (CAST(x AS type), x::type). Casts to the
// object-name types (regclass, regproc, ...) look names up in the catalog.
const QSet<QString>& castTypes() {
    static const QSet<QString> types = {
        QStringLiteral("INT"),       QStringLiteral("INTEGER"),  QStringLiteral("SMALLINT"),
        QStringLiteral("BIGINT"),    QStringLiteral("NUMERIC"),  QStringLiteral("DECIMAL"),
        QStringLiteral("REAL"),      QStringLiteral("FLOAT"),    QStringLiteral("DOUBLE"),
        QStringLiteral("MONEY"),     QStringLiteral("CHAR"),     QStringLiteral("CHARACTER"),
        QStringLiteral("VARCHAR"),   QStringLiteral("NCHAR"),    QStringLiteral("NVARCHAR"),
        QStringLiteral("TEXT"),      QStringLiteral("DATE"),     QStringLiteral("TIME"),
        QStringLiteral("TIMESTAMP"), QStringLiteral("DATETIME"), QStringLiteral("BIT"),
        QStringLiteral("BOOLEAN"),
    };
    return types;
}

// Words that may stand right before a string literal besides the types of
// castTypes (DATE '2026-01-01'): the keywords of conditions and values. Any
// other name there makes a typed literal (regclass 'pg_authid', xml '...').
bool mayPrecedeString(const QString& upper) {
    static const QSet<QString> words = {QStringLiteral("ESCAPE"), QStringLiteral("GLOB"),
                                        QStringLiteral("ILIKE")};
    return keywordsBeforeParen().contains(upper) || castTypes().contains(upper) || words.contains(upper);
}

StatementChecker::Verdict refuse(const QString& reason) {
    StatementChecker::Verdict v;
    v.reason = reason;
    return v;
}

} // namespace

StatementChecker::StatementChecker(QStringList tables) : m_tables(std::move(tables)) {}

bool StatementChecker::tokenize(const QString& sql, QList<SqlToken>& tokens, QString& reason) {
    tokens.clear();
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        const QChar next = i + 1 < n ? sql.at(i + 1) : QChar();
        if ((c == QLatin1Char('-') && next == QLatin1Char('-')) ||
            (c == QLatin1Char('/') && next == QLatin1Char('*'))) {
            reason = QStringLiteral("不接受註解");
            return false;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A quote inside is written twice; nothing else escapes.
            QString text;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) {
                        text += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                text += sql.at(j++);
            }
            if (!closed) {
                reason = QStringLiteral("引號沒有結束");
                return false;
            }
            tokens.append({c == QLatin1Char('\'') ? SqlToken::Kind::String : SqlToken::Kind::QuotedName, text,
                           i, j + 1});
            i = j + 1;
            continue;
        }
        if (isWordStart(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(sql.at(j)))
                ++j;
            if (j < n && (sql.at(j) == QLatin1Char('\'') || sql.at(j) == QLatin1Char('"'))) {
                // E'..', N'..', X'..', U&"..": literals with rules of their own.
                reason = QStringLiteral("不接受有前置字的字串: ") + sql.mid(i, j - i);
                return false;
            }
            tokens.append({SqlToken::Kind::Word, sql.mid(i, j - i), i, j});
            i = j;
            continue;
        }
        if (c.isDigit() || (c == QLatin1Char('.') && next.isDigit())) {
            qsizetype j = i;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == QLatin1Char('.') ||
                             ((sql.at(j) == QLatin1Char('+') || sql.at(j) == QLatin1Char('-')) &&
                              (sql.at(j - 1) == QLatin1Char('e') || sql.at(j - 1) == QLatin1Char('E')))))
                ++j;
            tokens.append({SqlToken::Kind::Number, sql.mid(i, j - i), i, j});
            i = j;
            continue;
        }
        if (isAcceptedSymbol(c)) {
            tokens.append({SqlToken::Kind::Symbol, QString(c), i, i + 1});
            ++i;
            continue;
        }
        reason = QStringLiteral("不接受的字元: ") + (c.isPrint() ? QString(c) : QStringLiteral("(控制字元)"));
        return false;
    }
    return true;
}

bool StatementChecker::isMemberTable(const SqlToken& token) const {
    if (token.kind != SqlToken::Kind::Word && token.kind != SqlToken::Kind::QuotedName)
        return false;
    for (const QString& table : m_tables)
        if (token.text.compare(table, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

StatementChecker::Verdict StatementChecker::check(const QString& sql) const {
    QList<SqlToken> t;
    QString reason;
    if (!tokenize(sql, t, reason))
        return refuse(reason);
    // One trailing ";" is tolerated; any other ends one statement and starts another.
    if (!t.isEmpty() && t.constLast().isSymbol(';'))
        t.removeLast();
    if (t.isEmpty())
        return refuse(QStringLiteral("沒有 SQL 指令"));
    for (const SqlToken& token : t)
        if (token.isSymbol(';'))
            return refuse(QStringLiteral("一次只能執行一個 SQL 指令"));

    auto at = [&](qsizetype i) -> const SqlToken* { return i < t.size() ? &t.at(i) : nullptr; };
    const QString verb =
        t.constFirst().kind == SqlToken::Kind::Word ? t.constFirst().text.toUpper() : QString();

    int selects = 0;
    int froms = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const SqlToken& token = t.at(i);
        if (token.kind != SqlToken::Kind::Word && token.kind != SqlToken::Kind::QuotedName)
            continue;
        const QString upper = token.text.toUpper();
        if (token.kind == SqlToken::Kind::Word) {
            if (upper == QLatin1String("SELECT"))
                ++selects;
            if (upper == QLatin1String("FROM"))
                ++froms;
            const bool insertInto =
                verb == QLatin1String("INSERT") && i == 1 && upper == QLatin1String("INTO");
            if (forbiddenWords().contains(upper) && !insertInto)
                return refuse(QStringLiteral("不接受的 SQL 指令: ") + upper);
        }
        const SqlToken* following = at(i + 1);
        if (following && following->kind == SqlToken::Kind::String &&
            (token.kind == SqlToken::Kind::QuotedName || !mayPrecedeString(upper)))
            return refuse(QStringLiteral("不接受的型別: ") + token.text);
        if (following && following->isSymbol('(')) {
            const bool insertTable = verb == QLatin1String("INSERT") && i == 2;
            if (token.kind == SqlToken::Kind::QuotedName && !insertTable)
                return refuse(QStringLiteral("不接受的函數: ") + token.text);
            if (!insertTable && !allowedFunctions().contains(upper) && !keywordsBeforeParen().contains(upper))
                return refuse(QStringLiteral("不接受的函數: ") + token.text);
        }
    }

    // Depth in parentheses of each token, and the casts and IN lists in them.
    QList<int> depth(t.size(), 0);
    QList<bool> castParen; // for each open parenthesis: does it belong to CAST?
    for (qsizetype i = 0; i < t.size(); ++i) {
        const SqlToken& token = t.at(i);
        depth[i] = static_cast<int>(castParen.size());
        if (token.isSymbol('(')) {
            castParen.append(i > 0 && t.at(i - 1).isWord("CAST"));
        } else if (token.isSymbol(')')) {
            if (castParen.isEmpty())
                return refuse(QStringLiteral("括號不成對"));
            castParen.removeLast();
        } else if (token.isWord("IN")) {
            // IN takes a list in parentheses; "x IN table" reads another table.
            if (!at(i + 1) || !at(i + 1)->isSymbol('('))
                return refuse(QStringLiteral("IN 之後必須是括號內的值"));
        } else if (token.isSymbol(':') && at(i + 1) && at(i + 1)->isSymbol(':')) {
            const SqlToken* type = at(i + 2);
            if (!type || type->kind != SqlToken::Kind::Word || !castTypes().contains(type->text.toUpper()))
                return refuse(QStringLiteral("不接受的型別轉換: ") + (type ? type->text : QString()));
        } else if (token.isWord("AS") && !castParen.isEmpty() && castParen.constLast()) {
            const SqlToken* type = at(i + 1);
            if (!type || type->kind != SqlToken::Kind::Word || !castTypes().contains(type->text.toUpper()))
                return refuse(QStringLiteral("不接受的型別轉換: ") + (type ? type->text : QString()));
        }
    }
    if (!castParen.isEmpty())
        return refuse(QStringLiteral("括號不成對"));

    Verdict v;
    if (verb == QLatin1String("SELECT")) {
        if (selects != 1)
            return refuse(QStringLiteral("不接受子查詢"));
        if (froms != 1)
            return refuse(QStringLiteral("SELECT 必須從一個資料表讀取"));
        qsizetype i = 0;
        while (!t.at(i).isWord("FROM"))
            ++i;
        const SqlToken* table = at(i + 1);
        if (!table || !isMemberTable(*table))
            return refuse(QStringLiteral("不接受的資料表: ") + (table ? table->text : QString()));
        qsizetype j = i + 2;
        if (at(j) && at(j)->isWord("AS"))
            ++j;
        if (at(j) && at(j)->kind == SqlToken::Kind::Word &&
            !clausesAfterTable().contains(at(j)->text.toUpper()))
            ++j; // an alias
        if (at(j) &&
            !(at(j)->kind == SqlToken::Kind::Word && clausesAfterTable().contains(at(j)->text.toUpper())))
            return refuse(QStringLiteral("SELECT 只能讀取一個資料表"));
        v.kind = Kind::Select;
        v.table = table->text;
    } else if (verb == QLatin1String("INSERT")) {
        if (selects != 0)
            return refuse(QStringLiteral("不接受子查詢"));
        const SqlToken* table = at(2);
        if (!at(1) || !at(1)->isWord("INTO") || !table || !isMemberTable(*table))
            return refuse(QStringLiteral("不接受的資料表: ") + (table ? table->text : QString()));
        const SqlToken* after = at(3);
        if (!after || !(after->isSymbol('(') || after->isWord("VALUES")))
            return refuse(QStringLiteral("INSERT 必須是 INSERT INTO 資料表 (...) VALUES (...)"));
        v.kind = Kind::Insert;
        v.table = table->text;
    } else if (verb == QLatin1String("UPDATE")) {
        if (selects != 0)
            return refuse(QStringLiteral("不接受子查詢"));
        if (froms != 0)
            return refuse(QStringLiteral("UPDATE 不接受 FROM"));
        const SqlToken* table = at(1);
        if (!table || !isMemberTable(*table))
            return refuse(QStringLiteral("不接受的資料表: ") + (table ? table->text : QString()));
        if (!at(2) || !at(2)->isWord("SET"))
            return refuse(QStringLiteral("UPDATE 必須是 UPDATE 資料表 SET ..."));
        // Each assignment sets one column: no "SET (a, b) = (...)".
        bool where = false;
        for (qsizetype i = 2; i < t.size(); ++i) {
            if (depth.at(i) != 0)
                continue;
            if (t.at(i).isWord("WHERE")) {
                where = true;
                break;
            }
            if ((t.at(i).isWord("SET") || t.at(i).isSymbol(',')) && at(i + 1) && at(i + 1)->isSymbol('('))
                return refuse(QStringLiteral("UPDATE 一次只能設定一個欄位"));
        }
        if (!where)
            return refuse(QStringLiteral("UPDATE 必須有 WHERE 條件"));
        v.kind = Kind::Update;
        v.table = table->text;
    } else {
        return refuse(QStringLiteral("不接受的 SQL 指令: ") + t.constFirst().text);
    }
    v.allowed = true;
    return v;
}

} // namespace memberd
