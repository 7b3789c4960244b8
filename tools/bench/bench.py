#!/usr/bin/env python3
"""Upload benchmark: the wizard against the platform's floor and curl.

    bench.py --build BUILD [--sizes MB...] [--links NAME...] [--runs N]
             [--no-probe] [--no-whole] [--whole-probe [N]]

1. The firmware upload. For each link (unshaped veth, 1 Gbit/s and
   100 Mbit/s shaped with tc inside both namespaces, a home router's port
   rates) and each image size, in each of N runs: the wizard posts the image
   (walked to the verify page, Upgrade clicked) and the floor program
   (floor_poster.exe: the same WinINet asynchronous calls, 1,460-byte
   writes, one posted message per request-sent notification to a thread
   that only counts them) posts it from the wizard's folder, one or the
   other first by turns, the floor program a second time without the posted
   messages (--no-messages: the bare floor, what the library itself costs);
   then curl -F posts it, all to the same router from the same namespace.
   The router times each request from the moment it waits for the head to
   the body's last byte ("on the wire"), which leaves out every program's
   start-up alike; the table gives the median of the runs,
   the ratios of those medians and the spread. The wizard's peak memory
   (VmHWM) before the Upgrade click and after the upload is kept from its
   largest image on the first link.
2. The user interface during a 32 MB upload (unshaped link): ui_probe.exe
   sends WM_NULL to the wizard's window every 10 ms from the Upgrade click
   until the bar is full and prints the longest and the 99th-percentile
   answer time, and the longest time the bar stood still.
3. The whole wizard, with the router restarting for 3 s after the image:
   Upgrade click to the language-pack page, its search, the language pack's
   Upgrade click to the finish page, against the floor the wizard's own
   design fixes (the floor program's upload, the page's one-minute wait, the
   language-pack poster's 5 s pause and the upgrade popup's six 2-second
   ticks after it).
4. The whole wizard probed (whole_probe.py): the window's answer times from
   the first page to the finish page, every stall over 20 ms with the click,
   page or router event it came with. --whole-probe N runs only this, N
   times; --no-whole-probe leaves it out.
"""

import argparse
import hashlib
import os
import re
import statistics
import sys
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "harness"))
from harness import CAPTION, ROUTER_IP, UPLOAD_PROGRESS, WizardRun  # noqa: E402
from whole_probe import print_whole_probe  # noqa: E402

USER, PASSWORD = "admin", "admin"
SIZES_MB = (8, 32)
LIMIT_S = 90
# tc token-bucket settings per link: (rate, bucket). The bucket holds a few
# milliseconds at the rate and at least one 64 KiB segment of the veth.
LINKS = {
    "unshaped": None,
    "1gbit": ("1gbit", "256kb"),
    "100mbit": ("100mbit", "128kb"),
}
LINK_TITLES = {"unshaped": "unshaped", "1gbit": "1 Gbit/s", "100mbit": "100 Mbit/s"}
# What the wizard's design fixes after the upload (seconds): the search starts
# a minute after the language-pack page opens, and the find popup, shown at
# the same moment, ends at its first 2-second tick that sees the router's
# reply: its 30th (60 s) when the reply beats it, else its 31st (62 s); the
# floor takes the 60. The language-pack poster pauses 5 s after sending, so
# the upgrade popup first sees the pack accepted at its 3rd tick and ends at
# the 6th tick from there (16 s).
FIND_FLOOR_S = 60.0
PACK_FLOOR_S = 16.0
PACK_UPGRADE, FINISH_EXIT = 1059, 1014


def write_image(path, size):
    block = hashlib.sha256(b"bench").digest() * 2048  # 64 KiB
    with open(path, "wb") as out:
        left = size
        while left > 0:
            out.write(block[:min(left, len(block))])
            left -= len(block)


def image_name(size_mb):
    return f"BENCH{size_mb}.bin"


def wizard_run(build, name, size_mb, router_args=()):
    def prepare(folder):
        write_image(os.path.join(folder, "Firmware", image_name(size_mb)),
                    size_mb * 1000 * 1000)

    return WizardRun(build, name, ["--user", USER, "--password", PASSWORD, *router_args],
                     msg={"FW_FileName": ".\\Firmware\\" + image_name(size_mb)},
                     prepare=prepare, out_dir=os.environ.get("FWU_BENCH_SHOTS"))


