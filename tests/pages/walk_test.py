#!/usr/bin/env python3
"""A user's walk through the first wizard pages, in a sandbox: the language
choice, the welcome page, the login page with its refusals (incomplete
address, credentials that do not fit), the verify page showing the typed
address, Back and Next again, and Exit; Enter with the focus in the language
list or an edit changes nothing, and Enter on the welcome page presses Start,
the button that holds the focus there. Screenshots of every page go to
<build>/tests/pages/walk-out/.

The walk stops before the upgrade: the Upgrade button is never pressed, so
the program sends nothing."""

import argparse
import configparser
import os
import shutil
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "sandbox"))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "driver"))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "harness"))
import netns  # noqa: E402
from checks import Checks  # noqa: E402
from harness import (ADDRESS, BOX_CAPTION, CAPTION, LANGUAGE_LIST, LANGUAGE_NEXT,  # noqa: E402
                     MAIN_BACK, MAIN_EXIT, MAIN_NEXT, PASSWORD, USER, VERIFY_ADDRESS,
                     WELCOME_START)
import sandbox  # noqa: E402
from driver import Driver, DriverError  # noqa: E402
from png_files import read_png  # noqa: E402

check = Checks("walk", echo=True)

PASSWORD_TOO_LONG = "The password is too long: at most 127 characters."
CREDENTIAL_TOO_LONG = ("The user name and password together are too long: "
                       "at most 77 characters plus the colon.")



def program_folder(build_dir):
    """The release folder, or a folder made from the build tree."""
    dist = os.path.join(build_dir, "dist")
    if os.path.isfile(os.path.join(dist, "FirmwareUpdater.exe")):
        return dist
    made = os.path.join(build_dir, "tests", "pages", "walk-program")
    os.makedirs(made, exist_ok=True)
    shutil.copy(os.path.join(build_dir, "app", "FirmwareUpdater.exe"), made)
    src = os.path.join(here, "..", "..", "res")
    shutil.copy(os.path.join(src, "skin", "English.ini"), made)
    shutil.copy(os.path.join(src, "MSG.ini"), made)
    skin = os.path.join(build_dir, "skin_bitmaps")
    if os.path.isdir(skin):
        shutil.copytree(skin, os.path.join(made, "skin"), dirs_exist_ok=True)
    return made


