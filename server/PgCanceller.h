#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

struct pg_cancel;

namespace memberd {

// Sends PostgreSQL cancel requests from a thread of its own: a cancel opens a
// connection of its own to the server and waits for it, which the connection
// thread's event loop must never do.
class PgCanceller {
public:
    PgCanceller();
    ~PgCanceller();
    PgCanceller(const PgCanceller&) = delete;
    PgCanceller& operator=(const PgCanceller&) = delete;

    // Asks the server to cancel what the connection behind target runs now.
    void cancel(std::shared_ptr<pg_cancel> target);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<pg_cancel>> m_queue;
    bool m_stop = false;
    std::thread m_thread; // last: it starts once the rest is built
};

} // namespace memberd
