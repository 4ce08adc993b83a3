#include "server/ConnectionLoop.h"

#include "common/Fault.h"
#include "db/ConnectionString.h"
#include "db/Dialect.h"
#include "db/PostgresTarget.h"
#include "server/LiteralParameters.h"
#include "server/Log.h"
#include "server/PgPipeline.h"
#include "server/Protocol.h"
#include "server/ProxyHeader.h"
#include "server/StatementIntake.h"
#include "server/StatementRunner.h"
#include "server/StoreScope.h"
#include "server/Transport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace memberd {

namespace {

qint64 nowMs() {
    return StatementWatch::nowMs();
}

void log(const QString& line) {
    writeLog(LogLevel::Info, line);
}

// A desk that does not take its closing notice does not hold up the end.
constexpr qint64 kShutdownGraceMs = 3000;
// How often connections are looked at for replies nobody takes.
constexpr qint64 kStallSweepMs = 1000;

} // namespace

struct ConnectionLoop::Session {
    int fd = -1;
    // Reads and writes of the socket. Its certificateStoreId() is the CN of
    // the client certificate the TLS handshake verified: the store the
    // connection speaks for, for the log-in to check.
    std::unique_ptr<Transport> transport;
    QString peer;    // address and port, for the log
    QString address; // the client's address, for the guard
    QByteArray in;
    qsizetype searched = 0; // in[0, searched) holds no terminator
    QByteArray out;
    qsizetype sent = 0; // bytes of out already written
    QByteArray prefix = QByteArrayLiteral("ZELQ");
    bool unnamed = false; // from a balancer, its PROXY header not read yet
    QString store;        // the store the connection logged in as; empty: none
    bool loggedIn = false;
    bool offline = false; // the request being served is an offline posting
    bool held = false;    // refused after a wrong password, its answer held back (see AccessGuard)
    bool waiting = false; // held and its answer not sent yet: listed in m_held
    bool closing = false;
    bool dead = false;
    bool ready = false; // listed in m_ready
    bool busy = false;  // its request is in the pipeline: nothing more of it is served until answered
    uint32_t interest = 0;
    qint64 lastActive = 0;
    qint64 connectedAt = 0;
    qint64 requestAt = 0; // when the request being served arrived
    // Requests in the buffer by the read that completed them: how many, and when.
    struct Arrival {
        qsizetype requests;
        qint64 at;
    };
    std::deque<Arrival> arrivals;
    qint64 lastProgress = 0; // when the client last took some of its pending replies
    std::list<Session*>::iterator pos;
    std::list<Session*>::iterator pendingPos; // while not logged in nor held
    QByteArray heldAnswer;
    std::multimap<qint64, Session*>::iterator heldPos; // while waiting

    bool writing() const { return sent < out.size(); }
    AccessGuard::Phase phase() const {
        return loggedIn ? AccessGuard::Phase::LoggedIn
                        : (held ? AccessGuard::Phase::Held : AccessGuard::Phase::Pending);
    }
};

ConnectionLoop::ConnectionLoop(LoopShared& shared, int index, std::function<void()> ended)
    : m_shared(shared), m_options(shared.options), m_index(index), m_ended(std::move(ended)),
      m_cp(shared.options.codePage) {}

ConnectionLoop::~ConnectionLoop() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_inMutex);
            m_stopRequested = true;
            m_abort = true;
        }
        wake();
        m_thread.join();
    }
    for (const Incoming& in : m_incoming) {
        ::close(in.fd);
        forget(in.address, in.proxied);
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    if (m_epoll >= 0)
        ::close(m_epoll);
}

bool ConnectionLoop::start(QString& error) {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = nullptr;
    if (m_epoll < 0 || m_wakeFd < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &ev) != 0) {
        error = QStringLiteral("thread %1: cannot set up its event loop: %2")
                    .arg(m_index)
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_thread = std::thread([this] { run(); });
    std::unique_lock lock(m_startMutex);
    m_started.wait(lock, [&] { return m_startState != 0; });
    if (m_startState == 2) {
        error = m_startError;
        lock.unlock();
        m_thread.join();
        return false;
    }
    return true;
}

