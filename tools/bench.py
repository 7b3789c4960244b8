#!/usr/bin/env python3
"""Upload benchmark: the wizard posts an 8 MB and a 32 MB image to the
simulated router across the veth link, and curl posts the same files to the
same endpoint from the same namespace (curl -F, no Expect: 100-continue).
Prints both times, their ratio and the program's peak memory (VmHWM), with
its peak before the Upgrade click (Wine and the pages already shown) and
what the upload added to it.

    bench.py --build BUILD

The wizard's time runs from the Upgrade click on the verify page until the
router has the whole request; it includes the upload page's start (a 10 ms
timer, the MSG.ini read, the file read into memory). curl's time is its
whole run. The router also times both requests from the moment it waits
for the request head to the body's last byte ("on the wire"), which leaves
out the program's and curl's start-up alike."""

import argparse
import hashlib
import os
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from harness import ROUTER_IP, WizardRun  # noqa: E402

USER, PASSWORD = "admin", "admin"
SIZES_MB = (8, 32)
LIMIT_S = 40


def write_image(path, size):
    block = hashlib.sha256(b"bench").digest() * 2048  # 64 KiB
    with open(path, "wb") as out:
        left = size
        while left > 0:
            out.write(block[:min(left, len(block))])
            left -= len(block)


def wait_complete(run, count, limit_s=LIMIT_S):
    deadline = time.monotonic() + limit_s
    while time.monotonic() < deadline:
        done = [r for r in run.http_records() if r.get("complete")]
        if len(done) >= count:
            return done[count - 1]
        # Stops at once on a message box.
        if run.message_box_shown():
            raise RuntimeError(f"message box: {run.ui.msgbox(1000)}")
        time.sleep(0.02)
    run.shot("no-upload")
    with open(run.router.log_path) as log:
        trace = log.read()[-2000:]
    raise RuntimeError(f"the router did not get the whole request in time:\n{trace}")


def bench_one(build, size_mb):
    name = f"BENCH{size_mb}.bin"
    windows_name = ".\\Firmware\\" + name

    def prepare(folder):
        write_image(os.path.join(folder, "Firmware", name), size_mb * 1000 * 1000)

    with WizardRun(build, f"bench{size_mb}", ["--user", USER, "--password", PASSWORD],
                   msg={"FW_FileName": windows_name}, prepare=prepare,
                   out_dir=os.environ.get("FWU_BENCH_SHOTS")) as run:
        run.walk_to_verify(user=USER, password=PASSWORD)
        # Wine and the pages already shown, before the image is read.
        before_kib = run.program_peak_memory_kib()
        started = run.click_upgrade()
        record = wait_complete(run, 1)
        program_s = time.monotonic() - started
        run.wait_next_page()
        peak_kib = run.program_peak_memory_kib()
        local = os.path.join(run.folder, "Firmware", name)
        argv = ["curl", "-s", "-o", "/dev/null", "-H", "Expect:", "-u", f"{USER}:{PASSWORD}",
                "-F", f"mtenFWUpload=@{local}", "-F", "uploading=no",
                f"http://{ROUTER_IP}/upgrade_flash.cgi"]
        started = time.monotonic()
        result = run.topology.run_in_program(argv, timeout=LIMIT_S)
        curl_s = time.monotonic() - started
        if result.returncode != 0:
            raise RuntimeError(f"curl failed with {result.returncode}")
        curl_record = wait_complete(run, 2)
        ok = record.get("file_size") == curl_record.get("file_size") == size_mb * 1000 * 1000
        return {"program": program_s, "curl": curl_s, "program_wire": record.get("receive_seconds"),
                "curl_wire": curl_record.get("receive_seconds"), "peak_kib": peak_kib,
                "before_kib": before_kib, "ok": ok}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="build folder (its win/ part is used)")
    parser.add_argument("--sizes", type=int, nargs="+", default=list(SIZES_MB),
                        metavar="MB", help="image sizes in MB (default: 8 32)")
    args = parser.parse_args()
    build = os.path.join(os.path.abspath(args.build), "win")
    print(f"{'':>6} {'whole run, s':^22} {'on the wire, s':^22}")
    print(f"{'image':>6} {'wizard':>7} {'curl':>7} {'ratio':>6} {'wizard':>7} {'curl':>7} "
          f"{'ratio':>6} {'peak MiB':>9} {'before':>7} {'added':>6}  stored")
    status = 0
    for size in args.sizes:
        m = bench_one(build, size)
        if m["peak_kib"] and m["before_kib"]:
            peak = (f"{m['peak_kib'] / 1024:>9.1f} {m['before_kib'] / 1024:>7.1f} "
                    f"{(m['peak_kib'] - m['before_kib']) / 1024:>6.1f}")
        else:
            peak = f"{'?':>24}"
        wire = (f"{m['program_wire']:>7.2f} {m['curl_wire']:>7.2f} "
                f"{m['program_wire'] / m['curl_wire']:>6.2f}"
                if m["program_wire"] and m["curl_wire"] else f"{'?':>22}")
        print(f"{size:>4}MB {m['program']:>7.2f} {m['curl']:>7.2f} {m['program'] / m['curl']:>6.2f} "
              f"{wire} {peak}  {'whole' if m['ok'] else 'WRONG SIZE'}", flush=True)
        status |= 0 if m["ok"] else 1
    return status


if __name__ == "__main__":
    sys.exit(main())
