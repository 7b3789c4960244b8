#!/usr/bin/env python3
"""The firmware upload end to end: the release folder's program, driven
through the wizard, against the simulated router in a private network pair.

Success: the router gets the request byte for byte, stores the image
unchanged, the bar stands at 100 and the wizard moves on; so it does when
the router answers with a status line that is not HTTP (it is restarting
with the new image) or with an answer that never ends or trickles a byte a
second, in bounded time. Failures: refused and unreachable connections,
401, 403, 404 and 500 answers, a router that drops the connection mid-body,
a missing or empty image, an over-long and an unreadable image name each end
with their message box and a closed wizard, as does the release archive made
without the maker's files; each row also says how much of the request the
router got: none, a cut-off start, or all of it byte for byte. Escape, Alt+F4 and
Enter while a large image goes to a slowly reading router change nothing.
Scenarios run side by side, each in its own namespaces and Wine session."""

import base64
import hashlib
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "harness"))
from harness import (BOX_CAPTION, ROUTER_IP, UPLOAD_PROGRESS, Checks, WizardRun,  # noqa: E402
                     expected_body, local_file, msg_text, run_suite, sha256_of, split_request,
                     unpacked_release)

SAMPLE = ".\\Firmware\\ZEPHYRA_FW.bin"
USER, PASSWORD = "admin", "s3cret:pw"
ROUTER_AUTH = ["--user", USER, "--password", PASSWORD]


def check_request(check, record, path_text, image):
    line, headers, body = split_request(record["raw"])
    check("request line", line, "POST /upgrade_flash.cgi HTTP/1.1")
    names = [name.lower() for name, _ in headers]
    value = dict((name.lower(), v) for name, v in headers)
    ours = ["content-type", "content-length", "referer", "authorization"]
    check("added headers in order", [n for n in names if n in ours], ours)
    check("Content-Type", value.get("content-type"),
          "multipart/form-data; boundary=---------------------------7d53c8371101be")
    check("Content-Length", value.get("content-length"),
          str(304 + len(path_text) + len(image)))
    check("Referer", value.get("referer"),
          f"http://{ROUTER_IP}/setup.cgi?next_file=FirmwareUpgrade.htm")
    check("Authorization", value.get("authorization"),
          "Basic " + base64.b64encode(f"{USER}:{PASSWORD}".encode()).decode())
    check("User-Agent", value.get("user-agent"), "CorvaneUpload")
    check("body byte for byte", body == expected_body(path_text, image), True)
    check("stored image sha256", record.get("file_sha256"),
          __import__("hashlib").sha256(image).hexdigest())
    check("file name travels whole", record.get("filename"), path_text)


def shots_dir(build, name):
    base = os.environ.get("FWU_E2E_SHOTS")
    return os.path.join(base, name) if base else None


def check_delivery(check, run, delivered, path_text=SAMPLE):
    """What the router got: "none", "part" (the request cut off inside its
    body) or "all" (one request, byte for byte)."""
    records = run.http_records()
    if delivered == "none":
        check("the router got nothing", len(records), 0)
        return
    check("one request", len(records), 1)
    if not records:
        return
    with open(local_file(run.folder, path_text), "rb") as f:
        image = f.read()
    if delivered == "all":
        check("the router got the whole request", records[0].get("complete"), True)
        check_request(check, records[0], path_text, image)
        return
    body = split_request(records[0]["raw"])[2]
    whole = expected_body(path_text, image)
    check("the router got the request cut off inside its body",
          (records[0].get("complete"), 0 < len(body) < len(whole), whole.startswith(body)),
          (False, True, True))


def body_arrived(run, record):
    """time.time() when the router had the request's last byte (its summary
    is written then, before any answer)."""
    return os.path.getmtime(os.path.join(run.record_dir, f"http-{record['n']}.json"))


