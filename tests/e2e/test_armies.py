"""End-to-end checks of the armies: real copies in their own network
namespaces linked by a bridge, each under its own Xvfb, with real X input.

- Two sides and a protocol peer: each copy creates the other side's 16
  soldiers from "UNIT"; the leaders report them in "UUPD"; the peer, an
  attacker that does not lead, orders the goblins to attack with "ORDR";
  goblins and footmen fight ("USWD"), die on every copy ("UDIE"), and
  datagrams naming the dead harm no copy.
- Three copies (two defenders, an attacker) and a peer on the attackers'
  side, on a generated island: the defender that does not lead selects
  footmen with Shift + drag (rings drawn), presses the move button and
  clicks the ground; the order travels as "ORDR" and the leader's footmen
  walk there. Then a battle of more than a minute: the goblins, ordered
  by the peer (six first, the rest once both sides have lost a unit),
  find their way round the sea, fight the footmen, and the survivors
  take the temple, which ends the game on all three copies;
  each copy's registry, listed at SIGUSR1, holds the same units.

The city's walls (and in the first run its houses) are left out so that
the two sides meet on open ground."""
import os, re, signal, struct, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

ARGS = harness.default_paths()
LEAVE_OUT = ("walls.txt", "houses.txt", "trees.txt")
SEED = 30002  # an island whose sea lies between the goblins and the city
TEMPLE = (-40.0, -150.0)  # the defenders' temple (houses.txt)
SQUARE = (-2.5, -152.5)  # the footmen's square


def params(datagram):
    """The four 32-bit parameter slots of a "CMND" datagram, as unsigned ints."""
    return struct.unpack("<4I", datagram[8:24])


def commands(peer, sub, since=0):
    return [(s, params(d)) for s, d in peer.commands(sub, since)]


class Copy:
    def __init__(self, stack, ns, name, omit=LEAVE_OUT):
        self.x = stack.enter_context(harness.Xvfb())
        self.dir = stack.enter_context(harness.workdir(ARGS.data, omit=omit))
        self.game = harness.Game(ARGS.binary, [name, "WINDOW"], ns=ns, display=self.x.display, cwd=self.dir)
        stack.enter_context(self.game)
        self.win = harness.wait_for_window(self.x.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.x.display, self.win)
        self.name = name

    def click_virtual(self, vx, vy):
        harness.click_menu(self.xin, vx, vy)

    def choose_team(self, team):
        harness.choose_team(self.xin, team)

    def number(self):
        nums = re.findall(r"^my_numb = (\d+)$", self.game.stdout_text(), re.M)
        return int(nums[-1]) if nums else None

    def spawned(self, team):
        """Soldiers (humanoid ids, class 0008) announced for a team; the
        attackers' leader also announces its catapults and rams."""
        return set(re.findall(r"^spawning unit (0008[0-9A-F]{4}) for team %d$" % team, self.game.stdout_text(), re.M))

    def registry(self):
        """The ids of the units the copy lists at SIGUSR1, players' figures
        and ships (which live on the attackers' leader alone) aside."""
        mark = self.game.mark()
        self.game.send_signal(signal.SIGUSR1)
        line = self.game.wait_for_line(r"^registry: \d+ units$", 10, start=mark)
        assert line, self.game.dump()
        count = int(re.search(r"(\d+)", line).group(1))
        deadline = time.time() + 5
        while True:
            text = "\n".join(l for s, l in self.game.lines[mark:])
            ids = re.findall(r"^unit ([0-9A-F]{8}) kind \d+ team \d+$", text, re.M)
            if len(ids) >= count or time.time() > deadline:
                break
            time.sleep(0.2)
        assert len(ids) == count, (count, ids)
        return {int(i, 16) for i in ids if not (0x80400 <= int(i, 16) <= 0x807FF or int(i, 16) >> 16 == 6)}

    def shot(self, path=None):
        s = harness.take_screenshot(self.game, self.xin, 600, 400)
        if path:
            s.to_png(path)
        return s


