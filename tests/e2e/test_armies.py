"""End-to-end check of the armies: real copies in their own network
namespaces linked by a bridge, each under its own Xvfb, with real X input.

Three copies (two defenders, an attacker) and a protocol peer on the
attackers' side, on a generated island:
- each copy creates the other side's 16 soldiers from "UNIT" and the
  leaders report them in "UUPD";
- the defender that does not lead selects footmen with Shift + drag (rings
  drawn), presses the move button and clicks the ground; the order travels
  as "ORDR" and the leader's footmen walk there; a Shift + right click
  queues a further point (kind 5), which they go on to;
- a battle of more than a minute: the peer, an attacker that does not
  lead, sends goblins at the footmen in small waves until both sides have
  lost a unit; they find their way round the sea and fight ("USWD" both
  ways), the dead go on every copy ("UDIE"), and datagrams naming the dead
  harm no copy; then every goblin left attacks, and the peer's figure
  shoots down any footman the goblins leave (a figure has a bow, no sword);
- every copy's registry, listed at SIGUSR1, holds the same units; the
  goblins left, the rams and the catapults drive to the temple, which ends
  the game on all three.

The city's walls are left out so that the two sides meet on open ground."""
import math, os, re, signal, struct, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

ARGS = harness.default_paths()
LEAVE_OUT = ("walls.txt", "trees.txt")
SEED = 30002  # an island whose sea lies between the goblins and the city
TEMPLE = (-40.0, -150.0)  # the defenders' temple (houses.txt)
SQUARE = (-2.5, -152.5)  # the footmen's square
PEER_NUMBER = 1023
FIGURE_ID_BASE = 0x80400  # a player's figure is this plus the player's number


def params(datagram):
    """The four 32-bit parameter slots of a "CMND" datagram, as unsigned ints."""
    return struct.unpack("<4I", datagram[8:24])


def commands(peer, sub, since=0):
    return [(s, params(d)) for s, d in peer.commands(sub, since)]


class Copy:
    def __init__(self, stack, ns, name):
        self.x = stack.enter_context(harness.Xvfb())
        self.dir = stack.enter_context(harness.workdir(ARGS.data, omit=LEAVE_OUT))
        self.game = harness.Game(ARGS.binary, [name, "WINDOW"], ns=ns, display=self.x.display, cwd=self.dir)
        stack.enter_context(self.game)
        self.win = harness.wait_for_window(self.x.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.x.display, self.win)
        self.name = name

    def click_virtual(self, vx, vy):
        harness.click_menu(self.xin, vx, vy)

    def choose_team(self, team):
        harness.choose_team(self.xin, team, game=self.game)

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
        return {int(i, 16) for i in ids if not (FIGURE_ID_BASE <= int(i, 16) < FIGURE_ID_BASE + 1024 or int(i, 16) >> 16 == 6)}

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


