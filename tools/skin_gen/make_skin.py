#!/usr/bin/env python3
"""Draws the skin's pictures and writes them as .bmp files into one folder.

    make_skin.py OUT_DIR [--preview]

Deterministic: the same files, byte for byte, on every run. With --preview
a PNG of each picture is written too (needs ImageMagick's convert), for
looking at the art.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bmp_file  # noqa: E402
import skin_art  # noqa: E402


def main(argv):
    args = [a for a in argv if not a.startswith('--')]
    if len(args) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    out_dir = args[0]
    os.makedirs(out_dir, exist_ok=True)
    for name, (draw, bits) in sorted(skin_art.PICTURES.items()):
        path = os.path.join(out_dir, name)
        bmp_file.write(path, draw(), bits)
        if '--preview' in argv:
            subprocess.run(['convert', path, path[:-4] + '.png'], check=True)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
