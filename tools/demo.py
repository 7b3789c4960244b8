#!/usr/bin/env python3
"""Runs the wizard against the simulated router in a private network pair.

    demo.py --build BUILD [--headless]

With a reachable $DISPLAY the wizard opens there and you click through it
(address 192.168.1.1, user admin, password admin); otherwise the GUI driver
clicks through it headless and saves a screenshot of every page into
BUILD/demo/. Either way the demo ends by printing what the router received:
the image's size and SHA-256 beside those of the file the wizard sent."""

import argparse
import os
import socket
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "harness"))
from harness import (FINISH_EXIT, PACK_UPGRADE, WizardRun, sha256_of, udp_records,  # noqa: E402
                     wait_http)
from netns import NetNs  # noqa: E402

USER, PASSWORD = "admin", "admin"
FIRMWARE = ".\\Firmware\\ZEPHYRA_FW.bin"
INTERACTIVE_LIMIT_S = 30 * 60


def display_socket(display):
    """Path of the X server's socket for a local display like ':0', else None.

    The program runs in its own network namespace: only the socket file
    reaches the X server from there (TCP and abstract sockets do not)."""
    if not display or not display.startswith(":"):
        return None
    number = display[1:].split(".")[0]
    path = f"/tmp/.X11-unix/X{number}"
    return path if os.path.exists(path) else None


def reachable_from(ns, path):
    def connect():
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.settimeout(2)
        try:
            s.connect(path)
            return True
        except OSError:
            return False
        finally:
            s.close()
    return ns.call(connect)


def report(run):
    local = os.path.join(run.folder, *FIRMWARE[2:].split("\\"))
    print(f"sent:     {os.path.getsize(local)} bytes  sha256 {sha256_of(local)}  ({FIRMWARE})")
    records = [r for r in run.http_records() if r.get("path") == "/upgrade_flash.cgi"]
    if not records:
        print("router:   received no firmware upload")
        return 1
    r = records[-1]
    print(f"router:   {r.get('file_size')} bytes  sha256 {r.get('file_sha256')}  "
          f"(answer {r.get('status')}, filename {r.get('filename')!r})")
    same = r.get("file_sha256") == sha256_of(local)
    print("the router's image equals the file sent" if same else "IMAGE DIFFERS")
    return 0 if same else 1


def headless(build, out_dir):
    # The router reads slowly (1 MB/s) so that the upload page stays long
    # enough to be seen with its bar moving.
    router = ["--user", USER, "--password", PASSWORD, "--fault", "slow-read",
              "--slow-rate", "1000000", "--restart-seconds", "3", "--lang-auth", "any",
              "--device-password", "lpw"]
    with WizardRun(build, "demo", router, out_dir=out_dir) as run:
        run.walk_to_upload(user=USER, password=PASSWORD)
        run.shot("upload")
        wait_http(run.record_dir, "/upgrade_flash.cgi", 120)
        print(f"upload bar at {run.progress()}; screenshots in {out_dir}")
        status = report(run)
        return language_pack(run) or status


def language_pack(run):
    """The language-pack page: the minute's wait, detection, the upload, the
    finish page; then what the router received over UDP and for the pack."""
    print("language-pack page: waiting the router's minute, then searching ...", flush=True)
    run.wait_popup(30)
    run.wait_popup_gone(120, shot="action-find-device")
    run.shot("language-pack-detected")
    # Upgrade once the page has told the router the language.
    run.wait_until(lambda: [r for r in udp_records([run.record_dir])
                            if r.get("command") == 1], "the language query", 30)
    run.ui.press(PACK_UPGRADE)
    run.wait_popup(10)
    run.shot("action-upgrade")
    run.wait_popup_gone(60)
    run.wait_visible(FINISH_EXIT, "finish page", 20)
    run.shot("finish")
    for r in udp_records([run.record_dir]):
        kind = {0: "discovery", 1: "query"}.get(r.get("command"), r.get("command"))
        extra = f", language byte {r.get('language')}" if r.get("command") == 1 else ""
        print(f"router udp: {kind} from {r.get('sender')} ({r.get('answer')}{extra})")
    packs = wait_http(run.record_dir, "/upload_lang.cgi", 5)
    for r in packs:
        print(f"router pack: {r.get('file_size')} bytes, filename {r.get('filename')!r}, "
              f"answer {r.get('status')}")
    run.ui.press(FINISH_EXIT)
    return 0 if packs else 1


def interactive(build, display):
    with WizardRun(build, "demo", ["--user", USER, "--password", PASSWORD],
                   display=display, driver=False) as run:
        print(f"The wizard is open on {display}: choose a language, Start, type "
              f"192.168.1.1 / {USER} / {PASSWORD}, Next, Upgrade. Close it to end the demo.")
        deadline = time.monotonic() + INTERACTIVE_LIMIT_S
        while run.program.poll() is None and time.monotonic() < deadline:
            time.sleep(0.5)
        return report(run)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="build folder (its win/ part is used)")
    parser.add_argument("--headless", action="store_true", help="never use $DISPLAY")
    args = parser.parse_args()
    build = os.path.join(os.path.abspath(args.build), "win")
    out_dir = os.path.join(os.path.abspath(args.build), "demo")
    display = None if args.headless else os.environ.get("DISPLAY")
    path = display_socket(display)
    if display and path:
        with NetNs("demoprobe") as probe:
            if not reachable_from(probe, path):
                path = None
    if display and not path:
        print(f"$DISPLAY={display} cannot be reached from the test namespace "
              "(only a local X socket can); running headless instead.")
    if display and path:
        return interactive(build, display)
    return headless(build, out_dir)


if __name__ == "__main__":
    sys.exit(main())
