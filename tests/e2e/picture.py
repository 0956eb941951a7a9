#!/usr/bin/env python3
"""What the player's window shows, for both builds' drivers (SHOT: an xwd
dump; X Y W H: an area of it; TOP: its first row the tool bar never covers):
  layout SHOT | menu SHOT MENU_H | colour SHOT X Y W H | moved A B X Y W H | ink, thumb SHOT X Y W H
  still SRC X Y W H SECONDS REST OUT      SRC (window id or root) rests REST s on a picture
  identify SHOT X Y W H TOP CLIP N PSNR   frame N of CLIP: its scrolling hue band's rows name
                                          it, then luma PSNR against ffmpeg's decode scaled as
                                          the blit does (Qt, or PICTURE_SCALE=gdi: Wine's GDI)
  damage LOG MENU_H | sequence, flushes LOG W H TOP [CLIP FIRST COUNT]   frames drawn (X DAMAGE)"""
import os, struct, subprocess, sys, time
import numpy as np

COLOURS = {"black": (0, 0, 0), "red": (235, 16, 16), "green": (16, 200, 16), "blue": (16, 16, 235), "magenta": (192, 32, 128)}

def band(h):
    """The rows of the clips' scrolling hue band in a picture H rows high."""
    return slice(int(184 / 240 * h), int(206 / 240 * h))

def parse_xwd(data, x=0, y=0, w=None, h=None):
    """A dump's pixels (RGB, Xvfb's BGRX order), or those of its area W x H at X, Y as floats."""
    hd = struct.unpack(">25I", data[:100])
    width, height, size, line = hd[4], hd[5], hd[11] // 8, hd[12]
    rows = np.frombuffer(data, np.uint8, count=line * height, offset=hd[0] + hd[19] * 12)
    px = rows.reshape(height, line)[:, : width * size].reshape(height, width, size)[:, :, 2::-1]
    return px if w is None else px[y:y + h, x:x + w].astype(np.float64)

def shot(path, *area):
    return parse_xwd(open(path, "rb").read(), *area)

def luma(rgb):
    return rgb[..., 0] * 0.299 + rgb[..., 1] * 0.587 + rgb[..., 2] * 0.114

def mse(a, b, axis=None):
    return np.mean((a - b) ** 2, axis=axis)

def clip_frames(clip):
    """Every frame as ffmpeg decodes it, kept beside the clip."""
    w, h = map(int, subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                    "stream=width,height", "-of", "csv=p=0", clip], check=True,
                                   stdout=subprocess.PIPE, text=True).stdout.split(",")[:2])
    cache = clip + ".rgb"
    if not os.path.exists(cache) or os.path.getmtime(cache) < os.path.getmtime(clip):
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", clip, "-f", "rawvideo",
                        "-pix_fmt", "rgb24", cache + ".part"], check=True)
        os.replace(cache + ".part", cache)
    return np.fromfile(cache, np.uint8).reshape(-1, h, w, 3)

