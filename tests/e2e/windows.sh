# shellcheck shell=bash
# The Windows build's driver, sourced by run.sh: ostrel.exe under Wine in a private world (prefix, home,
# PulseAudio null sink, Xvfb, no window manager), driven by driver.cpp, seen through Wine's traces
# (DirectDraw blits, wave-output volumes) and screen dumps. Wine facts it rests on: dialogs do not show
# in root dumps and the client area is black (tool bar on top) while one is open, so dialogs are read
# through their controls and frames counted in the trace; the tool bar shows before the first frame, so
# its rows are left out; MPEG-1 holds its first frame ~0.75 s while its sound starts, so a picture rests
# after 1.5 s unchanged; InetIsOffline always says online (offline.c stands in for url.dll); web
# addresses go to a stand-in browser (WineBrowser\Browsers) that notes them.
# shellcheck source=../../scripts/wine-world.sh
source "$E2E/../../scripts/wine-world.sh"
PLAYER="$BUILD/ostrel.exe" TOOLS="$WORK/tools" HANDOVER_MS=10000 CASE_LIMIT=${E2E_CASE_LIMIT:-120} TOOLBAR_ROWS=40
TRACE="-all,trace+ddraw,trace+winmm,+timestamp"
export PICTURE_SCALE=gdi
declare -A ID=([Open]=40001 [Start]=40002 [Pause]=40003 [Stop]=40004 [Stream]=40005 [Save]=40009 [About]=40010
    [Site]=40015 [Exit]=40016 [OK]=1 [Cancel]=2 [prev]=40006 [next]=40007 [position]=40017 [volume]=40018)

drv_setup() {
    [ -f "$PLAYER" ] || { say "no $PLAYER: build the Windows player first"; return 1; }
    mkdir -p "$TOOLS" "$WORK/home" || return
    if [ ! "$TOOLS/driver.exe" -nt "$E2E/driver.cpp" ] || [ ! "$TOOLS/url.dll" -nt "$E2E/offline.c" ]; then
        x86_64-w64-mingw32-g++ -std=c++20 -O1 -Wall -Wextra -Werror -static -o "$TOOLS/driver.exe" \
            "$E2E/driver.cpp" -lshell32 && x86_64-w64-mingw32-gcc -shared -O1 -Wall -Werror \
            -o "$TOOLS/url.dll" "$E2E/offline.c" || { say "cannot build the driver"; return 1; }
    fi
    export HOME="$WORK/home"
    unset DBUS_SESSION_BUS_ADDRESS XAUTHORITY DISPLAY
    wine_sound "$WORK/xdg" "$CASE_DIR" && PULSE_PID=$WINE_SOUND_PID || return
    wine_screen "$WORK" "$CASE_DIR" && XVFB_PID=$WINE_SCREEN_PID || return
    # Without a window manager, Managed=N saves a 2 s stall at every window's close.
    wine_prefix "$WORK/prefix" "$CASE_DIR" &&
        wine_reg "$CASE_DIR" 'HKCU\Software\Wine\X11 Driver' Managed N || return
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$WORK/browser.log" >"$WORK/browser.sh" && chmod +x "$WORK/browser.sh"
    wine_reg "$CASE_DIR" 'HKCU\Software\Wine\WineBrowser' Browsers "$WORK/browser.sh" || return
    wineserver -p 60 </dev/null >/dev/null 2>&1 || true # one server for all the cases' programs
}
drv_stop() { wineserver -k; wineserver -w; kill "$XVFB_PID" "$PULSE_PID" && wait "$XVFB_PID" "$PULSE_PID"; }

