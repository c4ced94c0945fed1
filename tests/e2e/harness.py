"""End-to-end harness for the Kelvarin game (Python 3 standard library only).

Pieces, each usable on its own:

* ``Xvfb``              - a private X server on a free display (context manager).
* ``NetNamespace``      - a private network namespace with loopback and a
                          multicast route (context manager).
* ``linked_namespaces`` - 2 to 8 namespaces joined by veth pairs on one bridge
                          that lives in a namespace of its own (context manager).
* ``make_workdir``      - a per-test working directory that links the game data.
* ``Game``              - the game process started inside a namespace, with its
                          stdout/stderr captured line by line.
* ``XInput``            - pointer and keyboard input through xdotool.
* ``window_info``       - geometry and title of a window (xwininfo).
* ``Screenshot``        - the game's raw ``screenshot.rgba`` with pixel helpers,
                          and ``take_screenshot`` to make the game write one.
* ``grab_window``       - an independent grab of a window through ImageMagick.
* ``menu_point``, ``click_menu``, ``choose_team`` - the menu under real input.
* ``game_pid``, ``memory`` - the game process itself and its memory figures.
* ``default_paths``, ``main`` - where a build keeps the game, the peer and
                          the data, and the command line of a test module.
* ``Peer``              - tools/kelvarin_peer (a protocol peer) in a namespace,
                          with what it heard parsed: datagrams, commands,
                          unit state records; ``cmnd`` packs a command.

Every resource is released when its context ends, also on exceptions; an
``atexit`` hook and SIGTERM/SIGHUP handlers catch what is left, and stale
``kvt-*`` namespaces of dead harness processes are removed when the first
namespace is made.
"""

import argparse
import atexit
import contextlib
import errno
import os
import pty
import random
import re
import select
import shutil
import signal
import string
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time

NS_PREFIX = "kvt-"
HERE = os.path.dirname(os.path.abspath(__file__))


class HarnessError(RuntimeError):
    pass


def log(msg):
    sys.stderr.write("[harness] %s\n" % msg)
    sys.stderr.flush()


def _run(cmd, check=True, timeout=30, **kw):
    """Run a short helper command; returns CompletedProcess with text output."""
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       text=True, timeout=timeout, **kw)
    if check and p.returncode != 0:
        raise HarnessError("command %r failed (%d): %s" % (cmd, p.returncode, p.stderr.strip()))
    return p


def which_or_fail(tool):
    path = shutil.which(tool)
    if not path:
        raise HarnessError("required tool not found: %s" % tool)
    return path


def convert_tool():
    """The real ImageMagick convert (a PATH entry may be a thin wrapper)."""
    for cand in ("/usr/bin/convert", "/usr/bin/convert-im6.q16"):
        if os.access(cand, os.X_OK):
            return cand
    return which_or_fail("convert")


def orphan_guard(sig="KILL"):
    """Command prefix that ends a child when this harness process dies,
    even by SIGKILL (a CTest time-out), where no cleanup code can run."""
    if shutil.which("setpriv"):
        return ["setpriv", "--pdeathsig", sig, "--"]
    return []


# --------------------------------------------------------------------------
# Cleanup registry: everything a test creates registers an undo function
# here, so that an interrupted run still leaves nothing behind.

_cleanups = {}
_cleanup_lock = threading.Lock()
_cleanup_seq = [0]


def _register_cleanup(fn):
    with _cleanup_lock:
        _cleanup_seq[0] += 1
        key = _cleanup_seq[0]
        _cleanups[key] = fn
    return key


def _unregister_cleanup(key):
    with _cleanup_lock:
        _cleanups.pop(key, None)


def run_all_cleanups():
    with _cleanup_lock:
        items = sorted(_cleanups.items(), reverse=True)
        _cleanups.clear()
    for _, fn in items:
        try:
            fn()
        except Exception as e:  # keep going: the rest must still be released
            log("cleanup failed: %s" % e)


def _on_signal(signum, frame):
    run_all_cleanups()
    # Re-raise with the default action so the exit status tells the signal.
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


atexit.register(run_all_cleanups)
for _sig in (signal.SIGTERM, signal.SIGHUP):
    try:
        if signal.getsignal(_sig) in (signal.SIG_DFL, None):
            signal.signal(_sig, _on_signal)
    except (ValueError, OSError):  # not the main thread
        pass


# --------------------------------------------------------------------------
# Xvfb


