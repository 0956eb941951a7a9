# shellcheck shell=bash
# Helpers of the end-to-end cases: start the real ostrel.exe in a folder of
# its own, drive it, look at the screen and at what it wrote. Sourced by
# run_all.sh after wine_env.sh; every wait here has a time limit.
#
# Set by run_all.sh: E2E_DIR (this folder), EXE (ostrel.exe), DRIVER (the
# test driver), MEDIA (the clips), CASE_DIR (the running case's folder),
# BROWSER_LOG (what the stand-in browser was asked to open).

# The player's trace channels for the cases that count blits or volumes:
# every DirectDraw blit and every wave-output call, with times.
TRACE_PLAYBACK="-all,trace+ddraw,trace+winmm,+timestamp"

winpath() { wine_env_winpath "$1"; }

# The test driver; its output with Unix line ends, its status the driver's.
drv() { wine_env_run -t 30 "$DRIVER" "$@"; }

# --- The player --------------------------------------------------------------

# player_prepare NAME: a fresh folder CASE_DIR/NAME holding a copy of
# ostrel.exe (its configuration file will sit beside it); PLAYER_DIR.
player_prepare() {
    PLAYER_DIR="$CASE_DIR/$1"
    rm -rf "$PLAYER_DIR"
    mkdir -p "$PLAYER_DIR" && cp "$EXE" "$PLAYER_DIR/ostrel.exe"
}

# player_launch [ARGS...]: starts PLAYER_DIR/ostrel.exe in the background,
# in its folder, with the trace channels in PLAYER_TRACE (default none)
# and the DLL overrides in PLAYER_OVERRIDES. When it ends its exit status is
# in PLAYER_DIR/status; its trace goes to PLAYER_DIR/trace.log.
player_launch() {
    rm -f "$PLAYER_DIR/status"
    (
        cd "$PLAYER_DIR" || exit 1
        WINEDEBUG="${PLAYER_TRACE:--all}" \
            WINEDLLOVERRIDES="${PLAYER_OVERRIDES:-$WINEDLLOVERRIDES}" \
            timeout -k 5 "${PLAYER_LIMIT:-120}" wine ostrel.exe "$@" \
            >"$PLAYER_DIR/stdout" 2>"$PLAYER_DIR/trace.log"
        echo $? >"$PLAYER_DIR/status"
    ) &
    PLAYER_PID=$!
    CASE_PIDS+=("$PLAYER_PID")
}

# player_run SECONDS [ARGS...]: runs PLAYER_DIR/ostrel.exe to its end in the
# foreground; RUN_STATUS is its exit status (124 if it had to be stopped),
# RUN_MS its run time.
player_run() {
    local limit=$1
    shift
    local start end
    start=$(date +%s%N)
    (
        cd "$PLAYER_DIR" || exit 1
        WINEDEBUG="${PLAYER_TRACE:--all}" timeout -k 5 "$limit" wine ostrel.exe "$@" \
            >"$PLAYER_DIR/stdout" 2>"$PLAYER_DIR/trace.log"
    )
    RUN_STATUS=$?
    end=$(date +%s%N)
    RUN_MS=$(((end - start) / 1000000))
}

# Ends whatever the case left running: the players it started, then any
# window of a player that is still there.
case_cleanup() {
    local pid
    for pid in "${CASE_PIDS[@]}"; do
        kill -0 "$pid" 2>/dev/null && kill_tree "$pid"
    done
    for pid in "${CASE_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    CASE_PIDS=()
    if drv is-window >/dev/null 2>&1; then
        # Something of the player's outlived its process: start the world's
        # Wine server afresh (all Wine programs here are the tests' own).
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
        wineserver -p 60 </dev/null >/dev/null 2>&1
    fi
}

# wait_window [MS]: the player's window appeared; AREA (X Y W H) is its
# client area on the screen.
wait_window() {
    drv wait-window "${1:-30000}" >/dev/null || return 1
    AREA=$(drv client-rect) || return 1
    read -r AREA_X AREA_Y AREA_W AREA_H <<<"$AREA"
}

# Player window's outer rectangle: WIN_L WIN_T WIN_R WIN_B.
read_window_rect() {
    local rect
    rect=$(drv window-rect) || return 1
    read -r WIN_L WIN_T WIN_R WIN_B <<<"$rect"
}

# --- The screen --------------------------------------------------------------

shot() { xwd -root -silent >"$1"; }