void ConnectionLoop::wake() {
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void ConnectionLoop::adopt(int fd, QString peer, QString address, bool proxied, bool tls) {
    m_load.fetch_add(1, std::memory_order_relaxed);
    {
        std::lock_guard lock(m_inMutex);
        m_incoming.push_back({fd, std::move(peer), std::move(address), proxied, tls});
    }
    wake();
}

// A line about the connection's client; repeated ones are counted, not written.
void ConnectionLoop::note(Session* s, LogLevel level, const char* kind, const QString& text) {
    m_shared.logThrottle.write(level, s->address, QString::fromLatin1(kind), s->peer + text, nowMs());
}

// A connection not yet named by its PROXY header counts only in all.
void ConnectionLoop::forget(const QString& address, bool unnamed) {
    if (unnamed)
        m_shared.guard.closedUnnamed();
    else
        m_shared.guard.closed(address, AccessGuard::Phase::Pending);
}

void ConnectionLoop::shutdown() {
    {
        std::lock_guard lock(m_inMutex);
        m_stopRequested = true;
    }
    wake();
}

void ConnectionLoop::run() {
    m_runner = std::make_unique<StatementRunner>(
        StatementRunner::Config{m_options.connectionString, m_options.codePage, m_options.allowAnySql,
                                m_options.statementTimeoutMs, m_options.maxReplyBytes},
        m_shared.sqliteWriter);
    QString error;
    try {
        // With the pipeline, keyed postings open the runner's connection when the first one comes.
        if (!openPipeline(error) && error.isEmpty())
            m_runner->open();
    } catch (const tolva::Fault& fault) {
        error = fault.message();
    }
    if (!error.isEmpty()) {
        m_runner.reset();
        m_pipeline.reset();
        std::lock_guard lock(m_startMutex);
        m_startError = QStringLiteral("thread %1: %2").arg(m_index).arg(error);
        m_startState = 2;
        m_started.notify_all();
        return;
    }
    {
        std::lock_guard lock(m_startMutex);
        m_startState = 1;
        m_started.notify_all();
    }

    epoll_event events[128];
    std::vector<Session*> serving;
    bool abort = false;
    while (!abort) {
        const int n = ::epoll_wait(m_epoll, events, 128, waitMs());
        if (n < 0 && errno != EINTR) {
            log(QStringLiteral("thread %1: epoll_wait: %2")
                    .arg(m_index)
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (events[i].data.ptr == &m_pipelineTag) {
                m_pipeline->onEvents(events[i].events);
                deliverPipelineAnswers();
                continue;
            }
            auto* s = static_cast<Session*>(events[i].data.ptr);
            if (!s) {
                quint64 count = 0;
                [[maybe_unused]] const ssize_t r = ::read(m_wakeFd, &count, sizeof count);
                abort = !takeIncoming();
                continue;
            }
            if (s->dead)
                continue;
            if (events[i].events & EPOLLOUT) {
                flush(s);
                // A handshake that had to write before it could read on.
                if (!s->dead && (s->transport->events() & EPOLLOUT))
                    readFrom(s);
            }
            if (!s->dead && (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
                readFrom(s);
        }
        if (abort)
            break;
        // Each connection with a complete request gets one turn per round.
        serving.swap(m_ready);
        for (Session* s : serving) {
            s->ready = false;
            serve(s);
        }
        serving.clear();
        if (m_pipeline) {
            m_pipeline->expire(nowMs());
            m_pipeline->flushSent();
            deliverPipelineAnswers();
        }
        expireIdle();
        expirePending();
        releaseHeld();
        expireStalled();
        for (Session* s : m_graveyard)
            delete s;
        m_graveyard.clear();
        if (m_shuttingDown && (m_sessions.empty() || nowMs() >= m_graceEnd))
            break;
    }

    while (!m_sessions.empty())
        drop(m_sessions.front());
    for (Session* s : m_graveyard)
        delete s;
    m_graveyard.clear();
    m_pipeline.reset();
    m_runner.reset();
    if (!abort && m_ended)
        m_ended();
}

bool ConnectionLoop::takeIncoming() {
    std::vector<Incoming> incoming;
    bool stop = false;
    {
        std::lock_guard lock(m_inMutex);
        incoming.swap(m_incoming);
        stop = m_stopRequested;
        if (m_abort) {
            m_incoming.swap(incoming); // the destructor closes them
            return false;
        }
    }
    for (Incoming& in : incoming) {
        if (m_shuttingDown) {
            ::close(in.fd);
            m_load.fetch_sub(1, std::memory_order_relaxed);
            forget(in.address, in.proxied);
            continue;
        }
        auto* s = new Session;
        s->fd = in.fd;
        s->transport =
            in.tls && m_shared.tls ? Transport::tls(in.fd, *m_shared.tls) : Transport::plain(in.fd);
        s->peer = std::move(in.peer);
        s->address = std::move(in.address);
        s->unnamed = in.proxied;
        s->lastActive = nowMs();
        s->connectedAt = s->lastActive;
        s->pos = m_sessions.insert(m_sessions.end(), s);
        s->pendingPos = m_pending.insert(m_pending.end(), s);
        s->interest = EPOLLIN;
        epoll_event ev{};
        ev.events = s->interest;
        ev.data.ptr = s;
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, s->fd, &ev) != 0) {
            log(s->peer + QStringLiteral(" dropped: ") + QString::fromLocal8Bit(std::strerror(errno)));
            s->interest = 0;
            drop(s);
        }
    }
    if (stop && !m_shuttingDown)
        beginShutdown();
    return true;
}

void ConnectionLoop::beginShutdown() {
    m_shuttingDown = true;
    m_graceEnd = nowMs() + kShutdownGraceMs;
    const std::vector<Session*> sessions(m_sessions.begin(), m_sessions.end());
    for (Session* s : sessions) {
        // A held refusal is not worth the wait.
        if (s->waiting)
            drop(s);
        if (s->closing || s->dead)
            continue;
        send(s, reply(m_cp, s->prefix, QByteArrayLiteral("TCPCLS"), rc::kOk, 0, {}));
        closeSession(s, QStringLiteral("service closing"));
    }
}

void ConnectionLoop::touch(Session* s) {
    // A dropped session is no longer listed: its place in the list is gone.
    if (s->dead)
        return;
    s->lastActive = nowMs();
    m_sessions.splice(m_sessions.end(), m_sessions, s->pos);
}

void ConnectionLoop::readFrom(Session* s) {
    if (s->unnamed && !takeProxyHeader(s))
        return;
    char buffer[16384];
    for (;;) {
        const Transport::Io io = s->transport->read(buffer, sizeof buffer);
        switch (io.state) {
        case Transport::State::Moved:
            received(s, buffer, static_cast<qsizetype>(io.bytes));
            // Bytes the transport holds already are no event of the socket's.
            if (s->dead || s->closing || !s->transport->buffered())
                return;
            continue;
        case Transport::State::Again:
            // A handshake step may want the socket writable.
            updateInterest(s);
            return;
        case Transport::State::Closed:
            if (!s->closing)
                note(s, LogLevel::Info, "disconnected", QStringLiteral(" disconnected"));
            drop(s);
            return;
        case Transport::State::Failed:
            transportFailed(s);
            return;
        }
    }
}

void ConnectionLoop::received(Session* s, const char* bytes, qsizetype n) {
    // What a connection on its way out still sends is read and dropped.
    if (s->closing)
        return;
    s->in.append(bytes, n);
    touch(s);
    noteArrivals(s, QByteArrayView(bytes, n));
    if (!s->loggedIn && s->in.startsWith("\x16\x03")) {
        note(s, LogLevel::Notice, "refused",
             QStringLiteral(" refused: a TLS handshake at the clear-text port"));
        closeSession(s, QStringLiteral("TLS at the clear-text port"), false);
        return;
    }
    // The log-in request is small: more before its end is not a desk.
    if (!s->loggedIn && loginTooLong(s)) {
        refuseBeforeLogin(s, s->in.mid(4, 6), rc::kTooLarge,
                          QStringLiteral("要求太長 (登入前上限 %1 位元組)").arg(m_options.maxLoginBytes),
                          QStringLiteral("more than %1 bytes before log-in").arg(m_options.maxLoginBytes));
        return;
    }
    markReady(s);
    updateInterest(s);
}

// A broken connection; during a TLS handshake the reason is worth a line
// (throttled per address like the others), and a desk that spoke clear text
// to the TLS port is told so in its own terms.
void ConnectionLoop::transportFailed(Session* s) {
    if (s->closing) {
        drop(s);
        return;
    }
    if (s->transport->established()) {
        note(s, LogLevel::Info, "disconnected", QStringLiteral(" disconnected: ") + s->transport->failure());
        drop(s);
        return;
    }
    m_shared.metrics.tlsHandshakeFailed();
    if (s->transport->clearTextClient()) {
        refuseBeforeLogin(s, QByteArrayLiteral("TCPCNT"), rc::kBadRequest,
                          QStringLiteral("此連線埠只接受 TLS 加密連線"),
                          QStringLiteral("clear text at the TLS port"));
        return;
    }
    note(s, LogLevel::Notice, "TLS handshake failed",
         QStringLiteral(" TLS handshake failed: ") + s->transport->failure());
    drop(s);
}

// The PROXY header of a balancer's connection: true once it is read and
// its client admitted; false while it is incomplete or when the connection
// was refused.
//
// Only the header's own bytes are taken from the socket (looked at first,
// then taken): what follows belongs to the client's transport, whose TLS
// handshake reads it itself.
bool ConnectionLoop::takeProxyHeader(Session* s) {
    char buffer[16 + ProxyHeader::kMaxV2Block];
    const ssize_t n = ::recv(s->fd, buffer, sizeof buffer, MSG_PEEK);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return false;
        if (!s->closing)
            note(s, LogLevel::Info, "disconnected", QStringLiteral(" disconnected"));
        drop(s);
        return false;
    }
    if (s->closing) {
        [[maybe_unused]] const ssize_t dropped = ::recv(s->fd, buffer, static_cast<size_t>(n), 0);
        return false;
    }
    touch(s);
    const ProxyHeader::Result header = ProxyHeader::parse(s->in + QByteArray(buffer, n));
    if (header.state == ProxyHeader::State::Invalid) {
        refuseBeforeLogin(s, QByteArrayLiteral("TCPCNT"), rc::kBadRequest, QStringLiteral("要求格式錯誤"),
                          QStringLiteral("no valid PROXY header from a trusted balancer: ") + header.error);
        return false;
    }
    // Every byte of an unfinished header is the header's.
    const qsizetype take = header.state == ProxyHeader::State::Done ? header.length - s->in.size() : n;
    if (::recv(s->fd, buffer, static_cast<size_t>(take), 0) != take) {
        drop(s);
        return false;
    }
    if (header.state == ProxyHeader::State::NeedMore) {
        s->in.append(buffer, take);
        return false;
    }
    s->in.clear();
    const QString balancer = s->peer;
    if (!header.local) {
        s->address = header.source.toString();
        s->peer = QStringLiteral("%1:%2").arg(s->address).arg(header.sourcePort);
    }
    bool report = false;
    const AccessGuard::Admission admission = m_shared.guard.named(s->address, nowMs(), report);
    if (admission != AccessGuard::Admission::Admitted) {
        if (report)
            writeLog(LogLevel::Warning, s->peer + QStringLiteral(" refused: ") +
                                            AccessGuard::describe(admission) +
                                            QStringLiteral(" (further refusals from this address not logged "
                                                           "for 10 s)"));
        closeSession(s, AccessGuard::describe(admission), false);
        return false;
    }
    s->unnamed = false;
    note(s, LogLevel::Info, "connected",
         QStringLiteral(" connected via %1 (%2 open)").arg(balancer).arg(m_shared.guard.open()));
    return true;
}

// A request's time runs from the read that completed it, also when it then
// waits behind earlier requests of its connection.
void ConnectionLoop::noteArrivals(Session* s, QByteArrayView bytes) {
    const qsizetype requests = bytes.count(kEnd);
    if (requests == 0)
        return;
    const qint64 now = nowMs();
    if (!s->arrivals.empty() && s->arrivals.back().at == now)
        s->arrivals.back().requests += requests;
    else
        s->arrivals.push_back({requests, now});
}

qint64 ConnectionLoop::takeArrival(Session* s) {
    if (s->arrivals.empty())
        return nowMs();
    Session::Arrival& first = s->arrivals.front();
    const qint64 at = first.at;
    if (--first.requests == 0)
        s->arrivals.pop_front();
    return at;
}

bool ConnectionLoop::loginTooLong(Session* s) const {
    const qsizetype end = s->in.indexOf(kEnd);
    return end < 0 ? s->in.size() > m_options.maxLoginBytes : end + 1 > m_options.maxLoginBytes;
}

void ConnectionLoop::markReady(Session* s) {
    if (s->ready || s->dead || s->closing || s->unnamed || s->writing() || s->busy)
        return;
    if (s->in.indexOf(kEnd, s->searched) < 0) {
        s->searched = s->in.size();
        if (s->in.size() < m_options.maxRequestBytes)
            return;
    }
    s->ready = true;
    m_ready.push_back(s);
}

void ConnectionLoop::serve(Session* s) {
    if (s->dead || s->closing || s->writing() || s->busy)
        return;
    const qsizetype end = s->in.indexOf(kEnd, s->searched);
    if (end < 0) {
        s->searched = s->in.size();
        // The terminator counts too: a request holds at most max bytes with it.
        if (s->in.size() >= m_options.maxRequestBytes)
            refuseTooLarge(s, s->prefix, s->in.mid(4, 6));
        return;
    }
    const QByteArray message = s->in.left(end);
    s->in.remove(0, end + 1);
    s->searched = 0;
    s->requestAt = takeArrival(s);
    if (message.size() + 1 > m_options.maxRequestBytes) {
        refuseTooLarge(s, message.left(4), message.mid(4, 6));
        return;
    }
    handle(s, message);
    if (!s->dead) {
        markReady(s);
        updateInterest(s);
    }
}

void ConnectionLoop::refuseTooLarge(Session* s, const QByteArray& prefix, const QByteArray& command) {
    log(s->peer + QStringLiteral(" refused: request larger than %1 bytes").arg(m_options.maxRequestBytes));
    send(s, reply(m_cp, prefix, command, rc::kTooLarge, 0,
                  QStringLiteral("要求太長 (上限 %1 位元組)").arg(m_options.maxRequestBytes)));
    closeSession(s, QStringLiteral("request too large"));
}

void ConnectionLoop::handle(Session* s, const QByteArray& message) {
    const Request request = Request::parse(message);
    if (!request.prefix.isEmpty())
        s->prefix = request.prefix.leftJustified(4, ' ', true);
    if (!request.wellFormed) {
        if (!s->loggedIn) {
            refuseBeforeLogin(s, request.command, rc::kBadRequest, QStringLiteral("要求格式錯誤"),
                              QStringLiteral("malformed request"));
            return;
        }
        log(s->peer + QStringLiteral(" refused: malformed request"));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0, QStringLiteral("要求格式錯誤")));
        closeSession(s, QStringLiteral("malformed request"));
        return;
    }
    if (request.command == "TCPCNT") {
        logIn(s, request.command, request.data);
        return;
    }
    if (!s->loggedIn) {
        refuseBeforeLogin(s, request.command, rc::kBadRequest, QStringLiteral("尚未登入"),
                          QStringLiteral("%1 before log-in").arg(QString::fromLatin1(request.command)));
        return;
    }
    const bool keyed =
        m_options.keyedPostings && (request.command == "POSTKY" || request.command == "POSTQY");
    if (request.command != "SELECT" && request.command != "SERVER" && !keyed) {
        log(s->peer +
            QStringLiteral(" refused: unknown command %1").arg(QString::fromLatin1(request.command)));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0,
                      QStringLiteral("不認識的指令: ") + cleanValue(QString::fromLatin1(request.command))));
        return;
    }
    if (outOfScope(s, request))
        return;
    const qint64 deadline = s->requestAt + m_options.statementTimeoutMs;
    s->offline = keyed && request.command == "POSTKY" && request.data.endsWith("\tO");
    if (m_pipeline && !keyed) {
        toPipeline(s, request.command, request.data, deadline);
        return;
    }
    answer(s, keyed ? m_runner->runKeyed(s->prefix, request.command, request.data, s->fd, deadline)
                    : m_runner->run(s->prefix, request.command, request.data, s->fd, deadline));
    countReconnects();
}

