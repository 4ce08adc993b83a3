#!/usr/bin/env bash
# Builds both Debian packages from the build tree with CPack and checks their
# control fields, their contents, lintian and the service unit.
#   package_contents.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
. "$(dirname "$0")/common.sh"

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
arch=$(dpkg --print-architecture)
desk="$work/out/tolva_${version}_${arch}.deb"
memberd="$work/out/tolva-memberd_${version}_${arch}.deb"
[ -f "$desk" ] && [ -f "$memberd" ] || fail "packages missing: $(ls "$work/out")"

# Control fields: names, the project's version, Depends from the binaries
# (versioned Qt libraries) plus what Qt loads at run time.
for deb in "$desk" "$memberd"; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb: version is not $version"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$deb: architecture"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "$deb: no maintainer"
done
[ "$(dpkg-deb -f "$desk" Package)" = tolva ] || fail "desk package name"
[ "$(dpkg-deb -f "$memberd" Package)" = tolva-memberd ] || fail "memberd package name"

depends=$(dpkg-deb -f "$desk" Depends | tr ',' '\n' | sed 's/^ *//')
for p in 'libc6 \(>=' 'libqt6widgets6 \(>=' 'libqt6sql6 \(>=' \
    '^libqt6sql6-sqlite$' '^libqt6sql6-psql$' '^qt6-qpa-plugins$' '^qt6-translations-l10n$' \
    '^fonts-wqy-microhei$' '^fonts-arphic-ukai$' '^fonts-arphic-uming$'; do
    expect_line "$depends" "$p" "tolva Depends"
done
depends=$(dpkg-deb -f "$memberd" Depends | tr ',' '\n' | sed 's/^ *//')
for p in 'libc6 \(>=' 'libqt6network6 \(>=' 'libqt6sql6 \(>=' '^libqt6sql6-sqlite$' '^libqt6sql6-psql$'; do
    expect_line "$depends" "$p" "tolva-memberd Depends"
done
# The service has no window: it must not pull in the widget libraries.
expect_no_line "$depends" 'libqt6widgets6|libqt6gui6|fonts-' "tolva-memberd Depends"

# Contents: each package holds its own files and nothing of the other, of the
# tests or of the benchmarks.
files() { dpkg-deb -c "$1" | awk '{ print $1, $6 }'; }
desk_files=$(files "$desk")
memberd_files=$(files "$memberd")
for p in '^-rwxr-xr-x \./usr/lib/tolva/TOLVA$' '^-rwxr-xr-x \./usr/bin/tolva$' '^-rwxr-xr-x \./usr/bin/tolva-kiosk$' \
    ' \./usr/share/tolva/TOLVA\.INI$' ' \./usr/share/tolva/db/sqlite\.sql$' ' \./usr/share/tolva/db/postgresql\.sql$' \
    ' \./usr/share/tolva/db/sqlserver\.sql$' ' \./usr/share/applications/tolva\.desktop$' \
    ' \./usr/share/xsessions/tolva-kiosk\.desktop$' ' \./usr/share/doc/tolva/copyright$' \
    ' \./usr/share/doc/tolva/changelog\.gz$' ' \./usr/share/doc/tolva/deployment\.md$'; do
    expect_line "$desk_files" "$p" "tolva contents"
done
for p in '^-rwxr-xr-x \./usr/sbin/memberd$' '^-rw-r--r-- \./lib/systemd/system/tolva-memberd\.service$' \
    '^-rw------- \./etc/tolva/memberd\.conf$' ' \./usr/share/doc/tolva-memberd/memberd\.md$' \
    ' \./usr/share/doc/tolva-memberd/copyright$'; do
    expect_line "$memberd_files" "$p" "tolva-memberd contents"
done
expect_no_line "$desk_files" 'memberd$|/tst_|bench_|demo-' "tolva contents"
expect_no_line "$memberd_files" 'TOLVA$|/tst_|bench_|demo-|\.desktop$' "tolva-memberd contents"