def shape(run, link):
    """Token-bucket shaping of both ends of the program's link."""
    if LINKS[link] is None:
        return
    rate, bucket = LINKS[link]
    topology = run.topology
    for namespace, interface in ((topology.program_ns, topology.links[0].program_if),
                                 (topology.router_ns, topology.links[0].router_if)):
        topology.run_in(namespace, ["tc", "qdisc", "add", "dev", interface, "root", "tbf",
                                    "rate", rate, "burst", bucket, "latency", "50ms"],
                        check=True, capture_output=True)


def wait_complete(run, count, limit_s=LIMIT_S):
    """The count-th complete request the router recorded."""
    deadline = time.monotonic() + limit_s
    while time.monotonic() < deadline:
        done = [r for r in run.http_records(with_raw=False) if r.get("complete")]
        if len(done) >= count:
            return done[count - 1]
        if run.message_box_shown():
            raise RuntimeError(f"message box: {run.ui.msgbox(1000)}")
        time.sleep(0.02)
    run.shot("no-upload")
    with open(run.router.log_path) as log:
        trace = log.read()[-2000:]
    raise RuntimeError(f"the router did not get the whole request in time:\n{trace}")


def floor_post(run, size_mb, count, messages=True):
    """The floor program's post from the wizard's folder, with or without its
    posted messages: its own figures and the router's record (the count-th
    complete request). The router is watched meanwhile exactly as while the
    wizard posts, so that both run beside the same activity."""
    floor = os.path.join(run.build_dir, "tools", "bench", "floor_poster.exe")
    finished = {}

    def post():
        finished["result"] = run.session.run(
            [floor, ROUTER_IP, ".\\Firmware\\" + image_name(size_mb), USER, PASSWORD]
            + ([] if messages else ["--no-messages"]),
            timeout=LIMIT_S, cwd=run.folder, capture=True)

    poster = threading.Thread(target=post)
    poster.start()
    try:
        record = wait_complete(run, count)
    finally:
        poster.join(LIMIT_S + 30)
    result = finished.get("result")
    if result is None:
        raise RuntimeError("floor_poster did not end")
    figures = dict(re.findall(r"(\w+)=([\d.]+)", result.stdout or ""))
    if result.returncode != 0 or "seconds" not in figures:
        raise RuntimeError(f"floor_poster failed ({result.returncode}): {result.stdout!r} "
                           f"{result.stderr[-500:]!r}")
    return {key: float(value) for key, value in figures.items()}, record


def curl_post(run, size_mb):
    local = os.path.join(run.folder, "Firmware", image_name(size_mb))
    argv = ["curl", "-s", "-o", "/dev/null", "-H", "Expect:", "-u", f"{USER}:{PASSWORD}",
            "-F", f"mtenFWUpload=@{local}", "-F", "uploading=no",
            f"http://{ROUTER_IP}/upgrade_flash.cgi"]
    result = run.topology.run_in_program(argv, timeout=LIMIT_S)
    if result.returncode != 0:
        raise RuntimeError(f"curl failed with {result.returncode}")


def upload_once(build, link, size_mb, number):
    """One run on one link: the wizard and the floor program, the bare floor
    right behind the floor (which of wizard and floors goes first alternates
    from run to run, so that neither always meets a router that has just
    stored an image), then curl."""
    size = size_mb * 1000 * 1000
    with wizard_run(build, f"b{link[:4]}{size_mb}-{number}", size_mb) as run:
        shape(run, link)
        run.walk_to_verify(user=USER, password=PASSWORD)
        floor_first = number % 2 == 1
        if floor_first:
            floor, floor_record = floor_post(run, size_mb, 1)
            bare_record = floor_post(run, size_mb, 2, messages=False)[1]
        before_kib = run.program_peak_memory_kib()
        clicked = run.click_upgrade()
        wizard = wait_complete(run, 3 if floor_first else 1)
        delivered = time.monotonic()
        run.wait_next_page()
        wizard_lag = time.monotonic() - delivered
        peak_kib = run.program_peak_memory_kib()
        if not floor_first:
            floor, floor_record = floor_post(run, size_mb, 2)
            bare_record = floor_post(run, size_mb, 3, messages=False)[1]
        curl_post(run, size_mb)
        curl_record = wait_complete(run, 4)
        stored = {r.get("file_size") for r in (wizard, floor_record, bare_record, curl_record)}
        if stored != {size}:
            raise RuntimeError(f"the router stored {stored} bytes, not {size}")
        if floor.get("messages", 0) < size / 1460:
            raise RuntimeError(f"the floor program counted only {floor.get('messages')} messages")
        return {"wizard": wizard["receive_seconds"], "floor": floor_record["receive_seconds"],
                "bare": bare_record["receive_seconds"], "curl": curl_record["receive_seconds"],
                "wizard_whole": delivered - clicked,
                "wizard_lag": wizard_lag,
                "floor_lag": floor["lag"], "before_kib": before_kib, "peak_kib": peak_kib}