// The database connections opened again since the last count, for the metrics.
void ConnectionLoop::countReconnects() {
    const quint64 reconnects = m_runner->reconnects() + (m_pipeline ? m_pipeline->reconnects() : 0);
    if (reconnects != m_reconnectsCounted) {
        m_shared.metrics.databaseReconnected(reconnects - m_reconnectsCounted);
        m_reconnectsCounted = reconnects;
    }
}

void ConnectionLoop::answer(Session* s, const Outcome& outcome) {
    if (!outcome.logLine.isEmpty())
        log(s->peer + QLatin1Char(' ') + outcome.logLine);
    if (outcome.clientGone) {
        drop(s);
        return;
    }
    send(s, outcome.reply);
    // A statement's time counts as activity, not as silence. Sending may have
    // found the connection gone and dropped it: then it is no longer listed.
    if (!s->dead)
        touch(s);
}

// On PostgreSQL (unless Qt's driver is asked for) the thread's statements go
// through its own libpq connection in pipeline mode. False with no error:
// another database, or the other way.
bool ConnectionLoop::openPipeline(QString& error) {
    const tolva::ConnectionString cs(m_options.connectionString);
    const tolva::Dialect dialect = tolva::Dialect::forProvider(cs.provider());
    if (!m_options.pgPipeline || dialect.product() != tolva::Dialect::Product::PostgreSQL)
        return false;
    PgPipeline::Config config;
    config.connInfo = tolva::PostgresTarget::from(cs).connInfo();
    config.codePage = m_options.codePage;
    config.statementTimeoutMs = m_options.statementTimeoutMs;
    config.maxReplyBytes = m_options.maxReplyBytes;
    m_pipeline = std::make_unique<PgPipeline>(config, m_epoll, &m_pipelineTag);
    if (!m_pipeline->open(error)) {
        m_pipeline.reset();
        return false;
    }
    m_intake = std::make_unique<StatementIntake>(m_cp, m_options.allowAnySql);
    m_intake->setServerTime(ServerTime(dialect.serverDate()));
    return true;
}

