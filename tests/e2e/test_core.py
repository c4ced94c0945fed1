#!/usr/bin/env python3
"""End-to-end tests of the game's core: window, screenshot, ending the program.

Each test starts its own Xvfb, a private network namespace and a working
directory that links the data files, runs the real binary with real X
input, and checks what a player would see.

    python3 test_core.py --binary build/kelvarin --data build/data [-v] [Test.name]
"""

import argparse
import os
import shutil
import signal
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

BINARY = None
DATA = None
KEEP = False

WIN_W, WIN_H = 600, 400
STAT_LINE = r"^total send: "


class GameTestCase(unittest.TestCase):
    """Fixture: Xvfb + namespace + working dir, all released after the test."""

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root for network namespaces")
        self.xvfb = harness.Xvfb()
        self.xvfb.__enter__()
        self.addCleanup(self.xvfb.stop)
        self.ns = harness.NetNamespace()
        self.ns.__enter__()
        self.addCleanup(self.ns.delete)
        self.games = []

    def make_dir(self, omit=()):
        d = harness.make_workdir(DATA, omit)
        if not KEEP:
            self.addCleanup(shutil.rmtree, d, True)
        return d

    def start_game(self, args=("tester", "WINDOW"), omit=()):
        d = self.make_dir(omit)
        g = harness.Game(BINARY, list(args), ns=self.ns, display=self.xvfb.display, cwd=d)
        self.addCleanup(g.kill)
        self.games.append(g)
        return g

    def start_windowed(self):
        g = self.start_game()
        win = harness.wait_for_window(self.xvfb.display, "Kelvarin", timeout=30, game=g)
        xin = harness.XInput(self.xvfb.display, win)
        # Let a few frames pass so the picture is the steady menu, and
        # put the pointer inside the window (held keys count only then).
        xin.move(WIN_W // 2, WIN_H // 2)
        time.sleep(1.0)
        self.assertTrue(g.running(), "game ended on its own:\n" + g.dump())
        return g, win, xin

    def stop_orderly(self, g):
        if g.running():
            g.send_signal(signal.SIGINT)
            g.wait(15)


class WindowTest(GameTestCase):
    def test_window_is_600x400_titled_kelvarin(self):
        g, win, _ = self.start_windowed()
        info = harness.window_info(self.xvfb.display, win)
        self.assertEqual(info["title"], "Kelvarin")
        self.assertEqual((info["width"], info["height"]), (WIN_W, WIN_H))
        self.assertEqual(info["map_state"], "IsViewable")
        # The name lookup finds the same single window.
        self.assertEqual(harness.find_windows(self.xvfb.display, "Kelvarin"), [win])
        self.assertEqual(harness.window_info(self.xvfb.display, name="Kelvarin")["id"], win)
        self.stop_orderly(g)


class ScreenshotTest(GameTestCase):
    def test_alt_x_writes_screenshot_matching_the_window(self):
        g, win, xin = self.start_windowed()
        shot = harness.take_screenshot(g, xin, WIN_W, WIN_H)
        path = os.path.join(g.cwd, "screenshot.rgba")
        self.assertEqual(os.path.getsize(path), 1920000)
        self.assertTrue(shot.high_bytes_zero(), "high bytes of the 16-bit channels must be 0")
        self.assertFalse(shot.is_uniform(), "screenshot shows a single colour")
        self.assertGreater(shot.count_colours(), 2)

        tmp = tempfile.mkdtemp(prefix="kvt-shot-")
        self.addCleanup(shutil.rmtree, tmp, True)
        png = shot.to_png(os.path.join(tmp, "shot.png"))
        png_img = harness.RgbImage.load(png)
        self.assertEqual((png_img.width, png_img.height), (WIN_W, WIN_H))
        grab = harness.grab_window(self.xvfb.display, win, os.path.join(tmp, "grab.png"))
        self.assertEqual((grab.width, grab.height), (WIN_W, WIN_H))

        # Sample a grid; the menu may animate between the two pictures, so
        # most (not all) samples must agree (a picture flipped, mirrored or
        # with red and blue swapped agrees at well under half of them), and the PNG must equal the raw
        # file exactly (it is a lossless conversion).
        points = [(x, y) for y in range(5, WIN_H, 49) for x in range(7, WIN_W, 59)]
        raw_vs_png = [p for p in points if shot.pixel(*p) != png_img.pixel(*p)]
        self.assertEqual(raw_vs_png, [], "PNG differs from the raw file at %s" % raw_vs_png[:5])
        agree = [p for p in points if shot.near(p[0], p[1], grab.pixel(*p), tol=24)]
        self.assertGreaterEqual(
            len(agree), int(0.8 * len(points)),
            "screenshot and window grab agree at only %d of %d points; first mismatches: %s"
            % (len(agree), len(points),
               [(p, shot.pixel(*p), grab.pixel(*p)) for p in points if p not in agree][:5]))
        self.stop_orderly(g)


class EndingTest(GameTestCase):
    def test_alt_q_shuts_down_in_order(self):
        g, win, xin = self.start_windowed()
        with xin.focus_elsewhere():
            with xin.held("alt", "q"):
                status = g.wait(15)
        self.assertIsNotNone(status, "Alt+Q did not end the game:\n" + g.dump())
        self.assertIsNotNone(g.wait_for_line(STAT_LINE, 5, stream="stdout"),
                             "no network statistic line:\n" + g.dump())
        self.assertEqual(status, 0, g.dump())

    def test_one_sigint_shuts_down_in_order(self):
        g, _, _ = self.start_windowed()
        g.send_signal(signal.SIGINT)
        status = g.wait(15)
        self.assertEqual(status, 0, "status after one SIGINT:\n" + g.dump())
        stat = [l for l in g.output("stdout") if l.startswith("total send: ")]
        self.assertEqual(len(stat), 1, g.dump())
        self.assertRegex(stat[0], r"^total send: -?\d+\.\d+, bytes: \d+, num: \d+\t\tavg bandwidth: "
                                  r"-?(\d+\.\d\d|nan|inf)k/sec$")

    def test_two_sigints_exit_with_255(self):
        g, _, _ = self.start_windowed()
        self.assertTrue(g.send_signal_twice(signal.SIGINT),
                        "game ended before the second SIGINT:\n" + g.dump())
        status = g.wait(15)
        self.assertEqual(status, 255, "status after two SIGINTs:\n" + g.dump())


class SecondCopyTest(GameTestCase):
    def test_second_copy_in_one_namespace_plays_on_without_network(self):
        first, _, _ = self.start_windowed()
        second = self.start_game()
        # The port is taken: the second copy's bind fails (no address reuse
        # is asked for), and it carries on without a network.
        line = second.wait_for_line(r"^bind lskt: ", 30, stream="stderr")
        self.assertIsNotNone(line, second.dump())
        self.assertIn("Address already in use", line)
        harness.wait_for_window(self.xvfb.display, "Kelvarin", timeout=30, game=second)
        time.sleep(2.0)
        self.assertTrue(second.running(), second.dump())
        self.assertTrue(first.running(), first.dump())
        # Without sockets nothing is received and nothing complains every frame.
        self.assertEqual(second.count_lines(r"recvfrom failed"), 0, second.dump())
        for g in (second, first):
            g.send_signal(signal.SIGINT)
            self.assertEqual(g.wait(15), 0, g.dump())
            self.assertEqual(g.count_lines(STAT_LINE), 1, g.dump())


class MissingTextureTest(GameTestCase):
    def test_missing_oak_texture_is_fatal(self):
        if not os.path.exists(os.path.join(DATA, "textures", "oak.tex")):
            self.fail("data dir has no textures/oak.tex to leave out")
        g = self.start_game(omit=("textures/oak.tex",))
        status = g.wait(30)
        self.assertEqual(status, 255, g.dump())
        err = g.output("stderr")
        self.assertIn("couldn't open .tex input: textures/oak.tex", err, g.dump())
        # Nothing of the menu ran: no screenshot, no shut-down statistic.
        self.assertEqual(g.count_lines(STAT_LINE), 0, g.dump())


def main():
    global BINARY, DATA, KEEP
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--data", required=True)
    ap.add_argument("--keep", action="store_true", help="keep working dirs")
    args, rest = ap.parse_known_args()
    BINARY, DATA, KEEP = os.path.abspath(args.binary), os.path.abspath(args.data), args.keep
    if not os.path.isdir(os.path.join(DATA, "textures")):
        print("no game data in %s (textures/ missing); the build generates it" % DATA)
        sys.exit(1)
    if not os.access(BINARY, os.X_OK):
        print("no game binary at %s" % BINARY)
        sys.exit(1)
    if os.geteuid() != 0:
        print("e2e tests need root for network namespaces; skipped")
        sys.exit(77)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
