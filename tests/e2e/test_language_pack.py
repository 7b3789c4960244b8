#!/usr/bin/env python3
"""The language-pack page end to end: after the firmware upload the wizard
waits its real minute, finds the simulated router by broadcast, tells it the
chosen language and posts the matching language file.

Scenarios run side by side, each in its own namespaces and Wine session:
  fr         French all the way to the finish page in a crowd: a second
             device answers every discovery right after the router, the
             router's discovery replies come from a second address of its
             own and its query reply from its first, after a one-byte
             datagram; the query (language 2) and the pack still go to the
             router found, ".\\Firmware\\ZEPHYRA_FR.lang" posted under that
             name, Exit ends;
  markers    the router refuses with markers 1, 2 (its page gzip-compressed)
             and 3 in turn (router restarted between), each message, then
             the Exit button; then a router that takes the pack and never
             answers: the failure message in bounded time; Exit ends;
  answers    an answer that never ends, then one that trickles a byte a
             second: each the failure message in bounded time; then Upgrade
             once more against a router that accepts: the finish page;
  zerolang   a device language byte of 0: "Please retry ...", no query; then
             Upgrade with the language file removed: "... file not found."
             and the wizard closes;
  norouter   the router silent after the firmware: the search ends, Upgrade
             asks for Detect first; Detect then finds the (restarted) router;
  gone       the router takes the firmware and never comes back: the search
             ends, Detect searches again and finds nothing, Escape ends;
  second     the router only behind the second local address, an empty device
             password and German: found after the first address's three
             requests, the query (language 3) reaches it on the same link,
             uploaded with empty credentials, finish page;
  enter      Enter in the find-device popup and in the upgrade popup closes
             neither: the search still takes its minute, the pack goes out
             and the wizard reaches the finish page;
  quick      Upgrade pressed as soon as the find-device popup goes, the
             router's query reply (8 s late) comes while the upgrade popup
             is up, and the router takes 20 s to accept the pack: the popup
             stays until the pack's result and the finish page follows;
  keys       the release archive a router owner downloads (made with the
             sample firmware and packs as the maker's files), unpacked, and
             the wizard from it walked to the finish page with keys alone:
             Tab's order on every page, typed language, address and login,
             Space and Enter on the focused buttons."""

import glob
import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "harness"))
from harness import (BOX_CAPTION, FINISH_EXIT, PACK_DETECT, PACK_EXIT, PACK_LABEL1,  # noqa: E402
                     PACK_LABEL2, PACK_UPGRADE, Checks, WizardRun, expected_body, local_file,
                     run_suite, split_request, udp_records, unpacked_release, wait_http)

WARNING = "Warning"

USER, PASSWORD, DEVICE_PASSWORD = "admin", "pw", "lpw"
# Short restart so that the router is back well within the page's minute.
BASE_ROUTER = ["--user", USER, "--password", PASSWORD, "--restart-seconds", "3",
               "--lang-auth", "any"]
FIRST_WAIT_S = 60
# From the pack's arrival to the failure message: the poster's 5 s pause
# after sending, its 30 s time-out, and room for a loaded machine.
PACK_FAILURE_WITHIN_S = 45
UPLOAD_FAILED = "Firmware Upgrade failed. Please try again."
EN_PACK = ".\\Firmware\\ZEPHYRA_EN.lang"
# The router silent for longer than the test: the firmware goes through,
# discovery does not.
SILENT_ROUTER = [a if a != "3" else "3600" for a in BASE_ROUTER]

REFUSALS = {
    1: "Upgrade file is not the correct type or version for this device. Upgrade failed.\n"
       "Please obtain the correct file and try again.",
    2: "Firmware upgrade terminated due to insufficient resources. Upgrade failed.\n"
       "Please try again when system is idle (no traffic).",
    3: "Cannot upload, please contact your administrator.",
}




def shots_dir(name):
    base = os.environ.get("FWU_E2E_SHOTS")
    return os.path.join(base, name) if base else None





def wait_queries(folder, timeout_s):
    """The query records (command 1) once there is one, or [] after the time."""
    deadline = time.monotonic() + timeout_s
    while True:
        queries = [r for r in udp_records([folder]) if r.get("command") == 1]
        if queries or time.monotonic() > deadline:
            return queries
        time.sleep(0.2)




