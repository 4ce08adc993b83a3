#include "server/Metrics.h"

namespace memberd {

namespace {

constexpr const char* kCommandNames[Metrics::kCommands] = {"TCPCNT", "SELECT", "SERVER",
                                                           "POSTKY", "POSTQY", "other"};
constexpr const char* kCodeNames[Metrics::kCodes] = {"00", "01", "02", "03", "04", "05", "other"};

int codeIndex(const QByteArray& code) {
    if (code.size() == 2 && code.at(0) == '0' && code.at(1) >= '0' && code.at(1) <= '5')
        return code.at(1) - '0';
    return Metrics::kCodes - 1;
}

QByteArray seconds(std::uint64_t micros) {
    return QByteArray::number(static_cast<double>(micros) / 1e6, 'g', 10);
}

// One metric's HELP and TYPE lines.
void header(QByteArray& out, const char* name, const char* type, const char* help) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

void sample(QByteArray& out, const char* name, std::uint64_t value) {
    out += QByteArray(name) + ' ' + QByteArray::number(static_cast<qulonglong>(value)) + '\n';
}

void single(QByteArray& out, const char* name, const char* type, const char* help, std::uint64_t value) {
    header(out, name, type, help);
    sample(out, name, value);
}

} // namespace

Metrics::Command Metrics::commandOf(const QByteArray& word) {
    for (int i = 0; i < kCommands - 1; ++i)
        if (word == kCommandNames[i])
            return static_cast<Command>(i);
    return Command::Other;
}

void Metrics::answered(const QByteArray& command, const QByteArray& resultCode, std::uint64_t micros) {
    add(m_requests[static_cast<int>(commandOf(command))][codeIndex(resultCode)]);
    std::size_t bucket = 0;
    while (bucket < kBucketsUs.size() && micros > kBucketsUs[bucket])
        ++bucket;
    add(m_buckets[bucket]);
    add(m_latencySumUs, micros);
}

QByteArray Metrics::render(const Gauges& gauges) const {
    QByteArray out;
    out.reserve(8192);
    header(out, "memberd_requests_total", "counter", "Requests answered, by command word and result code.");
    for (int c = 0; c < kCommands; ++c)
        for (int r = 0; r < kCodes; ++r)
            if (const std::uint64_t n = read(m_requests[c][r]); n > 0 || r == 0)
                out += QByteArray("memberd_requests_total{command=\"") + kCommandNames[c] + "\",code=\"" +
                       kCodeNames[r] + "\"} " + QByteArray::number(static_cast<qulonglong>(n)) + '\n';

    header(out, "memberd_request_duration_seconds", "histogram",
           "Time from a request's arrival to its answer.");
    std::uint64_t cumulative = 0;
    for (std::size_t b = 0; b <= kBucketsUs.size(); ++b) {
        cumulative += read(m_buckets[b]);
        const QByteArray bound = b < kBucketsUs.size() ? seconds(kBucketsUs[b]) : QByteArray("+Inf");
        out += "memberd_request_duration_seconds_bucket{le=\"" + bound + "\"} " +
               QByteArray::number(static_cast<qulonglong>(cumulative)) + '\n';
    }
    out += "memberd_request_duration_seconds_sum " + seconds(read(m_latencySumUs)) + '\n';
    sample(out, "memberd_request_duration_seconds_count", cumulative);

    single(out, "memberd_open_connections", "gauge", "Connections open now, logged in or not.",
           static_cast<std::uint64_t>(std::max(0, gauges.openConnections)));
    single(out, "memberd_database_up", "gauge", "1 while the member database answers its health check.",
           gauges.databaseUp ? 1 : 0);
    single(out, "memberd_logins_failed_total", "counter", "Log-ins refused (wrong password or identity).",
           read(m_loginsFailed));
    single(out, "memberd_logins_locked_out_total", "counter",
           "Lock-outs of an identity at an address after too many failed log-ins.", read(m_lockedOut));
    single(out, "memberd_database_reconnects_total", "counter",
           "Database connections opened again after one was lost.", read(m_reconnects));
    single(out, "memberd_keyed_postings_posted_total", "counter", "Keyed postings that moved a balance.",
           read(m_keyedPosted));
    single(out, "memberd_keyed_postings_replayed_total", "counter",
           "Keyed postings and queries answered from a known key, nothing done.", read(m_keyedReplayed));
    single(out, "memberd_keyed_postings_voided_total", "counter", "Unknown keys closed as void by a query.",
           read(m_keyedVoided));
    single(out, "memberd_offline_postings_received_total", "counter", "Offline postings (mode O) received.",
           read(m_offlineReceived));
    single(out, "memberd_offline_postings_refused_total", "counter",
           "Offline postings refused, or not posted (short of balance, no such card).",
           read(m_offlineRefused));
    single(out, "memberd_store_scope_refusals_total", "counter",
           "Requests of a store's connection for another store, refused.", read(m_outOfScope));
    single(out, "memberd_tls_handshakes_failed_total", "counter", "TLS handshakes that failed.",
           read(m_tlsHandshakesFailed));
    return out;
}

} // namespace memberd
