#!/usr/bin/env python3
"""Fails when clang-format would change a tracked C++ source.

    check_format.py --root SOURCE_DIR

Every tracked *.cpp and *.h file is checked against the repository's
.clang-format; each file that differs is listed with clang-format's first
complaint. Fix with: clang-format -i FILE."""

import argparse
import os
import subprocess
import sys
import time

SUFFIXES = (".cpp", ".h")


def sources(root):
    """The tracked C++ files; every one below root (build folders left out)
    when root is not a git checkout, e.g. a copied tree."""
    try:
        out = subprocess.run(["git", "-C", root, "ls-files", "-z", "--", "*.cpp", "*.h"],
                             capture_output=True, text=True, timeout=60, check=True).stdout
        return sorted(name for name in out.split("\0") if name.endswith(SUFFIXES))
    except (OSError, subprocess.SubprocessError):
        found = []
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if not d.startswith((".", "build"))]
            found += [os.path.relpath(os.path.join(folder, f), root)
                      for f in files if f.endswith(SUFFIXES)]
        return sorted(found)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--clang-format", default="clang-format")
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    files = sources(root)
    if not files:
        print(f"check_format: no C++ sources found below {root}")
        return 1
    started = time.monotonic()
    # One run for all files: clang-format names each file it would change.
    try:
        res = subprocess.run([args.clang_format, "--style=file", "--dry-run", "--Werror", *files],
                             cwd=root, capture_output=True, text=True, timeout=300)
    except FileNotFoundError:
        print(f"check_format: {args.clang_format} is not installed (./run installs it)")
        return 1
    if res.returncode != 0:
        bad = sorted({line.split(":", 1)[0] for line in res.stderr.splitlines()
                      if ": error:" in line})
        print(res.stderr[:4000])
        print(f"check_format: {len(bad)} of {len(files)} files need clang-format -i: "
              + " ".join(bad))
        return 1
    print(f"check_format: {len(files)} files formatted as .clang-format asks "
          f"({time.monotonic() - started:.1f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
