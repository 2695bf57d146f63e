#!/usr/bin/env python3
"""Writes the demo's recorded sessions (framework/KvRecording.h's format) from
short scripts of pointer gestures, 10 ms a pass as qrn run paces them:
solve.txt sets the three gems in their sockets, wandering about first;
wander.txt only looks around and misplaces a gem. Run it here to remake them."""
import os

PASS_MS = 10


def session(path, gestures, tail):
    """gestures: ("wait", passes), ("move", x, y, passes), ("click", x, y),
    ("drag", x0, y0, x1, y1, passes); tail: quiet passes at the end."""
    passes = []  # the events of each pass

    def add(*events):
        passes.append(list(events))

    where = [0, 0]
    for g in gestures:
        if g[0] == "wait":
            for _ in range(g[1]):
                add()
        elif g[0] in ("move", "drag"):
            x0, y0 = where if g[0] == "move" else g[1:3]
            x1, y1, steps = g[1:4] if g[0] == "move" else g[3:6]
            if g[0] == "drag":
                add("mouseMove %d %d" % (x0, y0), "mouseDown %d %d" % (x0, y0))
            for s in range(1, steps + 1):
                add("mouseMove %d %d" % (x0 + (x1 - x0) * s // steps, y0 + (y1 - y0) * s // steps))
            if g[0] == "drag":
                add("mouseUp %d %d" % (x1, y1))
            where = [x1, y1]
        elif g[0] == "click":
            add("mouseMove %d %d" % g[1:3], "mouseDown %d %d" % g[1:3])
            add("mouseUp %d %d" % g[1:3])
            where = list(g[1:3])
    passes += [[] for _ in range(tail)]
    with open(path, "w") as f:
        f.write("qrn-recording 1\n# %s, made by make_sessions.py\n" % os.path.basename(path))
        f.write("window 640 480 16\nseed 12\nstart 0\n")
        for n, events in enumerate(passes, 1):
            f.write("pass %d %d\n" % (n, n * PASS_MS))
            for e in events:
                f.write(e + "\n")


# Gems are 40-pixel squares: red from (400, 420), green (160, 380), blue
# (240, 420); their sockets at y 300 and x 280, 200, 360.
LOOK_AROUND = [("wait", 50), ("move", 320, 200, 40), ("move", 320, 80, 30), ("click", 320, 80), ("wait", 40),
               ("move", 560, 400, 50), ("click", 560, 400), ("wait", 60)]
SOLVE = LOOK_AROUND + [
    ("move", 420, 440, 40), ("wait", 20), ("drag", 420, 440, 302, 322, 40), ("wait", 60),
    ("move", 180, 400, 30), ("drag", 180, 400, 222, 318, 30), ("wait", 60),
    ("move", 260, 440, 30), ("drag", 260, 440, 342, 362, 30), ("wait", 40),
    ("drag", 342, 362, 382, 318, 30), ("wait", 40), ("move", 420, 200, 40)]
WANDER = LOOK_AROUND + [
    ("move", 420, 440, 40), ("drag", 420, 440, 238, 360, 40), ("wait", 60),
    ("move", 180, 400, 30), ("wait", 100), ("move", 600, 40, 60)]

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    session(os.path.join(here, "solve.txt"), SOLVE, 400)
    session(os.path.join(here, "wander.txt"), WANDER, 100)
