#include "ConnectionLoop.h"

#include "MemberServer.h"
#include "Protocol.h"
#include "StatementRunner.h"
#include "common/Fault.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace memberd {

namespace {

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A desk that does not take its closing notice does not hold up the end.
constexpr qint64 kShutdownGraceMs = 3000;

} // namespace

struct ConnectionLoop::Session {
    int fd = -1;
    QString peer;
    QByteArray in;
    qsizetype searched = 0; // in[0, searched) holds no terminator
    QByteArray out;
    qsizetype sent = 0; // bytes of out already written
    QByteArray prefix = QByteArrayLiteral("ZELQ");
    bool loggedIn = false;
    bool closing = false;
    bool dead = false;
    bool ready = false; // listed in m_ready
    uint32_t interest = 0;
    qint64 lastActive = 0;
    std::list<Session*>::iterator pos;

    bool writing() const { return sent < out.size(); }
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
    for (const auto& [fd, peer] : m_incoming)
        ::close(fd);
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

void ConnectionLoop::adopt(int fd, QString peer) {
    m_load.fetch_add(1, std::memory_order_relaxed);
    {
        std::lock_guard lock(m_inMutex);
        m_incoming.emplace_back(fd, std::move(peer));
    }
    wake();
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
        StatementRunner::Config{m_options.connectionString, m_options.codePage, m_options.allowAnySql},
        m_shared.sqliteWriter);
    try {
        m_runner->open();
    } catch (const tolva::Fault& fault) {
        m_runner.reset();
        std::lock_guard lock(m_startMutex);
        m_startError = QStringLiteral("thread %1: %2").arg(m_index).arg(fault.message());
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
            MemberServer::log(QStringLiteral("thread %1: epoll_wait: %2")
                                  .arg(m_index)
                                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
            break;
        }
        for (int i = 0; i < n; ++i) {
            auto* s = static_cast<Session*>(events[i].data.ptr);
            if (!s) {
                quint64 count = 0;
                [[maybe_unused]] const ssize_t r = ::read(m_wakeFd, &count, sizeof count);
                abort = !takeIncoming();
                continue;
            }
            if (s->dead)
                continue;
            if (events[i].events & EPOLLOUT)
                flush(s);
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
        expireIdle();
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
    m_runner.reset();
    if (!abort && m_ended)
        m_ended();
}

bool ConnectionLoop::takeIncoming() {
    std::vector<std::pair<int, QString>> incoming;
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
    for (auto& [fd, peer] : incoming) {
        if (m_shuttingDown) {
            ::close(fd);
            m_load.fetch_sub(1, std::memory_order_relaxed);
            m_shared.open.fetch_sub(1, std::memory_order_relaxed);
            continue;
        }
        auto* s = new Session;
        s->fd = fd;
        s->peer = std::move(peer);
        s->lastActive = nowMs();
        s->pos = m_sessions.insert(m_sessions.end(), s);
        s->interest = EPOLLIN;
        epoll_event ev{};
        ev.events = s->interest;
        ev.data.ptr = s;
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev) != 0) {
            MemberServer::log(s->peer + QStringLiteral(" dropped: ") +
                              QString::fromLocal8Bit(std::strerror(errno)));
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
        if (s->closing || s->dead)
            continue;
        send(s, reply(m_cp, s->prefix, QByteArrayLiteral("TCPCLS"), rc::kOk, 0, {}));
        closeSession(s, QStringLiteral("service closing"));
    }
}

void ConnectionLoop::touch(Session* s) {
    s->lastActive = nowMs();
    m_sessions.splice(m_sessions.end(), m_sessions, s->pos);
}

void ConnectionLoop::readFrom(Session* s) {
    char buffer[16384];
    const ssize_t n = ::recv(s->fd, buffer, sizeof buffer, 0);
    if (n > 0) {
        // What a connection on its way out still sends is read and dropped.
        if (s->closing)
            return;
        s->in.append(buffer, n);
        touch(s);
        markReady(s);
        updateInterest(s);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (!s->closing)
        MemberServer::log(s->peer + QStringLiteral(" disconnected"));
    drop(s);
}

void ConnectionLoop::markReady(Session* s) {
    if (s->ready || s->dead || s->closing || s->writing())
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
    if (s->dead || s->closing || s->writing())
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
    MemberServer::log(
        s->peer + QStringLiteral(" refused: request larger than %1 bytes").arg(m_options.maxRequestBytes));
    send(s, reply(m_cp, prefix, command, rc::kTooLarge, 0,
                  QStringLiteral("要求太長 (上限 %1 位元組)").arg(m_options.maxRequestBytes)));
    closeSession(s, QStringLiteral("request too large"));
}

void ConnectionLoop::handle(Session* s, const QByteArray& message) {
    const Request request = Request::parse(message);
    if (!request.prefix.isEmpty())
        s->prefix = request.prefix.leftJustified(4, ' ', true);
    if (!request.wellFormed) {
        MemberServer::log(s->peer + QStringLiteral(" refused: malformed request"));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0, QStringLiteral("要求格式錯誤")));
        closeSession(s, QStringLiteral("malformed request"));
        return;
    }
    if (request.command == "TCPCNT") {
        if (constantTimeEquals(request.data, m_options.password)) {
            s->loggedIn = true;
            MemberServer::log(s->peer + QStringLiteral(" logged in"));
            send(s, reply(m_cp, s->prefix, request.command, rc::kOk, 0, {}));
        } else {
            s->loggedIn = false;
            MemberServer::log(s->peer + QStringLiteral(" refused: wrong password"));
            send(s,
                 reply(m_cp, s->prefix, request.command, rc::kLoginRefused, 0, QStringLiteral("密碼錯誤")));
            closeSession(s, QStringLiteral("wrong password"));
        }
        return;
    }
    if (!s->loggedIn) {
        MemberServer::log(
            s->peer + QStringLiteral(" refused: %1 before log-in").arg(QString::fromLatin1(request.command)));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0, QStringLiteral("尚未登入")));
        closeSession(s, QStringLiteral("request before log-in"));
        return;
    }
    if (request.command != "SELECT" && request.command != "SERVER") {
        MemberServer::log(
            s->peer +
            QStringLiteral(" refused: unknown command %1").arg(QString::fromLatin1(request.command)));
        send(s, reply(m_cp, s->prefix, request.command, rc::kBadRequest, 0,
                      QStringLiteral("不認識的指令: ") + cleanValue(QString::fromLatin1(request.command))));
        return;
    }
    const Outcome outcome = m_runner->run(s->prefix, request.command, request.data);
    if (!outcome.logLine.isEmpty())
        MemberServer::log(s->peer + QLatin1Char(' ') + outcome.logLine);
    send(s, outcome.reply);
    // A statement's time counts as activity, not as silence.
    touch(s);
}

