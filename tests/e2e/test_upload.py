#!/usr/bin/env python3
"""The firmware upload end to end: the release folder's program, driven
through the wizard, against the simulated router in a private network pair.

Success: the router gets the request byte for byte, stores the image
unchanged, the bar stands at 100 and the wizard moves on. Failures: refused
and unreachable connections, 401 and 500 answers, a router that drops the
connection mid-body, a missing, an over-long and an unreadable image name
each end with their message box and a closed wizard. Scenarios run side by
side, each in its own namespaces and Wine session."""

import base64
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (BOX_CAPTION, ROUTER_IP, Checks, WizardRun, expected_body,  # noqa: E402
                     local_file, msg_text, run_suite, sha256_of, split_request)

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


def success(build, name, image_name=SAMPLE, make_image=None):
    def prepare(folder):
        if make_image:
            make_image(local_file(folder, image_name))
    msg = {"FW_FileName": image_name} if image_name != SAMPLE else None
    check = Checks(name)
    with WizardRun(build, name, ROUTER_AUTH, msg=msg, prepare=prepare,
                   out_dir=shots_dir(build, name)) as run:
        run.walk_to_upload(user=USER, password=PASSWORD)
        run.wait_next_page()
        check("moved on to the next page", True, True)
        check("bar full", run.progress(), 100)
        records = run.wait_records(1)
        check("one request", len(records), 1)
        with open(local_file(run.folder, image_name), "rb") as f:
            image = f.read()
        if records:
            check_request(check, records[0], image_name, image)
            check("router accepted", records[0].get("status"), 200)
    return check


def failure(build, name, want_key=None, want_text=None, router_args=(), msg=None,
            prepare=None, address=ROUTER_IP, want_requests=None):
    """The box shows want_text (or the MSG.ini text of want_key) and the
    wizard closes."""
    check = Checks(name)
    with WizardRun(build, name, list(ROUTER_AUTH) + list(router_args), msg=msg,
                   prepare=prepare, out_dir=shots_dir(build, name)) as run:
        run.walk_to_upload(address=address, user=USER, password=PASSWORD)
        caption, text = run.message_box(90)
        check("box caption", caption, BOX_CAPTION)
        check("box text", text, want_text if want_text is not None else msg_text(run.folder, want_key))
        check("wizard closed", run.wizard_closed(), True)
        if want_requests is not None:
            check("requests the router saw", len(run.http_records()), want_requests)
    return check


def make_empty(path):
    open(path, "wb").close()


def make_folder(path):
    os.makedirs(path)


LONG_NAME = ".\\Firmware\\" + "x" * 250 + ".bin"  # 265 characters


def scenarios(build):
    return {
        "success": lambda: success(build, "ok"),
        "empty image": lambda: success(build, "empty", ".\\Firmware\\EMPTY.bin", make_empty),
        "refused": lambda: failure(build, "refused", "Retry", router_args=["--fault", "refuse"]),
        "unreachable": lambda: failure(build, "unreach", "Retry", address="192.168.1.77"),
        "401": lambda: failure(build, "s401", "Retry", router_args=["--fault", "status-401"]),
        "500": lambda: failure(build, "s500", "Retry", router_args=["--fault", "status-500"]),
        "closed mid-body": lambda: failure(build, "midbody", "Retry",
                                           router_args=["--fault", "close-mid-body"]),
        "missing image": lambda: failure(build, "missing", want_text=".\\Firmware\\NONE.bin",
                                         msg={"FW_FileName": ".\\Firmware\\NONE.bin"},
                                         want_requests=0),
        "over-long name": lambda: failure(build, "longname", want_text=LONG_NAME,
                                          msg={"FW_FileName": LONG_NAME}, want_requests=0),
        "unreadable image": lambda: failure(
            build, "unread", "Retry", msg={"FW_FileName": ".\\Firmware\\FOLDER.bin"},
            prepare=lambda folder: make_folder(local_file(folder, ".\\Firmware\\FOLDER.bin")),
            want_requests=0),
    }


def main():
    return run_suite("e2e_upload", scenarios, default_jobs=3)


if __name__ == "__main__":
    sys.exit(main())
