# A private Wine world for running the Windows player unattended: its own
# home, Wine prefix, runtime folder, PulseAudio with a null sink (so the wave
# output and the stream's audio renderer exist and run in real time) and an
# Xvfb screen. Nothing outside the given work folder is touched, and
# wine_env_stop ends exactly the processes wine_env_start began.
#
# Source it from bash, then:
#   wine_env_init WORKDIR [--desktop]
#                                 # private folders and environment, no process yet;
#                                 # --desktop keeps the user's home, display and sound
#                                 # server where there are any (only the prefix is private)
#   wine_env_start                # PulseAudio + Xvfb (+ the prefix on first use)
#   wine_env_run [-t SECONDS] EXE [ARGS...]   # exit status of the program
#   wine_env_screenshot FILE.png  # the whole screen
#   wine_env_winpath /abs/path    # the same path as the program sees it (Z:\...)
#   wine_env_stop                 # wineserver, Xvfb, PulseAudio; idempotent
# wine_env_start installs an EXIT trap that calls wine_env_stop unless
# WINE_ENV_NO_TRAP=1 is set (then the caller stops it).
#
# DirectDraw is drawn by Wine's GDI renderer (WINE_ENV_D3D_RENDERER=gdi, the
# default here; "gl" or "vulkan" choose another, an empty value Wine's own
# choice). Without a GPU the OpenGL renderer runs on llvmpipe: about 2 s more
# CPU per 3 s of video, and a full-screen hidden window of its own. Both give
# the same pixels for an unscaled blit.
#
# wineserver stays up 60 s after the last program (wineserver -p 60), so
# "wineserver -w" after wine_env_start waits that long; wine_env_stop ends it.
#
# Dialogs of the programs do not show in wine_env_screenshot (the root window
# keeps what lies below them); "xwd -id WINDOW" captures one window's own
# pixels, e.g. xwd -id "$(xdotool search --name '^ ostrel$')".
#
# Timings measured here: a fresh prefix takes 25-35 s on a busy 2-core machine
# and 700 MB (kept in WORKDIR/prefix and reused by later runs with the same
# WORKDIR); with it ready, wine_env_start takes about 2 s; a program start
# under Wine about 1 s.

WINE_ENV_SCREEN=${WINE_ENV_SCREEN:-1024x768x24}

_wine_env_log() { printf 'wine_env: %s\n' "$*" >&2; }

# Waits up to $2 tenths of a second for the command in $1 to succeed.
_wine_env_wait_for() {
    local tries=$2
    while ((tries-- > 0)); do
        if eval "$1"; then return 0; fi
        sleep 0.1
    done
    return 1
}

wine_env_init() {
    local work=${1:?wine_env_init needs a work folder}
    WINE_ENV_DESKTOP=0
    [ "${2:-}" = --desktop ] && WINE_ENV_DESKTOP=1
    mkdir -p "$work" || return 1
    WINE_ENV_DIR=$(cd "$work" && pwd)
    mkdir -p "$WINE_ENV_DIR/home" "$WINE_ENV_DIR/xdg" "$WINE_ENV_DIR/logs"
    chmod 700 "$WINE_ENV_DIR/xdg"
    export WINEPREFIX="$WINE_ENV_DIR/prefix"
    export WINEARCH=win64
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEDEBUG=${WINEDEBUG:--all}
    WINE_ENV_PULSE_PID=
    WINE_ENV_XVFB_PID=
    if [ "$WINE_ENV_DESKTOP" = 1 ]; then
        # The user's own session: their screen (if any) and sound server.
        return 0
    fi
    export HOME="$WINE_ENV_DIR/home"
    export XDG_RUNTIME_DIR="$WINE_ENV_DIR/xdg"
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    # Keep the desktop's own session out of it.
    unset DBUS_SESSION_BUS_ADDRESS XAUTHORITY DISPLAY
}

_wine_env_start_pulse() {
    if [ "$WINE_ENV_DESKTOP" = 1 ]; then
        # A desktop's sound server plays the sound aloud; without one, a
        # private null sink stands in (without any output the player ends).
        if pactl info >/dev/null 2>&1; then return 0; fi
        export XDG_RUNTIME_DIR="$WINE_ENV_DIR/xdg"
        export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    fi
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --load=module-native-protocol-unix --load="module-null-sink sink_name=nullsink" \
        >"$WINE_ENV_DIR/logs/pulseaudio.log" 2>&1 &
    WINE_ENV_PULSE_PID=$!
    if ! _wine_env_wait_for '[ -S "$XDG_RUNTIME_DIR/pulse/native" ] && pactl info >/dev/null 2>&1' 100; then
        _wine_env_log "PulseAudio did not come up (see $WINE_ENV_DIR/logs/pulseaudio.log)"
        return 1
    fi
    pactl set-default-sink nullsink
}