def to_language_pack_page(run, language=None):
    """Through the firmware upload to the language-pack page's first popup.
    (The upload page stays up under the popup: the new page shows once its
    initialisation, which holds the popup, has returned.)"""
    run.walk_to_upload(user=USER, password=PASSWORD, language=language)
    if not wait_http(run.record_dir, "/upgrade_flash.cgi", 60):
        raise AssertionError("the firmware never reached the router")
    return run.wait_popup(30)


def detected_look(run, check, what):
    # The page applies the detection update just after the popup has gone.
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and not run.ui.visible(PACK_LABEL1):
        time.sleep(0.1)
    check(f"{what}: first label shown", run.ui.visible(PACK_LABEL1), True)
    check(f"{what}: second label hidden", run.ui.visible(PACK_LABEL2), False)
    check(f"{what}: Detect hidden", run.ui.visible(PACK_DETECT), False)


def check_pack_request(check, record, path_text, data, user, password, what="pack"):
    line, _, body = split_request(record["raw"])
    check(f"{what} request line", line, "POST /upload_lang.cgi HTTP/1.1")
    check(f"{what} form file name", record.get("filename"), path_text)
    check(f"{what} body byte for byte", body == expected_body(path_text, data), True)
    auth = record.get("authorization")
    if user or password:
        # WinINet hands the credentials over when the server asks for them.
        if auth is not None:
            check(f"{what} credentials", auth, {"user": user, "password": password})
    else:
        check(f"no credentials on the {what}", auth in (None, {"user": "", "password": ""}), True)


def replace_router(run, args, label):
    """The router again (its restart), now started with args; its records
    go to a folder of their own."""
    run.topology.stop_router(run.router)
    run.record_dir = os.path.join(os.path.dirname(run.record_dir), f"records-{label}")
    run.router = run.topology.start_router(list(args) + ["--record-dir", run.record_dir])


def upgrade_fails(run, check, what, message, within_s, path=EN_PACK):
    """Upgrade, clicked once: the router gets the pack whole, the Warning box
    shows message within within_s of its arrival, then the popup goes and
    the Exit button shows."""
    run.click_once(PACK_UPGRADE, lambda: run.popup_shown() or run.message_box_shown(),
                   f"{what}: upgrade popup")
    caption, text = run.ui.msgbox(int((within_s + 120) * 1000))
    shown = time.time()
    run.shot(what)
    run.ui.dismiss()
    check(f"{what}: caption", caption, WARNING)
    check(f"{what}: message", text, message)
    packs = wait_http(run.record_dir, "/upload_lang.cgi", 5)
    check(f"{what}: the router got one pack", len(packs), 1)
    if packs:
        with open(local_file(run.folder, path), "rb") as f:
            check_pack_request(check, packs[0], path, f.read(), USER, DEVICE_PASSWORD, what)
        took = shown - os.path.getmtime(os.path.join(run.record_dir, f"http-{packs[0]['n']}.json"))
        check(f"{what}: message within {within_s} s of the pack's arrival ({took:.0f} s)",
              took <= within_s, True)
    run.wait_popup_gone(10)
    check(f"{what}: Exit shown", run.ui.visible(PACK_EXIT), True)
    check(f"{what}: still on the page", run.ui.visible(PACK_UPGRADE), True)


# The crowd of the French run: a second device, and the router's own
# second address that its discovery replies leave from.
SECOND_DEVICE, FOUND_ADDRESS = "192.168.1.2", "192.168.1.3"
CROWD = ["--fault", f"udp-second-host={SECOND_DEVICE}", "--fault", "udp-query-one-byte",
         "--fault", f"udp-second-address={FOUND_ADDRESS}"]