frames() { PICTURE_SCALE=gdi "$PYTHON" "$E2E_DIR/../picture.py" "$@"; }

# The rows at the top of the video area where the tool bar shows whenever no
# frame covers it: left out where a changing or resting picture is looked
# for, so that the tool bar's own painting is not taken for one.
TOOLBAR_ROWS=40

# picture_diff A B: "RMS-difference spread" of two shots' video areas below
# the tool bar rows (spread: how far B is from one flat colour).
picture_diff() {
    frames diff "$1" "$2" "$AREA_X" $((AREA_Y + TOOLBAR_ROWS)) "$AREA_W" $((AREA_H - TOOLBAR_ROWS))
}

# wait_still SECONDS: the video area shows a picture (not one flat colour)
# that did not change for a second and a half; STILL_SHOT is it. (Wine's
# MPEG-1 path holds the first frame about 0.75 s while its sound starts.)
wait_still() {
    local tries=$(($1 * 3)) prev="$CASE_DIR/still-a.xwd" cur="$CASE_DIR/still-b.xwd" d spread
    local since=
    shot "$prev"
    while ((tries-- > 0)); do
        sleep 0.25
        shot "$cur"
        read -r d spread < <(picture_diff "$prev" "$cur")
        if [ "$d" = 0.00 ] && [ "${spread%.*}" -ge 20 ]; then
            [ -n "$since" ] || since=$(date +%s%N)
            if (($(date +%s%N) - since >= 1500000000)); then
                STILL_SHOT="$CASE_DIR/still.xwd"
                mv "$cur" "$STILL_SHOT"
                return 0
            fi
        else
            since=
        fi
        mv "$cur" "$prev"
    done
    return 1
}

# moving: two shots of the video area half a second apart differ, and show
# a picture.
moving() {
    local d spread
    shot "$CASE_DIR/move-a.xwd"
    sleep 0.5
    shot "$CASE_DIR/move-b.xwd"
    read -r d spread < <(picture_diff "$CASE_DIR/move-a.xwd" "$CASE_DIR/move-b.xwd")
    [ "$d" != 0.00 ] && [ "${spread%.*}" -ge 20 ]
}

# wait_moving SECONDS: the picture starts to change within that time (the
# first item of a fresh Wine world takes a while: GStreamer scans its
# plugins once).
wait_moving() {
    local deadline=$((SECONDS + $1))
    while ((SECONDS < deadline)); do
        moving && return 0
    done
    return 1
}

# frozen SECONDS: two shots SECONDS apart are the same and show a picture.
frozen() {
    local d spread
    shot "$CASE_DIR/frozen-a.xwd"
    sleep "$1"
    shot "$CASE_DIR/frozen-b.xwd"
    read -r d spread < <(picture_diff "$CASE_DIR/frozen-a.xwd" "$CASE_DIR/frozen-b.xwd")
    [ "$d" = 0.00 ] && [ "${spread%.*}" -ge 20 ]
}

# colour_of SHOT: the name of the flat colour the video area shows below
# the tool bar's rows (black, red, green, blue, magenta), else "mixed".
colour_of() {
    frames colour "$1" "$AREA_X" $((AREA_Y + TOOLBAR_ROWS)) "$AREA_W" $((AREA_H - TOOLBAR_ROWS))
}

# wait_colour NAME SECONDS: the video area turns to that flat colour.
wait_colour() {
    local tries=$(($2 * 4)) seen
    while ((tries-- > 0)); do
        shot "$CASE_DIR/colour.xwd"
        seen=$(colour_of "$CASE_DIR/colour.xwd")
        [ "$seen" = "$1" ] && return 0
        sleep 0.25
    done
    LAST_COLOUR=$seen
    return 1
}

# --- What the player did -------------------------------------------------------

# Every test clip is 320 x 240: a frame lands in this rectangle of the
# off-screen surface and is blitted from there.
VIDEO_RECT="(0,0)-(320,240)"

# Blits of a whole frame from the off-screen surface onto the screen, in
# the player's trace (the surface interface the player itself holds is the
# first version; Wine's inner calls go through later ones).
frame_blits() {
    grep -c "ddraw_surface1_Blt .*src_rect $VIDEO_RECT, flags" "${1:-$PLAYER_DIR/trace.log}"
}

# no_frames SECONDS: no frame is blitted during that time (the screen may
# be repainted black meanwhile, e.g. around a dialog).
no_frames() {
    local before
    before=$(frame_blits)
    sleep "$1"
    [ "$(frame_blits)" = "$before" ]
}

