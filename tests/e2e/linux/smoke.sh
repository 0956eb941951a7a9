#!/usr/bin/env bash
# Smoke test of the Linux player: it starts on a clip under a virtual X display, shows its
# window, ends on Escape with exit status 0 and writes its configuration beside itself.
#
#   tests/e2e/linux/smoke.sh PLAYER
#
# PLAYER is the built `ostrel`. It is copied into a private folder first, so the
# configuration it writes (ostrel.cfg beside the program) lands there and not in the build.
# Needs Xvfb, xdotool and ffmpeg. Audio goes nowhere (OSTREL_AUDIO_OUT=null).
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Inside the virtual display: start the player, find its window, press Escape, wait for
# the end, check the exit status.
run_inside() {
    local work=$1 log=$1/player.log pid window="" status
    HOME="$work/home" XDG_RUNTIME_DIR="$work/run" OSTREL_AUDIO_OUT=null \
        "$work/bin/ostrel" "$work/media/clip.avi" >"$log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        window=$(xdotool search --name "^ ostrel v2.03\$" 2>/dev/null | head -1 || true)
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        kill "$pid" 2>/dev/null || true
        cat "$log" >&2
        fail "no window titled \" ostrel v2.03\" appeared"
    fi
    # Let it play a moment, then press Escape as the user would.
    sleep 1
    xdotool windowfocus --sync "$window" key Escape
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        fail "the player is still running 10 s after Escape"
    fi
    wait "$pid" && status=0 || status=$?
    if [ "$status" -ne 0 ]; then
        cat "$log" >&2
        fail "exit status $status after Escape (expected 0)"
    fi
}

[ $# -eq 1 ] || { echo "usage: $0 PLAYER" >&2; exit 2; }
player=$(readlink -f "$1")
[ -x "$player" ] || { echo "$0: no player at $1" >&2; exit 2; }

# One private folder: the program and its configuration, a clip, the user's runtime folder
# (so the single-instance lock is ours alone) and a home.
work=$(mktemp -d /tmp/ostrel-smoke.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/media" "$work/home" "$work/run"
chmod 700 "$work/run"
cp "$player" "$work/bin/ostrel"
# A three-second clip like the test media: ffmpeg's test pattern in MJPEG with PCM sound.
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i testsrc=size=320x240:rate=25:duration=3 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 \
    -c:v mjpeg -pix_fmt yuvj420p -q:v 3 -c:a pcm_s16le -ac 1 "$work/media/clip.avi"

# A virtual display of our own: Xvfb picks a free display number itself and writes it once
# it accepts clients (no race with other tests starting displays at the same time).
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; fail "the virtual display did not start"; }
DISPLAY=":$(head -1 "$work/display")" run_inside "$work"

config="$work/bin/ostrel.cfg"
[ -f "$config" ] || fail "no configuration written beside the player"
head -1 "$config" | grep -q "^# ostrel v2.03 configuration" ||
    fail "the configuration does not start with the player's header: $(head -1 "$config")"
# The window stood where the defaults put it, and the writer took its place from there.
for line in "XCoord       200" "YCoord       200" "Width        462" "Height       386"; do
    tr -d '\r' <"$config" | grep -qx "$line" || fail "the configuration lacks \"$line\""
done
echo "PASS: window shown, Escape ended the player with 0, configuration written"