def green_ring_pixels(shot):
    n = 0
    for y in range(0, 340):
        for x in range(600):
            r, g, b = shot.pixel(x, y)
            if g > 200 and r < 60 and b < 60:
                n += 1
    return n


def differing_pixels(a, b):
    n = 0
    for y in range(0, 330, 2):
        for x in range(0, 600, 2):
            pa, pb = a.pixel(x, y), b.pixel(x, y)
            if sum(abs(p - q) for p, q in zip(pa, pb)) > 60:
                n += 1
    return n


def out_dir():
    d = os.environ.get("KELVARIN_E2E_OUT")
    if d:
        os.makedirs(d, exist_ok=True)
    return d


class TwoSidesAndPeer(unittest.TestCase):
    def test_soldiers_orders_fight_and_dead_units(self):
        import contextlib
        with contextlib.ExitStack() as stack:
            net = stack.enter_context(harness.linked_namespaces(3))
            d = Copy(stack, net[0], "defender")
            a = Copy(stack, net[1], "attacker")
            peer = stack.enter_context(harness.Peer(net[2], ARGS.peer))
            for c in (d, a):
                self.assertIsNotNone(c.game.wait_for_line(r"^my_numb = \d+$", 20), c.game.dump())
            # The peer: an attacker with the highest number, so it never leads.
            peer.send("autohelo raider 0 1023")
            time.sleep(1.0)
            d.choose_team(1)
            a.choose_team(0)
            time.sleep(1.5)
            d.click_virtual(175, 125)  # Start Game
            m = a.game.wait_for_line(r"^starting game with random seed = (\d+)$", 15)
            self.assertIsNotNone(m, a.game.dump())
            seed = int(re.search(r"(\d+)$", m).group(1))
            peer.send("seedchannel %d" % seed)
            ch = peer.wait_for(r"^CHANNEL (\d+)$", 5)
            peer.send("join %s" % ch.group(1))
            for c in (d, a):
                self.assertIsNotNone(c.game.wait_for_line(r"^FPS: ", 30), c.game.dump())
                c.xin.move(300, 200)  # the view steers from the centre

            # The defending player walks well away from the footmen's square:
            # the goblins attack any figure within their sight of the fight,
            # and a player whose figure dies has lost and plays no more.
            figure = 0x80400 + d.number()
            start_pos = None
            deadline = time.time() + 10
            while start_pos is None and time.time() < deadline:
                start_pos = peer.units(sender=net.sender_id(0)).get(figure)
                time.sleep(0.2)
            self.assertIsNotNone(start_pos, "the defender's figure is not reported")
            d.xin.key_down("d")
            time.sleep(5.0)
            d.xin.key_up("d")
            time.sleep(0.5)
            moved = peer.units(sender=net.sender_id(0))[figure]
            self.assertGreater(abs(moved[0] - start_pos[0]) + abs(moved[2] - start_pos[2]), 40.0, (start_pos, moved))

            # Each side sees the other side's sixteen soldiers.
            deadline = time.time() + 10
            while time.time() < deadline and (len(d.spawned(0)) < 16 or len(a.spawned(1)) < 16):
                time.sleep(0.2)
            goblins, footmen = d.spawned(0), a.spawned(1)
            self.assertEqual(len(goblins), 16, d.game.dump())
            self.assertEqual(len(footmen), 16, a.game.dump())
            self.assertTrue(all(g.startswith("00081") for g in goblins), goblins)
            self.assertTrue(all(f.startswith("00080") for f in footmen), footmen)

            # Both leaders report their soldiers.
            mark = peer.mark()
            time.sleep(1.5)
            recs = peer.units(mark)
            heard = {"%08X" % u for u in recs}
            self.assertTrue(goblins <= heard, goblins - heard)
            self.assertTrue(footmen <= heard)

            if out_dir():
                a.shot(os.path.join(out_dir(), "attacker_goblins.png"))

            # The peer, an attacker that does not lead, orders every goblin to
            # attack toward the footmen: one ORDR each, carried out by the
            # attackers' leader.
            start = {u: vals[:3] for u, vals in recs.items() if "%08X" % u in goblins}
            for u, (x, y, z) in start.items():
                peer.send_raw(harness.cmnd("ORDR", u, 2.0, x + 20.0, z - 295.0))
            mark = peer.mark()

            def goblins_moved():
                recs = peer.units(mark)
                moved = sum(1 for u, vals in recs.items() if u in start and vals[2] < start[u][2] - 10.0)
                return moved, recs

            # Most goblins are 10 units on their way within seconds; a slow
            # (sanitizer) build is given longer.
            deadline = time.time() + 20.0
            time.sleep(4.0)
            moved, recs = goblins_moved()
            while moved < 12 and time.time() < deadline:
                time.sleep(1.0)
                moved, recs = goblins_moved()
            self.assertGreaterEqual(moved, 12, recs)

            # They meet the footmen and fight; the dead go on every copy.
            fight_mark = peer.mark()
            deadline = time.time() + 150  # a loaded machine fights slowly
            dead_goblins = dead_footmen = set()
            while time.time() < deadline:
                udie = commands(peer, "UDIE", fight_mark)
                dead_goblins = {p[0] for s, p in udie if "%08X" % p[0] in goblins}
                dead_footmen = {p[0] for s, p in udie if "%08X" % p[0] in footmen}
                if dead_goblins and dead_footmen:
                    break
                time.sleep(1.0)
            swd = commands(peer, "USWD", fight_mark)
            self.assertTrue(any("%08X" % p[0] in footmen for s, p in swd), "no footman struck")
            self.assertTrue(any("%08X" % p[0] in goblins for s, p in swd), "no goblin struck")
            struck = "blows heard: %d; deaths: %d goblins, %d footmen" % (len(swd), len(dead_goblins), len(dead_footmen))
            self.assertTrue(dead_goblins, "no goblin died; " + struck)
            self.assertTrue(dead_footmen, "no footman died; " + struck)
            if out_dir():
                d.shot(os.path.join(out_dir(), "defender_fight.png"))

            # A dead goblin is gone on the defenders' copy too, and so is a
            # dead footman on the attackers': datagrams naming them only
            # bring the "doesn't exist" lines (or, for invisibility, which the
            # peer may ask only for its own figure, a refusal).
            g = sorted(dead_goblins)[0]
            f = sorted(dead_footmen)[0]
            d_mark, a_mark = d.game.mark(), a.game.mark()
            peer.send_raw(harness.cmnd("USWD", g, f, 0.0))
            peer.send_raw(harness.cmnd("ORDR", g, 1.0, 0.0, 0.0))
            peer.send_raw(harness.cmnd("UDIE", g))
            peer.send_raw(harness.cmnd("INVS", f, 0.0))
            peer.send_raw(harness.cmnd("INVS", g, 0.0))
            self.assertIsNotNone(
                d.game.wait_for_line(r"Unit %08X trying to swing sword at %08X, but doesn't exist" % (g, f), 10,
                                     start=d_mark), d.game.dump())
            self.assertIsNotNone(
                a.game.wait_for_line(r"INVS for unit %08X, which is not the sender's figure, ignored" % f, 10,
                                     start=a_mark),
                a.game.dump())
            self.assertIsNotNone(
                a.game.wait_for_line(r"tried to issue order 1->\(0\.000000,0\.000000\) to unit %08X which doesn't "
                                     r"exist!" % g, 10, start=a_mark), a.game.dump())
            # Hostile commands: a footman ordered and killed by an attacker.
            live_f = sorted(int(x, 16) for x in footmen if int(x, 16) not in dead_footmen)
            if live_f:
                peer.send_raw(harness.cmnd("ORDR", live_f[0], 1.0, 0.0, 0.0))
                peer.send_raw(harness.cmnd("UDIE", live_f[0]))
                self.assertIsNotNone(
                    d.game.wait_for_line(r"member of team 0 tried to kill unit %08X of team 1" % live_f[0], 10,
                                         start=d_mark), d.game.dump())
            # Garbage in every slot.
            peer.send_raw(harness.cmnd("UNIT", 0x81FFF, float("nan")))
            peer.send_raw(harness.cmnd("USWD", 0xFFFFFFFF, 0xFFFFFFFF, float("inf")))
            peer.send_raw(b"CMNDUNIT")  # a command cut short
            time.sleep(2.0)
            for c in (d, a):
                self.assertTrue(c.game.running(), c.game.dump())
                mark = c.game.mark()
                self.assertIsNotNone(c.game.wait_for_line(r"^FPS: ", 5, start=mark), c.game.dump())


