"""Private network namespaces: the one place that creates, links, tracks and
removes them, for the Wine sandbox and the simulated router's test networks.

    with NetNs("e2e-pc") as pc, NetNs("e2e-router") as router:
        pc_dev, router_dev = pc.add_veth_peer(router, "192.168.1.10/24", "192.168.1.1/24")
        pc.add_route("255.255.255.255/32", pc_dev)   # limited broadcasts leave here
        subprocess.run(router.exec_argv(["python3", "router_sim.py", ...]))
        sock = pc.call(socket.socket, socket.AF_INET, socket.SOCK_DGRAM)

Nothing is ever added to the machine's own namespace: veth pairs are created
inside the namespaces. A namespace is named <prefix>-p<pid>-<random>, with the
id of the process that made it; a later run deletes those whose process has
gone (killed with SIGKILL, say), with whatever still runs in them. Leaving the
with-block removes the namespace and ends every process inside, also when the
block fails; SIGTERM, SIGINT and SIGHUP remove every namespace (and whatever
else registered a clean-up here) at once and then raise KeyboardInterrupt,
which test runners pass on; interpreter exit does the same.

Python 3 standard library only; needs root and iproute2. Every wait is bounded.
"""

import atexit
import ctypes
import os
import re
import signal
import subprocess
import sys
import threading
import time
import uuid

NETNS_DIR = "/run/netns"
_CLONE_NEWNET = 0x40000000
_NAME = re.compile(r"^[A-Za-z0-9_.-]+-p(\d+)-[0-9a-f]{8}$")
# How long the processes of a namespace being removed get to end.
_END_PROCESSES_S = 5


class NetnsError(RuntimeError):
    pass


def log(msg):
    print(f"netns: {msg}", file=sys.stderr, flush=True)


