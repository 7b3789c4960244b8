"""The router's web server: firmware and language-pack uploads over HTTP/1.x.

Each request is recorded byte for byte as received (request line, headers,
body), its multipart form is taken apart, and a JSON summary is written
before the answer goes out, so a client holding the answer finds the record.
"""

import gzip
import hashlib
import http
import re
import select
import socket
import threading
import time

from form_parse import (MAX_HEAD_BYTES, FormError, HeadError, boundary_of, parse_basic_auth,
                        parse_head, parse_multipart)
from recorder import log

FIRMWARE_PATH = "/upgrade_flash.cgi"
LANGUAGE_PATH = "/upload_lang.cgi"
MAX_BODY_BYTES = 256 * 1024 * 1024
MAX_REQUESTS_PER_CONNECTION = 100
MAX_CONNECTIONS = 16
SLOW_READ_CHUNK = 4096
# A small receive buffer makes a slow reader hold the client back at once
# instead of after the kernel has swallowed a few megabytes.
SLOW_READ_BUFFER = 16 * 1024

HTTP_FAULTS = ("refuse", "close-mid-body", "never-answer", "lang-never-answer", "slow-read",
               "status-401", "status-403", "status-404", "status-500", "gzip-answer",
               "not-http-answer", "trickle-answer", "endless-answer")
# Faults that change how an answer is written, not which answer it is.
ANSWER_FAULTS = ("gzip-answer", "not-http-answer", "trickle-answer", "endless-answer")
NOT_HTTP_VERSION = b"FOO/1.0"
ENDLESS_PIECE = b"<p>" + b"more " * 200 + b"</p>\n"
ENDLESS_PAUSE = 0.05
STATUS_FAULTS = {"status-401": 401, "status-403": 403, "status-404": 404, "status-500": 500}


class _Reader:
    """Receives from one connection, at a bounded rate when reading slowly."""

    def __init__(self, conn, rate):
        self._conn = conn
        self._rate = rate
        self._start = time.monotonic()
        self._total = 0

    def receive(self, limit):
        if not self._rate:
            return self._conn.recv(limit)
        chunk = self._conn.recv(min(limit, SLOW_READ_CHUNK))
        self._total += len(chunk)
        delay = self._start + self._total / self._rate - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        return chunk


