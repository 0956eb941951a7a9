# shellcheck shell=bash
# A private Wine world for ostrel.exe, shared by scripts/run and the Wine
# end-to-end driver: a prefix of its own, a PulseAudio null sink (without
# any sound output the player ends at start; the sink runs in real time) and
# an Xvfb screen. Each function logs into the folder LOG.

# wine_prefix DIR LOG: exports the prefix's environment and makes the prefix
# once (about 30 s), DirectDraw drawn by GDI (without a GPU the OpenGL
# renderer costs seconds of CPU).
wine_prefix() {
    export WINEPREFIX="$1" WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
    [ -f "$WINEPREFIX/.ready" ] && return 0
    { rm -rf "$WINEPREFIX" && wineboot -i && wineserver -w; } >>"$2/wineboot.log" 2>&1 &&
        wine_reg "$2" 'HKCU\Software\Wine\Direct3D' renderer gdi && wineserver -w &&
        touch "$WINEPREFIX/.ready"
}

# wine_reg LOG KEY NAME DATA: sets a value in the prefix's registry. The first
# programs after a fresh prefix was made can fail; a second try follows once
# the server has gone.
wine_reg() {
    local try
    for try in 1 2; do
        wine reg add "$2" /v "$3" /d "$4" /f >>"$1/wineboot.log" 2>&1 && return 0
        wineserver -w
    done
    return 1
}

# wine_sound RUNTIME_DIR LOG: a null sink in RUNTIME_DIR (mode 700), the
# default for the clients started from here on; WINE_SOUND_PID.
wine_sound() {
    mkdir -p "$1" && chmod 700 "$1" || return
    export XDG_RUNTIME_DIR="$1" PULSE_SERVER="unix:$1/pulse/native"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --load=module-native-protocol-unix --load="module-null-sink sink_name=nullsink" \
        >"$2/pulseaudio.log" 2>&1 &
    WINE_SOUND_PID=$!
    # The server answers before its modules are all loaded: wait for the sink itself.
    local n
    for n in $(seq 100); do pactl set-default-sink nullsink 2>/dev/null && return 0; sleep 0.1; done
    pactl set-default-sink nullsink 2>>"$2/pulseaudio.log"
}

# wine_screen DIR LOG: an Xvfb screen, its number noted in DIR/display;
# exports DISPLAY; WINE_SCREEN_PID.
wine_screen() {
    rm -f "$1/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" >"$2/xvfb.log" 2>&1 &
    WINE_SCREEN_PID=$!
    local n
    for n in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.1; done
    [ -s "$1/display" ] || return
    DISPLAY=":$(tr -dc 0-9 <"$1/display")"
    export DISPLAY
}

# winpath PATH: the Linux path as Wine's Z: drive shows it.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
