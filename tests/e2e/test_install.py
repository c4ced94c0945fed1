#!/usr/bin/env python3
"""The game as a packager installs it and a player starts it.

One install into a staging directory (``cmake --install`` with DESTDIR and
prefix /usr), checked file by file (program, data, desktop entry, icons,
manual page); the installed program's exit codes for --help, --version and
unknown options; then the installed program started from an empty
directory under Xvfb, full screen, to the menu, where real clicks through
the settings pages switch to the window, speed up and invert mouse look,
and a game shows the new speed; a second start keeps the window.

    python3 tests/e2e/test_install.py [--binary build/kelvarin] [-v]
"""
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

ARGS = harness.default_paths()
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
EYE_LINE = r"^eye stats: (\S+) (\S+) (\S+), looking (\S+) (\S+)$"
FPS_LINE = r"^FPS: \d+"


def build_dir():
    """The build tree the program under test was made in."""
    return os.path.dirname(ARGS.binary)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            raise unittest.SkipTest("needs root for network namespaces")
        cls.stage = tempfile.mkdtemp(prefix="kvt-stage-")
        env = dict(os.environ, DESTDIR=cls.stage)
        p = subprocess.run(["cmake", "--install", build_dir(), "--prefix", "/usr"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=120)
        if p.returncode != 0:
            shutil.rmtree(cls.stage, True)
            raise AssertionError("cmake --install failed:\n" + p.stdout)
        cls.root = os.path.join(cls.stage, "usr")
        cls.program = os.path.join(cls.root, "games", "kelvarin")
        cls.data = os.path.join(cls.root, "share", "games", "kelvarin")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.stage, True)

    def test_files_a_package_holds(self):
        self.assertTrue(os.access(self.program, os.X_OK))
        built = os.path.join(build_dir(), "data")
        for sub in ("textures", "sounds"):
            self.assertEqual(sorted(os.listdir(os.path.join(self.data, sub))),
                             sorted(os.listdir(os.path.join(built, sub))), sub)
        for name in ("walls.txt", "houses.txt", "trees.txt"):
            self.assertTrue(os.path.isfile(os.path.join(self.data, name)), name)

        share = os.path.join(self.root, "share")
        with open(os.path.join(share, "applications", "kelvarin.desktop")) as f:
            entry = dict(l.strip().split("=", 1) for l in f if "=" in l)
        self.assertEqual(entry["Exec"], "/usr/games/kelvarin")
        self.assertEqual((entry["Type"], entry["Name"], entry["Icon"]), ("Application", "Kelvarin", "kelvarin"))
        self.assertIn("Game;", entry["Categories"])
        p = subprocess.run(["desktop-file-validate", os.path.join(share, "applications", "kelvarin.desktop")],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertEqual((p.returncode, p.stdout.strip()), (0, ""))
        for size in ICON_SIZES:
            icon = os.path.join(share, "icons", "hicolor", "%dx%d" % (size, size), "apps", "kelvarin.png")
            self.assertEqual(png_size(icon), (size, size), icon)
        with open(os.path.join(share, "icons", "hicolor", "scalable", "apps", "kelvarin.svg")) as f:
            self.assertIn("<svg", f.read(2000))

        page = os.path.join(share, "man", "man6", "kelvarin.6")
        p = subprocess.run(["man", "-l", page], env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0"),
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(p.stderr, "")
        text = re.sub(r".\x08", "", p.stdout)
        for heading in ("SYNOPSIS", "OPTIONS", "CONTROLS", "FILES", "ENVIRONMENT", "NETWORK", "EXIT STATUS"):
            self.assertRegex(text, r"(?m)^%s$" % heading)
        self.assertIn("/usr/share/games/kelvarin", text)
        self.assertIn("~/.local/share/kelvarin", text)

    def test_help_version_and_unknown_options(self):
        with harness.NetNamespace() as ns:
            def run(*args):
                p = subprocess.run(ns.exec_prefix() + [self.program] + list(args), cwd=self.stage,
                                   env=dict(os.environ, DISPLAY="", XDG_CONFIG_HOME=os.path.join(self.stage, "cfg"),
                                            XDG_DATA_HOME=os.path.join(self.stage, "share")),
                                   stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True, timeout=30)
                return p.returncode, p.stdout, p.stderr

            code, out, err = run("--help")
            self.assertEqual((code, err), (0, ""))
            self.assertTrue(out.startswith("Usage: kelvarin [NAME] [LOG_POSITION]"), out)
            # The data beside the installed program, wherever the stage is.
            self.assertIn("else from %s/usr/share/games/kelvarin\n" % os.path.realpath(self.stage), out)
            code, out, err = run("--version")
            self.assertEqual((code, err), (0, ""))
            self.assertRegex(out, r"^kelvarin \d+\.\d+\.\d+\n$")
            for args in (["-x"], ["tester", "WINDOW", "--fullscreen"]):
                code, out, err = run(*args)
                self.assertEqual((code, out), (2, ""), args)
                self.assertIn('kelvarin: unknown option "%s"' % args[-1], err)
                self.assertIn("Usage: kelvarin", err)
            for bad in ("-3", "4294967296", "12x", ""):
                code, out, err = run("tester", "--island", bad)
                self.assertEqual((code, out), (2, ""), bad)
                self.assertIn('--island needs a seed (a whole number below 4294967296), not "%s"' % bad, err)
            # The game's own words are no options: without a display it goes
            # as far as opening one, and says what to do.
            code, out, err = run("tester", "WINDOW")
            self.assertEqual(code, 255)
            self.assertIn("cannot open the X display", err)

    def test_installed_game_from_an_empty_directory(self):
        home = tempfile.mkdtemp(prefix="kvt-player-")
        self.addCleanup(shutil.rmtree, home, True)
        empty = os.path.join(home, "anywhere")
        os.mkdir(empty)
        env = {"XDG_CONFIG_HOME": os.path.join(home, "config"), "XDG_DATA_HOME": os.path.join(home, "share")}
        settings = os.path.join(home, "config", "kelvarin", "settings")
        with harness.Xvfb() as x, harness.NetNamespace() as ns:
            # Full screen: the Xvfb screen is 1280 x 1024, the menu's own size.
            g = harness.Game(self.program, ["tester"], ns=ns, display=x.display, cwd=empty, env=env)
            self.addCleanup(g.kill)
            win = harness.wait_for_window(x.display, "Kelvarin", timeout=30, game=g)
            self.assertIsNotNone(g.wait_for_line(r"^my_numb = \d+$", 30), g.dump())
            self.assertEqual(harness.window_info(x.display, win)["width"], 1280)
            xin = harness.XInput(x.display, win)
            xin.move(640, 512)
            time.sleep(0.5)
            shot = harness.take_screenshot(g, xin, 1280, 1024,
                                           path=os.path.join(home, "share", "kelvarin", "screenshot.rgba"))
            self.assertGreater(shot.count_colours(), 200, "the menu is not drawn")
            self.assertEqual(os.listdir(empty), [], "the game wrote into the working directory")

            def click(vx, vy):
                w = harness.window_info(x.display, win)
                harness.click_menu(xin, vx, vy, w["width"], w["height"])

            # Settings, then Video: "Window" makes it a 600 x 400 window at once.
            click(175, 225)
            click(175, 125)
            click(710 + 110, 415 + 25)
            deadline = time.monotonic() + 10
            while harness.window_info(x.display, win)["width"] != 600 and time.monotonic() < deadline:
                time.sleep(0.2)
            self.assertEqual(harness.window_info(x.display, win)["width"], 600, g.dump())
            # Controls: the mouse speed near the right end of its slider,
            # then "On" for the inverted look.
            click(175, 325)
            click(710 + 340, 415 + 25)
            click(710 + 250 + 110, 535 + 25)
            time.sleep(0.5)
            with open(settings) as f:
                saved = f.read()
            self.assertIn("display = window\n", saved)
            self.assertIn("invert_look = on\n", saved)
            speed = int(re.search(r"^mouse_sensitivity = (\d+)$", saved, re.M).group(1))
            self.assertGreater(speed, 300, saved)

            # Back to the main menu and into a game of one.
            click(175, 425)
            mark = g.mark()
            click(175, 125)
            xin.move(300, 200)
            self.assertIsNotNone(g.wait_for_line(FPS_LINE, 60, stream="stdout", start=mark), g.dump())
            time.sleep(1.0)

            def eye():
                m0 = g.mark()
                xin.typed("y", shift=True)
                line = g.wait_for_line(EYE_LINE, 5, stream="stdout", start=m0)
                self.assertIsNotNone(line, g.dump())
                return [float(v) for v in re.match(EYE_LINE, line).groups()]

            before = eye()
            # The view turns from the window's centre: 40 pixels right and 20
            # down turn it by half a degree a pixel at the normal speed.
            xin.move(340, 220)
            time.sleep(0.5)
            after = eye()
            turn = 0.5 * speed / 100.0
            self.assertAlmostEqual(after[3] - before[3], 40 * turn, delta=1.0, msg=(before, after))
            # Inverted: the mouse went down, the view went up (pitch grows downwards).
            self.assertAlmostEqual(after[4] - before[4], max(-20 * turn, -60.0 - before[4]), delta=1.0,
                                   msg=(before, after))
            g.send_signal(signal.SIGINT)
            self.assertEqual(g.wait(15), 0, g.dump())

            # The next start keeps the window without the WINDOW word.
            g2 = harness.Game(self.program, ["tester"], ns=ns, display=x.display, cwd=empty, env=env)
            self.addCleanup(g2.kill)
            win2 = harness.wait_for_window(x.display, "Kelvarin", timeout=30, game=g2)
            self.assertIsNotNone(g2.wait_for_line(r"^my_numb = \d+$", 30), g2.dump())
            info = harness.window_info(x.display, win2)
            self.assertEqual((info["width"], info["height"]), (600, 400))
            self.assertNotIn("settings", g2.stderr_text())
            g2.send_signal(signal.SIGINT)
            self.assertEqual(g2.wait(15), 0, g2.dump())
            self.assertEqual(os.listdir(empty), [])


if __name__ == "__main__":
    harness.main(ARGS)
