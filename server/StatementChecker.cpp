#include "server/StatementChecker.h"

#include <QSet>
#include <optional>

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
    tokens.reserve(8 + n / 4);
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

// The tokens of one statement and what the checks below learn about them.
struct StatementScan {
    QList<SqlToken> t;
    QString verb;     // the first word, upper-cased
    int selects = 0;  // SELECT words
    int froms = 0;    // FROM words
    QList<int> depth; // depth in parentheses of each token
    bool locks = false;

    const SqlToken* at(qsizetype i) const { return i < t.size() ? &t.at(i) : nullptr; }
};

namespace {

using Reason = std::optional<QString>;

// One statement, an optional ";" at its end and nothing after it.
Reason checkOneStatement(StatementScan& s) {
    if (!s.t.isEmpty() && s.t.constLast().isSymbol(';'))
        s.t.removeLast();
    if (s.t.isEmpty())
        return QStringLiteral("沒有 SQL 指令");
    for (const SqlToken& token : s.t)
        if (token.isSymbol(';'))
            return QStringLiteral("一次只能執行一個 SQL 指令");
    s.verb = s.t.constFirst().kind == SqlToken::Kind::Word ? s.t.constFirst().text.toUpper() : QString();
    return {};
}

// The word in capitals, written into out, whose storage serves word after
// word. ASCII words (nearly all) skip Unicode's case tables; any other takes
// QString::toUpper, which may change its length.
void upperInto(const QString& word, QString& out) {
    out.resize(word.size());
    QChar* d = out.data();
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word.at(i).unicode();
        if (c >= 0x80) {
            out = word.toUpper();
            return;
        }
        d[i] = QChar(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c);
    }
}

// Forbidden words, typed literals and calls of functions outside the list.
Reason checkWords(StatementScan& s) {
    QString upper;
    upper.reserve(32);
    for (qsizetype i = 0; i < s.t.size(); ++i) {
        const SqlToken& token = s.t.at(i);
        if (token.kind != SqlToken::Kind::Word && token.kind != SqlToken::Kind::QuotedName)
            continue;
        upperInto(token.text, upper);
        if (token.kind == SqlToken::Kind::Word) {
            if (upper == QLatin1String("SELECT"))
                ++s.selects;
            if (upper == QLatin1String("FROM"))
                ++s.froms;
            if (upper == QLatin1String("FOR"))
                s.locks = true;
            const bool insertInto =
                s.verb == QLatin1String("INSERT") && i == 1 && upper == QLatin1String("INTO");
            if (forbiddenWords().contains(upper) && !insertInto)
                return QStringLiteral("不接受的 SQL 指令: ") + upper;
        }
        const SqlToken* following = s.at(i + 1);
        if (following && following->kind == SqlToken::Kind::String &&
            (token.kind == SqlToken::Kind::QuotedName || !mayPrecedeString(upper)))
            return QStringLiteral("不接受的型別: ") + token.text;
        if (following && following->isSymbol('(')) {
            const bool insertTable = s.verb == QLatin1String("INSERT") && i == 2;
            if (token.kind == SqlToken::Kind::QuotedName && !insertTable)
                return QStringLiteral("不接受的函數: ") + token.text;
            if (!insertTable && !allowedFunctions().contains(upper) && !keywordsBeforeParen().contains(upper))
                return QStringLiteral("不接受的函數: ") + token.text;
        }
    }
    return {};
}

Reason checkCastType(const SqlToken* type) {
    if (!type || type->kind != SqlToken::Kind::Word || !castTypes().contains(type->text.toUpper()))
        return QStringLiteral("不接受的型別轉換: ") + (type ? type->text : QString());
    return {};
}

// Parentheses in pairs, IN with a list, casts to the listed types only.
Reason checkNesting(StatementScan& s) {
    s.depth = QList<int>(s.t.size(), 0);
    QList<bool> castParen; // for each open parenthesis: does it belong to CAST?
    for (qsizetype i = 0; i < s.t.size(); ++i) {
        const SqlToken& token = s.t.at(i);
        s.depth[i] = static_cast<int>(castParen.size());
        Reason refused;
        if (token.isSymbol('(')) {
            castParen.append(i > 0 && s.t.at(i - 1).isWord("CAST"));
        } else if (token.isSymbol(')')) {
            if (castParen.isEmpty())
                return QStringLiteral("括號不成對");
            castParen.removeLast();
        } else if (token.isWord("IN")) {
            // IN takes a list in parentheses; "x IN table" reads another table.
            if (!s.at(i + 1) || !s.at(i + 1)->isSymbol('('))
                return QStringLiteral("IN 之後必須是括號內的值");
        } else if (token.isSymbol(':') && s.at(i + 1) && s.at(i + 1)->isSymbol(':')) {
            refused = checkCastType(s.at(i + 2));
        } else if (token.isWord("AS") && !castParen.isEmpty() && castParen.constLast()) {
            refused = checkCastType(s.at(i + 1));
        }
        if (refused)
            return refused;
    }
    if (!castParen.isEmpty())
        return QStringLiteral("括號不成對");
    return {};
}

} // namespace