def scenario_fr(build, name):
    check = Checks(name)
    path = ".\\Firmware\\ZEPHYRA_FR.lang"
    with WizardRun(build, name, BASE_ROUTER + ["--device-password", DEVICE_PASSWORD] + CROWD,
                   router_addresses=[f"{SECOND_DEVICE}/24", f"{FOUND_ADDRESS}/24"],
                   out_dir=shots_dir(name)) as run:
        check("find-device popup over the page", to_language_pack_page(run, "FR"), True)
        check("Detect shown while searching", run.ui.visible(PACK_DETECT), True)
        waited = run.wait_popup_gone(FIRST_WAIT_S + 30, shot="finding-device")
        check("the search waited its minute", waited >= FIRST_WAIT_S - 5, True)
        run.shot("detected")
        detected_look(run, check, "detected")
        found = [r for r in udp_records([run.record_dir]) if r.get("answer") == "discovery reply"]
        check("the router and the second device answered the discovery",
              [(r.get("reply_from"), r.get("second_host_reply_from")) for r in found[:1]],
              [(f"{FOUND_ADDRESS}:916", f"{SECOND_DEVICE}:916")])
        queries = wait_queries(run.record_dir, 10)
        check("one query", len(queries), 1)
        if queries:
            check("query language byte (FR)", queries[0].get("language"), 2)
            # The second device's record carries another password.
            check("query carries the router's record", queries[0].get("record_matches"), True)
            # The router's wildcard socket: the reply leaves from its first
            # address, not from the one it was found at.
            check("a one-byte datagram, then the reply from another address",
                  (queries[0].get("one_byte_first"), queries[0].get("reply_from")),
                  (True, "0.0.0.0:916"))
        check("no message box", run.message_box_shown(), False)
        run.click_once(PACK_UPGRADE, run.popup_shown, "upgrade popup")
        run.shot("uploading")
        packs = wait_http(run.record_dir, "/upload_lang.cgi")
        check("language pack posted", len(packs), 1)
        if packs:
            with open(local_file(run.folder, path), "rb") as f:
                data = f.read()
            check_pack_request(check, packs[0], path, data, USER, DEVICE_PASSWORD)
            host = dict((k.lower(), v) for k, v in split_request(packs[0]["raw"])[1]).get("host")
            check("pack sent to the address the router was found at", host, FOUND_ADDRESS)
        run.finish_and_exit(check)
    return check


def scenario_markers(build, name):
    check = Checks(name)
    router = BASE_ROUTER + ["--device-password", DEVICE_PASSWORD]
    with WizardRun(build, name, router + ["--lang-marker", "1"],
                   out_dir=shots_dir(name)) as run:
        to_language_pack_page(run)
        run.wait_popup_gone(FIRST_WAIT_S + 30)
        for marker in (1, 2, 3):
            if marker > 1:
                # The same router again, now answering with the next marker;
                # the second one gzip-compressed: the library decodes it.
                gzip = ["--fault", "gzip-answer"] if marker == 2 else []
                replace_router(run, router + ["--lang-marker", str(marker)] + gzip, marker)
            upgrade_fails(run, check, f"marker {marker}", REFUSALS[marker], 20)
            if marker == 2:
                packs = wait_http(run.record_dir, "/upload_lang.cgi", 1)
                check("marker 2: the answer went out gzip-compressed",
                      [p.get("gzip") for p in packs], [True])
        replace_router(run, router + ["--fault", "lang-never-answer"], "silent")
        upgrade_fails(run, check, "no answer", UPLOAD_FAILED, PACK_FAILURE_WITHIN_S)
        run.click_once(PACK_EXIT, lambda: not run.ui.visible(PACK_UPGRADE), "the wizard's end")
        check("Exit ends the wizard", run.wizard_closed(), True)
    return check


def scenario_answers(build, name):
    check = Checks(name)
    router = BASE_ROUTER + ["--device-password", DEVICE_PASSWORD]
    with WizardRun(build, name, router, out_dir=shots_dir(name)) as run:
        to_language_pack_page(run)
        run.wait_popup_gone(FIRST_WAIT_S + 30)
        detected_look(run, check, "detected")
        for fault in ("endless-answer", "trickle-answer"):
            replace_router(run, router + ["--fault", fault], fault)
            upgrade_fails(run, check, fault, UPLOAD_FAILED, PACK_FAILURE_WITHIN_S)
        # Upgrade once more: the file is read again and goes to a router
        # that takes it.
        replace_router(run, router, "accepting")
        run.click_once(PACK_UPGRADE, run.popup_shown, "upgrade popup")
        packs = wait_http(run.record_dir, "/upload_lang.cgi")
        check("the pack posted once more", len(packs), 1)
        if packs:
            with open(local_file(run.folder, EN_PACK), "rb") as f:
                check_pack_request(check, packs[0], EN_PACK, f.read(), USER, DEVICE_PASSWORD)
        run.finish_and_exit(check)
    return check