# Seconds from the first to the last frame blit in the trace.
blit_span() {
    grep "ddraw_surface1_Blt .*src_rect $VIDEO_RECT, flags" "${1:-$PLAYER_DIR/trace.log}" |
        awk -F: 'NR == 1 { first = $1 } { last = $1 } END { printf "%.2f\n", last - first }'
}

# The volumes the player wrote to the wave output, in order, one a line.
volumes_set() {
    sed -n 's/.*trace:winmm:waveOutSetVolume ([0-9A-Fa-f]*, \([0-9A-Fa-f]*\)).*/\1/p' \
        "${1:-$PLAYER_DIR/trace.log}"
}

# wait_browser TEXT SECONDS: the stand-in browser was asked to open TEXT.
wait_browser() {
    local tries=$(($2 * 10))
    while ((tries-- > 0)); do
        grep -qxF "$1" "$BROWSER_LOG" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# --- The configuration file ----------------------------------------------------

# check_frame SHOT CLIP N MIN_PSNR: the video area of SHOT shows frame N of
# CLIP (its scrolling band matches frame N best of all the clip's frames),
# with a luma PSNR of at least MIN_PSNR against ffmpeg's decode, and closer
# to frame N than to its neighbours.
check_frame() {
    local report
    report=$(frames identify "$1" "$AREA_X" "$AREA_Y" "$AREA_W" "$AREA_H" "$AREA_Y" "$2" "$3" "$4")
    local status=$?
    note "$(basename "$2") frame $3: $report"
    [ "$status" = 0 ] || fail "$(basename "$2"): frame $3 expected, screen: $report"
}

# --- The scenario table's driver (see ../table.sh) ---------------------------

# Paths in the table are Linux ones: the player is given Wine's.
drv_config() {
    local line
    for line; do
        [[ $line == "FileName /"* ]] && line="FileName $(winpath "${line#FileName }")"
        printf '%s\r\n' "$line"
    done >"$PLAYER_DIR/ostrel.cfg"
}
drv_start() {
    local arg args=()
    for arg; do
        [[ $arg == /* ]] && arg=$(winpath "$arg")
        args+=("$arg")
    done
    player_launch "${args[@]}"
}
drv_window_shown() { drv is-window >/dev/null; }
drv_window_rect() {
    wait_window && read_window_rect && RECT="$WIN_L $WIN_T $((WIN_R - WIN_L)) $((WIN_B - WIN_T))"
}
drv_key() { [ "$1" = Escape ] && drv key 0x1B >/dev/null; }
drv_command() {
    local ids=(Start:40002 Stream:40005 Save:40009 Exit:40016) id
    for id in "${ids[@]}"; do [ "${id%%:*}" = "$1" ] && drv command "${id#*:}" >/dev/null && return; done
    return 1
}
drv_move() { return 1; }
# The client area is the whole window but for the menu bar, which comes with
# the window class in every mode.
drv_borderless() {
    read -r X Y W H <<<"$RECT"
    ((AREA_X == X && AREA_W == W && AREA_Y + AREA_H == Y + H && AREA_Y - Y < 30))
}
drv_stderr() { echo -; }
drv_handover() {
    local first_dir=$PLAYER_DIR arg args=()
    for arg; do
        [[ $arg == /* ]] && arg=$(winpath "$arg")
        args+=("$arg")
    done
    player_prepare "second-$RANDOM"
    player_run 30 "${args[@]}"
    SECOND_STATUS=$RUN_STATUS SECOND_MS=$RUN_MS PLAYER_DIR=$first_dir
}
drv_codec_box() {
    drv find-dialog "Codec problem" 30000 >/dev/null &&
        drv dialog-texts "Codec problem" | grep -q "Codec is not available" &&
        drv is-window >/dev/null && [ ! -s "$PLAYER_DIR/status" ] &&
        drv dialog-command "Codec problem" 1 >/dev/null
}
drv_watch() { PLAYER_TRACE=$TRACE_PLAYBACK; }
# The trace counts the frames blitted; which frames they were is told by
# the one left on the screen.
drv_frames() {
    local blits
    blits=$(frame_blits)
    [ "$blits" = "$3" ] || fail "$blits frames blitted, not $3"
}
drv_span() { blit_span; }
# A start of Wine takes seconds of its own.
HANDOVER_MS=10000

source "$(dirname "${BASH_SOURCE[0]}")/../config_layout.sh"
