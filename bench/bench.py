#!/usr/bin/env python3
"""Frame-rate and start-up figures under Xvfb (Mesa llvmpipe), every program
run inside a private network namespace made by the test harness.

    bench.py [--runs N] [--seconds S] [--build DIR] [--only clear,play,startup,gamestart]

- clear: bench/glx_clear, a window like the game's that only clears and
  swaps: the ceiling of the display.  600x400 (WINDOW) and full screen on a
  1280x1024 Xvfb.
- play: the game's own "FPS: %d ..." lines during play at the same two
  sizes.  Play is entered by clicking the menu's "Start Game" button; the
  eye follows a fixed path (REPLAY_P_LOG with a generated path.dat), so
  every run draws the same views.
- startup: launch to the first swapped frame (the menu), timed by the
  preloaded bench/libfirst_swap.so; the game's "max texture units" line
  marks the end of texture loading.

Each figure is the median over the runs (play: the median of the per-second
FPS lines of a run, then the median over runs).  Figures only, no limits.
"""

import argparse
import os
import re
import signal
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402
from timedemo import write_path  # noqa: E402  (the flight both measure)

SIZES = (("600x400 (WINDOW)", True), ("1280x1024 (full screen)", False))

# "Start Game": the first main menu button, x 50..300, y 100..150 on the
# virtual 1280 x 1024 menu screen.
START_BUTTON_VIRTUAL = (175, 125)


def start_button_pixel(width, height):
    vx, vy = START_BUTTON_VIRTUAL
    return int(vx * width / 1280.0), int(vy * height / 1024.0)


def run_clear(build, window, seconds):
    with harness.Xvfb(1280, 1024) as x, harness.NetNamespace(tag="bench") as ns:
        args = (["WINDOW"] if window else []) + [str(seconds)]
        g = harness.Game(os.path.join(build, "bench", "glx_clear"), args, ns=ns,
                         display=x.display, cwd=ROOT)
        if g.wait(seconds + 30) is None:
            g.kill()
            raise harness.HarnessError("glx_clear did not finish")
        line = g.wait_for_line(r"^frames: \d+ seconds: [\d.]+ fps: [\d.]+", 1)
        if not line:
            raise harness.HarnessError("glx_clear printed no result:\n" + g.dump())
        return float(line.rsplit(" ", 1)[1])


def run_play(build, data, window, seconds, enter_timeout=40):
    """Median FPS line of one run, or None when play was not reached."""
    with harness.Xvfb(1280, 1024) as x, harness.NetNamespace(tag="bench") as ns, \
            harness.workdir(data) as d:
        write_path(os.path.join(d, "path.dat"))
        args = ["bench", "REPLAY_P_LOG"] + (["WINDOW"] if window else [])
        g = harness.Game(os.path.join(build, "kelvarin"), args, ns=ns, display=x.display, cwd=d)
        try:
            win = harness.wait_for_window(x.display, "Kelvarin", timeout=60, game=g)
            info = harness.window_info(x.display, win)
            xin = harness.XInput(x.display, win)
            bx, by = start_button_pixel(info["width"], info["height"])
            deadline = time.monotonic() + enter_timeout
            first = None
            while first is None and time.monotonic() < deadline and g.running():
                xin.move(bx, by)
                time.sleep(0.3)
                xin.click(1, bx, by)
                first = g.wait_for_line(r"^FPS: \d+", 5, stream="stdout")
            if first is None:
                return None
            # The first second includes the world building; skip two lines.
            start = g.mark()
            fps = []
            end = time.monotonic() + seconds + 2
            while time.monotonic() < end:
                line = g.wait_for_line(r"^FPS: \d+", max(0.1, end - time.monotonic()),
                                       stream="stdout", start=start)
                if line is None:
                    break
                start = g.mark()
                fps.append(int(line.split()[1]))
            fps = fps[2:]
            return statistics.median(fps) if fps else None
        finally:
            g.send_signal(signal.SIGINT)
            if g.wait(10) is None:
                g.kill()


def run_startup(build, data, window):
    """(seconds to the program's load, to the end of texture loading, to the
    first swapped frame), measured from just before the launch."""
    with harness.Xvfb(1280, 1024) as x, harness.NetNamespace(tag="bench") as ns, \
            harness.workdir(data) as d:
        shim = os.path.join(build, "bench", "libfirst_swap.so")
        args = ["bench"] + (["WINDOW"] if window else [])
        t0 = time.time()
        g = harness.Game(os.path.join(build, "kelvarin"), args, ns=ns, display=x.display, cwd=d,
                         env={"LD_PRELOAD": shim})
        try:
            tex = g.wait_for_line(r"^max texture units", 60, stream="stdout")
            t_tex = time.time()
            swap = g.wait_for_line(r"^first_swap: first swap ", 60, stream="stderr")
            loaded = g.wait_for_line(r"^first_swap: loaded kelvarin ", 1, stream="stderr")
            if not swap or not loaded or not tex:
                raise harness.HarnessError("no first frame:\n" + g.dump())
            t_loaded = float(loaded.rsplit(" ", 1)[1])
            t_swap = float(swap.rsplit(" ", 1)[1])
            return t_loaded - t0, t_tex - t0, t_swap - t0
        finally:
            g.send_signal(signal.SIGINT)
            if g.wait(10) is None:
                g.kill()