def scenario_zero_language(build, name):
    check = Checks(name)
    path = ".\\Firmware\\ZEPHYRA_EN.lang"

    def remove_pack(folder):
        os.remove(local_file(folder, path))

    with WizardRun(build, name, BASE_ROUTER + ["--device-password", DEVICE_PASSWORD,
                                               "--language-byte", "0"],
                   prepare=remove_pack, out_dir=shots_dir(name)) as run:
        to_language_pack_page(run)
        caption, text = run.message_box(FIRST_WAIT_S + 30)
        check("retry box caption", caption, BOX_CAPTION)
        check("retry box text", text, "Please retry this programme again!")
        run.wait_popup_gone(10)
        detected_look(run, check, "refused device")
        # A query would have gone 2 s after the reply.
        check("no query sent", wait_queries(run.record_dir, 5), [])
        run.ui.press(PACK_UPGRADE)
        caption, text = run.message_box(20)
        check("missing file caption", caption, WARNING)
        check("missing file text", text, f"{path} file not found.")
        check("the wizard closes", run.wizard_closed(), True)
        # The program has ended: what the router has is all it will get.
        check("nothing posted", wait_http(run.record_dir, "/upload_lang.cgi", 0), [])
    return check


def scenario_no_router(build, name):
    check = Checks(name)
    with WizardRun(build, name, SILENT_ROUTER, out_dir=shots_dir(name)) as run:
        to_language_pack_page(run)
        waited = run.wait_popup_gone(FIRST_WAIT_S + 45)
        check("search ended after the minute and the retries", waited >= FIRST_WAIT_S + 10, True)
        run.shot("not-found")
        check("Detect still shown", run.ui.visible(PACK_DETECT), True)
        check("second label still shown", run.ui.visible(PACK_LABEL2), True)
        sent = [r for r in udp_records([run.record_dir]) if r.get("command") == 0]
        check("three discovery requests from the one address", len(sent), 3)
        run.ui.press(PACK_UPGRADE)
        caption, text = run.message_box(20)
        check("Detect-first caption", caption, BOX_CAPTION)
        check("Detect-first text", text, 'please click "Detect" to detect the device first!')
        check("nothing posted", wait_http(run.record_dir, "/upload_lang.cgi", 1), [])

        replace_router(run, BASE_ROUTER + ["--device-password", DEVICE_PASSWORD], 2)
        run.ui.press(PACK_DETECT)
        check("setup-device popup", run.wait_popup(), True)
        run.shot("detecting")
        run.wait_popup_gone(60)
        detected_look(run, check, "after Detect")
        check("Detect found the router",
              any(r.get("command") == 0 and r.get("answer") == "discovery reply"
                  for r in udp_records([run.record_dir])), True)
        run.check_upgrade_record(check, [
            "shown: router not found, Detect offered", 'please click "Detect"',
            "datagram received from 192.168.1.1: discover (command 0), status 0",
            "record type 4, language byte", "shown: router found"], [PASSWORD, DEVICE_PASSWORD])
    return check


def scenario_gone(build, name):
    check = Checks(name)
    with WizardRun(build, name, SILENT_ROUTER, out_dir=shots_dir(name)) as run:
        to_language_pack_page(run)
        run.wait_popup_gone(FIRST_WAIT_S + 45)
        run.click_once(PACK_DETECT, run.popup_shown, "setup-device popup")
        # The search's 15 s, then the popup lingers 16 ticks of 2 s.
        waited = run.wait_popup_gone(70, shot="detecting")
        check("Detect searched and gave up", waited >= 40, True)
        run.shot("still-not-found")
        check("Detect still shown", run.ui.visible(PACK_DETECT), True)
        check("second label still shown", run.ui.visible(PACK_LABEL2), True)
        check("no message box", run.message_box_shown(), False)
        sent = [r for r in udp_records([run.record_dir]) if r.get("command") == 0]
        check("three discovery requests per search, none answered",
              (len(sent), {r.get("answer") for r in sent}), (6, {"silent: restarting"}))
        # No Exit button while no router is known: Escape, where the focus
        # stands in the page, cancels the wizard.
        run.ui.key("ESCAPE")
        check("Escape ends the wizard", run.wizard_closed(), True)
        check("no query, no pack",
              ([r for r in udp_records([run.record_dir]) if r.get("command") == 1],
               wait_http(run.record_dir, "/upload_lang.cgi", 0)), ([], []))
    return check


