// The cost of the link's socket work alone, as a floor for memberd's CPU per
// request: a server with memberd's threading (one epoll loop per thread,
// connections spread over the threads, level-triggered, one read and one
// write per request) that answers every request at once with a fixed reply
// of a card lookup's size, without looking at it or asking any database.
//   bench_floor ADDRESS THREADS
// Listens on ADDRESS:3501 until killed; bench_load drives it as it drives
// memberd, and run.sh reads its CPU time from /proc the same way.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A log-in answer, and a lookup answer as long as memberd's for a seeded card.
const std::string kLoggedIn = "ZELQTCPCNT00000001\x03";
const std::string kLookup = "ZELQSELECT00000001custname\ttel1\tzip\tbilladdr1\tbilladdr2\tfmcomid\ttbonusamt;"
                            "NAME00042\t02-2345-6789\t103\tADDRESS-ONE-OF-A-CARD\tADDRESS-TWO1\tS01\t420\x03";

struct Connection {
    int fd;
    std::string in;
};

void serve(int epoll) {
    epoll_event events[128];
    char buffer[16384];
    for (;;) {
        const int n = ::epoll_wait(epoll, events, 128, -1);
        for (int i = 0; i < n; ++i) {
            auto* c = static_cast<Connection*>(events[i].data.ptr);
            const ssize_t got = ::recv(c->fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, c->fd, nullptr);
                ::close(c->fd);
                delete c;
                continue;
            }
            c->in.append(buffer, static_cast<size_t>(got));
            std::string out;
            for (size_t end; (end = c->in.find('\x03')) != std::string::npos; c->in.erase(0, end + 1))
                out += c->in.compare(4, 6, "TCPCNT") == 0 ? kLoggedIn : kLookup;
            if (!out.empty()) [[maybe_unused]]
                const ssize_t sent = ::send(c->fd, out.data(), out.size(), MSG_NOSIGNAL);
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_floor ADDRESS THREADS\n");
        return 2;
    }
    const int threads = std::max(1, std::atoi(argv[2]));
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(3501);
    if (::inet_pton(AF_INET, argv[1], &sa.sin_addr) != 1 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(listener, 1024) != 0) {
        std::perror("bench_floor");
        return 1;
    }
    std::vector<int> loops;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        loops.push_back(::epoll_create1(EPOLL_CLOEXEC));
        workers.emplace_back(serve, loops.back());
    }
    std::printf("listening on %s:3501\n", argv[1]);
    std::fflush(stdout);
    for (unsigned next = 0;; ++next) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.ptr = new Connection{fd, {}};
        ::epoll_ctl(loops[next % loops.size()], EPOLL_CTL_ADD, fd, &ev);
    }
}
