#!/usr/bin/env python3
"""Looks at the player's windows on the virtual display, for both builds:
which frame of a clip the video area shows, whether it is one flat colour
or standing still, where the menu bar's commands and a scroll bar's thumb
are, and how many frames reached the window (Linux).

  picture.py layout SHOT                  first all-black row of an idle window
  picture.py menu SHOT MENU_H             x centres of the menu bar's commands
  picture.py still WINDOW X Y W H SECONDS OUT
                                         waits until the area stands still;
                                         the last window dump goes to OUT
  picture.py identify SHOT X Y W H TOP CLIP N MIN_PSNR
                                         the area shows frame N of CLIP
  picture.py colour SHOT X Y W H          flat colour name, else "mixed"
  picture.py diff SHOT1 SHOT2 X Y W H     RMS luma difference of the two areas
                                         and the second one's luma spread
  picture.py ink SHOT X Y W H             share of dark, blue and bright pixels
  picture.py thumb SHOT X Y W H           a horizontal scroll bar's thumb: share
                                         of its way (0..1), its centre, and the
                                         trough's ends (x in the bar)
  picture.py damage LOG [MENU_H]          notes every drawing on every window
                                         until stopped (SIGTERM); with MENU_H
                                         reads each frame's band rows back
  picture.py sequence LOG CLIP FIRST COUNT
                                         the frames those rows show are FIRST,
                                         FIRST + 1, ... (COUNT of them)
  picture.py flushes LOG W H TOP          pictures put on a W x H window below
                                         row TOP: count, first, last time

SHOT is an X window dump (xwd) of the player's window; X Y W H is the
player's client area in it (the part under the menu bar, where the video is
scaled to); TOP is the first row of it not hidden by the tool bar. The clips
are decoded once by ffmpeg and kept beside them.

How a frame is told from its neighbours: the test clips show ffmpeg's test
pattern, whose colour bars stand still while a hue band scrolls sideways a
few pixels every frame. The band's rows name the frame; the whole picture is
then compared as a peak signal-to-noise ratio against ffmpeg's decode of the
frame, scaled to the area the way the player's blit does it: Qt's
nearest-pixel image scaling, or with PICTURE_SCALE=gdi Wine's stretching
blit.
"""

import os
import select
import signal
import struct
import subprocess
import sys
import time

import numpy as np

# The scrolling band of the test pattern lies on rows 180..210 of 240.
BAND_TOP, BAND_BOTTOM = 184 / 240, 206 / 240


# --- Pictures -----------------------------------------------------------------


def parse_xwd(data):
    """An X window dump (ZPixmap, 24 or 32 bits a pixel) as rows x columns x RGB."""
    header = struct.unpack(">25I", data[:100])
    header_size, _, _, _, width, height = header[:6]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    colours = header[19]
    offset = header_size + colours * 12
    size = bits_per_pixel // 8
    rows = np.frombuffer(data, np.uint8, count=bytes_per_line * height, offset=offset)
    pixels = rows.reshape(height, bytes_per_line)[:, : width * size].reshape(height, width, size)
    if byte_order == 0:  # least significant byte first: B, G, R (, pad)
        return pixels[:, :, 2::-1].copy()
    return pixels[:, :, size - 3 :].copy()


def read_shot(path):
    with open(path, "rb") as f:
        return parse_xwd(f.read())


def grab(window):
    """A dump of the window as it is on the screen now (bytes, picture)."""
    data = subprocess.run(["xwd", "-silent", "-id", str(window)], check=True,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return data, parse_xwd(data)


def area(picture, x, y, w, h):
    return picture[y : y + h, x : x + w]


def clip_frames(clip):
    """Every frame of the clip as ffmpeg decodes it, as frames x rows x
    columns x RGB; kept beside the clip for the next call."""
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "stream=width,height", "-of", "csv=p=0", clip],
        check=True, stdout=subprocess.PIPE, text=True).stdout
    width, height = (int(v) for v in out.strip().split(",")[:2])
    cache = clip + ".rgb"
    if not (os.path.exists(cache) and os.path.getmtime(cache) >= os.path.getmtime(clip)):
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", clip, "-f", "rawvideo",
                        "-pix_fmt", "rgb24", cache + ".part"], check=True)
        os.replace(cache + ".part", cache)
    data = np.fromfile(cache, np.uint8)
    return data.reshape(-1, height, width, 3)


