"""Sandboxes for running the Windows program and its tests under Wine.

Everything that may send packets runs inside a private network namespace
(netns.NetNs), so a broadcast or a stray connection can never leave this
machine. A `WineSession` gives one test its own Wine prefix, X server and
wineserver, all started inside such a namespace.

    with NetNs("e2e-pc") as pc, NetNs("e2e-router") as router:
        dev, _ = pc.add_veth_peer(router, "192.168.1.10/24", "192.168.1.1/24")
        pc.add_route("255.255.255.255/32", dev)   # a broadcast needs a route
        sim = subprocess.Popen(router.exec_argv(["python3", "router_sim.py"]))
        with WineSession(build_dir, pc, "e2e") as session:
            app = session.popen([exe])     # wine exe, inside pc's namespace
            ...
            session.screenshot("screen.png")

Set FWU_KEEP=1 to keep a session's prefix copy for a look afterwards.
Set FWU_WINE_ROOT=/var/lib/fwu-wine10 to run the Wine installed in that
Debian root instead of the system's; everything else stays the same.
Python 3 standard library only. Every wait is bounded by a timeout.
"""

import fcntl
import hashlib
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import threading
import time
import uuid

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import netns  # noqa: E402
from netns import NetNs, NetnsError, pid_alive as _pid_alive  # noqa: E402,F401

WINE_DLL_OVERRIDES = "mscoree,mshtml="
SCREEN = "1024x768x24"

# Registry settings every prefix starts with. A crash must end the process
# (and with it the test) instead of opening a dialog nobody can click, and
# dialogs asking for "Arial" get a font with the same metrics. There is no
# window manager on the X server: Wine draws every frame itself.
TEMPLATE_REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Auto"="1"
"Debugger"="false"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Helvetica Narrow"="Liberation Sans Narrow"
"Arial Narrow"="Liberation Sans Narrow"
"""

# Marks a finished template; a half-built one (killed run) is rebuilt, and so
# is one made with other settings (the marker holds their fingerprint).
_TEMPLATE_READY = ".fwu-template-ready"
_TEMPLATE_VERSION = "2"
# Caption buttons are drawn with Marlett glyphs; Debian's Wine ships the font
# but its prefixes do not find it.
_EXTRA_FONTS = ("/usr/share/wine/fonts/marlett.ttf",)
# Held by a running wineserver; each prefix copy needs its own.
_PREFIX_LOCAL_FILES = ("wineserver",)


class SandboxError(NetnsError):
    pass


def log(msg):
    print(f"sandbox: {msg}", file=sys.stderr, flush=True)


def _run(argv, timeout=30, check=True, env=None, cwd=None, input=None):
    """Runs a short helper command with captured output; raises on failure."""
    try:
        return netns.run(argv, timeout, check, env, cwd, input)
    except NetnsError as e:
        raise SandboxError(str(e)) from e


def stop_process(proc, timeout=5):
    """Ends a child we started: SIGTERM to its group, SIGKILL if it lingers."""
    if proc is None or proc.poll() is not None:
        return
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(proc.pid, sig)
        except (ProcessLookupError, PermissionError):
            try:
                proc.send_signal(sig)
            except ProcessLookupError:
                return
        try:
            proc.wait(timeout=timeout)
            return
        except subprocess.TimeoutExpired:
            continue


# --- Wine ------------------------------------------------------------------


def wine_root():
    """The root holding the Wine to run ('' for the system's own)."""
    return os.environ.get("FWU_WINE_ROOT", "").rstrip("/")


# Run inside the namespace's private mount namespace (ip netns exec makes
# one), so the mounts go with the command: the root's /usr (programs and
# libraries; /bin and /lib are links into it) over the system's, and the
# root's library cache. Every other folder stays the system's, so paths mean
# the same to both Wines.
_ROOT_USR_SCRIPT = r"""set -e
mount --bind "$0/usr" /usr
mount --bind "$0/etc/ld.so.cache" /etc/ld.so.cache
exec "$@"
"""


def wine_argv(ns, argv):
    """The command line running a Wine command (wine, wineboot, wineserver)
    inside namespace ns, with the chosen Wine."""
    root = wine_root()
    if not root:
        return ns.exec_argv(argv)
    return ns.exec_argv(["sh", "-c", _ROOT_USR_SCRIPT, root, *argv])


def wine_version():
    """What the chosen Wine says it is, e.g. "wine-10.0 (Debian 10.0~repack-6)"."""
    with NetNs("fwu-ver") as ns:
        return _run(wine_argv(ns, ["wine", "--version"])).stdout.strip()


def find_build_dir(path):
    """The build folder holding `path`: the nearest parent with CMakeCache.txt."""
    d = os.path.dirname(os.path.abspath(path))
    while True:
        if os.path.isfile(os.path.join(d, "CMakeCache.txt")):
            return d
        parent = os.path.dirname(d)
        if parent == d:
            raise SandboxError(f"no CMakeCache.txt above {path}")
        d = parent


def wine_env(prefix, display=None, extra=None):
    env = dict(os.environ)
    for var in ("WAYLAND_DISPLAY", "WINESERVER", "WINELOADER"):
        env.pop(var, None)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win64",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": WINE_DLL_OVERRIDES,
        "LC_ALL": "C.UTF-8",
        "DISPLAY": display or "",
    })
    if extra:
        env.update(extra)
    return env


