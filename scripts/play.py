#!/usr/bin/env python3
"""Runs the built game from build/data inside a private network namespace.

With a usable $DISPLAY the game opens there and is played by hand.
Without one, a private Xvfb is started, the game runs in a 600x400 window
and is driven for a few seconds with real input; its own screenshots
(Alt+X) are saved as PNG files, whose paths are printed.

    scripts/play.py [--out DIR] [--seconds N] [--headless] [game args...]
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

BINARY = os.path.join(ROOT, "build", "kelvarin")
DATA = os.path.join(ROOT, "build", "data")


def display_usable(display):
    if not display:
        return False
    r = subprocess.run(["xdpyinfo"], env=dict(os.environ, DISPLAY=display),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return r.returncode == 0


def explain_no_namespace(reason):
    sys.stderr.write(
        "play: %s\n"
        "The game talks to other copies by IP multicast; it is only ever run inside a\n"
        "private network namespace so that none of that traffic leaves this machine.\n"
        "Making a namespace needs root: run 'sudo -E scripts/play.sh ...' (keeps DISPLAY\n"
        "and XAUTHORITY), or use 'scripts/play.sh --headless' as root for a demo under Xvfb.\n"
        % reason)


def play_on_display(game_args):
    display = os.environ["DISPLAY"]
    if os.geteuid() != 0:
        explain_no_namespace("not running as root")
        return 1
    host = display.split(":", 1)[0]
    if host not in ("", "unix"):
        explain_no_namespace(
            "DISPLAY=%s is reached over TCP, which a private namespace cannot do; "
            "use a local display (:N) or --headless" % display)
        return 1
    with harness.NetNamespace(check_multicast=True) as ns:
        print("play: running in network namespace %s on %s (multicast stays inside)" % (ns.name, display))
        cmd = ns.exec_prefix() + ["env", "DISPLAY=%s" % display, BINARY] + game_args
        proc = subprocess.Popen(cmd, cwd=DATA)
        try:
            return proc.wait()
        except KeyboardInterrupt:
            # The terminal's Ctrl+C reached the game as well; give it time
            # for its orderly shut-down.
            try:
                return proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
                return proc.wait()


def play_headless(game_args, out_dir, seconds):
    if os.geteuid() != 0:
        explain_no_namespace("not running as root")
        return 1
    if "WINDOW" not in game_args[1:]:
        game_args = (game_args or ["demo"]) + ["WINDOW"]
    w, h = 600, 400
    os.makedirs(out_dir, exist_ok=True)
    saved = []
    with harness.Xvfb() as x, harness.NetNamespace(check_multicast=True) as ns:
        print("play: Xvfb on %s, network namespace %s" % (x.display, ns.name))
        g = harness.Game(BINARY, game_args, ns=ns, display=x.display, cwd=DATA)
        with g:
            win = harness.wait_for_window(x.display, "Kelvarin", timeout=30, game=g)
            info = harness.window_info(x.display, win)
            print("play: window %#x %r %dx%d" % (win, info.get("title"), info["width"], info["height"]))
            xin = harness.XInput(x.display, win)

            def shot(tag):
                s = harness.take_screenshot(g, xin, w, h)
                path = os.path.join(out_dir, "%02d-%s.png" % (len(saved) + 1, tag))
                s.to_png(path)
                saved.append(path)
                print("play: screenshot %s (%d colours)" % (path, s.count_colours()))

            xin.move(w // 2, h // 2)
            time.sleep(1.0)
            shot("start")
            # Sweep the pointer across the window (stay clear of the menu's
            # Quit button on the left), then hover and click in the middle.
            deadline = time.monotonic() + seconds
            for i in range(12):
                xin.move(200 + 30 * i, 60 + 25 * i)
                time.sleep(0.05)
            xin.click(1, 420, 330)
            xin.type("hello")
            xin.key("Return")
            time.sleep(0.3)
            shot("input")
            with xin.held("Up"):
                time.sleep(0.5)
            xin.move(80, 50)   # over the first menu button
            time.sleep(max(0.0, deadline - time.monotonic()))
            shot("end")
            g.send_signal(signal.SIGINT)
            status = g.wait(15)
            if status is None:
                print("play: game did not stop after SIGINT; killing it")
                g.kill()
                status = g.proc.returncode
            print("play: game ended with status %s" % status)
            tail = [l for l in g.output("stdout")[-5:]]
            for l in tail:
                print("game> %s" % l)
    leftover = os.path.join(DATA, "screenshot.rgba")
    if os.path.exists(leftover):
        os.unlink(leftover)
    print("play: screenshots:")
    for p in saved:
        print(p)
    return 0


def main():
    ap = argparse.ArgumentParser(add_help=True)
    ap.add_argument("--out", default=os.path.join(ROOT, "out", "demo"))
    ap.add_argument("--seconds", type=float, default=4.0)
    ap.add_argument("--headless", action="store_true", help="use a private Xvfb even if $DISPLAY works")
    opts, game_args = ap.parse_known_args()
    for path in (BINARY, os.path.join(DATA, "textures")):
        if not os.path.exists(path):
            sys.stderr.write("play: %s is missing; build first (scripts/setup.sh)\n" % path)
            return 1
    if not opts.headless and display_usable(os.environ.get("DISPLAY")):
        return play_on_display(game_args)
    return play_headless(game_args, os.path.abspath(opts.out), opts.seconds)


if __name__ == "__main__":
    sys.exit(main())
