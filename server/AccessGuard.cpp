#include "server/AccessGuard.h"

#include <algorithm>

namespace memberd {

namespace {
// A refusal of the same kind from the same address is logged once in this time.
constexpr qint64 kReportEveryMs = 10000;
// Addresses remembered before forgotten ones are swept out.
constexpr qsizetype kSweepAbove = 10000;
// Failed log-ins of an address before it has to wait between tries.
constexpr int kFreeFailures = 2;
} // namespace

bool AccessGuard::shouldReport(Entry& e, qint64 nowMs) {
    if (e.lastReportMs >= 0 && nowMs - e.lastReportMs < kReportEveryMs)
        return false;
    e.lastReportMs = nowMs;
    return true;
}

void AccessGuard::prune(qint64 nowMs) {
    if (m_entries.size() <= kSweepAbove)
        return;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const Entry& e = it.value();
        const bool quiet = e.connections == 0 && e.lockedUntilMs <= nowMs &&
                           (e.failures == 0 || nowMs - e.nextTryMs > m_limits.lockoutMs);
        it = quiet ? m_entries.erase(it) : std::next(it);
    }
}

AccessGuard::Admission AccessGuard::admit(const QString& address, qint64 nowMs, bool& report) {
    std::lock_guard lock(m_mutex);
    prune(nowMs);
    Entry& e = m_entries[address];
    report = false;
    Admission verdict = Admission::Admitted;
    if (e.lockedUntilMs > nowMs)
        verdict = Admission::LockedOut;
    else if (m_open >= m_limits.maxConnections)
        verdict = Admission::Full;
    else if (e.connections >= m_limits.maxPerAddress)
        verdict = Admission::AddressFull;
    else if (e.pending >= m_limits.maxPendingPerAddress || m_pending >= m_limits.maxPending)
        verdict = Admission::TooManyPending;
    if (verdict != Admission::Admitted) {
        // A locked-out address was reported when it was locked.
        report = verdict != Admission::LockedOut && shouldReport(e, nowMs);
        if (e.connections == 0 && e.failures == 0 && e.lockedUntilMs <= nowMs)
            m_entries.remove(address);
        return verdict;
    }
    if (e.lockedUntilMs != 0) {
        // The lock-out has run out: a fresh start.
        e.lockedUntilMs = 0;
        e.failures = 0;
    }
    ++e.connections;
    ++e.pending;
    ++m_open;
    ++m_pending;
    return verdict;
}

AccessGuard::Attempt AccessGuard::attempt(const QString& address, qint64 nowMs) {
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(address);
    if (it == m_entries.end())
        return Attempt::Check;
    if (it->lockedUntilMs > nowMs)
        return Attempt::LockedOut;
    return it->nextTryMs > nowMs ? Attempt::Wait : Attempt::Check;
}

bool AccessGuard::failed(const QString& address, qint64 nowMs) {
    std::lock_guard lock(m_mutex);
    Entry& e = m_entries[address];
    if (e.lockedUntilMs > nowMs)
        return false;
    ++e.failures;
    if (e.failures >= m_limits.failuresBeforeLockout) {
        e.lockedUntilMs = nowMs + m_limits.lockoutMs;
        e.nextTryMs = e.lockedUntilMs;
        return true;
    }
    // A mistyped password or two cost nothing; then each failure doubles the wait.
    if (e.failures > kFreeFailures) {
        const int doublings = std::min(e.failures - kFreeFailures - 1, 20);
        e.nextTryMs = nowMs + std::min(m_limits.firstDelayMs << doublings, m_limits.maxDelayMs);
    }
    return false;
}

void AccessGuard::loggedIn(const QString& address) {
    std::lock_guard lock(m_mutex);
    Entry& e = m_entries[address];
    if (e.pending > 0) {
        --e.pending;
        --m_pending;
    }
    e.failures = 0;
    e.nextTryMs = 0;
}

void AccessGuard::closed(const QString& address, bool wasLoggedIn) {
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(address);
    if (it == m_entries.end())
        return;
    Entry& e = it.value();
    if (!wasLoggedIn && e.pending > 0) {
        --e.pending;
        --m_pending;
    }
    if (e.connections > 0) {
        --e.connections;
        --m_open;
    }
    if (e.connections == 0 && e.failures == 0 && e.lockedUntilMs == 0)
        m_entries.erase(it);
}

int AccessGuard::open() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

} // namespace memberd
