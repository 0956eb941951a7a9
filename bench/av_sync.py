#!/usr/bin/env python3
"""Sound and picture in step: plays a clip of flashes and beeps with a
command, records what the sound server's null sink plays (its monitor,
through parec) and watches a patch of the screen, then pairs every flash
seen with the beep heard nearest to it.

  av_sync.py X Y W H SECONDS REPORT [--flashes N] -- COMMAND...

X Y W H is a patch of the root window inside the video area (dark but for
the flashes); SECONDS bounds the run (the command is ended then, if it has
not ended by itself, or 1.5 s after the Nth flash with --flashes: a player
that stays open at the clip's end). PULSE_SERVER must name the sound server; the sink's
monitor is nullsink.monitor. Writes the figures to REPORT (one "key value"
a line: the offsets in ms, picture minus sound, positive when the picture
is late) and prints a one-line summary.

Times, all on the monotonic clock of this process:
- the flash: the patch is read with X GetImage every ~2 ms; a flash is the
  first look that finds it lit, dated halfway between that look and the
  dark one before it (each look dated at the middle of its round trip);
- the beep: parec asks for 5 ms of latency, which also makes the null sink
  mix in 5 ms blocks; every read of its output is dated when it returns.
  A sample cannot have been recorded after the read that returned it, and
  the stream runs at the sink's pace, so sample n was recorded at
  T0 + n / rate, with T0 the smallest (read time - samples so far / rate)
  over the whole run: the read that waited least. The onset of a beep is
  its first sample above a tenth of full scale. What this leaves: the null
  sink hands a block to its monitor when it mixes it, up to one block
  (5 ms) before the time the block stands for, and the read that waited
  least still waited a little.
"""

import os
import signal
import subprocess
import sys
import threading
import time

import numpy as np
from Xlib import X, display

RATE = 48000
RECORDER = ["parec", "--device=nullsink.monitor", "--format=s16le", "--rate=%d" % RATE,
            "--channels=1", "--latency-msec=5", "--raw"]
# A beep begins at the first sample this loud, and a new one only this long
# after the last loud sample of the one before.
LOUD = 3277
GAP = 0.3
# Pairs of a flash and a beep further apart than this are not the same event.
PAIR_LIMIT = 0.45


