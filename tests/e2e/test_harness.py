#!/usr/bin/env python3
"""Checks of the e2e harness itself, with stand-in programs instead of the
game: namespaces and their multicast, bridged namespaces, Xvfb, the game
process wrapper, working directories and screenshot decoding."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import textwrap
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def root_links():
    out = subprocess.run(["ip", "-o", "link", "show"], stdout=subprocess.PIPE, text=True).stdout
    return sorted(l.split(":")[1].strip() for l in out.splitlines())


@unittest.skipUnless(os.geteuid() == 0, "needs root")
class NamespaceTest(unittest.TestCase):
    def test_namespace_has_loopback_multicast_and_is_removed(self):
        with harness.NetNamespace(check_multicast=True) as ns:
            name = ns.name
            self.assertRegex(name, r"^kvt-%d-" % os.getpid())
            self.assertIn(name, harness.list_namespaces())
            self.assertIn("UP", ns.ip("link", "show", "lo").stdout)
            self.assertIn("224.0.0.0/4 dev mc0", ns.ip("route", "show").stdout)
            # With loopback off, nothing sent comes back to this namespace:
            # a copy alone here never hears its own datagrams.
            self.assertFalse(harness.multicast_check(ns.name, ns.name, loop=0, timeout=1.0))
        self.assertNotIn(name, harness.list_namespaces())

    def test_multicast_needs_the_route(self):
        # Without the route there is no way out for a multicast datagram, so
        # the self-check must report failure (it is not a rubber stamp).
        with harness.NetNamespace(multicast_route=False) as ns:
            self.assertFalse(harness.multicast_check(ns.name, ns.name, timeout=1.0))

    def test_namespace_removed_when_the_body_raises(self):
        names = []
        with self.assertRaises(KeyError):
            with harness.NetNamespace() as ns:
                names.append(ns.name)
                raise KeyError("boom")
        self.assertNotIn(names[0], harness.list_namespaces())

    def test_three_linked_namespaces_share_multicast_without_touching_root(self):
        before = root_links()
        with harness.linked_namespaces(3) as net:
            names = [m.name for m in net.members] + [net.bridge_ns.name]
            for i, m in enumerate(net.members):
                self.assertIn("inet 10.77.0.%d/24" % (i + 1), m.ip("addr", "show", "eth0").stdout)
                self.assertIn("224.0.0.0/4 dev eth0", m.ip("route", "show").stdout)
            self.assertIn("br0", net.bridge_ns.ip("link", "show").stdout)
            # Member 2 to member 0 and 1, with loopback off as the game sends.
            self.assertTrue(harness.multicast_check(net[2].name, net[0].name, loop=0))
            self.assertTrue(harness.multicast_check(net[2].name, net[1].name, loop=0))
            # With loopback off the sender's own namespace hears nothing.
            self.assertFalse(harness.multicast_check(net[1].name, net[1].name, loop=0, timeout=1.0))
            self.assertEqual(root_links(), before)
            with harness.NetNamespace() as outsider:
                self.assertFalse(harness.multicast_check(net[0].name, outsider.name, timeout=1.0))
        left = harness.list_namespaces()
        for n in names:
            self.assertNotIn(n, left)
        self.assertEqual(root_links(), before)

    def test_sweep_removes_namespaces_of_dead_harness_runs_only(self):
        p = subprocess.Popen(["true"])
        p.wait()
        stale = "kvt-%d-stale%d" % (p.pid, os.getpid() % 1000)
        live = "kvt-%d-live" % os.getpid()
        subprocess.run(["ip", "netns", "add", stale], check=True)
        subprocess.run(["ip", "netns", "add", live], check=True)
        try:
            harness.sweep_stale_namespaces()
            left = harness.list_namespaces()
            self.assertNotIn(stale, left)
            self.assertIn(live, left)
        finally:
            subprocess.run(["ip", "netns", "del", stale], stderr=subprocess.DEVNULL)
            subprocess.run(["ip", "netns", "del", live], stderr=subprocess.DEVNULL)


class XvfbTest(unittest.TestCase):
    def test_server_runs_24_bit_and_stops(self):
        with harness.Xvfb() as x:
            disp = x.display
            out = subprocess.run(["xdpyinfo"], env=x.env(), stdout=subprocess.PIPE, text=True).stdout
            self.assertIn("dimensions:    1280x1024 pixels", out)
            self.assertRegex(out, r"depth of root window:\s+24 planes")
            proc = x.proc
        self.assertIsNotNone(proc.poll())
        r = subprocess.run(["xdpyinfo"], env=dict(os.environ, DISPLAY=disp),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertNotEqual(r.returncode, 0)

    def test_two_servers_get_different_displays(self):
        with harness.Xvfb() as a, harness.Xvfb() as b:
            self.assertNotEqual(a.display, b.display)

    def test_server_stopped_when_the_body_raises(self):
        procs = []
        with self.assertRaises(ValueError):
            with harness.Xvfb() as x:
                procs.append(x.proc)
                raise ValueError("boom")
        self.assertIsNotNone(procs[0].poll())


# Stand-in for the game: line-buffered prints only because stdout is a
# terminal, an orderly end on the first SIGINT, status 255 on the second.
STANDIN = textwrap.dedent(r'''
    import os, signal, sys, time
    done = [False]
    def on_int(s, f):
        if done[0]:
            os._exit(255)
        done[0] = True
    signal.signal(signal.SIGINT, on_int)
    print("isatty %s" % sys.stdout.isatty())
    print("display %s" % os.environ.get("DISPLAY"))
    sys.stderr.write("an error line\n"); sys.stderr.flush()
    print("ready")
    while not done[0]:
        time.sleep(0.002)
    time.sleep(0.3)
    print("total send: 0.000000, bytes: 0, num: 0\t\tavg bandwidth: 0.00k/sec")
''')


@unittest.skipUnless(os.geteuid() == 0, "needs root")
class GameProcessTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kvt-selftest-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.script = os.path.join(self.tmp, "standin")
        with open(self.script, "w") as f:
            f.write("#!%s\n%s" % (sys.executable, STANDIN))
        os.chmod(self.script, 0o755)

    def test_lines_arrive_while_running_and_one_sigint_ends_in_order(self):
        with harness.NetNamespace() as ns:
            g = harness.Game(self.script, ["x"], ns=ns, display=":97", cwd=self.tmp)
            with g:
                self.assertEqual(g.wait_for_line(r"^ready$", 10), "ready", g.dump())
                self.assertTrue(g.running())
                self.assertIn("isatty True", g.output("stdout"))
                self.assertIn("display :97", g.output("stdout"))
                self.assertEqual(g.wait_for_line("error", 5, stream="stderr"), "an error line")
                self.assertIsNone(g.wait_for_line("error", 0.2, stream="stdout"))
                # The process lives in the namespace it was given.
                ident = subprocess.run(["ip", "netns", "identify", str(g.pid)],
                                       stdout=subprocess.PIPE, text=True).stdout.strip()
                self.assertEqual(ident, ns.name)
                mark = g.mark()
                g.send_signal(signal.SIGINT)
                self.assertEqual(g.wait(10), 0)
                self.assertIsNotNone(g.wait_for_line(r"^total send: ", 1, start=mark))
                self.assertIsNone(g.wait_for_line(r"^ready$", 0.1, start=mark))

    def test_second_sigint_is_delivered_and_gives_255(self):
        with harness.NetNamespace() as ns:
            with harness.Game(self.script, [], ns=ns, cwd=self.tmp) as g:
                g.wait_for_line(r"^ready$", 10)
                self.assertTrue(g.send_signal_twice(signal.SIGINT))
                self.assertEqual(g.wait(10), 255)
                self.assertEqual(g.count_lines(r"^total send"), 0)

    def test_wait_times_out_and_kill_ends_the_process(self):
        with harness.NetNamespace() as ns:
            g = harness.Game(self.script, [], ns=ns, cwd=self.tmp)
            g.wait_for_line(r"^ready$", 10)
            self.assertIsNone(g.wait(0.2))
            g.kill()
            self.assertFalse(g.running())
            self.assertEqual(g.proc.returncode, -signal.SIGKILL)

    def test_harness_killed_outright_leaves_no_processes_and_its_namespace_is_swept(self):
        # A CTest time-out kills the test with SIGKILL: no cleanup code runs.
        child_code = textwrap.dedent('''
            import sys, time
            sys.path.insert(0, %r)
            import harness
            x = harness.Xvfb().__enter__()
            ns = harness.NetNamespace().__enter__()
            g = harness.Game(%r, [], ns=ns, display=x.display, cwd=%r)
            g.wait_for_line("^ready$", 10)
            print(x.proc.pid, g.pid, ns.name, flush=True)
            time.sleep(60)
        ''') % (os.path.dirname(os.path.abspath(harness.__file__)), self.script, self.tmp)
        child = subprocess.Popen([sys.executable, "-c", child_code], stdout=subprocess.PIPE, text=True)
        try:
            xpid, gpid, nsname = child.stdout.readline().split()
        finally:
            child.kill()
            child.wait()
            child.stdout.close()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and (harness._pid_alive(int(xpid)) or harness._pid_alive(int(gpid))):
            time.sleep(0.05)
        self.assertFalse(harness._pid_alive(int(gpid)), "game stand-in outlived the harness")
        self.assertFalse(harness._pid_alive(int(xpid)), "Xvfb outlived the harness")
        # Another run's start-up sweep (ctest runs these in parallel) may
        # have removed it already; either way it must be gone after a sweep.
        harness.sweep_stale_namespaces()
        self.assertNotIn(nsname, harness.list_namespaces())

    def test_refuses_to_run_outside_a_namespace(self):
        with self.assertRaises(harness.HarnessError):
            harness.Game(self.script, [], ns=None, cwd=self.tmp)


class WorkdirTest(unittest.TestCase):
    def test_links_data_and_leaves_out_files(self):
        data = tempfile.mkdtemp(prefix="kvt-data-")
        self.addCleanup(shutil.rmtree, data, True)
        for rel in ("textures/oak.tex", "textures/grass.tex", "sounds/wind.wav", "walls.txt",
                    "houses.txt", "terrain.out"):
            os.makedirs(os.path.dirname(os.path.join(data, rel)), exist_ok=True)
            with open(os.path.join(data, rel), "w") as f:
                f.write(rel)
        with harness.workdir(data, omit=("textures/oak.tex",)) as d:
            self.assertTrue(os.path.islink(os.path.join(d, "textures", "grass.tex")))
            self.assertFalse(os.path.lexists(os.path.join(d, "textures", "oak.tex")))
            self.assertTrue(os.path.exists(os.path.join(d, "sounds", "wind.wav")))
            with open(os.path.join(d, "walls.txt")) as f:
                self.assertEqual(f.read(), "walls.txt")
            # Files the game writes are not shared with the data dir.
            self.assertFalse(os.path.lexists(os.path.join(d, "terrain.out")))
            self.assertFalse(os.path.islink(os.path.join(d, "textures")))
        self.assertFalse(os.path.exists(d))
        self.assertTrue(os.path.exists(os.path.join(data, "textures", "oak.tex")))


class SoakJudgementTest(unittest.TestCase):
    """The soak's memory verdict compares steady-state medians: a steady
    rise must still fail it, seconds-long peaks must not."""

    def test_steady_rise_fails_and_short_peaks_do_not(self):
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
        import soak

        def medians(series, played):
            windows = soak.judged_windows(played)
            return soak.window_medians(series, windows[:2], "rss"), windows[2]

        times = range(0, 241, 5)
        rising = [(t, {"rss": 150000 + 75 * t}) for t in times]  # 4.5 MB a minute
        (early, late), limit = medians(rising, 240)
        self.assertEqual(limit, soak.GROWTH_LIMIT)
        self.assertGreater(late, limit * early)
        peaks = [(t, {"rss": 150000 + (9000 if t % 60 < 10 else 0)}) for t in times]
        self.assertEqual(medians(peaks, 240)[0], [150000, 150000])
        # Before the warm-up ends nothing is judged; a short run still
        # compares two windows that do not overlap; a long one minutes 5
        # to 10 against the last 10, with less growth allowed.
        self.assertIsNone(soak.judged_windows(55))
        self.assertEqual(medians([(t, {"rss": t}) for t in range(0, 91, 5)], 90)[0], [65, 85])
        self.assertEqual(soak.judged_windows(1800), ((300.0, 600.0), (1200.0, 1800.0), soak.LONG_GROWTH_LIMIT))
        # A column the run could not sample (no heap shim) has no median.
        self.assertEqual(soak.window_medians([(t, {"rss": 1, "heap": None}) for t in times],
                                             soak.judged_windows(240)[:2], "heap"), [None, None])


class ScreenshotDecodeTest(unittest.TestCase):
    W, H = 4, 3

    def raw(self, pixels):
        out = bytearray()
        for r, g, b, a in pixels:
            out += bytes((r, 0, g, 0, b, 0, a, 0))
        return bytes(out)

    def picture(self):
        # Row-major, top row first; bright values catch byte-order slips.
        pix = []
        for y in range(self.H):
            for x in range(self.W):
                pix.append((255 if x == 0 else 40 * x + y, 1 + y, 255 - 60 * y, 255))
        return pix

    def test_pixels_and_counts(self):
        pix = self.picture()
        s = harness.Screenshot(self.raw(pix), self.W, self.H)
        self.assertTrue(s.high_bytes_zero())
        self.assertEqual(s.pixel(0, 0), pix[0][:3])
        self.assertEqual(s.pixel(3, 2), pix[11][:3])
        self.assertEqual(s.pixel(2, 1), pix[6][:3])
        self.assertEqual(s.alpha(1, 1), 255)
        self.assertEqual(s.count_colours(), 12)
        self.assertFalse(s.is_uniform())
        self.assertTrue(s.near(3, 2, (pix[11][0] + 5, pix[11][1] - 5, pix[11][2]), tol=5))
        self.assertFalse(s.near(3, 2, (pix[11][0] + 6, pix[11][1], pix[11][2]), tol=5))
        flat = harness.Screenshot(self.raw([(9, 8, 7, 0)] * 12), self.W, self.H)
        self.assertTrue(flat.is_uniform())
        self.assertEqual(flat.count_colours(), 1)
        # Only the alpha differs: still one colour on screen.
        alpha = harness.Screenshot(self.raw([(9, 8, 7, 0)] * 11 + [(9, 8, 7, 255)]), self.W, self.H)
        self.assertTrue(alpha.is_uniform())

    def test_wrong_size_and_high_bytes_are_detected(self):
        with self.assertRaises(harness.HarnessError):
            harness.Screenshot(b"\0" * (self.W * self.H * 8 - 1), self.W, self.H)
        data = bytearray(self.raw(self.picture()))
        data[8 * 5 + 3] = 1  # high byte of G at (1, 1)
        s = harness.Screenshot(bytes(data), self.W, self.H)
        self.assertFalse(s.high_bytes_zero())
        self.assertEqual(s.pixel(1, 1)[1], 256 + 2)

    @unittest.skipUnless(shutil.which("convert"), "ImageMagick missing")
    def test_png_has_exactly_the_raw_colours(self):
        pix = self.picture()
        raw = self.raw(pix)
        d = tempfile.mkdtemp(prefix="kvt-png-")
        self.addCleanup(shutil.rmtree, d, True)
        rawpath = os.path.join(d, "screenshot.rgba")
        with open(rawpath, "wb") as f:
            f.write(raw)
        for src in (raw, rawpath):
            png = harness.rgba16_to_png(src, self.W, self.H, os.path.join(d, "s.png"))
            img = harness.RgbImage.load(png)
            self.assertEqual((img.width, img.height), (self.W, self.H))
            for y in range(self.H):
                for x in range(self.W):
                    self.assertEqual(img.pixel(x, y), pix[y * self.W + x][:3], (x, y))
        # A zero alpha must not blank out the PNG.
        png = harness.rgba16_to_png(self.raw([(200, 100, 50, 0)] * 12), self.W, self.H,
                                    os.path.join(d, "a.png"))
        self.assertEqual(harness.RgbImage.load(png).pixel(1, 1), (200, 100, 50))


if __name__ == "__main__":
    unittest.main(verbosity=2)