def scenario_second_address(build, name):
    check = Checks(name)
    path = ".\\Firmware\\ZEPHYRA_DE.lang"
    # Wine lists the second link's address (192.168.2.10) first, so the first
    # searches go to the empty namespace behind it; the router sits on the
    # link of the address listed second.
    topology = {"second_program_addr": "192.168.2.10/24",
                "second_router_addr": "192.168.2.1/24", "second_router_namespace": True}
    with WizardRun(build, name, BASE_ROUTER + ["--device-password", ""],
                   topology_args=topology, out_dir=shots_dir(name)) as run:
        to_language_pack_page(run, "DE")
        run.wait_popup_gone(FIRST_WAIT_S + 50)
        detected_look(run, check, "found on the second address")
        firmware = wait_http(run.record_dir, "/upgrade_flash.cgi", 1)
        discoveries = [r for r in udp_records([run.record_dir]) if r.get("command") == 0]
        check("the router heard one request (the resend)", len(discoveries), 1)
        if discoveries and firmware:
            sender = discoveries[0]["sender"].split(":")[0]
            check("request from the second local address", sender, "192.168.1.10")
            flash_done = os.path.getmtime(os.path.join(run.record_dir, "http-1.json"))
            delay = discoveries[0]["time"] - flash_done
            # Minute, then 0/5/10 s from the first address, 20 s the resend.
            check("found only after the first address's three requests",
                  FIRST_WAIT_S + 17 <= delay <= FIRST_WAIT_S + 35, True)
        # The query leaves by the card that found the router (2 s after the
        # reply): from the second address, over the router's own link.
        queries = wait_queries(run.record_dir, 10)
        check("one query", len(queries), 1)
        if queries:
            link = run.topology.links[0]
            check("query from the second local address",
                  queries[0]["sender"].split(":")[0], link.program_ip)
            check("query came in on the router's link",
                  (queries[0]["interface"], queries[0]["interface_address"]),
                  (link.router_if, link.router_ip))
            check("query language byte (DE)", queries[0].get("language"), 3)
            check("query carries the device's record", queries[0].get("record_matches"), True)
        run.ui.press(PACK_UPGRADE)
        packs = wait_http(run.record_dir, "/upload_lang.cgi", 40)
        check("language pack posted", len(packs), 1)
        if packs:
            with open(local_file(run.folder, path), "rb") as f:
                data = f.read()
            check_pack_request(check, packs[0], path, data, "", "")
        run.finish_and_exit(check)
    return check


def scenario_quick_upgrade(build, name):
    check = Checks(name)
    router = BASE_ROUTER + ["--device-password", DEVICE_PASSWORD, "--query-delay", "8",
                            "--lang-answer-delay", "20"]
    with WizardRun(build, name, router, out_dir=shots_dir(name)) as run:
        check("find-device popup over the page", to_language_pack_page(run), True)
        run.wait_popup_gone(FIRST_WAIT_S + 30)
        run.click_once(PACK_UPGRADE, run.popup_shown, "upgrade popup")
        packs = wait_http(run.record_dir, "/upload_lang.cgi")
        check("the router got the pack", len(packs), 1)
        queries = wait_queries(run.record_dir, 10)
        check("the query went out", len(queries), 1)
        # Its reply leaves 8 s after the query, the pack's answer 20 s after
        # the pack, then the poster pauses 5 s: the query's answer comes first.
        waited = run.wait_popup_gone(60, shot="uploading")
        check(f"the popup stayed until the pack's result ({waited:.0f} s)", waited >= 25, True)
        check("no message box", run.message_box_shown(), False)
        run.finish_and_exit(check, popup_timeout_s=None)
    return check


def enter_keeps_popup(run, check, what):
    """Enter at the popup (it has the focus); it must stay."""
    run.ui.key("RETURN")
    run.ui.no_msgbox(1500)
    check(f"{what}: the popup stays after Enter", run.popup_shown(), True)


def scenario_enter_in_popups(build, name):
    check = Checks(name)
    with WizardRun(build, name, BASE_ROUTER + ["--device-password", DEVICE_PASSWORD],
                   out_dir=shots_dir(name)) as run:
        check("find-device popup over the page", to_language_pack_page(run), True)
        enter_keeps_popup(run, check, "find device")
        waited = run.wait_popup_gone(FIRST_WAIT_S + 30)
        check("the search still waited its minute", waited >= FIRST_WAIT_S - 10, True)
        detected_look(run, check, "detected")
        check("the language query came", len(wait_queries(run.record_dir, 10)), 1)
        run.ui.press(PACK_UPGRADE)
        check("upgrade popup", run.wait_popup(), True)
        enter_keeps_popup(run, check, "upgrade")
        check("language pack posted", len(wait_http(run.record_dir, "/upload_lang.cgi")), 1)
        if check.failed:
            return check
        run.finish_and_exit(check)
    return check