class Xvfb:
    """A private X server: ``with Xvfb() as x: x.display -> ':N'``.

    Xvfb picks the free display number itself (-displayfd), so parallel
    tests never race for one.
    """

    def __init__(self, width=1280, height=1024, depth=24, timeout=20):
        self.geometry = "%dx%dx%d" % (width, height, depth)
        self.timeout = timeout
        self.proc = None
        self.display = None
        self._key = None

    def __enter__(self):
        which_or_fail("Xvfb")
        rfd, wfd = os.pipe()
        try:
            self.proc = subprocess.Popen(
                orphan_guard("TERM") + ["Xvfb", "-displayfd", str(wfd), "-screen", "0", self.geometry,
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(wfd,), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                start_new_session=True)
        finally:
            os.close(wfd)
        self._key = _register_cleanup(self.stop)
        try:
            num = self._read_display_number(rfd)
        finally:
            os.close(rfd)
        self.display = ":%d" % num
        self._wait_ready()
        return self

    def _read_display_number(self, rfd):
        deadline = time.monotonic() + self.timeout
        buf = b""
        while not buf.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or self.proc.poll() is not None:
                err = self._stderr_text()
                self.stop()
                raise HarnessError("Xvfb did not start: %s" % err)
            r, _, _ = select.select([rfd], [], [], min(left, 0.2))
            if r:
                chunk = os.read(rfd, 64)
                if not chunk:
                    continue
                buf += chunk
        return int(buf.strip())

    def _stderr_text(self):
        if self.proc and self.proc.poll() is not None and self.proc.stderr:
            try:
                return self.proc.stderr.read().decode(errors="replace")[-2000:]
            except Exception:
                return ""
        return ""

    def _wait_ready(self):
        deadline = time.monotonic() + self.timeout
        env = dict(os.environ, DISPLAY=self.display)
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                err = self._stderr_text()
                self.stop()
                raise HarnessError("Xvfb exited early: %s" % err)
            p = subprocess.run(["xdpyinfo"], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
            if p.returncode == 0:
                return
            time.sleep(0.1)
        self.stop()
        raise HarnessError("Xvfb on %s did not accept connections" % self.display)

    def env(self, base=None):
        e = dict(os.environ if base is None else base)
        e["DISPLAY"] = self.display
        return e

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        if self.proc is not None and self.proc.stderr:
            self.proc.stderr.close()
        if self._key is not None:
            _unregister_cleanup(self._key)
            self._key = None

    def __exit__(self, *exc):
        self.stop()
        return False


# --------------------------------------------------------------------------
# Network namespaces


def _pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def list_namespaces():
    p = _run(["ip", "netns", "list"], check=False)
    names = []
    for line in p.stdout.splitlines():
        if line.strip():
            names.append(line.split()[0])
    return names


_swept = [False]


def sweep_stale_namespaces():
    """Delete kvt-<pid>-* namespaces whose creating process is gone.

    Namespaces of live harness processes (other tests running in parallel)
    are left alone.  Processes still inside a stale namespace are not
    touched; they only keep their (now nameless) namespace alive.
    """
    for name in list_namespaces():
        m = re.match(r"^%s(\d+)-" % re.escape(NS_PREFIX), name)
        if not m:
            continue
        if _pid_alive(int(m.group(1))):
            continue
        log("removing stale namespace %s" % name)
        _run(["ip", "netns", "del", name], check=False)


def require_root():
    if os.geteuid() != 0:
        raise HarnessError("network namespaces need root (run as root or with sudo)")


def _new_ns_name(tag=""):
    rnd = "".join(random.choice(string.ascii_lowercase + string.digits) for _ in range(6))
    return "%s%d-%s%s" % (NS_PREFIX, os.getpid(), tag, rnd)


# A tiny multicast self-check, run inside a namespace: joins the group on
# every address given, sends or receives one datagram.
_MCAST_PROBE = r'''
import socket, struct, sys, time
mode, group, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
token = sys.argv[4].encode()
if mode == "recv":
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM, socket.IPPROTO_UDP)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("0.0.0.0", port))
    s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                 struct.pack("4s4s", socket.inet_aton(group), socket.inet_aton("0.0.0.0")))
    print("ready", flush=True)
    s.settimeout(float(sys.argv[5]))
    try:
        while True:
            data, src = s.recvfrom(2048)
            if data == token:
                print("got", src[0], flush=True)
                break
    except socket.timeout:
        print("timeout", flush=True)
        sys.exit(1)
else:
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM, socket.IPPROTO_UDP)
    s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 5)
    s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_LOOP, int(sys.argv[5]))
    for _ in range(20):
        s.sendto(token, (group, port))
        time.sleep(0.05)
'''


def multicast_check(send_ns, recv_ns, group="225.44.44.44", port=9999, loop=1, timeout=3.0):
    """Send a datagram to ``group`` from ``send_ns``; True if ``recv_ns`` gets it.

    ``loop`` is the sender's IP_MULTICAST_LOOP setting (needed when sender
    and receiver share one namespace).
    """
    token = "kvt-probe-%d" % random.randrange(1 << 30)
    recv = subprocess.Popen(
        orphan_guard() + ["ip", "netns", "exec", recv_ns, sys.executable, "-c", _MCAST_PROBE,
         "recv", group, str(port), token, str(timeout)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        first = recv.stdout.readline().strip()
        if first != "ready":
            return False
        _run(["ip", "netns", "exec", send_ns, sys.executable, "-c", _MCAST_PROBE,
              "send", group, str(port), token, str(loop)], timeout=timeout + 5)
        out, _ = recv.communicate(timeout=timeout + 5)
        return recv.returncode == 0 and out.startswith("got")
    finally:
        if recv.poll() is None:
            recv.kill()
        recv.communicate()


class NetNamespace:
    """A private network namespace: loopback up, 224.0.0.0/4 routed to
    ``mc0`` (10.99.0.1/24), one end of a veth pair whose other end ``mc1``
    stays in the namespace with no group joined.

    Multicast sent out of ``mc0`` goes nowhere, as on a host alone on its
    segment: a copy with multicast loopback switched off does not hear
    itself (through ``lo`` it would, since lo hands every packet back).

    ``with NetNamespace() as ns: ns.name``; ``ns.exec_prefix()`` gives the
    command prefix to run something inside.  ``check_multicast=True``
    verifies that a multicast datagram sent inside is received inside.
    """

    def __init__(self, tag="", check_multicast=False, multicast_route=True):
        self.tag = tag
        self.check = check_multicast
        self.multicast_route = multicast_route
        self.name = None
        self._key = None

    def __enter__(self):
        require_root()
        if not _swept[0]:
            _swept[0] = True
            sweep_stale_namespaces()
        self.name = _new_ns_name(self.tag)
        _run(["ip", "netns", "add", self.name])
        self._key = _register_cleanup(self.delete)
        try:
            self.ip("link", "set", "lo", "up")
            if self.multicast_route:
                self.ip("link", "add", "mc0", "type", "veth", "peer", "name", "mc1")
                self.ip("addr", "add", "10.99.0.1/24", "dev", "mc0")
                self.ip("link", "set", "mc1", "up")
                self.ip("link", "set", "mc0", "up")
                self.ip("route", "add", "224.0.0.0/4", "dev", "mc0")
            if self.check and not multicast_check(self.name, self.name):
                raise HarnessError("multicast does not work inside %s" % self.name)
        except Exception:
            self.delete()
            raise
        return self

    def ip(self, *args, check=True):
        return _run(["ip", "-n", self.name] + list(args), check=check)

    def exec_prefix(self):
        return ["ip", "netns", "exec", self.name]

    def run(self, cmd, check=True, timeout=30):
        return _run(self.exec_prefix() + list(cmd), check=check, timeout=timeout)

    def pids(self):
        p = _run(["ip", "netns", "pids", self.name], check=False)
        return [int(x) for x in p.stdout.split() if x.isdigit()]

    def delete(self):
        if self.name is None:
            return
        _run(["ip", "netns", "del", self.name], check=False)
        if self._key is not None:
            _unregister_cleanup(self._key)
            self._key = None

    def __exit__(self, *exc):
        self.delete()
        return False


class LinkedNamespaces:
    """2 to 8 namespaces joined through veth pairs on one bridge.

    The bridge lives in a namespace of its own; nothing is created in the
    root namespace.  Member i gets address 10.77.0.(i+1)/24 on ``eth0`` and
    the multicast route 224.0.0.0/4 via ``eth0``, so multicast sent in one
    member reaches all the others (the bridge floods it; snooping is off).
    """

    def __init__(self, count=2, check_multicast=True, subnet="10.77.0"):
        if count < 2 or count > 8:
            raise ValueError("2 to 8 namespaces")
        self.count = count
        self.check = check_multicast
        self.subnet = subnet
        self.members = []
        self.bridge_ns = None
        self._stack = contextlib.ExitStack()

    def address(self, i):
        return "%s.%d" % (self.subnet, i + 1)

    def sender_id(self, i):
        """Namespace i's address as the game and the peer print a sender:
        the address's bytes in memory order, read as a little-endian int."""
        return "%02X%02X%02X%02X" % tuple(reversed([int(v) for v in self.address(i).split(".")]))

    def __enter__(self):
        try:
            self.bridge_ns = self._stack.enter_context(
                NetNamespace(tag="br", multicast_route=False))
            br = self.bridge_ns
            br.ip("link", "add", "br0", "type", "bridge")
            br.ip("link", "set", "br0", "type", "bridge", "mcast_snooping", "0")
            br.ip("link", "set", "br0", "up")
            for i in range(self.count):
                ns = self._stack.enter_context(
                    NetNamespace(tag="m%d" % i, multicast_route=False))
                self.members.append(ns)
                port = "v%d" % i
                br.ip("link", "add", port, "type", "veth", "peer", "name", "eth0",
                      "netns", ns.name)
                br.ip("link", "set", port, "master", "br0")
                br.ip("link", "set", port, "up")
                ns.ip("addr", "add", self.address(i) + "/24", "dev", "eth0")
                ns.ip("link", "set", "eth0", "up")
                ns.ip("route", "add", "224.0.0.0/4", "dev", "eth0")
            if self.check:
                self._wait_links()
                for i in range(1, self.count):
                    if not multicast_check(self.members[0].name, self.members[i].name, loop=0):
                        raise HarnessError("multicast from %s does not reach %s"
                                           % (self.members[0].name, self.members[i].name))
        except Exception:
            self._stack.close()
            raise
        return self

    def _wait_links(self, timeout=5.0):
        # Freshly enslaved bridge ports pass the listening/learning states
        # only with STP; without it they forward at once, but the veth
        # carrier may still take a moment.
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            states = [("LOWER_UP" in ns.ip("link", "show", "eth0").stdout) for ns in self.members]
            if all(states):
                return
            time.sleep(0.05)

    def __getitem__(self, i):
        return self.members[i]

    def __len__(self):
        return len(self.members)

    def __exit__(self, *exc):
        self._stack.close()
        return False


def linked_namespaces(count=2, check_multicast=True):
    return LinkedNamespaces(count, check_multicast)


# --------------------------------------------------------------------------
# Working directory


def make_workdir(data_dir, omit=(), prefix="kvt-run-"):
    """A temp dir for one game run, linking the game data from ``data_dir``.

    ``textures/`` and ``sounds/`` become real directories whose entries are
    symlinks, so a test can leave out single files: ``omit`` lists relative
    paths such as ``"textures/oak.tex"``.  Top-level ``*.txt`` files are
    linked as well.  Files the game writes (screenshot.rgba, path.dat,
    terrain.out) land in the temp dir, not in ``data_dir``.  Remove it with
    ``shutil.rmtree`` (``workdir()`` does that for you).
    """
    data_dir = os.path.abspath(data_dir)
    if not os.path.isdir(data_dir):
        raise HarnessError("data dir missing: %s" % data_dir)
    omit = set(os.path.normpath(o) for o in omit)
    d = tempfile.mkdtemp(prefix=prefix)
    for entry in sorted(os.listdir(data_dir)):
        src = os.path.join(data_dir, entry)
        if os.path.isdir(src) and entry in ("textures", "sounds"):
            os.mkdir(os.path.join(d, entry))
            for f in sorted(os.listdir(src)):
                rel = os.path.normpath(os.path.join(entry, f))
                if rel in omit:
                    continue
                os.symlink(os.path.join(src, f), os.path.join(d, entry, f))
        elif entry.endswith(".txt") and entry not in omit:
            os.symlink(src, os.path.join(d, entry))
    return d


@contextlib.contextmanager
def workdir(data_dir, omit=(), keep=False):
    d = make_workdir(data_dir, omit)
    try:
        yield d
    finally:
        if not keep:
            shutil.rmtree(d, ignore_errors=True)


# --------------------------------------------------------------------------
# Game process


class Game:
    """The game started inside a namespace with stdout/stderr captured.

    stdout goes through a pseudo-terminal so that the C library keeps it
    line-buffered (a pipe would hold printf output until exit); stderr is a
    pipe.  Lines are collected in background threads.

        g = Game(binary, ["tester", "WINDOW"], ns=ns, display=x.display, cwd=d)
        g.wait_for_line(r"^took a screenshot\\.$", 10)
        g.send_signal(signal.SIGINT); status = g.wait(10)

    ``status`` is the exit status as the shell shows it (0-255), or -N when
    the process died of signal N.
    """

    def __init__(self, binary, args=(), ns=None, display=None, cwd=None,
                 env=None, start=True):
        self.binary = os.path.abspath(binary)
        self.args = list(args)
        self.ns = ns
        self.display = display
        self.cwd = cwd
        self.extra_env = dict(env or {})
        self.home = None
        self._cleanups = []
        self.proc = None
        self.lines = []          # (stream, line) in arrival order
        self._cond = threading.Condition()
        self._threads = []
        self._closed = {"stdout": False, "stderr": False}
        self._key = None
        if start:
            self.start()

    def _env(self):
        env = dict(os.environ)
        if self.display is not None:
            env["DISPLAY"] = self.display
        # The sanitizer build must not fail on leaks inside the GL/X client
        # libraries; the game's own leaks are still reported.
        supp = os.path.join(HERE, "lsan.supp")
        if os.path.exists(supp) and "LSAN_OPTIONS" not in env:
            env["LSAN_OPTIONS"] = "suppressions=%s:print_suppressions=0" % supp
        # The player's settings and files stay out of every run: each game
        # gets directories of its own unless the caller names them (HOME
        # itself stays, so the GL library's shader cache stays warm).
        if not {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"} & set(self.extra_env):
            self.home = tempfile.mkdtemp(prefix="kvt-home-")
            remove = lambda d=self.home: shutil.rmtree(d, ignore_errors=True)  # noqa: E731
            self._cleanups.append((_register_cleanup(remove), remove))
            env["XDG_CONFIG_HOME"] = os.path.join(self.home, ".config")
            env["XDG_DATA_HOME"] = os.path.join(self.home, ".local", "share")
        env.update(self.extra_env)
        return env

    def command(self):
        cmd = orphan_guard()
        if self.ns is not None:
            name = self.ns if isinstance(self.ns, str) else self.ns.name
            cmd += ["ip", "netns", "exec", name]
        return cmd + [self.binary] + self.args

    def start(self):
        if self.ns is None:
            raise HarnessError("the game must run inside a private network namespace")
        master, slave = pty.openpty()
        attrs = termios.tcgetattr(slave)
        attrs[1] &= ~termios.OPOST  # no "\n" -> "\r\n" translation
        attrs[3] &= ~(termios.ECHO | termios.ICANON)
        termios.tcsetattr(slave, termios.TCSANOW, attrs)
        try:
            self.proc = subprocess.Popen(
                self.command(), cwd=self.cwd, env=self._env(),
                stdin=subprocess.DEVNULL, stdout=slave, stderr=subprocess.PIPE,
                start_new_session=True)
        except Exception:
            os.close(master)
            os.close(slave)
            raise
        os.close(slave)
        self._key = _register_cleanup(self.kill)
        self._master = master
        t1 = threading.Thread(target=self._read_pty, args=(master,), daemon=True)
        t2 = threading.Thread(target=self._read_pipe, args=(self.proc.stderr,), daemon=True)
        self._threads = [t1, t2]
        t1.start()
        t2.start()
        return self

    def _add_line(self, stream, line):
        with self._cond:
            self.lines.append((stream, line))
            self._cond.notify_all()

    def _finish(self, stream):
        with self._cond:
            self._closed[stream] = True
            self._cond.notify_all()

    def _read_pty(self, fd):
        buf = b""
        try:
            while True:
                try:
                    chunk = os.read(fd, 4096)
                except OSError as e:
                    if e.errno == errno.EIO:  # slave side closed: process gone
                        break
                    raise
                if not chunk:
                    break
                buf += chunk
                while b"\n" in buf:
                    line, buf = buf.split(b"\n", 1)
                    self._add_line("stdout", line.decode(errors="replace").rstrip("\r"))
        finally:
            if buf:
                self._add_line("stdout", buf.decode(errors="replace").rstrip("\r"))
            os.close(fd)
            self._finish("stdout")

    def _read_pipe(self, f):
        try:
            for raw in iter(f.readline, b""):
                self._add_line("stderr", raw.decode(errors="replace").rstrip("\n"))
        finally:
            f.close()
            self._finish("stderr")

    # -- output queries ---------------------------------------------------

    def output(self, stream=None):
        with self._cond:
            return [l for s, l in self.lines if stream is None or s == stream]

    def stdout_text(self):
        return "\n".join(self.output("stdout"))

    def stderr_text(self):
        return "\n".join(self.output("stderr"))

    def count_lines(self, regex, stream=None):
        r = re.compile(regex)
        return sum(1 for l in self.output(stream) if r.search(l))

    def wait_for_line(self, regex, timeout, stream=None, start=0):
        """Wait for a line matching ``regex`` (re.search) on ``stream``
        ("stdout", "stderr" or None for both) among the lines from index
        ``start`` of ``self.lines`` on.  Returns the line, or None on timeout
        or when the streams closed without it."""
        r = re.compile(regex)
        deadline = time.monotonic() + timeout
        i = start
        with self._cond:
            while True:
                while i < len(self.lines):
                    s, l = self.lines[i]
                    i += 1
                    if (stream is None or s == stream) and r.search(l):
                        return l
                if all(self._closed.values()):
                    return None
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._cond.wait(left)

    def mark(self):
        """Index to pass as ``start`` to wait_for_line to see only new lines."""
        with self._cond:
            return len(self.lines)

    # -- process control --------------------------------------------------

    @property
    def pid(self):
        return self.proc.pid

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def send_signal(self, sig):
        if self.running():
            self.proc.send_signal(sig)

    def signal_pending(self, sig):
        """True while ``sig`` is pending (sent, handler not yet entered)."""
        try:
            with open("/proc/%d/status" % self.proc.pid) as f:
                text = f.read()
        except OSError:
            return False
        bit = 1 << (sig - 1)
        for field in ("SigPnd", "ShdPnd"):
            m = re.search(r"^%s:\s*([0-9a-fA-F]+)" % field, text, re.M)
            if m and int(m.group(1), 16) & bit:
                return True
        return False

    def send_signal_twice(self, sig=signal.SIGINT, timeout=5.0):
        """Send ``sig`` twice so that both are delivered: the second goes
        out as soon as the first has reached its handler (two signals sent
        back to back would merge into one pending signal).  Returns True if
        the process was still there for the second one."""
        self.send_signal(sig)
        deadline = time.monotonic() + timeout
        while self.running() and self.signal_pending(sig) and time.monotonic() < deadline:
            time.sleep(0.0005)
        if not self.running():
            return False
        self.send_signal(sig)
        return True

    def wait(self, timeout):
        """Exit status (0-255, or -signal); None if still running after timeout."""
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        for t in self._threads:
            t.join(5)
        return rc

    def kill(self):
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        for t in self._threads:
            t.join(2)
        if self._key is not None:
            _unregister_cleanup(self._key)
            self._key = None
        while self._cleanups:
            key, fn = self._cleanups.pop()
            _unregister_cleanup(key)
            fn()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()
        return False

    def dump(self, limit=60):
        """Last lines of both streams, for failure messages."""
        with self._cond:
            tail = self.lines[-limit:]
        return "\n".join("%s: %s" % (s, l) for s, l in tail)


# --------------------------------------------------------------------------
# X windows and input


def find_windows(display, name="Kelvarin", exact=True):
    pattern = "^%s$" % re.escape(name) if exact else name
    p = subprocess.run(["xdotool", "search", "--name", pattern],
                       env=dict(os.environ, DISPLAY=display),
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return [int(w) for w in p.stdout.split()]


def wait_for_window(display, name="Kelvarin", timeout=20, game=None):
    """Id of the first viewable window titled ``name``; HarnessError on
    timeout (or as soon as ``game`` has exited)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for w in find_windows(display, name):
            info = window_info(display, w, check=False)
            if info and info.get("map_state") == "IsViewable":
                return w
        if game is not None and not game.running():
            raise HarnessError("game exited (status %s) before its window appeared:\n%s"
                               % (game.proc.returncode, game.dump()))
        time.sleep(0.1)
    raise HarnessError("no window named %r on %s after %ss" % (name, display, timeout))


def window_info(display, window=None, name="Kelvarin", check=True):
    """Parse ``xwininfo``: dict with id, title, x, y (absolute), width,
    height, depth, map_state."""
    cmd = ["xwininfo"] + (["-id", str(window)] if window is not None else ["-name", name])
    p = subprocess.run(cmd, env=dict(os.environ, DISPLAY=display),
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if p.returncode != 0:
        if check:
            raise HarnessError("xwininfo failed: %s" % p.stderr.strip())
        return None
    info = {}
    m = re.search(r'Window id: (0x[0-9a-fA-F]+) (?:"(.*)"|\((.*)\))', p.stdout)
    if m:
        info["id"] = int(m.group(1), 16)
        info["title"] = m.group(2) if m.group(2) is not None else None
    fields = {"Absolute upper-left X": "x", "Absolute upper-left Y": "y",
              "Width": "width", "Height": "height", "Depth": "depth"}
    for label, key in fields.items():
        m = re.search(r"^\s*%s:\s+(-?\d+)" % re.escape(label), p.stdout, re.M)
        if m:
            info[key] = int(m.group(1))
    m = re.search(r"^\s*Map State:\s+(\S+)", p.stdout, re.M)
    if m:
        info["map_state"] = m.group(1)
    return info


class XInput:
    """Real input through the XTEST extension (xdotool) on ``display``.

    Pointer positions are relative to ``window`` (an X window id).
    """

    def __init__(self, display, window=None):
        which_or_fail("xdotool")
        self.display = display
        self.window = window
        self._sink = None

    def _xdo(self, *args):
        return _run(["xdotool"] + [str(a) for a in args],
                    env=dict(os.environ, DISPLAY=self.display))

    def _search(self, *args):
        p = subprocess.run(["xdotool", "search"] + list(args),
                           env=dict(os.environ, DISPLAY=self.display),
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=10)
        return [int(w) for w in p.stdout.split()]

    def move(self, x, y):
        """Move the pointer to (x, y) inside the window."""
        if self.window is None:
            self._xdo("mousemove", x, y)
        else:
            self._xdo("mousemove", "--window", self.window, x, y)

    def move_relative(self, dx, dy):
        self._xdo("mousemove_relative", "--", dx, dy)

    def pointer(self):
        out = self._xdo("getmouselocation", "--shell").stdout
        vals = dict(l.split("=", 1) for l in out.split() if "=" in l)
        return int(vals["X"]), int(vals["Y"])

    def click(self, button=1, x=None, y=None):
        if x is not None:
            self.move(x, y)
        self._xdo("click", button)

    def button_down(self, button=1):
        self._xdo("mousedown", button)

    def button_up(self, button=1):
        self._xdo("mouseup", button)

    def drag(self, start, points, button=1, pause=0.15):
        """Presses the button at ``start``, moves through ``points`` with a
        pause after each, and releases it at the last one."""
        self.move(*start)
        time.sleep(pause)
        self.button_down(button)
        for x, y in points:
            time.sleep(pause)
            self.move(x, y)
        time.sleep(pause)
        self.button_up(button)

    def key(self, *keys, delay_ms=None):
        """Press and release: ``key("alt+x")``, ``key("Return")``."""
        args = ["key"] + (["--delay", delay_ms] if delay_ms is not None else []) + list(keys)
        self._xdo(*args)

    def key_down(self, *keys):
        self._xdo("keydown", *keys)

    def key_up(self, *keys):
        self._xdo("keyup", *keys)

    def type(self, text, delay_ms=12):
        self._xdo("type", "--delay", delay_ms, text)

    def typed(self, key, shift=False, pause=0.3):
        """A key press as the game sees it: the game reads Shift from the
        keyboard state when the event arrives, so Shift is held around it."""
        if shift:
            self.key_down("shift")
            time.sleep(pause)
        self.key(key)
        time.sleep(pause)
        if shift:
            self.key_up("shift")
            time.sleep(pause)

    @contextlib.contextmanager
    def held(self, *keys):
        """``with inp.held("alt", "x"): ...`` holds the keys inside."""
        self.key_down(*keys)
        try:
            yield
        finally:
            self.key_up(*reversed(keys))

    def focus(self, window=None):
        self._xdo("windowfocus", "--sync", window if window is not None else self.window)

    @contextlib.contextmanager
    def focus_elsewhere(self):
        """Keep keyboard events away from the game while keys are held.

        The game reads held keys from the server's keyboard state, so a
        held combination still counts, but no KeyPress reaches the game's
        own key handling (the menu, for example, acts on typed Alt+Q).
        A small xmessage window in the screen's corner takes the focus.
        """
        env = dict(os.environ, DISPLAY=self.display)
        sink = subprocess.Popen(orphan_guard() + ["xmessage", "-geometry", "+1279+1023", "-name", "kvt-sink", "."],
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        key = _register_cleanup(lambda: (sink.poll() is None and sink.kill()))
        try:
            wid = None
            deadline = time.monotonic() + 10
            while wid is None and time.monotonic() < deadline:
                if sink.poll() is not None:
                    raise HarnessError("focus sink (xmessage) exited")
                for w in self._search("--onlyvisible", "--classname", "^kvt-sink$"):
                    wid = w
                    break
                else:
                    time.sleep(0.05)
            if wid is None:
                raise HarnessError("focus sink window did not appear")
            self._xdo("windowfocus", "--sync", wid)
            yield wid
        finally:
            if sink.poll() is None:
                sink.kill()
                sink.wait(5)
            _unregister_cleanup(key)


# --------------------------------------------------------------------------
# Screenshots


class Screenshot:
    """A raw game screenshot: 16-bit little-endian RGBA, 8 bytes per pixel
    (R,0,G,0,B,0,A,0), top row first, no header."""

    def __init__(self, data, width, height):
        if len(data) != width * height * 8:
            raise HarnessError("screenshot has %d bytes, expected %d for %dx%d"
                               % (len(data), width * height * 8, width, height))
        self.data = bytes(data)
        self.width = width
        self.height = height

    @classmethod
    def load(cls, path, width, height):
        with open(path, "rb") as f:
            return cls(f.read(), width, height)

    def high_bytes_zero(self):
        """True when every channel's high byte is 0 (values are 8-bit)."""
        return self.data[1::2].count(0) == len(self.data) // 2

    def rgba8(self):
        """The image as plain 8-bit RGBA bytes (the low byte of each channel)."""
        return self.data[0::2]

    def pixel(self, x, y):
        """(r, g, b) at (x, y), origin top-left."""
        o = (y * self.width + x) * 8
        d = self.data
        return (d[o] | d[o + 1] << 8, d[o + 2] | d[o + 3] << 8, d[o + 4] | d[o + 5] << 8)

    def mean_level(self, x_end, y_end, step):
        """Mean of the red, green and blue levels over a grid of pixels, every
        ``step`` from the top-left corner to (x_end, y_end)."""
        levels = [sum(self.pixel(x, y)) for y in range(0, y_end, step) for x in range(0, x_end, step)]
        return sum(levels) / (3 * len(levels))

    def alpha(self, x, y):
        o = (y * self.width + x) * 8 + 6
        return self.data[o] | self.data[o + 1] << 8

    def colours(self):
        """Set of distinct (r, g, b) triples."""
        if self.high_bytes_zero():
            b = self.rgba8()
            return set(zip(b[0::4], b[1::4], b[2::4]))
        return set(self.pixel(x, y) for y in range(self.height) for x in range(self.width))

    def count_colours(self):
        return len(self.colours())

    def is_uniform(self):
        first = self.data[:6]
        d = self.data
        for o in range(0, len(d), 8):
            if d[o:o + 6] != first:
                return False
        return True

    def near(self, x, y, rgb, tol=8):
        """True if the colour at (x, y) is within ``tol`` of ``rgb`` per channel."""
        return colour_near(self.pixel(x, y), rgb, tol)

    def to_png(self, out_png, keep_alpha=False):
        return rgba16_to_png(self.data, self.width, self.height, out_png, keep_alpha)


def colour_near(a, b, tol=8):
    return all(abs(int(p) - int(q)) <= tol for p, q in zip(a, b))


def rgba16_to_png(raw, width, height, out_png, keep_alpha=False):
    """Convert raw screenshot bytes (or a path to them) into a PNG.

    The file's channels are 16-bit little-endian values in 0..255.  Taken
    as they are, ImageMagick sees 16-bit values of at most 255/65535: a
    black, transparent picture.  Taken big-endian (R*256) the bright values
    come out one too low (255 -> 254).  So the bytes are read little-endian
    (-endian LSB) and multiplied by 257, which maps v to exactly v in 8
    bits.  Alpha is dropped unless asked for: the frame buffer's alpha says
    nothing about what is on screen.
    """
    cmd = [convert_tool(), "-size", "%dx%d" % (width, height), "-depth", "16",
           "-endian", "LSB", "rgba:%s" % ("-" if isinstance(raw, (bytes, bytearray)) else raw),
           "-evaluate", "multiply", "257"]
    if not keep_alpha:
        cmd += ["-alpha", "off"]
    cmd += ["-depth", "8", out_png]
    p = subprocess.run(cmd, input=raw if isinstance(raw, (bytes, bytearray)) else None,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0:
        raise HarnessError("convert failed: %s" % p.stderr.decode(errors="replace"))
    return out_png


def read_image_rgb(path):
    """(width, height, rgb-bytes) of any image ImageMagick reads."""
    conv = convert_tool()
    p = subprocess.run([conv, path, "-format", "%w %h", "info:"], stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, text=True)
    if p.returncode != 0:
        raise HarnessError("cannot read %s: %s" % (path, p.stderr))
    w, h = (int(v) for v in p.stdout.split()[:2])
    p = subprocess.run([conv, path, "-alpha", "off", "-depth", "8", "rgb:-"],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0 or len(p.stdout) != w * h * 3:
        raise HarnessError("cannot decode %s" % path)
    return w, h, p.stdout


class RgbImage:
    """8-bit RGB picture (from a window grab or a PNG) with pixel access."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @classmethod
    def load(cls, path):
        return cls(*read_image_rgb(path))

    def pixel(self, x, y):
        o = (y * self.width + x) * 3
        return tuple(self.rgb[o:o + 3])

    def near(self, x, y, rgb, tol=8):
        return colour_near(self.pixel(x, y), rgb, tol)


def grab_window(display, window, out_png):
    """Grab a window's contents from the X server (ImageMagick ``import``)."""
    which_or_fail("import")
    p = subprocess.run(["import", "-window", str(window), out_png],
                       env=dict(os.environ, DISPLAY=display),
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    if p.returncode != 0:
        raise HarnessError("import failed: %s" % p.stderr.decode(errors="replace"))
    return RgbImage.load(out_png)


SCREENSHOT_LINE = r"^took a screenshot\.$"


def take_screenshot(game, xin, width, height, timeout=15, settle=0.4, use_focus_sink=True, path=None):
    """Make the game write screenshot.rgba (Alt+X held) and return a
    ``Screenshot`` of it.  The file is looked for in the game's working
    directory unless ``path`` names where the game writes it.

    The game writes the file in every pass while both keys are down, so
    the keys are held until the first "took a screenshot." line arrives,
    then released; the file is read once no new line has come for
    ``settle`` seconds and it has its full size.
    """
    path = path or os.path.join(game.cwd, "screenshot.rgba")
    if os.path.exists(path):
        os.unlink(path)
    start = game.mark()
    sink = xin.focus_elsewhere() if use_focus_sink else contextlib.nullcontext()
    with sink:
        with xin.held("alt", "x"):
            line = game.wait_for_line(SCREENSHOT_LINE, timeout, stream="stdout", start=start)
    if line is None:
        raise HarnessError("no screenshot line from the game:\n%s" % game.dump())
    expected = width * height * 8
    deadline = time.monotonic() + timeout
    last_count, last_change = -1, time.monotonic()
    while time.monotonic() < deadline:
        n = len([1 for s, l in game.lines[start:] if s == "stdout" and re.search(SCREENSHOT_LINE, l)])
        now = time.monotonic()
        if n != last_count:
            last_count, last_change = n, now
        size = os.path.getsize(path) if os.path.exists(path) else -1
        if now - last_change >= settle and size == expected:
            return Screenshot.load(path, width, height)
        time.sleep(0.05)
    size = os.path.getsize(path) if os.path.exists(path) else -1
    raise HarnessError("screenshot.rgba not complete: %d bytes, expected %d" % (size, expected))


# --------------------------------------------------------------------------
# The menu under real input, and the game process


MENU_W, MENU_H = 1280, 1024  # the menu's virtual screen


def menu_point(vx, vy, width=600, height=400):
    """A point of the menu's virtual screen as a pixel of the window."""
    return int(vx * width / MENU_W) + 1, int(vy * height / MENU_H) + 1


def click_menu(xin, vx, vy, width=600, height=400):
    """A real left click at a point of the menu's virtual screen."""
    xin.move(*menu_point(vx, vy, width, height))
    time.sleep(0.2)
    xin.click(1)
    time.sleep(0.3)


def choose_team(xin, team, width=600, height=400, game=None, open_window=True):
    """The team window: "Teams" (unless ``open_window`` is false because it
    is open already), then "Attackers" (0) or "Defenders" (1).

    Given the copy's ``Game``, waits until the copy says it plays for that
    team. On a loaded machine the window may still be sliding in when the
    side's button is clicked, or may not have opened yet, so a click that
    changed nothing is repeated, and every second miss toggles the window."""
    teams_button = (875, 975)
    side_button = ((198 if team == 0 else 476) + 360 + 90, 50 + 275 + 18)
    if open_window:
        click_menu(xin, *teams_button, width, height)
        time.sleep(1.0)
    if game is None:
        click_menu(xin, *side_button, width, height)
        time.sleep(0.5)
        return
    start = game.mark()
    for attempt in range(6):
        click_menu(xin, *side_button, width, height)
        if game.wait_for_line(r"^playing for team %d$" % team, 3, stream="stdout", start=start):
            return
        if attempt % 2 == 1:
            click_menu(xin, *teams_button, width, height)
            time.sleep(1.5)
    raise AssertionError("the copy never took team %d\n%s" % (team, game.dump()))


def game_pid(game):
    """The kelvarin process itself: ``ip netns exec`` replaces itself with
    it, a wrapper may stand between."""
    pid = game.pid
    for _ in range(3):
        try:
            with open("/proc/%d/comm" % pid) as f:
                if f.read().strip() == "kelvarin":
                    return pid
            with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
                kids = f.read().split()
        except OSError:
            break
        if not kids:
            break
        pid = int(kids[0])
    return game.pid


def memory(pid):
    """(VmRSS, VmHWM) of a process in kB, or None once it is gone."""
    vals = {}
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                k, _, v = line.partition(":")
                if k in ("VmRSS", "VmHWM"):
                    vals[k] = int(v.split()[0])
    except OSError:
        return None
    return vals.get("VmRSS", 0), vals.get("VmHWM", 0)


def default_paths():
    """The game, the protocol peer and the data of a build: the one named by
    KELVARIN_BUILD, else build/ at the top of the tree."""
    build = os.path.abspath(os.environ.get("KELVARIN_BUILD", os.path.join(HERE, "..", "..", "build")))
    return argparse.Namespace(binary=os.path.join(build, "kelvarin"), data=os.path.join(build, "data"),
                              peer=os.path.join(build, "tools", "kelvarin_peer"))


def main(paths=None, needs_root=True):
    """The command line of an end-to-end test module: --binary, --peer and
    --data set the fields of ``paths`` (a namespace from default_paths, kept
    by the module), the rest goes to unittest. Runs that need namespaces exit
    with 77, which ctest counts as skipped, when not run as root."""
    import unittest
    ap = argparse.ArgumentParser()
    for name in ("binary", "peer", "data"):
        ap.add_argument("--" + name, default=getattr(paths, name, None) if paths else None)
    known, rest = ap.parse_known_args()
    if paths is not None:
        for name in ("binary", "peer", "data"):
            if getattr(known, name):
                setattr(paths, name, os.path.abspath(getattr(known, name)))
    if needs_root and os.geteuid() != 0:
        print("needs root for network namespaces; skipped")
        sys.exit(77)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


# --------------------------------------------------------------------------
# The protocol peer


def cmnd(subtag, *params):
    """A "CMND" datagram: ints go as 32-bit unsigned, floats as 32-bit
    floats, all little-endian, padded with zeros to its 24 bytes."""
    body = b"CMND" + subtag.encode()
    for v in params:
        body += struct.pack("<f", v) if isinstance(v, float) else struct.pack("<I", v & 0xFFFFFFFF)
    return body + b"\0" * (24 - len(body))


def uupd(records):
    """A "UUPD" batch of state records, each (unit id, [values]); ids go as
    32-bit unsigned, values as 32-bit floats, all little-endian."""
    body = b"UUPD" + struct.pack("<I", len(records))
    for uid, values in records:
        body += struct.pack("<II", uid & 0xFFFFFFFF, len(values)) + struct.pack("<%df" % len(values), *values)
    return body


def unit_records(datagrams):
    """{unit id: values} of the last state record heard for every unit in
    the "UUPD" batches among ``datagrams`` (bytes, oldest first). Records
    that overrun their datagram end the batch."""
    out = {}
    for d in datagrams:
        if d[:4] != b"UUPD" or len(d) < 8:
            continue
        (count,) = struct.unpack("<I", d[4:8])
        off = 8
        for _ in range(count):
            if off + 8 > len(d):
                break
            uid, n = struct.unpack("<II", d[off:off + 8])
            if off + 8 + 4 * n > len(d):
                break
            out[uid] = struct.unpack("<%df" % n, d[off + 8:off + 8 + 4 * n])
            off += 8 + 4 * n
    return out


class Peer:
    """tools/kelvarin_peer started in a namespace, driven through its
    standard input; every line it prints is kept in ``lines``. The
    ``since`` arguments are indexes into ``lines`` (``mark()``)."""

    RECV = re.compile(r"RECV (\S+) (\S+) (\d+) ([0-9a-f]*)$")

    def __init__(self, ns, binary, channel=0):
        self.lines = []
        self.p = subprocess.Popen(ns.exec_prefix() + [binary, str(channel)], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
        threading.Thread(target=self._pump, daemon=True).start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def _pump(self):
        for line in self.p.stdout:
            self.lines.append(line.rstrip("\n"))

    def mark(self):
        return len(self.lines)

    def send(self, line):
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()

    def send_raw(self, datagram):
        self.send("raw " + datagram.hex())

    def sync(self, timeout=60):
        """Waits until every command sent so far has run."""
        mark = self.mark()
        self.send("ping")
        end = time.time() + timeout
        while time.time() < end:
            if "PONG" in self.lines[mark:]:
                return True
            time.sleep(0.05)
        return False

    def wait_for(self, regex, timeout, since=0):
        end = time.time() + timeout
        while time.time() < end:
            for l in self.lines[since:]:
                m = re.search(regex, l)
                if m:
                    return m
            time.sleep(0.05)
        return None

    def received(self, since=0, sender=None, until=None):
        """(sender, bytes) of every datagram heard, oldest first; the sender
        is the peer's hex form of the source address."""
        out = []
        for l in self.lines[since:until]:
            m = self.RECV.match(l)
            if m and (sender is None or m.group(2) == sender):
                out.append((m.group(2), bytes.fromhex(m.group(4))))
        return out

    def commands(self, subtag, since=0, sender=None):
        """The "CMND" datagrams of that sub-tag heard, as (sender, bytes)."""
        head = b"CMND" + subtag.encode()
        return [(s, d) for s, d in self.received(since, sender) if d[:8] == head]

    def times(self, subtag, since=0, sender=None):
        """The peer's clock (seconds) at each "CMND" of that sub-tag heard."""
        head = (b"CMND" + subtag.encode()).hex()
        out = []
        for l in self.lines[since:]:
            m = self.RECV.match(l)
            if m and m.group(4).startswith(head) and (sender is None or m.group(2) == sender):
                out.append(float(m.group(1)))
        return out

    def record_times(self, unit_id, since=0, sender=None):
        """The peer's clock (seconds) at each "UUPD" batch heard that holds a
        state record for that unit."""
        out = []
        for l in self.lines[since:]:
            m = self.RECV.match(l)
            if m and m.group(4).startswith(b"UUPD".hex()) and (sender is None or m.group(2) == sender):
                if unit_id in unit_records([bytes.fromhex(m.group(4))]):
                    out.append(float(m.group(1)))
        return out

    def units(self, since=0, sender=None):
        """{unit id: values} of the last state record heard for each unit."""
        return unit_records([d for _, d in self.received(since, sender)])

    def stop(self):
        if self.p.poll() is None:
            self.p.terminate()
            try:
                self.p.wait(3)
            except subprocess.TimeoutExpired:
                self.p.kill()
                self.p.wait(3)
        for pipe in (self.p.stdin, self.p.stdout):
            try:
                pipe.close()
            except OSError:
                pass