_wine_env_start_xvfb() {
    if [ "$WINE_ENV_DESKTOP" = 1 ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
    local displayFile="$WINE_ENV_DIR/logs/display"
    rm -f "$displayFile"
    # -displayfd picks a free display number, so several worlds can run at once.
    Xvfb -displayfd 3 -screen 0 "$WINE_ENV_SCREEN" -nolisten tcp \
        3>"$displayFile" >"$WINE_ENV_DIR/logs/xvfb.log" 2>&1 &
    WINE_ENV_XVFB_PID=$!
    if ! _wine_env_wait_for '[ -s "$WINE_ENV_DIR/logs/display" ]' 100; then
        _wine_env_log "Xvfb did not come up (see $WINE_ENV_DIR/logs/xvfb.log)"
        return 1
    fi
    export DISPLAY=":$(tr -dc 0-9 <"$displayFile")"
}

# Creates the prefix once; later calls find it ready. Needs the X screen.
wine_env_setup_prefix() {
    local ready="$WINEPREFIX/.ostrel-ready"
    if [ ! -f "$ready" ]; then
        _wine_env_log "creating Wine prefix in $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        wineboot -i >"$WINE_ENV_DIR/logs/wineboot.log" 2>&1 && wineserver -w || return 1
        echo default >"$ready"
    fi
    # Without a window manager (our own screen), Wine's managed windows have
    # no frame and stall each close by 2 s; on a desktop, its window manager
    # frames and places them.
    local managed=default
    [ -n "$WINE_ENV_XVFB_PID" ] && managed=N
    if [ "$(cat "$WINEPREFIX/.ostrel-managed" 2>/dev/null)" != "$managed" ]; then
        if [ "$managed" = N ]; then
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
        else
            wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f
        fi >>"$WINE_ENV_DIR/logs/wineboot.log" 2>&1
        wineserver -w
        echo "$managed" >"$WINEPREFIX/.ostrel-managed"
    fi
    local renderer=${WINE_ENV_D3D_RENDERER-gdi}
    [ -n "$renderer" ] || renderer=default
    if [ "$(cat "$ready")" != "$renderer" ]; then
        if [ "$renderer" = default ]; then
            wine reg delete 'HKCU\Software\Wine\Direct3D' /v renderer /f
        else
            wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d "$renderer" /f
        fi >>"$WINE_ENV_DIR/logs/wineboot.log" 2>&1
        wineserver -w
        echo "$renderer" >"$ready"
    fi
}

wine_env_start() {
    [ -n "${WINE_ENV_DIR:-}" ] || { _wine_env_log "call wine_env_init first"; return 1; }
    if [ "${WINE_ENV_NO_TRAP:-0}" != 1 ]; then trap wine_env_stop EXIT; fi
    _wine_env_start_pulse || { wine_env_stop; return 1; }
    _wine_env_start_xvfb || { wine_env_stop; return 1; }
    wine_env_setup_prefix || { _wine_env_log "prefix setup failed"; wine_env_stop; return 1; }
    # Keep one server between the runs of a test instead of one per program.
    # It outlives this call: it must not hold the caller's output open.
    wineserver -p 60 </dev/null >/dev/null 2>&1
}

# Runs a Windows program; its output comes with Unix line ends, line by line
# as it is written (a caller may watch it to time a screenshot). The status
# is the program's exit status (124 when the time limit ended it).
wine_env_run() {
    local limit=120
    if [ "$1" = -t ]; then
        limit=$2
        shift 2
    fi
    local status
    timeout --kill-after=5 "$limit" wine "$@" 2> >(grep -v -e 'wine32 is missing' \
        -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' \
        -e 'snd_seq_hw_open' >&2) |
        sed -u 's/\r$//'
    status=${PIPESTATUS[0]}
    return "$status"
}

wine_env_screenshot() {
    local dump="$WINE_ENV_DIR/logs/screen.xwd"
    xwd -root -silent -out "$dump" &&
        ffmpeg -nostdin -v error -y -i "$dump" -frames:v 1 "${1:?wine_env_screenshot needs a file}"
}

wine_env_winpath() {
    local path=${1:?}
    printf 'Z:%s\n' "${path//\//\\}"
}

wine_env_stop() {
    [ -n "${WINE_ENV_DIR:-}" ] || return 0
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
    local pid
    for pid in "$WINE_ENV_XVFB_PID" "$WINE_ENV_PULSE_PID"; do
        [ -n "$pid" ] || continue
        kill "$pid" 2>/dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    WINE_ENV_XVFB_PID=
    WINE_ENV_PULSE_PID=
}