// The statement is checked here; it runs in the pipeline and is answered
// when its result arrives (deliverPipelineAnswers).
void ConnectionLoop::toPipeline(Session* s, const QByteArray& command, const QByteArray& data,
                                qint64 deadline) {
    const StatementIntake::Statement taken = m_intake->take(s->prefix, command, data);
    if (taken.refusal) {
        answer(s, *taken.refusal);
        return;
    }
    PgRequest r;
    r.owner = s;
    r.prefix = s->prefix;
    r.command = command;
    r.what = taken.sql.left(200);
    r.sql = taken.sql.toUtf8();
    const LiteralParameters split = LiteralParameters::split(taken.sql, taken.tokens);
    if (split.preparable) {
        r.prepared = split.text.toUtf8();
        for (const QString& value : split.values)
            r.values.append(value.toUtf8());
    }
    r.severalStatements = !taken.oneStatement;
    r.runsAlone = taken.runsAlone || r.severalStatements;
    r.deadline = deadline;
    s->busy = true;
    touch(s);
    m_pipeline->submit(std::move(r));
}

void ConnectionLoop::deliverPipelineAnswers() {
    for (const QString& note : m_pipeline->takeNotes())
        writeLog(LogLevel::Warning, note);
    countReconnects();
    for (PgAnswer& a : m_pipeline->takeAnswers()) {
        auto* s = static_cast<Session*>(a.owner);
        s->busy = false;
        answer(s, a.outcome);
        if (!s->dead) {
            markReady(s);
            updateInterest(s);
        }
    }
}

