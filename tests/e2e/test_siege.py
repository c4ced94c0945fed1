"""Siege end-to-end: two real copies (attackers' leader, defenders' leader)
and a protocol peer on the attackers' side, in bridged namespaces. The peer
gives the orders ("ORDR") that a player would give through the selection,
listens to the game channel, and the copies' output shows what each applied.

Both copies play on an island the game generates, from a seed the peer
starts the game with: its sea lies between the attackers' camp and the
city, so the engines, each ordered once, have to find their way round it
over dry land.

  python3 tests/e2e/test_siege.py [--binary build/kelvarin] [--data build/data]
"""
import math, os, re, struct, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

ARGS = harness.default_paths()

ORDER_MOVE, ORDER_ATTACK = 1, 2
CATAPULTS = [0x10000 + i for i in range(10)]
RAMS = [0x40000 + i for i in range(5)]
GOBLIN = 4  # the humanoid kind of goblins, as the copies print it


# An island on which the straight lines from the attackers' camp to the
# gate and to the catapults' throwing places all run through water.
SEED = 30002
WATER_LINE = 10.0


def gate_point(data_dir):
    """Where a ram should press: the middle of the first gate, a little inside."""
    pts = []
    with open(os.path.join(data_dir, "walls.txt")) as f:
        for line in f:
            m = re.match(r"\s*(-?[\d.]+),\s*(-?[\d.]+),\s*[\d.]+,\s*[\d.]+,\s*(\S)\s+(\S)", line)
            if not m:
                break
            pts.append((float(m.group(1)), float(m.group(2)), m.group(4) in "yY"))
    for i, (x, z, gate) in enumerate(pts[:-1]):
        if gate:
            return (x + pts[i + 1][0]) / 2, (z + pts[i + 1][1]) / 2 - 2.0
    raise AssertionError("walls.txt has no gate")


