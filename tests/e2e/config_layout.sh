# The configuration file as the player writes it, shared by the Linux and
# Windows end-to-end suites. Needs CASE_DIR and fail (tests/e2e/suite.sh).

# One key of the written file: its comment, a blank line, the key and its
# value starting in column 14, a blank line.
_config_entry() {
    printf '%s\r\n\r\n%s%*s%s\r\n\r\n' "$1" "$2" "$3" "" "$4"
}

# A configuration written by hand, read the way the reader reads it: lines
# it ignores (comments, indented lines, unknown keys, keys in other letter
# cases) are mixed in, and "Yes" is not "yes". Its window is at 150, 120,
# 500 x 400, without a menu bar; Escape writes back "Jane Roe",
# "Night  Birds", none, example.net, yes, yes, no, none, no.
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

# expected_config AUTHOR_ID DISC_TITLE AUTHOR_SITE AUTHOR_NET FORCE_NET
#   TRACKING SOUND_ON MENU_BAR READ_ONLY X Y WIDTH HEIGHT
# The file the player writes, header line left out (it holds the time).
expected_config() {
    printf '# --\r\n\r\n'
    _config_entry "# Author ID" AuthorId 5 "$1"
    _config_entry "# Disc Title" DiscTitle 4 "$2"
    _config_entry "# Author Site" AuthorSite 3 "$3"
    _config_entry "# Host Network" AuthorNet 4 "$4"
    _config_entry "# Enforce internet connection ( yes/no)" ForceNet 5 "$5"
    _config_entry "# Tracking activation ( yes/no)" Tracking 5 "$6"
    _config_entry "# Intro sound activation ( yes/no)" SoundOn 6 "$7"
    _config_entry "# Menu bar activation ( text/graphic/none)" MenuBar 6 "$8"
    _config_entry "# Read only configuration ( yes/no)" ReadOnly 5 "$9"
    _config_entry '# Input file name ( set to "none" for no file input)' FileName 5 none
    _config_entry "# Play in full screen mode ( yes/no)" FullScreen 3 no
    _config_entry "# X-coordinate of left window corner in pixels" XCoord 7 "${10}"
    _config_entry "# Y-coordinate of left window corner in pixels" YCoord 7 "${11}"
    _config_entry "# Window width in pixels" Width 8 "${12}"
    _config_entry "# Window height in pixels" Height 7 "${13}"
    printf '# --\r\n# End of configuration file'
}

# check_config FILE EXPECTED-ARGS...: the file is the expected layout, its
# first line the header with today's date and a time.
check_config() {
    local file=$1
    shift
    [ -f "$file" ] || fail "no configuration file $file" || return
    local header days
    header=$(head -n 1 "$file")
    days="$(LC_ALL=C date +'%a %b %d')|$(LC_ALL=C date -d '-1 hour' +'%a %b %d')"
    if ! grep -Eq "^# ostrel v2\.03 configuration - ($days) [0-2][0-9]:[0-5][0-9]:[0-5][0-9] $(date +%Y)"$'\r$' \
        <<<"$header"; then
        fail "header line of the configuration: $(printf '%q' "$header")"
        return
    fi
    expected_config "$@" >"$CASE_DIR/expected.cfg"
    tail -n +2 "$file" >"$CASE_DIR/written.cfg"
    if ! cmp -s "$CASE_DIR/expected.cfg" "$CASE_DIR/written.cfg"; then
        diff <(cat -A "$CASE_DIR/expected.cfg") <(cat -A "$CASE_DIR/written.cfg") >"$CASE_DIR/config.diff"
        fail "configuration differs from the layout: $(grep -m 3 '^[<>]' "$CASE_DIR/config.diff" | tr '\n' ' ')"
        return
    fi
}
