#include "server/StatementRunner.h"

#include "common/Fault.h"
#include "server/KeyedPosting.h"
#include "server/Log.h"
#include "server/PostgresControl.h"
#include "server/PostingRequest.h"
#include "server/Protocol.h"

#include <QSqlError>
#include <QSqlRecord>
#include <sqlite3.h>

namespace memberd {

QString databaseMessage(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    return answers::firstLine(text.isEmpty() ? error.driverText() : text);
}

StatementRunner::StatementRunner(Config config, std::timed_mutex& sqliteWriter)
    : m_config(std::move(config)), m_sqliteWriter(sqliteWriter), m_cp(m_config.codePage),
      m_intake(m_cp, m_config.allowAnySql) {}

StatementRunner::~StatementRunner() {
    close();
}

void StatementRunner::close() {
    m_keyed.reset();
    m_query.reset();
    m_postgres.reset();
    if (m_db && m_sqliteHandle)
        SqliteAuthorizer::remove(m_db->handle());
    m_sqliteHandle = nullptr;
    m_db.reset();
}

void StatementRunner::open() {
    close();
    m_db.emplace();
    try {
        m_db->open(m_config.connectionString);
        m_sqlite = m_db->dialect().singleWriter();
        m_intake.setServerTime(ServerTime(m_db->dialect().serverDate()));
        const int seconds = std::max(1, (m_config.statementTimeoutMs + 999) / 1000);
        const tolva::Dialect::Product product = m_db->dialect().product();
        if (product == tolva::Dialect::Product::SQLite) {
            m_sqliteHandle = SqliteAuthorizer::handleOf(m_db->handle());
            if (!m_sqliteHandle)
                throw tolva::Fault(tolva::Fault::kGeneric, QStringLiteral("無法取得 SQLite 連線"));
            if (!m_config.allowAnySql)
                m_authorizer.install(m_db->handle());
        } else if (product == tolva::Dialect::Product::PostgreSQL) {
            m_postgres = std::make_unique<PostgresControl>(m_db->handle());
            m_db->execute(QStringLiteral("SET statement_timeout = '%1s'").arg(seconds));
            m_db->execute(QStringLiteral("SET lock_timeout = '%1s'").arg(seconds));
        }
        m_query.emplace(m_db->handle());
    } catch (...) {
        close();
        throw;
    }
}

void StatementRunner::cancel() {
    if (m_sqliteHandle)
        sqlite3_interrupt(m_sqliteHandle);
    else if (m_postgres)
        m_postgres->cancel();
}

bool StatementRunner::connectionLost(const QSqlError& error) const {
    // The driver gave the connection up ("database not open").
    if (!m_db || !m_db->isOpen() || m_db->handle().isOpenError())
        return true;
    // SQLite has no connection to lose: what fails while a statement runs (a
    // constraint, the lock wait) is that statement's failure, even where Qt
    // files it as a connection error.
    if (!m_postgres)
        return !m_sqliteHandle && error.type() == QSqlError::ConnectionError;
    return m_postgres->connectionLost() ||
           (error.type() != QSqlError::NoError && PostgresControl::endsConnection(error.nativeErrorCode()));
}

Outcome StatementRunner::failure(const QByteArray& prefix, const QByteArray& command, const char* code,
                                 const QString& text, const QString& logLine) const {
    return answers::failure(m_cp, prefix, command, code, text, logLine);
}

QString StatementRunner::selectText(QSqlQuery& query, qint64& rows, bool& tooLarge) const {
    const QSqlRecord record = query.record();
    const int cols = record.count();
    QString text;
    rows = 0;
    tooLarge = false;
    while (query.next()) {
        if (rows == 0) {
            for (int c = 0; c < cols; ++c) {
                if (c)
                    text += QLatin1Char('\t');
                text += cleanValue(record.fieldName(c));
            }
        }
        text += QLatin1Char(';');
        for (int c = 0; c < cols; ++c) {
            if (c)
                text += QLatin1Char('\t');
            text += cleanValue(valueText(query.value(c)));
        }
        ++rows;
        // Each character takes at least one byte on the wire.
        if (text.size() > m_config.maxReplyBytes) {
            tooLarge = true;
            break;
        }
    }
    return text;
}

Outcome StatementRunner::guarded(const QByteArray& prefix, const QByteArray& command, int clientFd,
                                 qint64 deadlineMs, bool writes, const QString& what,
                                 const std::function<bool(QSqlError&)>& body, bool& done) {
    done = false;
    const QString cmd = QString::fromLatin1(command);
    // A connection the server ended while it stood idle is replaced before
    // anything runs on it: nothing was sent yet, so nothing is in doubt.
    if (m_db && m_postgres && m_postgres->connectionLost()) {
        writeLog(LogLevel::Warning, QStringLiteral("database connection lost while idle, reconnecting"));
        close();
    }
    if (!m_db) {
        try {
            open();
            ++m_reconnects;
        } catch (const tolva::Fault& fault) {
            return answers::unreachable(m_cp, prefix, command, fault.message());
        }
    }
    const QString timeoutText = answers::timeoutText(m_config.statementTimeoutMs);

    std::unique_lock<std::timed_mutex> writer(m_sqliteWriter, std::defer_lock);
    if (m_sqlite && writes) {
        const auto wait =
            std::chrono::milliseconds(std::max<qint64>(0, deadlineMs - StatementWatch::nowMs()));
        if (!writer.try_lock_for(wait))
            return failure(prefix, command, rc::kDatabase, timeoutText,
                           QStringLiteral("error %1: timed out waiting for the writer lock").arg(cmd));
    }
    const qint64 left = deadlineMs - StatementWatch::nowMs();
    if (left <= 0)
        return answers::timedOutBeforeItRan(m_cp, prefix, command, m_config.statementTimeoutMs);
    if (m_sqliteHandle)
        sqlite3_busy_timeout(m_sqliteHandle, static_cast<int>(left));

    m_authorizer.clearDenial();
    QSqlError error;
    m_watch.begin(clientFd, deadlineMs, [this] { cancel(); });
    done = body(error);
    const StatementWatch::Ended ended = m_watch.end();

    if (ended == StatementWatch::Ended::ClientGone) {
        Outcome gone;
        gone.clientGone = true;
        gone.logLine = answers::clientWentAway(command);
        return gone;
    }
    if (done)
        return {};
    if (ended == StatementWatch::Ended::TimedOut)
        return answers::cancelledAfter(m_cp, prefix, command, m_config.statementTimeoutMs, what);
    const QString message = databaseMessage(error);
    if (connectionLost(error)) {
        close();
        return answers::connectionLost(m_cp, prefix, command, message);
    }
    return answers::databaseError(m_cp, prefix, command, message, m_authorizer.lastDenial(), what);
}

Outcome StatementRunner::run(const QByteArray& prefix, const QByteArray& command, const QByteArray& data,
                             int clientFd, qint64 deadlineMs) {
    const StatementIntake::Statement taken = m_intake.take(prefix, command, data);
    if (taken.refusal)
        return *taken.refusal;
    const QString& sql = taken.sql;
    const bool reads = taken.reads;
    QString text;
    qint64 rows = 0;
    bool tooLarge = false;
    bool selected = false;
    int changed = 0;
    const auto statement = [&](QSqlError& error) {
        QSqlQuery& query = *m_query;
        // The replies are small: PostgreSQL hands the whole result over in
        // one piece, which is cheaper than its row-by-row mode.
        query.setForwardOnly(m_sqlite);
        const bool ran = query.exec(sql);
        selected = ran && command == "SELECT" && query.isSelect();
        if (selected)
            text = selectText(query, rows, tooLarge);
        error = query.lastError();
        changed = ran && !selected ? std::max(0, query.numRowsAffected()) : 0;
        query.finish();
        return ran && !(selected && error.isValid());
    };
    bool done = false;
    Outcome outcome =
        guarded(prefix, command, clientFd, deadlineMs, m_sqlite && !reads, sql.left(200), statement, done);
    if (outcome.clientGone || !done)
        return outcome;
    if (selected) {
        QByteArray bytes;
        if (!tooLarge) {
            bytes = reply(m_cp, prefix, command, rc::kOk, rows, text);
            tooLarge = bytes.size() > m_config.maxReplyBytes;
        }
        if (tooLarge)
            return answers::replyTooLarge(m_cp, prefix, command, m_config.maxReplyBytes, sql.left(200));
        Outcome result;
        result.reply = std::move(bytes);
        return result;
    }
    Outcome result;
    result.reply = reply(m_cp, prefix, command, rc::kOk, changed, {});
    return result;
}

Outcome StatementRunner::runKeyed(const QByteArray& prefix, const QByteArray& command, const QByteArray& data,
                                  int clientFd, qint64 deadlineMs) {
    const bool posting = command == "POSTKY";
    const QString cmd = QString::fromLatin1(command);
    const QString sent = m_cp.decode(data);
    PostingRequest request;
    QString reason;
    const bool readable = posting ? PostingRequest::parsePosting(sent, request, reason)
                                  : PostingRequest::parseQuery(sent, request.key, reason);
    if (!readable)
        return failure(prefix, command, rc::kRefused, QStringLiteral("記帳要求不合格: ") + reason,
                       QStringLiteral("refused %1: %2 [%3]").arg(cmd, reason, sent.left(200)));
    PostingAnswer answer;
    const auto work = [&](QSqlError& error) {
        if (!m_keyed)
            m_keyed = std::make_unique<KeyedPosting>(m_db->handle(), m_db->dialect());
        m_authorizer.setOwnStatements(true);
        const bool ok =
            posting ? m_keyed->post(request, answer, error) : m_keyed->query(request.key, answer, error);
        m_authorizer.setOwnStatements(false);
        return ok;
    };
    bool done = false;
    Outcome outcome = guarded(prefix, command, clientFd, deadlineMs, m_sqlite, request.key, work, done);
    if (!done)
        return outcome;
    if (answer.otherPosting) {
        const QString refused =
            QStringLiteral("refused %1 %2: the key was used by another posting (card, type "
                           "or amount differ); nothing done")
                .arg(cmd, request.key);
        if (outcome.clientGone) {
            outcome.logLine = refused;
            return outcome;
        }
        return failure(prefix, command, rc::kOtherPosting,
                       QStringLiteral("交易鍵值已用於另一筆記帳 (卡號、類別或金額不同), 這筆要求沒有執行"),
                       refused);
    }
    const QString outcomeText(QLatin1Char(answer.outcome));
    QString line = cmd + QLatin1Char(' ') + request.key + QLatin1Char(' ');
    if (answer.replay)
        line += QStringLiteral("replay → ") + outcomeText;
    else if (!posting)
        line += QStringLiteral("voided by query");
    else if (answer.outcome == 'P')
        line += QStringLiteral("posted");
    else
        line += QStringLiteral("refused ") + outcomeText;
    if (posting && request.offline)
        line += QStringLiteral(" (offline posting)");
    if (outcome.clientGone) {
        // Committed all the same: a query by the key answers it.
        outcome.logLine = line + QStringLiteral("; the client went away before the answer");
        return outcome;
    }
    outcome.logLine = line;
    outcome.reply = reply(m_cp, prefix, command, rc::kOk, 1,
                          QStringLiteral("Outcome\tReplay;") + outcomeText + QLatin1Char('\t') +
                              QLatin1Char(answer.replay ? '1' : '0'));
    return outcome;
}

} // namespace memberd
