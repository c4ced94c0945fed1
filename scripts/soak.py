#!/usr/bin/env python3
"""Soak run: two real copies in linked network namespaces, each under its
own Xvfb, play one game for a number of minutes with scripted real input
(xdotool): walking with w/a/s/d, looking with pointer motion, shooting with
the left button, Shift + drag selections followed by the move button and a
click on the ground.

Every few seconds each copy's memory is sampled: VmRSS and VmHWM
(/proc/<pid>/status); from /proc/<pid>/smaps the resident anonymous memory
(the allocator's arenas and the driver's buffers) and the resident
anonymous executable mappings (the machine code the GL driver compiles for
each combination of fixed-function state it meets, which no heap profiler
sees); and the allocator's bytes in use (mallinfo2, reported by the
preloaded bench/libheap_report.so when the build has it).  Every minute a
line gives each copy's medians of that minute.

The run fails when a copy ends, when a copy prints no "FPS:" line for 10 s,
or when a copy's memory keeps growing: in a run of 20 minutes or more, the
median VmRSS of the last 10 minutes more than 2 % above the median of
minutes 5 to 10 (by then the world, the driver's caches and the allocator's
pools have reached their size; what grows after that grows with the length
of the game); in a shorter run, the median of the last minute more than 5 %
above that of the minute after the first.  Medians, because a frame holds
the driver's buffers for what it draws until it is shown: a busy view lifts
VmRSS for a few seconds, which a single sample may catch and a leak's
steady rise outlasts.

    scripts/soak.py [--minutes N] [--binary B] [--data D] [--seed S] [--csv FILE]
"""
import argparse
import contextlib
import os
import random
import re
import signal
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

HANG_SECONDS = 10.0
FIRST_SAMPLE = 60.0  # warm-up: the steady state is judged from here on
WINDOW = 60.0  # seconds of samples whose median stands for a moment
SAMPLE_EVERY = 5.0
GROWTH_LIMIT = 1.05
# Runs this long are judged on their settled windows: minutes 5 to 10
# against the last 10.
LONG_RUN = 20 * 60.0
SETTLED_FROM, SETTLED_TO, LATE_SPAN = 5 * 60.0, 10 * 60.0, 10 * 60.0
LONG_GROWTH_LIMIT = 1.02
COLUMNS = ("rss", "heap", "anon", "code")  # one sample: kB each (heap None without the shim)
HEAP_LINE = re.compile(r"^heap_report: in use (\d+) kB ")


def smaps_summary(pid):
    """Resident kB of a process's anonymous mappings, (data, executable):
    the allocator's arenas and [heap], the driver's buffers; the machine
    code compiled at run time. None once the process is gone."""
    data = code = 0
    anonymous = executable = False
    try:
        with open("/proc/%d/smaps" % pid) as f:
            for line in f:
                first = line.split(None, 5)
                if len(first) >= 5 and "-" in first[0] and len(first[1]) == 4:
                    name = first[5].strip() if len(first) > 5 else ""
                    anonymous = first[4] == "0" and (not name or name == "[heap]" or name.startswith("[anon"))
                    executable = "x" in first[1]
                elif anonymous and first and first[0] == "Rss:":
                    if executable:
                        code += int(first[1])
                    else:
                        data += int(first[1])
    except (OSError, ValueError):
        return None
    return data, code


class Copy:
    def __init__(self, stack, ns, name, args):
        self.name = name
        self.x = stack.enter_context(harness.Xvfb())
        self.dir = stack.enter_context(harness.workdir(args.data))
        env = {"LD_PRELOAD": args.heap_shim} if args.heap_shim else None
        self.game = harness.Game(args.binary, [name, "WINDOW"], ns=ns, display=self.x.display, cwd=self.dir, env=env)
        stack.enter_context(self.game)
        self.win = harness.wait_for_window(self.x.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.x.display, self.win)
        self.pid = None
        self.samples = {}
        self.series = []  # (seconds into play, {column: kB})
        self.fps_lines = 0
        self.last_fps = None
        self.longest_gap = 0.0
        self._seen = 0

    def click_virtual(self, vx, vy):
        harness.click_menu(self.xin, vx, vy)

    def choose_team(self, team):
        harness.choose_team(self.xin, team)

    def heap_in_use(self):
        """The allocator's last reported kB in use, or None."""
        for line in reversed(self.game.output("stderr")):
            m = HEAP_LINE.match(line)
            if m:
                return int(m.group(1))
        return None

    def sample(self, t):
        """Records one sample of every column at ``t`` seconds into play."""
        m = harness.memory(self.pid)
        maps = smaps_summary(self.pid)
        if not m or not maps:
            return
        self.series.append((t, {"rss": m[0], "heap": self.heap_in_use(), "anon": maps[0], "code": maps[1]}))

    def minute_line(self, t):
        """This copy's medians over the minute before ``t``."""
        recent = [v for s, v in self.series if t - 60.0 <= s <= t]
        parts = []
        for col in COLUMNS:
            vals = [v[col] for v in recent if v[col] is not None]
            parts.append("%s %s" % (col, median(vals) if vals else "-"))
        return "%s %s kB" % (self.name, " ".join(parts))

    def watch_frames(self, now):
        """Notes new "FPS:" lines; returns the seconds since the last one."""
        lines = self.game.output("stdout")
        for line in lines[self._seen:]:
            if line.startswith("FPS: "):
                self.fps_lines += 1
                if self.last_fps is not None:
                    self.longest_gap = max(self.longest_gap, now - self.last_fps)
                self.last_fps = now
        self._seen = len(lines)
        return now - self.last_fps if self.last_fps is not None else 0.0