def print_uploads(build, links, sizes, runs):
    print(f"Firmware upload, on the wire (s): median of {runs} run(s), "
          "[min-max] of the wizard's and the floors'; bare: the floor without posted messages;")
    print("whole: the wizard's Upgrade click to the router's last byte; lag: from there until "
          "the next page showed (the bar had taken every report), polled every 0.1 s; floor "
          "lag: from the floor's end until its window's thread had taken every report")
    print(f"{'link':>10} {'image':>6} {'wizard':>7} {'floor':>7} {'bare':>7} {'curl':>7}  "
          f"{'wiz/floor':>9} {'wiz/bare':>8} {'wiz/curl':>8} {'floor/curl':>10}  "
          f"{'wizard range':>13} {'floor range':>13} {'bare range':>13}  {'whole':>6} "
          f"{'lag':>5} {'floor lag':>9}")
    results = {}
    for link in links:
        for size_mb in sizes:
            samples = [upload_once(build, link, size_mb, n) for n in range(runs)]
            results[(link, size_mb)] = samples
            med = {key: statistics.median(s[key] for s in samples)
                   for key in ("wizard", "floor", "bare", "curl", "wizard_whole", "wizard_lag",
                               "floor_lag")}
            span = {key: f"{min(s[key] for s in samples):.2f}-{max(s[key] for s in samples):.2f}"
                    for key in ("wizard", "floor", "bare")}
            print(f"{LINK_TITLES[link]:>10} {size_mb:>4}MB {med['wizard']:>7.3f} "
                  f"{med['floor']:>7.3f} {med['bare']:>7.3f} {med['curl']:>7.3f}  "
                  f"{med['wizard'] / med['floor']:>9.3f} {med['wizard'] / med['bare']:>8.3f} "
                  f"{med['wizard'] / med['curl']:>8.2f} {med['floor'] / med['curl']:>10.2f}  "
                  f"{span['wizard']:>13} {span['floor']:>13} {span['bare']:>13}  "
                  f"{med['wizard_whole']:>6.2f} {med['wizard_lag']:>5.2f} "
                  f"{med['floor_lag']:>9.3f}", flush=True)
    return results


def print_memory(results, link, size_mb):
    samples = results.get((link, size_mb))
    if not samples or not all(s["peak_kib"] and s["before_kib"] for s in samples):
        print("Peak memory: not readable")
        return
    added = max(s["peak_kib"] - s["before_kib"] for s in samples) / 1024
    peak = max(s["peak_kib"] for s in samples) / 1024
    image = size_mb * 1000 * 1000 / 1048576
    print(f"Peak memory with the {size_mb} MB image: {peak:.1f} MiB, of which the upload "
          f"added {added:.1f} MiB (the image is {image:.1f} MiB; aim: at most "
          f"{image + 4:.1f} MiB)")


def probe_ui(build, size_mb=32):
    """The wizard's answer times while it uploads (unshaped link)."""
    probe = os.path.join(build, "tools", "bench", "ui_probe.exe")
    with wizard_run(build, f"bprobe{size_mb}", size_mb) as run:
        run.walk_to_verify(user=USER, password=PASSWORD)
        output = {}

        def sample():
            output["result"] = run.session.run([probe, CAPTION, str(UPLOAD_PROGRESS),
                                                str(LIMIT_S)], timeout=LIMIT_S + 30,
                                               capture=True)

        sampler = threading.Thread(target=sample)
        sampler.start()
        clicked = run.click_upgrade()
        record = wait_complete(run, 1)
        delivered = time.monotonic()
        run.wait_next_page()
        moved_on = time.monotonic()
        sampler.join(LIMIT_S + 40)
        result = output.get("result")
        text = (result.stdout or "").strip() if result else "no result"
        figures = dict(re.findall(r"(\w+)=([\d.]+)", text))
        if "max_ms" not in figures:
            print(f"User interface during a {size_mb} MB upload: probe failed: {text!r}")
            return
        print(f"User interface during a {size_mb} MB upload: {figures['samples']} answers to "
              f"WM_NULL, longest {figures['max_ms']} ms ({figures['max_at_ms']} ms after the "
              f"first), 99th percentile {figures['p99_ms']} ms, "
              f"{figures['late']} later than 1 s (aims: 50 ms, 20 ms); the bar took "
              f"{figures['positions']} positions and stood still at most {figures['still_ms']} ms; "
              f"the router had the image after {delivered - clicked:.2f} s "
              f"({record['receive_seconds']:.2f} s on the wire), the next page showed "
              f"{moved_on - delivered:.2f} s later")