def wait_focus(run, check, ctrl_id, what, timeout_s=10, read_as=None):
    """Waits until ctrl_id holds the keyboard focus; a check either way.
    read_as: {id: (role, name)} a screen reader must read there."""
    deadline = time.monotonic() + timeout_s
    focus = run.ui.focus()
    while focus != ctrl_id and time.monotonic() < deadline:
        time.sleep(0.1)
        focus = run.ui.focus()
    if read_as and focus == ctrl_id:
        check(f"{ctrl_id} read as: {what}", run.ui.accessible(), read_as[ctrl_id])
    return check(f"focus on {ctrl_id}: {what}", focus, ctrl_id)


def tab_through(run, check, order, what, read_as=None):
    """Tab from the first control of `order` through the others and round
    to the first again."""
    for ctrl_id in order[1:] + order[:1]:
        run.ui.key("TAB")
        wait_focus(run, check, ctrl_id, f"{what}, Tab", read_as=read_as)


def screen_reader_names(h, folder):
    """{id: (role, name)} of every control Tab reaches: a button's skin
    text, a field's or the list's from the skin label before it."""
    def skin(section, entry):
        return h.skin_text(folder, section, entry)
    button, text, combo = 43, 42, 46  # ROLE_SYSTEM_PUSHBUTTON, _TEXT, _COMBOBOX
    return {h.LANGUAGE_LIST: (combo, skin("Language", "Label3")),
            h.LANGUAGE_NEXT: (button, skin("Control", "Next1")),
            h.LANGUAGE_EXIT: (button, skin("Control", "LangExit")),
            h.WELCOME_START: (button, skin("Control", "Start")),
            h.WELCOME_EXIT: (button, skin("Control", "LangExit")),
            h.ADDRESS: (text, skin("Login", "Label3")), h.USER: (text, skin("Login", "Label4")),
            h.PASSWORD: (text, skin("Login", "Label5")),
            h.MAIN_NEXT: (button, skin("Control", "Next")),
            h.MAIN_BACK: (button, skin("Control", "Back")),
            h.MAIN_EXIT: (button, skin("Control", "Exit")),
            PACK_UPGRADE: (button, skin("UpgradeLang", "Upgrade")),
            FINISH_EXIT: (button, skin("Control", "Exit2"))}