drv() { timeout -k 5 30 wine "$TOOLS/driver.exe" "$@" 2>/dev/null | sed -u 's/\r$//'; return "${PIPESTATUS[0]}"; }
winargs() { local a; ARGS=(); for a; do [[ $a == /* ]] && a=$(winpath "$a"); ARGS+=("$a"); done; }

# A folder for second starts (Wine starts take a second or more).
drv_prepare() {
    PLAYER_TRACE=-all OVERRIDES=$WINEDLLOVERRIDES && : >"$WORK/browser.log"
    rm -rf "$CASE_DIR/second" && mkdir -p "$CASE_DIR/second" && cp "$PLAYER" "$CASE_DIR/second/"
}
drv_config() {
    local l && for l; do [[ $l == "FileName /"* ]] && l="FileName $(winpath "${l#FileName }")"; printf '%s\r\n' "$l"; done >"$PLAYER_DIR/ostrel.cfg"
}
run_player() {
    winargs "$@" && cd "$PLAYER_DIR" &&
        WINEDEBUG=$PLAYER_TRACE WINEDLLOVERRIDES=$OVERRIDES exec timeout -k 5 120 wine ostrel.exe "${ARGS[@]}" 2>trace.log
}
second_player() { winargs "$@" && cd "$CASE_DIR/second" && exec timeout -k 5 30 wine ostrel.exe "${ARGS[@]}"; }
drv_stderr() { echo -; }
# A player window that outlived its case ends with a fresh server (every Wine program here is the tests' own).
drv_cleanup() { drv is-window >/dev/null && { wineserver -k; wineserver -w; wineserver -p 60 </dev/null >/dev/null 2>&1; }; }

drv_window_shown() { drv is-window >/dev/null; }
drv_window_rect() { read -r AREA_X AREA_Y AREA_W AREA_H RECT < <(drv wait-window); }
drv_key() { [ "$1" = Escape ] && drv key 0x1B >/dev/null; }
drv_command() { [ -n "${ID[$1]}" ] && drv command "${ID[$1]}" >/dev/null; }
# The message box's text is its control 0xFFFF.
drv_codec_box() {
    local box="Codec problem" && drv find-dialog "$box" 30000 >/dev/null &&
        [ "$(drv dialog-text "$box" 0xFFFF)" = "Codec is not available ..." ] && drv is-window >/dev/null &&
        [ ! -s "$PLAYER_DIR/status" ] && drv dialog-command "$box" 1 >/dev/null
}
# borderless: the client area is the whole window but the menu bar.
t_borderless() {
    read -r x y w h <<<"$RECT" && ((AREA_X == x && AREA_W == w && AREA_Y + AREA_H == y + h && AREA_Y - y < 30)) ||
        fail "the window has a frame ($RECT)"
}

drv_shot() { xwd -root -silent >"$1"; }
drv_area() { echo "$AREA_X" $((AREA_Y + TOOLBAR_ROWS)) "$AREA_W" $((AREA_H - TOOLBAR_ROWS)); }
drv_client() { echo "$AREA_X" "$AREA_Y" "$AREA_W" "$AREA_H" "$AREA_Y"; }
drv_still() { picture still root $(drv_area) "$1" 1.5 "$STILL_SHOT"; }
drv_watch() { PLAYER_TRACE=$TRACE; }
# Frames: blits of a whole 320 x 240 frame through the first surface interface (Wine's use later ones).
drv_count() { grep "ddraw_surface1_Blt .*src_rect (0,0)-(320,240), flags" "$PLAYER_DIR/trace.log" |
    awk -F: 'NR == 1 { a = $1 } { b = $1 } END { printf "%d %.2f\n", NR, b - a }'; }
t_frames() { t_shown "$3"; }
drv_dialog() { DLG_TITLE=$1 && drv find-dialog "$1" 15000 >/dev/null; }
drv_button() { if [ "$1" = link ]; then drv dialog-click "$DLG_TITLE" 40013; else drv dialog-command "$DLG_TITLE" "${ID[$1]}"; fi >/dev/null; }
drv_gone() { drv wait-dialog-gone "$DLG_TITLE" 5000 >/dev/null; }
drv_bar() { drv scroll-pos "$DLG_TITLE" "${ID[$1]}" | awk '{ print $1 / 10000 }'; }
# dialog_text ID TEXT, hit ID ANSWER (1 takes the mouse, -1 lets it through),
# dialog_key VK, dialog_close, stays: Escape and the close box leave it open.
t_dialog_text() {
    local text && text=$(drv dialog-text "$DLG_TITLE" "$1")
    [ "$text" = "$2" ] || fail "control $1 of \"$DLG_TITLE\" shows '$text', not '$2'"
}
t_hit() { [ "$(drv hit-test "$DLG_TITLE" "$1")" = "$2" ] || fail "control $1 does not answer $2 to the mouse"; }
t_dialog_key() { drv dialog-key "$DLG_TITLE" "$1" >/dev/null; }
t_dialog_close() { drv dialog-close "$DLG_TITLE" >/dev/null; }
t_stays() { sleep 0.5 && drv find-dialog "$DLG_TITLE" 100 >/dev/null || fail "the dialog closed"; }
# scroll BAR CODE [POS]: WM_HSCROLL CODE from that bar (SB_THUMBPOSITION 4 moves it to POS first).
t_scroll() { drv dialog-scroll "$DLG_TITLE" "${ID[$1]}" "$2" ${3:+"$3"} >/dev/null || fail "cannot scroll the $1 bar"; }
# volumes VALUE...: what the player wrote to the wave output so far.
t_volumes() {
    local got && got=$(sed -n 's/.*trace:winmm:waveOutSetVolume ([0-9A-Fa-f]*, \([0-9A-Fa-f]*\)).*/\1/p' "$PLAYER_DIR/trace.log" | tr '\n' ' ')
    note "volumes written: $got"
    [ "$got" = "$* " ] || fail "the wave output got the volumes: $got"
}
# browser [URL...]: the stand-in browser was asked to open one of them (none: nothing within 3 s).
t_browser() {
    [ $# = 0 ] && { sleep 3; [ ! -s "$WORK/browser.log" ] || fail "opened: $(tr '\n' ' ' <"$WORK/browser.log")"; return; }
    within 10 grep -qxF "$(printf '%s\n' "$@")" "$WORK/browser.log" ||
        fail "the browser was asked for: $(tr '\n' ' ' <"$WORK/browser.log")"
}
t_type() { drv dialog-set-text "$DLG_TITLE" "$1" "$(winpath "$2")" >/dev/null || fail "cannot type into control $1"; }
t_drop() { drv drop "$(winpath "$1")" >/dev/null || fail "cannot drop a file"; }
# offline: the URL library beside the player reports the machine offline.
t_offline() { cp "$TOOLS/url.dll" "$PLAYER_DIR/" && OVERRIDES="$WINEDLLOVERRIDES;url=n"; }
# last_frame CLIP SLACK LAST: the picture at rest is frame LAST of CLIP or before, at most SLACK before the last drawn.
t_last_frame() {
    local n best && read -r n _ < <(drv_count) && best=$(picture identify "$STILL_SHOT" $(drv_client) "$1" $((n - 1)) 0 | sed 's/best=\([0-9]*\).*/\1/')
    note "frame $best at rest after $n"
    ((best >= n - 1 - $2 && best <= $3)) || fail "frame $best at rest after $n frames drawn"
}
