#include "server/PgCanceller.h"

#include <libpq-fe.h>

namespace memberd {

PgCanceller::PgCanceller() : m_thread([this] { run(); }) {}

PgCanceller::~PgCanceller() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void PgCanceller::cancel(std::shared_ptr<pg_cancel> target) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(target));
    }
    m_changed.notify_all();
}

void PgCanceller::run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [&] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        std::shared_ptr<pg_cancel> target = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        char error[256];
        PQcancel(target.get(), error, sizeof error);
        target.reset();
        lock.lock();
    }
}

} // namespace memberd
