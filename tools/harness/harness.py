"""End-to-end runs of FirmwareUpdater.exe against the simulated router.

    with WizardRun(build_dir, "ok", router_args=["--user", "admin"]) as run:
        run.walk_to_upload()
        run.wait_next_page()
        print(run.progress(), run.http_records())

One run is: a copy of the release folder (its MSG.ini changed as asked), a
Topology (program namespace 192.168.1.10/24 <-> router namespace
192.168.1.1/24), the router started there with a record folder, a Wine
session inside the program namespace, the program started from its folder
(so relative Firmware\\ paths work) and the GUI driver beside it.
Everything is removed on exit, also when the run fails. Every wait is
bounded.

FWU_E2E_TRACE=<Wine debug channels> (e.g. "+timestamp,+pid,+message,+event")
runs the program and the driver with that WINEDEBUG and keeps their output in
<build>/tests/e2e/traces/<run>-program.log and -driver.log.
"""

import argparse
import base64
import concurrent.futures
import configparser
import contextlib
import glob
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
for sub in ("tools/sandbox", "tools/router_sim", "tools/driver"):
    sys.path.insert(0, os.path.join(ROOT, sub))
import sandbox  # noqa: E402
from driver import Driver, DriverError  # noqa: E402
from topology import Topology  # noqa: E402

from checks import Checks  # noqa: E402,F401  (the suites take it from here)

CAPTION = "Firmware Upgrade Utility"
BOX_CAPTION = "FirmwareUpdater"
ROUTER_IP = "192.168.1.1"
# Control ids of the pages the walk goes through.
LANGUAGE_LIST, LANGUAGE_EXIT, LANGUAGE_NEXT = 1004, 1005, 1006
WELCOME_EXIT, WELCOME_START = 1007, 1008
ADDRESS, USER, PASSWORD = 1011, 1063, 1010
VERIFY_ADDRESS = 1023
MAIN_BACK, MAIN_NEXT, MAIN_EXIT = 12323, 12324, 12325
UPLOAD_PROGRESS = 1012
# The language-pack page and the finish page.
PACK_LABEL1, PACK_LABEL2 = 1048, 1049
PACK_UPGRADE, PACK_EXIT, PACK_DETECT = 1059, 1060, 1061
FINISH_EXIT = 1014

# What the program sends, byte for byte, around the firmware file's bytes.
DELIMITER = b"-----------------------------7d53c8371101be\r\n"


def expected_body(path_text, data):
    return (DELIMITER
            + b'Content-Disposition: form-data; name="mtenFWUpload"; filename="'
            + path_text.encode("latin-1") + b'"\r\n'
            + b"Content-Type: application/octet-stream\r\n\r\n"
            + data + b"\r\n" + DELIMITER
            + b'Content-Disposition: form-data; name="uploading"\r\n\r\n'
            + b"no\r\n-----------------------------7d53c8371101be--\r\n\0")


def read_msg_ini(folder):
    ini = configparser.RawConfigParser()
    ini.optionxform = str
    ini.read(os.path.join(folder, "MSG.ini"), encoding="latin-1")
    return ini


def msg_text(folder, key):
    return read_msg_ini(folder).get("MSG", key, fallback="")


def skin_text(folder, section, entry):
    """The TextString of a skin entry in the program folder's English.ini."""
    ini = configparser.RawConfigParser(strict=False)
    ini.optionxform = str
    ini.read(os.path.join(folder, "English.ini"), encoding="latin-1")
    return ini.get(section, f"{entry}.TextString", fallback="")


class _DisplaySession(sandbox.WineSession):
    """A Wine session that draws on an existing X display (the user's)
    instead of an X server of its own."""

    def __init__(self, *args, display, **kwargs):
        super().__init__(*args, **kwargs)
        self._user_display = display

    def _start_xvfb(self, timeout=15):
        self.display = self._user_display


def release_folder(build_dir):
    folder = os.path.join(build_dir, "dist")
    if not os.path.isfile(os.path.join(folder, "FirmwareUpdater.exe")):
        raise RuntimeError(f"no release folder with the program in {folder}")
    return folder