Reason StatementChecker::checkSelect(const StatementScan& s, Verdict& v) const {
    if (s.selects != 1)
        return QStringLiteral("不接受子查詢");
    if (s.froms != 1)
        return QStringLiteral("SELECT 必須從一個資料表讀取");
    qsizetype i = 0;
    while (!s.t.at(i).isWord("FROM"))
        ++i;
    const SqlToken* table = s.at(i + 1);
    if (!table || !isMemberTable(*table))
        return QStringLiteral("不接受的資料表: ") + (table ? table->text : QString());
    qsizetype j = i + 2;
    if (s.at(j) && s.at(j)->isWord("AS"))
        ++j;
    if (s.at(j) && s.at(j)->kind == SqlToken::Kind::Word &&
        !clausesAfterTable().contains(s.at(j)->text.toUpper()))
        ++j; // an alias
    if (s.at(j) &&
        !(s.at(j)->kind == SqlToken::Kind::Word && clausesAfterTable().contains(s.at(j)->text.toUpper())))
        return QStringLiteral("SELECT 只能讀取一個資料表");
    v.kind = Kind::Select;
    v.table = table->text;
    v.locksRows = s.locks;
    return {};
}

Reason StatementChecker::checkInsert(const StatementScan& s, Verdict& v) const {
    if (s.selects != 0)
        return QStringLiteral("不接受子查詢");
    const SqlToken* table = s.at(2);
    if (!s.at(1) || !s.at(1)->isWord("INTO") || !table || !isMemberTable(*table))
        return QStringLiteral("不接受的資料表: ") + (table ? table->text : QString());
    const SqlToken* after = s.at(3);
    if (!after || !(after->isSymbol('(') || after->isWord("VALUES")))
        return QStringLiteral("INSERT 必須是 INSERT INTO 資料表 (...) VALUES (...)");
    v.kind = Kind::Insert;
    v.table = table->text;
    return {};
}

Reason StatementChecker::checkUpdate(const StatementScan& s, Verdict& v) const {
    if (s.selects != 0)
        return QStringLiteral("不接受子查詢");
    if (s.froms != 0)
        return QStringLiteral("UPDATE 不接受 FROM");
    const SqlToken* table = s.at(1);
    if (!table || !isMemberTable(*table))
        return QStringLiteral("不接受的資料表: ") + (table ? table->text : QString());
    if (!s.at(2) || !s.at(2)->isWord("SET"))
        return QStringLiteral("UPDATE 必須是 UPDATE 資料表 SET ...");
    // Each assignment sets one column: no "SET (a, b) = (...)".
    bool where = false;
    for (qsizetype i = 2; i < s.t.size(); ++i) {
        if (s.depth.at(i) != 0)
            continue;
        if (s.t.at(i).isWord("WHERE")) {
            where = true;
            break;
        }
        if ((s.t.at(i).isWord("SET") || s.t.at(i).isSymbol(',')) && s.at(i + 1) && s.at(i + 1)->isSymbol('('))
            return QStringLiteral("UPDATE 一次只能設定一個欄位");
    }
    if (!where)
        return QStringLiteral("UPDATE 必須有 WHERE 條件");
    v.kind = Kind::Update;
    v.table = table->text;
    return {};
}

bool StatementChecker::isOneStatement(const QString& sql) {
    StatementScan s;
    QString reason;
    return tokenize(sql, s.t, reason) && !checkOneStatement(s);
}

StatementChecker::Verdict StatementChecker::check(const QString& sql) const {
    QList<SqlToken> tokens;
    return check(sql, tokens);
}

StatementChecker::Verdict StatementChecker::check(const QString& sql, QList<SqlToken>& tokens) const {
    StatementScan s;
    QString reason;
    if (!tokenize(sql, s.t, reason)) {
        tokens.clear();
        return refuse(reason);
    }
    const Verdict v = verdictOf(s);
    // Without a trailing ";" if it had one: nothing after the check needs it.
    tokens = std::move(s.t);
    return v;
}

StatementChecker::Verdict StatementChecker::verdictOf(StatementScan& s) const {
    for (Reason (*step)(StatementScan&) : {checkOneStatement, checkWords, checkNesting})
        if (const Reason refused = step(s))
            return refuse(*refused);
    Verdict v;
    Reason refused;
    if (s.verb == QLatin1String("SELECT"))
        refused = checkSelect(s, v);
    else if (s.verb == QLatin1String("INSERT"))
        refused = checkInsert(s, v);
    else if (s.verb == QLatin1String("UPDATE"))
        refused = checkUpdate(s, v);
    else
        refused = QStringLiteral("不接受的 SQL 指令: ") + s.t.constFirst().text;
    if (refused)
        return refuse(*refused);
    v.allowed = true;
    return v;
}

} // namespace memberd
