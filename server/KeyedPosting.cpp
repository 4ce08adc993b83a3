#include "server/KeyedPosting.h"

#include "server/PostingRequest.h"

#include <QDateTime>
#include <QVariant>

namespace memberd {

namespace {

// Amounts arrive as plain decimals with at most two places; the database
// reads them as numbers, the way a literal in a desk's statement is read.
const QString kAmount = QStringLiteral("CAST(? AS DECIMAL(18,2))");

// An amount as whole cents: "10", "10.0" and a stored 10.0000 agree.
qint64 cents(const QVariant& amount) {
    return qRound64(amount.toString().toDouble() * 100);
}

} // namespace

KeyedPosting::KeyedPosting(QSqlDatabase db, tolva::Dialect dialect)
    : m_db(std::move(db)), m_dialect(std::move(dialect)) {}

QSqlQuery* KeyedPosting::statement(const QString& sql, QSqlError& error) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end())
        return found->second.get();
    auto q = std::make_unique<QSqlQuery>(m_db);
    q->setForwardOnly(true);
    if (!q->prepare(sql)) {
        error = q->lastError();
        return nullptr;
    }
    return m_statements.emplace(sql, std::move(q)).first->second.get();
}

QSqlQuery* KeyedPosting::run(const QString& sql, const QVariantList& values, QSqlError& error) {
    QSqlQuery* q = statement(sql, error);
    if (!q)
        return nullptr;
    for (qsizetype i = 0; i < values.size(); ++i)
        q->bindValue(static_cast<int>(i), values.at(i));
    if (!q->exec()) {
        error = q->lastError();
        q->finish();
        return nullptr;
    }
    return q;
}

bool KeyedPosting::begin(QSqlError& error) {
    if (m_dialect.statementTransactions()) {
        QSqlQuery q(m_db);
        if (q.exec(m_dialect.beginStatement()))
            return true;
        error = q.lastError();
        return false;
    }
    if (m_db.transaction())
        return true;
    error = m_db.lastError();
    return false;
}

bool KeyedPosting::commit(QSqlError& error) {
    if (m_dialect.statementTransactions()) {
        QSqlQuery q(m_db);
        if (q.exec(QStringLiteral("COMMIT")))
            return true;
        error = q.lastError();
        rollback();
        return false;
    }
    if (m_db.commit())
        return true;
    error = m_db.lastError();
    rollback();
    return false;
}

