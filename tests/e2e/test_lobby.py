"""End-to-end checks of the lobby: a protocol peer against one copy, and
three real copies in their own namespaces linked by a bridge."""
import os, re, shutil, struct, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
from lobby_support import Display, Net, make_datadir, parse_recv, start_game, start_peer  # noqa: E402

BUILD = os.environ.get("KELVARIN_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
GAME = os.path.abspath(os.path.join(BUILD, "kelvarin"))
PEER = os.path.abspath(os.path.join(BUILD, "tools", "kelvarin_peer"))

ATTACKER_TEXT = (255, 127, 127)
DEFENDER_TEXT = (127, 255, 127)


def count_colour(shot, colour, x0, x1, y0, y1, tol=12):
    n = 0
    for row in shot[y0:y1]:
        for px in row[x0:x1]:
            if all(abs(a - b) <= tol for a, b in zip(px, colour)):
                n += 1
    return n


def team_pixels(shot):
    """Attacker-coloured names in the attackers' list and defender-coloured
    names in the defenders' list of the team window (600 x 400 window)."""
    return (count_colour(shot, ATTACKER_TEXT, 270, 400, 145, 260),
            count_colour(shot, DEFENDER_TEXT, 402, 580, 145, 260))


def tag(b):
    return b[:4].decode("latin-1")


class PeerProtocol(unittest.TestCase):
    def setUp(self):
        self.data = make_datadir()
        self.net = Net(2)
        self.dpy = Display(81)
        self.game = start_game(self.net, 0, self.dpy, self.data, GAME, "lobbygame")
        self.peer = start_peer(self.net, 1, PEER)

    def tearDown(self):
        self.peer.stop()
        self.game.stop()
        self.dpy.stop()
        self.net.close()
        shutil.rmtree(self.data, ignore_errors=True)

    def helos(self, since):
        out = []
        for l in self.peer.lines():
            r = parse_recv(l)
            if r and r[0] >= since and tag(r[2]) == "HELO":
                out.append(r)
        return out

    def test_presence_chat_and_start(self):
        m = self.game.wait_for(r"^my_numb = (\d+)$", 15)
        self.assertIsNotNone(m, self.game.lines() + self.game.lines(True))
        numb = int(m.group(1))
        time.sleep(1.0)
        t0 = time.time()
        time.sleep(2.0)
        heard = [h for h in self.helos(t0) if h[0] < t0 + 2.0]
        self.assertTrue(7 <= len(heard) <= 13, len(heard))
        _, sender, body = heard[-1]
        self.assertEqual(sender, self.net.sender_id(0))
        self.assertEqual(len(body), 44)
        self.assertEqual(body[4:36], b"lobbygame".ljust(32, b"\0"))
        team, number = struct.unpack("<ii", body[36:44])
        self.assertIn(team, (0, 1))
        self.assertEqual(number, numb)

        # Chat from a stranger is refused; after its HELO the peer is known.
        self.peer.send("chat too early")
        self.assertIsNotNone(self.game.wait_for(
            r"Received CHAT message from unknown source: %s" % self.net.sender_id(1), 5, err=True))
        # Announcing the game's own number: the game counts the peer and,
        # seeing the collision, draws itself a new number.
        self.peer.send("autohelo peer 0 %d" % numb)
        m2 = self.game.wait_for(r"^my_numb = (?!%d$)(\d+)$" % numb, 5)
        self.assertIsNotNone(m2, self.game.lines())
        numb = int(m2.group(1))
        self.peer.send("autohelo peer 0 %d" % ((numb + 1) % 1024))
        time.sleep(0.5)
        n_err = len(self.game.lines(True))
        self.peer.send("chat hello from the peer")
        time.sleep(1.0)
        self.assertFalse([l for l in self.game.lines(True)[n_err:] if "CHAT" in l])

        self.peer.send("seedchannel 12345")
        ch = int(self.peer.wait_for(r"^CHANNEL (\d+)$", 5).group(1))
        self.peer.send("strt 12345")
        self.assertIsNotNone(self.game.wait_for(r"^starting game with random seed = 12345$", 5))
        self.peer.send("noauto")
        self.peer.send("join %d" % ch)
        time.sleep(2.0)
        t1 = time.time()
        time.sleep(2.0)
        want_id = 0x80400 + numb
        batches = 0
        for l in self.peer.lines():
            r = parse_recv(l)
            if not r or r[0] < t1 or r[0] > t1 + 2.0 or tag(r[2]) != "UUPD":
                continue
            body = r[2]
            count, = struct.unpack("<I", body[4:8])
            pos, found = 8, False
            for _ in range(count):
                uid, n = struct.unpack("<II", body[pos:pos + 8])
                if uid == want_id and n == 7:
                    vals = struct.unpack("<7f", body[pos + 8:pos + 36])
                    found = True
                pos += 8 + 4 * n
            self.assertEqual(pos, len(body))
            if found:
                batches += 1
        self.assertTrue(30 <= batches <= 50, batches)
        self.assertIn(vals[2], (188.0, -188.0))


class ThreeCopies(unittest.TestCase):
    def setUp(self):
        self.data = make_datadir()
        self.net = Net(4)
        self.dpys = [Display(82 + i) for i in range(3)]
        self.names = ["alpha", "bravo", "charlie"]
        self.games = [start_game(self.net, i, self.dpys[i], self.data, GAME, self.names[i]) for i in range(3)]

    def tearDown(self):
        for g in self.games:
            g.stop()
        for d in self.dpys:
            d.stop()
        self.net.close()
        shutil.rmtree(self.data, ignore_errors=True)

    def test_lobby_of_three(self):
        for g in self.games:
            self.assertIsNotNone(g.wait_for(r"^my_numb = \d+$", 15), g.lines(True))
        time.sleep(2.0)
        for i, d in enumerate(self.dpys):
            d.click(875, 975)  # "Teams"
        time.sleep(1.0)
        self.dpys[0].click(198 + 360 + 90, 50 + 275 + 18)  # alpha: Attackers
        self.dpys[1].click(476 + 360 + 90, 50 + 275 + 18)  # bravo: Defenders
        self.dpys[2].click(198 + 360 + 90, 50 + 275 + 18)  # charlie: Attackers
        time.sleep(1.5)
        att3, def1 = team_pixels(self.dpys[0].grab())
        self.assertGreater(att3, 0)
        self.assertGreater(def1, 0)
        # Every copy sees the same sides.
        for i in (1, 2):
            a, dd = team_pixels(self.dpys[i].grab())
            self.assertAlmostEqual(a, att3, delta=att3 * 0.1 + 5)
            self.assertAlmostEqual(dd, def1, delta=def1 * 0.1 + 5)

        # bravo changes side: alpha's defenders' list empties.
        self.dpys[1].click(198 + 360 + 90, 50 + 275 + 18)
        time.sleep(1.5)
        att_all, def0 = team_pixels(self.dpys[0].grab())
        self.assertEqual(def0, 0)
        self.assertGreater(att_all, att3)

        # Chat: alpha types a line; the others know the sender.
        for d in self.dpys:
            d.click(500, 975)  # back to "Chat"
        self.dpys[0].type_line("hello team")
        time.sleep(1.0)
        for g in self.games[1:]:
            self.assertFalse([l for l in g.lines(True) if "unknown source" in l], g.lines(True))

        # charlie is killed: gone from the others' tables after 4 s, not before.
        for d in self.dpys[:2]:
            d.click(875, 975)
        time.sleep(1.0)
        before = team_pixels(self.dpys[0].grab())[0]
        self.games[2].stop()
        t_kill = time.time()
        # Well inside the 4 s of silence allowed (a slow sanitizer build may
        # have sent its last presence a frame or two before it was stopped).
        time.sleep(max(0.0, t_kill + 1.0 - time.time()))
        mid = team_pixels(self.dpys[0].grab())[0]
        time.sleep(max(0.0, t_kill + 7.0 - time.time()))
        after = team_pixels(self.dpys[0].grab())[0]
        self.assertAlmostEqual(mid, before, delta=5)
        self.assertLess(after, before)
        after1 = team_pixels(self.dpys[1].grab())[0]
        self.assertAlmostEqual(after1, after, delta=5)

        # Start Game on alpha brings bravo along on the same channel.
        peer = start_peer(self.net, 3, PEER)
        try:
            self.dpys[0].click(175, 125)
            m = self.games[1].wait_for(r"^starting game with random seed = (\d+)$", 10)
            self.assertIsNotNone(m, self.games[1].lines())
            seed = int(m.group(1))
            self.assertTrue(10240 <= seed <= 10240 + 49999)
            peer.send("seedchannel %d" % seed)
            ch = int(peer.wait_for(r"^CHANNEL (\d+)$", 5).group(1))
            peer.send("join %d" % ch)
            time.sleep(3.0)
            senders = set()
            for l in peer.lines():
                r = parse_recv(l)
                if r and tag(r[2]) == "UUPD":
                    senders.add(r[1])
            self.assertEqual(senders, {self.net.sender_id(0), self.net.sender_id(1)})
        finally:
            peer.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
