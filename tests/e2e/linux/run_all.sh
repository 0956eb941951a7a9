#!/usr/bin/env bash
# End-to-end tests of the Linux player: the real ostrel on a private Xvfb
# display, with its sound going to the player's null output, driven with xdotool
# (keys, menu clicks, dialog buttons and scroll bars) and checked by exit
# status, standard error, configuration bytes, window places, the frames the
# X server saw drawn on the window, and window dumps compared with ffmpeg's
# decode of the clips.
#
#   tests/e2e/linux/run_all.sh BUILD_DIR [CASE...]
#
# BUILD_DIR holds src/platform/qt/ostrel (cmake -S . -B BUILD_DIR -G Ninja
# -DOSTREL_QT=ON && ninja -C BUILD_DIR). The clips are made under BUILD_DIR
# once and reused (E2E_MEDIA chooses another folder for them); E2E_WORK
# chooses another place for the cases' folders; E2E_VERBOSE=1 prints each
# case's notes (frames seen, PSNR, timings). CASE names (or prefixes) run
# only those.
#
# Prints "PASS name" or "FAIL name: why" per case, then "N passed, M
# failed"; exits 1 when a case failed, 2 when the suite could not start.
# Everything it starts is stopped again, also when interrupted.
set -u

E2E_DIR=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$E2E_DIR/../../.." && pwd)
BUILD=$(cd "${1:?usage: run_all.sh BUILD_DIR [CASE...]}" && pwd) || exit 2
shift
ONLY=("$@")
E2E_BUILD=linux
PLAYER="$BUILD/src/platform/qt/ostrel"
[ -x "$PLAYER" ] || PLAYER="$BUILD/ostrel"
WORK=${E2E_WORK:-$BUILD/e2e-linux}
MEDIA=${E2E_MEDIA:-$BUILD/e2e-linux-media}
# A case that runs longer than this is stopped and fails.
CASE_LIMIT=${E2E_CASE_LIMIT:-90}

suite_started=$(date +%s)
# shellcheck source=../suite.sh
. "$E2E_DIR/../suite.sh"

[ -x "$PLAYER" ] || { say "no player in $BUILD: build it first (-DOSTREL_QT=ON)"; exit 2; }
for tool in Xvfb xdotool xwd ffmpeg ffprobe timeout; do
    command -v "$tool" >/dev/null || { say "missing tool: $tool"; exit 2; }
done
# A Python with numpy and the X library (Debian: python3-numpy python3-xlib).
PY=
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import numpy, Xlib.ext.damage' >/dev/null 2>&1; then
        PY=$candidate
        break
    fi
done
[ -n "$PY" ] || { say "missing: a python3 with numpy and Xlib (apt-get install python3-numpy python3-xlib)"; exit 2; }
mkdir -p "$WORK" "$MEDIA" || exit 2
WORK=$(cd "$WORK" && pwd)

# --- The clips: the project's test media, and a few of the suite's own.
step=$(date +%s)
"$ROOT/tools/make_test_media.sh" "$MEDIA" || { say "cannot make the test media"; exit 2; }
extra_clip() {
    local name=$1 source=$2
    [ -s "$MEDIA/$name" ] && [ "$MEDIA/$name" -nt "$0" ] && return 0
    ffmpeg -nostdin -v error -y -f lavfi -i "$source" \
        -f lavfi -i "sine=frequency=660:sample_rate=44100" -map 0:v -map 1:a -shortest \
        -c:v mjpeg -pix_fmt yuvj420p -q:v 3 -c:a pcm_s16le -ac 1 -threads 1 \
        "$MEDIA/.partial-$name" && mv -f "$MEDIA/.partial-$name" "$MEDIA/$name"
}
# Flat colours tell items apart on the screen: one second each. The halves
# clip is red for three seconds, then blue for three: where a seek lands.
extra_clip solid-red.avi "color=c=0xEB1010:s=320x240:r=25:d=1" &&
    extra_clip solid-green.avi "color=c=0x10C810:s=320x240:r=25:d=1" &&
    extra_clip solid-blue.avi "color=c=0x1010EB:s=320x240:r=25:d=1" &&
    extra_clip solid-magenta.avi "color=c=0xC02080:s=320x240:r=25:d=1" &&
    extra_clip halves.avi "color=c=0xEB1010:s=320x240:r=25:d=3[a];color=c=0x1010EB:s=320x240:r=25:d=3[b];[a][b]concat=n=2:v=1:a=0" ||
    { say "cannot make the suite's clips"; exit 2; }
media_seconds=$(elapsed "$step")

# --- The display: a private Xvfb on the first free number.
CASE_PIDS=()
XVFB_PID=
finish() {
    [ -n "$running_case" ] && kill -0 "$running_case" 2>/dev/null && kill_tree "$running_case"
    case_cleanup >/dev/null 2>&1
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    [ -n "${OTHER_USER_MADE:-}" ] && userdel "$OTHER_USER_MADE" >/dev/null 2>&1
    rm -f "$WORK/display"
}
trap finish EXIT
trap 'exit 130' INT TERM
# shellcheck source=lib.sh
. "$E2E_DIR/lib.sh"

rm -f "$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display" \
    >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do
    [ -s "$WORK/display" ] && break
    sleep 0.1
done
[ -s "$WORK/display" ] || { say "Xvfb did not start (see $WORK/xvfb.log)"; exit 2; }
export DISPLAY=":$(head -n 1 "$WORK/display")"
unset WAYLAND_DISPLAY XAUTHORITY

# --- The player's idle window, measured once: the menu bar's height and its
# commands' places (text menu), and the tool bar's bottom (graphic menu).
CASE_DIR="$WORK/setup"
rm -rf "$CASE_DIR"
mkdir -p "$CASE_DIR"
MENU_H=0 TOOL_BOTTOM=0
measure_idle() {
    player_prepare "$1" "${@:2}" || return 1
    player_launch
    wait_window || return 1
    sleep 0.5
    shot "$CASE_DIR/$1.xwd" || return 1
    IDLE_LAYOUT=$(screen layout "$CASE_DIR/$1.xwd") || return 1
    press_escape
    player_wait_exit 10 >/dev/null
}
measure_idle text "MenuBar text" || { say "the player's idle window did not show (see $CASE_DIR)"; exit 2; }
read -r MENU_H _ <<<"$IDLE_LAYOUT"
read -r -a MENU_X < <(screen menu "$CASE_DIR/text.xwd" "$MENU_H")
[ "${#MENU_X[@]}" = 9 ] || { say "the menu bar does not show nine commands (${MENU_X[*]})"; exit 2; }
measure_idle graphic || { say "the player's idle window did not show (see $CASE_DIR)"; exit 2; }
read -r TOOL_BOTTOM _ <<<"$IDLE_LAYOUT"
case_cleanup
((MENU_H > 5 && TOOL_BOTTOM > MENU_H)) ||
    { say "cannot tell the menu bar ($MENU_H) from the tool bar ($TOOL_BOTTOM)"; exit 2; }

say "Linux end-to-end tests of $PLAYER on $DISPLAY (media ${media_seconds} s; menu bar $MENU_H rows, tool bar to row $TOOL_BOTTOM)"
run_cases "$E2E_DIR/cases" "$WORK"

say "suite took $(elapsed "$suite_started") s"
say "$passed passed, $failed failed"
[ "$failed" = 0 ]