void ConnectionLoop::logIn(Session* s, const QByteArray& command, const QByteArray& data) {
    const StoreLogin::Result result = m_shared.login.check(data, s->transport->certificateStoreId());
    if (!result.warning.isEmpty())
        writeLog(LogLevel::Warning, result.warning);
    // A connection logged in as one store cannot turn into another or into none.
    if (!result.accepted || (s->loggedIn && result.store != s->store)) {
        wrongPassword(s, command, result.identity,
                      result.accepted ? QStringLiteral("logs in again as another store") : result.why);
        return;
    }
    if (!s->loggedIn) {
        s->loggedIn = true;
        s->store = result.store;
        m_pending.erase(s->pendingPos);
        m_shared.guard.loggedIn(s->address, nowMs());
    }
    const bool byCertificate = !s->store.isEmpty() && s->store == s->transport->certificateStoreId();
    note(s, LogLevel::Info, "logged in",
         s->store.isEmpty() ? QStringLiteral(" logged in")
                            : QStringLiteral(" logged in as store ") + s->store +
                                  (byCertificate ? QStringLiteral(" (certificate)") : QString()));
    // The count tells the desk what the service supports beyond statements.
    const qint64 offers =
        (m_options.keyedPostings ? kKeyedPostings : 0) | (s->store.isEmpty() ? 0 : kStoreScoped);
    send(s, reply(m_cp, s->prefix, command, rc::kOk, offers, {}));
}

