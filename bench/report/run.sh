#!/usr/bin/env bash
# The summary report over 100,000 and 1,000,000 card transactions of 30
# stores, on an SQLite file and on a throwaway PostgreSQL cluster: time to
# the first preview page, total time and peak memory of the report.
# ROWS="100000 1000000" and PG=0 (SQLite only) may be set.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build=${BUILD_DIR:-$root/build}
rows=${ROWS:-100000 1000000}

ninja -C "$build" -j2 bench_report >/dev/null
work=$(mktemp -d /tmp/tolva-bench.XXXXXX)
chmod 755 "$work"
cleanup() {
    [ "${PG:-1}" = 0 ] || "$root/scripts/pg-cluster" stop "$work/pg" || true
    rm -rf "$work"
}
trap cleanup EXIT

for n in $rows; do
    "$build/bench/bench_report" "Provider=SQLite;Data Source=$work/report-$n.db" "$n" --seed >/dev/null
    "$build/bench/bench_report" "Provider=SQLite;Data Source=$work/report-$n.db" "$n"
done
if [ "${PG:-1}" != 0 ]; then
    pg=$("$root/scripts/pg-cluster" start "$work/pg")
    for n in $rows; do
        "$build/bench/bench_report" "$pg" "$n" --seed >/dev/null
        "$build/bench/bench_report" "$pg" "$n"
    done
fi