class WizardRun:
    def __init__(self, build_dir, name, router_args=(), msg=None, prepare=None,
                 out_dir=None, screen=sandbox.SCREEN, topology_args=None, display=None,
                 driver=True, router_addresses=(), program_folder=None):
        """program_folder: the folder whose copy the wizard runs from (an
        unpacked release archive); the build's release folder by default;
        msg: {key: value} written into the copy's MSG.ini (None removes a key);
        prepare(folder): called on the copy before the program starts;
        topology_args: more Topology() arguments (a second link...);
        router_addresses: more addresses ("192.168.1.2/24") of the router's
        end of the first link, there before the router starts;
        display: an X display to draw on instead of a private one;
        driver: False leaves the wizard to a person."""
        self.build_dir = os.path.abspath(build_dir)
        self.name = name
        self.router_args = list(router_args)
        self.msg = msg or {}
        self.prepare = prepare
        self.out_dir = out_dir
        self.screen = screen
        self.topology_args = dict(topology_args or {})
        self.router_addresses = list(router_addresses)
        self.display = display
        self.use_driver = driver
        self.program_folder = program_folder
        self.folder = None
        self.ui = None
        self.router = None
        self.program = None
        self.session = None
        self.topology = None
        self._stack = None
        self._work = None
        self._shots = 0

    # -- set-up and tear-down

    def __enter__(self):
        self._stack = contextlib.ExitStack()
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _start(self):
        # WinINet would send the program's requests to a proxy named here.
        for var in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy"):
            os.environ.pop(var, None)
        runs = os.path.join(self.build_dir, "tests", "e2e", "runs")
        os.makedirs(runs, exist_ok=True)
        self._work = tempfile.mkdtemp(prefix=f"{self.name}-", dir=runs)
        self._stack.callback(shutil.rmtree, self._work, True)
        self.folder = os.path.join(self._work, "program")
        shutil.copytree(self.program_folder or release_folder(self.build_dir), self.folder)
        self._write_msg()
        if self.prepare:
            self.prepare(self.folder)
        self.record_dir = os.path.join(self._work, "records")

        self.topology = self._stack.enter_context(Topology(f"e2e{self.name}"[:12], **self.topology_args))
        for address in self.router_addresses:
            self.topology.add_router_address(address)
        self.router = self.topology.start_router(
            self.router_args + ["--record-dir", self.record_dir])
        netns = self.topology.program
        if self.display:
            session = _DisplaySession(self.build_dir, netns, f"e2e-{self.name}",
                                      display=self.display)
        else:
            session = sandbox.WineSession(self.build_dir, netns, f"e2e-{self.name}",
                                          screen=self.screen)
        self.session = self._stack.enter_context(session)
        trace_env, program_err = self._trace("program")
        self.program = self.session.popen(
            [os.path.join(self.folder, "FirmwareUpdater.exe")], cwd=self.folder, env=trace_env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=program_err)
        netns.check_pid_inside(self.program.pid)
        if self.use_driver:
            trace_env, driver_err = self._trace("driver")
            self.ui = self._stack.enter_context(
                Driver(self.session, env=trace_env, stderr=driver_err))

    def _trace(self, who):
        """(extra environment, stderr file) of a traced process; (None, DEVNULL)
        unless FWU_E2E_TRACE names Wine debug channels."""
        channels = os.environ.get("FWU_E2E_TRACE")
        if not channels:
            return None, subprocess.DEVNULL
        folder = os.path.join(self.build_dir, "tests", "e2e", "traces")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, f"{os.path.basename(self._work)}-{who}.log")
        out = self._stack.enter_context(open(path, "wb"))
        return {"WINEDEBUG": channels}, out

    def _write_msg(self):
        if not self.msg:
            return
        ini = read_msg_ini(self.folder)
        for key, value in self.msg.items():
            if value is None:
                ini.remove_option("MSG", key)
            else:
                ini.set("MSG", key, value)
        with open(os.path.join(self.folder, "MSG.ini"), "w", encoding="latin-1",
                  newline="\r\n") as out:
            ini.write(out, space_around_delimiters=False)

    def close(self):
        if self._stack is not None:
            stack, self._stack = self._stack, None
            stack.close()

    # -- the walk

    def wait_visible(self, ctrl_id, what, timeout_s=20):
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            try:
                if self.ui.visible(ctrl_id):
                    return
            except DriverError:
                pass  # not created yet
            time.sleep(0.1)
        raise DriverError(f"{what} not shown within {timeout_s} s")

    def wait_until(self, done, what, timeout_s=20):
        deadline = time.monotonic() + timeout_s
        while not done():
            if time.monotonic() > deadline:
                self.shot("no-" + re.sub(r"\W+", "-", what))
                raise DriverError(f"{what}: not within {timeout_s} s")
            time.sleep(0.05)

    def shot(self, label):
        """Screenshot of the wizard into out_dir (if given); the file's path.
        The driver takes it once the window has painted and stands still."""
        if not self.out_dir:
            return None
        os.makedirs(self.out_dir, exist_ok=True)
        self._shots += 1
        path = os.path.join(self.out_dir, f"{self._shots}-{label}.png")
        try:
            self.ui.shot(path, CAPTION)
        except DriverError:
            self.session.screenshot(path)
        return path

    def message_box_shown(self):
        try:
            self.ui.no_msgbox(0)
        except DriverError as e:
            if "message box:" in str(e):
                return True
            raise
        return False

    def walk_to_upload(self, address=ROUTER_IP, user="admin", password="pw", language=None):
        """Language -> Next, Start, login typed, Next, Upgrade on the verify page."""
        self.walk_to_verify(address, user, password, language)
        self.click_upgrade()

    def walk_to_verify(self, address=ROUTER_IP, user="admin", password="pw", language=None):
        """Language -> Next, Start, login typed, Next: the verify page shows."""
        ui = self.ui
        ui.wait_window(CAPTION, 30000)
        self.wait_visible(LANGUAGE_NEXT, "language page")
        self.shot("language")
        if language:
            ui.select(LANGUAGE_LIST, language)
        self.click_once(LANGUAGE_NEXT, lambda: ui.visible(WELCOME_START), "welcome page")
        self.shot("welcome")
        self.click_once(WELCOME_START, lambda: ui.visible(ADDRESS), "login page")
        # A field that does not show what was typed would send the upload
        # elsewhere: stop here instead.
        for ctrl_id, text in ((ADDRESS, address), (USER, user), (PASSWORD, password)):
            shown = ui.type(ctrl_id, text)
            if shown != text:
                self.shot("mistyped")
                raise DriverError(f"typed {text!r} into {ctrl_id}, it shows {shown!r}")
        self.shot("login")
        self.click_once(MAIN_NEXT, lambda: ui.visible(VERIFY_ADDRESS), "verify page")
        # The page fills the address in once it is shown.
        self.wait_until(lambda: ui.text(VERIFY_ADDRESS) == address, "the verify page's address")
        self.shot("verify")

    def click_upgrade(self):
        """Clicks Upgrade on the verify page once it wears the Upgrade look,
        and waits until the click took effect: the verify page gives way to
        the upload page, or a message box shows. Returns the
        time.monotonic() of the click."""
        upgrade = skin_text(self.folder, "Control", "Upgrade")
        self.wait_until(lambda: self.ui.text(MAIN_NEXT) == upgrade, "the Upgrade button")
        return self.click_once(
            MAIN_NEXT, lambda: self.message_box_shown() or not self.ui.visible(VERIFY_ADDRESS),
            "upload page")

    def click_once(self, ctrl_id, done, what, timeout_s=20):
        """Clicks ctrl_id once and waits until done() holds; the
        time.monotonic() when the click was made (the button released). A
        user clicks once: a click that changes nothing is a fault, never
        clicked again."""
        self.ui.click(ctrl_id)
        clicked = time.monotonic()
        self.wait_until(done, f"{what} after one click on {ctrl_id}", timeout_s)
        return clicked

    def popup_shown(self):
        """The action popup: a visible dialog without a caption."""
        return any(" #32770 ''" in line for line in self.ui.windows())

    def wait_popup(self, timeout_s=15):
        """True once the action popup shows, False if it does not in time."""
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            if self.popup_shown():
                return True
            time.sleep(0.2)
        return False

    def wait_popup_gone(self, timeout_s, shot=None):
        """Waits until no action popup is shown (a screenshot named shot of
        it after 3 s); the seconds it took."""
        start = time.monotonic()
        shot_taken = shot is None
        while time.monotonic() - start < timeout_s:
            if not self.popup_shown():
                return time.monotonic() - start
            if not shot_taken and time.monotonic() - start > 3:
                self.shot(shot)
                shot_taken = True
            time.sleep(0.5)
        raise AssertionError(f"action popup still shown after {timeout_s} s")

    def finish_and_exit(self, check, popup_timeout_s=40):
        """The end of every successful pack: the upgrade popup goes, the
        finish page shows (the check fails if it does not within 20 s), and
        its Exit ends the wizard. popup_timeout_s=None: the popup is known
        to have gone."""
        if popup_timeout_s is not None:
            self.wait_popup_gone(popup_timeout_s)
        try:
            self.wait_visible(FINISH_EXIT, "finish page", 20)
            shown = True
        except DriverError:
            shown = False
        self.shot("finish")
        if check("finish page shown", shown, True):
            self.ui.press(FINISH_EXIT)
            check("Exit ends the wizard", self.wizard_closed(), True)

    def wait_next_page(self, timeout_s=120):
        """Waits until the wizard moved on from the upload page: the router
        has the whole request and the next page's find-device popup shows
        or the page is hidden (a failure closes the wizard instead). A
        message box fails at once with its text."""
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            if self.message_box_shown():
                self.shot("unexpected-message")
                raise DriverError("message box instead of the next page: %r"
                                  % (self.ui.msgbox(1000),))
            delivered = any(r.get("complete") for r in self.http_records())
            if delivered and (self.popup_shown() or not self.ui.visible(UPLOAD_PROGRESS)):
                self.shot("next-page")
                return
            time.sleep(0.1)
        self.shot("no-next-page")
        raise DriverError(f"the wizard did not move on within {timeout_s} s")

    def message_box(self, timeout_s=60):
        """(caption, text) of the next message box, which is then closed."""
        caption, text = self.ui.msgbox(int(timeout_s * 1000))
        self.shot("message")
        self.ui.dismiss()
        return caption, text

    def wizard_closed(self, timeout_s=15):
        """True when the wizard's window went and the program ended."""
        try:
            self.ui.wait_gone(CAPTION, int(timeout_s * 1000))
        except DriverError:
            return False
        try:
            self.program.wait(timeout=timeout_s)
        except subprocess.TimeoutExpired:
            return False
        return True

    def program_peak_memory_kib(self):
        """VmHWM of the program's process (its peak resident size), or None."""
        pids = subprocess.run(["ip", "netns", "pids", self.topology.program_ns],
                              capture_output=True, text=True, timeout=10).stdout.split()
        # The Wine loader and the program may both carry the name: the
        # program is the large one.
        peak = None
        for pid in pids:
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    if b"FirmwareUpdater.exe" not in f.read():
                        continue
                with open(f"/proc/{pid}/status") as f:
                    for line in f:
                        if line.startswith("VmHWM:"):
                            peak = max(peak or 0, int(line.split()[1]))
            except OSError:
                continue
        return peak

    def progress(self):
        """Position of the upload page's bar (it keeps it once hidden)."""
        probe = os.path.join(self.build_dir, "tools", "harness", "progress_probe.exe")
        result = self.session.run([probe, CAPTION, str(UPLOAD_PROGRESS)], timeout=30,
                                  capture=True)
        text = (result.stdout or "").strip()
        return int(text) if text.isdigit() else text

    # -- what the program kept

    def upgrade_record(self):
        """The text of the program's one upgrade record in the prefix's
        %LOCALAPPDATA% (read before the session ends); None without one."""
        pattern = os.path.join(self.session.prefix, "drive_c", "users", "*", "AppData", "Local",
                               "Zephyra", "FirmwareUpdater", "FirmwareUpdater-*.log")
        found = glob.glob(pattern)
        if len(found) != 1:
            return None
        with open(found[0], encoding="latin-1") as f:
            return f.read()

    def check_upgrade_record(self, check, wants, secrets, user="admin"):
        """The record holds every text of wants and none of secrets, plain or
        in Base64 (alone or after "user:")."""
        text = self.upgrade_record() or ""
        for want in wants:
            check(f"the upgrade record names {want!r}", want in text, True)
        for secret in filter(None, secrets):
            coded = [base64.b64encode(s.encode()).decode() for s in (secret, f"{user}:{secret}")]
            check("the upgrade record holds no password",
                  [t for t in [secret] + coded if t in text], [])
        return text

    # -- what the router saw

    def http_records(self, with_raw=True):
        """The router's summaries, in order, each with its raw request bytes
        unless with_raw is false (megabytes each, which a benchmark must not
        read while the next upload runs)."""
        return http_records_in(self.record_dir, with_raw)

    def wait_records(self, count=1, timeout_s=15):
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            records = self.http_records()
            if len(records) >= count:
                return records
            time.sleep(0.1)
        return self.http_records()