void ConnectionLoop::send(Session* s, const QByteArray& bytes) {
    if (s->dead)
        return;
    if (s->writing()) {
        s->out += bytes;
        return;
    }
    ssize_t n = ::send(s->fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
    if (n == bytes.size())
        return;
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            if (!s->closing)
                MemberServer::log(s->peer + QStringLiteral(" disconnected"));
            drop(s);
            return;
        }
        n = 0;
    }
    // The desk does not read fast enough: the rest waits for the socket.
    s->out = bytes;
    s->sent = n;
    updateInterest(s);
}

void ConnectionLoop::flush(Session* s) {
    while (s->writing()) {
        const ssize_t n = ::send(s->fd, s->out.constData() + s->sent,
                                 static_cast<size_t>(s->out.size() - s->sent), MSG_NOSIGNAL);
        if (n > 0) {
            s->sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (!s->closing)
            MemberServer::log(s->peer + QStringLiteral(" disconnected"));
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
    if (s->closing || s->in.size() < m_options.maxRequestBytes)
        want |= EPOLLIN;
    if (s->writing())
        want |= EPOLLOUT;
    if (want == s->interest)
        return;
    epoll_event ev{};
    ev.events = want;
    ev.data.ptr = s;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, s->fd, &ev);
    s->interest = want;
}

void ConnectionLoop::closeSession(Session* s, const QString& why) {
    if (s->closing || s->dead)
        return;
    s->closing = true;
    MemberServer::log(s->peer + QStringLiteral(" closed: ") + why);
    s->in.clear();
    // Pending replies are written out before the connection closes.
    if (!s->writing())
        drop(s);
    else
        updateInterest(s);
}

void ConnectionLoop::drop(Session* s) {
    if (s->dead)
        return;
    s->dead = true;
    s->closing = true;
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, s->fd, nullptr);
    ::close(s->fd);
    m_sessions.erase(s->pos);
    // Events of this round may still name it: it is freed at the round's end.
    m_graveyard.push_back(s);
    m_load.fetch_sub(1, std::memory_order_relaxed);
    m_shared.open.fetch_sub(1, std::memory_order_relaxed);
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

int ConnectionLoop::waitMs() const {
    if (!m_ready.empty())
        return 0;
    qint64 wait = -1;
    const qint64 now = nowMs();
    if (m_options.idleTimeoutMs > 0 && !m_sessions.empty())
        wait = std::max<qint64>(0, m_sessions.front()->lastActive + m_options.idleTimeoutMs - now);
    if (m_shuttingDown) {
        const qint64 grace = std::max<qint64>(0, m_graceEnd - now);
        wait = wait < 0 ? grace : std::min(wait, grace);
    }
    return static_cast<int>(std::min<qint64>(wait, 60000));
}

} // namespace memberd
