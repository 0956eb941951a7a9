#!/usr/bin/env bash
# Generates the clips the tests play: every kind of item the player opens (AVI with the
# codecs a Windows machine decodes out of the box, an MPEG-1 program stream under both of its
# extensions, a WAV sound) from ffmpeg's own test pattern and a sine tone.
#
#   tools/make_test_media.sh OUTDIR [--bench]
#
# Short clips: 320x240, 25 fps, 3 s (75 frames), 440 Hz tone.
# --bench adds 30 s 720p and 1080p H.264 clips, two flat-colour clips and a clip of flashes
# and beeps for the benchmarks under bench/.
#
# The output is byte-for-byte the same on every run with the same ffmpeg (bit-exact muxing,
# fixed thread counts, no metadata), so a test may compare decoded frames across runs.
# A file that exists and is newer than this script is kept; files are written under a temporary
# name and renamed, so an interrupted run never leaves a partial clip that would then be kept.
set -euo pipefail

usage() {
    echo "usage: $0 OUTDIR [--bench]" >&2
    exit 2
}

[ $# -ge 1 ] || usage
out=$1
shift
bench=0
for arg in "$@"; do
    case $arg in
    --bench) bench=1 ;;
    *) usage ;;
    esac
done

if ! command -v ffmpeg >/dev/null 2>&1; then
    echo "$0: ffmpeg is not installed (apt-get install ffmpeg)" >&2
    exit 1
fi

script=$0
mkdir -p "$out"

# Bit-exact streams and containers, no encoder tags or dates, no console chatter.
FF=(ffmpeg -nostdin -hide_banner -loglevel error -y)
EXACT=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1)

# The picture and the tone every short clip is made of.
VIDEO="testsrc=size=320x240:rate=25:duration=3"
AUDIO="sine=frequency=440:sample_rate=44100:duration=3"

# fresh FILE [DEPENDENCY]: true when FILE exists and is newer than this script (and than
# DEPENDENCY when one is given), so it need not be made again.
fresh() {
    [ -f "$1" ] && [ "$1" -nt "$script" ] || return 1
    [ $# -lt 2 ] || [ "$1" -nt "$2" ]
}

# produce NAME FFMPEG-ARGUMENTS...: runs ffmpeg with the output going to a temporary file in
# OUTDIR, runs the Python script named in $after on it when one is set, then moves it to
# OUTDIR/NAME. The temporary name keeps the extension so ffmpeg picks the right container.
after=
produce() {
    name=$1
    shift
    target="$out/$name"
    if fresh "$target"; then
        return 0
    fi
    tmp="$out/.partial-$name"
    log="$out/.partial-$name.log"
    rm -f "$tmp" "$log"
    if ! "${FF[@]}" "$@" "${EXACT[@]}" "$tmp" 2>"$log"; then
        cat "$log" >&2
        rm -f "$tmp" "$log"
        echo "$0: could not make $target" >&2
        exit 1
    fi
    # The program-stream muxer reports every packet that, with no mux delay, reaches its
    # buffer model late; players do not care, so only the other messages are shown.
    grep -v -e "buffer underflow" -e "Last message repeated" "$log" >&2 || true
    rm -f "$log"
    if [ -n "$after" ] && ! python3 "$after" "$tmp"; then
        rm -f "$tmp"
        echo "$0: could not finish $target" >&2
        exit 1
    fi
    mv -f "$tmp" "$target"
}

# avi NAME VIDEO-CODEC-ARGUMENTS...: a short clip with the test pattern and 16-bit PCM sound.
avi() {
    name=$1
    shift
    produce "$name" -f lavfi -i "$VIDEO" -f lavfi -i "$AUDIO" \
        -map 0:v -map 1:a "$@" -threads 1 -c:a pcm_s16le -ac 1
}

avi clip-mjpeg.avi -c:v mjpeg -pix_fmt yuvj420p -q:v 3
avi clip-msmpeg4v2.avi -c:v msmpeg4v2 -q:v 3
avi clip-mpeg4.avi -c:v mpeg4 -vtag XVID -q:v 3
# Uncompressed frames as Windows stores a DIB: bottom-up rows (ffmpeg writes them top-down).
after="$(dirname "$0")/avi_bottom_up.py"
avi clip-rawvideo.avi -c:v rawvideo -pix_fmt bgr24
after=
avi clip-cinepak.avi -c:v cinepak -pix_fmt rgb24

# The same picture without any sound stream: a video item whose stream has no audio.
produce clip-mjpeg-noaudio.avi -f lavfi -i "$VIDEO" -map 0:v \
    -c:v mjpeg -pix_fmt yuvj420p -q:v 3 -threads 1

# MPEG-1 program stream, video and layer II audio, the first pack at time zero.
produce clip.mpg -f lavfi -i "$VIDEO" -f lavfi -i "$AUDIO" -map 0:v -map 1:a \
    -c:v mpeg1video -q:v 3 -threads 1 -c:a mp2 -b:a 128k -ac 1 -f mpeg -muxdelay 0

# A ".dat" item is an MPEG-1 program stream under the name video discs give it.
if ! fresh "$out/clip.dat" "$out/clip.mpg"; then
    cp -f "$out/clip.mpg" "$out/.partial-clip.dat"
    mv -f "$out/.partial-clip.dat" "$out/clip.dat"
fi

# A sound item: 2 s, 16-bit mono 44100 Hz.
produce tone.wav -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" \
    -c:a pcm_s16le -ac 1

if [ "$bench" = 1 ]; then
    # Long high-resolution clips with the richer test pattern and sound, as a modern download.
    for size in 1280x720:720p 1920x1080:1080p; do
        dims=${size%%:*}
        label=${size#*:}
        produce "bench-$label.mp4" \
            -f lavfi -i "testsrc2=size=$dims:rate=25:duration=30" \
            -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=30" \
            -map 0:v -map 1:a -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p \
            -threads 2 -c:a aac -b:a 128k -ac 2 -movflags +faststart
    done
    # Two flat colours with sound, 10 s each: which item is on the screen tells
    # when the running player has taken over the item a second start gave it.
    for colour in 0xEB1010:red 0x1010EB:blue; do
        produce "bench-${colour#*:}.avi" \
            -f lavfi -i "color=c=${colour%%:*}:s=640x360:r=25:d=10" \
            -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=10" \
            -map 0:v -map 1:a -c:v mjpeg -pix_fmt yuvj420p -q:v 3 -threads 1 -c:a pcm_s16le -ac 1
    done
    # 30 s of black and silence but for one white frame (frame 12 of every
    # second, 0.48 s into it) and a 40 ms 1 kHz beep starting with it: how far
    # picture and sound drift apart.
    produce bench-sync.avi \
        -f lavfi -i "color=c=black:s=640x360:r=25:d=30,drawbox=w=iw:h=ih:color=white:t=fill:enable='eq(mod(n,25),12)'" \
        -f lavfi -i "aevalsrc='if(between(t-floor(t),0.48,0.52),0.8*sin(2*PI*1000*t),0)':s=48000:d=30" \
        -map 0:v -map 1:a -c:v mjpeg -pix_fmt yuvj420p -q:v 3 -threads 1 -c:a pcm_s16le -ac 1
fi
