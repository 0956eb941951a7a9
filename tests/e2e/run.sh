#!/usr/bin/env bash
# End-to-end tests of a real build (on a private Xvfb: linux.sh; under Wine: windows.sh):
#   tests/e2e/run.sh linux|windows BUILD_DIR [CASE (a name or its beginning)...]
# runs the rows of cases.txt that name the build. Clips live in E2E_MEDIA (BUILD_DIR/e2e-media),
# the cases' folders (player, shots, notes, why) and the world in E2E_WORK (BUILD_DIR/e2e-BUILD);
# E2E_VERBOSE=1 prints the notes; a case is stopped after E2E_CASE_LIMIT s. Prints "PASS name" or
# "FAIL name: why", then "N passed, M failed"; exit 1 when a case failed, 2 when the world did not come up.
set -u
E2E=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$E2E/../.." && pwd)
E2E_BUILD=${1:-}
[[ $E2E_BUILD == linux || $E2E_BUILD == windows ]] && [ -d "${2:-}" ] ||
    { echo "usage: tests/e2e/run.sh linux|windows BUILD_DIR [CASE...]"; exit 2; }
BUILD=$(cd "$2" && pwd)
shift 2
ONLY="^($(IFS='|' && echo "$*"))"
WORK=${E2E_WORK:-$BUILD/e2e-$E2E_BUILD}
MEDIA=${E2E_MEDIA:-$BUILD/e2e-media}
# The system's Python (numpy, Xlib): a version manager's shim costs a second a start.
PY=/usr/bin/python3
GOLDEN="$ROOT/tests/golden/ostrel.cfg"
started=$(date +%s) CASE_PIDS=()

say() { printf '%s\n' "$*"; }
note() { printf '%s\n' "$*" >>"$CASE_DIR/notes"; }
# The first reason a case fails for; the runner prints it.
fail() { [ -s "$CASE_DIR/why" ] || printf '%s\n' "$*" >"$CASE_DIR/why"; return 1; }
picture() { "$PY" "$E2E/picture.py" "$@"; }
between() { awk -v v="$1" -v a="$2" -v b="$3" 'BEGIN { exit !(v >= a && v <= b) }'; }
kill_tree() { local c; for c in $(pgrep -P "$1"); do kill_tree "$c"; done; kill -9 "$1" 2>/dev/null; }
# within SECONDS COMMAND...: the command succeeds before that time is up, tried every tenth of a second.
within() {
    local end && end=$(date -d "+$1 seconds" +%s%N) && shift
    until "$@"; do (($(date +%s%N) < end)) || return 1; sleep 0.1; done
}
# player_status SECONDS: the player's exit status once it ended (status 1 while it runs).
player_status() { within "$1" test -s "$PLAYER_DIR/status" && cat "$PLAYER_DIR/status"; }
# end_case: what the case started is stopped, then the driver's own leftovers.
end_case() {
    local pid
    for pid in "${CASE_PIDS[@]}"; do kill -0 "$pid" 2>/dev/null && kill_tree "$pid"; done
    for pid in "${CASE_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    CASE_PIDS=() && drv_cleanup
}

. "$E2E/$E2E_BUILD.sh"
mkdir -p "$WORK" "$MEDIA" || exit 2
WORK=$(cd "$WORK" && pwd)

# --- The clips: the project's test media and the runner's own: flat colours tell items apart on
# the screen (2 s each), halves is red for 3 s then blue for 3, long is a 12 s test pattern.
"$ROOT/tools/make_test_media.sh" "$MEDIA" >/dev/null || { say "cannot make the test media"; exit 2; }
clip() {
    [ -s "$MEDIA/$1" ] && [ "$MEDIA/$1" -nt "$E2E/run.sh" ] && return 0
    ffmpeg -nostdin -v error -y -f lavfi -i "$3" -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=$2" \
        -map 0:v -map 1:a -c:v mjpeg -pix_fmt yuvj420p -q:v 3 -c:a pcm_s16le -ac 1 -threads 1 \
        "$MEDIA/.part-$1" && mv -f "$MEDIA/.part-$1" "$MEDIA/$1"
}
for c in red:EB1010 green:10C810 blue:1010EB magenta:C02080; do clip "solid-${c%:*}.avi" 2 "color=c=0x${c#*:}:s=320x240:r=25:d=2"; done &&
    clip halves.avi 6 "color=c=0xEB1010:s=320x240:r=25:d=3[a];color=c=0x1010EB:s=320x240:r=25:d=3[b];[a][b]concat=n=2:v=1:a=0" &&
    clip long.avi 12 "testsrc=size=320x240:r=25:d=12" || { say "cannot make the clips"; exit 2; }

