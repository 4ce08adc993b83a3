#!/usr/bin/env bash
# Link benchmarks: starts a throwaway PostgreSQL cluster and memberd (SQLite,
# then PostgreSQL), seeds 10,000 cards and measures
#   - SelectData card-lookup latency through the desk's link client,
#   - lookup throughput with 64 busy connections beside 500 idle ones,
#   - memberd's peak RSS during that,
#   - pgbench -S -c 64 on the same PostgreSQL for comparison,
#   - the CPU time each process on a path spends per request (client,
#     memberd, PostgreSQL; pgbench and PostgreSQL on the direct path), from
#     /proc while the load runs, and the ratio of the two paths. CPU per
#     request does not depend on what else the machine is doing; requests per
#     second and latency do, so quote those from a quiet machine,
#   - the same load against bench_floor, a server that only reads each request
#     and writes a fixed reply on memberd's threading: what the socket work
#     alone costs a server on this machine, the floor under memberd's figure.
# With BENCH_TLS=1, tls.sh follows: TLS against clear text (handshake cost per
# log-in, lookup throughput) in the same run.
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
floor_pid=

cleanup() {
    [ -n "$floor_pid" ] && kill "$floor_pid" 2>/dev/null || true
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

ticks=$(getconf CLK_TCK)
# CPU time (user + system, in microseconds) of process PID and its threads;
# with "all", that of the children it has waited for too.
proc_cpu_us() { # PID [all]
    awk -v t="$ticks" -v all="${2:-}" '{ sub(/^.*\) /, ""); n = $12 + $13; if (all) n += $14 + $15; printf "%.0f", n * 1e6 / t }' \
        "/proc/$1/stat" 2>/dev/null || echo 0
}
# The PostgreSQL cluster's CPU time: the postmaster with the backends that
# have ended, and those still running.
pg_cpu_us() {
    [ -f "$work/pg/data/postmaster.pid" ] || { echo 0; return; }
    local pm sum child
    pm=$(head -n 1 "$work/pg/data/postmaster.pid")
    sum=$(proc_cpu_us "$pm" all)
    for child in $(pgrep -P "$pm"); do
        sum=$((sum + $(proc_cpu_us "$child")))
    done
    echo "$sum"
}
# CPU time of this shell's children that have ended (bash's times builtin,
# run in this shell itself: in a subshell it would count the subshell's).
children_cpu_us() {
    times >"$work/times"
    tail -n 1 "$work/times" |
        awk '{ n = 0; for (i = 1; i <= 2; i++) { split($i, a, "m"); sub("s", "", a[2]); n += a[1] * 60 + a[2] } printf "%.0f", n * 1e6 }'
}
per_request() { awk -v us="$1" -v n="$2" 'BEGIN { printf "%.1f", (n > 0 ? us / n : 0) }'; }
memberd_path_us=
pgbench_path_us=

peak_rss_mb() { awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$memberd_pid/status"; }

run_backend() { # NAME ADDRESS CONNSTR [SERVING_CONNSTR]
    echo "== memberd on $1"
    "$bench/bench_seed" "$3" "$cards"
    start_memberd "$2" "${4:-$3}"
    "$bench/bench_latency" "$2" "$password" "$cards" 10000
    local c0 m0 p0 out requests client daemon database
    children_cpu_us >"$work/c0"; c0=$(<"$work/c0")
    m0=$(proc_cpu_us "$memberd_pid")
    p0=$(pg_cpu_us)
    out=$("$bench/bench_load" "$2" "$password" "$cards" 64 500 "$seconds")
    echo "$out"
    requests=$(sed -n 's/.*requests=\([0-9]*\).*/\1/p' <<<"$out")
    children_cpu_us >"$work/c1"; client=$(($(<"$work/c1") - c0))
    daemon=$(($(proc_cpu_us "$memberd_pid") - m0))
    database=$(($(pg_cpu_us) - p0))
    echo "memberd peak RSS (500 idle + 64 busy connections): $(peak_rss_mb) MB"
    echo "CPU per lookup (us): client $(per_request "$client" "$requests")" \
        "memberd $(per_request "$daemon" "$requests")" \
        "database $(per_request "$database" "$requests")" \
        "all $(per_request $((client + daemon + database)) "$requests")"
    [ "$1" = PostgreSQL ] && memberd_path_us=$(per_request $((client + daemon + database)) "$requests")
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

if [ -x "$bench/bench_floor" ]; then
    echo "== socket floor: a server that only reads and answers, ${MEMBERD_WORKERS:-4} threads"
    "$bench/bench_floor" 127.0.0.52 "${MEMBERD_WORKERS:-4}" >"$work/floor.log" &
    floor_pid=$!
    for _ in $(seq 50); do
        grep -qs "listening on" "$work/floor.log" && break
        sleep 0.1
    done
    f0=$(proc_cpu_us "$floor_pid")
    out=$("$bench/bench_load" 127.0.0.52 "$password" "$cards" 64 500 "$seconds")
    floor_us=$(($(proc_cpu_us "$floor_pid") - f0))
    kill "$floor_pid"
    wait "$floor_pid" 2>/dev/null || true
    floor_pid=
    echo "$out"
    echo "CPU per request (us): server $(per_request "$floor_us" "$(sed -n 's/.*requests=\([0-9]*\).*/\1/p' <<<"$out")")"
fi

echo "== pgbench -S -c 64 on the same cluster"
pgbench -q -i -s 1 -h 127.0.0.1 -p "$port" -U postgres postgres >/dev/null 2>&1
children_cpu_us >"$work/c0"; c0=$(<"$work/c0")
p0=$(pg_cpu_us)
out=$(pgbench -S -c 64 -j 2 -T "$seconds" -h 127.0.0.1 -p "$port" -U postgres --log --log-prefix="$work/pgb" postgres 2>/dev/null) || true
children_cpu_us >"$work/c1"; client=$(($(<"$work/c1") - c0))
database=$(($(pg_cpu_us) - p0))
grep -E "^tps" <<<"$out" || true
txns=$(sed -n 's/^number of transactions actually processed: \([0-9]*\).*/\1/p' <<<"$out")
cat "$work"/pgb.* 2>/dev/null | awk '{ print $3 / 1000.0 }' | sort -n |
    awk '{ a[NR] = $1 } END { if (NR) printf "pgbench latency median_ms=%.3f p99_ms=%.3f\n", a[int(NR/2)+1], a[int(NR*0.99)] }'
pgbench_path_us=$(per_request $((client + database)) "${txns:-0}")
echo "CPU per lookup (us): pgbench $(per_request "$client" "${txns:-0}") database $(per_request "$database" "${txns:-0}") all $pgbench_path_us"
echo "== CPU per lookup, memberd path / direct path: $memberd_path_us / $pgbench_path_us us =" \
    "$(awk -v a="$memberd_path_us" -v b="$pgbench_path_us" 'BEGIN { printf "%.2fx", (b > 0 ? a / b : 0) }')"

if [ "${BENCH_TLS:-0}" = 1 ]; then
    "$root/bench/link/tls.sh" "$seconds"
fi
