#!/usr/bin/env python3
"""Draws the player's own pictures and sounds and writes them as the resource files.

    tools/make_assets.py [OUTDIR]        (default: the resources/ folder beside tools/)

Writes:
  toolbar.bmp     tool-bar strip, nine 16x16 glyphs, 4 bits per pixel, standard 16-colour palette
  about.bmp       about-box picture, 147x77, 24 bits per pixel
  ostrel.ico      program icon, 16x16, 32x32 and 48x48, 32-bit BGRA with alpha
  ostrel.png      the same icon at 128x128 for the Linux desktop
  intro.wav       intro chime, PCM mono 44100 Hz 16-bit, 98000 samples
  ostrel.desktop  desktop entry for Linux

Only the standard library is used and nothing depends on time or chance, so running it again
gives the same bytes; tools/check_assets.py checks the formats of the committed files.
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------------------------

# The 16 colours of the standard Windows/VGA palette, in their usual index order. The tool bar
# maps 0 (black), 7 (light grey), 8 (dark grey) and 15 (white) to the user's button colours.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def bmp_file(width, height, bits, palette, rows):
    """A Windows BMP (BITMAPFILEHEADER + BITMAPINFOHEADER), rows given top to bottom as bytes
    already packed to `bits` per pixel; stored bottom-up, each row padded to 4 bytes."""
    stride = (width * bits + 31) // 32 * 4
    pixels = b"".join(row.ljust(stride, b"\0") for row in reversed(rows))
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(colours)
    info = struct.pack(
        "<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels),
        2835, 2835, len(palette), len(palette) if palette else 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + colours + pixels


def bmp4(width, height, indices):
    """4-bit palette BMP with the VGA palette from a top-to-bottom list of index rows."""
    rows = []
    for row in indices:
        packed = bytearray()
        for x in range(0, width, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < width else 0
            packed.append(hi << 4 | lo)
        rows.append(bytes(packed))
    return bmp_file(width, height, 4, VGA16, rows)


def bmp24(width, height, pixels):
    """24-bit BMP from a top-to-bottom list of rows of (r, g, b)."""
    rows = [b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row) for row in pixels]
    return bmp_file(width, height, 24, [], rows)


def png_rgba(width, height, pixels):
    """8-bit RGBA PNG from a top-to-bottom list of rows of (r, g, b, a)."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(images):
    """An ICO file from (size, rows of (r, g, b, a)) pairs: each image is a 32-bit BGRA DIB
    (height doubled for the mask, as icons store it) followed by its 1-bit AND mask, which is
    set where the picture is fully transparent for programs that ignore alpha."""
    entries = []
    blobs = []
    for size, pixels in images:
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        colour = b"".join(
            struct.pack("<BBBB", b, g, r, a) for row in reversed(pixels) for (r, g, b, a) in row)
        mask_stride = (size + 31) // 32 * 4
        mask = bytearray()
        for row in reversed(pixels):
            bits = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        blobs.append(info + colour + bytes(mask))
        entries.append(size)
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, blob in zip(entries, blobs):
        dim = size if size < 256 else 0
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def wav_mono16(rate, samples):
    """RIFF WAVE, PCM, one channel, 16 bits."""
    data = struct.pack(f"<{len(samples)}h", *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


# ---------------------------------------------------------------------------------------------
# Tool-bar glyphs
# ---------------------------------------------------------------------------------------------

# One letter per palette index: the tool-bar art below is drawn with these.
INK = {
    "k": 0, "m": 1, "g": 2, "o": 3, "n": 4, "p": 5, "t": 6, ".": 7,
    "d": 8, "r": 9, "l": 10, "y": 11, "b": 12, "f": 13, "c": 14, "w": 15,
}

# In the order of the tool bar's image indexes. "." is the button face.
GLYPHS = {
    "open": [  # an open yellow folder
        "................",
        "................",
        "................",
        "................",
        "..kkkkk.........",
        ".kwwwwwk........",
        ".kwoooookkkkkkk.",
        ".kwooooooooooook",
        ".kwoookkkkkkkkkk",
        ".kwookyyyyyyyyk.",
        ".kwokyyyyyyyyk..",
        ".kwkyyyyyyyyk...",
        ".kkyyyyyyyyk....",
        ".kkkkkkkkkk.....",
        "................",
        "................",
    ],
    "start": [  # a green triangle pointing right
        "................",
        "................",
        "...kk...........",
        "...klkk.........",
        "...klllkk.......",
        "...klllllkk.....",
        "...klllllllkk...",
        "...klllllllllkk.",
        "...klllllllkk...",
        "...klllllkk.....",
        "...klllkk.......",
        "...klkk.........",
        "...kk...........",
        "................",
        "................",
        "................",
    ],
    "pause": [  # two blue bars
        "................",
        "................",
        "..kkkkk..kkkkk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kcbbk..kcbbk..",
        "..kkkkk..kkkkk..",
        "................",
        "................",
        "................",
    ],
    "stop": [  # a red square
        "................",
        "................",
        "...kkkkkkkkkk...",
        "...krrrrrrrrk...",
        "...krrrrrrrmk...",
        "...krrrrrrrmk...",
        "...krrrrrrrmk...",
        "...krrrrrrrmk...",
        "...krrrrrrrmk...",
        "...krrrrrrrmk...",
        "...krrrrrrrmk...",
        "...krmmmmmmmk...",
        "...kkkkkkkkkk...",
        "................",
        "................",
        "................",
    ],
    "stream": [  # three slider tracks with their knobs: position and volume
        "................",
        "...d....d....d..",
        "...d....d....d..",
        "...d...kkkk..d..",
        "...d...kbbk..d..",
        "...d...kkkk..d..",
        "...d....d...kkkk",
        "...d....d...kbbk",
        "..kkkk..d...kkkk",
        "..kbbk..d....d..",
        "..kkkk..d....d..",
        "...d....d....d..",
        "...d....d....d..",
        "...d....d....d..",
        "................",
        "................",
    ],
    "save": [  # a blue floppy disk with its shutter and label
        "................",
        ".kkkkkkkkkkkk...",
        ".knnwwwwnnwnnk..",
        ".knnwwwwnnwnnnk.",
        ".knnwwwwnnwnnnk.",
        ".knnwwwwwwwnnnk.",
        ".knnnnnnnnnnnnk.",
        ".knnnnnnnnnnnnk.",
        ".knwwwwwwwwwwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwddddddddwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwddddddddwnk.",
        ".knwwwwwwwwwwnk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ],
    "about": [  # a white letter i in a blue circle
        "................",
        ".....kkkkkk.....",
        "...kkbbbbbbkk...",
        "..kbbbbwwbbbbk..",
        "..kbbbbwwbbbbk..",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbwwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        "..kbbbwwwwbbbk..",
        "..kbbbbbbbbbbk..",
        "...kkbbbbbbkk...",
        ".....kkkkkk.....",
        "................",
    ],
    "site": [  # a globe: aqua sphere with meridians and two parallels
        "................",
        ".....kkkkkk.....",
        "...kkcbccbckk...",
        "..kccbccccbcck..",
        "..kcbccccccbck..",
        ".kbbbbbbbbbbbbk.",
        ".kccbccccccbcck.",
        ".kccbccccccbcck.",
        ".kccbccccccbcck.",
        ".kccbccccccbcck.",
        ".kbbbbbbbbbbbbk.",
        "..kcbccccccbck..",
        "..kccbccccbcck..",
        "...kkcbccbckk...",
        ".....kkkkkk.....",
        "................",
    ],
    "exit": [  # a door with a red arrow leaving it
        "................",
        ".kkkkkkkk.......",
        ".kmmmmmmk.......",
        ".kmmmmmmk.......",
        ".kmmmmmmk..k....",
        ".kmmmmmmk..kk...",
        ".kmmmmkkkkkkrk..",
        ".kmmmmkrrrrrrrk.",
        ".kmmmmkrrrrrrrrk",
        ".kmmmmkrrrrrrrk.",
        ".kmmmmkkkkkkrk..",
        ".kmmmmmmk..kk...",
        ".kmmmmmmk..k....",
        ".kmmmmmmk.......",
        ".kkkkkkkk.......",
        "................",
    ],
}


def toolbar_strip():
    names = ["open", "start", "pause", "stop", "stream", "save", "about", "site", "exit"]
    rows = [[] for _ in range(16)]
    for name in names:
        art = GLYPHS[name]
        if len(art) != 16 or any(len(line) != 16 for line in art):
            raise SystemExit(f"glyph {name} is not 16x16")
        for y, line in enumerate(art):
            rows[y].extend(INK[c] for c in line)
    return bmp4(16 * len(names), 16, rows)


# ---------------------------------------------------------------------------------------------
# Vector pictures (about picture and icon), drawn with supersampling
# ---------------------------------------------------------------------------------------------


def mix(a, b, t):
    t = 0.0 if t < 0 else 1.0 if t > 1 else t
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def over(dst, src, alpha):
    """Paints colour src with coverage alpha over the (r, g, b, a) value dst (straight alpha)."""
    r, g, b, a = dst
    out_a = alpha + a * (1 - alpha)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    k = a * (1 - alpha)
    return (
        (src[0] * alpha + r * k) / out_a,
        (src[1] * alpha + g * k) / out_a,
        (src[2] * alpha + b * k) / out_a,
        out_a,
    )


def in_triangle(px, py, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0])

    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


TEAL = (43, 179, 201)
DEEP_BLUE = (28, 58, 138)
NAVY = (11, 21, 51)
SEA = (27, 111, 135)


def lens(px, py, cx, cy, radius, dst, detail=True):
    """The ostrel badge: a dark lens barrel around a glass disc shading from teal to deep blue,
    with a white play triangle. `detail` adds a soft reflection on the glass; without it (the
    smallest icon) the barrel is thinner and the triangle larger so they stay legible."""
    dx, dy = px - cx, py - cy
    d = math.hypot(dx, dy)
    if d > radius:
        return dst
    # Barrel: metal from slate at the top to near black at the bottom, with a light rim.
    barrel = mix((92, 104, 128), (18, 22, 32), (dy / radius + 1) / 2)
    dst = over(dst, barrel, 1.0)
    if d > radius * 0.93:
        dst = over(dst, (170, 185, 205), 0.35)
    glass_r = radius * (0.80 if detail else 0.84)
    tri_r = glass_r * (1.0 if detail else 1.12)
    if d <= glass_r:
        t = ((dx + dy) / (2 * glass_r) + 1) / 2
        dst = over(dst, mix(TEAL, DEEP_BLUE, t), 1.0)
        if detail:
            # A reflection: a soft white crescent along the upper left of the glass.
            hx, hy = cx - glass_r * 0.18, cy - glass_r * 0.18
            if math.hypot(px - hx, py - hy) > glass_r * 0.92 and dy < dx * 0.3:
                dst = over(dst, (255, 255, 255), 0.22)
        tri = (
            (cx - tri_r * 0.34, cy - tri_r * 0.50),
            (cx - tri_r * 0.34, cy + tri_r * 0.50),
            (cx + tri_r * 0.52, cy),
        )
        if in_triangle(px, py, *tri):
            dst = over(dst, (255, 255, 255), 1.0)
    return dst


def render(width, height, scene, samples):
    """Averages scene(x, y) over samples x samples points per pixel (in premultiplied form) and
    returns rows of 8-bit (r, g, b, a)."""
    rows = []
    n = samples * samples
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = scene(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / n
            if a <= 0:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(min(255, max(0, int(c / acc[3] + 0.5))) for c in acc[:3])
                       + (min(255, int(a * 255 + 0.5)),))
        rows.append(row)
    return rows


def icon_pixels(size):
    half = size / 2

    def scene(px, py):
        # The small sizes drop the reflection so the triangle stays crisp.
        return lens(px, py, half, half, half - 0.25, (0.0, 0.0, 0.0, 0.0), detail=size >= 32)

    return render(size, size, scene, 8 if size <= 48 else 4)


def about_pixels():
    """A strip of film running in from the left into the lens badge, over a dusk gradient."""
    width, height = 147, 77
    strip_top, strip_bottom = 13.0, 64.0
    frame_top, frame_bottom = 22.0, 55.0
    # Picture frames on the strip: left edge, right edge, and the two colours of each one.
    frames = [
        (-22.0, 14.0, (255, 170, 80), (150, 40, 110)),
        (19.0, 55.0, (90, 200, 170), (30, 70, 140)),
        (60.0, 96.0, (250, 215, 110), (200, 80, 60)),
    ]
    lens_x, lens_y, lens_r = 116.0, 38.5, 30.0

    def scene(px, py):
        # Background: navy at the top left to sea blue at the bottom right.
        t = (px / width * 0.6 + py / height * 0.4)
        dst = mix(NAVY, SEA, t) + (1.0,)
        if strip_top <= py < strip_bottom and px < lens_x:
            dst = over(dst, (22, 24, 30), 1.0)
            # Sprocket holes: small rounded windows along both edges every 8 pixels.
            for hole_y in (16.0, 58.0):
                hx = (px + 2.0) % 8.0
                if 1.5 <= hx <= 5.5 and hole_y <= py <= hole_y + 3.5:
                    corner = min(hx - 1.5, 5.5 - hx) < 0.6 and min(py - hole_y,
                                                                  hole_y + 3.5 - py) < 0.6
                    if not corner:
                        dst = over(dst, (200, 205, 215), 1.0)
            for left, right, top_colour, bottom_colour in frames:
                if left <= px < right and frame_top <= py < frame_bottom:
                    v = (py - frame_top) / (frame_bottom - frame_top)
                    h = (px - left) / (right - left)
                    colour = mix(top_colour, bottom_colour, v * 0.8 + h * 0.2)
                    # A low hill across each frame so it reads as a picture.
                    hill = frame_bottom - 9 - 5 * math.sin((px - left) / (right - left) * math.pi)
                    if py > hill:
                        colour = mix(colour, (20, 40, 50), 0.65)
                    dst = over(dst, colour, 1.0)
        # The lens casts a soft shadow, then sits on top of the strip's end.
        d = math.hypot(px - lens_x - 2, py - lens_y - 2)
        if d < lens_r + 3:
            dst = over(dst, (0, 0, 0), 0.35 * min(1.0, (lens_r + 3 - d) / 3))
        return lens(px, py, lens_x, lens_y, lens_r, dst)

    rows = render(width, height, scene, 4)
    return [[(r, g, b) for (r, g, b, _) in row] for row in rows]


# ---------------------------------------------------------------------------------------------
# Intro chime
# ---------------------------------------------------------------------------------------------

RATE = 44100
INTRO_SAMPLES = 98000  # 196000 bytes of 16-bit sample data


def intro_samples():
    """A rising C major arpeggio on a soft bell: each note a few decaying partials."""
    notes = [  # start (s), frequency (Hz), loudness
        (0.00, 523.25, 1.0),   # C5
        (0.14, 659.26, 0.9),   # E5
        (0.28, 783.99, 0.85),  # G5
        (0.42, 1046.50, 0.8),  # C6
    ]
    # Partials of a soft bell: ratio to the note, loudness, decay time (s).
    partials = [(1.0, 1.0, 0.55), (2.0, 0.28, 0.30), (3.01, 0.10, 0.18), (4.2, 0.04, 0.10)]
    raw = [0.0] * INTRO_SAMPLES
    for start, freq, loud in notes:
        first = int(start * RATE)
        for i in range(first, INTRO_SAMPLES):
            t = (i - first) / RATE
            attack = min(1.0, t / 0.006)  # 6 ms onset so no note clicks
            v = 0.0
            for ratio, level, decay in partials:
                v += level * math.exp(-t / decay) * math.sin(2 * math.pi * freq * ratio * t)
            raw[i] += loud * attack * v
    # A held C4+G4 pad under the arpeggio that swells in and fades with it.
    for i in range(INTRO_SAMPLES):
        t = i / RATE
        swell = min(1.0, t / 0.35) * math.exp(-max(0.0, t - 0.5) / 0.7)
        raw[i] += 0.12 * swell * (math.sin(2 * math.pi * 261.63 * t)
                                  + 0.7 * math.sin(2 * math.pi * 392.00 * t))
    # Fade in over 5 ms and out over the last 300 ms; the tail is already quiet by then.
    fade_in = int(0.005 * RATE)
    fade_out = int(0.300 * RATE)
    for i in range(fade_in):
        raw[i] *= i / fade_in
    for i in range(fade_out):
        raw[INTRO_SAMPLES - 1 - i] *= i / fade_out
    # Peak at -6 dBFS.
    peak = max(abs(v) for v in raw)
    scale = 32767 * 10 ** (-6 / 20) / peak
    return [int(round(v * scale)) for v in raw]


# ---------------------------------------------------------------------------------------------
# Desktop entry
# ---------------------------------------------------------------------------------------------

DESKTOP = """[Desktop Entry]
Type=Application
Name=ostrel
GenericName=Media Player
Comment=Play video clips and sounds one after another in one window
Exec=ostrel %F
Icon=ostrel
Terminal=false
Categories=AudioVideo;Player;Video;
MimeType=video/x-msvideo;video/avi;video/msvideo;video/mpeg;video/x-mpeg;audio/x-wav;audio/wav;audio/vnd.wave;
Keywords=video;movie;clip;player;avi;mpeg;wav;
"""


def write(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    if len(sys.argv) > 2:
        sys.exit(f"usage: {sys.argv[0]} [OUTDIR]")
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) == 2 else os.path.join(here, "..", "resources")
    os.makedirs(out, exist_ok=True)

    write(os.path.join(out, "toolbar.bmp"), toolbar_strip())
    write(os.path.join(out, "about.bmp"), bmp24(147, 77, about_pixels()))
    write(os.path.join(out, "ostrel.ico"), ico([(s, icon_pixels(s)) for s in (16, 32, 48)]))
    write(os.path.join(out, "ostrel.png"), png_rgba(128, 128, icon_pixels(128)))
    write(os.path.join(out, "intro.wav"), wav_mono16(RATE, intro_samples()))
    write(os.path.join(out, "ostrel.desktop"), DESKTOP.encode("ascii"))


if __name__ == "__main__":
    main()
