"""End-to-end check of a hostile participant: one real copy and
tools/kelvarin_peer in namespaces linked by a bridge. The peer joins the
game as an attacker and lies in every way the protocol lets it:

- in the menu: chat before announcing itself, HELO with the copy's own
  number, with a number out of range and of the wrong length, a flood
  of thousands of full-size chat lines (the chat keeps a bounded number of
  entries, so the copy's memory stays flat), lightning with no sky, and a
  flood of HELO under a thousand names (the table keeps 1024 entries, and
  their figures take no ids from the soldiers: those the copy makes later
  stay in the defenders' range);
- in play: orders for the defenders' footmen and for units that do not
  exist, orders that are no orders, state records for unknown ids and
  batches that overrun their datagram, records with non-finite and absurd
  values (engines and soldiers alike), records for the copy's own units,
  "UDIE" for unknown units, a footman and the copy's own figure, "GBRK" for
  gates that do not exist, throws ("UBAL") with a ram, a footman and a
  figure, and with the other side's catapult (announced by a second peer,
  a defender that does not lead), throws with no heading, a tower archer's
  shot for the attackers ("UARW"), a unit striking itself ("USWD"), "UNIT"
  with ids outside the attackers' range, a dragon at the end of its id
  class with state records that are no dragon's, invisibility for a unit
  that is not the sender's figure, the gate worked by an attacker, a stream
  of lightning (the storm clouds stay bounded), a second "STRT", HELO and
  chat floods (dropped in play), unknown tags with terminal escapes
  (printed escaped), and at last "UDIE" for its own figure, after which the
  copy no longer knows it and, the only one left, has won.

The copy must keep drawing frames ("FPS:" lines) until then, refuse what it
refuses with its own lines, and create nothing from the lies (its census
on the "Y" key counts only the units the peers rightly announced); its
victory screen gives way to the lobby at a click."""
import contextlib, os, re, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

ARGS = harness.default_paths()
AVATAR_ID_BASE = 0x80400
CHAT_LINE = 1100  # longer than a datagram carries: the copy reports each one