def run_gamestart(build, data, window):
    """Seconds from the "Start Game" click to the first frame of play: the
    pause between the last menu frame and the first play frame (the fade to
    black, the 0.3 s wait on the new channel, building the world)."""
    with harness.Xvfb(1280, 1024) as x, harness.NetNamespace(tag="bench") as ns, \
            harness.workdir(data) as d:
        shim = os.path.join(build, "bench", "libfirst_swap.so")
        args = ["bench"] + (["WINDOW"] if window else [])
        g = harness.Game(os.path.join(build, "kelvarin"), args, ns=ns, display=x.display, cwd=d,
                         env={"LD_PRELOAD": shim})
        try:
            win = harness.wait_for_window(x.display, "Kelvarin", timeout=60, game=g)
            info = harness.window_info(x.display, win)
            xin = harness.XInput(x.display, win)
            bx, by = start_button_pixel(info["width"], info["height"])
            xin.move(bx, by)
            time.sleep(1.0)
            start = g.mark()
            xin.click(1, bx, by)
            if not g.wait_for_line(r"^FPS: \d+", 60, stream="stdout", start=start):
                raise harness.HarnessError("play not reached:\n" + g.dump())
            gaps = [float(l.split()[2]) for s, l in g.lines[start:]
                    if s == "stderr" and l.startswith("first_swap: gap ")]
            if not gaps:
                raise harness.HarnessError("no pause seen at the start of play:\n" + g.dump())
            return max(gaps)
        finally:
            g.send_signal(signal.SIGINT)
            if g.wait(10) is None:
                g.kill()


def fmt(v, spec="%.0f"):
    return "n/a" if v is None else spec % v


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--seconds", type=float, default=8.0)
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--only", default="clear,play,startup,gamestart")
    a = ap.parse_args(argv)
    build = os.path.abspath(a.build)
    data = os.path.join(build, "data")
    parts = set(a.only.split(","))
    harness.require_root()

    results = {}
    for label, window in SIZES:
        r = {}
        if "clear" in parts:
            runs = [run_clear(build, window, a.seconds) for _ in range(a.runs)]
            print("clear %s: %s" % (label, ", ".join("%.0f" % v for v in runs)), flush=True)
            r["clear"] = statistics.median(runs)
        if "play" in parts:
            runs = [run_play(build, data, window, a.seconds) for _ in range(a.runs)]
            print("play %s: %s" % (label, ", ".join(fmt(v) for v in runs)), flush=True)
            got = [v for v in runs if v is not None]
            r["play"] = statistics.median(got) if got else None
        if "startup" in parts:
            runs = [run_startup(build, data, window) for _ in range(a.runs)]
            print("startup %s: %s" % (label, ", ".join("%.2f/%.2f/%.2f" % v for v in runs)), flush=True)
            r["startup"] = tuple(statistics.median(v[i] for v in runs) for i in range(3))
        if "gamestart" in parts:
            runs = [run_gamestart(build, data, window) for _ in range(a.runs)]
            print("gamestart %s: %s" % (label, ", ".join("%.2f" % v for v in runs)), flush=True)
            r["gamestart"] = statistics.median(runs)
        results[label] = r

    print()
    print("median of %d runs; Xvfb 1280x1024x24, Mesa llvmpipe, %d cores" % (a.runs, os.cpu_count()))
    labels = [l for l, _ in SIZES]
    print("%-34s %18s %24s" % ("", labels[0], labels[1]))
    rows = []
    if "clear" in parts:
        rows.append(("clear+swap ceiling, frames/s", [fmt(results[l].get("clear")) for l in labels]))
    if "play" in parts:
        rows.append(("play (replayed path), frames/s", [fmt(results[l].get("play")) for l in labels]))
        if "clear" in parts:
            ratio = []
            for l in labels:
                c, p = results[l].get("clear"), results[l].get("play")
                ratio.append(fmt(p / c if c and p else None, "%.3f"))
            rows.append(("play / ceiling", ratio))
    if "startup" in parts:
        for i, name in enumerate(("start-up: program loaded, s", "start-up: textures loaded, s",
                                  "start-up: first frame, s")):
            rows.append((name, [fmt(results[l]["startup"][i], "%.2f") for l in labels]))
    if "gamestart" in parts:
        rows.append(("game start: click to play frame, s", [fmt(results[l]["gamestart"], "%.2f") for l in labels]))
    for name, vals in rows:
        print("%-34s %18s %24s" % (name, vals[0], vals[1]))
    if "play" in parts and all(results[l].get("play") is None for l in labels):
        print("play: not reached (no \"FPS:\" line after clicking \"Start Game\")")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