def success(build, name, image_name=SAMPLE, make_image=None, router_args=(), within_s=None):
    """The wizard moves on, within_s seconds after the router had the whole
    request when given, and the router has every byte."""
    def prepare(folder):
        if make_image:
            make_image(local_file(folder, image_name))
    msg = {"FW_FileName": image_name} if image_name != SAMPLE else None
    check = Checks(name)
    with WizardRun(build, name, list(ROUTER_AUTH) + list(router_args), msg=msg,
                   prepare=prepare, out_dir=shots_dir(build, name)) as run:
        run.walk_to_upload(user=USER, password=PASSWORD)
        # The wait is the check: it fails the scenario with what showed instead.
        run.wait_next_page(150 + (within_s or 0))
        moved_on = time.time()
        check("bar full", run.progress(), 100)
        check_delivery(check, run, "all", image_name)
        records = run.http_records()
        with open(local_file(run.folder, image_name), "rb") as f:
            image = f.read()
        status = ["HTTP status 200"] if not router_args else []
        run.check_upgrade_record(check, status + [
            f"router address typed: {ROUTER_IP}", "Next from the upload page",
            f"{image_name}: {len(image)} bytes, SHA-256 {hashlib.sha256(image).hexdigest()}",
            f"{len(expected_body(image_name, image))} bytes sent in"], [PASSWORD])
        if records:
            check("router accepted", records[0].get("status"), 200)
            if within_s is not None:
                took = moved_on - body_arrived(run, records[0])
                check(f"moved on within {within_s} s of the body's end ({took:.0f} s)",
                      took <= within_s, True)
    return check


def failure(build, name, want_key=None, want_text=None, router_args=(), msg=None,
            prepare=None, address=ROUTER_IP, delivered="none", record=()):
    """The box shows want_text (or the MSG.ini text of want_key), the wizard
    closes, and the router got what delivered says (check_delivery)."""
    check = Checks(name)
    with WizardRun(build, name, list(ROUTER_AUTH) + list(router_args), msg=msg,
                   prepare=prepare, out_dir=shots_dir(build, name)) as run:
        run.walk_to_upload(address=address, user=USER, password=PASSWORD)
        caption, text = run.message_box(90)
        check("box caption", caption, BOX_CAPTION)
        shown = want_text if want_text is not None else msg_text(run.folder, want_key)
        check("box text", text, shown)
        check("wizard closed", run.wizard_closed(), True)
        run.check_upgrade_record(check, [f'shown to the user: "{shown}"', "the wizard closed"]
                                 + list(record), [PASSWORD])
        check_delivery(check, run, delivered)
    return check


def make_empty(path):
    open(path, "wb").close()


def make_folder(path):
    os.makedirs(path)


LONG_NAME = ".\\Firmware\\" + "x" * 250 + ".bin"  # 265 characters
EMPTY = ".\\Firmware\\EMPTY.bin"

BIG_IMAGE = ".\\Firmware\\BIG_32MB.bin"
BIG_SIZE = 32 * 1024 * 1024
# The router reads 1 MiB a second: the image is on its way for half a minute.
SLOW_RATE = 1024 * 1024
CLOSING_KEYS = ("ESCAPE", "ALT+F4", "RETURN")


def make_big(path):
    with open(path, "wb") as f:
        f.write(random.Random(916).randbytes(BIG_SIZE))


def wait_sending(run, timeout_s=90):
    """Waits until the bar has moved: the worker is sending. The position."""
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        position = run.progress()
        if isinstance(position, int) and position > 0:
            return position
        run.ui.no_msgbox(300)
    return run.progress()


def keys_during_upload(build, name):
    """Escape, Alt+F4 and Enter while the image is on its way change nothing:
    the router gets every byte and the wizard then moves on."""
    check = Checks(name)
    router = list(ROUTER_AUTH) + ["--fault", "slow-read", "--slow-rate", str(SLOW_RATE)]
    with WizardRun(build, name, router, msg={"FW_FileName": BIG_IMAGE},
                   prepare=lambda folder: make_big(local_file(folder, BIG_IMAGE)),
                   out_dir=shots_dir(build, name)) as run:
        run.walk_to_upload(user=USER, password=PASSWORD)
        position = wait_sending(run)
        check("the upload is under way", isinstance(position, int) and 0 < position < 100, True)
        # Escape goes to the page that holds the focus (a page never ends
        # on a cancel), Alt+F4 to the main window, which asks the pages,
        # Enter becomes IDOK wherever it lands.
        for key in CLOSING_KEYS:
            run.ui.key(key)
            check(f"{key}: no message box", run.ui.no_msgbox(1000), None)
            check(f"{key}: the upload page stays", run.ui.visible(UPLOAD_PROGRESS), True)
        run.shot("after-keys")
        check("the keys came while the image was on its way",
              any(r.get("complete") for r in run.http_records()), False)
        if check.failed:
            return check  # a closed wizard never moves on
        run.wait_next_page(180)  # fails the scenario with what showed instead
        records = run.wait_records(1)
        check("one request", len(records), 1)
        with open(local_file(run.folder, BIG_IMAGE), "rb") as f:
            image = f.read()
        if records:
            check_request(check, records[0], BIG_IMAGE, image)
            check("router accepted", records[0].get("status"), 200)
    return check


