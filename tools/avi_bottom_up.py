#!/usr/bin/env python3
"""Turns an AVI whose uncompressed RGB video is stored top-down into the classic bottom-up layout.

ffmpeg writes uncompressed RGB frames top-down (a negative height in the stream format), which
not every Windows decoder chain accepts. A DIB stored bottom-up with a positive height is what
every one of them reads, so the raw-video test clip is rewritten in place: the height in the
video stream's format becomes positive and the rows of every video frame are reversed. Nothing
changes size, so the index stays valid.

    tools/avi_bottom_up.py FILE.avi
"""

import os
import struct
import sys


def fail(message):
    sys.exit(f"{sys.argv[0]}: {message}")


def chunks(data, start, end):
    """Yields (id, list type or None, payload start, payload size) for each chunk in
    data[start:end]."""
    at = start
    while at + 8 <= end:
        cid = bytes(data[at : at + 4])
        size = struct.unpack_from("<I", data, at + 4)[0]
        body = at + 8
        if body + size > end:
            fail("a chunk runs past its parent")
        if cid in (b"RIFF", b"LIST"):
            yield cid, bytes(data[body : body + 4]), body + 4, size - 4
        else:
            yield cid, None, body, size
        at = body + size + (size & 1)


def main():
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} FILE.avi")
    path = sys.argv[1]
    with open(path, "rb") as f:
        data = bytearray(f.read())
    riff = list(chunks(data, 0, len(data)))
    if not riff or riff[0][0] != b"RIFF" or riff[0][1] != b"AVI ":
        fail("not an AVI file")
    _, _, top, top_size = riff[0]

    video_index = None
    width = height = stride = None
    movi = None
    stream_number = 0
    for cid, kind, body, size in chunks(data, top, top + top_size):
        if kind == b"hdrl":
            for scid, skind, sbody, ssize in chunks(data, body, body + size):
                if skind != b"strl":
                    continue
                parts = {c: (b, s) for c, _, b, s in chunks(data, sbody, sbody + ssize)}
                strh = parts.get(b"strh")
                strf = parts.get(b"strf")
                if strh and strf and data[strh[0] : strh[0] + 4] == b"vids":
                    (bi_size, bi_width, bi_height, planes, bits,
                     compression) = struct.unpack_from("<IiiHHI", data, strf[0])
                    if compression != 0 or bits not in (24, 32):
                        fail("the video stream is not uncompressed RGB")
                    if bi_height > 0:
                        return  # already bottom-up
                    width, height = bi_width, -bi_height
                    stride = (width * bits // 8 + 3) & ~3
                    struct.pack_into("<i", data, strf[0] + 8, height)
                    video_index = stream_number
                stream_number += 1
        elif kind == b"movi":
            movi = (body, size)
    if video_index is None or movi is None:
        fail("no uncompressed video stream found")

    frame_ids = {f"{video_index:02d}db".encode(), f"{video_index:02d}dc".encode()}
    frame_size = stride * height
    for cid, kind, body, size in chunks(data, movi[0], movi[0] + movi[1]):
        if kind is None and cid in frame_ids and size == frame_size:
            rows = [data[body + r * stride : body + (r + 1) * stride] for r in range(height)]
            data[body : body + frame_size] = b"".join(reversed(rows))
        elif kind == b"rec ":
            fail("interleaved record lists are not handled")

    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main()
