"""The screenshots' PNG files (8-bit RGB, as the GUI driver writes them):
read them, write them, and compare two pictures pixel by pixel."""

import struct
import zlib


def read_png(path):
    """(width, height, rgb rows) of an 8-bit RGB PNG; checks every CRC."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "PNG signature"
    at, idat, size = 8, b"", None
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert zlib.crc32(kind + body) == crc, f"CRC of {kind}"
        if kind == b"IHDR":
            size = struct.unpack(">II", body[:8])
            assert body[8:10] == b"\x08\x02", "8-bit RGB"
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height = size
    raw = zlib.decompress(idat)  # also checks the Adler-32
    stride = width * 3 + 1
    assert len(raw) == stride * height, "image size"
    return width, height, [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


def write_png(path, width, rows):
    """An 8-bit RGB PNG of rows (bytes of width * 3 each), unfiltered."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body)))
    raw = b"".join(b"\0" + bytes(row) for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def differing_pixels(first, second):
    """(count, width * height) of the pixels that differ between two
    pictures of the same size; pictures of different sizes differ wholly."""
    w1, h1, rows1 = first
    w2, h2, rows2 = second
    if (w1, h1) != (w2, h2):
        return max(w1 * h1, w2 * h2), max(w1 * h1, w2 * h2)
    differ = sum(1 for r1, r2 in zip(rows1, rows2) for x in range(0, w1 * 3, 3)
                 if r1[x:x + 3] != r2[x:x + 3])
    return differ, w1 * h1
