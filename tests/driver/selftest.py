#!/usr/bin/env python3
"""End-to-end check of the GUI driver against sample_dialog.exe in a sandbox:
typing into an edit and an IP address control, picking a list entry, a real
click that opens a message box, reading and dismissing it, a drag, the
window region, screenshots, and closing with ESCAPE."""

import argparse
import os
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "sandbox"))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "driver"))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "harness"))
import netns  # noqa: E402
from checks import Checks  # noqa: E402
import sandbox  # noqa: E402
from driver import Driver, DriverError  # noqa: E402
from png_files import read_png  # noqa: E402

check = Checks("driver", echo=True)

CAPTION = "Driver Sample"
(IDC_NAME, IDC_ADDRESS, IDC_CHOICE, IDC_CHECK, IDC_CHOICE_ECHO, IDC_DRAG_ECHO, IDC_COUNT,
 IDC_COUNT_ECHO, IDC_BUSY) = range(1001, 1010)



def pixel(rows, x, y):
    return tuple(rows[y][x * 3:x * 3 + 3])


def wait_text(ui, ctrl_id, want, timeout_s=5):
    """The control's text once it reads `want`, or what it reads at the deadline."""
    deadline = time.monotonic() + timeout_s
    while True:
        got = ui.text(ctrl_id)
        if got == want or time.monotonic() > deadline:
            return got
        time.sleep(0.05)


def drive(ui, out_dir):
    hwnd = ui.wait_window(CAPTION, 15000)
    check("window found", hwnd.startswith("0x"), True)
    check("no message box at start", ui.no_msgbox(300), None)
    check("IP control class", ui.find(IDC_ADDRESS).split()[1], "SysIPAddress32")

    check("type into edit", ui.type(IDC_NAME, "Tester 7"), "Tester 7")
    check("typing replaces", ui.type(IDC_NAME, "Router Admin"), "Router Admin")
    # The first field has the focus already and the dialog takes the click
    # on it late: the typed text must come after the click, not around it
    # (a click between "19" and "2" would make it "129").
    ui.press(IDC_BUSY)
    check("type into IP control", ui.type(IDC_ADDRESS, "192.168.1.1"), "192.168.1.1")
    check("short IP fields", ui.type(IDC_ADDRESS, "10.0.0.254"), "10.0.0.254")

    check("select entry index", ui.select(IDC_CHOICE, "Deutsch"), 1)
    check("combo shows entry", ui.text(IDC_CHOICE), "Deutsch")
    check("parent notified", ui.text(IDC_CHOICE_ECHO), "Selected Deutsch")
    try:
        ui.select(IDC_CHOICE, "Klingon")
        check("missing entry refused", "accepted", "error")
    except DriverError as e:
        check("missing entry refused", "no entry" in str(e), True)
    try:
        ui.text(4242)
        check("unknown control refused", "accepted", "error")
    except DriverError as e:
        check("unknown control refused", "no control" in str(e), True)

    box, corner_in, top_mid_in = ui.region(CAPTION)
    check("rounded corner outside region", corner_in, False)
    check("top middle inside region", top_mid_in, True)

    left, top, right, bottom = ui.rect(IDC_CHOICE_ECHO)
    wl, wt, wr, wb = ui.window_rect(CAPTION)
    # An empty part of the dialog, below the echo lines: the dialog itself gets the mouse.
    y = bottom + 30
    ui.drag(wl + 40, y, wl + 90, y + 10)
    check("drag seen by the dialog", ui.text(IDC_DRAG_ECHO).startswith("Dragged "), True)

    # The button throws the cursor off itself when the mouse first comes:
    # the click still counts when its press and release carry their place.
    ui.click(IDC_COUNT)
    check("a click whose cursor was moved away lands",
          wait_text(ui, IDC_COUNT_ECHO, "Clicks: 1"), "Clicks: 1")
    # A second click on the same spot right away is a click of its own, not
    # the second half of a double click.
    ui.click(IDC_COUNT)
    check("two clicks on one spot are two clicks",
          wait_text(ui, IDC_COUNT_ECHO, "Clicks: 2"), "Clicks: 2")

    whole = ui.shot(os.path.join(out_dir, "screen.png"))
    check("screen shot size", whole, (0, 0, 1024, 768))
    width, height, rows = read_png(os.path.join(out_dir, "screen.png"))
    check("screen PNG size", (width, height), (1024, 768))
    ui.shot(os.path.join(out_dir, "dialog.png"), CAPTION)
    width, height, rows = read_png(os.path.join(out_dir, "dialog.png"))
    check("dialog PNG size", (width, height), (wr - wl, wb - wt))
    # The dialog face below the echo lines; the cut-off corner shows the desktop.
    el, _, _, eb = ui.rect(IDC_DRAG_ECHO)
    face = pixel(rows, el - wl + 2, eb - wt + 6)
    check("dialog face is light grey", face[0] == face[1] == face[2] and face[0] > 200, True)
    check("corner outside the region shows the desktop", pixel(rows, 0, 0), (0, 0, 0))

    ui.click(IDC_CHECK)
    caption, text = ui.msgbox(10000)
    check("message box caption", caption, "Sample Report")
    check("message box text", text,
          "Name: Router Admin\nAddress: 10.0.0.254\nChoice: Deutsch")
    ui.shot(os.path.join(out_dir, "msgbox.png"))

    ui.dismiss()
    check("message box gone", ui.no_msgbox(500), None)

    ui.press(IDC_CHECK)
    ui.msgbox(10000)
    ui.key("RETURN")
    check("RETURN closes the box", ui.no_msgbox(500), None)

    # Keys alone: Tab and Shift+Tab move the focus in the tab order, and
    # text typed without a click goes where the focus stands.
    ui.type(IDC_NAME, "Keys")
    check("focus on the edit typed into", ui.focus(), IDC_NAME)
    ui.key("TAB")
    check("TAB moves the focus on", ui.focus(), IDC_ADDRESS)
    ui.key("SHIFT+TAB")
    check("SHIFT+TAB moves it back", ui.focus(), IDC_NAME)
    ui.keys("Typed")  # the dialog selects an edit's text when Tab enters it
    check("keys type where the focus stands", wait_text(ui, IDC_NAME, "Typed"), "Typed")

    ui.key("ESCAPE")
    ui.wait_gone(CAPTION, 5000)
    check("ESCAPE closes the dialog", ui.visible(IDC_NAME), False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--sample", required=True)
    args = parser.parse_args()
    out_dir = os.path.join(os.path.dirname(os.path.abspath(args.driver)), "selftest-out")
    os.makedirs(out_dir, exist_ok=True)
    with netns.NetNs("drv") as ns, sandbox.WineSession(args.build_dir, ns, "driver") as session:
        app = session.popen([args.sample])
        try:
            with Driver(session, args.driver) as ui:
                drive(ui, out_dir)
            check("sample exit code", app.wait(timeout=10), 0)
        except DriverError as e:
            check.fail(str(e))
            session.screenshot(os.path.join(out_dir, "failure.png"))
    print(f"screenshots in {out_dir}")
    return check.summary()


if __name__ == "__main__":
    sys.exit(main())