class Siege(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            raise unittest.SkipTest("needs root for network namespaces")

    def setUp(self):
        import contextlib
        self.stack = contextlib.ExitStack()
        self.net = self.stack.enter_context(harness.linked_namespaces(3))
        self.xs = [self.stack.enter_context(harness.Xvfb()) for _ in range(2)]
        self.dirs = [self.stack.enter_context(harness.workdir(ARGS.data)) for _ in range(2)]
        self.games, self.inputs = [], []
        for i, name in enumerate(("sieger", "keeper")):
            g = harness.Game(ARGS.binary, [name, "WINDOW"], ns=self.net[i], display=self.xs[i].display,
                             cwd=self.dirs[i])
            self.stack.callback(g.kill)
            win = harness.wait_for_window(self.xs[i].display, "Kelvarin", timeout=30, game=g)
            self.games.append(g)
            self.inputs.append(harness.XInput(self.xs[i].display, win))
        self.peer = self.stack.enter_context(harness.Peer(self.net[2], ARGS.peer))
        self.sender = [self.net.sender_id(i) for i in range(3)]

    def tearDown(self):
        self.stack.close()

    def order(self, ids, kind, x, z):
        for uid in ids:
            self.peer.send_raw(harness.cmnd("ORDR", uid, float(kind), float(x), float(z)))

    def heard(self, subtag, sender=None):
        return [d for _, d in self.peer.commands(subtag, sender=sender)]

    def positions(self, sender):
        return {u: (v[0], v[2]) for u, v in self.peer.units(sender=sender).items() if len(v) >= 3}

    def start_battle(self):
        """Sides: copy 0 attackers (it leads: the peer's number is higher),
        copy 1 defenders; the peer starts the game on the chosen island."""
        for g in self.games:
            self.assertIsNotNone(g.wait_for_line(r"^my_numb = (\d+)$", 15), g.dump())
        # Copies that drew the same number have drawn again once they heard
        # each other: the last number is the copy's.
        time.sleep(1.5)
        numb = int(re.findall(r"^my_numb = (\d+)$", "\n".join(self.games[0].output("stdout")), re.M)[-1])
        # A higher number than copy 0's, so copy 0 stays the attackers' leader.
        self.peer.send("autohelo peer 0 %d" % min(numb + 1 + (1023 - numb) // 2, 1023))
        time.sleep(1.5)
        harness.choose_team(self.inputs[0], 0, game=self.games[0])
        harness.choose_team(self.inputs[1], 1, game=self.games[1])
        time.sleep(1.0)
        self.peer.send("strt %d" % SEED)
        for g in self.games:
            self.assertIsNotNone(g.wait_for_line(r"starting game with random seed = %d" % SEED, 15), g.dump())
        self.peer.send("noauto")
        self.peer.send("seedchannel %d" % SEED)
        m = self.peer.wait_for(r"^CHANNEL (\d+)", 5)
        self.assertIsNotNone(m)
        self.peer.send("join %s" % m.group(1))
        for g in self.games:
            self.assertIsNotNone(g.wait_for_line(r"^FPS: ", 60), g.dump())
        time.sleep(2.0)  # the leaders' units are announced

    def goblins(self):
        """The attackers' leader's goblins, as the defenders' copy made them."""
        ids = set()
        for l in self.games[1].output():
            m = re.search(r"spawning humanoid ([0-9A-F]{8}) for team 0, type (\d+)", l)
            if m and int(m.group(2)) == GOBLIN:
                ids.add(int(m.group(1), 16))
        return sorted(ids)

    def report(self, began, gate):
        """One progress line on stderr: where the rams are, which died, what
        was heard; shown by ctest when the run fails."""
        pos = self.positions(self.sender[0])
        dead = {struct.unpack("<I", b[8:12])[0] for b in self.heard("UDIE", self.sender[0])}
        rams = " ".join("%X:%s" % (u, "dead" if u in dead else "(%.1f, %.1f)" % pos[u] if u in pos else "?")
                        for u in RAMS)
        blows = "gate %s" % ("broken" if any(g.count_lines(r"set_break_gate called|sending command message GBRK")
                                             for g in self.games) else "standing")
        sys.stderr.write("siege %5.1f s: rams %s; UBAL %d UARW %d UDIE %d; %s near (%.0f, %.0f)\n" % (
            time.time() - began, rams, len(self.heard("UBAL")), len(self.heard("UARW")),
            len(self.heard("UDIE")), blows, gate[0], gate[1]))

    def test_catapults_archers_and_ram(self):
        self.start_battle()
        a, d = self.games
        gx, gz = gate_point(ARGS.data)
        # The leader announces its units as the game begins and once more
        # 1.5 s into it; a loaded machine may take a while to get there.
        deadline = time.time() + 20
        goblins = self.goblins()
        while len(goblins) < 16 and time.time() < deadline:
            time.sleep(0.5)
            goblins = self.goblins()
        self.assertEqual(len(goblins), 16, a.dump() + "\n----\n" + d.dump())
        # The attacking player draws the bow: the left button held with the
        # command bar hidden shoots an arrow at most every 0.666 s, and each
        # goes to the other copies as "AARW".
        mark = self.peer.mark()
        self.inputs[0].move(300, 200)
        self.inputs[0].button_down(1)
        time.sleep(3.0)
        self.inputs[0].button_up(1)
        time.sleep(0.5)
        shots = self.peer.times("AARW", mark, self.sender[0])
        self.assertGreaterEqual(len(shots), 3, a.dump())
        self.assertLessEqual(len(shots), 6, shots)
        self.assertGreater(min(t1 - t0 for t0, t1 in zip(shots, shots[1:])), 0.55, shots)
        self.assertEqual(self.peer.times("AARW", mark, self.sender[1]), [])
        # Each engine is ordered once: the rams at the gate, the catapults at
        # the footmen's square inside the walls. Both lie beyond the sea
        # from the camp, so the engines find their way round it.
        began = time.time()
        self.order(RAMS, ORDER_ATTACK, gx, gz)
        self.order(CATAPULTS, ORDER_ATTACK, -2.5, -152.5)
        # Tower archers shoot at goblins that come within their reach; the
        # goblins wait east of the gate's approach, out of the rams' way.
        self.order(goblins, ORDER_MOVE, 30.0, -60.0)

        # Some steps of the engines are per frame, so a loaded machine (few
        # frames a second) moves them slowly: allow for it, the loop ends as
        # soon as everything has been seen.
        deadline = time.time() + 300
        next_report = time.time()
        throwers = {}
        while time.time() < deadline:
            if time.time() >= next_report:
                self.report(began, (gx, gz))
                next_report += 10.0
            balls = self.heard("UBAL", self.sender[0])
            pos = self.peer.units(sender=self.sender[0])
            for b in balls:
                uid = struct.unpack("<I", b[8:12])[0]
                if uid not in throwers and uid in pos:
                    throwers[uid] = pos[uid][1]  # its height when the throw was heard
            arrows = self.heard("UARW", self.sender[1])
            deaths = [b for b in self.heard("UDIE", self.sender[1]) if struct.unpack("<I", b[8:12])[0] >> 12 == 0x80]
            broken = all(g.count_lines(r"set_break_gate called|sending command message GBRK") for g in self.games)
            if balls and arrows and deaths and broken:
                break
            time.sleep(1.0)
        self.report(began, (gx, gz))

        # Every order was carried out: none was refused for want of a dry way.
        self.assertEqual(a.count_lines(r"no way over dry land|No way over dry land"), 0, a.dump())
        # The catapults threw from dry ground (a cart rides 0.7 over it).
        self.assertTrue(throwers, "no catapult threw\n" + a.dump())
        for uid, y in throwers.items():
            self.assertGreaterEqual(y, WATER_LINE, "catapult %X threw from the water" % uid)
        balls = self.heard("UBAL", self.sender[0])
        self.assertTrue(balls, "no catapult threw\n" + a.dump())
        # The defenders' copy re-created every throw from a catapult it knows.
        self.assertEqual(d.count_lines(r"Unit 0001[0-9A-F]{4} trying to shoot"), 0, d.dump())
        # Tower archers shot, and their arrows went at the goblins.
        arrows = self.heard("UARW", self.sender[1])
        self.assertTrue(arrows, "no tower archer shot\n" + d.dump())
        self.assertEqual(a.count_lines(r"Unit 0008[0-9A-F]{4} trying to shoot"), 0, a.dump())
        # Balls that fall among the footmen kill some on the defenders' copy,
        # which announces the deaths.
        deaths = [b for b in self.heard("UDIE", self.sender[1]) if struct.unpack("<I", b[8:12])[0] >> 12 == 0x80]
        self.assertTrue(deaths, "no defender fell to the balls\n" + d.dump())
        # A ram broke the gate: the attackers' copy, which runs the rams,
        # announces it once, and the defenders' copy lets the gate fall.
        self.assertEqual(a.count_lines(r"sending command message GBRK for gate \d+ with parameter 1"), 1, a.dump())
        self.assertEqual(d.count_lines(r"sending command message GBRK"), 0, d.dump())
        self.assertGreater(d.count_lines(r"set_break_gate called with parameters"), 0, d.dump())


if __name__ == "__main__":
    harness.main(ARGS)