def source_index(dest, source):
    """The source pixel the blit takes for each destination pixel. Qt: a
    16.16 fixed-point step, sampled at the middle of the step (measured pixel
    for pixel on the raw-video clip in a 462 x 367 area). Wine's GDI: a
    destination pixel whose position falls exactly on a source pixel's edge
    still takes the pixel before it (measured on a 320 x 240 clip in a
    450 x 336 area)."""
    if os.environ.get("PICTURE_SCALE") == "gdi":
        return np.maximum(0, (np.arange(dest) * source - 1) // dest)
    step = int(65536 * source / dest)
    return np.minimum((np.arange(dest) * step + step // 2) >> 16, source - 1)


def scaled(frame, w, h):
    return frame[source_index(h, frame.shape[0])][:, source_index(w, frame.shape[1])]


def luma(rgb):
    return rgb[..., 0] * 0.299 + rgb[..., 1] * 0.587 + rgb[..., 2] * 0.114


def psnr(a, b):
    mse = float(np.mean((luma(a.astype(np.float64)) - luma(b.astype(np.float64))) ** 2))
    return float("inf") if mse == 0 else 10 * np.log10(255.0 * 255.0 / mse)


# --- Commands -------------------------------------------------------------------


def cmd_layout(shot):
    picture = read_shot(shot)
    black = np.nonzero(picture.reshape(picture.shape[0], -1).max(axis=1) == 0)[0]
    if len(black) == 0:
        print("none")
        return 1
    first = int(black[0])
    # Everything below the first black row is black too: the idle video area.
    if picture[first:].max() != 0:
        print("none")
        return 1
    print(first, picture.shape[1], picture.shape[0])
    return 0


def cmd_menu(shot, menu_h):
    """The commands of the menu bar are words with wide gaps between them:
    the x centres of the runs of columns that hold text."""
    strip = read_shot(shot)[:menu_h].astype(int)
    face = np.median(strip.reshape(-1, 3), axis=0)
    ink = (np.abs(strip - face).sum(axis=2) > 120).any(axis=0)
    columns = np.nonzero(ink)[0]
    runs = []
    for x in columns:
        if runs and x - runs[-1][1] <= 6:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    print(" ".join(str((a + b) // 2) for a, b in runs))
    return 0


def cmd_still(window, x, y, w, h, seconds, out):
    """Dumps the window until its area has not changed for 0.4 s."""
    deadline = time.time() + seconds
    last = None
    since = None
    while time.time() < deadline:
        try:
            data, picture = grab(window)
        except subprocess.CalledProcessError:
            time.sleep(0.1)
            continue
        now = time.time()
        part = area(picture, x, y, w, h)
        if last is not None and part.shape == last.shape and np.array_equal(part, last):
            if now - since >= 0.4:
                with open(out, "wb") as f:
                    f.write(data)
                return 0
        else:
            last = part
            since = now
        time.sleep(0.08)
    return 1


def cmd_identify(shot, x, y, w, h, top, clip, n, low):
    """Status 0 when the area shows frame N: its band matches frame N best of
    all the clip's frames, and its picture has at least LOW dB against frame
    N and more than against either neighbour."""
    screen = area(read_shot(shot), x, y, w, h).astype(np.int32)
    frames = clip_frames(clip)
    if not 0 <= n < len(frames):
        raise SystemExit("picture.py: %s has %d frames, no frame %d" % (clip, len(frames), n))
    rows = np.arange(int(BAND_TOP * h), int(BAND_BOTTOM * h))
    visible = slice(top - y, h)
    band_errors = []
    pictures = {}
    for k, frame in enumerate(frames):
        picture = scaled(frame, w, h)
        band_errors.append(float(np.mean((picture[rows].astype(np.int32) - screen[rows]) ** 2)))
        if abs(k - n) <= 2:
            pictures[k] = picture
    best = int(np.argmin(band_errors))
    quality = {k: psnr(p[visible], screen[visible]) for k, p in pictures.items()}
    report = ["best=%d" % best] + ["psnr[%d]=%.1f" % (k, q) for k, q in sorted(quality.items())]
    print(" ".join(report))
    neighbours = [quality[k] for k in (n - 1, n + 1) if k in quality]
    good = best == n and quality[n] >= low and all(quality[n] > q for q in neighbours)
    return 0 if good else 1


COLOURS = {"black": (0, 0, 0), "red": (235, 16, 16), "green": (16, 200, 16),
           "blue": (16, 16, 235), "magenta": (192, 32, 128), "white": (235, 235, 235)}


def cmd_colour(shot, x, y, w, h):
    part = area(read_shot(shot), x, y, w, h).reshape(-1, 3).astype(np.float64)
    mean = part.mean(axis=0)
    spread = float(np.sqrt(((part - mean) ** 2).sum(axis=1).mean()))
    best = min(COLOURS, key=lambda c: float(np.sum((mean - COLOURS[c]) ** 2)))
    near = float(np.sqrt(np.sum((mean - COLOURS[best]) ** 2)))
    print(best if spread < 20 and near < 45 else "mixed")
    return 0


def cmd_diff(shot1, shot2, x, y, w, h):
    a = luma(area(read_shot(shot1), x, y, w, h).astype(np.float64))
    b = luma(area(read_shot(shot2), x, y, w, h).astype(np.float64))
    print("%.2f %.1f" % (float(np.sqrt(np.mean((a - b) ** 2))), b.std()))
    return 0


def cmd_ink(shot, x, y, w, h):
    """What a text control shows, without reading it: the share of dark
    (text) pixels, of pure blue ones (a link), and the longest run of blue
    pixels in one row (an underline)."""
    part = area(read_shot(shot), x, y, w, h).astype(int)
    dark = (part.sum(axis=2) < 300).mean()
    blue = (part[:, :, 2] > 160) & (part[:, :, 0] < 110) & (part[:, :, 1] < 110)
    longest = 0
    for row in blue:
        run = 0
        for v in row:
            run = run + 1 if v else 0
            longest = max(longest, run)
    spread = float(part.reshape(-1, 3).std(axis=0).mean())
    print("dark=%.3f blue=%.3f underline=%d spread=%.1f" % (dark, blue.mean(), longest, spread))
    return 0


def cmd_thumb(shot, x, y, w, h):
    """A horizontal scroll bar: an arrow button at each end (a light face with
    a dark glyph), the trough between their edge lines, and a light thumb
    with edge lines of its own. Prints where the thumb stands as a share of
    the way it can travel."""
    row = area(read_shot(shot), x, y, w, h)[h // 2].astype(int).sum(axis=1) / 3
    glyph = np.nonzero(row < 150)[0]
    left_glyph = [i for i in glyph if i < w // 3]
    right_glyph = [i for i in glyph if i > 2 * w // 3]
    if not left_glyph or not right_glyph:
        print("none")
        return 1
    edges = np.nonzero(row < 215)[0]
    left = min((i for i in edges if i > left_glyph[-1] + 1), default=None)
    right = max((i for i in edges if i < right_glyph[0] - 1), default=None)
    if left is None or right is None or right - left < 10:
        print("none")
        return 1
    runs = []
    for i in range(left + 1, right):
        if row[i] >= 238:
            if runs and runs[-1][1] == i - 1:
                runs[-1][1] = i
            else:
                runs.append([i, i])
    if not runs:
        print("none")
        return 1
    a, b = max(runs, key=lambda r: r[1] - r[0])
    thumb_left, thumb_width = a - 1, b - a + 3
    travel = (right - left) - (thumb_width - 1)
    share = 0.0 if travel <= 0 else (thumb_left - left) / travel
    print("%.3f %d %d %d" % (min(1.0, max(0.0, share)), thumb_left + thumb_width // 2, left, right))
    return 0


def band_rows(client_h):
    """Rows of the test pattern's scrolling band in a client area that high."""
    return int(BAND_TOP * client_h), int(BAND_BOTTOM * client_h)


def cmd_damage(log, menu_h=None):
    """Every drawing the X server reports on any window created from now on:
    "TIME damage WINDOW X Y W H" lines, and "TIME create WINDOW W H".

    With MENU_H, every drawing as wide as a window below its menu bar (a
    frame) also has the band rows of the client area read back at once, into
    LOG.grabs: the line then ends in "grab OFFSET W ROWS CLIENT_H", and in
    "late" when more drawing was already waiting by the time the rows were
    read (they may then show a later frame)."""
    from Xlib import X, display
    from Xlib.ext import damage

    d = display.Display()
    d.set_error_handler(lambda *args: None)  # windows may go before we look
    d.damage_query_version()
    d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    running = [True]
    signal.signal(signal.SIGTERM, lambda *args: running.__setitem__(0, False))
    sizes = {}
    grabs = open(log + ".grabs", "wb") if menu_h is not None else None
    with open(log, "w", buffering=1) as out:
        d.sync()
        out.write("ready\n")
        while running[0]:
            while d.pending_events():
                e = d.next_event()
                if e.type == X.CreateNotify:
                    e.window.damage_create(damage.DamageReportRawRectangles)
                    sizes[e.window.id] = e.width
                    out.write("%.4f create 0x%x %d %d\n" % (time.time(), e.window.id, e.width, e.height))
                elif e.type == d.extension_event.DamageNotify:
                    a = e.area
                    line = "%.4f damage 0x%x %d %d %d %d" % (time.time(), e.drawable.id, a.x, a.y,
                                                            a.width, a.height)
                    if grabs is not None and a.x == 0 and a.y >= menu_h and a.height > 8:
                        client_h = a.y + a.height - menu_h
                        top, bottom = band_rows(client_h)
                        try:
                            image = e.drawable.get_image(0, menu_h + top, a.width, bottom - top,
                                                         X.ZPixmap, 0xFFFFFFFF)
                            late = d.pending_events() > 0
                            offset = grabs.tell()
                            grabs.write(image.data)
                            line += " grab %d %d %d %d%s" % (offset, a.width, bottom - top, client_h,
                                                             " late" if late else "")
                        except Exception:  # the window went away
                            pass
                    out.write(line + "\n")
            select.select([d.fileno()], [], [], 0.05)
    if grabs is not None:
        grabs.close()
    return 0


def drawings(log):
    """The drawings of a damage log, in order: (time, x, y, w, h, band) with
    the band rows read back as an array of R, G, B (None when none were),
    its client area's height and whether it was read late."""
    with open(log) as f:
        lines = [line.split() for line in f]
    with open(log + ".grabs", "rb") as grabs:
        data = grabs.read()
    for parts in lines:
        if len(parts) < 7 or parts[1] != "damage":
            continue
        x, y, w, h = map(int, parts[3:7])
        band = None
        if "grab" in parts:
            i = parts.index("grab")
            offset, gw, rows, client_h = (int(v) for v in parts[i + 1 : i + 5])
            raw = np.frombuffer(data, np.uint8, count=gw * rows * 4, offset=offset)
            band = (raw.reshape(rows, gw, 4)[:, :, 2::-1].astype(np.int32), client_h, "late" in parts)
        yield float(parts[0]), x, y, w, h, band


def is_picture(band):
    """A flat black fill of the video area shows no picture."""
    return band is None or band[0].any()


def pictures(log, keep=lambda x, y, w, h: True):
    """The drawings of a damage log that put a picture on the window, as
    (time, band): flat black fills left out, and a drawing read back late
    that shows what the next one shows (it was that one's picture, the fill
    before a frame)."""
    shown = [(when, band) for when, x, y, w, h, band in drawings(log)
             if keep(x, y, w, h) and is_picture(band)]
    return [(when, band) for i, (when, band) in enumerate(shown)
            if not (band is not None and band[2] and i + 1 < len(shown)
                    and shown[i + 1][1] is not None
                    and np.array_equal(band[0], shown[i + 1][1][0]))]


def cmd_sequence(log, clip, first, count):
    """The frames of CLIP that the grabs of a damage log show, in order:
    status 0 when they are FIRST, FIRST + 1, ... COUNT of them. A grab read
    late may show a later frame than the one drawn: it only has to lie
    between its neighbours."""
    frames = clip_frames(clip)
    seen = []
    bands = {}
    for _, band in pictures(log):
        if band is None:
            continue
        picture, client_h, late = band
        w = picture.shape[1]
        key = (w, client_h)
        if key not in bands:
            top, bottom = band_rows(client_h)
            ys = source_index(client_h, frames.shape[1])[top:bottom]
            xs = source_index(w, frames.shape[2])
            bands[key] = frames[:, ys][:, :, xs].astype(np.int32)
        errors = ((bands[key] - picture) ** 2).mean(axis=(1, 2, 3))
        seen.append((int(np.argmin(errors)), late))
    print(" ".join("%d%s" % (k, "?" if late else "") for k, late in seen))
    if len(seen) != count:
        return 1
    for i, (k, late) in enumerate(seen):
        want = first + i
        if late:
            nxt = [k2 for k2, l2 in seen[i + 1 :] if not l2]
            if k < want or (nxt and k > nxt[0]):
                return 1
        elif k != want:
            return 1
    return 0


def cmd_flushes(log, w, h, top):
    """Pictures the player put on its video area: drawings as wide as the
    window that reach its bottom and start below the menu bar (the window's
    first paint covers it whole and is left out). Every frame is one."""
    times = [when for when, _ in pictures(log, lambda x, y, dw, dh: x == 0 and dw == w and
                                          y >= top and y + dh == h)]
    if times:
        print(len(times), "%.4f" % times[0], "%.4f" % times[-1])
    else:
        print(0, 0, 0)
    return 0


def main(argv):
    try:
        command, args = argv[1], argv[2:]
        if command == "layout" and len(args) == 1:
            return cmd_layout(args[0])
        if command == "menu" and len(args) == 2:
            return cmd_menu(args[0], int(args[1]))
        if command == "still" and len(args) == 7:
            return cmd_still(args[0], *map(int, args[1:5]), float(args[5]), args[6])
        if command == "identify" and len(args) == 9:
            return cmd_identify(args[0], *map(int, args[1:6]), args[6], int(args[7]), float(args[8]))
        if command == "colour" and len(args) == 5:
            return cmd_colour(args[0], *map(int, args[1:5]))
        if command == "diff" and len(args) == 6:
            return cmd_diff(args[0], args[1], *map(int, args[2:6]))
        if command == "ink" and len(args) == 5:
            return cmd_ink(args[0], *map(int, args[1:5]))
        if command == "thumb" and len(args) == 5:
            return cmd_thumb(args[0], *map(int, args[1:5]))
        if command == "damage" and len(args) in (1, 2):
            return cmd_damage(args[0], *map(int, args[1:]))
        if command == "sequence" and len(args) == 4:
            return cmd_sequence(args[0], args[1], int(args[2]), int(args[3]))
        if command == "flushes" and len(args) == 4:
            return cmd_flushes(args[0], *map(int, args[1:4]))
    except IndexError:
        pass
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