class _FileLock:
    """flock on a file, waited for with a timeout."""

    def __init__(self, path, timeout):
        self.path, self.timeout, self.fd = path, timeout, None

    def __enter__(self):
        self.fd = os.open(self.path, os.O_RDWR | os.O_CREAT, 0o644)
        deadline = time.monotonic() + self.timeout
        while True:
            try:
                fcntl.flock(self.fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return self
            except BlockingIOError:
                if time.monotonic() > deadline:
                    os.close(self.fd)
                    raise SandboxError(f"timed out waiting for lock {self.path}")
                time.sleep(0.1)

    def __exit__(self, *exc):
        fcntl.flock(self.fd, fcntl.LOCK_UN)
        os.close(self.fd)
        return False


def _wine_package_version():
    """The installed version of the chosen Wine's libraries, from its root's
    package list: a Wine brought up to date makes its template again."""
    try:
        with open((wine_root() or "") + "/var/lib/dpkg/status", errors="replace") as f:
            for stanza in f.read().split("\n\n"):
                if stanza.startswith("Package: libwine\n"):
                    return re.search(r"^Version: (.*)$", stanza, re.M).group(1)
    except (OSError, AttributeError):
        pass
    return ""


def _template_fingerprint():
    return hashlib.sha256((_TEMPLATE_VERSION + TEMPLATE_REGISTRY + repr(_EXTRA_FONTS) +
                           wine_root() + _wine_package_version()).encode()).hexdigest()


def _template_ready(template):
    try:
        with open(os.path.join(template, _TEMPLATE_READY)) as f:
            return f.read().strip() == _template_fingerprint()
    except OSError:
        return False


def template_dir(build_dir):
    """One per Wine: a prefix made by one Wine is upgraded by another."""
    suffix = "-" + os.path.basename(wine_root()) if wine_root() else ""
    return os.path.join(os.path.abspath(build_dir), "wine", "template" + suffix)


def ensure_template(build_dir, timeout=240):
    """Creates the template prefix once per build folder; returns its path.

    Parallel test runs wait on a lock file; the loser finds it ready."""
    wine_dir = os.path.join(os.path.abspath(build_dir), "wine")
    template = template_dir(build_dir)
    if _template_ready(template):
        return template
    os.makedirs(wine_dir, exist_ok=True)
    with _FileLock(os.path.join(wine_dir, "template.lock"), timeout):
        if _template_ready(template):
            return template
        started = time.monotonic()
        work = os.path.join(wine_dir, f"template.tmp-{os.getpid()}")
        old = os.path.join(wine_dir, f"template.old-{os.getpid()}")
        for stale in (work, old):
            shutil.rmtree(stale, ignore_errors=True)
        try:
            _build_template(work)
            with open(os.path.join(work, _TEMPLATE_READY), "w") as f:
                f.write(_template_fingerprint() + "\n")
            # Running sessions keep their hard links; only the name moves.
            if os.path.exists(template):
                os.rename(template, old)
            os.rename(work, template)
        finally:
            shutil.rmtree(work, ignore_errors=True)
            shutil.rmtree(old, ignore_errors=True)
        log(f"created Wine template prefix in {time.monotonic() - started:.1f} s")
    return template


def _build_template(prefix):
    env = wine_env(prefix)
    reg_file = prefix + ".reg"
    with open(reg_file, "w") as f:
        f.write(TEMPLATE_REGISTRY)
    # wineboot starts wineserver and services: keep them off the host's network.
    with NetNs("fwu-tpl") as ns:
        try:
            _run(wine_argv(ns, ["wineboot", "-i"]), timeout=180, env=env)
            _run(wine_argv(ns, ["wine", "regedit", "/S", reg_file]), timeout=60, env=env)
            # Registry is written to disk when the server ends.
            _run(wine_argv(ns, ["wineserver", "-w"]), timeout=60, env=env)
        finally:
            _run(wine_argv(ns, ["wineserver", "-k"]), timeout=15, env=env, check=False)
            os.remove(reg_file)
    with open(os.path.join(prefix, "system.reg")) as f:
        if '"Debugger"="false"' not in f.read():
            raise SandboxError("registry settings did not reach the template prefix")
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    for font in (wine_root() + f for f in _EXTRA_FONTS):
        if os.path.isfile(font) and os.path.isdir(fonts):
            shutil.copy(font, fonts)
    for name in _PREFIX_LOCAL_FILES:
        path = os.path.join(prefix, name)
        if os.path.lexists(path):
            os.remove(path)


def copy_prefix(template, dest):
    """Hard-link copy of the template (a full one is ~700 MB). The registry
    files are real copies: wineserver rewrites them, the template must not change."""
    _run(["cp", "-al", template, dest], timeout=60)
    for name in os.listdir(dest):
        path = os.path.join(dest, name)
        if name.endswith(".reg"):
            tmp = path + ".copy"
            shutil.copy2(path, tmp)
            os.replace(tmp, path)
        elif name in _PREFIX_LOCAL_FILES or name == _TEMPLATE_READY:
            os.remove(path)


def _sweep_stale_sessions(sessions_dir):
    """Removes prefix copies of runs that were killed before cleaning up."""
    try:
        names = os.listdir(sessions_dir)
    except FileNotFoundError:
        return
    for name in names:
        m = re.search(r"-(\d+)$", name)
        if m and not _pid_alive(int(m.group(1))):
            shutil.rmtree(os.path.join(sessions_dir, name), ignore_errors=True)


# How long output of a finished process is still collected.
_PIPE_GRACE_S = 2


def _read_all(stream, outputs, key):
    chunks = []
    while True:
        chunk = stream.read1(65536)
        if not chunk:
            break
        chunks.append(chunk)
        outputs[key] = b"".join(chunks)


# --- X display numbers -------------------------------------------------------

# Xvfb started with -displayfd alone takes the lowest number whose sockets it
# can create, and takes no lock. In a network namespace of its own the
# abstract socket is always free, so every sandbox got ":0": their keymaps
# were compiled into the same /var/lib/xkb/server-0.xkm at once and Xvfb
# failed now and then with "Failed to compile keymap". So every sandbox holds
# a number of its own through the lock file X servers use for it.
_DISPLAY_FIRST = 100
_DISPLAY_COUNT = 900
_DISPLAY_LOCK = "/tmp/.X{}-lock"


def _lock_holder(path):
    """The pid in an X lock file, or None when it cannot be read."""
    try:
        with open(path) as f:
            return int(f.read().strip() or "0") or None
    except (OSError, ValueError):
        return None


class DisplayLock:
    """Holds an X display number (its /tmp/.X<n>-lock) until release()."""

    def __init__(self):
        self.number = None

    def acquire(self):
        start = os.getpid() % _DISPLAY_COUNT
        for i in range(_DISPLAY_COUNT):
            number = _DISPLAY_FIRST + (start + i) % _DISPLAY_COUNT
            path = _DISPLAY_LOCK.format(number)
            for _ in range(2):  # once more after removing a dead holder's lock
                try:
                    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
                except FileExistsError:
                    holder = _lock_holder(path)
                    if holder is None or _pid_alive(holder):
                        break
                    try:
                        os.remove(path)
                    except FileNotFoundError:
                        pass
                    continue
                with os.fdopen(fd, "w") as f:
                    f.write(f"{os.getpid():10d}\n")
                self.number = number
                return number
        raise SandboxError("no free X display number")

    def release(self):
        if self.number is None:
            return
        path = _DISPLAY_LOCK.format(self.number)
        self.number = None
        if _lock_holder(path) == os.getpid():
            try:
                os.remove(path)
            except FileNotFoundError:
                pass


class WineSession:
    """One Wine prefix copy, X server and wineserver inside `netns`."""

    def __init__(self, build_dir, netns, name, screen=SCREEN, warm_up=True):
        self.build_dir = os.path.abspath(build_dir)
        self.netns = netns
        self.name = re.sub(r"[^A-Za-z0-9_.-]", "_", name)
        self.screen = screen
        self.warm_up = warm_up
        self.prefix = None
        self.display = None
        self._xvfb = None
        self._display_lock = DisplayLock()
        self._wineserver = None
        self._children = []
        self._active = False

    # -- set-up and tear-down

    def __enter__(self):
        template = ensure_template(self.build_dir)
        # Nothing starts unless the namespace really holds what we start.
        self.netns.check_inside()
        sessions = os.path.join(self.build_dir, "wine", "sessions")
        os.makedirs(sessions, exist_ok=True)
        _sweep_stale_sessions(sessions)
        self.prefix = os.path.join(sessions, f"{self.name}-{os.getpid()}")
        if os.path.exists(self.prefix):
            self.prefix = os.path.join(sessions, f"{self.name}-{uuid.uuid4().hex[:6]}-{os.getpid()}")
        self._active = True
        netns.register_cleanup(self.close)
        try:
            copy_prefix(template, self.prefix)
            self._start_xvfb()
            self._start_wineserver()
            if self.warm_up:
                self._start_wine_services()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _start_xvfb(self, timeout=15):
        number = self._display_lock.acquire()
        read_fd, write_fd = os.pipe()
        try:
            # -displayfd with a given number: Xvfb writes it there once it
            # accepts clients.
            self._xvfb = subprocess.Popen(
                self.netns.exec_argv(["Xvfb", f":{number}", "-displayfd", str(write_fd),
                                      "-screen", "0", self.screen, "-nolisten", "tcp",
                                      "-noreset"]),
                pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.PIPE, start_new_session=True)
            os.close(write_fd)
            write_fd = -1
            reported = b""
            deadline = time.monotonic() + timeout
            while not reported.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready = select.select([read_fd], [], [], max(left, 0))[0] if left > 0 else []
                if not ready:
                    raise SandboxError("Xvfb did not report its display in time")
                chunk = os.read(read_fd, 16)
                if not chunk:
                    err = self._xvfb.stderr.read(2000) if self._xvfb.poll() is not None else b""
                    raise SandboxError(f"Xvfb ended before reporting a display: {err!r}")
                reported += chunk
        finally:
            os.close(read_fd)
            if write_fd >= 0:
                os.close(write_fd)
        self.display = f":{reported.decode().strip()}"
        # Its stderr is no longer read: do not let a full pipe block it.
        self._xvfb.stderr.close()
        self.netns.check_pid_inside(self._xvfb.pid)

    def _start_wineserver(self):
        # -f keeps it in the foreground, so this session owns its pid.
        self._wineserver = subprocess.Popen(
            self._wine_argv(["wineserver", "-f", "-p"]), env=self.env(),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        self.netns.check_pid_inside(self._wineserver.pid)

    def _start_wine_services(self, timeout=60):
        # The first Wine process starts services.exe, explorer.exe /desktop and
        # friends, which inherit its stdio. Started here, with none, they cannot
        # hold a test's pipes open, and the program under test starts faster.
        proc = self.popen(["cmd", "/c", "exit"], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            stop_process(proc)
            raise SandboxError("Wine did not start its services in time") from None
        finally:
            self._children.remove(proc)

    def close(self):
        """Stops everything the session started and removes its prefix copy.
        Safe to call again, also from a signal that interrupts a call in
        progress: it stays registered until it has finished."""
        if not self._active:
            return
        try:
            if self._wineserver is not None:
                _run(self._wine_argv(["wineserver", "-k"]), timeout=10, env=self.env(),
                     check=False)
        except NetnsError as e:
            log(str(e))
        for proc in list(self._children):
            stop_process(proc, timeout=3)
        stop_process(self._wineserver, timeout=5)
        stop_process(self._xvfb, timeout=5)
        self._display_lock.release()
        if self.prefix and os.environ.get("FWU_KEEP") != "1":
            shutil.rmtree(self.prefix, ignore_errors=True)
        elif self.prefix:
            log(f"kept Wine prefix {self.prefix}")
        self._active = False
        netns.unregister_cleanup(self.close)

    # -- running programs

    def _wine_argv(self, argv):
        return wine_argv(self.netns, argv)

    def env(self, extra=None):
        return wine_env(self.prefix, self.display, extra)

    def popen(self, argv, cwd=None, env=None, **kwargs):
        """Starts `wine argv...` inside the namespace; stdio as given in kwargs.

        The child gets its own process group so that stopping it is certain."""
        if not self._active:
            raise SandboxError("session is not running")
        kwargs.setdefault("start_new_session", True)
        proc = subprocess.Popen(self._wine_argv(["wine", *argv]), cwd=cwd,
                                env=self.env(env), **kwargs)
        self._children.append(proc)
        return proc

    def run(self, argv, timeout=60, cwd=None, env=None, capture=False, input=None):
        """Runs `wine argv...` to its end; raises subprocess.TimeoutExpired after
        stopping it when it takes longer than `timeout` seconds.

        Ends when the process does, not when its pipes close: a Wine process may
        leave helpers behind that still hold them."""
        pipe = subprocess.PIPE if capture else None
        proc = self.popen(argv, cwd=cwd, env=env, stdout=pipe, stderr=pipe,
                          stdin=subprocess.PIPE if input is not None else subprocess.DEVNULL)
        outputs = {}
        readers = [threading.Thread(target=_read_all, args=(stream, outputs, key), daemon=True)
                   for key, stream in (("out", proc.stdout), ("err", proc.stderr)) if stream]
        for reader in readers:
            reader.start()
        try:
            if input is not None:
                try:
                    proc.stdin.write(input.encode())
                    proc.stdin.close()
                except BrokenPipeError:
                    pass
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            stop_process(proc)
            raise
        finally:
            self._children.remove(proc)
        for reader in readers:
            reader.join(timeout=_PIPE_GRACE_S)
        def text(key):  # as text=True would give it: universal newlines
            if not capture:
                return None
            raw = outputs.get(key, b"").decode("utf-8", "replace")
            return raw.replace("\r\n", "\n").replace("\r", "\n")

        return subprocess.CompletedProcess(proc.args, proc.returncode, text("out"), text("err"))

    def exec_argv(self, argv):
        """A non-Wine command inside the namespace, e.g. a Python helper."""
        return self.netns.exec_argv(argv)

    def screenshot(self, path_png, timeout=20):
        """The whole X screen as a PNG file."""
        _run(self.netns.exec_argv(["import", "-display", self.display, "-window", "root",
                                   "png:" + os.path.abspath(path_png)]), timeout=timeout)
        return path_png


if __name__ == "__main__" and sys.argv[1:] == ["--wine-version"]:
    print(wine_version())
