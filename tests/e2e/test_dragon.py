"""Dragon end-to-end: one real copy (the defenders) and a protocol peer on
the attackers' side, in bridged namespaces, on a level island. The peer
flies a dragon as a copy that summoned one does: it announces it with
"UNIT" and sends its 9-value state records. The copy must create it
("spawning dragon ..."), draw it where the records put it (a red dragon in
its screenshots, on the left and then on the right of the view), beat its
wings (the red shape changes from frame to frame while the records hold it
still), draw its breath when the records say it breathes, never report the
dragon itself, and remove it at "UDIE".

  KELVARIN_BUILD=build python3 tests/e2e/test_dragon.py

With KELVARIN_E2E_OUT set, the screenshots are written there as PNGs.
"""
import math, os, re, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402
import play_support as ps  # noqa: E402

DRAGON = 0x50000
W, H = ps.WIN_W, ps.WIN_H
# The player stands on the attackers' side of a level island and looks up
# and away from the city, over open ground into the sky.
VIEW = (0.0, 22.0, 150.0, -8.0, 180.0)  # x, y, z, pitch, yaw


def is_dragon_red(p):
    """The dragon's red skin: clearly red, neither the sky, the grass nor
    the flames' pale pink."""
    r, g, b = p
    return r >= 60 and r > 2.2 * g and r > 2.2 * b


def red_mask(shot, x0=0, x1=W):
    """Sampled dragon-red pixels, leaving out the middle of the view, where
    the crosshairs and the peer's red name tag are."""
    return {(x, y) for y in range(0, H, 2) for x in range(x0, x1, 2)
            if not (250 <= x < 350 and 190 <= y < 260) and is_dragon_red(shot.pixel(x, y))}


def dragon_pixels(shot, x0=0, x1=W):
    return len(red_mask(shot, x0, x1))


def flame_pixels(shot):
    """The breath's flames glow to pure white where they overlap (the
    clouds never do)."""
    return sum(1 for y in range(0, H, 2) for x in range(0, W, 2) if min(shot.pixel(x, y)) >= 252)


class DragonFlight(unittest.TestCase):
    def save(self, shot, name):
        out = os.environ.get("KELVARIN_E2E_OUT")
        if out:
            shot.to_png(os.path.join(out, name))

    def expect(self, g, regex, start, timeout=10):
        line = g.wait_for_line(regex, timeout, start=start)
        self.assertIsNotNone(line, "no line /%s/\n%s" % (regex, g.dump()))
        return line

    def test_announced_dragon_follows_its_records(self):
        ps.need_root(self)
        net = harness.linked_namespaces(2)
        net.__enter__()
        self.addCleanup(net.__exit__, None, None, None)

        def prepare(d):
            ps.write_terrain(d, ps.plateau_heights())
            ps.write_path(d, [(VIEW, 1000000)])

        c = ps.Copy(self, net[0], "keeper", extra_args=["REPLAY_P_LOG"], prepare=prepare)
        g, xin = c.game, c.xin
        peer = harness.Peer(net[1], ps.PEER)
        self.addCleanup(peer.stop)
        c.wait_menu()
        # The copy defends; the peer attacks and starts the game.
        c.choose_team(1)
        peer.send("autohelo rider 0 1000")
        time.sleep(1.5)
        m = g.mark()
        peer.send("strt 24680")
        self.expect(g, r"^starting game with random seed = 24680$", m, 15)
        peer.send("noauto")
        peer.send("seedchannel 24680")
        ch = peer.wait_for(r"^CHANNEL (\d+)$", 5)
        peer.send("join %s" % ch.group(1))
        c.wait_play(m)
        time.sleep(1.0)

        # Where the player stands and looks.
        ex, ey, ez, yaw, pitch = c.eye()
        fx, fz = math.sin(math.radians(yaw)), -math.cos(math.radians(yaw))  # forward
        rx, rz = math.cos(math.radians(yaw)), math.sin(math.radians(yaw))   # to the right
        shot = c.screenshot()
        self.save(shot, "dragon_before.png")
        self.assertLess(dragon_pixels(shot), 20, "red on the screen before any dragon")

        # The dragon announced by an attacker.
        m = g.mark()
        peer.send_raw(harness.cmnd("UNIT", DRAGON, 0.0, 0, 0))
        self.expect(g, r"^spawning dragon 00050000, team 0, dr_id = 1$", m)

        def fly(side, breath, seconds):
            """Records holding the dragon 40 ahead, `side` to the right,
            up in the sky, its side turned to the player."""
            px, pz = ex + 40 * fx + side * rx, ez + 40 * fz + side * rz
            heading = -yaw + 35.0  # its nose (cos h, -sin h): across the view, a little away
            rec = [px, ey + 12.0, pz, heading, 0.0, 0.0, 0.0, 0.0, breath]
            end = time.time() + seconds
            while time.time() < end:
                peer.send_raw(harness.uupd([(DRAGON, rec)]))
                time.sleep(0.05)

        # On the left of the view, then on the right.
        fly(-14.0, 0.0, 1.0)
        shots = []
        for i in range(3):
            fly(-14.0, 0.0, 0.13 * (i + 1))
            shots.append(c.screenshot())
            self.save(shots[-1], "dragon_left_%d.png" % i)
        left, right = dragon_pixels(shots[0], 0, W // 2), dragon_pixels(shots[0], W // 2, W)
        print("dragon on the left: %d red pixels left, %d right" % (left, right))
        self.assertGreater(left, 150, "no red dragon on the left")
        self.assertLess(right, left / 5)
        # Held still by the records, its wings still beat.
        masks = [red_mask(s) for s in shots]
        changed = max(len(a ^ b) for a in masks for b in masks)
        print("wing beat: up to %d of the red pixels change between shots" % changed)
        self.assertGreater(changed, 60, "the dragon's shape does not change: no wing beat")
        self.assertLess(max(flame_pixels(s) for s in shots), 10, "flames without breath")

        fly(14.0, 10.0, 1.0)
        shot = c.screenshot()
        self.save(shot, "dragon_right_breath.png")
        left, right = dragon_pixels(shot, 0, W // 2), dragon_pixels(shot, W // 2, W)
        print("dragon on the right: %d red pixels left, %d right" % (left, right))
        self.assertGreater(right, 150, "no red dragon on the right")
        self.assertLess(left, right / 5)
        flames = flame_pixels(shot)
        print("breath: %d flame pixels" % flames)
        self.assertGreater(flames, 100, "the breath in its record draws no flames")

        # The copy does not report another copy's dragon.
        mark_p = peer.mark()
        time.sleep(1.0)
        self.assertNotIn(DRAGON, peer.units(mark_p, sender=net.sender_id(0)))

        # Its death, announced by its side: gone from the screen.
        peer.send_raw(harness.cmnd("UDIE", DRAGON, 0, 0, 0))
        time.sleep(1.0)
        shot = c.screenshot()
        self.save(shot, "dragon_gone.png")
        self.assertLess(dragon_pixels(shot), 20)
        self.assertTrue(g.running(), g.dump())


if __name__ == "__main__":
    ps.main()