def index(dest, source):
    """Source pixel per destination pixel: Wine's GDI takes the one before an exact edge, Qt samples a
    16.16 step at its middle (both measured)."""
    if os.environ.get("PICTURE_SCALE") == "gdi":
        return np.maximum(0, (np.arange(dest) * source - 1) // dest)
    step = int(65536 * source / dest)
    return np.minimum((np.arange(dest) * step + step // 2) >> 16, source - 1)

def scaled(frames, h, w, rows=slice(None)):
    """The frames scaled to W x H as the blit does, those rows of them."""
    return frames[:, index(h, frames.shape[1])[rows]][:, :, index(w, frames.shape[2])].astype(np.float64)

def runs(idx, gap=1):
    """Runs of indices at most GAP apart, as [first, last]."""
    out = []
    for i in idx:
        if out and i - out[-1][1] <= gap:
            out[-1][1] = i
        else:
            out.append([i, i])
    return out

def cmd_layout(path):
    """The first row of the idle window's black video area, black to the bottom."""
    p = shot(path)
    black = np.nonzero(p.reshape(p.shape[0], -1).max(axis=1) == 0)[0]
    print(int(black[0]) if len(black) and p[black[0]:].max() == 0 else "none")

def cmd_menu(path, menu_h):
    """The x centres of the menu bar's words."""
    strip = shot(path)[:menu_h].astype(int)
    ink = (np.abs(strip - np.median(strip.reshape(-1, 3), axis=0)).sum(axis=2) > 120).any(axis=0)
    print(" ".join(str((a + b) // 2) for a, b in runs(np.nonzero(ink)[0], 6)))

def cmd_still(src, x, y, w, h, seconds, rest, out):
    deadline, last, since = time.time() + seconds, None, 0
    while time.time() < deadline:
        data = subprocess.run(["xwd", "-silent"] + (["-root"] if src == "root" else ["-id", str(src)]),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        if len(data) > 100:
            part = parse_xwd(data, x, y, w, h)
            if not np.array_equal(part, last):
                last, since = part, time.time()
            elif time.time() - since >= rest and luma(part).std() >= 20:
                open(out, "wb").write(data)
                return 0
        time.sleep(0.08)
    return 1

def cmd_identify(path, x, y, w, h, top, clip, n, low):
    screen, pics = shot(path, x, y, w, h), scaled(clip_frames(clip), h, w)
    best = int(np.argmin(mse(pics[:, band(h)], screen[band(h)], axis=(1, 2, 3))))
    vis = slice(top - y, h)
    q = {k: 10 * np.log10(65025 / max(1e-9, mse(luma(pics[k][vis]), luma(screen[vis]))))
         for k in range(max(0, n - 2), min(len(pics), n + 3))}
    print("best=%d" % best, " ".join("psnr[%d]=%.1f" % kv for kv in sorted(q.items())))
    return 0 if best == n and q[n] >= low and all(q[n] > q[k] for k in (n - 1, n + 1) if k in q) else 1

def cmd_colour(path, x, y, w, h):
    part = shot(path, x, y, w, h).reshape(-1, 3)
    mean = part.mean(axis=0)
    best = min(COLOURS, key=lambda c: float(np.sum((mean - COLOURS[c]) ** 2)))
    flat = np.sqrt(((part - mean) ** 2).sum(axis=1).mean()) < 20
    print(best if flat and np.sqrt(np.sum((mean - COLOURS[best]) ** 2)) < 45 else "mixed")

def cmd_moved(a, b, x, y, w, h):
    """Whether B differs from A and shows a picture, not a flat fill."""
    a, b = luma(shot(a, x, y, w, h)), luma(shot(b, x, y, w, h))
    return 0 if np.sqrt(mse(a, b)) >= 0.005 and b.std() >= 20 else 1

def cmd_ink(path, x, y, w, h):
    """Dark (text) and pure blue (link) shares, longest blue run in a row (underline), colour spread."""
    p = shot(path, x, y, w, h)
    blue = (p[:, :, 2] > 160) & (p[:, :, 0] < 110) & (p[:, :, 1] < 110)
    line = max((b - a + 1 for row in blue for a, b in runs(np.nonzero(row)[0])), default=0)
    print("%.3f %.3f %d %.1f" % ((p.sum(axis=2) < 300).mean(), blue.mean(), line, p.reshape(-1, 3).std(axis=0).mean()))

def cmd_thumb(path, x, y, w, h):
    """A horizontal scroll bar (dark arrow glyphs at both ends, the trough between their edges, a light
    thumb): the thumb's share of the way, its centre and the trough's ends."""
    row = shot(path, x, y, w, h)[h // 2].sum(axis=1) / 3
    glyph = np.nonzero(row < 150)[0]
    lg, rg = [i for i in glyph if i < w // 3], [i for i in glyph if i > 2 * w // 3]
    edges = np.nonzero(row < 215)[0]
    left = min((i for i in edges if lg and i > lg[-1] + 1), default=None)
    right = max((i for i in edges if rg and i < rg[0] - 1), default=None)
    light = runs(i for i in range(left + 1, right) if row[i] >= 238) if None not in (left, right) else []
    if not light:
        return 1
    a, b = max(light, key=lambda r: r[1] - r[0])
    travel = (right - left) - (b - a + 2)
    share = 0.0 if travel <= 0 else (a - 1 - left) / travel
    print("%.3f %d %d %d" % (min(1.0, max(0.0, share)), a - 1 + (b - a + 3) // 2, left, right))

def cmd_damage(log, menu_h):
    """Every drawing on a window from now on; one as wide as the window below the menu bar has the band
    rows read back at once ("late" when more drawing already waited: they may show a later frame)."""
    from Xlib import X, display
    from Xlib.ext import damage
    d = display.Display()
    d.set_error_handler(lambda *a: None)
    d.damage_query_version()
    d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    with open(log, "w", buffering=1) as out, open(log + ".grabs", "wb") as grabs:
        d.sync()
        out.write("ready\n")
        while True:
            e = d.next_event()
            if e.type == X.CreateNotify:
                e.window.damage_create(damage.DamageReportRawRectangles)
            elif e.type == d.extension_event.DamageNotify:
                a = e.area
                line = "%.4f %d %d %d %d" % (time.time(), a.x, a.y, a.width, a.height)
                if a.x == 0 and a.y >= menu_h and a.height > 8:
                    ch = a.y + a.height - menu_h
                    rows = band(ch)
                    n = rows.stop - rows.start
                    try:
                        img = e.drawable.get_image(0, menu_h + rows.start, a.width, n, X.ZPixmap, 0xFFFFFFFF)
                        line += " %d %d %d %d %d" % (grabs.tell(), a.width, n, ch, d.pending_events() > 0)
                        grabs.write(img.data)
                    except Exception:
                        pass
                out.write(line + "\n")

def pictures(log, w, h, top):
    """The frames drawn (as wide as the window, down to its bottom from TOP), (time, band), but black
    fills and a late read equal to the next after half a second without any (a fill before a first
    frame; bursts stay)."""
    data = open(log + ".grabs", "rb").read()
    shown = []
    for v in (line.split() for line in open(log) if line.count(" ") >= 4):
        x, y, dw, dh = map(int, v[1:5])
        grab = None
        if len(v) > 5:
            off, gw, rows, ch, late = map(int, v[5:])
            raw = np.frombuffer(data, np.uint8, count=gw * rows * 4, offset=off)
            grab = (raw.reshape(rows, gw, 4)[:, :, 2::-1].astype(np.int32), ch, late)
        if x == 0 and dw == w and y >= top and y + dh == h and (grab is None or grab[0].any()):
            shown.append((float(v[0]), grab))
    return [s for i, s in enumerate(shown) if not (s[1] and s[1][2] and i + 1 < len(shown) and shown[i + 1][1]
                                                   and (i == 0 or s[0] - shown[i - 1][0] >= 0.5)
                                                   and np.array_equal(s[1][0], shown[i + 1][1][0]))]

def cmd_sequence(log, w, h, top, clip, first, count):
    frames, seen, bands = clip_frames(clip), [], {}
    for _, grab in pictures(log, w, h, top):
        if grab:
            pic, ch, late = grab
            key = (pic.shape[1], ch)
            if key not in bands:
                bands[key] = scaled(frames, ch, key[0], band(ch))
            seen.append((int(np.argmin(mse(bands[key], pic, axis=(1, 2, 3)))), late))
    print(" ".join("%d%s" % (k, "?" if late else "") for k, late in seen))
    ok = len(seen) == count
    for i, (k, late) in enumerate(seen if ok else []):
        nxt = [k2 for k2, l2 in seen[i + 1:] if not l2]
        ok = ok and (k == first + i if not late else k >= first + i and not (nxt and k > nxt[0]))
    return 0 if ok else 1

def cmd_flushes(log, w, h, top):
    """How many frames reached the window, in how many seconds from the first to the last."""
    t = [when for when, _ in pictures(log, w, h, top)]
    print(len(t), "%.2f" % (t[-1] - t[0] if t else 0))

if __name__ == "__main__":
    args = [int(v) if v.isdigit() else float(v) if v.replace(".", "", 1).isdigit() else v for v in sys.argv[2:]]
    sys.exit(globals()["cmd_" + sys.argv[1]](*args) or 0)
