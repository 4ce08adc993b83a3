#!/usr/bin/env bash
# The desk started from an installed tree (a DESTDIR install of the package's
# files): the program folder is read-only, the till's data folder named by
# TOLVA_HOME is writable. The desk runs as an unprivileged operator (when this
# runs as root) and quits once its window is up (TOLVA_STARTUP_PROBE=1).
#   installed_desk.sh BUILD_DIR
set -euo pipefail
build=$1
. "$(dirname "$0")/common.sh"

root="$work/root"
for component in desk memberd; do
    DESTDIR="$root" cmake --install "$build" --prefix /usr --component $component >/dev/null
done
chmod -R a-w "$root/usr"
touch "$work/installed"

# The operator: nobody in group nogroup stands in for an account of the group
# tolva; a normal user runs the desk as itself.
as_operator=()
group_folder() { mkdir -p "$1" && chmod 2775 "$1"; }
if [ "$(id -u)" -eq 0 ]; then
    as_operator=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    group_folder() { mkdir -p "$1" && chgrp nogroup "$1" && chmod 2775 "$1"; }
fi
mkdir -p "$work/config" "$work/run"
chmod 777 "$work/config"
chmod 700 "$work/run"
[ "$(id -u)" -eq 0 ] && chown nobody "$work/run"

# start PROGRAM [VAR=VALUE...]: runs the desk to its probe in a clean
# environment; its output is in $work/out and $work/err.
start() {
    local program=$1
    shift
    (cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
        TOLVA_STARTUP_PROBE=1 XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" "$@" \
        timeout 60 "${as_operator[@]}" "$program" >"$work/out" 2>"$work/err")
}

# A till's embedded database as the desk finds it after its first day: the
# packaged schema and a business date (a database without one makes the desk
# ask the operator to confirm the reset date).
seed_database() {
    sqlite3 "$1/TOLVA.db" <"$root/usr/share/tolva/db/sqlite.sql"
    sqlite3 "$1/TOLVA.db" "INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('OPDATE', '$(date +%Y/%m/%d)')"
    chgrp --reference="$1" "$1/TOLVA.db"
    chmod 664 "$1/TOLVA.db"
}

# The desk wrote its store's code row into the database of that folder.
used_database() { [ "$(sqlite3 "$1/TOLVA.db" "SELECT COUNT(*) FROM xxCODE WHERE CodeType = 'TOLVA'")" = 1 ]; }

# The till's folder gets the default INI, and the desk works on the database
# in that folder (as root this runs as an operator who may write it only
# through the folder's group).
group_folder "$work/till"
seed_database "$work/till"
start "$root/usr/bin/tolva" TOLVA_HOME="$work/till" || fail "installed desk: $(cat "$work/err")"
grep -q '^ready' "$work/out" || fail "installed desk did not come up: $(cat "$work/out" "$work/err")"
cmp -s "$work/till/TOLVA.INI" "$root/usr/share/tolva/TOLVA.INI" || fail "the till did not get the default INI"
used_database "$work/till" || fail "the desk did not use the database in the till's folder"
[ -z "$(find "$root" -newer "$work/installed")" ] || fail "the desk wrote into the program folder"

# The installed desk logs in to the installed memberd as it starts (a failed
# log-in would stop it at a message instead of coming up).
# Its address lies in a loopback block of this test's own, claimed the way
# the test programs claim theirs (tests/support/LoopbackBlock.h): an flock on
# /tmp/tolva-loopback-B.lock held until this script ends. memberd gets the
# kernel's SIGKILL should the script die before it stops it.
block=
for b in $(seq 1 254); do
    lock="/tmp/tolva-loopback-$b.lock"
    [ -e "$lock" ] || : >>"$lock" 2>/dev/null || continue
    exec {lock_fd}<"$lock" || continue
    if flock -n "$lock_fd"; then
        block=$b
        break
    fi
    exec {lock_fd}<&-
done
[ -n "$block" ] || fail "no free loopback block in /tmp/tolva-loopback-*.lock"
address=127.$block.0.130
printf 'secret\n' >"$work/memberd-password"
chmod 600 "$work/memberd-password"
setpriv --pdeathsig KILL "$root/usr/sbin/memberd" --listen $address --password-file "$work/memberd-password" \
    --db "Provider=SQLite;Data Source=$work/member.db" 2>"$work/memberd.log" {lock_fd}<&- &
memberd_pid=$!
at_exit="kill $memberd_pid 2>/dev/null || true"
for _ in $(seq 100); do
    grep -qs "listening on" "$work/memberd.log" && break
    sleep 0.1
done
grep -qs "listening on" "$work/memberd.log" || fail "memberd did not start: $(cat "$work/memberd.log")"
printf '[TOLVA]\r\nIP=%s\r\nPWD=secret\r\n' $address >"$work/config/ZELQ.ini"
chmod 600 "$work/config/ZELQ.ini"
[ "$(id -u)" -eq 0 ] && chown nobody "$work/config/ZELQ.ini"
start "$root/usr/bin/tolva" TOLVA_HOME="$work/till" || fail "linked desk: $(cat "$work/err")"
grep -q '^ready' "$work/out" || fail "linked desk did not come up: $(cat "$work/out" "$work/err")"
grep -q "logged in" "$work/memberd.log" || fail "the desk did not log in: $(cat "$work/memberd.log")"
kill -TERM $memberd_pid
wait $memberd_pid || fail "memberd did not stop cleanly: $(cat "$work/memberd.log")"
rm "$work/config/ZELQ.ini"

# A relative TOLVA_HOME names a folder below the directory the desk starts in.
group_folder "$work/second"
seed_database "$work/second"
start "$root/usr/bin/tolva" TOLVA_HOME=second || fail "relative TOLVA_HOME: $(cat "$work/err")"
used_database "$work/second" || fail "relative TOLVA_HOME: the database in $work/second was not used"

# A folder the operator cannot write: a clear refusal, nothing created.
mkdir -p "$work/locked"
chmod 555 "$work/locked"
if start "$root/usr/bin/tolva" TOLVA_HOME="$work/locked"; then
    fail "the desk started on a folder it cannot write"
fi
grep -q 'tolva 群組' "$work/err" || fail "no reason given for the unwritable folder: $(cat "$work/err")"
[ -z "$(ls -A "$work/locked")" ] || fail "files created in the unwritable folder"

# A build-folder run, without TOLVA_HOME, keeps everything beside the program.
group_folder "$work/bin"
seed_database "$work/bin"
cp "$build/bin/TOLVA" "$root/usr/share/tolva/TOLVA.INI" "$work/bin/"
start "$work/bin/TOLVA" || fail "build-folder desk: $(cat "$work/err")"
grep -q '^ready' "$work/out" || fail "build-folder desk did not come up: $(cat "$work/out" "$work/err")"
used_database "$work/bin" || fail "build-folder desk: the database beside the program was not used"
echo "PASS"
