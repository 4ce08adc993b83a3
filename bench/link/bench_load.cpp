// Throughput of card lookups over many connections to a running memberd, with
// a crowd of idle desks connected beside them.
//   bench_load ADDRESS PASSWORD CARDS CONNECTIONS IDLE SECONDS
// Plain blocking sockets, one thread per busy connection; prints requests/s
// and latency percentiles.
#include "CardLookup.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int connectTo(const char* address) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(3501);
    ::inet_pton(AF_INET, address, &sa.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Sends one request and reads its reply; false on any failure or a failure code.
bool ask(int fd, const std::string& request, std::string& reply) {
    if (::send(fd, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size()))
        return false;
    reply.clear();
    char buf[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        reply.append(buf, static_cast<size_t>(n));
        if (reply.back() == '\x03')
            break;
    }
    return reply.size() >= 12 && reply.compare(10, 2, "00") == 0;
}

int logIn(const char* address, const std::string& password) {
    const int fd = connectTo(address);
    std::string reply;
    if (fd < 0 || !ask(fd, "ZELQTCPCNT00" + password + "\x03", reply)) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: bench_load ADDRESS PASSWORD CARDS CONNECTIONS IDLE SECONDS\n");
        return 2;
    }
    const char* address = argv[1];
    const std::string password = argv[2];
    const int cards = std::atoi(argv[3]);
    const int connections = std::atoi(argv[4]);
    const int idle = std::atoi(argv[5]);
    const double seconds = std::atof(argv[6]);

    std::vector<int> idleFds;
    for (int i = 0; i < idle; ++i) {
        const int fd = logIn(address, password);
        if (fd < 0) {
            std::fprintf(stderr, "bench_load: idle connection %d failed\n", i);
            return 1;
        }
        idleFds.push_back(fd);
    }

    std::atomic<long> failures{0};
    std::vector<std::vector<float>> latencies(static_cast<size_t>(connections));
    std::vector<std::thread> threads;
    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int c = 0; c < connections; ++c) {
        threads.emplace_back([&, c] {
            const int fd = logIn(address, password);
            if (fd < 0) {
                ++failures;
                return;
            }
            std::mt19937 rng(static_cast<unsigned>(c) * 7919u + 1u);
            std::uniform_int_distribution<int> pick(0, cards - 1);
            std::string reply;
            auto& mine = latencies[static_cast<size_t>(c)];
            while (Clock::now() < end) {
                const std::string request = cardLookupRequest(pick(rng));
                const auto t0 = Clock::now();
                if (!ask(fd, request, reply) || reply.compare(12, 6, "000001") != 0) {
                    ++failures;
                    break;
                }
                mine.push_back(std::chrono::duration<float, std::milli>(Clock::now() - t0).count());
            }
            ::close(fd);
        });
    }
    for (auto& t : threads)
        t.join();
    for (const int fd : idleFds)
        ::close(fd);

    std::vector<float> all;
    for (const auto& v : latencies)
        all.insert(all.end(), v.begin(), v.end());
    if (all.empty()) {
        std::fprintf(stderr, "bench_load: no request succeeded\n");
        return 1;
    }
    std::sort(all.begin(), all.end());
    std::printf(
        "connections=%d idle=%d requests=%zu req_per_s=%.0f median_ms=%.3f p99_ms=%.3f failures=%ld\n",
        connections, idle, all.size(), static_cast<double>(all.size()) / seconds, all[all.size() / 2],
        all[all.size() * 99 / 100], failures.load());
    return failures.load() == 0 ? 0 : 1;
}
