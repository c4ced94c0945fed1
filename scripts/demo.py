#!/usr/bin/env python3
"""The headless demo: a real two-copy game, shown in pictures.

Two copies of the built game, one per side, each in its own private network
namespace (the two linked by a bridge, so their multicast reaches each
other and nothing else) and on its own virtual X display. Everything they
do comes from real input (XTEST through xdotool): the players pick their
teams in the menu, the attacker presses "Start Game", and then a short
battle is played through the game's own controls: the attacker looks over
the island at the city, selects the catapults and orders them to attack,
sends the goblins at the gate; the defender opens the gate, sends the
footmen out, and shoots from the gate while the tower archers shoot.

The island is the one the game generates from the start seed. Siege
engines drive straight at their target, so the attacker first writes the
island to terrain.out (the "O" key) and picks a target in the city that the
catapults can reach throwing range of over land.

Saved: numbered PNG screenshots of both copies (the game's own Alt+X
screenshots) and one animated GIF of the fight; their paths are printed.

    scripts/demo.py [--out DIR] [--binary build/kelvarin] [--data build/data]
"""
import argparse
import concurrent.futures
import contextlib
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

W, H = 800, 600  # full screen on a 4:3 virtual display, the view's own shape
GRID = 128
WATER = 10.0
CATAPULTS = [(4.0 * i, z) for z in (160.0, 145.0) for i in range(5)]
GOBLINS = [(5.0 * i - 30.0, 7.0 * j + 140.0) for i in range(4) for j in range(4)]
FOOTMEN = [(5.0 * i - 10.0, 5.0 * j - 160.0) for i in range(4) for j in range(4)]
# Places in the city a catapult may be sent against: the footmen's square,
# the temple court, the houses, the south wall.
CITY_TARGETS = [(-2.5, -152.5), (8.0, -140.0), (-30.0, -150.0), (-50.0, -130.0), (0.0, -125.0),
                (10.0, -180.0), (-55.0, -180.0), (-20.0, -190.0), (-60.0, -160.0), (-40.0, -116.0),
                (10.0, -116.0), (-6.0, -120.0)]
# How far the balls fall from the fight at the least (they are 2 across).
SAFE_GAP = 25.0
GATE_OUTSIDE = (-6.0, -92.0)  # just north of the gate
# The towers of the north wall (walls.txt), and how far behind the wall the
# defender stands; where the attacker may stand behind its army.
TOWERS = ((-72.0, -108.0), (-32.0, -108.0), (-16.0, -108.0), (4.0, -108.0), (16.0, -108.0))
TOWER_RADIUS = 5.0
WALL_SPOT_Z = -115.0
ATTACKER_RISE = 25.0  # how high above the ground the attacker looks over its army
DEFENDER_RISE = 26.0  # above the wall and its towers
ATTACKER_SPOTS = [(0.0, 188.0)] + [(float(x), float(z)) for z in (180, 190, 200, 170, 210)
                                   for x in (-10, -20, 10, -30, 20, -40)]
# In front of the north wall, nearest the gate first.
MEETING_PLACES = sorted(((x, z) for x in (-6.0, -20.0, 8.0, -34.0, 22.0, -46.0) for z in (-84.0, -76.0)),
                        key=lambda p: math.hypot(p[0] - GATE_OUTSIDE[0], p[1] - GATE_OUTSIDE[1]))
EYE_LINE = r"^eye stats: (\S+) (\S+) (\S+), looking (\S+) (\S+)$"


def log(msg):
    print("demo: %s" % msg, flush=True)


# --- the island ---------------------------------------------------------------

