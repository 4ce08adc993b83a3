#include "server/StatementWatch.h"

#include <chrono>
#include <poll.h>

namespace memberd {

namespace {
constexpr auto kTick = std::chrono::milliseconds(100);
} // namespace

qint64 StatementWatch::nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

StatementWatch::StatementWatch() : m_thread([this] { run(); }) {}

StatementWatch::~StatementWatch() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void StatementWatch::begin(int clientFd, qint64 deadlineMs, std::function<void()> cancel) {
    std::lock_guard lock(m_mutex);
    m_fd = clientFd;
    m_deadline = deadlineMs;
    m_started = nowMs();
    m_cancel = std::move(cancel);
    m_ended = Ended::Normally;
    m_watching = true;
}

StatementWatch::Ended StatementWatch::end() {
    std::lock_guard lock(m_mutex);
    m_watching = false;
    m_cancel = nullptr;
    return m_ended;
}

void StatementWatch::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        m_changed.wait_for(lock, kTick, [&] { return m_stop; });
        if (m_stop || !m_watching)
            continue;
        const qint64 now = nowMs();
        if (now - m_started < kTick.count())
            continue;
        Ended why = Ended::Normally;
        pollfd client{m_fd, POLLRDHUP, 0};
        if (::poll(&client, 1, 0) > 0 && (client.revents & (POLLRDHUP | POLLHUP | POLLERR)))
            why = Ended::ClientGone;
        else if (now >= m_deadline)
            why = Ended::TimedOut;
        if (why == Ended::Normally)
            continue;
        // Called under the lock: end() cannot return while a cancel is on its way.
        m_ended = why;
        m_watching = false;
        if (m_cancel)
            m_cancel();
    }
}

} // namespace memberd
