"""Shared pieces of the play-mode end-to-end tests (island, city): a copy of
the game brought from the menu into play with a real click, a fixed island
(terrain file), a fixed view (position log replay), the eye read back from
the "Y" key, and colour classes for screenshots."""
import os
import re
import shutil
import signal
import struct
import time

import harness

WIN_W, WIN_H = 600, 400
FPS_LINE = r"^FPS: \d+ \(avg: [-0-9.naninf]+\) \(avg terrain: [-0-9.naninf]+ blocks/frame\)$"
EYE_LINE = r"^eye stats: (\S+) (\S+) (\S+), looking (\S+) (\S+)$"
START_LINE = r"^loaded \d+ building lines"  # the world is being built

BUILD = os.path.abspath(os.environ.get("KELVARIN_BUILD",
                                       os.path.join(os.path.dirname(__file__), "..", "..", "build")))
BINARY = os.path.join(BUILD, "kelvarin")
DATA = os.path.join(BUILD, "data")
PEER = os.path.join(BUILD, "tools", "kelvarin_peer")

GRID = 128
PLATEAU = 20.0


def virtual_to_window(vx, vy):
    """A point of the menu's virtual 1280 x 1024 screen in the 600 x 400 window."""
    return harness.menu_point(vx, vy, WIN_W, WIN_H)


def plateau_heights(land=lambda x, z: True):
    """A heightmap (rows j, columns i) that is a flat plateau at PLATEAU where
    ``land(x, z)`` holds and sea floor (-10) elsewhere."""
    rows = []
    for j in range(GRID):
        z = 4 * j - 256
        rows.append([PLATEAU if land(4 * i - 256, z) else -10.0 for i in range(GRID)])
    return rows


def terrain_bytes(rows):
    return b"".join(struct.pack("<%df" % GRID, *row) for row in rows)


def write_terrain(d, rows):
    with open(os.path.join(d, "terrain.out"), "wb") as f:
        f.write(terrain_bytes(rows))


def write_path(d, views):
    """path.dat for REPLAY_P_LOG: ``views`` is a list of
    ((x, y, z, pitch, yaw), frames); the eye height above ground is 2."""
    with open(os.path.join(d, "path.dat"), "wb") as f:
        for (x, y, z, pitch, yaw), frames in views:
            f.write(struct.pack("<8f", x, y, z, 2.0, pitch, yaw, 0.0, 0.0) * frames)


# --- colour classes of the daylight scene --------------------------------------

def is_sky(p):
    r, g, b = p
    return b >= 190 and b > r + 20


def is_sea(p):
    r, g, b = p
    return 80 <= b < 190 and b > g > r and b - r >= 20


def is_grass(p):
    r, g, b = p
    return g > r + 8 and g > b + 8


def is_stone(p):
    """Grey to brownish grey masonry: no channel far from the others, not
    the blue of sky or sea, not the green of grass."""
    r, g, b = p
    return max(r, g, b) - min(r, g, b) <= 40 and not b > r + 15 and not g > r + 12 and 40 <= r <= 235


def is_gate_wood(p):
    r, g, b = p
    return r > g + 15 and g > b + 5 and r < 200


def share(shot, test, x0, x1, y0, y1, step=3):
    """Fraction of sampled pixels in the box that pass ``test``."""
    n = hit = 0
    for y in range(y0, y1, step):
        for x in range(x0, x1, step):
            n += 1
            hit += bool(test(shot.pixel(x, y)))
    return hit / n if n else 0.0


# --- one copy -------------------------------------------------------------------

class Copy:
    """One game copy on its own X server: started, brought into play, asked
    for its eye, photographed."""

    def __init__(self, test, ns, name="tester", extra_args=(), prepare=None, keep=False):
        self.test = test
        self.xvfb = harness.Xvfb()
        self.xvfb.__enter__()
        test.addCleanup(self.xvfb.stop)
        self.dir = harness.make_workdir(DATA)
        if not keep:
            test.addCleanup(shutil.rmtree, self.dir, True)
        if prepare:
            prepare(self.dir)
        self.game = harness.Game(BINARY, [name, "WINDOW"] + list(extra_args), ns=ns,
                                 display=self.xvfb.display, cwd=self.dir)
        test.addCleanup(self.game.kill)
        win = harness.wait_for_window(self.xvfb.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.xvfb.display, win)
        self.xin.move(WIN_W // 2, WIN_H // 2)

    def wait_menu(self):
        ok = self.game.wait_for_line(r"^my_numb = \d+$", 20)
        self.test.assertIsNotNone(ok, self.game.dump())

    def click_virtual(self, vx, vy):
        harness.click_menu(self.xin, vx, vy, WIN_W, WIN_H)

    def choose_team(self, team):
        harness.choose_team(self.xin, team, WIN_W, WIN_H, game=self.game)

    def start_play(self):
        """The real "Start Game" click; returns once play frames run."""
        mark = self.game.mark()
        self.click_virtual(175, 125)
        # Put the pointer back in the middle while the world is built, so the
        # first look step does not swing the view.
        self.xin.move(WIN_W // 2, WIN_H // 2)
        self.wait_play(mark)

    def wait_play(self, mark=0):
        line = self.game.wait_for_line(FPS_LINE, 40, stream="stdout", start=mark)
        self.test.assertIsNotNone(line, "no play frames:\n" + self.game.dump())

    def typed(self, key, shift=False):
        self.xin.typed(key, shift)

    def eye(self):
        """(x, y, z, yaw, pitch) from the "Y" key's "eye stats:" line."""
        mark = self.game.mark()
        self.typed("y", shift=True)
        line = self.game.wait_for_line(EYE_LINE, 5, stream="stdout", start=mark)
        self.test.assertIsNotNone(line, "no eye stats:\n" + self.game.dump())
        m = re.match(EYE_LINE, line)
        return tuple(float(v) for v in m.groups())

    def hold(self, key, seconds):
        self.xin.key_down(key)
        try:
            time.sleep(seconds)
        finally:
            self.xin.key_up(key)

    def screenshot(self, png=None):
        shot = harness.take_screenshot(self.game, self.xin, WIN_W, WIN_H)
        if png:
            shot.to_png(png)
        return shot

    def stop(self):
        if self.game.running():
            self.game.send_signal(signal.SIGINT)
            self.game.wait(15)


def need_root(test):
    if os.geteuid() != 0:
        test.skipTest("needs root for network namespaces")
    if not os.path.exists(BINARY):
        test.fail("game binary missing: %s" % BINARY)


def main():
    harness.main()
