#!/usr/bin/env python3
"""Simulated broadband router for the updater's end-to-end tests.

Runs inside a network namespace of its own (it refuses to start in the
machine's own one) and serves until SIGTERM:
  - HTTP on --http-port: POST /upgrade_flash.cgi (firmware) and
    POST /upload_lang.cgi (language pack); anything else gets 404;
  - UDP on --udp-port: discovery (command 0) and language query (command 1).
Every request and datagram is recorded in --record-dir:
  http-<n>-<path>.raw   the request exactly as received
  http-<n>-<path>.file  the uploaded file part of the form
  http-<n>.json         summary (headers, lengths, file name, sha256, credentials, status)
  udp-<n>.bin           the datagram as received
  udp-<n>.json          summary (command, sequence, language, record comparison, answer)
One line per event goes to stdout. Standard library only.
"""

import argparse
import json
import os
import pathlib
import signal
import sys
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

from http_side import HTTP_FAULTS, HttpServer  # noqa: E402
from recorder import Recorder, log  # noqa: E402
from udp_side import LANGUAGE_OFFSET, PASSWORD_OFFSET, UDP_FAULTS, UdpServer  # noqa: E402

SECOND_ADDRESS_FAULT = "udp-second-address"
SECOND_HOST_FAULT = "udp-second-host"
# Faults that decide the whole HTTP answer: only one of them at a time.
EXCLUSIVE_HTTP_FAULTS = ("refuse", "close-mid-body", "never-answer", "lang-never-answer",
                         "endless-answer", "status-401", "status-403", "status-404",
                         "status-500")


class RouterState:
    """The restart after a firmware upload, shared by both servers."""

    def __init__(self):
        self._lock = threading.Lock()
        self._silent_until = 0.0
        self._listeners = []

    def on_restart(self, callback):
        self._listeners.append(callback)

    def restarting(self):
        with self._lock:
            return time.monotonic() < self._silent_until

    def begin_restart(self, seconds):
        with self._lock:
            self._silent_until = time.monotonic() + seconds
        log("restart", seconds=seconds)
        for callback in self._listeners:
            callback()


class Config:
    def __init__(self, args):
        # Every command-line option under its own name; the two below are
        # converted.
        vars(self).update(vars(args))
        self.device_password = args.device_password.encode("latin-1")
        self.faults, self.second_address, self.second_host = split_faults(
            args.fault, args.udp_second_address)

    def expected_credentials(self, path):
        """(user, password) the request must carry, or None to accept any."""
        if self.user is None:
            return None
        if path == "/upload_lang.cgi":
            if self.lang_auth == "any":
                return None
            password = self.lang_password if self.lang_password is not None else self.password
            return self.user, password
        return self.user, self.password


