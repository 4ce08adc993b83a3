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
// Several desks may share one address (a store behind one router), so what a
// wrong password costs falls on the connection that sent it, never on the
// address's other clients: a right password is always let in. Failures are
// counted per identity and address: the store a log-in names (empty for the
// shared password and for names that are no store), so one store's mistakes
// never delay another store's log-ins from the same address. Two wrong
// passwords cost nothing; after that the answer to each further one is held
// on its own connection, twice as long each time. After too many failures
// the identity at that address is locked out for a while: its wrong
// passwords are held as long as any. A connection whose answer is held is
// "held": it no longer takes a pending place, and held connections are
// bounded per address and in all.
//
// A quarter of the pending places in all is kept for addresses that have
// logged in before, so that clients at a few new addresses cannot fill them
// all and keep the stores' desks out.
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
    enum class Admission { Admitted, Full, TooManyPending, AddressFull };
    // Where a connection stands for the guard.
    enum class Phase { Pending, Held, LoggedIn };
    // What a wrong password costs: how long its answer is held on its
    // connection (0: answered at once), and whether it locked the address out.
    struct Failure {
        qint64 holdMs = 0;
        bool lockedOut = false;
    };

    explicit AccessGuard(const Limits& limits) : m_limits(limits) {}

    // A new connection from address; when admitted it counts as pending
    // until loggedIn(), failed() holds it, or closed(). report tells whether
    // this refusal is the first of its kind for the address in a while (so
    // the log is not flooded).
    Admission admit(const QString& address, qint64 nowMs, bool& report);
    // A connection from a trusted balancer, whose client's address comes
    // with its first bytes: only the limits in all apply until named().
    Admission admitUnnamed();
    // The client's address of an unnamed connection arrived: the address's
    // limits apply from now on. A refused one stays unnamed (closedUnnamed()).
    Admission named(const QString& address, qint64 nowMs, bool& report);
    void closedUnnamed();
    // The refusal for the log.
    static QString describe(Admission admission);
    // A wrong password for identity from a connection of address (pending:
    // not logged in yet). When the answer of a pending one is held it turns held.
    Failure failed(const QString& address, const QString& identity, qint64 nowMs, bool pending);
    // The same for a log-in that names no store.
    Failure failed(const QString& address, qint64 nowMs, bool pending) {
        return failed(address, QString(), nowMs, pending);
    }
    void loggedIn(const QString& address, qint64 nowMs);
    void closed(const QString& address, Phase phase);

    int open() const;
    const Limits& limits() const { return m_limits; }

private:
    struct Entry {
        int connections = 0;
        int pending = 0;
        int held = 0;
        qint64 lastReportMs = -1;
    };
    // The failed log-ins of one identity at one address.
    struct Tries {
        int failures = 0;
        qint64 lastFailureMs = 0;
        qint64 lockedUntilMs = 0; // wrong passwords are held longest before this
    };
    bool shouldReport(Entry& e, qint64 nowMs);
    Admission addressVerdict(const Entry& e) const;
    // Counts an admitted connection against its address's entry, or tells
    // whether to report a refusal (and forgets an entry that holds nothing).
    Admission settle(const QString& address, Entry& e, Admission verdict, qint64 nowMs, bool& report);
    // The pending places in all an address may use: all of them once it has logged in.
    int pendingPlacesFor(const QString& address) const;
    bool forgotten(const Tries& t, qint64 nowMs) const;
    void prune(qint64 nowMs);

    Limits m_limits;
    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
    QHash<QString, Tries> m_tries;  // by identity and address
    QHash<QString, qint64> m_known; // addresses that logged in, and when last
    int m_open = 0;
    int m_pending = 0;
    int m_held = 0;
};

} // namespace memberd
