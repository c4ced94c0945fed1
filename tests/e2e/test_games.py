"""Two games in one run of the program: real copies in linked namespaces,
each under its own Xvfb, real X input, and a protocol peer.

Copy A defends against the peer. In the first game lighting goes off and
on again ("N", "J": the picture brightens and returns), the night falls
(the "K" key) and the peer's lightning strikes; the game ends when the peer's
figure dies, and a click takes A back to the lobby. A fresh copy B joins A
there, and the peer starts a second game. In it A must be as good as B in
its first: A reports its figure from its first second, as often as its
frames allow (up to 20 times a second); the world both copies print when
they have built it ("world: ...": terrain, trees, models, clouds, water,
night, last strike) is the same; and a few seconds later, on the "Y" key,
both count the same units. At the end of the second game A holds as much
memory, within a few MB, as at the end of the first."""
import contextlib, math, os, re, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

ARGS = harness.default_paths()
FIGURE_ID_BASE = 0x80400
PEER_NUMBER = 1023  # the highest: the peer never leads a side it shares
FPS = r"^FPS: (\d+) "
WORLD = r"^world: .*$"
MEMORY_SLACK_KB = 6144


class Copy:
    def __init__(self, stack, ns, name):
        self.x = stack.enter_context(harness.Xvfb())
        self.dir = stack.enter_context(harness.workdir(ARGS.data))
        # Freed memory is reused at once under the sanitizer too, so that
        # resident memory measures what the game keeps.
        self.game = harness.Game(ARGS.binary, [name, "WINDOW"], ns=ns, display=self.x.display, cwd=self.dir,
                                 env={"ASAN_OPTIONS": "quarantine_size_mb=0"})
        stack.enter_context(self.game)
        win = harness.wait_for_window(self.x.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.x.display, win)
        self.xin.move(300, 200)

    def number(self):
        return int(re.findall(r"^my_numb = (\d+)$", self.game.stdout_text(), re.M)[-1])

    def key(self, k):
        """A typed key with Shift held (the game reads it from the keyboard
        state when the event arrives)."""
        self.xin.key_down("shift")
        time.sleep(0.2)
        self.xin.key(k)
        time.sleep(0.2)
        self.xin.key_up("shift")


def world_without_units(line):
    return re.sub(r", units .*$", "", line)


def unit_counts(line):
    """Units by kind, ships aside: a ship lives only on its side's leader."""
    m = re.search(r"units (\d+) \((\d+) humanoids, (\d+) catapults, (\d+) rams, (\d+) ships\)", line)
    total, humanoids, catapults, rams, ships = map(int, m.groups())
    return total - ships, humanoids, catapults, rams


