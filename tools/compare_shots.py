#!/usr/bin/env python3
"""Two folders of screenshots of the same pages (the demo's or the skin
preview's, made under two Wines): the share of pixels that differ, picture
by picture, and for each that differs a picture of the two side by side
with a third beside them that marks every differing pixel in red.

    compare_shots.py FIRST_DIR SECOND_DIR OUT_DIR
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from png_files import differing_pixels, read_png, write_png  # noqa: E402

GAP = 8  # grey columns between the three pictures


def marked(rows_a, rows_b, width):
    """The first picture, faded, with the differing pixels in red."""
    out = []
    for ra, rb in zip(rows_a, rows_b):
        row = bytearray(128 + c // 2 for c in ra)
        for x in range(0, width * 3, 3):
            if ra[x:x + 3] != rb[x:x + 3]:
                row[x:x + 3] = b"\xff\x00\x00"
        out.append(row)
    return out


def side_by_side(path, a, b):
    width, _, rows_a = a
    rows_b = b[2]
    gap = b"\x80" * (GAP * 3)
    rows = [ra + gap + rb + gap + rm
            for ra, rb, rm in zip(rows_a, rows_b, marked(rows_a, rows_b, width))]
    write_png(path, width * 3 + GAP * 2, rows)


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    first, second, out = sys.argv[1:]
    os.makedirs(out, exist_ok=True)
    names = sorted(n for n in os.listdir(first)
                   if n.endswith(".png") and os.path.isfile(os.path.join(second, n)))
    differing = 0
    for name in names:
        a, b = read_png(os.path.join(first, name)), read_png(os.path.join(second, name))
        count, total = differing_pixels(a, b)
        print(f"{name:40} {count:7d} of {total:7d} pixels differ ({100 * count / total:.2f} %)")
        if count and a[:2] == b[:2]:
            side_by_side(os.path.join(out, name), a, b)
            differing += 1
    print(f"{len(names)} pictures compared, {differing} differ; side by side in {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
