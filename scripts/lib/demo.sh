# Shared by scripts/run and scripts/pos-request: the demo's folders, its
# member-data service and its databases. Source it; it expects $root.
demo="$root/build/demo"
bin="$root/build/bin"
export XDG_CONFIG_HOME="$demo/config"
memberd_pid=
cups_owned=

# The demo's own settings store, databases and password; created once, so
# balances changed in one run are still there at the next.
demo_prepare() {
    mkdir -p "$demo" "$XDG_CONFIG_HOME"
    [ -f "$demo/memberd.password" ] || printf 'demo\n' >"$demo/memberd.password"
    if [ ! -f "$demo/member.db" ]; then
        "$bin/memberd" --init-db --db "Provider=SQLite;Data Source=$demo/member.db" >/dev/null 2>&1
        sqlite3 "$demo/member.db" <"$root/db/demo-member.sql"
    fi
    if [ ! -f "$bin/TOLVA.db" ]; then
        sqlite3 "$bin/TOLVA.db" <"$root/db/sqlite.sql"
        sqlite3 "$bin/TOLVA.db" <"$root/db/demo-store.sql"
    fi
    # shellcheck source=scripts/lib/zel.sh
    . "$root/scripts/lib/zel.sh"
    ini_edit "$ZELQ_INI" TOLVA IP 127.0.0.1
    ini_edit "$ZELQ_INI" TOLVA PWD demo
    # The bill printer of the summary report: the demo's own PDF queue.
    ini_edit "$ZEL_INI" KP CPrinter PDF
    # The order-ticket, bar and kitchen printers of tolva-print: the same queue.
    ini_edit "$ZEL_INI" KP OPrinter PDF
    ini_edit "$ZEL_INI" KP BPrinter PDF
    ini_edit "$ZEL_INI" KP KPrinter PDF
}

# A private print system with the queue "PDF"; printed reports land in
# build/demo/cups/out as job-N.pdf. Without cupsd the demo runs without it.
# One that is running already (the desk's, while scripts/pos-print runs) is
# used as it is and left running.
cups_start() {
    local socket pidfile="$demo/cups/run/cupsd.pid"
    if ! { [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; }; then
        cups_owned=1
    fi
    if socket=$("$root/scripts/cups-test-server" start "$demo/cups" 2>>"$demo/cups.log"); then
        export CUPS_SERVER="$socket"
        echo "demo: printer PDF writes to $demo/cups/out" >&2
    else
        echo "demo: no print system (see $demo/cups.log); reports can be previewed, not printed" >&2
    fi
}

cups_stop() {
    [ -n "$cups_owned" ] || return 0
    "$root/scripts/cups-test-server" stop "$demo/cups" 2>/dev/null || true
}

memberd_start() {
    if (exec 3<>/dev/tcp/127.0.0.1/3501) 2>/dev/null; then
        echo "demo: something already listens on 127.0.0.1:3501; using it" >&2
        return 0
    fi
    "$bin/memberd" --listen 127.0.0.1 --port 3501 --password-file "$demo/memberd.password" \
        --db "Provider=SQLite;Data Source=$demo/member.db" 2>>"$demo/memberd.log" &
    memberd_pid=$!
    for _ in $(seq 50); do
        (exec 3<>/dev/tcp/127.0.0.1/3501) 2>/dev/null && return 0
        sleep 0.1
    done
    echo "demo: memberd did not start; see $demo/memberd.log" >&2
    return 1
}

memberd_stop() {
    if [ -n "$memberd_pid" ]; then
        kill -TERM "$memberd_pid" 2>/dev/null || true
        wait "$memberd_pid" 2>/dev/null || true
        memberd_pid=
    fi
}
