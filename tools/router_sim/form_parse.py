"""Parsing of what the router receives over HTTP: request head, Basic
credentials and the multipart form.

Text is decoded as Latin-1 throughout so that every byte maps to exactly one
character and nothing the client sent is lost or rewritten (file names carry
Windows paths with backslashes and no escaping).
"""

import base64
import binascii
import re

MAX_HEAD_BYTES = 64 * 1024


class HeadError(ValueError):
    """The request head is not a well-formed HTTP/1.x request."""


class RequestHead:
    def __init__(self, method, target, version, headers):
        self.method = method
        self.target = target
        self.version = version
        self.headers = headers  # list of (name, value) in the order received

    @property
    def path(self):
        return self.target.split("?", 1)[0]

    def header(self, name):
        """First value of a header, by case-insensitive name, or None."""
        wanted = name.lower()
        for key, value in self.headers:
            if key.lower() == wanted:
                return value
        return None

    def wants_keep_alive(self):
        connection = (self.header("Connection") or "").lower()
        if self.version == "HTTP/1.1":
            return "close" not in connection
        return "keep-alive" in connection


def parse_head(raw):
    """Parses a request head that ends with CR LF CR LF."""
    text = raw.decode("latin-1")
    lines = text.split("\r\n")
    parts = lines[0].split(" ")
    if len(parts) != 3 or not parts[0].isalpha() or not parts[2].startswith("HTTP/1."):
        raise HeadError(f"bad request line {lines[0]!r}")
    headers = []
    for line in lines[1:]:
        if not line:
            continue
        name, colon, value = line.partition(":")
        if not colon or not name or name != name.strip():
            raise HeadError(f"bad header line {line!r}")
        headers.append((name, value.strip(" \t")))
    return RequestHead(parts[0], parts[1], parts[2], headers)


def parse_basic_auth(value):
    """(user, password) from an "Authorization: Basic ..." value, or None."""
    if value is None:
        return None
    scheme, _, encoded = value.strip().partition(" ")
    if scheme.lower() != "basic":
        return None
    try:
        decoded = base64.b64decode(encoded.strip(), validate=True).decode("latin-1")
    except (binascii.Error, ValueError):
        return None
    user, _, password = decoded.partition(":")
    return user, password


def boundary_of(content_type):
    """The boundary parameter of a multipart/form-data Content-Type, or None."""
    if content_type is None or not content_type.lower().startswith("multipart/form-data"):
        return None
    match = re.search(r';\s*boundary=("([^"]*)"|[^;\s]+)', content_type, re.IGNORECASE)
    if not match:
        return None
    return match.group(2) if match.group(2) is not None else match.group(1)


class FormPart:
    def __init__(self, headers, content):
        self.headers = headers
        self.content = content
        disposition = next((v for k, v in headers if k.lower() == "content-disposition"), "")
        self.name = _quoted_parameter(disposition, "name")
        self.filename = _quoted_parameter(disposition, "filename")


class Form:
    def __init__(self, parts, epilogue):
        self.parts = parts
        self.epilogue = epilogue  # bytes after the closing delimiter

    def file_part(self):
        return next((p for p in self.parts if p.filename is not None), None)


class FormError(ValueError):
    pass


def parse_multipart(body, boundary):
    """Splits a multipart body; raises FormError when it is malformed."""
    delimiter = b"--" + boundary.encode("latin-1")
    if body.startswith(delimiter):
        position = 0
    else:
        position = body.find(b"\r\n" + delimiter)
        if position < 0:
            raise FormError("no opening delimiter")
        position += 2
    parts = []
    while True:
        position += len(delimiter)
        if body[position:position + 2] == b"--":
            return Form(parts, body[position + 2:])
        if body[position:position + 2] != b"\r\n":
            raise FormError(f"delimiter not followed by CR LF at byte {position}")
        position += 2
        if body[position:position + 2] == b"\r\n":
            header_end, headers = position, []
        else:
            header_end = body.find(b"\r\n\r\n", position)
            if header_end < 0:
                raise FormError("part headers not ended")
            headers = _part_headers(body[position:header_end])
        content_start = header_end + 4 if headers else header_end + 2
        content_end = body.find(b"\r\n" + delimiter, content_start)
        if content_end < 0:
            raise FormError("part not ended by a delimiter")
        parts.append(FormPart(headers, body[content_start:content_end]))
        position = content_end + 2


def _part_headers(block):
    headers = []
    for line in block.decode("latin-1").split("\r\n"):
        name, colon, value = line.partition(":")
        if not colon:
            raise FormError(f"bad part header {line!r}")
        headers.append((name, value.strip(" \t")))
    return headers


def _quoted_parameter(disposition, name):
    # Taken verbatim up to the closing quote: Windows paths are sent unescaped.
    match = re.search(r'(?:^|;)\s*' + name + r'="([^"]*)"', disposition)
    return match.group(1) if match else None
