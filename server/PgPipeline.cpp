#include "server/PgPipeline.h"

#include "server/PgResultText.h"
#include "server/PostgresControl.h"
#include "server/Protocol.h"
#include "server/StatementWatch.h"

#include <cstdlib>
#include <libpq-fe.h>
#include <sys/epoll.h>

namespace memberd {

namespace {

// The SQLSTATE of a statement cancelled on request, and of an unknown
// prepared statement.
constexpr const char* kCancelled = "57014";
constexpr const char* kNoSuchStatement = "26000";

QString messageOf(const char* text) {
    return answers::firstLine(QString::fromUtf8(text));
}

} // namespace

struct PgPipeline::Entry {
    PgRequest request;
    bool internal = false;    // a DEALLOCATE of the pipeline's own
    bool answered = false;    // answered already, or its client left: its result is thrown away
    bool timedOut = false;    // its time ran out while it was in flight
    bool cancelSent = false;  // a cancel went out while it was at the head
    bool unprepared = false;  // runs as text even when it could be prepared
    bool sentPrepare = false; // its prepare went out just before it
    bool usedName = false;    // ran as a prepared statement
    bool prepareFailed = false;
    bool aborted = false; // skipped by the server after an error before it
    int retries = 0;
    int steps = 0;          // results of its commands seen so far
    int commands = 1;       // its prepare, if sent with it, and itself
    int commandsDone = 0;   // commands whose results have ended
    bool endsGroup = false; // the sync of its group follows it
    PGresult* result = nullptr;
    QString error;
    QByteArray sqlState;

    Entry() = default;
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    ~Entry() {
        if (result)
            PQclear(result);
    }
};

PgPipeline::PgPipeline(Config config, int epollFd, void* tag)
    : m_config(std::move(config)), m_cp(m_config.codePage), m_epoll(epollFd), m_tag(tag),
      m_statements(m_config.preparedStatements) {}

PgPipeline::~PgPipeline() {
    close();
}

bool PgPipeline::open(QString& error) {
    close();
    // The session as Qt's driver sets it up (UTF-8, ISO dates), with the
    // statement and lock timeouts the other path sets after connecting.
    const int seconds = std::max(1, (m_config.statementTimeoutMs + 999) / 1000);
    const QByteArray options = QByteArrayLiteral("client_encoding=UTF8 options='-c DateStyle=ISO "
                                                 "-c statement_timeout=") +
                               QByteArray::number(seconds) +
                               "s -c lock_timeout=" + QByteArray::number(seconds) + "s'";
    m_conn = PQconnectdb((m_config.connInfo + ' ' + options).constData());
    if (PQstatus(m_conn) != CONNECTION_OK || PQsetnonblocking(m_conn, 1) != 0 ||
        PQenterPipelineMode(m_conn) != 1) {
        error = QStringLiteral("無法開啟資料庫連線: ") + QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        PQfinish(m_conn);
        m_conn = nullptr;
        return false;
    }
    m_fd = PQsocket(m_conn);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = m_tag;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_fd, &ev);
    m_watched = EPOLLIN;
    m_cancel = std::shared_ptr<pg_cancel>(PQgetCancel(m_conn), [](pg_cancel* c) { PQfreeCancel(c); });
    return true;
}

void PgPipeline::close() {
    if (!m_conn)
        return;
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, m_fd, nullptr);
    PQfinish(m_conn);
    m_conn = nullptr;
    m_fd = -1;
    m_watched = 0;
    m_simple = false;
    m_afterResult = false;
    m_afterSync = false;
    m_cancel.reset();
    m_statements.clear();
}

void PgPipeline::watch(uint32_t events) {
    if (!m_conn || events == m_watched)
        return;
    epoll_event ev{};
    ev.events = events;
    ev.data.ptr = m_tag;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_fd, &ev);
    m_watched = events;
}

void PgPipeline::submit(PgRequest request) {
    auto e = std::make_unique<Entry>();
    e->request = std::move(request);
    m_queued.push_back(std::move(e));
}

