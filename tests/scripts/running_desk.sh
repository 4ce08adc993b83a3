#!/usr/bin/env bash
# Two real desk processes of one user: a second start with a hand-off passes
# it to the running desk (which takes it at rest) and waits; when the running
# desk dies while it waits, the second start ends with a failure (exit status
# 1 and a reason), the request is not left to open the next start, and the
# next start takes over the dead copy's lock and socket.
#   running_desk.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
work=$(mktemp -d /tmp/tolva-running-desk.XXXXXX)
desk_pid=
second_pid=
cleanup() {
    [ -z "$desk_pid" ] || kill -9 "$desk_pid" 2>/dev/null || true
    [ -z "$second_pid" ] || kill -9 "$second_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" TOLVA_HOME="$work/till"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$TOLVA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$build/bin/TOLVA.INI" "$TOLVA_HOME/"
sqlite3 "$TOLVA_HOME/TOLVA.db" <"$src/db/sqlite.sql"
sqlite3 "$TOLVA_HOME/TOLVA.db" "INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('OPDATE', '$(date +%Y/%m/%d)')"
. "$src/scripts/lib/zel.sh"
. "$src/scripts/lib/pos.sh"
socket="$XDG_RUNTIME_DIR/TOLVA-$(id -u).sock"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# until_true WHAT COMMAND...: waits (at most a minute) until COMMAND succeeds.
until_true() {
    local what=$1
    shift
    for _ in $(seq 600); do
        "$@" && return 0
        sleep 0.1
    done
    fail "$what"
}
request_left() { [ -n "$(ini_get "$ZEL_INI" TOLVA CheckNo)$(ini_get "$ZEL_INI" TOLVA TxnAmt)" ]; }
request_taken() { ! request_left; }

# The running desk (a kiosk's): up and listening for hand-offs.
"$build/bin/TOLVA" >"$work/desk.out" 2>"$work/desk.err" &
desk_pid=$!
until_true "the running desk did not listen: $(cat "$work/desk.err")" test -S "$socket"

# The station's hand-off: the second start passes it on and waits.
pos_hand_off "$build/bin/TOLVA" A0012 500 2 M0001 >"$work/second.out" 2>"$work/second.err" &
second_pid=$!
until_true "the second start did not take the request" request_taken
# The running desk opens it (after its "taken" went out) and writes its log.
took_it() { grep -qs 'CheckNo=A0012' "$TOLVA_HOME/TOLVA.LOG"; }
until_true "the running desk did not take the request: $(cat "$work/desk.err")" took_it
kill -0 "$second_pid" 2>/dev/null || fail "the second start did not wait: $(cat "$work/second.err")"

# The running desk dies while the operator is at it.
kill -9 "$desk_pid"
wait "$desk_pid" 2>/dev/null || true
desk_pid=
status=0
wait "$second_pid" || status=$?
second_pid=
[ "$status" -eq 1 ] || fail "the station read no failure (status $status): $(cat "$work/second.out")"
grep -q 'TOLVA: ' "$work/second.err" || fail "the second start gave no reason: $(cat "$work/second.err")"
request_left && fail "the request was left to open the next start"
[ -z "$(ini_get "$ZEL_INI" TOLVA CheckNoAuth)" ] || fail "an answer was written"

# The next start takes over the dead copy's lock and socket and opens plain.
TOLVA_STARTUP_PROBE=1 timeout 60 "$build/bin/TOLVA" >"$work/next.out" 2>"$work/next.err" ||
    fail "the next start failed: $(cat "$work/next.err")"
grep -q '^ready' "$work/next.out" || fail "the next start did not come up: $(cat "$work/next.out" "$work/next.err")"
echo "running desk: all cases passed"
