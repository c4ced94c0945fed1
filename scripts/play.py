#!/usr/bin/env python3
"""Runs the built game from build/data inside a private network namespace.

With a usable $DISPLAY the game opens there and is played by hand.
Without one (or with --headless) the demo of scripts/demo.py plays: two
copies, one per side, in linked private namespaces on virtual displays,
driven with real input through the menu into a short battle; numbered PNG
screenshots of both and an animated GIF are saved, and their paths printed.

    scripts/play.py [--out DIR] [--headless] [game args...]
"""

import argparse
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
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


def play_headless(game_args, out_dir):
    """The demo of scripts/demo.py: two copies playing a short battle."""
    if os.geteuid() != 0:
        explain_no_namespace("not running as root")
        return 1
    if game_args:
        print("play: the demo plays its own two copies; %s is for playing on a display" % " ".join(game_args))
    import demo
    paths = demo.battle(BINARY, DATA, out_dir)
    print("play: pictures of the demo:")
    for p in paths:
        print(p)
    return 0


def main():
    ap = argparse.ArgumentParser(add_help=True)
    ap.add_argument("--out", default=os.path.join(ROOT, "out", "demo"), help="where the demo's pictures go")
    ap.add_argument("--headless", action="store_true", help="play the demo even if $DISPLAY works")
    opts, game_args = ap.parse_known_args()
    for path in (BINARY, os.path.join(DATA, "textures")):
        if not os.path.exists(path):
            sys.stderr.write("play: %s is missing; build first (scripts/setup.sh)\n" % path)
            return 1
    if not opts.headless and display_usable(os.environ.get("DISPLAY")):
        return play_on_display(game_args)
    return play_headless(game_args, os.path.abspath(opts.out))


if __name__ == "__main__":
    sys.exit(main())
