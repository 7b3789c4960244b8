#!/usr/bin/env python3
"""Writes the fuzz targets' seeds from the cases of the unit tests.

Each target starts from what the tests already know: the rows of the valid
and invalid cases of the portable tests (tests/net, tests/pages, tests/skin,
tests/controls), put in the input layout of the target (see the comment at the top of each target). The seeds are
committed; run this again after changing a layout or a table:

    tests/fuzz/make_seeds.py            (writes tests/fuzz/<target>_seeds/)

Inputs that once made a target fail are kept beside them as regression seeds
(named after the fault) and are not touched here.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, target + "_seeds")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(bytes(data))


# --- discovery datagrams: the datagram's bytes as they arrive ---------------

def reply(sequence=1, language=1, record_type=4, status=0, command=0):
    """A discovery reply as the detection tests build it."""
    data = bytearray(755)
    struct.pack_into("<HHHH", data, 0, command, status, sequence, 0)
    struct.pack_into("<H", data, 8, record_type)
    for i in range(10, 42):
        data[i] = i  # opaque bytes the query must carry back
    data[50:56] = b"langpw"
    data[754] = language
    return data


def header(command, sequence, status=0, body=0):
    return struct.pack("<HHHH", command, status, sequence, body)


def discovery_seeds():
    target = "discovery_datagram"
    write(target, "reply_valid", reply())
    write(target, "reply_record_type_3", reply(record_type=3))
    write(target, "reply_status_1", reply(status=1))
    write(target, "reply_query_command", reply(command=1))
    write(target, "reply_language_0", reply(language=0))
    write(target, "reply_short", reply(language=3)[:300])
    write(target, "reply_fields", bytes([0, 0, 1, 0, 0xE8, 3, 0xEB, 2, 4, 0]) + bytes(744) + b"\x02")
    no_nul = bytearray(b"p" * 747)
    no_nul[746] = ord("L")
    write(target, "password_without_nul", header(0, 1) + no_nul)
    write(target, "request_discover", header(0, 0x1234))
    write(target, "request_query", header(1, 10000, body=747) + bytes(747))
    write(target, "request_command_2", header(2, 1))
    write(target, "request_command_3", header(3, 0xFFFF))
    write(target, "request_command_4", header(4, 7))
    write(target, "query_reply", header(1, 2))
    write(target, "one_byte", b"\x01")


# --- detection: a setup byte, then events ------------------------------------
# setup: bits 0-1 local addresses, bits 2-3 the selected language.
# 0 n: clock on by (n + 1) * 250 ms    1: the next timer fires
# 2 shape ...: a discovery reply       3 n m bytes... sender: raw datagram
# 4 shape ...: a query reply           5: Detect    6 f: failures (1 open, 2 send)
# 7: the message box closes

def setup(addresses=2, language=2):
    return bytes([addresses | (language << 2)])


def fitting_reply(shape=0, sequence=None, status=None, record_type=None, password=b"langpw",
                  language=1, length=None, sender=None, where=0):
    out = bytearray([2, shape])
    if shape & 1:
        out += struct.pack("<H", sequence)
    if shape & 4:
        out.append(status)
    if shape & 8:
        out.append(record_type)
    out.append(len(password))
    out += password
    out.append(language)
    if shape & 16:
        out.append(length)
    if shape & 32:
        out.append(sender)
    out.append(where)
    return bytes(out)


def query_reply(shape=0, sequence=None, status=None, sender=None, where=0):
    out = bytearray([4, shape])
    if shape & 1:
        out += struct.pack("<H", sequence)
    if shape & 4:
        out.append(status)
    if shape & 8:
        out.append(sender)
    out.append(where)
    return bytes(out)


TICK, DETECT, CLOSE_BOX = b"\x01", b"\x05", b"\x07"


def wait(quarter_seconds):
    out = bytearray()
    while quarter_seconds > 0:
        step = min(quarter_seconds, 256)
        out += bytes([0, step - 1])
        quarter_seconds -= step
    return bytes(out)


def detection_seeds():
    target = "detection_logic"
    write(target, "no_router_two_addresses", setup(2) + wait(4 * 100))
    write(target, "no_router_one_address", setup(1) + wait(4 * 80))
    write(target, "no_address", setup(0) + wait(4 * 80))
    write(target, "found_and_acknowledged",
          setup() + TICK + fitting_reply() + TICK + query_reply())
    write(target, "found_on_second_address",
          setup() + wait(4 * 81) + fitting_reply() + TICK + query_reply())
    write(target, "unfit_replies",
          setup() + TICK + fitting_reply(8, record_type=3) + fitting_reply(4, status=1)
          + fitting_reply(1, sequence=0) + fitting_reply(2) + wait(4 * 6))
    write(target, "unexpected_sender",
          setup() + TICK + fitting_reply(32, sender=77) + fitting_reply())
    write(target, "language_zero", setup() + TICK + fitting_reply(language=0) + CLOSE_BOX)
    write(target, "short_reply", setup() + TICK + fitting_reply(16, length=99, language=3))
    write(target, "query_replies_checked",
          setup() + TICK + fitting_reply() + TICK + bytes([3, 0, 1, 1, 0, 0])
          + query_reply(8, sender=77) + query_reply(2) + query_reply(1, sequence=9)
          + query_reply(4, status=5) + query_reply())
    write(target, "no_socket", setup() + b"\x06\x01" + TICK + CLOSE_BOX + wait(4 * 60))
    write(target, "no_socket_later", setup() + wait(4 * 65) + b"\x06\x01" + wait(4 * 30))
    write(target, "failed_send_retried",
          setup() + b"\x06\x02" + TICK + CLOSE_BOX + b"\x06\x00" + wait(4 * 10))
    write(target, "detect_after_nothing_found",
          setup(1) + wait(4 * 80) + DETECT + TICK + fitting_reply() + TICK + query_reply())
    write(target, "raw_datagrams",
          setup() + TICK + bytes([3, 3, 0]) + header(1, 1) + b"\x00" + bytes([0, 0])
          + bytes([3, 251, 2]) + reply(sequence=1) + bytes([0, 0]))


# --- the router's answer: piece size, limit, the answer ----------------------

def answer_seeds():
    target = "language_pack_answer"
    cases = {
        "value_1": b'<input id="AutoUpgradeRet"value="1">',
        "value_2": b'xAutoUpgradeRet"value="2',
        "value_3": b'AutoUpgradeRet"value="3',
        "value_2_before_1": b'AutoUpgradeRet"value="2 AutoUpgradeRet"value="1',
        "value_3_and_2": b'AutoUpgradeRet"value="3AutoUpgradeRet"value="2',
        "value_0": b'AutoUpgradeRet"value="0',
        "marker_with_space": b'AutoUpgradeRet" value="1',
        "error_page": b"<html>500 Internal Error</html>",
        "empty": b"",
        "cut_at_nul": b'before\x00AutoUpgradeRet"value="1',
        "accepted_page": b"<html>ok</html>",
    }
    for name, text in cases.items():
        write(target, name, bytes([0, 0]) + text)
    write(target, "marker_across_pieces", bytes([9, 0]) + b"x" * 7 + cases["value_2"])
    write(target, "longer_than_limit", bytes([63, 2]) + b"a" * 40)


# --- skin values: field number, flags, the text -------------------------------
# flags: bit 0 font size given, bit 1 common size INT_MAX, bits 2-4 common
# size, bits 5-7 how much the reader overstates.

def skin_seeds():
    target = "skin_values"
    fields = [("x,y,z", 1), ("x,y,z", 2), ("x,y,z", 4), ("x", 2), ("x,y", -5), ("", 1),
              ("12,", 2), ("255, 0, 0", 2), (",,a", 3)]
    for i, (value, n) in enumerate(fields):
        write(target, "field_%d" % i, struct.pack("<bB", n, 1) + value.encode())
    numbers = ["abc", "  \t-17x", "+8", "- 5", "2147483647", "99999999999999999999",
               "-2147483648", "-99999999999999999999"]
    for i, text in enumerate(numbers):
        write(target, "number_%d" % i, struct.pack("<bB", 1, 1) + text.encode())
    colours = ["255,255,255", "255,0", "300,0,0", "-1,0,0", "white", "1,2,3,4", "0,256,512"]
    for i, text in enumerate(colours):
        write(target, "colour_%d" % i, struct.pack("<bB", 3, 0) + text.encode())
    for i, text in enumerate(["3", "10,-1", "1", "yes", " 1", "12", "0,16", "8,12", "big"]):
        write(target, "pair_flag_size_%d" % i, struct.pack("<bB", 2, 1 | (5 << 2)) + text.encode())
    write(target, "size_not_given", struct.pack("<bB", 1, 2))
    for i, text in enumerate(["Up\\r\\ngrade", "C:\\fw\\x", "end\\", "\\rn"]):
        write(target, "escapes_%d" % i, struct.pack("<bB", 1, 0) + text.encode())
    common = ("TextColor=255,0\nFontName=Arial\nFontSize=8,12\nFontWeight=700\nTransparent=1\n"
              "BkColor=300,0,0\nActiveColor=1,2,3\nNoActiveColor=white\nClickOffset=3\n")
    write(target, "common_section", struct.pack("<bB", 1, 0) + common.encode())
    write(target, "common_long_name",
          struct.pack("<bB", 1, 3 << 5) + b"fontname=" + b"n" * 600 + b"\ntransparent=yes\n")


# --- MSG.ini: reader mode, the file -------------------------------------------
# mode: bits 0-5 how much the reader overstates (1: everything), bit 6 a small
# growth bound.

def ini_seeds():
    target = "ini_file"
    for length in (5, 510, 511, 1000, 1023):
        write(target, "value_%d" % length,
              b"\x00[MSG]\r\nFW_FileName=" + b"v" * length + b"\r\n")
    write(target, "messages",
          b"\x00[MSG]\r\nFillIP=Please fill in the address.\r\nRetry=Try again\r\n"
          b"Connection=No connection\r\nFW_FileName=.\\Firmware\\image.bin\r\n")
    write(target, "names_any_case", b"\x00[msg]\r\nfillip=Please fill in the address.\r\n")
    write(target, "other_section", b"\x00[Other]\r\nFillIP=x\r\n")
    write(target, "empty", b"\x00")
    write(target, "reader_says_everything", b"\x01[MSG]\r\nRetry=again\r\n")
    write(target, "reader_overstates", b"\x05[MSG]\r\nRetry=" + b"r" * 700 + b"\r\n")
    write(target, "small_bound", b"\x40[MSG]\r\nRetry=" + b"r" * 1500 + b"\r\n")


# --- upload form: line length, buffer size, numbers, name, user, the rest ----

def upload(line_length=128, cap=128, content_length=1324, shift=0, name=b"", user=b"",
           chunk=0, rest=b""):
    return (struct.pack("<iBBIBBBB", line_length, cap & 0xFF, cap >> 8, content_length, shift,
                        len(name), len(user), chunk) + name + user + rest)


def upload_seeds():
    target = "upload_form"
    vectors = [b"", b"f", b"fo", b"foo", b"foob", b"fooba", b"foobar", b"abc", b"ab", b"a",
               b"admin:password"]
    for i, text in enumerate(vectors):
        write(target, "base64_%d" % i, upload(rest=text))
    write(target, "base64_96_bytes", upload(rest=b"\xa5" * 96))
    write(target, "base64_97_bytes", upload(rest=b"\xa5" * 96 + b"\x01"))
    for line_length in (0, 3, 4, 7, 8, 9, 16, 76):
        write(target, "line_length_%d" % line_length,
              upload(line_length=line_length, rest=b"\x5a" * 100))
    write(target, "line_length_smallest", upload(line_length=-2**31, rest=b"\x5a" * 10))
    write(target, "routers_form", upload(name=b"C:\\fw\\image.bin", rest=b"FIRMWARE"))
    write(target, "body_400", upload(name=b"n" * 20, rest=bytes((i * 7 + 3) & 0xFF
                                                               for i in range(400))))
    write(target, "empty_body", upload(cap=10))
    write(target, "host_69", upload(name=b"h" * 69, user=b"admin", rest=b"password"))
    write(target, "host_70", upload(name=b"h" * 70, user=b"admin", rest=b"p" * 72))
    write(target, "credential_too_long", upload(user=b"admin", rest=b"p" * 73))
    write(target, "big_length", upload(cap=300, content_length=0xFFFFFFFF, shift=31))


if __name__ == "__main__":
    discovery_seeds()
    detection_seeds()
    answer_seeds()
    skin_seeds()
    ini_seeds()
    upload_seeds()
