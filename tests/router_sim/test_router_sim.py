"""The simulated router, seen from the program's side of a private test network.

Everything that sends a packet runs inside the namespaces of one Topology;
the client sockets are created in the program namespace.
"""

import base64
import gzip
import hashlib
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import time
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[2] / "tools" / "router_sim"
sys.path.insert(0, str(TOOLS))

import router_sim  # noqa: E402
from topology import Topology  # noqa: E402

ROUTER = "192.168.1.1"
PROGRAM = "192.168.1.10"
SECOND_PROGRAM = "10.0.0.10"
SECOND_ROUTER = "10.0.0.1"
EXTRA_ROUTER_ADDRESS = "192.168.1.2"
BOUNDARY = b"---------------------------7d53c8371101be"


def form_body(filename, data):
    """The upload form exactly as the updater builds it (304 + name + data bytes)."""
    delimiter = b"--" + BOUNDARY
    body = (delimiter + b"\r\n"
            + b'Content-Disposition: form-data; name="mtenFWUpload"; filename="' + filename
            + b'"\r\n' + b"Content-Type: application/octet-stream\r\n\r\n" + data + b"\r\n"
            + delimiter + b"\r\n" + b'Content-Disposition: form-data; name="uploading"\r\n\r\n'
            + b"no\r\n" + delimiter + b"--\r\n" + b"\0")
    assert len(body) == 304 + len(filename) + len(data)
    return body


def post(target, body, user=None, password=None, version=b"HTTP/1.1", extra=()):
    """(head, body) of a POST laid out like the updater's firmware request."""
    lines = [b"POST " + target + b" " + version,
             b"Content-Type: multipart/form-data; boundary=" + BOUNDARY,
             b"Content-Length: %d" % len(body),
             b"Referer: http://192.168.1.1/setup.cgi?next_file=FirmwareUpgrade.htm"]
    if user is not None:
        credentials = base64.b64encode(user + b":" + password)
        lines.append(b"Authorization: Basic " + credentials)
    lines += [b"User-Agent: CorvaneUpload", b"Host: 192.168.1.1", b"Cache-Control: no-cache"]
    lines += list(extra)
    return b"\r\n".join(lines) + b"\r\n\r\n", body


class Reply:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body


def read_reply(sock):
    """The next final answer on a connection (100 Continue skipped)."""
    buffer = b""
    while True:
        while b"\r\n\r\n" not in buffer:
            chunk = sock.recv(65536)
            if not chunk:
                raise EOFError("connection closed before an answer")
            buffer += chunk
        head, _, buffer = buffer.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        status = int(lines[0].split(" ")[1])
        if status == 100:
            continue
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        length = int(headers.get("content-length", "0"))
        while len(buffer) < length:
            chunk = sock.recv(65536)
            if not chunk:
                break
            buffer += chunk
        return Reply(status, headers, buffer[:length])


def discovery(sequence):
    return struct.pack("<HHHH", 0, 0, sequence, 0)


def query(sequence, record):
    return struct.pack("<HHHH", 1, 0, sequence, 747) + record


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("ip"),
                     "needs root and iproute2 to build private test namespaces")
class RouterSimTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.topo = Topology("rsimtest", second_program_addr=SECOND_PROGRAM + "/24",
                            second_router_addr=SECOND_ROUTER + "/24")
        cls.topo.__enter__()
        cls.addClassCleanup(cls.topo.close)
        cls.topo.add_router_address(EXTRA_ROUTER_ADDRESS + "/24")

    # -- helpers ------------------------------------------------------------

    def start(self, *args):
        """Starts a router, stopping the one this test started before (port 80 is shared)."""
        previous = getattr(self, "_router", None)
        if previous is not None:
            self.topo.stop_router(previous)
        self._router = self.topo.start_router(list(args))
        self.addCleanup(self.topo.stop_router, self._router)
        return self._router

    def connect(self, timeout=5.0):
        sock = self.topo.program_socket(socket.AF_INET, socket.SOCK_STREAM)
        self.addCleanup(sock.close)
        sock.settimeout(timeout)
        sock.connect((ROUTER, 80))
        return sock

    def exchange(self, head, body=b""):
        sock = self.connect()
        sock.sendall(head + body)
        return read_reply(sock)

    def udp_socket(self, bind_to=None, timeout=2.0):
        sock = self.topo.program_socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(sock.close)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        if bind_to:
            sock.bind((bind_to, 0))
        sock.settimeout(timeout)
        return sock

    def broadcast(self, sock, datagram):
        sock.sendto(datagram, ("255.255.255.255", 916))
        return sock.recvfrom(4096)

    @staticmethod
    def record(router, name, wait=3.0):
        path = Path(router.record_dir) / name
        deadline = time.monotonic() + wait
        while not path.exists() and time.monotonic() < deadline:
            time.sleep(0.02)
        data = path.read_bytes()
        return json.loads(data) if name.endswith(".json") else data

    # -- HTTP ---------------------------------------------------------------

    def test_firmware_post_is_recorded_byte_for_byte(self):
        router = self.start("--user", "admin", "--password", "pa:ss", "--flash-page", "FLASHED")
        # Bytes that a text-minded parser would trip over: NULs, CR LF, a
        # fake delimiter start.
        image = bytes(range(256)) * 3 + b"\r\n--" + BOUNDARY[:-1] + b"X\r\n" + bytes(188)
        filename = b"C:\\fw\\image.bin"
        head, body = post(b"/upgrade_flash.cgi", form_body(filename, image), b"admin", b"pa:ss")
        sock = self.connect()
        sock.sendall(head)
        for start in range(0, len(body), 1460):  # in the worker's chunk size
            sock.sendall(body[start:start + 1460])
            time.sleep(0.005)
        reply = read_reply(sock)
        self.assertEqual((reply.status, reply.body), (200, b"FLASHED"))

        self.assertEqual(self.record(router, "http-1-upgrade_flash.cgi.raw"), head + body)
        self.assertEqual(self.record(router, "http-1-upgrade_flash.cgi.file"), image)
        summary = self.record(router, "http-1.json")
        self.assertEqual(summary["method"], "POST")
        self.assertEqual(summary["path"], "/upgrade_flash.cgi")
        sent_headers = [line.decode().split(": ", 1) for line in head.split(b"\r\n")[1:-2]]
        self.assertEqual(summary["headers"], sent_headers)
        self.assertEqual(summary["content_length"], 304 + len(filename) + len(image))
        self.assertEqual(summary["body_length"], len(body))
        self.assertEqual(summary["filename"], "C:\\fw\\image.bin")
        self.assertEqual(summary["file_size"], len(image))
        self.assertEqual(summary["file_sha256"], hashlib.sha256(image).hexdigest())
        self.assertEqual(summary["fields"], {"uploading": "no"})
        self.assertEqual(summary["epilogue_hex"], "0d0a00")
        self.assertEqual(summary["authorization"], {"user": "admin", "password": "pa:ss"})
        self.assertEqual(summary["status"], 200)

    def test_basic_authorisation_is_checked(self):
        self.start("--user", "admin", "--password", "pw")
        cases = [("right credentials", b"admin", b"pw", 200),
                 ("wrong password", b"admin", b"pW", 401),
                 ("wrong user", b"root", b"pw", 401),
                 ("password with the user's colon", b"admin:pw", b"", 401),
                 ("no credentials", None, None, 401)]
        for name, user, password, status in cases:
            with self.subTest(name):
                reply = self.exchange(*post(b"/upgrade_flash.cgi", form_body(b"a", b"x"),
                                            user, password))
                self.assertEqual(reply.status, status)
                if status == 401:
                    self.assertIn("Basic", reply.headers.get("www-authenticate", ""))

    def test_language_upload_answers_with_the_chosen_marker(self):
        body = form_body(b".\\Firmware\\ZEPHYRA_FR.lang", b"LANG" * 100)
        for marker in (None, "1", "2", "3"):
            with self.subTest(marker=marker):
                router = self.start(*(["--lang-marker", marker] if marker else []))
                reply = self.exchange(*post(b"/upload_lang.cgi", body))
                self.assertEqual(reply.status, 200)
                if marker:
                    self.assertIn(b'AutoUpgradeRet"value="' + marker.encode(), reply.body)
                else:
                    self.assertNotIn(b"AutoUpgradeRet", reply.body)
                summary = self.record(router, "http-1.json")
                self.assertEqual(summary["filename"], ".\\Firmware\\ZEPHYRA_FR.lang")

    def test_language_upload_takes_its_own_password(self):
        self.start("--user", "admin", "--password", "pw", "--lang-password", "devpw",
                   "--lang-status", "202")
        body = form_body(b"x.lang", b"L")
        self.assertEqual(self.exchange(*post(b"/upload_lang.cgi", body, b"admin", b"devpw")).status,
                         202)
        self.assertEqual(self.exchange(*post(b"/upload_lang.cgi", body, b"admin", b"pw")).status,
                         401)

    def test_anything_else_gets_404(self):
        router = self.start()
        get = b"GET /upgrade_flash.cgi HTTP/1.1\r\nHost: r\r\n\r\n"
        self.assertEqual(self.exchange(get).status, 404)
        self.assertEqual(self.exchange(*post(b"/setup.cgi?x=1", form_body(b"a", b"b"))).status,
                         404)
        self.assertEqual(self.record(router, "http-2.json")["path"], "/setup.cgi")
        self.assertTrue((Path(router.record_dir) / "http-2-setup.cgi.raw").exists())

    def test_keep_alive_serves_several_requests_and_http10_closes(self):
        router = self.start()
        sock = self.connect()
        for n in (1, 2):
            sock.sendall(b"".join(post(b"/upgrade_flash.cgi", form_body(b"f%d" % n, b"data"))))
            self.assertEqual(read_reply(sock).status, 200)
            self.assertEqual(self.record(router, f"http-{n}.json")["filename"], f"f{n}")
        sock = self.connect()
        sock.sendall(b"".join(post(b"/upgrade_flash.cgi", form_body(b"old", b""),
                                   version=b"HTTP/1.0")))
        reply = read_reply(sock)
        self.assertEqual((reply.status, reply.headers["connection"]), (200, "close"))
        self.assertEqual(sock.recv(10), b"")
        self.assertEqual(self.record(router, "http-3.json")["file_size"], 0)

    def test_expect_continue_is_answered_before_the_body(self):
        router = self.start()
        head, body = post(b"/upgrade_flash.cgi", form_body(b"big", b"z" * 5000),
                          extra=[b"Expect: 100-continue"])
        sock = self.connect(timeout=2.0)
        sock.sendall(head)
        self.assertEqual(sock.recv(100), b"HTTP/1.1 100 Continue\r\n\r\n")
        sock.sendall(body)
        self.assertEqual(read_reply(sock).status, 200)
        self.assertEqual(self.record(router, "http-1-upgrade_flash.cgi.raw"), head + body)
        self.assertTrue(self.record(router, "http-1.json")["sent_continue"])

    @unittest.skipUnless(shutil.which("curl"), "curl not installed")
    def test_curl_upload_with_its_own_expect_header(self):
        router = self.start("--user", "admin", "--password", "pw")
        image = os.urandom(1536 * 1024)  # big enough that curl asks for 100 Continue
        image_path = Path(router.record_dir).parent / "curl-image.bin"
        image_path.write_bytes(image)
        result = self.topo.run_in_program(
            ["curl", "-sS", "--max-time", "20", "-u", "admin:pw",
             "-F", f"mtenFWUpload=@{image_path}", "-F", "uploading=no",
             f"http://{ROUTER}/upgrade_flash.cgi"], capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        summary = self.record(router, "http-1.json")
        self.assertTrue(summary["sent_continue"])
        self.assertEqual(summary["file_sha256"], hashlib.sha256(image).hexdigest())
        self.assertEqual(summary["fields"], {"uploading": "no"})

    def test_http_faults(self):
        request = post(b"/upgrade_flash.cgi", form_body(b"f", b"q" * 64000))
        with self.subTest("refuse"):
            self.start("--fault", "refuse")
            with self.assertRaises(ConnectionRefusedError):
                self.connect()
            self.broadcast(self.udp_socket(), discovery(1))  # UDP still answers
        with self.subTest("close-mid-body"):
            router = self.start("--fault", "close-mid-body")
            sock = self.connect()
            try:
                sock.sendall(b"".join(request))
                self.assertEqual(sock.recv(100), b"")
            except ConnectionResetError:
                pass
            summary = self.record(router, "http-1.json")
            self.assertFalse(summary["complete"])
            self.assertEqual(summary["body_length"], len(request[1]) // 2)
            self.assertIsNone(summary["status"])
        with self.subTest("never-answer"):
            router = self.start("--fault", "never-answer")
            sock = self.connect(timeout=1.0)
            sock.sendall(b"".join(request))
            with self.assertRaises(socket.timeout):
                sock.recv(100)
            summary = self.record(router, "http-1.json")
            self.assertTrue(summary["complete"])
            self.assertIsNone(summary["status"])
        with self.subTest("slow-read"):
            self.start("--fault", "slow-read", "--slow-rate", "131072")
            began = time.monotonic()
            reply = self.exchange(*post(b"/upgrade_flash.cgi", form_body(b"f", bytes(262144))))
            self.assertEqual(reply.status, 200)
            self.assertGreater(time.monotonic() - began, 1.5)  # 256 KiB at 128 KiB/s
        for status in (401, 403, 404, 500):
            with self.subTest(f"status-{status}"):
                router = self.start("--fault", f"status-{status}")
                self.assertEqual(self.exchange(*request).status, status)
                self.assertEqual(self.record(router, "http-1.json")["status"], status)

    def test_answers_written_the_odd_way(self):
        firmware = b"".join(post(b"/upgrade_flash.cgi", form_body(b"f", b"fw")))
        lang = b"".join(post(b"/upload_lang.cgi", form_body(b"x.lang", b"L"),
                             extra=[b"Accept-Encoding: gzip, deflate"]))

        def received(sock, seconds):
            """What arrives within seconds (the connection may stay open)."""
            data = b""
            deadline = time.monotonic() + seconds
            while time.monotonic() < deadline:
                sock.settimeout(max(0.01, deadline - time.monotonic()))
                try:
                    chunk = sock.recv(65536)
                except socket.timeout:
                    break
                if not chunk:
                    break
                data += chunk
            sock.settimeout(5.0)
            return data

        with self.subTest("gzip-answer"):
            router = self.start("--fault", "gzip-answer", "--lang-marker", "2")
            reply = self.exchange(lang)
            self.assertEqual(reply.headers.get("content-encoding"), "gzip")
            self.assertNotIn(b"AutoUpgradeRet", reply.body)
            self.assertIn(b'AutoUpgradeRet"value="2', gzip.decompress(reply.body))
            self.assertTrue(self.record(router, "http-1.json")["gzip"])
            plain = self.exchange(firmware)  # asks for no encoding: gets none
            self.assertNotIn("content-encoding", plain.headers)
        with self.subTest("not-http-answer"):
            self.start("--fault", "not-http-answer")
            sock = self.connect()
            sock.sendall(firmware)
            self.assertTrue(received(sock, 2.0).startswith(b"FOO/1.0 200 OK\r\n"))
        with self.subTest("trickle-answer"):
            self.start("--fault", "trickle-answer", "--trickle-seconds", "0.2")
            sock = self.connect()
            sock.sendall(firmware)
            arrivals = []
            while len(arrivals) < 5:
                byte = sock.recv(1)
                arrivals.append((time.monotonic(), byte))
            self.assertEqual(b"".join(byte for _, byte in arrivals), b"HTTP/")
            self.assertGreater(arrivals[-1][0] - arrivals[0][0], 0.6)
        with self.subTest("endless-answer"):
            self.start("--fault", "endless-answer")
            sock = self.connect()
            sock.sendall(firmware)
            data = received(sock, 1.0)
            head, _, body = data.partition(b"\r\n\r\n")
            self.assertTrue(head.startswith(b"HTTP/1.1 200 OK\r\n"))
            self.assertNotIn(b"Content-Length", head)
            self.assertGreater(len(body), 10000)
            self.assertNotEqual(sock.recv(10), b"")  # still coming
        with self.subTest("lang-never-answer"):
            router = self.start("--fault", "lang-never-answer", "--hang-seconds", "5")
            self.assertEqual(self.exchange(firmware).status, 200)
            sock = self.connect(timeout=1.0)
            sock.sendall(lang)
            with self.assertRaises(socket.timeout):
                sock.recv(100)
            summary = self.record(router, "http-2.json")
            self.assertEqual((summary["path"], summary["status"]), ("/upload_lang.cgi", None))

    def test_bad_requests_get_clear_answers_and_are_kept(self):
        router = self.start("--idle-timeout", "0.5")
        self.assertEqual(self.exchange(b"HELLO\r\n\r\n").status, 400)
        self.assertEqual(self.record(router, "http-1-unparsed.raw"), b"HELLO\r\n\r\n")
        self.assertIn("bad request line", self.record(router, "http-1.json")["error"])
        garbage = b"not a form at all"
        reply = self.exchange(*post(b"/upgrade_flash.cgi", garbage))
        self.assertEqual(reply.status, 200)  # a router answers whatever the form looks like
        summary = self.record(router, "http-2.json")
        self.assertIn("no opening delimiter", summary["form_error"])
        self.assertIsNone(summary["file_file"])
        self.assertEqual(self.record(router, "http-2-upgrade_flash.cgi.raw")[-len(garbage):],
                         garbage)
        chunked = (b"POST /upload_lang.cgi HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                   b"0\r\n\r\n")
        self.assertEqual(self.exchange(chunked).status, 411)
        head, body = post(b"/upgrade_flash.cgi", form_body(b"f", b"s" * 1000))
        sock = self.connect()
        sock.sendall(head + body[:500])  # and then nothing: the router gives up
        self.assertEqual(sock.recv(10), b"")
        summary = self.record(router, "http-4.json")
        self.assertEqual((summary["complete"], summary["body_length"]), (False, 500))
        self.assertEqual(self.record(router, "http-4-upgrade_flash.cgi.raw"), head + body[:500])

    def test_refused_image_does_not_restart(self):
        self.start("--restart-seconds", "5", "--flash-status", "500")
        request = b"".join(post(b"/upgrade_flash.cgi", form_body(b"f", b"fw")))
        self.assertEqual(self.exchange(request).status, 500)
        self.assertEqual(self.exchange(request).status, 500)
        self.broadcast(self.udp_socket(), discovery(1))

    def test_restart_silences_http_and_discovery(self):
        self.start("--restart-seconds", "1.5")
        began = time.monotonic()
        sock = self.connect()
        sock.sendall(b"".join(post(b"/upgrade_flash.cgi", form_body(b"f", b"fw"))))
        reply = read_reply(sock)
        self.assertEqual((reply.status, reply.headers["connection"]), (200, "close"))
        self.assertEqual(sock.recv(10), b"")
        with self.assertRaises(ConnectionRefusedError):
            self.connect()
        udp = self.udp_socket(timeout=0.5)
        with self.assertRaises(socket.timeout):
            self.broadcast(udp, discovery(7))
        self.assertLess(time.monotonic() - began, 1.5, "checks ran too late to mean anything")
        time.sleep(max(0.0, began + 1.8 - time.monotonic()))
        udp.settimeout(2.0)
        data, _ = self.broadcast(udp, discovery(8))
        self.assertEqual(struct.unpack_from("<H", data, 4)[0], 8)
        for _ in range(20):  # the web server comes back within a few tenths
            try:
                self.connect().close()
                break
            except ConnectionRefusedError:
                time.sleep(0.1)
        else:
            self.fail("web server did not come back after the restart")

    # -- UDP ----------------------------------------------------------------

    def test_discovery_and_query_replies(self):
        router = self.start("--device-password", "s3cret", "--language-byte", "3")
        udp = self.udp_socket(bind_to=PROGRAM)
        port = udp.getsockname()[1]
        data, sender = self.broadcast(udp, discovery(0xBEEF))
        self.assertEqual(sender, (ROUTER, 916))
        arrived = self.record(router, "udp-1.json")
        self.assertEqual((arrived["interface"], arrived["interface_address"]),
                         (self.topo.links[0].router_if, ROUTER))
        self.assertEqual(len(data), 755)
        self.assertEqual(struct.unpack_from("<HHHHH", data), (0, 0, 0xBEEF, 747, 4))
        self.assertEqual(data[8 + 42:8 + 49], b"s3cret\0")
        self.assertEqual(data[8 + 746], 3)
        record = data[8:]
        self.assertIn(0, record[2:42])  # opaque bytes must be copied as bytes
        self.assertEqual(self.record(router, "udp-1.bin"), discovery(0xBEEF))

        asked = bytearray(record)
        asked[746] = 2
        udp.sendto(query(0xBEF0, bytes(asked)), (ROUTER, 916))
        data, sender = udp.recvfrom(4096)
        self.assertEqual(struct.unpack_from("<HHH", data), (1, 0, 0xBEF0))
        summary = self.record(router, "udp-2.json")
        self.assertEqual((summary["command"], summary["sequence"], summary["length"],
                          summary["language"], summary["record_matches"], summary["sender"]),
                         (1, 0xBEF0, 755, 2, True, f"{PROGRAM}:{port}"))

        asked[10] ^= 0xFF
        udp.sendto(query(0xBEF1, bytes(asked)), (ROUTER, 916))
        udp.recvfrom(4096)
        self.assertFalse(self.record(router, "udp-3.json")["record_matches"])

    def test_discovery_over_the_second_link_and_refused_query(self):
        router = self.start("--device-password", "", "--query-status", "7")
        udp = self.udp_socket(bind_to=SECOND_PROGRAM)
        data, sender = self.broadcast(udp, discovery(5))
        self.assertEqual(sender, (SECOND_ROUTER, 916))
        self.assertEqual(data[8 + 42], 0)  # empty password: NUL at once
        udp.sendto(query(6, data[8:]), (SECOND_ROUTER, 916))
        reply, _ = udp.recvfrom(4096)
        self.assertEqual(struct.unpack_from("<HHH", reply), (1, 7, 6))
        summary = self.record(router, "udp-1.json")
        # A broadcast from a bound socket leaves through that address's link.
        self.assertEqual((summary["sender"].split(":")[0], summary["interface"],
                          summary["destination"]),
                         (SECOND_PROGRAM, self.topo.links[1].router_if, "255.255.255.255"))

    def test_udp_faults(self):
        cases = [("udp-wrong-type", lambda d, s: struct.unpack_from("<H", d, 8)[0] == 3),
                 ("udp-wrong-status", lambda d, s: struct.unpack_from("<H", d, 2)[0] != 0),
                 ("udp-wrong-seq", lambda d, s: struct.unpack_from("<H", d, 4)[0] != 0x4242),
                 ("udp-short", lambda d, s: len(d) == 100),
                 ("udp-long", lambda d, s: len(d) > 755),
                 ("udp-zero-language", lambda d, s: len(d) == 755 and d[8 + 746] == 0),
                 (f"udp-second-address={EXTRA_ROUTER_ADDRESS}",
                  lambda d, s: s == (EXTRA_ROUTER_ADDRESS, 916) and len(d) == 755)]
        for fault, holds in cases:
            with self.subTest(fault):
                router = self.start("--fault", fault)
                data, sender = self.broadcast(self.udp_socket(), discovery(0x4242))
                self.assertTrue(holds(data, sender), (len(data), data[:10].hex(), sender))
        query_cases = [("udp-query-wrong-seq", (1, 0, 0x4243)),
                       ("udp-query-wrong-command", (0, 0, 0x4242))]
        for fault, header in query_cases:
            with self.subTest(fault):
                self.start("--fault", fault)
                udp = self.udp_socket()
                data, _ = self.broadcast(udp, discovery(1))
                reply, _ = self.broadcast(udp, query(0x4242, data[8:]))
                self.assertEqual(struct.unpack_from("<HHH", reply), header)
        with self.subTest("udp-query-silent"):
            router = self.start("--fault", "udp-query-silent")
            udp = self.udp_socket(timeout=0.3)
            data, _ = self.broadcast(udp, discovery(1))
            with self.assertRaises(socket.timeout):
                self.broadcast(udp, query(2, data[8:]))
            self.assertEqual(self.record(router, "udp-2.json")["language"], 1)
        with self.subTest("udp-query-one-byte"):
            self.start("--fault", "udp-query-one-byte")
            udp = self.udp_socket()
            data, _ = self.broadcast(udp, discovery(1))
            self.assertEqual(self.broadcast(udp, query(2, data[8:])), (b"\x01", (ROUTER, 916)))
            reply, _ = udp.recvfrom(4096)
            self.assertEqual(struct.unpack_from("<HHH", reply), (1, 0, 2))
        with self.subTest("query reply from another address than the discovery reply"):
            self.start("--fault", f"udp-second-address={EXTRA_ROUTER_ADDRESS}")
            udp = self.udp_socket()
            data, found = self.broadcast(udp, discovery(1))
            _, answered = self.broadcast(udp, query(2, data[8:]))
            self.assertEqual((found[0], answered[0]), (EXTRA_ROUTER_ADDRESS, ROUTER))
        with self.subTest("udp-second-host"):
            router = self.start("--device-password", "pw", "--fault",
                                f"udp-second-host={EXTRA_ROUTER_ADDRESS}")
            udp = self.udp_socket()
            first, first_sender = self.broadcast(udp, discovery(9))
            second, second_sender = udp.recvfrom(4096)
            self.assertEqual((first_sender[0], first[8 + 42:8 + 45]), (ROUTER, b"pw\0"))
            self.assertEqual((second_sender[0], second[8 + 42:8 + 47]),
                             (EXTRA_ROUTER_ADDRESS, b"pw-2\0"))
            self.assertEqual(struct.unpack_from("<HHHHH", second), (0, 0, 9, 747, 4))
            self.assertEqual(self.record(router, "udp-1.json")["second_host_reply_from"],
                             f"{EXTRA_ROUTER_ADDRESS}:916")
        with self.subTest("combined"):
            self.start("--fault", "udp-wrong-type", "--fault", "udp-zero-language")
            data, _ = self.broadcast(self.udp_socket(), discovery(1))
            self.assertEqual((struct.unpack_from("<H", data, 8)[0], data[8 + 746]), (3, 0))

    # -- command line and safety -------------------------------------------

    def test_bad_command_lines_are_refused_clearly(self):
        script = str(TOOLS / "router_sim.py")
        cases = [(["--fault", "bogus"], "unknown fault"),
                 (["--fault", "status-401", "--fault", "never-answer"], "exclude each other"),
                 (["--fault", "endless-answer", "--fault", "lang-never-answer"],
                  "exclude each other"),
                 (["--trickle-seconds", "0"], "must be positive"),
                 (["--device-password", "p" * 704], "longer than 703"),
                 (["--language-byte", "256"], "0 to 255"),
                 (["--fault", "udp-second-address"], "needs an address"),
                 (["--fault", "udp-second-host"], "needs an address")]
        for args, message in cases:
            with self.subTest(message):
                result = self.topo.run_in(self.topo.router_ns,
                                          [sys.executable, script, "--record-dir",
                                           "/nonexistent", *args],
                                          capture_output=True, text=True)
                self.assertEqual(result.returncode, 2)
                self.assertIn(message, result.stderr)

    def test_router_knows_a_private_namespace_from_the_machines_own(self):
        self.assertIsNotNone(router_sim.unsafe_network_namespace())
        self.assertIsNone(self.topo.call_in(self.topo.router_ns,
                                            router_sim.unsafe_network_namespace))


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("ip"),
                     "needs root and iproute2 to build private test namespaces")
class TopologyTest(unittest.TestCase):
    def test_second_router_namespace_carries_the_broadcast_and_all_is_removed(self):
        with Topology("rsimtopo", second_program_addr="10.0.0.10/24",
                      second_router_addr="10.0.0.1/24", second_router_namespace=True,
                      broadcast_link=1) as topo:
            names = topo.namespaces
            self.assertEqual(len(names), 3)
            topo.start_router([], namespace=topo.second_router_ns)
            sock = topo.program_socket(socket.AF_INET, socket.SOCK_DGRAM)
            with sock:
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
                sock.settimeout(2.0)
                sock.sendto(discovery(3), ("255.255.255.255", 916))
                _, sender = sock.recvfrom(4096)
            self.assertEqual(sender, ("10.0.0.1", 916))
            with self.assertRaises(Exception):
                topo.run_in("not-one-of-ours", ["true"])
        for name in names:
            self.assertFalse(Path("/run/netns", name).exists(), name)


if __name__ == "__main__":
    unittest.main()
