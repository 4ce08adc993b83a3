#pragma once

#include "common/CodePage.h"
#include "server/Answers.h"
#include "server/PgCanceller.h"
#include "server/PgStatementCache.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

struct pg_conn;
struct pg_result;
struct pg_cancel;

namespace memberd {

// A desk's statement for the pipeline, checked and ready to run.
struct PgRequest {
    void* owner = nullptr; // who is answered (a connection of the loop)
    QByteArray prefix;
    QByteArray command;       // "SELECT" or "SERVER"
    QString what;             // the statement for the log (its first 200 characters)
    QByteArray sql;           // UTF-8, literals in place
    QByteArray prepared;      // UTF-8 with "$n" for the literals moved out; empty: never prepared
    QList<QByteArray> values; // the literals moved out, UTF-8
    bool runsAlone = true;    // may write or lock: runs with nothing else in flight
    // May hold several statements (only when any statement may run): runs
    // alone, outside pipeline mode, through the simple query protocol, and is
    // answered by its first result, as Qt's driver does.
    bool severalStatements = false;
    qint64 deadline = 0; // steady-clock ms by which it is answered
};

struct PgAnswer {
    void* owner;
    Outcome outcome;
};

// The desks' statements of one connection thread on one PostgreSQL
// connection of its own, through libpq in pipeline mode: the socket is
// non-blocking and watched by the thread's event loop, several statements
// are in flight at once, and no call here ever waits for the server (only
// opening the connection does, as it always has).
//
// Statements that cannot write (a plain SELECT, as the checker reads it) go
// out behind each other, those of one round of the loop as one group ended
// by one sync (one implicit transaction: under read committed each read
// still sees what was committed when it started). One that may write waits
// until nothing else is in flight and runs alone, in a group and transaction
// of its own, so a cancel meant for it hits nothing else, and nothing goes
// out behind it until it is answered. A cancel is only ever sent for the
// statement at the head of the pipeline. A request is never answered as
// failed while it could still take effect: a write whose time is up is
// cancelled and answered by what the server then says; a read whose time is
// up, or whose client left, is answered (or dropped) at once and its result
// thrown away when it arrives. When the connection is lost, everything in
// flight is answered as lost and never run again; requests not sent yet run
// on a new connection.
class PgPipeline {
public:
    struct Config {
        QByteArray connInfo; // libpq's keyword form
        QString codePage;
        int statementTimeoutMs = 10000;
        qint64 maxReplyBytes = 4 * 1024 * 1024;
        int preparedStatements = 256;
    };

    // epollFd and tag: the event loop the connection's socket is registered
    // in, and the data its events carry.
    PgPipeline(Config config, int epollFd, void* tag);
    ~PgPipeline();
    PgPipeline(const PgPipeline&) = delete;
    PgPipeline& operator=(const PgPipeline&) = delete;

    // Opens the connection (waits for it); false with the reason.
    bool open(QString& error);
    // Queues the request; flushSent() sends what may go and writes it to the
    // socket, once for all the requests of one round of the event loop.
    void submit(PgRequest request);
    void flushSent();
    // The socket's events: epoll's event bits.
    void onEvents(uint32_t events);
    // Answers (or cancels) what is past its deadline.
    void expire(qint64 nowMs);
    // The owner's client left: its request is dropped, cancelled when it runs
    // at the head. True when it was in flight (its command in command).
    bool abandon(void* owner, QByteArray& command);
    // The earliest deadline of a request still to be answered; 0: none.
    qint64 nextDeadline() const;
    std::vector<PgAnswer> takeAnswers();
    // Log lines about the connection itself (lost while idle, ...).
    QStringList takeNotes();
    // Connections opened again after the first one.
    quint64 reconnects() const { return m_reconnects; }

private:
    struct Entry;

    void close();
    void pump();
    bool send(Entry& e);
    void flush();
    void readResults();
    void finishHead();
    void record(Entry& e, pg_result* result);
    void finish(std::unique_ptr<Entry> e);
    void answer(Entry& e, Outcome outcome);
    Outcome outcomeOf(Entry& e);
    void lost(const QString& message);
    void cancelHead();
    void watch(uint32_t events);
    void retry(std::unique_ptr<Entry> e);

    Config m_config;
    tolva::CodePage m_cp;
    int m_epoll;
    void* m_tag;
    pg_conn* m_conn = nullptr;
    int m_fd = -1;
    uint32_t m_watched = 0;
    bool m_unflushed = false;   // requests sent to libpq, not yet written to the socket
    bool m_simple = false;      // out of pipeline mode for a text of several statements
    bool m_afterResult = false; // libpq's last answer was a result: a NULL now ends its command
    bool m_afterSync = false;   // libpq's last answer was a sync
    std::shared_ptr<pg_cancel> m_cancel;
    PgCanceller m_canceller;
    PgStatementCache m_statements;
    std::deque<std::unique_ptr<Entry>> m_queued;   // not sent yet, oldest first
    std::deque<std::unique_ptr<Entry>> m_inFlight; // sent, in the server's order
    std::vector<PgAnswer> m_answers;
    QStringList m_notes;
    quint64 m_reconnects = 0;
};

} // namespace memberd
