"""Minimal isolation for the lobby's end-to-end tests: network namespaces
linked by a bridge that lives in a namespace of its own, one Xvfb display
per game copy, stand-in textures, and game/peer processes with their output
collected. (To be replaced by the project's shared harness once merged.)"""
import os, re, shutil, struct, subprocess, tempfile, threading, time

TEXTURES = ("alphabet wheel wood flame column stone_floor marble kelvarin_gate house cloud1 cloud2 stucco "
            "wood_ceiling lightning crosshairs water fabric tree_chestnut tree_random lower_gate raise_gate "
            "select_catas stop_button move_button attack_button pray_button firestorm invisibility sky_menu "
            "sky_button sky_front sky_back sky_top sky_left sky_right oak dragon_skin_red dragon_skin_green "
            "dragon_summon_button dragon_dismount_button catapult_summon_button ram_button footman_button "
            "ghoul_button goblin_button terrain_detail").split()


def sh(*cmd, check=True):
    return subprocess.run(cmd, check=check, capture_output=True, text=True)


def make_datadir():
    d = tempfile.mkdtemp(prefix="kvlobby-")
    os.makedirs(os.path.join(d, "textures"))
    for name in TEXTURES:
        # Flat blue sky for the menu, grey for everything else.
        px = bytes((0, 0, 255)) if name == "sky_menu" else bytes((128, 128, 128))
        with open(os.path.join(d, "textures", name + ".tex"), "wb") as f:
            f.write(struct.pack("<iii", 16, 16, 3) + px * 256)
    return d


class Net:
    """count namespaces, each with one veth into a bridge namespace."""

    def __init__(self, count):
        tag = "kvl%d" % os.getpid()
        self.br = tag + "br"
        self.names = ["%s-%d" % (tag, i) for i in range(count)]
        sh("ip", "netns", "add", self.br)
        sh("ip", "netns", "exec", self.br, "ip", "link", "add", "br0", "type", "bridge", "mcast_snooping", "0")
        sh("ip", "netns", "exec", self.br, "ip", "link", "set", "br0", "up")
        for i, ns in enumerate(self.names):
            sh("ip", "netns", "add", ns)
            sh("ip", "link", "add", "v%d-%s" % (i, tag), "netns", ns, "type", "veth", "peer", "name", "p%d" % i,
               "netns", self.br)
            sh("ip", "netns", "exec", self.br, "ip", "link", "set", "p%d" % i, "master", "br0", "up")
            ex = ["ip", "netns", "exec", ns]
            sh(*ex, "ip", "link", "set", "lo", "up")
            sh(*ex, "ip", "link", "set", "v%d-%s" % (i, tag), "name", "eth0")
            sh(*ex, "ip", "addr", "add", self.address(i) + "/24", "dev", "eth0")
            sh(*ex, "ip", "link", "set", "eth0", "up")
            sh(*ex, "ip", "route", "add", "224.0.0.0/4", "dev", "eth0")
        time.sleep(1.0)

    def address(self, i):
        return "10.78.0.%d" % (i + 2)

    def sender_id(self, i):
        """The id the game prints for a sender: the octets reversed."""
        return "%02X%02X%02X%02X" % tuple(reversed([int(x) for x in self.address(i).split(".")]))

    def close(self):
        for ns in self.names + [self.br]:
            sh("ip", "netns", "del", ns, check=False)


class Proc:
    def __init__(self, cmd, cwd=None, env=None, stdin=False):
        self.p = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  stdin=subprocess.PIPE if stdin else subprocess.DEVNULL, text=True, bufsize=1)
        self.out, self.err = [], []
        for stream, sink in ((self.p.stdout, self.out), (self.p.stderr, self.err)):
            threading.Thread(target=self._pump, args=(stream, sink), daemon=True).start()

    @staticmethod
    def _pump(stream, sink):
        for line in stream:
            sink.append((time.time(), line.rstrip("\n")))

    def lines(self, err=False):
        return [l for _, l in (self.err if err else self.out)]

    def wait_for(self, regex, timeout, err=False):
        end = time.time() + timeout
        while time.time() < end:
            for l in self.lines(err):
                m = re.search(regex, l)
                if m:
                    return m
            time.sleep(0.05)
        return None

    def send(self, line):
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()

    def stop(self):
        if self.p.poll() is None:
            self.p.terminate()
            try:
                self.p.wait(3)
            except subprocess.TimeoutExpired:
                self.p.kill()
                self.p.wait()


