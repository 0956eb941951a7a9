# The configuration file as the player writes it, shared by the Linux and
# Windows end-to-end suites. Needs CASE_DIR and fail (tests/e2e/suite.sh).
CONFIG_GOLDEN="$(cd "$(dirname "${BASH_SOURCE[0]}")/../golden" && pwd)/ostrel.cfg"

# A configuration written by hand, read the way the reader reads it: lines
# it ignores (comments, indented lines, unknown keys, keys in other letter
# cases) are mixed in, and "Yes" is not "yes". Its window is at 150, 120,
# 500 x 400, without a menu bar; Escape writes back (as check_config keys)
# HAND_WRITTEN_WRITES and the placement.
HAND_WRITTEN_CONFIG=(
    "# written by hand"
    "AuthorId     Jane Roe"
    "DiscTitle Night  Birds   "
    "AuthorSite none"
    $'AuthorNet\texample.net'
    "ForceNet yes"
    "Tracking yes"
    "VersionCheck yes"
    "SoundOn Yes"
    "MenuBar none"
    "ReadOnly Yes"
    "fullscreen yes"
    "Undefined 7"
    "  Height 999"
    "XCoord 150"
    "YCoord 120"
    "Width=300"
    "Width 500px"
    "Height 400"
)

# check_config FILE [KEY=VALUE...]: the file holds the bytes of
# tests/golden/ostrel.cfg (what the player writes with its defaults), with
# the values of the KEYs given replaced (a value starts in column 14). The
# golden header line holds a time of its own: the written one must have the
# same text up to " - " and then the current date (or that of an hour ago,
# for a run across midnight) and a time, in the form the golden line shows.
check_config() {
    local file=$1 golden header days
    shift
    golden=$CONFIG_GOLDEN
    [ -f "$file" ] || fail "no configuration file $file" || return
    header=$(head -n 1 "$file")
    days="$(LC_ALL=C date +'%a %b %d')|$(LC_ALL=C date -d '-1 hour' +'%a %b %d')"
    if ! grep -Eq "^$(head -n 1 "$golden" | sed 's/ - .*//; s/\./\\./g') - ($days) [0-2][0-9]:[0-5][0-9]:[0-5][0-9] $(date +%Y)"$'\r$' \
        <<<"$header"; then
        fail "header line of the configuration: $(printf '%q' "$header")"
        return
    fi
    local pair script=(-e "")
    for pair in "$@"; do
        script+=(-e "s/^${pair%%=*} .*\r\$/$(printf '%-13s%s' "${pair%%=*}" "${pair#*=}" | sed 's/[\/&]/\\&/g')\r/")
    done
    tail -n +2 "$golden" | sed "${script[@]}" >"$CASE_DIR/expected.cfg"
    tail -n +2 "$file" >"$CASE_DIR/written.cfg"
    if ! cmp -s "$CASE_DIR/expected.cfg" "$CASE_DIR/written.cfg"; then
        diff <(cat -A "$CASE_DIR/expected.cfg") <(cat -A "$CASE_DIR/written.cfg") >"$CASE_DIR/config.diff"
        fail "configuration differs from the layout: $(grep -m 3 '^[<>]' "$CASE_DIR/config.diff" | tr '\n' ' ')"
        return
    fi
}
HAND_WRITTEN_WRITES=("AuthorId=Jane Roe" "DiscTitle=Night  Birds" AuthorSite=none AuthorNet=example.net ForceNet=yes SoundOn=no)
