#include "StatementRunner.h"

#include "Protocol.h"

#include <QSqlError>
#include <QSqlRecord>

namespace memberd {

namespace {

QString databaseMessage(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("資料庫錯誤");
    return text;
}

bool startsWithSelect(const QString& sql) {
    return sql.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
}

} // namespace

StatementRunner::StatementRunner(Config config, std::mutex& sqliteWriter)
    : m_config(std::move(config)), m_sqliteWriter(sqliteWriter), m_cp(m_config.codePage) {}

StatementRunner::~StatementRunner() {
    m_query.reset();
    m_db.reset();
}

void StatementRunner::open() {
    m_query.reset();
    m_db.emplace();
    m_db->open(m_config.connectionString);
    m_sqlite = m_db->dialect().singleWriter;
    m_serverTime = ServerTime(m_db->dialect().serverDate);
    m_query.emplace(m_db->handle());
}

Outcome StatementRunner::run(const QByteArray& prefix, const QByteArray& command, const QByteArray& data) {
    Outcome result;
    const QString sent = m_cp.decode(data);
    bool reads = startsWithSelect(sent);
    if (!m_config.allowAnySql) {
        const StatementChecker::Verdict verdict = m_checker.check(sent);
        if (!verdict.allowed) {
            const QString text = cleanValue(QStringLiteral("不接受的要求: ") + verdict.reason);
            result.reply = reply(m_cp, prefix, command, rc::kRefused, 0, text);
            result.logLine = QStringLiteral("refused %1: %2 [%3]")
                                 .arg(QString::fromLatin1(command), verdict.reason, sent.left(200));
            return result;
        }
        reads = verdict.kind == StatementChecker::Kind::Select;
    }
    const QString sql = m_serverTime.rewrite(sent);

    QSqlQuery& query = *m_query;
    std::unique_lock<std::mutex> writer(m_sqliteWriter, std::defer_lock);
    if (m_sqlite && !reads)
        writer.lock();
    // The replies are small: PostgreSQL hands the whole result over in one
    // piece, which is cheaper than its row-by-row mode.
    query.setForwardOnly(m_sqlite);
    if (!query.exec(sql)) {
        const QString message = cleanValue(databaseMessage(query.lastError()));
        result.reply = reply(m_cp, prefix, command, rc::kDatabase, 0, message);
        result.logLine =
            QStringLiteral("error %1: %2 [%3]").arg(QString::fromLatin1(command), message, sql.left(200));
    } else if (command == "SELECT" && query.isSelect()) {
        const QSqlRecord record = query.record();
        const int cols = record.count();
        QString text;
        qint64 rows = 0;
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
        }
        result.reply = reply(m_cp, prefix, command, rc::kOk, rows, text);
    } else {
        result.reply = reply(m_cp, prefix, command, rc::kOk, std::max(0, query.numRowsAffected()), {});
    }
    query.finish();
    return result;
}

} // namespace memberd
