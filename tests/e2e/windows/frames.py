#!/usr/bin/env python3
"""Looks at the player's video area in a screenshot: which frame of a clip it
shows, whether it is black, one colour, or the same as in another shot.

  frames.py identify SHOT X Y W H CLIP N   which frame of CLIP is on screen;
                                           status 0 when it is frame N
  frames.py stats SHOT X Y W H             mean R G B and luma spread
  frames.py diff SHOT1 SHOT2 X Y W H       RMS luma difference of two shots

SHOT is an X window dump (xwd) or any picture ffmpeg reads; X Y W H is the
video area in screen pixels (the player's client area). Pictures are read
with the ffmpeg command-line tool; the arithmetic is plain Python.

How a frame is told from its neighbours: the test clips show ffmpeg's test
pattern, whose colour bars stand still while a hue gradient band scrolls
sideways a few pixels every frame. Its scroll position names the frame. The
band is uniform from top to bottom, so its middle rows are not touched by a
decoder that places chroma a row or two off (Wine's MJPEG decoder does), and
the comparison uses colour there. The whole picture is compared in luma, as
a peak signal-to-noise ratio against ffmpeg's own decode of the frame,
scaled to the area as the player's blit scales it.
"""

import math
import os
import struct
import subprocess
import sys

# The scrolling band of the test pattern lies on rows 180..210 of 240: the
# rows compared for the frame's identity, as a share of the height.
BAND_TOP, BAND_BOTTOM = 184 / 240, 206 / 240


def ffmpeg_rgb(args):
    """Runs ffmpeg with the given input arguments; returns rgb24 bytes."""
    cmd = ["ffmpeg", "-nostdin", "-v", "error"] + args + ["-f", "rawvideo", "-pix_fmt", "rgb24", "-"]
    return subprocess.run(cmd, check=True, stdout=subprocess.PIPE).stdout


def clip_size(clip):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "stream=width,height", "-of", "csv=p=0", clip],
        check=True, stdout=subprocess.PIPE, text=True).stdout
    w, h = out.strip().split(",")[:2]
    return int(w), int(h)


def read_xwd(path, x, y, w, h):
    """The w x h area at x, y of an X window dump of 24 or 32 bits a pixel,
    as rgb24 bytes; None for any other kind of dump."""
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    ncolors = fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        return None
    if x < 0 or y < 0 or x + w > width or y + h > height:
        raise SystemExit("frames.py: area %dx%d+%d+%d is off the %dx%d screen" % (w, h, x, y, width, height))
    image = header_size + 12 * ncolors
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    out = bytearray()
    for row in range(y, y + h):
        start = image + row * bytes_per_line + x * step
        line = data[start : start + w * step]
        for i in range(0, len(line), step):
            v = int.from_bytes(line[i : i + step], order)
            out += bytes(((v & m) >> sh) & 0xFF for m, sh in zip(masks, shifts))
    return bytes(out)


def read_shot(path, x, y, w, h):
    with open(path, "rb") as f:
        is_xwd = f.read(8)[4:8] == b"\x00\x00\x00\x07"
    if is_xwd:
        area = read_xwd(path, x, y, w, h)
        if area is not None:
            return area
    return ffmpeg_rgb(["-i", path, "-frames:v", "1", "-vf", "crop=%d:%d:%d:%d" % (w, h, x, y)])


def read_clip(clip):
    """Every frame of the clip as ffmpeg decodes it, at its own size; kept
    beside the clip for the next call."""
    sw, sh = clip_size(clip)
    size = sw * sh * 3
    cache = clip + ".rgb"
    if os.path.exists(cache) and os.path.getmtime(cache) >= os.path.getmtime(clip):
        with open(cache, "rb") as f:
            data = f.read()
    else:
        data = ffmpeg_rgb(["-i", clip])
        with open(cache + ".part", "wb") as f:
            f.write(data)
        os.replace(cache + ".part", cache)
    return sw, sh, [data[i : i + size] for i in range(0, len(data) - size + 1, size)]


