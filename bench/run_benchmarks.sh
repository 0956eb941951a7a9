#!/usr/bin/env bash
# Benchmarks of the Linux player against its targets, on a private Xvfb
# display, with public tools only (/usr/bin/time, /proc, the X server's
# DAMAGE reports and GetImage, mpv and ffmpeg for comparison):
#
#   (a) frames delivered: every frame of every test clip and of 30 s 720p
#       and 1080p H.264 clips reaches the window, at the clip's own rate;
#   (b) playback CPU of the 30 s clips, the player's process and the X
#       server's share, side by side with mpv --vo=x11 --ao=null on the same
#       display, and the CPU of decoding the clip alone (ffmpeg -f null);
#   (c) idle CPU over 10 s: stopped, paused, and with the about dialog open;
#   (d) launch to first frame on the screen, and peak memory, against mpv.
#
#   bench/run_benchmarks.sh BUILD_DIR [REPORT]
#
# BUILD_DIR holds src/platform/qt/ostrel (built with -DOSTREL_QT=ON, best
# RelWithDebInfo or Release). Writes the Markdown report REPORT (default
# bench/results-DATE.md; only bench/RESULTS.md is kept in the repository).
# Takes about five minutes; needs mpv, ffmpeg, Xvfb, xdotool, xwd,
# /usr/bin/time (Debian package time) and python3 with numpy and Xlib.
set -u

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$BENCH_DIR/.." && pwd)
BUILD=$(cd "${1:?usage: run_benchmarks.sh BUILD_DIR [REPORT]}" && pwd) || exit 2
REPORT=${2:-$BENCH_DIR/results-$(date +%Y-%m-%d).md}
PLAYER="$BUILD/src/platform/qt/ostrel"
MEDIA="$BUILD/bench-media"
WORK="$BUILD/bench-work"
SCREEN_PY="$ROOT/tests/e2e/linux/screen.py"
TITLE=" ostrel v2.03"

say() { printf '%s\n' "$*" >&2; }
[ -x "$PLAYER" ] || { say "no player at $PLAYER"; exit 2; }
for tool in Xvfb xdotool xwd ffmpeg ffprobe mpv /usr/bin/time; do
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
PIDS=()
finish() {
    local pid
    for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null; done
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
}
trap finish EXIT
trap 'exit 130' INT TERM
Xvfb -displayfd 3 -screen 0 1920x1200x24 -br -nolisten tcp -noreset 3>"$WORK/display" \
    >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { say "Xvfb did not start"; exit 2; }
export DISPLAY=":$(head -n 1 "$WORK/display")"
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