// A store's request that reaches beyond the store is answered and logged, and runs nothing.
bool ConnectionLoop::outOfScope(Session* s, const Request& request) {
    if (s->store.isEmpty())
        return false;
    const StoreScope::Verdict verdict =
        StoreScope(s->store).check(request.command, m_cp.decode(request.data));
    if (verdict.allowed)
        return false;
    m_shared.metrics.outOfScope();
    s->offline = request.command == "POSTKY" && request.data.endsWith("\tO");
    writeLog(LogLevel::Warning,
             s->peer + QStringLiteral(" refused %1: ").arg(QString::fromLatin1(request.command)) +
                 verdict.why + QStringLiteral("; nothing done"));
    send(s, reply(m_cp, s->prefix, request.command, rc::kOutOfScope, 0, cleanValue(verdict.text)));
    if (!s->dead)
        touch(s);
    return true;
}

void ConnectionLoop::wrongPassword(Session* s, const QByteArray& command, const QString& identity,
                                   const QString& why) {
    const AccessGuard::Failure failure = m_shared.guard.failed(s->address, identity, nowMs(), !s->loggedIn);
    m_shared.metrics.loginFailed();
    if (failure.lockedOut)
        m_shared.metrics.lockedOut();
    note(s, LogLevel::Notice, "refused: wrong password", QStringLiteral(" refused: ") + why);
    if (failure.lockedOut)
        writeLog(LogLevel::Warning,
                 QStringLiteral("%1%5 locked out for %2 s after %3 failed log-ins: its refusals are "
                                "answered after %4 s, right ones still let in")
                     .arg(s->address)
                     .arg(m_options.loginLockoutMs / 1000)
                     .arg(m_options.loginFailuresBeforeLockout)
                     .arg(m_shared.guard.limits().maxDelayMs / 1000.0)
                     .arg(identity.isEmpty() ? QString() : QStringLiteral(" (store %1)").arg(identity)));
    const QByteArray answer =
        reply(m_cp, s->prefix, command, rc::kLoginRefused, 0, QStringLiteral("密碼錯誤"));
    if (failure.holdMs <= 0) {
        send(s, answer);
        closeSession(s, QStringLiteral("wrong password"), false);
        return;
    }
    // The connection that guessed waits for its answer; nothing more of it is served.
    s->closing = true;
    s->in.clear();
    s->arrivals.clear();
    m_pending.erase(s->pendingPos);
    s->held = true;
    s->waiting = true;
    s->heldAnswer = answer;
    s->heldPos = m_held.emplace(nowMs() + failure.holdMs, s);
    updateInterest(s);
}