def scenario_keys_from_release(build, name):
    import harness as h
    check = Checks(name)
    with unpacked_release(build, name, with_samples=True) as folder:
        with WizardRun(build, name, BASE_ROUTER + ["--device-password", DEVICE_PASSWORD],
                       program_folder=folder, out_dir=shots_dir(name)) as run:
            ui = run.ui
            names = screen_reader_names(h, folder)
            ui.wait_window("Firmware Upgrade Utility", 30000)
            run.wait_visible(h.LANGUAGE_NEXT, "language page")
            # Language page: the list holds the focus; a typed letter picks.
            wait_focus(run, check, h.LANGUAGE_LIST, "language page at start", read_as=names)
            ui.keys("F")
            run.wait_until(lambda: ui.text(h.LANGUAGE_LIST) == "FR", "FR typed into the list")
            tab_through(run, check, [h.LANGUAGE_LIST, h.LANGUAGE_NEXT, h.LANGUAGE_EXIT], "language",
                        names)
            ui.key("TAB")
            wait_focus(run, check, h.LANGUAGE_NEXT, "language page, on to Next")
            run.shot("language-keys")
            ui.key("SPACE")
            run.wait_visible(h.WELCOME_START, "welcome page after Space on Next")
            # Welcome page: Start holds the focus.
            wait_focus(run, check, h.WELCOME_START, "welcome page", read_as=names)
            tab_through(run, check, [h.WELCOME_START, h.WELCOME_EXIT], "welcome", names)
            ui.key("RETURN")
            run.wait_visible(h.ADDRESS, "login page after Enter on Start")
            # Login page: typed, then on through the main window's buttons.
            wait_focus(run, check, h.ADDRESS, "login page")
            typed = ((h.ADDRESS, h.ROUTER_IP), (h.USER, USER), (h.PASSWORD, PASSWORD))
            for ctrl_id, text in typed:
                wait_focus(run, check, ctrl_id, "login page, typing", read_as=names)
                ui.keys(text)
                run.wait_until(lambda: ui.text(ctrl_id) == text, f"{text} typed into {ctrl_id}")
                ui.key("TAB")
            wait_focus(run, check, h.MAIN_NEXT, "login page, after the password")
            tab_through(run, check, [h.MAIN_NEXT, h.MAIN_BACK, h.MAIN_EXIT, h.ADDRESS, h.USER,
                                     h.PASSWORD], "login", names)
            ui.key("SHIFT+TAB")
            wait_focus(run, check, h.PASSWORD, "login page, Shift+Tab")
            ui.key("TAB")
            wait_focus(run, check, h.MAIN_NEXT, "login page, on to Next")
            run.shot("login-keys")
            ui.key("RETURN")
            run.wait_visible(h.VERIFY_ADDRESS, "verify page after Enter on Next")
            run.wait_until(lambda: ui.text(h.VERIFY_ADDRESS) == h.ROUTER_IP,
                           "the verify page's address")
            upgrade = h.skin_text(run.folder, "Control", "Upgrade")
            run.wait_until(lambda: ui.text(h.MAIN_NEXT) == upgrade, "the Upgrade button")
            # Verify page: the focus stays on the button, now Upgrade.
            names[h.MAIN_NEXT] = (names[h.MAIN_NEXT][0], upgrade)
            wait_focus(run, check, h.MAIN_NEXT, "verify page", read_as=names)
            tab_through(run, check, [h.MAIN_NEXT, h.MAIN_BACK, h.MAIN_EXIT], "verify", names)
            run.shot("verify-keys")
            ui.key("SPACE")
            firmware = wait_http(run.record_dir, "/upgrade_flash.cgi", 60)
            check("the firmware reached the router", len(firmware), 1)
            if firmware:
                check("the router has the archive's firmware", firmware[0].get("file_sha256"),
                      h.sha256_of(os.path.join(folder, "Firmware", "ZEPHYRA_FW.bin")))
            check("find-device popup", run.wait_popup(30), True)
            run.wait_popup_gone(FIRST_WAIT_S + 30)
            detected_look(run, check, "detected")
            queries = wait_queries(run.record_dir, 10)
            check("query language byte (FR, typed)",
                  queries[0].get("language") if queries else None, 2)
            # Language-pack page: Upgrade is its only control now.
            wait_focus(run, check, PACK_UPGRADE, "language-pack page", read_as=names)
            ui.key("TAB")
            wait_focus(run, check, PACK_UPGRADE, "language-pack page, Tab")
            run.shot("language-pack-keys")
            ui.key("RETURN")
            check("upgrade popup", run.wait_popup(), True)
            packs = wait_http(run.record_dir, "/upload_lang.cgi")
            check("French pack posted", [p.get("filename") for p in packs],
                  [".\\Firmware\\ZEPHYRA_FR.lang"])
            run.wait_popup_gone(40)
            run.wait_visible(FINISH_EXIT, "finish page", 20)
            wait_focus(run, check, FINISH_EXIT, "finish page", read_as=names)
            run.shot("finish-keys")
            ui.key("RETURN")
            check("Enter on Exit ends the wizard", run.wizard_closed(), True)
    return check


def scenarios(build):
    # The longest first: the others fill in as they end.
    return {
        "answers": lambda: scenario_answers(build, "lpanswer"),
        "markers": lambda: scenario_markers(build, "lpmark"),
        "norouter": lambda: scenario_no_router(build, "lpnone"),
        "gone": lambda: scenario_gone(build, "lpgone"),
        "second": lambda: scenario_second_address(build, "lpsecond"),
        "fr": lambda: scenario_fr(build, "lpfr"),
        "enter": lambda: scenario_enter_in_popups(build, "lpenter"),
        "quick": lambda: scenario_quick_upgrade(build, "lpquick"),
        "zerolang": lambda: scenario_zero_language(build, "lpzero"),
        "keys": lambda: scenario_keys_from_release(build, "lpkeys"),
    }


def main():
    return run_suite("e2e_language_pack", scenarios, default_jobs=5)


if __name__ == "__main__":
    sys.exit(main())
