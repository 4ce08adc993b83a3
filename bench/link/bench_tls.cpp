// What TLS costs on the link, against clear text in the same run and on the
// same memberd (TLS on one address, --plain-listen on another):
//   - a log-in: LOGINS sequential connect + log-in + close, each a full
//     handshake (no session resumption, as a desk that starts afresh), time
//     and CPU (this client's and memberd's) per log-in;
//   - card lookups: CONNECTIONS connections, each logged in once, looking up
//     random cards for SECONDS; requests/s, latency, CPU per lookup.
//   bench_tls TLS_ADDRESS PLAIN_ADDRESS CA_FILE PASSWORD CARDS LOGINS CONNECTIONS SECONDS MEMBERD_PID
//             [CLIENT_CERT CLIENT_KEY]
// Blocking sockets and OpenSSL directly, one thread per busy connection.
// memberd's CPU time is read from /proc/MEMBERD_PID/stat.
#include "CardLookup.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Setup {
    std::string tlsAddress;
    std::string plainAddress;
    std::string password;
    int cards = 0;
    SSL_CTX* ctx = nullptr;
};

// One connection to memberd, in clear text (ssl null) or over TLS.
struct Connection {
    int fd = -1;
    SSL* ssl = nullptr;

    bool open(const Setup& setup, bool tls) {
        const std::string& address = tls ? setup.tlsAddress : setup.plainAddress;
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(3501);
        ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
            return false;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (!tls)
            return true;
        ssl = SSL_new(setup.ctx);
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), address.c_str());
        SSL_set_fd(ssl, fd);
        return SSL_connect(ssl) == 1;
    }
    bool write(const std::string& bytes) {
        if (ssl)
            return SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size())) ==
                   static_cast<int>(bytes.size());
        return ::send(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    }
    long read(char* buffer, int size) {
        return ssl ? SSL_read(ssl, buffer, size) : ::recv(fd, buffer, size, 0);
    }
    // One request and its reply; false on any failure or a failure code.
    bool ask(const std::string& request, std::string& reply) {
        if (!write(request))
            return false;
        reply.clear();
        char buffer[4096];
        while (reply.empty() || reply.back() != '\x03') {
            const long n = read(buffer, sizeof buffer);
            if (n <= 0)
                return false;
            reply.append(buffer, static_cast<size_t>(n));
        }
        return reply.size() >= 12 && reply.compare(10, 2, "00") == 0;
    }
    bool logIn(const Setup& setup, bool tls) {
        std::string reply;
        return open(setup, tls) && ask("ZELQTCPCNT00" + setup.password + "\x03", reply);
    }
    void close() {
        if (ssl) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
            ssl = nullptr;
        }
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

long long ownCpuUs() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000LL + ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
}

long long processCpuUs(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::atoll(field.c_str());
        if (i == 15)
            stime = std::atoll(field.c_str());
    }
    return (utime + stime) * 1000000LL / ::sysconf(_SC_CLK_TCK);
}

bool logIns(const Setup& setup, bool tls, int count, int pid) {
    const long long own0 = ownCpuUs();
    const long long daemon0 = processCpuUs(pid);
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        Connection c;
        if (!c.logIn(setup, tls)) {
            std::fprintf(stderr, "bench_tls: log-in %d (%s) failed\n", i, tls ? "TLS" : "clear");
            c.close();
            return false;
        }
        c.close();
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    std::printf("log-in %-5s n=%d ms_per_login=%.3f client_cpu_us=%.0f memberd_cpu_us=%.0f\n",
                tls ? "TLS" : "clear", count, ms / count, static_cast<double>(ownCpuUs() - own0) / count,
                static_cast<double>(processCpuUs(pid) - daemon0) / count);
    return true;
}

