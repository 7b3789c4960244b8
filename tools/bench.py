#!/usr/bin/env python3
"""Upload benchmark: the wizard posts an 8 MB and a 32 MB image to the
simulated router across the veth link, and curl posts the same files to the
same endpoint from the same namespace (curl -F, no Expect: 100-continue).
Prints both times, their ratio and the program's peak memory (VmHWM).

    bench.py --build BUILD

The wizard's time runs from the Upgrade click on the verify page until the
router has the whole request; it includes the upload page's start (a 10 ms
timer, the MSG.ini read, the file read into memory)."""

import argparse
import hashlib
import os
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from harness import ROUTER_IP, WizardRun  # noqa: E402
from driver import DriverError  # noqa: E402

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
        # Keeps the driver answering, which the Upgrade click needs to land,
        # and stops at once on a message box.
        try:
            run.ui.no_msgbox(20)
        except DriverError:
            raise RuntimeError(f"message box: {run.ui.msgbox(1000)}") from None
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
        run.walk_to_upload(user=USER, password=PASSWORD)
        started = time.monotonic()
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
        return program_s, curl_s, peak_kib, ok


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="build folder (its win/ part is used)")
    args = parser.parse_args()
    build = os.path.join(os.path.abspath(args.build), "win")
    print(f"{'image':>6} {'wizard s':>9} {'curl s':>8} {'ratio':>6} {'peak MiB':>9}  stored")
    status = 0
    for size in SIZES_MB:
        program_s, curl_s, peak_kib, ok = bench_one(build, size)
        peak = f"{peak_kib / 1024:.1f}" if peak_kib else "?"
        print(f"{size:>4}MB {program_s:>9.2f} {curl_s:>8.2f} {program_s / curl_s:>6.2f} "
              f"{peak:>9}  {'whole' if ok else 'WRONG SIZE'}", flush=True)
        status |= 0 if ok else 1
    return status


if __name__ == "__main__":
    sys.exit(main())