@contextlib.contextmanager
def unpacked_release(build_dir, name, with_samples):
    """The release archive as ./run release makes it, unpacked into a work
    folder that goes on exit; yields the unpacked program folder.
    with_samples: the build's sample firmware and packs as the maker's
    files; else the archive holds none."""
    import zipfile
    sys.path.insert(0, os.path.join(ROOT, "tools"))
    import make_release
    runs = os.path.join(build_dir, "tests", "e2e", "runs")
    os.makedirs(runs, exist_ok=True)
    work = tempfile.mkdtemp(prefix=f"{name}-release-", dir=runs)
    try:
        samples = os.path.join(build_dir, "dist", "Firmware")
        files = (os.path.join(samples, "ZEPHYRA_FW.bin"), samples) if with_samples else ()
        archive, _ = make_release.make_release(build_dir, os.path.join(work, "release"), *files)
        with zipfile.ZipFile(archive) as z:
            z.extractall(os.path.join(work, "unpacked"))
        yield os.path.join(work, "unpacked", os.path.basename(archive)[:-len(".zip")])
    finally:
        shutil.rmtree(work, ignore_errors=True)


def http_records_in(folder, with_raw=True):
    """The router's summaries in a record folder, in order."""
    records = []
    for path in sorted(glob.glob(os.path.join(folder, "http-*.json")),
                       key=lambda p: int(os.path.basename(p).split("-")[1].split(".")[0])):
        with open(path) as f:
            record = json.load(f)
        if with_raw:
            raw = os.path.join(folder, record.get("raw_file") or "")
            record["raw"] = open(raw, "rb").read() if os.path.isfile(raw) else b""
        records.append(record)
    return records