class Recording(threading.Thread):
    """parec's output, with the time every read returned."""

    def __init__(self):
        super().__init__(daemon=True)
        self.process = subprocess.Popen(RECORDER, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.chunks = []
        self.reads = []  # (time, bytes so far)

    def run(self):
        total = 0
        fd = self.process.stdout.fileno()
        while True:
            data = os.read(fd, 65536)
            now = time.monotonic()
            if not data:
                return
            self.chunks.append(data)
            total += len(data)
            self.reads.append((now, total))

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
        self.join(5)

    def samples(self):
        data = b"".join(self.chunks)
        return np.frombuffer(data[: len(data) // 2 * 2], np.int16)


def beep_onsets(samples):
    loud = np.nonzero(np.abs(samples.astype(np.int32)) >= LOUD)[0]
    onsets = []
    last = None
    for n in loud:
        if last is None or n - last > GAP * RATE:
            onsets.append(int(n))
        last = n
    return onsets


def sink_latency():
    """What the sound server says of the null sink's latency right now."""
    try:
        out = subprocess.run(["pactl", "list", "sinks"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True, timeout=5).stdout
    except (OSError, subprocess.TimeoutExpired):
        return "unknown"
    lines = [line.strip() for line in out.splitlines() if line.strip().startswith("Latency:")]
    return lines[0].replace("Latency: ", "").replace(" ", "_") if lines else "unknown"


def main(argv):
    if "--" not in argv or argv.index("--") not in (7, 9) or len(argv) < argv.index("--") + 2:
        sys.stderr.write(__doc__)
        return 2
    split = argv.index("--")
    x, y, w, h = (int(v) for v in argv[1:5])
    seconds = float(argv[5])
    report = argv[6]
    wanted = None
    if split == 9:
        if argv[7] != "--flashes":
            sys.stderr.write(__doc__)
            return 2
        wanted = int(argv[8])
    command = argv[split + 1:]
    d = display.Display()
    root = d.screen().root

    recording = Recording()
    recording.start()
    time.sleep(0.5)  # the recording settles before anything plays
    looks = []  # (time, lit)
    latency_seen = None
    seen = 0
    stop_at = float("inf")
    started = time.monotonic()
    player = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              start_new_session=True)
    try:
        while time.monotonic() - started < seconds:
            before = time.monotonic()
            data = root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data
            after = time.monotonic()
            lit = max(data[1::4]) > 128
            if lit and looks and not looks[-1][1]:
                seen += 1
                if wanted is not None and seen == wanted:
                    stop_at = after + 1.5
            looks.append(((before + after) / 2, lit))
            if after > stop_at:
                break
            if latency_seen is None and after - started > 10:
                latency_seen = sink_latency()
            if player.poll() is not None:
                break
            time.sleep(0.002)
    finally:
        try:
            os.killpg(player.pid, signal.SIGTERM)
            player.wait(timeout=5)
        except ProcessLookupError:
            pass
        except subprocess.TimeoutExpired:
            os.killpg(player.pid, signal.SIGKILL)
            player.wait()
        time.sleep(0.3)
        recording.stop()

    flashes = []
    for (t0, lit0), (t1, lit1) in zip(looks, looks[1:]):
        if lit1 and not lit0:
            flashes.append((t0 + t1) / 2)
    gaps = [b[0] - a[0] for a, b in zip(looks, looks[1:])]

    samples = recording.samples()
    reads = recording.reads
    onsets = beep_onsets(samples)
    if reads:
        waits = np.array([t - (n // 2) / RATE for t, n in reads])
        origin = float(waits.min())
        spread = waits - origin
        recorded = reads[-1][1] // 2 / RATE
        wall = reads[-1][0] - reads[0][0] + (reads[0][1] // 2) / RATE
    else:
        origin, spread, recorded, wall = 0.0, np.zeros(1), 0.0, 0.0
    beeps = [origin + n / RATE for n in onsets]
    # A flash stays one frame (40 ms): a longer pause between two looks may
    # have hidden one. Where the clip's flashes (one a second) were not seen,
    # say whether the screen was being looked at then.
    missed = []
    if flashes:
        k = 0
        expected = flashes[0]
        last = max([flashes[-1]] + beeps)
        while expected < last + 0.2:
            if not any(abs(f - expected) < 0.2 for f in flashes):
                around = [g for (a, _), g in zip(looks, gaps) if expected - 0.15 <= a <= expected + 0.15]
                unseen = not around or max(around) > 0.035
                missed.append("%.2f%s" % (expected - started, "(not looked at)" if unseen else ""))
            k += 1
            near = [f for f in flashes if abs(f - (flashes[0] + k)) < 0.2]
            expected = near[0] if near else flashes[0] + k


    offsets = []
    for flash in flashes:
        if not beeps:
            break
        nearest = min(beeps, key=lambda b: abs(b - flash))
        if abs(nearest - flash) <= PAIR_LIMIT:
            offsets.append((flash - started, (flash - nearest) * 1000))
    values = [o for _, o in offsets]
    with open(report, "w") as out:
        out.write("looks %d\n" % len(looks))
        out.write("look_gap_ms %.1f %.1f\n" % (1000 * float(np.median(gaps)) if gaps else 0,
                                               1000 * max(gaps) if gaps else 0))
        out.write("looks_apart_over_35ms %d\n" % sum(1 for g in gaps if g > 0.035))
        out.write("flashes %d\n" % len(flashes))
        out.write("flashes_missed_at_s %s\n" % " ".join(missed))
        out.write("beeps %d\n" % len(beeps))
        out.write("pairs %d\n" % len(offsets))
        out.write("recorded_s %.3f\n" % recorded)
        out.write("recording_wall_s %.3f\n" % wall)
        out.write("read_wait_ms %.1f %.1f\n" % (1000 * float(np.median(spread)),
                                                1000 * float(np.percentile(spread, 99))))
        out.write("sink_latency %s\n" % latency_seen)
        out.write("flash_times_s %s\n" % " ".join("%.2f" % (f - started) for f in flashes))
        out.write("beep_times_s %s\n" % " ".join("%.2f" % (b - started) for b in beeps))
        out.write("offsets_ms %s\n" % " ".join("%.0f" % o for o in values))
        if values:
            out.write("offset_min_ms %.0f\n" % min(values))
            out.write("offset_median_ms %.0f\n" % float(np.median(values)))
            out.write("offset_max_ms %.0f\n" % max(values))
            out.write("within_40ms %s\n" % ("yes" if all(abs(v) <= 40 for v in values) else "NO"))
    summary = "%d flashes, %d beeps, %d pairs" % (len(flashes), len(beeps), len(offsets))
    if values:
        summary += ", offsets %.0f..%.0f ms (median %.0f)" % (min(values), max(values),
                                                               float(np.median(values)))
    print(summary)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