# --- The steps of cases.txt, made of what the driver gives: drv_setup, drv_stop, drv_cleanup (the world up
# and down, a case's leftovers); drv_prepare, drv_config LINE... (what PLAYER_DIR needs beside the player, its
# file); run_player, second_player ARGS... (the player in the foreground, a second start); drv_window_shown,
# drv_window_rect (waits; RECT "X Y W H"); drv_key NAME, drv_command NAME, drv_codec_box, drv_stderr ("-":
# none to read); drv_shot FILE, drv_area (the video area), drv_client (the client area, its first row under
# the tool bar); drv_still SECONDS (at rest in STILL_SHOT); drv_watch, drv_count ("COUNT SPAN" drawn from the
# next start on), t_frames CLIP FIRST N (which); drv_dialog TITLE, drv_button NAME, drv_gone, drv_bar NAME.
t_fresh() {
    LAUNCH_ENV=() MARK=0 PLAYER_DIR="$CASE_DIR/player" && rm -rf "$PLAYER_DIR" && mkdir -p "$PLAYER_DIR" &&
        cp "$PLAYER" "$PLAYER_DIR/" && drv_prepare || fail "cannot prepare the player"
}
t_env() { LAUNCH_ENV+=("$@"); }
t_given() {
    drv_config "$@" || fail "cannot write the configuration" || return
    cp -p "$PLAYER_DIR/ostrel.cfg" "$CASE_DIR/original.cfg" && STAMP=$(stat -c %Y.%s.%i "$PLAYER_DIR/ostrel.cfg") && sleep 1
}
# ended_alone STATUS: the player ends by itself with STATUS within 30 s, no window ever showed.
ended_alone() {
    local seen="" status t0=$SECONDS
    while [ ! -s "$PLAYER_DIR/status" ] && ((SECONDS - t0 < 30)); do drv_window_shown && seen=yes; sleep 0.1; done
    status=$(player_status 1) && [ "$status" = "$1" ] || fail "exit status ${status:-none after 30 s}, not $1" || return
    [ -z "$seen" ] || fail "a player window showed"
}
# refused TEXT...: the start ends with 1, leaves the configuration as it was (or writes none), says each TEXT on one line.
t_refused() { ended_alone 1 || return; if [ -e "$CASE_DIR/original.cfg" ]; then t_unchanged; else t_nothing_written; fi && t_says "$@"; }
# alone STATUS: a lone sound took its 2 s at least, then the player ended with STATUS.
t_alone() {
    local t0=$SECONDS && ended_alone "$1" || return
    note "the sound run took $((SECONDS - t0)) s" && ((SECONDS - t0 >= 2)) || fail "the player ended before the sound could have been played"
}
# says TEXT...: standard error is one line holding each TEXT; silent: it is empty.
t_silent() { local s; s=$(drv_stderr); [ "$s" = - ] || [ -z "$s" ] || fail "a normal end printed: $s"; }
t_says() {
    local said text && said=$(drv_stderr)
    [ "$said" = - ] && return 0
    [ "$(wc -l <<<"$said")" = 1 ] || fail "standard error holds more than one line: ${said//$'\n'/|}" || return
    for text; do grep -qF -- "$text" <<<"$said" || fail "standard error does not say \"$text\": $said" || return; done
}
t_folder() { mkdir -p "$PLAYER_DIR/$1"; }
t_junk() { head -c 4000 /dev/urandom >"$PLAYER_DIR/$1"; }
t_codec_box() { drv_codec_box || fail "no \"Codec problem\" message answered while the player ran"; }
t_nothing_written() { [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "a configuration was written"; }
t_window() { drv_window_rect || fail "no player window" || return; [ $# = 0 ] || [ "$RECT" = "$*" ] || fail "the window is at $RECT, not at $*"; }
t_running() { drv_window_shown && [ ! -s "$PLAYER_DIR/status" ] || fail "the player ended"; }
t_still() { STILL_SHOT="$CASE_DIR/still.xwd" && drv_window_rect && drv_still "${1:-20}" || fail "the picture did not come to rest"; }
t_key() { drv_key "$1" || fail "cannot press $1"; }
t_command() { drv_command "$1" || fail "cannot give the command $1" || return; sleep 0.5; }
# start ARGS...: the player in the background; PLAYER_DIR/status gets its exit status.
t_start() {
    rm -f "$PLAYER_DIR/status"
    ( (run_player "$@") >"$PLAYER_DIR/stdout" 2>"$PLAYER_DIR/stderr"
        echo $? >"$PLAYER_DIR/status.part" && mv "$PLAYER_DIR/status.part" "$PLAYER_DIR/status") &
    PLAYER_PID=$! && CASE_PIDS+=("$PLAYER_PID")
}
# second_start ARGS...: SECOND_STATUS and SECOND_MS of a second start.
second_start() {
    local t0=${EPOCHREALTIME/[.,]/}
    (second_player "$@") >/dev/null 2>"$CASE_DIR/second.stderr"
    SECOND_STATUS=$? SECOND_MS=$(((${EPOCHREALTIME/[.,]/} - t0) / 1000))
}
# handover [ARGS...]: a second start hands ARGS over and ends with 0 within HANDOVER_MS.
t_handover() {
    second_start "$@" && note "a second start took $SECOND_MS ms"
    [ "$SECOND_STATUS" = 0 ] && ((SECOND_MS < HANDOVER_MS)) || fail "the second start ended with $SECOND_STATUS after $SECOND_MS ms"
}
colour_now() { drv_shot "$CASE_DIR/colour.xwd" && picture colour "$CASE_DIR/colour.xwd" $(drv_area); }
colour_is() { SEEN=$(colour_now) && [ "$SEEN" = "$1" ]; }
# colour NAME [SECONDS]: the video area turns to that flat colour.
t_colour() {
    drv_window_rect || fail "no player window" || return
    within "${2:-8}" colour_is "$1" || fail "the screen shows ${SEEN:-nothing}, not $1"
}
# colours NAME...: the flat colours the video area takes, each once, until it rests on the last a second.
t_colours() {
    local seen last="" quiet=0 tries=150 sequence="" && drv_window_rect || fail "no player window" || return
    while ((tries-- > 0)); do
        seen=$(colour_now)
        case $seen in "$last" | mixed | black) quiet=$((quiet + 1)) ;; *) sequence="$sequence $seen" last=$seen quiet=0 ;; esac
        [ "$last" = "${!#}" ] && ((quiet >= 6)) && break
        sleep 0.1
    done
    note "colours:$sequence" && [ "$sequence" = " $*" ] || fail "the items showed as:$sequence"
}
# moving [SECONDS]: within that time two dumps half a second apart differ and show a picture.
moved() {
    drv_shot "$CASE_DIR/a.xwd" && sleep 0.5 && drv_shot "$CASE_DIR/b.xwd" &&
        picture moved "$CASE_DIR/a.xwd" "$CASE_DIR/b.xwd" $(drv_area)
}
t_moving() {
    drv_window_rect || fail "no player window" || return
    within "${1:-5}" moved || fail "the picture does not move"
}
t_watch() { drv_watch || fail "cannot watch the window's drawing"; }
# mark: frames drawn from now on are counted by shown; held SECONDS: none come meanwhile.
t_mark() { read -r MARK _ < <(drv_count); }
t_held() {
    local a b && read -r a _ < <(drv_count) && sleep "$1" && read -r b _ < <(drv_count)
    [ "$a" = "$b" ] || fail "$((b - a)) frames came in $1 s while the stream should stand"
}
# shown LOW [HIGH]: LOW to HIGH frames were drawn since the start (or mark), no more half a second later.
t_shown() {
    local n deadline=$((SECONDS + 6))
    while read -r n _ < <(drv_count) && ((n - MARK < $1 && SECONDS < deadline)); do sleep 0.1; done
    sleep 0.5 && read -r n _ < <(drv_count)
    note "frames drawn: $((n - MARK))"
    ((n - MARK >= $1 && n - MARK <= ${2:-$1})) || fail "$((n - MARK)) frames drawn, not $1${2:+ to $2}"
}
# frame CLIP N MIN_PSNR: the picture comes to rest on frame N of CLIP.
t_frame() {
    local report status && t_still 25 || return
    report=$(picture identify "$STILL_SHOT" $(drv_client) "$1" "$2" "$3")
    status=$? && note "$(basename "$1") frame $2: $report"
    [ "$status" = 0 ] || fail "$(basename "$1"): frame $2 expected, screen: $report"
}
# paced LOW HIGH: the first frame drawn to the last took LOW to HIGH seconds.
t_paced() {
    local span && read -r _ span < <(drv_count) && note "frames drawn over $span s"
    between "$span" "$1" "$2" || fail "the frames took $span s, not $1 to $2"
}
t_wait() { sleep "$1"; }
t_ends() { local status && status=$(player_status 15) && [ "$status" = "$1" ] || fail "exit status ${status:-none after 15 s}, not $1"; }
t_dialog() { drv_dialog "$1" || fail "the dialog \"$1\" did not show"; }
t_button() { drv_button "$1" || fail "cannot press $1"; sleep 0.2; }
t_gone() { drv_gone || fail "the dialog did not close"; }
# bar NAME LOW HIGH: the dialog's bar stands LOW to HIGH of its way.
t_bar() {
    local at && at=$(drv_bar "$1") && note "$1 bar at $at" || fail "cannot read the $1 bar" || return
    between "$at" "$2" "$3" || fail "the $1 bar stands at $at, not $2 to $3"
}
t_unchanged() {
    cmp -s "$CASE_DIR/original.cfg" "$PLAYER_DIR/ostrel.cfg" || fail "the configuration was changed" || return
    [ "$STAMP" = "$(stat -c %Y.%s.%i "$PLAYER_DIR/ostrel.cfg")" ] || fail "the configuration was written again"
}
# nothing_beside: the player left no file of its own but the configuration.
t_nothing_beside() {
    local left && left=$(find "$PLAYER_DIR" -mindepth 1 -maxdepth 1 ! -name 'ostrel*' ! -name home ! -name run \
        ! -name status ! -name stdout ! -name stderr ! -name trace.log -printf '%f ')
    [ -z "$left" ] || fail "files left beside the configuration: $left" || return
    [ ! -e "$PLAYER_DIR/ostrel.cfg.new" ] || fail "a temporary file was left beside the configuration"
}
# config [KEY=VALUE...]: the file holds the bytes of tests/golden/ostrel.cfg (the defaults) with those values
# (from column 14), its header naming today (or an hour ago, across midnight) and a time as the golden one does.
t_config() {
    local file="$PLAYER_DIR/ostrel.cfg" pair script=(-e "1s/ - .*/ - (today)\r/") day
    [ -f "$file" ] || fail "no configuration file" || return
    day="($(LC_ALL=C date +'%a %b %d')|$(LC_ALL=C date -d '-1 hour' +'%a %b %d'))"
    for pair; do
        script+=(-e "s/^${pair%%=*} .*\r\$/$(printf '%-13s%s' "${pair%%=*}" "${pair#*=}" | sed 's/[\/&]/\\&/g')\r/")
    done
    diff -a <(sed -E "${script[@]}" "$GOLDEN") >"$CASE_DIR/config.diff" \
        <(sed -E "1s/ - $day [0-2][0-9]:[0-5][0-9]:[0-5][0-9] $(date +%Y)\r\$/ - (today)\r/" "$file") ||
        fail "configuration differs from the layout: $(grep -m 3 '^[<>]' "$CASE_DIR/config.diff" | cat -A | tr '\n' ' ')"
}

# --- The world, and its end whatever way the run ends.
running_case="" CASE_DIR="$WORK/setup"
trap '[ -n "$running_case" ] && kill_tree "$running_case"; drv_stop >/dev/null 2>&1' EXIT
trap 'exit 130' INT TERM
rm -rf "$CASE_DIR" && mkdir -p "$CASE_DIR"
drv_setup || { say "the $E2E_BUILD world did not come up (see $CASE_DIR)"; exit 2; }

# --- The table: each row naming this build becomes case_NAME, its steps t_NAME.
names=() passed=0 failed=0
while IFS= read -r line; do
    [[ $line =~ ^([a-z0-9_]+)\ +([a-z,]+)\ *\|(.*)$ && ",${BASH_REMATCH[2]}," == *",$E2E_BUILD,"* ]] || continue
    name=${BASH_REMATCH[1]} steps=$(sed -E 's/(^|&&)[[:space:]]*([a-z_]+)/\1 t_\2/g' <<<"${BASH_REMATCH[3]}")
    [[ $name =~ $ONLY ]] && eval "case_$name() { t_fresh && $steps; }" && names+=("$name")
done <"$E2E/cases.txt"

say "$E2E_BUILD end-to-end tests of $BUILD (setup $(($(date +%s) - started)) s)"
for name in "${names[@]}"; do
    CASE_DIR="$WORK/cases/$name" limit=$CASE_LIMIT t0=$(date +%s)
    rm -rf "$CASE_DIR" && mkdir -p "$CASE_DIR"
    [[ $name == stress* ]] && limit=$((CASE_LIMIT + ${E2E_STRESS_SECONDS:-120}))
    ( trap end_case EXIT; "case_$name" ) >"$CASE_DIR/log" 2>&1 &
    running_case=$!
    while kill -0 "$running_case" 2>/dev/null && (($(date +%s) - t0 < limit)); do sleep 0.2; done
    kill -0 "$running_case" 2>/dev/null && kill_tree "$running_case" && fail "still running after $limit s"
    wait "$running_case"
    status=$? running_case="" took="$(($(date +%s) - t0)) s"
    end_case >/dev/null 2>&1
    [ "$status" = 0 ] || fail "ended with status $status (see $CASE_DIR/log)"
    if [ -s "$CASE_DIR/why" ]; then
        failed=$((failed + 1)) && say "FAIL $name: $(head -n 1 "$CASE_DIR/why") ($took)"
    else
        passed=$((passed + 1)) && say "PASS $name ($took)"
    fi
    [ -n "${E2E_VERBOSE:-}" ] && [ -s "$CASE_DIR/notes" ] && sed 's/^/    /' "$CASE_DIR/notes"
done
say "run took $(($(date +%s) - started)) s"
say "$passed passed, $failed failed"
[ "$failed" = 0 ]
