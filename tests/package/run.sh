#!/usr/bin/env bash
# The packages where they are meant to run, each playing the demo clip on a private Xvfb screen until
# Escape ends it:
#   portable  the portable folder, copied with the clip onto a "stick" in a minimal Debian 12 root with
#             a desktop's client libraries but no Qt and no media library; it plays from its own
#             libraries and writes its ostrel.cfg beside itself
#   deb       the .deb installed on this machine; started by a user who cannot write /usr/bin, it
#             plays and says once that the configuration could not be written
#
#   tests/package/run.sh PACKAGE_DIR [portable|deb]...
#
# PACKAGE_DIR is scripts/package's output (build/package). The root is made once with debootstrap from
# Debian's packages and kept (OSTREL_CLEAN_ROOT, default build/clean-root); run as root (chroot, mount, dpkg).
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
PACKAGES=$(cd "${1:?usage: run.sh PACKAGE_DIR [portable|deb]...}" && pwd) || exit 2
shift
[ $# -gt 0 ] || set -- portable deb
CLEAN_ROOT=${OSTREL_CLEAN_ROOT:-$ROOT/build/clean-root} TITLE=" ostrel v2.03" DEMO=$ROOT/resources/demo/demo.mpg
passed=0 failed=0 pids=() mounts=()
trap 'kill "${pids[@]}" 2>/dev/null; umount -l "${mounts[@]}" 2>/dev/null' EXIT
fail() { echo "FAIL $CASE: $*"; failed=$((failed + 1)); return 1; }

# The root, made once: Debian's minimal base and a desktop's client libraries.
make_root() {
    [ -e "$CLEAN_ROOT/.ready" ] && return 0
    local started=$SECONDS && echo "== making the clean root $CLEAN_ROOT (once)"
    rm -rf "$CLEAN_ROOT.part"
    debootstrap --variant=minbase \
        --include=libx11-6,libx11-xcb1,libxcb1,libxext6,libxrender1,libxfixes3,libgl1,libegl1,libfontconfig1,libfreetype6,libpng16-16,fonts-dejavu-core,libglib2.0-0,libdbus-1-3 \
        bookworm "$CLEAN_ROOT.part" http://deb.debian.org/debian >"$ROOT/build/clean-root.log" 2>&1 ||
        { tail -5 "$ROOT/build/clean-root.log"; return 1; }
    rm -rf "$CLEAN_ROOT.part/var/cache/apt/archives/"*.deb && touch "$CLEAN_ROOT.part/.ready" && mv "$CLEAN_ROOT.part" "$CLEAN_ROOT" &&
        echo "== clean root made in $((SECONDS - started)) s"
}

# An Xvfb screen for the run: DISPLAY. Xvfb picks a free number and prints it once it takes clients.
start_screen() {
    local number
    coproc SCREEN { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null; }
    pids+=("$SCREEN_PID")
    read -r -t 10 number <&"${SCREEN[0]}" && export DISPLAY=":$number"
}

# play DIR COMMAND...: COMMAND (standard output and error in DIR) shows the player's window, with the clip
# (over 200 WINDOW_COLOURS 3 s on); Escape then ends it with status 0. MAPS: what it had loaded.
play() {
    local dir=$1 pid window
    shift
    "$@" >"$dir/stdout" 2>"$dir/stderr" &
    pid=$! && pids+=("$pid")
    window=$(timeout 15 xdotool search --sync --onlyvisible --name "^$TITLE\$" 2>/dev/null | head -1)
    [ -n "$window" ] || { fail "no player window"; cat "$dir/stderr"; return 1; }
    sleep 3
    WINDOW_COLOURS=$(xwd -silent -id "$window" | convert xwd:- -format %k info:) MAPS=$(cat "/proc/$pid/maps" 2>/dev/null)
    xdotool windowfocus --sync "$window" key Escape 2>/dev/null
    timeout 10 tail --pid="$pid" -f /dev/null || { fail "the player did not end on Escape"; cat "$dir/stderr"; return 1; }
    wait "$pid" || { fail "exit status $?"; cat "$dir/stderr"; return 1; }
    ((WINDOW_COLOURS > 200)) || fail "the window shows $WINDOW_COLOURS colours, not the clip"
}

case_portable() {
    local folder stick name started
    folder=$(find "$PACKAGES" -maxdepth 1 -type d -name 'ostrel-*-linux-x86_64' | head -1)
    [ -n "$folder" ] || { fail "no portable folder in $PACKAGES"; return; }
    make_root || { fail "cannot make the clean root"; return; }
    chroot "$CLEAN_ROOT" sh -c 'ls /usr/lib/x86_64-linux-gnu | grep -E "^lib(Qt6|av|sw|pulse)"' &&
        { fail "the clean root has Qt or media libraries"; return; }
    stick=$CLEAN_ROOT/media/stick name=$(basename "$folder")
    rm -rf "$stick" && mkdir -p "$stick" && cp -r "$folder" "$stick/" && cp "$DEMO" "$stick/" ||
        { fail "cannot copy the folder"; return; }
    mkdir -p "$CLEAN_ROOT/tmp/.X11-unix"
    mount --bind /tmp/.X11-unix "$CLEAN_ROOT/tmp/.X11-unix" && mounts+=("$CLEAN_ROOT/tmp/.X11-unix")
    mount -t proc proc "$CLEAN_ROOT/proc" && mounts+=("$CLEAN_ROOT/proc")
    mount --bind /dev "$CLEAN_ROOT/dev" && mounts+=("$CLEAN_ROOT/dev")
    started=$SECONDS
    play "$stick" chroot "$CLEAN_ROOT" /usr/bin/env -i DISPLAY="$DISPLAY" HOME=/root PATH=/usr/bin:/bin \
        sh -c "cd /media/stick/$name && exec ./ostrel ../demo.mpg" || return
    [ ! -s "$stick/stderr" ] || { fail "it printed: $(head -3 "$stick/stderr")"; return; }
    grep -q "/media/stick/$name/lib/libavcodec.so" <<<"$MAPS" ||
        { fail "FFmpeg's libraries were not loaded from the folder"; return; }
    head -c 20 "$stick/$name/ostrel.cfg" | grep -q "^# ostrel v2.03 conf" && grep -q "^XCoord" "$stick/$name/ostrel.cfg" ||
        { fail "the configuration was not written beside the player"; return; }
    cmp -s "$stick/$name/ostrel.cfg" "$folder/ostrel.cfg" && { fail "the configuration was not rewritten"; return; }
    echo "PASS portable: played in the clean root ($WINDOW_COLOURS colours) in $((SECONDS - started)) s" && passed=$((passed + 1))
}

case_deb() {
    local deb user=ostrel-package-test home
    deb=$(find "$PACKAGES" -maxdepth 1 -name 'ostrel_*.deb' | head -1)
    [ -n "$deb" ] || { fail "no .deb in $PACKAGES"; return; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" \
        >/dev/null 2>"$PACKAGES/deb-install.log" || { fail "the .deb does not install"; return; }
    [ -x /usr/bin/ostrel ] && [ -e /usr/share/applications/ostrel.desktop ] &&
        [ -e /usr/share/icons/hicolor/128x128/apps/ostrel.png ] ||
        { fail "the package lacks the player, its desktop entry or its icon"; return; }
    id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
    home=$(mktemp -d) && chown "$user" "$home" && cp "$DEMO" "$home/"
    play "$home" runuser -u "$user" -- env DISPLAY="$DISPLAY" HOME="$home" XDG_RUNTIME_DIR="$home" \
        OSTREL_AUDIO_OUT=null ostrel "$home/demo.mpg" || return
    [ "$(cat "$home/stderr")" = "ostrel: cannot write the configuration /usr/bin/ostrel.cfg: Permission denied" ] ||
        { fail "standard error is not the one line about the configuration: $(cat "$home/stderr")"; return; }
    rm -rf "$home"
    # The machine is left as it was: the package was only tried.
    dpkg -r ostrel >/dev/null 2>&1
    echo "PASS deb: installed, played, said once that /usr/bin is not writable" && passed=$((passed + 1))
}

start_screen || { echo "cannot start Xvfb"; exit 2; }
for CASE in "$@"; do "case_$CASE"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
