"""Python client of fwdriver.exe, the GUI driver of the end-to-end tests.

    with NetNs("e2e") as ns, WineSession(build, ns, "e2e") as session:
        app = session.popen([exe])
        with Driver(session, driver_exe) as ui:
            ui.wait_window("Firmware Upgrade Utility", 10000)
            ui.click(1001)

Every command waits for its reply with a timeout; an "err" reply raises
DriverError with the driver's text."""

import os
import queue
import subprocess
import threading

REPLY_MARGIN_S = 10  # on top of a command's own timeout


class DriverError(RuntimeError):
    pass


def unescape(text):
    out, i = [], 0
    while i < len(text):
        ch = text[i]
        if ch == "\\" and i + 1 < len(text):
            i += 1
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(text[i], text[i]))
        else:
            out.append(ch)
        i += 1
    return "".join(out)


def windows_path(path):
    """Unix path as Wine's Z: drive sees it (the driver writes files there)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def default_driver_exe(build_dir):
    return os.path.join(build_dir, "tools", "driver", "fwdriver.exe")


class Driver:
    def __init__(self, session, driver_exe=None, timeout=20, env=None, stderr=None):
        """env: more environment for the driver (e.g. a WINEDEBUG trace);
        stderr: where its stderr goes (default: nowhere)."""
        self.timeout = timeout
        self.session = session
        exe = driver_exe or default_driver_exe(session.build_dir)
        self.proc = session.popen([exe], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=stderr or subprocess.DEVNULL, text=True,
                                  encoding="utf-8", bufsize=1)
        # Replies are read by a thread so that every read can time out.
        self._lines = queue.Queue()
        threading.Thread(target=self._read_replies, daemon=True).start()

    def _read_replies(self):
        for line in self.proc.stdout:
            self._lines.put(line.rstrip("\r\n"))
        self._lines.put(None)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        if self.proc.poll() is None:
            try:
                self.command("quit", timeout=5)
            except (DriverError, OSError):
                pass
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=5)

    def command(self, line, timeout=None):
        """Sends one command line; returns the reply text after "ok"."""
        if "\n" in line:
            raise ValueError("one command per line")
        try:
            self.proc.stdin.write(line + "\n")
            self.proc.stdin.flush()
        except (BrokenPipeError, ValueError) as e:
            raise DriverError(f"driver is gone: {line}") from e
        try:
            reply = self._lines.get(timeout=timeout or self.timeout)
        except queue.Empty:
            raise DriverError(f"no reply in {timeout or self.timeout} s to: {line}") from None
        if reply is None:
            raise DriverError(f"driver ended while answering: {line}")
        status, _, text = reply.partition(" ")
        if status == "ok":
            return text
        if status == "err":
            raise DriverError(f"{line}: {unescape(text)}")
        raise DriverError(f"unexpected reply to {line}: {reply}")

    def _timed(self, line, timeout_ms):
        return self.command(line, timeout=timeout_ms / 1000 + REPLY_MARGIN_S)

    # -- windows
    def wait_window(self, caption, timeout_ms=10000):
        return self._timed(f"wait-window {caption} {int(timeout_ms)}", timeout_ms)

    def wait_gone(self, caption, timeout_ms=10000):
        self._timed(f"wait-gone {caption} {int(timeout_ms)}", timeout_ms)

    def window_rect(self, caption):
        return tuple(int(v) for v in self.command(f"window-rect {caption}").split())

    def region(self, caption):
        """None, or (box, (0,0) inside, (w/2,0) inside) in window coordinates."""
        reply = self.command(f"region {caption}").split()
        if reply == ["none"]:
            return None
        box = tuple(int(v) for v in reply[:4])
        return box, reply[4] == "1", reply[5] == "1"

    def windows(self):
        return unescape(self.command("windows")).splitlines()

    # -- controls
    def find(self, ctrl_id):
        return self.command(f"find {ctrl_id}")

    def click(self, ctrl_id):
        self.command(f"click {ctrl_id}")

    def press(self, ctrl_id):
        self.command(f"press {ctrl_id}")

    def type(self, ctrl_id, text):
        """Replaces the control's text by typing; returns what it then shows."""
        return unescape(self.command(f"type {ctrl_id} {text}"))

    def select(self, combo_id, text):
        return int(self.command(f"select {combo_id} {text}"))

    def key(self, name):
        """A key by name ("TAB", "SPACE", "RETURN", ...), also with a held
        modifier: "SHIFT+TAB", "ALT+F4"."""
        self.command(f"key {name}")

    def keys(self, text):
        """Types text as key presses into whatever holds the focus."""
        self.command(f"keys {text}")

    def focus(self):
        """Id of the control that holds the keyboard focus (the address
        control for one of its fields), 0 for none."""
        return int(self.command("focus").split()[0])

    def accessible(self, ctrl_id=None):
        """(role, name) that a screen reader reads (MSAA) of the control, or
        of the window that holds the focus when no id is given."""
        role, _, name = self.command("acc" + (f" {ctrl_id}" if ctrl_id else "")).partition(" ")
        return int(role), unescape(name)

    def text(self, ctrl_id):
        return unescape(self.command(f"text {ctrl_id}"))

    def visible(self, ctrl_id):
        return self.command(f"visible {ctrl_id}") == "1"

    def enabled(self, ctrl_id):
        return self.command(f"enabled {ctrl_id}") == "1"

    def checked(self, ctrl_id):
        return self.command(f"checked {ctrl_id}") == "1"

    def rect(self, ctrl_id):
        return tuple(int(v) for v in self.command(f"rect {ctrl_id}").split())

    # -- mouse
    def drag(self, x1, y1, x2, y2):
        self.command(f"drag {int(x1)} {int(y1)} {int(x2)} {int(y2)}")

    # -- message boxes
    def msgbox(self, timeout_ms=10000):
        """(caption, text) of the message box that appears within the timeout."""
        caption, _, text = self._timed(f"msgbox {int(timeout_ms)}", timeout_ms).partition("\t")
        return unescape(caption), unescape(text)

    def dismiss(self):
        self.command("dismiss")

    def no_msgbox(self, ms=1000):
        self._timed(f"no-msgbox {int(ms)}", ms)

    # -- pictures
    def shot(self, path_png, caption=None):
        line = f"shot {windows_path(path_png)}"
        if caption:
            line += f" {caption}"
        return tuple(int(v) for v in self.command(line, timeout=30).split())