void PgPipeline::pump() {
    if (m_queued.empty())
        return;
    if (!m_conn) {
        QString error;
        if (!open(error)) {
            for (const auto& e : m_queued)
                answer(*e, answers::unreachable(m_cp, e->request.prefix, e->request.command, error));
            m_queued.clear();
            return;
        }
        ++m_reconnects;
    }
    while (!m_queued.empty()) {
        // A statement that may write goes out alone, and nothing behind it.
        if (!m_inFlight.empty() &&
            (m_queued.front()->request.runsAlone || m_inFlight.back()->request.runsAlone))
            break;
        std::unique_ptr<Entry> e = std::move(m_queued.front());
        m_queued.pop_front();
        // Its time ran out while it waited (behind a write, or behind earlier
        // requests of its desk): it is not run at all.
        if (e->request.deadline <= StatementWatch::nowMs()) {
            answer(*e, answers::timedOutBeforeItRan(m_cp, e->request.prefix, e->request.command,
                                                    m_config.statementTimeoutMs));
            continue;
        }
        if (!send(*e)) {
            // Never sent: it runs on the next connection.
            m_queued.push_front(std::move(e));
            lost(messageOf(PQerrorMessage(m_conn)));
            return;
        }
        m_inFlight.push_back(std::move(e));
        m_unflushed = true;
    }
    // The reads sent now make one group, ended by one sync: one write to the
    // socket for all of them. A read that fails makes the server skip the
    // rest of its group; those run again (see finish).
    if (m_unflushed && !m_inFlight.empty() && !m_inFlight.back()->endsGroup && !m_simple) {
        if (PQpipelineSync(m_conn) != 1) {
            lost(messageOf(PQerrorMessage(m_conn)));
            return;
        }
        m_inFlight.back()->endsGroup = true;
    }
}

