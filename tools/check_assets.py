#!/usr/bin/env python3
"""Checks the committed resource files: the sizes and formats the player's resources need.

    tools/check_assets.py [--regenerate] [RESOURCES_DIR]

Exits 0 when every check passes; otherwise prints one line per failure and exits 1.
--regenerate also runs tools/make_assets.py into a temporary folder and requires the committed
files to be byte-for-byte what it writes (catches a picture edited by hand or a stale commit).
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BUTTON_FACE = 7  # light grey (192, 192, 192): the tool bar shows it as the button face

GENERATED = ["toolbar.bmp", "about.bmp", "ostrel.ico", "ostrel.png", "intro.wav",
             "ostrel.desktop"]


class Checker:
    def __init__(self):
        self.failures = []
        self.count = 0

    def expect(self, condition, name, message):
        self.count += 1
        if not condition:
            self.failures.append(f"{name}: {message}")
        return condition


def read(folder, name, check):
    path = os.path.join(folder, name)
    if not check.expect(os.path.isfile(path), name, "missing"):
        return None
    with open(path, "rb") as f:
        return f.read()


def bmp_header(data, name, check):
    """Checks the file and info headers; returns (width, height, bits, colours used, offset)."""
    if not check.expect(len(data) >= 54 and data[:2] == b"BM", name, "not a BMP file"):
        return None
    size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    check.expect(size == len(data), name, f"file size field {size}, file has {len(data)} bytes")
    (hsize, width, height, planes, bits, compression, image_size, _, _, used,
     _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    check.expect(hsize == 40, name, f"info header size {hsize}, expected 40")
    check.expect(planes == 1, name, f"{planes} planes")
    check.expect(compression == 0, name, f"compression {compression}, expected none (0)")
    check.expect(height > 0, name, "rows stored top-down; resources store them bottom-up")
    stride = (width * bits + 31) // 32 * 4
    check.expect(offset + stride * abs(height) == len(data), name,
                 f"pixel data is {len(data) - offset} bytes, expected {stride * abs(height)}")
    check.expect(image_size in (0, stride * abs(height)), name, f"image size field {image_size}")
    return width, height, bits, used, offset


def check_toolbar(folder, check):
    name = "toolbar.bmp"
    data = read(folder, name, check)
    if data is None:
        return
    head = bmp_header(data, name, check)
    if head is None:
        return
    width, height, bits, used, offset = head
    check.expect((width, height) == (144, 16), name, f"{width}x{height}, expected 144x16")
    check.expect(bits == 4, name, f"{bits} bits per pixel, expected 4")
    check.expect(used in (0, 16), name, f"{used} colours used, expected 16")
    if bits != 4 or offset != 54 + 64:
        check.expect(False, name, f"palette does not fill 16 entries (pixels at {offset})")
        return
    palette = [(data[54 + 4 * i + 2], data[54 + 4 * i + 1], data[54 + 4 * i]) for i in range(16)]
    check.expect(palette == VGA16, name, "palette is not the standard 16-colour palette")
    if (width, height) != (144, 16):
        return

    def pixel(x, y):  # y from the top
        row = offset + (height - 1 - y) * 72
        byte = data[row + x // 2]
        return byte >> 4 if x % 2 == 0 else byte & 15

    corners = [pixel(x, y) for x in (0, width - 1) for y in (0, height - 1)]
    check.expect(all(c == BUTTON_FACE for c in corners), name,
                 "corners are not the light-grey button face")
    for glyph in range(9):
        inked = sum(pixel(glyph * 16 + x, y) != BUTTON_FACE for x in range(16) for y in range(16))
        check.expect(inked >= 20, name, f"glyph {glyph} is (nearly) empty: {inked} pixels drawn")


def check_about(folder, check):
    name = "about.bmp"
    data = read(folder, name, check)
    if data is None:
        return
    head = bmp_header(data, name, check)
    if head is None:
        return
    width, height, bits, used, offset = head
    check.expect((width, height) == (147, 77), name, f"{width}x{height}, expected 147x77")
    check.expect(bits == 24, name, f"{bits} bits per pixel, expected 24")
    check.expect(used == 0 and offset == 54, name, "a 24-bit picture carries no palette")


def check_icon(folder, check):
    name = "ostrel.ico"
    data = read(folder, name, check)
    if data is None:
        return
    if not check.expect(len(data) >= 6, name, "too short"):
        return
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    check.expect(reserved == 0 and kind == 1, name, "not an icon file")
    if not check.expect(count == 3, name, f"{count} images, expected 3"):
        return
    sizes = []
    end_of_last = 6 + 16 * count
    for i in range(count):
        w, h, colours, _, planes, bits, length, at = struct.unpack_from("<BBBBHHII", data,
                                                                        6 + 16 * i)
        size = w or 256
        sizes.append(size)
        label = f"{name} image {size}x{h or 256}"
        check.expect(w == h, label, "not square")
        check.expect(bits == 32 and planes == 1 and colours == 0, label,
                     f"{bits} bits, {planes} planes, {colours} colours; expected 32-bit")
        check.expect(at == end_of_last, label, f"at offset {at}, expected {end_of_last}")
        end_of_last = at + length
        if not check.expect(at + length <= len(data), label, "runs past the end of the file"):
            return
        blob = data[at : at + length]
        mask_stride = (size + 31) // 32 * 4
        expected = 40 + size * size * 4 + mask_stride * size
        check.expect(length == expected, label, f"{length} bytes, expected {expected}")
        if len(blob) < 40:
            continue
        hsize, bw, bh, bplanes, bbits, compression = struct.unpack_from("<IiiHHI", blob, 0)
        check.expect((hsize, bw, bh, bplanes, bbits, compression) == (40, size, 2 * size, 1, 32, 0),
                     label, f"bitmap header {hsize}, {bw}x{bh}, {bbits} bits, compression "
                     f"{compression}; expected 40, {size}x{2 * size}, 32 bits, none")
        alpha = blob[40 + 3 : 40 + size * size * 4 : 4]
        check.expect(0 in alpha and 255 in alpha, label,
                     "no transparent edge or no opaque middle in the alpha channel")
    check.expect(end_of_last == len(data), name, "bytes left over after the last image")
    check.expect(sorted(sizes) == [16, 32, 48], name, f"sizes {sizes}, expected 16, 32 and 48")


def check_png(folder, check):
    name = "ostrel.png"
    data = read(folder, name, check)
    if data is None:
        return
    if not check.expect(data[:8] == b"\x89PNG\r\n\x1a\n", name, "not a PNG file"):
        return
    at = 8
    chunks = []
    while at + 12 <= len(data):
        (length,) = struct.unpack_from(">I", data, at)
        kind = data[at + 4 : at + 8]
        body = data[at + 8 : at + 8 + length]
        (crc,) = struct.unpack_from(">I", data, at + 8 + length)
        check.expect(zlib.crc32(kind + body) == crc, name, f"bad CRC in {kind!r}")
        chunks.append((kind, body))
        at += 12 + length
    check.expect(at == len(data), name, "trailing bytes after the last chunk")
    kinds = [k for k, _ in chunks]
    if not check.expect(kinds and kinds[0] == b"IHDR" and kinds[-1] == b"IEND", name,
                        "chunks are not IHDR ... IEND"):
        return
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    check.expect((width, height) == (128, 128), name, f"{width}x{height}, expected 128x128")
    check.expect((depth, colour, interlace) == (8, 6, 0), name,
                 f"depth {depth}, colour type {colour}, interlace {interlace}; expected "
                 "8-bit RGBA, not interlaced")
    try:
        raw = zlib.decompress(b"".join(b for k, b in chunks if k == b"IDAT"))
        check.expect(len(raw) == height * (1 + width * 4), name, "image data has the wrong size")
    except zlib.error as e:
        check.expect(False, name, f"image data does not inflate: {e}")


def check_wav(folder, check):
    name = "intro.wav"
    data = read(folder, name, check)
    if data is None:
        return
    if not check.expect(len(data) >= 12 and data[:4] == b"RIFF" and data[8:12] == b"WAVE", name,
                        "not a RIFF WAVE file"):
        return
    (riff_size,) = struct.unpack_from("<I", data, 4)
    check.expect(riff_size == len(data) - 8, name, f"RIFF size {riff_size}, file {len(data)}")
    at = 12
    fmt = samples = None
    while at + 8 <= len(data):
        kind = data[at : at + 4]
        (length,) = struct.unpack_from("<I", data, at + 4)
        body = data[at + 8 : at + 8 + length]
        if kind == b"fmt ":
            fmt = body
        elif kind == b"data":
            samples = body
            check.expect(len(body) == length, name, "data chunk runs past the end of the file")
        at += 8 + length + (length & 1)
    if not check.expect(fmt is not None and len(fmt) >= 16, name, "no fmt chunk"):
        return
    tag, channels, rate, byte_rate, align, bits = struct.unpack_from("<HHIIHH", fmt)
    check.expect((tag, channels, rate, bits) == (1, 1, 44100, 16), name,
                 f"format {tag}, {channels} channels, {rate} Hz, {bits} bits; "
                 "expected PCM (1), 1 channel, 44100 Hz, 16 bits")
    check.expect((byte_rate, align) == (88200, 2), name,
                 f"byte rate {byte_rate}, block align {align}; expected 88200, 2")
    if not check.expect(samples is not None, name, "no data chunk"):
        return
    if not check.expect(len(samples) == 196000, name,
                        f"{len(samples)} bytes of sample data, expected 196000"):
        return
    values = struct.unpack(f"<{len(samples) // 2}h", samples)
    peak = max(abs(v) for v in values)
    # Around -6 dBFS: loud enough to hear, with headroom.
    check.expect(11000 <= peak <= 23000, name, f"peak {peak}, expected about 16400 (-6 dBFS)")
    # Starts and ends at rest so the sound does not click.
    check.expect(abs(values[0]) < 64 and abs(values[-1]) < 64, name,
                 f"first/last sample {values[0]}/{values[-1]}: not faded")


def check_desktop(folder, check):
    name = "ostrel.desktop"
    data = read(folder, name, check)
    if data is None:
        return
    lines = data.decode("utf-8", "replace").splitlines()
    check.expect(lines and lines[0] == "[Desktop Entry]", name,
                 "does not start with [Desktop Entry]")
    entries = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
    wanted = {"Type": "Application", "Name": "ostrel", "Exec": "ostrel %F", "Icon": "ostrel",
              "Categories": "AudioVideo;Player;Video;"}
    for key, value in wanted.items():
        check.expect(entries.get(key) == value, name, f"{key}={entries.get(key)}, expected {value}")
    mime = entries.get("MimeType", "").split(";")
    for kind in ("video/x-msvideo", "video/mpeg", "audio/x-wav"):
        check.expect(kind in mime, name, f"MimeType lacks {kind}")


def check_demo(folder, check):
    name = "demo/demo.mpg"
    data = read(folder, name, check)
    if data is None:
        return
    check.expect(len(data) < 600 * 1024, name, f"{len(data)} bytes, expected under 600 KB")
    # An MPEG-1 program stream: a pack header with the MPEG-1 marker bits ('0010') first.
    check.expect(data[:4] == b"\0\0\1\xba" and data[4] >> 4 == 0b0010, name,
                 "does not start with an MPEG-1 pack header")
    check.expect(b"\0\0\1\xe0" in data and b"\0\0\1\xc0" in data, name,
                 "lacks a video or an audio stream")
    # Where ffprobe is installed, also what the streams hold.
    try:
        probe = subprocess.run(
            ["ffprobe", "-v", "error", "-show_entries",
             "stream=codec_name,width,height:format=duration", "-of", "default=nw=1",
             os.path.join(folder, name)], capture_output=True, text=True)
    except FileNotFoundError:
        return
    if not check.expect(probe.returncode == 0, name, "ffprobe cannot read it"):
        return
    found = probe.stdout.split()
    for wanted in ("codec_name=mpeg1video", "codec_name=mp2", "width=320", "height=240"):
        check.expect(wanted in found, name, f"ffprobe does not report {wanted}")
    duration = [float(f.split("=")[1]) for f in found if f.startswith("duration=")]
    check.expect(duration and 4.0 <= duration[0] <= 8.0, name,
                 f"duration {duration}, expected about 6 s")


def compare_with_generator(folder, check):
    here = os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as tmp:
        result = subprocess.run([sys.executable, os.path.join(here, "make_assets.py"), tmp])
        if not check.expect(result.returncode == 0, "make_assets.py", "failed"):
            return
        for name in GENERATED:
            committed = os.path.join(folder, name)
            if not os.path.isfile(committed):
                continue  # already reported
            with open(committed, "rb") as a, open(os.path.join(tmp, name), "rb") as b:
                check.expect(a.read() == b.read(), name,
                             "differs from what tools/make_assets.py writes")


def main():
    args = sys.argv[1:]
    regenerate = "--regenerate" in args
    args = [a for a in args if a != "--regenerate"]
    if len(args) > 1 or any(a.startswith("-") for a in args):
        sys.exit(f"usage: {sys.argv[0]} [--regenerate] [RESOURCES_DIR]")
    here = os.path.dirname(os.path.abspath(__file__))
    folder = args[0] if args else os.path.join(here, "..", "resources")

    check = Checker()
    for step in (check_toolbar, check_about, check_icon, check_png, check_wav, check_desktop,
                 check_demo):
        step(folder, check)
    if regenerate:
        compare_with_generator(folder, check)
    for failure in check.failures:
        print(f"FAIL {failure}")
    if check.failures:
        print(f"{len(check.failures)} of {check.count} asset checks failed")
        return 1
    print(f"all {check.count} asset checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
