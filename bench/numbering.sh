#!/usr/bin/env bash
# Running numbers under contention: PROCS processes (default 4) each take CALLS
# numbers (default 1000) of one series with getNoMDB, first on a throwaway
# PostgreSQL cluster, then on an SQLite file. Prints numbers per second and
# fails loudly on any duplicate or gap.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build=${BUILD_DIR:-$root/build}
procs=${PROCS:-4}
calls=${CALLS:-1000}

ninja -C "$build" -j2 bench_numbering >/dev/null

work=$(mktemp -d /tmp/tolva-bench.XXXXXX)
chmod 755 "$work"
cleanup() {
    "$root/scripts/pg-cluster" stop "$work/pg" || true
    rm -rf "$work"
}
trap cleanup EXIT

pg=$("$root/scripts/pg-cluster" start "$work/pg")
status=0
"$build/bench/bench_numbering" "$pg" "$procs" "$calls" || status=1
"$build/bench/bench_numbering" "Provider=SQLite;Data Source=$work/bench.db" "$procs" "$calls" || status=1
if [ "$status" -ne 0 ]; then
    echo "bench/numbering.sh: FAILED (see above)" >&2
fi
exit "$status"
