#!/usr/bin/env python3
"""Launch to first frame: starts a player and watches a patch of the screen
where its video will show until the patch is no longer black.

  first_frame.py X Y W H TIMEOUT -- COMMAND...

X Y W H is the patch on the root window (it must be black before the start:
nothing else on the display there). Prints the milliseconds from the start
of COMMAND to the first look at the patch that found a lit pixel, then ends
COMMAND (SIGTERM, then SIGKILL). Status 1 when nothing showed in TIMEOUT
seconds. Looks about every 5 ms through the X server's GetImage; the figure
is therefore late by at most that much plus one GetImage round trip.
"""

import os
import signal
import subprocess
import sys
import time

from Xlib import X, display


def main(argv):
    if len(argv) < 8 or argv[6] != "--":
        sys.stderr.write(__doc__)
        return 2
    x, y, w, h = (int(v) for v in argv[1:5])
    timeout = float(argv[5])
    command = argv[7:]
    d = display.Display()
    root = d.screen().root

    def lit():
        image = root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF)
        return max(image.data) > 40

    if lit():
        sys.stderr.write("first_frame.py: the patch is not black before the start\n")
        return 2
    started = time.monotonic()
    player = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              start_new_session=True)
    found = None
    while time.monotonic() - started < timeout:
        if lit():
            found = time.monotonic() - started
            break
        if player.poll() is not None:
            break
        time.sleep(0.005)
    try:
        os.killpg(player.pid, signal.SIGTERM)
        player.wait(timeout=5)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        try:
            os.killpg(player.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        player.wait()
    if found is None:
        print("none")
        return 1
    print("%.0f" % (found * 1000))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
