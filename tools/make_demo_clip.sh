#!/usr/bin/env bash
# Makes the demo clip the player shows when it is started with nothing to play:
# an animated title card, "ostrel" over a slowly drifting colour gradient with a band of moving
# colour bars, and a soft major chord under it. MPEG-1 video with MP2 sound in a program stream,
# 320x240, 25 fps, 6 s, so every build of the player can open it.
#
#   tools/make_demo_clip.sh [OUTFILE]      (default: resources/demo/demo.mpg)
#
# The result is committed; run this again only to change the clip. The output is the same on
# every run with the same ffmpeg and font.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../resources/demo/demo.mpg"}

if ! command -v ffmpeg >/dev/null 2>&1; then
    echo "$0: ffmpeg is not installed (apt-get install ffmpeg)" >&2
    exit 1
fi

W=320
H=240
DURATION=6
RATE=25

# Background: a four-colour gradient from deep blue to teal and violet, drifting slowly.
# The seed is fixed; the filter picks random colours and points without it.
background="gradients=size=${W}x${H}:rate=$RATE:duration=$DURATION:seed=7:speed=0.015"
background="$background:c0=0x0a1230:c1=0x1b6f87:c2=0x3a1f5c:c3=0x0f3d4a:nb_colors=4"

# A band of rainbow bars scrolling to the left, 24 pixels high.
bars="color=black:size=${W}x24:rate=$RATE:duration=$DURATION,format=rgb24,"
bars="${bars}geq=r='128+110*sin(2*PI*(X/160+T/2))'"
bars="${bars}:g='128+110*sin(2*PI*(X/160+T/2)+2*PI/3)'"
bars="${bars}:b='128+110*sin(2*PI*(X/160+T/2)+4*PI/3)'"

# The title fades in during the first second and stays; a thin line of text under it.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
small=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
text=""
if [ -f "$font" ] && [ -f "$small" ]; then
    text=",drawtext=fontfile=$font:text=ostrel:fontsize=60:fontcolor=white"
    text="$text:shadowcolor=black@0.6:shadowx=2:shadowy=2"
    text="$text:x=(w-text_w)/2:y=(h-text_h)/2-30:alpha='min(1,max(0,(t-0.3)/1.0))'"
    text="$text,drawtext=fontfile=$small:text=media player:fontsize=16:fontcolor=0xd0e8f0"
    text="$text:x=(w-text_w)/2:y=(h/2)+14:alpha='min(1,max(0,(t-1.0)/1.0))'"
else
    echo "$0: DejaVu fonts not found (fonts-dejavu-core); the clip has no title text" >&2
fi

# The whole picture fades in from black and out to black.
fades="fade=t=in:st=0:d=0.6,fade=t=out:st=$((DURATION - 1)):d=1"
video="[0:v][1:v]overlay=x=0:y=$((H - 44))$text,$fades,format=yuv420p[v]"

# A soft A major chord with a slow swell: root, third and fifth, the third an octave up,
# each with a gentle tremolo at a different rate so the sound breathes.
chord="0.16*sin(2*PI*220*t)*(0.85+0.15*sin(2*PI*0.5*t))"
chord="$chord+0.10*sin(2*PI*554.37*t)*(0.85+0.15*sin(2*PI*0.7*t))"
chord="$chord+0.10*sin(2*PI*329.63*t)*(0.85+0.15*sin(2*PI*0.3*t))"
chord="$chord+0.04*sin(2*PI*440*t)"
audio="aevalsrc=exprs='$chord':sample_rate=44100:duration=$DURATION"
audio="$audio,afade=t=in:st=0:d=1.2,afade=t=out:st=$((DURATION - 2)):d=2"

mkdir -p "$(dirname "$out")"
tmp="$out.partial.mpg"
log="$out.partial.log"
rm -f "$tmp" "$log"
if ! ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "$background" -f lavfi -i "$bars" -f lavfi -i "$audio" \
    -filter_complex "$video" -map "[v]" -map 2:a \
    -c:v mpeg1video -b:v 520k -maxrate 900k -bufsize 320k -g 12 -bf 2 -threads 1 \
    -c:a mp2 -b:a 96k -ac 1 -ar 44100 \
    -f mpeg -muxdelay 0 \
    -fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1 \
    "$tmp" 2>"$log"; then
    cat "$log" >&2
    rm -f "$tmp" "$log"
    exit 1
fi
# With no mux delay the program-stream muxer reports packets that reach its buffer model late.
grep -v -e "buffer underflow" -e "Last message repeated" "$log" >&2 || true
rm -f "$log"
mv -f "$tmp" "$out"
