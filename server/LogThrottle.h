#pragma once

#include "server/Log.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <mutex>

namespace memberd {

// Lines about one client address, such as "connected" or "refused: wrong
// password", are written a few times per window and then counted: a client
// that connects thousands of times a second costs a line with its count per
// window, not thousands of lines. Shared by the listening thread and the
// connection threads.
class LogThrottle {
public:
    static constexpr int kBurst = 5; // lines of one kind about one address per window

    explicit LogThrottle(qint64 windowMs) : m_windowMs(windowMs) {}

    // Writes line, one of kind about address, unless kBurst of them were
    // written in this window; then it is only counted.
    void write(LogLevel level, const QString& address, const QString& kind, const QString& line,
               qint64 nowMs);
    // Writes the count of each window that is over and held lines back; call it now and then.
    void flush(qint64 nowMs);
    qint64 windowMs() const { return m_windowMs; }

private:
    struct Window {
        qint64 startMs = 0;
        int written = 0;
        int held = 0;
        LogLevel level = LogLevel::Info;
    };
    void sweep(qint64 nowMs, QList<QPair<LogLevel, QString>>& counts);
    QString countLine(const QString& key, const Window& w) const;

    const qint64 m_windowMs;
    std::mutex m_mutex;
    QHash<QString, Window> m_windows; // by address and kind
    qint64 m_lastSweepMs = 0;
};

} // namespace memberd
