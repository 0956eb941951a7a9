#!/usr/bin/env bash
# Benchmarks of the Linux player against its targets, side by side with the
# mpv command-line player, on a private Xvfb display and a private sound
# server, with public tools only (/usr/bin/time, /proc, the X server's
# DAMAGE reports and GetImage, PulseAudio's parec and pactl, mpv and ffmpeg
# for comparison):
#
#   (a) frames delivered: every frame of every test clip and of 30 s 720p
#       and 1080p H.264 clips reaches the window, at the clip's own rate;
#   (b) playback CPU of the 30 s 720p clip, the player's process and the X
#       server's share, against mpv --vo=x11 --ao=null on the same display,
#       at 1:1 (a window of the clip's size) and at full screen (the clip
#       shown at 1920 x 1080); the CPU of decoding the clip alone (ffmpeg
#       -f null); peak memory;
#   (c) idle CPU over 10 s: stopped, paused, and with the about dialog open;
#   (d) launch to first frame on the screen, against mpv;
#   (e) hand-over: with the player showing one clip, a second start hands it
#       another; the time until the new clip is on the screen, with the
#       sound going to the sound server and to the null output;
#   (f) sound and picture in step: a clip of flashes and beeps played to the
#       sound server's null sink, the sink recorded, the flashes watched on
#       the screen; the player and mpv --ao=pulse.
# (a) to (d) send the sound nowhere (player: OSTREL_AUDIO_OUT=null, mpv:
# --ao=null); (e) and (f) run a private PulseAudio with a null sink.
#
#   bench/run_benchmarks.sh BUILD_DIR [REPORT]
#
# BUILD_DIR holds src/platform/qt/ostrel (built with -DOSTREL_QT=ON, best
# RelWithDebInfo or Release). Writes the Markdown report REPORT (default
# bench/results-DATE.md; only bench/RESULTS.md is kept in the repository).
# BENCH_ROUNDS (default 3) sets the rounds of (b), BENCH_HANDOVERS (default
# 5) those of (e). Takes about eleven minutes; needs mpv, ffmpeg, Xvfb,
# xdotool, xwd, pulseaudio, pactl, parec, /usr/bin/time (Debian package
# time) and python3 with numpy and Xlib.
set -u

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$BENCH_DIR/.." && pwd)
BUILD=$(cd "${1:?usage: run_benchmarks.sh BUILD_DIR [REPORT]}" && pwd) || exit 2
REPORT=${2:-$BENCH_DIR/results-$(date +%Y-%m-%d).md}
PLAYER="$BUILD/src/platform/qt/ostrel"
MEDIA="$BUILD/bench-media"
WORK="$BUILD/bench-work"
SCREEN_PY="$ROOT/tests/e2e/picture.py"
TITLE=" ostrel v2.03"
BEGUN=$(date +%s)
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)

say() { printf '%s\n' "$*" >&2; }
[ -x "$PLAYER" ] || { say "no player at $PLAYER"; exit 2; }
for tool in Xvfb xdotool xwd ffmpeg ffprobe mpv pulseaudio pactl parec /usr/bin/time; do
    command -v "$tool" >/dev/null || { say "missing tool: $tool"; exit 2; }
done
PY=
for candidate in /usr/bin/python3 python3; do
    "$candidate" -c 'import numpy, Xlib.ext.damage' >/dev/null 2>&1 && { PY=$candidate; break; }
done
[ -n "$PY" ] || { say "missing: python3 with numpy and Xlib (python3-numpy python3-xlib)"; exit 2; }

say "making the clips"
"$ROOT/tools/make_test_media.sh" "$MEDIA" --bench || { say "cannot make the clips"; exit 2; }
rm -rf "$WORK"
mkdir -p "$WORK"

# --- The display: big enough for a 1080p window.
XVFB_PID=
PULSE_PID=
PIDS=()
finish() {
    local pid
    for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null; done
    [ -n "$PULSE_PID" ] && kill "$PULSE_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
}
trap finish EXIT
trap 'exit 130' INT TERM
Xvfb -displayfd 3 -screen 0 1920x1200x24 -br -nolisten tcp -noreset 3>"$WORK/display" \
    >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { say "Xvfb did not start"; exit 2; }
DISPLAY=":$(head -n 1 "$WORK/display")"
export DISPLAY
CLK=$(getconf CLK_TCK)

