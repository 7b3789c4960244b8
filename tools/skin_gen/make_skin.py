#!/usr/bin/env python3
"""Draws the skin's pictures and writes them as .bmp files into one folder.

    make_skin.py OUT_DIR [--preview] [--seeds SEED_DIR]

Deterministic: the same files, byte for byte, on every run. With --preview
a PNG of each picture is written too (needs ImageMagick's convert), for
looking at the art. With --seeds, small crops of the art in both formats go
to SEED_DIR as well: a fuzzer's inputs are short, the real pictures are not.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bmp_file  # noqa: E402
import skin_art  # noqa: E402


# name -> (picture, x, y, width, height, bits); odd widths exercise row padding.
SEED_CROPS = {
    'seed_button_24.bmp': ('button_primary.bmp', 0, 0, 16, 8, 24),
    'seed_odd_24.bmp': ('main.bmp', 20, 350, 33, 3, 24),
    'seed_wait_8.bmp': ('wait1.bmp', 10, 20, 24, 12, 8),
    'seed_odd_8.bmp': ('wait2.bmp', 40, 24, 7, 5, 8),
}


def write_seeds(seed_dir):
    os.makedirs(seed_dir, exist_ok=True)
    for name, (source, x, y, w, h, bits) in sorted(SEED_CROPS.items()):
        draw, _ = skin_art.PICTURES[source]
        bmp_file.write(os.path.join(seed_dir, name), draw().crop(x, y, w, h), bits)


def main(argv):
    if '--seeds' in argv:
        i = argv.index('--seeds')
        if i + 1 >= len(argv):
            print(__doc__.strip(), file=sys.stderr)
            return 2
        write_seeds(argv[i + 1])
        argv = argv[:i] + argv[i + 2:]
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