def wait_for(run, done, what, limit_s):
    deadline = time.monotonic() + limit_s
    while not done():
        if time.monotonic() > deadline:
            run.shot("no-" + re.sub(r"\W+", "-", what))
            raise RuntimeError(f"{what}: not within {limit_s} s")
        if run.message_box_shown():
            with open(run.router.log_path) as log:
                trace = log.read()[-1500:]
            raise RuntimeError(f"message box while waiting for {what}: {run.ui.msgbox(1000)}"
                               f"\nthe router's log:\n{trace}")
        time.sleep(0.05)
    return time.monotonic()


def whole_wizard(build, size_mb=8):
    """Upgrade click to finish page, with a router that restarts for 3 s."""
    with wizard_run(build, f"bwhole{size_mb}", size_mb, ["--restart-seconds", "3", "--lang-auth", "any"]) as run:
        run.walk_to_verify(user=USER, password=PASSWORD)
        clicked = run.click_upgrade()
        wait_complete(run, 1)
        uploaded = time.monotonic()
        shown = wait_for(run, run.popup_shown, "the find-device popup", LIMIT_S)
        found = wait_for(run, lambda: not run.popup_shown(), "the router found",
                         FIND_FLOOR_S + 30)
        pack_clicked = run.click_once(PACK_UPGRADE, run.popup_shown, "the upgrade popup")
        finished = wait_for(run, lambda: run.ui.visible(FINISH_EXIT), "the finish page",
                            PACK_FLOOR_S + 30)
        # The floor program posts the same image once the wizard is done.
        floor = floor_post(run, size_mb, 3)[0]["seconds"]
    wizard = (found - clicked) + (finished - pack_clicked)
    floor_total = floor + FIND_FLOOR_S + PACK_FLOOR_S
    print(f"Whole wizard, {size_mb} MB image, router restarting 3 s: Upgrade click to the "
          f"router's last byte {uploaded - clicked:.2f} s, to the find popup "
          f"{shown - clicked:.2f} s, to the router found {found - clicked:.2f} s; pack "
          f"Upgrade click to the finish page {finished - pack_clicked:.2f} s; in all "
          f"{wizard:.2f} s against a floor of {floor_total:.2f} s (upload {floor:.2f} + "
          f"{FIND_FLOOR_S:.0f} + {PACK_FLOOR_S:.0f}): {wizard - floor_total:+.2f} s "
          f"(aim: at most +2 s)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="build folder (its win/ part is used)")
    parser.add_argument("--sizes", type=int, nargs="+", default=list(SIZES_MB), metavar="MB",
                        help="image sizes in MB (default: 8 32)")
    parser.add_argument("--links", nargs="+", default=list(LINKS), choices=list(LINKS),
                        help="links to measure on (default: all)")
    parser.add_argument("--runs", type=int, default=5, help="runs per link and size")
    parser.add_argument("--no-probe", action="store_true", help="leave out the UI probe")
    parser.add_argument("--no-whole", action="store_true", help="leave out the whole wizard")
    parser.add_argument("--whole-probe", type=int, nargs="?", const=1, metavar="N",
                        help="only the whole wizard's answer times, probed N times (default 1)")
    parser.add_argument("--no-whole-probe", action="store_true",
                        help="leave out the whole wizard's answer times")
    args = parser.parse_args()
    build = os.path.join(os.path.abspath(args.build), "win")
    if args.whole_probe:
        print_whole_probe(build, args.whole_probe)
        return 0
    results = print_uploads(build, args.links, args.sizes, max(1, args.runs))
    print_memory(results, args.links[0], max(args.sizes))
    if not args.no_probe:
        probe_ui(build)
    if not args.no_whole:
        whole_wizard(build)
    if not args.no_whole_probe:
        print_whole_probe(build)
    return 0


if __name__ == "__main__":
    sys.exit(main())
