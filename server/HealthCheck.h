#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace memberd {

// Whether the member database answers: a thread of its own runs "SELECT 1"
// on a connection of its own about once a second (PostgreSQL: with a
// statement time limit of 2 s; a lost connection is opened again at the next
// round). Readers take the last answer and never wait for the database; an
// answer older than a few seconds (the check itself hangs) counts as down.
class HealthCheck {
public:
    explicit HealthCheck(QString connectionString) : m_connectionString(std::move(connectionString)) {}
    ~HealthCheck();
    HealthCheck(const HealthCheck&) = delete;
    HealthCheck& operator=(const HealthCheck&) = delete;

    void start();
    void stop();
    bool healthy() const;

private:
    void run();

    QString m_connectionString;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_up{false};
    std::atomic<qint64> m_checkedAtMs{0};
};

} // namespace memberd