bool lookups(const Setup& setup, bool tls, int connections, double seconds, int pid) {
    std::atomic<long> failures{0};
    std::vector<std::vector<float>> latencies(static_cast<size_t>(connections));
    std::vector<Connection> open(static_cast<size_t>(connections));
    for (auto& c : open)
        if (!c.logIn(setup, tls))
            ++failures;
    const long long own0 = ownCpuUs();
    const long long daemon0 = processCpuUs(pid);
    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<std::thread> threads;
    for (int i = 0; i < connections; ++i) {
        threads.emplace_back([&, i] {
            Connection& c = open[static_cast<size_t>(i)];
            std::mt19937 rng(static_cast<unsigned>(i) * 7919u + 1u);
            std::uniform_int_distribution<int> pick(0, setup.cards - 1);
            std::string reply;
            auto& mine = latencies[static_cast<size_t>(i)];
            while (c.fd >= 0 && Clock::now() < end) {
                const std::string request = cardLookupRequest(pick(rng));
                const auto t0 = Clock::now();
                if (!c.ask(request, reply) || reply.compare(12, 6, "000001") != 0) {
                    ++failures;
                    break;
                }
                mine.push_back(std::chrono::duration<float, std::milli>(Clock::now() - t0).count());
            }
        });
    }
    for (auto& t : threads)
        t.join();
    const long long own = ownCpuUs() - own0;
    const long long daemon = processCpuUs(pid) - daemon0;
    for (auto& c : open)
        c.close();
    std::vector<float> all;
    for (const auto& v : latencies)
        all.insert(all.end(), v.begin(), v.end());
    if (all.empty()) {
        std::fprintf(stderr, "bench_tls: no lookup (%s) succeeded\n", tls ? "TLS" : "clear");
        return false;
    }
    std::sort(all.begin(), all.end());
    const double n = static_cast<double>(all.size());
    std::printf("lookup %-5s connections=%d requests=%zu req_per_s=%.0f median_ms=%.3f p99_ms=%.3f "
                "client_cpu_us=%.1f memberd_cpu_us=%.1f failures=%ld\n",
                tls ? "TLS" : "clear", connections, all.size(), n / seconds, all[all.size() / 2],
                all[all.size() * 99 / 100], static_cast<double>(own) / n, static_cast<double>(daemon) / n,
                failures.load());
    return failures.load() == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 10 && argc != 12) {
        std::fprintf(stderr, "usage: bench_tls TLS_ADDRESS PLAIN_ADDRESS CA_FILE PASSWORD CARDS LOGINS "
                             "CONNECTIONS SECONDS MEMBERD_PID [CLIENT_CERT CLIENT_KEY]\n");
        return 2;
    }
    Setup setup;
    setup.tlsAddress = argv[1];
    setup.plainAddress = argv[2];
    setup.password = argv[4];
    setup.cards = std::atoi(argv[5]);
    const int logins = std::atoi(argv[6]);
    const int connections = std::atoi(argv[7]);
    const double seconds = std::atof(argv[8]);
    const int pid = std::atoi(argv[9]);

    setup.ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(setup.ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(setup.ctx, SSL_VERIFY_PEER, nullptr);
    // A desk that starts afresh resumes no session: every log-in a full handshake.
    SSL_CTX_set_session_cache_mode(setup.ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_options(setup.ctx, SSL_OP_NO_TICKET);
    if (SSL_CTX_load_verify_locations(setup.ctx, argv[3], nullptr) != 1 ||
        (argc == 12 && (SSL_CTX_use_certificate_chain_file(setup.ctx, argv[10]) != 1 ||
                        SSL_CTX_use_PrivateKey_file(setup.ctx, argv[11], SSL_FILETYPE_PEM) != 1))) {
        std::fprintf(stderr, "bench_tls: cannot read the CA or the client certificate\n");
        return 2;
    }
    bool ok = true;
    for (const bool tls : {false, true})
        ok = logIns(setup, tls, logins, pid) && ok;
    for (const bool tls : {false, true})
        ok = lookups(setup, tls, connections, seconds, pid) && ok;
    SSL_CTX_free(setup.ctx);
    return ok ? 0 : 1;
}