def reason_phrase(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Status"


def response(status, body=b"", keep_alive=False, extra_headers=()):
    lines = [f"HTTP/1.1 {status} {reason_phrase(status)}", "Content-Type: text/html",
             f"Content-Length: {len(body)}",
             "Connection: " + ("keep-alive" if keep_alive else "close")]
    lines += list(extra_headers)
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body


def record_name(path):
    """File-name part for a request path: "/upload_lang.cgi" -> "upload_lang.cgi"."""
    name = re.sub(r"[^A-Za-z0-9._-]", "_", path.strip("/"))[:64]
    return name or "root"


def language_page(marker):
    result = "" if marker is None else f'<input id="AutoUpgradeRet"value="{marker}">'
    return f"<html><body><form>{result}</form></body></html>\n".encode("latin-1")


class HttpServer:
    def __init__(self, config, state, recorder):
        self._config = config
        self._state = state
        self._recorder = recorder
        self._lock = threading.Lock()
        self._listener = None
        self._connections = set()
        state.on_restart(self._stop_listening)
        if "refuse" not in config.faults:
            self._listen()

    def _listen(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if "slow-read" in self._config.faults:
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, SLOW_READ_BUFFER)
        listener.bind(("0.0.0.0", self._config.http_port))
        listener.listen(16)
        with self._lock:
            self._listener = listener
        log("http-listening", port=self._config.http_port)

    def _stop_listening(self):
        """Restart: new connections are refused and open ones are dropped."""
        with self._lock:
            if self._listener is not None:
                # shutdown() takes the socket out of the listening state at
                # once; the accept loop then closes it.
                try:
                    self._listener.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
            for conn in self._connections:
                try:
                    conn.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def close(self):
        with self._lock:
            if self._listener is not None:
                self._listener.close()
                self._listener = None

    def serve(self, stop):
        while not stop.is_set():
            with self._lock:
                listener = self._listener
            if listener is None:
                if "refuse" not in self._config.faults and not self._state.restarting():
                    try:
                        self._listen()
                    except OSError as error:
                        log("http-listen-error", error=error)
                        stop.wait(0.2)
                    continue
                stop.wait(0.1)
                continue
            readable, _, _ = select.select([listener], [], [], 0.2)
            if not readable:
                continue
            try:
                conn, peer = listener.accept()
            except OSError:
                # Shut down for a restart: close it; the loop reopens it later.
                with self._lock:
                    self._listener = None
                listener.close()
                log("http-stopped", reason="restart")
                continue
            self._start_connection(conn, peer)

    def _start_connection(self, conn, peer):
        with self._lock:
            if len(self._connections) >= MAX_CONNECTIONS:
                conn.close()
                log("http-refused", peer=peer, reason="too many connections")
                return
            self._connections.add(conn)
        thread = threading.Thread(target=self._serve_connection, args=(conn, peer), daemon=True)
        thread.start()

    def _serve_connection(self, conn, peer):
        peer_text = f"{peer[0]}:{peer[1]}"
        log("http-connect", peer=peer_text)
        try:
            conn.settimeout(self._config.idle_timeout)
            rate = self._config.slow_rate if "slow-read" in self._config.faults else 0
            reader = _Reader(conn, rate)
            pending = bytearray()
            for _ in range(MAX_REQUESTS_PER_CONNECTION):
                if not self._serve_request(conn, reader, pending, peer_text):
                    break
        except OSError as error:  # reset, time-out, or dropped by a restart
            log("http-connection-ended", peer=peer_text, reason=error or type(error).__name__)
        finally:
            with self._lock:
                self._connections.discard(conn)
            conn.close()
            log("http-close", peer=peer_text)

    def _read_head(self, reader, pending, peer_text):
        """Bytes of the next request head, or None when the peer closed cleanly."""
        while True:
            end = pending.find(b"\r\n\r\n")
            if end >= 0:
                head = bytes(pending[:end + 4])
                del pending[:end + 4]
                return head
            if len(pending) > MAX_HEAD_BYTES:
                return bytes(pending)
            try:
                chunk = reader.receive(65536)
            except OSError as error:  # time-out or reset: keep what came
                chunk, reason = b"", f"head cut off: {error or type(error).__name__}"
            else:
                reason = "peer closed inside the head"
            if not chunk:
                if pending:
                    self._record_fragment(bytes(pending), peer_text, reason)
                return None
            pending += chunk

    def _record_fragment(self, raw, peer_text, reason):
        number = self._recorder.next_number("http")
        raw_name = f"http-{number}-unparsed.raw"
        self._recorder.write_bytes(raw_name, raw)
        self._recorder.write_json(f"http-{number}.json", {
            "n": number, "time": time.time(), "peer": peer_text, "error": reason,
            "raw_file": raw_name, "raw_length": len(raw), "complete": False, "status": None})
        log("http-fragment", n=number, reason=reason)

    def _serve_request(self, conn, reader, pending, peer_text):
        """Serves one request; False when the connection is to be closed."""
        waiting_since = time.monotonic()
        raw_head = self._read_head(reader, pending, peer_text)
        if raw_head is None:
            return False
        try:
            if not raw_head.endswith(b"\r\n\r\n"):
                raise HeadError("request head too long")
            head = parse_head(raw_head)
        except HeadError as error:
            self._record_fragment(raw_head, peer_text, str(error))
            conn.sendall(response(400, b"bad request\n"))
            return False
        number = self._recorder.next_number("http")
        summary = {"n": number, "time": time.time(), "peer": peer_text, "method": head.method,
                   "target": head.target, "path": head.path, "version": head.version,
                   "headers": [list(h) for h in head.headers]}
        base = f"http-{number}-{record_name(head.path)}"
        summary["raw_file"] = base + ".raw"

        length, error_status = self._content_length(head)
        summary["content_length"] = length
        if error_status:
            summary.update(body_length=0, complete=False, status=error_status)
            self._recorder.write_bytes(summary["raw_file"], raw_head)
            self._recorder.write_json(f"http-{number}.json", summary)
            conn.sendall(response(error_status, b"bad request\n"))
            return False

        expects = (head.header("Expect") or "").lower() == "100-continue"
        summary["expect_continue"] = expects
        summary["sent_continue"] = False
        if expects and head.version == "HTTP/1.1" and len(pending) < length:
            conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
            summary["sent_continue"] = True

        cut_at = length // 2 if "close-mid-body" in self._config.faults else None
        body = self._read_body(reader, pending, length, cut_at)
        # From waiting for the head (the connection's start, for its first
        # request) to the body's last byte: what a benchmark compares.
        summary["receive_seconds"] = round(time.monotonic() - waiting_since, 4)
        summary["body_length"] = len(body)
        summary["complete"] = len(body) == length
        self._recorder.write_bytes(summary["raw_file"], raw_head + body)
        if not summary["complete"]:
            summary["status"] = None
            summary["fault"] = "close-mid-body" if cut_at is not None else None
            self._recorder.write_json(f"http-{number}.json", summary)
            log("http-request", n=number, path=head.path, body=len(body), answer="cut off")
            return False

        self._describe_form(head, body, base, summary)
        status, page, extra = self._decide(head, summary)
        faults = self._config.faults
        page, extra = self._encode(head, page, extra, summary)
        keep_alive = head.wants_keep_alive() and not {"trickle-answer", "endless-answer"} & faults
        # Only an accepted image makes the router restart.
        restart = (head.path == FIRMWARE_PATH and status is not None and 200 <= status < 300
                   and self._config.restart_seconds > 0)
        if restart:
            keep_alive = False
        summary["status"] = status
        summary["keep_alive"] = keep_alive
        self._recorder.write_json(f"http-{number}.json", summary)
        log("http-request", n=number, method=head.method, path=head.path, body=len(body),
            status=status)

        if status is None:
            self._hang(conn, reader)
            return False
        if head.path == LANGUAGE_PATH and self._config.lang_answer_delay > 0:
            time.sleep(self._config.lang_answer_delay)  # takes its time to install the pack
        if "endless-answer" in faults:
            self._send_endless(conn, status, extra)
            return False
        answer = response(status, page, keep_alive, extra)
        if "not-http-answer" in faults:
            answer = NOT_HTTP_VERSION + answer[len(b"HTTP/1.1"):]
        if "trickle-answer" in faults:
            self._trickle(conn, answer)
        else:
            conn.sendall(answer)
        if restart:
            self._state.begin_restart(self._config.restart_seconds)
        return keep_alive

    @staticmethod
    def _content_length(head):
        """(length, error status or None)."""
        if head.header("Transfer-Encoding") is not None:
            return 0, 411
        value = head.header("Content-Length")
        if value is None:
            return 0, None
        if not value.isdigit():
            return 0, 400
        length = int(value)
        if length > MAX_BODY_BYTES:
            return length, 413
        return length, None

    @staticmethod
    def _read_body(reader, pending, length, cut_at):
        wanted = length if cut_at is None else cut_at
        while len(pending) < wanted:
            try:
                chunk = reader.receive(min(65536, wanted - len(pending)))
            except OSError:  # time-out or reset: the short body is recorded as such
                break
            if not chunk:
                break
            pending += chunk
        body = bytes(pending[:wanted])
        del pending[:wanted]
        return body

    def _describe_form(self, head, body, base, summary):
        summary.update(boundary=None, form_error=None, filename=None, file_field=None,
                       file_file=None, file_size=None, file_sha256=None, fields={},
                       epilogue_hex=None)
        content_type = head.header("Content-Type")
        boundary = boundary_of(content_type)
        if boundary is None:
            if body:
                summary["form_error"] = f"not a multipart form: {content_type!r}"
            return
        summary["boundary"] = boundary
        try:
            form = parse_multipart(body, boundary)
        except FormError as error:
            summary["form_error"] = str(error)
            return
        summary["epilogue_hex"] = form.epilogue.hex()
        for part in form.parts:
            if part.filename is None and part.name is not None:
                summary["fields"][part.name] = part.content.decode("latin-1")
        file_part = form.file_part()
        if file_part is not None:
            summary["file_file"] = base + ".file"
            self._recorder.write_bytes(summary["file_file"], file_part.content)
            summary.update(filename=file_part.filename, file_field=file_part.name,
                           file_size=len(file_part.content),
                           file_sha256=hashlib.sha256(file_part.content).hexdigest())

    def _decide(self, head, summary):
        """(status or None for no answer, page, extra headers)."""
        credentials = parse_basic_auth(head.header("Authorization"))
        summary["authorization"] = (None if credentials is None else
                                    {"user": credentials[0], "password": credentials[1]})
        challenge = ('WWW-Authenticate: Basic realm="router"',)
        if head.method != "POST" or head.path not in (FIRMWARE_PATH, LANGUAGE_PATH):
            return 404, b"<html><body>404 Not Found</body></html>\n", ()
        faults = self._config.faults
        if "never-answer" in faults or ("lang-never-answer" in faults
                                        and head.path == LANGUAGE_PATH):
            return None, b"", ()
        for fault, status in STATUS_FAULTS.items():
            if fault in faults:
                return status, f"<html><body>{status}</body></html>\n".encode(), \
                    challenge if status == 401 else ()
        expected = self._config.expected_credentials(head.path)
        summary["auth_ok"] = expected is None or credentials == expected
        if not summary["auth_ok"]:
            return 401, b"<html><body>401 Unauthorized</body></html>\n", challenge
        if head.path == FIRMWARE_PATH:
            return self._config.flash_status, self._config.flash_page.encode("latin-1"), ()
        return self._config.lang_status, language_page(self._config.lang_marker), ()

    def _encode(self, head, page, extra, summary):
        """gzip-answer: the page gzip-compressed when the request takes gzip."""
        summary["answer_faults"] = sorted(set(ANSWER_FAULTS) & self._config.faults)
        accepted = (head.header("Accept-Encoding") or "").lower()
        gzipped = "gzip-answer" in self._config.faults and "gzip" in accepted
        summary["gzip"] = gzipped
        if not gzipped:
            return page, extra
        return gzip.compress(page, mtime=0), tuple(extra) + ("Content-Encoding: gzip",)

    def _trickle(self, conn, answer):
        """trickle-answer: one byte every --trickle-seconds, until the peer goes."""
        deadline = time.monotonic() + self._config.hang_seconds
        for index in range(len(answer)):
            if time.monotonic() > deadline or self._state.restarting():
                return
            conn.sendall(answer[index:index + 1])
            time.sleep(self._config.trickle_seconds)

    def _send_endless(self, conn, status, extra):
        """endless-answer: a head without a length, then a body that never ends."""
        lines = [f"HTTP/1.1 {status} {reason_phrase(status)}",
                 "Content-Type: text/html", "Connection: close", *extra]
        conn.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
        deadline = time.monotonic() + self._config.hang_seconds
        while time.monotonic() < deadline and not self._state.restarting():
            conn.sendall(ENDLESS_PIECE)
            time.sleep(ENDLESS_PAUSE)

    def _hang(self, conn, reader):
        """never-answer: keep the connection open, reading, until the peer goes."""
        deadline = time.monotonic() + self._config.hang_seconds
        conn.settimeout(0.5)
        while time.monotonic() < deadline and not self._state.restarting():
            try:
                if not reader.receive(65536):
                    return
            except socket.timeout:
                continue
