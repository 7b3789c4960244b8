#!/usr/bin/env python3
"""Writes the application icon (res/app.ico): a router with a rising arrow,
32x32 and 16x16, 32-bit with alpha. Deterministic: run it again to redo the
committed file."""
import struct
import sys


def pixel(size, x, y):
    s = size / 32.0
    fx, fy = x / s, y / s
    # round-cornered blue tile
    r = 6
    inside = True
    for cx, cy in ((r, r), (31 - r, r), (r, 31 - r), (31 - r, 31 - r)):
        if (fx < r and cx == r or fx > 31 - r and cx == 31 - r) and \
           (fy < r and cy == r or fy > 31 - r and cy == 31 - r):
            inside = (fx - cx) ** 2 + (fy - cy) ** 2 <= r * r
    if not inside:
        return (0, 0, 0, 0)
    t = fy / 31.0
    colour = (int(40 + 30 * t), int(90 + 40 * t), int(200 - 20 * t), 255)
    # router body
    if 6 <= fx <= 26 and 19 <= fy <= 25:
        colour = (245, 247, 250, 255)
        if 19.5 <= fy <= 21 and fx in (9, 12, 15):
            colour = (60, 200, 90, 255)
    # antenna
    if 21 <= fx <= 22 and 13 <= fy < 19:
        colour = (245, 247, 250, 255)
    # rising arrow
    if 10 <= fx <= 12 and 9 <= fy <= 16:
        colour = (255, 210, 60, 255)
    if 6 <= fy <= 10 and abs(fx - 11) <= (fy - 6) * 1.2:
        colour = (255, 210, 60, 255)
    return colour


def image(size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):
        rows.append(b''.join(struct.pack('BBBB', b, g, r, a)
                             for (r, g, b, a) in (pixel(size, x, y) for x in range(size))))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    return header + b''.join(rows) + mask


def main(out):
    images = [image(32), image(16)]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, img in zip((32, 16), images):
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + entries + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'res/app.ico')
