# Shared by the package tests: a work folder removed at the end (after the
# commands a test adds to $at_exit), and checks that name what they expected
# when they fail.
work=$(mktemp -d /tmp/tolva-package-test.XXXXXX)
chmod 755 "$work"
at_exit=
trap 'eval "$at_exit"; chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect_line TEXT PATTERN WHAT: some line of TEXT matches the extended regex.
expect_line() {
    grep -Eq -- "$2" <<<"$1" || fail "$3: no line matches '$2' in:"$'\n'"$1"
}

# expect_no_line TEXT PATTERN WHAT: no line of TEXT matches the extended regex.
expect_no_line() {
    if grep -Eq -- "$2" <<<"$1"; then
        fail "$3: unexpected '$(grep -E -- "$2" <<<"$1" | head -1)'"
    fi
}