def run(argv, timeout=30, check=True, env=None, cwd=None, input=None):
    """Runs a short helper command with captured text output; raises
    NetnsError when it fails or takes longer than timeout seconds."""
    try:
        res = subprocess.run(argv, timeout=timeout, env=env, cwd=cwd, input=input,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    except subprocess.TimeoutExpired as e:
        raise NetnsError(f"timed out after {timeout} s: {' '.join(argv)}") from e
    if check and res.returncode != 0:
        raise NetnsError(f"failed ({res.returncode}): {' '.join(argv)}: {res.stderr.strip()}")
    return res


def pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


# --- clean-up on exit and on SIGTERM/SIGINT/SIGHUP ---------------------------

_cleanups = []
# Re-entrant: a signal handler runs on the main thread, maybe while it holds it.
_cleanup_lock = threading.RLock()
_handlers_installed = False


def register_cleanup(fn):
    """fn() runs at interpreter exit or on a signal unless unregistered first;
    the last registered runs first."""
    install_handlers()
    with _cleanup_lock:
        _cleanups.append(fn)


def unregister_cleanup(fn):
    with _cleanup_lock:
        if fn in _cleanups:
            _cleanups.remove(fn)


def run_all_cleanups():
    while True:
        with _cleanup_lock:
            if not _cleanups:
                return
            fn = _cleanups[-1]
        # Left in the list while it runs: a second signal in the middle runs
        # it again (clean-ups can be repeated) instead of dropping the rest.
        try:
            fn()
        except Exception as e:  # clean-up goes on with the rest
            log(f"clean-up failed: {e}")
        finally:
            unregister_cleanup(fn)


def _on_signal(signum, _frame):
    # Cleaned up here, not only while unwinding: other threads (scenarios
    # run side by side) may still hold namespaces, and the main thread may
    # wait for them. Their processes end with the namespaces, so they finish.
    run_all_cleanups()
    # A KeyboardInterrupt, unlike SystemExit, is not taken for a failed test
    # by unittest: the run stops.
    raise KeyboardInterrupt(f"signal {signum}")


def install_handlers():
    """Once per process; signals only from the main thread, and only where
    the program has not set handlers of its own."""
    global _handlers_installed
    with _cleanup_lock:
        if _handlers_installed:
            return
        _handlers_installed = True
    atexit.register(run_all_cleanups)
    if threading.current_thread() is not threading.main_thread():
        return
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        if signal.getsignal(sig) in (signal.SIG_DFL, signal.default_int_handler):
            signal.signal(sig, _on_signal)


# --- running inside a namespace ----------------------------------------------

_libc = ctypes.CDLL(None, use_errno=True)


def exists(name):
    return os.path.exists(os.path.join(NETNS_DIR, name))


def pids_in(name):
    res = run(["ip", "netns", "pids", name], check=False)
    return [int(p) for p in res.stdout.split() if p.isdigit()]


def end_processes_in(name, timeout=_END_PROCESSES_S):
    """SIGTERM, then SIGKILL, to every process inside namespace name. Only
    for namespaces of ours: whatever runs there was started for a test."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        pids = pids_in(name)
        for pid in pids:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + timeout / 2
        while pids and time.monotonic() < deadline:
            time.sleep(0.05)
            pids = pids_in(name)
        if not pids:
            return


def call_in(name, function, *args, **kwargs):
    """Runs function in a thread that has joined namespace name; its result.

    A network namespace belongs to a thread, so the caller's own namespace
    never changes; sockets created by function stay in the namespace."""
    if not exists(name):
        raise NetnsError(f"network namespace {name} does not exist")
    outcome = {}

    def inside():
        try:
            fd = os.open(os.path.join(NETNS_DIR, name), os.O_RDONLY)
            try:
                if _libc.setns(fd, _CLONE_NEWNET) != 0:
                    code = ctypes.get_errno()
                    raise OSError(code, f"setns {name}: {os.strerror(code)}")
            finally:
                os.close(fd)
            outcome["value"] = function(*args, **kwargs)
        except BaseException as error:  # handed to the caller's thread
            outcome["error"] = error

    thread = threading.Thread(target=inside, daemon=True)
    thread.start()
    thread.join()
    if "error" in outcome:
        raise outcome["error"]
    return outcome["value"]


def sweep_stale():
    """Removes the namespaces of runs whose process has gone, with whatever
    still runs in them."""
    for line in run(["ip", "netns", "list"], check=False).stdout.splitlines():
        name = line.split()[0] if line.split() else ""
        m = _NAME.match(name)
        if not m or pid_alive(int(m.group(1))):
            continue
        end_processes_in(name)
        run(["ip", "netns", "delete", name], check=False)


class NetNs:
    """A private network namespace with only `lo` up, deleted on exit."""

    def __init__(self, name_prefix="fwu"):
        prefix = re.sub(r"[^A-Za-z0-9_.-]", "_", name_prefix)[:20] or "fwu"
        self.name = f"{prefix}-p{os.getpid()}-{uuid.uuid4().hex[:8]}"
        self._active = False
        self._veth_count = 0
        self._card_count = 0

    def __enter__(self):
        if os.geteuid() != 0:
            raise NetnsError("private network namespaces need root")
        install_handlers()
        sweep_stale()
        run(["ip", "netns", "add", self.name])
        self._active = True
        register_cleanup(self.close)
        try:
            run(["ip", "-n", self.name, "link", "set", "lo", "up"])
            self.check_inside()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Ends whatever runs inside and deletes the namespace. Safe to call
        again, also from a signal that interrupts a call in progress."""
        if not self._active:
            return
        end_processes_in(self.name)
        # The veth ends inside go with the namespace, and so do their peers.
        run(["ip", "netns", "delete", self.name], check=False)
        self._active = False
        unregister_cleanup(self.close)

    # -- running things inside

    def exec_argv(self, argv):
        """The command line that runs argv inside this namespace."""
        if not self._active:
            raise NetnsError(f"network namespace {self.name} is not open")
        return ["ip", "netns", "exec", self.name, *argv]

    def call(self, function, *args, **kwargs):
        """function(*args, **kwargs) run by a thread inside this namespace."""
        return call_in(self.name, function, *args, **kwargs)

    def identify(self, pid):
        """Name of the namespace that process `pid` is in ('' for the host's)."""
        return run(["ip", "netns", "identify", str(pid)], check=False).stdout.strip()

    def check_inside(self):
        """Proves that commands started through exec_argv land in this namespace."""
        got = run(self.exec_argv(["ip", "netns", "identify"])).stdout.strip()
        if got != self.name:
            raise NetnsError(f"not inside namespace {self.name} (got '{got}')")

    def check_pid_inside(self, pid, timeout=5):
        """Waits until a child started via exec_argv has entered the namespace."""
        deadline = time.monotonic() + timeout
        while True:
            if self.identify(pid) == self.name:
                return
            if time.monotonic() > deadline or not pid_alive(pid):
                raise NetnsError(f"process {pid} is not inside namespace {self.name}")
            time.sleep(0.02)

    # -- network

    def _next_dev(self):
        self._veth_count += 1
        return f"veth{self._veth_count}"

    def add_veth_peer(self, other, my_addr_cidr, peer_addr_cidr, my_dev=None, peer_dev=None,
                      broadcast=True):
        """Links this namespace to namespace `other` with a veth pair;
        returns (my_dev, peer_dev). The pair is created inside the
        namespaces, never in the host's. broadcast: the addresses get their
        subnet's broadcast address."""
        my_dev = my_dev or self._next_dev()
        peer_dev = peer_dev or other._next_dev()
        run(["ip", "-n", self.name, "link", "add", my_dev, "type", "veth",
             "peer", "name", peer_dev, "netns", other.name])
        self.add_address(my_addr_cidr, my_dev, broadcast)
        other.add_address(peer_addr_cidr, peer_dev, broadcast)
        run(["ip", "-n", self.name, "link", "set", my_dev, "up"])
        run(["ip", "-n", other.name, "link", "set", peer_dev, "up"])
        return my_dev, peer_dev

    def add_card(self, cidr):
        """A network card of the namespace's own with address `cidr`: one end of
        a veth pair whose other end, also inside, has no address. Broadcasts
        from the card reach this namespace's own listeners and nothing else."""
        card = f"card{self._card_count}"
        self._card_count += 1
        run(["ip", "-n", self.name, "link", "add", card, "type", "veth", "peer", "name",
             f"{card}peer"])
        self.add_address(cidr, card)
        for dev in (card, f"{card}peer"):
            run(["ip", "-n", self.name, "link", "set", dev, "up"])
        return card

    def add_address(self, cidr, dev, broadcast=True):
        argv = ["ip", "-n", self.name, "addr", "add", cidr]
        if broadcast:  # so that subnet broadcasts reach the peer
            argv += ["brd", "+"]
        run(argv + ["dev", dev])

    def add_route(self, dest, dev, via=None):
        """E.g. add_route('255.255.255.255/32', dev): a broadcast needs a route."""
        argv = ["ip", "-n", self.name, "route", "add", dest, "dev", dev]
        if via:
            argv += ["via", via]
        run(argv)


__all__ = ["NetNs", "NetnsError", "call_in", "exists", "register_cleanup",
           "unregister_cleanup", "run"]
