#include "server/StoreScope.h"

#include "common/PostingKeyPart.h"

#include "server/PostingRequest.h"
#include "server/StatementChecker.h"

#include <QList>

namespace memberd {

namespace {

const QString kLogTable = QStringLiteral("VCardLog");
const QString kStoreColumn = QStringLiteral("TxnDept");

bool isName(const SqlToken& token, const QString& name) {
    return (token.kind == SqlToken::Kind::Word || token.kind == SqlToken::Kind::QuotedName) &&
           token.text.compare(name, Qt::CaseInsensitive) == 0;
}

// The rows of "INSERT INTO table (columns) VALUES (row), (row) [;]": for
// each row the tokens of each value. False when the statement has any other
// shape.
bool insertRows(const QList<SqlToken>& t, QStringList& columns, QList<QList<QList<SqlToken>>>& rows) {
    qsizetype p = 3;
    const auto at = [&](qsizetype i) -> const SqlToken* { return i < t.size() ? &t.at(i) : nullptr; };
    if (!at(p) || !at(p)->isSymbol('('))
        return false;
    for (++p;; p += 2) {
        const SqlToken* name = at(p);
        const SqlToken* after = at(p + 1);
        if (!name || !after ||
            (name->kind != SqlToken::Kind::Word && name->kind != SqlToken::Kind::QuotedName))
            return false;
        columns << name->text;
        if (after->isSymbol(')'))
            break;
        if (!after->isSymbol(','))
            return false;
    }
    p += 2;
    if (!at(p) || !at(p)->isWord("VALUES"))
        return false;
    ++p;
    while (true) {
        if (!at(p) || !at(p)->isSymbol('('))
            return false;
        QList<QList<SqlToken>> row(1);
        int depth = 1;
        for (++p; at(p) && depth > 0; ++p) {
            const SqlToken& token = t.at(p);
            if (token.isSymbol('('))
                ++depth;
            else if (token.isSymbol(')') && --depth == 0)
                break;
            if (depth == 1 && token.isSymbol(','))
                row.append(QList<SqlToken>());
            else
                row.last().append(token);
        }
        if (depth != 0)
            return false;
        rows << row;
        ++p;
        if (!at(p) || (at(p)->isSymbol(';') && !at(p + 1)))
            return true;
        if (!at(p)->isSymbol(','))
            return false;
        ++p;
    }
}

} // namespace

QString StoreScope::keyPrefix(const QString& store) {
    return tolva::postingKeyPart(store) + QLatin1Char('.');
}

StoreScope::Verdict StoreScope::refuse(const QString& text, const QString& why) const {
    Verdict v;
    v.allowed = false;
    v.text = text;
    v.why = QStringLiteral("store %1: ").arg(m_store) + why;
    return v;
}

StoreScope::Verdict StoreScope::check(const QByteArray& command, const QString& data) const {
    if (m_store.isEmpty())
        return {};
    if (command == "POSTKY") {
        PostingRequest request;
        QString reason;
        // One that cannot be read is refused by the runner with its reason.
        if (!PostingRequest::parsePosting(data, request, reason))
            return {};
        return checkPosting(request);
    }
    if (command == "POSTQY")
        return checkKey(data);
    // A statement may write whichever command carries it: "SELECT" only
    // says rows are expected back.
    if (command == "SERVER" || command == "SELECT")
        return checkStatement(data);
    return {};
}

StoreScope::Verdict StoreScope::checkKey(const QString& key) const {
    if (key.startsWith(keyPrefix(m_store)))
        return {};
    return refuse(QStringLiteral("交易鍵值不屬於本門市 %1, 這筆要求沒有執行").arg(m_store),
                  QStringLiteral("key %1 is not one of its own").arg(key.left(100)));
}

StoreScope::Verdict StoreScope::checkPosting(const PostingRequest& request) const {
    if (request.txnDept != m_store)
        return refuse(QStringLiteral("只能記入本門市 %1 的交易 (收到門市 %2), 這筆要求沒有執行")
                          .arg(m_store, request.txnDept),
                      QStringLiteral("posting %1 names store %2").arg(request.key, request.txnDept));
    const Verdict key = checkKey(request.key);
    if (!key.allowed)
        return key;
    if (request.offline && request.authCode.isEmpty())
        return refuse(QStringLiteral("離線交易必須有授權碼, 這筆要求沒有執行"),
                      QStringLiteral("offline posting %1 without an authorisation code").arg(request.key));
    return {};
}

StoreScope::Verdict StoreScope::checkStatement(const QString& sql) const {
    QList<SqlToken> t;
    QString reason;
    const QString unreadable = QStringLiteral("門市連線的指令無法判讀: ");
    if (!StatementChecker::tokenize(sql, t, reason))
        return refuse(unreadable + reason, QStringLiteral("statement not readable: ") + reason);
    if (t.isEmpty() || t.constFirst().isWord("SELECT"))
        return {};
    bool touchesLog = false;
    for (const SqlToken& token : t)
        touchesLog = touchesLog || isName(token, kLogTable);
    if (!touchesLog)
        return {};
    const QString mustName =
        QStringLiteral("交易記錄只能以 INSERT INTO VCardLog (..., TxnDept, ...) VALUES (...) 寫入本門市 %1")
            .arg(m_store);
    if (t.size() < 3 || !t.at(0).isWord("INSERT") || !t.at(1).isWord("INTO") || !isName(t.at(2), kLogTable))
        return refuse(mustName, QStringLiteral("statement on VCardLog other than a log row"));
    QStringList columns;
    QList<QList<QList<SqlToken>>> rows;
    if (!insertRows(t, columns, rows))
        return refuse(mustName, QStringLiteral("log row not of the form (columns) VALUES (row)"));
    qsizetype column = -1;
    for (qsizetype i = 0; i < columns.size(); ++i)
        if (columns.at(i).compare(kStoreColumn, Qt::CaseInsensitive) == 0)
            column = column < 0 ? i : -2;
    if (column < 0)
        return refuse(mustName, QStringLiteral("log row without TxnDept"));
    for (const auto& row : rows) {
        if (row.size() != columns.size())
            return refuse(
                mustName,
                QStringLiteral("log row with %1 values for %2 columns").arg(row.size()).arg(columns.size()));
        const QList<SqlToken>& value = row.at(column);
        const QString named = value.size() == 1 && value.constFirst().kind == SqlToken::Kind::String
                                  ? value.constFirst().text.trimmed()
                                  : QString();
        if (named != m_store)
            return refuse(QStringLiteral("只能寫入本門市 %1 的交易記錄, 這筆要求沒有執行").arg(m_store),
                          QStringLiteral("log row names store %1")
                              .arg(named.isEmpty() ? QStringLiteral("(not a plain string)") : named));
    }
    return {};
}

} // namespace memberd