class Island:
    """The heightmap of terrain.out and the game's own queries on it."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.h = struct.unpack("<%df" % (GRID * GRID), f.read(4 * GRID * GRID))

    def height(self, x, z):
        if not (-258 < x < 258 and -258 < z < 258):
            return WATER - 20.0
        u, v = 64.0 + x * 0.25, 64.0 + z * 0.25
        i0, j0 = int(u), int(v)
        i1, j1 = int(u + 0.999), int(v + 0.999)
        if i0 < 0 or j0 < 0 or i1 >= GRID or j1 >= GRID:
            return -10.0
        tx, tz = u - i0, v - j0
        h = self.h
        return ((1 - tx) * (1 - tz) * h[j0 * GRID + i0] + (1 - tx) * tz * h[j1 * GRID + i0]
                + tx * (1 - tz) * h[j0 * GRID + i1] + tx * tz * h[j1 * GRID + i1])

    def dry(self, x, z, margin=1.0):
        return self.height(x, z) > WATER + margin


def catapult_range(catapult_y, target_ground):
    """How far a ball thrown from that height lands at that ground height."""
    v, th, g = 35.0, math.radians(60.0), 5.5
    c2, t = math.cos(th) ** 2, math.tan(th)
    root = t * t - 2.0 * g * (target_ground - (catapult_y + 4.0)) / (v * v * c2)
    if root < 0:
        return 0.0
    return (2.0 * v * v * c2 / (2.0 * g)) * (t + math.sqrt(root))


def dry_line(island, a, b, step=2.0):
    n = max(1, int(math.hypot(b[0] - a[0], b[1] - a[1]) / step))
    return all(island.dry(a[0] + (b[0] - a[0]) * k / n, a[1] + (b[1] - a[1]) * k / n) for k in range(n + 1))


def group_targets(units, point):
    """Where each unit of a group goes when the group is ordered to a point:
    the point shifted by the unit's place in the group."""
    cx = sum(u[0] for u in units) / len(units)
    cz = sum(u[1] for u in units) / len(units)
    return [(point[0] + u[0] - cx, point[1] + u[1] - cz) for u in units]


def throwing_stop(island, start, target):
    """Where a catapult driving straight from ``start`` at ``target`` stops
    to throw, or None when water comes first."""
    x, z = start
    dx, dz = target[0] - x, target[1] - z
    dist = math.hypot(dx, dz)
    ux, uz = dx / dist, dz / dist
    ground = island.height(*target)
    while dist > 0:
        if not island.dry(x, z):
            return None
        if catapult_range(island.height(x, z) + 0.7, ground) >= dist - 1.0:
            return x, z
        x, z, dist = x + ux, z + uz, dist - 1.0
    return None


def centre(points):
    return sum(p[0] for p in points) / len(points), sum(p[1] for p in points) / len(points)


class Plan:
    """Where the battle is staged on this island: the footmen come out of
    the gate, the goblins walk over land to ``meet`` in front of the north
    wall, and the catapults bombard ``target`` in the city. A catapult
    throws at once when it is told to attack, in range or not, and its
    balls would fall on the goblins' way: so it first drives to ``staging``
    (the middle of the places where the catapults come into range over land)
    and attacks only from there. The attacker gives these orders from
    ``spot``, looking at ``view_at``, from where each click lands where it
    is meant to (a hill in front would catch it)."""

    def __init__(self, island):
        self.catapults_dry = sum(island.dry(*c) for c in CATAPULTS)
        goblins = {m: sum(dry_line(island, g, t) for g, t in zip(GOBLINS, group_targets(GOBLINS, m)))
                   for m in MEETING_PLACES}
        self.reach = {t: [s for s in (throwing_stop(island, c, g)
                                      for c, g in zip(CATAPULTS, group_targets(CATAPULTS, t))) if s]
                      for t in CITY_TARGETS}
        meets = sorted(MEETING_PLACES, key=lambda m: -goblins[m])  # nearest the gate first among equals
        targets = sorted(CITY_TARGETS, key=lambda t: -len(self.reach[t]))
        self.spot = self.view_at = self.target = None
        self.meet, self.goblins_dry = meets[0], goblins[meets[0]]
        best = None
        for spot in ATTACKER_SPOTS:
            if not island.dry(*spot, margin=2.0):
                continue
            eye = (spot[0], island.height(*spot) + ATTACKER_RISE, spot[1])
            for m in meets:
                view_at = (m[0], island.height(*m) - 60.0, m[1])
                view = View.facing(eye, view_at)
                if not view.can_click(island, *m):
                    continue
                target = next((t for t in targets if math.hypot(t[0] - m[0], t[1] - m[1]) >= SAFE_GAP
                               and view.can_click(island, *t)
                               and (not self.reach[t] or view.can_click(island, *centre(self.reach[t])))), None)
                score = (min(goblins[m], 12), len(self.reach[target]) if target else -1, goblins[m],
                         -math.hypot(spot[0], spot[1] - 188.0))
                if best is None or score > best:
                    best = score
                    self.spot, self.view_at, self.meet, self.goblins_dry, self.target = spot, view_at, m, goblins[m], \
                        target
                break

    def stops(self, target):
        return self.reach[target]

    def staging(self, target):
        return centre(self.reach[target]) if target and self.reach[target] else None

    def quality(self):
        """2: the whole show; 1: the catapults can only throw from where
        they stand (water between them and their range); 0: no dry place
        for the attacker to give its orders from, or the goblins with no way
        over land."""
        if not (self.spot and self.catapults_dry >= 8 and self.goblins_dry >= 12):
            return 0
        return 2 if self.target and len(self.reach[self.target]) >= 4 else 1

    def __str__(self):
        if not self.spot:
            return "no dry place for the attacker from where its orders can be clicked"
        aim = ("catapults aim at (%.0f, %.0f), %d of %d reach throwing range over land"
               % (self.target[0], self.target[1], len(self.reach[self.target]), len(CATAPULTS)) if self.target
               else "no place in the city for the catapults")
        return ("attacker at (%.0f, %.0f); goblins meet the footmen at (%.0f, %.0f), %d of %d over land; %s"
                % (self.spot[0], self.spot[1], self.meet[0], self.meet[1], self.goblins_dry, len(GOBLINS), aim))


