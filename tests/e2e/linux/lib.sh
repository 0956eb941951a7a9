# Helpers of the Linux end-to-end cases: start the real ostrel in a folder of
# its own, find its windows, drive it with xdotool, look at the screen and at
# what it wrote. Sourced by run_all.sh; every wait here has a time limit.
#
# Set by run_all.sh: E2E_DIR (this folder), PLAYER (the built ostrel), PY (a
# Python 3 with numpy and Xlib), MEDIA (the clips), CASE_DIR (the running
# case's folder), DISPLAY (the suite's Xvfb), and from the idle windows the
# suite measured first: MENU_H (rows of the menu bar), TOOL_BOTTOM (first
# row under the tool bar), MENU_X (x centres of the nine menu commands).

TITLE=" ostrel v2.03"

screen() { "$PY" "$E2E_DIR/../picture.py" "$@"; }

# --- The player --------------------------------------------------------------

# player_prepare NAME [CONFIG-LINE...]: a fresh folder CASE_DIR/NAME holding
# a copy of the player, its configuration file when lines are given (CR LF
# line ends), a private runtime folder (mode 700: the single-instance lock
# and socket live there) and a home. Sets PLAYER_DIR and PLAYER_RUNTIME, and
# VIDEO_TOP, the first row of the window the video can be seen on (under
# the tool bar, which the player makes unless the menu bar is text).
player_prepare() {
    PLAYER_DIR="$CASE_DIR/$1"
    shift
    rm -rf "$PLAYER_DIR"
    mkdir -p "$PLAYER_DIR/home" "$PLAYER_DIR/run" && chmod 700 "$PLAYER_DIR/run" &&
        cp "$PLAYER" "$PLAYER_DIR/ostrel" || return 1
    PLAYER_RUNTIME="$PLAYER_DIR/run"
    VIDEO_TOP=$TOOL_BOTTOM
    if [ $# -gt 0 ]; then
        printf '%s\r\n' "$@" >"$PLAYER_DIR/ostrel.cfg"
        printf '%s\n' "$@" | grep -qx "MenuBar text" && VIDEO_TOP=$MENU_H
    fi
    return 0
}

# player_launch [ARGS...]: starts PLAYER_DIR/ostrel in the background, in
# its folder, with audio to OSTREL_AUDIO_OUT (default null) and the runtime
# folder PLAYER_RUNTIME. Its exit status goes to PLAYER_DIR/status, its
# output to PLAYER_DIR/stdout and stderr; PLAYER_PID is the wrapper's pid.
player_launch() {
    rm -f "$PLAYER_DIR/status"
    (
        cd "$PLAYER_DIR" || exit 1
        env XDG_RUNTIME_DIR="$PLAYER_RUNTIME" HOME="$PLAYER_DIR/home" \
            OSTREL_AUDIO_OUT="${AUDIO_OUT:-null}" OSTREL_NETWORK=offline QT_QPA_PLATFORM=xcb \
            "${LAUNCH_ENV[@]+"${LAUNCH_ENV[@]}"}" timeout -k 3 "${PLAYER_LIMIT:-60}" ./ostrel "$@" >"$PLAYER_DIR/stdout" 2>"$PLAYER_DIR/stderr"
        echo $? >"$PLAYER_DIR/status.part"
        mv "$PLAYER_DIR/status.part" "$PLAYER_DIR/status"
    ) &
    PLAYER_PID=$!
    CASE_PIDS+=("$PLAYER_PID")
}

# The player process itself (the wrapper's grandchild), once it runs.
player_process() {
    local timeout_pid
    timeout_pid=$(pgrep -P "$PLAYER_PID" 2>/dev/null | head -1)
    [ -n "$timeout_pid" ] && pgrep -P "$timeout_pid" 2>/dev/null | head -1
}

# player_alive: the player launched last still runs.
player_alive() { [ ! -e "$PLAYER_DIR/status" ] && kill -0 "$PLAYER_PID" 2>/dev/null; }

# find_windows TITLE: ids of the visible windows with exactly that title.
find_windows() {
    local pattern
    pattern="^$(printf '%s' "$1" | sed 's/[][\.*^$()+?{}|]/\\&/g')\$"
    xdotool search --onlyvisible --name "$pattern" 2>/dev/null
}

# wait_titled TITLE SECONDS: the first visible window with that title; its
# id in FOUND and its place in FOUND_X FOUND_Y FOUND_W FOUND_H.
wait_titled() {
    local tries=$(($2 * 10)) geometry
    FOUND=
    while ((tries-- > 0)); do
        FOUND=$(find_windows "$1" | head -1)
        [ -n "$FOUND" ] && break
        sleep 0.1
    done
    [ -n "$FOUND" ] || return 1
    geometry=$(xdotool getwindowgeometry --shell "$FOUND") || return 1
    FOUND_X=$(sed -n 's/^X=//p' <<<"$geometry")
    FOUND_Y=$(sed -n 's/^Y=//p' <<<"$geometry")
    FOUND_W=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
    FOUND_H=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
}

# wait_window [SECONDS]: the player's main window appeared: WIN, its place
# WIN_X WIN_Y WIN_W WIN_H, and its client area in window coordinates
# AREA="0 MENU_H WIN_W (WIN_H - MENU_H)".
wait_window() {
    wait_titled "$TITLE" "${1:-15}" || return 1
    WIN=$FOUND WIN_X=$FOUND_X WIN_Y=$FOUND_Y WIN_W=$FOUND_W WIN_H=$FOUND_H
    AREA="0 $MENU_H $WIN_W $((WIN_H - MENU_H))"
}

# wait_gone WINDOW SECONDS: the window is no longer shown.
wait_gone() {
    local tries=$(($2 * 10))
    while ((tries-- > 0)); do
        xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    return 1
}

# --- Driving it ------------------------------------------------------------------

# press_escape: Escape in the main window, as the user types it.
press_escape() {
    xdotool windowfocus --sync "$WIN" key Escape 2>/dev/null || true
}

# menu_command NAME: clicks that command of the menu bar.
menu_command() {
    local names=(Open Start Pause Stop Stream Save About Site Exit) i
    for i in "${!names[@]}"; do
        if [ "${names[$i]}" = "$1" ]; then
            xdotool mousemove "$((WIN_X + MENU_X[i]))" "$((WIN_Y + MENU_H / 2))" click 1
            return
        fi
    done
    return 1
}

# click_in WINDOW_X WINDOW_Y X Y: a left click at X, Y of a window at
# WINDOW_X, WINDOW_Y on the screen.
click_in() {
    xdotool mousemove "$(($1 + $3))" "$(($2 + $4))" click 1
}

# drag_in WINDOW_X WINDOW_Y X1 Y1 X2: presses the left button at X1, Y1 of
# the window, moves it to X2 on the same row in a few steps, releases it.
drag_in() {
    local x=$(($1 + $3)) y=$(($2 + $4)) to=$(($1 + $5)) step
    xdotool mousemove "$x" "$y" mousedown 1
    for step in 1 2 3 4 5 6; do
        xdotool mousemove "$((x + (to - x) * step / 6))" "$y"
        sleep 0.05
    done
    xdotool mouseup 1
}

# --- The screen ------------------------------------------------------------------

# shot OUT [WINDOW]: a dump of the player's window (or another one).
shot() { xwd -silent -id "${2:-$WIN}" >"$1"; }

# wait_still SECONDS: the video area stood still for 0.4 s; STILL_SHOT.
wait_still() {
    STILL_SHOT="$CASE_DIR/still-$(date +%s%N).xwd"
    # shellcheck disable=SC2086
    screen still "$WIN" $AREA "$1" "$STILL_SHOT"
}

# check_frame SHOT CLIP N MIN_PSNR: the video area of SHOT shows frame N.
check_frame() {
    local report
    # shellcheck disable=SC2086
    report=$(screen identify "$1" $AREA "$VIDEO_TOP" "$2" "$3" "$4")
    local status=$?
    note "$(basename "$2") frame $3: $report"
    [ "$status" = 0 ] || fail "$(basename "$2"): frame $3 expected, screen: $report"
}

# colour_now: the flat colour the video area shows now (or "mixed").
colour_now() {
    local file="$CASE_DIR/colour.xwd"
    shot "$file" 2>/dev/null || { echo gone; return; }
    # shellcheck disable=SC2086
    screen colour "$file" 0 "$VIDEO_TOP" "$WIN_W" "$((WIN_H - VIDEO_TOP))"
}

# wait_colour NAME SECONDS: the video area turns to that flat colour
# within SECONDS (a decimal number); LAST_COLOUR is what it showed last.
wait_colour() {
    local until seen
    until=$(($(date +%s%N) + $(awk -v s="$2" 'BEGIN { printf "%d", s * 1000 }') * 1000000))
    while :; do
        seen=$(colour_now)
        [ "$seen" = "$1" ] && return 0
        (($(date +%s%N) < until)) || break
        sleep 0.05
    done
    LAST_COLOUR=$seen
    return 1
}

# --- Frames that reached the window ----------------------------------------------

# damage_start: from now on every drawing on every new window is noted
# (the X server's DAMAGE reports), and each frame's band rows read back,
# until damage_stop.
damage_start() {
    DAMAGE_LOG="$CASE_DIR/damage-$(date +%s%N).log"
    "$PY" "$E2E_DIR/../picture.py" damage "$DAMAGE_LOG" "$MENU_H" &
    DAMAGE_PID=$!
    CASE_PIDS+=("$DAMAGE_PID")
    local tries=50
    while ((tries-- > 0)); do
        grep -q ready "$DAMAGE_LOG" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

damage_stop() {
    [ -n "${DAMAGE_PID:-}" ] && kill "$DAMAGE_PID" 2>/dev/null && wait "$DAMAGE_PID" 2>/dev/null
    DAMAGE_PID=
}

# count_frames: SHOWN, the pictures the player put on its video area so far
# (each frame is one; the first paint of the window is not counted), and
# FIRST_FRAME_AT and LAST_FRAME_AT, when the first and the last came
# (seconds since the epoch).
count_frames() {
    read -r SHOWN FIRST_FRAME_AT LAST_FRAME_AT < <(screen flushes "$DAMAGE_LOG" "$WIN_W" "$WIN_H" "$VIDEO_TOP")
}

# check_sequence CLIP FIRST COUNT: the frames drawn were frames FIRST,
# FIRST + 1, ... of CLIP, COUNT of them, none left out, none twice.
check_sequence() {
    local seen
    seen=$(screen sequence "$DAMAGE_LOG" "$1" "$2" "$3")
    local status=$?
    note "$(basename "$1") frames drawn: $seen"
    [ "$status" = 0 ] || fail "$(basename "$1"): frames drawn were $seen, not $2 to $(($2 + $3 - 1))"
}

# --- The scenario table's driver (see ../table.sh) --------------------------------

drv_config() {
    printf '%s\r\n' "$@" >"$PLAYER_DIR/ostrel.cfg"
    printf '%s\n' "$@" | grep -qx "MenuBar text" && VIDEO_TOP=$MENU_H
    return 0
}
drv_start() { player_launch "$@"; }
drv_window_shown() { [ -n "$(find_windows "$TITLE")" ]; }
drv_window_rect() { wait_window && RECT="$WIN_X $WIN_Y $WIN_W $WIN_H"; }
drv_key() { xdotool windowfocus --sync "$WIN" key "$1" 2>/dev/null; }
drv_command() { menu_command "$1"; }
drv_move() { xdotool windowmove "$WIN" "$1" "$2" && xdotool windowsize "$WIN" "$3" "$4" && sleep 0.5; }
drv_borderless() { return 1; }
drv_stderr() { cat "$PLAYER_DIR/stderr"; }
drv_handover() { second_start 20 "$@"; }
drv_watch() { damage_start; }
drv_frames() {
    count_frames
    [ "$SHOWN" = "$3" ] || fail "$SHOWN frames reached the window, not $3" || return
    check_sequence "$@"
}
drv_span() { awk -v a="$FIRST_FRAME_AT" -v b="$LAST_FRAME_AT" 'BEGIN { printf "%.2f\n", b - a }'; }
drv_codec_box() {
    wait_titled "Codec problem" 15 && sleep 0.3 && player_alive &&
        xdotool windowfocus --sync "$FOUND" key Return 2>/dev/null && wait_gone "$FOUND" 5
}
HANDOVER_MS=3000

# --- The configuration file ----------------------------------------------------

source "$(dirname "${BASH_SOURCE[0]}")/../config_layout.sh"

# Ends whatever the case left running.
case_cleanup() {
    local pid
    damage_stop
    for pid in "${CASE_PIDS[@]}"; do
        kill -0 "$pid" 2>/dev/null && kill_tree "$pid"
    done
    for pid in "${CASE_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    CASE_PIDS=()
}
