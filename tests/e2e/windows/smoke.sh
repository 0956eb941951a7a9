#!/usr/bin/env bash
# Smoke test of the Windows platform layer under Wine: win32_smoke.exe plays
# a generated 3 s, 25 fps MJPEG + PCM clip through the seam and must blit
# every one of its 75 frames; the last frame on screen must match ffmpeg's
# decode of it, scaled to the video area.
#
#   tests/e2e/windows/smoke.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR holds win32_smoke.exe (cmake -S . -B BUILD_DIR
# -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake; cmake --build
# BUILD_DIR --target win32_smoke). WORK_DIR (default /tmp/ostrel-wine-smoke)
# keeps the Wine prefix between runs; everything the test starts is stopped.
set -u

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: smoke.sh BUILD_DIR [WORK_DIR]}" && pwd)
work=${2:-/tmp/ostrel-wine-smoke}
exe="$build/win32_smoke.exe"
[ -f "$exe" ] || { echo "no $exe" >&2; exit 2; }
mkdir -p "$work"

# Lowest luma PSNR (dB) accepted between the screen and ffmpeg's decode of
# the clip's last frame. Wine's MJPEG decoder places the chroma a few rows
# off, so colours are not compared; the luma is. Measured under Wine 8: 28.9
# unscaled (the frame before the last gives 28.7, five before 26.4, fifteen
# before 20.9, a black area 3). The scaled picture is averaged over 5x5
# pixels first, as two nearest-neighbour scalers may pick neighbouring source
# pixels: 26.2 (fifteen frames before 20.5, the first frame 12.7).
min_unscaled=27
min_scaled=24

clip="$work/clip.avi"
if [ ! -f "$clip" ]; then
    ffmpeg -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=44100 -t 3 \
        -c:v mjpeg -q:v 3 -c:a pcm_s16le "$clip" || exit 2
fi

. "$here/wine_env.sh"
wine_env_init "$work/world"
started=$(date +%s.%N)
wine_env_start || exit 2
echo "world ready in $(echo "$(date +%s.%N) - $started" | bc) s (DISPLAY=$DISPLAY)"

log="$work/smoke.log"
: >"$log"
started=$(date +%s.%N)
wine_env_run -t 90 "$exe" "$(wine_env_winpath "$clip")" --expect 75 --hold 3 >"$log" &
runner=$!
for _ in $(seq 900); do
    grep -q '^holding' "$log" && break
    kill -0 "$runner" 2>/dev/null || break
    sleep 0.1
done
shot="$work/shot.png"
grep -q '^holding' "$log" && wine_env_screenshot "$shot"
wait "$runner"
status=$?
echo "smoke program ran $(echo "$(date +%s.%N) - $started" | bc) s, status $status"
cat "$log"

failed=0
[ "$status" = 0 ] || { echo "FAIL: win32_smoke.exe exited with $status"; failed=1; }
grep -qx 'frames=75' "$log" || { echo "FAIL: not 75 frames"; failed=1; }

area=$(sed -n 's/^video area=//p' "$log")
size=$(sed -n 's/^ok   video format: //p' "$log")
# Luma PSNR of region $2 of $1 against region $4 of $3 (regions as WxH+X+Y),
# each first averaged over blocks of $5 x $5 pixels.
luma_psnr() {
    local w=${2%%x*} rest=${2#*x}
    local h=${rest%%+*} block=${5:-1}
    local size="$((w / block))x$((h / block))!"
    convert "$1" -crop "$2" +repage -colorspace Gray -filter box -resize "$size" "$work/a.png" &&
        convert "$3" -crop "$4" +repage -colorspace Gray -filter box -resize "$size" "$work/e.png" &&
        compare -metric PSNR "$work/a.png" "$work/e.png" null: 2>&1 | cut -d' ' -f1
}
at_least() { awk -v p="$1" -v m="$2" 'BEGIN { exit !(p == "inf" || p + 0 >= m) }'; }
if [ -f "$shot" ] && [ -n "$area" ] && [ -n "$size" ]; then
    IFS=, read -r left top right bottom <<<"$area"
    width=$((right - left))
    height=$((bottom - top))
    IFS=x read -r vw vh <<<"$size"
    ffmpeg -loglevel error -y -i "$clip" -vf "select=eq(n\,74)" -frames:v 1 "$work/last.png"
    ffmpeg -loglevel error -y -i "$clip" \
        -vf "select=eq(n\,74),scale=${width}:${height}:flags=neighbor" -frames:v 1 "$work/last-scaled.png"
    # The program put the last frame back twice: scaled to the whole video
    # area, then unscaled in its top-left corner. The scaled one still shows
    # to the right of the unscaled one.
    unscaled=$(luma_psnr "$shot" "${vw}x${vh}+${left}+${top}" "$work/last.png" "${vw}x${vh}+0+0")
    scaled=$(luma_psnr "$shot" "$((width - vw))x${height}+$((left + vw))+${top}" \
        "$work/last-scaled.png" "$((width - vw))x${height}+${vw}+0" 5)
    echo "last frame on screen vs ffmpeg (luma PSNR): unscaled $unscaled dB (at least $min_unscaled)," \
        "scaled $scaled dB (at least $min_scaled)"
    at_least "$unscaled" "$min_unscaled" || { echo "FAIL: the unscaled frame is not the clip's last"; failed=1; }
    at_least "$scaled" "$min_scaled" || { echo "FAIL: the scaled frame does not fill the video area"; failed=1; }
else
    echo "FAIL: no screenshot of the video area"
    failed=1
fi

[ "$failed" = 0 ] && echo "SMOKE PASSED" || echo "SMOKE FAILED"
exit "$failed"
