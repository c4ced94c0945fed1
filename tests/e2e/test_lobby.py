"""End-to-end checks of the lobby: a protocol peer against one copy, and
three real copies in their own namespaces linked by a bridge.

The copies draw stand-in textures (flat blue for the menu's sky, grey for
the rest), so that the names in the team window are the only pixels of the
teams' colours."""
import contextlib, os, re, struct, sys, tempfile, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

ARGS = harness.default_paths()

ATTACKER_TEXT = (255, 127, 127)
DEFENDER_TEXT = (127, 255, 127)


def count_colour(shot, colour, x0, x1, y0, y1, tol=12):
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if harness.colour_near(shot.pixel(x, y), colour, tol))


def team_pixels(shot):
    """Attacker-coloured names in the attackers' list and defender-coloured
    names in the defenders' list of the team window (600 x 400 window)."""
    return (count_colour(shot, ATTACKER_TEXT, 270, 400, 145, 260),
            count_colour(shot, DEFENDER_TEXT, 402, 580, 145, 260))


def standin_workdir(stack):
    """A working directory with the game's data, every texture replaced by a
    16 x 16 stand-in."""
    d = stack.enter_context(harness.workdir(ARGS.data))
    tex = os.path.join(d, "textures")
    for name in os.listdir(tex):
        px = bytes((0, 0, 255)) if name == "sky_menu.tex" else bytes((128, 128, 128))
        os.unlink(os.path.join(tex, name))
        with open(os.path.join(tex, name), "wb") as f:
            f.write(struct.pack("<iii", 16, 16, 3) + px * 256)
    return d


class Copy:
    """One copy of the game on its own X server."""

    def __init__(self, stack, ns, name):
        self.x = stack.enter_context(harness.Xvfb())
        self.game = stack.enter_context(harness.Game(ARGS.binary, [name, "WINDOW"], ns=ns, display=self.x.display,
                                                     cwd=standin_workdir(stack)))
        self.win = harness.wait_for_window(self.x.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.x.display, self.win)

    def click(self, vx, vy):
        harness.click_menu(self.xin, vx, vy)

    def type_line(self, text):
        self.xin.move(300, 200)
        self.xin.focus()
        self.xin.type(text, delay_ms=30)
        self.xin.key("Return")

    def grab(self):
        """The window's pixels as the X server shows them."""
        with tempfile.TemporaryDirectory() as t:
            return harness.grab_window(self.x.display, self.win, os.path.join(t, "grab.png"))

    def wait_for(self, regex, timeout, stream="stdout"):
        line = self.game.wait_for_line(regex, timeout, stream=stream)
        return re.search(regex, line) if line is not None else None


