"""The gods end to end: two real copies (the attackers' player and the
defenders' player, both in GOD mode, so prayer runs 25 times as fast) and a
protocol peer listening on the game channel, in bridged namespaces, with
real X input, on a level island with one temple behind the attacker.

- The attacker steps back against the temple, holds Shift and presses the
  pray button until spell buttons appear; the screenshot shows a button,
  the god's banner and the two status bars.
- It casts what the gods give and prays on until it has summoned units
  (each appears on the defender's copy), sent a firestorm (exactly ten
  "FIRE" within 10 of the clicked point; the defender launches ten meteors),
  called the dragon (it appears on the defender's copy, flies toward its
  summoner in the attacker's records, and is sent away with the dismount
  button) and holds lightning. Grants are draws from the shared generator, so the
  run casts and prays again until each spell has come, within a bound.
- The defender walks out, the attacker follows and strikes it with
  lightning: the defender's sky darkens and its health bar loses what 1 s
  to 5 s after the strike takes, no more.
- The defender walks into the goblins and is killed: the lost screen on
  its copy, the won screen on the attacker's.

  python3 tests/e2e/test_gods.py [--binary build/kelvarin] [--peer ...] [--data build/data]
"""
import contextlib, math, os, re, struct, sys, time, unittest

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

ARGS = harness.default_paths()
W, H = 600, 400
GROUND = 20.0
TEMPLE = (0, 200)  # the attackers' temple, just behind their start at z = 188
SUMMONS = {2: 8, 6: 4, 8: 4, 9: 3, 10: 6}  # spell code: units it brings
FIRESTORM, LIGHTNING, DRAGON, DISMOUNT = 3, 5, 1, 7
DISMISS = 500.0  # where a dismissed dragon flies, on x, y and z
FIRE_PIXEL = (450, 215)  # ground ahead and to the right of the praying attacker
MAX_CASTS = 90
FIGURE_ID_BASE = 0x80400


def overlay_pixel(x, y):
    """Window pixel of a point of the overlay plane (eye coordinates at
    depth 2.001, where the view spans 2.001 to each side, 1.50075 up and
    down)."""
    return int(round(W / 2 + x / 2.001 * W / 2)), int(round(H / 2 - y / 1.50075 * H / 2))


SLOT_ROW = 375  # the command bar's buttons while Shift is held


def slot_pixel(k):
    return overlay_pixel(-1.5 + 0.5 * k, 0)[0], SLOT_ROW