def source_index(dest, source_size, dest_size):
    """The source pixel a stretching blit puts at a destination pixel. Wine's
    GDI blit steps through the source so that a destination pixel whose
    position falls exactly on a source pixel's edge still takes the pixel
    before it; measured pixel for pixel on a 320 x 240 clip in a 450 x 336
    area."""
    return max(0, (dest * source_size - 1) // dest_size)


def stretch(frame, sw, sh, w, h, rows=None):
    """The frame blown up to w x h as the player's blit does it; only the
    given destination rows when rows is set."""
    columns = [source_index(x, sw, w) * 3 for x in range(w)]
    out = bytearray()
    for y in rows if rows is not None else range(h):
        row = frame[source_index(y, sh, h) * sw * 3 :]
        for c in columns:
            out += row[c : c + 3]
    return bytes(out)


def luma(rgb):
    return [
        0.299 * rgb[i] + 0.587 * rgb[i + 1] + 0.114 * rgb[i + 2] for i in range(0, len(rgb), 3)
    ]


def psnr(a, b):
    mse = sum((p - q) ** 2 for p, q in zip(a, b)) / len(a)
    return float("inf") if mse == 0 else 10 * math.log10(255.0 * 255.0 / mse)


def rms(a, b):
    return math.sqrt(sum((p - q) ** 2 for p, q in zip(a, b)) / len(a))


def identify(shot, x, y, w, h, clip, n):
    screen = read_shot(shot, x, y, w, h)
    sw, sh, frames = read_clip(clip)
    if not 0 <= n < len(frames):
        raise SystemExit("frames.py: the clip has %d frames, no frame %d" % (len(frames), n))
    band_rows = range(int(BAND_TOP * h), int(BAND_BOTTOM * h))
    screen_band = b"".join(screen[r * w * 3 : (r + 1) * w * 3] for r in band_rows)
    errors = [rms(screen_band, stretch(f, sw, sh, w, h, band_rows)) for f in frames]
    best = min(range(len(frames)), key=lambda k: errors[k])
    screen_luma = luma(screen)
    report = ["best=%d" % best]
    for k in range(max(0, n - 2), min(len(frames), n + 3)):
        quality = psnr(screen_luma, luma(stretch(frames[k], sw, sh, w, h)))
        report.append("psnr[%d]=%.1f band[%d]=%.1f" % (k, quality, k, errors[k]))
    print(" ".join(report))
    return best


def stats(shot, x, y, w, h):
    screen = read_shot(shot, x, y, w, h)
    count = len(screen) // 3
    means = [sum(screen[c::3]) / count for c in range(3)]
    y_values = luma(screen)
    mean_y = sum(y_values) / count
    spread = math.sqrt(sum((v - mean_y) ** 2 for v in y_values) / count)
    print("r=%.1f g=%.1f b=%.1f luma=%.1f spread=%.1f" % (means[0], means[1], means[2], mean_y, spread))


def diff(shot1, shot2, x, y, w, h):
    a = luma(read_shot(shot1, x, y, w, h))
    b = luma(read_shot(shot2, x, y, w, h))
    mean_b = sum(b) / len(b)
    spread = math.sqrt(sum((v - mean_b) ** 2 for v in b) / len(b))
    print("%.2f %.1f" % (rms(a, b), spread))


def main(argv):
    if len(argv) >= 8 and argv[1] == "identify":
        x, y, w, h = map(int, argv[3:7])
        n = int(argv[8])
        best = identify(argv[2], x, y, w, h, argv[7], n)
        return 0 if best == n else 1
    if len(argv) == 7 and argv[1] == "stats":
        stats(argv[2], *map(int, argv[3:7]))
        return 0
    if len(argv) == 8 and argv[1] == "diff":
        diff(argv[2], argv[3], *map(int, argv[4:8]))
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
