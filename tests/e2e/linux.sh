# shellcheck shell=bash
# The Linux build's driver, sourced by run.sh: the real ostrel in a folder of its own on a private Xvfb,
# sound to its null output, driven with xdotool (keys, menu bar clicks, dialog buttons and bars); frames
# that reached the window are noted from the X server's DAMAGE reports.
PLAYER="$BUILD/src/platform/qt/ostrel"
[ -x "$PLAYER" ] || PLAYER="$BUILD/ostrel"
TITLE=" ostrel v2.03" HANDOVER_MS=3000 CASE_LIMIT=${E2E_CASE_LIMIT:-90}
# The dialogs' controls at their templates' places (no window manager frames them):
# "X Y W H" of a bar, "X Y" of a button, the height the player centres the dialog with.
declare -A AT=([position]="15 32 270 16" [volume]="15 105 270 16" ["OK Stream settings"]="254 246"
    ["OK ostrel"]="247 157" ["H Stream settings"]=255 ["H ostrel"]=174)
# The menu bar's commands in their order (their places are measured by drv_setup).
declare -A COMMAND=([Open]=0 [Start]=1 [Pause]=2 [Stop]=3 [Stream]=4 [Save]=5 [About]=6 [Site]=7 [Exit]=8)

drv_setup() {
    [ -x "$PLAYER" ] || { say "no player in $BUILD: build it first (-DOSTREL_QT=ON)"; return 1; }
    "$PY" -c 'import numpy, Xlib.ext.damage' || { say "missing: python3-numpy python3-xlib"; return 1; }
    rm -f "$WORK/display"; Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display" >"$CASE_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$! && within 5 test -s "$WORK/display" && DISPLAY=":$(head -n 1 "$WORK/display")" && export DISPLAY
    unset WAYLAND_DISPLAY XAUTHORITY
    # The idle window measured once: the menu bar's rows and commands (text menu), the tool bar's bottom.
    local menu && MENU_H=0 TOOL_BOTTOM=0
    for menu in text graphic; do
        t_fresh && { [ $menu = graphic ] || drv_config "MenuBar text"; } && t_start && wait_window && sleep 0.5 &&
            drv_shot "$CASE_DIR/$menu.xwd" && drv_key Escape && player_status 10 >/dev/null || break
    done
    end_case
    MENU_H=$(picture layout "$CASE_DIR/text.xwd") TOOL_BOTTOM=$(picture layout "$CASE_DIR/graphic.xwd")
    read -r -a MENU_X < <(picture menu "$CASE_DIR/text.xwd" "$MENU_H")
    say "menu bar $MENU_H rows, commands at ${MENU_X[*]}, tool bar to row $TOOL_BOTTOM"
    ((MENU_H > 5 && TOOL_BOTTOM > MENU_H)) && [ "${#MENU_X[@]}" = 9 ]
}
drv_stop() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" && wait "$XVFB_PID"; }

# A home and a runtime folder of mode 700 (lock and socket) beside the player.
drv_prepare() { VIDEO_TOP=$TOOL_BOTTOM && mkdir -m 700 "$PLAYER_DIR/home" "$PLAYER_DIR/run"; }
drv_config() {
    printf '%s\r\n' "$@" >"$PLAYER_DIR/ostrel.cfg"
    if printf '%s\n' "$@" | grep -qx "MenuBar text"; then VIDEO_TOP=$MENU_H; fi
}
# The player in its folder for PLAYER_LIMIT s (60), a second start for HANDOVER_LIMIT s (20).
run_player() {
    cd "$PLAYER_DIR" && exec env XDG_RUNTIME_DIR="$PLAYER_DIR/run" HOME="$PLAYER_DIR/home" OSTREL_AUDIO_OUT=null OSTREL_NETWORK=offline \
        QT_QPA_PLATFORM=xcb "${LAUNCH_ENV[@]+"${LAUNCH_ENV[@]}"}" timeout -k 3 "${PLAYER_LIMIT:-60}" ./ostrel "$@"
}
second_player() { LAUNCH_ENV=() PLAYER_LIMIT=${HANDOVER_LIMIT:-20} && run_player "$@"; }
drv_stderr() { cat "$PLAYER_DIR/stderr"; }
drv_cleanup() { rm -rf "${OTHER_DIR:-}" && [ -n "${OTHER_MADE:-}" ] && userdel "$OTHER_MADE" >/dev/null 2>&1; }

