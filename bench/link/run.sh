#!/usr/bin/env bash
# Link benchmarks: starts a throwaway PostgreSQL cluster and memberd (SQLite,
# then PostgreSQL), seeds 10,000 cards and measures
#   - SelectData card-lookup latency through the desk's link client,
#   - lookup throughput with 64 busy connections beside 500 idle ones,
#   - memberd's peak RSS during that,
#   - pgbench -S -c 64 on the same PostgreSQL for comparison.
# Usage: bench/link/run.sh [SECONDS]   (build first: ninja -C build)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
bin="${BENCH_BIN:-$root/build/bin}"
bench="${BENCH_BENCH:-$root/build/bench}"
seconds=${1:-10}
cards=10000
password=benchpw
work=$(mktemp -d /tmp/tolva-bench.XXXXXX)
chmod 755 "$work"
memberd_pid=

cleanup() {
    [ -n "$memberd_pid" ] && kill "$memberd_pid" 2>/dev/null && wait "$memberd_pid" 2>/dev/null || true
    "$root/scripts/pg-cluster" stop "$work/pg" || true
    rm -rf "$work"
}
trap cleanup EXIT

# Whether this memberd has an option (builds from before a change, kept for
# before/after comparisons, lack some). The help is read whole before grep
# looks at it: piped into grep -q, grep would leave at the first match and
# close the pipe, memberd would die of SIGPIPE, and under pipefail the probe
# would then fail at random.
has_option() { # OPTION
    local help
    help=$("$bin/memberd" --help 2>/dev/null) || true
    grep -q -- "$1" <<<"$help"
}

# Builds from before the connection limits lack these options.
limits=()
if has_option --max-pending-per-address; then
    # The load comes from one address, 64 desks logging in at once.
    limits=(--max-pending-per-address 128)
fi

start_memberd() { # ADDRESS CONNSTR
    MEMBERD_PASSWORD=$password "$bin/memberd" --listen "$1" --db "$2" --workers "${MEMBERD_WORKERS:-4}" \
        "${limits[@]}" 2>"$work/memberd-$1.log" &
    memberd_pid=$!
    for _ in $(seq 100); do
        grep -qs "listening on" "$work/memberd-$1.log" && return 0
        sleep 0.1
    done
    cat "$work/memberd-$1.log" >&2
    return 1
}

stop_memberd() {
    kill -TERM "$memberd_pid"
    wait "$memberd_pid" || true
    memberd_pid=
}

peak_rss_mb() { awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$memberd_pid/status"; }

run_backend() { # NAME ADDRESS CONNSTR [SERVING_CONNSTR]
    echo "== memberd on $1"
    "$bench/bench_seed" "$3" "$cards"
    start_memberd "$2" "${4:-$3}"
    "$bench/bench_latency" "$2" "$password" "$cards" 10000
    "$bench/bench_load" "$2" "$password" "$cards" 64 500 "$seconds"
    echo "memberd peak RSS (500 idle + 64 busy connections): $(peak_rss_mb) MB"
    stop_memberd
}

run_backend SQLite 127.0.0.50 "Provider=SQLite;Data Source=$work/member.db"

pg=$("$root/scripts/pg-cluster" start "$work/pg")
port=$(echo "$pg" | sed -n 's/.*Port=\([0-9]*\).*/\1/p')
psql -q -h 127.0.0.1 -p "$port" -U postgres -c "CREATE DATABASE memberbench" postgres
memberdb="${pg/Database=postgres/Database=memberbench}"
serving="$memberdb"
if has_option --db-role; then
    # memberd serves as the role that may only use the member tables.
    "$bin/memberd" --init-db --db "$memberdb" 2>/dev/null
    serving="${memberdb/User ID=postgres/User ID=memberd}"
fi
run_backend PostgreSQL 127.0.0.51 "$memberdb" "$serving"

echo "== pgbench -S -c 64 on the same cluster"
pgbench -q -i -s 1 -h 127.0.0.1 -p "$port" -U postgres postgres >/dev/null 2>&1
pgbench -S -c 64 -j 2 -T "$seconds" -h 127.0.0.1 -p "$port" -U postgres --log --log-prefix="$work/pgb" postgres 2>/dev/null |
    grep -E "^tps" || true
cat "$work"/pgb.* 2>/dev/null | awk '{ print $3 / 1000.0 }' | sort -n |
    awk '{ a[NR] = $1 } END { if (NR) printf "pgbench latency median_ms=%.3f p99_ms=%.3f\n", a[int(NR/2)+1], a[int(NR*0.99)] }'
