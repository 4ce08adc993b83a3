#pragma once

#include <QByteArray>
#include <array>
#include <atomic>
#include <cstdint>

namespace memberd {

// The counters the service is watched by, shared by all its threads: plain
// atomics, no lock on the way of a request. render() writes them in the
// Prometheus text format (0.0.4) for /metrics.
class Metrics {
public:
    // The requests counted by command word; any other word counts as "other".
    enum class Command { Login, Select, Server, PostKy, PostQy, Other };
    static constexpr int kCommands = 6;
    // Result codes "00" to "05"; anything else counts as "other".
    static constexpr int kCodes = 7;
    // Upper bounds of the latency buckets, in microseconds (+Inf beyond).
    static constexpr std::array<std::uint64_t, 12> kBucketsUs = {
        1000, 2500, 5000, 10000, 25000, 50000, 100000, 250000, 500000, 1000000, 2500000, 10000000};

    // What is read at the time of a scrape rather than counted.
    struct Gauges {
        int openConnections = 0;
        bool databaseUp = false;
    };

    static Command commandOf(const QByteArray& word);
    // One answered request: its command word, result code and the time from
    // its arrival to its answer.
    void answered(const QByteArray& command, const QByteArray& resultCode, std::uint64_t micros);

    void loginFailed() { add(m_loginsFailed); }
    void lockedOut() { add(m_lockedOut); }
    void databaseReconnected(std::uint64_t times = 1) { add(m_reconnects, times); }
    void keyedPosted() { add(m_keyedPosted); }
    void keyedReplayed() { add(m_keyedReplayed); }
    void keyedVoided() { add(m_keyedVoided); }
    void offlineReceived() { add(m_offlineReceived); }
    void offlineRefused() { add(m_offlineRefused); }
    void outOfScope() { add(m_outOfScope); }
    // A TLS handshake that failed (certificate, protocol, time limit).
    void tlsHandshakeFailed() { add(m_tlsHandshakesFailed); }

    QByteArray render(const Gauges& gauges) const;

private:
    using Counter = std::atomic<std::uint64_t>;
    static void add(Counter& c, std::uint64_t n = 1) { c.fetch_add(n, std::memory_order_relaxed); }
    static std::uint64_t read(const Counter& c) { return c.load(std::memory_order_relaxed); }

    std::array<std::array<Counter, kCodes>, kCommands> m_requests{};
    std::array<Counter, kBucketsUs.size() + 1> m_buckets{}; // the last one: above every bound
    Counter m_latencySumUs{0};
    Counter m_loginsFailed{0};
    Counter m_lockedOut{0};
    Counter m_reconnects{0};
    Counter m_keyedPosted{0};
    Counter m_keyedReplayed{0};
    Counter m_keyedVoided{0};
    Counter m_offlineReceived{0};
    Counter m_offlineRefused{0};
    Counter m_outOfScope{0};
    Counter m_tlsHandshakesFailed{0};
};

} // namespace memberd
