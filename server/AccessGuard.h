#pragma once

#include <QHash>
#include <QString>
#include <mutex>

namespace memberd {

// Limits on connections and log-ins, kept per client address and shared by
// the listening thread and the connection threads. A connection that has not
// logged in yet is "pending": pending connections are bounded per address and
// in all, so that one client cannot take the places of the desks, and all
// connections together stay below the descriptor limit.
//
// After two wrong passwords an address waits before its next try, twice as
// long after each further failure; after too many failures it is locked out
// for a while. Tries made while waiting are refused without looking at the password.
class AccessGuard {
public:
    struct Limits {
        int maxConnections = 1000;
        int maxPending = 256;
        int maxPendingPerAddress = 32;
        int maxPerAddress = 1024;
        int failuresBeforeLockout = 10;
        qint64 firstDelayMs = 1000;
        qint64 maxDelayMs = 30000;
        qint64 lockoutMs = 300000;
    };
    enum class Admission { Admitted, Full, TooManyPending, AddressFull, LockedOut };
    enum class Attempt { Check, Wait, LockedOut };

    explicit AccessGuard(const Limits& limits) : m_limits(limits) {}

    // A new connection from address; when admitted it counts as pending
    // until loggedIn() or closed(). report tells whether this refusal is the
    // first of its kind for the address in a while (so the log is not flooded).
    Admission admit(const QString& address, qint64 nowMs, bool& report);
    // Whether a log-in from address may have its password checked now.
    Attempt attempt(const QString& address, qint64 nowMs);
    // A wrong password or a refused request before log-in; true when this
    // failure locked the address out.
    bool failed(const QString& address, qint64 nowMs);
    void loggedIn(const QString& address);
    void closed(const QString& address, bool wasLoggedIn);

    int open() const;
    const Limits& limits() const { return m_limits; }

private:
    struct Entry {
        int connections = 0;
        int pending = 0;
        int failures = 0;
        qint64 nextTryMs = 0;     // no password check before this
        qint64 lockedUntilMs = 0; // no connection before this
        qint64 lastReportMs = -1;
    };
    bool shouldReport(Entry& e, qint64 nowMs);
    void prune(qint64 nowMs);

    Limits m_limits;
    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
    int m_open = 0;
    int m_pending = 0;
};

} // namespace memberd
