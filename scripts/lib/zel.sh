# The per-user settings store from bash, with the locking protocol of
# docs/pos-integration.md: an exclusive flock on FILE.lock, the new content
# written to a temporary file in the same folder and renamed over FILE.
#   ini_get  FILE SECTION KEY            prints the value (nothing when missing)
#   ini_edit FILE SECTION KEY [VALUE]    sets the key; without VALUE deletes it
# Section and key names are compared without letter case.
ZEL_DIR=${XDG_CONFIG_HOME:-$HOME/.config}
ZEL_INI=$ZEL_DIR/ZEL.ini
ZELQ_INI=$ZEL_DIR/ZELQ.ini

_ini_awk_common='
    function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
    function header(line,   t) {
        t = trim(line)
        if (t ~ /^\[.*\]$/) return trim(substr(t, 2, length(t) - 2))
        return ""
    }
    function keyof(line,   eq) {
        eq = index(line, "=")
        if (eq <= 1 || trim(line) ~ /^;/) return ""
        return trim(substr(line, 1, eq - 1))
    }
'

ini_get() {
    [ -f "$1" ] || return 0
    INI_SEC=$2 INI_KEY=$3 awk "$_ini_awk_common"'
        BEGIN { sec = tolower(ENVIRON["INI_SEC"]); key = tolower(ENVIRON["INI_KEY"]) }
        { sub(/\r$/, "") }
        header($0) != "" { insec = (tolower(header($0)) == sec); next }
        insec && tolower(keyof($0)) == key { print substr($0, index($0, "=") + 1); exit }
    ' "$1"
}

ini_edit() {
    local file=$1 mode=set value=${4-} dir tmp
    [ $# -ge 4 ] || mode=delete
    value=${value//$'\r'/ }
    value=${value//$'\n'/ }
    dir=$(dirname "$file")
    mkdir -p "$dir" || return 1
    (
        flock -x 9 || exit 1
        tmp=$(mktemp "$dir/.ini.XXXXXX") || exit 1
        { [ ! -f "$file" ] || cat "$file"; } |
            INI_SEC=$2 INI_KEY=$3 INI_VAL=$value INI_MODE=$mode awk "$_ini_awk_common"'
                BEGIN {
                    sec = ENVIRON["INI_SEC"]; key = ENVIRON["INI_KEY"]
                    val = ENVIRON["INI_VAL"]; set = (ENVIRON["INI_MODE"] == "set")
                }
                { sub(/\r$/, "") }
                header($0) != "" {
                    if (set && insec && !done) { print key "=" val; done = 1 }
                    insec = (tolower(header($0)) == tolower(sec))
                    print; next
                }
                insec && tolower(keyof($0)) == tolower(key) {
                    if (set && !done) { print key "=" val; done = 1 }
                    next
                }
                { print }
                END {
                    if (set && !done) {
                        if (!insec) { if (NR > 0) print ""; print "[" sec "]" }
                        print key "=" val
                    }
                }
            ' >"$tmp" && mv -f "$tmp" "$file" || { rm -f "$tmp"; exit 1; }
    ) 9>"$file.lock"
}
