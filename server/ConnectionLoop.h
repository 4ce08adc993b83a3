#pragma once

#include "common/CodePage.h"
#include "server/AccessGuard.h"
#include "server/LogThrottle.h"
#include "server/Metrics.h"
#include "server/ServerOptions.h"
#include "server/StoreLogin.h"
#include "server/StorePasswords.h"
#include "server/TlsContext.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace memberd {

class PgPipeline;
class StatementIntake;
class StatementRunner;
struct Outcome;
struct Request;

// What the connection threads of one service share.
struct LoopShared {
    explicit LoopShared(ServerOptions o, AccessGuard::Limits limits)
        : options(std::move(o)), guard(limits), logThrottle(options.logRepeatWindowMs),
          login(options.password, options.allowSharedPassword,
                options.storePasswordsFile.isEmpty() ? nullptr : &stores) {}
    ServerOptions options;
    std::timed_mutex sqliteWriter;   // one SQLite writer of this process at a time
    AccessGuard guard;               // connections of all threads, those being handed over included
    LogThrottle logThrottle;         // lines about one client address
    std::shared_ptr<TlsContext> tls; // set when the listening port speaks TLS
    StorePasswords stores;           // loaded before the service starts, when a file is given
    StoreLogin login;
    Metrics metrics;
};

// One thread with its own event loop (epoll), its own share of the desks'
// connections and its own database connection: a request is read, run and
// answered on the same thread, with no hand-over between threads.
//
// Sockets are never waited on: a desk that sends half a request, or nothing,
// or does not read its replies, holds up nobody. On PostgreSQL the desks'
// statements go to the thread's PgPipeline, whose socket is watched by the
// same loop: the other connections are served while they run, and each
// answer is sent when it arrives. On SQLite (and for keyed postings) a
// statement holds up the other connections of its own thread while it runs;
// the other threads go on. Requests of the thread's connections are served
// in turn, one per round, one at a time per connection.
class ConnectionLoop {
public:
    // ended is called on the loop's thread once its last connection is gone
    // after shutdown().
    ConnectionLoop(LoopShared& shared, int index, std::function<void()> ended);
    ~ConnectionLoop();
    ConnectionLoop(const ConnectionLoop&) = delete;
    ConnectionLoop& operator=(const ConnectionLoop&) = delete;

    // Starts the thread and opens its database connection; false with the
    // reason when that fails.
    bool start(QString& error);
    // Hands over an accepted, connected socket already admitted by the
    // guard (address: the client's address, peer: address and port for the
    // log); callable from any thread. A proxied one comes from a trusted
    // balancer, admitted unnamed: its first bytes are a PROXY header naming
    // the client, who then stands in for the balancer in the guard and the log.
    // A tls one speaks TLS (after the PROXY header, if any) with the shared
    // context; its handshake is part of the time and bytes before the log-in.
    void adopt(int fd, QString peer, QString address, bool proxied, bool tls);
    // Tells every connection "TCPCLS", closes them and ends the thread once
    // they are gone (or after a short grace period). Callable from any thread.
    void shutdown();
    // Connections this thread serves or is about to take over.
    int load() const { return m_load.load(std::memory_order_relaxed); }

private:
    struct Session;

    void run();
    void wake();
    bool takeIncoming();
    void beginShutdown();
    void readFrom(Session* s);
    void received(Session* s, const char* bytes, qsizetype n);
    void transportFailed(Session* s);
    bool takeProxyHeader(Session* s);
    void note(Session* s, LogLevel level, const char* kind, const QString& text);
    void noteArrivals(Session* s, QByteArrayView bytes);
    qint64 takeArrival(Session* s);
    void forget(const QString& address, bool unnamed);
    void serve(Session* s);
    void handle(Session* s, const QByteArray& message);
    bool openPipeline(QString& error);
    void toPipeline(Session* s, const QByteArray& command, const QByteArray& data, qint64 deadline);
    void deliverPipelineAnswers();
    void answer(Session* s, const Outcome& outcome);
    void countReconnects();
    void logIn(Session* s, const QByteArray& command, const QByteArray& data);
    void wrongPassword(Session* s, const QByteArray& command, const QString& identity, const QString& why);
    bool outOfScope(Session* s, const Request& request);
    void tally(Session* s, const QByteArray& reply);
    void releaseHeld();
    void refuseBeforeLogin(Session* s, const QByteArray& command, const char* code, const QString& text,
                           const QString& why);
    bool loginTooLong(Session* s) const;
    void refuseTooLarge(Session* s, const QByteArray& prefix, const QByteArray& command);
    void send(Session* s, const QByteArray& bytes);
    void flush(Session* s);
    void closeSession(Session* s, const QString& why, bool logIt = true);
    void drop(Session* s);
    void touch(Session* s);
    void markReady(Session* s);
    void updateInterest(Session* s);
    void expireIdle();
    void expirePending();
    void expireStalled();
    int waitMs() const;

    LoopShared& m_shared;
    const ServerOptions& m_options;
    const int m_index;
    std::function<void()> m_ended;
    std::thread m_thread;
    int m_epoll = -1;
    int m_wakeFd = -1;
    std::atomic<int> m_load{0};

    // Handed over from other threads.
    std::mutex m_inMutex;
    struct Incoming {
        int fd;
        QString peer;
        QString address;
        bool proxied;
        bool tls;
    };
    std::vector<Incoming> m_incoming;
    bool m_stopRequested = false;
    bool m_abort = false;

    std::mutex m_startMutex;
    std::condition_variable m_started;
    int m_startState = 0; // 0 starting, 1 running, 2 failed
    QString m_startError;

    // Owned by the loop's thread.
    tolva::CodePage m_cp;
    std::unique_ptr<StatementRunner> m_runner;
    quint64 m_reconnectsCounted = 0;
    std::unique_ptr<PgPipeline> m_pipeline;    // PostgreSQL's statements (not keyed postings)
    std::unique_ptr<StatementIntake> m_intake; // for the pipeline
    char m_pipelineTag = 0;                    // its socket's events carry this address
    std::list<Session*> m_sessions;            // least recently active first
    std::list<Session*> m_pending;             // not logged in yet, oldest first
    std::multimap<qint64, Session*> m_held;    // refused, by the time their answer is due
    std::vector<Session*> m_ready;             // sessions with a request to serve in the next round
    std::vector<Session*> m_graveyard;
    bool m_shuttingDown = false;
    qint64 m_graceEnd = 0;
    qint64 m_lastStallSweep = 0;
};

} // namespace memberd
