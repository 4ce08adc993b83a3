#include "server/AccessGuard.h"

#include <algorithm>

namespace memberd {

namespace {
// A refusal of the same kind from the same address is logged once in this time.
constexpr qint64 kReportEveryMs = 10000;
// Addresses remembered before forgotten ones are swept out.
constexpr qsizetype kSweepAbove = 10000;
// Failed log-ins of an address before its wrong passwords are answered late.
constexpr int kFreeFailures = 2;
// Addresses that logged in are remembered this long, and at most this many.
constexpr qint64 kKnownForMs = 30LL * 24 * 3600 * 1000;
constexpr qsizetype kMaxKnown = 100000;
} // namespace

bool AccessGuard::shouldReport(Entry& e, qint64 nowMs) {
    if (e.lastReportMs >= 0 && nowMs - e.lastReportMs < kReportEveryMs)
        return false;
    e.lastReportMs = nowMs;
    return true;
}

// Failures that have run out hold nothing worth keeping.
bool AccessGuard::forgotten(const Tries& t, qint64 nowMs) const {
    return t.lockedUntilMs <= nowMs && (t.failures == 0 || nowMs - t.lastFailureMs > m_limits.lockoutMs);
}

void AccessGuard::prune(qint64 nowMs) {
    if (m_tries.size() <= kSweepAbove)
        return;
    for (auto it = m_tries.begin(); it != m_tries.end();)
        it = forgotten(it.value(), nowMs) ? m_tries.erase(it) : std::next(it);
}

AccessGuard::Admission AccessGuard::addressVerdict(const Entry& e) const {
    if (e.connections >= m_limits.maxPerAddress)
        return Admission::AddressFull;
    if (e.pending >= m_limits.maxPendingPerAddress)
        return Admission::TooManyPending;
    return Admission::Admitted;
}

int AccessGuard::pendingPlacesFor(const QString& address) const {
    return m_known.contains(address) ? m_limits.maxPending : m_limits.maxPending - m_limits.maxPending / 4;
}

AccessGuard::Admission AccessGuard::admit(const QString& address, qint64 nowMs, bool& report) {
    std::lock_guard lock(m_mutex);
    prune(nowMs);
    Entry& e = m_entries[address];
    report = false;
    Admission verdict = Admission::Admitted;
    if (m_open >= m_limits.maxConnections)
        verdict = Admission::Full;
    else if (m_pending >= pendingPlacesFor(address))
        verdict = Admission::TooManyPending;
    else
        verdict = addressVerdict(e);
    if (settle(address, e, verdict, nowMs, report) == Admission::Admitted) {
        ++m_open;
        ++m_pending;
    }
    return verdict;
}

AccessGuard::Admission AccessGuard::settle(const QString& address, Entry& e, Admission verdict, qint64 nowMs,
                                           bool& report) {
    if (verdict != Admission::Admitted) {
        report = shouldReport(e, nowMs);
        if (e.connections == 0)
            m_entries.remove(address);
        return verdict;
    }
    ++e.connections;
    ++e.pending;
    return verdict;
}

AccessGuard::Admission AccessGuard::admitUnnamed() {
    std::lock_guard lock(m_mutex);
    if (m_open >= m_limits.maxConnections)
        return Admission::Full;
    if (m_pending >= m_limits.maxPending)
        return Admission::TooManyPending;
    ++m_open;
    ++m_pending;
    return Admission::Admitted;
}

AccessGuard::Admission AccessGuard::named(const QString& address, qint64 nowMs, bool& report) {
    std::lock_guard lock(m_mutex);
    prune(nowMs);
    Entry& e = m_entries[address];
    report = false;
    // Admitted unnamed with the places of all; a new client keeps to its share.
    const Admission verdict =
        m_pending > pendingPlacesFor(address) ? Admission::TooManyPending : addressVerdict(e);
    return settle(address, e, verdict, nowMs, report);
}

void AccessGuard::closedUnnamed() {
    std::lock_guard lock(m_mutex);
    --m_open;
    --m_pending;
}

QString AccessGuard::describe(Admission admission) {
    switch (admission) {
    case Admission::Full:
        return QStringLiteral("the service holds as many connections as it may");
    case Admission::AddressFull:
        return QStringLiteral("too many connections from this address");
    case Admission::TooManyPending:
        return QStringLiteral("too many connections waiting to log in");
    case Admission::Admitted:
        break;
    }
    return QString();
}

AccessGuard::Failure AccessGuard::failed(const QString& address, const QString& identity, qint64 nowMs,
                                         bool pending) {
    std::lock_guard lock(m_mutex);
    prune(nowMs);
    Entry& e = m_entries[address];
    Tries& t = m_tries[identity + QLatin1Char('\n') + address];
    // Failures far apart (a till with an old password) do not add up.
    if (t.failures > 0 && nowMs - t.lastFailureMs > m_limits.lockoutMs)
        t.failures = 0;
    ++t.failures;
    t.lastFailureMs = nowMs;
    Failure f;
    if (t.lockedUntilMs > nowMs) {
        f.holdMs = m_limits.maxDelayMs;
    } else if (t.failures >= m_limits.failuresBeforeLockout) {
        t.lockedUntilMs = nowMs + m_limits.lockoutMs;
        f.holdMs = m_limits.maxDelayMs;
        f.lockedOut = true;
    } else if (t.failures > kFreeFailures) {
        // A mistyped password or two cost nothing; then each failure doubles the hold.
        const int doublings = std::min(t.failures - kFreeFailures - 1, 20);
        f.holdMs = std::min(m_limits.firstDelayMs << doublings, m_limits.maxDelayMs);
    }
    // Held answers are bounded like pending places: past that, the answer goes at once.
    if (f.holdMs <= 0 || !pending || e.pending <= 0 || e.held >= m_limits.maxPendingPerAddress ||
        m_held >= m_limits.maxPending) {
        f.holdMs = 0;
        return f;
    }
    --e.pending;
    --m_pending;
    ++e.held;
    ++m_held;
    return f;
}

void AccessGuard::loggedIn(const QString& address, qint64 nowMs) {
    std::lock_guard lock(m_mutex);
    if (m_known.size() >= kMaxKnown && !m_known.contains(address)) {
        m_known.removeIf([&](const auto& known) { return nowMs - known.value() > kKnownForMs; });
        if (m_known.size() >= kMaxKnown)
            m_known.clear();
    }
    m_known[address] = nowMs;
    Entry& e = m_entries[address];
    if (e.pending > 0) {
        --e.pending;
        --m_pending;
    }
}

void AccessGuard::closed(const QString& address, Phase phase) {
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(address);
    if (it == m_entries.end())
        return;
    Entry& e = it.value();
    if (phase == Phase::Pending && e.pending > 0) {
        --e.pending;
        --m_pending;
    }
    if (phase == Phase::Held && e.held > 0) {
        --e.held;
        --m_held;
    }
    if (e.connections > 0) {
        --e.connections;
        --m_open;
    }
    if (e.connections == 0)
        m_entries.erase(it);
}

int AccessGuard::open() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

} // namespace memberd