# titled TITLE: the first visible window of that title (a pattern): FOUND, its place FX FY FW FH.
titled() {
    FOUND=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$FOUND" ] && read -r _ FX FY FW FH _ < <(xdotool getwindowgeometry --shell "$FOUND" | cut -d= -f2 | xargs)
}
wait_window() { within "${1:-15}" titled "$TITLE" && WIN=$FOUND WIN_X=$FX WIN_Y=$FY WIN_W=$FW WIN_H=$FH; }
gone() { ! xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1"; }
drv_window_shown() { titled "$TITLE"; }
drv_window_rect() { wait_window && RECT="$WIN_X $WIN_Y $WIN_W $WIN_H"; }
drv_key() { xdotool windowfocus --sync "$WIN" key "$1" 2>/dev/null; }
drv_command() { [ -n "${COMMAND[$1]:-}" ] && xdotool mousemove $((WIN_X + MENU_X[${COMMAND[$1]}])) $((WIN_Y + MENU_H / 2)) click 1; }
drv_codec_box() {
    within 15 titled "Codec problem" && sleep 0.3 && [ ! -s "$PLAYER_DIR/status" ] &&
        xdotool windowfocus --sync "$FOUND" key Return 2>/dev/null && within 5 gone "$FOUND"
}
# move X Y W H: the window moved and sized so stays so.
t_move() { xdotool windowmove "$WIN" "$1" "$2" && xdotool windowsize "$WIN" "$3" "$4" && sleep 0.5 || fail "cannot move it"; t_window "$@"; }

# --- The screen
drv_shot() { xwd -silent -id "${2:-$WIN}" >"$1"; }
drv_area() { echo 0 "$VIDEO_TOP" "$WIN_W" $((WIN_H - VIDEO_TOP)); }
drv_client() { echo 0 "$MENU_H" "$WIN_W" $((WIN_H - MENU_H)) "$VIDEO_TOP"; }
drv_still() { picture still "$WIN" 0 "$MENU_H" "$WIN_W" $((WIN_H - MENU_H)) "$1" 0.4 "$STILL_SHOT"; }
drv_watch() {
    DAMAGE_LOG="$CASE_DIR/damage.log"
    picture damage "$DAMAGE_LOG" "$MENU_H" & CASE_PIDS+=($!)
    within 5 grep -qs ready "$DAMAGE_LOG"
}
# Frames: drawings as wide as the window down to its bottom from under the tool bar (not the first paint).
drv_count() { wait_window 5 >/dev/null; picture flushes "$DAMAGE_LOG" "$WIN_W" "$WIN_H" "$VIDEO_TOP"; }
# frames CLIP FIRST N: N frames reached the window, frames FIRST on of CLIP in order.
t_frames() {
    local n seen
    read -r n _ < <(drv_count) && [ "$n" = "$3" ] || fail "$n frames reached the window, not $3" || return
    seen=$(picture sequence "$DAMAGE_LOG" "$WIN_W" "$WIN_H" "$VIDEO_TOP" "$@") && note "frames drawn: $seen" ||
        fail "$(basename "$1"): frames drawn were $seen, not $2 to $(($2 + $3 - 1))"
}

# --- The dialogs, opened from the menu bar, centred on the main window.
drv_dialog() {
    within 5 titled "$1" && DLG=$FOUND DLG_X=$FX DLG_Y=$FY DLG_NAME=${1# } || return
    local x=$((WIN_X + (WIN_W - 300) / 2)) y=$((WIN_Y + (WIN_H - ${AT[H $DLG_NAME]}) / 2))
    [ "$DLG_X,$DLG_Y" = "$x,$y" ] && sleep 0.3 || fail "the dialog \"$1\" sits at $DLG_X,$DLG_Y, not at $x,$y"
}
drv_button() { read -r x y <<<"${AT[$1 $DLG_NAME]}" && xdotool mousemove $((DLG_X + x)) $((DLG_Y + y)) click 1; }
drv_gone() { within 3 gone "$DLG"; }
# thumb BAR: the share of the way it stands at: THUMB, its centre THUMB_X, the trough's ends L R.
thumb() {
    read -r BX BY BW BH <<<"${AT[$1]}" && sleep 0.25 && drv_shot "$CASE_DIR/dialog.xwd" "$DLG" &&
        read -r THUMB THUMB_X L R < <(picture thumb "$CASE_DIR/dialog.xwd" "$BX" "$BY" "$BW" "$BH") && [ -n "$R" ]
}
drv_bar() { thumb "$1" && echo "$THUMB"; }
# drag BAR PERCENT: its thumb dragged to that share of the way (0: past the left end).
t_drag() {
    thumb "$1" || fail "cannot find the $1 bar's thumb" || return
    local x=$((DLG_X + BX + THUMB_X)) y=$((DLG_Y + BY + 8)) to=$((DLG_X + BX + L - 40)) step
    (($2 > 0)) && to=$((DLG_X + BX + L + 14 + (R - L - 28) * $2 / 100))
    xdotool mousemove "$x" "$y" mousedown 1
    for step in 1 2 3 4 5 6; do xdotool mousemove $((x + (to - x) * step / 6)) "$y"; sleep 0.05; done
    xdotool mouseup 1
}
# steps BAR N: N clicks on its right arrow.
t_steps() { read -r BX BY BW BH <<<"${AT[$1]}" && xdotool mousemove $((DLG_X + BX + BW - 6)) $((DLG_Y + BY + 8)) click --repeat "$2" --delay 15 1; }
# about_drawn: the about dialog's picture, name, version, notice (dark) and link (blue, underlined) are
# drawn: NAME X Y W H, which measure (1 dark, 2 blue, 3 underline, 4 spread) lies where.
t_about_drawn() {
    local part ink p && sleep 0.25 && drv_shot "$CASE_DIR/about.xwd" "$DLG"
    for part in "picture 18 24 145 112 4 20 255" "name 192 48 82 13 1 0.02 0.6" "version 199 65 24 13 1 0.02 0.6" \
        "notice 18 113 262 13 1 0.02 0.6" "link 7 146 117 13 2 0.05 0.6" "link 7 146 117 13 3 40 999"; do
        read -r -a p <<<"$part" && read -r -a ink < <(picture ink "$CASE_DIR/about.xwd" "${p[@]:1:4}")
        note "${p[0]}: dark, blue, underline, spread: ${ink[*]}"
        between "${ink[p[5] - 1]}" "${p[6]}" "${p[7]}" || fail "the about dialog's ${p[0]} is not drawn" || return
    done
}

# other_user: the single-instance folder is the user's own (mode 700) and holds the socket; another user
# can neither connect to it nor hand over through it: its start runs a player of its own or fails.
t_other_user() {
    local folder="$PLAYER_DIR/run/ostrel" user=ostrel-e2e-other pid status tries=50 socket && socket=$(find "$folder" -maxdepth 1 -type s | head -1)
    [ "$(stat -c '%a %u' "$folder" 2>&1)" = "700 $(id -u)" ] && [ -n "$socket" ] ||
        fail "the single-instance folder is $(stat -c '%a %U' "$folder" 2>&1), not the user's own, mode 700, with a socket" || return
    [ "$(id -u)" = 0 ] || { note "not root: no other user to start the player as"; return 0; }
    id "$user" >/dev/null 2>&1 || { useradd --system --no-create-home --shell /usr/sbin/nologin "$user" && OTHER_MADE=$user; }
    OTHER_DIR=$(mktemp -d /tmp/ostrel-e2e-other.XXXXXX) && chmod 755 "$OTHER_DIR" &&
        cp "$PLAYER" "$MEDIA/solid-blue.avi" "$OTHER_DIR/" && chown -R "$user" "$OTHER_DIR" || fail "cannot prepare $user" || return
    runuser -u "$user" -- "$PY" -c 'import socket, sys; socket.socket(socket.AF_UNIX).connect(sys.argv[1])' "$socket" 2>/dev/null &&
        fail "another user connected to the player's socket" && return
    (cd "$OTHER_DIR" && exec runuser -u "$user" -- env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$PLAYER_DIR/run" HOME="$OTHER_DIR" \
        OSTREL_AUDIO_OUT=null QT_QPA_PLATFORM=xcb timeout -k 2 20 ./ostrel "$OTHER_DIR/solid-blue.avi" >"$OTHER_DIR/out" 2>&1) &
    pid=$! && CASE_PIDS+=("$pid")
    while ((tries-- > 0)) && kill -0 "$pid" 2>/dev/null && (($(xdotool search --onlyvisible --name "^$TITLE\$" | wc -l) < 2)); do sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        ((tries >= 0)) && note "the other user's start opened a player of its own" ||
            fail "the other user's start neither ended nor opened a window of its own" || return
    else
        wait "$pid"; status=$? && note "the other user's start ended with $status: $(head -n 1 "$OTHER_DIR/out")"
        [ "$status" != 0 ] || fail "the other user's start ended with 0, as after a hand-over" || return
    fi
    sleep 1; kill_tree "$pid"; return 0  # it may have ended already
}

# stress SECONDS: with both processors busy, random Pause, Start and Stop, window sizes, seeks from the
# stream settings dialog and hand-overs follow each other, and after each an empty second start gets the
# player's reply within 5 s. E2E_STRESS_SECONDS drives it for another time, E2E_STRESS_SEED replays a run.
t_stress() {
    local seed=${E2E_STRESS_SEED:-$RANDOM} seconds=${E2E_STRESS_SECONDS:-$1} n=0 act="none yet" x HANDOVER_LIMIT=5
    local clips=(clip-mjpeg.avi clip.mpg clip-mpeg4.avi clip-rawvideo.avi halves.avi clip-msmpeg4v2.avi clip.dat)
    local deadline=$((SECONDS + seconds)) && RANDOM=$seed
    note "seed $seed (E2E_STRESS_SEED=$seed replays it), driven for $seconds s"
    PLAYER_LIMIT=$((seconds + 30)) t_start
    for _ in 1 2; do sh -c 'while :; do :; done' & CASE_PIDS+=($!); done
    while ((SECONDS < deadline)); do
        wait_window 5 && n=$((n + 1)) || stuck "no player window after $n actions ($act)" || return
        case $((RANDOM % 6)) in
        0 | 1 | 2) act=$(cut -d' ' -f$((RANDOM % 3 + 1)) <<<"Pause Start Stop") && drv_command "$act" ;;
        3) act="size $((MENU_X[8] + 40 + RANDOM % (1024 - WIN_X - MENU_X[8] - 39))) $((300 + RANDOM % (768 - WIN_Y - 299)))"
            xdotool windowsize "$WIN" ${act#size } ;;
        4) x=$((15 + RANDOM % 270)) act="Stream, a click at $x on the position bar, OK"
            drv_command Stream && drv_dialog " Stream settings" &&
                xdotool mousemove $((DLG_X + x)) $((DLG_Y + 40)) click 1 && drv_button OK && within 5 gone "$DLG" ||
                stuck "$act: the dialog did not open and close within 5 s" || return ;;
        5) act="hand-over of ${clips[RANDOM % 7]}" && second_start "$MEDIA/${act#hand-over of }"
            [ "$SECOND_STATUS" = 0 ] || stuck "$act ended with $SECOND_STATUS after $SECOND_MS ms" || return ;;
        esac
        second_start
        [ "$SECOND_STATUS" = 0 ] && ((SECOND_MS < 5000)) && [ ! -s "$PLAYER_DIR/status" ] ||
            stuck "after action $n ($act) no answer within 5 s (status $SECOND_STATUS, $SECOND_MS ms)" || return
        note "$n: $act, answered in $SECOND_MS ms"
    done
    kill_tree "${CASE_PIDS[-1]}" && kill_tree "${CASE_PIDS[-2]}" && wait_window 5 && drv_key Escape
}
# stuck WHY: fails, keeping the stacks of the player's threads.
stuck() {
    local pid && pid=$(pgrep -P "$(pgrep -P "$PLAYER_PID" | head -1)" | head -1)
    [ -n "$pid" ] && timeout 30 gdb -p "$pid" -batch -ex 'thread apply all bt' >"$CASE_DIR/stacks.txt" 2>&1
    fail "seed $seed: $1 (stderr: $(tail -n 1 "$PLAYER_DIR/stderr"))"
}
