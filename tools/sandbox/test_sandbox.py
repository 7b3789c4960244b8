#!/usr/bin/env python3
"""Tests of the sandbox: namespaces appear and go (also on errors, signals
and a killed run's leftovers), two namespaces linked by veth carry a
broadcast, Wine sessions side by side get
X displays of their own, and wine-test passes a program's output and exit
code through, ends crashes and hangs, and runs it with nothing but
loopback."""

import argparse
import os
import signal
import subprocess
import sys
import unittest

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import netns  # noqa: E402
import sandbox  # noqa: E402

WINE_TEST = os.path.join(here, "wine-test")
PROBE = None

RECEIVER = r"""
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", 916))
s.settimeout(10)
print("ready", flush=True)
data, peer = s.recvfrom(100)
print(data.decode(), peer[0], flush=True)
"""
SENDER = r"""
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.sendto(b"hello router", ("255.255.255.255", 916))
"""


# Holds a namespace with a process inside until a signal ends it.
HOLDER = r"""
import subprocess, sys, time
sys.path.insert(0, sys.argv[1])
import netns
with netns.NetNs("sbt-held") as ns:
    sleeper = subprocess.Popen(ns.exec_argv(["sleep", "60"]))
    ns.check_pid_inside(sleeper.pid)
    print(ns.name, sleeper.pid, flush=True)
    time.sleep(60)
"""


def running(pid):
    """False once pid has ended (a zombie nobody reaps has ended too)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def namespaces():
    out = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True, timeout=10)
    return {line.split()[0] for line in out.stdout.splitlines() if line.split()}


def wine_test(*args, timeout=120, env=None):
    return subprocess.run([WINE_TEST, PROBE, *args], capture_output=True, text=True,
                          timeout=timeout, env=env)


class NetNsTest(unittest.TestCase):
    def test_namespace_exists_only_inside_the_block(self):
        with netns.NetNs("sbt") as ns:
            self.assertIn(ns.name, namespaces())
            ns.check_inside()
        self.assertNotIn(ns.name, namespaces())

    def test_namespace_is_removed_when_the_block_fails(self):
        with self.assertRaises(ZeroDivisionError):
            with netns.NetNs("sbt") as ns:
                name = ns.name
                1 / 0
        self.assertNotIn(name, namespaces())

    def test_a_run_ended_by_a_signal_leaves_no_namespace_behind(self):
        # SIGTERM (a runner's time-out) and SIGINT (Ctrl+C) remove it at once,
        # with the process inside; after SIGKILL the next namespace made
        # removes the dead run's one.
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGKILL):
            with self.subTest(signal=sig.name):
                holder = subprocess.Popen([sys.executable, "-c", HOLDER, here],
                                          stdout=subprocess.PIPE, text=True,
                                          start_new_session=True)
                try:
                    name, sleeper = holder.stdout.readline().split()
                    holder.send_signal(sig)
                    holder.wait(timeout=30)
                finally:
                    sandbox.stop_process(holder)
                    holder.stdout.close()
                if sig == signal.SIGKILL:
                    self.assertIn(name, namespaces())
                    with netns.NetNs("sbt"):
                        pass
                self.assertNotIn(name, namespaces())
                self.assertFalse(running(int(sleeper)))

    def test_broadcast_crosses_a_veth_pair_to_the_peer_namespace(self):
        with netns.NetNs("sbt-pc") as pc, netns.NetNs("sbt-router") as router:
            dev, _ = pc.add_veth_peer(router, "192.168.1.10/24", "192.168.1.1/24")
            pc.add_route("255.255.255.255/32", dev)
            receiver = subprocess.Popen(router.exec_argv([sys.executable, "-c", RECEIVER]),
                                        stdout=subprocess.PIPE, text=True)
            try:
                self.assertEqual(receiver.stdout.readline().strip(), "ready")
                subprocess.run(pc.exec_argv([sys.executable, "-c", SENDER]), check=True,
                               timeout=10)
                out, _ = receiver.communicate(timeout=15)
            finally:
                sandbox.stop_process(receiver)
            self.assertEqual(out.strip(), "hello router 192.168.1.10")


class WineSessionTest(unittest.TestCase):
    def test_sessions_side_by_side_have_displays_of_their_own(self):
        # Two X servers on one display number share its keymap file and
        # socket path; they must never be handed the same one.
        build = sandbox.find_build_dir(PROBE)
        with netns.NetNs("sbt-a") as a, netns.NetNs("sbt-b") as b, \
                sandbox.WineSession(build, a, "sbt-a", warm_up=False) as one, \
                sandbox.WineSession(build, b, "sbt-b", warm_up=False) as two:
            self.assertNotEqual(one.display, two.display)
            locks = [f"/tmp/.X{session.display[1:]}-lock" for session in (one, two)]
            self.assertTrue(all(os.path.exists(lock) for lock in locks), locks)
        self.assertFalse([lock for lock in locks if os.path.exists(lock)])


class WineTestTest(unittest.TestCase):
    def test_output_exit_code_folder_and_network_of_the_program(self):
        res = wine_test("report", "7")
        self.assertEqual(res.returncode, 7, res.stderr)
        folder = os.path.dirname(os.path.abspath(PROBE))
        self.assertIn("cwd: Z:" + folder.replace("/", "\\"), res.stdout)
        self.assertIn("addresses: 127.0.0.1\n", res.stdout)
        self.assertIn("probe stderr", res.stderr)

    def test_cards_asked_for_are_there_beside_loopback(self):
        env = dict(os.environ, FWU_SANDBOX_CARDS="192.168.51.10/24 192.168.52.10/24")
        res = wine_test("report", "0", env=env)
        self.assertEqual(res.returncode, 0, res.stderr)
        line = next(l for l in res.stdout.splitlines() if l.startswith("addresses:"))
        self.assertEqual(sorted(line.split()[1:]), ["127.0.0.1", "192.168.51.10", "192.168.52.10"])

    def test_a_crash_ends_with_a_non_zero_code(self):
        res = wine_test("crash", timeout=60)
        self.assertNotEqual(res.returncode, 0)

    def test_a_hang_is_stopped_at_the_overall_timeout(self):
        env = dict(os.environ, FWU_WINE_TEST_TIMEOUT="5")
        res = wine_test("hang", timeout=60, env=env)
        self.assertEqual(res.returncode, 124)
        self.assertIn("still running", res.stderr)

    def test_nothing_is_left_behind(self):
        # Only this run's names: other tests may run beside this one.
        proc = subprocess.Popen([WINE_TEST, PROBE, "report", "0"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.assertEqual(proc.wait(timeout=120), 0)
        self.assertFalse([n for n in namespaces() if f"-p{proc.pid}-" in n])
        sessions = os.path.join(sandbox.find_build_dir(PROBE), "wine", "sessions")
        self.assertFalse([n for n in os.listdir(sessions) if n.endswith(f"-{proc.pid}")])

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    args, rest = parser.parse_known_args()
    PROBE = os.path.abspath(args.probe)
    unittest.main(argv=[sys.argv[0], "-v", *rest])