# --- a view and its clicks ------------------------------------------------------

class View:
    """A copy's eye as the game reports it, with the game's own projection:
    a 90-degree wide, 4:3 view; the picking of a ground point marches along
    the ray until it meets the terrain."""

    def __init__(self, x, y, z, yaw, pitch):
        self.eye = (x, y, z)
        y_, p_ = math.radians(yaw), math.radians(pitch)
        self.look = (math.cos(p_) * math.sin(y_), -math.sin(p_), -math.cos(p_) * math.cos(y_))
        right = (math.cos(y_), 0.0, math.sin(y_))
        self.down = _norm(_cross(self.look, right))
        self.right = _norm(_cross(self.down, self.look))

    @classmethod
    def facing(cls, eye, point):
        """The view from ``eye`` turned to face ``point``, as look_at turns it."""
        dx, dy, dz = point[0] - eye[0], point[1] - eye[1], point[2] - eye[2]
        return cls(eye[0], eye[1], eye[2], math.degrees(math.atan2(dx, -dz)),
                   max(-60.0, min(60.0, math.degrees(math.atan2(-dy, math.hypot(dx, dz))))))

    def can_click(self, island, x, z, within=15.0):
        """Whether a click at the point's pixel lands near it (the ground in
        front may hide it), and the pixel is clear of the command bar."""
        p = self.pixel(x, island.height(x, z), z)
        if p is None or not (0 <= p[0] < W and 0 <= p[1] < 0.85 * H):
            return False
        g = self.ground_point(island, int(p[0]), int(p[1]))
        return g is not None and math.hypot(g[0] - x, g[1] - z) < within

    def pixel(self, x, y, z):
        d = (x - self.eye[0], y - self.eye[1], z - self.eye[2])
        t = _dot(d, self.look)
        if t <= 0.1:
            return None
        sx, sy = _dot(d, self.right) / t, _dot(d, self.down) / t
        return W // 2 + sx * (W // 2), H // 2 + sy * H / 1.5

    def ground_point(self, island, px, py):
        sx = (px - W // 2) * 2.0 / W
        sy = -(H // 2 - py) * 1.5 / H
        d = _norm(tuple(sy * self.down[k] + sx * self.right[k] + self.look[k] for k in range(3)))
        p = list(self.eye)
        for _ in range(4000):
            if not (-256 <= p[0] <= 256 and -256 <= p[2] <= 256) or p[1] < island.height(p[0], p[2]) or p[1] < 0:
                return p[0], p[2]
            p = [p[k] + d[k] for k in range(3)]
        return None


def _dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def _cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def _norm(a):
    n = math.sqrt(_dot(a, a))
    return tuple(x / n for x in a)


def slot_point(k):
    """The middle of command bar slot k, in window pixels."""
    u = (k + 0.5) * 13.0 / 35.0
    return int(W // 2 + (u - 1.31) * (W // 2) / 1.5), int(0.93 * H)


# --- one copy ----------------------------------------------------------------------

class Copy:
    """One copy of the game on its own virtual display, started afresh in a
    new working directory by ``launch``."""

    def __init__(self, stack, ns, name, binary, data, shots, words=()):
        self.name, self.ns, self.binary, self.data, self.shots = name, ns, binary, data, shots
        self.args = [name] + list(words)
        self.x = stack.enter_context(harness.Xvfb(width=W, height=H))
        stack.callback(self.stop)
        self.game = self.dir = None

    def launch(self):
        self.dir = harness.make_workdir(self.data)
        self.game = harness.Game(self.binary, self.args, ns=self.ns, display=self.x.display, cwd=self.dir)
        win = harness.wait_for_window(self.x.display, "Kelvarin", timeout=30, game=self.game)
        self.xin = harness.XInput(self.x.display, win)
        self.wait(r"^my_numb = \d+$", 30)
        self.xin.move(W // 2, H // 2)

    def stop(self, orderly=False):
        if self.game and orderly and self.game.running():
            self.game.send_signal(signal.SIGINT)
            self.game.wait(15)
        if self.game:
            self.game.kill()
        if self.dir:
            shutil.rmtree(self.dir, True)
        self.game = self.dir = None

    def wait(self, regex, timeout, start=0):
        line = self.game.wait_for_line(regex, timeout, start=start)
        if line is None:
            raise harness.HarnessError("%s: no line %r:\n%s" % (self.name, regex, self.game.dump()))
        return line

    def click_menu(self, vx, vy):
        harness.click_menu(self.xin, vx, vy, W, H)

    def shot(self, tag):
        path = self.shots.next_path("%s-%s" % (self.name.lower(), tag))
        harness.take_screenshot(self.game, self.xin, W, H).to_png(path)
        log("screenshot %s" % path)
        return path

    def view(self, shift_held=False):
        """The view as the game reports it (Y). The view may still turn
        when Shift comes up (the pointer goes back to the middle), so the
        view a click is computed from is read with Shift held, in
        ``command_bar``, where the mouse moves no view."""
        mark = self.game.mark()
        if shift_held:
            self.xin.key("y")
        else:
            self.xin.typed("y", shift=True, pause=0.25)
        m = re.match(EYE_LINE, self.wait(EYE_LINE, 5, start=mark))
        x, y, z, yaw, pitch = (float(v) for v in m.groups())
        v = View(x, y, z, yaw, pitch)
        m = re.search(r"float = (\S+),", self.wait(r"^\s*float = ", 5, start=mark))
        v.above_ground = float(m.group(1))
        return v

    def walk_to(self, island, x, z, speed):
        """Turns toward the point and walks there (W held for as long as it takes)."""
        v = self.look_at(x, island.height(x, z) + 2.0, z)
        self.hold("w", math.hypot(x - v.eye[0], z - v.eye[2]) / speed)
        return self.view()

    def rise(self, height):
        """Raises the eye (E held, GOD only) until it is that far above the ground."""
        v = self.view()
        for _ in range(20):
            if v.above_ground >= height:
                break
            self.hold("e", 0.3)
            v = self.view()
        return v

    def look_at(self, x, y, z):
        """Turns the view with the mouse (half a degree a pixel) to face the
        point, correcting until it does."""
        for _ in range(3):
            v = self.view()
            ex, ey, ez = v.eye
            cur_yaw = math.degrees(math.atan2(v.look[0], -v.look[2]))
            cur_pitch = math.degrees(-math.asin(max(-1.0, min(1.0, v.look[1]))))
            yaw = math.degrees(math.atan2(x - ex, -(z - ez)))
            pitch = max(-60.0, min(60.0, math.degrees(math.atan2(ey - y, math.hypot(x - ex, z - ez)))))
            dyaw = (yaw - cur_yaw + 180.0) % 360.0 - 180.0
            dx, dy = int(round(dyaw / 0.5)), int(round((pitch - cur_pitch) / 0.5))
            if abs(dx) <= 2 and abs(dy) <= 2:
                break
            # In steps the window can hold: the game puts the pointer back
            # in the middle after each.
            while dx or dy:
                sx, sy = max(-250, min(250, dx)), max(-200, min(200, dy))
                self.xin.move(W // 2 + sx, H // 2 + sy)
                time.sleep(0.3)
                dx, dy = dx - sx, dy - sy
        return v

    @contextlib.contextmanager
    def command_bar(self):
        """Shift held: the command bar slides in and the pointer is free;
        yields the view the clicks go into."""
        self.xin.key_down("shift")
        time.sleep(0.6)
        try:
            yield self.view(shift_held=True)
        finally:
            self.xin.key_up("shift")
            time.sleep(0.4)
            self.xin.move(W // 2, H // 2)

    def press(self, x, y):
        self.xin.move(int(x), int(y))
        time.sleep(0.2)
        self.xin.click(1)
        time.sleep(0.3)

    def slot(self, k):
        self.press(*slot_point(k))

    def select_box(self, view, points, pad=14):
        """Drags a box around the points as the view shows them."""
        px = [view.pixel(x, y, z) for x, y, z in points]
        px = [p for p in px if p]
        x0, x1 = min(p[0] for p in px) - pad, max(p[0] for p in px) + pad
        y0, y1 = min(p[1] for p in px) - pad, max(p[1] for p in px) + pad
        x0, y0 = max(2, x0), max(2, y0)
        x1, y1 = min(W - 2, x1), min(int(0.85 * H), y1)
        self.xin.drag((int(x0), int(y0)), [(int((x0 + x1) / 2), int((y0 + y1) / 2)), (int(x1), int(y1))])
        time.sleep(0.3)

    def order_at(self, island, view, slot, x, z):
        """A command button, then a click on the ground at (x, z)."""
        p = view.pixel(x, island.height(x, z), z)
        if p is None or not (0 <= p[0] < W and 0 <= p[1] < 0.85 * H):
            raise harness.HarnessError("%s: (%.0f, %.0f) is not in view" % (self.name, x, z))
        self.slot(slot)
        self.press(*p)
        return view.ground_point(island, int(p[0]), int(p[1]))

    def hold(self, key, seconds):
        self.xin.key_down(key)
        time.sleep(seconds)
        self.xin.key_up(key)


class Shots:
    def __init__(self, out):
        self.out = out
        self.paths = []
        self.lock = threading.Lock()
        os.makedirs(out, exist_ok=True)
        for f in os.listdir(out):
            if re.match(r"^\d\d-.*\.(png|gif)$", f):
                os.unlink(os.path.join(out, f))

    def next_path(self, tag, ext="png"):
        with self.lock:
            path = os.path.join(self.out, "%02d-%s.%s" % (len(self.paths) + 1, tag, ext))
            self.paths.append(path)
        return path


def grab_frames(copy, frames_dir, count, every):
    """Window grabs (ImageMagick import) for the animation, one every
    ``every`` seconds."""
    got = []
    for i in range(count):
        t0 = time.monotonic()
        path = os.path.join(frames_dir, "%s-%03d.png" % (copy.name.lower(), i))
        harness.grab_window(copy.x.display, copy.xin.window, path)
        got.append(path)
        time.sleep(max(0.0, every - (time.monotonic() - t0)))
    return got


def make_gif(frames, out, width=320, colours=48, delay_cs=30):
    """An animated GIF of a few hundred KB: small frames, one palette for
    all of them, and only what changes stored from frame to frame."""
    convert = harness.convert_tool()
    palette = os.path.join(os.path.dirname(frames[0]), "palette.gif")
    subprocess.run([convert] + frames + ["-resize", "%dx" % width, "+append", "-colors", str(colours),
                                         "-unique-colors", palette], check=True, timeout=120)
    subprocess.run([convert, "-delay", str(delay_cs), "-loop", "0"] + frames + [
        "-resize", "%dx" % width, "+dither", "-remap", palette, "-fuzz", "4%", "-layers", "OptimizePlus",
        "-layers", "OptimizeTransparency", out], check=True, timeout=120)
    return out


# --- the battle ------------------------------------------------------------------------

def start_game(atk, dfn, keep_island, attempts=4):
    """Both copies from their start through the menu into one game; the
    island comes back with its plan. An island on which the battle cannot
    be staged well (the attackers' shore under water, the engines unable to
    reach throwing range over land) is left for another game, three times
    at most."""
    for attempt in range(1, attempts + 1):
        for c in (atk, dfn):
            c.launch()
        # Each player picks a side; the attacker starts the game.
        harness.choose_team(dfn.xin, 1, W, H)
        harness.choose_team(atk.xin, 0, W, H)
        time.sleep(0.5)
        if attempt == 1:
            atk.shot("menu")
        marks = [c.game.mark() for c in (atk, dfn)]
        atk.click_menu(175, 125)
        for c, m in zip((atk, dfn), marks):
            c.xin.move(W // 2, H // 2)
            c.wait(r"^FPS: ", 60, start=m)
        # The island the game made, as the attacker writes it out (O).
        atk.xin.typed("o", shift=True, pause=0.25)
        terrain = os.path.join(atk.dir, "terrain.out")
        deadline = time.monotonic() + 5
        while not os.path.exists(terrain) or os.path.getsize(terrain) < 4 * GRID * GRID:
            if time.monotonic() > deadline:
                raise harness.HarnessError("no terrain.out from the attacker:\n" + atk.game.dump())
            time.sleep(0.1)
        if keep_island:
            shutil.copy(terrain, keep_island)
        island = Island(terrain)
        os.unlink(terrain)  # a file there would be the next game's island
        plan = Plan(island)
        log("game %d: %s" % (attempt, plan))
        # The whole show, or from the third game on one without bombardment
        # in range, or whatever the last game gives.
        if plan.quality() == 2 or (plan.quality() == 1 and attempt >= 3) or attempt == attempts:
            return island, plan
        log("this island does not suit the show; another game")
        for c in (atk, dfn):
            c.stop()


def wall_view(meet):
    """Where behind the north wall the defender stands, and the point it
    looks at: the goblins make for the footmen before the gate on their
    way to ``meet``, so the fight is between the two; the view is turned
    toward ``meet`` far enough to hold it (the drawbridge at its side),
    from the place along the wall whose view has the towers farthest off
    its middle."""
    look = (GATE_OUTSIDE[0] + 0.5 * (meet[0] - GATE_OUTSIDE[0]), GATE_OUTSIDE[1] + 40.0)

    def clearance(x):
        z = WALL_SPOT_Z
        ahead = math.atan2(look[0] - x, look[1] - z)
        off = [abs(math.atan2(tx - x, tz - z) - ahead) - math.atan2(TOWER_RADIUS, math.hypot(tx - x, tz - z))
               for tx, tz in TOWERS]
        return min(min(off), math.radians(45.0))

    x = max(range(-68, 14, 2), key=clearance)
    return (float(x), WALL_SPOT_Z), look


def attacker_part(atk, island, plan, began):
    """Over its army at the city: the goblins to the meeting place, the
    catapults up to throwing range and, once the goblins are off their way,
    at the city; returns when the goblins set off."""
    atk.walk_to(island, plan.spot[0], plan.spot[1], 45.0)
    atk.rise(ATTACKER_RISE)
    av = atk.look_at(*plan.view_at)
    atk.shot("shore")
    staging = plan.staging(plan.target)
    with atk.command_bar() as av:
        for what, point in (("meeting place", plan.meet), ("target", plan.target), ("staging", staging)):
            if point and not av.can_click(island, *point):
                log("attacker: the %s (%.0f, %.0f) is hidden from here" % (what, point[0], point[1]))
        goblins = [(x, island.height(x, z) + h, z) for x, z in GOBLINS for h in (1.0, 3.0)]
        atk.select_box(av, goblins)
        atk.order_at(island, av, 4, *plan.meet)
        ordered = time.monotonic()
        if staging:
            atk.slot(0)
            atk.order_at(island, av, 5, *staging)
        time.sleep(1.0)
        atk.shot("orders")
    log("attacker: goblins to (%.0f, %.0f), %s (%.0f s)"
        % (plan.meet[0], plan.meet[1], "catapults to (%.0f, %.0f)" % staging if staging else "catapults stay",
           time.monotonic() - began))
    if not plan.target:
        return ordered
    # The catapults drive ten units a second; the goblins are a hundred
    # units off the catapults' way by then.
    drive = max((math.hypot(s[0] - c[0], s[1] - c[1]) for s, c in zip(plan.stops(plan.target), CATAPULTS)),
                default=0.0)
    time.sleep(max(0.0, ordered + max(10.0, drive / 10.0 + 3.0) - time.monotonic()))
    with atk.command_bar() as av:
        atk.slot(0)
        atk.order_at(island, av, 4, *plan.target)
    log("attacker: catapults bombard (%.0f, %.0f) (%.0f s)"
        % (plan.target[0], plan.target[1], time.monotonic() - began))
    time.sleep(4.0)
    atk.shot("throwing")
    return ordered


def defender_part(dfn, island, plan, began):
    """The gate lowered (a drawbridge), the footmen out of it, and up to
    the height of the wall behind it, to watch the meeting place."""
    dv = dfn.look_at(-3.0, island.height(-3.0, -150.0), -150.0)
    footmen = [(x, island.height(x, z) + h, z) for x, z in FOOTMEN for h in (1.0, 3.0)]
    with dfn.command_bar() as dv:
        dfn.slot(0)
        dfn.select_box(dv, footmen, pad=8)
        dfn.order_at(island, dv, 5, *GATE_OUTSIDE)
        time.sleep(0.5)
        dfn.shot("footmen")
        dfn.press(W // 2, H // 8)  # a click on the sky ends the selection
    log("defender: gate lowered, footmen sent out (%.0f s)" % (time.monotonic() - began))
    # Up first (GOD): over the roofs nothing stands in the way.
    spot, look = wall_view(plan.meet)
    dfn.rise(DEFENDER_RISE)
    dfn.walk_to(island, spot[0], spot[1], 45.0)
    dfn.look_at(look[0], island.height(*look), look[1])
    dfn.shot("wall")


def battle(binary, data, out, keep_island=None):
    shots = Shots(out)
    began = time.monotonic()
    with contextlib.ExitStack() as stack:
        net = stack.enter_context(harness.linked_namespaces(2))
        log("two copies in linked private namespaces %s and %s" % (net[0].name, net[1].name))
        # Both play with GOD, which lets a player rise above the ground
        # (E): the attacker to overlook its army and click its orders over
        # the hills, the defender to stand at the height of the wall (whose
        # top cannot be walked on) and shoot over it.
        atk = Copy(stack, net[0], "Attacker", binary, data, shots, ["GOD"])
        dfn = Copy(stack, net[1], "Defender", binary, data, shots, ["GOD"])
        island, plan = start_game(atk, dfn, keep_island)
        log("playing (%.0f s)" % (time.monotonic() - began))

        # Each player at once, as two players would.
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            attacking = pool.submit(attacker_part, atk, island, plan, began)
            defending = pool.submit(defender_part, dfn, island, plan, began)
            ordered = attacking.result()
            defending.result()

        # The goblins walk at ten units a second and make for the footmen
        # before the gate once these are within fifty: film from then on,
        # the defender shooting.
        walk = min(math.hypot(GATE_OUTSIDE[0] - g[0], GATE_OUTSIDE[1] - g[1]) for g in GOBLINS)
        time.sleep(max(0.0, ordered + (walk - 45.0) / 10.0 - time.monotonic()))
        log("the fight (%.0f s)" % (time.monotonic() - began))
        frames_dir = tempfile.mkdtemp(prefix="kvt-frames-")
        stack.callback(shutil.rmtree, frames_dir, True)
        dfn.xin.button_down(1)
        try:
            frames = grab_frames(dfn, frames_dir, 20, 0.6)
        finally:
            dfn.xin.button_up(1)
        dfn.shot("fight")
        for c in (atk, dfn):
            c.stop(orderly=True)
        gif = make_gif(frames, shots.next_path("battle", "gif"))
        log("animation %s (%d KB)" % (gif, os.path.getsize(gif) // 1024))
    log("done in %.0f s" % (time.monotonic() - began))
    return shots.paths


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--out", default=os.path.join(ROOT, "out", "demo"))
    ap.add_argument("--binary", default=os.path.join(ROOT, "build", "kelvarin"))
    ap.add_argument("--data", default=os.path.join(ROOT, "build", "data"))
    ap.add_argument("--keep-island", help="copy the game's island (terrain.out) here")
    args = ap.parse_args()
    if os.geteuid() != 0:
        sys.stderr.write("demo: needs root for the private network namespaces\n")
        return 1
    paths = battle(os.path.abspath(args.binary), os.path.abspath(args.data), os.path.abspath(args.out),
                   args.keep_island)
    print("demo: pictures:")
    for p in paths:
        print(p)
    return 0


if __name__ == "__main__":
    sys.exit(main())