ACTIONS = ("walk", "walk", "look", "look", "shoot", "select")


def play_input(copy, rng, stop, actions=ACTIONS):
    """Scripted play until ``stop`` is set: one action after another, drawn
    from ``actions``."""
    xin = copy.xin
    while not stop.is_set():
        act = rng.choice(actions)
        try:
            if act == "walk":
                key = rng.choice("wasd")
                xin.key_down(key)
                time.sleep(rng.uniform(0.3, 1.5))
                xin.key_up(key)
            elif act == "look":
                for _ in range(rng.randint(2, 5)):
                    xin.move(300 + rng.randint(-200, 200), 200 + rng.randint(-120, 120))
                    time.sleep(0.15)
                xin.move(300, 200)  # the view stops turning at the centre
            elif act == "shoot":
                xin.move(300, 200)
                for _ in range(rng.randint(1, 3)):
                    xin.click(1)
                    time.sleep(0.25)
            elif act == "select":
                xin.move(300, 200)
                xin.key_down("shift")
                try:
                    time.sleep(0.4)
                    xin.drag((60, 120), ((200, 200), (400, 280), (540, 330)))
                    time.sleep(0.3)
                    xin.move(447, 385)  # the move button
                    time.sleep(0.2)
                    xin.click(1)
                    time.sleep(0.2)
                    xin.move(rng.randint(150, 450), rng.randint(180, 300))  # a ground point
                    time.sleep(0.2)
                    xin.click(1)
                    time.sleep(0.2)
                finally:
                    xin.key_up("shift")
                xin.move(300, 200)
        except Exception as e:  # an X hiccup must not end the soak; the checks decide
            print("input on %s: %s" % (copy.name, e), flush=True)
        stop.wait(rng.uniform(0.2, 1.0))


