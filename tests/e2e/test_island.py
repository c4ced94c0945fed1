#!/usr/bin/env python3
"""End-to-end checks of play on the island: what the player sees after
"Start Game", walking, the frame-rate line and the terrain file.

    python3 tests/e2e/test_island.py [-v] [Class.test]     (KELVARIN_BUILD=build dir)
"""
import os
import re
import signal
import struct
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import play_support as ps  # noqa: E402

SHOTS = os.environ.get("KELVARIN_SHOTS")  # keep the pictures here when set


def land_square(half):
    return ps.plateau_heights(lambda x, z: abs(x) <= half and abs(z) <= half)


class IslandPlay(unittest.TestCase):
    def setUp(self):
        ps.need_root(self)
        self.ns = harness.NetNamespace()
        self.ns.__enter__()
        self.addCleanup(self.ns.delete)

    def copy(self, prepare, extra=()):
        c = ps.Copy(self, self.ns.name, extra_args=extra, prepare=prepare)
        self.addCleanup(c.stop)
        c.wait_menu()
        return c

    def png(self, name):
        return os.path.join(SHOTS, name) if SHOTS else None

    def test_view_shows_sky_sea_and_land(self):
        # From the north shore of a square island, looking north (+z) and a
        # little down: land in front, the open sea beyond, sky above.
        def prepare(d):
            ps.write_terrain(d, land_square(100))
            ps.write_path(d, [((0, 40, 60, 15, 180), 100000)])

        c = self.copy(prepare, ["REPLAY_P_LOG"])
        c.start_play()
        time.sleep(1.0)
        shot = c.screenshot(self.png("island_view.png"))
        self.assertGreater(shot.count_colours(), 500, "a flat picture")
        # The minimap sits in the top right corner; stay left of it.
        self.assertGreater(ps.share(shot, ps.is_sky, 0, 440, 0, 90), 0.6, "sky at the top")
        self.assertLess(ps.share(shot, ps.is_sky, 0, 600, 250, 400), 0.05, "sky below the horizon")
        self.assertGreater(ps.share(shot, ps.is_sea, 0, 600, 150, 230), 0.6, "sea beyond the shore")
        self.assertGreater(ps.share(shot, ps.is_grass, 0, 600, 330, 400), 0.6, "land in front")
        self.assertLess(ps.share(shot, ps.is_grass, 0, 600, 0, 90), 0.05, "land in the sky")

    def test_holding_w_walks_forward_on_the_ground(self):
        # One replayed frame puts the eye above open land; then it is free.
        def prepare(d):
            ps.write_terrain(d, land_square(200))
            ps.write_path(d, [((0, 30, 60, 0, 0), 1)])

        c = self.copy(prepare, ["REPLAY_P_LOG"])
        c.start_play()
        time.sleep(2.0)  # fallen to the ground by now
        x0, y0, z0, yaw0, pitch0 = c.eye()
        self.assertAlmostEqual(y0, ps.PLATEAU + 2.0, delta=0.2)
        time.sleep(0.5)
        self.assertEqual(c.eye()[:3], (x0, y0, z0), "standing still moved the eye")

        c.hold("w", 1.0)
        x1, y1, z1, yaw1, _ = c.eye()
        self.assertAlmostEqual(yaw1, yaw0, delta=0.01)
        fx, fz = math_forward(yaw0)
        along = (x1 - x0) * fx + (z1 - z0) * fz
        across = (x1 - x0) * -fz + (z1 - z0) * fx
        self.assertGreater(along, 8.0, "walked %.2f forward in a second" % along)
        self.assertLess(along, 22.0, "walked %.2f forward in a second" % along)
        self.assertLess(abs(across), 1.0)
        self.assertAlmostEqual(y1, ps.PLATEAU + 2.0, delta=0.2)

    def test_fps_line_once_a_second_in_play_only(self):
        c = self.copy(None)
        time.sleep(3.0)
        self.assertEqual(c.game.count_lines(ps.FPS_LINE), 0, "FPS line in the menu")
        c.start_play()
        first = c.game.mark()
        time.sleep(5.5)
        lines = [l for s, l in c.game.lines[first:] if s == "stdout" and re.match(ps.FPS_LINE, l)]
        self.assertTrue(4 <= len(lines) <= 7, lines)
        rates = [int(l.split()[1]) for l in lines]
        self.assertTrue(all(r > 0 for r in rates), rates)
        print("\nframes per second at %dx%d: %s" % (ps.WIN_W, ps.WIN_H, rates), file=sys.stderr)

    def write_terrain_on_o(self, c, path, held_still=False):
        """Shift+O, then the whole terrain.out (64 KiB) within 5 s.  With
        ``held_still`` the game is stopped while Shift+O is typed and let go,
        so that it reads the key when Shift is up again, as after a slow
        frame."""
        if held_still:
            c.game.send_signal(signal.SIGSTOP)
        try:
            c.typed("o", shift=True)
        finally:
            if held_still:
                c.game.send_signal(signal.SIGCONT)
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and not (os.path.exists(path) and os.path.getsize(path) == 65536):
            time.sleep(0.1)
        self.assertTrue(os.path.exists(path), "Shift+O wrote no terrain.out:\n" + c.game.dump())

    def test_terrain_file_is_written_on_O(self):
        # Without a terrain file the island comes from the generator, whose
        # anchor heights are fixed.
        c = self.copy(None)
        c.start_play()
        path = os.path.join(c.dir, "terrain.out")
        self.assertFalse(os.path.exists(path))
        self.write_terrain_on_o(c, path)
        self.assertEqual(os.path.getsize(path), 65536)
        with open(path, "rb") as f:
            data = f.read()
        h = struct.unpack("<%df" % (ps.GRID * ps.GRID), data)
        at = lambda i, j: h[j * ps.GRID + i]  # noqa: E731
        self.assertEqual(at(0, 0), 0.0)
        self.assertEqual(at(63, 63), 0.0)
        self.assertEqual(at(0, 63), 150.0)
        self.assertEqual(at(0, 127), 70.0)
        self.assertGreater(len(set(h)), 1000, "a generated island has many heights")

    def test_terrain_file_is_read_and_written_back(self):
        rows = land_square(100)
        rows[10][10] = 33.5
        c = self.copy(lambda d: ps.write_terrain(d, rows))
        c.start_play()
        self.assertIsNotNone(c.game.wait_for_line(
            r"^0,0 = -10\.000000, 10,10 = 33\.500000, 50, 50 = 20\.000000$", 1, stream="stdout"))
        path = os.path.join(c.dir, "terrain.out")
        os.unlink(path)
        self.write_terrain_on_o(c, path, held_still=True)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), ps.terrain_bytes(rows))