def release_without_firmware(build, name):
    """The release archive as ./run release makes it without the maker's
    files, unpacked: Firmware\\ holds only its README, and the wizard started
    from the folder ends with its missing-file message, sending nothing."""
    check = Checks(name)
    with unpacked_release(build, name, with_samples=False) as folder:
        check("Firmware holds only its README", os.listdir(os.path.join(folder, "Firmware")),
              ["README.txt"])
        with WizardRun(build, name, ROUTER_AUTH, program_folder=folder,
                       out_dir=shots_dir(build, name)) as run:
            run.walk_to_upload(user=USER, password=PASSWORD)
            caption, text = run.message_box(90)
            check("box caption", caption, BOX_CAPTION)
            check("box names the missing firmware", text, SAMPLE)
            check("wizard closed", run.wizard_closed(), True)
            check("requests the router saw", len(run.http_records()), 0)
    return check


def scenarios(build):
    def fault(name):
        return ["--fault", name]
    return {
        "success": lambda: success(build, "ok"),
        # The router restarting with its new image may answer anything: the
        # image went out whole, so the upload is done.
        "not HTTP": lambda: success(build, "nothttp", router_args=fault("not-http-answer")),
        # The answer is drained for at most the 30 s receive time-out.
        "endless answer": lambda: success(build, "endless", router_args=fault("endless-answer"),
                                          within_s=45),
        # A byte a second: the router's 83-byte head alone takes 83 s, then
        # the answer is read for at most the 30 s receive time-out (Wine's
        # library lets go of the request once its pending read has ended,
        # at the answer's end after 127 s).
        "trickled answer": lambda: success(build, "trickle", router_args=fault("trickle-answer"),
                                           within_s=150),
        "refused": lambda: failure(build, "refused", "Retry", router_args=fault("refuse")),
        "unreachable": lambda: failure(build, "unreach", "Retry", address="192.168.1.77"),
        "401": lambda: failure(build, "s401", "Retry", router_args=fault("status-401"),
                               delivered="all", record=["HTTP status 401", ", failed"]),
        "403": lambda: failure(build, "s403", "Retry", router_args=fault("status-403"),
                               delivered="all"),
        "404": lambda: failure(build, "s404", "Retry", router_args=fault("status-404"),
                               delivered="all"),
        "500": lambda: failure(build, "s500", "Retry", router_args=fault("status-500"),
                               delivered="all"),
        "closed mid-body": lambda: failure(build, "midbody", "Retry",
                                           router_args=fault("close-mid-body"), delivered="part"),
        "missing image": lambda: failure(build, "missing", want_text=".\\Firmware\\NONE.bin",
                                         msg={"FW_FileName": ".\\Firmware\\NONE.bin"}),
        "empty image": lambda: failure(
            build, "empty", want_text=EMPTY, msg={"FW_FileName": EMPTY},
            prepare=lambda folder: make_empty(local_file(folder, EMPTY))),
        "over-long name": lambda: failure(build, "longname", want_text=LONG_NAME,
                                          msg={"FW_FileName": LONG_NAME}),
        "unreadable image": lambda: failure(
            build, "unread", "Retry", msg={"FW_FileName": ".\\Firmware\\FOLDER.bin"},
            prepare=lambda folder: make_folder(local_file(folder, ".\\Firmware\\FOLDER.bin"))),
        "keys during upload": lambda: keys_during_upload(build, "keys"),
        "release without firmware": lambda: release_without_firmware(build, "nofw"),
    }


def main():
    return run_suite("e2e_upload", scenarios, default_jobs=3)


if __name__ == "__main__":
    sys.exit(main())