class ThreeCopiesSelection(unittest.TestCase):
    def test_selection_orders_and_one_battle_on_every_copy(self):
        import contextlib
        with contextlib.ExitStack() as stack:
            net = stack.enter_context(harness.linked_namespaces(4))
            copies = [Copy(stack, net[i], n, omit=("walls.txt", "trees.txt"))
                      for i, n in enumerate(("north", "south", "raider"))]
            peer = stack.enter_context(harness.Peer(net[3], ARGS.peer))
            for c in copies:
                self.assertIsNotNone(c.game.wait_for_line(r"^my_numb = \d+$", 20), c.game.dump())
            # The peer: an attacker with the highest number, so it never leads.
            peer.send("autohelo horde 0 1023")
            time.sleep(1.0)
            copies[0].choose_team(1)
            copies[1].choose_team(1)
            copies[2].choose_team(0)
            time.sleep(1.5)
            n0, n1 = copies[0].number(), copies[1].number()
            leader, follower = (copies[0], copies[1]) if n0 < n1 else (copies[1], copies[0])
            raider = copies[2]
            peer.send("strt %d" % SEED)
            peer.send("noauto")
            peer.send("seedchannel %d" % SEED)
            peer.send("join %s" % peer.wait_for(r"^CHANNEL (\d+)$", 5).group(1))
            for c in copies:
                self.assertIsNotNone(c.game.wait_for_line(r"^FPS: ", 30), c.game.dump())
                c.xin.move(300, 200)  # the view steers from the centre
            deadline = time.time() + 10
            while time.time() < deadline and len(follower.spawned(1)) < 16:
                time.sleep(0.2)
            self.assertEqual(len(follower.spawned(1)), 16, follower.game.dump())
            self.assertEqual(len(leader.spawned(1)), 0)  # the leader made them itself
            time.sleep(2.0)

            xin = follower.xin
            xin.move(300, 200)
            xin.key_down("shift")
            try:
                time.sleep(0.8)
                before = follower.shot()
                # Drag a box over the footmen in front of the figure (a
                # second try if the first drag came before the bar was up).
                for attempt in range(2):
                    xin.drag((60, 120), ((200, 200), (400, 280), (540, 330)), pause=0.3)
                    time.sleep(0.8)
                    ringed = follower.shot()
                    if green_ring_pixels(ringed) > green_ring_pixels(before) + 100:
                        break
                if out_dir():
                    before.to_png(os.path.join(out_dir(), "follower_before.png"))
                    ringed.to_png(os.path.join(out_dir(), "follower_selected.png"))
                self.assertGreater(green_ring_pixels(ringed), green_ring_pixels(before) + 100)
                # The move button, then a ground point ahead and to the right.
                xin.move(447, 385)
                time.sleep(0.3)
                xin.click(1)
                time.sleep(0.3)
                xin.move(430, 250)
                time.sleep(0.3)
                xin.click(1)
                time.sleep(0.3)
                first = follower.shot()
                time.sleep(3.0)
                later = follower.shot()
                if out_dir():
                    later.to_png(os.path.join(out_dir(), "follower_walked.png"))
            finally:
                xin.key_up("shift")
            # The footmen walked, on the follower's screen, by the leader's
            # reports of them.
            self.assertGreater(differing_pixels(first, later), 200)
            self.assertGreater(differing_pixels(before, later), 200)
            for c in copies:
                self.assertTrue(c.game.running(), c.game.dump())
            self.battle(peer, raider, (leader, follower))

    def battle(self, peer, raider, defenders):
        # Both defending players walk away from the fight: a player whose
        # figure dies has lost, and this game is to end at the temple.
        for c in defenders:
            c.xin.key_down("d")
        time.sleep(8.0)
        for c in defenders:
            c.xin.key_up("d")
        goblins = {int(g, 16) for g in defenders[0].spawned(0)}
        footmen = {int(f, 16) for f in raider.spawned(1)}
        self.assertEqual(len(goblins), 16, defenders[0].game.dump())
        self.assertEqual(len(footmen), 16, raider.game.dump())
        # The peer sends six goblins at the footmen's square, beyond the
        # sea: outnumbered, some of them fall (a footman strikes only once
        # it has turned to its foe, a turn that takes long at a slow frame
        # rate, so sixteen goblins may kill all sixteen footmen unhurt).
        # Once both sides have lost a unit the other ten follow and end the
        # fight; the game ends at the temple when no footman is left.
        began = time.time()
        first, rest = sorted(goblins)[:6], sorted(goblins)[6:]
        for g in first:
            peer.send_raw(harness.cmnd("ORDR", g, 2.0, SQUARE[0], SQUARE[1]))
        dead = set()
        while time.time() < began + 240:
            dead = {p[0] for s, p in commands(peer, "UDIE")}
            if rest and dead & goblins and dead & footmen:
                for g in rest:
                    peer.send_raw(harness.cmnd("ORDR", g, 2.0, SQUARE[0], SQUARE[1]))
                rest = []
            if not rest and time.time() > began + 60 and footmen <= dead:
                break
            time.sleep(1.0)
        self.assertTrue(dead & goblins, "no goblin fell")
        self.assertTrue(dead & footmen, "no footman fell")
        for c in (raider,) + defenders:
            self.assertEqual(c.game.count_lines(r"no way over dry land|No way over dry land"), 0, c.game.dump())
        # One battle on every copy: the same units live everywhere (a death
        # may be on its way between the copies: a few tries).
        for attempt in range(6):
            lists = [c.registry() for c in (raider,) + defenders]
            if lists[1] == lists[0] and lists[2] == lists[0]:
                break
            time.sleep(2.0)
        self.assertTrue(lists[0] & goblins)
        for other in lists[1:]:
            self.assertEqual(other, lists[0], (sorted(other ^ lists[0])))
        # The survivors take the temple: the game ends on every copy.
        left = sorted(goblins - dead)
        self.assertGreaterEqual(len(left), 6, "too few goblins left to take the temple")
        for g in left:
            peer.send_raw(harness.cmnd("ORDR", g, 1.0, TEMPLE[0], TEMPLE[1]))
        ends = {}
        deadline = time.time() + 150
        while time.time() < deadline and len(ends) < 3:
            for c in (raider,) + defenders:
                m = re.search(r"^the game is over: (\w+), (\d+) units at the temple$", c.game.stdout_text(), re.M)
                if m:
                    ends[c.name] = (m.group(1), int(m.group(2)))
            time.sleep(1.0)
        self.assertEqual(ends.get(raider.name, ("none",))[0], "won", ends)
        for c in defenders:
            self.assertEqual(ends.get(c.name, ("none",))[0], "lost", ends)
        for result, holders in ends.values():
            self.assertGreaterEqual(holders, 6, ends)
        # And it ended alike: a defender that was the last of its side at
        # its end clears its registry (the rule of a lost game); the others
        # hold the same units.
        lists = [c.registry() for c in (raider,) + defenders]
        kept = [l for l in lists[1:] if l]
        self.assertTrue(kept, "every defender cleared its registry")
        for other in kept:
            self.assertEqual(other, lists[0], (sorted(other ^ lists[0])))


if __name__ == "__main__":
    harness.main(ARGS)
