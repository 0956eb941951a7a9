#!/usr/bin/env python3
"""Time to a picture: starts a command and watches a patch of the screen
until it shows a picture (launch to first frame) or a given colour (a
hand-over to the running player showing its new item).

  first_frame.py X Y W H TIMEOUT [--colour RRGGBB] [--leave | --wait-end SECONDS]
                 -- [COMMAND...]

X Y W H is the patch on the root window. Without --colour the patch must be
black before the start (nothing else on the display there) and the wait is
for the first lit pixel; with --colour it is for the patch's mean to lie
near that colour (whatever it showed before), which tells one flat-coloured
clip from another. Prints the milliseconds from the start of COMMAND to the
first look that found it. The command is then ended (SIGTERM, then SIGKILL),
and the wait also stops when it ends, unless --leave: the command is left
to run (a first start that is to stay), and its exit status follows the
figure, or "running" while it runs. --wait-end is --leave for a command
that ends by itself (a second start handing its item over): once the patch
showed, the command is given that many seconds to end before its status
is read. With no command at all, the time is counted from now: a wait for
what a player already running will show.
Status 1 and "none" when nothing showed in TIMEOUT seconds.

Looks about every 5 ms through the X server's GetImage; the figure is
therefore late by at most that much plus one GetImage round trip.
"""

import os
import signal
import subprocess
import sys
import time

from Xlib import X, display

# How far the patch's mean may lie from the colour asked for (per channel):
# clips are stored with lossy compression and converted twice on the way.
COLOUR_SLACK = 40


def parse(argv):
    if "--" not in argv:
        return None
    split = argv.index("--")
    head, command = argv[1:split], argv[split + 1:]
    if len(head) < 5:
        return None
    x, y, w, h = (int(v) for v in head[:4])
    timeout = float(head[4])
    colour, leave, wait_end = None, False, 0.0
    rest = head[5:]
    while rest:
        word = rest.pop(0)
        if word == "--colour" and rest:
            value = rest.pop(0)
            colour = tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))
        elif word == "--leave":
            leave = True
        elif word == "--wait-end" and rest:
            leave, wait_end = True, float(rest.pop(0))
        else:
            return None
    return x, y, w, h, timeout, colour, leave, wait_end, command


def end(player):
    try:
        os.killpg(player.pid, signal.SIGTERM)
        player.wait(timeout=5)
    except (ProcessLookupError, PermissionError):
        player.wait()
    except subprocess.TimeoutExpired:
        try:
            os.killpg(player.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        player.wait()


def main(argv):
    parsed = parse(argv)
    if parsed is None:
        sys.stderr.write(__doc__)
        return 2
    x, y, w, h, timeout, colour, leave, wait_end, command = parsed
    d = display.Display()
    root = d.screen().root

    def pixels():
        # A 32-bit ZPixmap: B, G, R and a pad byte a pixel.
        return root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data

    def shows():
        data = pixels()
        if colour is None:
            return max(data) > 40
        count = len(data) // 4
        mean = [sum(data[i::4]) / count for i in (2, 1, 0)]
        return all(abs(m - c) <= COLOUR_SLACK for m, c in zip(mean, colour))

    if colour is None and shows():
        sys.stderr.write("first_frame.py: the patch is not black before the start\n")
        return 2
    started = time.monotonic()
    player = None
    if command:
        player = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  start_new_session=True)
    found = None
    while time.monotonic() - started < timeout:
        if shows():
            found = time.monotonic() - started
            break
        if player is not None and not leave and player.poll() is not None:
            break
        time.sleep(0.005)
    status = ""
    if player is not None:
        if leave:
            # A second start ends once the running player has taken its
            # item: give it a moment, but never end it.
            try:
                code = player.wait(timeout=wait_end) if found is not None else player.poll()
            except subprocess.TimeoutExpired:
                code = None
            status = " running" if code is None else " %d" % code
        else:
            end(player)
    if found is None:
        print("none" + status)
        return 1
    print("%.0f%s" % (found * 1000, status))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
