#include "server/LogThrottle.h"

namespace memberd {

namespace {
constexpr QChar kSeparator = QLatin1Char('\n');
}

QString LogThrottle::countLine(const QString& key, const Window& w) const {
    const qsizetype cut = key.indexOf(kSeparator);
    return QStringLiteral("%1: %2 more \"%3\" lines in %4 s not written")
        .arg(key.left(cut))
        .arg(w.held)
        .arg(key.mid(cut + 1))
        .arg(m_windowMs / 1000.0);
}

void LogThrottle::sweep(qint64 nowMs, QList<QPair<LogLevel, QString>>& counts) {
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (nowMs - it->startMs < m_windowMs) {
            ++it;
            continue;
        }
        if (it->held > 0)
            counts.append({it->level, countLine(it.key(), it.value())});
        it = m_windows.erase(it);
    }
    m_lastSweepMs = nowMs;
}

void LogThrottle::write(LogLevel level, const QString& address, const QString& kind, const QString& line,
                        qint64 nowMs) {
    QList<QPair<LogLevel, QString>> counts;
    bool writeIt = true;
    {
        std::lock_guard lock(m_mutex);
        if (nowMs - m_lastSweepMs >= m_windowMs)
            sweep(nowMs, counts);
        const QString key = address + kSeparator + kind;
        Window& w = m_windows[key];
        if (w.written > 0 && nowMs - w.startMs >= m_windowMs) {
            if (w.held > 0)
                counts.append({w.level, countLine(key, w)});
            w = Window();
        }
        if (w.written == 0) {
            w.startMs = nowMs;
            w.level = level;
        }
        if (w.written < kBurst) {
            ++w.written;
        } else {
            ++w.held;
            writeIt = false;
        }
    }
    for (const auto& [countLevel, text] : counts)
        writeLog(countLevel, text);
    if (writeIt)
        writeLog(level, line);
}

void LogThrottle::flush(qint64 nowMs) {
    QList<QPair<LogLevel, QString>> counts;
    {
        std::lock_guard lock(m_mutex);
        sweep(nowMs, counts);
    }
    for (const auto& [level, text] : counts)
        writeLog(level, text);
}

} // namespace memberd
