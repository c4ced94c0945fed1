#!/usr/bin/env python3
"""Runs the game's timedemo under a private Xvfb, inside a private network
namespace made by the test harness (needs root), and prints its closing line.

    bench/timedemo.py [--build DIR] [--seed N] [--frames N] [--full-screen]
                      [--shot FRAME]... [--out DIR]

The timedemo starts play by itself on the seed (no lobby), replays the eye
path written here into path.dat (a circle around the island, one record per
frame) with a fixed time step per frame, so every run draws the same frames,
writes the chosen frames as PPM pictures, prints

    timedemo: <frames> frames <seconds> seconds <fps> frames/s (<w>x<h>)

and exits.  The window is 600x400 (WINDOW), or the whole 1280x1024 screen
with --full-screen.  Pictures are copied to --out (default out/timedemo).
"""

import argparse
import math
import os
import re
import shutil
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

DEFAULT_SEED = 31337
DEFAULT_FRAMES = 600
CLOSING_LINE = r"^timedemo: (\d+) frames ([\d.]+) seconds ([\d.]+) frames/s \((\d+)x(\d+)\)$"
SCREEN = (1280, 1024)


def write_path(path, records=20000, loop=600):
    """A closed flight around the island: one eye record (eight little-endian
    floats: x, y, z, float height, pitch, yaw, 0, 0) per frame, one loop
    every ``loop`` frames, looking ahead along the circle and a little down."""
    with open(path, "wb") as f:
        for k in range(records):
            a = 2.0 * math.pi * (k % loop) / loop
            x, z = 150.0 * math.sin(a), 150.0 * math.cos(a)
            yaw = math.degrees(a) + 90.0  # yaw 0 looks along -z, 90 along +x
            f.write(struct.pack("<8f", x, 70.0, z, 2.0, 12.0, yaw % 360.0, 0.0, 0.0))


def timedemo_args(seed, frames, window, shots=()):
    args = ["timedemo"] + (["WINDOW"] if window else [])
    args += ["--timedemo", str(seed), "--frames", str(frames)]
    for s in shots:
        args += ["--shot", str(s)]
    return args


def run_timedemo(binary, data, seed=DEFAULT_SEED, frames=DEFAULT_FRAMES, window=True, shots=(),
                 out_dir=None, prefix="", timeout=600, env=None):
    """One run; returns {"frames", "seconds", "fps", "size", "shots": {frame: path}}.
    Raises harness.HarnessError when the run fails or prints no closing line."""
    with harness.Xvfb(*SCREEN) as x, harness.NetNamespace(tag="timedemo") as ns, \
            harness.workdir(data) as d:
        write_path(os.path.join(d, "path.dat"), records=frames)
        g = harness.Game(binary, timedemo_args(seed, frames, window, shots), ns=ns,
                         display=x.display, cwd=d, env=env)
        status = g.wait(timeout)
        if status is None:
            g.kill()
            raise harness.HarnessError("timedemo did not finish in %d s:\n%s" % (timeout, g.dump()))
        line = g.wait_for_line(CLOSING_LINE, 1, stream="stdout")
        if status != 0 or not line:
            raise harness.HarnessError("timedemo failed (status %s):\n%s" % (status, g.dump()))
        m = re.match(CLOSING_LINE, line)
        result = {"frames": int(m.group(1)), "seconds": float(m.group(2)), "fps": float(m.group(3)),
                  "size": (int(m.group(4)), int(m.group(5))), "shots": {}, "output": g.output()}
        for s in shots:
            src = os.path.join(d, "timedemo-%d.ppm" % s)
            if not os.path.exists(src):
                raise harness.HarnessError("no picture of frame %d:\n%s" % (s, g.dump()))
            if out_dir:
                os.makedirs(out_dir, exist_ok=True)
                dst = os.path.join(out_dir, "%stimedemo-%d.ppm" % (prefix, s))
                shutil.copyfile(src, dst)
                result["shots"][s] = dst
            else:
                result["shots"][s] = read_ppm(src)
        return result


def read_ppm(path):
    """(width, height, rgb bytes, top row first) of a binary PPM."""
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("%s: not an 8-bit binary PPM" % path)
    w, h = int(fields[1]), int(fields[2])
    rgb = data[pos:pos + w * h * 3]
    if len(rgb) != w * h * 3:
        raise ValueError("%s: short picture" % path)
    return w, h, rgb


def picture_difference(a, b, levels=8):
    """(mean absolute difference per channel, share of pixels with a channel
    differing by more than ``levels``) of two (w, h, rgb) pictures of one size."""
    (wa, ha, pa), (wb, hb, pb) = a, b
    if (wa, ha) != (wb, hb):
        raise ValueError("pictures of different sizes: %dx%d and %dx%d" % (wa, ha, wb, hb))
    total = 0
    differing = 0
    for i in range(0, len(pa), 3):
        d0 = abs(pa[i] - pb[i])
        d1 = abs(pa[i + 1] - pb[i + 1])
        d2 = abs(pa[i + 2] - pb[i + 2])
        total += d0 + d1 + d2
        if d0 > levels or d1 > levels or d2 > levels:
            differing += 1
    pixels = wa * ha
    return total / (3.0 * pixels), differing / float(pixels)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--seed", type=int, default=DEFAULT_SEED)
    ap.add_argument("--frames", type=int, default=DEFAULT_FRAMES)
    ap.add_argument("--full-screen", action="store_true")
    ap.add_argument("--shot", type=int, action="append", default=[])
    ap.add_argument("--out", default=os.path.join(ROOT, "out", "timedemo"))
    a = ap.parse_args(argv)
    harness.require_root()
    build = os.path.abspath(a.build)
    r = run_timedemo(os.path.join(build, "kelvarin"), os.path.join(build, "data"), a.seed, a.frames,
                     not a.full_screen, a.shot, out_dir=os.path.abspath(a.out))
    print("timedemo: %d frames %.3f seconds %.2f frames/s (%dx%d)"
          % (r["frames"], r["seconds"], r["fps"], r["size"][0], r["size"][1]))
    for frame, path in sorted(r["shots"].items()):
        print("frame %d: %s" % (frame, path))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