# The INI is in the sites' code page: its site name is Big5, not UTF-8.
dpkg-deb -x "$desk" "$work/desk"
grep -q "$(printf 'CustName=\xa5\xdc')" "$work/desk/usr/share/tolva/TOLVA.INI" ||
    fail "the packaged TOLVA.INI is not in CP950"

# The menu entry and the session are valid desktop entries.
for entry in usr/share/applications/tolva.desktop usr/share/xsessions/tolva-kiosk.desktop; do
    out=$(desktop-file-validate "$work/desk/$entry" 2>&1) || fail "$entry: $out"
done

# The configuration file survives upgrades as the administrator edited it, and
# the maintainer scripts are there.
dpkg-deb -e "$memberd" "$work/memberd-control"
grep -qx /etc/tolva/memberd.conf "$work/memberd-control/conffiles" || fail "memberd.conf is not a conffile"
for s in postinst prerm postrm; do
    [ -x "$work/memberd-control/$s" ] || fail "tolva-memberd has no $s"
done
dpkg-deb -e "$desk" "$work/desk-control"
[ -x "$work/desk-control/postinst" ] || fail "tolva has no postinst"

# lintian: no errors (warnings are printed, not fatal).
command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup installs it)"
lintian_rc=0
lintian_out=$(lintian --fail-on error --tag-display-limit 0 "$desk" "$memberd" 2>&1) || lintian_rc=$?
[ -n "$lintian_out" ] && echo "$lintian_out"
[ $lintian_rc -eq 0 ] || fail "lintian found errors (or could not run), exit status $lintian_rc"
expect_no_line "$lintian_out" '^E: ' "lintian"

# The packaged configuration as the unit hands it over: the file and the
# password as credentials (the database moved into the work folder).
mkdir -p "$work/memberd-root" "$work/credentials"
dpkg-deb -x "$memberd" "$work/memberd-root"
cp "$work/memberd-root/etc/tolva/memberd.conf" "$work/credentials/"
printf 'secret\n' >"$work/credentials/memberd-password"
chmod 600 "$work/credentials/memberd-password"
program="$work/memberd-root/usr/sbin/memberd"
# The help is read whole first: grep -q on a pipe would close it at the first
# match, and memberd's SIGPIPE would fail the probe under pipefail.
help=$("$program" --help)
if grep -q -- --check-config <<<"$help"; then
    check=$(cd "$work" && CREDENTIALS_DIRECTORY="$work/credentials" "$program" \
        --config "$work/credentials/memberd.conf" --db "Provider=SQLite;Data Source=$work/member.db" \
        --check-config 2>&1) || fail "memberd refuses the packaged configuration: $check"
    [ "$check" = "configuration OK" ] || fail "memberd --check-config: $check"
else
    echo "SKIP configuration check: this memberd has no --check-config"
fi

# The unit as packaged, against this system's own units.
if ! command -v systemd-analyze >/dev/null; then
    echo "SKIP unit check: systemd-analyze is not installed"
    exit 0
fi
mkdir -p "$work/root/lib/systemd"
cp -a /lib/systemd/system "$work/root/lib/systemd/"
dpkg-deb -x "$memberd" "$work/root"
# First a unit that only runs the program: if that fails, the tool cannot
# work in this environment (no usable unit tree, no /proc, ...).
printf '[Service]\nExecStart=/usr/sbin/memberd\n' >"$work/root/lib/systemd/system/tolva-probe.service"
if ! probe=$(systemd-analyze verify --root="$work/root" --man=no tolva-probe.service 2>&1) || [ -n "$probe" ]; then
    echo "SKIP unit check: systemd-analyze verify cannot run here: $probe"
    exit 0
fi
verify=$(systemd-analyze verify --root="$work/root" --man=no tolva-memberd.service 2>&1) ||
    fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify reports: $verify"
echo "PASS"