class HostilePeer(unittest.TestCase):
    def expect(self, g, regex, start, timeout=10):
        line = g.wait_for_line(regex, timeout, start=start)
        self.assertIsNotNone(line, "no line /%s/\n%s" % (regex, g.dump()))
        return line

    def still_playing(self, g, what):
        """The copy runs and draws: a fresh "FPS:" line within 3 s."""
        self.assertTrue(g.running(), "%s: the copy ended\n%s" % (what, g.dump()))
        self.assertIsNotNone(g.wait_for_line(r"^FPS: ", 3, start=g.mark()),
                             "%s: no frames\n%s" % (what, g.dump()))

    def census(self, g, xin):
        """The copy's "world: ..." line on the "Y" key (Shift held)."""
        m = g.mark()
        xin.key_down("shift")
        time.sleep(0.2)
        xin.key("y")
        time.sleep(0.2)
        xin.key_up("shift")
        return self.expect(g, r"^world: ", m, 5)

    def refused(self, g, peer, command, regex):
        """One lie, and the copy's line refusing it."""
        m = g.mark()
        peer.send(command)
        return self.expect(g, regex, m)

    def test_hostile_peer(self):
        with contextlib.ExitStack() as stack:
            net = stack.enter_context(harness.linked_namespaces(3))
            x = stack.enter_context(harness.Xvfb())
            d = stack.enter_context(harness.workdir(ARGS.data))
            # In the sanitizer build freed memory waits in a quarantine
            # instead of being reused, which would read as growth below.
            g = harness.Game(ARGS.binary, ["keeper", "WINDOW"], ns=net[0], display=x.display, cwd=d,
                             env={"ASAN_OPTIONS": "quarantine_size_mb=0"})
            stack.enter_context(g)
            win = harness.wait_for_window(x.display, "Kelvarin", timeout=30, game=g)
            xin = harness.XInput(x.display, win)
            peer = stack.enter_context(harness.Peer(net[1], ARGS.peer))
            peer_id = net.sender_id(1)
            # A defender with the highest number: it never leads.
            ally = stack.enter_context(harness.Peer(net[2], ARGS.peer))
            self.expect(g, r"^my_numb = \d+$", 0, 20)
            pid = harness.game_pid(g)

            # The copy defends alone, so it leads the defenders.
            harness.choose_team(xin, 1, game=g)

            # Chat from a sender that has not announced itself.
            m = g.mark()
            peer.send("chat who am I")
            self.expect(g, r"Received CHAT message from unknown source: %s" % peer_id, m)

            # Announced: an attacker with a high number.
            peer.send("autohelo liar 0 1000")
            time.sleep(1.0)  # the copy prints nothing on arrival
            m = g.mark()
            peer.send("chat " + "x" * CHAT_LINE)
            self.expect(g, r"CHAT message from %s fills a whole datagram" % peer_id, m)

            # Presence lies: the copy's own number (it draws another), a
            # number out of range, a HELO of the wrong length.
            nums = re.findall(r"^my_numb = (\d+)$", g.stdout_text(), re.M)
            mine = int(nums[-1])
            m = g.mark()
            peer.send("helo liar 0 %d" % mine)
            line = self.expect(g, r"^my_numb = \d+$", m)
            self.assertNotEqual(int(line.split()[-1]), mine)
            peer.send("helo liar 0 5000")
            self.expect(g, r"HELO from %s carries number 5000 outside 0\.\.1023, dropped" % peer_id, m)
            peer.send("raw " + (b"HELO" + b"liar" + bytes(20)).hex())
            self.expect(g, r"Malformed network HELO message, len = 28, from %s" % peer_id, m)

            # A chat flood: several megabytes of lines, of which the chat
            # keeps only its newest entries. The team window stays in front
            # meanwhile: drawing a window full of text makes the software GL
            # driver grow its own buffers by tens of megabytes (bounded), which
            # would hide what the chat itself keeps.
            time.sleep(1.0)
            rss0 = harness.memory(pid)[0]
            m = g.mark()
            peer.send("flood 6000 %d 1200" % CHAT_LINE)
            self.assertIsNotNone(peer.wait_for(r"^FLOODED 6000$", 60), peer.lines[-5:])
            time.sleep(1.5)
            got = sum(1 for s, l in g.lines[m:] if "CHAT message from %s fills" % peer_id in l)
            rss1 = harness.memory(pid)[0]
            print("chat flood: %d of 6000 lines taken, VmRSS %d kB -> %d kB" % (got, rss0, rss1))
            self.assertGreater(got, 2000, "too few flood lines arrived for the check to mean anything")
            # Unbounded storage would grow by about got * CHAT_LINE bytes.
            self.assertLess((rss1 - rss0) * 1024, got * CHAT_LINE * 0.6,
                            "memory grew with the chat flood: %d -> %d kB" % (rss0, rss1))
            self.assertTrue(g.running(), g.dump())
            harness.click_menu(xin, 875 - 50 - 250, 975)  # "Chat": the window draws what it kept
            time.sleep(1.0)
            shot = harness.take_screenshot(g, xin, 600, 400)  # the menu still runs its frames
            self.assertFalse(shot.is_uniform())

            # Lightning with no world, and presence under a thousand names: the
            # table stops at 1024 entries; the names leave again in 4 s.
            self.refused(g, peer, "cmnd LIGH 1.0 1.0 0 0", r"^LIGH while no game is played, ignored$")
            m = g.mark()
            # (Half again as many names as there is room for: a loaded machine
            # drops datagrams, and the table must still fill.)
            peer.send("heloflood 1536 bot 0 1000 1500")
            self.assertIsNotNone(peer.wait_for(r"^FLOODED 1536$", 30), peer.lines[-5:])
            self.expect(g, r"^the participant table is full \(1024 entries\): bot\d+ not added$", m)
            ally.send("autohelo ally 1 1023")
            time.sleep(5.0)

            # Into play with a seed of the peer's choosing.
            peer.send("strt 23456")
            self.expect(g, r"^starting game with random seed = 23456$", m, 15)
            peer.send("seedchannel 23456")
            ch = peer.wait_for(r"^CHANNEL (\d+)$", 5)
            peer.send("join %s" % ch.group(1))
            ally.send("join %s" % ch.group(1))
            self.expect(g, r"^FPS: ", m, 30)
            xin.move(300, 200)
            mark_p = peer.mark()
            time.sleep(2.0)
            units = peer.units(mark_p)
            footmen = sorted(u for u in units if (u >> 12) == 0x80)
            self.assertGreaterEqual(len(footmen), 8, units.keys())
            copy_avatar = AVATAR_ID_BASE + int(re.findall(r"^my_numb = (\d+)$", g.stdout_text(), re.M)[-1])
            self.assertIn(copy_avatar, units)
            # The figures of the HELO flood took no serials: every soldier the
            # copy made is in the defenders' range, below the figures'.
            made = [u for u in units if u not in (copy_avatar, AVATAR_ID_BASE + 1023)]  # the ally's figure too
            self.assertEqual([hex(u) for u in made if not 0x80000 <= u < 0x80400], [])
            archer = min(u for u in made if len(units[u]) == 4)
            peer_avatar = AVATAR_ID_BASE + 1000
            f = footmen[0]
            play_start = g.mark()

            # Orders for the other team's units, for nothing, and no orders.
            m = g.mark()
            peer.send("repeat 50 cmnd ORDR 0x%X 1.0 0.0 300.0" % f)
            self.expect(g, r"member of team 0 tried to order unit %08X of team 1" % f, m)
            peer.send("cmnd ORDR 0x7ABCDE 1.0 0.0 0.0")
            self.expect(g, r"tried to issue order 1->\(0\.000000,0\.000000\) to unit 007ABCDE which doesn't exist!", m)
            peer.send("cmnd ORDR 0x%X nan nan inf" % f)
            self.expect(g, r"ORDR for unit %08X with order -1 to \(nan,inf\) is no order, ignored" % f, m)
            self.still_playing(g, "orders")

            # State records for units that do not exist, batches that claim
            # more records than they hold, records with impossible values.
            m = g.mark()
            peer.send("repeat 20 uupd 25 0x00081F00 7 1.5")
            peer.send("repeat 20 uupd 20 0x00050000 9 1.5")
            peer.send("uupd 2 0x00081F00 7 1.5 100000")
            self.expect(g, r"UUPD from %s overruns its 80 bytes at record 2 of 100000, rest dropped" % peer_id, m)
            peer.send("uupd 1 0x%X 7 nan" % peer_avatar)
            self.expect(g, r"received humanoid update for %08X with a value out of range, ignored" % peer_avatar, m)
            self.refused(g, peer, "uupd 1 0x%X 7 1.0" % f,
                         r"member of team 0 sent the state of unit %08X of team 1, ignored" % f)
            peer.send("uupd 1 0x%X 5 1.0" % peer_avatar)
            self.expect(g, r"received \d-humanoid update with 5 params", m)
            self.still_playing(g, "state records")

            # Deaths of nothing, of a footman and of the copy's own figure.
            m = g.mark()
            peer.send("repeat 30 cmnd UDIE 0x00081234 0 0 0")
            peer.send("cmnd UDIE 0x%X 0 0 0" % f)
            self.expect(g, r"member of team 0 tried to kill unit %08X of team 1" % f, m)
            peer.send("cmnd UDIE 0x%X 0 0 0" % copy_avatar)
            self.expect(g, r"member of team 0 tried to kill unit %08X of team 1" % copy_avatar, m)

            # Broken gates that do not exist.
            for index, shown in (("100000.0", "100000"), ("-7.0", "-7"), ("nan", "-1")):
                self.refused(g, peer, "cmnd GBRK %s 1.0 0 0" % index,
                             r"GBRK for wall point %s, which starts no gate, ignored" % shown)
            self.assertNotIn("sending command message GBRK", g.stdout_text())

            # Lies about what a unit is and whose it is. Rightly announced
            # first: the peer's ram, catapult and goblin, and the ally's
            # catapult (a defenders' one).
            before = self.census(g, xin)
            m = g.mark()
            for cmd in ("cmnd UNIT 0x40000 0 0 0", "cmnd UNIT 0x10001 0 0 0", "cmnd UNIT 0x81001 4.0 0 0"):
                peer.send(cmd)
            ally.send("cmnd UNIT 0x10005 0 0 0")
            for uid in ("00040000", "00010001", "00081001", "00010005"):
                self.expect(g, r"^spawning unit %s for team" % uid, m)
            lies = [
                # A ram, a soldier and a figure thrown with as catapults.
                ("cmnd UBAL 0x40000 90.0 0.0 0", r"Unit 00040000 trying to throw a ball, but is no catapult"),
                ("cmnd UBAL 0x81001 90.0 0.0 0", r"Unit 00081001 trying to throw a ball, but is no catapult"),
                ("cmnd UBAL 0x%X 90.0 0.0 0" % peer_avatar,
                 r"Unit %08X trying to throw a ball, but is no catapult" % peer_avatar),
                # The other side's catapult and footman thrown with.
                ("cmnd UBAL 0x10005 90.0 0.0 0", r"member of team 0 tried to throw with unit 00010005 of team 1"),
                ("cmnd UBAL 0x%X 90.0 0.0 0" % f, r"member of team 0 tried to throw with unit %08X of team 1" % f),
                # Headings no turn by turn ever brings home, on the wire.
                ("cmnd UBAL 0x10001 inf 0.0 0", r"UBAL for unit 00010001 with a heading or pitch out of range"),
                ("cmnd UBAL 0x10001 1.0e30 0.0 0", r"UBAL for unit 00010001 with a heading or pitch out of range"),
                ("uupd 1 0x40000 9 inf", r"received battering ram update for 00040000 with a value out of range"),
                ("uupd 1 0x10001 9 1.0e30", r"received catapult update for 00010001 with a value out of range"),
                ("uupd 1 0x81001 7 1.0e30", r"received humanoid update for 00081001 with a value out of range"),
                ("cmnd USWD 0x81001 0x%X 1.0e30 0" % f, r"USWD for unit 00081001 with no heading, ignored"),
                # A tower archer shooting for the attackers; a unit striking itself.
                ("cmnd UARW 0x%X 0.0 0.0 0" % archer,
                 r"member of team 0 tried to shoot with unit %08X of team 1" % archer),
                ("cmnd AARW nan 0.0 0 0", r"AARW for unit %08X with an aim out of range" % peer_avatar),
                ("cmnd USWD 0x81001 0x81001 0.0 0", r"USWD: unit 00081001 strikes itself, ignored"),
                # Ids outside the attackers' range: past its end, and the defenders'.
                ("cmnd UNIT 0x81FFF 4.0 0 0", r"UNIT 00081FFF \(kind 4\) from a member of team 0 is no unit"),
                ("cmnd UNIT 0x80005 4.0 0 0", r"UNIT 00080005 \(kind 4\) from a member of team 0 is no unit"),
                # Another's figure made invisible; the gate worked by an attacker.
                ("cmnd INVS 0x%X 1000.0 0 0" % copy_avatar, r"INVS for unit %08X, which is not the sender's figure"
                 % copy_avatar),
                ("cmnd GATE 0.0 0 0 0", r"member of team 0 tried to work the gates"),
                ("cmnd ORDR 0x%X 1.0 1.0e30 0.0" % f, r"ORDR for unit %08X with order 1 to .* is no order" % f),
            ]
            for cmd, regex in lies:
                self.refused(g, peer, cmd, regex)
            # A stream of lightning: the storm clouds stop at 32.
            m = g.mark()
            peer.send("repeat 40 cmnd LIGH 10.0 10.0 0 0")
            self.expect(g, r"LIGH at \(10, 10\): the sky holds 32 storm clouds already, ignored", m)
            self.still_playing(g, "lies about units")
            after = self.census(g, xin)
            self.assertLessEqual(int(re.search(r"\((\d+) storm\)", after).group(1)), 32, after)
            count = lambda line: int(re.search(r"units (\d+)", line).group(1))
            self.assertEqual(count(after), count(before) + 4, (before, after))

            # A second start, presence and chat in play, unknown tags and a
            # command cut short.
            peer.send("strt 99999")
            self.expect(g, r"Received STRT \(seed 99999\) while not in the menu; the game in progress goes on", m)
            peer.send("repeat 20 helo liar 1 %d" % (copy_avatar - AVATAR_ID_BASE))
            mark_f = peer.mark()
            peer.send("flood 3000 %d 1000" % CHAT_LINE)
            deadline = time.time() + 30
            while not peer.wait_for(r"^FLOODED 3000$", 1, since=mark_f):
                self.still_playing(g, "chat flood in play")
                self.assertLess(time.time(), deadline, "the peer's flood did not end")
            peer.send("raw " + b"ZZZZjunk\x1b[2J\\".hex())
            self.expect(g, r"^type = ZZZZ$", m)
            self.expect(g, r"^ZZZZjunk\\x1b\[2J\\\\$", m)
            self.assertNotIn("\x1b", g.stdout_text())
            peer.send("raw " + (b"CMNDUDIE" + bytes(4)).hex())
            self.expect(g, r"Malformed network CMND message, len = 12, from %s" % peer_id, m)
            self.still_playing(g, "junk")

            # The footman still stands and is still reported; nothing the
            # peer named was created; the copy kept its number in play.
            mark_p = peer.mark()
            time.sleep(1.5)
            units = peer.units(mark_p)
            self.assertIn(f, units)
            self.assertIn(copy_avatar, units)
            played = "\n".join(l for s, l in g.lines[play_start:])
            self.assertEqual(sorted(re.findall(r"^spawning unit (\w+)", played, re.M)),
                             ["00010001", "00010005", "00040000", "00081001"])
            self.assertNotRegex(played, r"my_numb = ")
            self.assertNotIn("fills a whole datagram", played)
            # The refused order did not send the footman off toward z = 300.
            self.assertLess(units[f][2], 150.0, units[f])

            # A dragon of the peer's side with the last serial of its class
            # (the copy's counter starts again inside the class), then state
            # records that are no dragon's: refused, one by one.
            m = g.mark()
            peer.send("cmnd UNIT 0x5FFFF 0.0 0 0")
            self.expect(g, r"^spawning dragon 0005FFFF, team 0, dr_id = 0$", m)
            peer.send("uupd 1 0x5FFFF 9 nan")
            self.expect(g, r"received dragon update for 0005FFFF with value 0 out of range, ignored", m)
            m = g.mark()
            peer.send("uupd 1 0x5FFFF 9 1000000.0")
            self.expect(g, r"received dragon update for 0005FFFF with value 0 out of range, ignored", m)
            peer.send("uupd 1 0x5FFFF 4 1.0")
            self.expect(g, r"received dragon update with 4 params", m)
            peer.send("cmnd UDIE 0x5FFFF 0 0 0")
            self.still_playing(g, "dragon records")

            # The peer kills its own figure: that ends its participation, and
            # the copy, with nobody left on the other side, has won. It shows
            # its still screen, plays no more, and a click brings it back to
            # the lobby's channel, where it announces itself again.
            self.assertGreater(g.count_lines(r"^FPS: "), 5)
            peer.send("cmnd UDIE 0x%X 0 0 0" % peer_avatar)
            time.sleep(2.0)
            m = g.mark()
            time.sleep(2.5)
            self.assertEqual(len([1 for s, l in g.lines[m:] if l.startswith("FPS: ")]), 0, g.dump())
            self.assertTrue(g.running(), g.dump())
            shot = harness.take_screenshot(g, xin, 600, 400)
            if os.environ.get("KELVARIN_E2E_OUT"):
                shot.to_png(os.path.join(os.environ["KELVARIN_E2E_OUT"], "victory.png"))
            white = sum(1 for y in range(150, 250) for x in range(0, 600, 2) if min(shot.pixel(x, y)) > 230)
            self.assertGreater(white, 300, "no victory message on the screen")
            self.assertEqual(sum(1 for y in range(0, 100) for x in range(0, 600, 2) if min(shot.pixel(x, y)) > 230), 0)
            m = peer.mark()
            peer.send("join 0")
            xin.move(300, 200)
            xin.click(1)
            self.assertIsNotNone(peer.wait_for(r"^RECV \S+ %s \d+ 48454c4f" % net.sender_id(0), 10, since=m),
                                 "no HELO in the lobby after the click\n" + g.dump())
            self.assertTrue(g.running(), g.dump())


if __name__ == "__main__":
    harness.main(ARGS)
