"""Writes Windows bitmap files (BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up).

Two formats: 24-bit BI_RGB, and 8-bit with a colour table whose length is
given in biClrUsed (the reader counts the table from that field, so a short
table is a useful case to ship).
"""
import struct

FILE_HEADER_SIZE = 14
INFO_HEADER_SIZE = 40


def _row_stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def _headers(width, height, bits, palette_entries, image_size):
    offset = FILE_HEADER_SIZE + INFO_HEADER_SIZE + 4 * palette_entries
    file_header = struct.pack('<2sIHHI', b'BM', offset + image_size, 0, 0, offset)
    # 2835 pixels per metre is 72 dpi; the reader ignores it.
    info_header = struct.pack('<IiiHHIIiiII', INFO_HEADER_SIZE, width, height, 1, bits, 0,
                              image_size, 2835, 2835, palette_entries, 0)
    return file_header + info_header


def encode_24(image):
    """image: Canvas-like object with width, height and pixel(x, y) -> (r, g, b)."""
    stride = _row_stride(image.width, 24)
    pad = bytes(stride - image.width * 3)
    rows = []
    for y in range(image.height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(image.width):
            r, g, b = image.pixel(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row) + pad)
    data = b''.join(rows)
    return _headers(image.width, image.height, 24, 0, len(data)) + data


def _reduce_colours(image):
    """Returns (palette, index_of) with at most 256 colours.

    Colours are coarsened one bit at a time until they fit; the art meant for
    8 bits uses few colours, so this usually keeps every colour exact.
    """
    pixels = [image.pixel(x, y) for y in range(image.height) for x in range(image.width)]
    for shift in range(0, 8):
        if shift:
            mask = 0xFF & ~((1 << shift) - 1)
            half = 1 << (shift - 1)
            mapped = [tuple(min(255, (c & mask) + half) for c in p) for p in pixels]
        else:
            mapped = pixels
        counts = {}
        for p in mapped:
            counts[p] = counts.get(p, 0) + 1
        if len(counts) <= 256:
            palette = sorted(counts, key=lambda c: (-counts[c], c))
            return palette, mapped
    raise ValueError('image cannot be reduced to 256 colours')


def encode_8(image):
    palette, mapped = _reduce_colours(image)
    index = {c: i for i, c in enumerate(palette)}
    stride = _row_stride(image.width, 8)
    pad = bytes(stride - image.width)
    rows = []
    for y in range(image.height - 1, -1, -1):
        start = y * image.width
        rows.append(bytes(index[c] for c in mapped[start:start + image.width]) + pad)
    data = b''.join(rows)
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    return _headers(image.width, image.height, 8, len(palette), len(data)) + table + data


def write(path, image, bits=24):
    data = encode_8(image) if bits == 8 else encode_24(image)
    with open(path, 'wb') as f:
        f.write(data)