def split_faults(values, second_address):
    """(fault names, second address, second host address) of the --fault values."""
    faults = set()
    second_host = None
    for value in values or []:
        name, _, argument = value.partition("=")
        if name in (SECOND_ADDRESS_FAULT, SECOND_HOST_FAULT):
            if not argument:
                raise ValueError(f"{name} needs an address: {name}=ADDR")
            if name == SECOND_ADDRESS_FAULT:
                second_address = argument
            else:
                second_host = argument
        elif name in HTTP_FAULTS or name in UDP_FAULTS:
            faults.add(name)
        else:
            raise ValueError(f"unknown fault {value!r}")
    exclusive = sorted(faults.intersection(EXCLUSIVE_HTTP_FAULTS))
    if len(exclusive) > 1:
        raise ValueError("these faults exclude each other: " + ", ".join(exclusive))
    if {"refuse", "slow-read"} <= faults:
        raise ValueError("slow-read makes no sense with refuse")
    if {"udp-short", "udp-long"} <= faults:
        raise ValueError("udp-short and udp-long exclude each other")
    if second_address:
        faults.add(SECOND_ADDRESS_FAULT)
    if second_host:
        faults.add(SECOND_HOST_FAULT)
    return faults, second_address, second_host


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    add = parser.add_argument
    add("--record-dir", required=True, help="folder for the record files")
    add("--http-port", type=int, default=80)
    add("--udp-port", type=int, default=916)
    add("--user", help="Basic authorisation user required (default: accept any)")
    add("--password", default="", help="Basic authorisation password required")
    add("--lang-password", help="password required on /upload_lang.cgi (default: --password)")
    add("--lang-auth", choices=("same", "any"), default="same",
        help="'any' accepts any credentials on /upload_lang.cgi")
    add("--flash-status", type=int, default=200, help="status of the firmware answer")
    add("--flash-page", default="<html><body>Firmware received</body></html>\n",
        help="body of the firmware answer")
    add("--lang-marker", help='answer the language upload with AutoUpgradeRet"value="N')
    add("--lang-status", type=int, default=200, help="status of the language-pack answer")
    add("--restart-seconds", type=float, default=0.0,
        help="seconds of silence on HTTP and UDP after an accepted (2xx) firmware upload")
    add("--device-password", default="", help="password text at record offset 42")
    add("--language-byte", type=int, default=1, help="record byte 746 in discovery replies")
    add("--query-status", type=int, default=0, help="status of the query reply")
    add("--query-delay", type=float, default=0.0,
        help="seconds the query reply waits (other datagrams are answered meanwhile)")
    add("--lang-answer-delay", type=float, default=0.0,
        help="seconds the language-pack answer waits once the pack has come whole")
    add("--ready-file", help="written once the sockets listen")
    add("--fault", action="append", metavar="NAME",
        help="one of: " + ", ".join(HTTP_FAULTS + UDP_FAULTS) + ", " + SECOND_ADDRESS_FAULT
        + "=ADDR, " + SECOND_HOST_FAULT + "=ADDR; may be repeated (see udp_side.py for the "
        "UDP ones)")
    add("--udp-second-address", metavar="ADDR",
        help="same as --fault udp-second-address=ADDR")
    add("--slow-rate", type=int, default=64 * 1024, help="bytes per second with slow-read")
    add("--idle-timeout", type=float, default=30.0, help="seconds a connection may stay idle")
    add("--hang-seconds", type=float, default=300.0,
        help="how long never-answer, trickle-answer and endless-answer keep a connection")
    add("--trickle-seconds", type=float, default=1.0,
        help="seconds between the bytes of an answer with trickle-answer")
    args = parser.parse_args(argv)
    if not 0 <= args.language_byte <= 255:
        parser.error("--language-byte must be 0 to 255")
    if not 0 <= args.query_status <= 0xFFFF:
        parser.error("--query-status must be 0 to 65535")
    if (args.restart_seconds < 0 or args.slow_rate <= 0 or args.idle_timeout <= 0
            or args.trickle_seconds <= 0 or args.query_delay < 0 or args.lang_answer_delay < 0):
        parser.error("--restart-seconds, --slow-rate, --idle-timeout, --trickle-seconds, "
                     "--query-delay and --lang-answer-delay must be positive")
    limit = LANGUAGE_OFFSET - PASSWORD_OFFSET - 1
    if len(args.device_password.encode("latin-1")) > limit:
        parser.error(f"--device-password is longer than {limit} bytes")
    try:
        return Config(args)
    except ValueError as error:
        parser.error(str(error))


# Inode of the kernel's initial network namespace (PROC_NET_INIT_INO).
INITIAL_NETNS_INODE = 0xEFFFFFF9


def unsafe_network_namespace():
    """Why this namespace is not a private test one, or None when it is.

    The machine's own namespace is recognised by its inode or, inside a
    container, by its default route: test namespaces never have one."""
    try:
        if os.stat("/proc/thread-self/ns/net").st_ino == INITIAL_NETNS_INODE:
            return "this is the machine's own network namespace"
        with open("/proc/thread-self/net/route") as routes:
            for line in routes.readlines()[1:]:
                fields = line.split()
                if len(fields) > 7 and fields[1] == "00000000" and fields[7] == "00000000":
                    return f"this namespace has a default route (via {fields[0]})"
    except OSError as error:
        return f"cannot inspect the network namespace: {error}"
    return None


def write_ready_file(path, config):
    partial = path + ".part"
    with open(partial, "w") as out:
        json.dump({"pid": os.getpid(), "http_port": config.http_port,
                   "udp_port": config.udp_port}, out)
    os.replace(partial, path)


def main(argv=None):
    config = parse_arguments(argv)
    unsafe = unsafe_network_namespace()
    if unsafe:
        print(f"router_sim: refusing to start: {unsafe}; run it with 'ip netns exec' "
              "in a private test namespace", file=sys.stderr)
        return 3
    recorder = Recorder(config.record_dir)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    state = RouterState()
    try:
        http_server = HttpServer(config, state, recorder)
        udp_server = UdpServer(config, state, recorder)
    except OSError as error:
        print(f"router_sim: cannot open the sockets: {error}", file=sys.stderr)
        return 1
    threads = [threading.Thread(target=server.serve, args=(stop,), daemon=True)
               for server in (http_server, udp_server)]
    for thread in threads:
        thread.start()
    if config.ready_file:
        write_ready_file(config.ready_file, config)
    log("ready", http=config.http_port, udp=config.udp_port,
        faults=",".join(sorted(config.faults)) or "none")
    while not stop.wait(0.5):
        pass
    # The server threads are daemons and hold nothing that needs flushing:
    # records are complete files once renamed, so there is no need to wait.
    http_server.close()
    udp_server.close()
    log("stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
