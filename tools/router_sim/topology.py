"""Private test networks for end-to-end tests, built with `ip netns`.

    with Topology("upd") as topo:
        router = topo.start_router(["--user", "admin", "--password", "pw"])
        sock = topo.program_socket(socket.AF_INET, socket.SOCK_DGRAM)
        ...

A program namespace and a router namespace are joined by a veth pair
(program 192.168.1.10/24, router 192.168.1.1/24 by default); optionally a
second link gives the program a second address, towards the same router
namespace or a second one. The program side gets a route for
255.255.255.255 so that limited broadcasts leave through the chosen link and
no other. Nothing is ever added to the machine's own namespace, and
everything created is removed on exit, also when the body fails.
"""

import atexit
import ctypes
import hashlib
import os
import pathlib
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

ROUTER_SCRIPT = pathlib.Path(__file__).resolve().parent / "router_sim.py"
NETNS_DIR = pathlib.Path("/run/netns")
CLONE_NEWNET = 0x40000000
COMMAND_TIMEOUT = 30


class TopologyError(RuntimeError):
    pass


def namespace_exists(name):
    return (NETNS_DIR / name).exists()


def _ip(*args):
    result = subprocess.run(["ip", *args], capture_output=True, text=True,
                            timeout=COMMAND_TIMEOUT)
    if result.returncode != 0:
        raise TopologyError(f"ip {' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


_libc = ctypes.CDLL(None, use_errno=True)


def call_in_namespace(namespace, function, *args, **kwargs):
    """Runs function in a thread that has joined the namespace; returns its result.

    A network namespace belongs to a thread, so the caller's own namespace
    never changes; sockets created by function stay in the namespace.
    """
    if not namespace_exists(namespace):
        raise TopologyError(f"network namespace {namespace} does not exist")
    outcome = {}

    def run():
        try:
            fd = os.open(NETNS_DIR / namespace, os.O_RDONLY)
            try:
                if _libc.setns(fd, CLONE_NEWNET) != 0:
                    code = ctypes.get_errno()
                    raise OSError(code, f"setns {namespace}: {os.strerror(code)}")
            finally:
                os.close(fd)
            outcome["value"] = function(*args, **kwargs)
        except BaseException as error:  # handed to the caller's thread
            outcome["error"] = error

    thread = threading.Thread(target=run, daemon=True)
    thread.start()
    thread.join()
    if "error" in outcome:
        raise outcome["error"]
    return outcome["value"]


class Link:
    """One veth pair: program end and router end."""

    def __init__(self, program_if, program_addr, router_ns, router_if, router_addr):
        self.program_if = program_if
        self.program_addr = program_addr  # with prefix, e.g. 192.168.1.10/24
        self.router_ns = router_ns
        self.router_if = router_if
        self.router_addr = router_addr

    @property
    def program_ip(self):
        return self.program_addr.split("/")[0]

    @property
    def router_ip(self):
        return self.router_addr.split("/")[0]


class Topology:
    def __init__(self, name, program_addr="192.168.1.10/24", router_addr="192.168.1.1/24",
                 second_program_addr=None, second_router_addr=None,
                 second_router_namespace=False, broadcast_link=0, unique=True):
        """second_program_addr/second_router_addr add a second link; with
        second_router_namespace it ends in a router namespace of its own.
        broadcast_link (0 or 1) is the link that carries 255.255.255.255.
        unique adds the process id to the namespace names."""
        base = f"{name}-{os.getpid()}" if unique else name
        self.program_ns = f"{base}-prog"
        self.router_ns = f"{base}-rtr"
        has_second = second_program_addr is not None
        if has_second != (second_router_addr is not None):
            raise ValueError("a second link needs both a program and a router address")
        if broadcast_link not in ((0, 1) if has_second else (0,)):
            raise ValueError("broadcast_link names a link that does not exist")
        self.second_router_ns = (f"{base}-rtr2" if second_router_namespace
                                 else self.router_ns) if has_second else None
        # Interface names are limited to 15 characters; a short hash keeps
        # two topologies of different runs apart.
        tag = hashlib.sha1(base.encode()).hexdigest()[:6]
        self.links = [Link(f"p0{tag}", program_addr, self.router_ns, f"r0{tag}", router_addr)]
        if has_second:
            self.links.append(Link(f"p1{tag}", second_program_addr, self.second_router_ns,
                                   f"r1{tag}", second_router_addr))
        self.broadcast_link = broadcast_link
        self._name = name
        self._unique = unique
        self._previous_sigterm = None
        self._created = []
        self._routers = []
        self._started = 0
        self._work_dir = None

    @property
    def namespaces(self):
        return [self.program_ns] + sorted({link.router_ns for link in self.links})

    # -- life cycle --------------------------------------------------------

    def __enter__(self):
        self._catch_sigterm()
        try:
            self._build()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _catch_sigterm(self):
        # A test runner's time-out ends the test with SIGTERM: turn it into an
        # interrupt, which unittest does not swallow, and remove the namespaces
        # at exit even when no context manager is left to do it.
        atexit.register(self.close)
        if threading.current_thread() is not threading.main_thread():
            return
        if signal.getsignal(signal.SIGTERM) is signal.SIG_DFL:
            def interrupt(signum, frame):
                raise KeyboardInterrupt(f"signal {signum}")
            self._previous_sigterm = signal.signal(signal.SIGTERM, interrupt)

    def _remove_stale(self):
        """Removes namespaces left by an earlier run of this name whose process is gone."""
        if not self._unique or not NETNS_DIR.is_dir():
            return
        pattern = re.compile(re.escape(self._name) + r"-(\d+)-(prog|rtr|rtr2)$")
        for entry in NETNS_DIR.iterdir():
            match = pattern.match(entry.name)
            if match and not os.path.exists(f"/proc/{match.group(1)}"):
                self._end_processes_in(entry.name)
                _ip("netns", "del", entry.name)

    def _build(self):
        if os.geteuid() != 0:
            raise TopologyError("building test namespaces needs root")
        self._remove_stale()
        for namespace in self.namespaces:
            if namespace_exists(namespace):
                raise TopologyError(f"network namespace {namespace} already exists")
        for namespace in self.namespaces:
            _ip("netns", "add", namespace)
            self._created.append(namespace)
            _ip("-n", namespace, "link", "set", "lo", "up")
        for link in self.links:
            # Both ends are created straight inside their namespaces.
            _ip("link", "add", link.program_if, "netns", self.program_ns, "type", "veth",
                "peer", "name", link.router_if, "netns", link.router_ns)
            for namespace, interface, address in (
                    (self.program_ns, link.program_if, link.program_addr),
                    (link.router_ns, link.router_if, link.router_addr)):
                _ip("-n", namespace, "addr", "add", address, "dev", interface)
                _ip("-n", namespace, "link", "set", interface, "up")
        broadcast = self.links[self.broadcast_link]
        _ip("-n", self.program_ns, "route", "add", "255.255.255.255/32", "dev",
            broadcast.program_if)
        self._work_dir = tempfile.mkdtemp(prefix=f"topology-{self.program_ns}-")

    def close(self):
        """Stops the routers, ends what still runs in the namespaces, removes them."""
        problems = []
        for router in self._routers:
            self.stop_router(router)
        for namespace in reversed(self._created):
            try:
                self._end_processes_in(namespace)
                _ip("netns", "del", namespace)
            except (TopologyError, OSError, subprocess.SubprocessError) as error:
                problems.append(str(error))
        self._created = []
        if self._work_dir:
            shutil.rmtree(self._work_dir, ignore_errors=True)
            self._work_dir = None
        if self._previous_sigterm is not None:
            signal.signal(signal.SIGTERM, self._previous_sigterm)
            self._previous_sigterm = None
        atexit.unregister(self.close)
        if problems:
            print("topology cleanup: " + "; ".join(problems), file=sys.stderr)

    @staticmethod
    def _end_processes_in(namespace):
        # The namespace was created by this object, so whatever still runs in
        # it was started for this test.
        pids = [int(p) for p in _ip("netns", "pids", namespace).split()]
        for sig in (signal.SIGTERM, signal.SIGKILL):
            for pid in pids:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + 2
            while pids and time.monotonic() < deadline:
                pids = [p for p in pids if os.path.exists(f"/proc/{p}")]
                time.sleep(0.05)
            if not pids:
                return

    # -- running things inside --------------------------------------------

    def _check(self, namespace):
        if namespace not in self._created or not namespace_exists(namespace):
            raise TopologyError(f"network namespace {namespace} is not part of this topology")

    def exec_argv(self, namespace, argv):
        """Command line that runs argv inside one of this topology's namespaces."""
        self._check(namespace)
        return ["ip", "netns", "exec", namespace, *argv]

    def run_in(self, namespace, argv, timeout=COMMAND_TIMEOUT, **kwargs):
        return subprocess.run(self.exec_argv(namespace, argv), timeout=timeout, **kwargs)

    def run_in_program(self, argv, **kwargs):
        return self.run_in(self.program_ns, argv, **kwargs)

    def call_in(self, namespace, function, *args, **kwargs):
        self._check(namespace)
        return call_in_namespace(namespace, function, *args, **kwargs)

    def program_socket(self, *socket_args):
        """A socket.socket(*socket_args) that lives in the program namespace."""
        return self.call_in(self.program_ns, socket.socket, *socket_args)

    def add_router_address(self, address, link=0):
        """Adds another address (with prefix) to the router end of a link."""
        target = self.links[link]
        self._check(target.router_ns)
        _ip("-n", target.router_ns, "addr", "add", address, "dev", target.router_if)

    def start_router(self, args, namespace=None, ready_timeout=10.0):
        """Starts router_sim.py with args inside a router namespace.

        --record-dir is added (a fresh folder) unless args has one; the folder
        is proc.record_dir, the router's output proc.log_path."""
        namespace = namespace or self.router_ns
        self._check(namespace)
        args = list(args)
        self._started += 1
        number = self._started
        if "--record-dir" not in args:
            args += ["--record-dir", os.path.join(self._work_dir, f"records-{number}")]
        record_dir = args[args.index("--record-dir") + 1]
        ready = os.path.join(self._work_dir, f"ready-{number}")
        log_path = os.path.join(self._work_dir, f"router-{number}.log")
        argv = self.exec_argv(namespace, [sys.executable, str(ROUTER_SCRIPT), *args,
                                          "--ready-file", ready])
        with open(log_path, "wb") as log_file:
            proc = subprocess.Popen(argv, stdout=log_file, stderr=subprocess.STDOUT)
        proc.record_dir = record_dir
        proc.log_path = log_path
        self._routers.append(proc)
        deadline = time.monotonic() + ready_timeout
        while not os.path.exists(ready):
            if proc.poll() is not None or time.monotonic() > deadline:
                self.stop_router(proc)
                with open(log_path, "rb") as log_file:
                    output = log_file.read().decode(errors="replace")
                raise TopologyError(f"router did not start (exit {proc.returncode}): {output}")
            time.sleep(0.02)
        return proc

    def stop_router(self, proc):
        if proc.poll() is None:
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=5)
        if proc in self._routers:
            self._routers.remove(proc)


__all__ = ["Topology", "TopologyError", "Link", "call_in_namespace", "namespace_exists"]