def sky_brightness(shot):
    """Mean of the channels over the top band of the picture, left of the
    minimap."""
    return shot.mean_level(440, 80, 4)


class Storm(unittest.TestCase):
    """A lightning strike announced by another copy ("LIGH"): the sky goes
    dark, then light again."""

    def test_a_strike_darkens_the_sky_for_a_while(self):
        ps.need_root(self)
        net = harness.linked_namespaces(2)
        net.__enter__()
        self.addCleanup(net.__exit__, None, None, None)
        peer = harness.Peer(net[1], ps.PEER)
        self.addCleanup(peer.stop)
        # Looking north over open land, high enough to see plenty of sky.
        def prepare(d):
            ps.write_terrain(d, land_square(200))
            ps.write_path(d, [((0, 40, 60, -10, 180), 100000)])

        c = ps.Copy(self, net[0], extra_args=["REPLAY_P_LOG"], prepare=prepare)
        self.addCleanup(c.stop)
        c.wait_menu()
        peer.send("autohelo storm 0 1023")  # known to the copy before play
        time.sleep(1.0)
        c.start_play()
        # The peer follows to the game's channel, named by the seed of "STRT".
        starts = peer.commands("STRT")
        self.assertTrue(starts, c.game.dump())
        seed = struct.unpack("<I", starts[0][1][8:12])[0]
        peer.send("noauto")
        peer.send("seedchannel %d" % seed)
        ch = peer.wait_for(r"^CHANNEL (\d+)$", 5)
        peer.send("join %s" % ch.group(1))
        self.assertTrue(peer.sync())
        time.sleep(1.0)
        day = sky_brightness(c.screenshot(SHOTS and os.path.join(SHOTS, "storm_before.png")))

        mark = len(c.game.output("stdout"))
        peer.send_raw(harness.cmnd("LIGH", 0.0, 200.0))
        struck = time.monotonic()
        time.sleep(2.5)  # the night has fallen by 2 s after the strike
        dark = sky_brightness(c.screenshot(SHOTS and os.path.join(SHOTS, "storm_dark.png")))
        self.assertLess(dark, 0.6 * day, "the sky did not darken: %.1f against %.1f" % (dark, day))
        time.sleep(max(0.0, struck + 8.0 - time.monotonic()))  # light again from 6 s on
        after = sky_brightness(c.screenshot(SHOTS and os.path.join(SHOTS, "storm_after.png")))
        self.assertGreater(after, 0.85 * day, "the sky stayed dark: %.1f against %.1f" % (after, day))
        self.assertEqual(c.game.count_lines(r"unknown source|not a number"), 0, c.game.dump())
        # It played on all the while.
        self.assertGreaterEqual(len([l for l in c.game.output("stdout")[mark:] if re.match(ps.FPS_LINE, l)]), 6)


def math_forward(yaw):
    import math
    r = math.radians(yaw)
    return math.sin(r), -math.cos(r)


if __name__ == "__main__":
    ps.main()