# launch ARGS...: the player of DIR under /usr/bin/time -v (report in
# DIR/time.txt); TIME_PID, and OSTREL_PID once it runs.
launch() {
    (
        cd "$DIR" || exit 1
        exec env XDG_RUNTIME_DIR="$DIR/run" HOME="$DIR/home" OSTREL_AUDIO_OUT=null \
            OSTREL_NETWORK=offline QT_QPA_PLATFORM=xcb \
            /usr/bin/time -v -o "$DIR/time.txt" ./ostrel "$@" >"$DIR/stdout" 2>"$DIR/stderr"
    ) &
    TIME_PID=$!
    PIDS+=("$TIME_PID")
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

# ONE_TO_ONE: the configuration of a window whose video area is the clip's
# own size, at the top-left corner.
one_to_one() {
    ONE_TO_ONE=("MenuBar text" "XCoord 0" "YCoord 0" "Width $CLIP_W" "Height $((CLIP_H + MENU_H))")
}

# --- (a) Frames delivered -------------------------------------------------------
say "(a) frames delivered"
FRAMES_ROWS=()
FRAMES_OK=1
for clip in clip-mjpeg.avi clip-msmpeg4v2.avi clip-mpeg4.avi clip-rawvideo.avi clip-cinepak.avi \
    clip-mjpeg-noaudio.avi clip.mpg clip.dat bench-720p.mp4 bench-1080p.mp4; do
    clip_facts "$MEDIA/$clip"
    if ((CLIP_W >= 640)); then
        one_to_one
        prepare "frames-$clip" "${ONE_TO_ONE[@]}"
        win_w=$CLIP_W win_h=$((CLIP_H + MENU_H))
    else
        # Small clips in the default window (the menu bar needs its width).
        prepare "frames-$clip"
        win_w=462 win_h=386
    fi
    log="$DIR/damage.log"
    "$PY" "$SCREEN_PY" damage "$log" &
    damage_pid=$!
    PIDS+=("$damage_pid")
    for _ in $(seq 50); do grep -q ready "$log" 2>/dev/null && break; sleep 0.05; done
    launch "$MEDIA/$clip"
    wait_window
    # Until no frame came for two seconds.
    last=-1
    quiet=0
    limit=$(awk -v d="$CLIP_DURATION" 'BEGIN { printf "%d", (d + 15) * 2 }')
    while ((limit-- > 0 && quiet < 4)); do
        sleep 0.5
        read -r count _ < <("$PY" "$SCREEN_PY" flushes "$log" "$win_w" "$win_h" "$MENU_H")
        if [ "$count" = "$last" ] && [ "$count" != 0 ]; then quiet=$((quiet + 1)); else quiet=0; fi
        last=$count
    done
    finish_player
    kill "$damage_pid" 2>/dev/null
    wait "$damage_pid" 2>/dev/null
    read -r count first final < <("$PY" "$SCREEN_PY" flushes "$log" "$win_w" "$win_h" "$MENU_H")
    span=$(awk -v a="$first" -v b="$final" 'BEGIN { printf "%.2f", b - a }')
    expected=$(awk -v n="$CLIP_FRAMES" -v f="$CLIP_FPS" 'BEGIN { printf "%.2f", (n - 1) / f }')
    verdict=yes
    [ "$count" = "$CLIP_FRAMES" ] || { verdict=NO; FRAMES_OK=0; }
    FRAMES_ROWS+=("| $clip | ${CLIP_W}x$CLIP_H | $CLIP_FPS | $CLIP_FRAMES | $count | $span s | $expected s | $verdict |")
    say "  $clip: $count of $CLIP_FRAMES frames in $span s"
done

# --- (b) Playback CPU and peak memory ---------------------------------------------
# Other work on the machine moves these figures by a fifth from one run to
# the next: the 720p clip is played ROUNDS times by each, alternating, and
# the medians are compared.
ROUNDS=${BENCH_ROUNDS:-3}
say "(b) playback CPU"
declare -A CPU RSS XCPU RUNS
# median_of VALUES...: the middle value (the mean of the two middle ones).
median_of() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.2f", v[(NR + 1) / 2]; else printf "%.2f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
for label in 720p 1080p; do
    clip="$MEDIA/bench-$label.mp4"
    clip_facts "$clip"
    one_to_one
    rounds=1
    [ "$label" = 720p ] && rounds=$ROUNDS
    o_cpu=() o_x=() o_rss=() m_cpu=() m_x=() m_rss=() f_cpu=()
    for ((round = 1; round <= rounds; round++)); do
        # The player.
        prepare "cpu-$label" "${ONE_TO_ONE[@]}"
        x0=$(ticks "$XVFB_PID")
        launch "$clip"
        wait_window
        sleep "$(awk -v d="$CLIP_DURATION" 'BEGIN { printf "%d", d + 2 }')"
        finish_player
        x1=$(ticks "$XVFB_PID")
        o_cpu+=("$(cpu_of "$DIR/time.txt")") o_rss+=("$(rss_mb "$DIR/time.txt")") o_x+=("$(seconds $((x1 - x0)))")
        # mpv on the same display, its window the same size at the same place.
        x0=$(ticks "$XVFB_PID")
        /usr/bin/time -v -o "$WORK/mpv.time" mpv --no-config --no-terminal --vo=x11 --ao=null \
            --geometry=+0+0 "$clip" >/dev/null 2>&1
        x1=$(ticks "$XVFB_PID")
        m_cpu+=("$(cpu_of "$WORK/mpv.time")") m_rss+=("$(rss_mb "$WORK/mpv.time")") m_x+=("$(seconds $((x1 - x0)))")
        # Decoding alone.
        /usr/bin/time -v -o "$WORK/ffmpeg.time" ffmpeg -nostdin -v error -i "$clip" -f null - >/dev/null 2>&1
        f_cpu+=("$(cpu_of "$WORK/ffmpeg.time")")
        say "  $label: ostrel ${o_cpu[-1]} + X ${o_x[-1]}, mpv ${m_cpu[-1]} + X ${m_x[-1]}, ffmpeg ${f_cpu[-1]} CPU-s"
    done
    CPU[ostrel-$label]=$(median_of "${o_cpu[@]}") XCPU[ostrel-$label]=$(median_of "${o_x[@]}")
    CPU[mpv-$label]=$(median_of "${m_cpu[@]}") XCPU[mpv-$label]=$(median_of "${m_x[@]}")
    CPU[ffmpeg-$label]=$(median_of "${f_cpu[@]}")
    RSS[ostrel-$label]=$(median_of "${o_rss[@]}" | cut -d. -f1) RSS[mpv-$label]=$(median_of "${m_rss[@]}" | cut -d. -f1)
    RUNS[$label]="player ${o_cpu[*]} (X ${o_x[*]}); mpv ${m_cpu[*]} (X ${m_x[*]}); decode ${f_cpu[*]};"
    RUNS[$label]+=" peak memory player ${o_rss[*]} MB, mpv ${m_rss[*]} MB"
done

# The player in its default window (the picture scaled down to 462 x 367).
prepare cpu-default
x0=$(ticks "$XVFB_PID")
launch "$MEDIA/bench-720p.mp4"
wait_window
sleep 32
finish_player
x1=$(ticks "$XVFB_PID")
CPU[ostrel-default]=$(cpu_of "$DIR/time.txt")
RSS[ostrel-default]=$(rss_mb "$DIR/time.txt")
XCPU[ostrel-default]=$(seconds $((x1 - x0)))
say "  720p in the default window: ostrel ${CPU[ostrel-default]} + X ${XCPU[ostrel-default]} CPU-s"

# --- (c) Idle CPU -------------------------------------------------------------------
say "(c) idle CPU"
declare -A IDLE IDLE_X
# idle_measure NAME: CPU of the player and of the X server over 10 s.
idle_measure() {
    local p0 p1 x0 x1
    sleep 1
    p0=$(ticks "$OSTREL_PID")
    x0=$(ticks "$XVFB_PID")
    sleep 10
    p1=$(ticks "$OSTREL_PID")
    x1=$(ticks "$XVFB_PID")
    IDLE[$1]=$(seconds $((p1 - p0)))
    IDLE_X[$1]=$(seconds $((x1 - x0)))
    say "  $1: ${IDLE[$1]} + X ${IDLE_X[$1]} CPU-s in 10 s"
}
clip_facts "$MEDIA/bench-720p.mp4"
one_to_one
prepare idle-stopped "MenuBar text" "XCoord 0" "YCoord 0"
launch
wait_window && idle_measure stopped
finish_player
prepare idle-paused "${ONE_TO_ONE[@]}"
launch "$MEDIA/bench-720p.mp4"
wait_window && sleep 2 && menu_command Pause && idle_measure paused
finish_player
prepare idle-dialog "${ONE_TO_ONE[@]}" "SoundOn no"
launch "$MEDIA/bench-720p.mp4"
if wait_window && sleep 2 && menu_command About; then
    idle_measure "about dialog open"
    dialog=$(xdotool search --onlyvisible --name '^ ostrel$' | head -1)
    [ -n "$dialog" ] && xdotool windowfocus --sync "$dialog" key Return 2>/dev/null
fi
sleep 0.5
finish_player

# --- (d) Launch to first frame --------------------------------------------------------
say "(d) launch to first frame"
clip="$MEDIA/bench-720p.mp4"
clip_facts "$clip"
one_to_one
prepare first "${ONE_TO_ONE[@]}"
# A patch in the middle of the video area: black until the first frame.
patch=(576 300 128 128)
FIRST_O=()
FIRST_M=()
for round in 1 2 3 4 5; do
    ms=$(cd "$DIR" && "$PY" "$BENCH_DIR/first_frame.py" "${patch[@]}" 20 -- env XDG_RUNTIME_DIR="$DIR/run" \
        HOME="$DIR/home" OSTREL_AUDIO_OUT=null QT_QPA_PLATFORM=xcb ./ostrel "$clip")
    FIRST_O+=("$ms")
    sleep 0.5
    ms=$("$PY" "$BENCH_DIR/first_frame.py" "${patch[@]}" 20 -- mpv --no-config --no-terminal --vo=x11 \
        --ao=null --geometry=+0+0 "$clip")
    FIRST_M+=("$ms")
    sleep 0.5
done
median() { printf '%s\n' "$@" | grep -E '^[0-9]+$' | sort -n | awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : "none") }'; }
FIRST_O_MED=$(median "${FIRST_O[@]}")
FIRST_M_MED=$(median "${FIRST_M[@]}")
say "  ostrel ${FIRST_O[*]} ms, mpv ${FIRST_M[*]} ms"