class TwoGames(unittest.TestCase):
    def line(self, g, regex, start, timeout=30):
        found = g.wait_for_line(regex, timeout, stream="stdout", start=start)
        self.assertIsNotNone(found, "no line /%s/\n%s" % (regex, g.dump()))
        return found

    def win_against_peer(self, a, peer):
        """A's resident memory at the end of a game (its world at its full
        size, the sanitizer's and the allocator's returns to the system
        aside); then the peer's figure dies, and A has won."""
        rss = harness.memory(harness.game_pid(a.game))[0]
        peer.send("cmnd UDIE 0x%X 0 0 0" % (FIGURE_ID_BASE + PEER_NUMBER))
        deadline = time.time() + 15
        while time.time() < deadline:
            m = a.game.mark()
            time.sleep(1.5)
            if not any(l.startswith("FPS: ") for s, l in a.game.lines[m:]):
                break
        else:
            self.fail("A did not leave play\n" + a.game.dump())
        return rss

    def test_second_game_is_as_good_as_the_first(self):
        with contextlib.ExitStack() as stack:
            net = stack.enter_context(harness.linked_namespaces(3))
            a = Copy(stack, net[0], "again")
            peer = stack.enter_context(harness.Peer(net[1], ARGS.peer))
            self.line(a.game, r"^my_numb = \d+$", 0, 20)
            harness.choose_team(a.xin, 1, game=a.game)
            peer.send("autohelo rival 0 %d" % PEER_NUMBER)
            time.sleep(1.5)

            # The first game: night, a lightning strike, and then it ends.
            m = a.game.mark()
            peer.send("strt 31001")
            peer.send("seedchannel 31001")
            peer.send("join %s" % peer.wait_for(r"^CHANNEL (\d+)$", 5).group(1))
            self.line(a.game, FPS, m, 40)
            # Lighting off (N) shows: walls and houses turned from the sun
            # are no longer shaded, and the picture brightens; J brings it
            # back.
            time.sleep(1.0)
            lit = harness.take_screenshot(a.game, a.xin, 600, 400).mean_level(600, 400, 8)
            a.key("n")
            unlit = harness.take_screenshot(a.game, a.xin, 600, 400).mean_level(600, 400, 8)
            a.key("j")
            relit = harness.take_screenshot(a.game, a.xin, 600, 400).mean_level(600, 400, 8)
            print("mean brightness: lit %.1f, unlit %.1f, lit again %.1f" % (lit, unlit, relit))
            # The clouds drift meanwhile: lit again is near lit, far from unlit.
            self.assertGreater(unlit, lit + 10.0)
            self.assertLess(abs(relit - lit), (unlit - lit) / 4)
            a.key("k")
            peer.send("cmnd LIGH 20.0 -100.0 0 0")
            time.sleep(8)
            first = [l for s, l in a.game.lines[m:] if re.match(WORLD, l)]
            self.assertEqual(len(first), 1, a.game.dump())
            rss_first = self.win_against_peer(a, peer)

            # Back to the lobby at a click, where a fresh copy joins.
            mp = peer.mark()
            peer.send("join 0")
            a.xin.move(300, 200)
            a.xin.click(1)
            self.assertIsNotNone(peer.wait_for(r"^RECV \S+ %s \d+ 48454c4f" % net.sender_id(0), 10, since=mp),
                                 "A is not back in the lobby\n" + a.game.dump())
            # The lobby draws the side afresh: A defends again, and so does B.
            harness.choose_team(a.xin, 1, game=a.game)
            b = Copy(stack, net[2], "fresh")
            self.line(b.game, r"^my_numb = \d+$", 0, 20)
            harness.choose_team(b.xin, 1, game=b.game)
            time.sleep(2.0)

            # The second game of A, the first of B, on one seed.
            ma, mb, mp = a.game.mark(), b.game.mark(), peer.mark()
            peer.send("strt 47474")
            peer.send("seedchannel 47474")
            peer.send("join %s" % peer.wait_for(r"^CHANNEL (\d+)$", 5, since=mp).group(1))
            for c in (a, b):
                self.line(c.game, r"^starting game with random seed = 47474$", ma if c is a else mb, 15)
            world_a = self.line(a.game, WORLD, ma)
            world_b = self.line(b.game, WORLD, mb)
            self.assertEqual(world_without_units(world_a), world_without_units(world_b))
            self.assertIn("night 0 phase 0.00, strike -1e+13", world_a)

            # A reports its figure from its first frame on, once a frame up
            # to 20 times a second, like B.
            self.line(a.game, FPS, ma, 40)
            time.sleep(6.5)
            fps_a = [int(re.match(FPS, l).group(1)) for s, l in a.game.lines[ma:] if re.match(FPS, l)]
            sent_a = peer.record_times(FIGURE_ID_BASE + a.number(), mp, net.sender_id(0))
            sent_b = peer.record_times(FIGURE_ID_BASE + b.number(), mp, net.sender_id(2))
            self.assertTrue(sent_a and sent_b, "no state records:\n" + a.game.dump())
            print("second game: A's frames %s; A's first record %.2f s after B's" % (fps_a, sent_a[0] - sent_b[0]))
            self.assertLess(abs(sent_a[0] - sent_b[0]), 5.0, "A's first record came late")
            for second in range(5):
                t0 = sent_a[0] + second
                n = sum(1 for t in sent_a if t0 <= t < t0 + 1)
                frames = fps_a[second] if second < len(fps_a) else fps_a[-1]
                # A send is due 0.05 s after the last, and checked once a frame.
                due = frames / math.ceil(max(frames, 1) / 20.0)
                self.assertGreaterEqual(n, 0.6 * due, "second %d: %d records at %s frames a second"
                                        % (second + 1, n, fps_a))

            # Both count the same units (every "UNIT" has arrived by now).
            ca, cb = a.game.mark(), b.game.mark()
            a.key("y")
            b.key("y")
            self.assertEqual(unit_counts(self.line(a.game, WORLD, ca, 5)), unit_counts(self.line(b.game, WORLD, cb, 5)))

            time.sleep(4.0)  # as long in play as the first game
            rss_second = self.win_against_peer(a, peer)
            print("resident memory at the end of the first game %d kB, of the second %d kB" % (rss_first, rss_second))
            self.assertLess(rss_second - rss_first, MEMORY_SLACK_KB)


if __name__ == "__main__":
    harness.main(ARGS)