bool PgPipeline::send(Entry& e) {
    const PgRequest& r = e.request;
    if (r.severalStatements) {
        // Nothing is in flight (it runs alone): the pipeline may be left.
        m_simple = PQexitPipelineMode(m_conn) == 1;
        return m_simple && PQsendQuery(m_conn, r.sql.constData()) == 1;
    }
    std::vector<const char*> values;
    values.reserve(static_cast<size_t>(r.values.size()));
    for (const QByteArray& v : r.values)
        values.push_back(v.constData());
    const int count = static_cast<int>(values.size());
    bool ok = true;
    if (!r.prepared.isEmpty() && !e.unprepared) {
        std::vector<QByteArray> dropped;
        PgStatementCache::Statement& statement = m_statements.use(r.prepared, dropped);
        for (const QByteArray& name : dropped) {
            auto deallocate = std::make_unique<Entry>();
            deallocate->internal = true;
            deallocate->request.runsAlone = false;
            ok = ok && PQsendQueryParams(m_conn, ("DEALLOCATE " + name).constData(), 0, nullptr, nullptr,
                                         nullptr, nullptr, 0) == 1;
            m_inFlight.push_back(std::move(deallocate));
        }
        if (!ok)
            return false;
        if (statement.state == PgStatementCache::State::Seen && statement.uses >= 2) {
            statement.name = m_statements.newName();
            statement.state = PgStatementCache::State::Prepared;
            e.sentPrepare = true;
            e.commands = 2;
            if (PQsendPrepare(m_conn, statement.name.constData(), r.prepared.constData(), count, nullptr) !=
                1)
                return false;
        }
        if (statement.state == PgStatementCache::State::Prepared) {
            e.usedName = true;
            return PQsendQueryPrepared(m_conn, statement.name.constData(), count, values.data(), nullptr,
                                       nullptr, 0) == 1;
        }
    }
    return PQsendQueryParams(m_conn, r.sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
}

void PgPipeline::flush() {
    if (!m_conn)
        return;
    m_unflushed = false;
    const int rc = PQflush(m_conn);
    if (rc < 0) {
        lost(messageOf(PQerrorMessage(m_conn)));
        return;
    }
    watch(rc == 1 ? EPOLLIN | EPOLLOUT : EPOLLIN);
}

void PgPipeline::onEvents(uint32_t events) {
    if (m_conn && (events & EPOLLOUT))
        flush();
    if (m_conn && (events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
        readResults();
    flushSent();
}

// The requests of the round go out as one group: libpq writes to the
// socket at each sync, so the sync comes once, after all of them.
void PgPipeline::flushSent() {
    pump();
    if (m_unflushed)
        flush();
}

void PgPipeline::finishHead() {
    std::unique_ptr<Entry> done = std::move(m_inFlight.front());
    m_inFlight.pop_front();
    finish(std::move(done));
    // A new head that nobody waits for any more is stopped.
    if (!m_inFlight.empty()) {
        Entry& head = *m_inFlight.front();
        if (!head.internal && (head.answered || head.timedOut) && !head.cancelSent && head.steps == 0)
            cancelHead();
    }
}

// libpq hands out each command's result followed by a NULL, and a sync
// result after the last command of each group; a NULL that follows no
// result means nothing more has arrived.
void PgPipeline::readResults() {
    if (!PQconsumeInput(m_conn)) {
        lost(messageOf(PQerrorMessage(m_conn)));
        return;
    }
    while (m_conn && !m_inFlight.empty() && !PQisBusy(m_conn)) {
        PGresult* r = PQgetResult(m_conn);
        Entry& head = *m_inFlight.front();
        if (m_simple) {
            if (r) {
                record(head, r);
                continue;
            }
            // After its last result: back to pipeline mode.
            m_simple = false;
            PQenterPipelineMode(m_conn);
            finishHead();
            continue;
        }
        if (!r) {
            const bool endsCommand = m_afterResult;
            m_afterResult = false;
            if (!endsCommand) {
                if (m_afterSync) {
                    m_afterSync = false;
                    continue;
                }
                break;
            }
            if (++head.commandsDone == head.commands && !head.endsGroup)
                finishHead();
            continue;
        }
        if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            m_afterSync = true;
            finishHead();
            continue;
        }
        m_afterResult = true;
        m_afterSync = false;
        record(head, r);
    }
    if (m_conn && PQstatus(m_conn) == CONNECTION_BAD)
        lost(messageOf(PQerrorMessage(m_conn)));
}

void PgPipeline::record(Entry& e, PGresult* r) {
    const int step = e.steps++;
    const ExecStatusType status = PQresultStatus(r);
    // Of several statements only the first one's result counts.
    if (e.request.severalStatements && step > 0) {
        PQclear(r);
        return;
    }
    if (e.sentPrepare && step == 0) {
        // Skipped after an error before it in its group: it was not prepared.
        if (status == PGRES_PIPELINE_ABORTED)
            e.aborted = true;
        else
            e.prepareFailed = status != PGRES_COMMAND_OK;
        PQclear(r);
        return;
    }
    switch (status) {
    case PGRES_PIPELINE_ABORTED:
        e.aborted = true;
        PQclear(r);
        return;
    case PGRES_FATAL_ERROR:
    case PGRES_NONFATAL_ERROR:
    case PGRES_BAD_RESPONSE:
        if (e.error.isEmpty()) {
            e.error = messageOf(PQresultErrorMessage(r));
            e.sqlState = PQresultErrorField(r, PG_DIAG_SQLSTATE);
        }
        PQclear(r);
        return;
    default:
        if (e.result)
            PQclear(e.result);
        e.result = r;
    }
}

void PgPipeline::retry(std::unique_ptr<Entry> e) {
    auto again = std::make_unique<Entry>();
    again->request = std::move(e->request);
    again->unprepared = e->unprepared || e->prepareFailed || (e->usedName && !e->aborted);
    again->retries = e->retries + (e->aborted ? 0 : 1);
    m_queued.push_front(std::move(again));
}

void PgPipeline::finish(std::unique_ptr<Entry> e) {
    if (e->internal)
        return;
    // Its prepared form did not run (the prepare failed, or the name was
    // unknown): it runs as the text it came as.
    if (e->prepareFailed || (e->usedName && e->sqlState == kNoSuchStatement)) {
        if (e->prepareFailed)
            m_statements.markFailed(e->request.prepared);
        else
            m_statements.markUnprepared(e->request.prepared);
        if (e->answered)
            return;
        if (e->retries < 2) {
            retry(std::move(e));
            return;
        }
        // Out of retries: answered with the server's error, never left unanswered.
        answer(*e, outcomeOf(*e));
        return;
    }
    // Skipped by the server after an error of another request in its group:
    // it did not run, and runs in the next group.
    if (e->aborted && e->error.isEmpty()) {
        if (e->sentPrepare)
            m_statements.markUnprepared(e->request.prepared);
        if (!e->answered)
            retry(std::move(e));
        return;
    }
    // A cancel meant for the statement before it hit this one (the server
    // had moved on): it was rolled back, and runs once more.
    if (e->sqlState == kCancelled && !e->cancelSent && !e->answered && e->retries == 0 &&
        StatementWatch::nowMs() < e->request.deadline) {
        retry(std::move(e));
        return;
    }
    if (e->answered)
        return;
    answer(*e, outcomeOf(*e));
}

Outcome PgPipeline::outcomeOf(Entry& e) {
    const PgRequest& r = e.request;
    if (!e.error.isEmpty() || e.aborted || !e.result) {
        if (e.timedOut)
            return answers::cancelledAfter(m_cp, r.prefix, r.command, m_config.statementTimeoutMs, r.what);
        const QString message = e.error.isEmpty() ? answers::firstLine(QString()) : e.error;
        if (PostgresControl::endsConnection(QString::fromLatin1(e.sqlState)))
            return answers::connectionLost(m_cp, r.prefix, r.command, message);
        return answers::databaseError(m_cp, r.prefix, r.command, message, {}, r.what);
    }
    if (r.command == "SELECT" && PQresultStatus(e.result) == PGRES_TUPLES_OK) {
        const PgResultText text = PgResultText::of(e.result, m_config.maxReplyBytes);
        QByteArray bytes;
        bool tooLarge = text.tooLarge;
        if (!tooLarge) {
            bytes = replyFromUtf8(m_cp, r.prefix, r.command, rc::kOk, text.rows, text.utf8);
            tooLarge = bytes.size() > m_config.maxReplyBytes;
        }
        if (tooLarge)
            return answers::replyTooLarge(m_cp, r.prefix, r.command, m_config.maxReplyBytes, r.what);
        Outcome ok;
        ok.reply = std::move(bytes);
        return ok;
    }
    Outcome ok;
    ok.reply = reply(m_cp, r.prefix, r.command, rc::kOk, std::max(0, std::atoi(PQcmdTuples(e.result))), {});
    return ok;
}

void PgPipeline::answer(Entry& e, Outcome outcome) {
    e.answered = true;
    if (e.request.owner)
        m_answers.push_back({e.request.owner, std::move(outcome)});
}

void PgPipeline::lost(const QString& message) {
    if (m_inFlight.empty())
        m_notes << QStringLiteral("database connection lost while idle, reconnecting");
    for (const auto& e : m_inFlight)
        if (!e->internal && !e->answered)
            answer(*e, answers::connectionLost(m_cp, e->request.prefix, e->request.command,
                                               e->error.isEmpty() ? message : e->error));
    m_inFlight.clear();
    close();
}

void PgPipeline::cancelHead() {
    if (m_cancel)
        m_canceller.cancel(m_cancel);
    if (!m_inFlight.empty())
        m_inFlight.front()->cancelSent = true;
}

void PgPipeline::expire(qint64 now) {
    for (auto it = m_queued.begin(); it != m_queued.end();) {
        if ((*it)->request.deadline > now) {
            ++it;
            continue;
        }
        answer(**it, answers::timedOutBeforeItRan(m_cp, (*it)->request.prefix, (*it)->request.command,
                                                  m_config.statementTimeoutMs));
        it = m_queued.erase(it);
    }
    for (size_t i = 0; i < m_inFlight.size(); ++i) {
        Entry& e = *m_inFlight[i];
        if (e.internal || e.answered || e.timedOut || e.request.deadline > now)
            continue;
        e.timedOut = true;
        if (i == 0)
            cancelHead();
        // A read is answered now; a write by what the server says of it.
        if (!e.request.runsAlone)
            answer(e, answers::cancelledAfter(m_cp, e.request.prefix, e.request.command,
                                              m_config.statementTimeoutMs, e.request.what));
    }
}

bool PgPipeline::abandon(void* owner, QByteArray& command) {
    std::erase_if(m_answers, [&](const PgAnswer& a) { return a.owner == owner; });
    for (auto it = m_queued.begin(); it != m_queued.end(); ++it) {
        if ((*it)->request.owner == owner) {
            m_queued.erase(it);
            return false;
        }
    }
    for (size_t i = 0; i < m_inFlight.size(); ++i) {
        Entry& e = *m_inFlight[i];
        if (e.request.owner != owner)
            continue;
        e.request.owner = nullptr;
        if (e.answered)
            return false;
        e.answered = true;
        command = e.request.command;
        if (i == 0 && !e.cancelSent)
            cancelHead();
        return true;
    }
    return false;
}

qint64 PgPipeline::nextDeadline() const {
    qint64 next = 0;
    const auto consider = [&](const Entry& e) {
        if (e.internal || e.answered || e.timedOut)
            return;
        if (next == 0 || e.request.deadline < next)
            next = e.request.deadline;
    };
    for (const auto& e : m_queued)
        consider(*e);
    for (const auto& e : m_inFlight)
        consider(*e);
    return next;
}

std::vector<PgAnswer> PgPipeline::takeAnswers() {
    std::vector<PgAnswer> out;
    out.swap(m_answers);
    return out;
}

QStringList PgPipeline::takeNotes() {
    QStringList out;
    out.swap(m_notes);
    return out;
}

} // namespace memberd
