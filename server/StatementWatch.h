#pragma once

#include <QtGlobal>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace memberd {

// Watches one running statement from a thread of its own: when the client
// that asked for it closes its connection, or when the statement's time is
// up, the cancel function is called (it must be safe to call from another
// thread, as sqlite3_interrupt and PQcancel are). The statement then fails and
// its work is rolled back by the database.
//
// begin() and end() cost no system call: the watch looks ten times a second,
// so only a statement that runs longer than that is ever looked at.
class StatementWatch {
public:
    enum class Ended { Normally, ClientGone, TimedOut };

    StatementWatch();
    ~StatementWatch();
    StatementWatch(const StatementWatch&) = delete;
    StatementWatch& operator=(const StatementWatch&) = delete;

    // Starts watching the client's socket until deadlineMs (steady clock).
    void begin(int clientFd, qint64 deadlineMs, std::function<void()> cancel);
    // Stops watching; after it returns, cancel is no longer called. Tells
    // whether the statement was cancelled, and why.
    Ended end();

    static qint64 nowMs();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    bool m_watching = false;
    int m_fd = -1;
    qint64 m_deadline = 0;
    qint64 m_started = 0;
    std::function<void()> m_cancel;
    Ended m_ended = Ended::Normally;
    std::thread m_thread; // last: it starts once the rest is built
};

} // namespace memberd
