#!/usr/bin/env bash
# End-to-end tests of the Windows player: the real ostrel.exe under Wine, in
# a private Wine world (prefix, PulseAudio null sink, Xvfb), driven by a
# small Win32 test driver and checked by exit status, configuration bytes,
# window and dialog state, traces of its DirectDraw and wave-output calls,
# and screenshots of its video area against ffmpeg's decode of the clips.
#
#   tests/e2e/windows/run_all.sh BUILD_DIR [CASE...]
#
# BUILD_DIR holds ostrel.exe (cmake -S . -B BUILD_DIR
# -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake && cmake --build
# BUILD_DIR). The driver, the clips and the Wine world are made under
# BUILD_DIR once and reused; E2E_WORK chooses another place for the Wine
# world and the cases' folders, E2E_MEDIA for the clips (both may outlive a
# build folder that is made afresh). CASE names (or prefixes) run only those.
#
# Prints "PASS name" or "FAIL name: why" per case, then "N passed, M
# failed"; exits 1 when a case failed, 2 when the world could not be set up.
# Everything it starts is stopped again, also when interrupted.
set -u

E2E_DIR=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$E2E_DIR/../../.." && pwd)
BUILD=$(cd "${1:?usage: run_all.sh BUILD_DIR [CASE...]}" && pwd) || exit 2
shift
ONLY=("$@")
E2E_BUILD=windows
EXE="$BUILD/ostrel.exe"
WORK=${E2E_WORK:-$BUILD/e2e-windows}
MEDIA=${E2E_MEDIA:-$BUILD/e2e-media}
TOOLS="$BUILD/e2e-driver"
DRIVER="$TOOLS/ostrel_driver.exe"
OFFLINE_URL_DLL="$TOOLS/url.dll"
# The system's Python: a version manager's wrapper in front of it can cost
# most of a second a start, and the checks start it often.
PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=$(command -v python3)
# A case that runs longer than this is stopped and fails.
CASE_LIMIT=${E2E_CASE_LIMIT:-120}

suite_started=$(date +%s)
# shellcheck source=../suite.sh
. "$E2E_DIR/../suite.sh"

[ -f "$EXE" ] || { say "no $EXE: build the Windows player first"; exit 2; }
for tool in wine wineserver Xvfb xwd pulseaudio pactl ffmpeg ffprobe python3 \
    x86_64-w64-mingw32-g++ x86_64-w64-mingw32-gcc; do
    command -v "$tool" >/dev/null || { say "missing tool: $tool (scripts/test installs it)"; exit 2; }
done
mkdir -p "$WORK" "$MEDIA" "$TOOLS" || exit 2
WORK=$(cd "$WORK" && pwd)

# --- The driver and the offline stand-in, built when their source changed.
if [ ! "$DRIVER" -nt "$E2E_DIR/driver/ostrel_driver.cpp" ]; then
    x86_64-w64-mingw32-g++ -std=c++20 -O1 -Wall -Wextra -Werror -static \
        -o "$DRIVER.part" "$E2E_DIR/driver/ostrel_driver.cpp" -lwinmm -lurl -lshell32 &&
        mv -f "$DRIVER.part" "$DRIVER" || { say "cannot build the test driver"; exit 2; }
fi
if [ ! "$OFFLINE_URL_DLL" -nt "$E2E_DIR/driver/offline_url.c" ]; then
    x86_64-w64-mingw32-gcc -shared -O1 -Wall -Werror \
        -o "$OFFLINE_URL_DLL.part" "$E2E_DIR/driver/offline_url.c" &&
        mv -f "$OFFLINE_URL_DLL.part" "$OFFLINE_URL_DLL" ||
        { say "cannot build the offline URL library"; exit 2; }
fi

# --- The clips: the project's test media, and a few of the suite's own.
step=$(date +%s)
"$ROOT/tools/make_test_media.sh" "$MEDIA" || { say "cannot make the test media"; exit 2; }
extra_clip() {
    local name=$1 source=$2 seconds=$3
    [ -s "$MEDIA/$name" ] && [ "$MEDIA/$name" -nt "$0" ] && return 0
    ffmpeg -nostdin -v error -y -f lavfi -i "$source:r=25:d=$seconds" \
        -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=$seconds" -map 0:v -map 1:a \
        -c:v mjpeg -pix_fmt yuvj420p -q:v 3 -c:a pcm_s16le -ac 1 -threads 1 \
        "$MEDIA/.partial-$name" && mv -f "$MEDIA/.partial-$name" "$MEDIA/$name"
}
# Flat colours tell items apart on the screen; the long clip leaves time to
# pause, stop and open dialogs while it plays.
extra_clip solid-magenta.avi "color=c=0xC02080:s=320x240" 2 &&
    extra_clip solid-red.avi "color=c=0xEB1010:s=320x240" 2 &&
    extra_clip solid-green.avi "color=c=0x10C810:s=320x240" 2 &&
    extra_clip solid-blue.avi "color=c=0x1010EB:s=320x240" 2 &&
    extra_clip long.avi "testsrc=size=320x240" 12 ||
    { say "cannot make the suite's clips"; exit 2; }
media_seconds=$(elapsed "$step")

# --- The Wine world, once for all cases.
step=$(date +%s)
# shellcheck source=wine_env.sh
. "$E2E_DIR/wine_env.sh"
# shellcheck source=lib.sh
. "$E2E_DIR/lib.sh"
WINE_ENV_NO_TRAP=1
wine_env_init "$WORK/world"
CASE_PIDS=()
finish() {
    [ -n "$running_case" ] && kill -0 "$running_case" 2>/dev/null && kill_tree "$running_case"
    case_cleanup >/dev/null 2>&1
    wine_env_stop
}
trap finish EXIT
trap 'exit 130' INT TERM
wine_env_start || { say "the Wine world did not come up"; exit 2; }
# Web addresses the player opens go to a stand-in browser that notes them.
BROWSER_LOG="$WORK/browser.log"
cat >"$WORK/browser.sh" <<EOF
#!/bin/sh
printf '%s\\n' "\$*" >>"$BROWSER_LOG"
EOF
chmod +x "$WORK/browser.sh"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$WORK/browser.sh" /f >/dev/null 2>&1 ||
    { say "cannot set up the stand-in browser"; exit 2; }
world_seconds=$(elapsed "$step")

# Each case starts with an empty browser log and leaves no process behind.
before_case() { : >"$BROWSER_LOG"; }
after_case() {
    CASE_PIDS=()
    case_cleanup >/dev/null 2>&1
}

say "Wine end-to-end tests of $EXE (media ${media_seconds} s, Wine world ${world_seconds} s)"
run_cases "$E2E_DIR/cases" "$WORK"

say "suite took $(elapsed "$suite_started") s"
say "$passed passed, $failed failed"
[ "$failed" = 0 ]
