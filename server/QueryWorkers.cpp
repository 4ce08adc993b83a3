#include "QueryWorkers.h"

#include "CodePage.h"
#include "Database.h"
#include "Fault.h"
#include "Protocol.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <optional>

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

QueryWorkers::QueryWorkers(Config config, std::function<void(JobResult)> deliver)
    : m_config(std::move(config)), m_deliver(std::move(deliver)) {}

QueryWorkers::~QueryWorkers() {
    stop();
}

bool QueryWorkers::start(QString& error) {
    const int threads = std::max(1, m_config.threads);
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this, i] { run(i); });
    std::unique_lock lock(m_startMutex);
    m_started.wait(lock, [&] { return m_ready == threads || !m_startError.isEmpty(); });
    if (!m_startError.isEmpty()) {
        error = m_startError;
        lock.unlock();
        stop();
        return false;
    }
    return true;
}

void QueryWorkers::submit(Job job) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void QueryWorkers::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        if (t.joinable())
            t.join();
    m_threads.clear();
}

void QueryWorkers::run(int index) {
    const tolva::CodePage cp(m_config.codePage);
    std::optional<tolva::Database> db;
    db.emplace();
    try {
        db->open(m_config.connectionString);
    } catch (const tolva::Fault& fault) {
        std::lock_guard lock(m_startMutex);
        m_startError = QStringLiteral("worker %1: %2").arg(index).arg(fault.message());
        m_started.notify_all();
        return;
    }
    const bool sqlite = db->providerName() == QLatin1String("SQLite");
    {
        std::lock_guard lock(m_startMutex);
        ++m_ready;
        m_started.notify_all();
    }

    QSqlQuery query(db->handle());
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                break;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }

        JobResult result;
        result.session = job.session;
        const QString sql = cp.decode(job.data);
        bool reads = startsWithSelect(sql);
        if (!m_config.allowAnySql) {
            const StatementChecker::Verdict verdict = m_checker.check(sql);
            if (!verdict.allowed) {
                const QString text = cleanValue(QStringLiteral("不接受的要求: ") + verdict.reason);
                result.reply = reply(cp, job.prefix, job.command, rc::kRefused, 0, text);
                result.logLine = QStringLiteral("refused %1: %2 [%3]")
                                     .arg(QString::fromLatin1(job.command), verdict.reason, sql.left(200));
                m_deliver(std::move(result));
                continue;
            }
            reads = verdict.kind == StatementChecker::Kind::Select;
        }

        std::unique_lock<std::mutex> writer(m_sqliteWriter, std::defer_lock);
        if (sqlite && !reads)
            writer.lock();
        // The replies are small: PostgreSQL hands the whole result over in one
        // piece, which is cheaper than its row-by-row mode.
        query.setForwardOnly(sqlite);
        if (!query.exec(sql)) {
            const QString message = cleanValue(databaseMessage(query.lastError()));
            result.reply = reply(cp, job.prefix, job.command, rc::kDatabase, 0, message);
            result.logLine = QStringLiteral("error %1: %2 [%3]")
                                 .arg(QString::fromLatin1(job.command), message, sql.left(200));
        } else if (job.command == "SELECT" && query.isSelect()) {
            const QSqlRecord record = query.record();
            const int cols = record.count();
            QString data;
            qint64 rows = 0;
            while (query.next()) {
                if (rows == 0) {
                    for (int c = 0; c < cols; ++c) {
                        if (c)
                            data += QLatin1Char('\t');
                        data += cleanValue(record.fieldName(c));
                    }
                }
                data += QLatin1Char(';');
                for (int c = 0; c < cols; ++c) {
                    if (c)
                        data += QLatin1Char('\t');
                    data += cleanValue(valueText(query.value(c)));
                }
                ++rows;
            }
            result.reply = reply(cp, job.prefix, job.command, rc::kOk, rows, data);
        } else {
            result.reply =
                reply(cp, job.prefix, job.command, rc::kOk, std::max(0, query.numRowsAffected()), {});
        }
        query.finish();
        if (writer.owns_lock())
            writer.unlock();
        m_deliver(std::move(result));
    }
    query = QSqlQuery();
    db.reset();
}

} // namespace memberd
