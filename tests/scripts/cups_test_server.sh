#!/usr/bin/env bash
# The private print server of the tests and the demo lets nobody but its owner
# in: another user cannot reach its socket, and a link placed in its output
# folder is never written through. Run as root, the other user is "nobody".
set -euo pipefail
script=${1:?path of scripts/cups-test-server}
[ -x /usr/sbin/cupsd ] || { echo "cupsd is not installed: skipped"; exit 77; }

work=$(mktemp -d /tmp/tolva-cups-guard.XXXXXX)
trap '"$script" stop "$work/c" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "FAIL: $*"; exit 1; }

sock=$("$script" start "$work/c") || { echo "the print server does not start here: skipped"; exit 77; }

mode=$(stat -c %a "$work/c/run")
[ "$mode" = 700 ] || fail "the socket folder is $mode, not 700"
[ "$(stat -c %a "$work/c/out")" = 755 ] || fail "the output folder may be written by others"

if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1; then
    if runuser -u nobody -- env CUPS_SERVER="$sock" LC_ALL=C lpstat -r 2>/dev/null | grep -qx "scheduler is running"; then
        fail "another user reaches the scheduler"
    fi
fi

# A file of the owner's and links to it (and to a name that does not exist)
# where the backend writes the first job.
echo "owner's secret" >"$work/victim"
chmod 600 "$work/victim"
ln -s "$work/victim" "$work/c/out/job-1.tmp"
ln -s "$work/victim-new" "$work/c/out/job-1.pdf"
printf 'hello\n' >"$work/page.txt"
CUPS_SERVER="$sock" lp -d PDF "$work/page.txt" >/dev/null
for _ in $(seq 300); do
    [ -f "$work/c/out/job-1.pdf" ] && [ ! -L "$work/c/out/job-1.pdf" ] && break
    sleep 0.1
done
[ -f "$work/c/out/job-1.pdf" ] && [ ! -L "$work/c/out/job-1.pdf" ] || fail "the job was not written (see $work/c/log)"
[ "$(cat "$work/victim")" = "owner's secret" ] || fail "the backend wrote through a link"
[ ! -e "$work/victim-new" ] || fail "the backend created a file through a link"