# --- The report ---------------------------------------------------------------------
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
meets() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t ? "yes" : "NO") }'; }
total() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a + b }'; }
{
    echo "# Benchmarks of the Linux player, $(date -u +'%Y-%m-%d %H:%M UTC')"
    echo
    echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
        "$(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo), $(uname -sr)."
    echo "Player: $(basename "$BUILD")/src/platform/qt/ostrel" \
        "($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BUILD/CMakeCache.txt" 2>/dev/null)), built" \
        "$(date -u -r "$PLAYER" +'%Y-%m-%d %H:%M UTC'), the last commit before it" \
        "$(git -C "$ROOT" log -1 --before="$(date -r "$PLAYER" --iso-8601=seconds)" --format=%h 2>/dev/null);" \
        "$(mpv --version | head -1 | cut -d' ' -f1-2); $(ffmpeg -version | head -1 | cut -d' ' -f1-3)."
    echo "Display: Xvfb 1920x1200x24; audio to the null output (player: OSTREL_AUDIO_OUT=null, mpv: --ao=null)."
    echo "Made by \`bench/run_benchmarks.sh\`; CPU is user + system time in CPU-seconds."
    echo
    echo "## (a) Frames delivered"
    echo
    echo "Each clip played once (the H.264 clips in a window whose video area is the clip's size, the"
    echo "small ones in the default 462 x 386 window); the frames are the"
    echo "pictures the X server reported drawn on the video area (DAMAGE), the span from the first to"
    echo "the last. Target: frames shown = frames in the file, at the clip's own rate."
    echo
    echo "| Clip | Size | fps | Frames in file | Frames shown | First to last | At its rate | Every frame |"
    echo "|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${FRAMES_ROWS[@]}"
    echo
    echo "## (b) Playback CPU of 30 s H.264 clips, and peak memory"
    echo
    echo "Player and mpv each play the whole clip in a window of the clip's size on the same display"
    echo "(mpv --no-config --vo=x11 --ao=null); the player's figure is its whole run (start, 30 s of"
    echo "playback, the end). X server: the Xvfb process's CPU over the same run. Decode alone:"
    echo "ffmpeg -i clip -f null -. Peak memory: maximum resident set size (/usr/bin/time -v)."
    echo "Medians of the runs listed below the table."
    echo
    echo "| Clip | Player | Player + X | mpv | mpv + X | Decode alone | (Player + X) / (mpv + X) | Player / decode | Peak memory player / mpv |"
    echo "|---|---|---|---|---|---|---|---|---|"
    for label in 720p 1080p; do
        o=$(total "${CPU[ostrel-$label]}" "${XCPU[ostrel-$label]}")
        m=$(total "${CPU[mpv-$label]}" "${XCPU[mpv-$label]}")
        echo "| $label | ${CPU[ostrel-$label]} | $o | ${CPU[mpv-$label]} | $m | ${CPU[ffmpeg-$label]} |" \
            "$(ratio "$o" "$m") | $(ratio "${CPU[ostrel-$label]}" "${CPU[ffmpeg-$label]}") |" \
            "${RSS[ostrel-$label]} MB / ${RSS[mpv-$label]} MB |"
    done
    o=$(total "${CPU[ostrel-720p]}" "${XCPU[ostrel-720p]}")
    m=$(total "${CPU[mpv-720p]}" "${XCPU[mpv-720p]}")
    echo
    for label in 720p 1080p; do echo "- Runs, $label: ${RUNS[$label]}."; done
    echo
    echo "The player on the 720p clip in its default 462 x 386 window (the picture scaled down):" \
        "${CPU[ostrel-default]} CPU-s, $(total "${CPU[ostrel-default]}" "${XCPU[ostrel-default]}") with the X server," \
        "peak memory ${RSS[ostrel-default]} MB."
    echo
    echo "Targets (720p): player + X at most 0.75 x mpv + X: $(ratio "$o" "$m") -> $(meets "$(ratio "$o" "$m")" 0.75);" \
        "player at most 1.5 x decode alone: $(ratio "${CPU[ostrel-720p]}" "${CPU[ffmpeg-720p]}") ->" \
        "$(meets "$(ratio "${CPU[ostrel-720p]}" "${CPU[ffmpeg-720p]}")" 1.5);" \
        "peak memory at most mpv's: ${RSS[ostrel-720p]} MB vs ${RSS[mpv-720p]} MB ->" \
        "$(meets "${RSS[ostrel-720p]}" "${RSS[mpv-720p]}")."
    echo
    echo "## (c) Idle CPU over 10 s"
    echo
    echo "| State | Player | X server |"
    echo "|---|---|---|"
    for state in stopped paused "about dialog open"; do
        echo "| $state | ${IDLE[$state]:-n/a} | ${IDLE_X[$state]:-n/a} |"
    done
    echo
    echo "Stopped: started with no item; paused: the 720p clip after Pause; about dialog: opened over"
    echo "the playing 720p clip (SoundOn no, so the intro sound does not count). Target: about 0."
    echo
    echo "## (d) Launch to first frame (720p clip)"
    echo
    echo "From the start of the process to the first look (every ~5 ms, X GetImage) that finds the"
    echo "middle of the video area lit; five runs each, alternating."
    echo
    echo "| | Runs (ms) | Median |"
    echo "|---|---|---|"
    echo "| Player | ${FIRST_O[*]} | $FIRST_O_MED ms |"
    echo "| mpv | ${FIRST_M[*]} | $FIRST_M_MED ms |"
    echo
    echo "Target: at most half of mpv's: $(ratio "$FIRST_O_MED" "$FIRST_M_MED") x ->" \
        "$(meets "$(ratio "$FIRST_O_MED" "$FIRST_M_MED")" 0.5)."
    echo
    echo "Every frame delivered: $([ "$FRAMES_OK" = 1 ] && echo yes || echo NO)."
} >"$REPORT"
say "report: $REPORT"
