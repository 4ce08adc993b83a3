#!/usr/bin/env bash
# TLS against clear text on the link, in one run and on one memberd (SQLite,
# 10,000 cards, TLS on 127.0.0.54 and the clear-text port beside it on
# 127.0.0.55, client certificates required): a log-in with its handshake
# (LOGINS sequential connect + log-in + close, each a full handshake: time,
# and CPU of the client and of memberd per log-in), and lookup throughput
# over CONNECTIONS connections (requests/s, latency, CPU per lookup). The
# certificates are made here with openssl (EC P-256, as docs/deployment.md
# makes them). CPU per log-in and per lookup hardly depends on what else the
# machine does; times and requests/s do, so quote those from a quiet machine.
# Usage: bench/link/tls.sh [SECONDS] [LOGINS] [CONNECTIONS]   (build first)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
bin="${BENCH_BIN:-$root/build/bin}"
bench="${BENCH_BENCH:-$root/build/bench}"
seconds=${1:-10}
logins=${2:-500}
connections=${3:-16}
cards=10000
password=benchpw
tls_address=127.0.0.54
plain_address=127.0.0.55
work=$(mktemp -d /tmp/tolva-bench-tls.XXXXXX)
memberd_pid=

cleanup() {
    [ -n "$memberd_pid" ] && kill "$memberd_pid" 2>/dev/null && wait "$memberd_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

certificates() {
    cd "$work"
    local ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
    openssl req -x509 "${ec[@]}" -keyout ca.key -out ca.pem -subj "/CN=Bench CA" -days 2 \
        -addext "keyUsage=critical,keyCertSign" 2>/dev/null
    openssl req -new "${ec[@]}" -keyout server.key -out server.csr -subj "/CN=memberd" 2>/dev/null
    printf 'subjectAltName=IP:%s\nextendedKeyUsage=serverAuth\n' "$tls_address" >server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
        -extfile server.ext -out server.pem 2>/dev/null
    openssl req -new "${ec[@]}" -keyout client.key -out client.csr -subj "/CN=S01" 2>/dev/null
    printf 'extendedKeyUsage=clientAuth\n' >client.ext
    openssl x509 -req -in client.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
        -extfile client.ext -out client.pem 2>/dev/null
    chmod 600 ./*.key
    cd - >/dev/null
}

certificates
"$bench/bench_seed" "Provider=SQLite;Data Source=$work/member.db" "$cards"
MEMBERD_PASSWORD=$password "$bin/memberd" --listen "$tls_address" --db "Provider=SQLite;Data Source=$work/member.db" \
    --workers "${MEMBERD_WORKERS:-4}" --max-pending-per-address 128 \
    --tls-cert "$work/server.pem" --tls-key "$work/server.key" --tls-client-ca "$work/ca.pem" \
    --plain-listen "$plain_address:3501" 2>"$work/memberd.log" &
memberd_pid=$!
for _ in $(seq 100); do
    grep -qs "listening on" "$work/memberd.log" && break
    sleep 0.1
done
grep -qs "listening on" "$work/memberd.log" || { cat "$work/memberd.log" >&2; exit 1; }

echo "== TLS against clear text (memberd on SQLite, $cards cards, client certificates required)"
"$bench/bench_tls" "$tls_address" "$plain_address" "$work/ca.pem" "$password" "$cards" "$logins" \
    "$connections" "$seconds" "$memberd_pid" "$work/client.pem" "$work/client.key"
