#pragma once

#include <QString>

namespace tolva {

class SettingsStore;
class SingleInstance;

// A start of the desk that found another copy of this user's desk running.
// Without a request in the mailbox it just ends, as before. With one, the
// running desk takes it: this start takes the request from the mailbox,
// passes it over the single-copy channel and waits until the running desk is
// done with it; the answer is then in the mailbox as after a start of its
// own. While the running copy is not yet listening (it is still starting) or
// is ending, the start tries again; when the lock comes free it runs the desk
// itself. It gives up after a while, and when the running copy ends without
// answering; the request is consumed in every case, so no later start opens
// on a request the station already took as failed.
class SecondStart {
public:
    enum class Result {
        RunDesk, // the lock is ours now: start the desk (the request is in the mailbox)
        Ended,   // done; the mailbox holds the answer (or "Busy", or none: cancelled)
        Failed,  // no answer; failure() says why
    };

    SecondStart(SingleInstance& instance, SettingsStore& store) : m_instance(instance), m_store(store) {}
    // How long the start keeps trying to reach a running copy; 30 s.
    void setPatience(int milliseconds) { m_patienceMs = milliseconds; }
    Result run();
    QString failure() const { return m_failure; }

private:
    SingleInstance& m_instance;
    SettingsStore& m_store;
    int m_patienceMs = 30000;
    QString m_failure;
};

} // namespace tolva