# CPU ticks a process and its waited-for children used so far.
ticks() { awk '{ print $14 + $15 + $16 + $17 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
seconds() { awk -v t="$1" -v c="$CLK" 'BEGIN { printf "%.2f", t / c }'; }

# --- The player ----------------------------------------------------------------

# prepare NAME CONFIG-LINE...: a copy of the player in WORK/NAME with that
# configuration; DIR.
prepare() {
    DIR="$WORK/$1"
    shift
    rm -rf "$DIR"
    mkdir -p "$DIR/run" "$DIR/home"
    chmod 700 "$DIR/run"
    cp "$PLAYER" "$DIR/ostrel"
    [ $# -gt 0 ] && printf '%s\r\n' "$@" >"$DIR/ostrel.cfg"
    return 0
}

# The player's environment: its own runtime folder and home, no network, and
# the sound to the null output. player_env prints it for env(1).
player_env() {
    printf '%s\n' -u OSTREL_AUDIO_OUT XDG_RUNTIME_DIR="$DIR/run" HOME="$DIR/home" \
        OSTREL_AUDIO_OUT=null OSTREL_NETWORK=offline QT_QPA_PLATFORM=xcb
}

# launch ARGS...: the player of DIR under /usr/bin/time -v (report in
# DIR/time.txt); TIME_PID, and OSTREL_PID once it runs.
launch() {
    local environment
    mapfile -t environment < <(player_env)
    (
        cd "$DIR" || exit 1
        exec env "${environment[@]}" \
            /usr/bin/time -v -o "$DIR/time.txt" ./ostrel "$@" >"$DIR/stdout" 2>"$DIR/stderr"
    ) &
    TIME_PID=$!
    PIDS+=("$TIME_PID")
    LAUNCHES=$((LAUNCHES + 1))
    OSTREL_PID=
    for _ in $(seq 100); do
        OSTREL_PID=$(pgrep -P "$TIME_PID" | head -1)
        [ -n "$OSTREL_PID" ] && break
        sleep 0.02
    done
}

wait_window() {
    WIN=
    for _ in $(seq 150); do
        WIN=$(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | head -1)
        [ -n "$WIN" ] && return 0
        sleep 0.1
    done
    return 1
}

# Ends the player with Escape and waits for it.
finish_player() {
    xdotool windowfocus --sync "$WIN" key Escape 2>/dev/null
    for _ in $(seq 100); do
        kill -0 "$TIME_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$TIME_PID" 2>/dev/null && kill -9 "$OSTREL_PID" 2>/dev/null
    wait "$TIME_PID" 2>/dev/null
}

# A player that Escape did not end within 10 s hung (it was then killed);
# such a run measures nothing, so it is noted and run again.
HANGS=()
HANG_STATE=
LAUNCHES=0
hung() { grep -q "terminated by signal" "$DIR/time.txt" 2>/dev/null; }
note_hang() {
    HANGS+=("$1")
    say "  the player hung ($1); again"
}

# playing_now: the player of OSTREL_PID uses CPU over the next second (it
# plays; a player hung at its start does not use any). Otherwise it is
# killed at once, and the caller's hung() finds it so.
playing_now() {
    local p0
    p0=$(ticks "$OSTREL_PID")
    sleep 1
    (($(ticks "$OSTREL_PID") > p0)) && return 0
    # What its threads wait in, for the report.
    HANG_STATE=$(for t in /proc/"$OSTREL_PID"/task/*; do
        printf '%s in %s\n' "$(cat "$t/comm" 2>/dev/null)" "$(cat "$t/wchan" 2>/dev/null)"
    done | sort | uniq -c | awk '{ $1 = $1 " x"; print }' | paste -sd ',' | sed 's/,/, /g')
    kill -9 "$OSTREL_PID" 2>/dev/null
    wait "$TIME_PID" 2>/dev/null
    return 1
}

menu_command() {
    local names=(Open Start Pause Stop Stream Save About Site Exit) i
    for i in "${!names[@]}"; do
        [ "${names[$i]}" = "$1" ] && xdotool mousemove "${MENU_X[i]}" "$((MENU_H / 2))" click 1
    done
    return 0
}

# time_field FILE LABEL: a figure of /usr/bin/time -v's report.
time_field() { sed -n "s/^[[:space:]]*$2: //p" "$1" | head -1; }
cpu_of() {
    awk -v u="$(time_field "$1" 'User time (seconds)')" -v s="$(time_field "$1" 'System time (seconds)')" \
        'BEGIN { printf "%.2f", u + s }'
}
rss_mb() { awk -v k="$(time_field "$1" 'Maximum resident set size (kbytes)')" 'BEGIN { printf "%.0f", k / 1024 }'; }

# The clip's video: width, height, frame rate, frame count, duration.
clip_facts() {
    local line
    line=$(ffprobe -v error -select_streams v:0 -count_packets \
        -show_entries stream=width,height,r_frame_rate,nb_read_packets:format=duration -of csv=p=0 "$1" |
        tr '\n' ',')
    IFS=, read -r CLIP_W CLIP_H CLIP_RATE CLIP_FRAMES CLIP_DURATION _ <<<"$line"
    CLIP_FPS=$(awk -v r="$CLIP_RATE" 'BEGIN { split(r, p, "/"); printf "%.3f", p[1] / (p[2] ? p[2] : 1) }')
}

# median_of VALUES...: the middle value (the mean of the two middle ones);
# "none" when no value is a number.
median_of() {
    printf '%s\n' "$@" | grep -E '^-?[0-9.]+$' | sort -g | awk '{ v[NR] = $1 } END {
        if (!NR) print "none"; else if (NR % 2) printf "%.2f", v[(NR + 1) / 2];
        else printf "%.2f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 != a || !(b > 0)) print "n/a"; else printf "%.2f", a / b }'; }
meets() { awk -v v="$1" -v t="$2" 'BEGIN { print (v + 0 == v && v <= t ? "met" : "NOT met") }'; }
total() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a + b }'; }
elapsed() { echo "$(($(date +%s) - $1)) s"; }
declare -A TOOK

# --- The menu bar, measured on the idle window ----------------------------------
prepare idle "MenuBar text" "XCoord 0" "YCoord 0"
launch
wait_window || { say "the player's window did not show"; exit 2; }
sleep 0.5
xwd -silent -id "$WIN" >"$WORK/idle.xwd"
read -r MENU_H _ < <("$PY" "$SCREEN_PY" layout "$WORK/idle.xwd")
read -r -a MENU_X < <("$PY" "$SCREEN_PY" menu "$WORK/idle.xwd" "$MENU_H")
finish_player
[ "${#MENU_X[@]}" = 9 ] || { say "cannot find the menu bar's commands"; exit 2; }

# window W H: the configuration of a window at the top-left corner whose
# video area (under the text menu bar) is W x H; in WINDOW.
window() {
    WINDOW=("MenuBar text" "XCoord 0" "YCoord 0" "Width $1" "Height $(($2 + MENU_H))")
}

# --- (a) Frames delivered -------------------------------------------------------
say "(a) frames delivered"
began=$(date +%s)
FRAMES_ROWS=()
FRAMES_OK=1
FRAMES_BAD=()
for clip in clip-mjpeg.avi clip-msmpeg4v2.avi clip-mpeg4.avi clip-rawvideo.avi clip-cinepak.avi \
    clip-mjpeg-noaudio.avi clip.mpg clip.dat bench-720p.mp4 bench-1080p.mp4; do
    clip_facts "$MEDIA/$clip"
    if ((CLIP_W >= 640)); then
        window "$CLIP_W" "$CLIP_H"
        prepare "frames-$clip" "${WINDOW[@]}"
        win_w=$CLIP_W win_h=$((CLIP_H + MENU_H))
    else
        # Small clips in the default window (the menu bar needs its width).
        prepare "frames-$clip"
        win_w=462 win_h=386
    fi
    log="$DIR/damage.log"
    for _ in 1 2 3 4 5; do
        rm -f "$log" "$log.grabs"
        "$PY" "$SCREEN_PY" damage "$log" "$MENU_H" &
        damage_pid=$!
        PIDS+=("$damage_pid")
        for _ in $(seq 50); do grep -q ready "$log" 2>/dev/null && break; sleep 0.05; done
        launch "$MEDIA/$clip"
        if wait_window && playing_now; then
            # Nothing to look at before the clip's end; then until nothing
            # was drawn for a second and a half (a look at the log's last
            # line: counting the frames means reading all their grabs).
            sleep "$(awk -v d="$CLIP_DURATION" 'BEGIN { printf "%.1f", d - 1 }')"
            limit=$(awk -v d="$CLIP_DURATION" 'BEGIN { printf "%d", (d + 15) * 2 }')
            while ((limit-- > 0)); do
                sleep 0.5
                last=$(tail -n 1 "$log" | cut -d' ' -f1)
                awk -v t="$last" -v now="$(date +%s.%N)" 'BEGIN { exit !(now - t > 1.5) }' && break
            done
            finish_player
        else
            kill -9 "$OSTREL_PID" 2>/dev/null
            wait "$TIME_PID" 2>/dev/null
        fi
        kill "$damage_pid" 2>/dev/null
        wait "$damage_pid" 2>/dev/null
        hung || break
        note_hang "(a) $clip"
    done
    read -r count first final < <("$PY" "$SCREEN_PY" flushes "$log" "$win_w" "$win_h" "$MENU_H")
    span=$(awk -v a="$first" -v b="$final" 'BEGIN { printf "%.2f", b - a }')
    expected=$(awk -v n="$CLIP_FRAMES" -v f="$CLIP_FPS" 'BEGIN { printf "%.2f", (n - 1) / f }')
    verdict=yes
    if [ "$count" != "$CLIP_FRAMES" ]; then
        verdict=NO
        FRAMES_OK=0
        FRAMES_BAD+=("$clip")
    fi
    FRAMES_ROWS+=("| $clip | ${CLIP_W}x$CLIP_H | $CLIP_FPS | $CLIP_FRAMES | $count | $span s | $expected s | $verdict |")
    say "  $clip: $count of $CLIP_FRAMES frames in $span s"
done
TOOK[a]=$(elapsed "$began")

# --- (b) Playback CPU and peak memory ---------------------------------------------
# Other work on the machine moves these figures by a fifth from one run to
# the next: the 720p clip is played ROUNDS times by each, alternating, and
# the medians are compared.
ROUNDS=${BENCH_ROUNDS:-3}
say "(b) playback CPU"
began=$(date +%s)
declare -A CPU RSS RUNS
clip="$MEDIA/bench-720p.mp4"
clip_facts "$clip"
# The views: 1:1 (a video area of the clip's size) and full screen (the
# clip scaled to 1920 x 1080, the size a 16:9 picture fills the screen at).
declare -A VIEW_W=([one]=$CLIP_W [full]=1920) VIEW_H=([one]=$CLIP_H [full]=1080)
declare -A O_CPU O_X O_RSS M_CPU M_X M_RSS
F_CPU=()
for ((round = 1; round <= ROUNDS; round++)); do
    for view in one full; do
        vw=${VIEW_W[$view]} vh=${VIEW_H[$view]}
        # The player.
        window "$vw" "$vh"
        for _ in 1 2 3 4 5; do
            prepare "cpu-$view" "${WINDOW[@]}"
            x0=$(ticks "$XVFB_PID")
            launch "$clip"
            if wait_window && playing_now; then
                sleep "$(awk -v d="$CLIP_DURATION" 'BEGIN { printf "%d", d + 1 }')"
                finish_player
            else
                kill -9 "$OSTREL_PID" 2>/dev/null
                wait "$TIME_PID" 2>/dev/null
            fi
            x1=$(ticks "$XVFB_PID")
            hung || break
            note_hang "(b) ${vw}x$vh, round $round"
        done
        O_CPU[$view]+=" $(cpu_of "$DIR/time.txt")" O_RSS[$view]+=" $(rss_mb "$DIR/time.txt")"
        O_X[$view]+=" $(seconds $((x1 - x0)))"
        # mpv on the same display, its window the size of the player's video
        # area, at the same place.
        x0=$(ticks "$XVFB_PID")
        /usr/bin/time -v -o "$WORK/mpv.time" mpv --no-config --no-terminal --vo=x11 --ao=null \
            --geometry="${vw}x$vh+0+0" "$clip" >/dev/null 2>&1
        x1=$(ticks "$XVFB_PID")
        M_CPU[$view]+=" $(cpu_of "$WORK/mpv.time")" M_RSS[$view]+=" $(rss_mb "$WORK/mpv.time")"
        M_X[$view]+=" $(seconds $((x1 - x0)))"
        read -r -a o <<<"${O_CPU[$view]}"
        read -r -a ox <<<"${O_X[$view]}"
        read -r -a m <<<"${M_CPU[$view]}"
        read -r -a mx <<<"${M_X[$view]}"
        say "  ${vw}x$vh: ostrel ${o[-1]} + X ${ox[-1]}, mpv ${m[-1]} + X ${mx[-1]} CPU-s"
    done
    # Decoding alone.
    /usr/bin/time -v -o "$WORK/ffmpeg.time" ffmpeg -nostdin -v error -i "$clip" -f null - >/dev/null 2>&1
    F_CPU+=("$(cpu_of "$WORK/ffmpeg.time")")
    say "  decoding alone: ${F_CPU[-1]} CPU-s"
done
for view in one full; do
    # shellcheck disable=SC2086 # the lists are space-separated numbers
    {
        CPU[ostrel-$view]=$(median_of ${O_CPU[$view]}) CPU[mpv-$view]=$(median_of ${M_CPU[$view]})
        RSS[ostrel-$view]=$(median_of ${O_RSS[$view]} | cut -d. -f1)
        RSS[mpv-$view]=$(median_of ${M_RSS[$view]} | cut -d. -f1)
        # Player and X server together, run by run, and their median.
        both_o=() both_m=()
        read -r -a o <<<"${O_CPU[$view]}"
        read -r -a ox <<<"${O_X[$view]}"
        read -r -a m <<<"${M_CPU[$view]}"
        read -r -a mx <<<"${M_X[$view]}"
        for i in "${!o[@]}"; do both_o+=("$(total "${o[i]}" "${ox[i]}")"); done
        for i in "${!m[@]}"; do both_m+=("$(total "${m[i]}" "${mx[i]}")"); done
        CPU[both-ostrel-$view]=$(median_of "${both_o[@]}") CPU[both-mpv-$view]=$(median_of "${both_m[@]}")
        RUNS[$view]="player${O_CPU[$view]} (X${O_X[$view]}); mpv${M_CPU[$view]} (X${M_X[$view]});"
        RUNS[$view]+=" peak memory player${O_RSS[$view]} MB, mpv${M_RSS[$view]} MB"
    }
done
CPU[ffmpeg]=$(median_of "${F_CPU[@]}")
TOOK[b]=$(elapsed "$began")

# --- (c) Idle CPU -------------------------------------------------------------------
say "(c) idle CPU"
began=$(date +%s)
declare -A IDLE IDLE_X IDLE_WAKE
# wakeups PID: how often the process's threads were put back on a core so
# far (their context switches; a thread that sleeps until there is work
# adds none).
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s + 0 }'; }
# idle_measure NAME: CPU of the player and of the X server over 10 s, and
# the player's wake-ups.
idle_measure() {
    local p0 p1 x0 x1 w0 w1
    sleep 1
    p0=$(ticks "$OSTREL_PID")
    x0=$(ticks "$XVFB_PID")
    w0=$(wakeups "$OSTREL_PID")
    sleep 10
    p1=$(ticks "$OSTREL_PID")
    x1=$(ticks "$XVFB_PID")
    w1=$(wakeups "$OSTREL_PID")
    IDLE[$1]=$(seconds $((p1 - p0)))
    IDLE_X[$1]=$(seconds $((x1 - x0)))
    IDLE_WAKE[$1]=$((w1 - w0))
    say "  $1: ${IDLE[$1]} + X ${IDLE_X[$1]} CPU-s in 10 s, ${IDLE_WAKE[$1]} wake-ups"
}
clip_facts "$MEDIA/bench-720p.mp4"
window "$CLIP_W" "$CLIP_H"
for _ in 1 2 3 4 5; do
    prepare idle-stopped "MenuBar text" "XCoord 0" "YCoord 0"
    launch
    wait_window && idle_measure stopped
    finish_player
    hung || break
    note_hang "(c) stopped"
done
for _ in 1 2 3 4 5; do
    prepare idle-paused "${WINDOW[@]}"
    launch "$MEDIA/bench-720p.mp4"
    wait_window && sleep 0.5 && playing_now && menu_command Pause && idle_measure paused
    finish_player
    hung || break
    note_hang "(c) paused"
done
for _ in 1 2 3 4 5; do
    prepare idle-dialog "${WINDOW[@]}" "SoundOn no"
    launch "$MEDIA/bench-720p.mp4"
    if wait_window && sleep 0.5 && playing_now && menu_command About; then
        idle_measure "about dialog open"
        dialog=$(xdotool search --onlyvisible --name '^ ostrel$' | head -1)
        [ -n "$dialog" ] && xdotool windowfocus --sync "$dialog" key Return 2>/dev/null
    fi
    sleep 0.5
    finish_player
    hung || break
    note_hang "(c) about dialog"
done
# Idle is nothing at all: at most one clock tick (0.01 s) in 10 s, for the
# player and for the X server.
IDLE_OK=met
for state in stopped paused "about dialog open"; do
    for v in "${IDLE[$state]:-x}" "${IDLE_X[$state]:-x}"; do
        [ "$(meets "$v" 0.01)" = met ] || IDLE_OK="NOT met"
    done
done
TOOK[c]=$(elapsed "$began")

# --- (d) Launch to first frame --------------------------------------------------------
say "(d) launch to first frame"
began=$(date +%s)
clip="$MEDIA/bench-720p.mp4"
clip_facts "$clip"
window "$CLIP_W" "$CLIP_H"
prepare first "${WINDOW[@]}"
# A patch in the middle of the video area: black until the first frame.
patch=(576 300 128 128)
FIRST_O=()
FIRST_M=()
mapfile -t environment < <(player_env)
for round in 1 2 3 4 5; do
    ms=$(cd "$DIR" && "$PY" "$BENCH_DIR/first_frame.py" "${patch[@]}" 6 -- env "${environment[@]}" \
        ./ostrel "$clip")
    FIRST_O+=("$ms")
    LAUNCHES=$((LAUNCHES + 1))
    [ "$ms" = none ] && HANGS+=("(d) round $round")
    sleep 0.5
    ms=$("$PY" "$BENCH_DIR/first_frame.py" "${patch[@]}" 6 -- mpv --no-config --no-terminal --vo=x11 \
        --ao=null --geometry=+0+0 "$clip")
    FIRST_M+=("$ms")
    sleep 0.5
done
FIRST_O_MED=$(median_of "${FIRST_O[@]}" | cut -d. -f1)
FIRST_M_MED=$(median_of "${FIRST_M[@]}" | cut -d. -f1)
say "  ostrel ${FIRST_O[*]} ms, mpv ${FIRST_M[*]} ms"
TOOK[d]=$(elapsed "$began")

# --- The sound server for (e) and (f) ----------------------------------------------
# A private PulseAudio whose only output is a null sink, which plays in real
# time; the players find it through PULSE_SERVER. The player is given no
# OSTREL_AUDIO_OUT here, so it plays to the sound server.
PULSE_RUN="$WORK/pulse"
mkdir -p "$PULSE_RUN"
chmod 700 "$PULSE_RUN"
export PULSE_SERVER="unix:$PULSE_RUN/pulse/native"
PULSE_STARTS=0
start_pulse() {
    [ -n "$PULSE_PID" ] && kill "$PULSE_PID" 2>/dev/null && wait "$PULSE_PID" 2>/dev/null
    (
        export XDG_RUNTIME_DIR="$PULSE_RUN" HOME="$PULSE_RUN"
        exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
            --load=module-native-protocol-unix --load="module-null-sink sink_name=nullsink" \
            >>"$WORK/pulseaudio.log" 2>&1
    ) &
    PULSE_PID=$!
    PULSE_STARTS=$((PULSE_STARTS + 1))
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    pactl set-default-sink nullsink || { say "the sound server did not start (see $WORK/pulseaudio.log)"; exit 2; }
}
# The sound server is there, or started again (it has been seen to go away
# while other work ran on the machine; the report counts the restarts).
ensure_pulse() {
    pactl info >/dev/null 2>&1 && return 0
    say "  the sound server went away; started again"
    start_pulse
}
start_pulse
# sound_env OUTPUT: the player's environment with the sound to the sound
# server ("server") or to the null output ("null"); the runtime folder is
# the sound server's, shared by the first and the second start.
sound_env() {
    printf '%s\n' -u OSTREL_AUDIO_OUT XDG_RUNTIME_DIR="$PULSE_RUN" HOME="$DIR/home" \
        PULSE_SERVER="$PULSE_SERVER" OSTREL_NETWORK=offline QT_QPA_PLATFORM=xcb
    [ "$1" = null ] && echo OSTREL_AUDIO_OUT=null
    return 0
}

# --- (e) Hand-over -------------------------------------------------------------------
say "(e) hand-over"
began=$(date +%s)
HANDOVERS=${BENCH_HANDOVERS:-5}
window 640 360
# A patch in the middle of the video area; the first clip is red, the one
# handed over blue.
hpatch=(288 $((MENU_H + 148)) 64 64)
declare -A HAND_RUNS START_RUNS HAND_NOTES
for output in server null; do
    prepare "handover-$output" "${WINDOW[@]}"
    cp "$MEDIA/bench-red.avi" "$DIR/first.avi"
    cp "$MEDIA/bench-blue.avi" "$DIR/other.avi"
    HAND_RUNS[$output]="" START_RUNS[$output]="" HAND_NOTES[$output]=""
done
for ((round = 1; round <= HANDOVERS; round++)); do
    for output in server null; do
        ensure_pulse
        DIR="$WORK/handover-$output"
        mapfile -t environment < <(sound_env "$output")
        # The first start, left running: the time to its first frame too.
        read -r ms _ < <(cd "$DIR" && "$PY" "$BENCH_DIR/first_frame.py" "${hpatch[@]}" 15 \
            --colour EB1010 --leave -- env "${environment[@]}" ./ostrel first.avi)
        START_RUNS[$output]+=" $ms"
        LAUNCHES=$((LAUNCHES + 1))
        wait_window
        first_pid=$(xdotool getwindowpid "$WIN" 2>/dev/null)
        [ -n "$first_pid" ] && PIDS+=("$first_pid")
        if [ "$ms" = none ]; then
            HANGS+=("(e) $output, round $round")
            say "  $output: the first start showed nothing (hung); round left out"
            [ -n "$first_pid" ] && kill -9 "$first_pid" 2>/dev/null
            sleep 0.3
            continue
        fi
        # Past the start of its sound too (the null sink holds a new stream
        # back for over a second), so the player hands over from steady play.
        sleep 1.5
        # The second start, from the same folder with the same runtime folder.
        read -r ms status < <(cd "$DIR" && "$PY" "$BENCH_DIR/first_frame.py" "${hpatch[@]}" 5 \
            --colour 1010EB --wait-end 3 -- env "${environment[@]}" ./ostrel other.avi)
        HAND_RUNS[$output]+=" $ms"
        sleep 0.5
        windows=$(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | wc -l)
        [ "$status" = 0 ] || HAND_NOTES[$output]+=" round $round: the second start's status was $status;"
        [ "$windows" = 1 ] || HAND_NOTES[$output]+=" round $round: $windows player windows;"
        say "  $output: first start ${START_RUNS[$output]##* } ms, hand-over $ms ms (status $status, $windows window(s))"
        xdotool windowfocus --sync "$WIN" key Escape 2>/dev/null
        for _ in $(seq 50); do
            { [ -n "$first_pid" ] && kill -0 "$first_pid" 2>/dev/null; } || break
            sleep 0.1
        done
        [ -n "$first_pid" ] && kill -9 "$first_pid" 2>/dev/null
        # Whatever a failed hand-over left running.
        for w in $(xdotool search --name "^$TITLE\$" 2>/dev/null); do
            pid=$(xdotool getwindowpid "$w" 2>/dev/null) && [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
        done
        sleep 0.3
    done
done
declare -A HAND_MED START_MED HAND_MAX
for output in server null; do
    # shellcheck disable=SC2086
    HAND_MED[$output]=$(median_of ${HAND_RUNS[$output]} | cut -d. -f1)
    # shellcheck disable=SC2086
    START_MED[$output]=$(median_of ${START_RUNS[$output]} | cut -d. -f1)
    # shellcheck disable=SC2086
    HAND_MAX[$output]=$(printf '%s\n' ${HAND_RUNS[$output]} | awk '
        $1 !~ /^[0-9]+$/ { none = 1 } $1 > m { m = $1 } END { print (none ? "none" : m) }')
done
TOOK[e]=$(elapsed "$began")

# --- (f) Sound and picture in step ----------------------------------------------------
say "(f) sound and picture in step"
began=$(date +%s)
clip="$MEDIA/bench-sync.avi"
window 640 360
prepare sync "${WINDOW[@]}"
mapfile -t environment < <(sound_env server)
# The patch lies in the video area of both: the player's under its menu bar,
# mpv's at the top-left corner.
spatch=(288 $((MENU_H + 148)) 64 64)
for _ in 1 2 3 4 5; do
    ensure_pulse
    (cd "$DIR" && "$PY" "$BENCH_DIR/av_sync.py" "${spatch[@]}" 36 "$WORK/sync-ostrel.txt" --flashes 30 -- \
        env "${environment[@]}" ./ostrel "$clip") | sed 's/^/  ostrel: /' >&2
    LAUNCHES=$((LAUNCHES + 1))
    if ! pactl info >/dev/null 2>&1; then
        say "  the sound server went away during the run; again"
        continue
    fi
    [ "$(sed -n 's/^flashes //p' "$WORK/sync-ostrel.txt")" != 0 ] && break
    note_hang "(f)"
done
sleep 0.5
ensure_pulse
"$PY" "$BENCH_DIR/av_sync.py" "${spatch[@]}" 36 "$WORK/sync-mpv.txt" -- mpv --no-config --no-terminal \
    --vo=x11 --ao=pulse --geometry=640x360+0+0 "$clip" | sed 's/^/  mpv: /' >&2
# sync_field FILE KEY: a figure of av_sync.py's report.
sync_field() { sed -n "s/^$2 //p" "$1" | head -1; }
TOOK[f]=$(elapsed "$began")
pactl info >/dev/null 2>&1 || PULSE_LOST=" (it had gone away by the end of (f))"
kill "$PULSE_PID" 2>/dev/null
wait "$PULSE_PID" 2>/dev/null
PULSE_PID=

# --- The report ---------------------------------------------------------------------
changed=$(git -C "$ROOT" status --porcelain -- src 2>/dev/null | wc -l)
TREE_NOTE=
((changed > 0)) && TREE_NOTE=" (the tree held uncommitted changes to $changed files under src/ at the end of the run)"
o1=${CPU[both-ostrel-one]} m1=${CPU[both-mpv-one]}
of=${CPU[both-ostrel-full]} mf=${CPU[both-mpv-full]}
r_first=$(ratio "$FIRST_O_MED" "$FIRST_M_MED")
r_rss=$(ratio "${RSS[ostrel-one]}" "${RSS[mpv-one]}")
r_one=$(ratio "$o1" "$m1")
r_full=$(ratio "$of" "$mf")
r_decode=$(ratio "${CPU[ostrel-one]}" "${CPU[ffmpeg]}")
sync_o_max=$(sync_field "$WORK/sync-ostrel.txt" offset_max_ms)
sync_o_min=$(sync_field "$WORK/sync-ostrel.txt" offset_min_ms)
sync_m_max=$(sync_field "$WORK/sync-mpv.txt" offset_max_ms)
sync_m_min=$(sync_field "$WORK/sync-mpv.txt" offset_min_ms)
sync_o_ok=$(sync_field "$WORK/sync-ostrel.txt" within_40ms)
sync_o_pairs=$(sync_field "$WORK/sync-ostrel.txt" pairs)
[ "$sync_o_ok" = yes ] && [ "${sync_o_pairs:-0}" = 30 ] && sync_verdict=met || sync_verdict="NOT met"
{
    echo "# Benchmarks of the Linux player, $(date -u +'%Y-%m-%d %H:%M UTC')"
    echo
    echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
        "$(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo), $(uname -sr)."
    echo "Player: ${PLAYER#"$ROOT"/}" \
        "($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BUILD/CMakeCache.txt" 2>/dev/null)), built" \
        "$(date -u -r "$PLAYER" +'%Y-%m-%d %H:%M UTC'), the last commit before it" \
        "$(git -C "$ROOT" log -1 --before="$(date -r "$PLAYER" --iso-8601=seconds)" --format=%h 2>/dev/null)$TREE_NOTE;" \
        "$(mpv --version | head -1 | cut -d' ' -f1-2); $(ffmpeg -version | head -1 | cut -d' ' -f1-3);" \
        "$(pulseaudio --version 2>/dev/null | head -1)."
    echo "Display: Xvfb 1920x1200x24. Sound: (a) to (d) to the null output (player: OSTREL_AUDIO_OUT=null,"
    echo "mpv: --ao=null); (e) and (f) to a private PulseAudio's null sink (player: no OSTREL_AUDIO_OUT,"
    echo "mpv: --ao=pulse), and (e) once more with OSTREL_AUDIO_OUT=null."
    echo "Made by \`bench/run_benchmarks.sh\` in $(elapsed "$BEGUN"); CPU is user + system time in CPU-seconds."
    echo
    echo "## Targets"
    echo
    echo "| Target | Player | mpv / reference | Ratio | Limit | Verdict |"
    echo "|---|---|---|---|---|---|"
    echo "| Launch to first frame, 720p (d) | $FIRST_O_MED ms | $FIRST_M_MED ms | $r_first | 0.5 x mpv | $(meets "$r_first" 0.5) |"
    echo "| Peak memory, 720p at 1:1 (b) | ${RSS[ostrel-one]} MB | ${RSS[mpv-one]} MB | $r_rss | 0.85 x mpv | $(meets "$r_rss" 0.85) |"
    echo "| Playback CPU + X, 720p at 1:1 (b) | $o1 | $m1 | $r_one | 0.7 x mpv | $(meets "$r_one" 0.7) |"
    echo "| Playback CPU + X, 720p at 1920x1080 (b) | $of | $mf | $r_full | 0.55 x mpv | $(meets "$r_full" 0.55) |"
    echo "| Player CPU against decoding alone, 720p at 1:1 (b) | ${CPU[ostrel-one]} | ${CPU[ffmpeg]} (ffmpeg) | $r_decode | 1.5 x decode | $(meets "$r_decode" 1.5) |"
    echo "| Every frame shown (a) | $(grep -c '| yes |$' < <(printf '%s\n' "${FRAMES_ROWS[@]}")) of ${#FRAMES_ROWS[@]} clips | - | - | all | $([ "$FRAMES_OK" = 1 ] && echo met || echo "NOT met") |"
    echo "| Idle CPU: stopped, paused, dialog (c) | $(for s in stopped paused "about dialog open"; do printf '%s+%s ' "${IDLE[$s]:-n/a}" "${IDLE_X[$s]:-n/a}"; done)| - | - | 0 (one tick, 0.01 s) | $IDLE_OK |"
    echo "| Hand-over to first frame, sound server (e) | ${HAND_MED[server]} ms (worst ${HAND_MAX[server]}) | - | - | 300 ms | $(meets "${HAND_MED[server]}" 300) |"
    echo "| Hand-over to first frame, null output (e) | ${HAND_MED[null]} ms (worst ${HAND_MAX[null]}) | - | - | 300 ms | $(meets "${HAND_MED[null]}" 300) |"
    echo "| Sound and picture in step, every flash (f) | ${sync_o_min:-none}..${sync_o_max:-none} ms | ${sync_m_min:-none}..${sync_m_max:-none} ms (mpv) | - | +-40 ms, 30 of 30 | $sync_verdict |"
    echo
    echo "Verdicts on the medians of the runs listed in each section; \"NOT met\" is a target missed."
    echo
    echo "## (a) Frames delivered"
    echo
    echo "Each clip played once (the H.264 clips in a window whose video area is the clip's size, the"
    echo "small ones in the default 462 x 386 window); the frames are the pictures the X server reported"
    echo "drawn on the video area (DAMAGE; black fills left out), the span from the first to the last."
    echo "Target: frames shown = frames in the file, at the clip's own rate. (tone.wav, the sound item,"
    echo "has no frames.)"
    echo
    echo "| Clip | Size | fps | Frames in file | Frames shown | First to last | At its rate | Every frame |"
    echo "|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${FRAMES_ROWS[@]}"
    echo
    echo "Every frame shown: $([ "$FRAMES_OK" = 1 ] && echo met || echo "NOT met (${FRAMES_BAD[*]})")."
    echo
    echo "## (b) Playback CPU of the 30 s 720p H.264 clip, and peak memory"
    echo
    echo "Player and mpv each play the whole clip on the same display, the player in a window whose"
    echo "video area is 1280 x 720 (1:1) or 1920 x 1080 (full screen: configuration XCoord 0, YCoord 0,"
    echo "Width 1920, Height 1080 + the menu bar), mpv in a window of that size at the same place"
    echo "(mpv --no-config --vo=x11 --ao=null --geometry=WxH+0+0). The player's figure is its whole run"
    echo "(start, 30 s of playback, the end). X server: the Xvfb process's CPU over the same run. Decode"
    echo "alone: ffmpeg -i clip -f null -. Peak memory: maximum resident set size (/usr/bin/time -v)."
    echo "$ROUNDS rounds, each: player 1:1, mpv 1:1, player full screen, mpv full screen, decoding alone;"
    echo "medians of the runs listed below the table (player + X: the median of the runs' sums)."
    echo
    echo "| View | Player | Player + X | mpv | mpv + X | (Player + X) / (mpv + X) | Target | Peak memory player / mpv |"
    echo "|---|---|---|---|---|---|---|---|"
    echo "| 1:1, 1280x720 | ${CPU[ostrel-one]} | $o1 | ${CPU[mpv-one]} | $m1 | $r_one | 0.7: $(meets "$r_one" 0.7) |" \
        "${RSS[ostrel-one]} MB / ${RSS[mpv-one]} MB |"
    echo "| full screen, 1920x1080 | ${CPU[ostrel-full]} | $of | ${CPU[mpv-full]} | $mf | $r_full |" \
        "0.55: $(meets "$r_full" 0.55) | ${RSS[ostrel-full]} MB / ${RSS[mpv-full]} MB |"
    echo
    echo "- Runs, 1:1: ${RUNS[one]}."
    echo "- Runs, full screen: ${RUNS[full]}."
    echo "- Decoding alone: ${F_CPU[*]} CPU-s, median ${CPU[ffmpeg]}."
    echo
    echo "Targets: player + X at most 0.7 x mpv + X at 1:1: $r_one -> $(meets "$r_one" 0.7); at most 0.55 x at"
    echo "full screen: $r_full -> $(meets "$r_full" 0.55); player at most 1.5 x decoding alone (1:1): $r_decode ->"
    echo "$(meets "$r_decode" 1.5); peak memory at most 0.85 x mpv's (1:1): $r_rss -> $(meets "$r_rss" 0.85)."
    echo
    echo "## (c) Idle CPU over 10 s"
    echo
    echo "| State | Player | X server | Player's wake-ups |"
    echo "|---|---|---|---|"
    for state in stopped paused "about dialog open"; do
        echo "| $state | ${IDLE[$state]:-n/a} | ${IDLE_X[$state]:-n/a} | ${IDLE_WAKE[$state]:-n/a} |"
    done
    echo
    echo "Stopped: started with no item; paused: the 720p clip after Pause; about dialog: opened over"
    echo "the playing 720p clip (SoundOn no, so the intro sound does not count). Target: 0, read as at"
    echo "most one clock tick (0.01 s) each for the player and the X server: $IDLE_OK. Wake-ups: the"
    echo "context switches of all the player's threads over the 10 s (/proc/PID/task/*/status); a"
    echo "player that only waits for its next event has next to none."
    echo
    echo "## (d) Launch to first frame (720p clip)"
    echo
    echo "From the start of the process to the first look (every ~5 ms, X GetImage) that finds the"
    echo "middle of the video area lit; five runs each, alternating (player: OSTREL_AUDIO_OUT=null,"
    echo "mpv: --ao=null)."
    echo
    echo "| | Runs (ms) | Median |"
    echo "|---|---|---|"
    echo "| Player | ${FIRST_O[*]} | $FIRST_O_MED ms |"
    echo "| mpv | ${FIRST_M[*]} | $FIRST_M_MED ms |"
    echo
    echo "Target: at most half of mpv's: $r_first x -> $(meets "$r_first" 0.5)."
    echo
    echo "## (e) Hand-over to the running player"
    echo
    echo "The player is started on a red clip (640 x 360, 10 s, PCM sound) in a window of that size;"
    echo "1.5 s after its first frame a second start in the same folder, with the same XDG_RUNTIME_DIR,"
    echo "hands it other.avi, a blue clip. The figure is the time from the second start to the first"
    echo "look (every ~5 ms, X GetImage) that finds the middle of the video area blue. Sound server: a private"
    echo "PulseAudio with a null sink, no OSTREL_AUDIO_OUT; null output: OSTREL_AUDIO_OUT=null. Rounds"
    echo "alternate between the two. First start: from the first start to its first (red) frame."
    echo
    echo "| Sound to | Hand-over runs (ms) | Median | Worst | Target 300 ms | First start runs (ms) | Median |"
    echo "|---|---|---|---|---|---|---|"
    for output in server null; do
        label="sound server"
        [ "$output" = null ] && label="null output"
        echo "| $label |${HAND_RUNS[$output]} | ${HAND_MED[$output]} ms | ${HAND_MAX[$output]} ms |" \
            "$(meets "${HAND_MED[$output]}" 300) |${START_RUNS[$output]} | ${START_MED[$output]} ms |"
    done
    echo
    for output in server null; do
        [ -n "${HAND_NOTES[$output]}" ] && echo "- $output:${HAND_NOTES[$output]}"
    done
    echo "Every second start ended with status 0 and left one player window, unless listed above."
    echo
    echo "## (f) Sound and picture in step"
    echo
    echo "A 30 s clip (640 x 360, 25 fps, MJPEG, 48 kHz PCM): black and silent but for one white frame"
    echo "and a 40 ms 1 kHz beep that starts with it, 0.48 s into every second. Played to the sound"
    echo "server's null sink (player: no OSTREL_AUDIO_OUT; mpv --vo=x11 --ao=pulse) in a 640 x 360 video"
    echo "area, while \`parec --device=nullsink.monitor --format=s16le --rate=48000 --channels=1"
    echo "--latency-msec=5\` records the sink and X GetImage reads a patch of the video area every ~2 ms"
    echo "(\`bench/av_sync.py\`). Offset: when the flash was on the screen minus when its beep was played,"
    echo "in ms; positive: the picture late."
    echo
    echo "| | Flashes seen | Beeps heard | Pairs | Offsets min / median / max | All within 40 ms |"
    echo "|---|---|---|---|---|---|"
    for who in ostrel mpv; do
        f="$WORK/sync-$who.txt"
        label=Player
        [ "$who" = mpv ] && label=mpv
        echo "| $label | $(sync_field "$f" flashes) | $(sync_field "$f" beeps) | $(sync_field "$f" pairs) |" \
            "$(sync_field "$f" offset_min_ms) / $(sync_field "$f" offset_median_ms) / $(sync_field "$f" offset_max_ms) |" \
            "$(sync_field "$f" within_40ms) |"
    done
    echo
    for who in ostrel mpv; do
        f="$WORK/sync-$who.txt"
        label=Player
        [ "$who" = mpv ] && label=mpv
        echo "- $label, offset of each flash from the first to the last (ms): $(sync_field "$f" offsets_ms)."
        missed=$(sync_field "$f" flashes_missed_at_s)
        echo "  Flashes seen at (s after the start): $(sync_field "$f" flash_times_s); due but not seen:" \
            "${missed:-none}${missed:+ (\"not looked at\": the watcher paused more than 35 ms there)}."
        echo "  Recording: $(sync_field "$f" recorded_s) s of sound in $(sync_field "$f" recording_wall_s) s;" \
            "reads waited (median, 99th percentile, ms) $(sync_field "$f" read_wait_ms); null sink latency" \
            "$(sync_field "$f" sink_latency | tr _ ' '); screen looks $(sync_field "$f" looks), gap (median, worst, ms)" \
            "$(sync_field "$f" look_gap_ms), $(sync_field "$f" looks_apart_over_35ms) pauses over 35 ms."
    done
    echo
    echo "Target: every flash within 40 ms of its beep, from the first to the last (30 of 30): $sync_verdict."
    echo
    echo "How the times are put on one clock (\`bench/av_sync.py\`): a flash is dated halfway between the"
    echo "first look that found the patch lit and the dark look before it, each look at the middle of"
    echo "its GetImage round trip. The recording is dated by its reads: a sample cannot have been"
    echo "recorded after the read that returned it and the sink plays at a steady pace, so sample n was"
    echo "recorded at T0 + n / 48000 with T0 the earliest (read time - samples so far / 48000) over the"
    echo "run, the read that waited least; the beep's onset is its first sample above a tenth of full"
    echo "scale. What is left: the null sink mixes in blocks of the 5 ms the recording asked for and hands"
    echo "each to its monitor when it mixes it, up to one block before the time it stands for, so a beep"
    echo "may be dated up to ~5 ms early and the offset read up to ~5 ms late; mpv's run shows how large"
    echo "this is in practice."
    echo
    echo "## Notes"
    echo
    if [ "${#HANGS[@]}" -gt 0 ]; then
        echo "- The player hung at its start (no frame, no answer to Escape; killed) in ${#HANGS[@]} of" \
            "$LAUNCHES launches: ${HANGS[*]}. Those runs were left out and run again where the section allows."
        [ -n "$HANG_STATE" ] && echo "  Its threads in the last one found hung after a second without CPU: $HANG_STATE."
    else
        echo "- The player never hung in $LAUNCHES launches."
    fi
    echo "- Time taken: (a) ${TOOK[a]}, (b) ${TOOK[b]}, (c) ${TOOK[c]}, (d) ${TOOK[d]}, (e) ${TOOK[e]}, (f) ${TOOK[f]}."
    echo "- The sound server was started $PULSE_STARTS time(s)${PULSE_LOST:-}; more than once means it went away"
    echo "  during (e) or (f) and the section's next run waited for a new one."
    echo "- Load average (1, 5, 15 min) before the run: $LOAD_BEFORE; after it: $(cut -d' ' -f1-3 /proc/loadavg)."
    if [ "$(sync_field "$WORK/sync-ostrel.txt" beeps)" = 0 ]; then
        echo "- No sound of the player reached the null sink in (f): this build plays to the null output"
        echo "  when OSTREL_AUDIO_OUT is unset (no sound server output yet), so (e)'s \"sound server\" row"
        echo "  measured that fallback too."
    fi
    echo "- The machine's speed drifts from one run to the next by up to a fifth even with nothing else"
    echo "  running; CPU figures are medians of alternating runs for that reason."
} >"$REPORT"
say "report: $REPORT ($(elapsed "$BEGUN"))"