class PeerProtocol(unittest.TestCase):
    def setUp(self):
        self.stack = contextlib.ExitStack()
        self.net = self.stack.enter_context(harness.linked_namespaces(2))
        self.copy = Copy(self.stack, self.net[0], "lobbygame")
        self.game = self.copy.game
        self.peer = self.stack.enter_context(harness.Peer(self.net[1], ARGS.peer))

    def tearDown(self):
        self.stack.close()

    def helos(self, since, until):
        return [d for _, d in self.peer.received(since, sender=None, until=until) if d[:4] == b"HELO"]

    def test_presence_chat_and_start(self):
        m = self.copy.wait_for(r"^my_numb = (\d+)$", 15)
        self.assertIsNotNone(m, self.game.dump())
        numb = int(m.group(1))
        time.sleep(1.0)
        t0 = self.peer.mark()
        time.sleep(2.0)
        heard = self.helos(t0, self.peer.mark())
        self.assertTrue(7 <= len(heard) <= 13, len(heard))
        senders = {s for s, d in self.peer.received(t0) if d[:4] == b"HELO"}
        self.assertEqual(senders, {self.net.sender_id(0)})
        body = heard[-1]
        self.assertEqual(len(body), 44)
        self.assertEqual(body[4:36], b"lobbygame".ljust(32, b"\0"))
        team, number = struct.unpack("<ii", body[36:44])
        self.assertIn(team, (0, 1))
        self.assertEqual(number, numb)

        # Chat from a stranger is refused; after its HELO the peer is known.
        self.peer.send("chat too early")
        self.assertIsNotNone(self.copy.wait_for(
            r"Received CHAT message from unknown source: %s" % self.net.sender_id(1), 5, stream="stderr"))
        # Announcing the game's own number: the game counts the peer and,
        # seeing the collision, draws itself a new number.
        self.peer.send("autohelo peer 0 %d" % numb)
        m2 = self.copy.wait_for(r"^my_numb = (?!%d$)(\d+)$" % numb, 5)
        self.assertIsNotNone(m2, self.game.dump())
        numb = int(m2.group(1))
        self.peer.send("autohelo peer 0 %d" % ((numb + 1) % 1024))
        time.sleep(0.5)
        n_err = len(self.game.output("stderr"))
        self.peer.send("chat hello from the peer")
        time.sleep(1.0)
        self.assertFalse([l for l in self.game.output("stderr")[n_err:] if "CHAT" in l])

        self.peer.send("seedchannel 12345")
        ch = int(self.peer.wait_for(r"^CHANNEL (\d+)$", 5).group(1))
        self.peer.send("strt 12345")
        self.assertIsNotNone(self.copy.wait_for(r"^starting game with random seed = 12345$", 5))
        self.peer.send("noauto")
        self.peer.send("join %d" % ch)
        time.sleep(2.0)
        t1 = self.peer.mark()
        time.sleep(2.0)
        want_id = 0x80400 + numb
        batches = 0
        for _, body in self.peer.received(t1, until=self.peer.mark()):
            if body[:4] != b"UUPD":
                continue
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
        # At most 20 a second; at least one every other frame, and the
        # sanitizer build on a loaded machine may draw fewer than 30 frames
        # a second (a send is due 0.05 s after the last, checked once a frame).
        self.assertTrue(20 <= batches <= 50, batches)
        self.assertIn(vals[2], (188.0, -188.0))


class ThreeCopies(unittest.TestCase):
    def setUp(self):
        self.stack = contextlib.ExitStack()
        self.net = self.stack.enter_context(harness.linked_namespaces(4))
        self.dpys = [Copy(self.stack, self.net[i], name) for i, name in enumerate(("alpha", "bravo", "charlie"))]
        self.games = [c.game for c in self.dpys]

    def tearDown(self):
        self.stack.close()

    def side(self, i, team):
        """Copy i takes a side in its open team window."""
        harness.choose_team(self.dpys[i].xin, team, game=self.games[i], open_window=False)

    def test_lobby_of_three(self):
        for g in self.games:
            self.assertIsNotNone(g.wait_for_line(r"^my_numb = \d+$", 15), g.dump())
        time.sleep(2.0)
        for i, d in enumerate(self.dpys):
            d.click(875, 975)  # "Teams"
        time.sleep(1.0)
        self.side(0, 0)  # alpha: Attackers
        self.side(1, 1)  # bravo: Defenders
        self.side(2, 0)  # charlie: Attackers
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
        self.side(1, 0)
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
            self.assertFalse([l for l in g.output("stderr") if "unknown source" in l], g.dump())

        # charlie is killed: gone from the others' tables after 4 s, not before.
        for d in self.dpys[:2]:
            d.click(875, 975)
        time.sleep(1.0)
        before = team_pixels(self.dpys[0].grab())[0]
        self.games[2].kill()
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

        # bravo defends again (a game without defenders is won at once), and
        # Start Game on alpha brings bravo along on the same channel.
        self.side(1, 1)
        time.sleep(1.0)
        with harness.Peer(self.net[3], ARGS.peer) as peer:
            self.dpys[0].click(175, 125)
            m = self.dpys[1].wait_for(r"^starting game with random seed = (\d+)$", 10)
            self.assertIsNotNone(m, self.games[1].dump())
            seed = int(m.group(1))
            self.assertTrue(10240 <= seed <= 10240 + 49999)
            peer.send("seedchannel %d" % seed)
            ch = int(peer.wait_for(r"^CHANNEL (\d+)$", 5).group(1))
            peer.send("join %d" % ch)
            time.sleep(3.0)
            senders = {s for s, d in peer.received() if d[:4] == b"UUPD"}
            self.assertEqual(senders, {self.net.sender_id(0), self.net.sender_id(1)})


if __name__ == "__main__":
    harness.main(ARGS)
