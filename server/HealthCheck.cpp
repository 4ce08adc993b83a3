#include "server/HealthCheck.h"

#include "common/Fault.h"
#include "db/Database.h"
#include "server/StatementWatch.h"

#include <QSqlQuery>
#include <chrono>

namespace memberd {

namespace {
constexpr qint64 kEveryMs = 1000;
// An answer older than this tells nothing any more.
constexpr qint64 kStaleMs = 5000;
} // namespace

HealthCheck::~HealthCheck() {
    stop();
}

void HealthCheck::start() {
    m_thread = std::thread([this] { run(); });
}

void HealthCheck::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool HealthCheck::healthy() const {
    return m_up.load() && StatementWatch::nowMs() - m_checkedAtMs.load() <= kStaleMs;
}

void HealthCheck::run() {
    // The connection belongs to this thread: made, used and closed here.
    tolva::Database db;
    while (true) {
        bool up = false;
        try {
            if (!db.isOpen()) {
                db.open(m_connectionString);
                if (db.dialect().product() == tolva::Dialect::Product::PostgreSQL)
                    db.execute(QStringLiteral("SET statement_timeout = '2s'"));
            }
            QSqlQuery q = db.query(QStringLiteral("SELECT 1"));
            up = q.next() && q.value(0).toInt() == 1;
        } catch (const tolva::Fault&) {
            up = false;
        }
        if (!up)
            db.close();
        m_up.store(up);
        m_checkedAtMs.store(StatementWatch::nowMs());
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, std::chrono::milliseconds(kEveryMs), [this] { return m_stop; }))
            break;
    }
}

} // namespace memberd