void ConnectionLoop::releaseHeld() {
    const qint64 now = nowMs();
    while (!m_held.empty() && m_held.begin()->first <= now) {
        Session* s = m_held.begin()->second;
        m_held.erase(m_held.begin());
        s->waiting = false;
        send(s, s->heldAnswer);
        if (!s->dead && !s->writing())
            drop(s);
    }
}

void ConnectionLoop::refuseBeforeLogin(Session* s, const QByteArray& command, const char* code,
                                       const QString& text, const QString& why) {
    note(s, LogLevel::Notice, "refused", QStringLiteral(" refused: ") + why);
    send(s, reply(m_cp, s->prefix, command, code, 0, text));
    closeSession(s, why, false);
}

// What an answer came to, for the metrics: its command and result code,
// its time since the request arrived, and what a keyed posting did.
void ConnectionLoop::tally(Session* s, const QByteArray& reply) {
    const QByteArray command = reply.mid(4, 6);
    if (command == "TCPCLS")
        return;
    const QByteArray code = reply.mid(10, 2);
    const qint64 nowUs = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
    m_shared.metrics.answered(command, code,
                              static_cast<quint64>(std::max<qint64>(0, nowUs - s->requestAt * 1000)));
    // A keyed answer's data: "Outcome<TAB>Replay;" + outcome + TAB + replay.
    const QByteArray keyed = code == "00" ? reply.mid(18 + 15, 3) : QByteArray();
    const char outcome = keyed.size() == 3 ? keyed.at(0) : '?';
    const bool replay = keyed.size() == 3 && keyed.at(2) == '1';
    if (command == "POSTKY" && outcome != '?') {
        if (replay)
            m_shared.metrics.keyedReplayed();
        else if (outcome == 'P')
            m_shared.metrics.keyedPosted();
    } else if (command == "POSTQY" && outcome != '?') {
        if (replay)
            m_shared.metrics.keyedReplayed();
        else
            m_shared.metrics.keyedVoided();
    }
    if (s->offline && command == "POSTKY") {
        m_shared.metrics.offlineReceived();
        if (outcome != 'P')
            m_shared.metrics.offlineRefused();
    }
    s->offline = false;
}

void ConnectionLoop::send(Session* s, const QByteArray& bytes) {
    if (s->dead)
        return;
    tally(s, bytes);
    if (s->writing()) {
        if (s->out.size() - s->sent + bytes.size() > m_options.maxOutputBytes) {
            writeLog(LogLevel::Notice,
                     s->peer +
                         QStringLiteral(" closed: does not read its replies (more than %1 bytes waiting)")
                             .arg(m_options.maxOutputBytes));
            drop(s);
            return;
        }
        s->out += bytes;
        return;
    }
    const Transport::Io io = s->transport->write(bytes.constData(), static_cast<size_t>(bytes.size()));
    const qsizetype n = io.state == Transport::State::Moved ? static_cast<qsizetype>(io.bytes) : 0;
    if (n == bytes.size())
        return;
    if (io.state == Transport::State::Closed || io.state == Transport::State::Failed) {
        if (!s->closing)
            note(s, LogLevel::Info, "disconnected", QStringLiteral(" disconnected"));
        drop(s);
        return;
    }
    // The desk does not read fast enough: the rest waits for the socket.
    s->out = bytes;
    s->sent = n;
    s->lastProgress = nowMs();
    updateInterest(s);
}

void ConnectionLoop::flush(Session* s) {
    while (s->writing()) {
        const Transport::Io io =
            s->transport->write(s->out.constData() + s->sent, static_cast<size_t>(s->out.size() - s->sent));
        if (io.state == Transport::State::Moved) {
            s->sent += static_cast<qsizetype>(io.bytes);
            s->lastProgress = nowMs();
            continue;
        }
        if (io.state == Transport::State::Again)
            return;
        if (!s->closing)
            note(s, LogLevel::Info, "disconnected", QStringLiteral(" disconnected"));
        drop(s);
        return;
    }
    s->out.clear();
    s->sent = 0;
    if (s->closing) {
        drop(s);
        return;
    }
    markReady(s);
    updateInterest(s);
}

void ConnectionLoop::updateInterest(Session* s) {
    if (s->dead)
        return;
    uint32_t want = 0;
    // A connection whose buffer is full waits (in its socket) until its
    // requests have been served; one on its way out is read to the end.
    // Before the log-in nothing more is read once the log-in request is complete.
    const bool loginWaiting = !s->loggedIn && !s->unnamed && s->in.indexOf(kEnd) >= 0;
    if (s->closing || (s->in.size() < m_options.maxRequestBytes && !loginWaiting))
        want |= EPOLLIN;
    if (s->writing())
        want |= EPOLLOUT;
    want |= s->transport->events();
    if (want == s->interest)
        return;
    epoll_event ev{};
    ev.events = want;
    ev.data.ptr = s;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, s->fd, &ev);
    s->interest = want;
}