class ThreeCopiesSelection(unittest.TestCase):
    def test_selection_orders_and_one_battle_on_every_copy(self):
        import contextlib
        with contextlib.ExitStack() as stack:
            net = stack.enter_context(harness.linked_namespaces(4))
            copies = [Copy(stack, net[i], n) for i, n in enumerate(("north", "south", "raider"))]
            peer = stack.enter_context(harness.Peer(net[3], ARGS.peer))
            for c in copies:
                self.assertIsNotNone(c.game.wait_for_line(r"^my_numb = \d+$", 20), c.game.dump())
            # The peer: an attacker with the highest number, so it never leads.
            peer.send("autohelo horde 0 %d" % PEER_NUMBER)
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
            # Each side sees the other side's sixteen soldiers, and both
            # leaders report theirs.
            while time.time() < deadline and (len(leader.spawned(0)) < 16 or len(raider.spawned(1)) < 16):
                time.sleep(0.2)
            goblins = {int(g, 16) for g in leader.spawned(0)}
            footmen = {int(f, 16) for f in raider.spawned(1)}
            self.assertEqual(len(goblins), 16, leader.game.dump())
            self.assertEqual(len(footmen), 16, raider.game.dump())
            self.assertEqual(goblins, {int(g, 16) for g in follower.spawned(0)})
            mark = peer.mark()
            time.sleep(2.0)
            heard = set(peer.units(mark))
            self.assertTrue(goblins <= heard, sorted(goblins - heard))
            self.assertTrue(footmen <= heard, sorted(footmen - heard))

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
                order_mark = peer.mark()
                xin.move(447, 385)
                time.sleep(0.3)
                xin.click(1)
                time.sleep(0.3)
                xin.move(430, 250)
                time.sleep(0.3)
                xin.click(1)
                time.sleep(0.3)
                # Shift + right click a little way to the left: a waypoint
                # queued behind the move, near where the battle expects them.
                xin.move(130, 290)
                time.sleep(0.3)
                xin.click(3)
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
            self.queued_waypoint(peer, footmen, order_mark)
            self.battle(peer, raider, (leader, follower), goblins, footmen)

    def queued_waypoint(self, peer, footmen, mark):
        """The follower sent the move and the queued point as "ORDR" (the
        latter with kind 5) for the same footmen, and the leader's reports
        show a footman going on past its first goal to the queued one."""
        def f32(bits):
            return struct.unpack("<f", struct.pack("<I", bits))[0]
        orders = [p for s, p in commands(peer, "ORDR", mark) if p[0] in footmen]
        moved = {p[0]: (f32(p[2]), f32(p[3])) for p in orders if f32(p[1]) != 5.0}
        queued = {p[0]: (f32(p[2]), f32(p[3])) for p in orders if f32(p[1]) == 5.0}
        self.assertTrue(moved, orders)
        self.assertEqual(set(queued), set(moved), orders)
        apart = [u for u in queued if math.dist(moved[u], queued[u]) > 7.0]
        self.assertTrue(apart, (moved, queued))  # the two clicks name places apart
        deadline = time.time() + 60
        near = {}
        while time.time() < deadline and not near:
            seen = peer.units(mark)
            near = {u: seen[u] for u in apart if u in seen and math.dist((seen[u][0], seen[u][2]), queued[u]) < 3.0}
            time.sleep(1.0)
        self.assertTrue(near, {u: (moved[u], queued[u], peer.units(mark).get(u)) for u in apart})

    def battle(self, peer, raider, defenders, goblins, footmen):
        # Both defending players walk away from the fight: a player whose
        # figure dies has lost, and this game is to end at the temple.
        for c in defenders:
            c.xin.key_down("d")
        time.sleep(8.0)
        for c in defenders:
            c.xin.key_up("d")
        # The peer sends goblins at the footmen's square, beyond the sea, in
        # waves of two, two, four and eight, the next one while both sides
        # have not yet lost a unit. A footman strikes only once it has
        # turned to its foe, a turn that takes long at a slow frame rate, so
        # a large band of goblins may kill footmen unhurt, while two goblins
        # among sixteen footmen fall; the later waves bring footmen down (at
        # a high frame rate four goblins have fallen to them unavenged).
        waves = [sorted(goblins)[:2], sorted(goblins)[2:4], sorted(goblins)[4:8], sorted(goblins)[8:]]
        began = time.time()
        fight_mark = peer.mark()
        sent_at = 0.0
        dead = set()
        while time.time() < began + 240:
            dead = {p[0] for s, p in commands(peer, "UDIE", fight_mark)}
            if dead & goblins and dead & footmen:
                break
            if waves and time.time() >= sent_at + 45.0:
                for g in waves.pop(0):
                    peer.send_raw(harness.cmnd("ORDR", g, 2.0, SQUARE[0], SQUARE[1]))
                sent_at = time.time()
            time.sleep(1.0)
        swd = commands(peer, "USWD", fight_mark)
        struck = "blows heard: %d; deaths: %d goblins, %d footmen; %d s" % (
            len(swd), len(dead & goblins), len(dead & footmen), time.time() - began)
        print("battle: " + struck, file=sys.stderr)
        self.assertTrue(any(p[0] in footmen and p[1] in goblins for s, p in swd), "no footman struck; " + struck)
        self.assertTrue(any(p[0] in goblins and p[1] in footmen for s, p in swd), "no goblin struck; " + struck)
        self.assertTrue(dead & goblins, "no goblin fell; " + struck)
        self.assertTrue(dead & footmen, "no footman fell; " + struck)
        for c in (raider,) + defenders:
            self.assertEqual(c.game.count_lines(r"no way over dry land|No way over dry land"), 0, c.game.dump())
        self.dead_units_harm_nobody(peer, raider, defenders[0], sorted(dead & goblins)[0],
                                    sorted(dead & footmen)[0], sorted(footmen - dead))
        # Then every goblin left attacks together and the footmen fall.
        for g in sorted(goblins - dead):
            peer.send_raw(harness.cmnd("ORDR", g, 2.0, SQUARE[0], SQUARE[1]))
        deadline = time.time() + 180
        while time.time() < deadline and not (footmen <= dead or goblins <= dead):
            time.sleep(1.0)
            dead = {p[0] for s, p in commands(peer, "UDIE", fight_mark)}
        print("battle: %d goblins and %d footmen fell in %d s" % (len(dead & goblins), len(dead & footmen),
                                                                time.time() - began), file=sys.stderr)
        # Which side wins depends on the frame rate; a footman left is
        # shot down by the peer's own figure, walked up beside it.
        dead |= self.finish_footmen(peer, sorted(footmen - dead), fight_mark)
        self.assertLessEqual(footmen, dead, "footmen left: %d, goblins left: %d" % (
            len(footmen - dead), len(goblins - dead)))
        # One battle on every copy: the same units live everywhere (a death
        # may be on its way between the copies: a few tries).
        for attempt in range(10):
            lists = [c.registry() for c in (raider,) + defenders]
            if lists[1] == lists[0] and lists[2] == lists[0]:
                break
            time.sleep(2.0)
        self.assertTrue(lists[0] & (goblins | footmen) <= goblins - dead)
        for other in lists[1:]:
            self.assertEqual(other, lists[0], (sorted(other ^ lists[0])))
        # The goblins left and the five rams take the temple (any attacker
        # unit counts): the game ends on every copy.
        rams = {int(r, 16) for r in re.findall(r"^spawning unit (0004[0-9A-F]{4}) for team 0$",
                                               defenders[0].game.stdout_text(), re.M)}
        catapults = {int(r, 16) for r in re.findall(r"^spawning unit (0001[0-9A-F]{4}) for team 0$",
                                                    defenders[0].game.stdout_text(), re.M)}
        self.assertEqual(len(rams), 5, defenders[0].game.dump())
        self.assertEqual(len(catapults), 10, defenders[0].game.dump())
        holders = sorted(goblins - dead) + sorted(rams) + sorted(catapults)
        temple_mark = peer.mark()
        for u in holders:
            peer.send_raw(harness.cmnd("ORDR", u, 1.0, TEMPLE[0], TEMPLE[1]))
        ends = {}
        deadline = time.time() + 150
        while time.time() < deadline and len(ends) < 3:
            for c in (raider,) + defenders:
                m = re.search(r"^the game is over: (\w+), (\d+) units at the temple$", c.game.stdout_text(), re.M)
                if m:
                    ends[c.name] = (m.group(1), int(m.group(2)))
            time.sleep(1.0)
        if len(ends) < 3:
            seen = peer.units(temple_mark)
            fell = {p[0] for s, p in commands(peer, "UDIE", temple_mark)}
            ends["holders"] = ["%05X %s" % (u, "fell" if u in fell else "at %.0f %.0f" % (seen[u][0], seen[u][2])
                                            if u in seen else "unheard") for u in holders]
        self.assertEqual(ends.get(raider.name, ("none",))[0], "won", ends)
        for c in defenders:
            self.assertEqual(ends.get(c.name, ("none",))[0], "lost", ends)
        # The defenders lose to six at their temple; the attackers' copy
        # wins there too, or a moment later because the defenders, having
        # lost, are gone from the table.
        for c in defenders:
            self.assertGreaterEqual(ends[c.name][1], 6, ends)
        # And it ended alike: a defender that was the last of its side at
        # its end clears its registry (the rule of a lost game); the others
        # hold the same units, but for deaths announced while the copies
        # were ending (a copy whose game is over reads nothing more).
        lists = [c.registry() for c in (raider,) + defenders]
        kept = [l for l in lists[1:] if l]
        self.assertTrue(kept, "every defender cleared its registry")
        announced = {p[0] for s, p in commands(peer, "UDIE", fight_mark)}
        for other in kept:
            self.assertLessEqual(other ^ lists[0], announced, sorted((other ^ lists[0]) - announced))

    def finish_footmen(self, peer, left, since):
        """The peer's figure stands two paces east of each footman left,
        facing it, and shoots (at most as its bow reloads) until the
        footman's death is announced; returns the ids that fell."""
        figure = FIGURE_ID_BASE + PEER_NUMBER
        fell = set()
        for f in left:
            for blow in range(12):
                fell = {p[0] for s, p in commands(peer, "UDIE", since)}
                if f in fell:
                    break
                at = peer.units(since).get(f)
                if at is None or len(at) < 3:
                    break
                peer.send_raw(harness.uupd([(figure, [at[0] + 2.0, at[1], at[2], 270.0, 0.0, 0.0, 0.0])]))
                time.sleep(0.3)
                peer.send_raw(harness.cmnd("AARW", 270.0, 0.0))
                time.sleep(0.7)
        print("battle: the peer's figure shot down %d of %d footmen left" % (len(fell & set(left)), len(left)),
              file=sys.stderr)
        return fell

    def dead_units_harm_nobody(self, peer, raider, defender, g, f, live_footmen):
        """Datagrams naming a dead goblin and a dead footman only bring the
        "doesn't exist" lines (or, for invisibility, which the peer may ask
        only for its own figure, a refusal); an attacker may neither order
        nor kill a live footman; garbage in every slot harms no copy."""
        d_mark, a_mark = defender.game.mark(), raider.game.mark()
        peer.send_raw(harness.cmnd("USWD", g, f, 0.0))
        peer.send_raw(harness.cmnd("ORDR", g, 1.0, 0.0, 0.0))
        peer.send_raw(harness.cmnd("UDIE", g))
        peer.send_raw(harness.cmnd("INVS", f, 0.0))
        peer.send_raw(harness.cmnd("INVS", g, 0.0))
        self.assertIsNotNone(
            defender.game.wait_for_line(r"Unit %08X trying to swing sword at %08X, but doesn't exist" % (g, f), 10,
                                        start=d_mark), defender.game.dump())
        self.assertIsNotNone(
            raider.game.wait_for_line(r"INVS for unit %08X, which is not the sender's figure, ignored" % f, 10,
                                      start=a_mark), raider.game.dump())
        self.assertIsNotNone(
            raider.game.wait_for_line(r"tried to issue order 1->\(0\.000000,0\.000000\) to unit %08X which doesn't "
                                      r"exist!" % g, 10, start=a_mark), raider.game.dump())
        if live_footmen:
            peer.send_raw(harness.cmnd("ORDR", live_footmen[0], 1.0, 0.0, 0.0))
            peer.send_raw(harness.cmnd("UDIE", live_footmen[0]))
            self.assertIsNotNone(
                defender.game.wait_for_line(r"member of team 0 tried to kill unit %08X of team 1" % live_footmen[0],
                                            10, start=d_mark), defender.game.dump())
        peer.send_raw(harness.cmnd("UNIT", 0x81FFF, float("nan")))
        peer.send_raw(harness.cmnd("USWD", 0xFFFFFFFF, 0xFFFFFFFF, float("inf")))
        peer.send_raw(b"CMNDUNIT")  # a command cut short
        time.sleep(2.0)
        for c in (raider, defender):
            self.assertTrue(c.game.running(), c.game.dump())
            mark = c.game.mark()
            self.assertIsNotNone(c.game.wait_for_line(r"^FPS: ", 5, start=mark), c.game.dump())

if __name__ == "__main__":
    harness.main(ARGS)