def differing_share(a, b):
    """Share of the pixels that differ between two crops of the same size."""
    total = sum(len(row) // 3 for row in a)
    differ = sum(1 for ra, rb in zip(a, b) for x in range(0, len(ra), 3)
                 if ra[x:x + 3] != rb[x:x + 3])
    return differ / max(total, 1)


def read_ini(folder, name):
    ini = configparser.RawConfigParser(strict=False)
    ini.optionxform = str
    ini.read(os.path.join(folder, name), encoding="latin-1")
    return ini


def fill_ip_text(folder):
    return read_ini(folder, "MSG.ini").get("MSG", "FillIP", fallback="")


def main_next_texts(folder):
    """The main Next button's text in its Next and in its Upgrade look."""
    skin = read_ini(folder, "English.ini")
    return tuple(skin.get("Control", f"{entry}.TextString", fallback="")
                 for entry in ("Next", "Upgrade"))


class Walk:
    def __init__(self, ui, out_dir, next_texts):
        self.ui = ui
        self.out = out_dir
        self.next_text, self.upgrade_text = next_texts

    def shot(self, name):
        # The driver takes it once the window has painted and stands still.
        path = os.path.join(self.out, name + ".png")
        self.ui.shot(path, CAPTION)
        return path

    def wait_for(self, done, what, tries=50):
        """Polls done() about every 0.1 s; an unexpected message box fails."""
        for _ in range(tries):
            if done():
                return True
            self.ui.no_msgbox(100)
        check(what, False, True)
        raise DriverError(f"not so: {what}")

    def wait_visible(self, ctrl_id, what):
        return self.wait_for(lambda: self.ui.visible(ctrl_id), f"{what} shown")

    def wait_next_look(self, text, what):
        """The main Next button reskinned: its window text is set last."""
        self.wait_for(lambda: self.ui.text(MAIN_NEXT) == text, what)

    def next_button_pixels(self, name):
        """The main Next button's pixels, cut out of a shot of the window."""
        path = self.shot(name)
        width, height, rows = read_png(path)
        wl, wt, _, _ = self.ui.window_rect(CAPTION)
        left, top, right, bottom = self.ui.rect(MAIN_NEXT)
        return [rows[y][(left - wl) * 3:(right - wl) * 3] for y in range(top - wt, bottom - wt)]

    def clear(self, ctrl_id):
        self.ui.type(ctrl_id, "")  # selects everything
        self.ui.key("BACK")

    def login(self, address, user, password):
        if address is not None:
            self.ui.type(ADDRESS, address)
        self.clear(USER)
        if user:
            self.ui.type(USER, user)
        self.clear(PASSWORD)
        if password:
            self.ui.type(PASSWORD, password)

    def expect_refusal(self, what, text):
        self.ui.click(MAIN_NEXT)
        caption, got = self.ui.msgbox(10000)
        check(f"{what}: box caption", caption, BOX_CAPTION)
        check(f"{what}: box text", got, text)
        return got

    def expect_verify(self, what, address):
        self.ui.click(MAIN_NEXT)
        self.wait_visible(VERIFY_ADDRESS, f"{what}: verify page")
        # The page fills the address in once it is shown.
        self.wait_for(lambda: self.ui.text(VERIFY_ADDRESS) == address,
                      f"{what}: verify page shows the address")
        check(f"{what}: login page hidden", self.ui.visible(ADDRESS), False)

    def enter_changes_nothing(self, page, shown, not_shown):
        """Enter wherever the focus stands: no box, the page stays, the
        next one does not show (and the wizard is still there)."""
        self.ui.key("RETURN")
        check(f"Enter on the {page} page opens nothing", self.ui.no_msgbox(700), None)
        check(f"Enter on the {page} page keeps it", self.ui.visible(shown), True)
        check(f"Enter on the {page} page leads nowhere", self.ui.visible(not_shown), False)

    def back_to_login(self):
        self.ui.click(MAIN_BACK)
        self.wait_visible(ADDRESS, "login page again")

    def run(self, fill_ip):
        ui = self.ui
        ui.wait_window(CAPTION, 20000)
        check("no message box at start (the skin loads)", ui.no_msgbox(1500), None)
        self.shot("1-language")
        check("main buttons hidden on the language page", ui.visible(MAIN_NEXT), False)
        self.enter_changes_nothing("language", LANGUAGE_NEXT, WELCOME_START)
        check("language list starts at EN", ui.text(LANGUAGE_LIST), "EN")
        check("choose DE", ui.select(LANGUAGE_LIST, "DE"), 0)
        ui.click(LANGUAGE_NEXT)
        self.wait_visible(WELCOME_START, "welcome page")
        self.shot("2-welcome")
        check("main buttons hidden on the welcome page", ui.visible(MAIN_NEXT), False)
        # Start holds the focus: Enter presses it, as a click would.
        ui.key("RETURN")
        self.wait_visible(ADDRESS, "login page after Enter on Start")
        # The main window shows its buttons once the page is shown.
        self.wait_visible(MAIN_NEXT, "main Next on the login page")
        check("main Back shown on the login page", ui.visible(MAIN_BACK), True)
        check("main Exit shown on the login page", ui.visible(MAIN_EXIT), True)
        self.shot("3-login")
        next_look = self.next_button_pixels("3-login-next")

        check("type the address", ui.type(ADDRESS, "192.168.1.1"), "192.168.1.1")
        check("type the user", ui.type(USER, "admin"), "admin")
        check("type the password", ui.type(PASSWORD, "secret"), "secret")
        ui.type(USER, "admin")  # focus in the user edit
        ui.key("RETURN")
        check("Enter in the user edit opens nothing", ui.no_msgbox(700), None)
        check("Enter in the user edit keeps the login page", ui.visible(ADDRESS), True)
        check("Enter in the user edit keeps the wizard", ui.visible(MAIN_NEXT), True)
        self.shot("3-login-filled")

        self.expect_verify("192.168.1.1", "192.168.1.1")
        self.wait_next_look(self.upgrade_text, "Next wears the Upgrade look")
        self.shot("4-verify")
        upgrade_look = self.next_button_pixels("4-verify-next")
        check("Next wears another look on the verify page",
              differing_share(upgrade_look, next_look) > 0.2, True)

        self.back_to_login()
        self.wait_next_look(self.next_text, "Next wears the Next look again")
        # The same picture and text again; anti-aliased text edges may
        # differ by a few pixels.
        check("Next looks like Next again after Back",
              differing_share(self.next_button_pixels("3-login-back"), next_look) < 0.05, True)
        self.login("10.0.0.1", "admin", "secret")
        self.expect_verify("changed address", "10.0.0.1")
        self.back_to_login()

        ui.type(ADDRESS, "10.0.0.1")
        ui.key("BACK")  # the last field is blank now
        check("one field blank", ui.text(ADDRESS), "10.0.0.")
        self.expect_refusal("incomplete address", fill_ip)
        self.shot("5-fill-ip-box")
        ui.dismiss()
        self.shot("5-after-box")
        check("incomplete address: stays on the login page", ui.visible(ADDRESS), True)

        self.login("0.0.0.0", "admin", "secret")
        self.expect_verify("0.0.0.0", "0.0.0.0")
        self.back_to_login()

        # Over a filled field, the address control of Wine moves on after a
        # third digit and then again on the dot: no three-digit fields here.
        self.login("10.0.0.1", "", "p" * 128)
        self.expect_refusal("128-character password", PASSWORD_TOO_LONG)
        self.shot("6-password-box")
        ui.dismiss()
        check("128-character password: stays", ui.visible(ADDRESS), True)
        self.login(None, "", "p" * 127)
        self.expect_refusal("127-character password alone makes 128 with the colon",
                            CREDENTIAL_TOO_LONG)
        ui.dismiss()
        self.login(None, "u" * 40, "p" * 38)
        self.expect_refusal("79-character credential", CREDENTIAL_TOO_LONG)
        ui.dismiss()
        check("79-character credential: stays", ui.visible(ADDRESS), True)
        self.login(None, "u" * 40, "p" * 37)
        self.expect_verify("78-character credential", "10.0.0.1")

        ui.click(MAIN_EXIT)
        try:
            ui.wait_gone(CAPTION, 10000)
            gone = True
        except DriverError:
            gone = False
        check("Exit ends the wizard", gone, True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--driver", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    out_dir = os.path.join(build, "tests", "pages", "walk-out")
    os.makedirs(out_dir, exist_ok=True)
    folder = program_folder(build)
    exe = os.path.join(folder, "FirmwareUpdater.exe")
    with netns.NetNs("walk") as ns, sandbox.WineSession(build, ns, "walk") as session:
        ns.check_inside()
        app = session.popen([exe], cwd=folder)
        try:
            with Driver(session, args.driver) as ui:
                Walk(ui, out_dir, main_next_texts(folder)).run(fill_ip_text(folder))
            check("program exit code", app.wait(timeout=10), 0)
        except (DriverError, OSError) as e:
            check.fail(str(e))
            session.screenshot(os.path.join(out_dir, "failure.png"))
    print(f"screenshots in {out_dir}")
    return check.summary()


if __name__ == "__main__":
    sys.exit(main())