def median(values):
    v = sorted(values)
    n = len(v)
    return v[n // 2] if n % 2 else (v[n // 2 - 1] + v[n // 2]) // 2


def judged_windows(played_s):
    """The two windows a run is judged on, ((from, to), (from, to)) in
    seconds into play, and the growth allowed from the first to the second;
    None when the run is too short for both. A run of LONG_RUN or more: minutes
    5 to 10 and the last 10. A shorter one: the minute after the warm-up and
    the last minute (each shrinks to a third of the time after the warm-up,
    so the two never overlap)."""
    if played_s >= LONG_RUN:
        return (SETTLED_FROM, SETTLED_TO), (played_s - LATE_SPAN, played_s), LONG_GROWTH_LIMIT
    span = played_s - FIRST_SAMPLE
    if span <= 0:
        return None
    width = min(WINDOW, span / 3.0)
    return (FIRST_SAMPLE, FIRST_SAMPLE + width), (played_s - width, played_s), GROWTH_LIMIT


def window_medians(series, windows, col):
    """Medians of one column over the two windows; None where a window has
    no sample of it."""
    out = []
    for lo, hi in windows:
        vals = [v[col] for t, v in series if lo <= t <= hi and v[col] is not None]
        out.append(median(vals) if vals else None)
    return out


def run(args):
    failures = []
    copies = []
    stop = threading.Event()
    with contextlib.ExitStack() as stack:
        net = stack.enter_context(harness.linked_namespaces(2))
        copies = [Copy(stack, net[0], "north", args), Copy(stack, net[1], "south", args)]
        for c in copies:
            if not c.game.wait_for_line(r"^my_numb = \d+$", 20):
                raise SystemExit("%s did not announce itself\n%s" % (c.name, c.game.dump()))
        time.sleep(1.0)
        copies[0].choose_team(1)
        copies[1].choose_team(0)
        time.sleep(1.5)
        copies[0].click_virtual(175, 125)  # Start Game
        for c in copies:
            if not c.game.wait_for_line(r"^FPS: ", 30):
                raise SystemExit("%s did not enter play\n%s" % (c.name, c.game.dump()))
            c.pid = harness.game_pid(c.game)
            c.xin.move(300, 200)
        start = time.time()
        for c in copies:
            c.last_fps = start
        threads = []
        for i, c in enumerate(copies):
            t = threading.Thread(target=play_input, args=(c, random.Random(args.seed + i), stop), daemon=True)
            t.start()
            threads.append(t)
        end = start + args.minutes * 60.0
        next_report = start + 60.0
        next_sample = start
        try:
            while time.time() < end and not failures:
                time.sleep(0.5)
                now = time.time()
                for c in copies:
                    if not c.game.running():
                        failures.append("%s ended (status %s)\n%s" % (c.name, c.game.wait(1), c.game.dump()))
                        continue
                    gap = c.watch_frames(now)
                    if gap > HANG_SECONDS:
                        failures.append("%s printed no FPS line for %.1f s\n%s" % (c.name, gap, c.game.dump()))
                    if "1min" not in c.samples and now - start >= FIRST_SAMPLE:
                        c.samples["1min"] = harness.memory(c.pid)
                    if now >= next_sample:
                        c.sample(now - start)
                if now >= next_sample:
                    next_sample += SAMPLE_EVERY
                if now >= next_report:
                    next_report += 60.0
                    print("%5.1f min: " % ((now - start) / 60.0) + ", ".join(c.minute_line(now - start) for c in copies),
                          flush=True)
        finally:
            stop.set()
            for t in threads:
                t.join(10)
        for c in copies:
            c.samples["end"] = harness.memory(c.pid)
            c.longest_gap = max(c.longest_gap, time.time() - (c.last_fps or start)) if c.game.running() else \
                c.longest_gap
        played = (time.time() - start) / 60.0

        if args.csv:
            with open(args.csv, "w") as f:
                f.write("copy,seconds," + ",".join(COLUMNS) + "\n")
                for c in copies:
                    for t, v in c.series:
                        f.write("%s,%.1f,%s\n" % (c.name, t, ",".join(str(v[k]) if v[k] is not None else ""
                                                                      for k in COLUMNS)))

        print()
        print("soak: %.1f min of play, 2 copies" % played)
        judged = judged_windows(played * 60.0)
        if judged:
            (e0, e1), (l0, l1), allowed = judged
            print("medians of minutes %.1f-%.1f (early) and %.1f-%.1f (late), growth allowed %.0f %%" %
                  (e0 / 60, e1 / 60, l0 / 60, l1 / 60, 100 * (allowed - 1)))
        print("| copy  | RSS 1 min kB | HWM 1 min kB | RSS end kB | HWM end kB "
              "| RSS early kB | RSS late kB | heap early kB | heap late kB | code early kB | code late kB "
              "| FPS lines | longest gap s |")
        print("|-------|-------------:|-------------:|-----------:|-----------:"
              "|-------------:|------------:|--------------:|-------------:|--------------:|-------------:"
              "|----------:|--------------:|")
        for c in copies:
            one = c.samples.get("1min") or (0, 0)
            last = c.samples.get("end") or (0, 0)
            med = {col: window_medians(c.series, judged[:2], col) if judged else [None, None] for col in COLUMNS}
            cell = lambda v: "-" if v is None else str(v)  # noqa: E731
            print("| %-5s | %12d | %12d | %10d | %10d | %12s | %11s | %13s | %12s | %13s | %12s | %9d | %13.1f |" %
                  (c.name, one[0], one[1], last[0], last[1], cell(med["rss"][0]), cell(med["rss"][1]),
                   cell(med["heap"][0]), cell(med["heap"][1]), cell(med["code"][0]), cell(med["code"][1]),
                   c.fps_lines, c.longest_gap))
            early, late = med["rss"]
            if early and late:
                limit = judged[2] * early
                print("%s: late median %+.1f %% of the early one" % (c.name, 100.0 * (late - early) / early))
                if late > limit:
                    failures.append("%s grew from a median of %d kB early to %d kB late (limit %d kB)" %
                                    (c.name, early, late, limit))
            elif played * 60.0 >= FIRST_SAMPLE:
                failures.append("%s: no memory sample" % c.name)
        # A clean end: SIGINT ends the loop and the program exits.
        for c in copies:
            if c.game.running():
                c.game.send_signal(signal.SIGINT)
        for c in copies:
            status = c.game.wait(15)
            if status is None:
                failures.append("%s did not exit after SIGINT" % c.name)
    for f in failures:
        print("FAIL: " + f)
    print("soak %s" % ("FAILED" if failures else "passed"))
    return 1 if failures else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--minutes", type=float, default=10.0)
    ap.add_argument("--binary", default=os.path.join(ROOT, "build", "kelvarin"))
    ap.add_argument("--data", default=os.path.join(ROOT, "build", "data"))
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--csv", help="write every sample to this file")
    args = ap.parse_args()
    args.binary, args.data = os.path.abspath(args.binary), os.path.abspath(args.data)
    shim = os.path.join(os.path.dirname(args.binary), "bench", "libheap_report.so")
    args.heap_shim = shim if os.path.exists(shim) else None
    if not args.heap_shim:
        print("no %s: the heap column stays empty" % shim)
    if os.geteuid() != 0:
        print("needs root for network namespaces")
        return 77
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
