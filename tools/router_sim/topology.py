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

import hashlib
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "sandbox"))
import netns  # noqa: E402
from netns import NetNs  # noqa: E402

ROUTER_SCRIPT = pathlib.Path(__file__).resolve().parent / "router_sim.py"
COMMAND_TIMEOUT = 30


class TopologyError(netns.NetnsError):
    pass


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
                 second_router_namespace=False, broadcast_link=0):
        """second_program_addr/second_router_addr add a second link; with
        second_router_namespace it ends in a router namespace of its own.
        broadcast_link (0 or 1) is the link that carries 255.255.255.255."""
        has_second = second_program_addr is not None
        if has_second != (second_router_addr is not None):
            raise ValueError("a second link needs both a program and a router address")
        if broadcast_link not in ((0, 1) if has_second else (0,)):
            raise ValueError("broadcast_link names a link that does not exist")
        self.program = NetNs(f"{name}-prog")
        self.router = NetNs(f"{name}-rtr")
        second_router = NetNs(f"{name}-rtr2") if has_second and second_router_namespace else None
        self.program_ns = self.program.name
        self.router_ns = self.router.name
        self.second_router_ns = ((second_router or self.router).name if has_second else None)
        self._by_name = {ns.name: ns for ns in (self.program, self.router, second_router) if ns}
        # Interface names are at most 15 characters; a short hash of the
        # topology's name tells its cards apart in the router's records.
        tag = hashlib.sha1(self.program_ns.encode()).hexdigest()[:6]
        self.links = [Link(f"p0{tag}", program_addr, self.router_ns, f"r0{tag}", router_addr)]
        if has_second:
            self.links.append(Link(f"p1{tag}", second_program_addr, self.second_router_ns,
                                   f"r1{tag}", second_router_addr))
        self.broadcast_link = broadcast_link
        self._open = []
        self._routers = []
        self._started = 0
        self._work_dir = None

    @property
    def namespaces(self):
        return [self.program_ns] + sorted({link.router_ns for link in self.links})

    # -- life cycle --------------------------------------------------------

    def __enter__(self):
        # Also closed on a signal or at exit: the router records' folder goes
        # with it. The namespaces see to themselves.
        netns.register_cleanup(self.close)
        try:
            self._build()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _build(self):
        for ns in self._by_name.values():
            self._open.append(ns.__enter__())
        for link in self.links:
            # No broadcast address on the cards: only 255.255.255.255 is
            # routed, through the broadcast link.
            self.program.add_veth_peer(self._by_name[link.router_ns], link.program_addr,
                                       link.router_addr, link.program_if, link.router_if,
                                       broadcast=False)
        broadcast = self.links[self.broadcast_link]
        self.program.add_route("255.255.255.255/32", broadcast.program_if)
        self._work_dir = tempfile.mkdtemp(prefix=f"topology-{self.program_ns}-")

    def close(self):
        """Stops the routers, ends what still runs in the namespaces, removes them."""
        for router in list(self._routers):
            self.stop_router(router)
        while self._open:
            self._open.pop().close()
        if self._work_dir:
            shutil.rmtree(self._work_dir, ignore_errors=True)
            self._work_dir = None
        netns.unregister_cleanup(self.close)

    # -- running things inside --------------------------------------------

    def _namespace(self, name):
        ns = self._by_name.get(name)
        if ns is None or ns not in self._open:
            raise TopologyError(f"network namespace {name} is not part of this topology")
        return ns

    def exec_argv(self, namespace, argv):
        """Command line that runs argv inside one of this topology's namespaces."""
        return self._namespace(namespace).exec_argv(argv)

    def run_in(self, namespace, argv, timeout=COMMAND_TIMEOUT, **kwargs):
        return subprocess.run(self.exec_argv(namespace, argv), timeout=timeout, **kwargs)

    def run_in_program(self, argv, **kwargs):
        return self.run_in(self.program_ns, argv, **kwargs)

    def call_in(self, namespace, function, *args, **kwargs):
        return self._namespace(namespace).call(function, *args, **kwargs)

    def program_socket(self, *socket_args):
        """A socket.socket(*socket_args) that lives in the program namespace."""
        return self.call_in(self.program_ns, socket.socket, *socket_args)

    def add_router_address(self, address, link=0):
        """Adds another address (with prefix) to the router end of a link."""
        target = self.links[link]
        self._namespace(target.router_ns).add_address(address, target.router_if,
                                                      broadcast=False)

    def start_router(self, args, namespace=None, ready_timeout=10.0):
        """Starts router_sim.py with args inside a router namespace.

        --record-dir is added (a fresh folder) unless args has one; the folder
        is proc.record_dir, the router's output proc.log_path."""
        namespace = namespace or self.router_ns
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


__all__ = ["Topology", "TopologyError", "Link"]