def pick_pixel(eye, target):
    """The window pixel whose ground pick is `target` (x, y, z) for an eye
    (x, y, z, yaw, pitch): the game's picking ray run backwards."""
    ex, ey, ez, yaw, pitch = eye
    y, p = math.radians(yaw), math.radians(pitch)
    look = (math.cos(p) * math.sin(y), -math.sin(p), -math.cos(p) * math.cos(y))
    right0 = (math.cos(y), 0.0, math.sin(y))

    def cross(a, b):
        return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])

    def dot(a, b):
        return sum(i * j for i, j in zip(a, b))

    down = cross(look, right0)
    right = cross(down, look)
    d = (target[0] - ex, target[1] - ey, target[2] - ez)
    a, b, c = dot(d, look), dot(d, right), dot(d, down)
    return int(round(W // 2 + b / a * W / 2)), int(round(H // 2 + c / a * H / 1.5))


def cmnd_params(datagram):
    return struct.unpack("<4f", datagram[8:24]), struct.unpack("<4I", datagram[8:24])


def bright(p):
    return min(p) > 230


def sky_brightness(shot):
    """Mean brightness of the sky left of the minimap."""
    px = [shot.pixel(x, y) for y in range(0, 120, 4) for x in range(0, 440, 8)]
    return sum(sum(p) for p in px) / (3 * len(px))


def bar_end(shot, row):
    """Last column of the status bar on `row`: the bars add full green (or
    blue) to the scene, so a bar pixel is saturated in that channel."""
    x = overlay_pixel(-1.0, 0)[0] + 2
    end = x - 1
    while x < W and shot.pixel(x, row)[1] >= 250 and shot.pixel(x, row)[0] < 200:
        end = x
        x += 1
    return end


class Copy:
    def __init__(self, stack, ns, name):
        self.x = stack.enter_context(harness.Xvfb())
        self.dir = stack.enter_context(
            harness.workdir(ARGS.data, omit=("walls.txt", "houses.txt", "trees.txt")))
        with open(os.path.join(self.dir, "terrain.out"), "wb") as f:
            f.write(struct.pack("<%df" % (128 * 128), *([GROUND] * (128 * 128))))
        with open(os.path.join(self.dir, "houses.txt"), "w") as f:
            f.write("t, %d, %d, 0, 0, 0\n" % TEMPLE)
        self.game = harness.Game(ARGS.binary, [name, "WINDOW", "GOD"], ns=ns, display=self.x.display, cwd=self.dir)
        stack.enter_context(self.game)
        win = harness.wait_for_window(self.x.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.x.display, win)

    def number(self):
        nums = re.findall(r"^my_numb = (\d+)$", self.game.stdout_text(), re.M)
        return int(nums[-1])

    def shot(self, name=None):
        s = harness.take_screenshot(self.game, self.xin, W, H)
        if name and os.environ.get("KELVARIN_E2E_OUT"):
            os.makedirs(os.environ["KELVARIN_E2E_OUT"], exist_ok=True)
            s.to_png(os.path.join(os.environ["KELVARIN_E2E_OUT"], name))
        return s

    def eye(self):
        mark = self.game.mark()
        self.xin.key_down("shift")
        time.sleep(0.3)
        self.xin.key("y")
        time.sleep(0.3)
        self.xin.key_up("shift")
        line = self.game.wait_for_line(r"^eye stats: ", 5, start=mark)
        return tuple(float(v) for v in re.findall(r"-?[\d.]+", line)[:5])

    def face(self, yaw, pitch=0.0):
        """Turns the view with the pointer (half a degree a pixel) until it
        looks along `yaw` at `pitch`."""
        for _ in range(4):
            eye = self.eye()
            dyaw = (yaw - eye[3] + 180.0) % 360.0 - 180.0
            if abs(dyaw) < 1.0 and abs(pitch - eye[4]) < 1.0:
                return eye
            self.xin.move(W // 2 + int(round(2 * dyaw)), H // 2 + int(round(2 * (pitch - eye[4]))))
            time.sleep(0.5)
        raise AssertionError("the view does not turn to %s, %s: %s" % (yaw, pitch, self.eye()))

    def press(self, x, y):
        self.xin.move(x, y)
        time.sleep(0.2)
        self.xin.click(1)
        time.sleep(0.2)

    def slots(self):
        """The spell slots as the game's own lines tell them."""
        s = [0, 0]
        for line in self.game.stdout_text().splitlines():
            m = re.match(r"^the gods grant spell (\d+) in slot (\d)$", line)
            if m:
                s[int(m.group(2))] = int(m.group(1))
            m = re.match(r"^casting spell (\d+) from slot (\d)$", line)
            if m:
                s[int(m.group(2))] = DISMOUNT if int(m.group(1)) == DRAGON else 0
        return s


class Gods(unittest.TestCase):
    def setUp(self):
        self.stack = contextlib.ExitStack()
        net = self.net = self.stack.enter_context(harness.linked_namespaces(3))
        self.a = Copy(self.stack, net[0], "attacker")
        self.d = Copy(self.stack, net[1], "defender")
        self.peer = self.stack.enter_context(harness.Peer(net[2], ARGS.peer))

    def tearDown(self):
        self.stack.close()

    def position(self, copy, timeout=5):
        """The copy's figure as its latest state records give it (or None)."""
        fig = FIGURE_ID_BASE + copy.number()
        sender = self.net.sender_id(0 if copy is self.a else 1)
        deadline = time.time() + timeout
        while True:
            rec = self.peer.units(max(0, self.peer.mark() - 200), sender=sender).get(fig)
            if rec or time.time() > deadline:
                return rec
            time.sleep(0.1)

    def walk_until(self, copy, key, done, limit=15):
        copy.xin.key_down(key)
        try:
            deadline = time.time() + limit
            while time.time() < deadline and not done(self.position(copy)):
                time.sleep(0.05)
        finally:
            copy.xin.key_up(key)
        time.sleep(0.5)
        where = self.position(copy)
        self.assertTrue(where and done(where), where)

    def start(self):
        a, d, peer = self.a, self.d, self.peer
        for c in (a, d):
            self.assertIsNotNone(c.game.wait_for_line(r"^my_numb = \d+$", 20), c.game.dump())
        harness.choose_team(d.xin, 1, game=d.game)
        harness.choose_team(a.xin, 0, game=a.game)
        time.sleep(1.5)
        harness.click_menu(a.xin, 175, 125)  # Start Game
        m = d.game.wait_for_line(r"^starting game with random seed = (\d+)$", 15)
        self.assertIsNotNone(m, d.game.dump())
        peer.send("seedchannel %s" % re.search(r"(\d+)$", m).group(1))
        peer.send("join %s" % peer.wait_for(r"^CHANNEL (\d+)$", 5).group(1))
        for c in (a, d):
            c.xin.move(W // 2, H // 2)
            self.assertIsNotNone(c.game.wait_for_line(r"^FPS: ", 40), c.game.dump())
            c.xin.move(W // 2, H // 2)
        # Each looks along its own way: the attacker toward -z, the defender +z.
        a.face(0.0)
        d.face(180.0)

    def first_prayer(self):
        """Back against the temple; the pray button until a spell button shows."""
        a = self.a
        a.xin.key_down("s")
        time.sleep(0.6)
        a.xin.key_up("s")
        time.sleep(0.5)
        a.xin.key_down("shift")
        time.sleep(0.8)
        bare = a.shot()
        mark = a.game.mark()
        a.press(*slot_pixel(1))
        self.assertIsNotNone(a.game.wait_for_line(r"^praying$", 5, start=mark), a.game.dump())
        self.assertIsNotNone(a.game.wait_for_line(r"^the gods grant spell \d+ in slot 0$", 20, start=mark),
                             a.game.dump())
        # The second slot fills soon after; with both full no grant (and no
        # banner) follows, so the second god's banner holds from 0.3 s to 3 s.
        self.assertIsNotNone(a.game.wait_for_line(r"^the gods grant spell \d+ in slot 1$", 20, start=mark),
                             a.game.dump())
        time.sleep(0.4)
        granted = a.shot("gods_granted.png")

        # A button in slot 2 where the bare wood was.
        sx, sy = slot_pixel(2)
        changed = sum(1 for y in range(sy - 15, sy + 10) for x in range(sx - 15, sx + 15)
                      if sum(abs(p - q) for p, q in zip(bare.pixel(x, y), granted.pixel(x, y))) > 60)
        self.assertGreater(changed, 150, "no spell button in slot 2")
        # The god's banner across the ground below the middle (its colour is
        # the god's, black for some, over a light shadow).
        banner = sum(1 for y in range(284, 316) for x in range(75, 525)
                     if sum(abs(p - q) for p, q in zip(bare.pixel(x, y), granted.pixel(x, y))) > 90)
        self.assertGreater(banner, 600, "no banner")
        # The bars on the panel: health full (green over two units), favour
        # blue over at least a third of its length.
        # (the top of the health bar: the panel hides its lower part and the
        # enlarged pray button its left end lower down)
        health_row = overlay_pixel(0, -1.28 + 0.29)[1]
        favour_row = overlay_pixel(0, -1.28 + 0.35)[1]
        self.assertGreaterEqual(bar_end(granted, health_row), overlay_pixel(0.97, 0)[0])
        blue = sum(1 for x in range(155, 300) if granted.pixel(x, favour_row)[2] >= 250
                   and granted.pixel(x, favour_row)[0] < 200)
        self.assertGreater(blue, 130, [granted.pixel(x, favour_row) for x in range(150, 300, 10)])

    def cast(self, k, code, mark):
        a = self.a
        a.press(*slot_pixel(2 + k))
        self.assertIsNotNone(a.game.wait_for_line(r"^casting spell %d from slot %d$" % (code, k), 5, start=mark),
                             a.game.dump())

    def summon(self, k, code):
        a, d, peer = self.a, self.d, self.peer
        pm, dm = peer.mark(), d.game.mark()
        self.cast(k, code, a.game.mark())
        n = SUMMONS[code]
        deadline = time.time() + 5
        while time.time() < deadline and len(peer.commands("UNIT", pm, self.net.sender_id(0))) < n:
            time.sleep(0.1)
        ids = [cmnd_params(dg)[1][0] for s, dg in peer.commands("UNIT", pm, self.net.sender_id(0))]
        self.assertEqual(len(ids), n, a.game.dump())
        for i in ids:
            self.assertIsNotNone(d.game.wait_for_line(r"^spawning unit %08X for team 0$" % i, 5, start=dm),
                                 d.game.dump())

    def firestorm(self, k, first):
        a, d, peer = self.a, self.d, self.peer
        pm, am, dm = peer.mark(), a.game.mark(), d.game.mark()
        self.cast(k, FIRESTORM, am)
        a.press(*FIRE_PIXEL)
        line = a.game.wait_for_line(r"^firestorm at \(", 5, start=am)
        self.assertIsNotNone(line, a.game.dump())
        if not first:
            return
        x, z = (float(v) for v in re.findall(r"-?[\d.]+", line))
        time.sleep(2.0)
        fires = [cmnd_params(dg)[0] for s, dg in peer.commands("FIRE", pm, self.net.sender_id(0))]
        self.assertEqual(len(fires), 10)
        # Offsets reach 10 exactly; allow for single-precision sums and the
        # six decimals the point is printed with.
        for fx, fz, _, _ in fires:
            self.assertLessEqual(abs(fx - x), 10.001)
            self.assertLessEqual(abs(fz - z), 10.001)
        self.assertEqual(len([1 for s, l in d.game.lines[dm:] if l.startswith("meteor falling at")]), 10)
        a.shot("gods_firestorm.png")

    def dragon(self, k):
        """The dragon called: it appears on the defender's copy, and the
        attacker's records of it show it on its way to the attacker; then
        the dismount button sends it away before it arrives."""
        a, d, peer = self.a, self.d, self.peer
        pm, am, dm = peer.mark(), a.game.mark(), d.game.mark()
        self.cast(k, DRAGON, am)
        line = a.game.wait_for_line(r"^summoned dragon \d+, name ([0-9A-F]{8})$", 5, start=am)
        self.assertIsNotNone(line, a.game.dump())
        name = line.split()[-1]
        self.assertIsNotNone(d.game.wait_for_line(r"^spawning dragon %s, team 0" % name, 5, start=dm), d.game.dump())
        time.sleep(2.5)  # it gathers speed from a standstill
        track = [vals for s, dg in peer.received(pm, self.net.sender_id(0)) if dg[:4] == b"UUPD"
                 for uid, vals in harness.unit_records([dg]).items() if uid == int(name, 16)]
        self.assertGreater(len(track), 10, "the dragon is not reported")
        me = self.position(a)
        dist = [math.dist(t[:3], me[:3]) for t in track]
        self.assertLess(dist[-1], dist[0] - 20.0, "the dragon does not fly to its summoner")
        pm = peer.mark()
        self.cast(k, DISMOUNT, a.game.mark())
        time.sleep(3.0)
        # Sent away: it turns (its speed eases round in about a second) and
        # its records then head for the far corner of the sky.
        away = [math.dist(vals[:3], (DISMISS,) * 3) for s, dg in peer.received(pm, self.net.sender_id(0))
                if dg[:4] == b"UUPD" for uid, vals in harness.unit_records([dg]).items() if uid == int(name, 16)]
        self.assertGreater(len(away), 5, "the dragon is not reported after the dismount")
        self.assertLess(away[-1], max(away) - 20.0, "the dismount does not send the dragon away")
        # The defender's copy took every record of it.
        self.assertEqual(d.game.count_lines(r"received (an update for )?dragon"), 0, d.game.dump())

    def pray_for_spells(self):
        """Casts and prays until a summon, a firestorm and the dragon have
        gone out and lightning waits in a slot; returns that slot."""
        a = self.a
        summoned = stormed = dragoned = False
        for casts in range(MAX_CASTS):
            slots = a.slots()
            if summoned and stormed and dragoned and LIGHTNING in slots:
                return slots.index(LIGHTNING)
            # Keep lightning; cast anything else (the next grant fills the slot).
            k = next((k for k in (0, 1) if slots[k] not in (0, LIGHTNING)), None)
            if k is None:
                a.game.wait_for_line(r"^the gods grant spell", 5, start=a.game.mark())
                continue
            code, mark = slots[k], a.game.mark()
            if code in SUMMONS and not summoned:
                self.summon(k, code)
                summoned = True
            elif code == FIRESTORM:
                self.firestorm(k, not stormed)
                stormed = True
            elif code == DRAGON and not dragoned:
                self.dragon(k)
                dragoned = True
            else:
                self.cast(k, code, mark)
            a.game.wait_for_line(r"^the gods grant spell \d+ in slot %d$" % k, 5, start=mark)
        self.fail("no summon, firestorm, dragon and lightning in %d casts: %s\n%s" % (MAX_CASTS, a.slots(),
                                                                                   a.game.dump()))

    def test_prayer_spells_lightning_and_death(self):
        a, d, peer = self.a, self.d, self.peer
        self.start()
        self.first_prayer()
        lightning_slot = self.pray_for_spells()
        a.xin.move(W // 2, H // 2)
        time.sleep(0.2)
        a.xin.key_up("shift")

        # The defender walks out toward the attackers' side, the attacker
        # follows to within 35 of it.
        self.walk_until(d, "w", lambda p: p[2] >= 60.0)
        target = self.position(d)
        self.walk_until(a, "w", lambda p: p[2] <= target[2] + 35.0)
        eye = a.eye()
        px, py = pick_pixel(eye, (target[0], GROUND, target[2]))
        self.assertTrue(0 <= px < W and H // 2 < py < H, (eye, target, px, py))

        before = d.shot("gods_defender_before.png")
        a.xin.key_down("shift")
        time.sleep(0.8)
        pm, am = peer.mark(), a.game.mark()
        self.cast(lightning_slot, LIGHTNING, am)
        a.press(px, py)
        a.xin.move(W // 2, H // 2)
        time.sleep(0.2)
        a.xin.key_up("shift")
        line = a.game.wait_for_line(r"^lightning strikes at \(", 5, start=am)
        self.assertIsNotNone(line, a.game.dump())
        sx, sz = (float(v) for v in re.findall(r"-?[\d.]+", line))
        self.assertLess(math.hypot(sx - target[0], sz - target[2]), 15.0, (sx, sz, target))
        self.assertIsNotNone(peer.wait_for(r"^RECV \S+ %s 24 434d4e444c494748" % self.net.sender_id(0), 5, pm))
        struck = peer.times("LIGH", pm)[0]
        time.sleep(max(0.0, struck + 2.5 - time.time()))
        dark = d.shot("gods_defender_struck.png")
        self.assertLess(sky_brightness(dark), 0.85 * sky_brightness(before),
                        (sky_brightness(dark), sky_brightness(before)))
        time.sleep(max(0.0, struck + 6.5 - time.time()))
        after = d.shot("gods_defender_hurt.png")
        time.sleep(1.5)
        later = d.shot()
        # Full health before; 15 - 2.4 x 4 = 5.4 left after the strike's
        # four seconds of harm (5.4 x 0.1333 of a bar 2 units long), and no
        # more harm after them.
        row = overlay_pixel(0, -1.73 + 0.25)[1]
        full, hurt, hurt_later = bar_end(before, row), bar_end(after, row), bar_end(later, row)
        self.assertGreaterEqual(full, overlay_pixel(0.97, 0)[0])
        expected = overlay_pixel(-1.0 + 5.4 * 0.1333, 0)[0]
        self.assertLess(abs(hurt - expected), 20, (full, hurt, expected))
        self.assertLessEqual(abs(hurt_later - hurt), 2, (hurt, hurt_later))

        # Into the goblins (16 of them, x -30 to -15, z 140 to 161): the
        # defender dies in the fight, and its copy plays no more.
        self.walk_until(d, "w", lambda p: p[2] >= 130.0)
        deadline = time.time() + 30
        while time.time() < deadline and d.game.wait_for_line(r"^FPS: ", 2.5, start=d.game.mark()):
            pass
        time.sleep(1.0)
        lost, won = d.shot("gods_lost.png"), a.shot("gods_won.png")
        red = sum(1 for y in range(100, 300) for x in range(0, W, 2)
                  if lost.pixel(x, y)[0] > 200 and max(lost.pixel(x, y)[1:]) < 60)
        self.assertGreater(red, 300, "no lost screen on the defender's copy")
        white = sum(1 for y in range(150, 250) for x in range(0, W, 2) if bright(won.pixel(x, y)))
        self.assertGreater(white, 300, "no won screen on the attacker's copy")
        for c in (a, d):
            self.assertTrue(c.game.running(), c.game.dump())


if __name__ == "__main__":
    harness.main(ARGS)
