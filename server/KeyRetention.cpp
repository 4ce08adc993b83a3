#include "server/KeyRetention.h"

#include "common/Fault.h"
#include "db/Database.h"
#include "server/Log.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace memberd {

KeyRetention::KeyRetention(QString connectionString, int days, QObject* parent)
    : QObject(parent), m_connectionString(std::move(connectionString)), m_days(days) {
    m_daily.setInterval(24 * 60 * 60 * 1000);
    connect(&m_daily, &QTimer::timeout, this, &KeyRetention::purge);
}

void KeyRetention::start() {
    purge();
    m_daily.start();
}

int KeyRetention::purge() {
    try {
        tolva::Database db;
        db.open(m_connectionString);
        QSqlQuery q(db.handle());
        q.prepare(QStringLiteral("DELETE FROM PostKey WHERE FileDate < ?"));
        q.addBindValue(db.dialect().dateValue(QDateTime::currentDateTime().addDays(-m_days)));
        if (!q.exec()) {
            writeLog(LogLevel::Warning, QStringLiteral("could not remove old posting keys: ") +
                                            q.lastError().databaseText().section(QLatin1Char('\n'), 0, 0));
            return -1;
        }
        const int removed = std::max(0, q.numRowsAffected());
        writeLog(LogLevel::Notice,
                 QStringLiteral("removed %1 posting key(s) older than %2 days").arg(removed).arg(m_days));
        return removed;
    } catch (const tolva::Fault& fault) {
        writeLog(LogLevel::Warning, QStringLiteral("could not remove old posting keys: ") + fault.message());
        return -1;
    }
}

} // namespace memberd