class Display:
    def __init__(self, num):
        self.num = num
        self.p = subprocess.Popen(["Xvfb", ":%d" % num, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)

    def env(self):
        e = dict(os.environ)
        e["DISPLAY"] = ":%d" % self.num
        return e

    def xdo(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True)

    def window(self):
        for _ in range(50):
            r = self.xdo("search", "--name", "Kelvarin")
            if r.stdout.strip():
                return r.stdout.split()[0]
            time.sleep(0.1)
        raise RuntimeError("no game window on :%d" % self.num)

    def click(self, vx, vy):
        """Clicks the virtual menu point (vx, vy) in the 600 x 400 window."""
        w = self.window()
        x, y = int(vx * 600 / 1280) + 1, int(vy * 400 / 1024) + 1
        self.xdo("mousemove", "--window", w, str(x), str(y))
        time.sleep(0.2)
        self.xdo("click", "--window", w, "1")
        time.sleep(0.3)

    def type_line(self, text):
        w = self.window()
        self.xdo("mousemove", "--window", w, "300", "200")
        self.xdo("windowfocus", w)
        self.xdo("type", "--delay", "30", text)
        self.xdo("key", "Return")

    def grab(self):
        """The window's pixels as the X server shows them, rows of RGB."""
        w = self.window()
        ppm = subprocess.run(["import", "-window", w, "-depth", "8", "ppm:-"], env=self.env(),
                             capture_output=True).stdout
        parts = ppm.split(maxsplit=4)
        width, height, body = int(parts[1]), int(parts[2]), parts[4]
        return [[tuple(body[(r * width + c) * 3:(r * width + c) * 3 + 3]) for c in range(width)]
                for r in range(height)]

    def screenshot(self, cwd):
        path = os.path.join(cwd, "screenshot.rgba")
        if os.path.exists(path):
            os.unlink(path)
        # The game polls the keyboard state, so the keys go through XTEST.
        self.xdo("keydown", "alt")
        self.xdo("keydown", "x")
        time.sleep(0.3)
        self.xdo("keyup", "x")
        self.xdo("keyup", "alt")
        for _ in range(50):
            if os.path.exists(path) and os.path.getsize(path) == 600 * 400 * 8:
                break
            time.sleep(0.1)
        data = open(path, "rb").read()
        # 16-bit little-endian channels: the high byte is the 8-bit value.
        return [[tuple(data[(r * 600 + c) * 8 + k * 2 + 1] for k in range(3)) for c in range(600)]
                for r in range(400)]

    def stop(self):
        self.p.terminate()
        self.p.wait()


def start_game(net, i, display, datadir, binary, name):
    cwd = tempfile.mkdtemp(prefix="kvgame-", dir=datadir)
    os.symlink(os.path.join(datadir, "textures"), os.path.join(cwd, "textures"))
    cmd = ["ip", "netns", "exec", net.names[i], "env", "DISPLAY=:%d" % display.num, binary, name, "WINDOW"]
    g = Proc(cmd, cwd=cwd)
    g.cwd = cwd
    return g


def start_peer(net, i, binary, channel=0):
    return Proc(["ip", "netns", "exec", net.names[i], binary, str(channel)], stdin=True)


def parse_recv(line):
    m = re.match(r"RECV (\S+) (\S+) (\d+) ([0-9a-f]*)$", line)
    if not m:
        return None
    return float(m.group(1)), m.group(2), bytes.fromhex(m.group(4))