void ConnectionLoop::closeSession(Session* s, const QString& why, bool logIt) {
    if (s->closing || s->dead)
        return;
    s->closing = true;
    if (logIt)
        note(s, LogLevel::Info, "closed", QStringLiteral(" closed: ") + why);
    s->in.clear();
    s->arrivals.clear();
    // Pending replies are written out before the connection closes.
    if (!s->writing())
        drop(s);
    else
        updateInterest(s);
}

void ConnectionLoop::drop(Session* s) {
    if (s->dead)
        return;
    // Its statement in the pipeline is dropped, or cancelled when it runs now.
    QByteArray command;
    if (s->busy && m_pipeline && m_pipeline->abandon(s, command))
        log(s->peer + QLatin1Char(' ') + answers::clientWentAway(command));
    s->busy = false;
    s->dead = true;
    s->closing = true;
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, s->fd, nullptr);
    s->transport->finish();
    ::close(s->fd);
    m_sessions.erase(s->pos);
    if (s->waiting)
        m_held.erase(s->heldPos);
    if (!s->loggedIn && !s->held)
        m_pending.erase(s->pendingPos);
    // A session freed at the round's end must not be served in the next one.
    if (s->ready) {
        std::erase(m_ready, s);
        s->ready = false;
    }
    // Events of this round may still name it: it is freed at the round's end.
    m_graveyard.push_back(s);
    m_load.fetch_sub(1, std::memory_order_relaxed);
    if (s->unnamed)
        m_shared.guard.closedUnnamed();
    else
        m_shared.guard.closed(s->address, s->phase());
}

void ConnectionLoop::expireIdle() {
    if (m_options.idleTimeoutMs <= 0)
        return;
    const qint64 now = nowMs();
    while (!m_sessions.empty() && now - m_sessions.front()->lastActive >= m_options.idleTimeoutMs) {
        Session* s = m_sessions.front();
        closeSession(s, QStringLiteral("idle timeout"));
        // One that does not even take its last replies goes all the same.
        drop(s);
    }
}

void ConnectionLoop::expirePending() {
    if (m_options.loginTimeoutMs <= 0)
        return;
    const qint64 now = nowMs();
    while (!m_pending.empty() && now - m_pending.front()->connectedAt >= m_options.loginTimeoutMs) {
        Session* s = m_pending.front();
        closeSession(s, QStringLiteral("no log-in within %1 s").arg(m_options.loginTimeoutMs / 1000.0));
        drop(s);
    }
}

void ConnectionLoop::expireStalled() {
    const qint64 now = nowMs();
    if (m_options.sendTimeoutMs <= 0 || now - m_lastStallSweep < kStallSweepMs)
        return;
    m_lastStallSweep = now;
    const std::vector<Session*> sessions(m_sessions.begin(), m_sessions.end());
    for (Session* s : sessions) {
        if (s->dead || !s->writing() || now - s->lastProgress < m_options.sendTimeoutMs)
            continue;
        writeLog(LogLevel::Notice, s->peer + QStringLiteral(" closed: does not read its replies (%1 bytes "
                                                            "waiting for %2 s)")
                                                 .arg(s->out.size() - s->sent)
                                                 .arg(m_options.sendTimeoutMs / 1000.0));
        drop(s);
    }
}

int ConnectionLoop::waitMs() const {
    if (!m_ready.empty())
        return 0;
    qint64 wait = -1;
    const qint64 now = nowMs();
    if (m_options.idleTimeoutMs > 0 && !m_sessions.empty())
        wait = std::max<qint64>(0, m_sessions.front()->lastActive + m_options.idleTimeoutMs - now);
    if (m_options.loginTimeoutMs > 0 && !m_pending.empty()) {
        const qint64 login =
            std::max<qint64>(0, m_pending.front()->connectedAt + m_options.loginTimeoutMs - now);
        wait = wait < 0 ? login : std::min(wait, login);
    }
    if (!m_held.empty()) {
        const qint64 release = std::max<qint64>(0, m_held.begin()->first - now);
        wait = wait < 0 ? release : std::min(wait, release);
    }
    if (m_shuttingDown) {
        const qint64 grace = std::max<qint64>(0, m_graceEnd - now);
        wait = wait < 0 ? grace : std::min(wait, grace);
    }
    if (m_pipeline && m_pipeline->nextDeadline() > 0) {
        const qint64 due = std::max<qint64>(0, m_pipeline->nextDeadline() - now);
        wait = wait < 0 ? due : std::min(wait, due);
    }
    // Connections that do not read their replies are looked for now and then.
    if (m_options.sendTimeoutMs > 0 && !m_sessions.empty())
        wait = wait < 0 ? kStallSweepMs : std::min(wait, kStallSweepMs);
    return static_cast<int>(std::min<qint64>(wait, 60000));
}

} // namespace memberd
