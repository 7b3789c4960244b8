"""The whole wizard as a user meets it: how long its window takes to answer
at every moment from the first page to the finish page.

ui_probe.exe --whole sends WM_NULL to the wizard's window every 10 ms from
the moment it shows until it goes, and names every answer later than 20 ms
with the wall-clock moment it was asked for. Meanwhile the walk clicks
through every page, a second after it appears (a quick reader), against the simulated router (restarting 3 s after the
image) and notes, on the same clock, each click, each page it sees appear,
the popups, and what the router recorded (the image's arrival, its
discovery reply, the query's arrival). Every stall is then printed with the
last of those moments before it and the first after it.
"""

import os
import re
import threading
import time

from harness import (ADDRESS, CAPTION, FINISH_EXIT, LANGUAGE_NEXT, MAIN_NEXT, PACK_UPGRADE,
                     PASSWORD, USER, VERIFY_ADDRESS, WELCOME_START, WizardRun, skin_text,
                     udp_records)

STALL_MS, BUDGET_MS = 20, 50
# The walk's own bound: the page's minute, the pack's 16 s and the rest.
LIMIT_S = 240
FIRMWARE_MB = 8
# How long the walk looks at a page before it clicks, as a quick reader would.
READING_S = 1.0


class Moments:
    """What the walk saw, on the wall clock (time.time())."""

    def __init__(self):
        self.offset = time.time() - time.monotonic()
        self.seen = []

    def add(self, label, monotonic=None):
        self.seen.append(((monotonic if monotonic is not None else time.monotonic())
                          + self.offset, label))

    def around(self, at):
        """(label and seconds since, of the last moment at or before `at`;
        label and seconds until, of the first after it)."""
        ordered = sorted(self.seen)
        before = [m for m in ordered if m[0] <= at]
        after = [m for m in ordered if m[0] > at]
        return ((before[-1][1], at - before[-1][0]) if before else None,
                (after[0][1], after[0][0] - at) if after else None)


def write_image(folder, size_mb):
    with open(os.path.join(folder, "Firmware", "WHOLE.bin"), "wb") as out:
        out.write(bytes(range(256)) * (size_mb * 1000 * 1000 // 256))


def click(run, moments, ctrl_id, done, what, timeout_s=30):
    # A user reads a page before clicking on: the wizard uses that time.
    time.sleep(READING_S)
    moments.add(f"click {what}", run.click_once(ctrl_id, done, what, timeout_s))
    moments.add(f"{what}: its result seen")


def walk(run, moments, user, password):
    """From the first page to the finish page's Exit, noting every moment."""
    ui = run.ui
    ui.wait_window(CAPTION, 30000)
    run.wait_visible(LANGUAGE_NEXT, "language page")
    moments.add("language page seen")
    click(run, moments, LANGUAGE_NEXT, lambda: ui.visible(WELCOME_START), "language Next")
    click(run, moments, WELCOME_START, lambda: ui.visible(ADDRESS), "welcome Start")
    for ctrl_id, text in ((ADDRESS, "192.168.1.1"), (USER, user), (PASSWORD, password)):
        moments.add(f"typing into {ctrl_id}")
        ui.type(ctrl_id, text)
    click(run, moments, MAIN_NEXT, lambda: ui.visible(VERIFY_ADDRESS), "login Next")
    upgrade = skin_text(run.folder, "Control", "Upgrade")
    run.wait_until(lambda: ui.text(MAIN_NEXT) == upgrade, "the Upgrade button")
    click(run, moments, MAIN_NEXT, lambda: not ui.visible(VERIFY_ADDRESS), "verify Upgrade")
    run.wait_until(run.popup_shown, "the find-device popup", 120)
    moments.add("find popup seen")
    run.wait_until(lambda: not run.popup_shown(), "the router found", 100)
    moments.add("find popup gone")
    click(run, moments, PACK_UPGRADE, run.popup_shown, "pack Upgrade")
    run.wait_until(lambda: ui.visible(FINISH_EXIT), "the finish page", 60)
    moments.add("finish page seen")
    ui.press(FINISH_EXIT)
    moments.add("finish Exit pressed")
    ui.wait_gone(CAPTION, 15000)


def router_moments(run, moments):
    """The router's own records, on the same wall clock."""
    for record in run.http_records(with_raw=False):
        path = record.get("path", "request")
        moments.seen.append((record["time"], f"router: {path} began"))
        # Its summary is written once the body is in.
        summary = os.path.join(run.record_dir, f"http-{record['n']}.json")
        moments.seen.append((os.path.getmtime(summary), f"router: {path} received"))
    udp = udp_records([run.record_dir])
    for record in udp:
        if record.get("answer") == "discovery reply":
            moments.seen.append((record["time"], "router: discovery answered"))
        elif record.get("command") == 1:
            moments.seen.append((record["time"], "router: query arrived"))
    replies = [r["time"] for r in udp if r.get("answer") == "discovery reply"]
    queries = [r["time"] for r in udp if r.get("command") == 1]
    return queries[0] - replies[0] if replies and queries else None


def probe_once(build, number):
    probe = os.path.join(build, "tools", "bench", "ui_probe.exe")
    user, password = "admin", "admin"

    def prepare(folder):
        write_image(folder, FIRMWARE_MB)

    moments = Moments()
    output = {}
    with WizardRun(build, f"bwprobe{number}",
                   ["--user", user, "--password", password, "--restart-seconds", "3",
                    "--lang-auth", "any"],
                   msg={"FW_FileName": ".\\Firmware\\WHOLE.bin"}, prepare=prepare) as run:
        def sample():
            output["result"] = run.session.run([probe, "--whole", CAPTION, str(LIMIT_S)],
                                               timeout=LIMIT_S + 30, capture=True)

        sampler = threading.Thread(target=sample)
        sampler.start()
        try:
            walk(run, moments, user, password)
        finally:
            sampler.join(LIMIT_S + 40)
        query_delay = router_moments(run, moments)
    result = output.get("result")
    return (result.stdout or "") if result else "", moments, query_delay


def describe(moments, at):
    before, after = moments.around(at)
    parts = []
    if before:
        parts.append(f"{before[1] * 1000:.0f} ms after {before[0]}")
    if after:
        parts.append(f"{after[1] * 1000:.0f} ms before {after[0]}")
    return "; ".join(parts)


def print_whole_probe(build, runs=1):
    """`runs` walks; each stall over 20 ms with its moment, and the figures."""
    print(f"Whole wizard probed from the first page to the finish page (WM_NULL every 10 ms; "
          f"stalls over {STALL_MS} ms, aim: none over {BUDGET_MS} ms):", flush=True)
    for number in range(runs):
        text, moments, query_delay = probe_once(build, number)
        figures = dict(re.findall(r"(\w+)=([\d.]+)", text.splitlines()[-1] if text else ""))
        if "max_ms" not in figures:
            print(f"  run {number + 1}: probe failed: {text.strip()!r}")
            continue
        for at, took in re.findall(r"stall at=([\d.]+) ms=([\d.]+)", text):
            print(f"  run {number + 1}: {float(took):7.1f} ms, {describe(moments, float(at))}")
        delay = f"{query_delay:.2f} s" if query_delay is not None else "none"
        print(f"  run {number + 1}: {figures['samples']} answers, longest {figures['max_ms']} ms, "
              f"99th percentile {figures['p99_ms']} ms, {figures['over20']} over {STALL_MS} ms, "
              f"{figures['over50']} over {BUDGET_MS} ms; the query left {delay} after the "
              f"router's discovery reply (the design: 2 s)", flush=True)
