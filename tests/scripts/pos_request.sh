#!/usr/bin/env bash
# The POS station's side of a hand-off in bash (scripts/lib/pos.sh, what
# scripts/pos-request runs): an answer is printed, a desk that crashed or
# could not start is told apart from a cancel, and a busy desk is reported.
#   pos_request.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
work=$(mktemp -d /tmp/tolva-pos-request.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
. "$src/scripts/lib/zel.sh"
. "$src/scripts/lib/pos.sh"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# run DESK: the hand-off of bill A0012, 500 deducted from M0001, with DESK.
run() {
    status=0
    out=$(pos_hand_off "$1" A0012 500 2 M0001 2>"$work/err") || status=$?
    err=$(cat "$work/err")
}

request_left() {
    local key
    for key in CheckNo TxnAmt TxnType CustNo; do
        [ -z "$(ini_get "$ZEL_INI" TOLVA "$key")" ] || return 0
    done
    return 1
}

fake() { # fake NAME BODY: a desk program that runs BODY
    printf '#!/usr/bin/env bash\nset -e\n. "%s"\n%s\n' "$src/scripts/lib/zel.sh" "$2" >"$work/$1"
    chmod +x "$work/$1"
}

# A desk that aborts: non-zero, the signal named, the request withdrawn.
fake aborts 'kill -ABRT $$'
run "$work/aborts"
[ "$status" -eq 1 ] || fail "aborted desk: status $status, output: $out"
grep -q 'SIGABRT' <<<"$err" || fail "aborted desk: reason not named: $err"
[ -z "$out" ] || fail "aborted desk: answers printed as if cancelled: $out"
request_left && fail "aborted desk: the request is left for the next start"

# The real desk without a display aborts before it opens a window.
fake nodisplay "exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '$build/bin/TOLVA'"
run "$work/nodisplay"
[ "$status" -eq 1 ] || fail "desk without display: status $status, output: $out"
grep -q 'pos-request: the desk' <<<"$err" || fail "desk without display: no reason given: $err"
request_left && fail "desk without display: the request is left for the next start"

# A desk that cannot start at all (exit status 1, as the installed wrapper).
fake refuses 'exit 1'
run "$work/refuses"
[ "$status" -eq 1 ] || fail "refusing desk: status $status"
grep -q 'exit status 1' <<<"$err" || fail "refusing desk: reason not named: $err"

# A confirmed transaction: the answer keys printed, status 0.
fake confirms 'ini_edit "$ZEL_INI" TOLVA CheckNoAuth "$(ini_get "$ZEL_INI" TOLVA CheckNo)"
ini_edit "$ZEL_INI" TOLVA TxnAmtAuth 500'
run "$work/confirms"
[ "$status" -eq 0 ] || fail "confirmed: status $status: $err"
[ "$out" = $'CheckNoAuth=A0012\nTxnAmtAuth=500' ] || fail "confirmed: printed $out"

# A cancel: empty answers, status 0; the answer of the earlier run is not read.
fake cancels 'for k in CheckNo TxnAmt TxnType CustNo; do ini_edit "$ZEL_INI" TOLVA $k; done'
run "$work/cancels"
[ "$status" -eq 0 ] || fail "cancelled: status $status: $err"
[ "$out" = $'CheckNoAuth=\nTxnAmtAuth=' ] || fail "cancelled: printed $out"

# A running desk in the middle of another transaction: Busy, status 3.
fake busy 'ini_edit "$ZEL_INI" TOLVA Busy 1'
run "$work/busy"
[ "$status" -eq 3 ] || fail "busy: status $status"
grep -q '^Busy=1$' <<<"$out" || fail "busy: printed $out"
# The station's own id goes with the request when given, and an id left by an
# earlier request never goes with one handed over without it.
fake echoes 'ini_edit "$ZEL_INI" TOLVA CheckNoAuth "id:$(ini_get "$ZEL_INI" TOLVA TxnID)"
ini_edit "$ZEL_INI" TOLVA TxnAmtAuth 500'
status=0
out=$(pos_hand_off "$work/echoes" A0012 500 2 M0001 WS01-77 2>"$work/err") || status=$?
[ "$status" -eq 0 ] && grep -q '^CheckNoAuth=id:WS01-77$' <<<"$out" || fail "TxnID not handed over: $out"
run "$work/echoes"
grep -q '^CheckNoAuth=id:$' <<<"$out" || fail "an earlier TxnID went with a request without one: $out"
echo "pos-request: all cases passed"
