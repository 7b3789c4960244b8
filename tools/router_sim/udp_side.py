"""The router's UDP side: discovery and language query on port 916.

Datagram: 8-byte header (command, status, sequence, bodyLength, each 16-bit
little-endian) and, in discovery replies and query requests, a 747-byte
device record:
  offset 0    record type, 16-bit little-endian (4 for a usable device)
  offset 2    40 opaque bytes: (offset * 37 + 11) & 0xFF, but 0 where the
              offset is a multiple of 16, so that a client which copies the
              record as text instead of bytes shows up
  offset 42   the upload password text, then NUL
  after it    opaque filler up to offset 745, the same pattern
  offset 746  the device's language byte

UDP faults (--fault):
  udp-wrong-type, udp-wrong-status, udp-wrong-seq, udp-zero-language
                          one field of the discovery reply is wrong
  udp-short, udp-long     the discovery reply is 100 or 800 bytes long
  udp-query-wrong-seq, udp-query-wrong-command
                          one field of the query reply is wrong
  udp-query-silent        queries are recorded but not answered
  udp-query-one-byte      a query is first answered with the one byte 01,
                          then as usual
  udp-second-address=ADDR discovery replies leave from ADDR (an address the
                          test added to the router), query replies still from
                          the router's own address: a query reply from
                          another address than the one that was found
  udp-second-host=ADDR    a second device at ADDR answers every discovery
                          too, right after the router, with a record of its
                          own (password + "-2")
"""

import select
import socket
import struct
import threading
import time

from recorder import log

HEADER_SIZE = 8
RECORD_SIZE = 747
DATAGRAM_SIZE = HEADER_SIZE + RECORD_SIZE
LANGUAGE_OFFSET = 746
PASSWORD_OFFSET = 42
DEVICE_RECORD_TYPE = 4
CMD_DISCOVER = 0
CMD_QUERY = 1
# Linux's value; older Pythons do not export the name.
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)
SHORT_REPLY_SIZE = 100
LONG_REPLY_SIZE = 800

UDP_FAULTS = ("udp-wrong-type", "udp-wrong-status", "udp-wrong-seq", "udp-short",
              "udp-long", "udp-zero-language", "udp-query-wrong-seq", "udp-query-wrong-command",
              "udp-query-silent", "udp-query-one-byte")
ONE_BYTE = b"\x01"


def opaque_byte(offset):
    """The filler byte at a record offset: varied, and zero every 16 bytes."""
    return 0 if offset % 16 == 0 else (offset * 37 + 11) & 0xFF


def build_record(password, language):
    """The router's own device record (bytes, 747 long)."""
    if PASSWORD_OFFSET + len(password) + 1 > LANGUAGE_OFFSET:
        raise ValueError("device password too long for the record")
    if b"\0" in password:
        raise ValueError("device password must not contain NUL")
    record = bytearray(opaque_byte(i) for i in range(RECORD_SIZE))
    struct.pack_into("<H", record, 0, DEVICE_RECORD_TYPE)
    end = PASSWORD_OFFSET + len(password)
    record[PASSWORD_OFFSET:end] = password
    record[end] = 0
    record[LANGUAGE_OFFSET] = language
    return bytes(record)


def header(command, status, sequence, body_length):
    return struct.pack("<HHHH", command, status, sequence & 0xFFFF, body_length)


def discovery_reply(sequence, record, faults):
    """(datagram, record as sent) for a discovery request, faults applied."""
    record = bytearray(record)
    if "udp-wrong-type" in faults:
        struct.pack_into("<H", record, 0, 3)
    if "udp-zero-language" in faults:
        record[LANGUAGE_OFFSET] = 0
    status = 1 if "udp-wrong-status" in faults else 0
    if "udp-wrong-seq" in faults:
        sequence += 1
    datagram = header(CMD_DISCOVER, status, sequence, RECORD_SIZE) + bytes(record)
    if "udp-short" in faults:
        datagram = datagram[:SHORT_REPLY_SIZE]
    if "udp-long" in faults:
        datagram += bytes(opaque_byte(i) for i in range(LONG_REPLY_SIZE - DATAGRAM_SIZE))
    return datagram, bytes(record)


def query_reply(sequence, status, record, faults):
    command = CMD_DISCOVER if "udp-query-wrong-command" in faults else CMD_QUERY
    if "udp-query-wrong-seq" in faults:
        sequence += 1
    return header(command, status, sequence, RECORD_SIZE) + record


def arrival(ancillary):
    """(interface name, local address of that interface, destination address)
    from an IP_PKTINFO message."""
    for level, kind, data in ancillary:
        if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(data) >= 12:
            index = struct.unpack_from("=i", data)[0]
            try:
                name = socket.if_indextoname(index)
            except OSError:
                name = str(index)
            return name, socket.inet_ntoa(data[4:8]), socket.inet_ntoa(data[8:12])
    return None, None, None


