#!/usr/bin/env python3
"""End-to-end checks of the city in play: its walls and towers in view, a
wall that stops the player, and the defenders' gate button seen working on
a second copy.

    python3 tests/e2e/test_city.py [-v] [Class.test]     (KELVARIN_BUILD=build dir)
"""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import play_support as ps  # noqa: E402

SHOTS = os.environ.get("KELVARIN_SHOTS")  # keep the pictures here when set

# The city stands on the -z side; its north wall runs along z = -108 with
# the gate between x = -16 and x = 4. Flat land at height 20 all round, so
# every wall stands where the placement file puts it.
FLAT = ps.plateau_heights(lambda x, z: abs(x) <= 230 and abs(z) <= 230)
WALL_FACE_Z = -106.0  # outer face of the north wall (thickness 4)


def is_wall_stone(p):
    r, g, b = p
    return ps.is_stone(p) and 40 <= r <= 110


def is_marble(p):
    r, g, b = p
    return ps.is_stone(p) and 115 <= r <= 235


def png(name):
    return os.path.join(SHOTS, name) if SHOTS else None


class CityPlay(unittest.TestCase):
    def setUp(self):
        ps.need_root(self)

    def one_copy(self, view, frames):
        ns = harness.NetNamespace()
        ns.__enter__()
        self.addCleanup(ns.delete)

        def prepare(d):
            ps.write_terrain(d, FLAT)
            ps.write_path(d, [(view, frames)])

        c = ps.Copy(self, ns.name, extra_args=["REPLAY_P_LOG"], prepare=prepare)
        self.addCleanup(c.stop)
        c.wait_menu()
        return c

    def test_walls_and_towers_in_view(self):
        # North of the city, above the plain, looking south over the north wall.
        c = self.one_copy((-28, 45, -55, 15, 0), 100000)
        c.start_play()
        time.sleep(1.0)
        shot = c.screenshot(png("city_view.png"))
        self.assertGreater(ps.share(shot, ps.is_sky, 0, 440, 0, 90), 0.6, "sky above the city")
        self.assertGreater(ps.share(shot, ps.is_grass, 0, 600, 300, 400), 0.6, "the plain before the city")
        # The north wall crosses the picture just below the middle: dark
        # masonry with light marble towers standing in it, and the gate.
        band = (70, 570, 205, 250)
        wall = ps.share(shot, is_wall_stone, *band)
        towers = ps.share(shot, is_marble, *band)
        self.assertGreater(wall, 0.3, "wall masonry along the north wall")
        self.assertGreater(towers, 0.1, "towers along the north wall")
        self.assertGreater(ps.share(shot, ps.is_gate_wood, 380, 460, 210, 248), 0.5, "the gate")
        # Nothing of the wall floats in the sky.
        self.assertLess(ps.share(shot, is_wall_stone, 0, 440, 0, 90), 0.02)

    def test_a_wall_stops_the_player(self):
        # One replayed frame puts the eye north of the wall, facing it; then
        # the player walks freely.
        c = self.one_copy((-52, 30, -90, 0, 0), 1)
        c.start_play()
        time.sleep(2.0)
        x0, y0, z0, yaw0, _ = c.eye()
        self.assertAlmostEqual(z0, -90.0, delta=0.01)
        self.assertAlmostEqual(y0, ps.PLATEAU + 2.0, delta=0.2)
        self.assertAlmostEqual(yaw0, 0.0, delta=0.01)
        # Two seconds of walking would carry the player 30 units, through
        # the wall; it stops with the body's radius to spare.
        c.hold("w", 2.0)
        x1, y1, z1, yaw1, _ = c.eye()
        self.assertAlmostEqual(yaw1, 0.0, delta=0.01)
        self.assertLess(z1, z0 - 12.0, "did not walk up to the wall: z %.2f" % z1)
        self.assertGreater(z1, WALL_FACE_Z, "walked into the wall: z %.2f" % z1)
        self.assertAlmostEqual(z1, WALL_FACE_Z + 1.0, delta=0.5)
        self.assertAlmostEqual(x1, x0, delta=0.5)
        # Backing off is free.
        c.hold("s", 0.5)
        self.assertGreater(c.eye()[2], z1 + 3.0)

    def test_defenders_gate_button_lowers_the_gate_on_the_other_copy(self):
        net = harness.linked_namespaces(2)
        net.__enter__()
        self.addCleanup(net.__exit__, None, None, None)

        # The attacker looks at the gate from outside, held there by the log.
        gate_view = (-6, 22, -86, 0, 0)

        def prep_defender(d):
            ps.write_terrain(d, FLAT)

        def prep_attacker(d):
            ps.write_terrain(d, FLAT)
            ps.write_path(d, [(gate_view, 200000)])

        defender = ps.Copy(self, net[0].name, "warden", prepare=prep_defender)
        self.addCleanup(defender.stop)
        attacker = ps.Copy(self, net[1].name, "raider", extra_args=["REPLAY_P_LOG"], prepare=prep_attacker)
        self.addCleanup(attacker.stop)
        defender.wait_menu()
        attacker.wait_menu()
        time.sleep(1.0)
        defender.choose_team(1)
        attacker.choose_team(0)
        time.sleep(1.0)  # the new sides travel with the next presence messages

        mark = attacker.game.mark()
        defender.start_play()
        self.assertIsNotNone(attacker.game.wait_for_line(r"^starting game with random seed = \d+$", 10,
                                                         stream="stdout", start=mark), attacker.game.dump())
        attacker.wait_play(mark)
        time.sleep(1.0)

        gate_box = (200, 400, 120, 220)
        before = attacker.screenshot(png("gate_up.png"))
        up = ps.share(before, ps.is_gate_wood, *gate_box)
        self.assertGreater(up, 0.6, "the raised gate fills the opening")

        # Shift shows the command bar; the gate lever is slot 0.
        defender.xin.key_down("shift")
        try:
            time.sleep(0.5)
            defender.xin.move(75, 372)
            time.sleep(0.3)
            defender.xin.click(1)
            time.sleep(0.3)
        finally:
            defender.xin.key_up("shift")
        # The swing takes 45 frames: give a slow machine a few looks.
        for _ in range(6):
            time.sleep(1.0)
            after = attacker.screenshot(png("gate_down.png"))
            down = ps.share(after, ps.is_gate_wood, *gate_box)
            if down < up / 2:
                break
        self.assertLess(down, up / 2, "the gate still stands: %.2f of the opening is gate" % down)
        # Through the opening: the city behind, not the gate.
        self.assertFalse(before.data == after.data)


if __name__ == "__main__":
    ps.main()