def wait_http(folder, path, timeout_s=30):
    """The complete POSTs to path in a record folder once there is one, or
    [] after the time (timeout_s=0: what is there now)."""
    deadline = time.monotonic() + timeout_s
    while True:
        found = [r for r in http_records_in(folder)
                 if r["raw"].startswith(f"POST {path} ".encode()) and r.get("complete")]
        if found or time.monotonic() >= deadline:
            return found
        time.sleep(0.2)


def udp_records(record_dirs):
    """The router's UDP records of all the folders, in time order."""
    records = []
    for folder in record_dirs:
        for path in glob.glob(os.path.join(folder, "udp-*.json")):
            with open(path) as f:
                records.append(json.load(f))
    return sorted(records, key=lambda r: r["time"])


def sha256_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def split_request(raw):
    """(request line, [(name, value)...] in order, body) of raw request bytes."""
    head, _, body = raw.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = [tuple(part.strip() if i else part for i, part in
                     enumerate(line.split(":", 1))) for line in lines[1:]]
    return lines[0], headers, body


# -- what the suites share


def local_file(folder, windows_path):
    """The Unix path of a relative Windows path inside the program's folder."""
    return os.path.join(folder, *windows_path.replace(".\\", "", 1).split("\\"))


def run_suite(suite, scenarios, default_jobs):
    """Command line of an end-to-end suite: runs the named scenarios (all by
    default) side by side, each returning its Checks; exit code 0 when all
    passed."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--jobs", type=int, default=default_jobs)
    parser.add_argument("only", nargs="*", help="scenario names to run (default: all)")
    args = parser.parse_args()
    if os.geteuid() != 0:
        print(f"{suite}: needs root for the test namespaces")
        return 1
    table = scenarios(args.build_dir)
    names = args.only or list(table)
    passed = failed = 0
    started = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        futures = {pool.submit(table[n]): n for n in names}
        for future in concurrent.futures.as_completed(futures):
            name = futures[future]
            try:
                check = future.result()
                print("\n".join(check.lines), flush=True)
                ok = check.failed == 0
            except Exception:
                print(f"FAIL {name}: {traceback.format_exc()}", flush=True)
                ok = False
            print(f"-- {name} done after {time.monotonic() - started:.0f} s", flush=True)
            passed, failed = passed + ok, failed + (not ok)
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1