class UdpServer:
    """Answers discovery and query datagrams; records every datagram."""

    def __init__(self, config, state, recorder):
        self._config = config
        self._state = state
        self._recorder = recorder
        self._record = build_record(config.device_password, config.language_byte)
        self._sent_record = self._record
        self._main = self._open(("0.0.0.0", config.udp_port))
        self._second = None
        if config.second_address:
            self._second = self._open((config.second_address, config.udp_port))
        # Another device on the same link: it only ever answers discoveries.
        self._other_device = None
        if config.second_host:
            self._other_device = self._open((config.second_host, config.udp_port))
            self._other_record = build_record(config.device_password + b"-2",
                                              config.language_byte)

    @staticmethod
    def _open(address):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        # The wildcard socket and the second-address socket share the port.
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        # Tells which interface a datagram came in on and whether it was a
        # broadcast: what a test of per-interface searching needs to see.
        sock.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
        sock.bind(address)
        return sock

    def close(self):
        for sock in (self._main, self._second, self._other_device):
            if sock is not None:
                sock.close()

    def serve(self, stop):
        sockets = [s for s in (self._main, self._second) if s is not None]
        while not stop.is_set():
            readable, _, _ = select.select(sockets, [], [], 0.2)
            for sock in readable:
                try:
                    data, ancillary, _, sender = sock.recvmsg(65536, socket.CMSG_SPACE(12))
                except OSError as error:
                    log("udp-error", error=error)
                    continue
                self._handle(data, sender, sock, arrival(ancillary))

    def _handle(self, data, sender, sock, arrived):
        number = self._recorder.next_number("udp")
        self._recorder.write_bytes(f"udp-{number}.bin", data)
        summary = {"n": number, "time": time.time(), "sender": f"{sender[0]}:{sender[1]}",
                   "length": len(data), "received_on": "%s:%d" % sock.getsockname(),
                   "interface": arrived[0], "interface_address": arrived[1],
                   "destination": arrived[2],
                   "command": None, "status": None, "sequence": None, "body_length": None}
        reply, reply_socket, summary["answer"] = self._answer(data, summary, sock)
        summary["reply_length"] = len(reply) if reply else None
        if reply:
            summary["reply_from"] = "%s:%d" % reply_socket.getsockname()
        sends = [(ONE_BYTE, sock)] if summary.get("one_byte_first") else []
        if reply:
            sends.append((reply, reply_socket))
        if reply and summary["command"] == CMD_DISCOVER and self._other_device is not None:
            other, _ = discovery_reply(summary["sequence"], self._other_record, ())
            sends.append((other, self._other_device))
            summary["second_host_reply_from"] = "%s:%d" % self._other_device.getsockname()
        # The summary is on disk before the reply leaves: a client that got the
        # reply finds its record.
        self._recorder.write_json(f"udp-{number}.json", summary)
        delay = self._config.query_delay if summary["command"] == CMD_QUERY else 0
        if delay > 0 and sends:
            later = threading.Timer(delay, self._send, (sends, sender, number))
            later.daemon = True
            later.start()
        else:
            self._send(sends, sender, number)
        log("udp", n=number, sender=summary["sender"], length=len(data),
            command=summary["command"], answer=summary["answer"])

    @staticmethod
    def _send(sends, sender, number):
        for datagram, from_socket in sends:
            try:
                from_socket.sendto(datagram, sender)
            except OSError as error:
                log("udp-send-error", n=number, error=error)

    def _answer(self, data, summary, sock):
        """(reply or None, socket to send it from, answer description)."""
        if len(data) < HEADER_SIZE:
            return None, None, "ignored: shorter than a header"
        command, status, sequence, body_length = struct.unpack_from("<HHHH", data)
        summary.update(command=command, status=status, sequence=sequence,
                       body_length=body_length)
        if self._state.restarting():
            return None, None, "silent: restarting"
        if command == CMD_DISCOVER:
            reply, self._sent_record = discovery_reply(sequence, self._record,
                                                       self._config.faults)
            return reply, self._second or sock, "discovery reply"
        if command == CMD_QUERY and len(data) == DATAGRAM_SIZE:
            record = data[HEADER_SIZE:]
            summary["language"] = record[LANGUAGE_OFFSET]
            summary["record_matches"] = (
                record[:LANGUAGE_OFFSET] == self._sent_record[:LANGUAGE_OFFSET])
            summary["one_byte_first"] = "udp-query-one-byte" in self._config.faults
            if "udp-query-silent" in self._config.faults:
                return None, None, "silent: udp-query-silent"
            summary["reply_status"] = self._config.query_status
            reply = query_reply(sequence, self._config.query_status, self._record,
                                self._config.faults)
            return reply, sock, "query reply"
        return None, None, "ignored: not a discovery or query request"