void KeyedPosting::rollback() {
    for (auto& [sql, q] : m_statements)
        q->finish();
    if (m_dialect.statementTransactions()) {
        QSqlQuery q(m_db);
        // After an interrupt SQLite may have rolled back already.
        q.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    m_db.rollback();
}

int KeyedPosting::claimKey(const QString& key, char outcome, const PostingRequest* request,
                           QSqlError& error) {
    const QString columns =
        QStringLiteral("PostKey (PostKey, Outcome, CardNo, TxnType, TxnAmt, AuthCode, FileDate)");
    const QString values =
        QStringLiteral("?, ?, ?, ?, ") + kAmount + QStringLiteral(", ?, ") + m_dialect.serverDate();
    QVariantList bound{key,
                       QString(QLatin1Char(outcome)),
                       request ? QVariant(request->cardNo) : QVariant(),
                       request ? QVariant(request->typeCode) : QVariant(),
                       request ? QVariant(request->amount) : QVariant(),
                       request ? QVariant(request->authCode) : QVariant()};
    QString sql;
    if (m_dialect.onConflictDoNothing()) {
        // A key another transaction is still inserting: PostgreSQL waits
        // for that transaction, then does nothing when it committed.
        sql = QStringLiteral("INSERT INTO ") + columns + QStringLiteral(" VALUES (") + values +
              QStringLiteral(") ON CONFLICT (PostKey) DO NOTHING");
    } else {
        sql = QStringLiteral("INSERT INTO ") + columns + QStringLiteral(" SELECT ") + values +
              QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM PostKey") + m_dialect.keyCheckHint() +
              QStringLiteral(" WHERE PostKey = ?)");
        bound << key;
    }
    QSqlQuery* q = run(sql, bound, error);
    if (!q)
        return -1;
    const int inserted = q->numRowsAffected();
    q->finish();
    return inserted > 0 ? 1 : 0;
}

bool KeyedPosting::storedOutcome(const QString& key, const PostingRequest* request, PostingAnswer& answer,
                                 QSqlError& error) {
    QSqlQuery* q =
        run(QStringLiteral("SELECT Outcome, CardNo, TxnType, TxnAmt FROM PostKey WHERE PostKey = ?"), {key},
            error);
    if (!q)
        return false;
    const bool found = q->next();
    const QString text = found ? q->value(0).toString().trimmed() : QString();
    const QVariant cardNo = found ? q->value(1) : QVariant();
    const QString typeCode = found ? q->value(2).toString().trimmed() : QString();
    const QVariant amount = found ? q->value(3) : QVariant();
    q->finish();
    if (!found || text.size() != 1) {
        // Named by PostgreSQL's "no data found" state, so that it is never
        // taken for a lost connection (libpq's own errors have no state).
        error = QSqlError(QStringLiteral("交易鍵值沒有結果"), QString(), QSqlError::StatementError,
                          QStringLiteral("P0002"));
        return false;
    }
    answer.outcome = text.at(0).toLatin1();
    answer.otherPosting = request && !cardNo.isNull() &&
                          (cardNo.toString().trimmed() != request->cardNo || typeCode != request->typeCode ||
                           cents(amount) != cents(request->amount));
    return true;
}

bool KeyedPosting::applyBalance(const PostingRequest& r, bool& changed, QSqlError& error) {
    // On SQLite every result is kept to the cent and compared so (see
    // Dialect::money); PostgreSQL computes in exact decimals.
    const QString balance = QStringLiteral("TBonusAmt");
    QSqlQuery* q = nullptr;
    if (r.type == PostingRequest::Type::Deposit)
        q = run(QStringLiteral("UPDATE CUST SET TBonusAmt = ") +
                    m_dialect.money(balance + QStringLiteral(" + ") + kAmount) +
                    QStringLiteral(" WHERE CustNo = ?"),
                {r.amount, r.cardNo}, error);
    else
        q = run(QStringLiteral("UPDATE CUST SET TBonusAmt = ") +
                    m_dialect.money(balance + QStringLiteral(" - ") + kAmount) +
                    QStringLiteral(" WHERE CustNo = ? AND ") + m_dialect.money(balance) +
                    QStringLiteral(" >= ") + m_dialect.money(kAmount),
                {r.amount, r.cardNo, r.amount}, error);
    if (!q)
        return false;
    changed = q->numRowsAffected() > 0;
    q->finish();
    return true;
}

bool KeyedPosting::cardExists(const QString& cardNo, bool& exists, QSqlError& error) {
    QSqlQuery* q = run(QStringLiteral("SELECT CustNo FROM CUST WHERE CustNo = ?"), {cardNo}, error);
    if (!q)
        return false;
    exists = q->next();
    q->finish();
    return true;
}

bool KeyedPosting::writeLogRow(const PostingRequest& r, QSqlError& error) {
    const QString sql =
        QStringLiteral(
            "INSERT INTO VCardLog (TxnDept, TxnType, CardNo, TxnDate, TxnAmt, TxnPoint, RefCheckNo, "
            "POSID, UserID, Remark, FileDate, PostKey, AuthCode) VALUES (?, ?, ?, ?, ") +
        kAmount + QStringLiteral(", 0, ?, ?, ?, '', ") + m_dialect.serverDate() + QStringLiteral(", ?, ?)");
    QSqlQuery* q = run(sql,
                       {r.txnDept, r.typeCode, r.cardNo,
                        // Kept as the desks' own log rows keep it.
                        m_dialect.dateValue(QDateTime(r.businessDate, QTime(0, 0))), r.amount, r.refCheckNo,
                        r.posId, r.userId, r.key, r.authCode},
                       error);
    if (!q)
        return false;
    q->finish();
    return true;
}

bool KeyedPosting::setOutcome(const QString& key, char outcome, QSqlError& error) {
    QSqlQuery* q = run(QStringLiteral("UPDATE PostKey SET Outcome = ? WHERE PostKey = ?"),
                       {QString(QLatin1Char(outcome)), key}, error);
    if (!q)
        return false;
    q->finish();
    return true;
}

bool KeyedPosting::post(const PostingRequest& r, PostingAnswer& answer, QSqlError& error) {
    if (!begin(error))
        return false;
    const auto failed = [&] {
        rollback();
        return false;
    };
    const int claimed = claimKey(r.key, 'P', &r, error);
    if (claimed < 0)
        return failed();
    if (claimed == 0) {
        if (!storedOutcome(r.key, &r, answer, error))
            return failed();
        answer.replay = true;
        rollback();
        return true;
    }
    bool changed = false;
    if (!applyBalance(r, changed, error))
        return failed();
    if (changed) {
        if (!writeLogRow(r, error))
            return failed();
        answer.outcome = 'P';
    } else {
        bool exists = false;
        if (!cardExists(r.cardNo, exists, error))
            return failed();
        answer.outcome = exists ? 'S' : 'N';
        if (!setOutcome(r.key, answer.outcome, error))
            return failed();
    }
    answer.replay = false;
    return commit(error);
}

bool KeyedPosting::query(const QString& key, PostingAnswer& answer, QSqlError& error) {
    if (!begin(error))
        return false;
    const int claimed = claimKey(key, 'X', nullptr, error);
    if (claimed < 0 || (claimed == 0 && !storedOutcome(key, nullptr, answer, error))) {
        rollback();
        return false;
    }
    answer.replay = claimed == 0;
    if (answer.replay) {
        rollback();
        return true;
    }
    answer.outcome = 'X';
    return commit(error);
}

} // namespace memberd
